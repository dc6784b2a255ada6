#pragma once

#include <cstddef>
#include <functional>
#include <set>
#include <string>
#include <string_view>
#include <sys/types.h>
#include <utility>
#include <vector>

namespace quillstamper {

// Replacing files so that a failure or a crash leaves each one with either
// its old or its new content. Stage writes the new bytes to a temporary file
// in the target's folder, with the target's permission bits and owner;
// Commit makes every staged file durable (one flush of each file system for
// a large batch, as flushing each file costs more than writing it) and then
// renames them over their targets in the order they were staged. A link
// stays a link: its target is replaced. An existing file that cannot be
// opened for writing is an error even where the rename would succeed: a
// read-only file is the user's "do not touch". Where the folder allows no
// new file, Stage rewrites the file in place at once and, if that fails, puts
// its old bytes back. Errors are FileError naming the path as given; what is
// not committed is removed when the batch ends, and temporary files that a
// killed run left behind are removed by the next one that writes beside them.
class AtomicWriteBatch {
public:
    AtomicWriteBatch() = default;
    ~AtomicWriteBatch();
    AtomicWriteBatch(const AtomicWriteBatch&) = delete;
    AtomicWriteBatch& operator=(const AtomicWriteBatch&) = delete;

    // True when staged; false when the file was rewritten in place (after
    // committing what was staged before, to keep the order).
    bool Stage(const std::string& path, std::string_view bytes);

    // On a failure the files before the failing one are replaced, it and the
    // later ones are not, and CommittedCount tells how many were.
    void Commit();

    std::size_t StagedCount() const {
        return m_staged.size();
    }
    std::size_t CommittedCount() const {
        return m_committed;
    }

private:
    struct Staged {
        std::string path;   // as given, for messages
        std::string target; // after links
        std::string temporary;
        dev_t device = 0;
    };

    void Discard(std::size_t from);

    std::vector<Staged> m_staged;
    std::size_t m_committed = 0;
    // Folders already rid of stale temporary files, by device and inode.
    std::set<std::pair<dev_t, ino_t>> m_cleanedFolders;
};

// Replaces one file: a batch of one, flushed on its own.
void WriteFileAtomic(const std::string& path, std::string_view bytes);

// The steps of a replacement, for fault injection in tests.
enum class WriteStage { CreateTemporary, Write, Flush, Rename };

// Tests set a hook that is asked before each step; a non-zero answer makes
// that step fail with that error number. An empty hook removes it.
using WriteFaultHook = std::function<int(WriteStage stage, const std::string& path)>;
void SetWriteFaultHook(WriteFaultHook hook);

} // namespace quillstamper
