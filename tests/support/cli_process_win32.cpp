#include "support/cli_process.h"

#include "base/utf8_path.h"

#include <windows.h>

#include <gtest/gtest.h>

#include <csignal>
#include <filesystem>
#include <psapi.h>

namespace quillstamper::test {

namespace {

std::wstring Wide(const std::string& text) {
    return quillstamper::PathFromUtf8(text).wstring();
}

// As the C runtime splits a command line: quotes around, backslashes before
// a quote doubled.
std::wstring Quoted(const std::wstring& arg) {
    if (!arg.empty() && arg.find_first_of(L" \t\n\v\"") == std::wstring::npos) {
        return arg;
    }
    std::wstring quoted = L"\"";
    std::size_t backslashes = 0;
    for (const wchar_t c : arg) {
        if (c == L'\\') {
            ++backslashes;
            continue;
        }
        quoted.append(c == L'"' ? backslashes * 2 + 1 : backslashes, L'\\');
        backslashes = 0;
        quoted += c;
    }
    quoted.append(backslashes * 2, L'\\');
    return quoted + L"\"";
}

// Inherited by the child; the test reads the file while the child writes.
HANDLE OpenForChild(const std::string& path, bool write) {
    SECURITY_ATTRIBUTES inherit{sizeof inherit, nullptr, TRUE};
    return ::CreateFileW(Wide(path).c_str(), write ? GENERIC_WRITE : GENERIC_READ,
                         FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, &inherit,
                         write ? CREATE_ALWAYS : OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
}

HANDLE ProcessOf(std::intptr_t process) {
    return reinterpret_cast<HANDLE>(process);
}

} // namespace

CliProcess::CliProcess(const std::vector<std::string>& args, const CliSetup& setup)
    : m_timeout(setup.timeout) {
    std::wstring commandLine = Quoted(Wide(CliProgram()));
    for (const std::string& arg : args) {
        commandLine += L" " + Quoted(Wide(arg));
    }
    const std::string out = m_output / "out";
    const std::string err = m_output / "err";
    const HANDLE input = OpenForChild("NUL", false);
    const HANDLE output = OpenForChild(out, true);
    const HANDLE errors = OpenForChild(err, true);
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    startup.dwFlags = STARTF_USESTDHANDLES | STARTF_USESHOWWINDOW;
    startup.wShowWindow = SW_HIDE;
    startup.hStdInput = input;
    startup.hStdOutput = output;
    startup.hStdError = errors;
    PROCESS_INFORMATION started{};
    const std::wstring folder = Wide(setup.folder);
    // A console of its own (hidden), so that a Ctrl-C reaches it alone.
    if (::CreateProcessW(nullptr, commandLine.data(), nullptr, nullptr, TRUE, CREATE_NEW_CONSOLE,
                         nullptr, folder.empty() ? nullptr : folder.c_str(), &startup, &started)) {
        ::CloseHandle(started.hThread);
        m_process = reinterpret_cast<std::intptr_t>(started.hProcess);
    } else {
        ADD_FAILURE() << "cannot start " << CliProgram() << " (error " << ::GetLastError() << ")";
    }
    for (const HANDLE handle : {input, output, errors}) {
        if (handle != INVALID_HANDLE_VALUE) {
            ::CloseHandle(handle);
        }
    }
}

CliProcess::~CliProcess() {
    if (m_process != -1) {
        ::TerminateProcess(ProcessOf(m_process), 137);
        ::WaitForSingleObject(ProcessOf(m_process), INFINITE);
        ::CloseHandle(ProcessOf(m_process));
    }
}

void CliProcess::Signal(int signal) const {
    if (m_process == -1) {
        return;
    }
    if (signal == SIGINT || signal == SIGTERM) {
        // Sent from inside its console, which this process joins for the
        // moment, ignoring the event itself.
        ::FreeConsole();
        if (::AttachConsole(::GetProcessId(ProcessOf(m_process)))) {
            ::SetConsoleCtrlHandler(nullptr, TRUE);
            ::GenerateConsoleCtrlEvent(CTRL_C_EVENT, 0);
            ::FreeConsole();
        }
    } else {
        ::TerminateProcess(ProcessOf(m_process), 128 + signal);
    }
}

void CliProcess::WaitUntilCatching(int) const {}

void CliProcess::Kill() const {
    if (m_process != -1) {
        ::TerminateProcess(ProcessOf(m_process), 137);
    }
}

CliRun CliProcess::Wait() {
    CliRun run;
    if (m_process == -1) {
        return run;
    }
    const HANDLE process = ProcessOf(m_process);
    const DWORD wait =
        m_timeout.count() > 0
            ? static_cast<DWORD>(
                  std::chrono::duration_cast<std::chrono::milliseconds>(m_timeout).count())
            : INFINITE;
    const bool timedOut = ::WaitForSingleObject(process, wait) == WAIT_TIMEOUT;
    if (timedOut) {
        ::TerminateProcess(process, 124);
        ::WaitForSingleObject(process, INFINITE);
    }
    DWORD status = 0;
    ::GetExitCodeProcess(process, &status);
    PROCESS_MEMORY_COUNTERS memory{};
    if (::GetProcessMemoryInfo(process, &memory, sizeof memory)) {
        run.peakMegabytes = static_cast<long>(memory.PeakWorkingSetSize / (1024 * 1024));
    }
    ::CloseHandle(process);
    m_process = -1;
    run.status = timedOut ? 124 : static_cast<int>(status);
    run.out = ReadBytes(m_output / "out");
    run.err = ReadBytes(m_output / "err");
    return run;
}

} // namespace quillstamper::test
