#include "cli/report_content.h"

#include "cli/cli_commands.h"
#include "conversion/file_io.h"
#include "workspace/path_resolution.h"

#include <algorithm>

namespace quillstamper::cli {

namespace {

std::string CountOf(std::size_t count, std::string_view thing) {
    return std::to_string(count) + ' ' + std::string(thing) + (count == 1 ? "" : "s");
}

// The text after "PATH:LINE: " in a one-line report.
std::string AfterPlace(const std::string& line, const std::string& file, std::size_t number) {
    const std::string place = file + ':' + std::to_string(number) + ": ";
    return line.starts_with(place) ? line.substr(place.size()) : line;
}

std::string_view NoteKind(ConversionNote::Kind kind) {
    switch (kind) {
    case ConversionNote::Kind::NoWebFile:
        return "no_web_file";
    case ConversionNote::Kind::IndentedMarker:
        return "indented_marker";
    case ConversionNote::Kind::EndWithoutStart:
        return "end_without_start";
    case ConversionNote::Kind::NoTemplate:
        break;
    }
    return "no_template";
}

ReportLine DescribeProblem(const std::string& file, std::size_t line, const std::string& startLine,
                           const std::string& baseFolder) {
    return {"end_missing",
            file,
            ResolvePath(file, baseFolder),
            line,
            startLine,
            AfterPlace(FormatCheckReportLine(file, line, startLine), file, line)};
}

ReportLine DescribeNote(const ConversionNote& note, const std::string& baseFolder) {
    return {std::string(NoteKind(note.kind)),
            note.file,
            ResolvePath(note.file, baseFolder),
            note.line,
            note.text,
            AfterPlace(FormatNote(note), note.file, note.line)};
}

ReportMessage DescribeFileError(const FileError& error) {
    return {error.File(), error.File(), FormatFileErrorCause(error)};
}

// The first entry of the list named entry, which a message about a page is
// attached to.
ReportFile* FindFile(RunReport& report, const std::string& entry) {
    const auto found = std::find_if(report.files.begin(), report.files.end(),
                                    [&](const ReportFile& file) { return file.file == entry; });
    return found == report.files.end() ? nullptr : &*found;
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

void AddKeptCopies(RunReport& report, const std::vector<KeptRecoveryCopy>& kept,
                   const std::string& baseFolder) {
    for (const KeptRecoveryCopy& copy : kept) {
        report.warnings.push_back(
            {copy.page, ResolvePath(copy.page, baseFolder), FormatKeptCopy(copy.copy)});
    }
}

} // namespace

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

std::string FormatCheckSummary(std::size_t problems, std::size_t notes, std::size_t recoverable,
                               std::size_t changedSinceInterrupted) {
    if (problems == 0 && recoverable == 0 && changedSinceInterrupted == 0) {
        return std::string(kCheckPassedMessage);
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

RunReport DescribeDynamize(const ConversionRequest& request, const ConversionResult& result,
                           bool check, const std::function<std::string(std::size_t)>& diffOf) {
    RunReport report{.command = "dynamize", .check = check};
    report.exitStatus = DynamizeStatus(result, check);
    const bool dry = !request.writeFiles;
    const FileList& pages = request.site.webFiles;
    if (result.preconditionFailed) {
        report.errors.push_back(
            {{}, {}, FormatPreconditionMessage(pages.size(), request.site.templateFiles.size())});
        report.counts = DynamizeCounts(0, 0, 0, 0, 0, 0);
        return report;
    }
    for (std::size_t i = 0; i < pages.size(); ++i) {
        ReportFile file{pages[i], ResolvePath(pages[i], request.baseFolder), "not_converted"};
        if (i < result.outcomes.size()) {
            const bool updated = result.outcomes[i] == FileOutcome::Updated;
            file.outcome = !updated ? "unchanged" : dry ? "would_update" : "updated";
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
        if (ReportFile* file = FindFile(report, page)) {
            file->restored = true;
        }
    }
    for (const std::string& page : result.recoverable) {
        report.warnings.push_back(
            {page, ResolvePath(page, request.baseFolder), std::string(kRecoverableMessage)});
    }
    AddKeptCopies(report, result.changedSinceInterrupted, request.baseFolder);
    for (const HardLinkedPage& page : result.hardLinks) {
        report.warnings.push_back(
            {page.page, ResolvePath(page.page, request.baseFolder), FormatHardLinks(page)});
    }
    for (const ConversionProblem& problem : result.problems) {
        report.problems.push_back(
            DescribeProblem(problem.file, problem.line, problem.startLine, request.baseFolder));
    }
    for (const ConversionNote& note : result.notes) {
        report.notes.push_back(DescribeNote(note, request.baseFolder));
    }
    for (const std::string& page : result.changedWhileConverting) {
        for (ReportFile& file : report.files) {
            file.outcome = file.file == page ? "changed_while_converting" : file.outcome;
        }
        report.errors.push_back(
            {page, ResolvePath(page, request.baseFolder), std::string(kChangedMessage)});
    }
    if (result.error) {
        report.errors.push_back(DescribeFileError(*result.error));
    }
    const std::size_t updated = result.CountUpdated();
    const std::size_t notConverted = pages.size() - result.outcomes.size();
    report.counts =
        DynamizeCounts(dry ? 0 : updated, dry ? updated : 0, result.outcomes.size() - updated,
                       notConverted, result.changedWhileConverting.size(), result.interruptedBy);
    if (result.error) {
        return report; // the text format ends on the error, before any summary
    }
    report.summary = result.interruptedBy != 0
                         ? FormatInterruption(updated, notConverted, dry)
                         : FormatConversionSummary(updated, result.outcomes.size() - updated,
                                                   result.notes.size(), dry);
    return report;
}

RunReport DescribeCheck(const FileList& webFiles, const std::string& baseFolder,
                        const FileCheckResult& result, bool strict) {
    RunReport report{.command = "check"};
    report.counts = CheckCounts(0, 0, 0);
    if (result.error) {
        report.errors.push_back(DescribeFileError(*result.error));
        report.exitStatus = kExitFailure;
        return report;
    }
    for (const std::string& page : webFiles) {
        report.files.push_back({page, ResolvePath(page, baseFolder), "checked"});
    }
    for (const CheckReport& problem : result.reports) {
        report.problems.push_back(
            DescribeProblem(problem.file, problem.line, problem.startLine, baseFolder));
    }
    for (const ConversionNote& note : result.notes) {
        report.notes.push_back(DescribeNote(note, baseFolder));
    }
    for (const std::string& page : result.recoverable) {
        report.warnings.push_back(
            {page, ResolvePath(page, baseFolder), std::string(kRecoverableMessage)});
    }
    AddKeptCopies(report, result.changedSinceInterrupted, baseFolder);
    const std::size_t kept = result.changedSinceInterrupted.size();
    report.counts = CheckCounts(webFiles.size(), result.recoverable.size(), kept);
    report.summary = FormatCheckSummary(result.reports.size(), result.notes.size(),
                                        result.recoverable.size(), kept);
    const bool findings = !result.reports.empty() || !result.recoverable.empty() || kept > 0 ||
                          (strict && !result.notes.empty());
    report.exitStatus = findings ? kExitFindings : kExitSuccess;
    return report;
}

RunReport DescribeFailure(const std::string& command, const std::optional<FileError>& error) {
    RunReport report{.command = command, .exitStatus = kExitFailure};
    report.counts = command == "check" ? CheckCounts(0, 0, 0) : DynamizeCounts(0, 0, 0, 0, 0, 0);
    if (error) {
        report.errors.push_back(DescribeFileError(*error));
    }
    return report;
}

void AddLoadMessages(RunReport& report, std::string_view printed) {
    std::vector<std::string> messages;
    bool continues = false;
    while (!printed.empty()) {
        const std::size_t end = std::min(printed.find('\n'), printed.size());
        const std::string_view line = printed.substr(0, end);
        printed.remove_prefix(std::min(end + 1, printed.size()));
        if (line.empty()) {
            continues = !messages.empty();
            if (continues) {
                messages.back() += '\n';
            }
        } else if (continues) {
            messages.back() += '\n' + std::string(line);
            continues = false;
        } else {
            messages.emplace_back(line);
        }
    }
    const std::string program = std::string(kProgram) + ": ";
    std::vector<ReportMessage> warnings;
    for (std::string& message : messages) {
        if (message.starts_with("skipped ")) {
            warnings.push_back({{}, {}, std::move(message)});
        } else {
            report.errors.push_back(
                {{}, {}, message.starts_with(program) ? message.substr(program.size()) : message});
        }
    }
    report.warnings.insert(report.warnings.begin(), warnings.begin(), warnings.end());
}

} // namespace quillstamper::cli
