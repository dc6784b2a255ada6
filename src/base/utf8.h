#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace quillstamper {

// The length of the UTF-8 character at text[at]: 1 for ASCII, 2 to 4 for a
// longer one, 0 where the bytes there are none. Overlong forms, surrogates and
// values beyond U+10FFFF are refused.
std::size_t Utf8CharacterLength(std::string_view text, std::size_t at);

bool IsValidUtf8(std::string_view text);

// Appends the code point c (at most U+10FFFF) as UTF-8.
void AppendUtf8(std::string& out, char32_t c);

} // namespace quillstamper
