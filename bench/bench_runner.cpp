#include "bench/bench_runner.h"

#include "base/path_resolution.h"
#include "bench/site_generator.h"
#include "conversion/conversion_run.h"
#include "conversion/work_threads.h"
#include "files/file_io.h"
#include "project/project_file.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <functional>
#include <sstream>
#include <stdexcept>
#include <sys/resource.h>
#include <sys/utsname.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

namespace quillstamper::bench {

namespace fs = std::filesystem;

namespace {

struct Sample {
    double seconds = 0;
    double cpuSeconds = 0; // user and system
    long peakKilobytes = 0;
};

// Runs a program to its end; wall time and peak resident memory (what
// /usr/bin/time -v reports as "Maximum resident set size").
Sample Measure(const std::vector<std::string>& arguments, int expectedStatus = 0) {
    std::vector<char*> argv;
    for (const std::string& argument : arguments) {
        argv.push_back(const_cast<char*>(argument.c_str()));
    }
    argv.push_back(nullptr);
    const auto begin = std::chrono::steady_clock::now();
    const pid_t child = ::fork();
    if (child == 0) {
        const int quiet = ::open("/dev/null", O_WRONLY);
        ::dup2(quiet, STDOUT_FILENO);
        ::execv(argv[0], argv.data());
        ::_exit(127);
    }
    int status = 0;
    struct rusage usage {};
    if (child < 0 || ::wait4(child, &status, 0, &usage) != child) {
        throw std::runtime_error("cannot run " + arguments.front());
    }
    const auto end = std::chrono::steady_clock::now();
    if (!WIFEXITED(status) || WEXITSTATUS(status) != expectedStatus) {
        std::string command;
        for (const std::string& argument : arguments) {
            command += argument + " ";
        }
        throw std::runtime_error("unexpected exit status of: " + command);
    }
    const auto cpu = [](const timeval& time) { return time.tv_sec + time.tv_usec / 1e6; };
    return {std::chrono::duration<double>(end - begin).count(),
            cpu(usage.ru_utime) + cpu(usage.ru_stime), usage.ru_maxrss};
}

// Instructions a command executes, counted by callgrind: repeatable where
// times drift. Zero when valgrind is not there.
double CountInstructions(const std::vector<std::string>& arguments) {
    if (::access("/usr/bin/valgrind", X_OK) != 0) {
        return 0;
    }
    const std::string log = fs::temp_directory_path() / "quillstamper-bench-callgrind.txt";
    std::string command = "/usr/bin/valgrind --tool=callgrind --callgrind-out-file=/dev/null";
    for (const std::string& argument : arguments) {
        command += " '" + argument + "'";
    }
    command += " >/dev/null 2>'" + log + "'";
    if (std::system(command.c_str()) != 0) {
        return 0;
    }
    std::ifstream text(log);
    double collected = 0;
    for (std::string line; std::getline(text, line);) {
        const std::size_t at = line.find("Collected : ");
        if (at != std::string::npos) {
            collected = std::stod(line.substr(at + 12));
        }
    }
    fs::remove(log);
    return collected;
}

double Seconds(const std::function<void()>& work) {
    const auto begin = std::chrono::steady_clock::now();
    work();
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - begin).count();
}

double Median(std::vector<double> values) {
    std::sort(values.begin(), values.end());
    const std::size_t middle = values.size() / 2;
    return values.size() % 2 == 1 ? values[middle] : (values[middle - 1] + values[middle]) / 2;
}

// The median of a[i] / b[i]: both measured in the same round, so that the
// ratio holds while the shared machine's speed drifts between rounds.
double PairedRatio(const std::vector<double>& a, const std::vector<double>& b) {
    std::vector<double> ratios;
    for (std::size_t i = 0; i < std::min(a.size(), b.size()); ++i) {
        ratios.push_back(a[i] / b[i]);
    }
    return Median(ratios);
}

// The copy is written out before the measured command starts: otherwise the
// first command that flushes the file system pays for the copy too.
void FreshCopy(const fs::path& from, const fs::path& to) {
    fs::remove_all(to);
    fs::copy(from, to, fs::copy_options::recursive);
    ::sync();
}

// The command line with the runner's own options (--threads N) after the
// command's.
std::vector<std::string> CliCommand(const RunnerSettings& settings,
                                    std::vector<std::string> arguments) {
    arguments.insert(arguments.begin(), settings.cli);
    arguments.insert(arguments.end(), settings.cliOptions.begin(), settings.cliOptions.end());
    return arguments;
}

std::string SiteFor(const RunnerSettings& settings, int pages, bool links = false) {
    const fs::path folder =
        fs::path(settings.workFolder) / ("site-" + std::to_string(pages) + (links ? "-links" : ""));
    if (!fs::exists(folder / "site.trvx")) {
        SiteSettings site;
        site.pages = pages;
        site.links = links;
        GenerateSite(site, folder.string());
    }
    return folder.string();
}

struct Series {
    std::vector<double> copy, dynamize, keep, links, linksOff, again, check, inPlace, safe;
    long dynamizePeak = 0, againPeak = 0, checkPeak = 0;
};

// withKeep: also a run on a fresh copy that keeps each page's line ends, and
// one on the same site with links to rewrite and the current page to mark.
Series MeasureSite(const RunnerSettings& settings, int pages, bool withKeep = false) {
    const fs::path site = SiteFor(settings, pages);
    const fs::path run = fs::path(settings.workFolder) / "run";
    const std::string project = (run / "site.trvx").string();
    Series series;
    for (int i = 0; i < settings.runs; ++i) {
        series.copy.push_back(Seconds([&] { FreshCopy(site, run); }));
        const Sample first = Measure(CliCommand(settings, {"dynamize", project, "--quiet"}));
        const Sample second = Measure(CliCommand(settings, {"dynamize", project, "--quiet"}));
        const Sample check = Measure(CliCommand(settings, {"check", project}));
        const Sample inPlace = Measure({settings.self, "floor-inplace", project});
        const Sample safe = Measure({settings.self, "floor-safe", project});
        if (withKeep) {
            FreshCopy(site, run);
            series.keep.push_back(Measure(CliCommand(settings, {"dynamize", project, "--quiet",
                                                                "--line-ends", "keep"}))
                                      .seconds);
            // The same menus with both settings turned off on the command
            // line: what the settings cost, on the same bytes.
            FreshCopy(SiteFor(settings, pages, true), run);
            series.linksOff.push_back(
                Measure(CliCommand(settings, {"dynamize", project, "--quiet", "--links",
                                              "as-written", "--current-page", "none"}))
                    .seconds);
            FreshCopy(SiteFor(settings, pages, true), run);
            series.links.push_back(
                Measure(CliCommand(settings, {"dynamize", project, "--quiet"})).seconds);
        }
        series.dynamize.push_back(first.seconds);
        series.again.push_back(second.seconds);
        series.check.push_back(check.seconds);
        series.inPlace.push_back(inPlace.seconds);
        series.safe.push_back(safe.seconds);
        series.dynamizePeak = std::max(series.dynamizePeak, first.peakKilobytes);
        series.againPeak = std::max(series.againPeak, second.peakKilobytes);
        series.checkPeak = std::max(series.checkPeak, check.peakKilobytes);
    }
    return series;
}

// The conversion alone, timed in this process: a dry run of the whole site
// through the core, without the start and end of a process, which a run on
// every core pays as a run on one does. One value per round and thread count.
std::pair<std::vector<double>, std::vector<double>>
TimeDryConversion(const std::string& project, unsigned threads, int rounds) {
    ProjectParseResult parsed = ReadProjectFile(project);
    if (parsed.status != ProjectParseResult::Status::Loaded) {
        throw std::runtime_error(project + ": " + parsed.message);
    }
    ConversionRequest request{std::move(parsed.data), ParentFolder(project), false};
    const auto time = [&request](unsigned count) {
        request.threads = count;
        return Seconds([&request] {
            if (const ConversionResult result = RunConversion(request); result.error) {
                throw std::runtime_error(result.error->what());
            }
        });
    };
    time(1);
    time(threads);
    std::pair<std::vector<double>, std::vector<double>> times;
    for (int i = 0; i < rounds; ++i) {
        times.first.push_back(time(1));
        times.second.push_back(time(threads));
    }
    return times;
}

std::uintmax_t MemoryBound(const std::string& site) {
    std::uintmax_t largestPage = 0;
    std::uintmax_t templates = 0;
    for (const auto& entry : fs::directory_iterator(fs::path(site) / "pages")) {
        largestPage = std::max(largestPage, entry.file_size());
    }
    for (const auto& entry : fs::directory_iterator(fs::path(site) / "templates")) {
        templates += entry.file_size();
    }
    return 3 * (largestPage + templates) + 20 * 1024 * 1024;
}

// Both outputs must agree byte for byte, or the comparison means nothing.
bool SameTree(const fs::path& left, const fs::path& right) {
    for (const auto& entry : fs::recursive_directory_iterator(left)) {
        if (entry.is_regular_file() &&
            ReadFileBytes(entry.path().string()) !=
                ReadFileBytes((right / fs::relative(entry.path(), left)).string())) {
            return false;
        }
    }
    return true;
}

std::string MachineLine() {
    struct utsname name {};
    ::uname(&name);
    std::string model = "unknown processor";
    std::ifstream cpuinfo("/proc/cpuinfo");
    for (std::string line; std::getline(cpuinfo, line);) {
        if (line.rfind("model name", 0) == 0) {
            model = line.substr(line.find(':') + 2);
            break;
        }
    }
    const long pages = ::sysconf(_SC_PHYS_PAGES);
    const long pageSize = ::sysconf(_SC_PAGE_SIZE);
    std::ostringstream text;
    text << model << ", " << ::sysconf(_SC_NPROCESSORS_ONLN) << " cores, "
         << (pages * (pageSize / 1024) / (1024 * 1024)) << " GiB, " << name.sysname << " "
         << name.release << " " << name.machine;
    return text.str();
}

std::string Format(const char* format, double value) {
    char buffer[64];
    std::snprintf(buffer, sizeof buffer, format, value);
    return buffer;
}

std::string Verdict(bool met) {
    return met ? "met" : "MISSED";
}

struct WindowFigures {
    bool measured = false;
    double shown = 0;
    double dynamize = 0;
    double preview = 0;
    int fileLineChanges = 0;
};

// The window offscreen: start to shown, and Dynamize through it.
WindowFigures MeasureWindow(const RunnerSettings& settings, int pages) {
    WindowFigures figures;
    if (settings.windowBench.empty()) {
        return figures;
    }
    const fs::path site = SiteFor(settings, pages);
    const fs::path run = fs::path(settings.workFolder) / "run";
    const std::string output = (fs::path(settings.workFolder) / "window.txt").string();
    std::vector<double> shown, dynamize, preview;
    for (int i = 0; i < settings.runs; ++i) {
        FreshCopy(site, run);
        timespec now{};
        ::clock_gettime(CLOCK_MONOTONIC, &now);
        const std::string command = "QT_QPA_PLATFORM=offscreen '" + settings.windowBench + "' '" +
                                    (run / "site.trvx").string() + "' " +
                                    Format("%.6f", static_cast<double>(now.tv_sec) +
                                                       static_cast<double>(now.tv_nsec) / 1e9) +
                                    " >'" + output + "' 2>/dev/null";
        if (std::system(command.c_str()) != 0) {
            throw std::runtime_error("the window benchmark failed: " + command);
        }
        std::ifstream text(output);
        std::string name;
        double value = 0;
        while (text >> name >> value) {
            if (name == "shown") {
                shown.push_back(value);
            } else if (name == "dynamize") {
                dynamize.push_back(value);
            } else if (name == "preview") {
                preview.push_back(value);
            } else if (name == "changes") {
                figures.fileLineChanges = static_cast<int>(value);
            }
        }
    }
    figures.measured = !shown.empty() && !dynamize.empty();
    if (figures.measured) {
        figures.shown = Median(shown);
        figures.dynamize = Median(dynamize);
        figures.preview = preview.empty() ? 0 : Median(preview);
    }
    return figures;
}

} // namespace

int RunConversionTiming(const std::string& project, int rounds) {
    const unsigned cores = CountCores();
    const auto [one, all] = TimeDryConversion(project, cores, rounds);
    std::printf("dry conversion: %.4f s on one thread, %.4f s on %u; %.2f times as fast\n",
                Median(one), Median(all), cores, PairedRatio(one, all));
    return 0;
}

int RunBenchmarks(const RunnerSettings& settings) {
    fs::create_directories(settings.workFolder);
    std::ostringstream report;
    const std::time_t now = std::time(nullptr);
    char date[32];
    std::strftime(date, sizeof date, "%Y-%m-%d %H:%M UTC", std::gmtime(&now));
    report << "# Benchmarks\n\n"
           << "Measured " << date << " on " << MachineLine() << ", with\n\n    " << settings.command
           << "\n\nSites: " << settings.scalePages.front()
           << " pages of 20 KB (CR LF), 20 template files, 6 blocks a page (20 % hash, 10 % slash, "
              "the rest HTML comments), every block out of date. Medians of "
           << settings.runs
           << " runs, wall time of the whole process, warm page cache; a ratio is the median of "
              "the ratios of the runs made in the same round. The copy of the site before "
              "each run, and writing it out to disk, is timed apart and not included."
           << (settings.ram ? " The sites lie on a RAM file system (/dev/shm), where the disk "
                              "hides nothing of the program's own work."
                            : "")
           << "\n\n";

    const int mainPages = settings.scalePages.front();
    std::printf("measuring %d pages ...\n", mainPages);
    std::fflush(stdout);
    const Series main = MeasureSite(settings, mainPages, true);
    const double dynamize = Median(main.dynamize);
    const double again = Median(main.again);
    const double check = Median(main.check);
    const double inPlace = Median(main.inPlace);
    const double safe = Median(main.safe);
    const double dynamizeToSafe = PairedRatio(main.dynamize, main.safe);
    const double dynamizeToInPlace = PairedRatio(main.dynamize, main.inPlace);
    const double againToInPlace = PairedRatio(main.again, main.inPlace);
    const double checkToInPlace = PairedRatio(main.check, main.inPlace);
    const double linksToAsWritten = PairedRatio(main.links, main.linksOff);
    const std::uintmax_t bound = MemoryBound(SiteFor(settings, mainPages));
    const long peak = std::max({main.dynamizePeak, main.againPeak, main.checkPeak});

    report << "| " << mainPages << " pages | median s | per page ms |\n|---|---|---|\n";
    const std::pair<const char*, double> rows[] = {
        {"copy of the site (not counted)", Median(main.copy)},
        {"dynamize, every page changing", dynamize},
        {"the same, keeping each page's line ends", Median(main.keep)},
        {"menus of links, as written", Median(main.linksOff)},
        {"the same, links following each page and the current page marked", Median(main.links)},
        {"dynamize again, nothing to change", again},
        {"check", check},
        {"in-place floor (read, truncate, rewrite)", inPlace},
        {"safe floor (read, temp file, fsync, rename)", safe}};
    for (const auto& [name, seconds] : rows) {
        report << "| " << name << " | " << Format("%.3f", seconds) << " | "
               << Format("%.3f", seconds * 1000 / mainPages) << " |\n";
    }
    if (settings.ram) {
        // The same ratios as measured, the same way, before pages were
        // converted on several threads and written with fewer system calls.
        report << "\n| against the in-place floor | before the work on speed | now |\n"
               << "|---|---|---|\n"
               << "| dynamize | 3.5 | " << Format("%.2f", dynamizeToInPlace) << " |\n"
               << "| dynamize again, nothing to change | 1.7 | " << Format("%.2f", againToInPlace)
               << " |\n"
               << "| check | 2.8 | " << Format("%.2f", checkToInPlace) << " |\n";
    }

    std::printf("measuring the step-by-step reference on %d pages ...\n", settings.referencePages);
    std::fflush(stdout);
    const fs::path small = SiteFor(settings, settings.referencePages);
    const fs::path referenceRun = fs::path(settings.workFolder) / "reference";
    const fs::path engineRun = fs::path(settings.workFolder) / "engine";
    std::vector<double> reference, engine, referenceCpu, engineCpu, smallSafe;
    bool identical = true;
    const std::vector<std::string> referenceCommand = {settings.self, "reference",
                                                       (referenceRun / "site.trvx").string()};
    const std::vector<std::string> engineCommand =
        CliCommand(settings, {"dynamize", (engineRun / "site.trvx").string(), "--quiet"});
    for (int i = 0; i < settings.runs; ++i) {
        FreshCopy(small, referenceRun);
        FreshCopy(small, engineRun);
        const Sample referenceSample = Measure(referenceCommand);
        const Sample engineSample = Measure(engineCommand);
        reference.push_back(referenceSample.seconds);
        referenceCpu.push_back(referenceSample.cpuSeconds);
        engine.push_back(engineSample.seconds);
        engineCpu.push_back(engineSample.cpuSeconds);
        identical = identical && SameTree(referenceRun, engineRun);
        smallSafe.push_back(
            Measure({settings.self, "floor-safe", (engineRun / "site.trvx").string()}).seconds);
    }
    const double referenceRatio = Median(reference) / Median(engine);
    FreshCopy(small, referenceRun);
    FreshCopy(small, engineRun);
    const double referenceInstructions = CountInstructions(referenceCommand);
    const double engineInstructions = CountInstructions(engineCommand);
    FreshCopy(small, engineRun);
    std::vector<std::string> keepCommand = engineCommand;
    keepCommand.insert(keepCommand.end(), {"--line-ends", "keep"});
    const double keepInstructions = CountInstructions(keepCommand);
    const double keepRatio = engineInstructions > 0 ? keepInstructions / engineInstructions : 0;

    const WindowFigures window = MeasureWindow(settings, mainPages);

    std::vector<std::pair<int, double>> perPage;
    perPage.emplace_back(mainPages, dynamize / mainPages);
    for (std::size_t i = 1; i < settings.scalePages.size(); ++i) {
        const int pages = settings.scalePages[i];
        std::printf("measuring %d pages ...\n", pages);
        std::fflush(stdout);
        perPage.emplace_back(pages, Median(MeasureSite(settings, pages).dynamize) / pages);
    }
    // suggest reads every page and hashes each line once: its time should
    // grow with the site's lines, 2 s for 2,000 pages and 20 s for 20,000.
    std::vector<std::pair<int, double>> suggest;
    for (const int pages : settings.scalePages) {
        const std::string project = (fs::path(SiteFor(settings, pages)) / "site.trvx").string();
        std::vector<double> times;
        for (int i = 0; i < settings.runs; ++i) {
            // One thread whatever --threads says: suggest takes no such option.
            times.push_back(Measure({settings.cli, "suggest", project}).seconds);
        }
        suggest.emplace_back(pages, Median(times));
    }
    // The conversion's own work on every core against one: a dry run reads
    // and converts every page and writes nothing.
    const unsigned cores = CountCores();
    const std::string mainProject = (fs::path(SiteFor(settings, mainPages)) / "site.trvx").string();
    // A run is some 40 ms here: three times the rounds, for a steadier median.
    std::vector<double> dryOne, dryAll;
    for (int i = 0; i < 3 * settings.runs; ++i) {
        dryOne.push_back(Measure({settings.cli, "dynamize", mainProject, "--dry-run", "--quiet",
                                  "--threads", "1"})
                             .seconds);
        dryAll.push_back(Measure({settings.cli, "dynamize", mainProject, "--dry-run", "--quiet",
                                  "--threads", std::to_string(cores)})
                             .seconds);
    }
    const double speedUp = PairedRatio(dryOne, dryAll);
    const auto [convertOne, convertAll] = TimeDryConversion(mainProject, cores, 5 * settings.runs);
    const double conversionSpeedUp = PairedRatio(convertOne, convertAll);
    const int largest = settings.scalePages.back();
    const long largestDryPeak =
        Measure(CliCommand(settings, {"dynamize",
                                      (fs::path(SiteFor(settings, largest)) / "site.trvx").string(),
                                      "--dry-run", "--quiet"}))
            .peakKilobytes;

    double fastest = perPage.front().second;
    double slowest = fastest;
    for (const auto& [pages, seconds] : perPage) {
        fastest = std::min(fastest, seconds);
        slowest = std::max(slowest, seconds);
    }

    report << "\n| target | measured | verdict |\n|---|---|---|\n"
           << "| dynamize / safe floor <= 1.25 | " << Format("%.2f", dynamizeToSafe) << " | "
           << Verdict(dynamizeToSafe <= 1.25) << " |\n"
           << "| dynamize / in-place floor" << (settings.ram ? " <= 1.5" : " (reported)") << " | "
           << Format("%.2f", dynamizeToInPlace) << " | "
           << (settings.ram ? Verdict(dynamizeToInPlace <= 1.5) : std::string()) << " |\n"
           << "| keeping line ends / CR LF, instructions on " << settings.referencePages
           << " pages <= 1.05 | " << Format("%.3f", keepRatio) << " ("
           << Format("%.3g", keepInstructions) << " / " << Format("%.3g", engineInstructions)
           << "; wall time on " << mainPages << " pages "
           << Format("%.2f", Median(main.keep) / dynamize) << ") | "
           << Verdict(keepRatio > 0 && keepRatio <= 1.05) << " |\n"
           << "| menus with links following each page and the current page marked / as written "
              "<= 1.3 | "
           << Format("%.2f", linksToAsWritten) << " | " << Verdict(linksToAsWritten <= 1.3)
           << " |\n"
           << "| dynamize again / in-place floor <= " << (settings.ram ? "1.0" : "0.5") << " | "
           << Format("%.2f", againToInPlace) << " | "
           << Verdict(againToInPlace <= (settings.ram ? 1.0 : 0.5)) << " |\n"
           << "| check / in-place floor <= " << (settings.ram ? "1.2" : "1.0") << " | "
           << Format("%.2f", checkToInPlace) << " | "
           << Verdict(checkToInPlace <= (settings.ram ? 1.2 : 1.0)) << " |\n"
           << "| reading and converting (a dry run, the conversion alone, timed in one process) on "
           << cores << " cores / on one" << (cores >= 2 ? " >= 1.7" : "") << " | "
           << Format("%.2f", conversionSpeedUp) << " (" << Format("%.4f", Median(convertOne))
           << " s / " << Format("%.4f", Median(convertAll)) << " s) | "
           << (cores >= 2 ? Verdict(conversionSpeedUp >= 1.7) : std::string()) << " |\n"
           << "| (the same, the whole process, started as a shell starts it) | "
           << Format("%.2f", speedUp) << " (" << Format("%.3f", Median(dryOne)) << " s / "
           << Format("%.3f", Median(dryAll)) << " s) | |\n"
           << "| peak memory of a dry run on " << largest << " pages <= 128 MiB | "
           << Format("%.1f", largestDryPeak / 1024.0) << " MiB | "
           << Verdict(largestDryPeak <= 128 * 1024) << " |\n"
           << "| step-by-step / dynamize on " << settings.referencePages << " pages >= 100 | "
           << Format("%.0f", referenceRatio) << " (" << Format("%.3f", Median(reference)) << " s / "
           << Format("%.4f", Median(engine)) << " s; outputs "
           << (identical ? "identical" : "DIFFERENT") << ") | "
           << Verdict(referenceRatio >= 100 && identical) << " |\n"
           << "| (the same, CPU time of the process) | "
           << Format("%.0f", Median(referenceCpu) / Median(engineCpu)) << " ("
           << Format("%.3f", Median(referenceCpu)) << " s / " << Format("%.4f", Median(engineCpu))
           << " s) | |\n"
           << "| (the same, instructions counted by callgrind) | "
           << (engineInstructions > 0 ? Format("%.0f", referenceInstructions / engineInstructions)
                                      : std::string("valgrind missing"))
           << " (" << Format("%.3g", referenceInstructions) << " / "
           << Format("%.3g", engineInstructions) << ") | |\n"
           << "| (safe floor on the same " << settings.referencePages << " pages) | "
           << Format("%.4f", Median(smallSafe)) << " s: step-by-step / safe floor "
           << Format("%.0f", Median(reference) / Median(smallSafe)) << " | |\n"
           << "| peak memory <= 3 x (largest page + all templates) + 20 MB = "
           << Format("%.1f", static_cast<double>(bound) / (1024 * 1024)) << " MB | "
           << Format("%.1f", static_cast<double>(peak) / 1024) << " MB (dynamize "
           << Format("%.1f", main.dynamizePeak / 1024.0) << ", again "
           << Format("%.1f", main.againPeak / 1024.0) << ", check "
           << Format("%.1f", main.checkPeak / 1024.0) << ") | "
           << Verdict(static_cast<std::uintmax_t>(peak) * 1024 <= bound) << " |\n"
           << "| dynamize time per page flat within 25 % (";
    for (std::size_t i = 0; i < perPage.size(); ++i) {
        report << (i > 0 ? ", " : "") << perPage[i].first << ": "
               << Format("%.3f", perPage[i].second * 1000) << " ms";
    }
    report << ") | slowest / fastest " << Format("%.2f", slowest / fastest) << " | "
           << Verdict(slowest / fastest <= 1.25) << " |\n";

    for (const auto& [pages, seconds] : suggest) {
        const double target = pages / 1000.0;
        report << "| suggest on " << pages << " pages <= " << Format("%.0f", target) << " s | "
               << Format("%.3f", seconds) << " s | " << Verdict(seconds <= target) << " |\n";
    }

    if (window.measured) {
        report << "\nThe window (offscreen, " << mainPages << " pages): shown "
               << Format("%.3f", window.shown)
               << " s after the process started; Preview Changes shown after "
               << Format("%.3f", window.preview) << " s; Dynamize through it "
               << Format("%.3f", window.dynamize)
               << " s (the command line: " << Format("%.3f", dynamize)
               << " s), the current-file line painted with " << window.fileLineChanges
               << " different texts during the run.\n";
    }

    const std::string text = report.str();
    std::fwrite(text.data(), 1, text.size(), stdout);
    std::ofstream(settings.reportFile, std::ios::trunc) << text;
    return identical ? 0 : 1;
}

} // namespace quillstamper::bench
