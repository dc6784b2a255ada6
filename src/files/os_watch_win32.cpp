#include "files/os_files.h"

#include "base/utf8_path.h"
#include "files/os_watch_polling.h"
#include "files/win32_paths.h"

#include <algorithm>
#include <filesystem>
#include <map>
#include <set>
#include <thread>
#include <utility>
#include <windows.h>

namespace quillstamper::os {

namespace {

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;
using std::chrono::milliseconds;

constexpr DWORD kFilter = FILE_NOTIFY_CHANGE_FILE_NAME | FILE_NOTIFY_CHANGE_DIR_NAME |
                          FILE_NOTIFY_CHANGE_SIZE | FILE_NOTIFY_CHANGE_LAST_WRITE |
                          FILE_NOTIFY_CHANGE_ATTRIBUTES | FILE_NOTIFY_CHANGE_CREATION;

// What counts in one watched folder.
struct FolderWatch {
    std::string path; // as the user writes it, '/' between parts
    // Every change to these counts.
    std::set<std::string, std::less<>> names;
    // Files coming and going count, hidden ones and leftovers aside.
    bool entries = false;
};

// One folder the system reports on, with its read in flight.
struct Listener {
    FolderWatch watch;
    HANDLE folder = INVALID_HANDLE_VALUE;
    OVERLAPPED overlapped{};
    bool armed = false; // a read is in flight
    alignas(DWORD) char buffer[32 * 1024];

    Listener() = default;
    Listener(const Listener&) = delete;
    Listener& operator=(const Listener&) = delete;
    ~Listener() {
        if (folder != INVALID_HANDLE_VALUE) {
            if (armed) {
                // The read writes into buffer until it is cancelled.
                ::CancelIoEx(folder, &overlapped);
                DWORD ignored = 0;
                ::GetOverlappedResult(folder, &overlapped, &ignored, TRUE);
            }
            ::CloseHandle(folder);
        }
    }

    bool Arm() {
        overlapped = OVERLAPPED{};
        armed = ::ReadDirectoryChangesW(folder, buffer, sizeof buffer, FALSE, kFilter, nullptr,
                                        &overlapped, nullptr) != 0;
        return armed;
    }
};

std::string ParentOf(const std::string& path) {
    const std::size_t slash = path.find_last_of('/');
    if (slash == std::string::npos) {
        return ".";
    }
    // A drive's root keeps its slash: "C:" alone is that drive's current folder.
    const bool driveRoot = slash == 2 && path[1] == ':';
    return slash == 0 ? "/" : path.substr(0, driveRoot ? 3 : slash);
}

std::string Normalized(const std::string& path) {
    std::error_code error;
    const fs::path absolute = fs::absolute(PathFromUtf8(path), error);
    return WithoutTrailingSlashes(error ? path : Utf8FromPath(absolute.lexically_normal()));
}

class Port {
public:
    Port() : m_handle(::CreateIoCompletionPort(INVALID_HANDLE_VALUE, nullptr, 0, 1)) {}
    ~Port() {
        if (m_handle != nullptr) {
            ::CloseHandle(m_handle);
        }
    }
    Port(const Port&) = delete;
    Port& operator=(const Port&) = delete;
    HANDLE Handle() const {
        return m_handle;
    }

private:
    HANDLE m_handle;
};

// ReadDirectoryChangesW on the folder of each watched file and on every
// folder of a searched tree, one by one (Wine reports nothing below the
// first level of a tree watch), all ending at one completion port. A file
// whose folder is missing is waited for from its nearest existing parent.
class SystemWatch : public TellingWatch {
public:
    explicit SystemWatch(milliseconds interval) : TellingWatch(interval) {}

    void Watch(const WatchList& list) override {
        if (m_fallback) {
            m_fallback->Watch(list);
            return;
        }
        std::map<std::string, FolderWatch> wanted;
        for (const std::string& file : list.files) {
            std::string path = Normalized(file);
            std::string folder = ParentOf(path);
            // The first missing part on the way is what comes into being.
            while (!IsFolder(folder) && ParentOf(folder) != folder) {
                path = folder;
                folder = ParentOf(folder);
            }
            FolderWatch& watch = wanted[folder];
            watch.path = folder;
            watch.names.insert(path.substr(path.find_last_of('/') + 1));
        }
        for (const std::string& folder : list.folders) {
            const std::string path = Normalized(folder);
            if (!IsFolder(path)) {
                continue;
            }
            wanted[path].path = path;
            wanted[path].entries = true;
            for (const TreeEntry& entry : ListTree(path)) {
                if (entry.isFolder) {
                    wanted[entry.path].path = entry.path;
                    wanted[entry.path].entries = true;
                }
            }
        }
        // The old reads end before their port does.
        m_listeners.clear();
        m_port = std::make_unique<Port>();
        for (auto& [path, watch] : wanted) {
            auto listener = std::make_unique<Listener>();
            listener->watch = std::move(watch);
            listener->folder = ::CreateFileW(
                SystemPath(path).c_str(), FILE_LIST_DIRECTORY,
                FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr, OPEN_EXISTING,
                FILE_FLAG_BACKUP_SEMANTICS | FILE_FLAG_OVERLAPPED, nullptr);
            if (listener->folder == INVALID_HANDLE_VALUE) {
                m_pending = true; // gone since it was looked at: let a run look again
                continue;
            }
            const auto key = static_cast<ULONG_PTR>(m_listeners.size());
            if (m_port->Handle() == nullptr ||
                ::CreateIoCompletionPort(listener->folder, m_port->Handle(), key, 0) == nullptr ||
                !listener->Arm()) {
                FallBack(list, "the system cannot watch " + path + " (error " +
                                   std::to_string(::GetLastError()) + ")");
                return;
            }
            m_listeners.push_back(std::move(listener));
        }
    }

    bool WaitForChange(milliseconds timeout) override {
        if (m_fallback) {
            return std::exchange(m_pending, false) || m_fallback->WaitForChange(timeout);
        }
        const auto deadline = Clock::now() + timeout;
        while (!std::exchange(m_pending, false)) {
            const auto left =
                std::max(std::chrono::ceil<milliseconds>(deadline - Clock::now()), milliseconds(0));
            if (m_listeners.empty()) {
                std::this_thread::sleep_for(left);
                return false;
            }
            DWORD size = 0;
            ULONG_PTR key = 0;
            OVERLAPPED* done = nullptr;
            const bool read = ::GetQueuedCompletionStatus(m_port->Handle(), &size, &key, &done,
                                                          static_cast<DWORD>(left.count()));
            if (done == nullptr) {
                // The system's timer may end the wait a little before the clock does.
                if (Clock::now() >= deadline) {
                    return false;
                }
                continue;
            }
            if (key < m_listeners.size()) {
                ReadEvents(*m_listeners[key], read, size);
            }
        }
        return true;
    }

private:
    void FallBack(const WatchList& list, const std::string& why) {
        m_listeners.clear();
        TellingWatch::FallBack(list, why);
    }

    void ReadEvents(Listener& listener, bool read, DWORD size) {
        listener.armed = false;
        if (!read) {
            m_pending = true; // the folder went away: the next Watch looks again
            return;
        }
        if (size == 0) {
            m_pending = true; // more than the buffer held: what was lost may have counted
        }
        for (DWORD offset = 0; offset < size;) {
            const auto* event =
                reinterpret_cast<const FILE_NOTIFY_INFORMATION*>(listener.buffer + offset);
            const std::string name = UserPath(
                std::wstring_view(event->FileName, event->FileNameLength / sizeof(wchar_t)));
            m_pending = Counts(listener.watch, name, event->Action) || m_pending;
            if (event->NextEntryOffset == 0) {
                break;
            }
            offset += event->NextEntryOffset;
        }
        if (!listener.Arm()) {
            m_pending = true;
        }
    }

    bool Counts(const FolderWatch& watch, const std::string& name, DWORD action) const {
        const std::string path = watch.path + '/' + name;
        if (watch.names.contains(name)) {
            return !IsOwnWrite(path);
        }
        const bool entry = action == FILE_ACTION_ADDED || action == FILE_ACTION_REMOVED ||
                           action == FILE_ACTION_RENAMED_OLD_NAME ||
                           action == FILE_ACTION_RENAMED_NEW_NAME;
        return watch.entries && entry && !(IsFolder(path) ? IsHidden(name) : IsSkippedFile(name)) &&
               !IsOwnWrite(path);
    }

    std::vector<std::unique_ptr<Listener>> m_listeners; // by completion key
    std::unique_ptr<Port> m_port;
};

} // namespace

// Ctrl-C ends a wait on Windows through the stop flag, checked between slices.
bool SleepUnlessSignalled(milliseconds time) {
    std::this_thread::sleep_for(std::max(time, milliseconds(0)));
    return true;
}

std::unique_ptr<ChangeWatch> OpenChangeWatch(bool poll, milliseconds interval) {
    if (poll) {
        return MakePollingWatch(interval, std::string());
    }
    return std::make_unique<SystemWatch>(interval);
}

} // namespace quillstamper::os
