#include "cli/cli_commands.h"

#include "cli/cli_sources.h"
#include "cli/progress_line.h"
#include "cli/report_content.h"
#include "cli/report_github.h"
#include "cli/report_json.h"

#include "base/file_error.h"
#include "base/path_resolution.h"
#include "base/quote_path.h"
#include "conversion/conversion_run.h"
#include "conversion/file_check.h"
#include "diff/unified_diff.h"
#include "files/file_collection.h"
#include "project/project_file.h"

#include <algorithm>
#include <filesystem>
#include <functional>
#include <optional>
#include <ostream>
#include <sstream>

namespace quillstamper::cli {

namespace {

std::string_view LineEndsWord(LineEnds lineEnds) {
    switch (lineEnds) {
    case LineEnds::CrLf:
        return "crlf";
    case LineEnds::Lf:
        return "lf";
    case LineEnds::Keep:
        break;
    }
    return "keep";
}

void PrintFileError(std::ostream& err, const FileError& error, const std::string& workingFolder) {
    err << kProgram << ": " << QuotePath(NameFromWorkingFolder(error.File(), workingFolder)) << ": "
        << FormatFileErrorCause(error) << '\n';
}

// How the text format names the entries of a site: quoted, from the working
// folder. The window shows its lists' entries as they are.
struct TextNamer {
    const std::string& baseFolder;
    const std::string& workingFolder;

    std::string operator()(const std::string& entry) const {
        return QuotePath(NameListEntry(entry, baseFolder, workingFolder));
    }
};

std::string FormatNamedNote(ConversionNote note, const TextNamer& name) {
    note.file = name(note.file);
    return FormatNote(note);
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
        out << "  ... and " << entries.size() - kShown << " more\n";
    }
}

void PrintNextStep(std::ostream& out, const std::string& projectFile, const ProjectData& data) {
    if (data.webFiles.empty() || data.templateFiles.empty()) {
        // Dynamize and check refuse a project with an empty list.
        out << "next: give both lists, e.g. " << kProgram << " init " << QuotePath(projectFile)
            << " --force --web PAGES --template TEMPLATES\n";
        return;
    }
    out << "next: " << kProgram << " check " << QuotePath(projectFile) << ", then " << kProgram
        << " dynamize " << QuotePath(projectFile) << '\n';
}

// A refused end line follows its problem, so that the reader sees why.
void PrintProblem(std::ostream& err, const std::string& file, std::size_t line,
                  std::string_view startLine, std::size_t refusedLine, std::string_view refusedText,
                  const TextNamer& name) {
    err << FormatCheckReportLine(name(file), line, startLine) << '\n';
    if (refusedLine != 0) {
        err << FormatRefusedEndLine(name(file), refusedLine, refusedText) << '\n';
    }
}

// Dynamize puts such pages back before anything else; until then, say so.
// Those edited since are left alone, so the user must know where the copy is.
void PrintRecoverable(std::ostream& out, const std::vector<std::string>& pages,
                      const std::vector<KeptRecoveryCopy>& kept, const TextNamer& name) {
    for (const std::string& page : pages) {
        out << name(page) << ": " << kRecoverableMessage << '\n';
    }
    for (const KeptRecoveryCopy& copy : kept) {
        out << name(copy.page) << ": " << FormatKeptCopy(QuotePath(copy.copy)) << '\n';
    }
}

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

// Where dynamize and check put what they found, in the format asked for.
struct ReportTarget {
    ReportFormat format = ReportFormat::Text;
    std::string command;
    std::string workingFolder;
    bool quiet = false;
    std::ostream& out;
    // What loading the lists says, which goes into the report.
    std::ostringstream loadMessages{};

    bool IsText() const {
        return format == ReportFormat::Text;
    }

    // Where loading the lists writes its messages.
    std::ostream& LoadStream(std::ostream& err) {
        return IsText() ? err : loadMessages;
    }

    int Print(RunReport report) {
        AddLoadMessages(report, loadMessages.str());
        if (format == ReportFormat::Json) {
            PrintJsonReport(report, out);
        } else {
            PrintGithubReport(report, workingFolder, quiet, out);
        }
        return report.exitStatus;
    }
};

// The progress line is for people watching a terminal, not for programs.
bool ShowsProgress(bool progress, ReportFormat format, bool quiet) {
    return progress && format == ReportFormat::Text && !quiet;
}

// Every command ends on a file error the same way: the file and the cause on
// stderr, and kExitFailure; in the other formats, a report with the error.
template <typename Command>
int RunGuarded(std::ostream& err, const std::string& workingFolder, const Command& command,
               ReportTarget* target = nullptr) {
    try {
        return command();
    } catch (const FileError& error) {
        if (target == nullptr || target->IsText()) {
            PrintFileError(err, error, workingFolder);
            return kExitFailure;
        }
        return target->Print(DescribeFailure(target->command, error, workingFolder));
    }
}

// The text format: what changed on stdout, what went wrong on stderr.
int PrintDynamizeText(const ConversionRequest& request, const ConversionResult& result,
                      const DynamizeOptions& options, const DiffCollector& diffs,
                      const std::string& workingFolder, std::ostream& out, std::ostream& err) {
    if (result.preconditionFailed) {
        err << FormatMissingLists(request.site.webFiles.size(), request.site.templateFiles.size())
            << '\n';
        return kExitFailure;
    }
    const TextNamer name{request.baseFolder, workingFolder};
    for (const std::string& page : result.restored) {
        out << "restored " << name(page) << " from an interrupted run\n";
    }
    PrintRecoverable(err, result.recoverable, result.changedSinceInterrupted, name);
    const bool dry = !request.writeFiles;
    std::vector<bool> inPlace(result.outcomes.size(), false);
    for (const std::size_t index : result.inPlace) {
        if (index < inPlace.size()) {
            inPlace[index] = true;
        }
    }
    for (std::size_t i = 0; i < result.outcomes.size(); ++i) {
        if (result.outcomes[i] != FileOutcome::Updated) {
            continue;
        }
        if (!options.quiet) {
            out << (dry ? "would update " : "updated ") << name(request.site.webFiles[i])
                << (inPlace[i] ? " (" + std::string(kInPlaceMessage) + ")" : "") << '\n';
        }
        out << diffs.DiffOf(i);
    }
    for (const HardLinkedPage& page : result.hardLinks) {
        err << name(page.page) << ": " << FormatHardLinks(page) << '\n';
    }
    for (const ConversionProblem& problem : result.problems) {
        PrintProblem(err, problem.file, problem.line, problem.startLine, problem.refusedLine,
                     problem.refusedText, name);
    }
    for (const std::string& page : result.changedWhileConverting) {
        err << name(page) << ": " << kChangedMessage << '\n';
    }
    if (result.error) {
        out.flush();
        throw *result.error; // the one handler reports it
    }
    const std::size_t updated = result.CountUpdated();
    if (result.interruptedBy != 0) {
        out.flush();
        err << FormatInterruption(updated, request.site.webFiles.size() - result.outcomes.size(),
                                  dry)
            << '\n';
    } else if (!options.quiet) {
        out << FormatConversionSummary(updated, result.outcomes.size() - updated,
                                       result.notes.size(), dry)
            << '\n';
    }
    return DynamizeStatus(result, options.check);
}

int DynamizeSite(const SourceOptions& sourceOptions, const DynamizeOptions& options,
                 const Sources* loaded, ReportTarget& target, std::ostream& err) {
    std::optional<Sources> ownSources;
    if (loaded == nullptr) {
        ownSources = LoadSources(sourceOptions, target.LoadStream(err));
        if (!ownSources) {
            return target.IsText() ? kExitFailure
                                   : target.Print(DescribeFailure("dynamize", std::nullopt,
                                                                  target.workingFolder));
        }
    }
    const Sources* sources = loaded != nullptr ? loaded : &*ownSources;
    const SiteDefinition& site = sources->site;
    ConversionRequest request{site, sources->baseFolder, !(options.dryRun || options.check)};
    request.maxFileBytes = sourceOptions.maxFileBytes;
    request.interrupt = options.interrupt;
    request.site.settings.lineEnds = options.lineEnds.value_or(site.settings.lineEnds);
    request.site.settings.endLines = options.endLines.value_or(site.settings.endLines);
    DiffCollector diffs;
    ProgressLine progress(err, site.webFiles.size(), options.progressDelay);
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
    const ConversionResult result = RunConversion(request, &fanOut);
    progress.Clear();
    if (target.IsText()) {
        return PrintDynamizeText(request, result, options, diffs, target.workingFolder, target.out,
                                 err);
    }
    std::function<std::string(std::size_t)> diffOf;
    if (options.diff) {
        diffOf = [&diffs](std::size_t index) { return diffs.DiffOf(index); };
    }
    return target.Print(
        DescribeDynamize(request, result, options.check, diffOf, target.workingFolder));
}

int CheckSite(const SourceOptions& sourceOptions, const CheckOptions& options, ReportTarget& target,
              std::ostream& err) {
    const std::optional<Sources> sources = LoadSources(sourceOptions, target.LoadStream(err));
    if (!sources) {
        return target.IsText()
                   ? kExitFailure
                   : target.Print(DescribeFailure("check", std::nullopt, target.workingFolder));
    }
    SiteDefinition site = sources->site;
    site.settings.endLines = options.endLines.value_or(site.settings.endLines);
    if (site.webFiles.empty()) {
        if (target.IsText()) {
            err << kProgram << ": " << kNoWebFilesMessage << '\n';
            return kExitFailure;
        }
        RunReport report = DescribeFailure("check", std::nullopt, target.workingFolder);
        report.errors.push_back({{}, std::string(kNoWebFilesMessage)});
        return target.Print(std::move(report));
    }
    const bool templatesListed = !site.templateFiles.empty();
    ProgressLine progress(err, site.webFiles.size(), options.progressDelay);
    const FileCheckResult result = CheckFilesAndBlocks(
        site, sources->baseFolder, sourceOptions.maxFileBytes,
        ShowsProgress(options.progress, options.format, false) ? &progress : nullptr);
    progress.Clear();
    if (!target.IsText()) {
        return target.Print(DescribeCheck(site.webFiles, sources->baseFolder, result,
                                          options.strict, templatesListed, target.workingFolder));
    }
    if (result.error) {
        throw *result.error; // the one handler reports it
    }
    std::ostream& out = target.out;
    const TextNamer name{sources->baseFolder, target.workingFolder};
    for (const CheckReport& report : result.reports) {
        PrintProblem(out, report.file, report.line, report.startLine, report.refusedLine,
                     report.refusedText, name);
    }
    for (const ConversionNote& note : result.notes) {
        out << FormatNamedNote(note, name) << '\n';
    }
    PrintRecoverable(out, result.recoverable, result.changedSinceInterrupted, name);
    if (!templatesListed) {
        out << kNoTemplatesMessage << '\n';
    }
    if (!result.reports.empty() || !result.recoverable.empty() ||
        !result.changedSinceInterrupted.empty()) {
        return kExitFindings;
    }
    // Without a template list the check could not look at everything: with
    // --strict that counts like a note.
    const std::size_t notes = result.notes.size() + (templatesListed ? 0 : 1);
    if (options.strict && notes != 0) {
        out << FormatStrictNotes(notes) << '\n';
        return kExitFindings;
    }
    out << kCheckPassedMessage << '\n';
    return kExitSuccess;
}

int WriteProject(const InitOptions& options, std::ostream& out, std::ostream& err) {
    const std::string projectPath = ResolvePath(options.projectFile, options.workingFolder);
    std::error_code error;
    if (!options.force && std::filesystem::symlink_status(projectPath, error).type() !=
                              std::filesystem::file_type::not_found) {
        err << kProgram << ": " << QuotePath(options.projectFile)
            << " already exists (use --force to replace it)\n";
        return kExitFailure;
    }
    const std::optional<ListExpansion> lists =
        ExpandPaths(options.webPaths, options.templatePaths, options.excludePatterns,
                    options.workingFolder, false, err);
    if (!lists) {
        return kExitFailure;
    }
    const std::string projectFolder = ParentFolder(projectPath);
    const auto entryOf = [&](const std::string& path) {
        return MakeEntryRelative(ResolvePath(path, options.workingFolder), projectFolder);
    };
    ProjectData data{{}, {}, DefaultIdentifiers(), {options.lineEnds, options.endLines}};
    for (const std::string& path : lists->webFiles) {
        data.webFiles.push_back(entryOf(path));
    }
    for (const std::string& path : lists->templateFiles) {
        data.templateFiles.push_back(entryOf(path));
    }
    WriteProjectFile(projectPath, data);
    out << "wrote " << QuotePath(options.projectFile) << " ("
        << CountOf(data.webFiles.size(), "web file") << ", "
        << CountOf(data.templateFiles.size(), "template file") << ")\n";
    out << "line ends: " << LineEndsWord(data.settings.lineEnds)
        << (data.settings.lineEnds == LineEnds::Keep
                ? " (every page keeps its own; --line-ends crlf or lf to change)\n"
                : "\n");
    if (data.settings.endLines == EndLines::Any) {
        out << "end lines: any (any line ending with the end identifier closes a block)\n";
    }
    for (const LeftOutPath& item : lists->leftOut) {
        if (item.reason != LeftOutReason::LinkOutside &&
            item.reason != LeftOutReason::Utf16WithoutMark) { // said on stderr already
            out << "left out " << QuotePath(entryOf(item.path) + (item.isFolder ? "/" : "")) << ": "
                << DescribeLeftOut(item) << '\n';
        }
    }
    PrintListHead(out, "web files", data.webFiles);
    PrintListHead(out, "template files", data.templateFiles);
    PrintNextStep(out, options.projectFile, data);
    return kExitSuccess;
}

} // namespace

int RunDynamize(const SourceOptions& sourceOptions, const DynamizeOptions& options,
                std::ostream& out, std::ostream& err, const Sources* loaded) {
    ReportTarget target{options.format, "dynamize", sourceOptions.workingFolder, options.quiet,
                        out};
    return RunGuarded(
        err, sourceOptions.workingFolder,
        [&] { return DynamizeSite(sourceOptions, options, loaded, target, err); }, &target);
}

int RunCheck(const SourceOptions& sourceOptions, const CheckOptions& options, std::ostream& out,
             std::ostream& err) {
    ReportTarget target{options.format, "check", sourceOptions.workingFolder, false, out};
    return RunGuarded(
        err, sourceOptions.workingFolder,
        [&] { return CheckSite(sourceOptions, options, target, err); }, &target);
}

int RunInit(const InitOptions& options, std::ostream& out, std::ostream& err) {
    return RunGuarded(err, options.workingFolder, [&] { return WriteProject(options, out, err); });
}

std::optional<LineEnds> ParseLineEnds(std::string_view word) {
    for (const LineEnds lineEnds : {LineEnds::CrLf, LineEnds::Lf, LineEnds::Keep}) {
        if (word == LineEndsWord(lineEnds)) {
            return lineEnds;
        }
    }
    return std::nullopt;
}

std::optional<EndLines> ParseEndLines(std::string_view word) {
    if (word == "own") {
        return EndLines::Own;
    }
    if (word == "any") {
        return EndLines::Any;
    }
    return std::nullopt;
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
