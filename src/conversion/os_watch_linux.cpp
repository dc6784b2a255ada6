#include "conversion/os_files.h"

#include "workspace/path_resolution.h"

#include <algorithm>
#include <cerrno>
#include <filesystem>
#include <map>
#include <poll.h>
#include <set>
#include <sys/inotify.h>
#include <utility>

namespace quillstamper::os {

namespace {

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;
using std::chrono::milliseconds;

bool IsHidden(std::string_view name) {
    return !name.empty() && name.front() == '.';
}

bool IsFolder(const std::string& path) {
    const std::optional<FileStatus> status = StatPath(path);
    return status && status->kind == FileKind::Folder;
}

std::string WithoutTrailingSlashes(std::string path) {
    while (path.size() > 1 && path.back() == '/') {
        path.pop_back();
    }
    return path;
}

// Sleeps; false when a signal came.
bool Sleep(milliseconds time) {
    return ::poll(nullptr, 0, static_cast<int>(std::max<milliseconds::rep>(time.count(), 0))) >= 0;
}

struct TreeEntry {
    std::string path;
    bool isFolder = false;
};

// What a folder search below folder would see: hidden names skipped, links
// to folders not followed.
std::vector<TreeEntry> ListTree(const std::string& folder) {
    std::vector<TreeEntry> entries;
    std::error_code error;
    fs::recursive_directory_iterator it(folder, fs::directory_options::skip_permission_denied,
                                        error);
    for (; !error && it != fs::recursive_directory_iterator(); it.increment(error)) {
        std::error_code typeError;
        const bool isFolder = it->symlink_status(typeError).type() == fs::file_type::directory;
        if (IsHidden(it->path().filename().string())) {
            it.disable_recursion_pending();
            continue;
        }
        entries.push_back({it->path().string(), isFolder});
    }
    return entries;
}

constexpr std::uint32_t kEntryEvents = IN_CREATE | IN_DELETE | IN_MOVED_FROM | IN_MOVED_TO;
constexpr std::uint32_t kMask = kEntryEvents | IN_CLOSE_WRITE | IN_ATTRIB | IN_MODIFY |
                                IN_DELETE_SELF | IN_MOVE_SELF | IN_ONLYDIR;

// What counts in one watched folder.
struct FolderWatch {
    std::set<std::string, std::less<>> names;
    bool entries = false;
};

// Editors replace a file by renaming over it or deleting it, and a watch on
// the file itself would end there: the folder is watched for the name.
void AddFile(std::map<std::string, FolderWatch>& wanted, std::string path) {
    path = WithoutTrailingSlashes(std::move(path));
    for (;;) {
        std::string folder = ParentFolder(path);
        folder = folder.empty() ? "." : folder;
        if (folder == path || IsFolder(folder)) {
            wanted[folder].names.insert(path.substr(path.find_last_of('/') + 1));
            return;
        }
        path = std::move(folder);
    }
}

// Where the system cannot tell (no inotify, a network file system).
class PollingWatch : public ChangeWatch {
public:
    explicit PollingWatch(milliseconds interval) : m_interval(interval) {}

    void Watch(const WatchList& list) override {
        m_list = list;
        Look fresh = LookAt(m_list);
        // A change since the last look at a path still listed is still to be told.
        KeepSeen(fresh.files, m_seen.files);
        KeepSeen(fresh.entries, m_seen.entries);
        m_seen = std::move(fresh);
        m_nextLook = Clock::now() + m_interval;
    }

    bool WaitForChange(milliseconds timeout) override {
        const auto deadline = Clock::now() + timeout;
        for (;;) {
            const auto now = Clock::now();
            if (now >= m_nextLook) {
                m_nextLook = now + m_interval;
                Look fresh = LookAt(m_list);
                const bool changed = fresh != m_seen;
                m_seen = std::move(fresh);
                if (changed) {
                    return true;
                }
            }
            if (now >= deadline ||
                !Sleep(std::chrono::ceil<milliseconds>(std::min(deadline, m_nextLook) - now))) {
                return false;
            }
        }
    }

    bool Polls() const override {
        return true;
    }

private:
    struct Look {
        std::map<std::string, std::optional<FileState>> files;
        std::map<std::string, std::vector<std::string>> entries; // by watched folder
        bool operator==(const Look&) const = default;
    };

    static Look LookAt(const WatchList& list) {
        Look look;
        for (const std::string& file : list.files) {
            const std::optional<FileStatus> status = StatPath(file);
            look.files[file] = status ? std::optional<FileState>(status->state) : std::nullopt;
        }
        for (const std::string& folder : list.folders) {
            std::vector<std::string>& names = look.entries[folder];
            for (const TreeEntry& entry : ListTree(folder)) {
                names.push_back(entry.path);
            }
            std::sort(names.begin(), names.end());
        }
        return look;
    }

    template <typename Map> static void KeepSeen(Map& fresh, const Map& seen) {
        for (auto& [path, value] : fresh) {
            if (const auto old = seen.find(path); old != seen.end()) {
                value = old->second;
            }
        }
    }

    milliseconds m_interval;
    WatchList m_list;
    Look m_seen;
    Clock::time_point m_nextLook;
};

class KernelWatch : public ChangeWatch {
public:
    KernelWatch(Descriptor inotify, milliseconds interval)
        : m_inotify(std::move(inotify)), m_interval(interval) {}

    void Watch(const WatchList& list) override {
        if (m_fallback) {
            m_fallback->Watch(list);
            return;
        }
        std::map<std::string, FolderWatch> wanted;
        for (const std::string& file : list.files) {
            AddFile(wanted, file);
            // Editing the target of a link changes nothing in the link's folder.
            if (const std::optional<std::string> target = ResolveLinks(file);
                target && *target != file) {
                AddFile(wanted, *target);
            }
        }
        for (const std::string& folder : list.folders) {
            if (!IsFolder(folder)) {
                AddFile(wanted, folder);
                continue;
            }
            wanted[WithoutTrailingSlashes(folder)].entries = true;
            for (const TreeEntry& entry : ListTree(folder)) {
                if (entry.isFolder) {
                    wanted[entry.path].entries = true;
                }
            }
        }
        std::map<int, FolderWatch> watches;
        for (const auto& [folder, what] : wanted) {
            const int handle = ::inotify_add_watch(m_inotify.Handle(), folder.c_str(), kMask);
            if (handle < 0 && (errno == ENOSPC || errno == ENOMEM)) {
                // The user's limit of kernel watches is reached: a folder left
                // unwatched would miss saves, so look at every file instead;
                // the watches already held go back to the user's other programs.
                m_inotify = Descriptor();
                m_watches.clear();
                m_fallback = std::make_unique<PollingWatch>(m_interval);
                m_fallback->Watch(list);
                return;
            }
            if (handle < 0) {
                // Gone since it was looked at: let a run look again.
                m_pending = m_pending || errno == ENOENT || errno == ENOTDIR;
                continue;
            }
            // Two spellings of one folder share the handle.
            FolderWatch& merged = watches[handle];
            merged.names.insert(what.names.begin(), what.names.end());
            merged.entries = merged.entries || what.entries;
        }
        for (const auto& [handle, unused] : m_watches) {
            if (!watches.contains(handle)) {
                ::inotify_rm_watch(m_inotify.Handle(), handle);
            }
        }
        m_watches = std::move(watches);
    }

    bool WaitForChange(milliseconds timeout) override {
        if (m_fallback) {
            return std::exchange(m_pending, false) || m_fallback->WaitForChange(timeout);
        }
        const auto deadline = Clock::now() + timeout;
        while (!std::exchange(m_pending, false)) {
            const auto left = std::chrono::ceil<milliseconds>(deadline - Clock::now());
            pollfd ready{m_inotify.Handle(), POLLIN, 0};
            // A signal ends the wait with EINTR.
            if (left.count() < 0 || ::poll(&ready, 1, static_cast<int>(left.count())) <= 0) {
                return false;
            }
            ReadEvents();
        }
        return true;
    }

    bool Polls() const override {
        return m_fallback != nullptr;
    }

private:
    void ReadEvents() {
        alignas(inotify_event) char buffer[16 * 1024];
        const ssize_t size = ::read(m_inotify.Handle(), buffer, sizeof buffer);
        for (ssize_t offset = 0; offset < size;) {
            const auto* event = reinterpret_cast<const inotify_event*>(buffer + offset);
            m_pending = Counts(*event) || m_pending;
            offset += static_cast<ssize_t>(sizeof(inotify_event) + event->len);
        }
    }

    bool Counts(const inotify_event& event) {
        if ((event.mask & IN_Q_OVERFLOW) != 0) {
            return true; // what was lost may have counted
        }
        const auto found = m_watches.find(event.wd);
        if (found == m_watches.end()) {
            return false;
        }
        if ((event.mask & (IN_DELETE_SELF | IN_MOVE_SELF | IN_IGNORED)) != 0) {
            // The folder went away or elsewhere: the next Watch looks for it again.
            if ((event.mask & IN_IGNORED) == 0) {
                ::inotify_rm_watch(m_inotify.Handle(), event.wd);
            }
            m_watches.erase(found);
            return true;
        }
        const std::string_view name = event.len > 0 ? event.name : "";
        return found->second.names.contains(name) ||
               (found->second.entries && (event.mask & kEntryEvents) != 0 && !IsHidden(name));
    }

    Descriptor m_inotify;
    std::map<int, FolderWatch> m_watches; // by inotify's watch handle
    bool m_pending = false;
    milliseconds m_interval;                 // of the fallback
    std::unique_ptr<ChangeWatch> m_fallback; // once the kernel runs out of watches
};

} // namespace

std::unique_ptr<ChangeWatch> OpenChangeWatch(bool poll, milliseconds interval) {
    if (!poll) {
        if (Descriptor inotify(::inotify_init1(IN_NONBLOCK | IN_CLOEXEC)); inotify) {
            return std::make_unique<KernelWatch>(std::move(inotify), interval);
        }
    }
    return std::make_unique<PollingWatch>(interval);
}

} // namespace quillstamper::os
