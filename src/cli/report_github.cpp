#include "cli/report_github.h"

#include "base/path_resolution.h"
#include "cli/program.h"
#include "cli/report_json.h"
#include "cli/report_text.h"

#include <algorithm>
#include <cerrno>
#include <ostream>
#include <random>
#ifndef _WIN32
#include <sys/random.h>
#endif

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
// The runner reads the line as a command before anything else, so what the
// message quotes of a page stays its text.
void PrintCommand(std::ostream& out, std::string_view command, const RunReport& report,
                  const std::string& file, std::size_t line, std::string_view message) {
    out << "::" << command;
    if (!file.empty()) {
        // GitHub names files from the repository, the job's folder: without
        // "./" or "../", and absolute outside it, which the runner takes up.
        const std::string& folder = report.workingFolder;
        const std::string name =
            MakeEntryRelative(ResolvePath(report.NameOf(file), folder), folder);
        out << " file=" << EscapeGithubProperty(ReplaceInvalidUtf8(name));
        if (line > 0) {
            out << ",line=" << line;
        }
    }
    out << "::" << EscapeGithubMessage(ReplaceInvalidUtf8(message)) << '\n';
}

// The lines that are no annotation, as the text format words them.
std::string PlainLines(const RunReport& report, bool quiet) {
    std::string text;
    for (const ReportFile& file : report.files) {
        if (file.restored) {
            text += FormatRestoredLine(report, file) + '\n';
        }
    }
    for (const ReportFile& file : report.files) {
        const bool changes = file.outcome == ReportFile::Outcome::Updated ||
                             file.outcome == ReportFile::Outcome::WouldUpdate;
        if (changes && !report.check && !quiet) {
            text += FormatUpdatedLine(report, file) + '\n';
        }
        if (!file.diff.empty()) {
            text += file.diff + (file.diff.ends_with('\n') ? "" : "\n");
        }
    }
    // An interruption is said even when quiet, as the text format does.
    if (!report.summary.empty() && (!quiet || report.Interrupted())) {
        text += report.summary + '\n';
    }
    return text;
}

// The runner resumes on the token in any case of letters, anywhere in a line
// in its older ##[TOKEN] form.
bool HoldsToken(std::string_view text, std::string_view token) {
    const auto lower = [](char c) {
        return static_cast<char>(c >= 'A' && c <= 'Z' ? c - 'A' + 'a' : c);
    };
    return std::search(text.begin(), text.end(), token.begin(), token.end(),
                       [&](char a, char b) { return lower(a) == lower(b); }) != text.end();
}

} // namespace

std::string EscapeGithubMessage(std::string_view text) {
    return Escape(text, false);
}

std::string EscapeGithubProperty(std::string_view text) {
    return Escape(text, true);
}

std::string DrawStopToken() {
    // No 'i' or 's': the runner compares without case in .NET, where the
    // dotless i and the long s match them.
    constexpr std::string_view kSymbols = "0123456789abcdefghjklmnopqrtuvwxyz";
    constexpr std::size_t kLength = 24;
    // Bytes up to the last whole multiple of the symbols, so that each is as likely.
    constexpr unsigned kLimit = 256 / kSymbols.size() * kSymbols.size();
    std::string token;
    unsigned char bytes[64];
    while (token.size() < kLength) {
#ifdef _WIN32
        const int got = 0; // std::random_device draws from the system's generator here
#else
        const ssize_t got = ::getrandom(bytes, sizeof bytes, 0);
#endif
        if (got < 0 && errno == EINTR) {
            continue;
        }
        if (got <= 0) { // a kernel without getrandom
            std::random_device device;
            for (unsigned char& byte : bytes) {
                byte = static_cast<unsigned char>(device());
            }
        }
        const std::size_t count = got > 0 ? static_cast<std::size_t>(got) : sizeof bytes;
        for (std::size_t i = 0; i < count && token.size() < kLength; ++i) {
            if (bytes[i] < kLimit) {
                token += kSymbols[bytes[i] % kSymbols.size()];
            }
        }
    }
    return token;
}

void PrintGithubReport(const RunReport& report, bool quiet, std::ostream& out,
                       const std::function<std::string()>& drawToken) {
    for (const ReportFile& file : report.files) {
        if (report.check && file.outcome == ReportFile::Outcome::WouldUpdate) {
            PrintCommand(out, "error", report, report.PathOf(file), 0,
                         std::string("would update: run ") + kProgram + " dynamize");
        }
    }
    for (const ReportLine& problem : report.problems) {
        PrintCommand(out, "error", report, problem.file, problem.line, problem.message);
        if (problem.refusedLine != 0) {
            PrintCommand(out, "warning", report, problem.file, problem.refusedLine,
                         problem.refusedMessage);
        }
    }
    for (const ReportLine& note : report.notes) {
        PrintCommand(out, "warning", report, note.file, note.line, note.message);
    }
    for (const ReportMessage& warning : report.warnings) {
        PrintCommand(out, "warning", report, warning.file, 0, warning.FullMessage());
    }
    for (const ReportMessage& error : report.errors) {
        PrintCommand(out, "error", report, error.file, 0, error.FullMessage());
    }
    const std::string plain = PlainLines(report, quiet);
    if (plain.empty()) {
        return;
    }
    std::string token = drawToken();
    while (token.empty() || HoldsToken(plain, token)) {
        token = drawToken();
    }
    out << "::stop-commands::" << token << '\n' << plain << "::" << token << "::\n";
}

} // namespace quillstamper::cli
