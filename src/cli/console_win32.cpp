#include "cli/console.h"

// Before the headers that take its types.
#include <windows.h>

#include <csignal>
#include <cstdio>
#include <fcntl.h>
#include <io.h>
#include <shellapi.h>

namespace quillstamper::cli {

namespace {

std::atomic<int>& StopRequested() {
    static std::atomic<int> signal{0};
    return signal;
}

// Ctrl-C, Ctrl-Break and a closed console all count as SIGINT: exit 130, as
// after Ctrl-C elsewhere. Runs on a thread of its own.
BOOL WINAPI OnConsoleEvent(DWORD event) {
    if (event != CTRL_C_EVENT && event != CTRL_BREAK_EVENT && event != CTRL_CLOSE_EVENT) {
        return FALSE;
    }
    if (StopRequested().exchange(SIGINT) != 0) {
        return FALSE; // the second one: the system ends the process
    }
    if (event == CTRL_CLOSE_EVENT) {
        // The process ends when this returns; the system waits 5 seconds at
        // most, which gives the run time to finish the page in hand.
        ::Sleep(4500);
    }
    return TRUE;
}

std::string Utf8FromWide(const wchar_t* text) {
    const int size = ::WideCharToMultiByte(CP_UTF8, 0, text, -1, nullptr, 0, nullptr, nullptr);
    std::string narrow(static_cast<std::size_t>(size > 0 ? size : 1), '\0');
    ::WideCharToMultiByte(CP_UTF8, 0, text, -1, narrow.data(), size, nullptr, nullptr);
    narrow.resize(narrow.size() - 1);
    return narrow;
}

} // namespace

// Output keeps its bytes (no "\r" added before "\n", so diffs and JSON are
// as on Linux), the console shows UTF-8 and takes the progress line's
// escape sequences.
void PrepareProcess() {
    ::_setmode(::_fileno(stdout), _O_BINARY);
    ::_setmode(::_fileno(stderr), _O_BINARY);
    ::SetConsoleOutputCP(CP_UTF8);
    const HANDLE err = ::GetStdHandle(STD_ERROR_HANDLE);
    DWORD mode = 0;
    if (::GetConsoleMode(err, &mode)) {
        ::SetConsoleMode(err, mode | ENABLE_VIRTUAL_TERMINAL_PROCESSING);
    }
}

// From the wide command line, which holds every name whatever the code page.
std::vector<std::string> ArgumentsInUtf8(int argc, char** argv) {
    int count = 0;
    wchar_t** wide = ::CommandLineToArgvW(::GetCommandLineW(), &count);
    if (wide == nullptr) {
        return std::vector<std::string>(argv, argv + argc);
    }
    std::vector<std::string> arguments;
    for (int i = 0; i < count; ++i) {
        arguments.push_back(Utf8FromWide(wide[i]));
    }
    ::LocalFree(wide);
    return arguments;
}

const std::atomic<int>* CatchStopRequests() {
    ::SetConsoleCtrlHandler(OnConsoleEvent, TRUE);
    return &StopRequested();
}

// A console, not a file or a pipe (which _isatty cannot tell from NUL).
bool ErrIsTerminal() {
    DWORD mode = 0;
    return ::GetConsoleMode(::GetStdHandle(STD_ERROR_HANDLE), &mode) != 0;
}

} // namespace quillstamper::cli
