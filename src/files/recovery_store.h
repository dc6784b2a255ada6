#pragma once

#include "files/os_files.h"

#include <string>
#include <string_view>
#include <vector>

namespace quillstamper {

// Old bytes of pages being rewritten in place, kept where new files can be
// made, so that a run killed in the middle of such a write can be undone by
// the next one. One copy per interrupted write, named after the page's path.
//
// A copy also records what the write was to leave: the new bytes' size and a
// hash of each block of them. The next run puts the old bytes back only when
// the page holds what such a write, or a put-back, could have left; anything
// else is an edit made since, which it leaves alone, the copy with it.
class RecoveryStore {
public:
    struct Copy {
        std::string file;   // the copy itself
        std::string target; // the page it belongs to, as an absolute path
    };

    // $XDG_CACHE_HOME/quillstamper/recovery, or ~/.cache/quillstamper/recovery;
    // on Windows %LOCALAPPDATA%/quillstamper/recovery.
    static std::string DefaultFolder();

    explicit RecoveryStore(std::string folder = DefaultFolder());

    // Keeps target's old bytes on disk, flushed, with the record of the new
    // bytes about to be written over them; returns the copy's file. A copy
    // already there is never replaced. Throws FileError naming target.
    std::string Save(const std::string& target, std::string_view oldBytes,
                     std::string_view newBytes) const;
    void Remove(const std::string& copyFile) const;

    // The copies there are, the newest first; a folder that does not exist
    // holds none.
    std::vector<Copy> List() const;
    // The old bytes kept in a copy. Throws FileError.
    std::string ReadOldBytes(const std::string& copyFile) const;
    // Whether the page holds what the interrupted write could have left: its
    // old bytes, its new bytes, or whole blocks of each. Always, for a copy
    // that records no new bytes (made by an older version). Throws FileError.
    bool MatchesInterruptedWrite(const Copy& copy) const;
    // If it does, writes the old bytes back over the page, flushed, drops the
    // copy and returns true; otherwise leaves both alone. Throws FileError
    // naming the page.
    bool PutBack(const Copy& copy) const;

private:
    std::string m_folder;
};

// The path made absolute, so that a copy names its page from any folder.
std::string AbsolutePath(const std::string& path);

// Writes bytes over the file from its start, one block per write, and cuts
// it to their size: a kill in the middle leaves whole blocks of them over
// the old content, which is what a copy's record accepts.
bool OverwriteInBlocks(const os::Descriptor& file, std::string_view bytes);

} // namespace quillstamper
