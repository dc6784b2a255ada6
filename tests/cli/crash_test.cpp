// quillstamper-cli killed with SIGKILL at random moments of a run: every page
// keeps either its old or its new content, at most one temporary file is
// left, and the next run finishes the job.

#include "support/cli_process.h"
#include "support/markers.h"
#include "support/test_files.h"

#include <gtest/gtest.h>

#include <chrono>
#include <csignal>
#include <filesystem>
#include <random>
#include <thread>
#include <vector>

namespace {

using namespace quillstamper::test;

constexpr int kPages = 2000;
constexpr int kRuns = 20;

CliProcess StartDynamize(const std::string& project) {
    return CliProcess({"dynamize", project, "--quiet"});
}

std::string PageName(int page) {
    return "pages/p" + std::to_string(page) + ".html";
}

std::string OldPage(int page) {
    return "<p>page " + std::to_string(page) + "</p>\r\n" + kMenu + "\r\nold menu\r\n" + kMenuEnd +
           "\r\n<p>" + std::string(1500, 'x') + "</p>\r\n";
}

void LayOldPages(const TempDir& dir, int pages) {
    for (int page = 0; page < pages; ++page) {
        WriteBytes(dir / PageName(page), OldPage(page));
    }
}

// A project of that many pages and one template; returns the project file.
std::string WriteSite(const TempDir& dir, int pages) {
    std::string project = "Trelvonix Quillstamper Project\r\n=\r\n\r\n";
    for (int page = 0; page < pages; ++page) {
        project += PageName(page) + "\r\n";
    }
    project +=
        "[EOL]\r\nmenu.tpl\r\n[EOL]\r\n<!-- Trelvonix \r\n end -->\r\n\r\n\r\n\r\n\r\n\r\n\r\n";
    WriteBytes(dir / "site.trvx", project);
    WriteBytes(dir / "menu.tpl", kMenu + "\r\n<a href=\"/\">new menu</a>\r\n" + kMenuEnd + "\r\n");
    return dir / "site.trvx";
}

TEST(CrashTest, KilledRunsLeaveEveryPageOldOrNew) {
    const TempDir dir;
    WriteSite(dir, kPages);
    const auto layOldPages = [&] { LayOldPages(dir, kPages); };
    // The new content, and how long a whole run takes.
    layOldPages();
    const auto begin = std::chrono::steady_clock::now();
    ASSERT_EQ(StartDynamize(dir / "site.trvx").Wait().status, 0);
    const auto whole = std::chrono::steady_clock::now() - begin;
    std::vector<std::string> newPages;
    for (int page = 0; page < kPages; ++page) {
        newPages.push_back(ReadBytes(dir / PageName(page)));
        ASSERT_NE(newPages.back(), OldPage(page));
    }

    std::mt19937 random(20261207);
    int partlyDone = 0;
    int temporariesLeft = 0;
    for (int run = 0; run < kRuns; ++run) {
        layOldPages();
        const auto delay = std::chrono::duration_cast<std::chrono::microseconds>(whole) *
                           std::uniform_real_distribution<double>(0.0, 1.1)(random);
        CliProcess child = StartDynamize(dir / "site.trvx");
        std::this_thread::sleep_for(delay);
        child.Kill();
        child.Wait();

        int converted = 0;
        for (int page = 0; page < kPages; ++page) {
            const std::string bytes = ReadBytes(dir / PageName(page));
            ASSERT_TRUE(bytes == OldPage(page) || bytes == newPages[page])
                << "run " << run << ", page " << page << " is neither old nor new";
            converted += bytes == newPages[page] ? 1 : 0;
        }
        partlyDone += converted > 0 && converted < kPages ? 1 : 0;
        // Temporary files get a name only right before their rename: a kill
        // leaves one at most, which no later run may take for its own.
        const auto names = ListFolder(dir / "pages");
        const int left = static_cast<int>(names.size()) - kPages;
        EXPECT_LE(left, 1) << "run " << run;
        temporariesLeft += left;

        // The next run completes the job.
        ASSERT_EQ(StartDynamize(dir / "site.trvx").Wait().status, 0) << "run " << run;
        EXPECT_EQ(ListFolder(dir / "pages").size(), names.size()) << "run " << run;
        for (const std::string& name : names) {
            if (name.rfind(".qs-", 0) == 0) {
                std::filesystem::remove(dir / ("pages/" + name));
            }
        }
        for (int page = 0; page < kPages; page += 97) {
            ASSERT_EQ(ReadBytes(dir / PageName(page)), newPages[page]);
        }
    }
    // The kills must have struck inside runs, not only before or after them.
    EXPECT_GT(partlyDone + temporariesLeft, 0);
    RecordProperty("PartlyConvertedRuns", partlyDone);
    RecordProperty("TemporaryFilesLeftByKills", temporariesLeft);
}

// Two runs on the same site at once: each finds some pages already written
// by the other and takes them as they are; both succeed, and every page ends
// as converted.
TEST(CrashTest, TwoRunsAtOnceBothSucceed) {
    constexpr int kRounds = 10;
    const TempDir dir;
    const std::string project = WriteSite(dir, 400);
    for (int round = 0; round < kRounds; ++round) {
        LayOldPages(dir, 400);
        CliProcess first = StartDynamize(project);
        CliProcess second = StartDynamize(project);
        ASSERT_EQ(first.Wait().status, 0) << "round " << round;
        ASSERT_EQ(second.Wait().status, 0) << "round " << round;
        for (int page = 0; page < 400; ++page) {
            ASSERT_NE(ReadBytes(dir / PageName(page)).find("new menu"), std::string::npos)
                << "round " << round << ", page " << page;
        }
        ASSERT_EQ(ListFolder(dir / "pages").size(), 400u) << "round " << round;
    }
}

// SIGINT and SIGTERM at random moments: the run stops cleanly, says how far
// it got and exits with 128 plus the signal; every page is old or new and no
// temporary file is left.
TEST(CrashTest, InterruptedRunsStopCleanly) {
    constexpr int kRounds = 12;
    const TempDir dir;
    const std::string project = WriteSite(dir, kPages);
    LayOldPages(dir, kPages);
    const auto begin = std::chrono::steady_clock::now();
    ASSERT_EQ(StartDynamize(project).Wait().status, 0);
    const auto whole = std::chrono::steady_clock::now() - begin;
    std::mt19937 random(7);
    int interrupted = 0;
    for (int round = 0; round < kRounds; ++round) {
        LayOldPages(dir, kPages);
#ifdef _WIN32
        const int signal = SIGINT; // Ctrl-C is all a console program is sent there
#else
        const int signal = round % 2 == 0 ? SIGINT : SIGTERM;
#endif
        CliProcess child = StartDynamize(project);
        child.WaitUntilCatching(signal);
        std::this_thread::sleep_for(std::chrono::duration_cast<std::chrono::microseconds>(whole) *
                                    std::uniform_real_distribution<double>(0.1, 1.0)(random));
        child.Signal(signal);
        const CliRun stopped = child.Wait();
        const int status = stopped.status;
        ASSERT_NE(status, -1) << "round " << round; // it exited, not killed by the signal
        const std::string& errors = stopped.err;
        if (status != 0) {
            ++interrupted;
            EXPECT_EQ(status, 128 + signal) << errors;
            EXPECT_EQ(errors.rfind("interrupted: ", 0), 0u) << errors;
        }
        int converted = 0;
        for (int page = 0; page < kPages; ++page) {
            const std::string bytes = ReadBytes(dir / PageName(page));
            const bool isNew = bytes.find("new menu") != std::string::npos;
            ASSERT_TRUE(isNew || bytes == OldPage(page)) << "round " << round << ", page " << page;
            converted += isNew ? 1 : 0;
        }
        ASSERT_EQ(ListFolder(dir / "pages").size(), static_cast<std::size_t>(kPages));
        if (status != 0) {
            // The count it gave is the count on disk.
            EXPECT_NE(errors.find("interrupted: " + std::to_string(converted) + " updated, "),
                      std::string::npos)
                << errors;
        }
    }
    EXPECT_GT(interrupted, 0);
}

} // namespace
