#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

namespace quillstamper {

// How a file's text is stored: as plain bytes, or behind a byte-order mark
// that names a Unicode encoding.
enum class TextEncoding { Bytes, Utf8, Utf16Le, Utf16Be, Utf32Le, Utf32Be };

// The byte-order mark at the start of bytes, as an encoding and the mark's
// length; Bytes and 0 without one. UTF-32 LE is told from UTF-16 LE by its
// two NUL bytes after FF FE.
struct ByteOrderMark {
    TextEncoding encoding = TextEncoding::Bytes;
    std::size_t length = 0;
};
ByteOrderMark FindByteOrderMark(std::string_view bytes);

// The mark that starts a file of this encoding; empty for Bytes.
std::string_view ByteOrderMarkOf(TextEncoding encoding);

// The name iconv knows the encoding by ("UTF-16LE"); empty for Bytes.
std::string_view EncodingName(TextEncoding encoding);

// UTF-16 saved without a mark: NUL bytes in every second place of its first
// lines, which no text in any 8-bit charset or UTF-8 has.
bool LooksLikeUtf16WithoutMark(std::string_view bytes);

// "PATH: UTF-16 text without a byte-order mark; save it with one, or as UTF-8"
// takes this cause.
inline constexpr std::string_view kUtf16WithoutMarkCause =
    "UTF-16 text without a byte-order mark; save it with one, or as UTF-8";

// The charset that a <meta charset=...> or <meta http-equiv="Content-Type"
// content="...; charset=..."> in the first 1,024 bytes declares, in any case
// and attribute order, as NormalizeCharsetName gives it; nothing without one.
std::optional<std::string> FindDeclaredCharset(std::string_view bytes);

// One spelling for a charset, so that labels of the same charset compare
// equal: "UTF-8" for utf8 and utf-8, "ISO-8859-1" for latin1, l1 and
// iso_8859-1, "WINDOWS-1252" for cp1252 and x-cp1252; other labels in upper
// case, as iconv takes them. Empty for an empty label.
std::string NormalizeCharsetName(std::string_view label);

// Pages whose inserted text may hold numeric character references (&#8212;):
// .htm, .html and .php files, in any case.
bool HasHtmlExtension(std::string_view path);

} // namespace quillstamper
