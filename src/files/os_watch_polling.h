#pragma once

#include "files/os_files.h"

#include <chrono>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

// What every platform's change watch shares: the polling watch, which also
// stands in where the system cannot tell, and the view of a folder tree
// that a folder search has.
namespace quillstamper::os {

bool IsHidden(std::string_view name);
// What no folder search takes: its coming and going starts no run.
bool IsSkippedFile(std::string_view name);
bool IsFolder(const std::string& path);
std::string WithoutTrailingSlashes(std::string path);

// Sleeps; false when a signal came. In each platform's watch file.
bool SleepUnlessSignalled(std::chrono::milliseconds time);

struct TreeEntry {
    std::string path; // with '/' between the folder and the names below it
    bool isFolder = false;
};

// What a folder search below folder would see: hidden names skipped, links
// to folders not followed.
std::vector<TreeEntry> ListTree(const std::string& folder);

// Compares what the files look like every interval. why: what kept the
// system from telling, when the caller did not ask to poll.
std::unique_ptr<ChangeWatch> MakePollingWatch(std::chrono::milliseconds interval, std::string why);

// What the watches the system tells (inotify, ReadDirectoryChangesW) share:
// the polling watch they fall back to, and the caller's own writes.
class TellingWatch : public ChangeWatch {
public:
    explicit TellingWatch(std::chrono::milliseconds interval) : m_interval(interval) {}

    void IgnoreOwnWrites(const std::vector<FileState>& states) override;
    bool Polls() const override;
    std::string WhyPolls() const override;

protected:
    // From now on the files of list are looked at every interval; why: what
    // kept the system from telling.
    void FallBack(const WatchList& list, const std::string& why);
    // Looked at when its event is read, which is after the run told what it left.
    bool IsOwnWrite(const std::string& path) const;

    bool m_pending = false;                  // a change seen and not yet told
    std::unique_ptr<ChangeWatch> m_fallback; // once the system cannot tell

private:
    std::chrono::milliseconds m_interval; // of the fallback
    std::vector<FileState> m_own;         // as the caller's run left its files
};

} // namespace quillstamper::os
