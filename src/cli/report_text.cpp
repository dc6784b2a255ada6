#include "cli/report_text.h"

#include "base/path_resolution.h"
#include "base/quote_path.h"
#include "cli/program.h"

#include <algorithm>
#include <ostream>
#include <string_view>

namespace quillstamper::cli {

namespace {

using Kind = ReportMessage::Kind;
using Outcome = ReportFile::Outcome;

constexpr std::string_view kInPlaceMessage = "in place: its folder takes no new file";

// "PATH:LINE: ", or "PATH: " for a whole file; quoted, so that a name never
// moves the cursor or ends the line.
std::string Place(const std::string& name, std::size_t line) {
    return QuotePath(name) + (line == 0 ? std::string() : ':' + std::to_string(line)) + ": ";
}

// A refused end line follows its problem, so that the reader sees why.
void PrintLines(const RunReport& report, const std::vector<ReportLine>& lines,
                std::ostream& stream) {
    for (const ReportLine& line : lines) {
        const std::string name = report.NameOf(line.file);
        stream << Place(name, line.line) << line.message << '\n';
        if (line.refusedLine != 0) {
            stream << Place(name, line.refusedLine) << line.refusedMessage << '\n';
        }
    }
}

void PrintMessages(const std::vector<ReportMessage>& messages, Kind kind,
                   const std::string& workingFolder, std::ostream& stream) {
    for (const ReportMessage& message : messages) {
        if (message.kind == kind) {
            stream << FormatMessageLine(message, workingFolder) << '\n';
        }
    }
}

void PrintWarnings(const RunReport& report, Kind kind, std::ostream& stream) {
    PrintMessages(report.warnings, kind, report.workingFolder, stream);
}

// What ended the command comes after everything the run printed before it.
void PrintErrors(const RunReport& report, std::ostream& out, std::ostream& err) {
    for (const ReportMessage& error : report.errors) {
        if (error.kind == Kind::Ending) {
            out.flush();
        }
        err << FormatMessageLine(error, report.workingFolder) << '\n';
    }
}

bool Changes(const ReportFile& file) {
    return file.outcome == Outcome::Updated || file.outcome == Outcome::WouldUpdate;
}

void PrintDynamizeText(const RunReport& report, bool quiet, std::ostream& out, std::ostream& err) {
    for (const ReportFile& file : report.files) {
        if (file.restored) {
            out << FormatRestoredLine(report, file) << '\n';
        }
    }
    PrintWarnings(report, Kind::Interrupted, err);
    for (const ReportFile& file : report.files) {
        if (Changes(file)) {
            if (!quiet) {
                out << FormatUpdatedLine(report, file) << '\n';
            }
            out << file.diff;
        }
    }
    PrintWarnings(report, Kind::Page, err);
    PrintLines(report, report.problems, err);
    PrintErrors(report, out, err);
    if (report.summary.empty()) {
        return;
    }
    if (report.Interrupted()) {
        out.flush();
        err << report.summary << '\n';
    } else if (!quiet) {
        out << report.summary << '\n';
    }
}

void PrintCheckText(const RunReport& report, std::ostream& out, std::ostream& err) {
    PrintErrors(report, out, err);
    PrintLines(report, report.problems, out);
    PrintLines(report, report.notes, out);
    PrintWarnings(report, Kind::Interrupted, out);
    PrintWarnings(report, Kind::Lists, out);
    // What the check found speaks for itself; the summary says it found
    // nothing, or (with --strict) only notes.
    const bool found =
        !report.problems.empty() ||
        std::any_of(report.warnings.begin(), report.warnings.end(),
                    [](const ReportMessage& warning) { return warning.kind == Kind::Interrupted; });
    if (!found && !report.summary.empty()) {
        out << report.summary << '\n';
    }
}

} // namespace

void PrintListingText(const std::vector<ReportMessage>& warnings, const std::string& workingFolder,
                      std::ostream& err) {
    PrintMessages(warnings, Kind::Listing, workingFolder, err);
}

void PrintTextReport(const RunReport& report, bool quiet, std::ostream& out, std::ostream& err) {
    if (report.command == "check") {
        PrintCheckText(report, out, err);
    } else {
        PrintDynamizeText(report, quiet, out, err);
    }
}

std::string FormatMessageLine(const ReportMessage& message, const std::string& workingFolder) {
    std::string line = message.kind == Kind::Ending ? std::string(kProgram) + ": " : std::string();
    if (!message.file.empty()) {
        line += QuotePath(NameFromWorkingFolder(message.file, workingFolder)) + ": ";
    }
    line += message.message;
    if (!message.path.empty()) {
        line += QuotePath(message.path);
    }
    return line;
}

std::string FormatRestoredLine(const RunReport& report, const ReportFile& file) {
    return "restored " + QuotePath(report.NameOf(file)) + " from an interrupted run";
}

std::string FormatUpdatedLine(const RunReport& report, const ReportFile& file) {
    std::string line = file.outcome == Outcome::WouldUpdate ? "would update " : "updated ";
    line += QuotePath(report.NameOf(file));
    if (file.inPlace) {
        line += " (" + std::string(kInPlaceMessage) + ")";
    }
    return line;
}

} // namespace quillstamper::cli
