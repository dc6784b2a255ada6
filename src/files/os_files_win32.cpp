#include "files/os_files.h"

#include "files/win32_paths.h"

// Before the headers that take its types.
#include <windows.h>

#include <aclapi.h>
#include <algorithm>
#include <cerrno>
#include <fcntl.h>
#include <io.h>
#include <utility>

// A Descriptor holds a C runtime file number that owns the system's handle,
// so that the layer's interface is the same on every system.
namespace quillstamper::os {

namespace {

constexpr DWORD kShareAll = FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE;

HANDLE HandleOf(const Descriptor& file) {
    return file ? reinterpret_cast<HANDLE>(::_get_osfhandle(file.Handle())) : INVALID_HANDLE_VALUE;
}

// Takes the handle over; errno as the system said when it is not valid.
Descriptor Own(HANDLE handle) {
    if (handle == INVALID_HANDLE_VALUE) {
        FailWithLastError();
        return Descriptor();
    }
    const int number = ::_open_osfhandle(reinterpret_cast<intptr_t>(handle), _O_BINARY);
    if (number < 0) {
        ::CloseHandle(handle);
        errno = EMFILE;
        return Descriptor();
    }
    return Descriptor(number);
}

// File systems take names of 255 UTF-16 units at most; the system calls a
// longer one missing.
bool HasOverlongName(std::wstring_view path) {
    constexpr std::size_t kMaxName = 255;
    for (std::size_t start = 0; start <= path.size();) {
        const std::size_t end = std::min(path.find(L'\\', start), path.size());
        if (end - start > kMaxName) {
            return true;
        }
        start = end + 1;
    }
    return false;
}

// Handles are held open with FILE_SHARE_DELETE: without it, renaming over a
// page that is open here fails with a sharing violation.
Descriptor Open(const std::wstring& path, DWORD access, DWORD disposition, DWORD flags) {
    if (path.empty() || HasOverlongName(path)) {
        errno = path.empty() ? ENOENT : ENAMETOOLONG;
        return Descriptor();
    }
    return Own(::CreateFileW(path.c_str(), access, kShareAll, nullptr, disposition,
                             flags | FILE_FLAG_BACKUP_SEMANTICS, nullptr));
}

// The system path of an open folder, for the operations on a name in it.
std::wstring PathOf(const Descriptor& folder) {
    const HANDLE handle = HandleOf(folder);
    const DWORD size = ::GetFinalPathNameByHandleW(handle, nullptr, 0, VOLUME_NAME_DOS);
    if (size == 0) {
        FailWithLastError();
        return {};
    }
    std::wstring path(size, L'\0');
    const DWORD length = ::GetFinalPathNameByHandleW(handle, path.data(), size, VOLUME_NAME_DOS);
    if (length == 0 || length >= size) {
        FailWithLastError();
        return {};
    }
    path.resize(length);
    return path;
}

::timespec TimeOf(LARGE_INTEGER time) {
    // 100-nanosecond steps since 1601, as Unix's seconds since 1970.
    constexpr std::int64_t kEpochSteps = 116444736000000000LL;
    const std::int64_t steps = time.QuadPart - kEpochSteps;
    std::int64_t seconds = steps / 10000000;
    std::int64_t rest = steps % 10000000;
    if (rest < 0) {
        rest += 10000000;
        --seconds;
    }
    ::timespec result{};
    result.tv_sec = static_cast<std::time_t>(seconds);
    result.tv_nsec = static_cast<long>(rest * 100);
    return result;
}

std::optional<FileStatus> StatHandle(HANDLE handle) {
    BY_HANDLE_FILE_INFORMATION info{};
    FILE_BASIC_INFO times{};
    if (!::GetFileInformationByHandle(handle, &info) ||
        !::GetFileInformationByHandleEx(handle, FileBasicInfo, &times, sizeof times)) {
        FailWithLastError();
        return std::nullopt;
    }
    FileStatus status;
    const DWORD attributes = info.dwFileAttributes;
    status.kind = (attributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0 ? FileKind::Link
                  : (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0   ? FileKind::Folder
                  : ::GetFileType(handle) == FILE_TYPE_DISK        ? FileKind::Regular
                                                                   : FileKind::Other;
    const std::uint64_t index = (std::uint64_t{info.nFileIndexHigh} << 32) | info.nFileIndexLow;
    const std::int64_t size =
        static_cast<std::int64_t>((std::uint64_t{info.nFileSizeHigh} << 32) | info.nFileSizeLow);
    status.state = FileState{FileIdentity{info.dwVolumeSerialNumber, index}, size,
                             TimeOf(times.LastWriteTime), TimeOf(times.ChangeTime)};
    status.links = info.nNumberOfLinks;
    // The attributes a replacement must keep stand in for the mode bits.
    status.mode = attributes;
    return status;
}

std::optional<FileStatus> StatOpened(Descriptor file) {
    if (!file) {
        return std::nullopt;
    }
    return StatHandle(HandleOf(file));
}

bool WriteAllAt(HANDLE handle, std::string_view bytes, std::uint64_t offset) {
    while (!bytes.empty()) {
        OVERLAPPED at{};
        at.Offset = static_cast<DWORD>(offset);
        at.OffsetHigh = static_cast<DWORD>(offset >> 32);
        const DWORD chunk = static_cast<DWORD>(std::min<std::size_t>(bytes.size(), 1u << 30));
        DWORD written = 0;
        if (!::WriteFile(handle, bytes.data(), chunk, &written, &at)) {
            return FailWithLastError();
        }
        if (written == 0) {
            errno = EIO;
            return false;
        }
        bytes.remove_prefix(written);
        offset += written;
    }
    return true;
}

} // namespace

Descriptor::~Descriptor() {
    if (m_handle >= 0) {
        const int error = errno;
        ::_close(m_handle);
        errno = error;
    }
}

// Only a link in the last part counts, as the system follows the others; the
// file it comes to is named as the system names it.
std::optional<std::string> ResolveLinks(const std::string& path) {
    const std::wstring system = SystemPath(path);
    const DWORD attributes = ::GetFileAttributesW(system.c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES || (attributes & FILE_ATTRIBUTE_REPARSE_POINT) == 0) {
        return path;
    }
    const Descriptor file = Open(system, 0, OPEN_EXISTING, 0);
    if (!file) {
        return errno == ENOENT ? std::optional<std::string>(path) : std::nullopt;
    }
    const std::wstring target = PathOf(file);
    if (target.empty()) {
        return std::nullopt;
    }
    return UserPath(target);
}

Descriptor OpenFolder(const std::string& path) {
    Descriptor folder =
        Open(SystemPath(path), FILE_LIST_DIRECTORY | FILE_READ_ATTRIBUTES, OPEN_EXISTING, 0);
    if (folder) {
        const std::optional<FileStatus> status = StatHandle(HandleOf(folder));
        if (!status || status->kind != FileKind::Folder) {
            errno = ENOTDIR;
            return Descriptor();
        }
    }
    return folder;
}

std::optional<FileStatus> StatFile(const Descriptor& file) {
    return StatHandle(HandleOf(file));
}

std::optional<FileStatus> StatAt(const Descriptor& folder, const std::string& name) {
    const std::wstring folderPath = PathOf(folder);
    if (folderPath.empty()) {
        return std::nullopt;
    }
    return StatOpened(Open(SystemPathIn(folderPath, name), FILE_READ_ATTRIBUTES, OPEN_EXISTING,
                           FILE_FLAG_OPEN_REPARSE_POINT));
}

std::optional<FileStatus> StatPath(const std::string& path) {
    return StatOpened(Open(SystemPath(path), FILE_READ_ATTRIBUTES, OPEN_EXISTING, 0));
}

Descriptor OpenForReading(const std::string& path) {
    return Open(SystemPath(path), GENERIC_READ, OPEN_EXISTING, 0);
}

bool MakeBlocking(const Descriptor&) {
    return true; // files on Windows never say "try again"
}

Descriptor OpenForWriting(const std::string& path) {
    return Open(SystemPath(path), GENERIC_WRITE, OPEN_EXISTING, FILE_FLAG_OPEN_REPARSE_POINT);
}

bool MayWrite(const Descriptor& folder, const std::string& name) {
    const std::wstring folderPath = PathOf(folder);
    return !folderPath.empty() &&
           static_cast<bool>(Open(SystemPathIn(folderPath, name), GENERIC_WRITE, OPEN_EXISTING,
                                  FILE_FLAG_OPEN_REPARSE_POINT));
}

Descriptor OpenForUpdate(const Descriptor& folder, const std::string& name) {
    const std::wstring folderPath = PathOf(folder);
    return folderPath.empty() ? Descriptor()
                              : Open(SystemPathIn(folderPath, name), GENERIC_READ | GENERIC_WRITE,
                                     OPEN_ALWAYS, FILE_FLAG_OPEN_REPARSE_POINT);
}

Descriptor CreateUnnamedFile(const Descriptor&, std::uint32_t) {
    errno = EOPNOTSUPP; // a file always has a name here
    return Descriptor();
}

// WRITE_DAC and READ_CONTROL: the replacement takes the page's access control list.
Descriptor CreateNamedFile(const Descriptor& folder, const std::string& name) {
    const std::wstring folderPath = PathOf(folder);
    return folderPath.empty()
               ? Descriptor()
               : Open(SystemPathIn(folderPath, name),
                      GENERIC_READ | GENERIC_WRITE | DELETE | WRITE_DAC | READ_CONTROL, CREATE_NEW,
                      FILE_FLAG_OPEN_REPARSE_POINT);
}

bool GiveName(const Descriptor&, const Descriptor&, const std::string&) {
    errno = EOPNOTSUPP;
    return false;
}

bool RenameWithin(const Descriptor& folder, const std::string& from, const std::string& to) {
    const std::wstring folderPath = PathOf(folder);
    if (folderPath.empty()) {
        return false;
    }
    return ::MoveFileExW(SystemPathIn(folderPath, from).c_str(),
                         SystemPathIn(folderPath, to).c_str(),
                         MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH) ||
           FailWithLastError();
}

void RemoveAt(const Descriptor& folder, const std::string& name) {
    const std::wstring folderPath = PathOf(folder);
    if (!folderPath.empty()) {
        ::DeleteFileW(SystemPathIn(folderPath, name).c_str());
    }
}

void RemoveFile(const std::string& path) {
    ::DeleteFileW(SystemPath(path).c_str());
}

std::int64_t ReadAt(const Descriptor& file, char* buffer, std::size_t size, std::int64_t offset) {
    OVERLAPPED at{};
    at.Offset = static_cast<DWORD>(static_cast<std::uint64_t>(offset));
    at.OffsetHigh = static_cast<DWORD>(static_cast<std::uint64_t>(offset) >> 32);
    DWORD got = 0;
    const DWORD chunk = static_cast<DWORD>(std::min<std::size_t>(size, 1u << 30));
    if (!::ReadFile(HandleOf(file), buffer, chunk, &got, &at)) {
        if (::GetLastError() == ERROR_HANDLE_EOF) {
            return 0;
        }
        FailWithLastError();
        return -1;
    }
    return got;
}

bool WriteAt(const Descriptor& file, std::string_view bytes, std::int64_t offset) {
    return WriteAllAt(HandleOf(file), bytes, static_cast<std::uint64_t>(offset));
}

bool Truncate(const Descriptor& file, std::int64_t size) {
    FILE_END_OF_FILE_INFO end{};
    end.EndOfFile.QuadPart = size;
    return ::SetFileInformationByHandle(HandleOf(file), FileEndOfFileInfo, &end, sizeof end) ||
           FailWithLastError();
}

bool FlushFile(const Descriptor& file) {
    return ::FlushFileBuffers(HandleOf(file)) || FailWithLastError();
}

// Flushing a whole volume needs an administrator's rights: one file at a time.
bool FlushFileSystem(const Descriptor& file) {
    return FlushFile(file);
}

bool SetDefaultMode(const Descriptor&) {
    return true; // a new file takes its folder's inherited access control list
}

// The page's access control list (as its own, or inherited as the folder
// gives it) and its attributes: what a rename would drop. The owner stays
// the user's, who cannot give files away.
std::optional<std::string> CopyOwnerModeAndAttributes(const Descriptor& folder,
                                                      const std::string& name,
                                                      const FileStatus& from, const Descriptor& to,
                                                      const FileStatus&) {
    const std::wstring folderPath = PathOf(folder);
    if (folderPath.empty()) {
        return "cannot open its folder";
    }
    const Descriptor page = Open(SystemPathIn(folderPath, name), READ_CONTROL, OPEN_EXISTING,
                                 FILE_FLAG_OPEN_REPARSE_POINT);
    if (!page) {
        return "cannot read its access control list";
    }
    PACL acl = nullptr;
    PSECURITY_DESCRIPTOR descriptor = nullptr;
    DWORD result = ::GetSecurityInfo(HandleOf(page), SE_FILE_OBJECT, DACL_SECURITY_INFORMATION,
                                     nullptr, nullptr, &acl, nullptr, &descriptor);
    if (result == ERROR_SUCCESS) {
        SECURITY_DESCRIPTOR_CONTROL control = 0;
        DWORD revision = 0;
        ::GetSecurityDescriptorControl(descriptor, &control, &revision);
        const SECURITY_INFORMATION which =
            DACL_SECURITY_INFORMATION |
            ((control & SE_DACL_PROTECTED) != 0 ? PROTECTED_DACL_SECURITY_INFORMATION
                                                : UNPROTECTED_DACL_SECURITY_INFORMATION);
        result =
            ::SetSecurityInfo(HandleOf(to), SE_FILE_OBJECT, which, nullptr, nullptr, acl, nullptr);
        ::LocalFree(descriptor);
    }
    // A file system without access control lists has none to keep.
    if (result != ERROR_SUCCESS && ErrnoFromWin32(result) != EOPNOTSUPP) {
        errno = ErrnoFromWin32(result);
        return "cannot copy its access control list";
    }
    constexpr DWORD kKept = FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM | FILE_ATTRIBUTE_ARCHIVE |
                            FILE_ATTRIBUTE_NOT_CONTENT_INDEXED;
    FILE_BASIC_INFO basic{};
    basic.FileAttributes = (from.mode & kKept) != 0 ? (from.mode & kKept) : FILE_ATTRIBUTE_NORMAL;
    if (!::SetFileInformationByHandle(HandleOf(to), FileBasicInfo, &basic, sizeof basic)) {
        FailWithLastError();
        return "cannot set its attributes";
    }
    return std::nullopt;
}

// The C runtime's table of file numbers, which every held file takes one of.
std::optional<std::uint64_t> MaxOpenFiles() {
    return 2048;
}

std::optional<std::string> WorkingFolder() {
    const DWORD size = ::GetCurrentDirectoryW(0, nullptr);
    std::wstring folder(size, L'\0');
    const DWORD length = ::GetCurrentDirectoryW(size, folder.data());
    if (length == 0 || length >= size) {
        FailWithLastError();
        return std::nullopt;
    }
    folder.resize(length);
    return UserPath(folder);
}

// Every part is tried: the drive, a share or a folder that exists already
// refuses creation in its own way, and only the end counts.
bool MakeFolders(const std::string& path) {
    const std::wstring system = SystemPath(path);
    DWORD error = ERROR_SUCCESS;
    for (std::size_t slash = system.find(L'\\', 4);; slash = system.find(L'\\', slash + 1)) {
        const std::wstring part = system.substr(0, slash);
        if (!::CreateDirectoryW(part.c_str(), nullptr) &&
            ::GetLastError() != ERROR_ALREADY_EXISTS) {
            error = ::GetLastError();
        }
        if (slash == std::wstring::npos) {
            break;
        }
    }
    const DWORD attributes = ::GetFileAttributesW(system.c_str());
    if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0) {
        return true;
    }
    errno = attributes == INVALID_FILE_ATTRIBUTES ? ErrnoFromWin32(error) : ENOTDIR;
    return false;
}

std::vector<std::string> ListFolder(const std::string& path) {
    std::vector<std::string> names;
    const std::wstring pattern = SystemPathIn(SystemPath(path), "*");
    WIN32_FIND_DATAW entry{};
    const HANDLE search = ::FindFirstFileW(pattern.c_str(), &entry);
    if (search == INVALID_HANDLE_VALUE) {
        return names;
    }
    do {
        const std::wstring_view name = entry.cFileName;
        if (name != L"." && name != L"..") {
            names.push_back(Utf8FromWide(name));
        }
    } while (::FindNextFileW(search, &entry));
    ::FindClose(search);
    return names;
}

bool WriteFileDurably(const std::string& folder, const std::string& name,
                      std::initializer_list<std::string_view> parts) {
    const std::wstring folderPath = SystemPath(folder);
    const std::wstring file = SystemPathIn(folderPath, name);
    // The process's own: two runs may save the same name at once.
    const std::wstring temporary = file + L"." + std::to_wstring(::GetCurrentProcessId()) + L".new";
    bool written = false;
    {
        const Descriptor out = Open(temporary, GENERIC_WRITE, CREATE_ALWAYS, 0);
        if (!out) {
            return false;
        }
        std::uint64_t offset = 0;
        written = std::all_of(parts.begin(), parts.end(),
                              [&](std::string_view part) {
                                  const bool done = WriteAllAt(HandleOf(out), part, offset);
                                  offset += part.size();
                                  return done;
                              }) &&
                  FlushFile(out);
    }
    // MOVEFILE_WRITE_THROUGH: the name is on disk before anything counts on it.
    if (written && !::MoveFileExW(temporary.c_str(), file.c_str(),
                                  MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) {
        written = FailWithLastError();
    }
    if (!written) {
        const int error = errno;
        ::DeleteFileW(temporary.c_str());
        errno = error;
    }
    return written;
}

} // namespace quillstamper::os
