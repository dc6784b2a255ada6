#include "files/win32_paths.h"

#include <algorithm>
#include <cerrno>
#include <windows.h>

namespace quillstamper::os {

namespace {

constexpr std::wstring_view kLongPrefix = L"\\\\?\\";
constexpr std::wstring_view kLongShare = L"\\\\?\\UNC\\";

} // namespace

std::wstring WideFromUtf8(std::string_view text) {
    if (text.empty()) {
        return {};
    }
    const int size =
        ::MultiByteToWideChar(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), nullptr, 0);
    std::wstring wide(static_cast<std::size_t>(std::max(size, 0)), L'\0');
    ::MultiByteToWideChar(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), wide.data(),
                          size);
    return wide;
}

std::string Utf8FromWide(std::wstring_view text) {
    if (text.empty()) {
        return {};
    }
    const int size = ::WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()),
                                           nullptr, 0, nullptr, nullptr);
    std::string narrow(static_cast<std::size_t>(std::max(size, 0)), '\0');
    ::WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), narrow.data(),
                          size, nullptr, nullptr);
    return narrow;
}

std::wstring SystemPath(const std::string& path) {
    std::wstring wide = WideFromUtf8(path);
    if (wide.empty() || wide.starts_with(kLongPrefix)) {
        return wide;
    }
    // Makes it absolute and takes "." and ".." away, which the prefix would
    // keep as names.
    const DWORD size = ::GetFullPathNameW(wide.c_str(), 0, nullptr, nullptr);
    std::wstring full(size, L'\0');
    const DWORD length = ::GetFullPathNameW(wide.c_str(), size, full.data(), nullptr);
    if (length == 0 || length >= size) {
        std::replace(wide.begin(), wide.end(), L'/', L'\\');
        return wide;
    }
    full.resize(length);
    if (full.starts_with(L"\\\\")) {
        return std::wstring(kLongShare) + full.substr(2);
    }
    return std::wstring(kLongPrefix) + full;
}

std::wstring SystemPathIn(const std::wstring& systemFolder, const std::string& name) {
    std::wstring path = systemFolder;
    if (!path.ends_with(L'\\')) {
        path += L'\\';
    }
    std::wstring wideName = WideFromUtf8(name);
    std::replace(wideName.begin(), wideName.end(), L'/', L'\\');
    return path + wideName;
}

std::string UserPath(std::wstring_view systemPath) {
    std::wstring path;
    if (systemPath.starts_with(kLongShare)) {
        path = L"\\\\" + std::wstring(systemPath.substr(kLongShare.size()));
    } else if (systemPath.starts_with(kLongPrefix)) {
        path = systemPath.substr(kLongPrefix.size());
    } else {
        path = systemPath;
    }
    std::replace(path.begin(), path.end(), L'\\', L'/');
    return Utf8FromWide(path);
}

int ErrnoFromWin32(unsigned long error) {
    switch (error) {
    case ERROR_SUCCESS:
        return 0;
    case ERROR_FILE_NOT_FOUND:
    case ERROR_PATH_NOT_FOUND:
    case ERROR_INVALID_NAME:
    case ERROR_BAD_NETPATH:
    case ERROR_BAD_PATHNAME:
    case ERROR_INVALID_DRIVE:
        return ENOENT;
    case ERROR_FILE_EXISTS:
    case ERROR_ALREADY_EXISTS:
        return EEXIST;
    // Another program holds the file without letting it be shared: as a
    // permission, so that a page is then written in place.
    case ERROR_ACCESS_DENIED:
    case ERROR_SHARING_VIOLATION:
    case ERROR_LOCK_VIOLATION:
    case ERROR_PRIVILEGE_NOT_HELD:
        return EACCES;
    case ERROR_WRITE_PROTECT:
        return EROFS;
    case ERROR_DISK_FULL:
    case ERROR_HANDLE_DISK_FULL:
        return ENOSPC;
    case ERROR_DIRECTORY:
        return ENOTDIR;
    case ERROR_DIR_NOT_EMPTY:
        return ENOTEMPTY;
    case ERROR_NOT_SAME_DEVICE:
        return EXDEV;
    case ERROR_TOO_MANY_OPEN_FILES:
        return EMFILE;
    case ERROR_NOT_ENOUGH_MEMORY:
    case ERROR_OUTOFMEMORY:
        return ENOMEM;
    case ERROR_INVALID_PARAMETER:
        return EINVAL;
    case ERROR_NOT_SUPPORTED:
    case ERROR_INVALID_FUNCTION:
    case ERROR_CALL_NOT_IMPLEMENTED:
        return EOPNOTSUPP;
    case ERROR_CANT_RESOLVE_FILENAME:
        return ELOOP;
    case ERROR_FILENAME_EXCED_RANGE:
        return ENAMETOOLONG;
    case ERROR_BUSY:
    case ERROR_PIPE_BUSY:
        return EBUSY;
    default:
        return EIO;
    }
}

bool FailWithLastError() {
    errno = ErrnoFromWin32(::GetLastError());
    return false;
}

} // namespace quillstamper::os
