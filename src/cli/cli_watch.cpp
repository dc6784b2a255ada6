#include "cli/cli_watch.h"

#include <ostream>

namespace quillstamper::cli {

// Placeholder until the watch loop lands.
int RunWatch(const SourceOptions&, const WatchOptions&, std::ostream&, std::ostream& err) {
    err << kProgram << ": watch is not available yet\n";
    return kExitFailure;
}

} // namespace quillstamper::cli
