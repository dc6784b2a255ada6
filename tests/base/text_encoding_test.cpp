// How a file's encoding and charset are told: byte-order marks, <meta>
// declarations, charset labels, UTF-16 saved without a mark.

#include "base/text_encoding.h"

#include <gtest/gtest.h>

#include <optional>
#include <string>

namespace quillstamper {
namespace {

using namespace std::string_literals;

TEST(TextEncodingTest, ByteOrderMarksAreToldLongestFirst) {
    const struct {
        std::string bytes;
        TextEncoding encoding;
        std::size_t length;
    } cases[] = {
        {"\xEF\xBB\xBF<!--", TextEncoding::Utf8, 3},
        {"\xFF\xFE<\0"s, TextEncoding::Utf16Le, 2},
        {"\xFE\xFF\0<"s, TextEncoding::Utf16Be, 2},
        {"\xFF\xFE\0\0<\0\0\0"s, TextEncoding::Utf32Le, 4},
        {"\0\0\xFE\xFF"s, TextEncoding::Utf32Be, 4},
        {"\xEF\xBB", TextEncoding::Bytes, 0}, // cut short
        {"<!-- \xEF\xBB\xBF", TextEncoding::Bytes, 0},
        {"", TextEncoding::Bytes, 0},
    };
    for (const auto& c : cases) {
        const ByteOrderMark mark = FindByteOrderMark(c.bytes);
        EXPECT_EQ(mark.encoding, c.encoding) << testing::PrintToString(c.bytes);
        EXPECT_EQ(mark.length, c.length) << testing::PrintToString(c.bytes);
        EXPECT_EQ(ByteOrderMarkOf(mark.encoding), c.bytes.substr(0, c.length));
    }
}

TEST(TextEncodingTest, Utf16WithoutMarkIsToldFromEightBitText) {
    EXPECT_TRUE(LooksLikeUtf16WithoutMark("<\0!\0-\0-\0 \0T\0\r\0\n\0"s));
    EXPECT_TRUE(LooksLikeUtf16WithoutMark("\0<\0!\0-\0-\0 \0T"s));
    EXPECT_FALSE(LooksLikeUtf16WithoutMark("<!-- Trelvonix menu -->\r\n"));
    EXPECT_FALSE(LooksLikeUtf16WithoutMark("a\0b"s));               // too short to tell
    EXPECT_FALSE(LooksLikeUtf16WithoutMark("ab\0\0cd\0\0ef\0\0"s)); // NULs in both places
}

// Any case, any attribute order, quoted or not; only the first 1,024 bytes.
TEST(TextEncodingTest, DeclaredCharsetComesFromAMetaElement) {
    const std::pair<std::string, std::optional<std::string>> cases[] = {
        {R"(<meta charset="utf-8">)", "UTF-8"},
        {R"(<META CHARSET='ISO-8859-1'/>)", "ISO-8859-1"},
        {"<meta charset=latin1>", "ISO-8859-1"},
        {R"(<meta http-equiv="Content-Type" content="text/html; charset=iso-8859-1">)",
         "ISO-8859-1"},
        {R"(<meta content="text/html;charset=windows-1252" http-equiv="content-type">)",
         "WINDOWS-1252"},
        {"<meta\n  http-equiv=Content-Type\n  content='text/html; CHARSET=\"cp1252\"'>",
         "WINDOWS-1252"},
        {R"(<meta name="description" content="charset=utf-8">)", std::nullopt},
        {R"(<metadata charset="utf-8">)", std::nullopt},
        {R"(<p>charset="utf-8"</p>)", std::nullopt},
        {std::string(1024, ' ') + R"(<meta charset="utf-8">)", std::nullopt},
        {"<html><head><title>x</title><meta charset=koi8-r>", "KOI8-R"},
    };
    for (const auto& [bytes, expected] : cases) {
        EXPECT_EQ(FindDeclaredCharset(bytes), expected) << bytes;
    }
}

TEST(TextEncodingTest, CharsetLabelsOfOneCharsetCompareEqual) {
    const std::pair<const char*, const char*> cases[] = {
        {"utf8", "UTF-8"},
        {" UTF-8 ", "UTF-8"},
        {"latin1", "ISO-8859-1"},
        {"ISO_8859-1", "ISO-8859-1"},
        {"l1", "ISO-8859-1"},
        {"cp1252", "WINDOWS-1252"},
        {"Windows-1252", "WINDOWS-1252"},
        {"ascii", "US-ASCII"},
        {"shift_jis", "SHIFT_JIS"},
    };
    for (const auto& [label, name] : cases) {
        EXPECT_EQ(NormalizeCharsetName(label), name) << label;
    }
}

TEST(TextEncodingTest, HtmlPagesByTheirExtension) {
    for (const char* path : {"a.htm", "b/c.HTML", "x.php", "d.e/f.Html"}) {
        EXPECT_TRUE(HasHtmlExtension(path)) << path;
    }
    for (const char* path : {"a.pl", "a.html.bak", "html", "a.htm/b", "a.txt"}) {
        EXPECT_FALSE(HasHtmlExtension(path)) << path;
    }
}

} // namespace
} // namespace quillstamper
