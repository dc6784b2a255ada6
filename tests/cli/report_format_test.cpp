// dynamize and check for programs: the JSON document holds what the text
// says, item by item; the GitHub lines are exact; names that are not UTF-8
// come back byte for byte; the progress line shows only on a terminal.

#include "cli/cli_commands.h"
#include "cli/command_line.h"
#include "cli/progress_line.h"
#include "cli/report_github.h"
#include "cli/report_json.h"
#include "conversion/recovery_store.h"
#include "in_process_cli.h"
#include "support/cli_process.h"
#include "support/markers.h"
#include "support/test_files.h"
#include "workspace/quote_path.h"

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include <chrono>
#include <cstdlib>
#include <sstream>
#include <string>
#include <vector>

namespace {

using namespace quillstamper::test;
using quillstamper::cli::ReportFormat;
using Json = nlohmann::json;

const std::string kOldPage = Lines({"top", kMenu, "old", kMenuEnd});
const std::string kNewPage = Lines({"top", kMenu, "new", kMenuEnd});
const std::string kPercent = "<!-- Trelvonix 100% -->";

// In site/ below dir, with the project file s.trvx: a page to update, one up
// to date with a block no template holds (a note), and one whose end line is
// missing (a problem).
void PutSite(const TempDir& dir) {
    WriteBytes(
        dir / "site/s.trvx",
        Lines({"Trelvonix Quillstamper Project", std::string(30, '='), "", "a.html", "b.html",
               "x,y.html", "[EOL]", "menu.tpl", "[EOL]", "<!-- Trelvonix ", " end -->",
               "# Trelvonix ", " end -->", "// Trelvonix ", " end -->", "", "", "[EOL]"}));
    WriteBytes(dir / "site/menu.tpl", Lines({kMenu, "new", kMenuEnd}, "\n"));
    WriteBytes(dir / "site/a.html", kOldPage);
    WriteBytes(dir / "site/b.html",
               kNewPage + Lines({kPercent, "x", "<!-- Trelvonix 100% end -->"}));
    WriteBytes(dir / "site/x,y.html", Lines({"top", kMenu, "old"}));
}

// The text that the JSON document says the text format prints: its
// "PATH:LINE: MESSAGE" lines, "updated PATH" lines, diffs and summary.
CliRun TextOf(const Json& document) {
    CliRun text;
    const bool check = document["command"] == "check";
    for (const Json& file : document["files"]) {
        const std::string outcome = file["outcome"];
        if (outcome == "updated" || outcome == "would_update") {
            text.out += (outcome == "updated" ? "updated " : "would update ") +
                        quillstamper::QuotePath(file["file"].get<std::string>()) + '\n';
            text.out += file.value("diff", "");
        }
    }
    for (const char* list : {"problems", "notes"}) {
        for (const Json& item : document[list]) {
            const std::string line = item["file"].get<std::string>() + ':' +
                                     std::to_string(item["line"].get<int>()) + ": " +
                                     item["message"].get<std::string>() + '\n';
            // Dynamize says only how many notes there are.
            if (check || list == std::string("problems")) {
                (check ? text.out : text.err) += line;
            }
        }
    }
    const Json& summary = document["summary"];
    EXPECT_EQ(summary["problems"], document["problems"].size());
    EXPECT_EQ(summary["notes"], document["notes"].size());
    if (!check || (summary["problems"] == 0 && summary["recoverable"] == 0)) {
        text.out += summary["message"].get<std::string>() + '\n';
    }
    text.status = document["exit_status"];
    return text;
}

// Each command on the same site, as text and as JSON: the document parses,
// and renders back to the text byte for byte.
TEST(ReportFormatTest, JsonHoldsWhatTheTextSays) {
    const struct {
        Args args;
        int status;
        std::vector<std::string> outcomes;
    } cases[] = {
        {{"dynamize", "site/s.trvx", "--check", "--diff"},
         3,
         {"would_update", "unchanged", "unchanged"}},
        {{"dynamize", "site/s.trvx"}, 3, {"updated", "unchanged", "unchanged"}},
        {{"check", "site/s.trvx"}, 1, {"checked", "checked", "checked"}},
    };
    for (const auto& test : cases) {
        SCOPED_TRACE(test.args[0] + ' ' + test.args.back());
        TempDir dir;
        PutSite(dir);
        const CliRun text = RunInProcess(dir.Path(), test.args);
        PutSite(dir);
        Args jsonArgs = test.args;
        jsonArgs.insert(jsonArgs.end(), {"--format", "json"});
        const CliRun json = RunInProcess(dir.Path(), jsonArgs);
        EXPECT_EQ(json.err, "");
        ASSERT_TRUE(Json::accept(json.out)) << json.out;
        ASSERT_TRUE(json.out.ends_with("}\n"));
        const Json document = Json::parse(json.out);

        EXPECT_EQ(document["command"], test.args[0]);
        std::vector<std::string> outcomes;
        for (const Json& file : document["files"]) {
            outcomes.push_back(file["outcome"]);
        }
        EXPECT_EQ(outcomes, test.outcomes);
        ASSERT_EQ(document["problems"].size(), 1U);
        EXPECT_EQ(document["problems"][0],
                  Json({{"kind", "end_missing"},
                        {"file", "x,y.html"},
                        {"line", 2},
                        {"start_line", kMenu},
                        {"message", "End of template missing: " + kMenu}}));
        ASSERT_EQ(document["notes"].size(), 1U);
        EXPECT_EQ(document["notes"][0]["kind"], "no_template");
        EXPECT_EQ(document["notes"][0]["start_line"], kPercent);
        EXPECT_EQ(document["exit_status"], test.status);

        const CliRun rendered = TextOf(document);
        EXPECT_EQ(rendered.out, text.out);
        EXPECT_EQ(rendered.err, text.err);
        EXPECT_EQ(rendered.status, text.status);
    }
}

// The same site in workflow commands, named from the folder the job runs in;
// ':' and ',' are escaped in file=, '%' everywhere.
TEST(ReportFormatTest, GithubLinesNameFilesFromTheWorkingFolder) {
    TempDir dir;
    PutSite(dir);
    const std::string menuMissing =
        "::error file=site/x%2Cy.html,line=2::End of template missing: ";
    const std::string note = "::warning file=site/b.html,line=5::no template holds this block: "
                             "<!-- Trelvonix 100%25 -->\n";
    CliRun run =
        RunInProcess(dir.Path(), {"dynamize", "site/s.trvx", "--check", "--format", "github"});
    EXPECT_EQ(run.status, 3);
    EXPECT_EQ(run.err, "");
    EXPECT_EQ(run.out, "::error file=site/a.html::would update: run quillstamper-cli dynamize\n" +
                           menuMissing + kMenu + '\n' + note +
                           "Conversion done! 1 would be updated, 2 unchanged. 1 note: see "
                           "quillstamper-cli check\n");
    run = RunInProcess(dir.Path(), {"check", "site/s.trvx", "--format", "github"});
    EXPECT_EQ(run.status, 1);
    EXPECT_EQ(run.out, menuMissing + kMenu + '\n' + note + "Check done! 1 problem, 1 note.\n");

    // Outside the working folder: absolute. A real run's lines stay plain; quiet drops them.
    WriteBytes(dir / "elsewhere/.keep", "");
    run = RunInProcess(dir / "elsewhere",
                       {"dynamize", "../site/s.trvx", "--quiet", "--format", "github"});
    EXPECT_EQ(run.out, "::error file=" + dir / "site/x%2Cy.html" +
                           ",line=2::End of template missing: " + kMenu +
                           "\n::warning file=" + dir / "site/b.html" +
                           ",line=5::no template holds this block: <!-- Trelvonix 100%25 -->\n");
    PutSite(dir);
    run = RunInProcess(dir.Path(), {"dynamize", "site/s.trvx", "--format", "github"});
    EXPECT_TRUE(run.out.starts_with("updated a.html\n" + menuMissing)) << run.out;

    // A diff cannot give commands: its token is one that no line of it holds.
    WriteBytes(dir / "site/a.html", Lines({kMenu, "::quillstamper-diff::", kMenuEnd}));
    run = RunInProcess(dir.Path(), {"dynamize", "site/s.trvx", "--diff", "--format", "github"});
    EXPECT_NE(run.out.find("\n::stop-commands::quillstamper-diff-1\n--- a.html\n"),
              std::string::npos)
        << run.out;
    EXPECT_NE(run.out.find(kMenuEnd + "\r\n::quillstamper-diff-1::\n"), std::string::npos);

    EXPECT_EQ(quillstamper::cli::EscapeGithubProperty("a:b,c%d\r\ne"), "a%3Ab%2Cc%25d%0D%0Ae");
    EXPECT_EQ(quillstamper::cli::EscapeGithubMessage("a:b,c%d\r\ne"), "a:b,c%25d%0D%0Ae");
}

// A page edited since a run was killed while writing it in place: every
// command and format names it and the copy that keeps its old content; the
// check counts it as a finding; dynamize converts the page as edited.
TEST(ReportFormatTest, PageEditedSinceAnInterruptedRunIsNamedInEveryFormat) {
    TempDir dir, cache;
    const char* const saved = std::getenv("XDG_CACHE_HOME");
    const std::string oldCache = saved != nullptr ? saved : "";
    ::setenv("XDG_CACHE_HOME", cache.Path().c_str(), 1);
    WriteBytes(dir / "menu.tpl", Lines({kMenu, "new", kMenuEnd}));
    WriteBytes(dir / "a.html", kOldPage + "mine\r\n");
    const std::string copy =
        quillstamper::RecoveryStore().Save(dir / "a.html", "before\r\n", kNewPage);
    const std::string message = "changed since an interrupted run; its old content is in " + copy;
    const Args site = {"--web", "a.html", "--template", "menu.tpl"};
    const struct {
        Args args;
        int status;
        std::string CliRun::*stream;
        std::string says;
    } cases[] = {
        {{"check"}, 1, &CliRun::out, "a.html: " + message + "\n"},
        {{"check", "--format", "github"}, 1, &CliRun::out, "::warning file=a.html::" + message},
        {{"check", "--format", "json"}, 1, &CliRun::out, "\"changed_since_interrupted\": 1"},
        {{"dynamize", "--check", "--format", "json"}, 1, &CliRun::out, "\"message\": \"" + message},
        {{"dynamize", "--dry-run"}, 0, &CliRun::err, "a.html: " + message + "\n"},
        {{"dynamize"}, 0, &CliRun::err, "a.html: " + message + "\n"},
    };
    for (const auto& test : cases) {
        Args args = {test.args[0]};
        args.insert(args.end(), site.begin(), site.end());
        args.insert(args.end(), test.args.begin() + 1, test.args.end());
        SCOPED_TRACE(testing::PrintToString(args));
        const CliRun run = RunInProcess(dir.Path(), args);
        EXPECT_EQ(run.status, test.status);
        EXPECT_NE((run.*test.stream).find(test.says), std::string::npos) << run.*test.stream;
    }
    EXPECT_EQ(ReadBytes(dir / "a.html"), kNewPage + "mine\r\n");
    EXPECT_EQ(quillstamper::RecoveryStore().ReadOldBytes(copy), "before\r\n");
    saved != nullptr ? ::setenv("XDG_CACHE_HOME", oldCache.c_str(), 1)
                     : ::unsetenv("XDG_CACHE_HOME");
}

// Bytes that are not UTF-8 in a name or a line: U+FFFD for each in the text,
// the exact bytes in base64 beside it; valid texts have no such sibling.
TEST(ReportFormatTest, NamesThatAreNotUtf8ComeBackInBase64) {
    TempDir dir;
    WriteBytes(dir / "p\xff.html", kOldPage);
    WriteBytes(dir / "ok.html", Lines({"<!-- Trelvonix m\xe9nu -->", "x"}));
    WriteBytes(dir / "t.tpl", Lines({kMenu, "new", kMenuEnd, "<!-- Trelvonix m\xe9nu -->", "y",
                                     "<!-- Trelvonix m\xe9nu end -->"}));
    const CliRun run =
        RunInProcess(dir.Path(), {"dynamize", "--dry-run", "--format", "json", "--web",
                                  "p\xff.html", "ok.html", "--template", "t.tpl"});
    const Json document = Json::parse(run.out);
    ASSERT_EQ(document["files"].size(), 2U);
    ASSERT_EQ(document["problems"].size(), 1U);
    const Json& page = document["files"][0];
    EXPECT_EQ(page["file"], "p\xEF\xBF\xBD.html");
    EXPECT_EQ(page["file_base64"], "cP8uaHRtbA==");
    EXPECT_FALSE(document["files"][1].contains("file_base64"));
    const Json& problem = document["problems"][0];
    EXPECT_EQ(problem["start_line"], "<!-- Trelvonix m\xEF\xBF\xBDnu -->");
    EXPECT_EQ(problem["start_line_base64"], "PCEtLSBUcmVsdm9uaXggbeludSAtLT4=");
    EXPECT_TRUE(problem.contains("message_base64"));
    EXPECT_FALSE(problem.contains("file_base64"));

    const std::pair<std::string, std::string> base64[] = {{"", ""},
                                                          {"f", "Zg=="},
                                                          {"fo", "Zm8="},
                                                          {"foo", "Zm9v"},
                                                          {"foob", "Zm9vYg=="},
                                                          {"fooba", "Zm9vYmE="},
                                                          {"foobar", "Zm9vYmFy"},
                                                          {std::string("\xff\xfe\0", 3), "//4A"}};
    for (const auto& [bytes, encoded] : base64) {
        EXPECT_EQ(quillstamper::cli::EncodeBase64(bytes), encoded);
    }
    const std::string r = "\xEF\xBF\xBD";
    const std::pair<std::string, std::string> utf8[] = {
        {"a\xc3\xa9\xf0\x9f\x98\x80", "a\xc3\xa9\xf0\x9f\x98\x80"}, // é and an emoji stay
        {"\xed\xa0\x80", r + r + r},                                // a surrogate
        {"\xc0\xaf", r + r},                                        // overlong
        {"\xf8\x90\x80\x80", r + r + r + r},                        // no such lead byte
        {"\xe2\x82z", r + r + "z"},                                 // cut short
    };
    for (const auto& [bytes, text] : utf8) {
        EXPECT_EQ(quillstamper::cli::ReplaceInvalidUtf8(bytes), text);
    }
}

// Whatever ends the command with status 2 still gives one document.
TEST(ReportFormatTest, ErrorsInJsonAreOneDocumentWithStatusTwo) {
    TempDir dir;
    PutSite(dir);
    WriteBytes(dir / "refused.trvx", "trelvonix quillstamper project\r\n");
    const std::pair<Args, std::string> cases[] = {
        {{"dynamize", "site/s.trvx", "--max-file-size", "20"}, "larger than the limit of 20 bytes"},
        {{"check", "--web", "site", "--template", "site/menu.tpl", "--max-file-size", "40"},
         "larger than the limit of 40 bytes (--max-file-size)"},
        {{"check", "refused.trvx"}, "refused.trvx: "},
        {{"dynamize", "--web", "nothing.html", "--template", "site"}, "nothing.html: no such file"},
        {{"check", "--web", "site/a.html"}, "You added 1 Web Files and 0 Template Files!\n\n"},
    };
    for (const auto& [args, cause] : cases) {
        Args jsonArgs = args;
        jsonArgs.insert(jsonArgs.end(), {"--format", "json"});
        const CliRun run = RunInProcess(dir.Path(), jsonArgs);
        SCOPED_TRACE(run.out);
        EXPECT_EQ(run.status, 2);
        EXPECT_EQ(run.err, "");
        const Json document = Json::parse(run.out);
        EXPECT_EQ(document["exit_status"], 2);
        EXPECT_EQ(document["command"], args[0]);
        ASSERT_EQ(document["errors"].size(), 1U);
        EXPECT_NE(document["errors"][0]["message"].get<std::string>().find(cause),
                  std::string::npos);
        EXPECT_EQ(document["summary"]["errors"], 1);
    }
}

// A fake clock: nothing before the delay, then at most one drawing per
// tenth of a second; long names are cut to fit, and the line is wiped.
TEST(ReportFormatTest, ProgressLineWaitsRedrawsSparinglyAndClears) {
    using namespace std::chrono;
    steady_clock::time_point now{};
    std::ostringstream terminal;
    quillstamper::cli::ProgressLine progress(terminal, 4, seconds(1), [&] { return now; });
    const std::string longName = std::string(40, 'a') + "/" + std::string(40, 'b') + ".html";
    const std::pair<int, std::string> steps[] = {
        {500, "a.html"}, {1000, "b.html"}, {1050, "c.html"}, {1200, longName}};
    std::size_t index = 0;
    for (const auto& [at, page] : steps) {
        now = steady_clock::time_point(milliseconds(at));
        progress.OnPassStarted(page, 1);
        progress.OnFileConverted(index++, page, {}, {}, quillstamper::FileOutcome::Unchanged);
    }
    progress.Clear();
    EXPECT_EQ(terminal.str(), "\r[1/4] b.html\x1b[K\r[3/4] aaaaaaaaaaaa\u2026a/" +
                                  std::string(40, 'b') + ".html\x1b[K\r\x1b[K");
}

// Through the commands: on a terminal, shown (with --diff still printed) and
// wiped before the output; never with --quiet, json, github or no terminal.
TEST(ReportFormatTest, ProgressOnlyOnATerminalForPeople) {
    TempDir dir;
    const struct {
        bool terminal;
        bool quiet;
        ReportFormat format;
        bool shown;
    } cases[] = {{true, false, ReportFormat::Text, true},
                 {false, false, ReportFormat::Text, false},
                 {true, true, ReportFormat::Text, false},
                 {true, false, ReportFormat::Json, false},
                 {true, false, ReportFormat::Github, false}};
    quillstamper::cli::SourceOptions sources;
    sources.webPaths = {"site/a.html", "site/b.html"};
    sources.templatePaths = {"site/menu.tpl"};
    sources.workingFolder = dir.Path();
    for (const auto& test : cases) {
        PutSite(dir);
        std::ostringstream out[2];
        std::ostringstream err[2];
        quillstamper::cli::DynamizeOptions dynamize;
        dynamize.dryRun = true;
        dynamize.diff = true;
        dynamize.quiet = test.quiet;
        dynamize.format = test.format;
        dynamize.progress = test.terminal;
        dynamize.progressDelay = {};
        quillstamper::cli::RunDynamize(sources, dynamize, out[0], err[0]);
        quillstamper::cli::CheckOptions check; // it has no --quiet
        check.format = test.format;
        check.progress = test.terminal;
        check.progressDelay = {};
        quillstamper::cli::RunCheck(sources, check, out[1], err[1]);
        const bool checkShown = test.terminal && test.format == ReportFormat::Text;
        for (const auto& [command, shown] : {std::pair{0, test.shown}, {1, checkShown}}) {
            SCOPED_TRACE(testing::Message() << command << ' ' << test.terminal << test.quiet
                                            << static_cast<int>(test.format));
            const std::string line = err[command].str();
            if (shown) {
                EXPECT_TRUE(line.starts_with("\r[0/2] site/a.html\x1b[K")) << line;
                EXPECT_TRUE(line.ends_with("\r\x1b[K")) << line;
            } else {
                EXPECT_EQ(line, "");
            }
        }
        EXPECT_NE(out[0].str().find("+new"), std::string::npos);
    }
}

} // namespace
