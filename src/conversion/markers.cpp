#include "conversion/markers.h"

namespace quillstamper {

std::string_view BlockStem(std::string_view startLine) {
    constexpr std::string_view kHtmlClose = " -->";
    if (EndsWith(startLine, kHtmlClose)) {
        return startLine.substr(0, startLine.size() - kHtmlClose.size());
    }
    return startLine;
}

namespace {

bool IsBlank(char c) {
    return c == ' ' || c == '\t';
}

std::string_view TrimFront(std::string_view line) {
    while (!line.empty() && IsBlank(line.front())) {
        line.remove_prefix(1);
    }
    return line;
}

std::string_view TrimBack(std::string_view line) {
    while (!line.empty() && IsBlank(line.back())) {
        line.remove_suffix(1);
    }
    return line;
}

// A start identifier of some pair, a non-empty text, and that pair's end
// identifier: the customary end line of some block.
bool IsSomeBlocksEnd(std::string_view line, const IdentifierTable& identifiers) {
    for (int pair = 1; pair <= kPairCount; ++pair) {
        const std::string_view startId = identifiers.StartId(pair);
        const std::string_view endId = identifiers.EndId(pair);
        if (!startId.empty() && !endId.empty() && line.size() > startId.size() + endId.size() &&
            BeginsWith(line, startId) && EndsWith(line, endId)) {
            return true;
        }
    }
    return false;
}

} // namespace

bool EndLineFitsBlock(std::string_view startLine, std::string_view endLine, int pair,
                      const IdentifierTable& identifiers, EndLines endLines) {
    const std::string_view endId = identifiers.EndId(pair);
    if (endLines == EndLines::Any || endId.empty()) {
        return true;
    }
    const std::string_view line = TrimFront(endLine);
    const std::string_view stem = BlockStem(TrimBack(startLine));
    if (line.size() == stem.size() + endId.size() && line.starts_with(stem) &&
        line.ends_with(endId)) {
        return true;
    }
    return BeginsWith(line, identifiers.StartId(pair)) && !IsSomeBlocksEnd(line, identifiers);
}

} // namespace quillstamper
