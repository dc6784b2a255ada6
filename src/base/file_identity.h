#pragma once

#include <cstddef>
#include <cstdint>
#include <ctime>
#include <string>

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
    ::timespec modified{};
    ::timespec changed{};
};

bool operator==(const FileState& a, const FileState& b);

// The name in its folder that a path comes to once its links are followed,
// which a replacement renames over: two hard links of one file differ here,
// two spellings of one name do not.
struct DirectoryEntry {
    FileIdentity folder;
    std::string name;

    friend bool operator==(const DirectoryEntry&, const DirectoryEntry&) = default;
    friend bool operator<(const DirectoryEntry& a, const DirectoryEntry& b);
};

} // namespace quillstamper
