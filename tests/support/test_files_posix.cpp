#include "support/test_files.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <fcntl.h>
#include <grp.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

namespace quillstamper::test {

namespace {

struct stat Stat(const std::string& path) {
    struct stat info {};
    if (::stat(path.c_str(), &info) != 0) {
        ADD_FAILURE() << "cannot stat " << path;
    }
    return info;
}

} // namespace

TempDir::TempDir() {
    const char* base = std::getenv("TMPDIR");
    m_path = std::string(base != nullptr && *base != '\0' ? base : "/tmp") + "/qs-test-XXXXXX";
    if (::mkdtemp(m_path.data()) == nullptr) {
        ADD_FAILURE() << "cannot create " << m_path;
    }
    // Reachable for the unprivileged child of RunAsUnprivileged.
    ::chmod(m_path.c_str(), 0777);
}

timespec ModificationTime(const std::string& path) {
    return Stat(path).st_mtim;
}

void SetModificationTime(const std::string& path, timespec time) {
    const timespec times[2] = {time, time};
    if (::utimensat(AT_FDCWD, path.c_str(), times, 0) != 0) {
        ADD_FAILURE() << "cannot set the times of " << path;
    }
}

mode_t PermissionBits(const std::string& path) {
    return Stat(path).st_mode & 07777;
}

bool IsPrivileged() {
    return ::geteuid() == 0;
}

int RunAsUnprivileged(const std::function<int()>& body) {
    if (!IsPrivileged()) {
        return body();
    }
    const pid_t child = ::fork();
    if (child == 0) {
        if (::setgroups(0, nullptr) != 0 || ::setgid(65534) != 0 || ::setuid(65534) != 0) {
            ::_exit(125);
        }
        ::_exit(body());
    }
    int status = 0;
    if (child < 0 || ::waitpid(child, &status, 0) != child || !WIFEXITED(status)) {
        return -1;
    }
    return WEXITSTATUS(status);
}

} // namespace quillstamper::test
