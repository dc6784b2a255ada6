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

} // namespace quillstamper
