#pragma once

#include "support/cli_process.h"

#include <string>
#include <vector>

namespace quillstamper::test {

using Args = std::vector<std::string>;

// The command line run in this process, as if folder were the current one.
CliRun RunInProcess(const std::string& folder, const Args& args);

// The lines, each ended with eol.
std::string Lines(const Args& lines, const std::string& eol = "\r\n");

} // namespace quillstamper::test
