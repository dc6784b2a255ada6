#include "conversion/markers.h"

namespace quillstamper {

bool BeginsWith(std::string_view line, std::string_view start) {
    return line.size() >= start.size() && line.compare(0, start.size(), start) == 0;
}

bool EndsWith(std::string_view line, std::string_view end) {
    return line.size() >= end.size() &&
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
