#include "cli/report_content.h"

#include "base/path_resolution.h"
#include "cli/cli_commands.h"
#include "files/file_io.h"

#include <algorithm>

namespace quillstamper::cli {

std::string CountOf(std::size_t count, std::string_view thing) {
    return std::to_string(count) + ' ' + std::string(thing) + (count == 1 ? "" : "s");
}

namespace {

// The text after "PATH:LINE: " (or "PATH: " for line 0) in a one-line report.
std::string AfterPlace(const std::string& line, const std::string& file, std::size_t number) {
    const std::string place =
        number == 0 ? file + ": " : file + ':' + std::to_string(number) + ": ";
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

// Names the entries of one site's lists from the working folder.
struct Namer {
    const std::string& baseFolder;
    const std::string& workingFolder;

    std::string operator()(const std::string& entry) const {
        return NameListEntry(entry, baseFolder, workingFolder);
    }
};

template <typename Problem> ReportLine DescribeProblem(const Problem& problem, const Namer& name) {
    const std::string& file = problem.file;
    ReportLine item{"end_missing", name(file), problem.line, problem.startLine,
                    AfterPlace(FormatCheckReportLine(file, problem.line, problem.startLine), file,
                               problem.line)};
    if (problem.refusedLine != 0) {
        item.refusedLine = problem.refusedLine;
        item.refusedText = problem.refusedText;
        item.refusedMessage =
            AfterPlace(FormatRefusedEndLine(file, problem.refusedLine, problem.refusedText), file,
                       problem.refusedLine);
    }
    return item;
}

ReportLine DescribeNote(const ConversionNote& note, const Namer& name) {
    return {std::string(NoteKind(note.kind)), name(note.file), note.line, note.text,
            AfterPlace(FormatNote(note), note.file, note.line)};
}

// A file error names the file as opened.
ReportMessage DescribeFileError(const FileError& error, const std::string& workingFolder) {
    return {NameFromWorkingFolder(error.File(), workingFolder), FormatFileErrorCause(error)};
}

// The first page of the list that is entry, which a message about a page is
// attached to.
ReportFile* FindFile(RunReport& report, const FileList& pages, const std::string& entry) {
    const auto found = std::find(pages.begin(), pages.end(), entry);
    const auto index = static_cast<std::size_t>(found - pages.begin());
    return index < report.files.size() ? &report.files[index] : nullptr;
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

template <typename Namer>
void AddKeptCopies(RunReport& report, const std::vector<KeptRecoveryCopy>& kept,
                   const Namer& name) {
    for (const KeptRecoveryCopy& copy : kept) {
        report.warnings.push_back({name(copy.page), FormatKeptCopy(copy.copy)});
    }
}

} // namespace

std::string NameListEntry(const std::string& entry, const std::string& baseFolder,
                          const std::string& workingFolder) {
    return NameFromWorkingFolder(ResolvePath(entry, baseFolder), workingFolder);
}

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

std::string FormatStrictNotes(std::size_t notes) {
    return CountOf(notes, "note") + "; --strict makes " + (notes == 1 ? "it" : "them") + " count";
}

std::string FormatMissingLists(std::size_t webFiles, std::size_t templateFiles) {
    return "You added " + CountOf(webFiles, "Web File") + " and " +
           CountOf(templateFiles, "Template File") +
           "!\n\nYou need one of each at least for starting the conversion process!";
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
                           bool check, const std::function<std::string(std::size_t)>& diffOf,
                           const std::string& workingFolder) {
    RunReport report{.command = "dynamize", .check = check};
    const Namer name{request.baseFolder, workingFolder};
    report.exitStatus = DynamizeStatus(result, check);
    const bool dry = !request.writeFiles;
    const FileList& pages = request.site.webFiles;
    if (result.preconditionFailed) {
        report.errors.push_back(
            {{}, FormatMissingLists(pages.size(), request.site.templateFiles.size())});
        report.counts = DynamizeCounts(0, 0, 0, 0, 0, 0);
        return report;
    }
    for (std::size_t i = 0; i < pages.size(); ++i) {
        ReportFile file{name(pages[i]), "not_converted"};
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
        if (ReportFile* file = FindFile(report, pages, page)) {
            file->restored = true;
        }
    }
    for (const std::string& page : result.recoverable) {
        report.warnings.push_back({name(page), std::string(kRecoverableMessage)});
    }
    AddKeptCopies(report, result.changedSinceInterrupted, name);
    for (const HardLinkedPage& page : result.hardLinks) {
        report.warnings.push_back({name(page.page), FormatHardLinks(page)});
    }
    for (const ConversionProblem& problem : result.problems) {
        report.problems.push_back(DescribeProblem(problem, name));
    }
    for (const ConversionNote& note : result.notes) {
        report.notes.push_back(DescribeNote(note, name));
    }
    for (const std::string& page : result.changedWhileConverting) {
        for (std::size_t i = 0; i < report.files.size(); ++i) {
            if (pages[i] == page) {
                report.files[i].outcome = "changed_while_converting";
            }
        }
        report.errors.push_back({name(page), std::string(kChangedMessage)});
    }
    if (result.error) {
        report.errors.push_back(DescribeFileError(*result.error, workingFolder));
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
                        const FileCheckResult& result, bool strict, bool templatesListed,
                        const std::string& workingFolder) {
    RunReport report{.command = "check"};
    report.counts = CheckCounts(0, 0, 0);
    if (result.error) {
        report.errors.push_back(DescribeFileError(*result.error, workingFolder));
        report.exitStatus = kExitFailure;
        return report;
    }
    const Namer name{baseFolder, workingFolder};
    for (const std::string& page : webFiles) {
        report.files.push_back({name(page), "checked"});
    }
    for (const CheckReport& problem : result.reports) {
        report.problems.push_back(DescribeProblem(problem, name));
    }
    for (const ConversionNote& note : result.notes) {
        report.notes.push_back(DescribeNote(note, name));
    }
    for (const std::string& page : result.recoverable) {
        report.warnings.push_back({name(page), std::string(kRecoverableMessage)});
    }
    if (!templatesListed) {
        report.warnings.push_back({{}, std::string(kNoTemplatesMessage)});
    }
    AddKeptCopies(report, result.changedSinceInterrupted, name);
    const std::size_t kept = result.changedSinceInterrupted.size();
    report.counts = CheckCounts(webFiles.size(), result.recoverable.size(), kept);
    // Without a template list the check could not look at everything: with
    // --strict that counts like a note, as the text format says.
    const std::size_t strictNotes = result.notes.size() + (templatesListed ? 0 : 1);
    report.summary =
        FormatCheckSummary(result.reports.size(), strict ? strictNotes : result.notes.size(),
                           result.recoverable.size(), kept, strict);
    const bool findings = !result.reports.empty() || !result.recoverable.empty() || kept > 0 ||
                          (strict && strictNotes != 0);
    report.exitStatus = findings ? kExitFindings : kExitSuccess;
    return report;
}

RunReport DescribeFailure(const std::string& command, const std::optional<FileError>& error,
                          const std::string& workingFolder) {
    RunReport report{.command = command, .exitStatus = kExitFailure};
    report.counts = command == "check" ? CheckCounts(0, 0, 0) : DynamizeCounts(0, 0, 0, 0, 0, 0);
    if (error) {
        report.errors.push_back(DescribeFileError(*error, workingFolder));
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
            warnings.push_back({{}, std::move(message)});
        } else {
            report.errors.push_back(
                {{}, message.starts_with(program) ? message.substr(program.size()) : message});
        }
    }
    report.warnings.insert(report.warnings.begin(), warnings.begin(), warnings.end());
}

} // namespace quillstamper::cli
