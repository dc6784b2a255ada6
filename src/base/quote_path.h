#pragma once

#include <string>
#include <string_view>

namespace quillstamper {

// A path fit for one line of a terminal. A path of valid UTF-8 without control
// bytes (below 0x20, and 0x7F), double quotes or backslashes comes back as it
// is; any other comes back in double quotes with C escapes: \a \b \t \n \v \f
// \r \" \\, and three octal digits (\033) for other control bytes and for
// bytes that are no part of valid UTF-8.
std::string QuotePath(std::string_view path);

// A line of a page shown in a message: as it is, unless it holds a control
// byte (a tab included) or ends in a blank, which would not show; then in
// double quotes with the escapes of QuotePath, so `<!-- Trelvonix a -->` and
// the same line with a tab after it read differently.
std::string QuoteLine(std::string_view line);

} // namespace quillstamper
