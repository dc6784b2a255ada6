#pragma once

#include "files/atomic_write.h"
#include "files/file_io.h"

#include <cstddef>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <unordered_set>
#include <utility>
#include <vector>

namespace quillstamper {

// Where converted pages go: staged for an atomic replacement in a real run,
// kept in memory in a dry run. It answers whether a file is still to be
// written, so that whoever reads it can commit first, or read what a dry run
// would have written; it knows nothing of templates or pages.
class PageWriter {
public:
    PageWriter(bool writeFiles, RecoveryStore recovery);

    // The new bytes of web list entry index, read with state from a file of
    // that many names.
    // prepared, when given, is Prepare's answer for these bytes.
    void Stage(std::size_t index, const std::string& path, const FileIdentity& identity,
               std::string_view bytes, const FileState& state, std::uint64_t links,
               AtomicWriteBatch::Prepared prepared = {});
    // In a real run, the work on the file that Stage does, ahead and on any
    // thread. Throws FileError.
    AtomicWriteBatch::Prepared Prepare(const std::string& path, std::string_view bytes,
                                       const FileState& state) const;
    bool WritesFiles() const {
        return m_writeFiles;
    }

    // Staged and not yet renamed (a real run).
    bool IsPending(const FileIdentity& identity) const;
    // What a dry run would have written to the file that path names, or
    // nothing. A file of more names than one is replaced under the name
    // written only: its other names keep their bytes, as in a real run.
    SharedBytes WouldHaveWritten(const FileSnapshot& snapshot, const std::string& path) const;
    bool IsDue() const;
    // A dry run keeps what it would have written only for the files that
    // answer true: those the run may read again. Without it, for every file.
    void KeepOnlyFor(std::function<bool(const FileIdentity&)> readAgain);

    struct Written {
        std::size_t index = 0; // web list entry
        FileIdentity identity; // as read
        std::string path;
        WriteOutcome outcome = WriteOutcome::Pending;
        std::size_t links = 1;
        // The file its name holds now, where the write knows it.
        std::optional<FileIdentity> replacement{};
    };
    // Replaces what is staged and tells, into done, what became of each file.
    // On a failure the files before the failing one are in done and replaced,
    // the FileError is thrown, and FirstPendingIndex names the failing page.
    void Commit(std::vector<Written>& done);
    // Drops what waits; those pages stay as they were.
    void Discard();
    // The web list entry of the first file still waiting, or nothing.
    std::optional<std::size_t> FirstPendingIndex() const;

private:
    bool m_writeFiles;
    AtomicWriteBatch m_batch;
    std::vector<Written> m_staged; // one per batch file, in staging order
    std::unordered_set<FileIdentity, FileIdentityHash> m_pending;
    // By file, then by name for a file of more names than one.
    std::unordered_map<FileIdentity,
                       std::vector<std::pair<std::optional<DirectoryEntry>, SharedBytes>>,
                       FileIdentityHash>
        m_wouldHaveWritten;
    std::optional<std::size_t> m_failedIndex; // the page whose commit failed
    std::function<bool(const FileIdentity&)> m_readAgain;
};

} // namespace quillstamper
