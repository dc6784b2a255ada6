#include "files/path_pattern.h"

#include "files/os_files.h"
#include "support/test_files.h"

#include <gtest/gtest.h>

namespace quillstamper {
namespace {

// As fnmatch(3) with FNM_PATHNAME in the C locale, which the matcher stands in for.
TEST(PathPatternTest, MatchesAsTheShellDoesWithoutCrossingSlashes) {
    const struct {
        const char* pattern;
        const char* path;
        bool matches;
    } cases[] = {
        {"", "", true},
        {"", "a", false},
        {"*", "", true},
        {"*", "a/b", false},
        {"*/*", "a/b", true},
        {"a*b*c", "aXbYc", true},
        {"a*b*c", "aXbYcZ", false},
        {"a*c", "abcbc", true},
        {"*.html", "x.html.bak", false},
        {"**.html", "a.html", true},
        {"a?c", "abc", true},
        {"a?c", "a/c", false},
        {"a?c", "ac", false},
        {"[abc]x", "bx", true},
        {"[a-c]x", "dx", false},
        {"[!a-c]x", "dx", true},
        {"[^a-c]x", "ax", false},
        {"[]a]", "]", true},
        {"[!]]", "]", false},
        {"[a-]", "-", true},
        {"[/]", "/", false},
        {"[!x]", "/", false},
        {"[[:digit:]]?", "7a", true},
        {"[[:upper:][:digit:]]", "q", false},
        {"[\\]]", "]", true},
        {"\\*", "*", true},
        {"\\*", "a", false},
        {"\\?\\[", "?[", true},
        {"[", "[", true},
        {"[ab", "[ab", true},
        {"a[", "ab", false},
        {"caf\xC3\xA9.*", "caf\xC3\xA9.html", true},
        {"[\xC3]*", "\xC3\xA9", true},
        {"d*/*.htm", "drafts/a.htm", true},
        {"d*/*.htm", "drafts/sub/a.htm", false},
        {"*/", "a/", true},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(MatchesPathPattern(c.pattern, c.path), c.matches)
            << "\"" << c.pattern << "\" on \"" << c.path << "\"";
    }
}

// Every spelling of one file is that file, and two files are two, on every
// system (a C runtime's stat may give every file the same number).
TEST(FileIdentityTest, TellsFilesApartAndSpellingsAlike) {
    const test::TempDir dir;
    test::WriteBytes(dir / "a.html", "a");
    test::WriteBytes(dir / "sub/b.html", "b");
    const auto identity = [](const std::string& path) {
        const std::optional<os::FileStatus> status = os::StatPath(path);
        EXPECT_TRUE(status.has_value()) << path;
        return status ? status->state.identity : FileIdentity{};
    };
    EXPECT_EQ(identity(dir / "a.html"), identity(dir / "sub/../a.html"));
    EXPECT_EQ(identity(dir / "sub"), identity(dir / "sub/"));
    EXPECT_FALSE(identity(dir / "a.html") == identity(dir / "sub/b.html"));
    EXPECT_FALSE(identity(dir / "a.html") == identity(dir / "sub"));
    EXPECT_FALSE(os::StatPath(dir / "missing.html").has_value());
}

} // namespace
} // namespace quillstamper
