#pragma once

#include "base/file_error.h"
#include "conversion/conversion_run.h"
#include "conversion/file_check.h"

#include <cstddef>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace quillstamper::cli {

// What dynamize or check found, item by item, for the formats made for
// programs (JSON, GitHub workflow commands). Messages are the text format's
// words for the item, without the "PATH: " or "PATH:LINE: " it puts before them.

// One web file of the list and what became of it.
struct ReportFile {
    std::string file{}; // named from the working folder (see NameListEntry)
    // "updated", "would_update", "unchanged", "changed_while_converting",
    // "not_converted" (the run ended first), or "checked"
    std::string outcome{};
    bool inPlace = false;  // its folder takes no new file
    bool restored = false; // put back from an interrupted run first
    std::string diff{};    // with --diff, for a page that changes
};

// A line of a file: a problem (kind "end_missing") or a note.
struct ReportLine {
    std::string kind{};
    std::string file{};
    std::size_t line = 0;
    std::string text{}; // the line itself
    std::string message{};
    // A problem's end line that did not fit its block: its number (0: none),
    // the line, and the note that says so, without "PATH:LINE: ".
    std::size_t refusedLine = 0;
    std::string refusedText{};
    std::string refusedMessage{};
};

// An error or a warning, about one file or (file empty) about the run.
struct ReportMessage {
    std::string file{};
    std::string message{};
};

struct RunReport {
    std::string command{}; // "dynamize" or "check"
    bool check = false;    // dynamize --check: a page that would change is a finding
    std::vector<ReportFile> files{};
    std::vector<ReportLine> problems{};
    std::vector<ReportLine> notes{};
    std::vector<ReportMessage> warnings{};
    std::vector<ReportMessage> errors{};
    // The command's own counts, in the order shown; the reports add those of
    // the lists above.
    std::vector<std::pair<std::string, std::size_t>> counts{};
    std::string summary{}; // the closing line, if the run got that far
    int exitStatus = 0;
};

// A list entry as every format names it: the file it opens, named from the
// working folder, so that an editor started there finds it.
std::string NameListEntry(const std::string& entry, const std::string& baseFolder,
                          const std::string& workingFolder);

// The words the text format and the reports share.
// "1 note", "2 notes".
std::string CountOf(std::size_t count, std::string_view thing);
std::string FormatConversionSummary(std::size_t updated, std::size_t unchanged, std::size_t notes,
                                    bool dry);
std::string FormatInterruption(std::size_t updated, std::size_t notConverted, bool dry);
std::string FormatCheckSummary(std::size_t problems, std::size_t notes, std::size_t recoverable,
                               std::size_t changedSinceInterrupted, bool strict);
// Why check --strict failed on notes alone.
std::string FormatStrictNotes(std::size_t notes);
// The window's message about an empty list, with each count in its right number.
std::string FormatMissingLists(std::size_t webFiles, std::size_t templateFiles);
std::string FormatHardLinks(const HardLinkedPage& page);
std::string FormatFileErrorCause(const FileError& error);
inline constexpr std::string_view kRecoverableMessage =
    "a run was interrupted while writing it in place; the next dynamize puts its old content "
    "back first";
inline constexpr std::string_view kChangedMessage = "changed while converting; left as it is";
inline constexpr std::string_view kInPlaceMessage = "in place: its folder takes no new file";
// check: no web file is an error (a wrong list would pass as no errors found);
// no template file only a note, as the end lines need none.
inline constexpr std::string_view kNoWebFilesMessage = "no web files to check";
inline constexpr std::string_view kNoTemplatesMessage =
    "no template file is listed: only the web files were checked";

// The exit status of a finished dynamize (see ExitStatus).
int DynamizeStatus(const ConversionResult& result, bool check);

// diffOf gives the diff of a web list index, or nothing without --diff. Files
// are named from workingFolder (empty: the current folder).
RunReport DescribeDynamize(const ConversionRequest& request, const ConversionResult& result,
                           bool check, const std::function<std::string(std::size_t)>& diffOf,
                           const std::string& workingFolder);
// Without templates listed, a warning says so, a finding with strict.
RunReport DescribeCheck(const FileList& webFiles, const std::string& baseFolder,
                        const FileCheckResult& result, bool strict, bool templatesListed,
                        const std::string& workingFolder);
// A command that ended before its run (exit status 2): on a file error, or
// (without one) on what loading the lists printed, which AddLoadMessages adds.
RunReport DescribeFailure(const std::string& command, const std::optional<FileError>& error,
                          const std::string& workingFolder);

// What loading the lists printed (skipped links, or what ended the command),
// one message per line, a line after a blank one continuing the message:
// skipped links become warnings, the rest errors.
void AddLoadMessages(RunReport& report, std::string_view printed);

} // namespace quillstamper::cli
