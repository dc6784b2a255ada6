#pragma once

#include "base/file_identity.h"

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <initializer_list>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

// The operating system's part of reading and replacing files, so that a port
// to another platform has one implementation file to write (os_files_posix.cpp,
// os_files_win32.cpp). An operation that
// fails returns false, nothing or -1 and leaves the error number in errno, so
// that the caller's message names the system's reason.
namespace quillstamper::os {

// An open file or folder, closed when dropped; closing keeps errno.
class Descriptor {
public:
    Descriptor() = default;
    explicit Descriptor(int handle) : m_handle(handle) {}
    ~Descriptor(); // each system closes in its own way
    Descriptor(Descriptor&& other) noexcept : m_handle(std::exchange(other.m_handle, -1)) {}
    Descriptor& operator=(Descriptor&& other) noexcept {
        if (this != &other) {
            const Descriptor old(m_handle);
            m_handle = std::exchange(other.m_handle, -1);
        }
        return *this;
    }

    explicit operator bool() const {
        return m_handle >= 0;
    }
    int Handle() const {
        return m_handle;
    }

private:
    int m_handle = -1;
};

enum class FileKind { Regular, Folder, Link, Other };

struct FileStatus {
    FileKind kind = FileKind::Other;
    FileState state;
    std::uint64_t links = 1;
    // Only for CopyOwnerModeAndAttributes; on Windows mode holds the file's
    // attributes (FILE_ATTRIBUTE_*).
    std::uint32_t owner = 0;
    std::uint32_t group = 0;
    std::uint32_t mode = 0;
};

// Follows links to the file whose content is to change; a dangling link
// resolves to the path it points at.
std::optional<std::string> ResolveLinks(const std::string& path);
// The folder itself, for the operations below that take one; "" is not ".".
Descriptor OpenFolder(const std::string& path);

std::optional<FileStatus> StatFile(const Descriptor& file);
// Never follows a link that name is.
std::optional<FileStatus> StatAt(const Descriptor& folder, const std::string& name);
// Follows links.
std::optional<FileStatus> StatPath(const std::string& path);

// The opening functions never wait: a FIFO opens at once, or fails. Only
// reading follows a link in the last part of the path.
Descriptor OpenForReading(const std::string& path);
// Reads wait from now on, for a read that could not wait failed (EAGAIN) on
// a locked file.
bool MakeBlocking(const Descriptor& file);
// The file must exist.
Descriptor OpenForWriting(const std::string& path);
// Whether the user may write the file name is, as opening it for writing
// would tell, without opening it. A link there is followed: the caller
// makes sure that name is none.
bool MayWrite(const Descriptor& folder, const std::string& name);
// For reading and writing, made with the default permissions if missing.
Descriptor OpenForUpdate(const Descriptor& folder, const std::string& name);

// A file without a name in folder, with the permission bits mode less the
// user's mask (no one else can open it yet); fails with EOPNOTSUPP where the
// file system has no such files.
Descriptor CreateUnnamedFile(const Descriptor& folder, std::uint32_t mode);
// A new file for its owner only; fails with EEXIST when the name is taken.
Descriptor CreateNamedFile(const Descriptor& folder, const std::string& name);
// Gives an unnamed file a name in folder; fails with EEXIST when it is taken.
bool GiveName(const Descriptor& file, const Descriptor& folder, const std::string& name);
bool RenameWithin(const Descriptor& folder, const std::string& from, const std::string& to);
void RemoveAt(const Descriptor& folder, const std::string& name);
void RemoveFile(const std::string& path);

// 0 at the end of the file, -1 on failure.
std::int64_t ReadAt(const Descriptor& file, char* buffer, std::size_t size, std::int64_t offset);
bool WriteAt(const Descriptor& file, std::string_view bytes, std::int64_t offset);
bool Truncate(const Descriptor& file, std::int64_t size);
bool FlushFile(const Descriptor& file);
// Flushes every file on file's file system: cheaper than many FlushFile.
bool FlushFileSystem(const Descriptor& file);

// What a new file gets: read and write for all, less the user's mask.
bool SetDefaultMode(const Descriptor& file);
// Gives to the owner and group of from where allowed, its permission bits,
// access control list and the extended attributes a user may set: what a
// rename would drop. toNow is what to looks like, so that what it has
// already is not set again. On a failure returns what could not be done
// ("cannot set permissions"), errno telling why.
std::optional<std::string> CopyOwnerModeAndAttributes(const Descriptor& folder,
                                                      const std::string& name,
                                                      const FileStatus& from, const Descriptor& to,
                                                      const FileStatus& toNow);

// How many files the process may hold open; nothing when unlimited or unknown.
std::optional<std::uint64_t> MaxOpenFiles();
std::optional<std::string> WorkingFolder();

// The folder and its missing parents, for the user only.
bool MakeFolders(const std::string& path);
// The names in the folder; none when it cannot be read.
std::vector<std::string> ListFolder(const std::string& path);
// Writes parts, one after the other, to a new file for the user only, and
// makes it and then its name durable; an old file of that name is replaced
// only once the new one is complete.
bool WriteFileDurably(const std::string& folder, const std::string& name,
                      std::initializer_list<std::string_view> parts);

// What a watch looks at. Relative paths are taken from the current folder.
struct WatchList {
    // Their content and their existence count, however an editor saves: a
    // rename over the name and a delete-and-create as much as a write. So do
    // the folders on the way to each and every link met there: a folder
    // above it replaced, or a link of a chain pointed elsewhere. A file
    // whose folder is missing is waited for from its nearest existing parent.
    std::vector<std::string> files;
    // Files coming and going below these folders count; hidden names (a
    // run's own temporary files among them) and editors' leftovers do not,
    // as folder searches skip them.
    std::vector<std::string> folders;
};

// Tells when something in a WatchList changed.
class ChangeWatch {
public:
    virtual ~ChangeWatch() = default;
    // Changes from now on count, and those not yet waited for of paths kept
    // in the list: a change may then start one run too many, never one too few.
    virtual void Watch(const WatchList& list) = 0;
    // True once a change was seen; false when timeout passed first or a
    // signal came.
    virtual bool WaitForChange(std::chrono::milliseconds timeout) = 0;
    // The caller's own run left watched files looking like this: a change
    // after which a file looks so is that run's write and does not count;
    // any later one does. Holds until the next call.
    virtual void IgnoreOwnWrites(const std::vector<FileState>& states) = 0;
    // Looks at the files every interval instead of being told by the system.
    virtual bool Polls() const = 0;
    // Why it looks although not asked to (no inotify, its limit reached),
    // with the system's reason; empty otherwise.
    virtual std::string WhyPolls() const = 0;
};

// Asks the system to tell (inotify, ReadDirectoryChangesW) unless poll is set
// or it cannot; else compares what the files look like every interval. In
// os_watch_linux.cpp and os_watch_win32.cpp.
std::unique_ptr<ChangeWatch>
OpenChangeWatch(bool poll, std::chrono::milliseconds interval = std::chrono::seconds(1));

} // namespace quillstamper::os
