#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace quillstamper {

// Old bytes of pages being rewritten in place, kept where new files can be
// made, so that a run killed in the middle of such a write can be undone by
// the next one. One copy per page, named after its path.
class RecoveryStore {
public:
    struct Copy {
        std::string file;   // the copy itself
        std::string target; // the page it belongs to, as an absolute path
    };

    // $XDG_CACHE_HOME/quillstamper/recovery, or ~/.cache/quillstamper/recovery.
    static std::string DefaultFolder();

    explicit RecoveryStore(std::string folder = DefaultFolder());

    // Keeps target's old bytes on disk, flushed; returns the copy's file.
    // Throws FileError naming target.
    std::string Save(const std::string& target, std::string_view oldBytes) const;
    void Remove(const std::string& copyFile) const;

    // The copies there are; a folder that does not exist holds none.
    std::vector<Copy> List() const;
    // The old bytes kept in a copy. Throws FileError.
    std::string ReadOldBytes(const std::string& copyFile) const;
    // Writes the old bytes back over the page, flushed, then drops the copy.
    // Throws FileError naming the page.
    void PutBack(const Copy& copy) const;

private:
    std::string m_folder;
};

// The path made absolute, so that a copy names its page from any folder.
std::string AbsolutePath(const std::string& path);

} // namespace quillstamper
