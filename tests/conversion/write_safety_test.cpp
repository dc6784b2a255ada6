// The write layer against other programs and users: files it did not make,
// pages written or swapped for links while a run converts them, attributes
// a rename would drop, names as long as names get, and folders that take no
// new file, with a run killed in the middle.

#include "conversion/conversion_run.h"
#include "files/atomic_write.h"
#include "files/recovery_store.h"
#include "support/markers.h"
#include "support/test_files.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <filesystem>
#include <sys/stat.h>
#include <unistd.h>
#ifndef _WIN32
#include <sys/xattr.h>
#endif

namespace quillstamper::test {
namespace {

std::string Page(const std::string& menu, const std::string& tail = "") {
    return kMenu + "\r\n" + menu + "\r\n" + kMenuEnd + "\r\n" + tail;
}

// Runs hook before the given step, for names ending in suffix; removed at the end.
class HookAt {
public:
    HookAt(WriteStage stage, std::string suffix, std::function<int()> hook) {
        SetWriteFaultHook([=](WriteStage current, const std::string& path) {
            const bool hit = current == stage && path.size() >= suffix.size() &&
                             path.compare(path.size() - suffix.size(), suffix.size(), suffix) == 0;
            return hit ? hook() : 0;
        });
    }
    ~HookAt() {
        SetWriteFaultHook({});
    }
};

struct Site {
    TempDir dir;
    Site() {
        WriteBytes(dir / "menu.tpl", Page("new"));
    }
    ConversionResult Run(const FileList& pages) const {
        ConversionRequest request{{pages, {"menu.tpl"}, DefaultIdentifiers()}, dir.Path()};
        request.recoveryFolder = dir / "recovery";
        return RunConversion(request);
    }
};

TEST(WriteSafetyTest, FilesTheRunDidNotMakeAreNeverTouchedAndNothingIsLeft) {
    const Site site;
    // Names of the pattern older versions cleaned up, and one with a long name.
    const std::string longName = std::string(250, 'p') + ".html";
    const std::vector<std::string> foreign{".notes.qs-backup", ".menu.qs-header",
                                           ".a.html.qs-AbC123"};
    for (const std::string& name : foreign)
        WriteBytes(site.dir / name, "mine");
    WriteBytes(site.dir / "a.html", Page("old"));
    WriteBytes(site.dir / longName, Page("old"));
    const ConversionResult result = site.Run({"a.html", longName});
    ASSERT_FALSE(result.error) << result.error->Cause();
    EXPECT_EQ(ReadBytes(site.dir / longName), Page("new"));
    for (const std::string& name : foreign)
        EXPECT_EQ(ReadBytes(site.dir / name), "mine") << name;
    std::vector<std::string> expected = foreign;
    expected.insert(expected.end(), {"a.html", longName, "menu.tpl"});
    std::sort(expected.begin(), expected.end());
    EXPECT_EQ(ListFolder(site.dir.Path()), expected);
}

// Another program writes the page between the run's read and its rename:
// once, the run converts the page again from what that program wrote; every
// time, the page is left as that program wrote it and reported.
TEST(WriteSafetyTest, PageWrittenMeanwhileIsConvertedAgainOrLeftAndReported) {
    for (const bool everyTime : {false, true}) {
        SCOPED_TRACE(everyTime);
        const Site site;
        WriteBytes(site.dir / "a.html", Page("old"));
        WriteBytes(site.dir / "b.html", Page("old"));
        int edits = 0;
        const HookAt hook(WriteStage::BeforeReplace, "b.html", [&] {
            if (everyTime || edits == 0) {
                ++edits;
                WriteBytes(site.dir / "b.html", Page("old", "edit " + std::to_string(edits)));
            }
            return 0;
        });
        const ConversionResult result = site.Run({"a.html", "b.html"});
        ASSERT_FALSE(result.error);
        EXPECT_EQ(ReadBytes(site.dir / "a.html"), Page("new"));
        if (everyTime) {
            EXPECT_EQ(edits, 2);
            EXPECT_EQ(ReadBytes(site.dir / "b.html"), Page("old", "edit 2"));
            EXPECT_EQ(result.changedWhileConverting, std::vector<std::string>{"b.html"});
            EXPECT_EQ(result.outcomes[1], FileOutcome::Unchanged);
        } else {
            EXPECT_EQ(ReadBytes(site.dir / "b.html"), Page("new", "edit 1\r\n"));
            EXPECT_TRUE(result.changedWhileConverting.empty());
            EXPECT_EQ(result.outcomes[1], FileOutcome::Updated);
        }
    }
}

// A user who may write the site's folder swaps the page for a link to a
// file of another user between read and rename: that file stays as it is.
TEST(WriteSafetyTest, LinkSwappedInBeforeTheRenameIsNotFollowed) {
    SKIP_ON_WINDOWS("symbolic links need a privilege (a stub in Wine)");
    const Site site;
    WriteBytes(site.dir / "secret", Page("secret"));
    WriteBytes(site.dir / "a.html", Page("old"));
    const HookAt hook(WriteStage::BeforeReplace, "a.html", [&] {
        std::filesystem::remove(site.dir / "a.html");
        std::filesystem::create_symlink(site.dir / "secret", site.dir / "a.html");
        return 0;
    });
    const ConversionResult result = site.Run({"a.html"});
    ASSERT_FALSE(result.error);
    EXPECT_EQ(ReadBytes(site.dir / "secret"), Page("secret"));
    EXPECT_TRUE(std::filesystem::is_symlink(site.dir / "a.html"));
    EXPECT_EQ(result.changedWhileConverting, std::vector<std::string>{"a.html"});
}

[[maybe_unused]] bool Shell(const std::string& command) {
    return std::system((command + " >/dev/null 2>&1").c_str()) == 0;
}

// The access control list and user attributes come along; permission bits
// stay what they were, not widened to the list's mask. A page with more names
// than one is reported.
TEST(WriteSafetyTest, AccessControlListsAttributesAndHardLinks) {
#ifdef _WIN32
    GTEST_SKIP() << "Windows: no setfacl, getfacl or extended attributes";
#else
    const Site site;
    const std::string page = site.dir / "a.html";
    WriteBytes(page, Page("old"));
    ASSERT_EQ(::chmod(page.c_str(), 0600), 0);
    if (!Shell("setfacl -m u:nobody:rw " + page) ||
        ::setxattr(page.c_str(), "user.origin", "kept", 4, 0) != 0)
        GTEST_SKIP() << "no access control lists or user attributes on this file system";
    ASSERT_EQ(::link(page.c_str(), (site.dir / "other.html").c_str()), 0);
    const auto acl = [&] {
        return std::system(("getfacl -cp " + page + " > " + site.dir / "acl.txt").c_str()) == 0
                   ? ReadBytes(site.dir / "acl.txt")
                   : std::string("none");
    };
    const std::string before = acl();
    struct stat old {};
    ASSERT_EQ(::stat(page.c_str(), &old), 0);

    const ConversionResult result = site.Run({"a.html"});
    ASSERT_FALSE(result.error);
    EXPECT_EQ(ReadBytes(page), Page("new"));
    EXPECT_EQ(acl(), before);
    EXPECT_NE(before.find("user:nobody:rw-"), std::string::npos);
    struct stat now {};
    ASSERT_EQ(::stat(page.c_str(), &now), 0);
    EXPECT_EQ(now.st_mode, old.st_mode);
    char value[8] = {};
    EXPECT_EQ(::getxattr(page.c_str(), "user.origin", value, sizeof value), 4);
    EXPECT_STREQ(value, "kept");
    EXPECT_EQ(result.hardLinks, (std::vector<HardLinkedPage>{{"a.html", 2, 1}}));
    EXPECT_EQ(ReadBytes(site.dir / "other.html"), Page("old"));
#endif
}

// A file listed under several of its names is replaced under each of them,
// so a dry run counts what the run writes; only the names left out keep the
// old bytes, and only they are warned about. Written in place, every name
// shows the new bytes: no warning.
TEST(WriteSafetyTest, HardLinksCountAndWarnAlikeInDryRunAndRun) {
    const std::vector<std::string> names{"a.html", "b.html", "c.html"};
    const struct {
        std::size_t names;
        FileList listed;
        std::size_t updated;
        std::vector<HardLinkedPage> warned;
    } cases[] = {
        {2, {"a.html", "b.html"}, 2, {}},
        {2, {"a.html"}, 1, {{"a.html", 2, 1}}},
        {3, {"b.html", "a.html", "b.html"}, 2, {{"b.html", 3, 1}}},
        {3, {"c.html", "./c.html"}, 1, {{"c.html", 3, 2}}},
    };
    for (const auto& test : cases) {
        SCOPED_TRACE(test.listed.size());
        const Site site;
        WriteBytes(site.dir / "a.html", Page("old"));
        for (std::size_t i = 1; i < test.names; ++i)
            std::filesystem::create_hard_link(site.dir / "a.html", site.dir / names[i]);
        ConversionRequest request{{test.listed, {"menu.tpl"}, DefaultIdentifiers()},
                                  site.dir.Path()};
        request.recoveryFolder = site.dir / "recovery";
        for (const bool write : {false, true}) {
            request.writeFiles = write;
            const ConversionResult result = RunConversion(request);
            ASSERT_FALSE(result.error);
            EXPECT_EQ(result.CountUpdated(), test.updated) << write;
            EXPECT_EQ(result.hardLinks, test.warned) << write;
        }
        for (std::size_t i = 0; i < test.names; ++i) {
            const bool listed = std::count(test.listed.begin(), test.listed.end(), names[i]) > 0;
            EXPECT_EQ(ReadBytes(site.dir / names[i]), Page(listed ? "new" : "old")) << names[i];
        }
    }

    SKIP_ON_WINDOWS("no permission bits on folders");
    const Site site;
    WriteBytes(site.dir / "closed/a.html", Page("old"));
    std::filesystem::create_hard_link(site.dir / "closed/a.html", site.dir / "b.html");
    ASSERT_EQ(::chmod((site.dir / "closed/a.html").c_str(), 0666), 0);
    ASSERT_EQ(::chmod((site.dir / "closed").c_str(), 0555), 0);
    EXPECT_EQ(RunAsUnprivileged([&] {
                  const ConversionResult result = site.Run({"closed/a.html"});
                  return !result.error && result.inPlace.size() == 1 && result.hardLinks.empty()
                             ? 0
                             : 1;
              }),
              0);
    EXPECT_EQ(ReadBytes(site.dir / "b.html"), Page("new"));
}

// A folder that takes no new file: the page is written in place, its old
// bytes kept in the recovery folder meanwhile. A run killed at any step
// leaves a copy, which a dry run reports and the next run puts back first --
// unless the page was edited since: then it is converted as edited, its copy
// stays, and both runs name it.
TEST(WriteSafetyTest, InPlaceWriteKilledAtAnyStepIsPutBackByTheNextRunUnlessEdited) {
    SKIP_ON_WINDOWS("no permission bits on folders, and no child process to kill in the "
                    "middle of a write");
    const std::string tail = std::string(9000, 'x') + "\r\n", mine = "<p>mine</p>\r\n";
    const std::string oldPage = Page("the old menu, longer than the new one", tail);
    const std::string newPage = Page("new", tail);
    const struct {
        WriteStage killedAt;
        std::string page; // at the next run
        bool putBack;
        std::string after; // the next run
    } cases[] = {
        {WriteStage::Write, oldPage, true, newPage},
        {WriteStage::Flush, newPage, true, newPage},
        // What a kill in the middle of the write leaves: whole blocks of the
        // new bytes over the old ones, or all of them before the page is cut.
        {WriteStage::Flush, newPage.substr(0, 4096) + oldPage.substr(4096), true, newPage},
        {WriteStage::Flush, newPage + oldPage.substr(newPage.size()), true, newPage},
        // Edits: converted as they are.
        {WriteStage::Write, oldPage + mine, false, newPage + mine},
        {WriteStage::Flush, "<p>" + newPage.substr(3), false, "<p>" + newPage.substr(3)},
    };
    for (const auto& test : cases) {
        SCOPED_TRACE(test.page.size());
        const Site site;
        const std::string page = site.dir / "closed/a.html";
        WriteBytes(page, oldPage);
        ASSERT_EQ(::chmod(page.c_str(), 0666), 0);
        ASSERT_EQ(::chmod((site.dir / "closed").c_str(), 0555), 0);
        std::filesystem::create_directory(site.dir / "recovery");
        ASSERT_EQ(::chmod((site.dir / "recovery").c_str(), 0777), 0);
        const RecoveryStore store(site.dir / "recovery");

        // The child dies at that step, as a kill would end it.
        const int died = RunAsUnprivileged([&] {
            SetWriteFaultHook([&](WriteStage current, const std::string&) {
                if (current == test.killedAt)
                    ::_exit(9);
                return 0;
            });
            site.Run({"closed/a.html"});
            return 0;
        });
        ASSERT_EQ(died, 9);
        EXPECT_EQ(ReadBytes(page), test.killedAt == WriteStage::Write ? oldPage : newPage);
        ASSERT_EQ(store.List().size(), 1u);
        const std::string copy = store.List().front().file;
        WriteBytes(page, test.page);

        ConversionRequest dry{
            {{"closed/a.html"}, {"menu.tpl"}, DefaultIdentifiers()}, site.dir.Path(), false};
        dry.recoveryFolder = site.dir / "recovery";
        const ConversionResult found = RunConversion(dry);
        const std::vector<KeptRecoveryCopy> kept{{"closed/a.html", copy}};
        EXPECT_EQ(found.recoverable.size(), test.putBack ? 1u : 0u);
        EXPECT_EQ(found.changedSinceInterrupted, test.putBack ? decltype(kept){} : kept);

        EXPECT_EQ(RunAsUnprivileged([&] {
                      const ConversionResult result = site.Run({"closed/a.html"});
                      return !result.error && result.restored.size() == (test.putBack ? 1u : 0u) &&
                                     result.changedSinceInterrupted ==
                                         (test.putBack ? decltype(kept){} : kept)
                                 ? 0
                                 : 1;
                  }),
                  0);
        EXPECT_EQ(ReadBytes(page), test.after);
        EXPECT_EQ(ListFolder(site.dir / "closed"), std::vector<std::string>{"a.html"});
        // A kept copy outlives the page's own in-place write.
        ASSERT_EQ(store.List().size(), test.putBack ? 0u : 1u);
        if (!test.putBack) {
            EXPECT_EQ(store.ReadOldBytes(copy), oldPage);
        }
    }
}

} // namespace
} // namespace quillstamper::test
