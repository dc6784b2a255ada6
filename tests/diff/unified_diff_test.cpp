#include "diff/unified_diff.h"

#include <gtest/gtest.h>

#include <map>

namespace quillstamper {
namespace {

// "1\n" to "n\n"; the line numbered first holds second instead.
std::string Numbered(int n, std::map<int, std::string> changes = {}) {
    std::string text;
    for (int i = 1; i <= n; ++i) {
        text += (changes.count(i) ? changes[i] : std::to_string(i)) + "\n";
    }
    return text;
}

TEST(UnifiedDiffTest, HunksCarryThreeLinesOfContext) {
    EXPECT_EQ(FormatUnifiedDiff("f", "a\r\nb", "a\r\nb"), "");
    const std::string cases[][3] = {
        {Numbered(10), Numbered(10, {{5, "X"}}),
         "@@ -2,7 +2,7 @@\n 2\n 3\n 4\n-5\n+X\n 6\n 7\n 8\n"},
        // Eight unchanged lines between two changes split the hunk, six do not.
        {Numbered(10), Numbered(10, {{1, "A"}, {10, "B"}}),
         "@@ -1,4 +1,4 @@\n-1\n+A\n 2\n 3\n 4\n@@ -7,4 +7,4 @@\n 7\n 8\n 9\n-10\n+B\n"},
        {Numbered(10), Numbered(10, {{1, "A"}, {8, "B"}}),
         "@@ -1,10 +1,10 @@\n-1\n+A\n 2\n 3\n 4\n 5\n 6\n 7\n-8\n+B\n 9\n 10\n"},
        {Numbered(6), "1\n2\n3\nN\n4\n5\n6\n", "@@ -1,6 +1,7 @@\n 1\n 2\n 3\n+N\n 4\n 5\n 6\n"},
        {Numbered(9), "1\n2\n3\n4\n6\n7\n8\n9\n", "@@ -2,7 +2,6 @@\n 2\n 3\n 4\n-5\n 6\n 7\n 8\n"},
        // A run of changes removes before it adds.
        {"1\n2\n3\n", "A\nB\nC\nD\n3\n", "@@ -1,3 +1,5 @@\n-1\n-2\n+A\n+B\n+C\n+D\n 3\n"},
        {"", "a\nb\n", "@@ -0,0 +1,2 @@\n+a\n+b\n"},
        {"a\nb\n", "", "@@ -1,2 +0,0 @@\n-a\n-b\n"},
        // Line ends are part of the lines.
        {"a\r\nb\r\n", "a\nb\r\n", "@@ -1,2 +1,2 @@\n-a\r\n+a\n b\r\n"},
        {"a\nb", "a\nb\n", "@@ -1,2 +1,2 @@\n a\n-b\n\\ No newline at end of file\n+b\n"},
        {"a\nb\n", "a\nc", "@@ -1,2 +1,2 @@\n a\n-b\n+c\n\\ No newline at end of file\n"},
    };
    for (const auto& [oldText, newText, hunks] : cases) {
        EXPECT_EQ(FormatUnifiedDiff("site/page.html", oldText, newText),
                  "--- site/page.html\n+++ site/page.html\n" + hunks)
            << oldText << "=>\n"
            << newText;
    }
}

// As diff -u writes them: a range of exactly one line is its line number alone.
TEST(UnifiedDiffTest, OneLineRangesGiveOnlyTheStart) {
    EXPECT_EQ(FormatUnifiedDiff("f", "a\n", "b\n"), "--- f\n+++ f\n@@ -1 +1 @@\n-a\n+b\n");
    EXPECT_EQ(FormatUnifiedDiff("f", "", "a\n"), "--- f\n+++ f\n@@ -0,0 +1 @@\n+a\n");
}

// The count is the diff's own marked lines, a changed line end included.
TEST(UnifiedDiffTest, CountChangedLinesCountsTheMarkedLines) {
    EXPECT_EQ(CountChangedLines("a\nb\n", "a\nb\n"), 0u);
    EXPECT_EQ(CountChangedLines(Numbered(10), Numbered(10, {{1, "A"}, {10, "B"}})), 4u);
    EXPECT_EQ(CountChangedLines("a\nb\n", "a\r\nb\nc\n"), 3u);
}

// A thousand scattered changes are still found one by one, not shown as one
// replacement of everything between the first and the last.
TEST(UnifiedDiffTest, ManyChangesKeepTheirOwnHunks) {
    std::map<int, std::string> changes;
    for (int line = 10; line <= 10000; line += 10) {
        changes[line] = "x";
    }
    const std::string diff = FormatUnifiedDiff("f", Numbered(10000), Numbered(10000, changes));
    EXPECT_TRUE(diff.starts_with("--- f\n+++ f\n@@ -7,7 +7,7 @@\n 7\n 8\n 9\n-10\n+x\n 11\n"));
    std::size_t hunks = 0;
    for (std::size_t at = diff.find("\n@@ "); at != std::string::npos;
         at = diff.find("\n@@ ", at + 1)) {
        ++hunks;
    }
    EXPECT_EQ(hunks, 1000U);
    EXPECT_TRUE(diff.ends_with("@@ -9997,4 +9997,4 @@\n 9997\n 9998\n 9999\n-10000\n+x\n"));
}

} // namespace
} // namespace quillstamper
