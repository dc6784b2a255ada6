#pragma once

#include "base/file_error.h"
#include "cli/report.h"
#include "conversion/conversion_run.h"
#include "conversion/file_check.h"

#include <cstddef>
#include <functional>
#include <string>
#include <string_view>

namespace quillstamper::cli {

// How dynamize and check fill their report from what the core found.

// "1 note", "2 notes".
std::string CountOf(std::size_t count, std::string_view thing);
// The window's message about an empty list, with each count in its right number.
std::string FormatMissingLists(std::size_t webFiles, std::size_t templateFiles);
// check: no web file is an error, as a wrong list would pass as no errors found.
inline constexpr std::string_view kNoWebFilesMessage = "no web files to check";

// A report of command ("dynamize" or "check") before its run: counts of
// zero and exit status 2, which the run's results replace. Files are named
// from workingFolder (empty: the current folder).
RunReport StartReport(const std::string& command, const std::string& workingFolder);

// A file error that ended the command.
ReportMessage DescribeFileError(const FileError& error);
void AddFileError(RunReport& report, const FileError& error);

// The request's web list becomes the report's files, rather than a copy of
// each entry of a large site. diffOf gives the diff of a web list index, or
// nothing without --diff.
void AddDynamizeResult(RunReport& report, ConversionRequest&& request,
                       const ConversionResult& result, bool check,
                       const std::function<std::string(std::size_t)>& diffOf);
// Without templates listed, a warning says so, a finding with strict.
void AddCheckResult(RunReport& report, const FileList& webFiles, const std::string& baseFolder,
                    const FileCheckResult& result, bool strict, bool templatesListed);

} // namespace quillstamper::cli
