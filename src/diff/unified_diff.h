#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace quillstamper {

// A unified diff of two file contents ("--- label", "+++ label", hunks with
// `context` lines around each change), or the empty text when they are equal.
// Lines are compared with their line ends, so a change of CR LF shows; a last
// line without a line end is marked as diff marks it. The label is quoted
// as QuotePath does, so that a file name cannot break or steer the output.
std::string FormatUnifiedDiff(std::string_view label, std::string_view oldBytes,
                              std::string_view newBytes, int context = 3);

// The lines FormatUnifiedDiff marks with "-" or "+", without formatting them:
// the size of a change, for a list of many files.
std::size_t CountChangedLines(std::string_view oldBytes, std::string_view newBytes);

} // namespace quillstamper
