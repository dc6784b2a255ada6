#include "conversion/markers.h"

namespace quillstamper {

// Every line of every page goes through these: the first (or last) byte
// decides most of them without a call to compare.
bool BeginsWith(std::string_view line, std::string_view start) {
    if (start.empty()) {
        return true;
    }
    return line.size() >= start.size() && line.front() == start.front() &&
           line.compare(0, start.size(), start) == 0;
}

bool EndsWith(std::string_view line, std::string_view end) {
    if (end.empty()) {
        return true;
    }
    return line.size() >= end.size() && line.back() == end.back() &&
           line.compare(line.size() - end.size(), end.size(), end) == 0;
}

bool IsStartLine(std::string_view line, std::string_view startId, std::string_view endId) {
    return BeginsWith(line, startId) && !EndsWith(line, endId);
}

bool IsEndLine(std::string_view line, std::string_view endId) {
    return EndsWith(line, endId);
}

std::string_view BlockStem(std::string_view startLine) {
    constexpr std::string_view kHtmlClose = " -->";
    if (EndsWith(startLine, kHtmlClose)) {
        return startLine.substr(0, startLine.size() - kHtmlClose.size());
    }
    return startLine;
}

} // namespace quillstamper
