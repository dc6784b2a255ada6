// Pages and templates in other charsets and encodings: byte-order marks,
// declared charsets, UTF-16 and UTF-32, classic Mac line breaks.

#include "base/file_error.h"
#include "conversion/conversion_run.h"
#include "conversion/file_check.h"
#include "conversion/file_text.h"
#include "support/markers.h"
#include "support/test_files.h"

#include <gtest/gtest.h>

#ifndef _WIN32
#include <iconv.h>
#endif

namespace quillstamper::test {
namespace {

using namespace std::string_literals;

const std::string kBom = "\xEF\xBB\xBF";
const std::string kLatin1Meta = R"(<meta charset="iso-8859-1">)";
const std::string kCp1252Meta = R"(<meta charset="windows-1252">)";
const std::string kUtf8Meta = R"(<meta charset="utf-8">)";

// text in charset, through the system's converter (UTF-16 and UTF-32 with
// their mark, as a Windows editor saves them).
std::string Encode(const std::string& text, const std::string& charset) {
#ifdef _WIN32
    // No iconv here: the Unicode forms the tests use, as iconv writes them.
    const bool big = charset.ends_with("BE");
    const std::size_t unit = charset.starts_with("UTF-32") ? 4 : 2;
    std::string out;
    const auto put = [&](char32_t value) {
        for (std::size_t i = 0; i < unit; ++i)
            out += static_cast<char>(value >> (8 * (big ? unit - 1 - i : i)));
    };
    if (charset == "UTF-16" || charset == "UTF-32")
        put(0xFEFF);
    for (std::size_t at = 0; at < text.size();) {
        const auto lead = static_cast<unsigned char>(text[at]);
        const std::size_t length = lead < 0x80 ? 1 : lead < 0xE0 ? 2 : lead < 0xF0 ? 3 : 4;
        char32_t c = length == 1 ? lead : lead & (0x7F >> length);
        for (std::size_t i = 1; i < length; ++i)
            c = (c << 6) | (static_cast<unsigned char>(text[at + i]) & 0x3F);
        at += length;
        if (unit == 2 && c >= 0x10000) {
            put(0xD800 + ((c - 0x10000) >> 10));
            put(0xDC00 + ((c - 0x10000) & 0x3FF));
        } else {
            put(c);
        }
    }
    return out;
#else
    iconv_t handle = ::iconv_open(charset.c_str(), "UTF-8");
    std::string out(text.size() * 4 + 8, '\0');
    char* in = const_cast<char*>(text.data());
    std::size_t inLeft = text.size();
    char* to = out.data();
    std::size_t toLeft = out.size();
    ::iconv(handle, &in, &inLeft, &to, &toLeft);
    ::iconv_close(handle);
    out.resize(out.size() - toLeft);
    return out;
#endif
}

std::string Block(const std::string& content, const std::string& lineBreak = "\r\n") {
    return kMenu + lineBreak + content + lineBreak + kMenuEnd + lineBreak;
}

struct Site {
    TempDir dir;
    ConversionResult Run(const std::string& page, const std::string& templ,
                         ProjectSettings settings = {}) {
        WriteBytes(dir / "t.html", templ);
        return RunConversion(
            ConversionRequest{{{page}, {"t.html"}, DefaultIdentifiers(), settings}, dir.Path()});
    }
};

// Inserted text follows the page's charset where both charsets are known,
// and a second run changes nothing.
TEST(EncodingsTest, InsertedTextIsConvertedToThePageCharset) {
    const std::string cafe = "Caf\xC3\xA9 M\xC3\xBCller \xE2\x82\xAC"; // UTF-8, with the euro sign
    const struct {
        const char* name;
        std::string page;
        std::string templ;
        std::string expected;
        ProjectSettings settings{};
    } cases[] = {
        {"UTF-8 into windows-1252: the euro sign exists there", kCp1252Meta + "\r\n" + Block("old"),
         Block(cafe), kCp1252Meta + "\r\n" + Block("Caf\xE9 M\xFCller \x80")},
        {"UTF-8 into ISO-8859-1: a reference for the euro sign",
         kLatin1Meta + "\r\n" + Block("old"), Block(cafe),
         kLatin1Meta + "\r\n" + Block("Caf\xE9 M\xFCller &#8364;")},
        {"an emoji into Latin-1", kLatin1Meta + "\r\n" + Block("old"),
         Block("smile \xF0\x9F\x98\x80"), kLatin1Meta + "\r\n" + Block("smile &#128512;")},
        {"windows-1252 into UTF-8", kUtf8Meta + "\r\n" + Block("old"),
         kCp1252Meta + "\r\n" + Block("Caf\xE9 \x80"),
         kUtf8Meta + "\r\n" + Block("Caf\xC3\xA9 \xE2\x82\xAC")},
        {"a page without a declared charset takes the bytes as they are", Block("old"), Block(cafe),
         Block(cafe)},
        {"a template that is no UTF-8 and declares nothing goes in as it is",
         kUtf8Meta + "\r\n" + Block("old"), Block("Caf\xE9"),
         kUtf8Meta + "\r\n" + Block("Caf\xE9")},
        {"Text: bytes copies as it is", kLatin1Meta + "\r\n" + Block("old"), Block(cafe),
         kLatin1Meta + "\r\n" + Block(cafe), ProjectSettings{.text = TextMode::Bytes}},
        {"the same charset in other words is no conversion",
         R"(<meta charset="latin1">)"
         "\r\n" +
             Block("old"),
         kLatin1Meta + "\r\n" + Block("\xE9"),
         R"(<meta charset="latin1">)"
         "\r\n" +
             Block("\xE9")},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        Site site;
        WriteBytes(site.dir / "p.html", c.page);
        ASSERT_FALSE(site.Run("p.html", c.templ, c.settings).error);
        EXPECT_EQ(ReadBytes(site.dir / "p.html"), c.expected);
        EXPECT_EQ(site.Run("p.html", c.templ, c.settings).CountUpdated(), 0u);
    }
}

// A mark is no part of the first line: a template's first block is found,
// a page keeps its mark in every line-end mode and never gets the template's.
TEST(EncodingsTest, ByteOrderMarksStayWhereTheyAre) {
    for (const LineEnds lineEnds : {LineEnds::CrLf, LineEnds::Lf, LineEnds::Keep}) {
        SCOPED_TRACE(static_cast<int>(lineEnds));
        Site site;
        WriteBytes(site.dir / "marked.html", kBom + Block("old", "\n"));
        WriteBytes(site.dir / "plain.html", Block("old", "\n"));
        const std::string templ = kBom + Block("new");
        for (const char* page : {"marked.html", "plain.html"}) {
            const ConversionResult result = site.Run(page, templ, {lineEnds});
            EXPECT_TRUE(result.problems.empty() && result.notes.empty());
        }
        const std::string lineBreak = lineEnds == LineEnds::CrLf ? "\r\n" : "\n";
        EXPECT_EQ(ReadBytes(site.dir / "marked.html"), kBom + Block("new", lineBreak));
        EXPECT_EQ(ReadBytes(site.dir / "plain.html"), Block("new", lineBreak));
    }
}

// Read as text, converted in UTF-8, written back in their own encoding and
// with their mark; without a mark they are refused, not guessed.
TEST(EncodingsTest, Utf16AndUtf32RoundTripAndUnmarkedUtf16IsRefused) {
    const std::string text = Block("old \xC3\xA9");
    const std::string converted = Block("new \xE2\x82\xAC");
    for (const char* charset : {"UTF-16", "UTF-16BE", "UTF-32"}) {
        SCOPED_TRACE(charset);
        Site site;
        // iconv writes the mark for UTF-16 and UTF-32, not for UTF-16BE.
        const std::string mark = std::string(charset) == "UTF-16BE" ? "\xFE\xFF" : "";
        WriteBytes(site.dir / "p.html", mark + Encode(text, charset));
        ASSERT_FALSE(site.Run("p.html", Block("new \xE2\x82\xAC")).error);
        EXPECT_EQ(ReadBytes(site.dir / "p.html"), mark + Encode(converted, charset));
        EXPECT_EQ(site.Run("p.html", Block("new \xE2\x82\xAC")).CountUpdated(), 0u);
    }
    Site site;
    WriteBytes(site.dir / "p.html", Encode(text, "UTF-16LE"));
    const ConversionResult result = site.Run("p.html", Block("new"));
    ASSERT_TRUE(result.error);
    EXPECT_EQ(result.error->Cause(), "UTF-16 text without a byte-order mark; save it with one, or "
                                     "as UTF-8");
    EXPECT_EQ(ReadBytes(site.dir / "p.html"), Encode(text, "UTF-16LE"));
}

// A file with CR and no LF ends its lines at CR: kept, it is written back
// with CR; the other modes write their own line ends.
TEST(EncodingsTest, ClassicMacLineBreaksEndLines) {
    const std::pair<LineEnds, std::string> cases[] = {
        {LineEnds::Keep, "top\r" + Block("new", "\r")},
        {LineEnds::Lf, "top\n" + Block("new", "\n")},
        {LineEnds::CrLf, "top\r\n" + Block("new", "\r\n")},
    };
    for (const auto& [lineEnds, expected] : cases) {
        Site site;
        WriteBytes(site.dir / "p.html", "top\r" + Block("old", "\r"));
        ASSERT_FALSE(site.Run("p.html", Block("new"), {lineEnds}).error);
        EXPECT_EQ(ReadBytes(site.dir / "p.html"), expected);
        EXPECT_EQ(site.Run("p.html", Block("new"), {lineEnds}).CountUpdated(), 0u);
    }
}

// The check notes what the conversion cannot set right: a charset that
// differs with Text: bytes, and bytes invalid in a file's declared charset.
TEST(EncodingsTest, CheckNotesCharsetMismatchAndInvalidBytes) {
    TempDir dir;
    WriteBytes(dir / "latin.html", kLatin1Meta + "\r\n" + Block("old"));
    WriteBytes(dir / "bad.html", kUtf8Meta + "\r\nok\r\nbad \xE9 here\r\n" + Block("old"));
    WriteBytes(dir / "t.html", Block("caf\xC3\xA9"));
    WriteBytes(dir / "t1252.html", kCp1252Meta + "\r\n\x81\r\n");
    SiteDefinition site{{"latin.html", "bad.html"}, {"t.html", "t1252.html"}};
    site.settings.text = TextMode::Bytes;
    std::vector<std::string> notes;
    for (const ConversionNote& note : CheckFilesAndBlocks(site, dir.Path()).notes) {
        notes.push_back(FormatNote(note));
    }
    EXPECT_EQ(notes, (std::vector<std::string>{
                         "latin.html:2: the page's charset ISO-8859-1 differs from UTF-8 of "
                         "t.html; Text: bytes copies the block as it is: " +
                             kMenu,
                         "bad.html:3: bytes not valid in the declared charset UTF-8: bad \xE9 here",
                         "t1252.html:2: bytes not valid in the declared charset WINDOWS-1252: \x81",
                     }));
    // Dynamize counts the mismatch, but validating every page is the check's.
    const ConversionResult run = RunConversion(ConversionRequest{site, dir.Path()});
    ASSERT_EQ(run.notes.size(), 1u);
    EXPECT_EQ(run.notes[0].kind, ConversionNote::Kind::CharsetMismatch);
}

// A file to wrap into is read as text; nothing there, or a link to nothing,
// is a new file, with no state to check before writing.
TEST(EncodingsTest, StandingTextOfFilesLinksAndNothing) {
    TempDir dir;
    const std::string text = Block("old \xC3\xA9");
    WriteBytes(dir / "utf16.html", Encode(text, "UTF-16"));
    const StandingText wide = ReadStandingText(dir / "utf16.html");
    EXPECT_EQ(wide.text, text);
    EXPECT_EQ(wide.bytes, Encode(text, "UTF-16"));
    EXPECT_EQ(wide.encoding, TextEncoding::Utf16Le);
    EXPECT_TRUE(wide.state);
    EXPECT_FALSE(ReadStandingText(dir / "missing.html").state);
    MAKE_LINK_OR_SKIP(dir / "nowhere.html", dir / "dangling.html");
    const StandingText dangling = ReadStandingText(dir / "dangling.html");
    EXPECT_FALSE(dangling.state);
    EXPECT_TRUE(dangling.bytes.empty() && dangling.text.empty());
}

} // namespace
} // namespace quillstamper::test
