#include "conversion/atomic_write.h"

#include "conversion/file_io.h"
#include "workspace/file_error.h"
#include "workspace/path_resolution.h"

#include <algorithm>
#include <cerrno>
#include <climits>
#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

namespace quillstamper {

namespace {

constexpr int kMaxLinkHops = 40;

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

mode_t DefaultCreationMode() {
    const mode_t mask = ::umask(0);
    ::umask(mask);
    return 0666 & ~mask;
}

// For folders that take no new file: overwrite, and restore the old bytes if
// the new ones do not fit.
void WriteInPlace(const std::string& path, const std::string& target, bool exists,
                  std::string_view bytes) {
    const std::string oldBytes = exists ? ReadFileBytes(target) : std::string();
    const int fd = ::open(target.c_str(), O_WRONLY | O_CLOEXEC | (exists ? 0 : O_CREAT), 0666);
    if (fd < 0) {
        throw MakeFileError(path, "cannot open for writing", errno);
    }
    if (!Allowed(WriteStage::Write, path) || !WriteAll(fd, bytes, 0) ||
        ::ftruncate(fd, static_cast<off_t>(bytes.size())) != 0 ||
        !Allowed(WriteStage::Flush, path) || ::fsync(fd) != 0) {
        const int error = errno;
        if (WriteAll(fd, oldBytes, 0)) {
            (void)::ftruncate(fd, static_cast<off_t>(oldBytes.size()));
        }
        ::close(fd);
        throw MakeFileError(path, "cannot write", error);
    }
    if (::close(fd) != 0) {
        throw MakeFileError(path, "cannot write", errno);
    }
}

constexpr std::string_view kTemporaryMark = ".qs-";
constexpr std::size_t kTemporaryRandom = 6; // mkostemp's XXXXXX

// ".NAME.qs-XXXXXX": the temporary files this program makes.
bool IsOurTemporary(std::string_view name) {
    if (name.size() < 1 + 1 + kTemporaryMark.size() + kTemporaryRandom || name.front() != '.') {
        return false;
    }
    const std::size_t mark = name.size() - kTemporaryRandom - kTemporaryMark.size();
    if (name.substr(mark, kTemporaryMark.size()) != kTemporaryMark) {
        return false;
    }
    return std::all_of(name.end() - kTemporaryRandom, name.end(), [](char c) {
        return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z');
    });
}

// A run that was killed before its renames leaves its temporary files; the
// next write into the same folder removes them, but not those in `keep`.
void RemoveStaleTemporaries(const std::string& folder, const std::vector<std::string>& keep) {
    DIR* directory = ::opendir(folder.empty() ? "." : folder.c_str());
    if (directory == nullptr) {
        return;
    }
    while (const dirent* entry = ::readdir(directory)) {
        const std::string_view name = entry->d_name;
        const bool kept = std::any_of(keep.begin(), keep.end(), [&](const std::string& path) {
            return path.size() > name.size() &&
                   path.compare(path.size() - name.size(), name.size(), name) == 0 &&
                   path[path.size() - name.size() - 1] == '/';
        });
        if (IsOurTemporary(name) && !kept) {
            struct stat info {};
            if (::fstatat(::dirfd(directory), entry->d_name, &info, AT_SYMLINK_NOFOLLOW) == 0 &&
                S_ISREG(info.st_mode)) {
                ::unlinkat(::dirfd(directory), entry->d_name, 0);
            }
        }
    }
    ::closedir(directory);
}

} // namespace

// Up to this many files are flushed one by one; a larger batch flushes each
// file system once.
constexpr std::size_t kFlushFilesOneByOne = 8;

AtomicWriteBatch::~AtomicWriteBatch() {
    Discard(m_committed);
}

void AtomicWriteBatch::Discard(std::size_t from) {
    for (std::size_t i = from; i < m_staged.size(); ++i) {
        ::unlink(m_staged[i].temporary.c_str());
    }
    m_staged.resize(std::min(from, m_staged.size()));
}

bool AtomicWriteBatch::Stage(const std::string& path, std::string_view bytes) {
    const std::string target = ResolveLinks(path);
    struct stat existing {};
    const bool exists = ::stat(target.c_str(), &existing) == 0;
    if (exists) {
        if (!S_ISREG(existing.st_mode)) {
            throw FileError(path, "cannot write: not a regular file");
        }
        const int probe = ::open(target.c_str(), O_WRONLY | O_CLOEXEC);
        if (probe < 0) {
            throw MakeFileError(path, "cannot open for writing", errno);
        }
        ::close(probe);
    }

    const std::string folder = ParentFolder(target);
    // One folder may be spelt in several ways: known by its identity.
    struct stat folderInfo {};
    if (::stat(folder.empty() ? "." : folder.c_str(), &folderInfo) == 0 &&
        m_cleanedFolders.insert({folderInfo.st_dev, folderInfo.st_ino}).second) {
        std::vector<std::string> pending;
        for (std::size_t i = m_committed; i < m_staged.size(); ++i) {
            pending.push_back(m_staged[i].temporary);
        }
        RemoveStaleTemporaries(folder, pending);
    }
    const std::size_t slash = target.find_last_of('/');
    const std::string name = slash == std::string::npos ? target : target.substr(slash + 1);
    std::string temporary =
        (folder.empty() ? std::string() : (folder == "/" ? folder : folder + "/")) + "." + name +
        ".qs-XXXXXX";
    const int fd =
        Allowed(WriteStage::CreateTemporary, path) ? ::mkostemp(temporary.data(), O_CLOEXEC) : -1;
    if (fd < 0) {
        if (errno == EACCES || errno == EPERM) {
            Commit();
            WriteInPlace(path, target, exists, bytes);
            return false;
        }
        throw MakeFileError(path, "cannot create a temporary file beside it", errno);
    }

    const mode_t mode = exists ? (existing.st_mode & 07777) : DefaultCreationMode();
    const auto fail = [&](const char* action) {
        const int error = errno;
        ::close(fd);
        ::unlink(temporary.c_str());
        throw MakeFileError(path, action, error);
    };
    if (!Allowed(WriteStage::Write, path) || !WriteAll(fd, bytes, 0)) {
        fail("cannot write");
    }
    if (exists) {
        // Keeps owner and group where we may; a plain user cannot give files away.
        (void)::fchown(fd, existing.st_uid, existing.st_gid);
    }
    if (::fchmod(fd, mode) != 0) {
        fail("cannot set permissions");
    }
    struct stat written {};
    if (::fstat(fd, &written) != 0) {
        fail("cannot write");
    }
    if (::close(fd) != 0) {
        const int error = errno;
        ::unlink(temporary.c_str());
        throw MakeFileError(path, "cannot write", error);
    }
    m_staged.push_back(Staged{path, target, std::move(temporary), written.st_dev});
    return true;
}

void AtomicWriteBatch::Commit() {
    const std::size_t first = m_committed;
    const std::size_t end = m_staged.size();
    // Durable before any rename: a crash now leaves every target as it was.
    // A failed flush ends the batch there; what was flushed before it is
    // still renamed, so the files before the failing one are replaced.
    const bool oneByOne = end - first <= kFlushFilesOneByOne;
    std::size_t durable = end;
    int flushError = 0;
    std::vector<dev_t> flushed;
    for (std::size_t i = first; i < end && durable == end; ++i) {
        const Staged& item = m_staged[i];
        if (!oneByOne && std::find(flushed.begin(), flushed.end(), item.device) != flushed.end()) {
            continue;
        }
        const int fd = ::open(item.temporary.c_str(), O_RDONLY | O_CLOEXEC);
        const bool done = fd >= 0 && Allowed(WriteStage::Flush, item.path) &&
                          (oneByOne ? ::fsync(fd) : ::syncfs(fd)) == 0;
        flushError = errno;
        if (fd >= 0) {
            ::close(fd);
        }
        if (!done) {
            durable = i;
        }
        flushed.push_back(item.device);
    }
    for (std::size_t i = first; i < durable; ++i) {
        const Staged& item = m_staged[i];
        if (!Allowed(WriteStage::Rename, item.path) ||
            ::rename(item.temporary.c_str(), item.target.c_str()) != 0) {
            const int error = errno;
            const std::string path = item.path;
            Discard(i);
            throw MakeFileError(path, "cannot replace", error);
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
