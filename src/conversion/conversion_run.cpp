#include "conversion/conversion_run.h"

#include "base/path_resolution.h"
#include "conversion/block_notes.h"
#include "conversion/file_text.h"
#include "conversion/page_conversion.h"
#include "conversion/page_writer.h"
#include "conversion/template_set.h"
#include "conversion/work_threads.h"
#include "files/file_io.h"
#include "files/recovery_store.h"

#include <algorithm>
#include <set>
#include <shared_mutex>
#include <unordered_map>
#include <unordered_set>
#include <utility>

namespace quillstamper {

void ConversionObserver::OnPassStarted(const std::string&, int) {}
void ConversionObserver::OnFileConverted(std::size_t, const std::string&, std::string_view,
                                         std::string_view, FileOutcome) {}
void ConversionObserver::OnFileWritten(std::size_t, const std::string&, const FileIdentity&) {}

std::size_t ConversionResult::CountUpdated() const {
    std::size_t count = 0;
    for (const FileOutcome outcome : outcomes) {
        count += outcome == FileOutcome::Updated ? 1 : 0;
    }
    return count;
}

std::string FormatPreconditionMessage(std::size_t webCount, std::size_t templateCount) {
    return "You added " + std::to_string(webCount) + " Web Files and " +
           std::to_string(templateCount) +
           " Template Files!\n\nYou need one of each at least for starting the conversion process!";
}

namespace {

RecoveryStore RecoveryStoreFor(const ConversionRequest& request) {
    return RecoveryStore(request.recoveryFolder.empty() ? RecoveryStore::DefaultFolder()
                                                        : request.recoveryFolder);
}

// The run, one page after the other: read it (seeing what the run wrote or
// would have written), convert it in memory, stage its new bytes; commit
// when enough wait; convert again, once, what another program wrote in the
// meantime.
class ConversionRun : public FileSource {
public:
    ConversionRun(const ConversionRequest& request, ConversionObserver& observer,
                  ConversionResult& result)
        : m_request(request), m_observer(observer), m_result(result),
          m_notes(request.site.identifiers),
          m_templates(request.site.templateFiles, request.baseFolder, *this, m_notes,
                      request.checkNotes),
          m_writer(request.writeFiles, RecoveryStoreFor(request)), m_rules(RulesFor(request)),
          m_threads(request.threads == 0 ? CountCores() : request.threads),
          m_aheadPages(std::min<std::size_t>(kAheadPages * m_threads, kMostAheadPages)),
          m_ahead(m_threads - 1, request.site.webFiles.size(), m_aheadPages.size(),
                  [this](std::size_t index, std::size_t slot) { ConvertAhead(index, slot); }) {
        if (!request.writeFiles) {
            KeepOnlyWhatIsReadAgain();
        }
    }

    void Run() {
        try {
            ConvertListedPages();
        } catch (...) {
            m_ahead.Stop();
            throw;
        }
        m_ahead.Stop();
        if (m_result.interruptedBy != 0) {
            return;
        }
        CommitStaged();
        RetryChangedPages();
        if (FirstPassPair(m_request.site.identifiers) != 0) {
            m_templates.ReadUnreadForNotes(m_request.maxFileBytes);
        }
        m_result.notes = m_notes.Finish();
    }

    // Replaces the staged files. When that fails, the files before the
    // failing one are done and the run ends there: the outcomes are cut back.
    void CommitStaged() {
        std::vector<PageWriter::Written> done;
        try {
            m_writer.Commit(done);
        } catch (const FileError&) {
            Record(done);
            m_result.outcomes.resize(
                m_writer.FirstPendingIndex().value_or(m_result.outcomes.size()));
            throw;
        }
        Record(done);
    }

    // A read sees what the run wrote: what waits for its rename is committed
    // first, and a dry run's page is what it would have written.
    FileSnapshot Read(const std::string& path) override {
        FileSnapshot snapshot = ReadFileSnapshot(path, m_request.maxFileBytes);
        if (m_writer.IsPending(snapshot.identity)) {
            CommitStaged();
            snapshot = ReadFileSnapshot(path, m_request.maxFileBytes);
        }
        if (const SharedBytes written = m_writer.WouldHaveWritten(snapshot, path)) {
            snapshot.bytes = *written;
        }
        return snapshot;
    }

    // Pages are converted ahead on the other threads, once the template set
    // has what they need (the first page with a start line makes it read the
    // templates), while this one takes them in list order and writes them.
    void ConvertListedPages() {
        const std::size_t count = m_request.site.webFiles.size();
        const int firstPair = FirstPassPair(m_request.site.identifiers);
        for (std::size_t index = 0; index < count; ++index) {
            if (m_request.interrupt != nullptr && m_request.interrupt->load() != 0) {
                Interrupt();
                return;
            }
            if (m_threads > 1 && !m_ahead.Started() && firstPair != 0 &&
                m_templates.BuiltIndex(firstPair) != nullptr) {
                m_ahead.Start(index);
            }
            AheadPage* ahead =
                m_ahead.Finish(index) ? &m_aheadPages[m_ahead.SlotOf(index)] : nullptr;
            const FileOutcome outcome = ConvertListedPage(index, ahead);
            if (ahead != nullptr) {
                *ahead = AheadPage{};
            }
            m_ahead.Release(index);
            m_result.outcomes.push_back(outcome);
            if (m_writer.IsDue()) {
                CommitStaged();
            }
            RetryChangedPages();
        }
    }

    // The files of more names than one that were replaced under some names
    // only, in list order.
    void ReportHardLinks() {
        std::vector<std::pair<std::size_t, HardLinkedPage>> pages;
        for (const auto& [identity, file] : m_linkedFiles) {
            if (file.firstWritten && !file.inPlace && file.written.size() < file.links) {
                pages.emplace_back(*file.firstWritten,
                                   HardLinkedPage{m_request.site.webFiles[*file.firstWritten],
                                                  file.links, file.links - file.written.size()});
            }
        }
        std::sort(pages.begin(), pages.end(),
                  [](const auto& a, const auto& b) { return a.first < b.first; });
        for (auto& [index, page] : pages) {
            m_result.hardLinks.push_back(std::move(page));
        }
    }

private:
    // A dry run holds what it would have written only for files it may read
    // again, so that its memory does not grow with the site: pages listed
    // more than once (under any name) and template files.
    void KeepOnlyWhatIsReadAgain() {
        const FileList& entries = m_request.site.webFiles;
        std::vector<std::optional<FileIdentity>> identities(entries.size());
        RunOnThreads(entries.size(), m_threads, [&](std::size_t i) {
            identities[i] = LookUpIdentity(ResolvePath(entries[i], m_request.baseFolder));
        });
        std::unordered_map<FileIdentity, int, FileIdentityHash> listed;
        for (const std::optional<FileIdentity>& identity : identities) {
            if (identity && ++listed[*identity] == 2) {
                m_listedTwice.insert(*identity);
            }
        }
        m_writer.KeepOnlyFor([this](const FileIdentity& identity) {
            return m_listedTwice.count(identity) != 0 || m_templates.Holds(identity);
        });
    }

    // The pages are left as the run found them: what waits is dropped.
    void Interrupt() {
        m_result.interruptedBy = m_request.interrupt->load();
        m_result.outcomes.resize(m_writer.FirstPendingIndex().value_or(m_result.outcomes.size()));
        m_writer.Discard();
    }

    // What became of the committed files; pages another program wrote since
    // they were read wait to be converted again.
    void Record(const std::vector<PageWriter::Written>& done) {
        for (const PageWriter::Written& written : done) {
            switch (written.outcome) {
            case WriteOutcome::ReplacedInPlace:
                m_result.inPlace.push_back(written.index);
                break;
            case WriteOutcome::ChangedSinceRead:
                m_retries.push_back(written.index);
                break;
            case WriteOutcome::LinkSwappedIn:
                // Converting it again would write wherever the link points.
                LeaveChangedPage(written.index);
                break;
            default:
                break;
            }
            if (written.outcome == WriteOutcome::Replaced ||
                written.outcome == WriteOutcome::ReplacedInPlace) {
                NoteWrittenName(written.index, written.identity, written.path,
                                written.outcome == WriteOutcome::ReplacedInPlace);
            }
            // A page renamed over is the file staged; any other is looked up.
            const std::optional<FileIdentity> renamed =
                written.replacement ? written.replacement : LookUpIdentity(written.path);
            if (renamed) {
                m_notes.AddAlias(written.identity, *renamed);
                if (written.outcome == WriteOutcome::Replaced ||
                    written.outcome == WriteOutcome::ReplacedInPlace) {
                    m_observer.OnFileWritten(written.index, m_request.site.webFiles[written.index],
                                             *renamed);
                }
            }
            ReloadTemplate(written.identity, renamed);
        }
    }

    // Only this thread changes the template set, and only while the threads
    // converting ahead do not look at it. It may lock again while it holds
    // the lock (a read of a template commits what waits).
    class TemplatesChanging {
    public:
        explicit TemplatesChanging(ConversionRun& run)
            : m_run(run), m_owns(run.m_changingTemplates++ == 0) {
            if (m_owns) {
                m_run.m_templatesInUse.lock();
            }
        }
        ~TemplatesChanging() {
            if (m_owns) {
                m_run.m_templatesInUse.unlock();
            }
            --m_run.m_changingTemplates;
        }
        TemplatesChanging(const TemplatesChanging&) = delete;
        TemplatesChanging& operator=(const TemplatesChanging&) = delete;

    private:
        ConversionRun& m_run;
        bool m_owns;
    };

    // Most written pages are no template: those need no lock.
    void ReloadTemplate(const FileIdentity& oldIdentity,
                        const std::optional<FileIdentity>& newIdentity) {
        if (m_templates.Holds(oldIdentity)) {
            const TemplatesChanging changing(*this);
            m_templates.Reload(oldIdentity, newIdentity);
        }
    }

    // A file replaced by rename holds the new bytes under that name only; one
    // written in place, under all of its names.
    void NoteWrittenName(std::size_t index, const FileIdentity& identity, const std::string& path,
                         bool inPlace) {
        const auto found = m_linkedFiles.find(identity);
        if (found == m_linkedFiles.end()) {
            return;
        }
        LinkedFile& file = found->second;
        file.firstWritten = file.firstWritten.value_or(index);
        file.inPlace = file.inPlace || inPlace;
        if (std::optional<DirectoryEntry> name = LookUpDirectoryEntry(path)) {
            file.written.insert(std::move(*name));
        }
    }

    void LeaveChangedPage(std::size_t index) {
        m_result.changedWhileConverting.push_back(m_request.site.webFiles[index]);
        m_result.outcomes[index] = FileOutcome::Unchanged;
    }

    // Between pages only, so that no page is in hand.
    void RetryChangedPages() {
        while (!m_retries.empty()) {
            const std::size_t index = m_retries.front();
            m_retries.erase(m_retries.begin());
            CommitStaged(); // what waits goes first, to keep the order
            m_result.outcomes[index] = ConvertListedPage(index);
            std::vector<PageWriter::Written> done;
            m_writer.Commit(done);
            std::vector<std::size_t> again;
            m_retries.swap(again);
            Record(done);
            m_retries.swap(again);
            for (const std::size_t changed : again) {
                LeaveChangedPage(changed); // changed twice: it is the other program's
            }
        }
    }

    // A page converted ahead, on another thread, while this one wrote earlier ones.
    struct AheadPage {
        bool done = false; // else it is converted again in its turn
        std::uint64_t generation = 0;
        PageInput page;
        FileSnapshot snapshot; // without its bytes, which the page holds
        PageOutput output;
        std::vector<int> laterPasses;
        AtomicWriteBatch::Prepared prepared; // its temporary file, in a real run
    };

    // A page read and converted on a thread of its own, ahead of its turn.
    // The template set and the run are only looked at meanwhile: whatever
    // would change them leaves the page to be converted again in its turn.
    void ConvertAhead(std::size_t index, std::size_t slot) {
        AheadPage& ahead = m_aheadPages[slot];
        ahead = AheadPage{};
        try {
            PageInput& page = ahead.page;
            FillPlace(page, m_request.site.webFiles[index]);
            FileSnapshot snapshot = ReadFileSnapshot(page.path, m_request.maxFileBytes);
            std::shared_lock lookingAt(m_templatesInUse);
            ahead.generation = m_templates.Generation();
            if (snapshot.links > 1 || m_templates.Holds(snapshot.identity)) {
                return;
            }
            page.identity = snapshot.identity;
            page.bytes = std::make_shared<const std::string>(std::move(snapshot.bytes));
            page.takesNotes = true;
            page.checkNotes = m_request.checkNotes;
            page.firstSeenBytes = page.bytes->size();
            page.ahead = true;
            const int firstPair = FirstPassPair(m_request.site.identifiers);
            ahead.output = ConvertPage(page, m_templates, m_rules, [&](int pair) {
                if (pair != firstPair) {
                    ahead.laterPasses.push_back(pair);
                }
            });
            lookingAt.unlock();
            if (ahead.output.changed && m_writer.WritesFiles()) {
                // The temporary file too, so that this thread waits only
                // for the renames; dropped if the page is converted again.
                ahead.prepared = m_writer.Prepare(page.path, ahead.output.newBytes, snapshot.state);
            }
            ahead.snapshot = std::move(snapshot);
            ahead.done = true;
        } catch (...) {
            // A read error, a budget overrun or a template not at hand yet
            // come again, in their turn.
        }
    }

    // Whether the page converted ahead is what converting it now would give:
    // nothing the run did since touched its file or the templates, and it is
    // the first time the run reads it.
    bool TakeAhead(AheadPage& ahead) {
        const PageInput& page = ahead.page;
        if (!ahead.done || ahead.generation != m_templates.Generation() ||
            m_writer.IsPending(page.identity) ||
            m_writer.WouldHaveWritten(ahead.snapshot, page.path) ||
            m_firstSeenBytes.count(page.path) != 0 ||
            !m_notes.AddWebFile(page.identity, page.entry)) {
            return false;
        }
        m_firstSeenBytes.emplace(page.path, page.bytes->size());
        ++m_result.pagesConvertedAhead;
        return true;
    }

    void FillPlace(PageInput& page, const std::string& entry) const {
        page.entry = entry;
        page.path = ResolvePath(entry, m_request.baseFolder);
        if (!m_absoluteBase.empty()) {
            page.absolutePath = ResolvePath(entry, m_absoluteBase);
        }
    }

    FileOutcome ConvertListedPage(std::size_t index, AheadPage* ahead = nullptr) {
        const std::string& entry = m_request.site.webFiles[index];
        const int firstPair = FirstPassPair(m_request.site.identifiers);
        if (firstPair == 0) {
            // No pass, so the file is not even read.
            m_observer.OnFileConverted(index, entry, {}, {}, FileOutcome::Unchanged);
            return FileOutcome::Unchanged;
        }
        // The caller learns which file is in hand before it is read, so that a
        // read error leaves that file on show.
        m_observer.OnPassStarted(entry, firstPair);
        PageInput page;
        FileSnapshot snapshot;
        PageOutput output;
        AtomicWriteBatch::Prepared prepared;
        if (ahead != nullptr && TakeAhead(*ahead)) {
            page = std::move(ahead->page);
            snapshot = std::move(ahead->snapshot);
            output = std::move(ahead->output);
            prepared = std::move(ahead->prepared);
            for (const int pair : ahead->laterPasses) {
                m_observer.OnPassStarted(entry, pair);
            }
        } else {
            const TemplatesChanging changing(*this);
            FillPlace(page, entry);
            snapshot = Read(page.path);
            page.identity = snapshot.identity;
            if (snapshot.links > 1) {
                // Its other names keep their identity when this one is renamed over.
                m_linkedFiles.try_emplace(snapshot.identity, LinkedFile{snapshot.links});
            }
            page.bytes = std::make_shared<const std::string>(std::move(snapshot.bytes));
            page.isTemplate = m_templates.Holds(page.identity);
            // A page listed twice has its notes from its first conversion.
            page.takesNotes = m_notes.AddWebFile(page.identity, entry);
            page.checkNotes = m_request.checkNotes;
            page.firstSeenBytes =
                m_firstSeenBytes.emplace(page.path, page.bytes->size()).first->second;
            output = ConvertPage(page, m_templates, m_rules, [&](int pair) {
                if (pair != firstPair) {
                    m_observer.OnPassStarted(entry, pair);
                }
            });
        }
        TakeReports(page, output);
        const std::string_view oldBytes = *page.bytes;
        if (!output.changed) {
            m_observer.OnFileConverted(index, entry, oldBytes, oldBytes, FileOutcome::Unchanged);
            return FileOutcome::Unchanged;
        }
        m_writer.Stage(index, page.path, page.identity, output.newBytes, snapshot.state,
                       snapshot.links, std::move(prepared));
        if (!m_request.writeFiles) {
            NoteWrittenName(index, page.identity, page.path, false);
        }
        ReloadTemplate(page.identity, page.identity);
        if (!output.newText.empty()) {
            // UTF-16 and UTF-32 pages are shown as the text they hold.
            const FileText oldText = DecodeFileText(page.bytes, page.path);
            m_observer.OnFileConverted(index, entry, oldText.text, output.newText,
                                       FileOutcome::Updated);
        } else {
            m_observer.OnFileConverted(index, entry, oldBytes, output.newBytes,
                                       FileOutcome::Updated);
        }
        return FileOutcome::Updated;
    }

    void TakeReports(const PageInput& page, const PageOutput& output) {
        m_result.problems.insert(m_result.problems.end(), output.problems.begin(),
                                 output.problems.end());
        // A template block is reported once, however many pages have it.
        for (const UnclosedBlock& block : output.unclosedTemplates) {
            if (m_reportedTemplates.emplace(block.file, block.line).second) {
                m_result.problems.push_back(block);
            }
        }
        for (const ConversionNote& note : output.notes) {
            m_notes.AddPageNote(page.identity, note);
        }
        for (const auto& [pair, startLine] : output.usedStartLines) {
            m_notes.MarkUsed(pair, startLine);
        }
    }

    const ConversionRequest& m_request;
    ConversionObserver& m_observer;
    ConversionResult& m_result;
    // Links are worked out on absolute paths, the list entries taken below
    // the base folder made absolute once.
    PageRules RulesFor(const ConversionRequest& request) {
        PageRules rules{request.site.identifiers, request.site.settings};
        const ProjectSettings& settings = request.site.settings;
        if (!settings.linksFollowPage && settings.currentPage == CurrentPageMark::None) {
            return rules;
        }
        m_absoluteBase = AbsolutePath(request.baseFolder.empty() ? "." : request.baseFolder);
        std::string linkBase;
        if (settings.linksFollowPage) {
            linkBase = ResolvePath(settings.linkBase, m_absoluteBase);
            if (linkBase.empty()) {
                linkBase = m_absoluteBase;
            }
        }
        rules.links = std::make_shared<LinkCache>(std::move(linkBase));
        return rules;
    }

    NoteCollector m_notes;
    TemplateSet m_templates;
    PageWriter m_writer;
    std::string m_absoluteBase; // set when links matter
    const PageRules m_rules;
    const unsigned m_threads;
    std::unordered_set<FileIdentity, FileIdentityHash> m_listedTwice; // in a dry run
    // Pages another program wrote after they were read, by web list index.
    std::vector<std::size_t> m_retries;
    // The size each page had when first read.
    std::unordered_map<std::string, std::size_t> m_firstSeenBytes;
    // Template blocks reported, by entry and line.
    std::set<std::pair<std::string, std::size_t>> m_reportedTemplates;
    // Files of more names than one, by their identity as first read.
    struct LinkedFile {
        std::uint64_t links = 1; // when first read
        std::optional<std::size_t> firstWritten{};
        std::set<DirectoryEntry> written{};
        bool inPlace = false;
    };
    std::unordered_map<FileIdentity, LinkedFile, FileIdentityHash> m_linkedFiles;
    // Shared by the threads converting ahead, held alone by this one while it
    // changes the template set.
    std::shared_mutex m_templatesInUse;
    int m_changingTemplates = 0;
    // Pages converted ahead wait in their slots; the threads end before
    // anything they look at goes.
    // Each may hold a temporary file open: the batch leaves room for them.
    static constexpr std::size_t kAheadPages = 32; // a thread
    static constexpr std::size_t kMostAheadPages = 64;
    std::vector<AheadPage> m_aheadPages;
    WorkAhead m_ahead;
};

} // namespace

namespace {

// A page that a killed run was rewriting in place holds part of the new
// bytes over the old ones: its old bytes go back before anything else
// happens, unless it was edited since. A dry run only tells.
void PutBackInterruptedWrites(const ConversionRequest& request, ConversionResult& result) {
    const RecoveryStore store = RecoveryStoreFor(request);
    const std::vector<RecoveryStore::Copy> copies = store.List();
    if (copies.empty()) {
        return;
    }
    std::vector<std::optional<FileIdentity>> targets;
    for (const RecoveryStore::Copy& copy : copies) {
        targets.push_back(LookUpIdentity(copy.target));
    }
    for (const std::string& entry : request.site.webFiles) {
        const std::optional<FileIdentity> page =
            LookUpIdentity(ResolvePath(entry, request.baseFolder));
        // Newest first; a page listed twice is dealt with once.
        for (std::size_t i = 0; page && i < copies.size(); ++i) {
            if (targets[i] != page) {
                continue;
            }
            targets[i].reset();
            if (request.writeFiles ? store.PutBack(copies[i])
                                   : store.MatchesInterruptedWrite(copies[i])) {
                (request.writeFiles ? result.restored : result.recoverable).push_back(entry);
            } else {
                result.changedSinceInterrupted.push_back({entry, copies[i].file});
            }
        }
    }
}

} // namespace

ConversionResult RunConversion(const ConversionRequest& request, ConversionObserver* observer) {
    ConversionResult result;
    if (request.site.webFiles.empty() || request.site.templateFiles.empty()) {
        result.preconditionFailed = true;
        return result;
    }
    PutBackInterruptedWrites(request, result);
    ConversionObserver silent;
    ConversionRun run(request, observer != nullptr ? *observer : silent, result);
    try {
        run.Run();
    } catch (const FileError& error) {
        result.error = error;
        // The pages finished before the error are written all the same.
        try {
            run.CommitStaged();
        } catch (const FileError& commitError) {
            result.error = commitError; // it concerns an earlier page
        }
    }
    run.ReportHardLinks();
    return result;
}

} // namespace quillstamper
