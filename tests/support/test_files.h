#pragma once

#include <ctime>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <sys/types.h>
#include <vector>

namespace quillstamper::test {

// A fresh folder below the system's temporary folder, removed with all it
// holds (write bits restored first) when the object ends.
class TempDir {
public:
    TempDir();
    ~TempDir();
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;

    const std::string& Path() const {
        return m_path;
    }
    // Path() + "/" + relative.
    std::string operator/(std::string_view relative) const;

private:
    std::string m_path;
};

// Writes bytes to path, creating parent folders. Fails the test on error.
void WriteBytes(const std::string& path, std::string_view bytes);
// The bytes of path. Fails the test on error.
std::string ReadBytes(const std::string& path);
// Modification time of path with nanoseconds (on Windows in steps of 100).
timespec ModificationTime(const std::string& path);
// Sets the modification and access times of path. Fails the test on error.
void SetModificationTime(const std::string& path, timespec time);
mode_t PermissionBits(const std::string& path);
// Names in folder (not recursive), sorted; hidden ones included.
std::vector<std::string> ListFolder(const std::string& folder);

// Runs body in a child process with the user and group ids of "nobody"
// (65534) when the tests run as root, so that permission checks apply, or
// as is otherwise (always on Windows); returns body's result, or -1 when the child died. Files
// the child needs must be reachable for that user.
int RunAsUnprivileged(const std::function<int()>& body);

// Sets an environment variable for the life of the object, then restores it.
class ScopedEnvironment {
public:
    ScopedEnvironment(std::string name, const std::string& value);
    ~ScopedEnvironment();
    ScopedEnvironment(const ScopedEnvironment&) = delete;
    ScopedEnvironment& operator=(const ScopedEnvironment&) = delete;

private:
    std::string m_name;
    std::optional<std::string> m_old;
};

// The variable whose folder holds the default recovery folder (below
// quillstamper/recovery): XDG_CACHE_HOME, on Windows LOCALAPPDATA.
const char* CacheFolderVariable();

// True when the process can bypass file permissions (root; on Windows, when
// a read-only file opens for writing, as under Wine run by root).
bool IsPrivileged();

// A symbolic link at link to target (as written, relative to link's
// folder). On POSIX a failure fails the test; on Windows it returns false,
// as links need a privilege there and Wine has only a stub.
bool MakeLink(const std::string& target, const std::string& link);

} // namespace quillstamper::test

// In a test: skipped on Windows, with the reason; nothing elsewhere.
#ifdef _WIN32
#define SKIP_ON_WINDOWS(reason) GTEST_SKIP() << "Windows: " << reason
#else
#define SKIP_ON_WINDOWS(reason) static_cast<void>(0)
#endif

// In a test that needs permissions to bind: skipped on Windows where they do
// not (Wine run by root), as RunAsUnprivileged has no other user to become.
#define SKIP_ON_WINDOWS_IF_PRIVILEGED()                                                            \
    if (::quillstamper::test::IsPrivileged())                                                      \
    SKIP_ON_WINDOWS("read-only files open for writing here (Wine run by root)")

// In a test: the link, or the test skipped with the reason.
#define MAKE_LINK_OR_SKIP(target, link)                                                            \
    if (!::quillstamper::test::MakeLink(target, link))                                             \
    GTEST_SKIP() << "no symbolic links here (Windows needs a privilege, Wine has a stub)"
