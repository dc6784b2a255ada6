#include "workspace/shorten_path.h"

#include <gtest/gtest.h>

#include <climits>

namespace quillstamper {
namespace {

// count copies of unit; with no unit, count bytes that differ from their neighbours.
std::string Make(std::size_t count, const std::string& unit = {}) {
    std::string text;
    for (std::size_t i = 0; i < count; ++i) {
        text += unit.empty() ? std::string(1, static_cast<char>('0' + i % 64)) : unit;
    }
    return text;
}

TEST(ShortenPathTest, KeepsHeadAndTailLengths) {
    // {n, path break, head bytes, tail bytes}
    const std::int64_t cases[][4] = {{70, 32, 32, 32},     {74, 32, 32, 32},    {74, 0, 0, 64},
                                     {74, 64, 64, 0},      {74, 10, 10, 54},    {74, 100, 74, 0},
                                     {80, 70, 70, 0},      {74, -6, 0, 70},     {74, -20, 0, 74},
                                     {74, INT_MIN, 0, 74}, {74, INT_MAX, 74, 0}};
    for (const auto& c : cases) {
        const std::string path = Make(c[0]);
        EXPECT_EQ(ShortenPath(path, static_cast<std::int32_t>(c[1])),
                  path.substr(0, c[2]) + " ... " + path.substr(c[0] - c[3]))
            << "n=" << c[0] << " b=" << c[1];
    }
    for (const std::int32_t pathBreak : {INT_MIN, 0, 32, 65, INT_MAX}) {
        EXPECT_EQ(ShortenPath("", pathBreak) + ShortenPath(Make(69), pathBreak), Make(69));
    }
    for (std::int32_t pathBreak = 0; pathBreak <= 64; ++pathBreak) {
        const std::string once = ShortenPath(Make(100), pathBreak);
        EXPECT_EQ(once.size(), 69u);
        EXPECT_EQ(ShortenPath(once, pathBreak), once);
    }
}

TEST(ShortenPathTest, CutsUtf8OnlyAtCharacterBoundaries) {
    const std::string two = "\xC3\xA9", three = "\xE2\x82\xAC";
    // A head of 33 bytes and a tail of 31 would split a character: both give it up.
    EXPECT_EQ(ShortenPath(Make(40, two), 33), Make(16, two) + " ... " + Make(15, two));
    EXPECT_EQ(ShortenPath(Make(40, two), 32), Make(16, two) + " ... " + Make(16, two));
    EXPECT_EQ(ShortenPath(Make(25, three), 32), Make(10, three) + " ... " + Make(10, three));
    // Text that is no valid UTF-8 keeps the exact lengths.
    for (const std::string single : {"\xE9", "\xA9"}) {
        EXPECT_EQ(ShortenPath(Make(80, single), 33), Make(33, single) + " ... " + Make(31, single));
    }
}

} // namespace
} // namespace quillstamper
