#include "files/recovery_store.h"

#include "base/file_error.h"
#include "files/file_io.h"
#include "files/os_files.h"

#include <algorithm>
#include <cerrno>
#include <charconv>
#include <cstdint>
#include <cstdlib>
#include <ctime>
#include <limits>
#include <optional>
#include <tuple>
#include <utility>

namespace quillstamper {

namespace {

// A copy begins with this line, then the page's path on a line of its own
// (its length first, as a path may hold a line break), then (since version 2)
// the new bytes' size and the hash of each of their blocks on one line, then
// the old bytes.
constexpr std::string_view kHeader = "quillstamper recovery copy 2\n";
constexpr std::string_view kHeaderWithoutRecord = "quillstamper recovery copy 1\n";
static_assert(kHeader.size() == kHeaderWithoutRecord.size());
constexpr std::string_view kSuffix = ".recovery";
// The unit of an in-place write: whole blocks of the new bytes are what a
// kill between two writes leaves. A page of the page cache, and at least a
// sector, so that the system writes no block in pieces.
constexpr std::size_t kBlockBytes = 4096;

// 64-bit FNV-1a: to tell an edit from what a write left, not against an
// adversary.
std::uint64_t Hash(std::string_view bytes) {
    std::uint64_t hash = 14695981039346656037ull;
    for (const char c : bytes) {
        hash = (hash ^ static_cast<unsigned char>(c)) * 1099511628211ull;
    }
    return hash;
}

std::string Hex(std::uint64_t value) {
    static const char kDigits[] = "0123456789abcdef";
    std::string text(16, '0');
    for (std::size_t i = 0; i < text.size(); ++i) {
        text[text.size() - 1 - i] = kDigits[(value >> (4 * i)) & 15];
    }
    return text;
}

std::string NameFor(const std::string& target, int number) {
    return Hex(Hash(target)) + (number > 1 ? "-" + std::to_string(number) : "") +
           std::string(kSuffix);
}

// What the interrupted write was to leave.
struct NewBytesRecord {
    std::uint64_t size = 0;
    std::vector<std::uint64_t> blockHashes;
};

std::string FormatRecord(std::string_view newBytes) {
    std::string line = std::to_string(newBytes.size());
    for (std::size_t at = 0; at < newBytes.size(); at += kBlockBytes) {
        line += ' ' + Hex(Hash(newBytes.substr(at, kBlockBytes)));
    }
    return line + '\n';
}

std::optional<NewBytesRecord> ParseRecord(std::string_view line) {
    const char* const end = line.data() + line.size();
    NewBytesRecord record;
    std::from_chars_result parsed = std::from_chars(line.data(), end, record.size);
    while (parsed.ec == std::errc() && parsed.ptr != end && *parsed.ptr == ' ') {
        record.blockHashes.push_back(0);
        parsed = std::from_chars(parsed.ptr + 1, end, record.blockHashes.back(), 16);
    }
    if (parsed.ec != std::errc() || parsed.ptr != end ||
        record.blockHashes.size() !=
            record.size / kBlockBytes + (record.size % kBlockBytes != 0 ? 1 : 0)) {
        return std::nullopt;
    }
    return record;
}

// A copy's parts: the page's path, the record (none in a version 1 copy),
// and where its old bytes begin.
struct CopyParts {
    std::string target;
    std::optional<NewBytesRecord> record;
    std::size_t oldBytesAt = 0;
};

std::optional<CopyParts> ParseCopy(const std::string& bytes) {
    const bool hasRecord = bytes.starts_with(kHeader);
    if (!hasRecord && !bytes.starts_with(kHeaderWithoutRecord)) {
        return std::nullopt;
    }
    const std::size_t lengthEnd = bytes.find('\n', kHeader.size());
    if (lengthEnd == std::string::npos) {
        return std::nullopt;
    }
    const std::size_t length = std::strtoull(bytes.c_str() + kHeader.size(), nullptr, 10);
    if (bytes.size() < lengthEnd + 1 + length + 1) {
        return std::nullopt;
    }
    CopyParts parts{bytes.substr(lengthEnd + 1, length), std::nullopt, lengthEnd + 1 + length + 1};
    if (hasRecord) {
        const std::size_t recordEnd = bytes.find('\n', parts.oldBytesAt);
        if (recordEnd == std::string::npos) {
            return std::nullopt;
        }
        parts.record = ParseRecord(
            std::string_view(bytes).substr(parts.oldBytesAt, recordEnd - parts.oldBytesAt));
        if (!parts.record) {
            return std::nullopt;
        }
        parts.oldBytesAt = recordEnd + 1;
    }
    return parts;
}

// The write puts the new bytes over the old ones block by block and then
// cuts the page to their size; a put-back does the same with the old bytes
// over whatever the page held. So a kill leaves, in each block, the old
// bytes or the new ones -- the last new block followed by old bytes when the
// cut did not come -- and the size of either, or the end of a block between.
bool HoldsWhatAWriteLeaves(std::string_view page, std::string_view old,
                           const NewBytesRecord& record) {
    if (page == old) {
        return true;
    }
    const std::uint64_t size = page.size();
    const bool between = size > std::min<std::uint64_t>(old.size(), record.size) &&
                         size < std::max<std::uint64_t>(old.size(), record.size) &&
                         size % kBlockBytes == 0;
    if (size != old.size() && size != record.size && !between) {
        return false;
    }
    const auto isOld = [&](std::size_t from, std::size_t to) {
        return to <= old.size() && page.substr(from, to - from) == old.substr(from, to - from);
    };
    for (std::size_t start = 0; start < page.size(); start += kBlockBytes) {
        const std::size_t end = std::min(start + kBlockBytes, page.size());
        if (isOld(start, end)) {
            continue;
        }
        const std::size_t newEnd =
            static_cast<std::size_t>(std::min<std::uint64_t>(start + kBlockBytes, record.size));
        if (start >= newEnd || newEnd > end ||
            Hash(page.substr(start, newEnd - start)) != record.blockHashes[start / kBlockBytes] ||
            (newEnd < end && !isOld(newEnd, end))) {
            return false;
        }
    }
    return true;
}

CopyParts ReadCopy(const std::string& copyFile, std::string& bytes) {
    bytes = ReadFileBytes(copyFile);
    std::optional<CopyParts> parts = ParseCopy(bytes);
    if (!parts) {
        throw FileError(copyFile, "not a recovery copy");
    }
    return std::move(*parts);
}

bool Matches(const CopyParts& parts, const std::string& copyBytes, const std::string& target) {
    return !parts.record ||
           HoldsWhatAWriteLeaves(ReadFileBytes(target, std::numeric_limits<std::uint64_t>::max()),
                                 std::string_view(copyBytes).substr(parts.oldBytesAt),
                                 *parts.record);
}

} // namespace

std::string AbsolutePath(const std::string& path) {
    if (!path.empty() && path.front() == '/') {
        return path;
    }
#ifdef _WIN32
    if (path.size() >= 3 && path[1] == ':' && (path[2] == '/' || path[2] == '\\')) {
        return path; // from a drive's root
    }
#endif
    const std::optional<std::string> cwd = os::WorkingFolder();
    return cwd ? *cwd + "/" + path : path;
}

std::string RecoveryStore::DefaultFolder() {
#ifdef _WIN32
    // The user's own data on this machine, which no roaming profile copies.
    const char* local = std::getenv("LOCALAPPDATA");
    if (local != nullptr && local[0] != '\0') {
        std::string folder = std::string(local) + "/quillstamper/recovery";
        std::replace(folder.begin(), folder.end(), '\\', '/');
        return folder;
    }
#endif
    const char* cache = std::getenv("XDG_CACHE_HOME");
    if (cache != nullptr && cache[0] == '/') {
        return std::string(cache) + "/quillstamper/recovery";
    }
    const char* home = std::getenv("HOME");
    return std::string(home != nullptr && home[0] != '\0' ? home : "/tmp") +
           "/.cache/quillstamper/recovery";
}

RecoveryStore::RecoveryStore(std::string folder) : m_folder(std::move(folder)) {}

std::string RecoveryStore::Save(const std::string& target, std::string_view oldBytes,
                                std::string_view newBytes) const {
    // Errors name the page, whose write cannot go on without its copy.
    const std::string head = std::string(kHeader) + std::to_string(target.size()) + "\n" + target +
                             "\n" + FormatRecord(newBytes);
    if (!os::MakeFolders(m_folder)) {
        throw MakeFileError(target, "cannot keep a recovery copy in " + m_folder, errno);
    }
    // A copy left from before holds old bytes that nothing else does.
    std::string name;
    for (int number = 1; name.empty() || os::StatPath(m_folder + "/" + name); ++number) {
        name = NameFor(target, number);
    }
    // The copy's name must be on disk before the page is touched.
    if (!os::WriteFileDurably(m_folder, name, {head, oldBytes})) {
        throw MakeFileError(target, "cannot keep a recovery copy in " + m_folder, errno);
    }
    return m_folder + "/" + name;
}

void RecoveryStore::Remove(const std::string& copyFile) const {
    os::RemoveFile(copyFile);
}

std::vector<RecoveryStore::Copy> RecoveryStore::List() const {
    std::vector<std::pair<::timespec, Copy>> copies;
    for (const std::string& name : os::ListFolder(m_folder)) {
        if (name.size() <= kSuffix.size() || name.substr(name.size() - kSuffix.size()) != kSuffix) {
            continue;
        }
        const std::string file = m_folder + "/" + name;
        try {
            const FileSnapshot snapshot = ReadFileSnapshot(file);
            if (std::optional<CopyParts> parts = ParseCopy(snapshot.bytes)) {
                copies.emplace_back(snapshot.state.modified, Copy{file, std::move(parts->target)});
            }
        } catch (const FileError&) {
            // not ours to judge: another user's or a broken copy is left alone
        }
    }
    // A page killed again while written after its copy was kept holds what
    // the newest copy's write left.
    std::stable_sort(copies.begin(), copies.end(), [](const auto& a, const auto& b) {
        return std::tie(a.first.tv_sec, a.first.tv_nsec) >
               std::tie(b.first.tv_sec, b.first.tv_nsec);
    });
    std::vector<Copy> list;
    for (auto& [modified, copy] : copies) {
        list.push_back(std::move(copy));
    }
    return list;
}

std::string RecoveryStore::ReadOldBytes(const std::string& copyFile) const {
    std::string bytes;
    const CopyParts parts = ReadCopy(copyFile, bytes);
    return bytes.substr(parts.oldBytesAt);
}

bool RecoveryStore::MatchesInterruptedWrite(const Copy& copy) const {
    std::string bytes;
    const CopyParts parts = ReadCopy(copy.file, bytes);
    return Matches(parts, bytes, copy.target);
}

bool RecoveryStore::PutBack(const Copy& copy) const {
    std::string bytes;
    const CopyParts parts = ReadCopy(copy.file, bytes);
    if (!Matches(parts, bytes, copy.target)) {
        return false;
    }
    const os::Descriptor page = os::OpenForWriting(copy.target);
    if (!page || !OverwriteInBlocks(page, std::string_view(bytes).substr(parts.oldBytesAt)) ||
        !os::FlushFile(page)) {
        throw MakeFileError(copy.target, "cannot put back its content", errno);
    }
    Remove(copy.file);
    return true;
}

bool OverwriteInBlocks(const os::Descriptor& file, std::string_view bytes) {
    for (std::size_t at = 0; at < bytes.size(); at += kBlockBytes) {
        if (!os::WriteAt(file, bytes.substr(at, kBlockBytes), static_cast<std::int64_t>(at))) {
            return false;
        }
    }
    return os::Truncate(file, static_cast<std::int64_t>(bytes.size()));
}

} // namespace quillstamper
