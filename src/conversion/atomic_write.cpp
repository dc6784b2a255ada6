#include "conversion/atomic_write.h"

#include "conversion/file_io.h"
#include "workspace/file_error.h"
#include "workspace/path_resolution.h"

#include <cerrno>
#include <climits>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

namespace quillstamper {

namespace {

constexpr int kMaxLinkHops = 40;

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
    if (!WriteAll(fd, bytes, 0) || ::ftruncate(fd, static_cast<off_t>(bytes.size())) != 0 ||
        ::fsync(fd) != 0) {
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

} // namespace

void WriteFileAtomic(const std::string& path, std::string_view bytes) {
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
    const std::size_t slash = target.find_last_of('/');
    const std::string name = slash == std::string::npos ? target : target.substr(slash + 1);
    std::string temporary =
        (folder.empty() ? std::string() : (folder == "/" ? folder : folder + "/")) + "." + name +
        ".qs-XXXXXX";
    const int fd = ::mkostemp(temporary.data(), O_CLOEXEC);
    if (fd < 0) {
        if (errno == EACCES || errno == EPERM) {
            WriteInPlace(path, target, exists, bytes);
            return;
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
    if (!WriteAll(fd, bytes, 0)) {
        fail("cannot write");
    }
    if (exists) {
        // Keeps owner and group where we may; a plain user cannot give files away.
        (void)::fchown(fd, existing.st_uid, existing.st_gid);
    }
    if (::fchmod(fd, mode) != 0) {
        fail("cannot set permissions");
    }
    if (::fsync(fd) != 0) {
        fail("cannot flush to disk");
    }
    if (::close(fd) != 0) {
        const int error = errno;
        ::unlink(temporary.c_str());
        throw MakeFileError(path, "cannot write", error);
    }
    if (::rename(temporary.c_str(), target.c_str()) != 0) {
        const int error = errno;
        ::unlink(temporary.c_str());
        throw MakeFileError(path, "cannot replace", error);
    }
}

} // namespace quillstamper
