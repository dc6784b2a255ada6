#include "files/file_collection.h"

#include "support/test_files.h"

#include <gtest/gtest.h>

#include <filesystem>

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
    MAKE_LINK_OR_SKIP(site + "/a.txt", site + "/link.html");
    MAKE_LINK_OR_SKIP(site + "/in", site + "/folderlink");
    // 'Z' sorts before the lower-case letters.
    EXPECT_EQ(ExpandLists({site}, {}, {}).webFiles,
              (Paths{site + "/Zeta.htm", site + "/b.PHP", site + "/in/p.HTM", site + "/in/s.pl",
                     site + "/index.html", site + "/link.html"}));
    EXPECT_EQ(ExpandLists({}, {site + "/in"}, {}).templateFiles,
              (Paths{site + "/in/p.HTM", site + "/in/s.pl", site + "/in/x.php5"}));
    EXPECT_EQ(ExpandLists({}, {site}, {}).templateFiles.size(), 9u);
    // A file stands as given, whatever its name.
    EXPECT_EQ(ExpandLists({site + "/a.txt"}, {}, {}).webFiles, Paths{site + "/a.txt"});

    // A path that is not there (a dangling link included) is no file at all.
    MAKE_LINK_OR_SKIP(dir / "nowhere", dir / "dangling");
    const ListExpansion missing =
        ExpandLists({dir / "missing", site}, {site + "/a.txt", dir / "dangling"}, {});
    EXPECT_EQ(missing.missingPaths, (Paths{dir / "missing", dir / "dangling"}));
    EXPECT_TRUE(missing.webFiles.empty() && missing.templateFiles.empty());
}
// What editors and merge tools leave beside a file is never a template or a
// page, whatever the folder search; a file named directly stays.
TEST(FileCollectionTest, SearchesSkipEditorsLeftovers) {
    const std::pair<const char*, bool> names[] = {
        {"t.html~", true},     {"t.html.~1~", true},  {"#t.html#", true},   {"t.html.swp", true},
        {"t.html.swo", true},  {"t.html.SWG", true},  {"t.html.swx", true}, {"4913", true},
        {"t.html.orig", true}, {"t.html.bak", true},  {"T.BAK", true},      {"t.html.rej", true},
        {"t.html", false},     {"t.bak.html", false}, {"49130", false},     {"#t.html", false},
        {"#", false},          {"a.swf", false},      {"a.swa", false},     {"logo.svg", false},
        {"backup", false},     {"swp", false},
    };
    for (const auto& [name, leftover] : names) {
        EXPECT_EQ(IsEditorLeftoverName(name), leftover) << name;
    }
    const test::TempDir dir;
    for (const char* name : {"t.html", "t.html~", "sub/#t.html#", "sub/4913", "t.html.swp",
                             "x.orig", "sub/t.html.rej", "sub/u.bak", "keep~/t.tpl"}) {
        test::WriteBytes(dir / name, "x");
    }
    const ListExpansion lists = ExpandLists({dir.Path()}, {dir.Path(), dir / "x.orig"}, {});
    EXPECT_EQ(lists.templateFiles, (Paths{dir / "keep~/t.tpl", dir / "t.html", dir / "x.orig"}));
    EXPECT_TRUE(lists.webFiles.empty());
    EXPECT_TRUE(lists.leftOut.size() == 1 && lists.leftOut[0].path == dir.Path());
}
// A folder whose search gives no file is told, per list, as given.
TEST(FileCollectionTest, TellsFoldersThatGiveNoFile) {
    const test::TempDir dir;
    for (const char* name : {"pages/a.html", "notes/n.txt", "tpl/t.tpl", "drafts/d.html",
                             "hidden/.h.html", "old/menu.tpl~"}) {
        test::WriteBytes(dir / name, "x");
    }
    std::filesystem::create_directory(dir / "empty");
    const ListExpansion lists =
        ExpandLists({dir / "pages", dir / "notes", dir / "drafts", dir / "hidden", dir / "tpl",
                     dir / "pages/a.html"},
                    {dir / "tpl", dir / "empty", dir / "old", dir / "notes/n.txt"}, {"d.*"});
    EXPECT_EQ(lists.webFiles, (Paths{dir / "pages/a.html", dir / "pages/a.html"}));
    EXPECT_EQ(lists.emptyWebFolders,
              (Paths{dir / "notes", dir / "drafts", dir / "hidden", dir / "tpl"}));
    EXPECT_EQ(lists.emptyTemplateFolders, (Paths{dir / "empty", dir / "old"}));
}
TEST(FileCollectionTest, ExcludePatternsMatchNamesOrWholePaths) {
    const struct {
        const char* pattern;
        const char* path;
        bool isFolder;
        bool matches;
    } cases[] = {
        {"drafts", "drafts", true, true},
        {"drafts", "a/b/drafts", false, true},
        {"drafts/", "a/drafts", true, true},
        {"drafts/", "drafts", false, false},
        {"*.bak.html", "a/b/c.bak.html", false, true},
        {"[ab]?.htm", "x/b1.htm", false, true},
        {"?.htm", "ab.htm", false, false},
        {"pages/*.html", "pages/a.html", false, true},
        {"pages/*.html", "pages/sub/a.html", false, false},
        {"pages/*.html", "x/pages/a.html", false, false},
        {"/index.html", "index.html", false, true},
        {"/index.html", "sub/index.html", false, false},
        {"drafts", "drafts-old", true, false},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(MatchesExcludePattern(c.pattern, c.path, c.isFolder), c.matches)
            << c.pattern << " on " << c.path;
    }
}

// "path below the searched folder, / for folders: reason pattern", one per item.
Paths Describe(const std::vector<LeftOutPath>& items, const std::string& folder) {
    Paths lines;
    for (const LeftOutPath& item : items) {
        const char* reason = item.reason == LeftOutReason::TemplateFile     ? "template file"
                             : item.reason == LeftOutReason::TemplateFolder ? "template folder"
                             : item.reason == LeftOutReason::LinkOutside    ? "link outside"
                                                                            : "excluded";
        lines.push_back(item.path.substr(folder.size()) + (item.isFolder ? "/: " : ": ") + reason +
                        (item.pattern.empty() ? "" : " " + item.pattern));
    }
    return lines;
}
TEST(FileCollectionTest, WebSearchesKeepOutTemplatesAndExcludedPaths) {
    const test::TempDir dir;
    const std::string site = dir / "site";
    for (const char* name :
         {"index.html", "pages/a.html", "pages/old/x.html", "drafts/y.html", "templates/menu.html",
          "templates/sub/side.html", "templates/deep/sub.html", "shared/foot.html"}) {
        test::WriteBytes(site + "/" + name, "x");
    }
    // A second spelling of a template file, and one of a template folder.
    MAKE_LINK_OR_SKIP(site + "/shared/foot.html", site + "/link.html");
    MAKE_LINK_OR_SKIP("templates", site + "/tlink");

    const ListExpansion lists = ExpandLists(
        {site}, {site + "/tlink", site + "/pages/../shared/foot.html"}, {"drafts", "old/", "sub"});
    EXPECT_EQ(lists.templateFiles, (Paths{site + "/tlink/deep/sub.html", site + "/tlink/menu.html",
                                          site + "/pages/../shared/foot.html"}));
    EXPECT_EQ(lists.webFiles, (Paths{site + "/index.html", site + "/pages/a.html"}));
    // Template searches first; each search in byte order.
    EXPECT_EQ(Describe(lists.leftOut, site),
              (Paths{"/tlink/sub/: excluded sub", "/drafts/: excluded drafts",
                     "/link.html: template file", "/pages/old/: excluded old/",
                     "/shared/foot.html: template file", "/templates/: template folder"}));

    // Files named by the user stay, and a web folder that is a template folder gives nothing.
    const ListExpansion named = ExpandLists({site + "/link.html", site + "/templates/"},
                                            {site + "/shared", site + "/templates"}, {});
    EXPECT_EQ(named.webFiles, Paths{site + "/link.html"});
    EXPECT_EQ(Describe(named.leftOut, site), Paths{"/templates/: template folder"});
}
// A folder search takes a link only when its file, every link resolved, lies
// inside the folder; a link named directly is taken wherever it leads.
TEST(FileCollectionTest, FolderSearchesLeaveOutLinksToOutside) {
    const test::TempDir dir;
    const std::string site = dir / "site";
    for (const char* name : {"site/page.html", "site/sub/t.txt", "site2/near.html", "far.html"}) {
        test::WriteBytes(dir / name, "x");
    }
    const std::pair<const char*, const char*> links[] = {{"site/in.html", "page.html"},
                                                         {"site/sub/up.html", "../page.html"},
                                                         {"site/out.html", "../far.html"},
                                                         {"site/hop.html", "out.html"},
                                                         {"site/near.html", "../site2/near.html"},
                                                         {"site/sub/far.txt", "../../far.html"},
                                                         {"alias", "site"}};
    for (const auto& [link, target] : links) {
        MAKE_LINK_OR_SKIP(target, dir / link);
    }
    const ListExpansion lists = ExpandLists({site}, {site + "/sub"}, {});
    EXPECT_EQ(lists.webFiles, (Paths{site + "/in.html", site + "/page.html"}));
    // Each search has its own folder: sub/up.html leads out of sub.
    EXPECT_EQ(lists.templateFiles, Paths{site + "/sub/t.txt"});
    EXPECT_EQ(Describe(lists.leftOut, site),
              (Paths{"/sub/far.txt: link outside", "/sub/up.html: link outside",
                     "/hop.html: link outside", "/near.html: link outside",
                     "/out.html: link outside", "/sub/: template folder"}));
    // The folder is compared as it is after its own links are resolved.
    EXPECT_EQ(ExpandLists({dir / "alias"}, {}, {}).webFiles,
              (Paths{dir / "alias/in.html", dir / "alias/page.html", dir / "alias/sub/up.html"}));
    EXPECT_EQ(ExpandLists({site + "/out.html"}, {}, {}).webFiles, Paths{site + "/out.html"});
}

// Names beyond ASCII come back as they were given, in UTF-8, on every system.
TEST(FileCollectionTest, FolderSearchesKeepNamesBeyondAscii) {
    const test::TempDir dir;
    const std::string folder = dir / "caf\xC3\xA9";
    test::WriteBytes(folder + "/\xE2\x82\xAC/p\xC3\xA9.html", "x");
    test::WriteBytes(folder + "/t\xC3\xA9.tpl", "x");
    const ListExpansion lists = ExpandLists({folder}, {folder + "/t\xC3\xA9.tpl"}, {});
    EXPECT_EQ(lists.webFiles, Paths{folder + "/\xE2\x82\xAC/p\xC3\xA9.html"});
    EXPECT_EQ(lists.templateFiles, Paths{folder + "/t\xC3\xA9.tpl"});
    EXPECT_EQ(test::ReadBytes(lists.webFiles.at(0)), "x");
}

// UTF-16 saved without a mark is not guessed: a folder search leaves it out
// and says why; one with a mark, or named directly, stays.
TEST(FileCollectionTest, FolderSearchesLeaveOutUtf16WithoutMark) {
    using namespace std::string_literals;
    const test::TempDir dir;
    test::WriteBytes(dir / "site/bare.html", "<\0h\0t\0m\0l\0>\0\r\0\n\0"s);
    test::WriteBytes(dir / "site/marked.html", "\xFF\xFE<\0h\0t\0m\0l\0>\0"s);
    test::WriteBytes(dir / "site/plain.html", "<html>\r\n");
    const ListExpansion lists = ExpandLists({dir / "site"}, {}, {});
    EXPECT_EQ(lists.webFiles, (Paths{dir / "site/marked.html", dir / "site/plain.html"}));
    ASSERT_EQ(lists.leftOut.size(), 1u);
    EXPECT_EQ(lists.leftOut[0].path, dir / "site/bare.html");
    EXPECT_EQ(lists.leftOut[0].reason, LeftOutReason::Utf16WithoutMark);
    EXPECT_EQ(ExpandLists({dir / "site/bare.html"}, {}, {}).webFiles,
              Paths{dir / "site/bare.html"});
}

} // namespace
} // namespace quillstamper
