// quillstamper-cli on input that is wrong or extreme: a result or a clear
// message, never a crash, and memory within a small multiple of the input.

#include "support/cli_process.h"
#include "support/markers.h"
#include "support/test_files.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <chrono>
#include <cstring>
#include <functional>
#include <sys/stat.h>
#include <unistd.h>
#ifndef _WIN32
#include <sys/wait.h>
#endif
#include <vector>

namespace {

using namespace quillstamper::test;

bool UnderSanitizer() {
#if defined(__SANITIZE_ADDRESS__)
    return true;
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
    return true;
#endif
#endif
    return false;
}

TEST(BadInputTest, BinaryBytesLoneCrAndInvalidUtf8PassThrough) {
    SKIP_ON_WINDOWS("names are UTF-16 there: bytes that are no UTF-8 name no file");
    const TempDir dir;
    const std::string binary = std::string("\0\x01\xff\xfe", 4) + "\r\r\xc3\x28 lone CR\rstays\r\n";
    const std::string content("\xe2\x82\xac new \0 menu", 14);
    const std::string page = binary + kMenu + "\r\nold\r\n" + kMenuEnd + "\r\n" + binary;
    // A name that is no UTF-8.
    WriteBytes(dir / "site/\xff\xfe-page.html", page);
    WriteBytes(dir / "menu.tpl", kMenu + "\r\n" + content + "\r\n" + kMenuEnd + "\r\n");
    const CliRun run = RunCli({"dynamize", "--web", dir / "site", "--template", dir / "menu.tpl"});
    EXPECT_EQ(run.status, 0) << run.err;
    // The name is quoted, the bytes of the page are not.
    EXPECT_NE(run.out.find("updated \"" + (dir / R"(site/\377\376-page.html")")), std::string::npos)
        << run.out;
    EXPECT_EQ(ReadBytes(dir / "site/\xff\xfe-page.html"),
              binary + kMenu + "\r\n" + content + "\r\n" + kMenuEnd + "\r\n" + binary);
}

TEST(BadInputTest, BrokenProjectFilesGiveAClearMessage) {
    const TempDir dir;
    const std::pair<std::string, std::string> cases[] = {
        {"", "No project file!"},
        {"Trelvonix Quillstamper Project", "ends inside"},
        {"Trelvonix Quillstamper Project\r\n==\r\n\r\na.html\r\n", "ends inside"},
        {"Trelvonix Quillstamper Project\r\n==\r\n\r\n[EOL]\r\nt.tpl\r\n", "ends inside"},
        {std::string("\0\0\xff", 3), "No project file!"},
    };
    for (const auto& [bytes, message] : cases) {
        WriteBytes(dir / "p.trvx", bytes);
        const CliRun run = RunCli({"check", dir / "p.trvx"});
        EXPECT_EQ(run.status, 2) << bytes;
        EXPECT_NE(run.err.find(message), std::string::npos) << run.err;
    }
    // A path of 10,000 characters: the file error names the cause.
    const std::string longPath = "/" + std::string(10000, 'p') + ".html";
    WriteBytes(dir / "p.trvx", "Trelvonix Quillstamper Project\r\n==\r\n\r\n" + longPath +
                                   "\r\n[EOL]\r\nt.tpl\r\n[EOL]\r\n");
    const CliRun run = RunCli({"check", dir / "p.trvx"});
    EXPECT_EQ(run.status, 2);
    EXPECT_NE(run.err.find(std::strerror(ENAMETOOLONG)), std::string::npos)
        << run.err.substr(run.err.size() > 100 ? run.err.size() - 100 : 0);
}

// What is no regular file is refused at once, without waiting on it, and so
// is a file over the limit.
TEST(BadInputTest, FifosDevicesAndFilesOverTheLimitAreRefused) {
#ifdef _WIN32
    GTEST_SKIP() << "Windows: no FIFOs, /dev or /proc";
#else
    const TempDir dir;
    const std::string page = kMenu + "\r\nold\r\n" + kMenuEnd + "\r\n";
    WriteBytes(dir / "site/page.html", page);
    WriteBytes(dir / "menu.tpl", kMenu + "\r\nnew\r\n" + kMenuEnd + "\r\n");
    WriteBytes(dir / "big.html", page + std::string(2000, 'x'));
    WriteBytes(dir / "p.trvx", "Trelvonix Quillstamper Project\r\n" + std::string(2000, ' '));
    for (const char* fifo : {"site/fifo.html", "fifo.tpl", "fifo.trvx"}) {
        ASSERT_EQ(::mkfifo((dir / fifo).c_str(), 0644), 0);
    }
    const std::string page1 = dir / "site/page.html", menu = dir / "menu.tpl";
    const std::string notRegular = ": not a regular file\n";
    const std::string overLimit = ": larger than the limit of ";
    const struct {
        std::vector<std::string> args;
        std::string path;
        std::string cause; // empty: the run succeeds
    } cases[] = {
        {{"dynamize", "--web", dir / "site/fifo.html", "--template", menu},
         "site/fifo.html",
         notRegular},
        {{"dynamize", "--web", page1, "--template", dir / "fifo.tpl"}, "fifo.tpl", notRegular},
        {{"check", "--web", dir / "site/fifo.html", "--template", menu},
         "site/fifo.html",
         notRegular},
        {{"check", "--web", page1, "--template", dir / "fifo.tpl"}, "fifo.tpl", notRegular},
        {{"dynamize", dir / "fifo.trvx"}, "fifo.trvx", notRegular},
        {{"check", dir / "fifo.trvx"}, "fifo.trvx", notRegular},
        {{"dynamize", "--web", "/dev/zero", "--template", menu}, "/dev/zero", notRegular},
        // A folder search passes the FIFO by.
        {{"dynamize", "--dry-run", "--web", dir / "site", "--template", menu}, "", ""},
        {{"dynamize", "--web", dir / "big.html", "--template", menu, "--max-file-size", "2k"},
         "big.html",
         overLimit + "2 KiB (--max-file-size)\n"},
        {{"check", "--web", page1, "--template", menu, "--max-file-size", "49"},
         "site/page.html",
         overLimit + "49 bytes (--max-file-size)\n"},
        {{"check", dir / "p.trvx", "--max-file-size", "1K"},
         "p.trvx",
         overLimit + "1 KiB (--max-file-size)\n"},
        {{"dynamize", "--dry-run", "--web", dir / "big.html", "--template", menu, "--max-file-size",
          "3K"},
         "",
         ""},
        // Its size says 0: the limit holds while reading.
        {{"check", "--web", "/proc/self/maps", "--template", menu, "--max-file-size", "100"},
         "/proc/self/maps",
         overLimit + "100 bytes (--max-file-size)\n"},
    };
    for (const auto& c : cases) {
        // Ended after 10 seconds, with status 124, should the tool wait on a FIFO.
        const CliRun run = RunCli(c.args, {.timeout = std::chrono::seconds(10)});
        const std::string path = c.path.starts_with('/') ? c.path : dir / c.path;
        if (c.cause.empty()) {
            EXPECT_EQ(run.status, 0) << run.err;
        } else {
            EXPECT_EQ(run.status, 2) << path;
            EXPECT_EQ(run.err, "quillstamper-cli: " + path + c.cause);
        }
    }
    EXPECT_EQ(ReadBytes(dir / "site/page.html"), page);
    for (const char* size :
         {"", "K", "12KB", "1.5M", "-1", "99999999999999999999", "17179869184G"}) {
        const CliRun run = RunCli({"check", dir / "p.trvx", "--max-file-size", size});
        EXPECT_EQ(run.status, 2) << size;
        EXPECT_NE(run.err.find("--max-file-size"), std::string::npos) << run.err;
    }
#endif
}

// Escape sequences in a file name reach the terminal quoted, on one line.
TEST(BadInputTest, FileNamesAreQuotedInOutput) {
    SKIP_ON_WINDOWS("control characters name no file there");
    const TempDir dir;
    const std::string name = "p\x1b]0;title\x07\x1b[2J\nx.html";
    WriteBytes(dir / name, kMenu + "\r\nold\r\n" + kMenuEnd + "\r\n");
    WriteBytes(dir / "menu.tpl", kMenu + "\r\nnew\r\n" + kMenuEnd + "\r\n");
    const CliRun run =
        RunCli({"dynamize", "--diff", "--web", dir / name, "--template", dir / "menu.tpl"});
    EXPECT_EQ(run.status, 0) << run.err;
    const std::string quoted = "\"" + (dir / R"(p\033]0;title\a\033[2J\nx.html")");
    EXPECT_TRUE(
        run.out.starts_with("updated " + quoted + "\n--- " + quoted + "\n+++ " + quoted + "\n@@ "))
        << run.out;
    EXPECT_EQ(run.out.find('\x1b'), std::string::npos);
}

std::string ManyLines(const std::string& menuContent, const std::string& lineEnd) {
    std::string text;
    for (int i = 0; i < 1000000; ++i) {
        text += i % 1000 == 0 ? kMenu + "\r\n" + menuContent + "\r\n" + kMenuEnd + "\r\n"
                              : "line" + lineEnd;
    }
    return text;
}

// Writes big inputs from a child process: a tool started from this process
// is charged with this process's peak memory until it execs, so this one
// must stay small.
void WriteInChild(const std::function<void()>& write) {
#ifdef _WIN32
    write(); // a process started here has memory counters of its own
#else
    const pid_t child = ::fork();
    if (child == 0) {
        write();
        ::_exit(::testing::Test::HasFailure() ? 1 : 0);
    }
    int status = 0;
    ::waitpid(child, &status, 0);
    ASSERT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
#endif
}

// Huge input: memory stays within a small multiple of it.
TEST(BadInputTest, HugeLinesManyLinesAndHugeProjectFilesStayBounded) {
    if (UnderSanitizer()) {
        GTEST_SKIP() << "sizes of hundreds of megabytes are measured in the normal build";
    }
    const TempDir dir;
    constexpr long kLineMegabytes = 200;
    WriteInChild([&] {
        WriteBytes(dir / "line.html", kMenu + "\r\n" + std::string(kLineMegabytes << 20, 'x') +
                                          "\r\n" + kMenuEnd + "\r\n");
        WriteBytes(dir / "many.html", ManyLines("old", "\n"));
    });
    WriteBytes(dir / "menu.tpl", kMenu + "\r\nnew\r\n" + kMenuEnd + "\r\n");
    const CliRun huge =
        RunCli({"dynamize", "--web", dir / "line.html", "--template", dir / "menu.tpl"});
    EXPECT_EQ(huge.status, 0) << huge.err;
    EXPECT_LT(huge.peakMegabytes, 3 * kLineMegabytes + 30);
    const CliRun many =
        RunCli({"dynamize", "--web", dir / "many.html", "--template", dir / "menu.tpl"});
    EXPECT_EQ(many.status, 0) << many.err;
    EXPECT_LT(many.peakMegabytes, 100); // 6 MB of input, a million lines
                                        // Pages named on the command line keep their line ends.
    EXPECT_TRUE(ReadBytes(dir / "many.html") == ManyLines("new", "\n"));

    // A project file of 300 MB, whose first page does not exist.
    constexpr long kProjectMegabytes = 300;
    WriteInChild([&] {
        std::string project = "Trelvonix Quillstamper Project\r\n==\r\n\r\n";
        while (project.size() < (static_cast<std::size_t>(kProjectMegabytes) << 20)) {
            project += "pages/a-rather-long-folder-name/and-a-page-name.html\r\n";
        }
        WriteBytes(dir / "big.trvx", project + "[EOL]\r\n[EOL]\r\n");
    });
    const CliRun big = RunCli({"check", dir / "big.trvx"});
    EXPECT_EQ(big.status, 2);
    EXPECT_NE(big.err.find("and-a-page-name.html"), std::string::npos);
    EXPECT_LT(big.peakMegabytes, 4 * kProjectMegabytes);
}

} // namespace
