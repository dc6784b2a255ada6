#include "support/cli_process.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <csignal>
#include <fcntl.h>
#include <fstream>
#include <string>
#include <string_view>
#include <sys/resource.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

namespace quillstamper::test {

namespace {

// Only calls that are safe between fork and exec.
bool OpenAs(int target, const char* path, int flags) {
    const int fd = ::open(path, flags, 0644);
    if (fd < 0) {
        return false;
    }
    const bool opened = ::dup2(fd, target) == target;
    ::close(fd);
    return opened;
}

// The reason on stderr, for the test's message, and the status as from a shell.
[[noreturn]] void FailInChild(std::string_view reason, int status) {
    [[maybe_unused]] const ssize_t written = ::write(STDERR_FILENO, reason.data(), reason.size());
    ::_exit(status);
}

} // namespace

CliProcess::CliProcess(const std::vector<std::string>& args, const CliSetup& setup)
    : m_timeout(setup.timeout) {
    std::vector<std::string> command = {CliProgram()};
    if (setup.unprivileged && IsPrivileged()) {
        command.insert(command.begin(),
                       {"setpriv", "--reuid=65534", "--regid=65534", "--clear-groups"});
    }
    command.insert(command.end(), args.begin(), args.end());
    std::vector<char*> argv;
    for (std::string& arg : command) {
        argv.push_back(arg.data());
    }
    argv.push_back(nullptr);
    const std::string out = m_output / "out";
    const std::string err = m_output / "err";
    const int writeFlags = O_WRONLY | O_CREAT | O_TRUNC;
    // There before the program starts, for a test that reads them at once.
    WriteBytes(out, "");
    WriteBytes(err, "");

    const pid_t pid = ::fork();
    m_process = pid;
    if (pid == 0) {
        if (!OpenAs(STDIN_FILENO, "/dev/null", O_RDONLY) ||
            !OpenAs(STDOUT_FILENO, out.c_str(), writeFlags) ||
            !OpenAs(STDERR_FILENO, err.c_str(), writeFlags)) {
            ::_exit(126);
        }
        if (!setup.folder.empty() && ::chdir(setup.folder.c_str()) != 0) {
            FailInChild("cannot enter the folder\n", 126);
        }
        ::execvp(argv[0], argv.data());
        FailInChild("cannot start the program\n", 127);
    }
    if (m_process < 0) {
        ADD_FAILURE() << "cannot start " << CliProgram();
    }
}

CliProcess::~CliProcess() {
    if (m_process > 0) {
        ::kill(static_cast<pid_t>(m_process), SIGKILL);
        ::waitpid(static_cast<pid_t>(m_process), nullptr, 0);
    }
}

void CliProcess::Signal(int signal) const {
    if (m_process > 0) {
        ::kill(static_cast<pid_t>(m_process), signal);
    }
}

void CliProcess::WaitUntilCatching(int signal) const {
    const std::string status = "/proc/" + std::to_string(m_process) + "/status";
    const auto deadline =
        std::chrono::steady_clock::now() + std::max(m_timeout, std::chrono::seconds(60));
    while (m_process > 0 && std::chrono::steady_clock::now() < deadline) {
        std::ifstream file(status);
        std::string line;
        bool known = false;
        while (std::getline(file, line)) {
            if (line.rfind("State:", 0) == 0 && line.find('Z') != std::string::npos) {
                return; // it has ended
            }
            if (line.rfind("SigCgt:", 0) == 0) {
                known = true;
                if ((std::stoull(line.substr(7), nullptr, 16) >> (signal - 1)) & 1) {
                    return;
                }
            }
        }
        if (!known) {
            return; // no /proc, or the process has ended
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
}

void CliProcess::Kill() const {
    Signal(SIGKILL);
}

CliRun CliProcess::Wait() {
    CliRun run;
    if (m_process <= 0) {
        return run;
    }
    const auto pid = static_cast<pid_t>(m_process);
    const auto deadline = std::chrono::steady_clock::now() + m_timeout;
    int status = 0;
    rusage usage{};
    bool timedOut = false;
    pid_t ended = 0;
    while (m_timeout.count() > 0 && (ended = ::wait4(pid, &status, WNOHANG, &usage)) == 0) {
        if (std::chrono::steady_clock::now() > deadline) {
            ::kill(pid, SIGKILL);
            timedOut = true;
            break;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    if (ended == 0) {
        ended = ::wait4(pid, &status, 0, &usage);
    }
    if (ended != pid) {
        ADD_FAILURE() << "cannot wait for " << CliProgram();
        return run;
    }
    m_process = -1;
    run.status = timedOut ? 124 : WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    run.peakMegabytes = usage.ru_maxrss / 1024;
    run.out = ReadBytes(m_output / "out");
    run.err = ReadBytes(m_output / "err");
    return run;
}

} // namespace quillstamper::test
