// The line model and the marker predicates.

#include "conversion/line_model.h"
#include "conversion/markers.h"
#include "reference_conversion.h"

#include "base/file_error.h"
#include "base/site_definition.h"
#include "support/test_files.h"

#include <gtest/gtest.h>

namespace quillstamper {
namespace {

TEST(LineModelTest, SplitsAtLfWithOptionalCrAndJoinsWithCrLf) {
    const std::pair<std::string, Lines> cases[] = {{"", {}},
                                                   {"a\r\nb", {"a", "b"}},
                                                   {"a\nb\n", {"a", "b"}},
                                                   {"\n", {""}},
                                                   {"\n\nx", {"", "", "x"}},
                                                   {"a\rb\n", {"a\rb"}},
                                                   {"a\r\r\n", {"a\r"}},
                                                   // No LF at all: lines end at CR.
                                                   {"a\r", {"a"}},
                                                   {"a\rb", {"a", "b"}},
                                                   {"\r\rx\r", {"", "", "x"}}};
    for (const auto& [bytes, expected] : cases) {
        const LineViews views = SplitLines(bytes);
        EXPECT_EQ(Lines(views.begin(), views.end()), expected) << testing::PrintToString(bytes);
    }
    for (const std::string bytes : {"a\nb", "a\r\nb", "a\rb"}) {
        const LineViews views = SplitLines(bytes);
        EXPECT_EQ(LineBreakAfter(views[0], bytes), bytes.substr(1, bytes.size() - 2));
        EXPECT_EQ(LineBreakAfter(views[1], bytes), "");
    }
    EXPECT_EQ(JoinLines(Lines{}), "");
    EXPECT_EQ(JoinLines(LineViews{"", "a\r"}), "\r\na\r\r\n");
}

TEST(LineModelTest, FilesRoundTripToCrLf) {
    using test::ReadLines;
    using test::WriteLines;
    const test::TempDir dir;
    const std::string path = dir / "page.html";
    test::WriteBytes(path, "a\r\nb\n\nc");
    EXPECT_EQ(ReadLines(path), (Lines{"a", "b", "", "c"}));
    WriteLines(path, ReadLines(path));
    EXPECT_EQ(test::ReadBytes(path), "a\r\nb\r\n\r\nc\r\n");
    EXPECT_THROW(ReadLines(dir / "missing.html"), FileError);
}

const std::string kHtmlStart = "<!-- Trelvonix menu -->";
const std::string kHtmlEnd = "<!-- Trelvonix menu end -->";

TEST(MarkersTest, ClassifiesLinesPerDefaultPair) {
    const IdentifierTable ids = DefaultIdentifiers();
    // Per pair 1..4: 'S' start line, 'E' end line, '-' neither; then the line.
    for (const std::string c :
         {"S--E <!-- Trelvonix menu -->", "EEEE <!-- Trelvonix menu end -->",
          "---E  <!-- Trelvonix menu -->", "---E \t# Trelvonix menu",
          "EEEE  <!-- Trelvonix a end -->", "S--E <!-- Trelvonix a end --> ", "-S-E # Trelvonix ",
          "---E # Trelvonix", "EEEE // Trelvonix a end -->", "---E "}) {
        const std::string line = c.substr(5);
        std::string actual;
        for (std::size_t pair = 0; pair < 4; ++pair) {
            const bool start = IsStartLine(line, ids[2 * pair], ids[2 * pair + 1]);
            const bool end = IsEndLine(line, ids[2 * pair + 1]);
            actual += start && end ? '!' : start ? 'S' : end ? 'E' : '-';
        }
        EXPECT_EQ(actual, c.substr(0, 4)) << '"' << line << '"';
    }
    EXPECT_TRUE(IsStartLine("any text", "", " end -->"));
    EXPECT_FALSE(IsStartLine("any end -->", "", " end -->"));
    EXPECT_FALSE(BeginsWith("<!-- trelvonix menu -->", "<!-- Trelvonix "));
    // Lines as long as the identifier, shorter, of one byte, and differing
    // only in the second (or second last) byte or only further in.
    const struct {
        const char* line;
        const char* id;
        bool begins;
        bool ends;
    } kCases[] = {{"#", "#", true, true},          {"", "#", false, false},
                  {"#a", "#", true, false},        {"a#", "#", false, true},
                  {"<!", "<!", true, true},        {"<p>", "<!", false, false},
                  {"<!x", "<!y", false, false},    {"a-->", "-->", false, true},
                  {"a>", "-->", false, false},     {"<p>", "-->", false, false},
                  {"x->", "-->", false, false},    {"<!-- a", "<!--", true, false},
                  {"<!-x a", "<!--", false, false}};
    for (const auto& c : kCases) {
        EXPECT_EQ(BeginsWith(c.line, c.id), c.begins) << c.line << " / " << c.id;
        EXPECT_EQ(EndsWith(c.line, c.id), c.ends) << c.line << " / " << c.id;
    }
}

TEST(MarkersTest, BlockStemDropsOnlyAClosingBlankArrow) {
    EXPECT_EQ(BlockStem("# Trelvonix menu"), "# Trelvonix menu");
    EXPECT_EQ(BlockStem("<!-- T menu-->"), "<!-- T menu-->");
    EXPECT_EQ(BlockStem("a --> "), "a --> ");
    EXPECT_EQ(BlockStem(" -->"), "");
    EXPECT_EQ(BlockStem("-->"), "-->");
    EXPECT_EQ(std::string(BlockStem(kHtmlStart)) + " end -->", kHtmlEnd);
}

// Which first end line closes a block: with Own, only its own customary end
// line or a line of its pair that names no other block, leading blanks and
// tabs aside; with Any, every one; a pair without end identifier, every one.
TEST(MarkersTest, EndLineFitsOnlyItsOwnBlockUnlessAnyIsChosen) {
    IdentifierTable noEnd = DefaultIdentifiers();
    noEnd[3] = ""; // pair 2 without end identifier
    const struct {
        std::string start;
        std::string end;
        int pair;
        bool fitsOwn;
        bool fitsAny;
        const IdentifierTable* ids = nullptr;
    } cases[] = {
        {kHtmlStart, kHtmlEnd, 1, true, true},
        {kHtmlStart, "  \t" + kHtmlEnd, 1, true, true},
        {kHtmlStart + " \t", kHtmlEnd, 1, true, true}, // trailing blanks of the start line
        {kHtmlStart, "<!-- Trelvonix end -->", 1, true, true},
        {kHtmlStart, "<!-- Trelvonix  end -->", 1, true, true},
        {kHtmlStart, "<!-- Trelvonix footer end -->", 1, false, true},
        {kHtmlStart, "<!-- Trelvonix Menu end -->", 1, false, true},
        {kHtmlStart, "</div><!-- main end -->", 1, false, true},
        {kHtmlStart, "<!-- header end -->", 1, false, true},
        {kHtmlStart, "# Trelvonix menu end -->", 1, false, true},
        {"# Trelvonix menu", "# Trelvonix menu end -->", 2, true, true},
        {"# Trelvonix menu", "# Trelvonix end -->", 2, true, true},
        {"# Trelvonix menu", "# Trelvonix other end -->", 2, false, true},
        {"# Trelvonix menu", kHtmlEnd, 2, false, true},
        {"// Trelvonix js", "// Trelvonix js end -->", 3, true, true},
        {"// Trelvonix js", "x end -->", 3, false, true},
        {"# Trelvonix menu", "anything at all", 2, true, true, &noEnd},
    };
    for (const auto& c : cases) {
        const IdentifierTable& ids = c.ids != nullptr ? *c.ids : DefaultIdentifiers();
        SCOPED_TRACE(c.start + " / " + c.end);
        EXPECT_EQ(EndLineFitsBlock(c.start, c.end, c.pair, ids, EndLines::Own), c.fitsOwn);
        EXPECT_EQ(EndLineFitsBlock(c.start, c.end, c.pair, ids, EndLines::Any), c.fitsAny);
    }
}

} // namespace
} // namespace quillstamper
