#pragma once

#include "base/site_definition.h"

#include <string>
#include <string_view>

namespace quillstamper {

// Byte comparisons: case counts, nothing is trimmed. Every line of every page
// goes through these, several times a pass, so they are inline; the first two
// (or last two) bytes decide most of them without a call to compare: in
// HTML nearly every line begins with '<' and ends with '>', as markers do.
inline bool BeginsWith(std::string_view line, std::string_view start) {
    return start.empty() || (line.size() >= start.size() && line[0] == start[0] &&
                             (start.size() == 1 ||
                              (line[1] == start[1] && line.compare(0, start.size(), start) == 0)));
}

inline bool EndsWith(std::string_view line, std::string_view end) {
    const std::size_t n = end.size();
    const std::size_t at = line.size() - n;
    return n == 0 ||
           (line.size() >= n && line.back() == end.back() &&
            (n == 1 || (line[line.size() - 2] == end[n - 2] && line.compare(at, n, end) == 0)));
}

// A line that begins with the start identifier and does not end with the end
// identifier.
inline bool IsStartLine(std::string_view line, std::string_view startId, std::string_view endId) {
    return BeginsWith(line, startId) && !EndsWith(line, endId);
}

// A line that ends with the end identifier.
inline bool IsEndLine(std::string_view line, std::string_view endId) {
    return EndsWith(line, endId);
}

// The start line less a closing " -->", else the whole line.
std::string_view BlockStem(std::string_view startLine);

// Whether the first end line of pair after a start line closes that block.
// Ordinary comments such as "<!-- main end -->" end like end lines, so with
// EndLines::Own only a marker line that fits the block closes it, once its
// leading blanks and tabs are set aside: the block's expected end line (the
// stem of the start line without trailing blanks and tabs, followed by the
// end identifier), or a line that begins with the pair's start identifier
// and is no other block's expected end line. A pair without an end
// identifier, and EndLines::Any, keep the first end line.
bool EndLineFitsBlock(std::string_view startLine, std::string_view endLine, int pair,
                      const IdentifierTable& identifiers, EndLines endLines);

} // namespace quillstamper
