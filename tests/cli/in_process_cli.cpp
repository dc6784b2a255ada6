#include "in_process_cli.h"

#include "cli/command_line.h"

#include <sstream>

namespace quillstamper::test {

CliRun RunInProcess(const std::string& folder, const Args& args) {
    std::vector<const char*> argv = {"quillstamper-cli"};
    for (const std::string& arg : args) {
        argv.push_back(arg.c_str());
    }
    argv.push_back(nullptr);
    std::ostringstream out;
    std::ostringstream err;
    CliRun run;
    run.status = cli::RunCommandLine(static_cast<int>(argv.size() - 1), argv.data(), out, err,
                                     {.workingFolder = folder});
    run.out = out.str();
    run.err = err.str();
    return run;
}

std::string Lines(const Args& lines, const std::string& eol) {
    std::string text;
    for (const std::string& line : lines) {
        text += line + eol;
    }
    return text;
}

} // namespace quillstamper::test
