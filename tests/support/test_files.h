#pragma once

#include <ctime>
#include <functional>
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
// Modification time of path with nanoseconds.
timespec ModificationTime(const std::string& path);
mode_t PermissionBits(const std::string& path);
// Names in folder (not recursive), sorted; hidden ones included.
std::vector<std::string> ListFolder(const std::string& folder);

// Runs body in a child process with the user and group ids of "nobody"
// (65534) when the tests run as root, so that permission checks apply, or
// as is otherwise (always on Windows); returns body's result, or -1 when the child died. Files
// the child needs must be reachable for that user.
int RunAsUnprivileged(const std::function<int()>& body);

// True when the process can bypass file permissions (root; on Windows, when
// a read-only file opens for writing, as under Wine run by root).
bool IsPrivileged();

// A symbolic link at link to target (as written, relative to link's
// folder). On POSIX a failure fails the test; on Windows it returns false,
// as links need a privilege there and Wine has only a stub.
bool MakeLink(const std::string& target, const std::string& link);

} // namespace quillstamper::test

// In a test: the link, or the test skipped with the reason.
#define MAKE_LINK_OR_SKIP(target, link)                                                            \
    if (!::quillstamper::test::MakeLink(target, link))                                             \
    GTEST_SKIP() << "no symbolic links here (Windows needs a privilege, Wine has a stub)"
