#include "conversion/os_files.h"

#include "support/test_files.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <functional>
#include <sched.h>
#include <sys/wait.h>
#include <unistd.h>

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
    // A page beside a template, and a run's temporary files, in either folder.
    {"UnrelatedFiles",
     [](const TempDir& dir) {
         WriteBytes(dir / "page.html", "p");
         WriteBytes(dir / ".qs-0123456789ab.tmp", "t");
         WriteBytes(dir / "tpl/deep/.qs-0123456789ab.tmp", "t");
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

// In a child process whose user namespace allows one kernel watch: the
// status says which step failed.
int WatchPastTheLimit(const TempDir& dir) {
    const std::string uid = std::to_string(::getuid());
    if (::unshare(CLONE_NEWUSER) != 0 || !WriteProcFile("/proc/self/setgroups", "deny") ||
        !WriteProcFile("/proc/self/uid_map", "0 " + uid + " 1") ||
        !WriteProcFile("/proc/sys/user/max_inotify_watches", "1")) {
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
    WriteBytes(dir / "b/t.html", "22");
    return watch->WaitForChange(10s) ? 0 : 3;
}

// Once the kernel's watches run out, it looks instead, and gives back those it held.
TEST(ChangeWatchLimitTest, LooksOnceTheKernelsWatchesRunOut) {
    TempDir dir;
    WriteBytes(dir / "a/t.html", "1");
    WriteBytes(dir / "b/t.html", "1");
    const pid_t child = ::fork();
    if (child == 0) {
        ::_exit(WatchPastTheLimit(dir));
    }
    int status = 0;
    ASSERT_EQ(::waitpid(child, &status, 0), child);
    ASSERT_TRUE(WIFEXITED(status));
    if (WEXITSTATUS(status) == kNoLimitHere) {
        GTEST_SKIP() << "no user namespace whose limit of kernel watches can be set";
    }
    EXPECT_EQ(WEXITSTATUS(status), 0);
}

} // namespace
} // namespace quillstamper::os
