// quillstamper-cli killed with SIGKILL at random moments of a run: every page
// keeps either its old or its new content, at most one temporary file is
// left, and the next run finishes the job.

#include "support/test_files.h"

#include <gtest/gtest.h>

#include <chrono>
#include <csignal>
#include <fcntl.h>
#include <filesystem>
#include <random>
#include <spawn.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>
#include <vector>

namespace {

using namespace quillstamper::test;

constexpr int kPages = 2000;
constexpr int kRuns = 20;

pid_t StartDynamize(const std::string& project, const std::string& errors = "/dev/null") {
    std::vector<std::string> args = {QUILLSTAMPER_CLI, "dynamize", project, "--quiet"};
    std::vector<char*> argv;
    for (std::string& arg : args) {
        argv.push_back(arg.data());
    }
    argv.push_back(nullptr);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, STDOUT_FILENO, "/dev/null", O_WRONLY, 0);
    posix_spawn_file_actions_addopen(&actions, STDERR_FILENO, errors.c_str(),
                                     O_WRONLY | O_CREAT | O_TRUNC, 0644);
    pid_t child = -1;
    EXPECT_EQ(posix_spawn(&child, argv[0], &actions, nullptr, argv.data(), environ), 0);
    posix_spawn_file_actions_destroy(&actions);
    return child;
}

int Wait(pid_t child) {
    int status = 0;
    ::waitpid(child, &status, 0);
    return status;
}

std::string PageName(int page) {
    return "pages/p" + std::to_string(page) + ".html";
}

std::string OldPage(int page) {
    return "<p>page " + std::to_string(page) + "</p>\r\n<!-- Trelvonix menu -->\r\nold menu\r\n" +
           "<!-- Trelvonix menu end -->\r\n<p>" + std::string(1500, 'x') + "</p>\r\n";
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
    WriteBytes(
        dir / "menu.tpl",
        "<!-- Trelvonix menu -->\r\n<a href=\"/\">new menu</a>\r\n<!-- Trelvonix menu end -->\r\n");
    return dir / "site.trvx";
}

TEST(CrashTest, KilledRunsLeaveEveryPageOldOrNew) {
    const TempDir dir;
    WriteSite(dir, kPages);
    const auto layOldPages = [&] { LayOldPages(dir, kPages); };
    // The new content, and how long a whole run takes.
    layOldPages();
    const auto begin = std::chrono::steady_clock::now();
    ASSERT_EQ(Wait(StartDynamize(dir / "site.trvx")), 0);
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
        const pid_t child = StartDynamize(dir / "site.trvx");
        std::this_thread::sleep_for(delay);
        ::kill(child, SIGKILL);
        Wait(child);

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
        ASSERT_EQ(Wait(StartDynamize(dir / "site.trvx")), 0) << "run " << run;
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
        const pid_t first = StartDynamize(project);
        const pid_t second = StartDynamize(project);
        ASSERT_EQ(Wait(first), 0) << "round " << round;
        ASSERT_EQ(Wait(second), 0) << "round " << round;
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
    ASSERT_EQ(Wait(StartDynamize(project)), 0);
    const auto whole = std::chrono::steady_clock::now() - begin;
    std::mt19937 random(7);
    int interrupted = 0;
    for (int round = 0; round < kRounds; ++round) {
        LayOldPages(dir, kPages);
        const int signal = round % 2 == 0 ? SIGINT : SIGTERM;
        const pid_t child = StartDynamize(project, dir / "errors.txt");
        std::this_thread::sleep_for(std::chrono::duration_cast<std::chrono::microseconds>(whole) *
                                    std::uniform_real_distribution<double>(0.1, 1.0)(random));
        ::kill(child, signal);
        const int status = Wait(child);
        ASSERT_TRUE(WIFEXITED(status)) << "round " << round;
        const std::string errors = ReadBytes(dir / "errors.txt");
        if (WEXITSTATUS(status) != 0) {
            ++interrupted;
            EXPECT_EQ(WEXITSTATUS(status), 128 + signal) << errors;
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
        if (WEXITSTATUS(status) != 0) {
            // The count it gave is the count on disk.
            EXPECT_NE(errors.find("interrupted: " + std::to_string(converted) + " updated, "),
                      std::string::npos)
                << errors;
        }
    }
    EXPECT_GT(interrupted, 0);
}

} // namespace
