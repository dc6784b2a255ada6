#pragma once

#include <functional>
#include <string>
#include <string_view>

namespace quillstamper::os {

// Charset conversion, through the system's converter (iconv). Charsets are
// named as NormalizeCharsetName gives them.

// Whether the system can convert from and to the charset.
bool KnowsCharset(const std::string& charset);

// The bytes in charset as Unicode code points. False when the charset is
// unknown or the bytes are not valid in it; then invalidAt (if given) tells
// where the first invalid byte stands, or bytes.size() for an unknown charset.
bool DecodeText(std::string_view bytes, const std::string& charset, std::u32string& codePoints,
                std::size_t* invalidAt = nullptr);

// The code points in charset. One the charset cannot hold is handed to
// onUnmappable, which appends what stands for it. Throws std::invalid_argument
// for an unknown charset.
std::string EncodeText(std::u32string_view codePoints, const std::string& charset,
                       const std::function<void(char32_t, std::string&)>& onUnmappable);

} // namespace quillstamper::os
