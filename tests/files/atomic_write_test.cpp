#include "files/atomic_write.h"

#include "base/file_error.h"
#include "support/test_files.h"

#include <gtest/gtest.h>

#include <csignal>
#include <filesystem>
#include <sys/stat.h>
#ifdef _WIN32
#include <windows.h>
#else
#include <sys/resource.h>
#include <unistd.h>
#endif

namespace quillstamper {
namespace {

using test::ListFolder;
using test::ReadBytes;
using Names = std::vector<std::string>;

// 0 when the write succeeds, 1 on a FileError naming path, 2 otherwise.
int Write(const std::string& path, std::string_view bytes) {
    try {
        WriteFileAtomic(path, bytes);
        return 0;
    } catch (const FileError& error) {
        return error.File() == path ? 1 : 2;
    }
}

void MakeFile(const std::string& path, std::string_view bytes, mode_t mode) {
    test::WriteBytes(path, bytes);
    ASSERT_EQ(::chmod(path.c_str(), mode), 0);
}

TEST(AtomicWriteTest, ReplacesContentKeepingModeAndLinks) {
    const test::TempDir dir;
    EXPECT_EQ(Write(dir / "new.html", "a\r\n"), 0);
    EXPECT_EQ(ReadBytes(dir / "new.html"), "a\r\n");
    MakeFile(dir / "old.html", "a much longer old content\r\n", 0640);
    EXPECT_EQ(Write(dir / "old.html", "b"), 0);
    EXPECT_EQ(ReadBytes(dir / "old.html"), "b");
#ifdef _WIN32
    EXPECT_EQ(ListFolder(dir.Path()), (Names{"new.html", "old.html"}));
    GTEST_SKIP() << "Windows: no permission bits, and links need a privilege (a stub in Wine)";
#endif
    EXPECT_EQ(test::PermissionBits(dir / "old.html"), 0640u);
    MAKE_LINK_OR_SKIP("old.html", dir / "link.html");
    EXPECT_EQ(Write(dir / "link.html", "via link"), 0);
    EXPECT_TRUE(std::filesystem::is_symlink(dir / "link.html"));
    EXPECT_EQ(ReadBytes(dir / "old.html"), "via link");
    EXPECT_EQ(ListFolder(dir.Path()), (Names{"link.html", "new.html", "old.html"}));
}

// The replacement is made with the page's bits where the mask allows, and
// only what still differs is set: each mix of mask, bits and owner ends as
// the page was.
TEST(AtomicWriteTest, KeepsOwnerAndModeWhateverTheMask) {
#ifdef _WIN32
    GTEST_SKIP() << "Windows: no permission bits or owners";
#else
    const test::TempDir dir;
    const bool root = ::geteuid() == 0;
    for (const mode_t mask : {mode_t{022}, mode_t{0}, mode_t{077}}) {
        for (const mode_t mode : {mode_t{0644}, mode_t{0600}, mode_t{0666}, mode_t{04755}}) {
            for (const uid_t owner : {::geteuid(), uid_t{65534}}) {
                if (owner != ::geteuid() && !root) {
                    continue;
                }
                SCOPED_TRACE(testing::Message() << std::oct << "mask " << mask << ", mode " << mode
                                                << std::dec << ", owner " << owner);
                const std::string page = dir / "page.html";
                MakeFile(page, "old", mode);
                const gid_t group = owner == ::geteuid() ? ::getegid() : gid_t{65534};
                ASSERT_EQ(::chown(page.c_str(), owner, group), 0);
                ASSERT_EQ(::chmod(page.c_str(), mode), 0); // a change of owner drops set-id bits
                const mode_t oldMask = ::umask(mask);
                const int written = Write(page, "new");
                ::umask(oldMask);
                ASSERT_EQ(written, 0);
                struct stat info {};
                ASSERT_EQ(::stat(page.c_str(), &info), 0);
                EXPECT_EQ(info.st_mode & 07777, mode);
                EXPECT_EQ(info.st_uid, owner);
                EXPECT_EQ(info.st_gid, group);
                EXPECT_EQ(ReadBytes(page), "new");
            }
        }
    }
#endif
}

TEST(AtomicWriteTest, FailuresNameThePathAndLeaveNothingBehind) {
    const test::TempDir dir;
    EXPECT_EQ(Write(dir / "no/such/folder.html", "x"), 1);
#ifdef _WIN32
    if (test::IsPrivileged()) {
        GTEST_SKIP() << "read-only files are writable here (Wine run by root)";
    }
#endif
    MakeFile(dir / "locked.html", "old", 0444);
    EXPECT_EQ(test::RunAsUnprivileged([&] { return Write(dir / "locked.html", "new"); }), 1);
    EXPECT_EQ(ReadBytes(dir / "locked.html"), "old");
#ifdef _WIN32
    EXPECT_EQ(ListFolder(dir.Path()), (Names{"locked.html"}));
    GTEST_SKIP() << "Windows: no limit of file sizes";
#else
    // The file size limit cuts the write short once the temporary file exists.
    MakeFile(dir / "big.html", "old", 0666);
    EXPECT_EQ(test::RunAsUnprivileged([&] {
                  rlimit saved{};
                  ::getrlimit(RLIMIT_FSIZE, &saved);
                  const rlimit tiny{16, saved.rlim_max};
                  std::signal(SIGXFSZ, SIG_IGN);
                  ::setrlimit(RLIMIT_FSIZE, &tiny);
                  const int result = Write(dir / "big.html", std::string(100, 'x'));
                  ::setrlimit(RLIMIT_FSIZE, &saved);
                  return result;
              }),
              1);
    EXPECT_EQ(ReadBytes(dir / "big.html"), "old");
    EXPECT_EQ(ListFolder(dir.Path()), (Names{"big.html", "locked.html"}));
#endif
}

TEST(AtomicWriteTest, WritesInPlaceWhereTheFolderTakesNoNewFile) {
#ifdef _WIN32
    GTEST_SKIP() << "Windows: no permission bits on folders (see HeldOpenPageIsWrittenInPlace)";
#else
    const test::TempDir dir;
    const std::string path = dir / "closed/page.html";
    MakeFile(path, "old content that is longer", 0666);
    ASSERT_EQ(::chmod((dir / "closed").c_str(), 0555), 0);
    // The old bytes wait in the recovery folder meanwhile.
    std::filesystem::create_directory(dir / "cache");
    ASSERT_EQ(::chmod((dir / "cache").c_str(), 0777), 0);
    EXPECT_EQ(test::RunAsUnprivileged([&] {
                  ::setenv("XDG_CACHE_HOME", (dir / "cache").c_str(), 1);
                  return Write(path, "new\r\n");
              }),
              0);
    EXPECT_EQ(ReadBytes(path), "new\r\n");
    EXPECT_EQ(ListFolder(dir / "closed"), Names{"page.html"});
#endif
}

#ifdef _WIN32
// A page another program holds open without letting it be deleted cannot be
// renamed over: it is written in place, its old bytes kept meanwhile in the
// recovery folder and that copy removed once the write is done.
TEST(AtomicWriteTest, HeldOpenPageIsWrittenInPlace) {
    const test::TempDir dir;
    const std::string path = dir / "site/page.html";
    test::WriteBytes(path, "old content that is longer");
    const HANDLE held = ::CreateFileW(std::filesystem::path(path).wstring().c_str(), GENERIC_READ,
                                      FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING,
                                      FILE_ATTRIBUTE_NORMAL, nullptr);
    ASSERT_NE(held, INVALID_HANDLE_VALUE);
    ASSERT_EQ(::_putenv_s("LOCALAPPDATA", (dir / "local").c_str()), 0);
    const int result = Write(path, "new\r\n");
    ::CloseHandle(held);
    EXPECT_EQ(result, 0);
    EXPECT_EQ(ReadBytes(path), "new\r\n");
    EXPECT_EQ(ListFolder(dir / "site"), Names{"page.html"});
    EXPECT_EQ(ListFolder(dir / "local/quillstamper/recovery"), Names{});
}
#endif

} // namespace
} // namespace quillstamper
