// quillstamper-cli: the engine of Quillstamper for builds and CI.

#include "cli/command_line.h"
#include "cli/console.h"

#include <iostream>
#include <string>
#include <vector>

int main(int argc, char** argv) {
    using namespace quillstamper::cli;
    PrepareProcess();
    std::ios::sync_with_stdio(false);
    std::vector<std::string> arguments = ArgumentsInUtf8(argc, argv);
    std::vector<char*> pointers;
    for (std::string& argument : arguments) {
        pointers.push_back(argument.data());
    }
    pointers.push_back(nullptr);
    return RunCommandLine(
        static_cast<int>(arguments.size()), pointers.data(), std::cout, std::cerr,
        {.catchStopSignals = CatchStopRequests, .errIsTerminal = ErrIsTerminal()});
}
