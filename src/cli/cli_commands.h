#pragma once

#include "base/site_definition.h"
#include "cli/cli_sources.h"
#include "cli/program.h"
#include "cli/setting_options.h"

#include <atomic>
#include <chrono>
#include <iosfwd>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace quillstamper {
class ConversionObserver;
}

namespace quillstamper::cli {

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
    // Win over the project's settings; without a project, line ends keep.
    SettingOverrides settings{};
    ReportFormat format = ReportFormat::Text;
    // stderr is a terminal: a run longer than a second shows a progress line there.
    bool progress = false;
    // How long a run goes before that line shows; the tests shorten it.
    std::chrono::milliseconds progressDelay = std::chrono::seconds(1);
    // Told what the run does too (watch learns what the run wrote).
    ConversionObserver* observer = nullptr;
};

struct CheckOptions {
    bool strict = false;         // notes count as findings too
    SettingOverrides settings{}; // as in DynamizeOptions
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
    // What the project file keeps; a link base is absolute until written.
    ProjectSettings settings{.lineEnds = LineEnds::Keep};
    std::string workingFolder; // as in SourceOptions
};

// "text", "json" or "github"; nothing for another word.
std::optional<ReportFormat> ParseReportFormat(std::string_view word);

// Each returns the command's exit status (see ExitStatus).
int RunDynamize(const SourceOptions& sources, const DynamizeOptions& options, std::ostream& out,
                std::ostream& err);
// On lists read already, whose warnings the caller has shown (watch reads
// them to know what to watch).
int RunDynamize(const LoadedSite& loaded, const SourceOptions& sources,
                const DynamizeOptions& options, std::ostream& out, std::ostream& err);
int RunCheck(const SourceOptions& sources, const CheckOptions& options, std::ostream& out,
             std::ostream& err);
int RunInit(const InitOptions& options, std::ostream& out, std::ostream& err);

} // namespace quillstamper::cli
