// Links in inserted text: the tokenizer that finds them, the rewriting for
// each page's folder, and the current page's mark.

#include "conversion/conversion_run.h"
#include "conversion/html_links.h"
#include "conversion/page_links.h"
#include "support/test_files.h"

#include <gtest/gtest.h>

#include <sys/stat.h>

#include <string>
#include <vector>

namespace quillstamper {
namespace {

// The URLs found, as written; "|" after the text marks an anchor's href.
std::vector<std::string> UrlsOf(std::string_view text) {
    std::vector<std::string> urls;
    const HtmlLinks found = FindHtmlLinks(text);
    for (const HtmlLink& link : found.links) {
        urls.emplace_back(text.substr(link.offset, link.length));
    }
    for (const HtmlTag& anchor : found.anchors) {
        urls.push_back("a:" + (anchor.hasHref
                                   ? std::string(text.substr(anchor.hrefOffset, anchor.hrefLength))
                                   : std::string("-")));
    }
    return urls;
}

TEST(HtmlLinksTest, FindsEveryUrlAsWritten) {
    using Urls = std::vector<std::string>;
    const std::pair<std::string, Urls> cases[] = {
        {R"(<a href="a.html">x</a>)", {"a.html", "a:a.html"}},
        {"<A HREF='b.html'>", {"b.html", "a:b.html"}},
        {"<a href=c.html class=x>", {"c.html", "a:c.html"}},
        {"<a\n  class=\"m\"\n  href=\"d.html?x=1&amp;y=2#top\"\n>",
         {"d.html?x=1&amp;y=2#top", "a:d.html?x=1&amp;y=2#top"}},
        {R"(<img src="i.png" srcset="a.png 1x, b.png 2x,c.png">)",
         {"i.png", "a.png", "b.png", "c.png"}},
        {R"(<form action="f.php"><button formaction="g.php"><video poster="p.jpg">)",
         {"f.php", "g.php", "p.jpg"}},
        {R"(<td background="bg.gif"><object data="o.swf"><q cite="c.html">)",
         {"bg.gif", "o.swf", "c.html"}},
        {R"(<img longdesc="l.html" usemap="m.html#map">)", {"l.html", "m.html#map"}},
        {R"x(<div style="background: url(x.png); border-image: URL( 'y.png' )">)x",
         {"x.png", "y.png"}},
        {"<style>\nbody { background: url(\"s.png\") }\n</style>", {"s.png"}},
        {"<!-- <a href=\"no.html\"> --><a href=yes.html>", {"yes.html", "a:yes.html"}},
        {"<script>var s = '<a href=\"no.html\">';</script><img src=yes.png>", {"yes.png"}},
        {"<p>1 < 2 and <b>bold</b></p>", {}},
        {R"(<a name="top"><a href="">)", {"", "a:-", "a:"}},
        {R"(<a href="x.html)", {"x.html", "a:x.html"}}, // cut off: found, never marked
        {R"(<p data-x="href=no.html">)", {}},
    };
    for (const auto& [text, urls] : cases) {
        EXPECT_EQ(UrlsOf(text), urls) << text;
    }
}

TEST(PageLinksTest, RelativeUrlsAreWrittenFromTheLinkBase) {
    EXPECT_TRUE(IsRewritableUrl("a.html"));
    EXPECT_TRUE(IsRewritableUrl("../x/a.html?q=1#f"));
    for (const char* url : {"", "/a.html", "//cdn/x.js", "#top", "?q=1", "https://x", "mailto:a@b",
                            "tel:1", "javascript:void(0)", "data:image/png;base64,xx",
                            "<?php echo $u ?>", "<%= u %>", "{{ url }}", "${u}", "a\\b.html"}) {
        EXPECT_FALSE(IsRewritableUrl(url)) << url;
    }
    // Depths 0 to 3 from the site's root, which is the link base.
    const struct {
        const char* page;
        const char* url;
        const char* expected;
    } cases[] = {
        {"/site/index.html", "img/logo.png", "img/logo.png"},
        {"/site/a/page.html", "img/logo.png", "../img/logo.png"},
        {"/site/a/b/page.html", "index.html#top", "../../index.html#top"},
        {"/site/a/b/c/page.html", "a/b/x.html?q=1", "../x.html?q=1"},
        {"/site/a/page.html", "a/", "./"},
        {"/site/a/page.html", "a/page.html#s", "page.html#s"},
        {"/site/a/page.html", "../other/x.html", "../../other/x.html"}, // beyond the base
        {"/site/a/page.html", "./b/../c.html", "../c.html"},
        {"/site/a/page.html", "https://x.org/a.html", "https://x.org/a.html"},
    };
    for (const auto& c : cases) {
        const PageLinks links(c.page, "/site", CurrentPageMark::None, {});
        EXPECT_EQ(links.Apply(std::string("<a href=\"") + c.url + "\">"),
                  std::string("<a href=\"") + c.expected + "\">")
            << c.page << " " << c.url;
    }
    // Only the values change, every other byte stays.
    const std::string block = "<nav class=\"m\">\n  <A  HREF = 'img/x.png' >\t<img src=img/y.png "
                              "srcset=\"img/a.png 1x,img/b.png 2x\"></nav>";
    EXPECT_EQ(PageLinks("/site/a/p.html", "/site", CurrentPageMark::None, {}).Apply(block),
              "<nav class=\"m\">\n  <A  HREF = '../img/x.png' >\t<img src=../img/y.png "
              "srcset=\"../img/a.png 1x,../img/b.png 2x\"></nav>");
}

TEST(PageLinksTest, PathsAreWorkedOutStepByStep) {
    const std::pair<const char*, const char*> normal[] = {
        {"/a/b/../c.html", "/a/c.html"},
        {"/a/./b/", "/a/b/"},
        {"/../a", "/a"},
        {"/a/b/..", "/a/"},
        {"a/../../b", "../b"},
        {"../../x", "../../x"},
        {"a//b", "a/b"},
        {".", ""},
        {"/", "/"},
        {"a/..", ""},
        {"/a/b/c/../../d/", "/a/d/"},
    };
    for (const auto& [path, expected] : normal) {
        EXPECT_EQ(NormalizePath(path), expected) << path;
    }
    EXPECT_EQ(RelativeUrl("/s/img/a.png", "/s/a/b/"), "../../img/a.png");
    EXPECT_EQ(RelativeUrl("/s/a/", "/s/a/"), "./");
    EXPECT_EQ(RelativeUrl("/s/ab.html", "/s/a/"), "../ab.html");
}

// Pages of a run share one cache: each folder gets its own rewriting, each
// page its own mark, and the rewritten links' places are those in the text
// the page receives, after values grew and marks were added.
TEST(PageLinksTest, PagesSharingACacheGetTheirOwnText) {
    const auto cache = std::make_shared<LinkCache>("/site");
    const std::string menu = "<a href=\"index.html\">H</a>\n<a href=\"a/t.html\">T</a>\n"
                             "<img src=\"img/x.png\">\n";
    const struct {
        const char* page;
        const char* expected;
    } cases[] = {
        {"/site/a/t.html", "<a href=\"../index.html\">H</a>\n<a href=\"t.html\" "
                           "class=\"on\">T</a>\n<img src=\"../img/x.png\">\n"},
        {"/site/a/u.html", "<a href=\"../index.html\">H</a>\n<a href=\"t.html\">T</a>\n"
                           "<img src=\"../img/x.png\">\n"},
        {"/site/index.html", "<a href=\"index.html\" class=\"on\">H</a>\n<a "
                             "href=\"a/t.html\">T</a>\n<img src=\"img/x.png\">\n"},
        {"/site/a/b/c.html", "<a href=\"../../index.html\">H</a>\n<a href=\"../t.html\">T</a>\n"
                             "<img src=\"../../img/x.png\">\n"},
    };
    for (int round = 0; round < 2; ++round) {
        for (const auto& c : cases) {
            const PageLinks links(c.page, cache, CurrentPageMark::Class, "on");
            std::vector<PageLinks::Rewritten> rewritten;
            const std::string text = *links.ApplyShared(menu, &rewritten);
            EXPECT_EQ(text, c.expected) << c.page;
            ASSERT_EQ(rewritten.size(), 3u);
            for (const PageLinks::Rewritten& link : rewritten) {
                EXPECT_EQ(text.substr(link.offset, link.value.size()), link.value) << c.page;
            }
            EXPECT_EQ(rewritten[2].target, "/site/img/x.png");
        }
    }
}

TEST(PageLinksTest, ThePagesOwnLinkIsMarked) {
    const std::string menu =
        "<a href=\"index.html\">Home</a><a class=\"nav\" href=\"a/t.html\">T</a>"
        "<a href=\"a/\">A</a><a href=\"#\">Menu</a><a href=\"\">x</a>";
    const struct {
        const char* page;
        CurrentPageMark mark;
        const char* linkBase;
        std::string expected;
    } cases[] = {
        {"/site/index.html", CurrentPageMark::AriaCurrent, "/site",
         "<a href=\"index.html\" aria-current=\"page\">Home</a><a class=\"nav\" "
         "href=\"a/t.html\">T</a><a href=\"a/\">A</a><a href=\"#\">Menu</a><a href=\"\">x</a>"},
        {"/site/a/t.html", CurrentPageMark::Class, "/site",
         "<a href=\"../index.html\">Home</a><a class=\"nav on\" href=\"t.html\">T</a>"
         "<a href=\"./\">A</a><a href=\"#\">Menu</a><a href=\"\">x</a>"},
        // An index page is its folder's own link too.
        {"/site/a/index.html", CurrentPageMark::Class, "/site",
         "<a href=\"../index.html\">Home</a><a class=\"nav\" href=\"t.html\">T</a>"
         "<a href=\"./\" class=\"on\">A</a><a href=\"#\">Menu</a><a href=\"\">x</a>"},
        // Without rewriting, hrefs are taken from the page's own folder.
        {"/site/a/t.html", CurrentPageMark::AriaCurrent, "",
         "<a href=\"index.html\">Home</a><a class=\"nav\" href=\"a/t.html\">T</a>"
         "<a href=\"a/\">A</a><a href=\"#\">Menu</a><a href=\"\">x</a>"},
    };
    for (const auto& c : cases) {
        const PageLinks links(c.page, c.linkBase, c.mark, "on");
        EXPECT_EQ(links.Apply(menu), c.expected) << c.page;
    }
    // The mark is not given twice.
    for (const CurrentPageMark mark : {CurrentPageMark::AriaCurrent, CurrentPageMark::Class}) {
        const PageLinks links("/site/index.html", "", mark, "on");
        const std::string once = links.Apply(menu);
        EXPECT_NE(once, menu);
        EXPECT_EQ(links.Apply(once), once);
    }
    EXPECT_EQ(
        PageLinks("/s/p.html", "", CurrentPageMark::Class, "on").Apply("<a class=x href=p.html>"),
        "<a class=\"x on\" href=p.html>");
    EXPECT_EQ(
        PageLinks("/s/p.html", "", CurrentPageMark::AriaCurrent, {}).Apply("<a href=\"p.html\"/>"),
        "<a href=\"p.html\" aria-current=\"page\"/>");
}

// A site with pages three folders deep, one menu written from its root:
// after one run every link of every page opens its file, each page's own
// menu link is marked once, and a second run changes nothing.
TEST(PageLinksTest, OneMenuFitsPagesAtEveryDepth) {
    const test::TempDir dir;
    const std::vector<std::string> pages = {"index.html", "about.html", "a/index.html",
                                            "a/b/page.html", "a/b/c/deep.html"};
    std::string menu = "<!-- Trelvonix menu -->\n<nav><img src=\"img/logo.png\" alt=\"\">\n";
    for (const std::string& page : pages) {
        menu += "  <a class=\"item\" href=\"" + page + "\">" + page + "</a>\n";
    }
    menu += "  <a href=\"a/\">A</a> <a href=\"#\">Menu</a> <a href=\"https://x.org/\">X</a>\n"
            "</nav>\n<!-- Trelvonix menu end -->\n";
    test::WriteBytes(dir / "templates/menu.html", menu);
    test::WriteBytes(dir / "img/logo.png", "png");
    for (const std::string& page : pages) {
        test::WriteBytes(dir / page, "<body>\n<!-- Trelvonix menu -->\n<!-- Trelvonix menu end "
                                     "-->\n</body>\n");
    }
    SiteDefinition site{pages, {"templates/menu.html"}};
    site.settings = {.lineEnds = LineEnds::Keep,
                     .linksFollowPage = true,
                     .currentPage = CurrentPageMark::Class,
                     .currentPageClass = "active"};
    const ConversionResult first = RunConversion(ConversionRequest{site, dir.Path()});
    ASSERT_FALSE(first.error);
    EXPECT_EQ(first.CountUpdated(), pages.size());
    for (const std::string& page : pages) {
        SCOPED_TRACE(page);
        const std::string text = test::ReadBytes(dir / page);
        const std::string folder = (dir / page).substr(0, (dir / page).rfind('/') + 1);
        const HtmlLinks found = FindHtmlLinks(text);
        ASSERT_EQ(found.links.size(), pages.size() + 4);
        for (const HtmlLink& link : found.links) {
            const std::string url(text.substr(link.offset, link.length));
            if (!IsRewritableUrl(url)) {
                continue;
            }
            struct stat status {};
            EXPECT_EQ(::stat((folder + url).c_str(), &status), 0) << url;
        }
        const auto marks = [&](const std::string& bytes) {
            std::size_t count = 0;
            for (std::size_t at = bytes.find("active"); at != std::string::npos;
                 at = bytes.find("active", at + 1)) {
                ++count;
            }
            return count;
        };
        // The index page of a/ is also marked by its folder's link.
        EXPECT_EQ(marks(text), page == "a/index.html" ? 2u : 1u);
    }
    EXPECT_EQ(RunConversion(ConversionRequest{site, dir.Path()}).CountUpdated(), 0u);
    // The check follows the rewritten links: a missing image is noted.
    ::unlink((dir / "img/logo.png").c_str());
    ConversionRequest check{site, dir.Path(), false};
    check.checkNotes = true;
    std::vector<std::string> notes;
    for (const ConversionNote& note : RunConversion(check).notes) {
        notes.push_back(FormatNote(note));
    }
    EXPECT_EQ(notes.size(), pages.size());
    EXPECT_EQ(notes[2], "a/index.html:3: link to a missing file: ../img/logo.png");
}

} // namespace
} // namespace quillstamper
