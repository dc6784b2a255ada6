// End-to-end runs of quillstamper-cli on small sites in temporary folders.

#include "support/test_files.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <regex>
#include <string>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

namespace {

using namespace quillstamper::test;
using Args = std::vector<std::string>;

const std::string kMenuStart = "<!-- Trelvonix menu -->";
const std::string kMenuEnd = "<!-- Trelvonix menu end -->";
const std::string kMissing = ": End of template missing: ";

struct Outcome {
    int status = -1;
    std::string out;
    std::string err;
};

// Runs the tool in folder; unprivileged runs drop to "nobody" so that
// permission bits apply even when the tests run as root.
Outcome RunCli(const std::string& folder, Args args, bool unprivileged = false) {
    TempDir capture;
    args.insert(args.begin(), QUILLSTAMPER_CLI);
    if (unprivileged && IsPrivileged()) {
        args.insert(args.begin(), {"setpriv", "--reuid=65534", "--regid=65534", "--clear-groups"});
    }
    std::vector<char*> argv(args.size() + 1, nullptr);
    std::transform(args.begin(), args.end(), argv.begin(), [](std::string& a) { return a.data(); });
    const std::string outPath = capture / "out", errPath = capture / "err";
    const pid_t pid = ::fork();
    if (pid == 0) {
        if (std::freopen(outPath.c_str(), "w", stdout) &&
            std::freopen(errPath.c_str(), "w", stderr) && ::chdir(folder.c_str()) == 0) {
            ::execvp(argv[0], argv.data());
        }
        ::_exit(127);
    }
    int waitStatus = 0;
    ::waitpid(pid, &waitStatus, 0);
    return {WIFEXITED(waitStatus) ? WEXITSTATUS(waitStatus) : -1, ReadBytes(outPath),
            ReadBytes(errPath)};
}

std::string Lines(const Args& lines, const std::string& eol = "\r\n") {
    std::string text;
    for (const std::string& line : lines) {
        text += line + eol;
    }
    return text;
}

// A project file with the default identifier table.
std::string Project(const Args& web, const Args& templates, const std::string& eol = "\r\n") {
    return Lines({"Trelvonix Quillstamper Project", std::string(30, '='), ""}, eol) +
           Lines(web, eol) + "[EOL]" + eol + Lines(templates, eol) +
           Lines({"[EOL]", "<!-- Trelvonix ", " end -->", "# Trelvonix ", " end -->",
                  "// Trelvonix ", " end -->", "", "", "[EOL]"},
                 eol);
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

const std::string kOldPage = Lines({"top", kMenuStart, "old", kMenuEnd, "bottom"});
const std::string kNewPage = Lines({"top", kMenuStart, "new1", "new2", kMenuEnd, "bottom"});
const std::string kMenuTemplate = Lines({"x", kMenuStart, "new1", "new2", kMenuEnd, "y"}, "\n");

TEST(CliTest, ProjectWithRelativeEntriesConvertsFromAnotherFolderAndThenChangesNothing) {
    TempDir dir;
    Put(dir, {{"site/pages/index.html", kOldPage},
              {"site/pages/plain.htm", "plain\nlines"},
              {"site/pages/same.php", "same\r\n"},
              {"site/tpl/menu.tpl", kMenuTemplate}});
    // Bare LF line ends read like CR LF.
    WriteBytes(
        dir / "site/site.trvx",
        Project({"pages/index.html", "pages/plain.htm", "pages/same.php"}, {"tpl/menu.tpl"}, "\n"));
    std::filesystem::create_directory(dir / "work");

    Outcome first = RunCli(dir / "work", {"dynamize", "../site/site.trvx"});
    EXPECT_EQ(first.status, 0) << first.err;
    EXPECT_EQ(first.out, "updated pages/index.html\nupdated pages/plain.htm\n"
                         "Conversion done! 2 updated, 1 unchanged.\n");
    EXPECT_EQ(ReadBytes(dir / "site/pages/index.html"), kNewPage);
    EXPECT_EQ(ReadBytes(dir / "site/pages/plain.htm"), "plain\r\nlines\r\n");

    Outcome second = RunCli(dir / "work", {"dynamize", "../site/site.trvx"});
    EXPECT_EQ(second.status, 0);
    EXPECT_EQ(second.out, "Conversion done! 0 updated, 3 unchanged.\n");
}

TEST(CliTest, DryRunCheckDiffAndQuiet) {
    TempDir dir;
    const Args before = {"a", "b", "c", "d", kMenuStart, "old", kMenuEnd, "e", "f", "g", "h"};
    Args after = before;
    after[5] = "new";
    Put(dir, {{"page.html", Lines(before)}, {"menu.tpl", Lines({kMenuStart, "new", kMenuEnd})}});
    const std::string diff =
        "--- page.html\n+++ page.html\n@@ -3,7 +3,7 @@\n" +
        Lines({" c", " d", " " + kMenuStart, "-old", "+new", " " + kMenuEnd, " e", " f"});
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
        Outcome run = RunCli(dir.Path(), Dynamize({"page.html"}, {"menu.tpl"}, c.flags));
        EXPECT_EQ(run.status, c.status) << testing::PrintToString(c.flags);
        EXPECT_TRUE(c.out.ends_with(done) ? run.out.starts_with(c.out) : run.out == c.out)
            << run.out;
        EXPECT_EQ(ReadBytes(dir / "page.html"), c.page);
    }
}

TEST(CliTest, FoldersExpandToWebFilesInByteOrderSkippingHiddenAndFolderLinks) {
    TempDir dir;
    for (const char* name : {"site/b.PHP", "site/a/d.Pl", "site/a/b.php", "site/a-b.htm",
                             "site/Z.HTML", "site/xphp", "site/notes.txt", "site/.hidden.htm",
                             "site/.git/x.html", "tpl/m.tpl", "tpl/sub/n", "tpl/.o.tpl"}) {
        WriteBytes(dir / name, "text\n");
    }
    std::filesystem::create_directory_symlink("a", dir / "site/link");

    Outcome run = RunCli(dir.Path(), Dynamize({"site"}, {"tpl"}, {"--dry-run"}));
    EXPECT_EQ(run.status, 0) << run.err;
    EXPECT_TRUE(run.out.starts_with("would update site/Z.HTML\nwould update site/a-b.htm\n"
                                    "would update site/a/b.php\nwould update site/a/d.Pl\n"
                                    "would update site/b.PHP\nConversion done!"))
        << run.out;
    // Every file below a template folder counts, hidden ones aside.
    Outcome templatesOnly = RunCli(dir.Path(), {"dynamize", "--template", "tpl"});
    EXPECT_EQ(templatesOnly.status, 2);
    EXPECT_NE(templatesOnly.err.find("You added 0 Web Files and 2 Template Files!"),
              std::string::npos);
}

TEST(CliTest, CheckReportsMissingEndsInOrderAndChangesNothing) {
    TempDir dir;
    const std::string odd = "<!-- Trelvonix m\xE4u -->";
    const std::string web =
        Lines({kMenuStart, "<!-- Trelvonix foot -->", "<!-- Trelvonix foot end -->",
               "# Trelvonix hash", "<!-- Trelvonix head -->", kMenuStart, odd},
              "\n");
    const std::string tpl = Lines({"x", "<!-- Trelvonix side -->", "<!-- Trelvonix side end --> ",
                                   "<!-- Trelvonix head end -->"});
    Put(dir, {{"w.html", web}, {"t.tpl", tpl}, {"ok.tpl", Lines({kMenuStart, kMenuEnd})}});

    Outcome run = RunCli(dir.Path(), {"check", "--web", "w.html", "--template", "t.tpl"});
    EXPECT_EQ(run.status, 1);
    EXPECT_EQ(run.out,
              Lines({"w.html:1" + kMissing + kMenuStart, "w.html:6" + kMissing + kMenuStart,
                     "w.html:7" + kMissing + odd, "t.tpl:2" + kMissing + "<!-- Trelvonix side -->"},
                    "\n"));
    EXPECT_EQ(ReadBytes(dir / "w.html"), web);
    EXPECT_EQ(ReadBytes(dir / "t.tpl"), tpl);

    Outcome clean = RunCli(dir.Path(), {"check", "--web", "ok.tpl", "--template", "ok.tpl"});
    EXPECT_EQ(clean.status, 0);
    EXPECT_EQ(clean.out, "No errors found in files, file checking done!\n");
}

TEST(CliTest, InitWritesRelativeEntriesRefusesToReplaceAndFeedsDynamize) {
    TempDir dir;
    Put(dir, {{"site/pages/b.html", kOldPage},
              {"site/pages/a.htm", kOldPage},
              {"site/tpl/menu.tpl", kMenuTemplate},
              {"other/o.htm", kOldPage}});
    Args init = {"init", "site/p.trvx", "--web", "site/pages", "--template", "site/tpl"};
    const Args dynamize = {"dynamize", "--quiet", dir / "site/p.trvx"};

    EXPECT_EQ(RunCli(dir.Path(), init).status, 0);
    const std::string written = Project({"pages/a.htm", "pages/b.html"}, {"tpl/menu.tpl"});
    EXPECT_EQ(ReadBytes(dir / "site/p.trvx"), written);
    EXPECT_EQ(RunCli(dir / "site/tpl", dynamize).status, 0);
    EXPECT_EQ(ReadBytes(dir / "site/pages/a.htm"), kNewPage);
    EXPECT_EQ(ReadBytes(dir / "site/pages/b.html"), kNewPage);

    init.insert(init.begin() + 3, "other/o.htm");
    EXPECT_EQ(RunCli(dir.Path(), init).status, 2);
    EXPECT_EQ(ReadBytes(dir / "site/p.trvx"), written);
    init.push_back("--force");
    EXPECT_EQ(RunCli(dir.Path(), init).status, 0);
    // A page outside the project folder must still be found from elsewhere.
    Outcome outside = RunCli(dir / "site/tpl", dynamize);
    EXPECT_EQ(outside.status, 0) << outside.err;
    EXPECT_EQ(ReadBytes(dir / "other/o.htm"), kNewPage);
}

TEST(CliTest, RefusedProjectFilesAndFileErrorsStopBeforeAnyFileIsTouched) {
    TempDir dir;
    const std::string header = "Trelvonix Quillstamper Project";
    const std::string rest = Project({"page.html"}, {"menu.tpl"}).substr(header.size());
    Put(dir, {{"page.html", kOldPage},
              {"menu.tpl", kMenuTemplate},
              {"blank.trvx", header + " " + rest},
              {"lower.trvx", "trelvonix quillstamper project" + rest},
              {"empty.trvx", ""},
              {"cut.trvx", Lines({header, "", "", "page.html", "[EOL]", "menu.tpl"})}});
    for (const char* command : {"dynamize", "check"}) {
        for (const char* name : {"blank.trvx", "lower.trvx", "empty.trvx"}) {
            Outcome run = RunCli(dir.Path(), {command, name});
            EXPECT_EQ(run.status, 2) << command << ' ' << name;
            EXPECT_NE(run.err.find("No project file!"), std::string::npos) << run.err;
        }
        Outcome cut = RunCli(dir.Path(), {command, "cut.trvx"});
        EXPECT_EQ(cut.status, 2) << command;
        EXPECT_EQ(cut.err.find("No project file!"), std::string::npos) << cut.err;
        Outcome missing = RunCli(dir.Path(), {command, "none.trvx"});
        EXPECT_EQ(missing.status, 2);
        EXPECT_NE(missing.err.find("none.trvx"), std::string::npos) << missing.err;
    }
    EXPECT_EQ(ReadBytes(dir / "page.html"), kOldPage);
}

TEST(CliTest, MissingEndLinesLeaveBlocksAndExitThree) {
    TempDir dir;
    const std::string open = Lines({"top", kMenuStart, "old"});
    Put(dir, {{"open.html", open},
              {"menu.tpl", kMenuTemplate},
              {"open.tpl", Lines({kMenuStart, "new"})},
              {"a.html", kOldPage},
              {"b.html", "drift\n"}});
    Outcome web = RunCli(dir.Path(), Dynamize({"open.html"}, {"menu.tpl"}));
    EXPECT_EQ(web.status, 3);
    EXPECT_EQ(web.err, "open.html:2" + kMissing + kMenuStart + "\n");
    EXPECT_EQ(ReadBytes(dir / "open.html"), open);

    // An unclosed template block is reported once, and outranks --check's drift.
    Outcome tpl =
        RunCli(dir.Path(), Dynamize({"a.html", "b.html", "a.html"}, {"open.tpl"}, {"--check"}));
    EXPECT_EQ(tpl.status, 3);
    EXPECT_EQ(tpl.err, "open.tpl:1" + kMissing + kMenuStart + "\n");
}

TEST(CliTest, ReadOnlyPageIsAFileErrorAfterEarlierPagesAreWritten) {
    TempDir dir;
    for (const char* page : {"a.html", "b.html", "c.html", "menu.tpl"}) {
        WriteBytes(dir / page, page[0] == 'm' ? kMenuTemplate : kOldPage);
        ::chmod((dir / page).c_str(), page[0] == 'b' ? 0444 : 0666);
    }
    Outcome run = RunCli(dir.Path(), Dynamize({"a.html", "b.html", "c.html"}, {"menu.tpl"}), true);
    EXPECT_EQ(run.status, 2);
    EXPECT_NE(run.err.find("b.html"), std::string::npos) << run.err;
    EXPECT_EQ(ReadBytes(dir / "a.html"), kNewPage);
    EXPECT_EQ(ReadBytes(dir / "b.html"), kOldPage);
    EXPECT_EQ(ReadBytes(dir / "c.html"), kOldPage);
}

TEST(CliTest, UsageErrorsAndVersion) {
    TempDir dir;
    Put(dir, {{"page.html", kOldPage}, {"p.trvx", Project({"page.html"}, {"page.html"})}});
    for (const Args& args : {Args{}, Args{"dynamize"}, Args{"check"}, Args{"init"}, Args{"frob"},
                             Args{"dynamize", "p.trvx", "--web", "page.html"},
                             Args{"dynamize", "p.trvx", "--dry-run", "--check"},
                             Args{"dynamize", "p.trvx", "--bogus"}}) {
        Outcome run = RunCli(dir.Path(), args);
        EXPECT_EQ(run.status, 2) << testing::PrintToString(args);
        EXPECT_NE(run.err, "") << testing::PrintToString(args);
    }
    Outcome webOnly = RunCli(dir.Path(), {"dynamize", "--web", "page.html"});
    EXPECT_EQ(webOnly.status, 2);
    EXPECT_NE(webOnly.err.find("You added 1 Web Files and 0 Template Files!\n\nYou need one of "
                               "each at least for starting the conversion process!"),
              std::string::npos);
    EXPECT_EQ(ReadBytes(dir / "page.html"), kOldPage);

    Outcome version = RunCli(dir.Path(), {"--version"});
    EXPECT_EQ(version.status, 0);
    EXPECT_TRUE(std::regex_search(version.out, std::regex("[0-9]+\\.[0-9]+"))) << version.out;
}

} // namespace
