#pragma once

#include "cli/cli_commands.h"

#include <atomic>
#include <chrono>
#include <iosfwd>
#include <optional>

namespace quillstamper::os {
class ChangeWatch;
}

namespace quillstamper::cli {

struct WatchOptions {
    // As dynamize's: each run prints what it updated.
    bool quiet = false;
    SettingOverrides settings{};
    // Set to a signal number by the program's handler: the watch ends, status 0.
    const std::atomic<int>* interrupt = nullptr;
    // A run starts this long after the last change seen.
    std::chrono::milliseconds debounce{200};
    // Poll modification times instead of asking the kernel (where it cannot tell).
    bool poll = false;
};

// Waits for a change and then for debounce without one, as an editor's save
// is several changes; false when interrupted first.
bool WaitForSettledChange(os::ChangeWatch& watch, std::chrono::milliseconds debounce,
                          const std::atomic<int>* interrupt);

// Dynamizes once, then again each time a template file or the project file
// changes, until interrupted. Returns the exit status.
int RunWatch(const SourceOptions& sources, const WatchOptions& options, std::ostream& out,
             std::ostream& err);

} // namespace quillstamper::cli
