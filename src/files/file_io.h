#pragma once

#include "base/file_identity.h"

#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

namespace quillstamper {

struct FileSnapshot {
    std::string bytes;
    FileIdentity identity;
    FileState state; // when read
    std::uint64_t links = 1;
};

// A file's bytes, shared by whatever views lines in them.
using SharedBytes = std::shared_ptr<const std::string>;

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

// Nothing when the path or its folder cannot be looked up.
std::optional<DirectoryEntry> LookUpDirectoryEntry(const std::string& path);

} // namespace quillstamper
