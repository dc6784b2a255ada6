// quillstamper-bench: generates sites and measures the conversion and the
// check against what plain copying of the files costs.

#include "bench/bench_runner.h"
#include "bench/io_floors.h"
#include "bench/site_generator.h"

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <unistd.h>

namespace {

void PrintUsage() {
    std::fprintf(
        stderr,
        "usage: quillstamper-bench run WORK-FOLDER REPORT.md [--runs N] [--quick] [--threads N] "
        "[--ram]\n"
        "       quillstamper-bench generate FOLDER [--pages N] [--page-bytes N] "
        "[--templates N] [--blocks N] [--hash-share F] [--slash-share F] [--seed N] "
        "[--links]\n"
        "       quillstamper-bench floor-inplace|floor-safe|reference PROJECT.trvx\n"
        "       quillstamper-bench conversion PROJECT.trvx [ROUNDS]\n");
}

std::string SelfPath() {
    return std::filesystem::read_symlink("/proc/self/exe").string();
}

} // namespace

int main(int argc, char** argv) {
    if (argc < 3) {
        PrintUsage();
        return 2;
    }
    const std::string mode = argv[1];
    const std::string target = argv[2];
    try {
        if (mode == "floor-inplace") {
            return quillstamper::bench::RunInPlaceFloor(target);
        }
        if (mode == "floor-safe") {
            return quillstamper::bench::RunSafeFloor(target);
        }
        if (mode == "reference") {
            return quillstamper::bench::RunReference(target);
        }
        if (mode == "conversion") {
            return quillstamper::bench::RunConversionTiming(target,
                                                            argc > 3 ? std::atoi(argv[3]) : 15);
        }
        if (mode == "generate") {
            quillstamper::bench::SiteSettings site;
            for (int i = 3; i < argc; ++i) {
                const std::string option = argv[i];
                if (option == "--links") {
                    site.links = true;
                    continue;
                }
                if (i + 1 >= argc) {
                    PrintUsage();
                    return 2;
                }
                const char* value = argv[++i];
                if (option == "--pages") {
                    site.pages = std::atoi(value);
                } else if (option == "--page-bytes") {
                    site.pageBytes = std::atoi(value);
                } else if (option == "--templates") {
                    site.templates = std::atoi(value);
                } else if (option == "--blocks") {
                    site.blocksPerPage = std::atoi(value);
                } else if (option == "--hash-share") {
                    site.hashShare = std::atof(value);
                } else if (option == "--slash-share") {
                    site.slashShare = std::atof(value);
                } else if (option == "--seed") {
                    site.seed = std::strtoull(value, nullptr, 10);
                } else {
                    PrintUsage();
                    return 2;
                }
            }
            std::printf("%s\n", quillstamper::bench::GenerateSite(site, target).c_str());
            return 0;
        }
        if (mode == "run" && argc >= 4) {
            quillstamper::bench::RunnerSettings settings;
            settings.workFolder = target;
            settings.reportFile = argv[3];
            settings.cli = QUILLSTAMPER_CLI;
#ifdef QUILLSTAMPER_WINDOW_BENCH
            settings.windowBench = QUILLSTAMPER_WINDOW_BENCH;
#endif
            settings.self = SelfPath();
            settings.command = "bash bench/run.sh";
            for (int i = 4; i < argc; ++i) {
                const std::string option = argv[i];
                if (option == "--runs" && i + 1 < argc) {
                    settings.runs = std::atoi(argv[++i]);
                    settings.command += " --runs " + std::string(argv[i]);
                } else if (option == "--quick") {
                    settings.scalePages = {2000};
                    settings.command += " --quick";
                } else if (option == "--threads" && i + 1 < argc) {
                    settings.cliOptions = {"--threads", argv[++i]};
                    settings.command += " --threads " + settings.cliOptions.back();
                } else if (option == "--ram") {
                    settings.ram = true;
                    settings.command += " --ram";
                } else {
                    PrintUsage();
                    return 2;
                }
            }
            return quillstamper::bench::RunBenchmarks(settings);
        }
    } catch (const std::exception& error) {
        std::fprintf(stderr, "quillstamper-bench: %s\n", error.what());
        return 1;
    }
    PrintUsage();
    return 2;
}
