#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace quillstamper {

// The largest path break the Options dialog stores.
inline constexpr std::int32_t kMaxPathBreak = 64;

// base raised to exponent (1 for exponent 0 or below); saturates at INT64_MAX
// instead of overflowing.
std::int64_t IntPower(std::int64_t base, int exponent);

// Decimal form as "%d" gives it.
std::string IntToText(std::int32_t value);

// Reads a number from any text by place value: every byte takes a decimal
// place, digits add their value at that place, all other bytes add nothing.
// A sum beyond INT32_MAX gives INT32_MAX, so long texts have a defined result.
std::int32_t TextToInt(std::string_view text);

// The path break as the Options dialog stores it: at most kMaxPathBreak, no
// lower bound.
std::int32_t ClampPathBreak(std::int32_t value);

} // namespace quillstamper
