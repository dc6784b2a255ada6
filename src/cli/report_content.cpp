#include "cli/report_content.h"

#include "base/path_resolution.h"
#include "cli/program.h"
#include "files/file_io.h"

#include <algorithm>

namespace quillstamper::cli {

std::string CountOf(std::size_t count, std::string_view thing) {
    return std::to_string(count) + ' ' + std::string(thing) + (count == 1 ? "" : "s");
}

namespace {

using Kind = ReportMessage::Kind;

constexpr std::string_view kChangedMessage = "changed while converting; left as it is";
// No template file is only a note, as the end lines need none.
constexpr std::string_view kNoTemplatesMessage =
    "no template file is listed: only the web files were checked";

std::string FormatConversionSummary(std::size_t updated, std::size_t unchanged, std::size_t notes,
                                    bool dry) {
    std::string text = "Conversion done! " + std::to_string(updated) +
                       (dry ? " would be updated, " : " updated, ") + std::to_string(unchanged) +
                       " unchanged.";
    if (notes > 0) {
        text += ' ' + CountOf(notes, "note") + ": see " + kProgram + " check";
    }
    return text;
}

std::string FormatInterruption(std::size_t updated, std::size_t notConverted, bool dry) {
    return "interrupted: " + std::to_string(updated) +
           (dry ? " would be updated, " : " updated, ") + std::to_string(notConverted) +
           " not converted";
}

// Why check --strict failed on notes alone.
std::string FormatStrictNotes(std::size_t notes) {
    return CountOf(notes, "note") + "; --strict makes " + (notes == 1 ? "it" : "them") + " count";
}

std::string FormatCheckSummary(std::size_t problems, std::size_t notes, std::size_t recoverable,
                               std::size_t changedSinceInterrupted, bool strict) {
    if (problems == 0 && recoverable == 0 && changedSinceInterrupted == 0) {
        return strict && notes > 0 ? FormatStrictNotes(notes) : std::string(kCheckPassedMessage);
    }
    std::string text =
        "Check done! " + CountOf(problems, "problem") + ", " + CountOf(notes, "note");
    if (recoverable > 0) {
        text +=
            ", " + CountOf(recoverable, "page") + " to put back (run " + kProgram + " dynamize)";
    }
    if (changedSinceInterrupted > 0) {
        text += ", " + CountOf(changedSinceInterrupted, "page") +
                " changed since an interrupted run (see its recovery copy)";
    }
    return text + '.';
}

std::string FormatHardLinks(const HardLinkedPage& page) {
    const std::string text = "has " + std::to_string(page.links) + " hard links; ";
    if (page.kept + 1 >= page.links) {
        return text + "the others keep the old content";
    }
    // Some other names were listed and replaced too.
    return text + std::to_string(page.kept) + " of them " + (page.kept == 1 ? "keeps" : "keep") +
           " the old content";
}

std::string FormatFileErrorCause(const FileError& error) {
    return error.Cause() + (error.Cause().starts_with(kTooLargeCause) ? " (--max-file-size)" : "");
}

// The exit status of a finished dynamize (see ExitStatus).
int DynamizeStatus(const ConversionResult& result, bool check) {
    if (result.preconditionFailed || result.error) {
        return kExitFailure;
    }
    if (result.interruptedBy != 0) {
        return 128 + result.interruptedBy;
    }
    if (!result.changedWhileConverting.empty()) {
        return kExitFailure;
    }
    if (!result.problems.empty()) {
        return kExitBlockLeftAlone;
    }
    return check && result.CountUpdated() > 0 ? kExitFindings : kExitSuccess;
}

std::string_view NoteKind(ConversionNote::Kind kind) {
    switch (kind) {
    case ConversionNote::Kind::NoWebFile:
        return "no_web_file";
    case ConversionNote::Kind::IndentedMarker:
        return "indented_marker";
    case ConversionNote::Kind::EndWithoutStart:
        return "end_without_start";
    case ConversionNote::Kind::RefusedEndLine:
        return "refused_end_line";
    case ConversionNote::Kind::SharedBlock:
        return "shared_block";
    case ConversionNote::Kind::InBothLists:
        return "in_both_lists";
    case ConversionNote::Kind::CharsetMismatch:
        return "charset_mismatch";
    case ConversionNote::Kind::InvalidText:
        return "invalid_text";
    case ConversionNote::Kind::MissingLinkTarget:
        return "missing_link_target";
    case ConversionNote::Kind::NoTemplate:
        break;
    }
    return "no_template";
}

template <typename Problem>
ReportLine DescribeProblem(const Problem& problem, const std::string& baseFolder) {
    ReportLine item{"end_missing", ResolvePath(problem.file, baseFolder), problem.line,
                    problem.startLine, FormatCheckReportMessage(problem.startLine)};
    if (problem.refusedLine != 0) {
        item.refusedLine = problem.refusedLine;
        item.refusedText = problem.refusedText;
        item.refusedMessage =
            FormatNoteMessage({ConversionNote::Kind::RefusedEndLine, {}, 0, problem.refusedText});
    }
    return item;
}

template <typename Problem>
void AddProblems(RunReport& report, const std::vector<Problem>& problems,
                 const std::string& baseFolder) {
    for (const Problem& problem : problems) {
        report.problems.push_back(DescribeProblem(problem, baseFolder));
    }
}

void AddNotes(RunReport& report, const std::vector<ConversionNote>& notes,
              const std::string& baseFolder) {
    for (const ConversionNote& note : notes) {
        report.notes.push_back({std::string(NoteKind(note.kind)),
                                ResolvePath(note.file, baseFolder), note.line, note.text,
                                FormatNoteMessage(note)});
    }
}

void AddRecoverable(RunReport& report, const std::vector<std::string>& pages,
                    const std::string& baseFolder) {
    for (const std::string& page : pages) {
        report.warnings.push_back({ResolvePath(page, baseFolder),
                                   FormatRecoverable("the next dynamize"),
                                   {},
                                   Kind::Interrupted});
    }
}

void AddKeptCopies(RunReport& report, const std::vector<KeptRecoveryCopy>& kept,
                   const std::string& baseFolder) {
    for (const KeptRecoveryCopy& copy : kept) {
        // The message's words; the copy's path follows them.
        report.warnings.push_back(
            {ResolvePath(copy.page, baseFolder), FormatKeptCopy({}), copy.copy, Kind::Interrupted});
    }
}

std::vector<std::pair<std::string, std::size_t>>
DynamizeCounts(std::size_t updated, std::size_t wouldUpdate, std::size_t unchanged,
               std::size_t notConverted, std::size_t changed, int interruptedBy) {
    return {{"updated", updated},
            {"would_update", wouldUpdate},
            {"unchanged", unchanged},
            {"not_converted", notConverted},
            {"changed_while_converting", changed},
            {"interrupted_by", static_cast<std::size_t>(interruptedBy)}};
}

std::vector<std::pair<std::string, std::size_t>>
CheckCounts(std::size_t checked, std::size_t recoverable, std::size_t changedSinceInterrupted) {
    return {{"checked", checked},
            {"recoverable", recoverable},
            {"changed_since_interrupted", changedSinceInterrupted}};
}

// Every page of the list, with what the run did to it.
void AddConvertedFiles(RunReport& report, FileList&& pages, bool dry,
                       const ConversionResult& result,
                       const std::function<std::string(std::size_t)>& diffOf) {
    using Outcome = ReportFile::Outcome;
    report.files.reserve(pages.size());
    for (std::size_t i = 0; i < pages.size(); ++i) {
        ReportFile file{std::move(pages[i])};
        if (i < result.outcomes.size()) {
            const bool updated = result.outcomes[i] == FileOutcome::Updated;
            file.outcome = !updated ? Outcome::Unchanged
                           : dry    ? Outcome::WouldUpdate
                                    : Outcome::Updated;
            file.diff = updated && diffOf ? diffOf(i) : std::string();
        }
        report.files.push_back(std::move(file));
    }
    for (const std::size_t index : result.inPlace) {
        if (index < report.files.size()) {
            report.files[index].inPlace = true;
        }
    }
    for (const std::string& page : result.restored) {
        // A page listed twice was put back at its first place.
        const auto found =
            std::find_if(report.files.begin(), report.files.end(),
                         [&page](const ReportFile& file) { return file.entry == page; });
        if (found != report.files.end()) {
            found->restored = true;
        }
    }
}

// Pages another program wrote while they were converted, twice: the run left
// them unchanged. A page listed again may have been updated there, which stands.
void AddChangedPages(RunReport& report, const std::vector<std::string>& changed) {
    for (const std::string& page : changed) {
        for (ReportFile& file : report.files) {
            if (file.entry == page && file.outcome == ReportFile::Outcome::Unchanged) {
                file.outcome = ReportFile::Outcome::ChangedWhileConverting;
            }
        }
        report.errors.push_back(
            {ResolvePath(page, report.baseFolder), std::string(kChangedMessage), {}, Kind::Page});
    }
}

} // namespace

std::string FormatMissingLists(std::size_t webFiles, std::size_t templateFiles) {
    return "You added " + CountOf(webFiles, "Web File") + " and " +
           CountOf(templateFiles, "Template File") +
           "!\n\nYou need one of each at least for starting the conversion process!";
}

RunReport StartReport(const std::string& command, const std::string& workingFolder) {
    RunReport report{.command = command, .workingFolder = workingFolder};
    report.counts = command == "check" ? CheckCounts(0, 0, 0) : DynamizeCounts(0, 0, 0, 0, 0, 0);
    report.exitStatus = kExitFailure;
    return report;
}

ReportMessage DescribeFileError(const FileError& error) {
    return {error.File(), FormatFileErrorCause(error), {}, Kind::Ending};
}

void AddFileError(RunReport& report, const FileError& error) {
    report.errors.push_back(DescribeFileError(error));
    report.exitStatus = kExitFailure;
}

void AddDynamizeResult(RunReport& report, ConversionRequest&& request,
                       const ConversionResult& result, bool check,
                       const std::function<std::string(std::size_t)>& diffOf) {
    report.check = check;
    report.baseFolder = std::move(request.baseFolder);
    report.exitStatus = DynamizeStatus(result, check);
    const std::size_t listed = request.site.webFiles.size();
    if (result.preconditionFailed) {
        report.errors.push_back({{},
                                 FormatMissingLists(listed, request.site.templateFiles.size()),
                                 {},
                                 Kind::EmptyList});
        return;
    }
    const bool dry = !request.writeFiles;
    const std::string& baseFolder = report.baseFolder;
    AddConvertedFiles(report, std::move(request.site.webFiles), dry, result, diffOf);
    AddRecoverable(report, result.recoverable, baseFolder);
    AddKeptCopies(report, result.changedSinceInterrupted, baseFolder);
    for (const HardLinkedPage& page : result.hardLinks) {
        report.warnings.push_back(
            {ResolvePath(page.page, baseFolder), FormatHardLinks(page), {}, Kind::Page});
    }
    AddProblems(report, result.problems, baseFolder);
    AddNotes(report, result.notes, baseFolder);
    AddChangedPages(report, result.changedWhileConverting);
    if (result.error) {
        AddFileError(report, *result.error);
    }
    const std::size_t updated = result.CountUpdated();
    const std::size_t unchanged = result.outcomes.size() - updated;
    const std::size_t notConverted = listed - result.outcomes.size();
    report.counts = DynamizeCounts(dry ? 0 : updated, dry ? updated : 0, unchanged, notConverted,
                                   result.changedWhileConverting.size(), result.interruptedBy);
    if (result.error) {
        return; // the run ended on the error, before any summary
    }
    report.summary = result.interruptedBy != 0
                         ? FormatInterruption(updated, notConverted, dry)
                         : FormatConversionSummary(updated, unchanged, result.notes.size(), dry);
}

void AddCheckResult(RunReport& report, const FileList& webFiles, const std::string& baseFolder,
                    const FileCheckResult& result, bool strict, bool templatesListed) {
    report.baseFolder = baseFolder;
    if (result.error) {
        AddFileError(report, *result.error);
        return;
    }
    for (const std::string& page : webFiles) {
        report.files.push_back({page, ReportFile::Outcome::Checked});
    }
    AddProblems(report, result.reports, baseFolder);
    AddNotes(report, result.notes, baseFolder);
    AddRecoverable(report, result.recoverable, baseFolder);
    if (!templatesListed) {
        report.warnings.push_back({{}, std::string(kNoTemplatesMessage), {}, Kind::Lists});
    }
    AddKeptCopies(report, result.changedSinceInterrupted, baseFolder);
    const std::size_t kept = result.changedSinceInterrupted.size();
    report.counts = CheckCounts(webFiles.size(), result.recoverable.size(), kept);
    // Without a template list the check could not look at everything: with
    // --strict that counts like a note.
    const std::size_t strictNotes = result.notes.size() + (templatesListed ? 0 : 1);
    report.summary =
        FormatCheckSummary(result.reports.size(), strict ? strictNotes : result.notes.size(),
                           result.recoverable.size(), kept, strict);
    const bool findings = !result.reports.empty() || !result.recoverable.empty() || kept > 0 ||
                          (strict && strictNotes != 0);
    report.exitStatus = findings ? kExitFindings : kExitSuccess;
}

} // namespace quillstamper::cli
