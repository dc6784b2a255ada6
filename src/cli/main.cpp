// quillstamper-cli: the engine of Quillstamper for builds and CI.

#include "cli/command_line.h"

#include <atomic>
#include <csignal>
#include <iostream>
#include <sys/resource.h>
#include <unistd.h>

namespace {

std::atomic<int>& StopRequested() {
    static std::atomic<int> signal{0};
    return signal;
}

extern "C" void OnStopSignal(int signal) {
    StopRequested().store(signal);
}

// Ctrl-C, a shutdown or a closed terminal let the run finish the page in
// hand and drop what waits for its rename; a second one ends it at once,
// which still leaves every page old or new.
const std::atomic<int>* CatchStopSignals() {
    struct sigaction action {};
    action.sa_handler = OnStopSignal;
    action.sa_flags = SA_RESTART | SA_RESETHAND;
    sigemptyset(&action.sa_mask);
    for (const int signal : {SIGINT, SIGTERM, SIGHUP}) {
        ::sigaction(signal, &action, nullptr);
    }
    return &StopRequested();
}

// Pages wait for their rename with their temporary file open: the more may
// be open, the fewer flushes a large run needs.
void RaiseOpenFileLimit() {
    rlimit limit{};
    if (::getrlimit(RLIMIT_NOFILE, &limit) == 0 && limit.rlim_cur < limit.rlim_max) {
        limit.rlim_cur = limit.rlim_max;
        ::setrlimit(RLIMIT_NOFILE, &limit);
    }
}

} // namespace

int main(int argc, char** argv) {
    std::ios::sync_with_stdio(false);
    RaiseOpenFileLimit();
    return quillstamper::cli::RunCommandLine(
        argc, argv, std::cout, std::cerr,
        {.catchStopSignals = CatchStopSignals, .errIsTerminal = ::isatty(STDERR_FILENO) == 1});
}
