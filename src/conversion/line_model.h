#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace quillstamper {

using Lines = std::vector<std::string>;
using LineViews = std::vector<std::string_view>;

// Splits bytes into lines: a line ends at LF, a CR right before the LF belongs
// to the line end, a last line without LF still counts, an empty text has no
// lines. Text that holds CR and no LF (classic Mac files) ends its lines at
// CR. The views point into bytes.
LineViews SplitLines(std::string_view bytes);

// Every line followed by CR LF, the last one included.
std::string JoinLines(const LineViews& lines);
std::string JoinLines(const Lines& lines);
// Every line followed by lineBreak.
std::string JoinLines(const LineViews& lines, std::string_view lineBreak);

// The line break that follows a line of bytes, a view into them: CR LF, LF,
// CR (in a file without LF), or nothing for a last line without one.
std::string_view LineBreakAfter(std::string_view line, std::string_view bytes);

} // namespace quillstamper
