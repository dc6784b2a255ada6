#include "conversion/line_model.h"

#include <algorithm>
#include <cstring>

namespace quillstamper {

namespace {

// Classic Mac files: every CR ends a line.
LineViews SplitAtCarriageReturns(std::string_view bytes) {
    LineViews lines;
    std::size_t begin = 0;
    while (begin < bytes.size()) {
        const std::size_t end = std::min(bytes.find('\r', begin), bytes.size());
        lines.push_back(bytes.substr(begin, end - begin));
        begin = end + 1;
    }
    return lines;
}

} // namespace

LineViews SplitLines(std::string_view bytes) {
    LineViews lines;
    // Room for lines of 32 bytes and more at once, as growing the list line
    // by line moves it a dozen times; bounded, for a page of one long line.
    lines.reserve(std::min<std::size_t>(bytes.size() / 32 + 16, 4096));
    std::size_t begin = 0;
    const std::size_t size = bytes.size();
    while (begin < size) {
        const void* found = std::memchr(bytes.data() + begin, '\n', size - begin);
        if (found == nullptr) {
            // No LF at all: a file whose lines end at CR.
            if (begin == 0 && std::memchr(bytes.data(), '\r', size) != nullptr) {
                return SplitAtCarriageReturns(bytes);
            }
            lines.push_back(bytes.substr(begin));
            break;
        }
        const std::size_t lineFeed =
            static_cast<std::size_t>(static_cast<const char*>(found) - bytes.data());
        std::size_t end = lineFeed;
        if (end > begin && bytes[end - 1] == '\r') {
            --end;
        }
        lines.push_back(bytes.substr(begin, end - begin));
        begin = lineFeed + 1;
    }
    return lines;
}

namespace {

template <typename LineList>
std::string JoinAny(const LineList& lines, std::string_view lineBreak = "\r\n") {
    std::size_t total = 0;
    for (const auto& line : lines) {
        total += line.size() + lineBreak.size();
    }
    // Copied into room made at once: appending checks the room twice a line,
    // which costs more than clearing it first.
    std::string bytes(total, '\0');
    char* out = bytes.data();
    for (const auto& line : lines) {
        out = std::copy(line.begin(), line.end(), out);
        for (const char c : lineBreak) {
            *out++ = c;
        }
    }
    return bytes;
}

} // namespace

std::string JoinLines(const LineViews& lines) {
    return JoinAny(lines);
}

std::string JoinLines(const Lines& lines) {
    return JoinAny(lines);
}

std::string JoinLines(const LineViews& lines, std::string_view lineBreak) {
    return JoinAny(lines, lineBreak);
}

std::string_view LineBreakAfter(std::string_view line, std::string_view bytes) {
    const std::size_t end = static_cast<std::size_t>(line.data() - bytes.data()) + line.size();
    if (end < bytes.size() && bytes[end] == '\n') {
        return "\n";
    }
    if (end < bytes.size() && bytes[end] == '\r') {
        // A CR not followed by LF ends a line only in a file without LF.
        return end + 1 < bytes.size() && bytes[end + 1] == '\n' ? "\r\n" : "\r";
    }
    return {};
}

} // namespace quillstamper
