#include "conversion/recovery_store.h"

#include "conversion/file_io.h"
#include "workspace/file_error.h"

#include <cerrno>
#include <cstdint>
#include <cstdlib>
#include <dirent.h>
#include <fcntl.h>
#include <memory>
#include <sys/stat.h>
#include <unistd.h>

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

// Errors name the page, whose write cannot go on without its copy.
void MakeFolders(const std::string& folder, const std::string& target) {
    for (std::size_t slash = folder.find('/', 1);; slash = folder.find('/', slash + 1)) {
        const std::string part = folder.substr(0, slash);
        if (::mkdir(part.c_str(), 0700) != 0 && errno != EEXIST) {
            throw MakeFileError(target, "cannot keep a recovery copy in " + folder, errno);
        }
        if (slash == std::string::npos) {
            return;
        }
    }
}

bool WriteAllTo(int fd, std::string_view bytes) {
    while (!bytes.empty()) {
        const ssize_t written = ::write(fd, bytes.data(), bytes.size());
        if (written < 0 && errno == EINTR) {
            continue;
        }
        if (written <= 0) {
            return false;
        }
        bytes.remove_prefix(static_cast<std::size_t>(written));
    }
    return true;
}

} // namespace

std::string AbsolutePath(const std::string& path) {
    if (!path.empty() && path.front() == '/') {
        return path;
    }
    std::unique_ptr<char, decltype(&std::free)> cwd(::getcwd(nullptr, 0), &std::free);
    return cwd ? std::string(cwd.get()) + "/" + path : path;
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
    MakeFolders(m_folder, target);
    const std::string file = m_folder + "/" + NameFor(target);
    const std::string temporary = file + ".new";
    const int fd = ::open(temporary.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600);
    if (fd < 0) {
        throw MakeFileError(target, "cannot keep a recovery copy in " + m_folder, errno);
    }
    const std::string head =
        std::string(kHeader) + std::to_string(target.size()) + "\n" + target + "\n";
    const bool written = WriteAllTo(fd, head) && WriteAllTo(fd, oldBytes) && ::fsync(fd) == 0;
    const int error = errno;
    ::close(fd);
    if (!written || ::rename(temporary.c_str(), file.c_str()) != 0) {
        ::unlink(temporary.c_str());
        throw MakeFileError(target, "cannot keep a recovery copy in " + m_folder,
                            written ? errno : error);
    }
    // The copy's name must be on disk before the page is touched.
    const int folderFd = ::open(m_folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (folderFd >= 0) {
        ::fsync(folderFd);
        ::close(folderFd);
    }
    return file;
}

void RecoveryStore::Remove(const std::string& copyFile) const {
    ::unlink(copyFile.c_str());
}

std::vector<RecoveryStore::Copy> RecoveryStore::List() const {
    std::vector<Copy> copies;
    DIR* folder = ::opendir(m_folder.c_str());
    if (folder == nullptr) {
        return copies;
    }
    while (const dirent* entry = ::readdir(folder)) {
        const std::string_view name = entry->d_name;
        if (name.size() <= kSuffix.size() || name.substr(name.size() - kSuffix.size()) != kSuffix) {
            continue;
        }
        const std::string file = m_folder + "/" + std::string(name);
        try {
            const std::string bytes = ReadFileBytes(file);
            if (bytes.compare(0, kHeader.size(), kHeader) != 0) {
                continue;
            }
            const std::size_t lengthEnd = bytes.find('\n', kHeader.size());
            const std::size_t length = std::strtoull(bytes.c_str() + kHeader.size(), nullptr, 10);
            if (lengthEnd == std::string::npos || bytes.size() < lengthEnd + 1 + length + 1) {
                continue;
            }
            copies.push_back(Copy{file, bytes.substr(lengthEnd + 1, length)});
        } catch (const FileError&) {
            // not ours to judge: another user's or a broken copy is left alone
        }
    }
    ::closedir(folder);
    return copies;
}

std::string RecoveryStore::ReadOldBytes(const std::string& copyFile) const {
    const std::string bytes = ReadFileBytes(copyFile);
    const std::size_t lengthEnd = bytes.find('\n', kHeader.size());
    if (bytes.compare(0, kHeader.size(), kHeader) != 0 || lengthEnd == std::string::npos) {
        throw FileError(copyFile, "not a recovery copy");
    }
    const std::size_t length = std::strtoull(bytes.c_str() + kHeader.size(), nullptr, 10);
    if (bytes.size() < lengthEnd + 1 + length + 1) {
        throw FileError(copyFile, "not a recovery copy");
    }
    return bytes.substr(lengthEnd + 1 + length + 1);
}

void RecoveryStore::PutBack(const Copy& copy) const {
    const std::string bytes = ReadOldBytes(copy.file);
    const int fd = ::open(copy.target.c_str(), O_WRONLY | O_CLOEXEC | O_NOFOLLOW | O_NONBLOCK);
    if (fd < 0) {
        throw MakeFileError(copy.target, "cannot put back its content", errno);
    }
    const bool done = ::lseek(fd, 0, SEEK_SET) == 0 && WriteAllTo(fd, bytes) &&
                      ::ftruncate(fd, static_cast<off_t>(bytes.size())) == 0 && ::fsync(fd) == 0;
    const int error = errno;
    ::close(fd);
    if (!done) {
        throw MakeFileError(copy.target, "cannot put back its content", error);
    }
    Remove(copy.file);
}

} // namespace quillstamper
