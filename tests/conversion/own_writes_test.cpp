// What a watch takes for a run's own write: a watched page the run rewrote
// while nobody else wrote it, and nothing that another program touched.

#include "conversion/own_writes.h"
#include "files/atomic_write.h"
#include "files/os_files.h"
#include "support/markers.h"
#include "support/test_files.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <functional>
#include <utility>

namespace quillstamper::test {
namespace {

std::string Page(const std::string& text) {
    return "top\n" + kMenu + "\n" + text + "\n" + kMenuEnd + "\n";
}

// index.html is a page and, with a.tpl, a template; other.html a page only.
struct OwnWritesCase {
    const char* name;
    FileList webFiles;
    bool writeFiles;
    std::function<void(const TempDir&)> beforeRun;    // after the tracker looked
    std::function<void(const TempDir&)> beforeCommit; // while index.html waits for its rename
    std::function<void(const TempDir&)> afterRun;
    bool own; // index.html looks as the run left it, and nothing else is told
};

void EditPage(const TempDir& dir) {
    WriteBytes(dir / "index.html", Page("by hand"));
}

const OwnWritesCase kCases[] = {
    {"RunAlone", {"index.html", "other.html"}, true, {}, {}, {}, true},
    {"ListedTwice", {"index.html", "other.html", "./index.html"}, true, {}, {}, {}, true},
    {"DryRun", {"index.html"}, false, {}, {}, {}, false},
    {"EditedBeforeTheRun", {"index.html"}, true, EditPage, {}, {}, false},
    {"EditedWhileConverted", {"index.html"}, true, {}, EditPage, {}, false},
    {"EditedAfterTheRun", {"index.html"}, true, {}, {}, EditPage, false},
    {"ReplacedByTheSameBytes",
     {"index.html"},
     true,
     {},
     {},
     [](const TempDir& dir) {
         WriteBytes(dir / "copy", ReadBytes(dir / "index.html"));
         std::filesystem::rename(dir / "copy", dir / "index.html");
     },
     false},
};

class OwnWritesTest : public testing::TestWithParam<OwnWritesCase> {};

TEST_P(OwnWritesTest, TellsOnlyWhatTheRunAloneWrote) {
    const OwnWritesCase& c = GetParam();
    const TempDir dir;
    WriteBytes(dir / "a.tpl", kMenu + "\nfrom a\n" + kMenuEnd + "\n");
    WriteBytes(dir / "index.html", Page("old"));
    WriteBytes(dir / "other.html", Page("old"));
    const SiteDefinition site{c.webFiles, {"a.tpl", "index.html"}, DefaultIdentifiers()};
    // The watch names the template in another spelling than the list.
    OwnWrites own(site.webFiles, dir.Path(), {dir / "a.tpl", dir / "./index.html"});
    if (c.beforeRun) {
        c.beforeRun(dir);
    }
    // Once: the run converts the page again and writes it.
    bool committing = false;
    SetWriteFaultHook([&](WriteStage stage, const std::string& path) {
        if (stage == WriteStage::BeforeReplace && path.ends_with("index.html") && c.beforeCommit &&
            !std::exchange(committing, true)) {
            c.beforeCommit(dir);
        }
        return 0;
    });
    const ConversionResult result =
        RunConversion(ConversionRequest{site, dir.Path(), c.writeFiles}, &own);
    SetWriteFaultHook({});
    ASSERT_FALSE(result.error);
    ASSERT_TRUE(result.changedWhileConverting.empty());
    if (c.afterRun) {
        c.afterRun(dir);
    }
    const std::vector<FileState> states = own.LeftStates();
    if (!c.own) {
        EXPECT_TRUE(states.empty());
        return;
    }
    EXPECT_NE(ReadBytes(dir / "index.html"), Page("old"));
    const std::optional<os::FileStatus> now = os::StatPath(dir / "index.html");
    ASSERT_TRUE(now);
    EXPECT_EQ(states, std::vector<FileState>{now->state});
}

INSTANTIATE_TEST_SUITE_P(Cases, OwnWritesTest, testing::ValuesIn(kCases),
                         [](const auto& info) { return std::string(info.param.name); });

} // namespace
} // namespace quillstamper::test
