#include "cli/cli_commands.h"

#include "cli/progress_line.h"
#include "cli/report_content.h"
#include "cli/report_github.h"
#include "cli/report_json.h"
#include "cli/report_text.h"

#include "base/file_error.h"
#include "base/path_resolution.h"
#include "base/quote_path.h"
#include "base/utf8_path.h"
#include "conversion/conversion_run.h"
#include "conversion/file_check.h"
#include "conversion/page_links.h"
#include "diff/unified_diff.h"
#include "files/file_collection.h"
#include "files/recovery_store.h"
#include "project/project_file.h"

#include <filesystem>
#include <functional>
#include <ostream>

namespace quillstamper::cli {

namespace {

// Keeps the diff of each changed file; they are printed once the run is
// over, beside the files that were really replaced.
class DiffCollector : public ConversionObserver {
public:
    void OnFileConverted(std::size_t webIndex, const std::string& webEntry,
                         std::string_view oldBytes, std::string_view newBytes,
                         FileOutcome outcome) override {
        if (m_diffs.size() <= webIndex) {
            m_diffs.resize(webIndex + 1);
        }
        // A page converted again replaces its first diff.
        m_diffs[webIndex] = outcome == FileOutcome::Updated
                                ? FormatUnifiedDiff(webEntry, oldBytes, newBytes)
                                : std::string();
    }

    const std::string& DiffOf(std::size_t webIndex) const {
        static const std::string kNone;
        return webIndex < m_diffs.size() ? m_diffs[webIndex] : kNone;
    }

private:
    std::vector<std::string> m_diffs; // by web list index
};

// Tells every observer given what the run tells it.
class ObserverFanOut : public ConversionObserver {
public:
    explicit ObserverFanOut(std::vector<ConversionObserver*> observers)
        : m_observers(std::move(observers)) {}

    void OnPassStarted(const std::string& webEntry, int pair) override {
        for (ConversionObserver* observer : m_observers) {
            observer->OnPassStarted(webEntry, pair);
        }
    }

    void OnFileConverted(std::size_t webIndex, const std::string& webEntry,
                         std::string_view oldBytes, std::string_view newBytes,
                         FileOutcome outcome) override {
        for (ConversionObserver* observer : m_observers) {
            observer->OnFileConverted(webIndex, webEntry, oldBytes, newBytes, outcome);
        }
    }

    void OnFileWritten(std::size_t webIndex, const std::string& webEntry,
                       const FileIdentity& identity) override {
        for (ConversionObserver* observer : m_observers) {
            observer->OnFileWritten(webIndex, webEntry, identity);
        }
    }

private:
    std::vector<ConversionObserver*> m_observers;
};

// The progress line is for people watching a terminal, not for programs.
bool ShowsProgress(bool progress, ReportFormat format, bool quiet) {
    return progress && format == ReportFormat::Text && !quiet;
}

// What reading the lists said comes first in the report.
void AddListMessages(RunReport& report, const ListMessages& messages) {
    report.warnings.insert(report.warnings.end(), messages.warnings.begin(),
                           messages.warnings.end());
    report.errors.insert(report.errors.end(), messages.errors.begin(), messages.errors.end());
}

// The one handler of the command line's file errors: one ends the command,
// and the report says which file and why.
template <typename Step> void ReportFileError(RunReport& report, const Step& step) {
    try {
        step();
    } catch (const FileError& error) {
        AddFileError(report, error);
    }
}

int PrintReport(const RunReport& report, ReportFormat format, bool quiet, std::ostream& out,
                std::ostream& err) {
    switch (format) {
    case ReportFormat::Text:
        PrintTextReport(report, quiet, out, err);
        break;
    case ReportFormat::Json:
        PrintJsonReport(report, out);
        break;
    case ReportFormat::Github:
        PrintGithubReport(report, quiet, out);
        break;
    }
    return report.exitStatus;
}

ConversionRequest MakeRequest(const LoadedSite& loaded, const SourceOptions& sources,
                              const DynamizeOptions& options) {
    ConversionRequest request{loaded.site, loaded.origin.baseFolder,
                              !(options.dryRun || options.check)};
    request.maxFileBytes = sources.maxFileBytes;
    request.threads = sources.threads;
    request.interrupt = options.interrupt;
    options.settings.ApplyTo(request.site.settings);
    return request;
}

void DynamizeSite(const LoadedSite& loaded, const SourceOptions& sources,
                  const DynamizeOptions& options, RunReport& report, std::ostream& err) {
    ConversionRequest request = MakeRequest(loaded, sources, options);
    DiffCollector diffs;
    ProgressLine progress(err, request.site.webFiles.size(), options.progressDelay);
    std::vector<ConversionObserver*> observers;
    if (options.diff) {
        observers.push_back(&diffs);
    }
    if (ShowsProgress(options.progress, options.format, options.quiet)) {
        observers.push_back(&progress);
    }
    if (options.observer != nullptr) {
        observers.push_back(options.observer);
    }
    ObserverFanOut fanOut(std::move(observers));
    // Before the run: a large block asked for after it costs the allocator a
    // sweep through every small one the run gave back.
    report.files.reserve(request.site.webFiles.size());
    const ConversionResult result = RunConversion(request, &fanOut);
    progress.Clear();
    std::function<std::string(std::size_t)> diffOf;
    if (options.diff) {
        diffOf = [&diffs](std::size_t index) { return diffs.DiffOf(index); };
    }
    AddDynamizeResult(report, std::move(request), result, options.check, diffOf);
}

void CheckSite(const LoadedSite& loaded, const SourceOptions& sources, const CheckOptions& options,
               RunReport& report, std::ostream& err) {
    SiteDefinition site = loaded.site;
    options.settings.ApplyTo(site.settings);
    if (site.webFiles.empty()) {
        report.errors.push_back(
            {{}, std::string(kNoWebFilesMessage), {}, ReportMessage::Kind::Ending});
        return;
    }
    ProgressLine progress(err, site.webFiles.size(), options.progressDelay);
    const FileCheckResult result = CheckFilesAndBlocks(
        site, loaded.origin.baseFolder, sources.maxFileBytes,
        ShowsProgress(options.progress, options.format, false) ? &progress : nullptr,
        sources.threads);
    progress.Clear();
    AddCheckResult(report, site.webFiles, loaded.origin.baseFolder, result, options.strict,
                   !site.templateFiles.empty());
}

// Enough of a list to see that it is the one meant, without flooding the terminal.
void PrintListHead(std::ostream& out, std::string_view title, const FileList& entries) {
    constexpr std::size_t kShown = 5;
    if (entries.empty()) {
        out << title << ": none\n";
        return;
    }
    out << title << " (" << entries.size() << "):\n";
    for (std::size_t i = 0; i < entries.size() && i < kShown; ++i) {
        out << "  " << QuotePath(entries[i]) << '\n';
    }
    if (entries.size() > kShown) {
        out << "  " << FormatAndMore(entries.size() - kShown) << '\n';
    }
}

void PrintNextStep(std::ostream& out, const std::string& projectFile, const SiteDefinition& site) {
    if (site.webFiles.empty() || site.templateFiles.empty()) {
        // Dynamize and check refuse a project with an empty list.
        out << "next: give both lists, e.g. " << kProgram << " init " << QuotePath(projectFile)
            << " --force --web PAGES --template TEMPLATES\n";
        return;
    }
    out << "next: " << kProgram << " check " << QuotePath(projectFile) << ", then " << kProgram
        << " dynamize " << QuotePath(projectFile) << '\n';
}

void PrintProjectWritten(std::ostream& out, const InitOptions& options,
                         const SiteDefinition& site) {
    out << "wrote " << QuotePath(options.projectFile) << " ("
        << CountOf(site.webFiles.size(), "web file") << ", "
        << CountOf(site.templateFiles.size(), "template file") << ")\n";
    out << "line ends: " << LineEndsWord(site.settings.lineEnds)
        << (site.settings.lineEnds == LineEnds::Keep
                ? " (every page keeps its own; --line-ends crlf or lf to change)\n"
                : "\n");
    if (site.settings.endLines == EndLines::Any) {
        out << "end lines: any (any line ending with the end identifier closes a block)\n";
    }
    if (site.settings.text == TextMode::Bytes) {
        out << "text: bytes (template text is copied as it is, whatever its charset)\n";
    }
    if (site.settings.linksFollowPage) {
        out << "links: relative to each page, written from "
            << QuotePath(site.settings.linkBase.empty() ? "." : site.settings.linkBase) << '\n';
    }
    if (site.settings.currentPage == CurrentPageMark::AriaCurrent) {
        out << "current page: aria-current\n";
    } else if (site.settings.currentPage == CurrentPageMark::Class) {
        out << "current page: class " << site.settings.currentPageClass << '\n';
    }
}

int WriteProject(const InitOptions& options, std::ostream& out, std::ostream& err) {
    const std::string projectPath = ResolvePath(options.projectFile, options.workingFolder);
    std::error_code error;
    if (!options.force &&
        std::filesystem::symlink_status(PathFromUtf8(projectPath), error).type() !=
            std::filesystem::file_type::not_found) {
        err << kProgram << ": " << QuotePath(options.projectFile)
            << " already exists (use --force to replace it)\n";
        return kExitFailure;
    }
    ListMessages said;
    const ListExpansion lists =
        ExpandPaths(options.webPaths, options.templatePaths, options.excludePatterns,
                    options.workingFolder, false, said);
    PrintListingText(said.warnings, options.workingFolder, err);
    for (const ReportMessage& message : said.errors) {
        err << FormatMessageLine(message, options.workingFolder) << '\n';
    }
    if (!said.errors.empty()) {
        return kExitFailure;
    }
    const std::string projectFolder = ParentFolder(projectPath);
    const auto entryOf = [&](const std::string& path) {
        return MakeEntryRelative(ResolvePath(path, options.workingFolder), projectFolder);
    };
    SiteDefinition site{{}, {}, DefaultIdentifiers(), options.settings};
    if (!site.settings.linkBase.empty()) {
        // Kept relative to the project file, as its lists are.
        const std::string absoluteFolder =
            AbsolutePath(projectFolder.empty() ? "." : projectFolder);
        site.settings.linkBase =
            NormalizePath(site.settings.linkBase + '/') == NormalizePath(absoluteFolder + '/')
                ? "."
                : MakeEntryRelative(site.settings.linkBase, absoluteFolder);
    }
    for (const std::string& path : lists.webFiles) {
        site.webFiles.push_back(entryOf(path));
    }
    for (const std::string& path : lists.templateFiles) {
        site.templateFiles.push_back(entryOf(path));
    }
    WriteProjectFile(projectPath, site);
    PrintProjectWritten(out, options, site);
    for (const LeftOutPath& item : lists.leftOut) {
        if (item.reason != LeftOutReason::LinkOutside &&
            item.reason != LeftOutReason::Utf16WithoutMark) { // said on stderr already
            out << "left out " << QuotePath(entryOf(item.path) + (item.isFolder ? "/" : "")) << ": "
                << DescribeLeftOut(item) << '\n';
        }
    }
    PrintListHead(out, "web files", site.webFiles);
    PrintListHead(out, "template files", site.templateFiles);
    PrintNextStep(out, options.projectFile, site);
    return kExitSuccess;
}

} // namespace

int RunDynamize(const SourceOptions& sources, const DynamizeOptions& options, std::ostream& out,
                std::ostream& err) {
    const LoadedSite loaded = LoadSite(sources);
    if (options.format == ReportFormat::Text) {
        PrintListingText(loaded.messages.warnings, sources.workingFolder, err);
    }
    return RunDynamize(loaded, sources, options, out, err);
}

int RunDynamize(const LoadedSite& loaded, const SourceOptions& sources,
                const DynamizeOptions& options, std::ostream& out, std::ostream& err) {
    RunReport report = StartReport("dynamize", sources.workingFolder);
    AddListMessages(report, loaded.messages);
    if (loaded.Usable()) {
        ReportFileError(report, [&] { DynamizeSite(loaded, sources, options, report, err); });
    }
    return PrintReport(report, options.format, options.quiet, out, err);
}

int RunCheck(const SourceOptions& sources, const CheckOptions& options, std::ostream& out,
             std::ostream& err) {
    const LoadedSite loaded = LoadSite(sources);
    if (options.format == ReportFormat::Text) {
        PrintListingText(loaded.messages.warnings, sources.workingFolder, err);
    }
    RunReport report = StartReport("check", sources.workingFolder);
    AddListMessages(report, loaded.messages);
    if (loaded.Usable()) {
        ReportFileError(report, [&] { CheckSite(loaded, sources, options, report, err); });
    }
    return PrintReport(report, options.format, false, out, err);
}

int RunInit(const InitOptions& options, std::ostream& out, std::ostream& err) {
    try {
        return WriteProject(options, out, err);
    } catch (const FileError& error) {
        // The one handler of init's file errors.
        err << FormatMessageLine(DescribeFileError(error), options.workingFolder) << '\n';
        return kExitFailure;
    }
}

std::optional<ReportFormat> ParseReportFormat(std::string_view word) {
    if (word == "text") {
        return ReportFormat::Text;
    }
    if (word == "json") {
        return ReportFormat::Json;
    }
    if (word == "github") {
        return ReportFormat::Github;
    }
    return std::nullopt;
}

} // namespace quillstamper::cli
