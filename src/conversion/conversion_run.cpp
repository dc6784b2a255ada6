#include "conversion/conversion_run.h"

#include "conversion/atomic_write.h"
#include "conversion/block_closer.h"
#include "conversion/block_notes.h"
#include "conversion/file_io.h"
#include "conversion/line_model.h"
#include "conversion/line_origins.h"
#include "conversion/markers.h"
#include "conversion/template_index.h"
#include "workspace/path_resolution.h"

#include <algorithm>
#include <array>
#include <functional>
#include <memory>
#include <set>
#include <unordered_map>
#include <unordered_set>
#include <utility>

namespace quillstamper {

void ConversionObserver::OnPassStarted(const std::string&, int) {}
void ConversionObserver::OnFileConverted(std::size_t, const std::string&, std::string_view,
                                         std::string_view, FileOutcome) {}

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

std::string FormatNote(const ConversionNote& note) {
    std::string text = note.file + ':' + std::to_string(note.line) + ": ";
    switch (note.kind) {
    case ConversionNote::Kind::NoTemplate:
        text += "no template holds this block: ";
        break;
    case ConversionNote::Kind::NoWebFile:
        text += "no web file uses this block: ";
        break;
    case ConversionNote::Kind::IndentedMarker:
        text += "indented marker is no marker: ";
        break;
    case ConversionNote::Kind::EndWithoutStart:
        text += "end line without a start line: ";
        break;
    }
    return text + note.text;
}

namespace {

using SharedBytes = std::shared_ptr<const std::string>;
// What a dry run would have written, by file, so later reads see it.
using Overlay = std::unordered_map<FileIdentity, SharedBytes, FileIdentityHash>;

// The first pair with a start identifier, or 0 when no pair has one.
int FirstPassPair(const IdentifierTable& identifiers) {
    for (int pair = 1; pair <= kPairCount; ++pair) {
        if (!identifiers.StartId(pair).empty()) {
            return pair;
        }
    }
    return 0;
}

// True when writing lines back, each ended by lineBreak, would give exactly
// these bytes (into which the lines point).
bool IsCanonical(const LineViews& lines, std::string_view bytes, std::string_view lineBreak) {
    std::size_t expected = 0;
    for (const std::string_view line : lines) {
        expected += line.size() + lineBreak.size();
    }
    if (expected != bytes.size()) {
        return false;
    }
    for (const std::string_view line : lines) {
        if (std::string_view(line.data() + line.size(), lineBreak.size()) != lineBreak) {
            return false;
        }
    }
    return true;
}

// The template files of a run: each read at most once, when the first start
// line is looked up, and again only after the run itself has rewritten it.
class TemplateSet {
public:
    // flushStaged commits pending writes when a file about to be read has one;
    // it returns true when it did, and the file is read again.
    TemplateSet(const FileList& entries, const std::string& baseFolder, std::uint64_t maxFileBytes,
                const Overlay& overlay, NoteCollector& notes,
                std::function<bool(const FileIdentity&)> flushStaged)
        : m_maxFileBytes(maxFileBytes), m_overlay(overlay), m_notes(notes),
          m_flushStaged(std::move(flushStaged)) {
        m_files.reserve(entries.size());
        for (const std::string& entry : entries) {
            TemplateFile file;
            file.entry = entry;
            file.resolved = ResolvePath(entry, baseFolder);
            file.identity = LookUpIdentity(file.resolved);
            m_files.push_back(std::move(file));
        }
    }

    const std::string& EntryOf(std::size_t source) const {
        return m_files[source].entry;
    }

    // Keeps the template files' bytes alive for lines that point into them.
    void CollectBuffers(std::vector<SharedBytes>& buffers) const {
        for (const TemplateFile& file : m_files) {
            if (file.bytes &&
                std::find(buffers.begin(), buffers.end(), file.bytes) == buffers.end()) {
                buffers.push_back(file.bytes);
            }
        }
    }

    // The size of the template files when they were first read.
    std::size_t InitialBytes() const {
        return m_initialBytes;
    }

    const LineViews& LinesOf(std::size_t source) const {
        return m_files[source].lines;
    }

    bool Holds(const FileIdentity& identity) const {
        for (const TemplateFile& file : m_files) {
            if (file.identity == identity) {
                return true;
            }
        }
        return false;
    }

    const TemplateIndex& IndexFor(int pair, std::string_view startId, std::string_view endId) {
        std::optional<TemplateIndex>& index = m_indexes[static_cast<std::size_t>(pair - 1)];
        if (!index) {
            LoadAll();
            std::vector<const LineViews*> sources;
            sources.reserve(m_files.size());
            for (const TemplateFile& file : m_files) {
                sources.push_back(&file.lines);
            }
            index.emplace(sources, startId, endId);
        }
        return *index;
    }

    // A web file that is also a template file: while its passes run, the
    // template is what the previous pass produced.
    void Override(const FileIdentity& identity, const SharedBytes& bytes, const LineViews& lines) {
        for (TemplateFile& file : m_files) {
            if (file.identity == identity) {
                file.bytes = bytes;
                file.lines = lines;
                file.loaded = true;
            }
        }
        DropIndexes();
    }

    // After the run rewrote a file: read it again when next needed.
    void Reload(const FileIdentity& oldIdentity, const std::optional<FileIdentity>& newIdentity) {
        bool any = false;
        for (TemplateFile& file : m_files) {
            if (file.identity == oldIdentity) {
                file.identity = newIdentity;
                file.loaded = false;
                file.bytes.reset();
                file.lines.clear();
                any = true;
            }
        }
        if (any) {
            DropIndexes();
        }
    }

    // Template files that no page made the run read still have notes. They
    // are advice: a template the run did not need cannot end it.
    void ReadUnreadForNotes() {
        for (const TemplateFile& file : m_files) {
            if (file.identity && m_notes.HasTemplateFile(*file.identity)) {
                continue;
            }
            try {
                const FileSnapshot snapshot = ReadFileSnapshot(file.resolved, m_maxFileBytes);
                m_notes.AddTemplateFile(snapshot.identity, file.entry, SplitLines(snapshot.bytes));
            } catch (const FileError&) {
                // the check reads every listed file and reports it
            }
        }
    }

private:
    struct TemplateFile {
        std::string entry;
        std::string resolved;
        std::optional<FileIdentity> identity;
        SharedBytes bytes;
        LineViews lines;
        bool loaded = false;
    };

    void DropIndexes() {
        for (auto& index : m_indexes) {
            index.reset();
        }
    }

    void LoadAll() {
        for (std::size_t i = 0; i < m_files.size(); ++i) {
            TemplateFile& file = m_files[i];
            if (file.loaded) {
                continue;
            }
            bool flushed = false;
            if (const TemplateFile* twin = FindLoadedTwin(i)) {
                file.bytes = twin->bytes;
                file.lines = twin->lines;
            } else {
                FileSnapshot snapshot = ReadFileSnapshot(file.resolved, m_maxFileBytes);
                flushed = m_flushStaged(snapshot.identity);
                if (flushed) {
                    snapshot = ReadFileSnapshot(file.resolved, m_maxFileBytes);
                }
                file.identity = snapshot.identity;
                const auto pending = m_overlay.find(snapshot.identity);
                file.bytes = pending != m_overlay.end()
                                 ? pending->second
                                 : std::make_shared<const std::string>(std::move(snapshot.bytes));
                file.lines = SplitLines(*file.bytes);
                m_notes.AddTemplateFile(snapshot.identity, file.entry, file.lines);
            }
            file.loaded = true;
            if (flushed) {
                i = static_cast<std::size_t>(-1); // the flush unloaded files read before
            }
        }
        if (!m_initialBytesKnown) {
            m_initialBytesKnown = true;
            for (const TemplateFile& file : m_files) {
                m_initialBytes += file.bytes->size();
            }
        }
    }

    // The same file listed before, already in memory.
    const TemplateFile* FindLoadedTwin(std::size_t index) const {
        const TemplateFile& file = m_files[index];
        if (!file.identity) {
            return nullptr;
        }
        for (std::size_t i = 0; i < index; ++i) {
            if (m_files[i].loaded && m_files[i].identity == file.identity) {
                return &m_files[i];
            }
        }
        return nullptr;
    }

    std::uint64_t m_maxFileBytes;
    const Overlay& m_overlay;
    NoteCollector& m_notes;
    std::function<bool(const FileIdentity&)> m_flushStaged;
    std::vector<TemplateFile> m_files;
    std::array<std::optional<TemplateIndex>, kPairCount> m_indexes;
    std::size_t m_initialBytes = 0;
    bool m_initialBytesKnown = false;
};

class ConversionRun {
public:
    ConversionRun(const ConversionRequest& request, ConversionObserver& observer,
                  ConversionResult& result)
        : m_request(request), m_observer(observer), m_result(result), m_notes(request.identifiers),
          m_templates(request.templateFiles, request.baseFolder, request.maxFileBytes, m_overlay,
                      m_notes,
                      [this](const FileIdentity& identity) { return FlushIfStaged(identity); }),
          m_batch(RecoveryStore(request.recoveryFolder.empty() ? RecoveryStore::DefaultFolder()
                                                               : request.recoveryFolder)) {}

    void Run() {
        for (std::size_t index = 0; index < m_request.webFiles.size(); ++index) {
            if (m_request.interrupt != nullptr && m_request.interrupt->load() != 0) {
                Interrupt();
                return;
            }
            const FileOutcome outcome = ConvertWebFile(index);
            m_result.outcomes.push_back(outcome);
            if (m_batch.IsDue()) {
                CommitStaged();
            }
            RetryChangedPages();
        }
        CommitStaged();
        RetryChangedPages();
        if (FirstPassPair(m_request.identifiers) != 0) {
            m_templates.ReadUnreadForNotes();
        }
        m_result.notes = m_notes.Finish();
    }

    // Replaces the staged files. When that fails, the files before the
    // failing one are done and the run ends there: the outcomes are cut back.
    // A page that another program wrote since it was read is converted again
    // from its new content, once.
    void CommitStaged() {
        const std::size_t first = m_batch.CommittedCount();
        try {
            m_batch.Commit();
        } catch (const FileError&) {
            m_result.outcomes.resize(m_stagedOutcomes[m_batch.CommittedCount()]);
            TakeCommitted(first);
            throw;
        }
        const std::vector<std::size_t> retries = TakeCommitted(first);
        m_retries.insert(m_retries.end(), retries.begin(), retries.end());
    }

    // The pages are left as the run found them: what waits is dropped.
    void Interrupt() {
        m_result.interruptedBy = m_request.interrupt->load();
        m_batch.Discard();
        const std::size_t done = m_batch.CommittedCount();
        m_result.outcomes.resize(done < m_stagedOutcomes.size() ? m_stagedOutcomes[done]
                                                                : m_result.outcomes.size());
    }

private:
    bool FlushIfStaged(const FileIdentity& identity) {
        if (m_stagedIdentities.count(identity) == 0) {
            return false;
        }
        CommitStaged();
        return true;
    }

    // Records what became of the files committed from first on; returns the
    // pages to convert again.
    std::vector<std::size_t> TakeCommitted(std::size_t first) {
        std::vector<std::size_t> retries;
        for (std::size_t i = first; i < m_batch.CommittedCount(); ++i) {
            const std::size_t index = m_stagedOutcomes[i];
            switch (m_batch.OutcomeOf(i)) {
            case WriteOutcome::ReplacedInPlace:
                m_result.inPlace.push_back(index);
                break;
            case WriteOutcome::ChangedSinceRead:
                retries.push_back(index);
                break;
            case WriteOutcome::LinkSwappedIn:
                // Converting it again would write wherever the link points.
                m_result.changedWhileConverting.push_back(m_request.webFiles[index]);
                m_result.outcomes[index] = FileOutcome::Unchanged;
                break;
            default:
                break;
            }
            if (m_batch.LinkCountOf(i) > 1) {
                m_result.hardLinks.emplace_back(m_request.webFiles[index], m_batch.LinkCountOf(i));
            }
            const auto& [identity, resolved] = m_stagedFiles[i];
            const std::optional<FileIdentity> newIdentity = LookUpIdentity(resolved);
            if (newIdentity) {
                m_notes.AddAlias(identity, *newIdentity);
            }
            m_templates.Reload(identity, newIdentity);
        }
        m_stagedIdentities.clear();
        return retries;
    }

    // Between pages only: converting one touches the state of the page in hand.
    void RetryChangedPages() {
        while (!m_retries.empty()) {
            const std::size_t index = m_retries.front();
            m_retries.erase(m_retries.begin());
            CommitStaged(); // what waits goes first, to keep the order
            const std::size_t staged = m_batch.StagedCount();
            m_result.outcomes[index] = ConvertWebFile(index);
            if (m_batch.StagedCount() == staged) {
                continue; // its new content needs nothing from us
            }
            m_batch.Commit();
            TakeCommitted(staged);
            if (m_batch.OutcomeOf(staged) == WriteOutcome::ChangedSinceRead) {
                m_result.changedWhileConverting.push_back(m_request.webFiles[index]);
                m_result.outcomes[index] = FileOutcome::Unchanged;
            }
        }
    }

    FileOutcome ConvertWebFile(std::size_t index) {
        const std::string& entry = m_request.webFiles[index];
        const int firstPair = FirstPassPair(m_request.identifiers);
        if (firstPair == 0) {
            // No pass, so the file is not even read.
            m_observer.OnFileConverted(index, entry, {}, {}, FileOutcome::Unchanged);
            return FileOutcome::Unchanged;
        }
        // The caller learns which file is in hand before it is read, so that a
        // read error leaves that file on show.
        m_observer.OnPassStarted(entry, firstPair);
        const std::string resolved = ResolvePath(entry, m_request.baseFolder);
        FileSnapshot snapshot = ReadFileSnapshot(resolved, m_request.maxFileBytes);
        if (FlushIfStaged(snapshot.identity)) {
            snapshot = ReadFileSnapshot(resolved, m_request.maxFileBytes);
        }
        const FileIdentity identity = snapshot.identity;
        SharedBytes original;
        if (const auto pending = m_overlay.find(identity); pending != m_overlay.end()) {
            original = pending->second;
        } else {
            original = std::make_shared<const std::string>(std::move(snapshot.bytes));
        }
        const bool isTemplate = m_templates.Holds(identity);
        StartGrowthBudget(resolved, original->size());

        // The passes hand lines on as views into the page and the template
        // files; the page's bytes are put together once, at the end.
        LineViews lines = SplitLines(*original);
        // A page listed twice has its notes from its first conversion.
        m_page = PageInHand{entry, identity, m_notes.AddWebFile(identity, entry), firstPair, {}};
        std::vector<SharedBytes> viewed{original};
        bool modified = false;
        for (int pair = 1; pair <= kPairCount; ++pair) {
            const std::string& startId = m_request.identifiers.StartId(pair);
            const std::string& endId = m_request.identifiers.EndId(pair);
            if (startId.empty()) {
                continue;
            }
            if (pair != firstPair) {
                m_observer.OnPassStarted(entry, pair);
            }
            if (isTemplate) {
                // As a template the page is what the previous pass made of it.
                if (modified) {
                    viewed.push_back(std::make_shared<const std::string>(JoinLines(lines)));
                    lines = SplitLines(*viewed.back());
                }
                m_templates.Override(identity, viewed.back(), lines);
            }
            LineViews output;
            if (ConvertPass(lines, pair, startId, endId, output)) {
                lines.swap(output);
                m_templates.CollectBuffers(viewed);
                modified = true;
            }
        }

        const std::string_view oldBytes = *original;
        if (lines.empty()) {
            m_observer.OnFileConverted(index, entry, oldBytes, oldBytes, FileOutcome::Unchanged);
            return FileOutcome::Unchanged;
        }
        std::string joined;
        std::string_view newBytes = oldBytes;
        if (m_request.lineEnds == LineEnds::Keep) {
            // Unchanged lines keep their bytes: only what a pass put in is new.
            if (modified) {
                joined =
                    JoinKeepingLineBreaks(lines, m_page.origins, SplitLines(oldBytes), oldBytes);
                newBytes = joined;
            }
        } else {
            const std::string_view lineBreak = m_request.lineEnds == LineEnds::Lf ? "\n" : "\r\n";
            if (modified || !IsCanonical(lines, oldBytes, lineBreak)) {
                joined = JoinLines(lines, lineBreak);
                newBytes = joined;
            }
        }
        if (newBytes == oldBytes) {
            m_observer.OnFileConverted(index, entry, oldBytes, oldBytes, FileOutcome::Unchanged);
            return FileOutcome::Unchanged;
        }
        if (m_request.writeFiles) {
            m_batch.Stage(resolved, newBytes, snapshot.state);
            m_stagedOutcomes.push_back(index);
            m_stagedFiles.emplace_back(identity, resolved);
            m_stagedIdentities.insert(identity);
            m_templates.Reload(identity, identity);
        } else {
            m_overlay[identity] = std::make_shared<const std::string>(newBytes);
            m_templates.Reload(identity, identity);
        }
        m_observer.OnFileConverted(index, entry, oldBytes, newBytes, FileOutcome::Updated);
        return FileOutcome::Updated;
    }

    // One pass of one pair over the lines of a web file; true when a block
    // got template content (which may equal what it had). A block whose end
    // line is missing, or closes another block, is left as it is.
    bool ConvertPass(const LineViews& lines, int pair, std::string_view startId,
                     std::string_view endId, LineViews& output) {
        output.clear();
        output.reserve(lines.size());
        const TemplateIndex* index = nullptr;
        BlockCloser closer(lines, pair, m_request.identifiers);
        OriginsBuilder origins(m_page.origins);
        bool changed = false;
        // The page's own notes come from the passes, which look at every line.
        const bool indents = m_page.takesNotes && pair == m_page.firstPair;
        const bool strays = m_page.takesNotes && !endId.empty();
        bool open = false; // since the last end line, a start line came
        for (std::size_t i = 0; i < lines.size(); ++i) {
            const std::string_view line = lines[i];
            output.push_back(line);
            if (indents && !line.empty() && (line.front() == ' ' || line.front() == '\t') &&
                IsIndentedMarker(line, m_request.identifiers)) {
                AddPageNote(ConversionNote::Kind::IndentedMarker, i, line);
            }
            if (IsEndLine(line, endId)) {
                if (strays && !open && BeginsWith(line, startId)) {
                    AddPageNote(ConversionNote::Kind::EndWithoutStart, i, line);
                }
                open = false;
                continue;
            }
            if (!BeginsWith(line, startId)) {
                continue;
            }
            open = true;
            if (index == nullptr) {
                index = &m_templates.IndexFor(pair, startId, endId);
            }
            const TemplateIndex::Entry* block = index->Find(line);
            if (block == nullptr) {
                if (m_page.takesNotes) {
                    AddPageNote(ConversionNote::Kind::NoTemplate, i, line);
                }
                continue;
            }
            m_notes.MarkUsed(pair, line);
            if (block->unclosed) {
                ReportTemplateProblem(*block, line);
                continue;
            }
            const std::size_t end = closer.ClosingEnd(i);
            if (end == kNone) {
                m_result.problems.push_back(ConversionProblem{ConversionProblem::Place::WebFile,
                                                              m_page.entry, ReportedLine(i),
                                                              std::string(line)});
                continue;
            }
            origins.Copy(i + 1, output.size());
            for (const TemplateIndex::Span& span : block->spans) {
                const LineViews& source = m_templates.LinesOf(span.source);
                for (std::size_t k = span.begin; k < span.end; ++k) {
                    SpendGrowth(m_page.entry, source[k].size() + 2);
                }
                output.insert(output.end(),
                              source.begin() + static_cast<std::ptrdiff_t>(span.begin),
                              source.begin() + static_cast<std::ptrdiff_t>(span.end));
            }
            origins.Insert(end, output.size());
            i = end - 1; // the end line is copied next
            changed = true;
        }
        if (changed) {
            origins.Finish(lines.size(), output.size());
        }
        return changed;
    }

    void AddPageNote(ConversionNote::Kind kind, std::size_t index, std::string_view line) {
        m_notes.AddPageNote(m_page.identity, kind, ReportedLine(index), line);
    }

    // Where a reported line stands in the page as read; a line that a
    // template put there is named where it stands now.
    std::size_t ReportedLine(std::size_t index) const {
        const std::size_t line = m_page.origins.OriginalLine(index);
        return line != 0 ? line : index + 1;
    }

    static constexpr std::size_t kNone = static_cast<std::size_t>(-1);

    // How much template content the passes may add to one page: a site
    // grows a page by a few blocks, while a page that is its own template
    // can square its size with every pass. The budget rests on sizes the run
    // cannot inflate: the template files as first read and the page as first
    // read in this run.
    void StartGrowthBudget(const std::string& resolved, std::size_t pageBytes) {
        m_pageFirstBytes = m_firstSeenBytes.emplace(resolved, pageBytes).first->second;
        m_growthLeft = kNone;
    }

    void SpendGrowth(const std::string& entry, std::size_t bytes) {
        constexpr std::size_t kAtLeast = std::size_t{64} << 20;
        constexpr std::size_t kFactor = 16;
        const std::size_t budget =
            std::max(kAtLeast, kFactor * (m_templates.InitialBytes() + m_pageFirstBytes));
        if (m_growthLeft == kNone) {
            m_growthLeft = budget;
        }
        if (bytes > m_growthLeft) {
            throw FileError(ResolvePath(entry, m_request.baseFolder),
                            "the converted page would grow by more than " +
                                std::to_string(budget >> 20) + " MB; is a page its own template?");
        }
        m_growthLeft -= bytes;
    }

    void ReportTemplateProblem(const TemplateIndex::Entry& block, std::string_view line) {
        const auto key = std::make_pair(block.unclosedSource, block.unclosedLine);
        if (!m_reportedTemplates.insert(key).second) {
            return;
        }
        m_result.problems.push_back(ConversionProblem{ConversionProblem::Place::TemplateFile,
                                                      m_templates.EntryOf(block.unclosedSource),
                                                      block.unclosedLine, std::string(line)});
    }

    const ConversionRequest& m_request;
    ConversionObserver& m_observer;
    ConversionResult& m_result;
    NoteCollector m_notes;
    Overlay m_overlay;
    TemplateSet m_templates;
    AtomicWriteBatch m_batch;
    // Per staged file, in staging order: its outcome's index, and the file.
    std::vector<std::size_t> m_stagedOutcomes;
    std::vector<std::pair<FileIdentity, std::string>> m_stagedFiles;
    std::unordered_set<FileIdentity, FileIdentityHash> m_stagedIdentities;
    // Pages another program wrote after they were read, by web list index.
    std::vector<std::size_t> m_retries;
    // Growth of the page in hand, and the size each page had when first read.
    std::unordered_map<std::string, std::size_t> m_firstSeenBytes;
    std::size_t m_pageFirstBytes = 0;
    std::size_t m_growthLeft = 0;
    std::set<std::pair<std::size_t, std::size_t>> m_reportedTemplates;
    // The page whose passes run now.
    struct PageInHand {
        std::string entry;
        FileIdentity identity;
        bool takesNotes = false;
        int firstPair = 0;
        LineOrigins origins;
    };
    PageInHand m_page;
};

} // namespace

namespace {

// A page that a killed run was rewriting in place holds the new beginning
// and the old end: its old bytes go back before anything else happens. A dry
// run only tells.
void PutBackInterruptedWrites(const ConversionRequest& request, ConversionResult& result) {
    const RecoveryStore store(request.recoveryFolder.empty() ? RecoveryStore::DefaultFolder()
                                                             : request.recoveryFolder);
    const std::vector<RecoveryStore::Copy> copies = store.List();
    if (copies.empty()) {
        return;
    }
    std::vector<std::optional<FileIdentity>> targets;
    for (const RecoveryStore::Copy& copy : copies) {
        targets.push_back(LookUpIdentity(copy.target));
    }
    for (const std::string& entry : request.webFiles) {
        const std::optional<FileIdentity> page =
            LookUpIdentity(ResolvePath(entry, request.baseFolder));
        for (std::size_t i = 0; i < copies.size(); ++i) {
            if (!page || targets[i] != page) {
                continue;
            }
            if (request.writeFiles) {
                store.PutBack(copies[i]);
                result.restored.push_back(entry);
            } else {
                result.recoverable.push_back(entry);
            }
            targets[i].reset(); // a page listed twice is put back once
            break;
        }
    }
}

} // namespace

ConversionResult RunConversion(const ConversionRequest& request, ConversionObserver* observer) {
    ConversionResult result;
    if (request.webFiles.empty() || request.templateFiles.empty()) {
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
    return result;
}

} // namespace quillstamper
