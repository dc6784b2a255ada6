// dynamize and check for programs: the JSON document holds what the text
// says, item by item; the GitHub lines are exact; names that are not UTF-8
// come back byte for byte; the progress line shows only on a terminal.

#include "base/quote_path.h"
#include "base/utf8.h"
#include "cli/cli_commands.h"
#include "cli/command_line.h"
#include "cli/progress_line.h"
#include "cli/report_github.h"
#include "cli/report_json.h"
#include "cli/report_text.h"
#include "conversion/line_model.h"
#include "files/recovery_store.h"
#include "in_process_cli.h"
#include "support/cli_process.h"
#include "support/markers.h"
#include "support/test_files.h"

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include <algorithm>
#include <cctype>
#include <chrono>
#include <cstdlib>
#include <optional>
#include <regex>
#include <set>
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

// The report a JSON document holds, as far as the text format prints it;
// files keep the names the document gives them.
quillstamper::cli::RunReport ReportOf(const Json& document, const std::string& workingFolder) {
    using namespace quillstamper::cli;
    RunReport report{.command = document["command"], .workingFolder = workingFolder};
    const std::pair<std::string, ReportFile::Outcome> outcomes[] = {
        {"updated", ReportFile::Outcome::Updated},
        {"would_update", ReportFile::Outcome::WouldUpdate},
        {"unchanged", ReportFile::Outcome::Unchanged},
        {"changed_while_converting", ReportFile::Outcome::ChangedWhileConverting},
        {"not_converted", ReportFile::Outcome::NotConverted},
        {"checked", ReportFile::Outcome::Checked}};
    for (const Json& file : document["files"]) {
        const auto outcome =
            std::find_if(std::begin(outcomes), std::end(outcomes),
                         [&](const auto& word) { return word.first == file["outcome"]; });
        EXPECT_NE(outcome, std::end(outcomes)) << file;
        report.files.push_back({file["file"], outcome->second, file.value("in_place", false),
                                file.value("restored", false), file.value("diff", "")});
    }
    const auto linesOf = [](const Json& items) {
        std::vector<ReportLine> lines;
        for (const Json& item : items) {
            lines.push_back({item["kind"], item["file"], item["line"], item["start_line"],
                             item["message"], item.value("refused_line", std::size_t{0}),
                             item.value("refused_text", ""), item.value("refused_message", "")});
        }
        return lines;
    };
    report.problems = linesOf(document["problems"]);
    report.notes = linesOf(document["notes"]);
    // Warnings and errors would need the text format's placement, which the
    // document does not give; the sites compared here have none.
    EXPECT_TRUE(document["warnings"].empty());
    EXPECT_TRUE(document["errors"].empty());
    const Json& summary = document["summary"];
    EXPECT_EQ(summary["problems"], document["problems"].size());
    EXPECT_EQ(summary["notes"], document["notes"].size());
    report.summary = summary.value("message", "");
    report.exitStatus = document["exit_status"];
    return report;
}

// What the text format prints of the report that the JSON document holds.
CliRun TextOf(const Json& document, const std::string& workingFolder) {
    std::ostringstream out, err;
    const quillstamper::cli::RunReport report = ReportOf(document, workingFolder);
    quillstamper::cli::PrintTextReport(report, false, out, err);
    return {report.exitStatus, out.str(), err.str()};
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
                        {"file", "site/x,y.html"},
                        {"line", 2},
                        {"start_line", kMenu},
                        {"message", "End of template missing: " + kMenu}}));
        ASSERT_EQ(document["notes"].size(), 1U);
        EXPECT_EQ(document["notes"][0]["kind"], "no_template");
        EXPECT_EQ(document["notes"][0]["start_line"], kPercent);
        EXPECT_EQ(document["exit_status"], test.status);

        const CliRun rendered = TextOf(document, dir.Path());
        EXPECT_EQ(rendered.out, text.out);
        EXPECT_EQ(rendered.err, text.err);
        EXPECT_EQ(rendered.status, text.status);
    }
}

// The output with its stop-commands token, which differs from run to run,
// written TOKEN.
std::string WithToken(std::string output) {
    const std::string opening = "::stop-commands::";
    const std::size_t at = output.find(opening);
    if (at == std::string::npos) {
        return output;
    }
    const std::size_t start = at + opening.size();
    const std::string token = output.substr(start, output.find('\n', start) - start);
    EXPECT_TRUE(std::regex_match(token, std::regex("[0-9a-z]{24}"))) << token;
    for (std::size_t found = 0; (found = output.find(token, found)) != std::string::npos;) {
        output.replace(found, token.size(), "TOKEN");
    }
    return output;
}

// The same site in workflow commands, named from the folder the job runs in;
// ':' and ',' are escaped in file=, '%' everywhere. The other lines follow in
// one stop-commands section.
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
    EXPECT_EQ(WithToken(run.out),
              "::error file=site/a.html::would update: run quillstamper-cli dynamize\n" +
                  menuMissing + kMenu + '\n' + note +
                  "::stop-commands::TOKEN\nConversion done! 1 would be updated, 2 unchanged. 1 "
                  "note: see quillstamper-cli check\n::TOKEN::\n");
    run = RunInProcess(dir.Path(), {"check", "site/s.trvx", "--format", "github"});
    EXPECT_EQ(run.status, 1);
    EXPECT_EQ(WithToken(run.out), menuMissing + kMenu + '\n' + note +
                                      "::stop-commands::TOKEN\nCheck done! 1 problem, 1 "
                                      "note.\n::TOKEN::\n");

    // Outside the working folder: absolute. Quiet drops the plain lines, and the section.
    WriteBytes(dir / "elsewhere/.keep", "");
    run = RunInProcess(dir / "elsewhere",
                       {"dynamize", "../site/s.trvx", "--quiet", "--format", "github"});
    // A drive's colon is escaped as a property's.
    const std::string escaped = std::regex_replace(dir.Path(), std::regex(":"), "%3A");
    EXPECT_EQ(run.out, "::error file=" + escaped + "/site/x%2Cy.html" +
                           ",line=2::End of template missing: " + kMenu +
                           "\n::warning file=" + escaped + "/site/b.html" +
                           ",line=5::no template holds this block: <!-- Trelvonix 100%25 -->\n");
    PutSite(dir);
    run = RunInProcess(dir.Path(), {"dynamize", "site/s.trvx", "--diff", "--format", "github"});
    EXPECT_TRUE(WithToken(run.out).ends_with(
        "::stop-commands::TOKEN\nupdated site/a.html\n--- a.html\n+++ a.html\n@@ -1,4 +1,4 @@\n" +
        Lines({" top", " " + kMenu, "-old", "+new", " " + kMenuEnd}) +
        "Conversion done! 1 updated, 2 unchanged. 1 note: see quillstamper-cli check\n::TOKEN::\n"))
        << run.out;

    // No web file is an error; no template file a warning, a finding with --strict.
    WriteBytes(dir / "empty.trvx",
               Lines({"Trelvonix Quillstamper Project", std::string(30, '='), "", "[EOL]", "[EOL]",
                      "", "", "", "", "", "", "", "", "[EOL]"}));
    run = RunInProcess(dir.Path(), {"check", "empty.trvx", "--format", "github"});
    EXPECT_EQ(run.status, 2);
    EXPECT_EQ(run.out, "::error::no web files to check\n");
    WriteBytes(dir / "pages.trvx",
               Lines({"Trelvonix Quillstamper Project", std::string(30, '='), "", "site/a.html",
                      "[EOL]", "[EOL]", "", "", "", "", "", "", "", "", "[EOL]"}));
    for (const auto& [strict, status] : {std::pair{false, 0}, {true, 1}}) {
        Args args = {"check", "pages.trvx", "--format", "github"};
        if (strict) {
            args.push_back("--strict");
        }
        run = RunInProcess(dir.Path(), args);
        EXPECT_EQ(run.status, status);
        EXPECT_EQ(WithToken(run.out),
                  "::warning::no template file is listed: only the web files were "
                  "checked\n::stop-commands::TOKEN\n" +
                      std::string(strict ? "1 note; --strict makes it count"
                                         : "No errors found in files, file checking done!") +
                      "\n::TOKEN::\n");
    }

    EXPECT_EQ(quillstamper::cli::EscapeGithubProperty("a:b,c%d\r\ne"), "a%3Ab%2Cc%25d%0D%0Ae");
    EXPECT_EQ(quillstamper::cli::EscapeGithubMessage("a:b,c%d\r\ne"), "a:b,c%25d%0D%0Ae");
}

// How the Actions runner reads a step's output, line by line (split at CR,
// LF or CR LF): first as "::NAME PROPERTIES::DATA" after leading blanks, then
// as "##[NAME PROPERTIES]DATA" anywhere in the line; either counts only for a
// registered NAME, compared without case. "stop-commands" with data TOKEN
// registers TOKEN and executes nothing until a line of either form names it,
// in any case and with anything after it.
class RunnerModel {
public:
    explicit RunnerModel(std::string_view output) {
        for (std::size_t start = 0; start < output.size();) {
            const std::size_t end = std::min(output.find_first_of("\r\n", start), output.size());
            Read(output.substr(start, end - start));
            start = end + (output.substr(end, 2) == "\r\n" ? 2 : 1);
        }
    }

    // The lines whose command ran.
    std::vector<std::string> executed;

private:
    static std::string Lower(std::string_view text) {
        std::string lower(text);
        for (char& c : lower) {
            c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
        }
        return lower;
    }

    // The name and data of a command, if the line is one.
    std::optional<std::pair<std::string, std::string>> Parse(std::string_view line) const {
        const std::size_t blank = std::min(line.find_first_not_of(" \t"), line.size());
        const std::string_view trimmed = line.substr(blank);
        if (trimmed.starts_with("::")) {
            const std::size_t end = trimmed.find("::", 2);
            if (end != std::string_view::npos) {
                const std::string_view info = trimmed.substr(2, end - 2);
                const std::string name = Lower(info.substr(0, info.find(' ')));
                if (m_registered.contains(name)) {
                    return std::pair{name, std::string(trimmed.substr(end + 2))};
                }
            }
        }
        const std::size_t prefix = line.find("##[");
        const std::size_t close = line.find(']', prefix);
        if (prefix == std::string_view::npos || close == std::string_view::npos) {
            return std::nullopt;
        }
        const std::string_view info = line.substr(prefix + 3, close - prefix - 3);
        const std::string name = Lower(info.substr(0, info.find(' ')));
        if (!m_registered.contains(name)) {
            return std::nullopt;
        }
        return std::pair{name, std::string(line.substr(close + 1))};
    }

    void Read(std::string_view line) {
        const auto command = Parse(line);
        if (!command) {
            return;
        }
        const auto& [name, data] = *command;
        if (!m_token.empty()) {
            if (name == m_token) {
                m_registered.erase(m_token);
                m_token.clear();
            }
        } else if (name == "stop-commands") {
            m_token = Lower(data);
            m_registered.insert(m_token);
        } else {
            executed.emplace_back(line);
        }
    }

    std::set<std::string> m_registered = {
        "error",      "warning", "notice",      "debug",          "add-mask",
        "set-output", "set-env", "add-path",    "save-state",     "group",
        "endgroup",   "echo",    "add-matcher", "remove-matcher", "stop-commands"};
    std::string m_token; // while commands stop
};

// The model runs what the runner would run, and resumes as it would.
TEST(ReportFormatTest, RunnerModelObeysAsTheRunnerDoes) {
    const std::pair<std::string, std::vector<std::string>> cases[] = {
        {"::add-mask::x\n  ::error file=a,line=1::y\nsee ##[add-mask]z\n::unknown::##[error]w\n",
         {"::add-mask::x", "  ::error file=a,line=1::y", "see ##[add-mask]z",
          "::unknown::##[error]w"}},
        {"::stop-commands::Tok1\n::add-mask::x\n::TOK1:: and more\n::add-mask::y\n",
         {"::add-mask::y"}},
        {"::stop-commands::tok1\rsee ##[tOk1 a=b]c\r::error::z", {"::error::z"}},
        {"::stop-commands::tok1\r\n::Tok1 x=1::\r\n##[warning]z", {"##[warning]z"}},
        {"::stop-commands::tok1\n::tok2::\n##[error]x\n::debug::y\n", {}},
    };
    for (const auto& [output, executed] : cases) {
        EXPECT_EQ(RunnerModel(output).executed, executed) << output;
    }
}

// What a page's lines, and names, try: executed only in the program's own
// annotations, which run as they are.
const char* const kTries[] = {"::add-mask::secret",       "::error::page",
                              "  ::warning file=x::page", "text ##[add-mask]secret",
                              "::set-output name=a::b",   "##[endgroup]",
                              "::stop-commands::other",   "::other::"};

// The lines of output that start with "::error" or "::warning".
std::vector<std::string> AnnotationsOf(std::string_view output) {
    std::vector<std::string> lines;
    for (const std::string_view line : quillstamper::SplitLines(output)) {
        if (line.starts_with("::error") || line.starts_with("::warning")) {
            lines.emplace_back(line);
        }
    }
    return lines;
}

// A report whose names, lines and diff try workflow commands: only its own
// annotations run. A token that the section holds in another case is drawn
// again; every annotation is valid UTF-8.
TEST(ReportFormatTest, GithubReportRunsOnlyItsOwnAnnotations) {
    using namespace quillstamper::cli;
    const std::string first = "Bcdefghj0123456789KLmnop"; // the diff holds it in lower case
    std::string diff = "--- p.html\n+++ p.html\n@@ -1 +1 @@\n-old\n"
                       "+::bcdefghj0123456789klmnop::\n+##[BCDEFGHJ0123456789KLMNOP]\n";
    for (const char* tryIt : kTries) {
        diff += std::string("+") + tryIt + "\r" + tryIt + "\n";
    }
    RunReport report{.command = "dynamize", .workingFolder = "/w"};
    report.files = {{"##[error]x.html", ReportFile::Outcome::Updated},
                    {"::add-mask::y.html", ReportFile::Outcome::WouldUpdate, false, true, diff}};
    report.problems = {{"end_missing", "p##[add-mask]q,:\xff.html", 3, "::add-mask::m",
                        "End of template missing: ::add-mask::m ##[error]e\n::add-mask::n"}};
    report.notes = {{"no_template", "::error::n.html", 4, "x", "no template holds ##[error]z"}};
    report.warnings = {{"", "skipped \"##[add-mask]w\": link to outside the folder"}};
    report.errors = {{"e.html", "cannot read\r::add-mask::e"}};
    report.summary = "Conversion done! ##[add-mask]s";
    std::vector<std::string> drawn;
    std::ostringstream out;
    PrintGithubReport(report, false, out, [&] {
        drawn.push_back(drawn.empty() ? first : "second0123456789token");
        return drawn.back();
    });
    const std::string output = out.str();
    EXPECT_EQ(drawn.size(), 2U);
    EXPECT_NE(output.find("::stop-commands::second0123456789token\n"), std::string::npos);
    const std::vector<std::string> annotations = AnnotationsOf(output);
    EXPECT_EQ(annotations.size(), 4U) << output;
    EXPECT_EQ(RunnerModel(output).executed, annotations) << output;
    for (const std::string& line : annotations) {
        EXPECT_TRUE(quillstamper::IsValidUtf8(line)) << line;
    }
    EXPECT_EQ(annotations[0], "::error file=p##[add-mask]q%2C%3A\xEF\xBF\xBD.html,line=3::End of "
                              "template missing: ::add-mask::m ##[error]e%0A::add-mask::n");
}

// The same through the command line, on pages whose names and lines try
// commands, with the system's tokens: 24 letters and digits, new each run.
TEST(ReportFormatTest, GithubFormatOfPagesThatTryCommandsRunsOnlyAnnotations) {
    SKIP_ON_WINDOWS("':' names no file there");
    TempDir dir;
    std::vector<std::string> lines = {"top", kMenu, "old", kMenuEnd};
    lines.insert(lines.end(), std::begin(kTries), std::end(kTries));
    const std::string page = Lines(lines, "\n");
    const std::string menu = Lines({kMenu, "new", kMenuEnd, "<!-- Trelvonix ##[add-mask]t -->"});
    std::set<std::string> tokens;
    for (const Args& flags : {Args{"--diff"}, Args{"--check", "--diff"}, Args{"--dry-run"}}) {
        for (const char* name : {"##[error]x.html", "::add-mask::y.html", "a.html"}) {
            WriteBytes(dir / name, page);
        }
        WriteBytes(dir / "menu.tpl", menu);
        Args args = {"dynamize", "--web", ".", "--template", "menu.tpl", "--format", "github"};
        args.insert(args.end(), flags.begin(), flags.end());
        const CliRun run = RunInProcess(dir.Path(), args);
        SCOPED_TRACE(run.out);
        const std::vector<std::string> annotations = AnnotationsOf(run.out);
        EXPECT_EQ(annotations.size(), flags[0] == "--check" ? 4U : 1U);
        EXPECT_EQ(RunnerModel(run.out).executed, annotations);
        const std::smatch token = [&] {
            std::smatch match;
            std::regex_search(run.out, match, std::regex("::stop-commands::([0-9a-z]{24})\n"));
            return match;
        }();
        ASSERT_FALSE(token.empty());
        tokens.insert(token[1]);
    }
    EXPECT_EQ(tokens.size(), 3U);
}

// A page edited since a run was killed while writing it in place: every
// command and format names it and the copy that keeps its old content; the
// check counts it as a finding; dynamize converts the page as edited.
TEST(ReportFormatTest, PageEditedSinceAnInterruptedRunIsNamedInEveryFormat) {
    TempDir dir, cache;
    const ScopedEnvironment cacheFolder(CacheFolderVariable(), cache.Path());
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
}

// Bytes that are not UTF-8 in a name or a line: U+FFFD for each in the text,
// the exact bytes in base64 beside it; valid texts have no such sibling.
TEST(ReportFormatTest, NamesThatAreNotUtf8ComeBackInBase64) {
    SKIP_ON_WINDOWS("names are UTF-16 there: bytes that are no UTF-8 name no file");
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
    WriteBytes(dir / "empty/.hidden", "");
    WriteBytes(
        dir / "no-pages.trvx",
        Lines({"Trelvonix Quillstamper Project", std::string(30, '='), "", "[EOL]", "site/menu.tpl",
               "[EOL]", "<!-- Trelvonix ", " end -->", "", "", "", "", "", "", "[EOL]"}));
    const std::pair<Args, std::string> cases[] = {
        {{"dynamize", "site/s.trvx", "--max-file-size", "20"}, "larger than the limit of 20 bytes"},
        {{"check", "--web", "site", "--template", "site/menu.tpl", "--max-file-size", "40"},
         "larger than the limit of 40 bytes (--max-file-size)"},
        {{"check", "refused.trvx"}, "refused.trvx: "},
        {{"dynamize", "--web", "nothing.html", "--template", "site"}, "nothing.html: no such file"},
        {{"check", "--web", "site/a.html"}, "You added 1 Web File and 0 Template Files!\n\n"},
        {{"check", "site/no.trvx"}, "site/no.trvx: no such file or folder"},
        {{"check", "--web", "site", "--template", "empty"}, "empty: no file below this folder"},
        {{"check", "no-pages.trvx"}, "no web files to check"},
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
