#pragma once

namespace quillstamper::cli {

// The name every message and help text gives the program.
inline constexpr const char* kProgram = "quillstamper-cli";

// Exit statuses, so that a build can tell drift from broken markers from failures.
enum ExitStatus : int {
    kExitSuccess = 0,
    kExitFindings = 1,      // the check found reports, or dynamize --check found drift
    kExitFailure = 2,       // usage, precondition, refused project file, file error
    kExitBlockLeftAlone = 3 // dynamize left a block unchanged: an end line is missing
};

} // namespace quillstamper::cli
