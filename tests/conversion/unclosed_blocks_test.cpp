// Blocks whose end line is missing, or closed by another block's end line,
// keep every line of the page; what Dynamize would not change is noted.

#include "conversion/block_notes.h"
#include "conversion/conversion_run.h"
#include "conversion/file_check.h"
#include "support/test_files.h"

#include <gtest/gtest.h>

namespace quillstamper::test {
namespace {

using Strings = std::vector<std::string>;

std::string Text(const Strings& lines) {
    std::string bytes;
    for (const std::string& line : lines)
        bytes += line + "\r\n";
    return bytes;
}

Strings Split(const std::string& bytes) {
    Strings lines;
    for (const std::string_view line : SplitLines(bytes))
        lines.emplace_back(line);
    return lines;
}

// "a.htm:3 <line>" per problem, "a.htm:3: no template holds ..." per note.
Strings Problems(const ConversionResult& result) {
    Strings rows;
    for (const UnclosedBlock& p : result.problems)
        rows.push_back(p.file + ":" + std::to_string(p.line) + " " + p.startLine +
                       (p.refusedLine == 0
                            ? ""
                            : " | refused " + std::to_string(p.refusedLine) + " " + p.refusedText));
    return rows;
}

Strings Notes(const std::vector<ConversionNote>& notes) {
    Strings rows;
    for (const ConversionNote& note : notes)
        rows.push_back(FormatNote(note));
    return rows;
}

const std::string kNav = "<!-- Trelvonix nav -->";
const std::string kNavEnd = "<!-- Trelvonix nav end -->";
const std::string kFoot = "<!-- Trelvonix foot -->";
const std::string kFootEnd = "<!-- Trelvonix foot end -->";
const std::string kConfig = "// Trelvonix config";
const std::string kConfigEnd = "// Trelvonix config end -->";

struct Case {
    const char* name;
    Strings templateLines;
    Strings page;
    Strings expected; // the page after Dynamize
    Strings problems;
    IdentifierTable ids = DefaultIdentifiers();
    EndLines endLines = EndLines::Own;
};

TEST(UnclosedBlockTest, PageKeepsEveryLineAndOnlyClosedBlocksAreFilled) {
    const Strings navTemplate{kNav,     "NAV",   kNavEnd, kFoot,     "FOOT",
                              kFootEnd, kConfig, "CFG",   kConfigEnd};
    IdentifierTable distinct = DefaultIdentifiers();
    distinct[3] = " end2 -->";
    const Case cases[] = {
        {"end line deleted, a later block of the same pair",
         navTemplate,
         {kNav, "old menu", "<main>", "text", "</main>", kFoot, "old foot", kFootEnd},
         {kNav, "old menu", "<main>", "text", "</main>", kFoot, "FOOT", kFootEnd},
         {"a.htm:1 " + kNav}},
        {"end line of another pair's block in between",
         navTemplate,
         {"<!-- Trelvonix header -->", kNav, "x", kNavEnd, "page text", kConfig, "old", kConfigEnd},
         {"<!-- Trelvonix header -->", kNav, "NAV", kNavEnd, "page text", kConfig, "CFG",
          kConfigEnd},
         {}},
        {"header matched, closed only by another pair's end line",
         {"<!-- Trelvonix header -->", "H", "<!-- Trelvonix header end -->", kConfig, "CFG",
          kConfigEnd},
         {"<!-- Trelvonix header -->", "page text", kConfig, "old", kConfigEnd},
         {"<!-- Trelvonix header -->", "page text", kConfig, "CFG", kConfigEnd},
         {"a.htm:1 <!-- Trelvonix header -->"}},
        {"no end line at all: every matched start line is reported",
         navTemplate,
         {kNav, "a", kFoot, "b"},
         {kNav, "a", kFoot, "b"},
         {"a.htm:1 " + kNav, "a.htm:3 " + kFoot}},
        {"template block holding a start line of its own pair is not used; the inner one is",
         {kNav, kFoot, "F", kFootEnd},
         {kNav, "n", kNavEnd, kFoot, "f", kFootEnd},
         {kNav, "n", kNavEnd, kFoot, "F", kFootEnd},
         {"t.htm:1 " + kNav}},
        {"a pair 1 block whose template content holds a pair 2 block is filled by both passes",
         {kNav, "# Trelvonix inner", "# Trelvonix inner end2 -->", kNavEnd, "# Trelvonix inner",
          "IN", "# Trelvonix inner end2 -->"},
         {kNav, kNavEnd},
         {kNav, "# Trelvonix inner", "IN", "# Trelvonix inner end2 -->", kNavEnd},
         {},
         distinct},
        {"an ordinary comment that ends like an end line closes nothing",
         navTemplate,
         {kNav, "<nav>old menu</nav>", "<div id=\"main\">", "<p>Precious text</p>",
          "</div><!-- main end -->"},
         {kNav, "<nav>old menu</nav>", "<div id=\"main\">", "<p>Precious text</p>",
          "</div><!-- main end -->"},
         {"a.htm:1 " + kNav + " | refused 5 </div><!-- main end -->"}},
        {"... unless any end line may close a block",
         navTemplate,
         {kNav, "old", "<!-- main end -->", "text"},
         {kNav, "NAV", "<!-- main end -->", "text"},
         {},
         DefaultIdentifiers(),
         EndLines::Any},
        {"two damaged lines: another block's end line closes nothing",
         navTemplate,
         {kNav, "old menu", "<p>text</p>", "  " + kFoot, "old foot", kFootEnd, "after"},
         {kNav, "old menu", "<p>text</p>", "  " + kFoot, "old foot", kFootEnd, "after"},
         {"a.htm:1 " + kNav + " | refused 6 " + kFootEnd}},
        {"indented, generic and customary end lines close their block",
         navTemplate,
         {kNav, "a", "\t " + kNavEnd, kFoot, "b", "<!-- Trelvonix end -->", kConfig, "c",
          "// Trelvonix  end -->"},
         {kNav, "NAV", "\t " + kNavEnd, kFoot, "FOOT", "<!-- Trelvonix end -->", kConfig, "CFG",
          "// Trelvonix  end -->"},
         {}},
        {"in a template, another block's end line does not merge it into this one",
         {kNav, "NAV", "<p>between</p>", "FOOT", kFootEnd},
         {kNav, "n", kNavEnd, kFoot, "f", kFootEnd},
         {kNav, "n", kNavEnd, kFoot, "f", kFootEnd},
         {"t.htm:1 " + kNav + " | refused 5 " + kFootEnd}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const TempDir dir;
        WriteBytes(dir / "t.htm", Text(c.templateLines));
        WriteBytes(dir / "a.htm", Text(c.page));
        const SiteDefinition site{{"a.htm"}, {"t.htm"}, c.ids, {LineEnds::CrLf, c.endLines}};
        const ConversionResult result = RunConversion(ConversionRequest{site, dir.Path()});
        ASSERT_FALSE(result.error);
        EXPECT_EQ(Split(ReadBytes(dir / "a.htm")), c.expected);
        EXPECT_EQ(Problems(result), c.problems);
        // A second run changes nothing more.
        const ConversionResult again = RunConversion(ConversionRequest{site, dir.Path()});
        EXPECT_EQ(Split(ReadBytes(dir / "a.htm")), c.expected);
        EXPECT_EQ(again.CountUpdated(), 0u);
    }
}

TEST(MarkerNotesTest, IndentedMarkersAndEndLinesThatCloseNoBlock) {
    const Strings lines{
        "  " + kNav,             // 1 indented start
        "\t" + kNavEnd,          // 2 indented end, and it closes nothing either: one note
        kFoot,                   // 3
        "# Trelvonix x",         // 4
        "# Trelvonix x end -->", // 5 closes foot (shared end identifier) and x
        kFootEnd,                // 6 so this one closes nothing
        kNavEnd,                 // 7 start line deleted
        " plain text",           // 8
        "stray end -->",         // 9 an end line, but not in the customary form
    };
    std::string bytes = Text(lines);
    EXPECT_EQ(Notes(FindMarkerNotes("p.htm", SplitLines(bytes), DefaultIdentifiers())),
              (Strings{"p.htm:1: indented marker is no marker:   " + kNav,
                       // A tab would not show: the line is quoted.
                       "p.htm:2: indented marker is no marker: \"\\t" + kNavEnd + "\"",
                       "p.htm:6: end line without a start line: " + kFootEnd,
                       "p.htm:7: end line without a start line: " + kNavEnd}));
    // With an end identifier of its own, the hash block nests and all is well.
    IdentifierTable distinct = DefaultIdentifiers();
    distinct[3] = " end2 -->";
    bytes = Text({kFoot, "# Trelvonix x", "# Trelvonix x end2 -->", kFootEnd});
    EXPECT_EQ(Notes(FindMarkerNotes("p.htm", SplitLines(bytes), distinct)), Strings{});
}

TEST(MarkerNotesTest, RunNotesBlocksNoTemplateFillsAndTemplatesNoPageUses) {
    const TempDir dir;
    WriteBytes(dir / "t.htm", Text({kNav, "NAV", kNavEnd, kFoot, "F", kFootEnd}));
    WriteBytes(dir / "a.htm", Text({"<!-- Trelvonix Nav -->", "old", "<!-- Trelvonix Nav end -->",
                                    "  " + kNav, kNavEnd}));
    WriteBytes(dir / "b.htm", Text({kNav, "x", kNavEnd}));
    // A page listed twice has its notes once; web files come before templates.
    const ConversionResult result = RunConversion(ConversionRequest{
        {{"a.htm", "b.htm", "a.htm"}, {"t.htm"}, DefaultIdentifiers()}, dir.Path()});
    ASSERT_FALSE(result.error);
    EXPECT_EQ(Notes(result.notes),
              (Strings{"a.htm:1: no template holds this block: <!-- Trelvonix Nav -->",
                       "a.htm:4: indented marker is no marker:   " + kNav,
                       "a.htm:5: end line without a start line: " + kNavEnd,
                       "t.htm:4: no web file uses this block: " + kFoot}));
    EXPECT_TRUE(result.problems.empty());
}

TEST(CheckFilesAndBlocksTest, ReportsWhatDynamizeWouldLeaveAloneOnceAndItsNotes) {
    const TempDir dir;
    // The template holds the nav end line, so the plain check is satisfied.
    WriteBytes(dir / "t.htm", Text({kNav, "NAV", kNavEnd, kFoot, "F", kFootEnd}));
    WriteBytes(dir / "a.htm",
               Text({kNav, "old", "<main>", kFoot, "f", kFootEnd, "<!-- Trelvonix gone -->"}));
    const FileCheckResult result = CheckFilesAndBlocks({{"a.htm", "a.htm"}, {"t.htm"}}, dir.Path());
    Strings reports;
    for (const UnclosedBlock& r : result.reports)
        reports.push_back(r.file + ":" + std::to_string(r.line) + " " + r.startLine);
    // The gone block is reported by the plain check for each listing; the
    // nav block, which only Dynamize finds unclosed, once.
    EXPECT_EQ(reports, (Strings{"a.htm:7 <!-- Trelvonix gone -->",
                                "a.htm:7 <!-- Trelvonix gone -->", "a.htm:1 " + kNav}));
    EXPECT_EQ(Notes(result.notes),
              Strings{"a.htm:7: no template holds this block: <!-- Trelvonix gone -->"});
    EXPECT_EQ(ReadBytes(dir / "a.htm"),
              Text({kNav, "old", "<main>", kFoot, "f", kFootEnd, "<!-- Trelvonix gone -->"}));
    // Either list empty: Dynamize would do nothing, so there is nothing to add.
    EXPECT_TRUE(CheckFilesAndBlocks({{"a.htm"}, {}}, dir.Path()).notes.empty());
}

// A page that is also a template, holding a block another template holds
// too, grows by one copy on every run: both causes are noted, by check and
// by Dynamize alike, and the check keeps the end line the run refused.
TEST(CheckFilesAndBlocksTest, NotesBlocksTwoTemplatesHoldAndFilesInBothLists) {
    const TempDir dir;
    WriteBytes(dir / "t.htm", Text({kNav, "NAV", kNavEnd, kFoot, "F", kFootEnd}));
    WriteBytes(dir / "index.htm", Text({kNav, "mine", kNavEnd}));
    WriteBytes(dir / "b.htm", Text({kNav, "x", kNavEnd, kFoot, "<!-- foot end -->"}));
    const SiteDefinition site{{"index.htm", "b.htm"}, {"t.htm", "index.htm"}};
    const Strings expected{
        "index.htm: is a web file and a template file: each run takes as template what the run "
        "before wrote into it",
        "index.htm:1: another template file holds this block too: " + kNav,
        "t.htm:1: another template file holds this block too: " + kNav};
    const FileCheckResult check = CheckFilesAndBlocks(site, dir.Path());
    EXPECT_EQ(Notes(check.notes), expected);
    ASSERT_EQ(check.reports.size(), 1u);
    EXPECT_EQ(check.reports[0].line, 4u);
    EXPECT_EQ(check.reports[0].refusedLine, 5u);
    EXPECT_EQ(check.reports[0].refusedText, "<!-- foot end -->");
    const ConversionResult run = RunConversion(ConversionRequest{site, dir.Path()});
    EXPECT_EQ(Notes(run.notes), expected);
}

TEST(CheckFilesAndBlocksTest, NotesMessageShowsTwentyLinesThenACount) {
    std::vector<ConversionNote> notes(25, {ConversionNote::Kind::IndentedMarker, "p.htm", 3, " x"});
    const std::string text = FormatNotesMessage(notes);
    EXPECT_EQ(text.rfind("25 notes (Dynamize leaves these lines as they are):\n", 0), 0u);
    EXPECT_EQ(std::count(text.begin(), text.end(), '\n'), 22);
    EXPECT_NE(text.find("\np.htm:3: indented marker is no marker:  x\n... and 5 more"),
              std::string::npos);
    notes.resize(1);
    EXPECT_EQ(FormatNotesMessage(notes), "1 note (Dynamize leaves these lines as they are):\n\n"
                                         "p.htm:3: indented marker is no marker:  x");
}

} // namespace
} // namespace quillstamper::test
