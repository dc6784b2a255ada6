#pragma once

#include "cli/report.h"

#include <iosfwd>
#include <string>
#include <string_view>

namespace quillstamper::cli {

// Standard base64 (RFC 4648, with padding).
std::string EncodeBase64(std::string_view bytes);

// bytes with each byte that is no part of a well-formed UTF-8 sequence
// replaced by U+FFFD.
std::string ReplaceInvalidUtf8(std::string_view bytes);

// The report as one JSON document, indented by two, ending with a newline.
// A text that is not valid UTF-8 is given with U+FFFD for each invalid byte,
// and its exact bytes in base64 beside it under the key's name + "_base64".
void PrintJsonReport(const RunReport& report, std::ostream& out);

} // namespace quillstamper::cli
