#include "conversion/markers.h"

#include "workspace/workspace.h"

#include <gtest/gtest.h>

namespace quillstamper {
namespace {

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
}

TEST(MarkersTest, BlockStemDropsOnlyAClosingBlankArrow) {
    EXPECT_EQ(BlockStem("# Trelvonix menu"), "# Trelvonix menu");
    EXPECT_EQ(BlockStem("<!-- T menu-->"), "<!-- T menu-->");
    EXPECT_EQ(BlockStem("a --> "), "a --> ");
    EXPECT_EQ(BlockStem(" -->"), "");
    EXPECT_EQ(BlockStem("-->"), "-->");
    EXPECT_EQ(std::string(BlockStem(kHtmlStart)) + " end -->", kHtmlEnd);
}

} // namespace
} // namespace quillstamper
