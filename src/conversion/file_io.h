#pragma once

#include <cstddef>
#include <cstdint>
#include <ctime>
#include <optional>
#include <string>
#include <string_view>

namespace quillstamper {

// Which file a path names, after links: two spellings of one file compare equal.
struct FileIdentity {
    std::uint64_t device = 0;
    std::uint64_t inode = 0;

    friend bool operator==(const FileIdentity&, const FileIdentity&) = default;
};

struct FileIdentityHash {
    std::size_t operator()(const FileIdentity& identity) const noexcept;
};

// What a file looked like: a file that another program wrote since differs
// in one of these, however quickly it was written.
struct FileState {
    FileIdentity identity;
    std::int64_t size = 0;
    std::timespec modified{};
    std::timespec changed{};
};

bool operator==(const FileState& a, const FileState& b);

struct FileSnapshot {
    std::string bytes;
    FileIdentity identity;
    FileState state; // when read
    std::uint64_t links = 1;
};

// Files larger than this are refused unless the caller gives another limit.
inline constexpr std::uint64_t kDefaultMaxFileBytes = std::uint64_t{1} << 30;

// The cause of the FileError for a file over the limit starts with this,
// followed by the limit ("1 GiB", "512 bytes").
inline constexpr std::string_view kTooLargeCause = "larger than the limit of ";

// Reads a whole regular file of at most maxBytes in one buffer. Throws
// FileError naming path, also for anything that is no regular file (a FIFO
// or a device, refused without waiting on it) and when memory runs out.
std::string ReadFileBytes(const std::string& path, std::uint64_t maxBytes = kDefaultMaxFileBytes);
FileSnapshot ReadFileSnapshot(const std::string& path,
                              std::uint64_t maxBytes = kDefaultMaxFileBytes);

// The identity of the file path names, or nothing when it cannot be looked up.
std::optional<FileIdentity> LookUpIdentity(const std::string& path);

// The name in its folder that a path comes to once its links are followed,
// which a replacement renames over: two hard links of one file differ here,
// two spellings of one name do not.
struct DirectoryEntry {
    FileIdentity folder;
    std::string name;

    friend bool operator==(const DirectoryEntry&, const DirectoryEntry&) = default;
    friend bool operator<(const DirectoryEntry& a, const DirectoryEntry& b);
};

// Nothing when the path or its folder cannot be looked up.
std::optional<DirectoryEntry> LookUpDirectoryEntry(const std::string& path);

} // namespace quillstamper
