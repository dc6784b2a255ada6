#include "workspace/file_collection.h"
#include "workspace/path_resolution.h"
#include "workspace/quote_path.h"
#include "workspace/shorten_path.h"
#include "workspace/workspace.h"

#include "support/test_files.h"

#include <gtest/gtest.h>

#include <climits>
#include <sys/stat.h>
#include <unistd.h>

namespace quillstamper {
namespace {

TEST(WorkspaceTest, NewProjectEmptiesOnlyTheLists) {
    Workspace workspace;
    EXPECT_EQ(workspace.m_pathBreak, 32);
    EXPECT_EQ(workspace.m_counts, "Web Files: 0        Template Files: 0");
    workspace.m_webFiles = {"/s/a.html", "/s/a.html"};
    workspace.m_templateFiles = {"/s/a.html"};
    workspace.m_identifiers[6] = "%% ";
    workspace.m_projectPath = "/s/site.trvx";
    RefreshCounts(workspace);
    EXPECT_EQ(workspace.m_counts, "Web Files: 2        Template Files: 1");
    NewProject(workspace);
    EXPECT_TRUE(workspace.m_webFiles.empty() && workspace.m_templateFiles.empty());
    EXPECT_EQ(workspace.m_counts, "Web Files: 0        Template Files: 0");
    EXPECT_EQ(workspace.m_identifiers[6], "%% ");
    EXPECT_EQ(workspace.m_projectPath, "/s/site.trvx");
    EXPECT_EQ(ProjectBaseFolder(workspace), "/s");
}

TEST(WorkspaceTest, RemoveListEntriesKeepsTheOthersInOrder) {
    const FileList list = {"/a", "/b", "/a", "/c", "/d"};
    const struct {
        std::vector<std::size_t> places;
        FileList left;
    } cases[] = {
        {{}, list},
        {{2}, {"/a", "/b", "/c", "/d"}},
        {{4, 0, 3}, {"/b", "/a"}},
        {{1, 1, 9}, {"/a", "/a", "/c", "/d"}},
        {{0, 1, 2, 3, 4}, {}},
    };
    for (const auto& c : cases) {
        FileList files = list;
        RemoveListEntries(files, c.places);
        EXPECT_EQ(files, c.left) << testing::PrintToString(c.places);
    }
}

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
        EXPECT_EQ(MakeEntryRelative(c[0], c[1]), c[2]) << c[0] << " in " << c[1];
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
    char current[PATH_MAX];
    ASSERT_NE(::getcwd(current, sizeof current), nullptr);
    EXPECT_EQ(NameFromWorkingFolder("site/a.html", ""), "site/a.html");
    EXPECT_EQ(NameFromWorkingFolder(std::string(current) + "/site/a.html", ""), "site/a.html");
    EXPECT_EQ(NameFromWorkingFolder("../../../../../../../../../../../../../../a.html", ""),
              "/a.html");
}

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
    EXPECT_EQ(ExpandLists({site}, {}, {}).webFiles,
              (Paths{site + "/Zeta.htm", site + "/b.PHP", site + "/in/p.HTM", site + "/in/s.pl",
                     site + "/index.html", site + "/link.html"}));
    EXPECT_EQ(ExpandLists({}, {site + "/in"}, {}).templateFiles,
              (Paths{site + "/in/p.HTM", site + "/in/s.pl", site + "/in/x.php5"}));
    EXPECT_EQ(ExpandLists({}, {site}, {}).templateFiles.size(), 9u);
    // A file stands as given, whatever its name.
    EXPECT_EQ(ExpandLists({site + "/a.txt"}, {}, {}).webFiles, Paths{site + "/a.txt"});

    // A path that is not there (a dangling link included) is no file at all.
    ASSERT_EQ(::symlink((dir / "nowhere").c_str(), (dir / "dangling").c_str()), 0);
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
    ::mkdir((dir / "empty").c_str(), 0700);
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
    ASSERT_EQ(::symlink((site + "/shared/foot.html").c_str(), (site + "/link.html").c_str()), 0);
    ASSERT_EQ(::symlink("templates", (site + "/tlink").c_str()), 0);

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
        ASSERT_EQ(::symlink(target, (dir / link).c_str()), 0) << link;
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

} // namespace
} // namespace quillstamper
