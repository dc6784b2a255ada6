#include "cli/cli_commands.h"

#include "cli/cli_sources.h"

#include "conversion/conversion_run.h"
#include "conversion/file_check.h"
#include "diff/unified_diff.h"
#include "project/project_file.h"
#include "workspace/file_collection.h"
#include "workspace/file_error.h"
#include "workspace/path_resolution.h"
#include "workspace/quote_path.h"

#include <algorithm>
#include <filesystem>
#include <optional>
#include <ostream>

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

void PrintFileError(std::ostream& err, const FileError& error) {
    err << kProgram << ": " << QuotePath(error.File()) << ": " << error.Cause()
        << (error.Cause().starts_with(kTooLargeCause) ? " (--max-file-size)\n" : "\n");
}

// The file of a note quoted; the window shows notes as they are.
std::string FormatQuotedNote(ConversionNote note) {
    note.file = QuotePath(note.file);
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

void PrintProblem(std::ostream& err, const std::string& file, std::size_t line,
                  std::string_view startLine) {
    err << FormatCheckReportLine(QuotePath(file), line, startLine) << '\n';
}

// Dynamize puts such pages back before anything else; until then, say so.
void PrintRecoverable(std::ostream& out, const std::vector<std::string>& pages) {
    for (const std::string& page : pages) {
        out << QuotePath(page)
            << ": a run was interrupted while writing it in place; the next dynamize puts "
               "its old content back first\n";
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

// Every command ends on a file error the same way: the file and the cause on
// stderr, and kExitFailure.
template <typename Command> int RunGuarded(std::ostream& err, const Command& command) {
    try {
        return command();
    } catch (const FileError& error) {
        PrintFileError(err, error);
        return kExitFailure;
    }
}

int DynamizeSite(const SourceOptions& sourceOptions, const DynamizeOptions& options,
                 std::ostream& out, std::ostream& err) {
    const std::optional<Sources> sources = LoadSources(sourceOptions, err);
    if (!sources) {
        return kExitFailure;
    }
    const SiteDefinition& site = sources->site;
    ConversionRequest request{site, sources->baseFolder, !(options.dryRun || options.check)};
    request.maxFileBytes = sourceOptions.maxFileBytes;
    request.interrupt = options.interrupt;
    request.site.lineEnds = options.lineEnds.value_or(site.lineEnds);
    DiffCollector diffs;
    const ConversionResult result = RunConversion(request, options.diff ? &diffs : nullptr);
    if (result.preconditionFailed) {
        err << FormatPreconditionMessage(request.site.webFiles.size(),
                                         request.site.templateFiles.size())
            << '\n';
        return kExitFailure;
    }
    for (const std::string& page : result.restored) {
        out << "restored " << QuotePath(page) << " from an interrupted run\n";
    }
    PrintRecoverable(err, result.recoverable);
    const bool dry = options.dryRun || options.check;
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
            out << (dry ? "would update " : "updated ") << QuotePath(request.site.webFiles[i])
                << (inPlace[i] ? " (in place: its folder takes no new file)" : "") << '\n';
        }
        out << diffs.DiffOf(i);
    }
    for (const auto& [page, links] : result.hardLinks) {
        err << QuotePath(page) << ": has " << links
            << " hard links; the others keep the old content\n";
    }
    for (const ConversionProblem& problem : result.problems) {
        PrintProblem(err, problem.file, problem.line, problem.startLine);
    }
    for (const std::string& page : result.changedWhileConverting) {
        err << QuotePath(page) << ": changed while converting; left as it is\n";
    }
    if (result.error) {
        out.flush();
        throw *result.error; // the one handler reports it
    }
    const std::size_t updated = result.CountUpdated();
    if (result.interruptedBy != 0) {
        out.flush();
        err << "interrupted: " << updated << (dry ? " would be updated, " : " updated, ")
            << request.site.webFiles.size() - result.outcomes.size() << " not converted\n";
        return 128 + result.interruptedBy;
    }
    if (!options.quiet) {
        out << "Conversion done! " << updated << (dry ? " would be updated, " : " updated, ")
            << result.outcomes.size() - updated << " unchanged.";
        if (!result.notes.empty()) {
            out << ' ' << result.notes.size() << (result.notes.size() == 1 ? " note" : " notes")
                << ": see " << kProgram << " check";
        }
        out << '\n';
    }
    if (!result.changedWhileConverting.empty()) {
        return kExitFailure;
    }
    if (!result.problems.empty()) {
        return kExitBlockLeftAlone;
    }
    return options.check && updated > 0 ? kExitFindings : kExitSuccess;
}

int CheckSite(const SourceOptions& sourceOptions, const CheckOptions& options, std::ostream& out,
              std::ostream& err) {
    const std::optional<Sources> sources = LoadSources(sourceOptions, err);
    if (!sources) {
        return kExitFailure;
    }
    const FileCheckResult result = CheckFilesAndBlocks(
        sources->site.webFiles, sources->site.templateFiles, sources->site.identifiers,
        sources->baseFolder, sourceOptions.maxFileBytes);
    if (result.error) {
        throw *result.error; // the one handler reports it
    }
    for (const CheckReport& report : result.reports) {
        PrintProblem(out, report.file, report.line, report.startLine);
    }
    for (const ConversionNote& note : result.notes) {
        out << FormatQuotedNote(note) << '\n';
    }
    PrintRecoverable(out, result.recoverable);
    if (!result.reports.empty() || !result.recoverable.empty()) {
        return kExitFindings;
    }
    out << kCheckPassedMessage << '\n';
    return options.strict && !result.notes.empty() ? kExitFindings : kExitSuccess;
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
                    options.workingFolder, err);
    if (!lists) {
        return kExitFailure;
    }
    const std::string projectFolder = ParentFolder(projectPath);
    const auto entryOf = [&](const std::string& path) {
        return MakeEntryRelative(ResolvePath(path, options.workingFolder), projectFolder);
    };
    ProjectData data{{}, {}, DefaultIdentifiers(), options.lineEnds};
    for (const std::string& path : lists->webFiles) {
        data.webFiles.push_back(entryOf(path));
    }
    for (const std::string& path : lists->templateFiles) {
        data.templateFiles.push_back(entryOf(path));
    }
    WriteProjectFile(projectPath, data);
    out << "wrote " << QuotePath(options.projectFile) << " (" << data.webFiles.size()
        << " web files, " << data.templateFiles.size() << " template files)\n";
    out << "line ends: " << LineEndsWord(data.lineEnds)
        << (data.lineEnds == LineEnds::Keep
                ? " (every page keeps its own; --line-ends crlf or lf to change)\n"
                : "\n");
    for (const LeftOutPath& item : lists->leftOut) {
        if (item.reason != LeftOutReason::LinkOutside) { // said on stderr already
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
                std::ostream& out, std::ostream& err) {
    return RunGuarded(err, [&] { return DynamizeSite(sourceOptions, options, out, err); });
}

int RunCheck(const SourceOptions& sourceOptions, const CheckOptions& options, std::ostream& out,
             std::ostream& err) {
    return RunGuarded(err, [&] { return CheckSite(sourceOptions, options, out, err); });
}

int RunInit(const InitOptions& options, std::ostream& out, std::ostream& err) {
    return RunGuarded(err, [&] { return WriteProject(options, out, err); });
}

std::optional<LineEnds> ParseLineEnds(std::string_view word) {
    for (const LineEnds lineEnds : {LineEnds::CrLf, LineEnds::Lf, LineEnds::Keep}) {
        if (word == LineEndsWord(lineEnds)) {
            return lineEnds;
        }
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
