// Paths: shortened for display, resolved, named from the working folder, quoted.

#include "base/path_resolution.h"
#include "base/quote_path.h"
#include "base/shorten_path.h"

#include "support/test_files.h"

#include <gtest/gtest.h>

#include <filesystem>

namespace quillstamper {
namespace {

// count copies of unit; with no unit, count bytes that differ from their neighbours.
std::string Make(std::size_t count, const std::string& unit = {}) {
    std::string text;
    for (std::size_t i = 0; i < count; ++i) {
        text += unit.empty() ? std::string(1, static_cast<char>('0' + i % 64)) : unit;
    }
    return text;
}

TEST(ShortenPathTest, KeepsHeadAndTailLengths) {
    // {n, path break, head bytes, tail bytes}
    const std::int64_t cases[][4] = {{70, 32, 32, 32},     {74, 32, 32, 32},    {74, 0, 0, 64},
                                     {74, 64, 64, 0},      {74, 10, 10, 54},    {74, 100, 74, 0},
                                     {80, 70, 70, 0},      {74, -6, 0, 70},     {74, -20, 0, 74},
                                     {74, INT_MIN, 0, 74}, {74, INT_MAX, 74, 0}};
    for (const auto& c : cases) {
        const std::string path = Make(c[0]);
        EXPECT_EQ(ShortenPath(path, static_cast<std::int32_t>(c[1])),
                  path.substr(0, c[2]) + " ... " + path.substr(c[0] - c[3]))
            << "n=" << c[0] << " b=" << c[1];
    }
    for (const std::int32_t pathBreak : {INT_MIN, 0, 32, 65, INT_MAX}) {
        EXPECT_EQ(ShortenPath("", pathBreak) + ShortenPath(Make(69), pathBreak), Make(69));
    }
    for (std::int32_t pathBreak = 0; pathBreak <= 64; ++pathBreak) {
        const std::string once = ShortenPath(Make(100), pathBreak);
        EXPECT_EQ(once.size(), 69u);
        EXPECT_EQ(ShortenPath(once, pathBreak), once);
    }
}
TEST(ShortenPathTest, CutsUtf8OnlyAtCharacterBoundaries) {
    const std::string two = "\xC3\xA9", three = "\xE2\x82\xAC";
    // A head of 33 bytes and a tail of 31 would split a character: both give it up.
    EXPECT_EQ(ShortenPath(Make(40, two), 33), Make(16, two) + " ... " + Make(15, two));
    EXPECT_EQ(ShortenPath(Make(40, two), 32), Make(16, two) + " ... " + Make(16, two));
    EXPECT_EQ(ShortenPath(Make(25, three), 32), Make(10, three) + " ... " + Make(10, three));
    // Text that is no valid UTF-8 keeps the exact lengths.
    for (const std::string single : {"\xE9", "\xA9"}) {
        EXPECT_EQ(ShortenPath(Make(80, single), 33), Make(33, single) + " ... " + Make(31, single));
    }
}
TEST(PathResolutionTest, EntriesAreRelativeToTheProjectFolder) {
    EXPECT_EQ(ResolvePath("a.html", "/site"), "/site/a.html");
    EXPECT_EQ(ResolvePath("sub/a.html", "/site/"), "/site/sub/a.html");
    EXPECT_EQ(ResolvePath("/abs/a.html", "/site"), "/abs/a.html");
    EXPECT_EQ(ResolvePath("a.html", ""), "a.html");
    EXPECT_EQ(ParentFolder("/a/b/site.trvx"), "/a/b");
    EXPECT_EQ(ParentFolder("/site.trvx"), "/");
    EXPECT_EQ(ParentFolder("site.trvx"), "");
    // Entries below the project folder become relative, others absolute.
    const char* cases[][3] = {{"/site/a.html", "/site", "a.html"},
                              {"/site/sub/b.htm", "/site/", "sub/b.htm"},
                              {"/site/x/../a.html", "/site", "a.html"},
                              {"/other/a.html", "/site", "/other/a.html"},
                              {"/sitex/a.html", "/site", "/sitex/a.html"},
                              {"/site", "/site", "/site"},
                              {"sub/a.html", "", "sub/a.html"}};
    for (const auto& c : cases) {
        // An absolute path on Windows starts at the current drive.
        const std::string expected =
            c[2][0] == '/' ? std::filesystem::absolute(c[2]).generic_string() : std::string(c[2]);
        EXPECT_EQ(MakeEntryRelative(c[0], c[1]), expected) << c[0] << " in " << c[1];
    }
}
// Named for an editor in the working folder: below it relative, elsewhere
// absolute or with "../" where shorter; only leading "./" and "../" are folded.
TEST(PathResolutionTest, FilesAreNamedFromTheWorkingFolder) {
    const char* cases[][3] = {
        {"/w/site/a.html", "/w", "site/a.html"},
        {"/w/site/a.html", "/w/", "site/a.html"},
        {"/w/./site/a.html", "/w", "./site/a.html"},
        {"/w/../w/a.html", "/w", "a.html"},
        {"/work/sub/../site/a.html", "/work/sub", "../site/a.html"},
        {"/w/sub/x/../a.html", "/w/sub", "x/../a.html"},
        {"/work/wx/a.html", "/work/w", "../wx/a.html"},
        {"/wx/a.html", "/w", "/wx/a.html"}, // no shorter
        {"/a.html", "/deep/down/here", "/a.html"},
        {"/other/a/../b.html", "/w", "/other/a/../b.html"},
        {"site/a.html", "/w", "site/a.html"},
        {"../site/a.html", "/work/sub", "../site/a.html"},
        {"../../w/sub/a.html", "/w/sub", "a.html"},
        {"/x/a.html", "/", "x/a.html"},
        {"../a.html", "/", "a.html"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(NameFromWorkingFolder(c[0], c[1]), c[2]) << c[0] << " in " << c[1];
    }
    // Without a working folder, the current one: a relative path stays as given.
    const std::string current = std::filesystem::current_path().generic_string();
    EXPECT_EQ(NameFromWorkingFolder("site/a.html", ""), "site/a.html");
    EXPECT_EQ(NameFromWorkingFolder(current + "/site/a.html", ""), "site/a.html");
    // The root: "/" or, on Windows, the drive's.
    const std::string root = std::filesystem::path(current).root_path().generic_string();
    EXPECT_EQ(NameFromWorkingFolder("../../../../../../../../../../../../../../a.html", ""),
              root + "a.html");
}

using Paths = std::vector<std::string>;
TEST(QuotePathTest, QuotesOnlyWhatCouldSteerATerminal) {
    const std::pair<std::string, std::string> cases[] = {
        {"", ""},
        {"site/a page.html", "site/a page.html"},
        {"caf\xC3\xA9/\xE2\x82\xAC/\xF0\x9F\x98\x80.html",
         "caf\xC3\xA9/\xE2\x82\xAC/\xF0\x9F\x98\x80.html"},
        {"p\x1B]0;title\x07\x1B[2J.html", R"("p\033]0;title\a\033[2J.html")"},
        {"a\nb\r\t\v\f\b", R"("a\nb\r\t\v\f\b")"},
        {"\x01\x1F\x7F", R"("\001\037\177")"},
        {"say \"hi\"", R"("say \"hi\"")"},
        {"a\\b", R"("a\\b")"},
        {"\xC3\xA9\n", "\"\xC3\xA9\\n\""},
        // Bytes that are no UTF-8: stray, overlong, surrogate, beyond U+10FFFF, cut short.
        {"\xFF\xFE-page.html", R"("\377\376-page.html")"},
        {"\xC0\xAF", R"("\300\257")"},
        {"\xED\xA0\x80", R"("\355\240\200")"},
        {"\xF4\x90\x80\x80", R"("\364\220\200\200")"},
        {"x\xE2\x82", R"("x\342\202")"},
    };
    for (const auto& [path, quoted] : cases) {
        EXPECT_EQ(QuotePath(path), quoted) << quoted;
    }
}

// Lines are quoted only where something would not show: HTML's quotes and
// backslashes, and text that is no UTF-8, stay as they are otherwise.
TEST(QuotePathTest, LinesAreQuotedOnlyWhenSomethingWouldNotShow) {
    const std::pair<std::string, std::string> cases[] = {
        {R"(<div class="a\b">)", R"(<div class="a\b">)"},
        {"caf\xE9", "caf\xE9"},
        {"<!-- Trelvonix a -->\t", R"("<!-- Trelvonix a -->\t")"},
        {"<!-- Trelvonix a --> ", R"("<!-- Trelvonix a --> ")"},
        {"\t<p class=\"x\">", R"("\t<p class=\"x\">")"},
        {"a\rb", R"("a\rb")"},
        {"", ""},
    };
    for (const auto& [line, shown] : cases) {
        EXPECT_EQ(QuoteLine(line), shown) << line;
    }
}

} // namespace
} // namespace quillstamper
