// quillstamper-cli watch: the debounce in this process, the program on small
// sites whose templates and project file change as editors save them.

#include "cli/cli_watch.h"
#include "files/os_files.h"
#include "project/project_file.h"
#include "support/cli_process.h"
#include "support/markers.h"
#include "support/test_files.h"

#include <gtest/gtest.h>

#include <csignal>
#include <filesystem>
#include <functional>
#include <thread>

namespace {

namespace fs = std::filesystem;
using namespace quillstamper;
using namespace quillstamper::test;
using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;

// Tells a change at each of the given times after it was made.
class ScriptedWatch : public os::ChangeWatch {
public:
    explicit ScriptedWatch(std::vector<std::chrono::milliseconds> changes)
        : m_changes(std::move(changes)) {}
    void Watch(const os::WatchList&) override {}
    bool WaitForChange(std::chrono::milliseconds timeout) override {
        const Clock::time_point until = Clock::now() + timeout;
        const bool changes = told < m_changes.size() && start + m_changes[told] <= until;
        std::this_thread::sleep_until(changes ? start + m_changes[told++] : until);
        return changes;
    }
    void IgnoreOwnWrites(const std::vector<FileState>&) override {}
    bool Polls() const override {
        return false;
    }
    std::string WhyPolls() const override {
        return {};
    }
    const Clock::time_point start = Clock::now();
    std::size_t told = 0;

private:
    std::vector<std::chrono::milliseconds> m_changes;
};

TEST(WatchTest, RunsOnlyOnceChangesSettleAndStopsOnASignal) {
    ScriptedWatch watch({50ms, 150ms, 300ms});
    EXPECT_TRUE(cli::WaitForSettledChange(watch, 200ms, nullptr));
    EXPECT_EQ(watch.told, 3u);
    // 300 ms to the last change and 200 ms of quiet after it; a millisecond
    // less where the wait's timer and this clock disagree by a tick (Wine).
    EXPECT_GE(Clock::now() - watch.start, 499ms);
    const std::atomic<int> stop{SIGINT};
    EXPECT_FALSE(cli::WaitForSettledChange(watch, 200ms, &stop));
}

std::string Template(const std::string& text) {
    return kMenu + "\n" + text + "\n" + kMenuEnd + "\n";
}

std::string Page(const std::string& text) {
    return "top\n" + Template(text) + "bottom\n";
}

// Looks every 20 ms until done() or the time is up.
bool Within(std::chrono::seconds limit, const std::function<bool()>& done) {
    for (const auto deadline = Clock::now() + limit; Clock::now() < deadline;) {
        if (done()) {
            return true;
        }
        std::this_thread::sleep_for(20ms);
    }
    return false;
}

bool PageHas(const std::string& page, const std::string& text) {
    return Within(10s, [&] { return ReadBytes(page).find(text) != std::string::npos; });
}

// Waits for its end, which must be clean: status 0 and no temporary file left.
CliRun Stop(CliProcess& watch, int signal, const TempDir& dir) {
    watch.Signal(signal);
    CliRun run = watch.Wait();
    EXPECT_EQ(run.status, 0) << run.err;
    for (const auto& entry : fs::recursive_directory_iterator(dir.Path())) {
        EXPECT_FALSE(entry.path().filename().string().starts_with(".qs-")) << entry.path();
    }
    return run;
}

// The runs whose summaries out holds.
std::size_t Runs(const std::string& out) {
    std::size_t count = 0;
    for (std::size_t at = 0; (at = out.find("Conversion done!", at)) != std::string::npos; ++at) {
        ++count;
    }
    return count;
}

TEST(WatchProcessTest, RunsOnceOnEachSaveOfATemplate) {
    TempDir dir;
    const std::string page = dir / "page.html";
    const std::string menu = dir / "tpl/menu.tpl";
    WriteBytes(page, Page("old"));
    WriteBytes(menu, Template("start"));
    CliProcess watch({"watch", "--web", "page.html", "--template", "tpl"},
                     {.folder = dir.Path(), .timeout = 60s});
    ASSERT_TRUE(PageHas(page, "start"));
    const std::pair<std::string, std::function<void(const std::string&)>> saves[] = {
        {"renamed over",
         [&](const std::string& bytes) {
             WriteBytes(dir / "tpl/.menu.tpl.swp", bytes);
             fs::rename(dir / "tpl/.menu.tpl.swp", menu);
         }},
        {"written in place", [&](const std::string& bytes) { WriteBytes(menu, bytes); }},
        {"deleted and made again",
         [&](const std::string& bytes) {
             fs::remove(menu);
             WriteBytes(menu, bytes);
         }},
        // Found only if the folder is searched again.
        {"a new file",
         [&](const std::string& bytes) {
             WriteBytes(dir / "tpl/new.tpl", bytes);
             fs::remove(menu);
         }},
    };
    for (const auto& [text, save] : saves) {
        save(Template(text));
        EXPECT_TRUE(PageHas(page, text)) << text;
    }
    EXPECT_EQ(Runs(Stop(watch, SIGINT, dir).out), 5u);
}

TEST(WatchProcessTest, ReadsTheProjectFileAgainAndIgnoresPages) {
    TempDir dir;
    const std::string page = dir / "page.html";
    WriteBytes(page, Page("old"));
    WriteBytes(dir / "a.tpl", Template("from a"));
    WriteBytes(dir / "b.tpl", Template("from b"));
    const auto project = [&](const std::string& templateFile) {
        WriteProjectFile(dir / "site.trvx",
                         {{"page.html"}, {templateFile}, DefaultIdentifiers(), LineEnds::Keep});
    };
    project("a.tpl");
    CliProcess watch({"watch", "site.trvx"}, {.folder = dir.Path(), .timeout = 60s});
    ASSERT_TRUE(PageHas(page, "from a"));
    // The page lies beside the templates: neither its edit nor the run's own write counts.
    WriteBytes(page, Page("by hand"));
    std::this_thread::sleep_for(700ms); // the debounce and a run, had one started
    EXPECT_EQ(ReadBytes(page), Page("by hand"));
    WriteBytes(dir / "site.trvx", "not a project\n");
    ASSERT_TRUE(Within(10s, [&] {
        return watch.ErrorsSoFar().find("site.trvx: No project file!") != std::string::npos;
    })) << watch.ErrorsSoFar();
    project("b.tpl");
    EXPECT_TRUE(PageHas(page, "from b"));
    WriteBytes(dir / "b.tpl", Template("b again"));
    EXPECT_TRUE(PageHas(page, "b again"));
    EXPECT_EQ(Runs(Stop(watch, SIGTERM, dir).out), 3u);
}

// A page that is also a template: the run's own write of it starts no run
// (each run would add a copy of the block another template holds, for
// ever); the user's edit of it does, once.
TEST(WatchProcessTest, APageThatIsATemplateRunsOnceForEachEdit) {
    TempDir dir;
    const std::string page = dir / "index.html";
    WriteBytes(dir / "a.tpl", Template("from a"));
    WriteBytes(page, Page("old"));
    CliProcess watch({"watch", "--web", "index.html", "--template", "a.tpl", "index.html"},
                     {.folder = dir.Path(), .timeout = 60s});
    const auto runsSoFar = [&] { return Runs(watch.OutputSoFar()); };
    ASSERT_TRUE(Within(10s, [&] { return runsSoFar() == 1; }));
    std::this_thread::sleep_for(1500ms); // where runs would follow each other
    EXPECT_EQ(runsSoFar(), 1u);
    WriteBytes(page, Page("by hand"));
    EXPECT_TRUE(Within(10s, [&] { return runsSoFar() == 2; }));
    std::this_thread::sleep_for(1500ms);
    EXPECT_EQ(Runs(Stop(watch, SIGINT, dir).out), 2u);
}

// Folders that give no file yet are waited for: a template, then a page.
TEST(WatchProcessTest, WaitsForFilesInFoldersGivenEmpty) {
    TempDir dir;
    fs::create_directories(dir / "pages");
    fs::create_directories(dir / "tpl");
    CliProcess watch({"watch", "--web", "pages", "--template", "tpl"},
                     {.folder = dir.Path(), .timeout = 60s});
    ASSERT_TRUE(Within(10s, [&] {
        return watch.ErrorsSoFar().find("You added 0 Web Files and 0 Template Files!") !=
               std::string::npos;
    })) << watch.ErrorsSoFar();
    EXPECT_NE(watch.ErrorsSoFar().find("pages: no web file below this folder yet; waiting for one"),
              std::string::npos);
    WriteBytes(dir / "tpl/menu.tpl", Template("menu"));
    ASSERT_TRUE(Within(10s, [&] {
        return watch.ErrorsSoFar().find("You added 0 Web Files and 1 Template File!") !=
               std::string::npos;
    })) << watch.ErrorsSoFar();
    WriteBytes(dir / "pages/a.html", Page("old"));
    EXPECT_TRUE(PageHas(dir / "pages/a.html", "menu"));
    Stop(watch, SIGINT, dir);
}

} // namespace
