#include "cli/report_github.h"

#include "cli/cli_commands.h"
#include "workspace/path_resolution.h"
#include "workspace/quote_path.h"

#include <ostream>

namespace quillstamper::cli {

namespace {

std::string Escape(std::string_view text, bool property) {
    std::string escaped;
    escaped.reserve(text.size());
    for (const char c : text) {
        switch (c) {
        case '%':
            escaped += "%25";
            break;
        case '\r':
            escaped += "%0D";
            break;
        case '\n':
            escaped += "%0A";
            break;
        case ':':
            escaped += property ? "%3A" : ":";
            break;
        case ',':
            escaped += property ? "%2C" : ",";
            break;
        default:
            escaped += c;
        }
    }
    return escaped;
}

// "::error file=PATH,line=N::MESSAGE"; without a path, "::error::MESSAGE".
void PrintCommand(std::ostream& out, std::string_view command, const std::string& path,
                  std::size_t line, std::string_view message, const std::string& workingFolder) {
    out << "::" << command;
    if (!path.empty()) {
        out << " file=" << EscapeGithubProperty(MakeEntryRelative(path, workingFolder));
        if (line > 0) {
            out << ",line=" << line;
        }
    }
    out << "::" << EscapeGithubMessage(message) << '\n';
}

// Between stop-commands and its token, so that a line of a page that looks
// like a workflow command is printed, not obeyed.
void PrintDiff(std::ostream& out, const std::string& diff) {
    std::string token = "quillstamper-diff";
    for (int n = 1; diff.find("::" + token + "::") != std::string::npos; ++n) {
        token = "quillstamper-diff-" + std::to_string(n);
    }
    out << "::stop-commands::" << token << '\n'
        << diff << (diff.ends_with('\n') ? "" : "\n") << "::" << token << "::\n";
}

void PrintFiles(const RunReport& report, const std::string& workingFolder, bool quiet,
                std::ostream& out) {
    for (const ReportFile& file : report.files) {
        if (file.restored) {
            out << "restored " << QuotePath(file.file) << " from an interrupted run\n";
        }
    }
    for (const ReportFile& file : report.files) {
        const bool wouldUpdate = file.outcome == "would_update";
        if (report.check && wouldUpdate) {
            PrintCommand(out, "error", file.path, 0,
                         std::string("would update: run ") + kProgram + " dynamize", workingFolder);
        } else if ((wouldUpdate || file.outcome == "updated") && !quiet) {
            out << (wouldUpdate ? "would update " : "updated ") << QuotePath(file.file)
                << (file.inPlace ? " (" + std::string(kInPlaceMessage) + ")" : "") << '\n';
        }
        if (!file.diff.empty()) {
            PrintDiff(out, file.diff);
        }
    }
}

} // namespace

std::string EscapeGithubMessage(std::string_view text) {
    return Escape(text, false);
}

std::string EscapeGithubProperty(std::string_view text) {
    return Escape(text, true);
}

void PrintGithubReport(const RunReport& report, const std::string& workingFolder, bool quiet,
                       std::ostream& out) {
    PrintFiles(report, workingFolder, quiet, out);
    for (const ReportLine& problem : report.problems) {
        PrintCommand(out, "error", problem.path, problem.line, problem.message, workingFolder);
        if (problem.refusedLine != 0) {
            PrintCommand(out, "warning", problem.path, problem.refusedLine, problem.refusedMessage,
                         workingFolder);
        }
    }
    for (const ReportLine& note : report.notes) {
        PrintCommand(out, "warning", note.path, note.line, note.message, workingFolder);
    }
    for (const ReportMessage& warning : report.warnings) {
        PrintCommand(out, "warning", warning.path, 0, warning.message, workingFolder);
    }
    for (const ReportMessage& error : report.errors) {
        PrintCommand(out, "error", error.path, 0, error.message, workingFolder);
    }
    // An interruption is said even when quiet, as the text format does.
    if (!report.summary.empty() && (!quiet || report.exitStatus > 128)) {
        out << report.summary << '\n';
    }
}

} // namespace quillstamper::cli
