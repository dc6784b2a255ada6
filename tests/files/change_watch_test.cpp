#include "files/os_files.h"

#include "support/test_files.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <functional>
#ifndef _WIN32
#include <sched.h>
#include <sys/wait.h>
#include <unistd.h>
#endif

namespace quillstamper::os {
namespace {

namespace fs = std::filesystem;
using namespace std::chrono_literals;
using test::TempDir;
using test::WriteBytes;

// The kernel's watch tells at once; the polling one looks every 50 ms here.
std::unique_ptr<ChangeWatch> Open(bool poll) {
    std::unique_ptr<ChangeWatch> watch = OpenChangeWatch(poll, 50ms);
    EXPECT_EQ(watch->Polls(), poll);
    return watch;
}

// t.html exists; new.html does not, nor does the folder of sub/later.html;
// tpl is searched for templates.
WatchList Prepare(const TempDir& dir) {
    WriteBytes(dir / "t.html", "old");
    WriteBytes(dir / "tpl/deep/a.tpl", "a");
    return {{dir / "t.html", dir / "new.html", dir / "sub/later.html"}, {dir / "tpl"}};
}

struct ChangeCase {
    const char* name;
    void (*change)(const TempDir& dir);
    bool counts;
};

// Each write has a new size, so that a look at the files tells it within one tick of the clock.
const ChangeCase kCases[] = {
    {"RenameOver",
     [](const TempDir& dir) {
         WriteBytes(dir / "t.html.new", "new");
         fs::rename(dir / "t.html.new", dir / "t.html");
     },
     true},
    {"InPlaceWrite", [](const TempDir& dir) { WriteBytes(dir / "t.html", "newer"); }, true},
    {"DeleteAndCreate",
     [](const TempDir& dir) {
         fs::remove(dir / "t.html");
         WriteBytes(dir / "t.html", "again");
     },
     true},
    {"CreateNotYetExisting", [](const TempDir& dir) { WriteBytes(dir / "new.html", "n"); }, true},
    {"CreateInMissingFolder", [](const TempDir& dir) { WriteBytes(dir / "sub/later.html", "l"); },
     true},
    {"NewFileBelowSearchedFolder", [](const TempDir& dir) { WriteBytes(dir / "tpl/deep/b", "b"); },
     true},
    // A page beside a template, and a run's temporary files, in either folder;
    // an editor's backup, autosave and write test where templates are searched.
    {"UnrelatedFiles",
     [](const TempDir& dir) {
         WriteBytes(dir / "page.html", "p");
         WriteBytes(dir / ".qs-0123456789ab.tmp", "t");
         WriteBytes(dir / "tpl/deep/.qs-0123456789ab.tmp", "t");
         for (const char* name : {"a~", "#a#", "4913", "a.swp"}) {
             WriteBytes(dir / "tpl/deep/" + name, "e");
         }
     },
     false},
};

void PrintTo(const ChangeCase& change, std::ostream* out) {
    *out << change.name;
}

class ChangeWatchTest : public testing::TestWithParam<std::tuple<bool, ChangeCase>> {};

TEST_P(ChangeWatchTest, TellsWhatCounts) {
    const auto& [poll, change] = GetParam();
    TempDir dir;
    const std::unique_ptr<ChangeWatch> watch = Open(poll);
    watch->Watch(Prepare(dir));
    change.change(dir);
    EXPECT_EQ(watch->WaitForChange(change.counts ? 10s : 300ms), change.counts);
}

INSTANTIATE_TEST_SUITE_P(KernelAndPolling, ChangeWatchTest,
                         testing::Combine(testing::Bool(), testing::ValuesIn(kCases)),
                         [](const auto& info) {
                             return std::string(std::get<0>(info.param) ? "Poll_" : "Kernel_") +
                                    std::get<1>(info.param).name;
                         });

// Watched again after each change, as between runs: a template and its folder
// are made, the template is written, the folder removed and both made again.
TEST(ChangeWatchSequenceTest, FollowsAFolderComingAndGoing) {
    for (const bool poll : {false, true}) {
        SCOPED_TRACE(poll ? "polling" : "kernel");
        TempDir dir;
        const std::unique_ptr<ChangeWatch> watch = Open(poll);
        const std::function<void()> steps[] = {[&] { WriteBytes(dir / "sub/t.html", "1"); },
                                               [&] { WriteBytes(dir / "sub/t.html", "22"); },
                                               [&] { fs::remove_all(dir / "sub"); },
                                               [&] { WriteBytes(dir / "sub/t.html", "333"); }};
        for (const auto& step : steps) {
            watch->Watch({{dir / "sub/t.html"}, {}});
            step();
            EXPECT_TRUE(watch->WaitForChange(10s));
        }
    }
}

// Watched again after each change, as between runs: the folder above a
// template is replaced by a copy (mv src src.old; cp -r src.old src) and the
// copy edited; the middle link of a chain is pointed elsewhere and the new
// target edited; the old target no longer counts.
TEST(ChangeWatchSequenceTest, FollowsFoldersAboveAndEveryLinkOfAChain) {
#ifdef _WIN32
    GTEST_SKIP() << "Windows: symbolic links need privileges (a stub in Wine), and a folder "
                    "with open files below it cannot be renamed";
#endif
    for (const bool poll : {false, true}) {
        SCOPED_TRACE(poll ? "polling" : "kernel");
        TempDir dir;
        WriteBytes(dir / "src/tpl/t.html", "1");
        WriteBytes(dir / "links/old", "1");
        WriteBytes(dir / "links/new", "1");
        fs::create_symlink("middle", dir / "links/first");
        fs::create_symlink("old", dir / "links/middle");
        const std::unique_ptr<ChangeWatch> watch = Open(poll);
        const struct {
            const char* name;
            std::function<void()> change;
            bool counts;
        } steps[] = {
            {"folder replaced",
             [&] {
                 fs::rename(dir / "src", dir / "src.old");
                 fs::copy(dir / "src.old", dir / "src", fs::copy_options::recursive);
             },
             true},
            {"copy edited", [&] { WriteBytes(dir / "src/tpl/t.html", "22"); }, true},
            {"link retargeted",
             [&] {
                 fs::remove(dir / "links/middle");
                 fs::create_symlink("new", dir / "links/middle");
             },
             true},
            {"new target edited", [&] { WriteBytes(dir / "links/new", "333"); }, true},
            {"old target edited", [&] { WriteBytes(dir / "links/old", "4444"); }, false},
        };
        for (const auto& step : steps) {
            watch->Watch({{dir / "src/tpl/t.html", dir / "links/first"}, {dir / "src/tpl"}});
            step.change();
            EXPECT_EQ(watch->WaitForChange(step.counts ? 10s : 300ms), step.counts) << step.name;
        }
    }
}

// What the caller's run wrote does not count, whether renamed over a watched
// file or one in a searched folder, or written in place; the next edit does.
TEST(ChangeWatchSequenceTest, IgnoresTheRunsOwnWritesButNotTheNextEdit) {
    for (const bool poll : {false, true}) {
        SCOPED_TRACE(poll ? "polling" : "kernel");
        TempDir dir;
        const std::unique_ptr<ChangeWatch> watch = Open(poll);
        const WatchList list = Prepare(dir);
        const std::string inFolder = dir / "tpl/deep/a.tpl";
        watch->Watch(list);
        WriteBytes(dir / ".qs-run", "by the run");
        fs::rename(dir / ".qs-run", dir / "t.html");
        WriteBytes(dir / "tpl/deep/.qs-run", "by the run");
        fs::rename(dir / "tpl/deep/.qs-run", inFolder);
        WriteBytes(dir / "new.html", "in place, by the run");
        std::vector<FileState> own;
        for (const std::string& path : {dir / "t.html", inFolder, dir / "new.html"}) {
            own.push_back(StatPath(path)->state);
        }
        watch->IgnoreOwnWrites(own);
        EXPECT_FALSE(watch->WaitForChange(300ms));
        WriteBytes(dir / "new.html", "by the user");
        EXPECT_TRUE(watch->WaitForChange(10s));
    }
}

#ifndef _WIN32
bool WriteProcFile(const std::string& path, const std::string& text) {
    std::ofstream file(path);
    return static_cast<bool>(file << text << std::flush);
}

bool HoldsInotify() {
    for (const auto& entry : fs::directory_iterator("/proc/self/fd")) {
        std::error_code error;
        if (fs::read_symlink(entry.path(), error).string() == "anon_inode:inotify") {
            return true;
        }
    }
    return false;
}

constexpr int kNoLimitHere = 99;

// A limit of the kernel's, as set in a user namespace, and what the watch says of it.
struct Limit {
    const char* file; // in /proc/sys/user
    const char* value;
    const char* why;
};

const Limit kLimits[] = {
    {"max_inotify_watches", "1",
     "the limit of inotify watches (fs.inotify.max_user_watches) is reached: No space left on "
     "device"},
    {"max_inotify_instances", "0", "inotify cannot be had: Too many open files"},
};

// In a child process whose user namespace has the limit: the status says
// which step failed.
int WatchPastTheLimit(const TempDir& dir, const Limit& limit) {
    const std::string uid = std::to_string(::getuid());
    if (::unshare(CLONE_NEWUSER) != 0 || !WriteProcFile("/proc/self/setgroups", "deny") ||
        !WriteProcFile("/proc/self/uid_map", "0 " + uid + " 1") ||
        !WriteProcFile(std::string("/proc/sys/user/") + limit.file, limit.value)) {
        return kNoLimitHere;
    }
    const std::unique_ptr<ChangeWatch> watch = OpenChangeWatch(false, 50ms);
    watch->Watch({{dir / "a/t.html", dir / "b/t.html"}, {}});
    if (!watch->Polls()) {
        return 1;
    }
    if (HoldsInotify()) {
        return 2; // the watches it no longer reads stay taken from other programs
    }
    if (watch->WhyPolls() != limit.why) {
        return 4;
    }
    WriteBytes(dir / "b/t.html", "22");
    return watch->WaitForChange(10s) ? 0 : 3;
}

#endif

// Once the kernel's watches run out, or where inotify cannot be had, it
// looks instead, says why in the system's words, and gives back the watches it held.
TEST(ChangeWatchLimitTest, LooksOnceTheKernelsWatchesRunOut) {
    // Asked to look, or told by the kernel: nothing to explain.
    EXPECT_EQ(OpenChangeWatch(true)->WhyPolls(), "");
    EXPECT_EQ(OpenChangeWatch(false)->WhyPolls(), "");
#ifdef _WIN32
    GTEST_SKIP() << "Windows: no user namespaces to set the system's limits in";
#else
    for (const Limit& limit : kLimits) {
        SCOPED_TRACE(limit.file);
        TempDir dir;
        WriteBytes(dir / "a/t.html", "1");
        WriteBytes(dir / "b/t.html", "1");
        const pid_t child = ::fork();
        if (child == 0) {
            ::_exit(WatchPastTheLimit(dir, limit));
        }
        int status = 0;
        ASSERT_EQ(::waitpid(child, &status, 0), child);
        ASSERT_TRUE(WIFEXITED(status));
        if (WEXITSTATUS(status) == kNoLimitHere) {
            GTEST_SKIP() << "no user namespace whose limits of kernel watches can be set";
        }
        EXPECT_EQ(WEXITSTATUS(status), 0);
    }
#endif
}

} // namespace
} // namespace quillstamper::os
