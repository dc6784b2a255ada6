#pragma once

#include <atomic>
#include <functional>
#include <iosfwd>
#include <string>

namespace quillstamper::cli {

// What the program around the command line provides.
struct CommandLineEnvironment {
    // Relative paths on the command line are taken below it; empty: the current folder.
    std::string workingFolder{};
    // Installs the handlers of the stop signals and gives the flag they set.
    // Called only when dynamize starts, so that the other commands still end
    // at once on Ctrl-C; without it nothing stops a run early.
    std::function<const std::atomic<int>*()> catchStopSignals{};
    // stderr is a terminal, so a long run may show a progress line there.
    bool errIsTerminal = false;
};

// Parses argv (argv[0] names the program) and runs its command; returns the
// exit status (see ExitStatus). Whatever escapes the command is a message and
// kExitFailure.
int RunCommandLine(int argc, const char* const* argv, std::ostream& out, std::ostream& err,
                   const CommandLineEnvironment& environment = {});

} // namespace quillstamper::cli
