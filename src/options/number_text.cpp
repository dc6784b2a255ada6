#include "options/number_text.h"

#include <algorithm>
#include <limits>

namespace quillstamper {

std::int64_t IntPower(std::int64_t base, int exponent) {
    constexpr std::int64_t kMax = std::numeric_limits<std::int64_t>::max();
    std::int64_t result = 1;
    for (int i = 0; i < exponent; ++i) {
        if (base != 0 && (result > kMax / (base < 0 ? -base : base))) {
            return kMax;
        }
        result *= base;
    }
    return result;
}

std::string IntToText(std::int32_t value) {
    return std::to_string(value);
}

std::int32_t TextToInt(std::string_view text) {
    constexpr std::int64_t kLimit = std::numeric_limits<std::int32_t>::max();
    static constexpr std::string_view kDigits = "0123456789";
    std::int64_t result = 0;
    const std::size_t n = text.size();
    for (std::size_t i = n; i-- > 0;) {
        const std::size_t digit = kDigits.find(text[i]);
        if (digit == std::string_view::npos || digit == 0) {
            continue;
        }
        const std::size_t place = n - 1 - i;
        // 10^10 already exceeds the limit; saturate rather than overflow.
        if (place >= 10) {
            return static_cast<std::int32_t>(kLimit);
        }
        result += static_cast<std::int64_t>(digit) * IntPower(10, static_cast<int>(place));
        if (result > kLimit) {
            return static_cast<std::int32_t>(kLimit);
        }
    }
    return static_cast<std::int32_t>(result);
}

std::int32_t ClampPathBreak(std::int32_t value) {
    return std::min(value, kMaxPathBreak);
}

} // namespace quillstamper
