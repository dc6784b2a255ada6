#include "files/os_files.h"

#include "base/path_resolution.h"

#include <acl/libacl.h>
#include <algorithm>
#include <atomic>
#include <cerrno>
#include <climits>
#include <cstdlib>
#include <dirent.h>
#include <fcntl.h>
#include <memory>
#include <sys/acl.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <sys/xattr.h>
#include <unistd.h>
#include <utility>

namespace quillstamper::os {

namespace {

constexpr int kMaxLinkHops = 40;

FileKind KindOf(mode_t mode) {
    if (S_ISREG(mode)) {
        return FileKind::Regular;
    }
    if (S_ISDIR(mode)) {
        return FileKind::Folder;
    }
    return S_ISLNK(mode) ? FileKind::Link : FileKind::Other;
}

FileStatus StatusOf(const struct stat& info) {
    FileStatus status;
    status.kind = KindOf(info.st_mode);
    status.state =
        FileState{FileIdentity{info.st_dev, info.st_ino}, info.st_size, info.st_mtim, info.st_ctim};
    status.links = info.st_nlink;
    status.owner = info.st_uid;
    status.group = info.st_gid;
    status.mode = info.st_mode & 07777;
    return status;
}

mode_t DefaultCreationMode() {
    const mode_t mask = ::umask(0);
    ::umask(mask);
    return 0666 & ~mask;
}

// A path to the file name in the folder handle that walks no folder name again.
std::string PathInFolder(const Descriptor& folder, const std::string& name) {
    return "/proc/self/fd/" + std::to_string(folder.Handle()) + "/" + name;
}

// The names of the extended attributes of name in folder. listxattrat
// (Linux 6.13) looks the name up in the folder in one step; through /proc
// each page cost as much as writing it.
ssize_t ListAttributes(const Descriptor& folder, const std::string& name, char* list,
                       std::size_t size) {
#ifdef __linux__
    constexpr long kListXattrAt = 465; // the same number on every architecture
    static std::atomic<bool> missing{false};
    if (!missing.load(std::memory_order_relaxed)) {
        const long got =
            ::syscall(kListXattrAt, folder.Handle(), name.c_str(), AT_SYMLINK_NOFOLLOW, list, size);
        if (got >= 0 || (errno != ENOSYS && errno != EPERM)) {
            return static_cast<ssize_t>(got);
        }
        // An older kernel, or a sandbox that refuses system calls it does
        // not know.
        missing.store(true, std::memory_order_relaxed);
    }
#endif
    return ::llistxattr(PathInFolder(folder, name).c_str(), list, size);
}

bool WriteAllTo(int fd, std::string_view bytes) {
    while (!bytes.empty()) {
        const ssize_t written = ::write(fd, bytes.data(), bytes.size());
        if (written < 0 && errno == EINTR) {
            continue;
        }
        if (written <= 0) {
            return false;
        }
        bytes.remove_prefix(static_cast<std::size_t>(written));
    }
    return true;
}

} // namespace

Descriptor::~Descriptor() {
    if (m_handle >= 0) {
        const int error = errno;
        ::close(m_handle);
        errno = error;
    }
}

std::optional<std::string> ResolveLinks(const std::string& path) {
    std::string current = path;
    for (int hop = 0; hop < kMaxLinkHops; ++hop) {
        struct stat info {};
        if (::lstat(current.c_str(), &info) != 0 || !S_ISLNK(info.st_mode)) {
            return current;
        }
        std::vector<char> buffer(
            static_cast<std::size_t>(info.st_size > 0 ? info.st_size : PATH_MAX) + 1);
        const ssize_t length = ::readlink(current.c_str(), buffer.data(), buffer.size());
        if (length < 0) {
            return std::nullopt;
        }
        const std::string target(buffer.data(), static_cast<std::size_t>(length));
        current = ResolvePath(target, ParentFolder(current));
    }
    errno = ELOOP;
    return std::nullopt;
}

Descriptor OpenFolder(const std::string& path) {
    return Descriptor(::open(path.c_str(), O_PATH | O_DIRECTORY | O_CLOEXEC));
}

std::optional<FileStatus> StatFile(const Descriptor& file) {
    struct stat info {};
    if (::fstat(file.Handle(), &info) != 0) {
        return std::nullopt;
    }
    return StatusOf(info);
}

std::optional<FileStatus> StatAt(const Descriptor& folder, const std::string& name) {
    struct stat info {};
    if (::fstatat(folder.Handle(), name.c_str(), &info, AT_SYMLINK_NOFOLLOW) != 0) {
        return std::nullopt;
    }
    return StatusOf(info);
}

std::optional<FileStatus> StatPath(const std::string& path) {
    struct stat info {};
    if (::stat(path.c_str(), &info) != 0) {
        return std::nullopt;
    }
    return StatusOf(info);
}

Descriptor OpenForReading(const std::string& path) {
    // Without O_NONBLOCK, opening a FIFO waits for a writer, possibly for ever.
    return Descriptor(::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NOCTTY | O_NONBLOCK));
}

bool MakeBlocking(const Descriptor& file) {
    return ::fcntl(file.Handle(), F_SETFL, 0) == 0;
}

Descriptor OpenForWriting(const std::string& path) {
    return Descriptor(::open(path.c_str(), O_WRONLY | O_CLOEXEC | O_NOFOLLOW | O_NONBLOCK));
}

// One call instead of an open and a close: the kernel's own permission
// check, access control lists, read-only file systems and immutable files
// included. Without flags, as glibc emulates those (mode bits only) where
// the kernel lacks faccessat2; the program is not set-user-ID, so the real
// user is the effective one, and the caller has seen that name is no link.
bool MayWrite(const Descriptor& folder, const std::string& name) {
    return ::faccessat(folder.Handle(), name.c_str(), W_OK, 0) == 0;
}

Descriptor OpenForUpdate(const Descriptor& folder, const std::string& name) {
    return Descriptor(::openat(folder.Handle(), name.c_str(),
                               O_RDWR | O_CLOEXEC | O_NOFOLLOW | O_NONBLOCK | O_CREAT,
                               DefaultCreationMode()));
}

Descriptor CreateUnnamedFile(const Descriptor& folder, std::uint32_t mode) {
    Descriptor file(
        ::openat(folder.Handle(), ".", O_TMPFILE | O_RDWR | O_CLOEXEC, static_cast<mode_t>(mode)));
    if (!file && (errno == EISDIR || errno == EINVAL)) {
        errno = EOPNOTSUPP; // how older kernels and other file systems say so
    }
    return file;
}

Descriptor CreateNamedFile(const Descriptor& folder, const std::string& name) {
    return Descriptor(::openat(folder.Handle(), name.c_str(),
                               O_RDWR | O_CREAT | O_EXCL | O_CLOEXEC | O_NOFOLLOW, 0600));
}

bool GiveName(const Descriptor& file, const Descriptor& folder, const std::string& name) {
    // AT_EMPTY_PATH links the file itself, with no walk through /proc; a
    // kernel before 6.10 allows it only to privileged users, and says ENOENT
    // to others, who link the file's entry in /proc instead.
    static std::atomic<bool> emptyPathRefused{false};
    if (!emptyPathRefused.load(std::memory_order_relaxed)) {
        if (::linkat(file.Handle(), "", folder.Handle(), name.c_str(), AT_EMPTY_PATH) == 0) {
            return true;
        }
        if (errno != ENOENT && errno != EPERM) {
            return false;
        }
        emptyPathRefused.store(true, std::memory_order_relaxed);
    }
    const std::string self = "/proc/self/fd/" + std::to_string(file.Handle());
    return ::linkat(AT_FDCWD, self.c_str(), folder.Handle(), name.c_str(), AT_SYMLINK_FOLLOW) == 0;
}

bool RenameWithin(const Descriptor& folder, const std::string& from, const std::string& to) {
    return ::renameat(folder.Handle(), from.c_str(), folder.Handle(), to.c_str()) == 0;
}

void RemoveAt(const Descriptor& folder, const std::string& name) {
    ::unlinkat(folder.Handle(), name.c_str(), 0);
}

void RemoveFile(const std::string& path) {
    ::unlink(path.c_str());
}

std::int64_t ReadAt(const Descriptor& file, char* buffer, std::size_t size, std::int64_t offset) {
    for (;;) {
        const ssize_t got = ::pread(file.Handle(), buffer, size, static_cast<off_t>(offset));
        if (got >= 0 || errno != EINTR) {
            return got;
        }
    }
}

bool WriteAt(const Descriptor& file, std::string_view bytes, std::int64_t offset) {
    std::size_t done = 0;
    while (done < bytes.size()) {
        const ssize_t written = ::pwrite(file.Handle(), bytes.data() + done, bytes.size() - done,
                                         static_cast<off_t>(offset) + static_cast<off_t>(done));
        if (written < 0) {
            if (errno == EINTR) {
                continue;
            }
            return false;
        }
        done += static_cast<std::size_t>(written);
    }
    return true;
}

bool Truncate(const Descriptor& file, std::int64_t size) {
    return ::ftruncate(file.Handle(), static_cast<off_t>(size)) == 0;
}

bool FlushFile(const Descriptor& file) {
    return ::fsync(file.Handle()) == 0;
}

bool FlushFileSystem(const Descriptor& file) {
    return ::syncfs(file.Handle()) == 0;
}

bool SetDefaultMode(const Descriptor& file) {
    return ::fchmod(file.Handle(), DefaultCreationMode()) == 0;
}

// The access control list must come along, or the page's permissions would
// change; security.* attributes only where the system lets us.
std::optional<std::string> CopyOwnerModeAndAttributes(const Descriptor& folder,
                                                      const std::string& name,
                                                      const FileStatus& from, const Descriptor& to,
                                                      const FileStatus& toNow) {
    const int toFd = to.Handle();
    // A plain user cannot give files away, so this may fail.
    if (toNow.owner != from.owner || toNow.group != from.group) {
        (void)::fchown(toFd, from.owner, from.group);
        if (::fchmod(toFd, from.mode) != 0) { // a change of owner may drop set-id bits
            return "cannot set permissions";
        }
    } else if (toNow.mode != from.mode && ::fchmod(toFd, from.mode) != 0) {
        return "cannot set permissions";
    }
    const ssize_t size = ListAttributes(folder, name, nullptr, 0);
    if (size <= 0) {
        return std::nullopt; // none, or a file system without them
    }
    std::string names(static_cast<std::size_t>(size), '\0');
    const ssize_t got = ListAttributes(folder, name, names.data(), names.size());
    if (got < 0) {
        return "cannot read its extended attributes";
    }
    names.resize(static_cast<std::size_t>(got));
    const std::string path = PathInFolder(folder, name); // only files with attributes get here
    for (std::size_t at = 0; at < names.size();) {
        const std::string attribute = names.c_str() + at;
        at += attribute.size() + 1;
        if (attribute == "system.posix_acl_access") {
            const acl_t acl = ::acl_get_file(path.c_str(), ACL_TYPE_ACCESS);
            const bool copied = acl != nullptr && ::acl_set_fd(toFd, acl) == 0;
            const int error = errno;
            if (acl != nullptr) {
                ::acl_free(acl);
            }
            if (!copied) {
                errno = error;
                return "cannot copy its access control list";
            }
            continue;
        }
        const bool user = attribute.rfind("user.", 0) == 0;
        if (!user && attribute.rfind("security.", 0) != 0) {
            continue;
        }
        const ssize_t length = ::lgetxattr(path.c_str(), attribute.c_str(), nullptr, 0);
        std::string value(static_cast<std::size_t>(std::max<ssize_t>(length, 0)), '\0');
        const bool copied =
            length >= 0 &&
            ::lgetxattr(path.c_str(), attribute.c_str(), value.data(), value.size()) >= 0 &&
            ::fsetxattr(toFd, attribute.c_str(), value.data(), value.size(), 0) == 0;
        if (!copied && user) {
            return "cannot copy its extended attribute " + attribute;
        }
    }
    return std::nullopt;
}

std::optional<std::uint64_t> MaxOpenFiles() {
    rlimit limit{};
    if (::getrlimit(RLIMIT_NOFILE, &limit) != 0 || limit.rlim_cur == RLIM_INFINITY) {
        return std::nullopt;
    }
    return limit.rlim_cur;
}

std::optional<std::string> WorkingFolder() {
    const std::unique_ptr<char, decltype(&std::free)> cwd(::getcwd(nullptr, 0), &std::free);
    if (!cwd) {
        return std::nullopt;
    }
    return std::string(cwd.get());
}

bool MakeFolders(const std::string& path) {
    for (std::size_t slash = path.find('/', 1);; slash = path.find('/', slash + 1)) {
        const std::string part = path.substr(0, slash);
        if (::mkdir(part.c_str(), 0700) != 0 && errno != EEXIST) {
            return false;
        }
        if (slash == std::string::npos) {
            return true;
        }
    }
}

std::vector<std::string> ListFolder(const std::string& path) {
    std::vector<std::string> names;
    DIR* folder = ::opendir(path.c_str());
    if (folder == nullptr) {
        return names;
    }
    while (const dirent* entry = ::readdir(folder)) {
        const std::string_view name = entry->d_name;
        if (name != "." && name != "..") {
            names.emplace_back(name);
        }
    }
    ::closedir(folder);
    return names;
}

bool WriteFileDurably(const std::string& folder, const std::string& name,
                      std::initializer_list<std::string_view> parts) {
    const std::string file = folder + "/" + name;
    // The process's own: two runs may save the same name at once.
    const std::string temporary = file + "." + std::to_string(::getpid()) + ".new";
    const int fd = ::open(temporary.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600);
    if (fd < 0) {
        return false;
    }
    bool written = std::all_of(parts.begin(), parts.end(),
                               [fd](std::string_view part) { return WriteAllTo(fd, part); }) &&
                   ::fsync(fd) == 0;
    int error = errno;
    ::close(fd);
    if (written && ::rename(temporary.c_str(), file.c_str()) != 0) {
        written = false;
        error = errno;
    }
    if (!written) {
        ::unlink(temporary.c_str());
        errno = error;
        return false;
    }
    // The name must be on disk before anything that counts on it.
    const int folderFd = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (folderFd >= 0) {
        ::fsync(folderFd);
        ::close(folderFd);
    }
    return true;
}

} // namespace quillstamper::os
