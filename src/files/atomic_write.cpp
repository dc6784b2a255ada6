#include "files/atomic_write.h"

#include "base/file_error.h"
#include "base/path_resolution.h"

#include <algorithm>
#include <cerrno>
#include <random>

namespace quillstamper {

namespace {

// Up to this many files are flushed one by one; a larger batch flushes each
// file system once, as flushing each file costs more than writing it.
constexpr std::size_t kFlushFilesOneByOne = 8;
// Another program's edit between read and rename would be lost, so no page
// waits longer than this for its rename.
constexpr std::chrono::milliseconds kLongestWait{500};

WriteFaultHook& FaultHook() {
    static WriteFaultHook hook;
    return hook;
}

// False, with errno set, when a test wants this step to fail.
bool Allowed(WriteStage stage, const std::string& path) {
    if (const WriteFaultHook& hook = FaultHook()) {
        if (const int error = hook(stage, path)) {
            errno = error;
            return false;
        }
    }
    return true;
}

std::string BaseName(const std::string& path) {
    const std::size_t slash = path.find_last_of('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

bool ReadAll(const os::Descriptor& file, std::string& bytes) {
    const std::optional<os::FileStatus> status = os::StatFile(file);
    if (!status) {
        return false;
    }
    bytes.resize(static_cast<std::size_t>(status->state.size));
    std::size_t done = 0;
    while (done < bytes.size()) {
        const std::int64_t got = os::ReadAt(file, bytes.data() + done, bytes.size() - done,
                                            static_cast<std::int64_t>(done));
        if (got < 0) {
            return false;
        }
        if (got == 0) { // the file shrank meanwhile
            bytes.resize(done);
            break;
        }
        done += static_cast<std::size_t>(got);
    }
    return true;
}

// Short, so that it fits beside a page whose name is as long as names get.
std::string RandomName() {
    thread_local std::mt19937_64 random{std::random_device{}()};
    static const char kLetters[] = "abcdefghijklmnopqrstuvwxyz0123456789";
    std::string name = ".qs-";
    for (int i = 0; i < 12; ++i) {
        name += kLetters[random() % 36];
    }
    return name + ".tmp";
}

// Held open files are the limit on how many may wait for their rename. More
// than kMostPending only lengthens the stretches in which this thread renames
// and the threads converting ahead stand still: 1,024 took 1.3 times as long
// as 128, on disk as on a RAM file system, flushes of the file system included.
constexpr std::size_t kMostPending = 128;

std::size_t MaxPending() {
    const std::optional<std::uint64_t> limit = os::MaxOpenFiles();
    if (!limit) {
        return kMostPending;
    }
    const auto room = static_cast<std::size_t>(*limit > 128 ? *limit - 128 : 0);
    return std::clamp<std::size_t>(room / 2, 8, kMostPending);
}

} // namespace

struct AtomicWriteBatch::Folder {
    std::string path; // as resolved, for the recovery store
    os::Descriptor handle;
};

AtomicWriteBatch::AtomicWriteBatch(RecoveryStore recovery)
    : m_recovery(std::move(recovery)), m_maxPending(MaxPending()) {}

AtomicWriteBatch::~AtomicWriteBatch() {
    Discard(m_committed);
}

AtomicWriteBatch::Prepared::Prepared() = default;

AtomicWriteBatch::Prepared::Prepared(Prepared&& other) noexcept = default;

AtomicWriteBatch::Prepared& AtomicWriteBatch::Prepared::operator=(Prepared&& other) noexcept {
    if (this != &other) {
        if (m_item) {
            Release(*m_item);
        }
        m_item = std::move(other.m_item);
    }
    return *this;
}

AtomicWriteBatch::Prepared::~Prepared() {
    if (m_item) {
        Release(*m_item);
    }
}

std::shared_ptr<AtomicWriteBatch::Folder>
AtomicWriteBatch::OpenFolder(const std::string& path, const std::string& folder) const {
    const std::lock_guard lock(m_foldersMutex);
    std::weak_ptr<Folder>& cached = m_folders[folder];
    if (std::shared_ptr<Folder> open = cached.lock()) {
        return open;
    }
    auto opened = std::make_shared<Folder>();
    opened->path = folder.empty() ? "." : folder;
    opened->handle = os::OpenFolder(opened->path);
    if (!opened->handle) {
        throw MakeFileError(path, "cannot open its folder", errno);
    }
    cached = opened;
    return opened;
}

void AtomicWriteBatch::Release(Staged& item) {
    item.file = os::Descriptor();
    if (!item.temporaryName.empty()) {
        os::RemoveAt(item.folder->handle, item.temporaryName);
        item.temporaryName.clear();
    }
}

void AtomicWriteBatch::Discard(std::size_t from) {
    for (std::size_t i = from; i < m_staged.size(); ++i) {
        Release(m_staged[i]);
    }
    m_staged.resize(std::min(from, m_staged.size()));
    m_committed = std::min(m_committed, m_staged.size());
}

void AtomicWriteBatch::Discard() {
    Discard(m_committed);
}

std::optional<FileIdentity> AtomicWriteBatch::ReplacementOf(std::size_t index) const {
    const Staged& item = m_staged[index];
    return item.outcome == WriteOutcome::Replaced ? std::optional(item.newIdentity) : std::nullopt;
}

bool AtomicWriteBatch::IsDue() const {
    const std::size_t pending = m_staged.size() - m_committed;
    return pending >= m_maxPending ||
           (pending > 0 &&
            std::chrono::steady_clock::now() - m_staged[m_committed].stagedAt >= kLongestWait);
}

namespace {

// For folders that take no new file: overwrite where it is. The old bytes go
// to the recovery store first, so that a kill in the middle can be undone.
WriteOutcome WriteInPlace(const RecoveryStore& recovery, const os::Descriptor& folder,
                          const std::string& name, const std::string& target,
                          const std::string& path, std::string_view bytes,
                          const std::optional<FileState>& expected) {
    const os::Descriptor file = os::OpenForUpdate(folder, name);
    if (!file) {
        throw MakeFileError(path, "cannot open for writing", errno);
    }
    const std::optional<os::FileStatus> status = os::StatFile(file);
    const bool regular = status && status->kind == os::FileKind::Regular;
    std::string oldBytes;
    if (!regular || !ReadAll(file, oldBytes)) {
        throw MakeFileError(path, "cannot read", regular ? errno : EINVAL);
    }
    if (expected && !(status->state == *expected)) {
        return WriteOutcome::ChangedSinceRead;
    }
    std::string copy;
    try {
        copy = recovery.Save(AbsolutePath(target), oldBytes, bytes);
    } catch (const FileError& error) {
        throw FileError(path, error.Cause());
    }
    if (!Allowed(WriteStage::Write, path) || !OverwriteInBlocks(file, bytes) ||
        !Allowed(WriteStage::Flush, path) || !os::FlushFile(file)) {
        const int error = errno;
        if (OverwriteInBlocks(file, oldBytes) && os::FlushFile(file)) {
            recovery.Remove(copy);
        }
        throw MakeFileError(path, "cannot write", error);
    }
    recovery.Remove(copy);
    return WriteOutcome::ReplacedInPlace;
}

os::Descriptor CreateNamedTemporary(const os::Descriptor& folder, std::string& name) {
    for (int attempt = 0; attempt < 100; ++attempt) {
        name = RandomName();
        os::Descriptor file = os::CreateNamedFile(folder, name);
        if (file || errno != EEXIST) {
            if (!file) {
                name.clear();
            }
            return file;
        }
    }
    name.clear();
    errno = EEXIST;
    return os::Descriptor();
}

} // namespace

WriteOutcome AtomicWriteBatch::Stage(const std::string& path, std::string_view bytes,
                                     const std::optional<FileState>& expected) {
    return Stage(Prepare(path, bytes, expected));
}

WriteOutcome AtomicWriteBatch::Stage(Prepared prepared) {
    const WriteOutcome outcome = prepared.m_item->outcome;
    m_staged.push_back(std::move(*prepared.m_item));
    prepared.m_item.reset();
    return outcome;
}

AtomicWriteBatch::Prepared
AtomicWriteBatch::Prepare(const std::string& path, std::string_view bytes,
                          const std::optional<FileState>& expected) const {
    Prepared prepared;
    prepared.m_item = std::make_unique<Staged>();
    Staged& item = *prepared.m_item;
    item.path = path;
    item.expected = expected;
    // Most pages are no link: the look at the target tells, and only a link
    // is followed to the file whose content is to change.
    item.folder = OpenFolder(path, ParentFolder(path));
    item.name = BaseName(path);
    std::optional<os::FileStatus> existing = os::StatAt(item.folder->handle, item.name);
    if (existing && existing->kind == os::FileKind::Link) {
        const std::optional<std::string> target = os::ResolveLinks(path);
        if (!target) {
            throw MakeFileError(path, "cannot follow link", errno);
        }
        item.folder = OpenFolder(path, ParentFolder(*target));
        item.name = BaseName(*target);
        existing = os::StatAt(item.folder->handle, item.name);
    }
    Examine(item, existing);
    item.stagedAt = std::chrono::steady_clock::now();
    // Left alone at once, but told in order by Commit.
    if (expected && (!existing || !(existing->state == *expected))) {
        item.outcome = WriteOutcome::ChangedSinceRead;
        return prepared;
    }
    if (Allowed(WriteStage::CreateTemporary, path)) {
        // With the page's permission bits where the mask allows, so that
        // they need not be set again.
        item.file = os::CreateUnnamedFile(item.folder->handle, existing ? existing->mode : 0600);
        if (!item.file && errno == EOPNOTSUPP) {
            item.file = CreateNamedTemporary(item.folder->handle, item.temporaryName);
        }
    }
    if (!item.file) {
        if (errno == EACCES || errno == EPERM) {
            // Written in place when its turn comes, so the order holds.
            item.inPlaceBytes = std::string(bytes);
            return prepared;
        }
        throw MakeFileError(path, "cannot create a temporary file beside it", errno);
    }
    WriteTemporary(item, bytes, existing);
    return prepared;
}

// What stands at the target now. A link here was swapped in after the links
// were followed; a file that cannot be opened for writing is not replaced.
void AtomicWriteBatch::Examine(Staged& item, const std::optional<os::FileStatus>& existing) const {
    if (existing) {
        if (existing->kind != os::FileKind::Regular) {
            throw FileError(item.path, "cannot write: not a regular file");
        }
        if (!os::MayWrite(item.folder->handle, item.name)) {
            throw MakeFileError(item.path, "cannot open for writing", errno);
        }
        item.links = static_cast<std::size_t>(existing->links);
    }
}

// The new content with the old file's owner, mode and attributes, or the
// default mode for a new file.
void AtomicWriteBatch::WriteTemporary(Staged& item, std::string_view bytes,
                                      const std::optional<os::FileStatus>& existing) {
    const auto fail = [&](const std::string& action) {
        const int error = errno;
        Release(item);
        throw MakeFileError(item.path, action, error);
    };
    if (!Allowed(WriteStage::Write, item.path) || !os::WriteAt(item.file, bytes, 0)) {
        fail("cannot write");
    }
    const std::optional<os::FileStatus> written = os::StatFile(item.file);
    if (!written) {
        fail("cannot write");
    }
    if (existing) {
        if (const std::optional<std::string> failed = os::CopyOwnerModeAndAttributes(
                item.folder->handle, item.name, *existing, item.file, *written)) {
            fail(*failed);
        }
    } else if (!os::SetDefaultMode(item.file)) {
        fail("cannot set permissions");
    }
    item.newIdentity = written->state.identity;
}

// The temporary file gets a fresh name only now, so that a run killed
// before this point leaves nothing, and one killed here leaves one file.
void AtomicWriteBatch::RenameOver(Staged& item) {
    const os::Descriptor& folder = item.folder->handle;
    if (item.temporaryName.empty()) {
        for (int attempt = 0; attempt < 100 && item.temporaryName.empty(); ++attempt) {
            const std::string name = RandomName();
            if (os::GiveName(item.file, folder, name)) {
                item.temporaryName = name;
            } else if (errno != EEXIST) {
                break;
            }
        }
        if (item.temporaryName.empty()) {
            const int error = errno;
            throw MakeFileError(item.path, "cannot replace", error);
        }
    }
    if (os::RenameWithin(folder, item.temporaryName, item.name)) {
        item.temporaryName.clear();
        Release(item);
        item.outcome = WriteOutcome::Replaced;
        return;
    }
    const int error = errno;
    if (error != EPERM && error != EACCES) {
        throw MakeFileError(item.path, "cannot replace", error);
    }
    // A sticky folder lets only the owner rename over a file: write in place.
    std::string bytes;
    if (!ReadAll(item.file, bytes)) {
        throw MakeFileError(item.path, "cannot replace", error);
    }
    const std::string target = item.folder->path + "/" + item.name;
    item.outcome =
        WriteInPlace(m_recovery, folder, item.name, target, item.path, bytes, item.expected);
    Release(item);
}

void AtomicWriteBatch::Commit() {
    const std::size_t first = m_committed;
    const std::size_t end = m_staged.size();
    if (first == end) {
        return;
    }
    int flushError = 0;
    const std::size_t durable = FlushStaged(first, end, flushError);
    for (std::size_t i = first; i < durable; ++i) {
        if (m_staged[i].outcome == WriteOutcome::Pending) {
            try {
                Replace(m_staged[i]);
            } catch (const FileError&) {
                Discard(i);
                throw;
            }
        }
        ++m_committed;
    }
    if (durable < end) {
        const std::string path = m_staged[durable].path;
        Discard(durable);
        throw MakeFileError(path, "cannot flush to disk", flushError);
    }
}

// Durable before any rename: a crash now leaves every target as it was. A
// failed flush ends the batch there; what was flushed before it is still
// renamed, so the files before the failing one are replaced. Returns where
// the flushed files end.
std::size_t AtomicWriteBatch::FlushStaged(std::size_t first, std::size_t end, int& flushError) {
    const bool oneByOne = end - first <= kFlushFilesOneByOne;
    std::vector<std::uint64_t> flushed;
    for (std::size_t i = first; i < end; ++i) {
        const Staged& item = m_staged[i];
        if (!item.file || (!oneByOne && std::find(flushed.begin(), flushed.end(),
                                                  item.newIdentity.device) != flushed.end())) {
            continue; // nothing written yet, or its file system is flushed
        }
        const bool done = Allowed(WriteStage::Flush, item.path) &&
                          (oneByOne ? os::FlushFile(item.file) : os::FlushFileSystem(item.file));
        flushError = errno;
        if (!done) {
            return i;
        }
        flushed.push_back(item.newIdentity.device);
    }
    return end;
}

// One staged file, if its target is still the file that was read: renamed
// over it, or written in place where its folder takes no new file.
void AtomicWriteBatch::Replace(Staged& item) {
    (void)Allowed(WriteStage::BeforeReplace, item.path);
    if (item.expected) {
        const std::optional<os::FileStatus> now = os::StatAt(item.folder->handle, item.name);
        if (!now || now->kind != os::FileKind::Regular || !(now->state == *item.expected)) {
            Release(item);
            item.outcome = now && now->kind == os::FileKind::Link ? WriteOutcome::LinkSwappedIn
                                                                  : WriteOutcome::ChangedSinceRead;
            return;
        }
    }
    if (item.inPlaceBytes) {
        item.outcome = WriteInPlace(m_recovery, item.folder->handle, item.name,
                                    item.folder->path + "/" + item.name, item.path,
                                    *item.inPlaceBytes, item.expected);
        item.inPlaceBytes.reset();
    } else if (!Allowed(WriteStage::Rename, item.path)) {
        throw MakeFileError(item.path, "cannot replace", errno);
    } else {
        RenameOver(item);
    }
}

void SetWriteFaultHook(WriteFaultHook hook) {
    FaultHook() = std::move(hook);
}

void WriteFileAtomic(const std::string& path, std::string_view bytes) {
    AtomicWriteBatch batch;
    batch.Stage(path, bytes);
    batch.Commit();
}

} // namespace quillstamper
