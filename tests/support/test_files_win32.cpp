#include "support/test_files.h"

#include "base/utf8_path.h"

#include <windows.h>

#include <gtest/gtest.h>

#include <filesystem>
#include <random>
#include <string>

namespace quillstamper::test {

namespace fs = std::filesystem;

namespace {

std::wstring Wide(const std::string& path) {
    return PathFromUtf8(path).wstring();
}

} // namespace

// Below %TEMP%, with '/' between the parts as the tests join them.
TempDir::TempDir() {
    std::error_code error;
    const fs::path base = fs::temp_directory_path(error);
    std::random_device random;
    for (int attempt = 0; attempt < 100 && m_path.empty(); ++attempt) {
        const fs::path candidate = base / ("qs-test-" + std::to_string(random()));
        if (fs::create_directory(candidate, error)) {
            m_path = Utf8FromPath(candidate);
        }
    }
    if (m_path.empty()) {
        ADD_FAILURE() << "cannot create a folder below " << base.string();
    }
}

timespec ModificationTime(const std::string& path) {
    WIN32_FILE_ATTRIBUTE_DATA data{};
    if (!::GetFileAttributesExW(Wide(path).c_str(), GetFileExInfoStandard, &data)) {
        ADD_FAILURE() << "cannot stat " << path;
    }
    // 100-nanosecond steps since 1601.
    const long long steps = (static_cast<long long>(data.ftLastWriteTime.dwHighDateTime) << 32 |
                             data.ftLastWriteTime.dwLowDateTime) -
                            116444736000000000LL;
    timespec time{};
    time.tv_sec = static_cast<time_t>(steps / 10000000);
    time.tv_nsec = static_cast<long>(steps % 10000000 * 100);
    return time;
}

void SetModificationTime(const std::string& path, timespec time) {
    const long long steps =
        static_cast<long long>(time.tv_sec) * 10000000 + time.tv_nsec / 100 + 116444736000000000LL;
    const FILETIME fileTime{static_cast<DWORD>(steps), static_cast<DWORD>(steps >> 32)};
    const HANDLE file = ::CreateFileW(Wide(path).c_str(), FILE_WRITE_ATTRIBUTES,
                                      FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                      nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
    const bool set =
        file != INVALID_HANDLE_VALUE && ::SetFileTime(file, nullptr, &fileTime, &fileTime) != 0;
    if (file != INVALID_HANDLE_VALUE) {
        ::CloseHandle(file);
    }
    if (!set) {
        ADD_FAILURE() << "cannot set the times of " << path;
    }
}

// What Windows has of the bits: read-only or not.
mode_t PermissionBits(const std::string& path) {
    const DWORD attributes = ::GetFileAttributesW(Wide(path).c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES) {
        ADD_FAILURE() << "cannot stat " << path;
        return 0;
    }
    return (attributes & FILE_ATTRIBUTE_READONLY) != 0 ? 0444 : 0666;
}

// Whether a read-only file opens for writing after all, as under Wine run
// by root; found out once, with a file of its own.
bool IsPrivileged() {
    static const bool privileged = [] {
        const TempDir dir;
        const std::wstring path = Wide(dir / "read-only");
        const HANDLE created = ::CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                                             FILE_ATTRIBUTE_READONLY, nullptr);
        if (created == INVALID_HANDLE_VALUE) {
            return false;
        }
        ::CloseHandle(created);
        const HANDLE opened = ::CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, OPEN_EXISTING,
                                            FILE_ATTRIBUTE_NORMAL, nullptr);
        if (opened != INVALID_HANDLE_VALUE) {
            ::CloseHandle(opened);
        }
        ::SetFileAttributesW(path.c_str(), FILE_ATTRIBUTE_NORMAL);
        return opened != INVALID_HANDLE_VALUE;
    }();
    return privileged;
}

// No other user to become: tests that need one skip where IsPrivileged().
int RunAsUnprivileged(const std::function<int()>& body) {
    return body();
}

} // namespace quillstamper::test
