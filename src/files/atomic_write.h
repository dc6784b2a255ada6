#pragma once

#include "files/file_io.h"
#include "files/os_files.h"
#include "files/recovery_store.h"

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace quillstamper {

// What became of one staged file.
enum class WriteOutcome {
    Pending,
    Replaced,         // renamed over the old file
    ReplacedInPlace,  // its folder takes no new file: rewritten where it is
    ChangedSinceRead, // another program wrote it after it was read: left alone
    LinkSwappedIn     // its name is a link now: left alone, and not to be followed
};

// Replacing files so that a failure or a crash leaves each one with either
// its old or its new content, and nothing else of the program's behind.
//
// Stage resolves the file's links once, opens its real folder and writes the
// new bytes to a temporary file there that has no name (a named one where
// the file system has no such files), with the old file's owner, permission
// bits, access control list and extended attributes. Commit makes
// every staged file durable (one flush of each file system for a large
// batch) and then, in the order staged, checks that the name still holds the
// file that was read, gives the temporary file a fresh short name and
// renames it over the old one within the folder. A run killed at any moment
// leaves at most one such named file. No file the batch did not make is ever
// removed.
//
// An existing file that cannot be opened for writing is an error: a read-only
// file is the user's "do not touch". Where the folder takes no new file, or a
// sticky folder refuses the rename, the file is rewritten in place, its old
// bytes first kept in the recovery store so that the next run can put them
// back if this one is killed. Errors are FileError naming the path as given.
class AtomicWriteBatch {
    struct Staged;

public:
    // A file's new content ready to be staged: the temporary file written,
    // which goes when this is dropped unstaged.
    class Prepared {
    public:
        Prepared();
        Prepared(Prepared&& other) noexcept;
        Prepared& operator=(Prepared&& other) noexcept;
        ~Prepared();
        explicit operator bool() const {
            return m_item != nullptr;
        }

    private:
        friend class AtomicWriteBatch;
        std::unique_ptr<Staged> m_item;
    };

    explicit AtomicWriteBatch(RecoveryStore recovery = RecoveryStore());
    ~AtomicWriteBatch();
    AtomicWriteBatch(const AtomicWriteBatch&) = delete;
    AtomicWriteBatch& operator=(const AtomicWriteBatch&) = delete;

    // expected: the state the file had when its content was read; the file
    // is not replaced when it differs. Every outcome is final after Commit.
    WriteOutcome Stage(const std::string& path, std::string_view bytes,
                       const std::optional<FileState>& expected = std::nullopt);
    // Stage in two steps, so that the first may run on other threads while
    // this one stages and commits earlier files: Prepare does the work on the
    // file (and throws what Stage would), Stage(prepared) puts it in line.
    Prepared Prepare(const std::string& path, std::string_view bytes,
                     const std::optional<FileState>& expected) const;
    WriteOutcome Stage(Prepared prepared);

    // On a failure the files before the failing one are done, it and the
    // later ones are not, and CommittedCount tells how many were.
    void Commit();
    // Drops every pending file without touching its target.
    void Discard();

    std::size_t StagedCount() const {
        return m_staged.size();
    }
    std::size_t CommittedCount() const {
        return m_committed;
    }
    WriteOutcome OutcomeOf(std::size_t index) const {
        return m_staged[index].outcome;
    }
    // How many names the file had when staged; the others keep the old bytes.
    std::size_t LinkCountOf(std::size_t index) const {
        return m_staged[index].links;
    }
    // The file the name holds once renamed over, as staged; nothing for the
    // other outcomes.
    std::optional<FileIdentity> ReplacementOf(std::size_t index) const;
    // Time to commit: enough files wait, or one has waited long enough for
    // another program's edit to become likely.
    bool IsDue() const;

private:
    struct Folder;
    struct Staged {
        std::string path; // as given, for messages
        std::shared_ptr<Folder> folder;
        std::string name;          // in the folder
        std::string temporaryName; // empty while it has none
        os::Descriptor file;       // the new content
        std::optional<FileState> expected;
        // For a folder that takes no new file: the bytes to write in place.
        std::optional<std::string> inPlaceBytes;
        FileIdentity newIdentity; // of file, once written
        std::size_t links = 1;
        WriteOutcome outcome = WriteOutcome::Pending;
        std::chrono::steady_clock::time_point stagedAt;
    };

    std::shared_ptr<Folder> OpenFolder(const std::string& path, const std::string& folder) const;
    static void Release(Staged& item);
    void Discard(std::size_t from);
    void Examine(Staged& item, const std::optional<os::FileStatus>& existing) const;
    static void WriteTemporary(Staged& item, std::string_view bytes,
                               const std::optional<os::FileStatus>& existing);
    std::size_t FlushStaged(std::size_t first, std::size_t end, int& flushError);
    void Replace(Staged& item);
    void RenameOver(Staged& item);

    RecoveryStore m_recovery;
    std::vector<Staged> m_staged;
    std::size_t m_committed = 0;
    std::size_t m_maxPending = 0;
    mutable std::mutex m_foldersMutex; // Prepare runs on any thread
    mutable std::map<std::string, std::weak_ptr<Folder>> m_folders;
};

// Replaces one file: a batch of one, flushed on its own.
void WriteFileAtomic(const std::string& path, std::string_view bytes);

// The steps of a replacement, for fault injection in tests: a non-zero
// answer makes that step fail with that error number. BeforeReplace is asked
// right before the check that the file is still the one read, so a test can
// change the file there; its answer is ignored.
enum class WriteStage { CreateTemporary, Write, Flush, BeforeReplace, Rename };
using WriteFaultHook = std::function<int(WriteStage stage, const std::string& path)>;
void SetWriteFaultHook(WriteFaultHook hook);

} // namespace quillstamper
