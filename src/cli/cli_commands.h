#pragma once

#include "base/site_definition.h"
#include "files/file_io.h"

#include <atomic>
#include <chrono>
#include <cstdint>
#include <iosfwd>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace quillstamper {
class ConversionObserver;
}

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

// Where the lists come from: a project file, or paths and folders given on
// the command line.
struct SourceOptions {
    std::string projectFile;
    std::vector<std::string> webPaths;
    std::vector<std::string> templatePaths;
    // Globs for what folder searches leave out (see MatchesExcludePattern).
    std::vector<std::string> excludePatterns;
    // Larger files, the project file among them, end the command.
    std::uint64_t maxFileBytes = kDefaultMaxFileBytes;
    // Relative paths above are taken below it, and what is found below it is
    // named relative to it; empty: the current folder.
    std::string workingFolder;
    // A folder given that holds no file yet is waited for (watch), not refused.
    bool waitForFiles = false;
};

// How dynamize and check report: to people (text), as one JSON document, or
// as GitHub Actions workflow commands.
enum class ReportFormat { Text, Json, Github };

struct DynamizeOptions {
    bool dryRun = false;
    bool check = false;
    bool diff = false;
    bool quiet = false;
    // Set to a signal number by the program's handler: the run stops cleanly
    // and the status is 128 plus that number.
    const std::atomic<int>* interrupt = nullptr;
    // Overrides the project's setting; without a project the default is keep.
    std::optional<LineEnds> lineEnds;
    // Overrides the project's setting; without a project the default is own.
    std::optional<EndLines> endLines;
    ReportFormat format = ReportFormat::Text;
    // stderr is a terminal: a run longer than a second shows a progress line there.
    bool progress = false;
    // How long a run goes before that line shows; the tests shorten it.
    std::chrono::milliseconds progressDelay = std::chrono::seconds(1);
    // Told what the run does too (watch learns what the run wrote).
    ConversionObserver* observer = nullptr;
};

struct CheckOptions {
    bool strict = false;              // notes count as findings too
    std::optional<EndLines> endLines; // as in DynamizeOptions
    ReportFormat format = ReportFormat::Text;
    bool progress = false; // as in DynamizeOptions
    std::chrono::milliseconds progressDelay = std::chrono::seconds(1);
};

struct InitOptions {
    std::string projectFile;
    std::vector<std::string> webPaths;
    std::vector<std::string> templatePaths;
    std::vector<std::string> excludePatterns;
    bool force = false;
    LineEnds lineEnds = LineEnds::Keep;
    EndLines endLines = EndLines::Own;
    std::string workingFolder; // as in SourceOptions
};

// "crlf", "lf" or "keep", as the option takes them; nothing for another word.
std::optional<LineEnds> ParseLineEnds(std::string_view word);
// "own" or "any"; nothing for another word.
std::optional<EndLines> ParseEndLines(std::string_view word);
// "text", "json" or "github"; nothing for another word.
std::optional<ReportFormat> ParseReportFormat(std::string_view word);

struct Sources;

// loaded: the lists already read from sources (watch reads them to know what
// to watch); without them, read here.
int RunDynamize(const SourceOptions& sources, const DynamizeOptions& options, std::ostream& out,
                std::ostream& err, const Sources* loaded = nullptr);
int RunCheck(const SourceOptions& sources, const CheckOptions& options, std::ostream& out,
             std::ostream& err);
int RunInit(const InitOptions& options, std::ostream& out, std::ostream& err);

} // namespace quillstamper::cli
