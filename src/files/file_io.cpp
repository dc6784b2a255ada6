#include "files/file_io.h"

#include "base/file_error.h"
#include "base/path_resolution.h"
#include "files/os_files.h"

#include <algorithm>
#include <cerrno>
#include <functional>
#include <limits>
#include <new>
#include <stdexcept>
#include <tuple>
#include <utility>

namespace quillstamper {

namespace {

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
void ReadAll(const os::Descriptor& file, const std::string& path, std::uint64_t maxBytes,
             std::uint64_t sizeHint, std::string& bytes) {
    const std::uint64_t cap =
        maxBytes < std::numeric_limits<std::uint64_t>::max() ? maxBytes + 1 : maxBytes;
    bytes.resize(static_cast<std::size_t>(std::min(sizeHint > 0 ? sizeHint + 1 : 4096, cap)));
    std::size_t used = 0;
    bool madeBlocking = false;
    for (;;) {
        if (used == bytes.size()) {
            if (used >= cap) {
                throw TooLargeError(path, maxBytes);
            }
            bytes.resize(static_cast<std::size_t>(std::min<std::uint64_t>(2 * used, cap)));
        }
        const std::size_t asked = bytes.size() - used;
        const std::int64_t got =
            os::ReadAt(file, bytes.data() + used, asked, static_cast<std::int64_t>(used));
        if (got < 0 && errno == EAGAIN && !madeBlocking) {
            // Where mandatory locks exist, a non-blocking read of a locked
            // file fails: from now on reads wait, as a blocking read would.
            if (!os::MakeBlocking(file)) {
                throw MakeFileError(path, "cannot read", errno);
            }
            madeBlocking = true;
            continue;
        }
        if (got < 0) {
            throw MakeFileError(path, "cannot read", errno);
        }
        if (got == 0) {
            break;
        }
        used += static_cast<std::size_t>(got);
        // A short read that ends where the file's size said it would is its
        // end: no second read to learn it.
        if (static_cast<std::size_t>(got) < asked && used == sizeHint) {
            break;
        }
    }
    bytes.resize(used);
}

} // namespace

FileSnapshot ReadFileSnapshot(const std::string& path, std::uint64_t maxBytes) {
    const os::Descriptor file = os::OpenForReading(path);
    if (!file) {
        throw MakeFileError(path, "cannot open for reading", errno);
    }
    const std::optional<os::FileStatus> status = os::StatFile(file);
    if (!status) {
        throw MakeFileError(path, "cannot read", errno);
    }
    if (status->kind == os::FileKind::Folder) {
        throw MakeFileError(path, "cannot read", EISDIR);
    }
    // A FIFO or a device could block a read or never end.
    if (status->kind != os::FileKind::Regular) {
        throw FileError(path, "not a regular file");
    }
    const auto size = static_cast<std::uint64_t>(status->state.size);
    if (size > maxBytes) {
        throw TooLargeError(path, maxBytes);
    }
    FileSnapshot snapshot;
    snapshot.identity = status->state.identity;
    snapshot.state = status->state;
    snapshot.links = status->links;
    try {
        ReadAll(file, path, maxBytes, size, snapshot.bytes);
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
    const std::optional<os::FileStatus> status = os::StatPath(path);
    if (!status) {
        return std::nullopt;
    }
    return status->state.identity;
}

std::optional<DirectoryEntry> LookUpDirectoryEntry(const std::string& path) {
    const std::optional<std::string> target = os::ResolveLinks(path);
    if (!target) {
        return std::nullopt;
    }
    const std::string folder = ParentFolder(*target);
    const std::optional<FileIdentity> folderIdentity =
        LookUpIdentity(folder.empty() ? "." : folder);
    if (!folderIdentity) {
        return std::nullopt;
    }
    const std::size_t slash = target->find_last_of('/');
    return DirectoryEntry{*folderIdentity,
                          slash == std::string::npos ? *target : target->substr(slash + 1)};
}

} // namespace quillstamper
