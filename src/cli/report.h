#pragma once

#include <cstddef>
#include <string>
#include <utility>
#include <vector>

namespace quillstamper::cli {

// What dynamize or check found: one value that the command fills and that
// each format renders (report_text, report_json, report_github); none of them
// reads another's output. Messages are their words alone: the "PATH: " or
// "PATH:LINE: " before them is the text format's. A file is kept as the run
// opened it and named from the working folder (RunReport::NameOf) only where
// a format prints it: a site may hold tens of thousands of pages that a quiet
// run never names.

// One web file of the list and what became of it.
struct ReportFile {
    enum class Outcome {
        Updated,
        WouldUpdate, // a dry run, or dynamize --check
        Unchanged,
        ChangedWhileConverting,
        NotConverted, // the run ended first
        Checked
    };
    std::string entry{}; // as the list has it, below the report's base folder
    Outcome outcome = Outcome::NotConverted;
    bool inPlace = false;  // its folder takes no new file
    bool restored = false; // put back from an interrupted run first
    std::string diff{};    // with --diff, for a page that changes
};

// A line of a file: a problem (kind "end_missing") or a note.
struct ReportLine {
    std::string kind{};
    std::string file{}; // as opened
    std::size_t line = 0;
    std::string text{}; // the line itself
    std::string message{};
    // A problem's end line that did not fit its block: its number (0: none),
    // the line, and the note that says so.
    std::size_t refusedLine = 0;
    std::string refusedText{};
    std::string refusedMessage{};
};

// An error or a warning, about one file or (file empty) about the run.
struct ReportMessage {
    // Where the text format puts it and what it puts before it; the formats
    // for programs give only the file and the message.
    enum class Kind {
        Listing,     // reading the lists: a link left out, a folder waited for
        Ending,      // it ended the command: a missing path, a refused project file, a file error
        EmptyList,   // the window's words for an empty list, which end the command too
        Interrupted, // a page an interrupted run left half written, or edited since
        Page,        // what else befell a page: hard links, a change while converting
        Lists        // about the lists as a whole
    };
    std::string file{}; // as opened
    std::string message{};
    // A path the message ends with (a recovery copy), quoted in the text format.
    std::string path{};
    Kind kind = Kind::Page;

    // The message and its path as they are, for the formats for programs.
    std::string FullMessage() const {
        return message + path;
    }
};

struct RunReport {
    std::string command{}; // "dynamize" or "check"
    bool check = false;    // dynamize --check: a page that would change is a finding
    // Where the entries of files are read below.
    std::string baseFolder{};
    // Where names start from; empty: the current folder.
    std::string workingFolder{};
    std::vector<ReportFile> files{};
    std::vector<ReportLine> problems{};
    std::vector<ReportLine> notes{};
    std::vector<ReportMessage> warnings{};
    std::vector<ReportMessage> errors{};
    // The command's own counts, in the order shown; the formats for programs
    // add those of the lists above.
    std::vector<std::pair<std::string, std::size_t>> counts{};
    std::string summary{}; // the closing line, if the run got that far
    int exitStatus = 0;

    // A file as someone working in the working folder opens it (see
    // NameFromWorkingFolder), so that an editor started there finds it.
    std::string NameOf(const std::string& file) const;
    std::string NameOf(const ReportFile& file) const;
    // The file as opened.
    std::string PathOf(const ReportFile& file) const;
    // Stopped by a signal: the summary says how far it got.
    bool Interrupted() const {
        return exitStatus > 128;
    }
};

} // namespace quillstamper::cli
