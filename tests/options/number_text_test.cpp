#include "options/number_text.h"

#include <gtest/gtest.h>

#include <limits>

namespace quillstamper {
namespace {

constexpr std::int32_t kMax = std::numeric_limits<std::int32_t>::max();
constexpr std::int32_t kMin = std::numeric_limits<std::int32_t>::min();

TEST(NumberTextTest, TextToIntReadsEveryByteAsADecimalPlace) {
    const std::pair<const char*, std::int32_t> cases[] = {
        {"32", 32}, {"", 0},      {"abc", 0}, {" 32", 32},  {"32 ", 320}, {"1x", 10},
        {"x1", 1},  {"3x2", 302}, {"-5", 5},  {"0064", 64}, {"5 ", 50},   {"00000000032", 32}};
    for (const auto& [text, expected] : cases) {
        EXPECT_EQ(TextToInt(text), expected) << '"' << text << '"';
    }
    // Sums beyond the largest integer saturate, so the stored path break is 64.
    for (const char* text : {"2147483648", "1          ", "99999999999999999999"}) {
        EXPECT_EQ(TextToInt(text), kMax) << '"' << text << '"';
        EXPECT_EQ(ClampPathBreak(TextToInt(text)), 64) << '"' << text << '"';
    }
    EXPECT_EQ(TextToInt("2147483647"), kMax);
}

TEST(NumberTextTest, PathBreakCapAndNumberHelpers) {
    const std::pair<std::int32_t, std::int32_t> cases[] = {
        {65, 64}, {100, 64}, {kMax, 64}, {64, 64}, {0, 0}, {-5, -5}, {kMin, kMin}};
    for (const auto& [value, expected] : cases) {
        EXPECT_EQ(ClampPathBreak(value), expected) << value;
    }
    EXPECT_EQ(IntToText(64), "64");
    EXPECT_EQ(IntToText(kMin), "-2147483648");
    EXPECT_EQ(IntPower(10, 0), 1);
    EXPECT_EQ(IntPower(10, 18), 1000000000000000000);
    EXPECT_EQ(IntPower(10, 19), std::numeric_limits<std::int64_t>::max());
}

} // namespace
} // namespace quillstamper
