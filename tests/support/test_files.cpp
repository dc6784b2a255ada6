#include "support/test_files.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <grp.h>
#include <iterator>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

namespace quillstamper::test {

namespace fs = std::filesystem;

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

TempDir::~TempDir() {
    std::error_code error;
    for (auto it = fs::recursive_directory_iterator(m_path, error);
         !error && it != fs::recursive_directory_iterator(); it.increment(error)) {
        if (!it->is_symlink()) {
            fs::permissions(it->path(), fs::perms::owner_all, fs::perm_options::add, error);
        }
    }
    fs::remove_all(m_path, error);
}

std::string TempDir::operator/(std::string_view relative) const {
    return m_path + "/" + std::string(relative);
}

void WriteBytes(const std::string& path, std::string_view bytes) {
    std::error_code error;
    fs::create_directories(fs::path(path).parent_path(), error);
    if (!(std::ofstream(path, std::ios::binary | std::ios::trunc) << bytes)) {
        ADD_FAILURE() << "cannot write " << path;
    }
}

std::string ReadBytes(const std::string& path) {
    std::ifstream file(path, std::ios::binary);
    if (!file) {
        ADD_FAILURE() << "cannot read " << path;
    }
    return std::string(std::istreambuf_iterator<char>(file), {});
}

timespec ModificationTime(const std::string& path) {
    return Stat(path).st_mtim;
}

mode_t PermissionBits(const std::string& path) {
    return Stat(path).st_mode & 07777;
}

std::vector<std::string> ListFolder(const std::string& folder) {
    std::vector<std::string> names;
    std::error_code error;
    for (const auto& entry : fs::directory_iterator(folder, error)) {
        names.push_back(entry.path().filename().string());
    }
    std::sort(names.begin(), names.end());
    return names;
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
