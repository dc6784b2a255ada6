// Adopting a site: suggest, wrap and unwrap on the example site with its
// marker lines taken out, and on a site whose menu stands in a sub-folder too.

#include "in_process_cli.h"
#include "support/test_files.h"

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include <filesystem>
#include <string>

namespace {

using namespace quillstamper::test;
namespace fs = std::filesystem;

// The example site's pages without a marker line, in dir/pages; their names.
std::vector<std::string> CopyExampleWithoutMarkers(const TempDir& dir) {
    std::vector<std::string> names;
    for (const auto& entry :
         fs::recursive_directory_iterator(QUILLSTAMPER_EXAMPLES_DIR "/site/pages")) {
        if (!entry.is_regular_file()) {
            continue;
        }
        std::string bytes = ReadBytes(entry.path().string());
        std::string kept;
        for (std::size_t at = 0; at < bytes.size();) {
            const std::size_t end = std::min(bytes.find('\n', at), bytes.size() - 1) + 1;
            const std::string line = bytes.substr(at, end - at);
            kept += line.find("Trelvonix") == std::string::npos ? line : "";
            at = end;
        }
        const std::string name =
            "pages/" + fs::relative(entry.path(), QUILLSTAMPER_EXAMPLES_DIR "/site/pages").string();
        WriteBytes(dir / name, kept);
        names.push_back(name);
    }
    return names;
}

TEST(AdoptTest, ExampleSiteWrappedDynamizedAndUnwrapped) {
    TempDir dir;
    const std::vector<std::string> names = CopyExampleWithoutMarkers(dir);
    std::map<std::string, std::string> before;
    for (const std::string& name : names) {
        before[name] = ReadBytes(dir / name);
    }
    ASSERT_EQ(RunInProcess(dir.Path(), {"init", "site.trvx", "--web", "pages"}).status, 0);

    const CliRun suggested = RunInProcess(dir.Path(), {"suggest", "site.trvx", "--format", "json"});
    ASSERT_EQ(suggested.status, 0) << suggested.err;
    const auto json = nlohmann::json::parse(suggested.out);
    std::string all;
    for (const auto& candidate : json["candidates"]) {
        EXPECT_EQ(candidate["exactPages"], 3) << candidate["name"];
        for (const auto& line : candidate["text"]) {
            all += line.get<std::string>() + "\n";
        }
    }
    for (const char* part : {"<header>", "<nav>", "<footer>"}) {
        EXPECT_NE(all.find(part), std::string::npos) << part;
    }

    // From the bottom up, so that the line numbers stay those of the page as read.
    const std::pair<const char*, const char*> blocks[] = {{"footer", "pages/index.html:16"},
                                                          {"menu", "pages/index.html:9-12"},
                                                          {"header", "pages/index.html:8-8"}};
    for (const auto& [name, from] : blocks) {
        const CliRun wrapped = RunInProcess(
            dir.Path(), {"wrap", name, "site.trvx", "--from", from, "--template", "t/layout.html"});
        ASSERT_EQ(wrapped.status, 0) << wrapped.err;
        EXPECT_NE(wrapped.out.find("no copy in pages/cgi-bin/order.pl"), std::string::npos);
    }
    const CliRun again =
        RunInProcess(dir.Path(), {"wrap", "menu", "site.trvx", "--from", "pages/index.html:3",
                                  "--template", "t/other.html"});
    EXPECT_EQ(again.status, 2);
    EXPECT_NE(again.err.find("holds a block 'menu' already"), std::string::npos) << again.err;

    const CliRun dynamized = RunInProcess(dir.Path(), {"dynamize", "site.trvx"});
    EXPECT_EQ(dynamized.status, 0) << dynamized.err;
    EXPECT_NE(dynamized.out.find("0 updated, 4 unchanged"), std::string::npos) << dynamized.out;
    EXPECT_NE(ReadBytes(dir / "pages/index.html").find("<!-- Trelvonix menu -->\r\n<nav>"),
              std::string::npos);

    for (const char* name : {"header", "menu", "footer"}) {
        ASSERT_EQ(RunInProcess(dir.Path(), {"unwrap", name, "site.trvx", "--template"}).status, 0);
    }
    for (const std::string& name : names) {
        EXPECT_EQ(ReadBytes(dir / name), before[name]) << name;
    }
    EXPECT_EQ(ReadBytes(dir / "t/layout.html"), "");
}

TEST(AdoptTest, MenuInASubFolderIsOneBlockWithLinksFromTheBase) {
    TempDir dir;
    const std::string menu = "<nav>\n<a href=\"%index.html\">Home</a>\n"
                             "<a href=\"%breads/rye.html\">Rye</a>\n</nav>\n";
    const auto menuFrom = [&](const std::string& up) {
        std::string text = menu;
        for (std::size_t at = text.find('%'); at != std::string::npos; at = text.find('%')) {
            text.replace(at, 1, up);
        }
        return text;
    };
    WriteBytes(dir / "site/index.html", "<p>1</p>\n" + menuFrom(""));
    WriteBytes(dir / "site/about.html", "<p>2</p>\n" + menuFrom(""));
    WriteBytes(dir / "site/breads/rye.html", "<p>3</p>\n" + menuFrom("../"));
    const Args options = {"--web", "site", "--links", "relative", "--link-base", "site"};
    Args wrap = {"wrap",       "menu",      "--candidate", "1",
                 "--template", "menu.html", "--dry-run",   "--diff"};
    wrap.insert(wrap.end(), options.begin(), options.end());
    const CliRun dry = RunInProcess(dir.Path(), wrap);
    ASSERT_EQ(dry.status, 0) << dry.err;
    EXPECT_NE(dry.out.find("in 3 web files"), std::string::npos) << dry.out;
    EXPECT_NE(dry.out.find("+<a href=\"breads/rye.html\">Rye</a>"), std::string::npos)
        << "the template holds the links as seen from the base\n"
        << dry.out;
    EXPECT_FALSE(fs::exists(dir / "menu.html"));
    Args plain = {"suggest", "--web", "site", "--min-pages", "3"};
    EXPECT_NE(RunInProcess(dir.Path(), plain).out.find("0 repeated parts"), std::string::npos);
}

TEST(AdoptTest, UsageErrors) {
    TempDir dir;
    WriteBytes(dir / "a.html", "a\nb\nc\n");
    const std::pair<Args, std::string> cases[] = {
        {{"wrap", "m", "--web", "a.html", "--template", "t.html"}, "--from or --candidate"},
        {{"wrap", "m", "--web", "a.html", "--template", "t.html", "--from", "a.html:0-2"},
         "PAGE:FIRST-LAST"},
        {{"wrap", "m", "--web", "a.html", "--template", "t.html", "--from", "b.html:1"},
         "no web file"},
        {{"wrap", "two words", "--web", "a.html", "--template", "t.html", "--from", "a.html:1"},
         "one word"},
        {{"wrap", "m", "--web", "a.html", "--template", "t.html", "--candidate", "1"},
         "no candidate 1"},
        {{"suggest"}, "PROJECT or --web"},
    };
    for (const auto& [args, message] : cases) {
        const CliRun run = RunInProcess(dir.Path(), args);
        EXPECT_EQ(run.status, 2) << args[1];
        EXPECT_NE(run.err.find(message), std::string::npos) << run.err;
    }
}

} // namespace
