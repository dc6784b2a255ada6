#include "files/os_files.h"

#include "files/os_watch_polling.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <deque>
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

constexpr std::uint32_t kEntryEvents = IN_CREATE | IN_DELETE | IN_MOVED_FROM | IN_MOVED_TO;
constexpr std::uint32_t kMask = kEntryEvents | IN_CLOSE_WRITE | IN_ATTRIB | IN_MODIFY |
                                IN_DELETE_SELF | IN_MOVE_SELF | IN_ONLYDIR;

// What counts in one watched folder.
struct FolderWatch {
    std::string path; // one spelling of it
    // Every change to these counts.
    std::set<std::string, std::less<>> names;
    // Only their coming and going counts: folders and links on the way to a watched path.
    std::set<std::string, std::less<>> wayNames;
    bool entries = false;
};

constexpr int kMaxLinkHops = 40; // as the kernel's own lookup

// The path's parts, "." and empty ones dropped.
std::deque<std::string> SplitPath(const std::string& path) {
    std::deque<std::string> parts;
    for (const fs::path& part : fs::path(path).relative_path()) {
        if (!part.empty() && part != ".") {
            parts.push_back(part.string());
        }
    }
    return parts;
}

// Looks path up as the system does, part by part from the root, following
// every link, and watches each part in its folder: each folder and link on
// the way for its coming and going, so that a folder replaced above the
// file or a link of a chain pointed elsewhere is seen; the file at the end
// for every change, as editors replace a file by renaming over it or
// deleting it and a watch on the file itself would end there. A part that
// is missing is waited for in the last folder that exists.
void AddLookup(std::map<std::string, FolderWatch>& wanted, const std::string& path) {
    std::error_code error;
    const fs::path absolute = fs::absolute(path, error);
    if (error) {
        return;
    }
    std::deque<std::string> parts = SplitPath(absolute.string());
    std::string folder = "/";
    int hops = 0;
    while (!parts.empty()) {
        const std::string part = std::move(parts.front());
        parts.pop_front();
        if (part == "..") {
            folder = fs::path(folder).parent_path().string(); // no link left in it
            continue;
        }
        const std::string next = folder == "/" ? "/" + part : folder + "/" + part;
        FolderWatch& watch = wanted[folder];
        const fs::file_type type = fs::symlink_status(next, error).type();
        if (type == fs::file_type::symlink && hops++ < kMaxLinkHops) {
            const fs::path target = fs::read_symlink(next, error);
            if (!error) {
                watch.wayNames.insert(part);
                std::deque<std::string> targetParts = SplitPath(target.string());
                parts.insert(parts.begin(), targetParts.begin(), targetParts.end());
                folder = target.is_absolute() ? "/" : folder;
                continue;
            }
        }
        if (parts.empty() || type != fs::file_type::directory) {
            watch.names.insert(part);
            return;
        }
        watch.wayNames.insert(part);
        folder = next;
    }
}

// The system's reason, after what it concerns.
std::string WithReason(const std::string& what, int error) {
    return what + ": " + std::strerror(error);
}

class KernelWatch : public TellingWatch {
public:
    KernelWatch(Descriptor inotify, milliseconds interval)
        : TellingWatch(interval), m_inotify(std::move(inotify)) {}

    void Watch(const WatchList& list) override {
        if (m_fallback) {
            m_fallback->Watch(list);
            return;
        }
        std::map<std::string, FolderWatch> wanted;
        for (const std::string& file : list.files) {
            AddLookup(wanted, file);
        }
        for (const std::string& folder : list.folders) {
            AddLookup(wanted, folder);
            if (!IsFolder(folder)) {
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
                const int error = errno;
                const std::string why = WithReason(
                    error == ENOSPC
                        ? "the limit of inotify watches (fs.inotify.max_user_watches) is reached"
                        : "the kernel has no memory for more inotify watches",
                    error);
                m_inotify = Descriptor();
                m_watches.clear();
                FallBack(list, why);
                return;
            }
            if (handle < 0) {
                // Gone since it was looked at: let a run look again.
                m_pending = m_pending || errno == ENOENT || errno == ENOTDIR;
                continue;
            }
            // Two spellings of one folder share the handle.
            FolderWatch& merged = watches[handle];
            merged.path = merged.path.empty() ? folder : merged.path;
            merged.names.insert(what.names.begin(), what.names.end());
            merged.wayNames.insert(what.wayNames.begin(), what.wayNames.end());
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
        const FolderWatch& watch = found->second;
        const std::string_view name = event.len > 0 ? event.name : "";
        const bool entry = (event.mask & kEntryEvents) != 0;
        const bool counts =
            watch.names.contains(name) || (entry && watch.wayNames.contains(name)) ||
            (watch.entries && entry &&
             ((event.mask & IN_ISDIR) != 0 ? !IsHidden(name) : !IsSkippedFile(name)));
        return counts && !IsOwnWrite(watch.path + '/' + std::string(name));
    }

    Descriptor m_inotify;
    std::map<int, FolderWatch> m_watches; // by inotify's watch handle
};

} // namespace

bool SleepUnlessSignalled(milliseconds time) {
    return ::poll(nullptr, 0, static_cast<int>(std::max<milliseconds::rep>(time.count(), 0))) >= 0;
}

std::unique_ptr<ChangeWatch> OpenChangeWatch(bool poll, milliseconds interval) {
    if (poll) {
        return MakePollingWatch(interval, std::string());
    }
    Descriptor inotify(::inotify_init1(IN_NONBLOCK | IN_CLOEXEC));
    if (!inotify) {
        return MakePollingWatch(interval, WithReason("inotify cannot be had", errno));
    }
    return std::make_unique<KernelWatch>(std::move(inotify), interval);
}

} // namespace quillstamper::os
