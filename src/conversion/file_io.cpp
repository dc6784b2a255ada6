#include "conversion/file_io.h"

#include "workspace/file_error.h"

#include <algorithm>
#include <cerrno>
#include <fcntl.h>
#include <functional>
#include <limits>
#include <new>
#include <stdexcept>
#include <sys/stat.h>
#include <unistd.h>
#include <utility>

namespace quillstamper {

std::size_t FileIdentityHash::operator()(const FileIdentity& identity) const noexcept {
    return std::hash<std::uint64_t>{}(static_cast<std::uint64_t>(identity.inode) * 1000003u ^
                                      static_cast<std::uint64_t>(identity.device));
}

bool operator==(const FileState& a, const FileState& b) {
    return a.identity == b.identity && a.size == b.size && a.modified.tv_sec == b.modified.tv_sec &&
           a.modified.tv_nsec == b.modified.tv_nsec && a.changed.tv_sec == b.changed.tv_sec &&
           a.changed.tv_nsec == b.changed.tv_nsec;
}

FileState StateOf(const struct stat& info) {
    return FileState{FileIdentity{info.st_dev, info.st_ino}, info.st_size, info.st_mtim,
                     info.st_ctim};
}

namespace {

class Descriptor {
public:
    explicit Descriptor(int fd) : m_fd(fd) {}
    ~Descriptor() {
        if (m_fd >= 0) {
            ::close(m_fd);
        }
    }
    Descriptor(const Descriptor&) = delete;
    Descriptor& operator=(const Descriptor&) = delete;
    int Get() const {
        return m_fd;
    }

private:
    int m_fd;
};

std::string FormatByteCount(std::uint64_t bytes) {
    static constexpr std::pair<unsigned, const char*> kUnits[] = {
        {30, " GiB"}, {20, " MiB"}, {10, " KiB"}};
    for (const auto& [shift, unit] : kUnits) {
        const std::uint64_t size = std::uint64_t{1} << shift;
        if (bytes >= size && bytes % size == 0) {
            return std::to_string(bytes >> shift) + unit;
        }
    }
    return std::to_string(bytes) + (bytes == 1 ? " byte" : " bytes");
}

FileError TooLargeError(const std::string& path, std::uint64_t maxBytes) {
    return FileError(path, std::string(kTooLargeCause) + FormatByteCount(maxBytes));
}

// The size is a hint only: the file may grow while it is read. One byte
// beyond the limit is enough to know it is over.
void ReadAll(int fd, const std::string& path, std::uint64_t maxBytes, std::uint64_t sizeHint,
             std::string& bytes) {
    const std::uint64_t cap =
        maxBytes < std::numeric_limits<std::uint64_t>::max() ? maxBytes + 1 : maxBytes;
    bytes.resize(static_cast<std::size_t>(std::min(sizeHint > 0 ? sizeHint + 1 : 4096, cap)));
    std::size_t used = 0;
    for (;;) {
        if (used == bytes.size()) {
            if (used >= cap) {
                throw TooLargeError(path, maxBytes);
            }
            bytes.resize(static_cast<std::size_t>(std::min<std::uint64_t>(2 * used, cap)));
        }
        const ssize_t got = ::read(fd, bytes.data() + used, bytes.size() - used);
        if (got < 0) {
            if (errno == EINTR) {
                continue;
            }
            throw MakeFileError(path, "cannot read", errno);
        }
        if (got == 0) {
            break;
        }
        used += static_cast<std::size_t>(got);
    }
    bytes.resize(used);
}

} // namespace

FileSnapshot ReadFileSnapshot(const std::string& path, std::uint64_t maxBytes) {
    // Without O_NONBLOCK, opening a FIFO waits for a writer, possibly for ever.
    const Descriptor fd(::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NOCTTY | O_NONBLOCK));
    if (fd.Get() < 0) {
        throw MakeFileError(path, "cannot open for reading", errno);
    }
    struct stat info {};
    if (::fstat(fd.Get(), &info) != 0) {
        throw MakeFileError(path, "cannot read", errno);
    }
    if (S_ISDIR(info.st_mode)) {
        throw MakeFileError(path, "cannot read", EISDIR);
    }
    // A FIFO or a device could block a read or never end.
    if (!S_ISREG(info.st_mode)) {
        throw FileError(path, "not a regular file");
    }
    // Where mandatory locks exist, a non-blocking read of a locked file fails.
    if (::fcntl(fd.Get(), F_SETFL, 0) != 0) {
        throw MakeFileError(path, "cannot read", errno);
    }
    if (static_cast<std::uint64_t>(info.st_size) > maxBytes) {
        throw TooLargeError(path, maxBytes);
    }
    FileSnapshot snapshot;
    snapshot.identity = FileIdentity{info.st_dev, info.st_ino};
    snapshot.state = StateOf(info);
    try {
        ReadAll(fd.Get(), path, maxBytes, static_cast<std::uint64_t>(info.st_size), snapshot.bytes);
    } catch (const std::bad_alloc&) {
        throw FileError(path, "out of memory while reading");
    } catch (const std::length_error&) {
        throw FileError(path, "out of memory while reading");
    }
    return snapshot;
}

std::string ReadFileBytes(const std::string& path, std::uint64_t maxBytes) {
    return ReadFileSnapshot(path, maxBytes).bytes;
}

std::optional<FileIdentity> LookUpIdentity(const std::string& path) {
    struct stat info {};
    if (::stat(path.c_str(), &info) != 0) {
        return std::nullopt;
    }
    return FileIdentity{info.st_dev, info.st_ino};
}

} // namespace quillstamper
