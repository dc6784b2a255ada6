#include "base/shorten_path.h"

#include "base/utf8.h"

#include <cstddef>
#include <string_view>

namespace quillstamper {

namespace {

constexpr std::size_t kShortenThreshold = 70;
constexpr std::int64_t kKeptCharacters = 64;

bool IsContinuationByte(unsigned char byte) {
    return (byte & 0xC0) == 0x80;
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
