#include "conversion/recovery_store.h"

#include "conversion/file_io.h"
#include "conversion/os_files.h"
#include "workspace/file_error.h"

#include <cerrno>
#include <cstdint>
#include <cstdlib>
#include <optional>

namespace quillstamper {

namespace {

// A copy begins with this line, then the page's path on a line of its own
// (its length first, as a path may hold a line break), then the old bytes.
constexpr std::string_view kHeader = "quillstamper recovery copy 1\n";
constexpr std::string_view kSuffix = ".recovery";

std::string NameFor(const std::string& target) {
    std::uint64_t hash = 14695981039346656037ull; // FNV-1a
    for (const char c : target) {
        hash = (hash ^ static_cast<unsigned char>(c)) * 1099511628211ull;
    }
    static const char kDigits[] = "0123456789abcdef";
    std::string name(16, '0');
    for (std::size_t i = 0; i < name.size(); ++i) {
        name[name.size() - 1 - i] = kDigits[(hash >> (4 * i)) & 15];
    }
    return name + std::string(kSuffix);
}

// A copy's parts: the page's path, and where its old bytes begin.
struct CopyParts {
    std::string target;
    std::size_t oldBytesAt = 0;
};

std::optional<CopyParts> ParseCopy(const std::string& bytes) {
    const std::size_t lengthEnd = bytes.find('\n', kHeader.size());
    if (bytes.compare(0, kHeader.size(), kHeader) != 0 || lengthEnd == std::string::npos) {
        return std::nullopt;
    }
    const std::size_t length = std::strtoull(bytes.c_str() + kHeader.size(), nullptr, 10);
    if (bytes.size() < lengthEnd + 1 + length + 1) {
        return std::nullopt;
    }
    return CopyParts{bytes.substr(lengthEnd + 1, length), lengthEnd + 1 + length + 1};
}

} // namespace

std::string AbsolutePath(const std::string& path) {
    if (!path.empty() && path.front() == '/') {
        return path;
    }
    const std::optional<std::string> cwd = os::WorkingFolder();
    return cwd ? *cwd + "/" + path : path;
}

std::string RecoveryStore::DefaultFolder() {
    const char* cache = std::getenv("XDG_CACHE_HOME");
    if (cache != nullptr && cache[0] == '/') {
        return std::string(cache) + "/quillstamper/recovery";
    }
    const char* home = std::getenv("HOME");
    return std::string(home != nullptr && home[0] != '\0' ? home : "/tmp") +
           "/.cache/quillstamper/recovery";
}

RecoveryStore::RecoveryStore(std::string folder) : m_folder(std::move(folder)) {}

std::string RecoveryStore::Save(const std::string& target, std::string_view oldBytes) const {
    // Errors name the page, whose write cannot go on without its copy.
    const std::string name = NameFor(target);
    const std::string head =
        std::string(kHeader) + std::to_string(target.size()) + "\n" + target + "\n";
    // The copy's name must be on disk before the page is touched.
    if (!os::MakeFolders(m_folder) || !os::WriteFileDurably(m_folder, name, {head, oldBytes})) {
        throw MakeFileError(target, "cannot keep a recovery copy in " + m_folder, errno);
    }
    return m_folder + "/" + name;
}

void RecoveryStore::Remove(const std::string& copyFile) const {
    os::RemoveFile(copyFile);
}

std::vector<RecoveryStore::Copy> RecoveryStore::List() const {
    std::vector<Copy> copies;
    for (const std::string& name : os::ListFolder(m_folder)) {
        if (name.size() <= kSuffix.size() || name.substr(name.size() - kSuffix.size()) != kSuffix) {
            continue;
        }
        const std::string file = m_folder + "/" + name;
        try {
            if (std::optional<CopyParts> parts = ParseCopy(ReadFileBytes(file))) {
                copies.push_back(Copy{file, std::move(parts->target)});
            }
        } catch (const FileError&) {
            // not ours to judge: another user's or a broken copy is left alone
        }
    }
    return copies;
}

std::string RecoveryStore::ReadOldBytes(const std::string& copyFile) const {
    const std::string bytes = ReadFileBytes(copyFile);
    const std::optional<CopyParts> parts = ParseCopy(bytes);
    if (!parts) {
        throw FileError(copyFile, "not a recovery copy");
    }
    return bytes.substr(parts->oldBytesAt);
}

void RecoveryStore::PutBack(const Copy& copy) const {
    const std::string bytes = ReadOldBytes(copy.file);
    const os::Descriptor page = os::OpenForWriting(copy.target);
    if (!page || !os::WriteAt(page, bytes, 0) ||
        !os::Truncate(page, static_cast<std::int64_t>(bytes.size())) || !os::FlushFile(page)) {
        throw MakeFileError(copy.target, "cannot put back its content", errno);
    }
    Remove(copy.file);
}

} // namespace quillstamper
