#include "workspace/path_resolution.h"

#include <gtest/gtest.h>

namespace quillstamper {
namespace {

TEST(PathResolutionTest, ResolvesEntriesAgainstTheProjectFolder) {
    EXPECT_EQ(ResolvePath("a.html", "/site"), "/site/a.html");
    EXPECT_EQ(ResolvePath("sub/a.html", "/site/"), "/site/sub/a.html");
    EXPECT_EQ(ResolvePath("/abs/a.html", "/site"), "/abs/a.html");
    EXPECT_EQ(ResolvePath("a.html", ""), "a.html");
    EXPECT_EQ(ParentFolder("/a/b/site.trvx"), "/a/b");
    EXPECT_EQ(ParentFolder("/site.trvx"), "/");
    EXPECT_EQ(ParentFolder("site.trvx"), "");
}

TEST(PathResolutionTest, EntriesBelowTheProjectFolderBecomeRelative) {
    const char* cases[][3] = {{"/site/a.html", "/site", "a.html"},
                              {"/site/sub/b.htm", "/site/", "sub/b.htm"},
                              {"/site/x/../a.html", "/site", "a.html"},
                              {"/other/a.html", "/site", "/other/a.html"},
                              {"/sitex/a.html", "/site", "/sitex/a.html"},
                              {"/site", "/site", "/site"},
                              {"sub/a.html", "", "sub/a.html"}};
    for (const auto& c : cases) {
        EXPECT_EQ(MakeEntryRelative(c[0], c[1]), c[2]) << c[0] << " in " << c[1];
    }
}

} // namespace
} // namespace quillstamper
