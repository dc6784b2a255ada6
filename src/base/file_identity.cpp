#include "base/file_identity.h"

#include <functional>
#include <tuple>

namespace quillstamper {

std::size_t FileIdentityHash::operator()(const FileIdentity& identity) const noexcept {
    return std::hash<std::uint64_t>{}(identity.inode * 1000003u ^ identity.device);
}

bool operator==(const FileState& a, const FileState& b) {
    return a.identity == b.identity && a.size == b.size && a.modified.tv_sec == b.modified.tv_sec &&
           a.modified.tv_nsec == b.modified.tv_nsec && a.changed.tv_sec == b.changed.tv_sec &&
           a.changed.tv_nsec == b.changed.tv_nsec;
}

bool operator<(const DirectoryEntry& a, const DirectoryEntry& b) {
    return std::tie(a.folder.device, a.folder.inode, a.name) <
           std::tie(b.folder.device, b.folder.inode, b.name);
}

} // namespace quillstamper
