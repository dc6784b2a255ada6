#include "conversion/markers.h"

namespace quillstamper {

std::string_view BlockStem(std::string_view startLine) {
    constexpr std::string_view kHtmlClose = " -->";
    if (EndsWith(startLine, kHtmlClose)) {
        return startLine.substr(0, startLine.size() - kHtmlClose.size());
    }
    return startLine;
}

} // namespace quillstamper
