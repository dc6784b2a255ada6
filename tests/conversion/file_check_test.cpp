#include "conversion/file_check.h"

#include "base/file_error.h"
#include "support/test_files.h"

#include <gtest/gtest.h>

#include <tuple>

namespace quillstamper {
namespace {

using test::WriteBytes;
using Report = std::tuple<std::string, std::size_t, std::string>;
using Reports = std::vector<Report>;

const std::string kHtmlStart = "<!-- Trelvonix menu -->";
const std::string kHtmlEnd = "<!-- Trelvonix menu end -->";
const std::string kHashStart = "# Trelvonix menu";

Reports Check(const FileList& web, const FileList& templates,
              const IdentifierTable& ids = DefaultIdentifiers(), const std::string& base = {}) {
    Reports reports;
    for (const UnclosedBlock& report : CheckFiles(web, templates, ids, base)) {
        reports.emplace_back(report.file, report.line, report.startLine);
    }
    return reports;
}

TEST(FileCheckTest, ReportsStartLinesWithoutExpectedEnd) {
    const test::TempDir dir;
    const std::string web = dir / "web.html", tpl = dir / "menu.txt", other = dir / "b.html";
    WriteBytes(web, "<html>\r\n" + kHtmlStart + "\r\nold\r\n");
    WriteBytes(tpl, "x\n" + kHtmlEnd + " \n");
    const timespec before = test::ModificationTime(web);
    EXPECT_EQ(Check({}, {}), Reports{});
    EXPECT_EQ(Check({web}, {tpl}), (Reports{{web, 2, kHtmlStart}}));
    // The check writes nothing.
    EXPECT_EQ(test::ModificationTime(web).tv_nsec, before.tv_nsec);
    EXPECT_EQ(test::ListFolder(dir.Path()), (std::vector<std::string>{"menu.txt", "web.html"}));
    EXPECT_THROW(Check({web}, {dir / "missing.txt"}), FileError);
    EXPECT_EQ(FormatCheckReport(kHtmlStart), "End of template missing:\n\n" + kHtmlStart);
    // The end may stand in any listed file, before the start as well.
    WriteBytes(tpl, kHtmlEnd + "\n");
    EXPECT_EQ(Check({web}, {tpl}), Reports{});
    WriteBytes(other, kHtmlEnd + "\r\n" + kHtmlStart);
    EXPECT_EQ(Check({other}, {}), Reports{});
    // Every occurrence counts: web files first, then templates, lines in order.
    WriteBytes(other, kHtmlStart + "\n# Trelvonix a -->\n// Trelvonix b -->\n");
    EXPECT_EQ(Check({"web.html"}, {"b.html"}, DefaultIdentifiers(), dir.Path()),
              (Reports{{"web.html", 2, kHtmlStart},
                       {"b.html", 1, kHtmlStart},
                       {"b.html", 2, "# Trelvonix a -->"},
                       {"b.html", 3, "// Trelvonix b -->"}}));
}

// Read on several threads, more files than a round: the same reports in
// list order, and the first unreadable file in the list is the one named.
TEST(FileCheckTest, SeveralThreadsReportInListOrder) {
    const test::TempDir dir;
    FileList web;
    Reports expected;
    for (int i = 0; i < 150; ++i) {
        const std::string name = "p" + std::to_string(i) + ".html";
        const std::string start = "<!-- Trelvonix b" + std::to_string(i % 9) + " -->";
        WriteBytes(dir / name, "x\n" + start + "\n" + (i % 9 == 4 ? "" : start + "\n"));
        web.push_back(name);
        for (int line = 2; line <= (i % 9 == 4 ? 2 : 3); ++line)
            expected.emplace_back(name, line, start);
    }
    for (const unsigned threads : {1u, 3u}) {
        Reports got;
        for (const UnclosedBlock& report :
             CheckFiles(web, {}, DefaultIdentifiers(), dir.Path(), kDefaultMaxFileBytes, threads))
            got.emplace_back(report.file, report.line, report.startLine);
        EXPECT_EQ(got, expected) << threads;
        FileList broken = web;
        broken[120] = "missing-late.html";
        broken[70] = "missing-early.html";
        try {
            CheckFiles(broken, {}, DefaultIdentifiers(), dir.Path(), kDefaultMaxFileBytes, threads);
            ADD_FAILURE() << "no error";
        } catch (const FileError& error) {
            EXPECT_NE(error.File().find("missing-early.html"), std::string::npos) << threads;
        }
    }
}

TEST(FileCheckTest, EveryEndIdentifierAndPairCounts) {
    const test::TempDir dir;
    const std::string web = dir / "web.html";
    WriteBytes(web, kHashStart + "\n");
    // Pair 4's empty end identifier makes such a start line its own end.
    EXPECT_EQ(Check({web}, {}), Reports{});
    IdentifierTable ids = DefaultIdentifiers();
    ids[6] = "%% ";
    ids[7] = " stop";
    EXPECT_EQ(Check({web}, {}, ids), (Reports{{web, 1, kHashStart}}));
    WriteBytes(web, kHashStart + " end -->\n" + kHashStart + "\n");
    EXPECT_EQ(Check({web}, {}, ids), Reports{});
    // An empty start identifier still makes start lines; two matching starts double again.
    WriteBytes(web, kHtmlStart + "\n");
    ids[6] = "";
    EXPECT_EQ(Check({web}, {}, ids), Reports(2, {web, 1, kHtmlStart}));
    ids[6] = "<!-- ";
    EXPECT_EQ(Check({web}, {}, ids), Reports(4, {web, 1, kHtmlStart}));
}

} // namespace
} // namespace quillstamper
