#pragma once

#include "cli/report.h"

#include <functional>
#include <iosfwd>
#include <string>
#include <string_view>

namespace quillstamper::cli {

// GitHub's escapes for the message of a workflow command (% CR LF) and, in
// addition, for a property value such as file= (: and ,).
std::string EscapeGithubMessage(std::string_view text);
std::string EscapeGithubProperty(std::string_view text);

// 24 letters and digits from the system's random source, for a stop-commands
// token no page can know in advance.
std::string DrawStopToken();

// The report as GitHub Actions workflow commands, which mark the lines of a
// pull request: ::error for problems, errors and (with dynamize --check) pages
// that would change, ::warning for notes and warnings. Their file= is the
// report's file, named from its working folder (empty: the current folder),
// relative to it when below it, else absolute; bytes that are no UTF-8 become
// U+FFFD in them. Every other line (those of the text format,
// diffs, the summary) follows in one stop-commands section, so that a page's
// line or name is printed, never obeyed; drawToken gives its token, drawn
// again while the section holds it in any case of letters. Quiet drops the
// "updated" lines and the summary.
void PrintGithubReport(const RunReport& report, bool quiet, std::ostream& out,
                       const std::function<std::string()>& drawToken = DrawStopToken);

} // namespace quillstamper::cli
