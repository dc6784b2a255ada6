#include "conversion/atomic_write.h"

#include "workspace/file_error.h"
#include "workspace/path_resolution.h"

#include <acl/libacl.h>
#include <algorithm>
#include <cerrno>
#include <climits>
#include <fcntl.h>
#include <random>
#include <sys/acl.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/xattr.h>
#include <unistd.h>

namespace quillstamper {

namespace {

constexpr int kMaxLinkHops = 40;
// Up to this many files are flushed one by one; a larger batch flushes each
// file system once, as flushing each file costs more than writing it.
constexpr std::size_t kFlushFilesOneByOne = 8;
// Another program's edit between read and rename would be lost, so no page
// waits longer than this for its rename.
constexpr std::chrono::milliseconds kLongestWait{500};

WriteFaultHook& FaultHook() {
    static WriteFaultHook hook;
    return hook;
}

// False, with errno set, when a test wants this step to fail.
bool Allowed(WriteStage stage, const std::string& path) {
    if (const WriteFaultHook& hook = FaultHook()) {
        if (const int error = hook(stage, path)) {
            errno = error;
            return false;
        }
    }
    return true;
}

// Follows links to the file whose content is to change; a dangling link
// resolves to the path it points at.
std::string ResolveLinks(const std::string& path) {
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
            throw MakeFileError(path, "cannot follow link", errno);
        }
        const std::string target(buffer.data(), static_cast<std::size_t>(length));
        current = ResolvePath(target, ParentFolder(current));
    }
    throw MakeFileError(path, "cannot follow link", ELOOP);
}

std::string BaseName(const std::string& path) {
    const std::size_t slash = path.find_last_of('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

bool WriteAll(int fd, std::string_view bytes, off_t offset) {
    std::size_t done = 0;
    while (done < bytes.size()) {
        const ssize_t written = ::pwrite(fd, bytes.data() + done, bytes.size() - done,
                                         offset + static_cast<off_t>(done));
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

bool ReadAll(int fd, std::string& bytes) {
    struct stat info {};
    if (::fstat(fd, &info) != 0) {
        return false;
    }
    bytes.resize(static_cast<std::size_t>(info.st_size));
    std::size_t done = 0;
    while (done < bytes.size()) {
        const ssize_t got =
            ::pread(fd, bytes.data() + done, bytes.size() - done, static_cast<off_t>(done));
        if (got < 0 && errno == EINTR) {
            continue;
        }
        if (got <= 0) {
            return got == 0 && (bytes.resize(done), true);
        }
        done += static_cast<std::size_t>(got);
    }
    return true;
}

mode_t DefaultCreationMode() {
    const mode_t mask = ::umask(0);
    ::umask(mask);
    return 0666 & ~mask;
}

// Short, so that it fits beside a page whose name is as long as names get.
std::string RandomName() {
    static std::mt19937_64 random{std::random_device{}()};
    static const char kLetters[] = "abcdefghijklmnopqrstuvwxyz0123456789";
    std::string name = ".qs-";
    for (int i = 0; i < 12; ++i) {
        name += kLetters[random() % 36];
    }
    return name + ".tmp";
}

// A path to the file name in the folder handle that walks no folder name again.
std::string PathInFolder(int folderFd, const std::string& name) {
    return "/proc/self/fd/" + std::to_string(folderFd) + "/" + name;
}

// The access control list and the extended attributes a user may set: what
// a rename would otherwise drop. The list must come along, or the page's
// permissions would change; security.* only where the system lets us.
void CopyAttributes(int folderFd, const std::string& name, int toFd, const std::string& path) {
    const std::string from = PathInFolder(folderFd, name);
    const ssize_t size = ::llistxattr(from.c_str(), nullptr, 0);
    if (size <= 0) {
        return; // none, or a file system without them
    }
    std::string names(static_cast<std::size_t>(size), '\0');
    const ssize_t got = ::llistxattr(from.c_str(), names.data(), names.size());
    if (got < 0) {
        throw MakeFileError(path, "cannot read its extended attributes", errno);
    }
    names.resize(static_cast<std::size_t>(got));
    for (std::size_t at = 0; at < names.size();) {
        const std::string attribute = names.c_str() + at;
        at += attribute.size() + 1;
        if (attribute == "system.posix_acl_access") {
            const acl_t acl = ::acl_get_file(from.c_str(), ACL_TYPE_ACCESS);
            const bool copied = acl != nullptr && ::acl_set_fd(toFd, acl) == 0;
            const int error = errno;
            if (acl != nullptr) {
                ::acl_free(acl);
            }
            if (!copied) {
                throw MakeFileError(path, "cannot copy its access control list", error);
            }
            continue;
        }
        const bool user = attribute.rfind("user.", 0) == 0;
        if (!user && attribute.rfind("security.", 0) != 0) {
            continue;
        }
        const ssize_t length = ::lgetxattr(from.c_str(), attribute.c_str(), nullptr, 0);
        std::string value(static_cast<std::size_t>(std::max<ssize_t>(length, 0)), '\0');
        const bool copied =
            length >= 0 &&
            ::lgetxattr(from.c_str(), attribute.c_str(), value.data(), value.size()) >= 0 &&
            ::fsetxattr(toFd, attribute.c_str(), value.data(), value.size(), 0) == 0;
        if (!copied && user) {
            throw MakeFileError(path, "cannot copy its extended attribute " + attribute, errno);
        }
    }
}

// Held open files are the limit on how many may wait for their rename.
std::size_t MaxPending() {
    rlimit limit{};
    if (::getrlimit(RLIMIT_NOFILE, &limit) != 0 || limit.rlim_cur == RLIM_INFINITY) {
        return 1024;
    }
    const auto room = static_cast<std::size_t>(limit.rlim_cur > 128 ? limit.rlim_cur - 128 : 0);
    return std::clamp<std::size_t>(room / 2, 8, 1024);
}

} // namespace

struct AtomicWriteBatch::Folder {
    std::string path; // as resolved, for the recovery store
    int fd = -1;
    ~Folder() {
        if (fd >= 0) {
            ::close(fd);
        }
    }
};

AtomicWriteBatch::AtomicWriteBatch(RecoveryStore recovery)
    : m_recovery(std::move(recovery)), m_maxPending(MaxPending()) {}

AtomicWriteBatch::~AtomicWriteBatch() {
    Discard(m_committed);
}

std::shared_ptr<AtomicWriteBatch::Folder> AtomicWriteBatch::OpenFolder(const std::string& path,
                                                                       const std::string& folder) {
    std::weak_ptr<Folder>& cached = m_folders[folder];
    if (std::shared_ptr<Folder> open = cached.lock()) {
        return open;
    }
    auto opened = std::make_shared<Folder>();
    opened->path = folder.empty() ? "." : folder;
    opened->fd = ::open(opened->path.c_str(), O_PATH | O_DIRECTORY | O_CLOEXEC);
    if (opened->fd < 0) {
        throw MakeFileError(path, "cannot open its folder", errno);
    }
    cached = opened;
    return opened;
}

void AtomicWriteBatch::Release(Staged& item) {
    if (item.fd >= 0) {
        ::close(item.fd);
        item.fd = -1;
    }
    if (!item.temporaryName.empty()) {
        ::unlinkat(item.folder->fd, item.temporaryName.c_str(), 0);
        item.temporaryName.clear();
    }
}

void AtomicWriteBatch::Discard(std::size_t from) {
    for (std::size_t i = from; i < m_staged.size(); ++i) {
        Release(m_staged[i]);
    }
    m_staged.resize(std::min(from, m_staged.size()));
    m_committed = std::min(m_committed, m_staged.size());
}

void AtomicWriteBatch::Discard() {
    Discard(m_committed);
}

bool AtomicWriteBatch::IsDue() const {
    const std::size_t pending = m_staged.size() - m_committed;
    return pending >= m_maxPending ||
           (pending > 0 &&
            std::chrono::steady_clock::now() - m_staged[m_committed].stagedAt >= kLongestWait);
}

namespace {

// For folders that take no new file: overwrite where it is. The old bytes go
// to the recovery store first, so that a kill in the middle can be undone.
WriteOutcome WriteInPlace(const RecoveryStore& recovery, int folderFd, const std::string& name,
                          const std::string& target, const std::string& path,
                          std::string_view bytes, const std::optional<FileState>& expected) {
    const int fd =
        ::openat(folderFd, name.c_str(), O_RDWR | O_CLOEXEC | O_NOFOLLOW | O_NONBLOCK | O_CREAT,
                 DefaultCreationMode());
    if (fd < 0) {
        throw MakeFileError(path, "cannot open for writing", errno);
    }
    struct stat info {};
    std::string oldBytes;
    if (::fstat(fd, &info) != 0 || !S_ISREG(info.st_mode) || !ReadAll(fd, oldBytes)) {
        const int error = S_ISREG(info.st_mode) ? errno : EINVAL;
        ::close(fd);
        throw MakeFileError(path, "cannot read", error);
    }
    if (expected && !(StateOf(info) == *expected)) {
        ::close(fd);
        return WriteOutcome::ChangedSinceRead;
    }
    std::string copy;
    try {
        copy = recovery.Save(AbsolutePath(target), oldBytes);
    } catch (const FileError& error) {
        ::close(fd);
        throw FileError(path, error.Cause());
    }
    if (!Allowed(WriteStage::Write, path) || !WriteAll(fd, bytes, 0) ||
        ::ftruncate(fd, static_cast<off_t>(bytes.size())) != 0 ||
        !Allowed(WriteStage::Flush, path) || ::fsync(fd) != 0) {
        const int error = errno;
        if (WriteAll(fd, oldBytes, 0) &&
            ::ftruncate(fd, static_cast<off_t>(oldBytes.size())) == 0 && ::fsync(fd) == 0) {
            recovery.Remove(copy);
        }
        ::close(fd);
        throw MakeFileError(path, "cannot write", error);
    }
    ::close(fd);
    recovery.Remove(copy);
    return WriteOutcome::ReplacedInPlace;
}

int CreateNamedTemporary(int folderFd, std::string& name) {
    for (int attempt = 0; attempt < 100; ++attempt) {
        name = RandomName();
        const int fd = ::openat(folderFd, name.c_str(),
                                O_RDWR | O_CREAT | O_EXCL | O_CLOEXEC | O_NOFOLLOW, 0600);
        if (fd >= 0 || errno != EEXIST) {
            if (fd < 0) {
                name.clear();
            }
            return fd;
        }
    }
    name.clear();
    errno = EEXIST;
    return -1;
}

} // namespace

WriteOutcome AtomicWriteBatch::Stage(const std::string& path, std::string_view bytes,
                                     const std::optional<FileState>& expected) {
    const std::string target = ResolveLinks(path);
    Staged item;
    item.path = path;
    item.folder = OpenFolder(path, ParentFolder(target));
    item.name = BaseName(target);
    item.expected = expected;
    const int folderFd = item.folder->fd;
    struct stat existing {};
    const bool exists = ::fstatat(folderFd, item.name.c_str(), &existing, AT_SYMLINK_NOFOLLOW) == 0;
    if (exists) {
        // A link here was swapped in after the links were followed.
        if (!S_ISREG(existing.st_mode)) {
            throw FileError(path, "cannot write: not a regular file");
        }
        const int probe =
            ::openat(folderFd, item.name.c_str(), O_WRONLY | O_CLOEXEC | O_NOFOLLOW | O_NONBLOCK);
        if (probe < 0) {
            throw MakeFileError(path, "cannot open for writing", errno);
        }
        ::close(probe);
        item.links = existing.st_nlink;
    }
    item.stagedAt = std::chrono::steady_clock::now();
    // Left alone at once, but told in order by Commit.
    if (expected && (!exists || !(StateOf(existing) == *expected))) {
        item.outcome = WriteOutcome::ChangedSinceRead;
        m_staged.push_back(std::move(item));
        return WriteOutcome::ChangedSinceRead;
    }

    int fd = -1;
    if (Allowed(WriteStage::CreateTemporary, path)) {
        fd = ::openat(folderFd, ".", O_TMPFILE | O_RDWR | O_CLOEXEC, 0600);
        if (fd < 0 && (errno == EOPNOTSUPP || errno == EISDIR || errno == EINVAL)) {
            fd = CreateNamedTemporary(folderFd, item.temporaryName);
        }
    }
    if (fd < 0) {
        if (errno == EACCES || errno == EPERM) {
            // Written in place when its turn comes, so the order holds.
            item.inPlaceBytes = std::string(bytes);
            m_staged.push_back(std::move(item));
            return WriteOutcome::Pending;
        }
        throw MakeFileError(path, "cannot create a temporary file beside it", errno);
    }
    item.fd = fd;
    const auto fail = [&](const std::string& action) {
        const int error = errno;
        Release(item);
        throw MakeFileError(path, action, error);
    };
    if (!Allowed(WriteStage::Write, path) || !WriteAll(fd, bytes, 0)) {
        fail("cannot write");
    }
    if (exists) {
        // Keeps owner and group where we may; a plain user cannot give files away.
        (void)::fchown(fd, existing.st_uid, existing.st_gid);
    }
    if (::fchmod(fd, exists ? (existing.st_mode & 07777) : DefaultCreationMode()) != 0) {
        fail("cannot set permissions");
    }
    if (exists) {
        try {
            CopyAttributes(folderFd, item.name, fd, path);
        } catch (...) {
            Release(item);
            throw;
        }
    }
    struct stat written {};
    if (::fstat(fd, &written) != 0) {
        fail("cannot write");
    }
    item.device = written.st_dev;
    m_staged.push_back(std::move(item));
    return WriteOutcome::Pending;
}

// The temporary file gets a fresh name only now, so that a run killed
// before this point leaves nothing, and one killed here leaves one file.
void AtomicWriteBatch::RenameOver(Staged& item) {
    const int folderFd = item.folder->fd;
    if (item.temporaryName.empty()) {
        const std::string self = "/proc/self/fd/" + std::to_string(item.fd);
        for (int attempt = 0; attempt < 100 && item.temporaryName.empty(); ++attempt) {
            const std::string name = RandomName();
            if (::linkat(AT_FDCWD, self.c_str(), folderFd, name.c_str(), AT_SYMLINK_FOLLOW) == 0 ||
                (errno == ENOENT &&
                 ::linkat(item.fd, "", folderFd, name.c_str(), AT_EMPTY_PATH) == 0)) {
                item.temporaryName = name;
            } else if (errno != EEXIST) {
                break;
            }
        }
        if (item.temporaryName.empty()) {
            const int error = errno;
            throw MakeFileError(item.path, "cannot replace", error);
        }
    }
    if (::renameat(folderFd, item.temporaryName.c_str(), folderFd, item.name.c_str()) == 0) {
        item.temporaryName.clear();
        Release(item);
        item.outcome = WriteOutcome::Replaced;
        return;
    }
    const int error = errno;
    if (error != EPERM && error != EACCES) {
        throw MakeFileError(item.path, "cannot replace", error);
    }
    // A sticky folder lets only the owner rename over a file: write in place.
    std::string bytes;
    if (!ReadAll(item.fd, bytes)) {
        throw MakeFileError(item.path, "cannot replace", error);
    }
    const std::string target = item.folder->path + "/" + item.name;
    item.outcome =
        WriteInPlace(m_recovery, folderFd, item.name, target, item.path, bytes, item.expected);
    Release(item);
}

void AtomicWriteBatch::Commit() {
    const std::size_t first = m_committed;
    const std::size_t end = m_staged.size();
    if (first == end) {
        return;
    }
    // Durable before any rename: a crash now leaves every target as it was.
    // A failed flush ends the batch there; what was flushed before it is
    // still renamed, so the files before the failing one are replaced.
    const bool oneByOne = end - first <= kFlushFilesOneByOne;
    std::size_t durable = end;
    int flushError = 0;
    std::vector<dev_t> flushed;
    for (std::size_t i = first; i < end && durable == end; ++i) {
        const Staged& item = m_staged[i];
        if (item.fd < 0 || (!oneByOne && std::find(flushed.begin(), flushed.end(), item.device) !=
                                             flushed.end())) {
            continue; // nothing written yet, or its file system is flushed
        }
        const bool done = Allowed(WriteStage::Flush, item.path) &&
                          (oneByOne ? ::fsync(item.fd) : ::syncfs(item.fd)) == 0;
        flushError = errno;
        if (!done) {
            durable = i;
        }
        flushed.push_back(item.device);
    }
    for (std::size_t i = first; i < durable; ++i) {
        Staged& item = m_staged[i];
        if (item.outcome != WriteOutcome::Pending) {
            ++m_committed;
            continue;
        }
        (void)Allowed(WriteStage::BeforeReplace, item.path);
        if (item.expected) {
            struct stat now {};
            const bool there =
                ::fstatat(item.folder->fd, item.name.c_str(), &now, AT_SYMLINK_NOFOLLOW) == 0;
            if (!there || !S_ISREG(now.st_mode) || !(StateOf(now) == *item.expected)) {
                Release(item);
                item.outcome = there && S_ISLNK(now.st_mode) ? WriteOutcome::LinkSwappedIn
                                                             : WriteOutcome::ChangedSinceRead;
                ++m_committed;
                continue;
            }
        }
        try {
            if (item.inPlaceBytes) {
                item.outcome = WriteInPlace(m_recovery, item.folder->fd, item.name,
                                            item.folder->path + "/" + item.name, item.path,
                                            *item.inPlaceBytes, item.expected);
                item.inPlaceBytes.reset();
            } else if (!Allowed(WriteStage::Rename, item.path)) {
                throw MakeFileError(item.path, "cannot replace", errno);
            } else {
                RenameOver(item);
            }
        } catch (const FileError&) {
            Discard(i);
            throw;
        }
        ++m_committed;
    }
    if (durable < end) {
        const std::string path = m_staged[durable].path;
        Discard(durable);
        throw MakeFileError(path, "cannot flush to disk", flushError);
    }
}

void SetWriteFaultHook(WriteFaultHook hook) {
    FaultHook() = std::move(hook);
}

void WriteFileAtomic(const std::string& path, std::string_view bytes) {
    AtomicWriteBatch batch;
    batch.Stage(path, bytes);
    batch.Commit();
}

} // namespace quillstamper
