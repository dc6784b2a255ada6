#include "support/cli_process.h"

namespace quillstamper::test {

const char* CliProgram() {
    return QUILLSTAMPER_CLI;
}

std::string CliProcess::ErrorsSoFar() const {
    return ReadBytes(m_output / "err");
}

std::string CliProcess::OutputSoFar() const {
    return ReadBytes(m_output / "out");
}

CliRun RunCli(const std::vector<std::string>& args, const CliSetup& setup) {
    return CliProcess(args, setup).Wait();
}

} // namespace quillstamper::test
