#pragma once

#include <string>
#include <vector>

namespace quillstamper::bench {

struct RunnerSettings {
    std::string workFolder;
    std::string cli;         // quillstamper-cli
    std::string self;        // this program, for the floors and the reference
    std::string windowBench; // empty without the window
    std::string reportFile;
    std::string command; // how the runner was started, for the report
    // Given to every dynamize and check measured: --threads N.
    std::vector<std::string> cliOptions;
    // The work folder is on a RAM file system (said in the report).
    bool ram = false;
    int runs = 5;
    int referencePages = 200;
    std::vector<int> scalePages = {2000, 10000, 20000};
};

// Generates the sites, measures every command side by side, prints a table
// of medians and ratios and writes it to the report file. Returns 0 when
// every command ran as expected (the targets may still be missed).
int RunBenchmarks(const RunnerSettings& settings);

// Times a dry conversion of the project in this process, on one thread and
// on every core in turn, and prints the medians and their ratio.
int RunConversionTiming(const std::string& project, int rounds);

} // namespace quillstamper::bench
