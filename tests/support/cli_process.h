#pragma once

#include "support/test_files.h"

#include <chrono>
#include <cstdint>
#include <string>
#include <vector>

namespace quillstamper::test {

// How a run of quillstamper-cli ended and what it printed.
struct CliRun {
    int status = -1; // the exit status; -1 when a signal ended it
    std::string out;
    std::string err;
    long peakMegabytes = 0; // the most memory it held at once
};

struct CliSetup {
    std::string folder{}; // its current folder; empty: this process's
    // As "nobody" (65534) through setpriv when the tests run as root, so that
    // permission bits apply (POSIX only).
    bool unprivileged = false;
    // Killed once it has run this long, with status 124 as from timeout(1); 0: never.
    std::chrono::seconds timeout{0};
};

// The path of the quillstamper-cli the tests start.
const char* CliProgram();

// quillstamper-cli started with args, reading nothing (stdin is /dev/null);
// its stdout and stderr are kept in files of its own. A process not waited
// for is killed when the object ends.
class CliProcess {
public:
    explicit CliProcess(const std::vector<std::string>& args, const CliSetup& setup = {});
    ~CliProcess();
    CliProcess(const CliProcess&) = delete;
    CliProcess& operator=(const CliProcess&) = delete;

    // On Windows SIGINT and SIGTERM are a Ctrl-C in the program's console (a
    // request to stop, exit status 130), and any other signal ends it as
    // SIGKILL would.
    void Signal(int signal) const;
    // Returns once the program handles signal itself (Linux: its handler is
    // in place), or has ended; elsewhere at once. A signal sent before that
    // ends any program, whatever it does.
    void WaitUntilCatching(int signal) const;
    // Ends it at once, as SIGKILL does.
    void Kill() const;
    // What it has written to stderr and stdout so far, for a test that waits for a message.
    std::string ErrorsSoFar() const;
    std::string OutputSoFar() const;
    // Waits for the end of the process (once).
    CliRun Wait();

private:
    TempDir m_output;
    std::chrono::seconds m_timeout;
    std::intptr_t m_process = -1; // the process id on POSIX, its handle on Windows
};

// Starts quillstamper-cli and waits for it.
CliRun RunCli(const std::vector<std::string>& args, const CliSetup& setup = {});

} // namespace quillstamper::test
