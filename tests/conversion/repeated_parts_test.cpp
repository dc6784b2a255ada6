// Finding a site's repeated parts, and wrapping them in marker lines and
// taking those out again.

#include "conversion/block_wrapping.h"
#include "conversion/repeated_parts.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <utility>
#include <vector>

namespace quillstamper {
namespace {

using PageTexts = std::vector<std::pair<std::string, std::string>>; // entry, text

std::vector<SitePage> MakePages(const PageTexts& texts) {
    std::vector<SitePage> pages;
    for (const auto& [entry, text] : texts) {
        SitePage page;
        page.entry = entry;
        page.path = entry;
        page.absolutePath = "/site/" + entry;
        page.bytes = std::make_shared<const std::string>(text);
        page.text = *page.bytes;
        pages.push_back(std::move(page));
    }
    return pages;
}

const std::string kMenu = "<nav>\n<a href=\"a.html\">A</a>\n<a href=\"b.html\">B</a>\n</nav>\n";

// Pages made of the same menu between different lines.
PageTexts MenuSite(const std::vector<std::string>& menus) {
    PageTexts texts;
    for (std::size_t i = 0; i < menus.size(); ++i) {
        texts.emplace_back("p" + std::to_string(i) + ".html", "<p>top " + std::to_string(i) +
                                                                  "</p>\n" + menus[i] + "<p>end " +
                                                                  std::to_string(i) + "</p>\n");
    }
    return texts;
}

// The first part found: its name, compared lines, exact and variant pages.
std::string Describe(const PageTexts& texts, ComparisonRules rules = {},
                     RepeatedPartsOptions options = {}) {
    const std::vector<SitePage> pages = MakePages(texts);
    const ComparedSite site(pages, rules);
    const std::vector<RepeatedPart> parts = FindRepeatedParts(site, options);
    if (parts.empty()) {
        return "none";
    }
    const RepeatedPart& part = parts.front();
    return part.name + " " + std::to_string(part.lineCount) + " lines, " +
           std::to_string(part.copies.ExactPages()) + "+" +
           std::to_string(part.copies.VariantPages()) + " pages, at " +
           std::to_string(part.where.page) + ":" + std::to_string(part.where.first + 1) + "-" +
           std::to_string(part.where.last + 1);
}

TEST(RepeatedPartsTest, ComparesLinesWithoutBlanksAndLineEnds) {
    const std::string indented = "  <nav>\n\t<a href=\"a.html\">A</a>  \n\n<a "
                                 "href=\"b.html\">B</a>\n   \n</nav>\n";
    const std::string crlf = "<nav>\r\n<a href=\"a.html\">A</a>\r\n<a href=\"b.html\">B</a>\r\n"
                             "</nav>\r\n";
    const struct {
        const char* what;
        PageTexts texts;
        std::string expected;
    } cases[] = {
        {"equal", MenuSite({kMenu, kMenu}), "nav 4 lines, 2+0 pages, at 0:2-5"},
        {"blanks and blank lines", MenuSite({kMenu, indented}), "nav 4 lines, 2+0 pages, at 0:2-5"},
        {"line ends", MenuSite({crlf, kMenu}), "nav 4 lines, 2+0 pages, at 0:2-5"},
        {"at the very start and end",
         {{"a.html", kMenu}, {"b.html", "<p>x</p>\n" + kMenu}},
         "nav 4 lines, 2+0 pages, at 0:1-4"},
        {"without a last line end",
         {{"a.html", kMenu.substr(0, kMenu.size() - 1)}, {"b.html", kMenu}},
         "nav 4 lines, 2+0 pages, at 0:1-4"},
        {"inside blocks ignored",
         MenuSite(
             {"<!-- Trelvonix menu -->\n" + kMenu + "<!-- Trelvonix menu end -->\n", kMenu, kMenu}),
         "nav 4 lines, 2+0 pages, at 1:2-5"},
        {"a block cuts a run",
         MenuSite({"<nav>\n<a href=\"a.html\">A</a>\n<!-- Trelvonix x -->\n<!-- Trelvonix x end "
                   "-->\n<a href=\"b.html\">B</a>\n</nav>\n",
                   "<nav>\n<a href=\"a.html\">A</a>\n<!-- Trelvonix x -->\n<!-- Trelvonix x end "
                   "-->\n<a href=\"b.html\">B</a>\n</nav>\n"}),
         "none"},
        {"too short", MenuSite({"<hr>\n<hr>\n", "<hr>\n<hr>\n"}), "none"},
        {"in one page only", MenuSite({kMenu, "<p>other</p>\n"}), "none"},
    };
    for (const auto& test : cases) {
        EXPECT_EQ(Describe(test.texts), test.expected) << test.what;
    }
}

TEST(RepeatedPartsTest, GroupsNearCopiesAsVariants) {
    const std::string five = "<footer>\n<p>1</p>\n<p>2</p>\n<p>3</p>\n</footer>\n";
    const std::string oneChanged = "<footer>\n<p>1</p>\n<p>TWO</p>\n<p>3</p>\n</footer>\n";
    const std::string longer = "<footer>\n<p>1</p>\n<p>new</p>\n<p>2</p>\n<p>3</p>\n</footer>\n";
    const std::string twoChanged = "<footer>\n<p>1</p>\n<p>x</p>\n<p>y</p>\n</p>\n";
    const struct {
        const char* what;
        PageTexts texts;
        std::string expected;
    } cases[] = {
        {"one line changed", MenuSite({five, five, oneChanged}),
         "footer 5 lines, 2+1 pages, at 0:2-6"},
        {"same first and last line", MenuSite({five, five, longer}),
         "footer 5 lines, 2+1 pages, at 0:2-6"},
        {"too different", MenuSite({five, five, twoChanged}),
         "footer 5 lines, 2+0 pages, at 0:2-6"},
    };
    for (const auto& test : cases) {
        EXPECT_EQ(Describe(test.texts), test.expected) << test.what;
    }
}

TEST(RepeatedPartsTest, MinimumsOfLinesAndPages) {
    const PageTexts texts = MenuSite({kMenu, kMenu, "<p>x</p>\n", "<p>y</p>\n", "<p>z</p>\n"});
    EXPECT_EQ(Describe(texts), "none"); // two of five: fewer than half
    EXPECT_EQ(Describe(texts, {}, {.minLines = 3, .minPages = 2}),
              "nav 4 lines, 2+0 pages, at 0:2-5");
    EXPECT_EQ(Describe(MenuSite({kMenu, kMenu}), {}, {.minLines = 5}), "none");
}

TEST(RepeatedPartsTest, NamesFromTheEnclosingElement) {
    const std::pair<LineViews, std::string> cases[] = {
        {{"</head>", "<body>", "<header>"}, "header"},
        {{"<NAV class=\"x\">"}, "nav"},
        {{"<div id=\"side-bar\">", "<footer>"}, "side-bar"},
        {{"<ul class=\"menu main\">"}, "menu"},
        {{"<p>plain</p>", "</div>"}, ""},
    };
    for (const auto& [lines, name] : cases) {
        EXPECT_EQ(NameFromElements(lines), name) << lines.front();
    }
    // Names are never given twice.
    const std::string second = "<div class=\"nav\">\n<p>-</p>\n<p>-</p>\n";
    const std::vector<SitePage> pages =
        MakePages(MenuSite({kMenu + "<p>gap 1</p>\n" + second, kMenu + "<p>gap 2</p>\n" + second}));
    const ComparedSite site(pages, {});
    std::vector<std::string> names;
    for (const RepeatedPart& part : FindRepeatedParts(site, {})) {
        names.push_back(part.name);
    }
    EXPECT_EQ(names, (std::vector<std::string>{"nav", "nav-2"}));
}

TEST(RepeatedPartsTest, LinksComparedFromTheLinkBaseWithoutThePagesMark) {
    const PageTexts texts = {
        {"index.html", "<nav>\n<a href=\"index.html\" class=\"on\">Home</a>\n"
                       "<a href=\"breads/rye.html\" class=\"x\">Rye</a>\n</nav>\n"},
        {"breads/rye.html", "<nav>\n<a href=\"../index.html\">Home</a>\n"
                            "<a href=\"rye.html\" class=\"x on\">Rye</a>\n</nav>\n"},
        {"about.html", "<nav>\n<a href=\"index.html\">Home</a>\n"
                       "<a href=\"breads/rye.html\" class=\"x\">Rye</a>\n</nav>\n"},
    };
    ComparisonRules rules;
    EXPECT_EQ(Describe(texts, rules, {.minLines = 3, .minPages = 2}),
              "none"); // as written, every menu differs
    rules.linkBase = "/site";
    rules.mark = CurrentPageMark::Class;
    rules.markClass = "on";
    EXPECT_EQ(Describe(texts, rules), "nav 4 lines, 3+0 pages, at 0:1-4");
}

TEST(BlockWrappingTest, MarkerLinesOfEachPair) {
    const IdentifierTable identifiers = DefaultIdentifiers();
    const std::optional<BlockMarkers> html = MarkersOf("menu", 1, identifiers);
    ASSERT_TRUE(html);
    EXPECT_EQ(html->start, "<!-- Trelvonix menu -->");
    EXPECT_EQ(html->end, "<!-- Trelvonix menu end -->");
    const std::optional<BlockMarkers> perl = MarkersOf("menu", 2, identifiers);
    ASSERT_TRUE(perl);
    EXPECT_EQ(perl->start, "# Trelvonix menu");
    EXPECT_EQ(perl->end, "# Trelvonix menu end -->");
    EXPECT_FALSE(MarkersOf("menu", 4, identifiers)); // no start identifier
    for (const char* bad : {"", "end", "two words", "a-->", "x\n"}) {
        EXPECT_FALSE(MarkersOf(bad, 1, identifiers)) << bad;
    }
    EXPECT_EQ(CustomaryPair("cgi/order.PL"), 2);
    EXPECT_EQ(CustomaryPair("x.php"), 1);
}

// Wraps the run at lines first..last (1-based) of page 0, then unwraps.
struct RoundTrip {
    std::vector<std::string> wrapped;
    std::vector<std::string> unwrapped;
    std::string templateText;
};

RoundTrip WrapAndUnwrap(const PageTexts& texts, std::size_t first, std::size_t last,
                        bool variants = false) {
    const std::vector<SitePage> pages = MakePages(texts);
    const ComparedSite site(pages, {});
    const WrapPlan plan = PlanWrap(site, pages, {"menu", {0, first - 1, last - 1}, 0, variants});
    EXPECT_EQ(plan.error, "");
    RoundTrip trip;
    trip.templateText = AppendTemplateBlocks("", plan, "menu", DefaultIdentifiers());
    for (std::size_t i = 0; i < pages.size(); ++i) {
        std::string text(pages[i].text);
        for (const FileChange& change : plan.changes) {
            text = change.page == i ? change.bytes : text;
        }
        trip.wrapped.push_back(text);
        trip.unwrapped.push_back(
            UnwrapBlock(text, "menu", DefaultIdentifiers(), EndLines::Own, false).value_or(text));
    }
    return trip;
}

TEST(BlockWrappingTest, WrapThenUnwrapGivesTheSameBytes) {
    const std::string crlfMenu = "<nav>\r\n  <a href=\"a.html\">A</a>\r\n</nav>\r\n";
    const struct {
        const char* what;
        PageTexts texts;
        std::size_t first, last;
        std::vector<std::string> wrapped;
    } cases[] = {
        {"LF, in the middle",
         {{"a.html", "<p>a</p>\n" + kMenu + "<p>b</p>\n"}, {"b.html", kMenu}},
         2,
         5,
         {"<p>a</p>\n<!-- Trelvonix menu -->\n" + kMenu + "<!-- Trelvonix menu end -->\n<p>b</p>\n",
          "<!-- Trelvonix menu -->\n" + kMenu + "<!-- Trelvonix menu end -->\n"}},
        {"CR LF and LF pages, one line",
         {{"a.html", crlfMenu}, {"b.html", "x\n</nav>\n"}, {"c.html", "none\n"}},
         3,
         3,
         {"<nav>\r\n  <a href=\"a.html\">A</a>\r\n<!-- Trelvonix menu -->\r\n</nav>\r\n"
          "<!-- Trelvonix menu end -->\r\n",
          "x\n<!-- Trelvonix menu -->\n</nav>\n<!-- Trelvonix menu end -->\n", "none\n"}},
        {"a last line without a line end, blank lines inside",
         {{"a.pl", "x\r\n1\r\n\r\n2"}, {"b.pl", "  1\n2"}},
         2,
         4,
         {"x\r\n# Trelvonix menu\r\n1\r\n\r\n2\r\n# Trelvonix menu end -->",
          "# Trelvonix menu\n  1\n2\n# Trelvonix menu end -->"}},
    };
    for (const auto& test : cases) {
        const RoundTrip trip = WrapAndUnwrap(test.texts, test.first, test.last);
        EXPECT_EQ(trip.wrapped, test.wrapped) << test.what;
        for (std::size_t i = 0; i < test.texts.size(); ++i) {
            EXPECT_EQ(trip.unwrapped[i], test.texts[i].second) << test.what << " " << i;
        }
    }
}

TEST(BlockWrappingTest, TemplateTakesTheSourceLinesOncePerPair) {
    const RoundTrip trip = WrapAndUnwrap(
        {{"a.html", "<p>\r\n  <b>x</b>\r\n</p>\r\n"}, {"b.pl", "<p>\n<b>x</b>\n</p>\n"}}, 1, 3);
    EXPECT_EQ(trip.templateText, "<!-- Trelvonix menu -->\r\n<p>\r\n  <b>x</b>\r\n</p>\r\n"
                                 "<!-- Trelvonix menu end -->\r\n# Trelvonix menu\r\n<p>\r\n"
                                 "  <b>x</b>\r\n</p>\r\n# Trelvonix menu end -->\r\n");
    const WrapPlan plan{.content = {"a"}, .lineBreak = "\n", .pairs = {1}};
    EXPECT_EQ(AppendTemplateBlocks("old\r\nend", plan, "m", DefaultIdentifiers()),
              "old\r\nend\r\n<!-- Trelvonix m -->\r\na\r\n<!-- Trelvonix m end -->\r\n");
}

TEST(BlockWrappingTest, VariantsWrappedOnlyWhenAsked) {
    const std::string changed = "<nav>\n<a href=\"a.html\">A</a>\n<a href=\"c.html\">C</a>\n"
                                "<a href=\"b.html\">B</a>\n</nav>\n";
    const PageTexts texts = {{"a.html", kMenu}, {"b.html", changed}, {"c.html", "<p>x</p>\n"}};
    for (const bool variants : {false, true}) {
        const std::vector<SitePage> pages = MakePages(texts);
        const ComparedSite site(pages, {});
        const WrapPlan plan = PlanWrap(site, pages, {"menu", {0, 0, 3}, 0, variants});
        EXPECT_EQ(plan.changes.size(), variants ? 2U : 1U);
        const std::vector<std::size_t> without =
            variants ? std::vector<std::size_t>{2} : std::vector<std::size_t>{1, 2};
        EXPECT_EQ(plan.pagesWithout, without);
    }
}

TEST(BlockWrappingTest, RefusesLinesItCannotWrap) {
    const std::vector<SitePage> pages =
        MakePages({{"a.html", "<!-- Trelvonix m -->\nx\n<!-- Trelvonix m end -->\n\n\ny\n"}});
    const ComparedSite site(pages, {});
    const std::pair<PageRange, std::string> cases[] = {
        {{0, 1, 1}, "those lines stand inside a block"},
        {{0, 3, 4}, "those lines are blank"},
        {{0, 5, 9}, "the page has 6 lines"},
    };
    for (const auto& [range, error] : cases) {
        EXPECT_EQ(PlanWrap(site, pages, {"menu", range}).error, error);
    }
    EXPECT_TRUE(HoldsBlock(pages[0].text, "m", DefaultIdentifiers()));
    EXPECT_FALSE(HoldsBlock(pages[0].text, "menu", DefaultIdentifiers()));
}

TEST(BlockWrappingTest, UnwrapTakesOutClosedBlocksOnly) {
    const std::string text = "<!-- Trelvonix m -->\na\n<!-- Trelvonix m end -->\n"
                             "# Trelvonix m\nb\n# Trelvonix m end -->\n"
                             "<!-- Trelvonix m -->\nc\n";
    std::size_t blocks = 0;
    EXPECT_EQ(UnwrapBlock(text, "m", DefaultIdentifiers(), EndLines::Own, false, &blocks),
              "a\nb\n<!-- Trelvonix m -->\nc\n");
    EXPECT_EQ(blocks, 2U);
    EXPECT_EQ(UnwrapBlock(text, "m", DefaultIdentifiers(), EndLines::Own, true),
              "<!-- Trelvonix m -->\nc\n");
    EXPECT_EQ(UnwrapBlock(text, "x", DefaultIdentifiers(), EndLines::Own, false), std::nullopt);
}

} // namespace
} // namespace quillstamper
