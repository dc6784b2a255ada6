#pragma once

#include "cli/report.h"

#include <iosfwd>
#include <string>
#include <vector>

namespace quillstamper::cli {

// The text format, for people at a terminal; which lines go to stdout and
// which to stderr is part of it.

// What reading the lists said (links left out, folders waited for), printed
// before the run starts; the renderings of a whole report leave it out.
// Files are named from workingFolder (empty: the current folder).
void PrintListingText(const std::vector<ReportMessage>& warnings, const std::string& workingFolder,
                      std::ostream& err);

// dynamize: what changed on stdout, what went wrong on stderr. check: what
// it found on stdout, what ended it on stderr. Quiet drops the "updated"
// lines and the summary of dynamize, but not an interruption.
void PrintTextReport(const RunReport& report, bool quiet, std::ostream& out, std::ostream& err);

// A message as one line without its end: "quillstamper-cli: " before what
// ended the command, the file's quoted name and ": " before one about a file.
std::string FormatMessageLine(const ReportMessage& message, const std::string& workingFolder);

// The lines about a file, which the GitHub format shows as well.
std::string FormatRestoredLine(const RunReport& report, const ReportFile& file);
std::string FormatUpdatedLine(const RunReport& report, const ReportFile& file);

} // namespace quillstamper::cli
