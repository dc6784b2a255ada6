#include "conversion/file_io.h"

#include "workspace/file_error.h"

#include <cerrno>
#include <fcntl.h>
#include <functional>
#include <sys/stat.h>
#include <unistd.h>

namespace quillstamper {

std::size_t FileIdentityHash::operator()(const FileIdentity& identity) const noexcept {
    return std::hash<std::uint64_t>{}(static_cast<std::uint64_t>(identity.inode) * 1000003u ^
                                      static_cast<std::uint64_t>(identity.device));
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

} // namespace

FileSnapshot ReadFileSnapshot(const std::string& path) {
    const Descriptor fd(::open(path.c_str(), O_RDONLY | O_CLOEXEC));
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
    FileSnapshot snapshot;
    snapshot.identity = FileIdentity{info.st_dev, info.st_ino};
    std::string& bytes = snapshot.bytes;
    // The size is a hint only: the file may grow or be a pipe.
    std::size_t capacity = info.st_size > 0 ? static_cast<std::size_t>(info.st_size) + 1 : 4096;
    bytes.resize(capacity);
    std::size_t used = 0;
    for (;;) {
        if (used == bytes.size()) {
            bytes.resize(bytes.size() * 2);
        }
        const ssize_t got = ::read(fd.Get(), bytes.data() + used, bytes.size() - used);
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
    return snapshot;
}

std::string ReadFileBytes(const std::string& path) {
    return ReadFileSnapshot(path).bytes;
}

std::optional<FileIdentity> LookUpIdentity(const std::string& path) {
    struct stat info {};
    if (::stat(path.c_str(), &info) != 0) {
        return std::nullopt;
    }
    return FileIdentity{info.st_dev, info.st_ino};
}

} // namespace quillstamper
