#pragma once

#include <optional>
#include <string>
#include <sys/types.h>

namespace quillstamper {

// Which file a path names, after links: two spellings of one file compare equal.
struct FileIdentity {
    dev_t device = 0;
    ino_t inode = 0;

    friend bool operator==(const FileIdentity&, const FileIdentity&) = default;
};

struct FileIdentityHash {
    std::size_t operator()(const FileIdentity& identity) const noexcept;
};

struct FileSnapshot {
    std::string bytes;
    FileIdentity identity;
};

// Reads a whole file in one buffer. Throws FileError naming path.
std::string ReadFileBytes(const std::string& path);
FileSnapshot ReadFileSnapshot(const std::string& path);

// The identity of the file path names, or nothing when it cannot be looked up.
std::optional<FileIdentity> LookUpIdentity(const std::string& path);

} // namespace quillstamper
