#include "workspace/file_collection.h"

#include "support/test_files.h"

#include <gtest/gtest.h>

#include <unistd.h>

namespace quillstamper {
namespace {

using Paths = std::vector<std::string>;

TEST(FileCollectionTest, CollectsVisibleFilesInByteOrder) {
    const test::TempDir dir;
    const std::string site = dir / "site";
    for (const char* name : {"index.html", "b.PHP", "Zeta.htm", "a.txt", "x.htmlx", "in/p.HTM",
                             "in/s.pl", "in/x.php5", ".h.html", ".git/c.html", "in/.c/y.htm"}) {
        test::WriteBytes(site + "/" + name, "x");
    }
    ASSERT_EQ(::symlink((site + "/a.txt").c_str(), (site + "/link.html").c_str()), 0);
    ASSERT_EQ(::symlink((site + "/in").c_str(), (site + "/folderlink").c_str()), 0);
    // 'Z' sorts before the lower-case letters.
    EXPECT_EQ(CollectFiles(site, true),
              (Paths{site + "/Zeta.htm", site + "/b.PHP", site + "/in/p.HTM", site + "/in/s.pl",
                     site + "/index.html", site + "/link.html"}));
    EXPECT_EQ(CollectFiles(site + "/in", false),
              (Paths{site + "/in/p.HTM", site + "/in/s.pl", site + "/in/x.php5"}));
    EXPECT_EQ(CollectFiles(site, false).size(), 9u);
    // Anything that is not a folder comes back as it is.
    EXPECT_EQ(CollectFiles(site + "/a.txt", true), Paths{site + "/a.txt"});
    EXPECT_EQ(CollectFiles(dir / "missing", false), Paths{dir / "missing"});
}

} // namespace
} // namespace quillstamper
