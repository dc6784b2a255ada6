#include "workspace/shorten_path.h"

#include <cstddef>
#include <string_view>

namespace quillstamper {

namespace {

constexpr std::size_t kShortenThreshold = 70;
constexpr std::int64_t kKeptCharacters = 64;

bool IsContinuationByte(unsigned char byte) {
    return (byte & 0xC0) == 0x80;
}

bool IsValidUtf8(std::string_view text) {
    std::size_t i = 0;
    while (i < text.size()) {
        const auto lead = static_cast<unsigned char>(text[i]);
        std::size_t length = 0;
        unsigned int codePoint = 0;
        if (lead < 0x80) {
            ++i;
            continue;
        } else if ((lead & 0xE0) == 0xC0) {
            length = 2;
            codePoint = lead & 0x1F;
        } else if ((lead & 0xF0) == 0xE0) {
            length = 3;
            codePoint = lead & 0x0F;
        } else if ((lead & 0xF8) == 0xF0) {
            length = 4;
            codePoint = lead & 0x07;
        } else {
            return false;
        }
        if (i + length > text.size()) {
            return false;
        }
        for (std::size_t k = 1; k < length; ++k) {
            const auto byte = static_cast<unsigned char>(text[i + k]);
            if (!IsContinuationByte(byte)) {
                return false;
            }
            codePoint = (codePoint << 6) | (byte & 0x3F);
        }
        const unsigned int minimum[] = {0, 0, 0x80, 0x800, 0x10000};
        if (codePoint < minimum[length] || codePoint > 0x10FFFF ||
            (codePoint >= 0xD800 && codePoint <= 0xDFFF)) {
            return false;
        }
        i += length;
    }
    return true;
}

// k <= 0 gives nothing, k >= n everything.
std::size_t ClampCount(std::int64_t k, std::size_t n) {
    if (k <= 0) {
        return 0;
    }
    return static_cast<std::uint64_t>(k) >= n ? n : static_cast<std::size_t>(k);
}

} // namespace

std::string ShortenPath(const std::string& path, std::int32_t pathBreak) {
    const std::size_t n = path.size();
    if (n < kShortenThreshold) {
        return path;
    }
    std::size_t headLength = ClampCount(pathBreak, n);
    std::size_t tailLength = ClampCount(kKeptCharacters - pathBreak, n);
    if (IsValidUtf8(path)) {
        while (headLength > 0 && headLength < n &&
               IsContinuationByte(static_cast<unsigned char>(path[headLength]))) {
            --headLength;
        }
        while (tailLength > 0 && tailLength < n &&
               IsContinuationByte(static_cast<unsigned char>(path[n - tailLength]))) {
            --tailLength;
        }
    }
    std::string shortened;
    shortened.reserve(headLength + 5 + tailLength);
    shortened.append(path, 0, headLength);
    shortened.append(" ... ");
    shortened.append(path, n - tailLength, tailLength);
    return shortened;
}

} // namespace quillstamper
