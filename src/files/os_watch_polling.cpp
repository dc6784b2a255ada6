#include "files/os_watch_polling.h"

#include "base/utf8_path.h"
#include "files/file_collection.h"

#include <algorithm>
#include <filesystem>
#include <map>
#include <optional>
#include <utility>

namespace quillstamper::os {

namespace {

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;
using std::chrono::milliseconds;

// Where the system cannot tell (no inotify, a network file system).
class PollingWatch : public ChangeWatch {
public:
    // why: what kept the kernel from telling, when the caller did not ask to poll.
    PollingWatch(milliseconds interval, std::string why)
        : m_interval(interval), m_why(std::move(why)) {}

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
            if (now >= deadline || !SleepUnlessSignalled(std::chrono::ceil<milliseconds>(
                                       std::min(deadline, m_nextLook) - now))) {
                return false;
            }
        }
    }

    void IgnoreOwnWrites(const std::vector<FileState>& states) override {
        // Taken as seen; the next look tells a change made since.
        for (const std::string& file : m_list.files) {
            const std::optional<FileStatus> status = StatPath(file);
            if (status && std::find(states.begin(), states.end(), status->state) != states.end()) {
                m_seen.files[file] = status->state;
            }
        }
    }

    bool Polls() const override {
        return true;
    }

    std::string WhyPolls() const override {
        return m_why;
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
    std::string m_why;
    WatchList m_list;
    Look m_seen;
    Clock::time_point m_nextLook;
};

} // namespace

bool IsHidden(std::string_view name) {
    return !name.empty() && name.front() == '.';
}

bool IsSkippedFile(std::string_view name) {
    return IsHidden(name) || IsEditorLeftoverName(name);
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

std::vector<TreeEntry> ListTree(const std::string& folder) {
    std::vector<TreeEntry> entries;
    std::error_code error;
    fs::recursive_directory_iterator it(PathFromUtf8(folder),
                                        fs::directory_options::skip_permission_denied, error);
    for (; !error && it != fs::recursive_directory_iterator(); it.increment(error)) {
        std::error_code typeError;
        const bool isFolder = it->symlink_status(typeError).type() == fs::file_type::directory;
        const std::string name = Utf8FromPath(it->path().filename());
        if (IsHidden(name)) {
            it.disable_recursion_pending();
            continue;
        }
        if (!isFolder && IsEditorLeftoverName(name)) {
            continue;
        }
        entries.push_back({Utf8FromPath(it->path()), isFolder});
    }
    return entries;
}

std::unique_ptr<ChangeWatch> MakePollingWatch(milliseconds interval, std::string why) {
    return std::make_unique<PollingWatch>(interval, std::move(why));
}

void TellingWatch::IgnoreOwnWrites(const std::vector<FileState>& states) {
    m_own = states;
    if (m_fallback) {
        m_fallback->IgnoreOwnWrites(states);
    }
}

bool TellingWatch::Polls() const {
    return m_fallback != nullptr;
}

std::string TellingWatch::WhyPolls() const {
    return m_fallback ? m_fallback->WhyPolls() : std::string();
}

void TellingWatch::FallBack(const WatchList& list, const std::string& why) {
    m_fallback = MakePollingWatch(m_interval, why);
    m_fallback->Watch(list);
    m_fallback->IgnoreOwnWrites(m_own);
}

bool TellingWatch::IsOwnWrite(const std::string& path) const {
    if (m_own.empty()) {
        return false;
    }
    const std::optional<FileStatus> status = StatPath(path);
    return status && std::find(m_own.begin(), m_own.end(), status->state) != m_own.end();
}

} // namespace quillstamper::os
