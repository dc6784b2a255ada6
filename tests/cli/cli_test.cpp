// quillstamper-cli on small sites in temporary folders: where the lists come
// from, what is printed, and the exit statuses. Most tests run the command
// line in this process, relative paths taken below the site's folder; those
// about the program itself start it.

#include "cli/command_line.h"
#include "conversion/line_model.h"
#include "in_process_cli.h"
#include "support/cli_process.h"
#include "support/markers.h"
#include "support/test_files.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <regex>
#include <set>
#include <sstream>
#include <string>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

namespace {

using namespace quillstamper::test;

const std::string kMissing = ": End of template missing: ";

// A project file with the default identifier table.
// A project file with the default identifier table; lineEnds is its
// "Line ends: " line, as init writes it, or none.
std::string Project(const Args& web, const Args& templates, const std::string& lineEnds = "") {
    return Lines({"Trelvonix Quillstamper Project", std::string(30, '='), ""}) + Lines(web) +
           "[EOL]\r\n" + Lines(templates) +
           Lines({"[EOL]", "<!-- Trelvonix ", " end -->", "# Trelvonix ", " end -->",
                  "// Trelvonix ", " end -->", "", "", "[EOL]"}) +
           (lineEnds.empty() ? "" : "Line ends: " + lineEnds + "\r\n");
}

void Put(const TempDir& dir, const std::vector<std::pair<std::string, std::string>>& files) {
    for (const auto& [name, bytes] : files) {
        WriteBytes(dir / name, bytes);
    }
}

// "dynamize --web ... --template ..." and further flags.
Args Dynamize(const Args& web, const Args& templates, const Args& flags = {}) {
    Args args = {"dynamize", "--web"};
    args.insert(args.end(), web.begin(), web.end());
    args.push_back("--template");
    args.insert(args.end(), templates.begin(), templates.end());
    args.insert(args.end(), flags.begin(), flags.end());
    return args;
}

const std::string kOldPage = Lines({"top", kMenu, "old", kMenuEnd, "bottom"});
const std::string kNewPage = Lines({"top", kMenu, "new1", "new2", kMenuEnd, "bottom"});
const std::string kMenuTemplate = Lines({"x", kMenu, "new1", "new2", kMenuEnd, "y"}, "\n");

// Web folders give their web files, template folders every file, in byte
// order; a project keeps entries below its folder relative to it.
TEST(CliTest, FoldersAndProjectFilesGiveTheLists) {
    TempDir dir;
    Put(dir, {{"site/pages/b.html", kOldPage},
              {"site/pages/a.htm", kOldPage},
              {"site/pages/notes.txt", kOldPage},
              {"site/tpl/menu.tpl", kMenuTemplate},
              {"site/tpl/s/n", "x\n"},
              {"other/o.htm", kOldPage}});
    // The program itself: relative paths are taken from its current folder.
    const CliSetup inDir{.folder = dir.Path()};
    CliRun run = RunCli(Dynamize({"site/pages"}, {"site/tpl"}, {"--dry-run"}), inDir);
    EXPECT_EQ(run.out, "would update site/pages/a.htm\nwould update site/pages/b.html\n"
                       "Conversion done! 2 would be updated, 0 unchanged.\n");
    CliRun templatesOnly = RunCli({"dynamize", "--template", "site/tpl"}, inDir);
    EXPECT_EQ(templatesOnly.status, 2);
    EXPECT_NE(templatesOnly.err.find("You added 0 Web Files and 2 Template Files!"),
              std::string::npos);

    Args init = {"init", "site/p.trvx", "--web", "site/pages", "--template", "site/tpl"};
    EXPECT_EQ(RunCli(init, inDir).status, 0);
    const std::string written =
        Project({"pages/a.htm", "pages/b.html"}, {"tpl/menu.tpl", "tpl/s/n"}, "keep");
    EXPECT_EQ(ReadBytes(dir / "site/p.trvx"), written);
    init.insert(init.begin() + 3, "other/o.htm");
    EXPECT_EQ(RunCli(init, inDir).status, 2);
    EXPECT_EQ(ReadBytes(dir / "site/p.trvx"), written);
    init.push_back("--force");
    EXPECT_EQ(RunCli(init, inDir).status, 0);
    // Run from elsewhere: the page outside the project folder is kept absolute
    // there; each is named from the folder the program runs in.
    run = RunCli({"dynamize", "../p.trvx"}, {.folder = dir / "site/tpl"});
    EXPECT_EQ(run.status, 0) << run.err;
    EXPECT_EQ(run.out, "updated ../../other/o.htm\nupdated ../pages/a.htm\n"
                       "updated ../pages/b.html\nConversion done! 3 updated, 0 unchanged.\n");
    for (const char* page : {"other/o.htm", "site/pages/a.htm", "site/pages/b.html"}) {
        EXPECT_EQ(ReadBytes(dir / page), kNewPage) << page;
    }
}

TEST(CliTest, DryRunCheckDiffAndQuiet) {
    TempDir dir;
    const Args before = {"a", "b", "c", "d", kMenu, "old", kMenuEnd, "e", "f", "g", "h"};
    Args after = before;
    after[5] = "new";
    Put(dir, {{"page.html", Lines(before)}, {"menu.tpl", Lines({kMenu, "new", kMenuEnd})}});
    const std::string diff =
        "--- page.html\n+++ page.html\n@@ -3,7 +3,7 @@\n" +
        Lines({" c", " d", " " + kMenu, "-old", "+new", " " + kMenuEnd, " e", " f"});
    const std::string would = "would update page.html\n", done = "Conversion done!";
    // Outputs ending in the summary are compared up to its start, the others whole.
    const struct {
        Args flags;
        int status;
        std::string out;
        std::string page;
    } cases[] = {{{"--dry-run"}, 0, would + done, Lines(before)},
                 {{"--check"}, 1, would + done, Lines(before)},
                 {{"--check", "--quiet"}, 1, "", Lines(before)},
                 {{"--dry-run", "--diff"}, 0, would + diff + done, Lines(before)},
                 {{"--diff", "--quiet"}, 0, diff, Lines(after)},
                 {{"--check", "--quiet"}, 0, "", Lines(after)}};
    for (const auto& c : cases) {
        CliRun run = RunInProcess(dir.Path(), Dynamize({"page.html"}, {"menu.tpl"}, c.flags));
        EXPECT_EQ(run.status, c.status) << testing::PrintToString(c.flags);
        EXPECT_TRUE(c.out.ends_with(done) ? run.out.starts_with(c.out) : run.out == c.out)
            << run.out;
        EXPECT_EQ(ReadBytes(dir / "page.html"), c.page);
    }
}

// Three names of one page: --dry-run, --check and the run print the same
// pages, counts and warning, which names only what is left out of the list.
TEST(CliTest, HardLinksAreCountedAndWarnedAlikeByDryRunCheckAndRun) {
    const struct {
        Args listed;
        std::string err;
    } cases[] = {
        {{"a.html", "b.html", "c.html"}, ""},
        {{"a.html"}, "a.html: has 3 hard links; the others keep the old content\n"},
        {{"b.html", "a.html"}, "b.html: has 3 hard links; 1 of them keeps the old content\n"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.listed.size());
        TempDir dir;
        Put(dir, {{"a.html", kOldPage}, {"menu.tpl", kMenuTemplate}});
        for (const char* name : {"b.html", "c.html"})
            std::filesystem::create_hard_link(dir / "a.html", dir / name);
        std::string out;
        for (const std::string& page : c.listed)
            out += "updated " + page + "\n";
        out += "Conversion done! " + std::to_string(c.listed.size()) + " updated, 0 unchanged.\n";
        const auto asRun = [](const std::string& text) {
            return std::regex_replace(text, std::regex("would (update|be updated)"), "updated");
        };
        for (const auto& [flag, status] : {std::pair{"--dry-run", 0}, {"--check", 1}, {"", 0}}) {
            const CliRun run = RunInProcess(
                dir.Path(), Dynamize(c.listed, {"menu.tpl"}, *flag ? Args{flag} : Args{}));
            EXPECT_EQ(run.status, status) << flag;
            EXPECT_EQ(asRun(run.out), out) << flag;
            EXPECT_EQ(run.err, c.err) << flag;
        }
    }
}

TEST(CliTest, CheckPrintsEachMissingEndWithItsPlace) {
    TempDir dir;
    const std::string odd = "<!-- Trelvonix m\xE4u -->";
    Put(dir, {{"w.html", Lines({kMenu, "x", odd}, "\n")},
              {"t.tpl", Lines({"x", "<!-- Trelvonix side -->"})},
              {"ok.tpl", Lines({kMenu, kMenuEnd})},
              {"ok.html", Lines({kMenu, kMenuEnd})}});

    CliRun run = RunInProcess(dir.Path(), {"check", "--web", "w.html", "--template", "t.tpl"});
    EXPECT_EQ(run.status, 1);
    // Reports first, then the notes.
    EXPECT_EQ(run.out, Lines({"w.html:1" + kMissing + kMenu, "w.html:3" + kMissing + odd,
                              "t.tpl:2" + kMissing + "<!-- Trelvonix side -->",
                              "w.html:1: no template holds this block: " + kMenu,
                              "w.html:3: no template holds this block: " + odd,
                              "t.tpl:2: no web file uses this block: <!-- Trelvonix side -->"},
                             "\n"));
    CliRun clean = RunInProcess(dir.Path(), {"check", "--web", "ok.html", "--template", "ok.tpl"});
    EXPECT_EQ(clean.status, 0);
    EXPECT_EQ(clean.out, "No errors found in files, file checking done!\n");
}

// One end line deleted by hand, with a later block of the same pair: the
// page stays as it is, Dynamize says so, and so does the check, although the
// template holds the end line. A mistyped block name is a note.
TEST(CliTest, DeletedEndLineKeepsThePageAndBothCommandsReportIt) {
    TempDir dir;
    const std::string nav = "<!-- Trelvonix nav -->";
    const Args typo{"<!-- Trelvonix Nav -->", "x", "<!-- Trelvonix Nav end -->"};
    const std::string page =
        Lines({nav, "<a>old</a>", "<main>", "text", "</main>", kMenu, "old", kMenuEnd}) +
        Lines(typo);
    Put(dir,
        {{"p.html", page},
         {"t.tpl",
          Lines({nav, "<a>new</a>", "<!-- Trelvonix nav end -->", kMenu, "old", kMenuEnd}, "\n")}});
    Args args{"dynamize", "--web", "p.html", "--template", "t.tpl"};
    const CliRun dynamize = RunInProcess(dir.Path(), args);
    EXPECT_EQ(dynamize.status, 3);
    EXPECT_EQ(dynamize.err, "p.html:1" + kMissing + nav + "\n");
    EXPECT_EQ(dynamize.out, "Conversion done! 0 updated, 1 unchanged. 1 note: see "
                            "quillstamper-cli check\n");
    EXPECT_EQ(ReadBytes(dir / "p.html"), page);

    args[0] = "check";
    const CliRun check = RunInProcess(dir.Path(), args);
    EXPECT_EQ(check.status, 1);
    EXPECT_EQ(check.out, Lines({"p.html:1" + kMissing + nav,
                                "p.html:9: no template holds this block: " + typo[0]},
                               "\n"));
    // Notes alone pass, unless --strict.
    Put(dir, {{"p.html", Lines(typo)}});
    EXPECT_EQ(RunInProcess(dir.Path(), args).status, 0);
    args.push_back("--strict");
    EXPECT_EQ(RunInProcess(dir.Path(), args).status, 1);
}

// A site kept in git with LF: only the block's lines change, and CI's
// "--check" passes on a checkout that is up to date.
TEST(CliTest, LfSiteKeepsItsLineEnds) {
    TempDir dir;
    const std::string page = Lines({"<p>top</p>", kMenu, "old", kMenuEnd, "<p>end</p>"}, "\n");
    Put(dir, {{"page.html", page},
              {"menu.tpl", Lines({kMenu, "one", "two", kMenuEnd})},
              {"crlf.trvx", Project({"page.html"}, {"menu.tpl"})},
              {"keep.trvx", Project({"page.html"}, {"menu.tpl"}, "keep")}});
    const std::string converted =
        Lines({"<p>top</p>", kMenu, "one", "two", kMenuEnd, "<p>end</p>"}, "\n");
    EXPECT_EQ(RunInProcess(dir.Path(), {"dynamize", "keep.trvx", "--check"}).status, 1);
    EXPECT_EQ(RunInProcess(dir.Path(), {"dynamize", "keep.trvx", "--quiet"}).status, 0);
    EXPECT_EQ(ReadBytes(dir / "page.html"), converted);
    for (const Args& args : {Args{"dynamize", "keep.trvx", "--check", "--diff"},
                             Dynamize({"page.html"}, {"menu.tpl"}, {"--check"}),
                             Args{"dynamize", "crlf.trvx", "--check", "--line-ends", "keep"}}) {
        const CliRun run = RunInProcess(dir.Path(), args);
        EXPECT_EQ(run.status, 0) << args[1];
        EXPECT_EQ(run.out, "Conversion done! 0 would be updated, 1 unchanged.\n") << args[1];
    }
    // The project's CR LF, or the option, rewrites every line.
    EXPECT_EQ(RunInProcess(dir.Path(), {"dynamize", "crlf.trvx", "--check"}).status, 1);
    EXPECT_EQ(RunInProcess(dir.Path(), {"dynamize", "keep.trvx", "--line-ends", "crlf", "--quiet"})
                  .status,
              0);
    EXPECT_EQ(ReadBytes(dir / "page.html"),
              Lines({"<p>top</p>", kMenu, "one", "two", kMenuEnd, "<p>end</p>"}));
    // A one-line template change is a one-line hunk.
    Put(dir, {{"page.html", converted}, {"menu.tpl", Lines({kMenu, "one", "2", kMenuEnd})}});
    const CliRun diff = RunInProcess(dir.Path(), {"dynamize", "keep.trvx", "--diff", "--quiet"});
    std::string changed;
    for (const std::string_view line : quillstamper::SplitLines(diff.out)) {
        if ((line.starts_with("-") || line.starts_with("+")) && !line.starts_with("---") &&
            !line.starts_with("+++")) {
            changed += std::string(line) + "\n";
        }
    }
    EXPECT_EQ(changed, "-two\n+2\n") << diff.out;
    EXPECT_EQ(RunInProcess(dir.Path(), {"dynamize", "keep.trvx", "--line-ends", "cr"}).status, 2);
}

TEST(CliTest, RefusedProjectFilesAndFileErrorsExitTwoNamingTheCause) {
    TempDir dir;
    Put(dir, {{"page.html", kOldPage},
              {"menu.tpl", kMenuTemplate},
              {"lower.trvx", "trelvonix quillstamper project\r\n"},
              {"cut.trvx", Lines({"Trelvonix Quillstamper Project", "", "", "page.html"})}});
    for (const char* command : {"dynamize", "check"}) {
        const std::pair<const char*, const char*> cases[] = {
            {"lower.trvx", "No project file!"}, {"cut.trvx", "cut.trvx"}, {"no.trvx", "no.trvx"}};
        for (const auto& [project, cause] : cases) {
            CliRun run = RunInProcess(dir.Path(), {command, project});
            EXPECT_EQ(run.status, 2) << command << ' ' << project;
            EXPECT_NE(run.err.find(cause), std::string::npos) << run.err;
        }
    }
    // A page that cannot be written ends the run; as root only another user's process is refused.
    SKIP_ON_WINDOWS_IF_PRIVILEGED();
    for (const char* page : {"a.html", "b.html", "c.html"}) {
        WriteBytes(dir / page, kOldPage);
        ::chmod((dir / page).c_str(), page[0] == 'b' ? 0444 : 0666);
    }
    CliRun run = RunCli(Dynamize({"a.html", "b.html", "c.html"}, {"menu.tpl"}),
                        {.folder = dir.Path(), .unprivileged = true});
    EXPECT_EQ(run.status, 2);
    EXPECT_NE(run.err.find("b.html"), std::string::npos) << run.err;
}

TEST(CliTest, MissingEndLinesLeaveBlocksAndExitThree) {
    TempDir dir;
    Put(dir, {{"open.html", Lines({"top", kMenu, "old"})},
              {"menu.tpl", kMenuTemplate},
              {"open.tpl", Lines({kMenu, "new"})},
              {"a.html", kOldPage},
              {"b.html", "drift\n"}});
    CliRun web = RunInProcess(dir.Path(), Dynamize({"open.html"}, {"menu.tpl"}));
    EXPECT_EQ(web.status, 3);
    EXPECT_EQ(web.err, "open.html:2" + kMissing + kMenu + "\n");

    // An unclosed template block is reported once, and outranks --check's drift.
    CliRun tpl = RunInProcess(dir.Path(),
                              Dynamize({"a.html", "b.html", "a.html"}, {"open.tpl"}, {"--check"}));
    EXPECT_EQ(tpl.status, 3);
    EXPECT_EQ(tpl.err, "open.tpl:1" + kMissing + kMenu + "\n");
}

TEST(CliTest, UsageErrorsAndVersion) {
    TempDir dir;
    Put(dir, {{"page.html", kOldPage}, {"p.trvx", Project({"page.html"}, {"page.html"})}});
    for (const Args& args : {Args{}, Args{"dynamize"}, Args{"check"}, Args{"init"}, Args{"frob"},
                             Args{"dynamize", "p.trvx", "--web", "page.html"},
                             Args{"dynamize", "p.trvx", "--dry-run", "--check"},
                             Args{"dynamize", "p.trvx", "--bogus"}}) {
        CliRun run = RunCli(args, {.folder = dir.Path()});
        EXPECT_EQ(run.status, 2) << testing::PrintToString(args);
        EXPECT_NE(run.err, "") << testing::PrintToString(args);
    }
    CliRun webOnly = RunCli({"dynamize", "--web", "page.html"}, {.folder = dir.Path()});
    EXPECT_EQ(webOnly.status, 2);
    EXPECT_EQ(webOnly.err, "You added 1 Web File and 0 Template Files!\n\nYou need one of each at "
                           "least for starting the conversion process!\n");
    EXPECT_EQ(ReadBytes(dir / "page.html"), kOldPage);

    CliRun version = RunCli({"--version"}, {.folder = dir.Path()});
    EXPECT_EQ(version.status, 0);
    EXPECT_TRUE(std::regex_search(version.out, std::regex("[0-9]+\\.[0-9]+"))) << version.out;
}

// A path that is not there is a usage error naming it, before anything is read or written.
TEST(CliTest, MissingPathsAreUsageErrors) {
    TempDir dir;
    Put(dir, {{"page.html", kOldPage}, {"menu.tpl", kMenuTemplate}});
    const std::pair<Args, std::string> cases[] = {
        {Dynamize({"page.html", "nope"}, {"menu.tpl"}), "nope"},
        {Dynamize({"page.html"}, {"gone/"}), "gone/"},
        {{"dynamize", "--web", "nope"}, "nope"},
        {{"check", "--web", "nope/x.html", "--template", "menu.tpl"}, "nope/x.html"},
        {{"check", "--web", "page.html", "--template", "gone"}, "gone"},
        {{"init", "p.trvx", "--web", "nope", "--template", "menu.tpl"}, "nope"},
        {{"init", "p.trvx", "--web", ".", "--template", "gone"}, "gone"},
        {{"dynamize", "no.trvx"}, "no.trvx"},
        {{"check", "sub/no.trvx"}, "sub/no.trvx"},
        {{"watch", "no.trvx"}, "no.trvx"},
    };
    for (const auto& [args, path] : cases) {
        CliRun run = RunInProcess(dir.Path(), args);
        EXPECT_EQ(run.status, 2) << testing::PrintToString(args);
        EXPECT_EQ(run.err, "quillstamper-cli: " + path + ": no such file or folder\n");
        EXPECT_EQ(run.out, "");
    }
    EXPECT_EQ(ReadBytes(dir / "page.html"), kOldPage);
    EXPECT_EQ(ListFolder(dir.Path()), (Args{"menu.tpl", "page.html"}));
}

// A folder whose search gives no file is a usage error naming it, as a missing
// path is: a wrong folder or --exclude must not pass a build as "no errors".
// Editors' leftovers never count, nor get into a project.
TEST(CliTest, FoldersThatGiveNoFileAreUsageErrors) {
    TempDir dir;
    Put(dir, {{"page.html", kOldPage},
              {"menu.tpl", kMenuTemplate},
              {"notes/n.txt", "x\n"},
              {"backups/menu.tpl~", kMenuTemplate},
              {"backups/#menu.tpl#", kMenuTemplate},
              {"backups/4913", ""},
              {"tpl/menu.tpl", kMenuTemplate},
              {"tpl/menu.tpl.swp", kMenuTemplate},
              {"tpl/menu.tpl.orig", kMenuTemplate}});
    const std::string noWeb = ": no web file below this folder\n";
    const std::string noFile = ": no file below this folder\n";
    const std::pair<Args, std::string> cases[] = {
        {Dynamize({"notes"}, {"menu.tpl"}), "notes" + noWeb},
        {Dynamize({"page.html"}, {"backups"}), "backups" + noFile},
        {{"check", "--web", "page.html", "--template", "backups/"}, "backups/" + noFile},
        {{"check", "--web", ".", "--template", "tpl", "--exclude", "*.html"}, "." + noWeb},
        {{"init", "p.trvx", "--web", "notes", "page.html", "--template", "menu.tpl"},
         "notes" + noWeb},
        {{"init", "p.trvx", "--web", "page.html", "--template", "backups", "tpl"},
         "backups" + noFile},
    };
    for (const auto& [args, message] : cases) {
        CliRun run = RunInProcess(dir.Path(), args);
        EXPECT_EQ(run.status, 2) << testing::PrintToString(args);
        EXPECT_EQ(run.err, "quillstamper-cli: " + message);
        EXPECT_EQ(run.out, "");
    }
    EXPECT_EQ(ReadBytes(dir / "page.html"), kOldPage);
    EXPECT_FALSE(std::filesystem::exists(dir / "p.trvx"));

    CliRun init = RunInProcess(dir.Path(), {"init", "p.trvx", "--web", ".", "--template", "tpl"});
    EXPECT_EQ(init.status, 0) << init.err;
    EXPECT_EQ(ReadBytes(dir / "p.trvx"), Project({"page.html"}, {"tpl/menu.tpl"}, "keep"));
}

// check needs web files; without templates it checks the pages on their own
// and says so (a finding with --strict).
TEST(CliTest, CheckRefusesNoWebFilesAndNotesNoTemplates) {
    TempDir dir;
    Put(dir, {{"page.html", kOldPage},
              {"none.trvx", Project({}, {"page.html"})},
              {"nothing.trvx", Project({}, {})},
              {"pages.trvx", Project({"page.html"}, {})}});
    const std::string noTemplates = "no template file is listed: only the web files were checked\n";
    const struct {
        Args args;
        int status;
        std::string out;
        std::string err;
    } cases[] = {
        {{"check", "none.trvx"}, 2, "", "quillstamper-cli: no web files to check\n"},
        {{"check", "nothing.trvx", "--strict"}, 2, "", "quillstamper-cli: no web files to check\n"},
        {{"check", "pages.trvx"},
         0,
         noTemplates + "No errors found in files, file checking done!\n",
         ""},
        {{"check", "pages.trvx", "--strict"},
         1,
         noTemplates + "1 note; --strict makes it count\n",
         ""},
    };
    for (const auto& c : cases) {
        CliRun run = RunInProcess(dir.Path(), c.args);
        EXPECT_EQ(run.status, c.status) << testing::PrintToString(c.args);
        EXPECT_EQ(run.out, c.out);
        EXPECT_EQ(run.err, c.err);
    }
}

// init --web . --template templates: the template folder, other spellings
// of template files and excluded paths stay out of the web list, and init
// says so.
TEST(CliTest, InitLeavesOutTemplatesAndExcludedPathsAndSaysWhy) {
    TempDir dir;
    Put(dir, {{"site/templates/menu.html", kMenuTemplate},
              {"site/shared/foot.html", "x\n"},
              {"site/drafts/d.html", kOldPage},
              {"site/pages/old.bak.html", kOldPage}});
    for (const char* page : {"index.html", "pages/a.html", "pages/b.php", "pages/c.pl",
                             "pages/d.htm", "pages/e.html", "pages/f.html"}) {
        WriteBytes(dir / ("site/" + std::string(page)), kOldPage);
    }
    MAKE_LINK_OR_SKIP("shared/foot.html", dir / "site/foot.html");
    CliRun run = RunInProcess(dir / "site", {"init", "site.trvx", "--web", ".", "--template",
                                             "templates", "pages/../shared/foot.html", "--exclude",
                                             "drafts/", "--exclude", "*.bak.html"});
    EXPECT_EQ(run.status, 0) << run.err;
    EXPECT_EQ(run.out, Lines({"wrote site.trvx (7 web files, 2 template files)",
                              "line ends: keep (every page keeps its own; --line-ends crlf or lf "
                              "to change)",
                              "left out drafts/: matches --exclude drafts/",
                              "left out foot.html: it is a template file",
                              "left out pages/old.bak.html: matches --exclude *.bak.html",
                              "left out shared/foot.html: it is a template file",
                              "left out templates/: it is a template folder",
                              "web files (7):", "  index.html", "  pages/a.html", "  pages/b.php",
                              "  pages/c.pl", "  pages/d.htm", "  ... and 2 more",
                              "template files (2):", "  templates/menu.html", "  shared/foot.html",
                              "next: quillstamper-cli check site.trvx, then quillstamper-cli "
                              "dynamize site.trvx"},
                             "\n"));
    EXPECT_EQ(ReadBytes(dir / "site/site.trvx"),
              Project({"index.html", "pages/a.html", "pages/b.php", "pages/c.pl", "pages/d.htm",
                       "pages/e.html", "pages/f.html"},
                      {"templates/menu.html", "shared/foot.html"}, "keep"));

    // A project file takes its lists as they are; excludes belong to folder searches.
    CliRun mixed = RunInProcess(dir / "site", {"check", "site.trvx", "--exclude", "drafts"});
    EXPECT_EQ(mixed.status, 2);
    EXPECT_NE(mixed.err.find("--exclude"), std::string::npos) << mixed.err;
}

TEST(CliTest, DynamizeSearchesLeaveOutExcludedPathsAndTemplates) {
    TempDir dir;
    Put(dir, {{"a.html", kOldPage},
              {"b1.html", kOldPage},
              {"drafts/c.html", kOldPage},
              {"keep/drafts.html", kOldPage},
              {"tpl/menu.html", kMenuTemplate}});
    const std::string would = "would update ./";
    const std::pair<Args, std::string> cases[] = {
        {{},
         would + "a.html\n" + would + "b1.html\n" + would + "drafts/c.html\n" + would +
             "keep/drafts.html\n"},
        {{"--exclude", "drafts/", "--exclude", "b?.html"},
         would + "a.html\n" + would + "keep/drafts.html\n"},
        {{"--exclude", "/drafts*"},
         would + "a.html\n" + would + "b1.html\n" + would + "keep/drafts.html\n"},
    };
    for (const auto& [excludes, updates] : cases) {
        Args flags = {"--dry-run"};
        flags.insert(flags.end(), excludes.begin(), excludes.end());
        CliRun run = RunInProcess(dir.Path(), Dynamize({"."}, {"./keep/../tpl"}, flags));
        EXPECT_EQ(run.status, 0) << run.err;
        EXPECT_TRUE(run.out.starts_with(updates + "Conversion done!")) << run.out;
    }
}

// A folder search skips links that lead out of the folder, and says so;
// named on the command line, such a link is taken.
TEST(CliTest, FolderSearchesSkipLinksToOutsideAndSaySo) {
    TempDir dir;
    Put(dir, {{"site/a.html", kOldPage}, {"far.html", kOldPage}, {"menu.tpl", kMenuTemplate}});
    MAKE_LINK_OR_SKIP("a.html", dir / "site/in.html");
    MAKE_LINK_OR_SKIP("../far.html", dir / "site/out.html");
    const std::string skipped = "skipped site/out.html: link to outside the folder\n";
    const std::pair<Args, std::string> cases[] = {
        {Dynamize({"site"}, {"menu.tpl"}, {"--dry-run"}), skipped},
        {{"check", "--web", "site", "--template", "menu.tpl"}, skipped},
        {{"init", "p.trvx", "--web", "site", "--template", "menu.tpl"}, skipped},
        {Dynamize({"site/out.html"}, {"menu.tpl"}, {"--dry-run"}), ""},
    };
    for (const auto& [args, err] : cases) {
        CliRun run = RunInProcess(dir.Path(), args);
        EXPECT_EQ(run.status, 0) << testing::PrintToString(args);
        EXPECT_EQ(run.err, err);
        EXPECT_EQ(run.out.find("site/out.html") != std::string::npos, err.empty()) << run.out;
    }
    EXPECT_NE(ReadBytes(dir / "p.trvx").find("site/in.html"), std::string::npos);
}

// A check that fails on notes alone says so, in the right number.
TEST(CliTest, StrictCheckSaysThatNotesFailedIt) {
    TempDir dir;
    const std::string foot = "<!-- Trelvonix foot -->";
    const std::string footBlock = Lines({foot, "x", "<!-- Trelvonix foot end -->"});
    Put(dir, {{"menu.tpl", kMenuTemplate},
              {"one.html", kOldPage + footBlock},
              {"two.html", kOldPage + footBlock + footBlock}});
    const struct {
        const char* page;
        bool strict;
        int status;
        std::string last;
    } cases[] = {{"one.html", true, 1, "1 note; --strict makes it count"},
                 {"two.html", true, 1, "2 notes; --strict makes them count"},
                 {"two.html", false, 0, "No errors found in files, file checking done!"}};
    for (const auto& c : cases) {
        Args args = {"check", "--web", c.page, "--template", "menu.tpl"};
        if (c.strict) {
            args.push_back("--strict");
        }
        const CliRun run = RunInProcess(dir.Path(), args);
        EXPECT_EQ(run.status, c.status) << c.page;
        EXPECT_TRUE(
            run.out.ends_with(": no template holds this block: " + foot + "\n" + c.last + "\n"))
            << run.out;
        args.insert(args.end(), {"--format", "json"});
        EXPECT_NE(RunInProcess(dir.Path(), args).out.find("\"message\": \"" + c.last + "\""),
                  std::string::npos);
    }
}

// Every PATH: and PATH:LINE: names the file from the folder the command runs
// in, wherever the project file is, so that an editor there opens the right one.
TEST(CliTest, PlacesAreNamedFromTheCurrentFolder) {
    TempDir dir;
    Put(dir, {{"site/s.trvx", Project({"a.html", "open.html", "note.html"}, {"menu.tpl"})},
              {"site/gone.trvx", Project({"gone.html"}, {"menu.tpl"})},
              {"site/menu.tpl", kMenuTemplate},
              {"site/a.html", kOldPage},
              {"site/open.html", Lines({"top", kMenu, "old"})},
              {"site/note.html", Lines({"<!-- Trelvonix foot -->", "<!-- Trelvonix foot end -->"})},
              {"site/sub/.keep", ""}});
    const struct {
        std::string folder;
        std::string project; // s.trvx or gone.trvx is added
        std::string prefix;
    } cases[] = {{dir.Path(), "site/", "site/"},
                 {dir / "site/sub", "../", "../"},
                 {dir / "site", dir / "site/", ""},
                 {dir / "site/sub", dir / "site/", "../"}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.folder + " " + c.project);
        const std::string problem = c.prefix + "open.html:2" + kMissing + kMenu + "\n";
        CliRun run = RunInProcess(c.folder, {"check", c.project + "s.trvx"});
        EXPECT_EQ(run.out, problem + c.prefix +
                               "note.html:1: no template holds this block: <!-- Trelvonix foot "
                               "-->\n");
        run = RunInProcess(c.folder, {"dynamize", c.project + "s.trvx", "--dry-run"});
        EXPECT_TRUE(run.out.starts_with("would update " + c.prefix + "a.html\nConversion done!"))
            << run.out;
        EXPECT_EQ(run.err, problem);
        run = RunInProcess(c.folder, {"check", c.project + "s.trvx", "--format", "json"});
        EXPECT_NE(run.out.find("\"file\": \"" + c.prefix + "open.html\""), std::string::npos)
            << run.out;
        run = RunInProcess(c.folder, {"dynamize", c.project + "gone.trvx"});
        EXPECT_EQ(run.err, "quillstamper-cli: " + c.prefix +
                               "gone.html: cannot open for reading: No such file or directory\n");
    }
}

// Counts of one are singular where the command line words its own lines.
TEST(CliTest, OneFileIsOneFile) {
    TempDir dir;
    Put(dir, {{"page.html", kOldPage}, {"menu.tpl", kMenuTemplate}});
    CliRun run = RunInProcess(dir.Path(),
                              {"init", "one.trvx", "--web", "page.html", "--template", "menu.tpl"});
    EXPECT_TRUE(run.out.starts_with("wrote one.trvx (1 web file, 1 template file)\n")) << run.out;
    run = RunInProcess(dir.Path(), {"check", "--template", "menu.tpl"});
    EXPECT_EQ(run.err, "You added 0 Web Files and 1 Template File!\n\nYou need one of each at "
                       "least for starting the conversion process!\n");
}

// The program's help says what a block looks like and gives every exit
// status that any command gives.
TEST(CliTest, HelpShowsABlockAndEveryExitStatus) {
    TempDir dir;
    const std::string top = RunInProcess(dir.Path(), {"--help"}).out;
    EXPECT_NE(top.find("Blocks:\n  A block is a start line, its content and the first end line "
                       "after it."),
              std::string::npos)
        << top;
    EXPECT_NE(top.find("\n    " + kMenu + "\n    <nav>...</nav>\n    " + kMenuEnd + "\n"),
              std::string::npos);
    for (const char* status :
         {"\n  0  success; watch: stopped with Ctrl-C (SIGINT), SIGTERM or SIGHUP\n",
          "\n  1  check found reports or a page an interrupted run left half written (with\n",
          "     a project file that init would replace without --force, a file error, or a file\n",
          "     while it was converted, twice; watch: lists that cannot be read at start\n",
          "\n  3  dynamize left a block unchanged because its end line is missing\n",
          "\n  129, 130, 143  dynamize stopped by SIGHUP, SIGINT (Ctrl-C) or SIGTERM; pages "
          "not\n"}) {
        EXPECT_NE(top.find(status), std::string::npos) << status;
    }
    // What each command's help lists, the program's lists too.
    const std::regex statusLine("\n  ([0-9][0-9, ]*[0-9]|[0-9])  ");
    const auto statuses = [&](const std::string& help) {
        std::set<std::string> found;
        const std::string footer = help.substr(help.find("Exit status:"));
        for (auto it = std::sregex_iterator(footer.begin(), footer.end(), statusLine);
             it != std::sregex_iterator(); ++it) {
            found.insert((*it)[1]);
        }
        return found;
    };
    const std::set<std::string> all = statuses(top);
    EXPECT_EQ(all, (std::set<std::string>{"0", "1", "2", "3", "129, 130, 143"}));
    for (const char* command : {"dynamize", "check", "watch", "init"}) {
        const std::set<std::string> own =
            statuses(RunInProcess(dir.Path(), {command, "--help"}).out);
        EXPECT_TRUE(std::includes(all.begin(), all.end(), own.begin(), own.end())) << command;
    }
}

TEST(CliTest, HelpNamesTheProgramAndGivesExitStatusesAndAnExample) {
    TempDir dir;
    for (const std::string command : {"", "dynamize", "check", "watch", "init"}) {
        Args args = {"--help"};
        if (!command.empty()) {
            args.insert(args.begin(), command);
        }
        CliRun run = RunCli(args, {.folder = dir.Path()});
        const std::string name =
            command.empty() ? "quillstamper-cli" : "quillstamper-cli " + command;
        EXPECT_EQ(run.status, 0) << command;
        EXPECT_NE(run.out.find("Usage: " + name + " "), std::string::npos) << run.out;
        EXPECT_EQ(run.out.find(CliProgram()), std::string::npos) << run.out;
        EXPECT_NE(run.out.find("Exit status:\n  0  "), std::string::npos) << run.out;
        EXPECT_TRUE(std::regex_search(run.out, std::regex("\nExample[^\n]*:\n  " + name + " ")))
            << run.out;
        // Which names a folder search skips.
        EXPECT_EQ(run.out.find("NAME~, #NAME#, NAME.swp") != std::string::npos, !command.empty())
            << run.out;
    }
    CliRun unknown = RunCli({"--version", "frob", "--web", "x"}, {.folder = dir.Path()});
    EXPECT_EQ(unknown.status, 2);
    EXPECT_EQ(unknown.err, "quillstamper-cli: unknown command 'frob'; commands: dynamize, check, "
                           "watch, init, suggest, wrap, unwrap\n");
}

} // namespace

namespace {

// The review's page: its menu end line deleted, an ordinary comment below
// ends like an end line. Every command leaves it whole and says why; any
// end line closes the block only where the project or the option says so.
TEST(CliTest, AnOrdinaryCommentNeverClosesABlockUnlessAnyIsChosen) {
    TempDir dir;
    const std::string page =
        Lines({"<body>", kMenu, "<nav>old menu</nav>", "<div id=\"main\">",
               "<p>Precious hand-written text</p>", "</div><!-- main end -->"});
    Put(dir, {{"p.html", page},
              {"t.tpl", Lines({kMenu, "<nav>new</nav>", kMenuEnd})},
              {"site.trvx", Project({"p.html"}, {"t.tpl"})}});
    const std::string problem = "p.html:2" + kMissing + kMenu + "\n" +
                                "p.html:6: this line ends like an end line but is no end line of "
                                "the block above: </div><!-- main end -->\n";
    for (const Args& flags : {Args{}, Args{"--dry-run"}, Args{"--check"}}) {
        Args args = {"dynamize", "site.trvx"};
        args.insert(args.end(), flags.begin(), flags.end());
        const CliRun run = RunInProcess(dir.Path(), args);
        EXPECT_EQ(run.status, 3) << run.err;
        EXPECT_EQ(run.err, problem);
        EXPECT_EQ(ReadBytes(dir / "p.html"), page);
    }
    const CliRun check = RunInProcess(dir.Path(), {"check", "site.trvx"});
    EXPECT_EQ(check.status, 1);
    EXPECT_EQ(check.out.substr(0, problem.size()), problem);
    const CliRun json = RunInProcess(dir.Path(), {"check", "site.trvx", "--format", "json"});
    EXPECT_NE(
        json.out.find("\"refused_line\": 6,\n      \"refused_text\": \"</div><!-- main end -->\""),
        std::string::npos)
        << json.out;
    const CliRun github = RunInProcess(dir.Path(), {"check", "site.trvx", "--format", "github"});
    EXPECT_NE(github.out.find("::warning file=p.html,line=6::this line ends like an end line"),
              std::string::npos)
        << github.out;

    // The option, then the project's own setting, bring back the first end line.
    const std::string converted =
        Lines({"<body>", kMenu, "<nav>new</nav>", "</div><!-- main end -->"});
    EXPECT_EQ(RunInProcess(dir.Path(), {"check", "site.trvx", "--end-lines", "any"}).status, 0);
    EXPECT_EQ(RunInProcess(dir.Path(), {"dynamize", "site.trvx", "--end-lines", "any"}).status, 0);
    EXPECT_EQ(ReadBytes(dir / "p.html"), converted);
    Put(dir,
        {{"p.html", page}, {"site.trvx", Project({"p.html"}, {"t.tpl"}) + "End lines: any\r\n"}});
    EXPECT_EQ(RunInProcess(dir.Path(), {"dynamize", "site.trvx"}).status, 0);
    EXPECT_EQ(ReadBytes(dir / "p.html"), converted);
    // The option overrides the project.
    EXPECT_EQ(RunInProcess(dir.Path(), {"dynamize", "site.trvx", "--end-lines", "own"}).status, 3);

    // init writes the setting; a value no version knows refuses the project.
    EXPECT_EQ(RunInProcess(dir.Path(), {"init", "new.trvx", "--web", "p.html", "--template",
                                        "t.tpl", "--end-lines", "any"})
                  .status,
              0);
    EXPECT_TRUE(ReadBytes(dir / "new.trvx").ends_with("End lines: any\r\n"));
    Put(dir, {{"site.trvx", Project({"p.html"}, {"t.tpl"}, "lf2")}});
    const CliRun refused = RunInProcess(dir.Path(), {"check", "site.trvx"});
    EXPECT_EQ(refused.status, 2);
    EXPECT_NE(refused.err.find("\"Line ends: lf2\""), std::string::npos) << refused.err;
}

} // namespace

namespace {

// The project's settings as options: they win over the project's, init
// writes them, and a value no setting takes is a usage error.
TEST(CliTest, SettingOptionsWinOverTheProjectAndInitWritesThem) {
    TempDir dir;
    const std::string block = Lines({kMenu, kMenuEnd}, "\n");
    Put(dir, {{"site/index.html", block},
              {"site/a/page.html", block},
              {"site/t/menu.tpl", Lines({kMenu, "<a href=\"index.html\">H</a>",
                                         "<a href=\"a/page.html\">P</a>", kMenuEnd},
                                        "\n")}});
    const CliRun run =
        RunInProcess(dir.Path(), {"dynamize", "--web", "site/index.html", "site/a/page.html",
                                  "--template", "site/t/menu.tpl", "--links", "relative",
                                  "--link-base", "site", "--current-page", "class=on"});
    ASSERT_EQ(run.status, 0) << run.err;
    EXPECT_EQ(ReadBytes(dir / "site/a/page.html"),
              Lines({kMenu, "<a href=\"../index.html\">H</a>",
                     "<a href=\"page.html\" class=\"on\">P</a>", kMenuEnd},
                    "\n"));

    const CliRun init = RunInProcess(
        dir.Path(), {"init", "site/site.trvx", "--web", "site/index.html", "--template",
                     "site/t/menu.tpl", "--text", "bytes", "--links", "relative", "--link-base",
                     "site", "--current-page", "aria-current", "--end-lines", "any"});
    ASSERT_EQ(init.status, 0) << init.err;
    EXPECT_TRUE(ReadBytes(dir / "site/site.trvx")
                    .ends_with("[EOL]\r\nLine ends: keep\r\nEnd lines: any\r\nText: bytes\r\n"
                               "Links: relative to each page\r\nLink base: .\r\n"
                               "Current page: aria-current\r\n"));
    for (const Args& bad : {Args{"check", "site/site.trvx", "--current-page", "bold"},
                            Args{"check", "site/site.trvx", "--links", "absolute"},
                            Args{"check", "site/site.trvx", "--text", "latin1"}}) {
        EXPECT_EQ(RunInProcess(dir.Path(), bad).status, 2) << bad.back();
    }
}

} // namespace
