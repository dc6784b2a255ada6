#pragma once

#include "cli/report_content.h"

#include <iosfwd>
#include <string>
#include <string_view>

namespace quillstamper::cli {

// GitHub's escapes for the message of a workflow command (% CR LF) and, in
// addition, for a property value such as file= (: and ,).
std::string EscapeGithubMessage(std::string_view text);
std::string EscapeGithubProperty(std::string_view text);

// The report as GitHub Actions workflow commands, which mark the lines of a
// pull request: ::error for problems, errors and (with dynamize --check) pages
// that would change, ::warning for notes and warnings, each with file= named
// relative to workingFolder (empty: the current folder) when the file lies
// below it. The other lines of the text format stay plain lines; quiet drops
// the "updated" lines and the summary.
void PrintGithubReport(const RunReport& report, const std::string& workingFolder, bool quiet,
                       std::ostream& out);

} // namespace quillstamper::cli
