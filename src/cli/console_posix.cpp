#include "cli/console.h"

#include <csignal>
#include <sys/resource.h>
#include <unistd.h>

namespace quillstamper::cli {

namespace {

std::atomic<int>& StopRequested() {
    static std::atomic<int> signal{0};
    return signal;
}

extern "C" void OnStopSignal(int signal) {
    StopRequested().store(signal);
}

} // namespace

// Pages wait for their rename with their temporary file open: the more may
// be open, the fewer flushes a large run needs.
void PrepareProcess() {
    rlimit limit{};
    if (::getrlimit(RLIMIT_NOFILE, &limit) == 0 && limit.rlim_cur < limit.rlim_max) {
        limit.rlim_cur = limit.rlim_max;
        ::setrlimit(RLIMIT_NOFILE, &limit);
    }
}

std::vector<std::string> ArgumentsInUtf8(int argc, char** argv) {
    return std::vector<std::string>(argv, argv + argc);
}

// Ctrl-C, a shutdown or a closed terminal; SA_RESETHAND makes the second one
// end the process.
const std::atomic<int>* CatchStopRequests() {
    struct sigaction action {};
    action.sa_handler = OnStopSignal;
    action.sa_flags = SA_RESTART | SA_RESETHAND;
    sigemptyset(&action.sa_mask);
    for (const int signal : {SIGINT, SIGTERM, SIGHUP}) {
        ::sigaction(signal, &action, nullptr);
    }
    return &StopRequested();
}

bool ErrIsTerminal() {
    return ::isatty(STDERR_FILENO) == 1;
}

} // namespace quillstamper::cli
