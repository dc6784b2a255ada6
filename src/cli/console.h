#pragma once

#include <atomic>
#include <string>
#include <vector>

// The system's part of the program around the command line: the arguments,
// the standard streams, stop requests and limits. One implementation per
// system (console_posix.cpp, console_win32.cpp).
namespace quillstamper::cli {

// Sets the process up before anything is read or printed.
void PrepareProcess();

// The arguments as UTF-8, as the rest of the program takes them.
std::vector<std::string> ArgumentsInUtf8(int argc, char** argv);

// Where stop requests (Ctrl-C and its kind) are told from now on: the
// signal number, or 0 while none came. The run then finishes the page in
// hand and drops what waits for its rename; a second request ends the
// process at once, which still leaves every page old or new.
const std::atomic<int>* CatchStopRequests();

// True when stderr is shown to a person, who sees the progress line.
bool ErrIsTerminal();

} // namespace quillstamper::cli
