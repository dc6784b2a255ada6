// The text format of a report: which stream each line goes to, in which
// order, and what stands before it.

#include "cli/report_text.h"

#include <gtest/gtest.h>

#include <sstream>
#include <string>

namespace {

using namespace quillstamper::cli;
using Kind = ReportMessage::Kind;
using Outcome = ReportFile::Outcome;

// One of each: a page put back, updated in place with its diff, a recovery
// copy whose path needs quotes, hard links, a problem with its refused end
// line, a note, a link left out, a page changed meanwhile, a file error.
RunReport Everything(const std::string& command, int exitStatus) {
    RunReport report{.command = command, .baseFolder = "/w", .workingFolder = "/w"};
    report.files = {{"a.html", Outcome::Updated, true, true, "DIFF\n"},
                    {"b.html", Outcome::Unchanged}};
    report.problems = {
        {"end_missing", "/w/c.html", 2, "S", "End of template missing: S", 4, "E", "refused: E"}};
    report.notes = {{"no_template", "/w/b.html", 0, "", "in both lists"}};
    report.warnings = {{{}, "skipped x", {}, Kind::Listing},
                       {"/w/a.html", "kept in ", "/r/c\"opy", Kind::Interrupted},
                       {"/w/b.html", "has 2 hard links", {}, Kind::Page},
                       {{}, "no template file", {}, Kind::Lists}};
    report.errors = {{"/w/b.html", "changed", {}, Kind::Page},
                     {"/w/d.html", "cannot read", {}, Kind::Ending}};
    report.summary = "SUMMARY";
    report.exitStatus = exitStatus;
    return report;
}

TEST(ReportTextTest, EachLineHasItsStreamAndPlace) {
    const std::string files = "updated a.html (in place: its folder takes no new file)\nDIFF\n";
    const std::string kept = "a.html: kept in \"/r/c\\\"opy\"\n";
    const std::string problem = "c.html:2: End of template missing: S\nc.html:4: refused: E\n";
    const std::string errors = "b.html: changed\nquillstamper-cli: d.html: cannot read\n";
    const struct {
        std::string command;
        bool quiet;
        int exitStatus;
        std::string out;
        std::string err;
    } cases[] = {
        {"dynamize", false, 3, "restored a.html from an interrupted run\n" + files + "SUMMARY\n",
         kept + "b.html: has 2 hard links\n" + problem + errors},
        // Quiet keeps the diffs and an interruption.
        {"dynamize", true, 130, "restored a.html from an interrupted run\nDIFF\n",
         kept + "b.html: has 2 hard links\n" + problem + errors + "SUMMARY\n"},
        // What the check found speaks for itself: no summary.
        {"check", false, 1, problem + "b.html: in both lists\n" + kept + "no template file\n",
         errors},
    };
    for (const auto& test : cases) {
        SCOPED_TRACE(test.command + (test.quiet ? " quiet" : ""));
        std::ostringstream out, err;
        PrintTextReport(Everything(test.command, test.exitStatus), test.quiet, out, err);
        EXPECT_EQ(out.str(), test.out);
        EXPECT_EQ(err.str(), test.err);
    }
    std::ostringstream listing;
    PrintListingText(Everything("check", 0).warnings, "/w", listing);
    EXPECT_EQ(listing.str(), "skipped x\n");
}

} // namespace
