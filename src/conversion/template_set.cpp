#include "conversion/template_set.h"

#include "base/file_error.h"
#include "base/path_resolution.h"

#include <algorithm>

namespace quillstamper {

TemplateSet::TemplateSet(const FileList& entries, const std::string& baseFolder, FileSource& source,
                         NoteCollector& notes, bool checkText)
    : m_source(source), m_notes(notes), m_checkText(checkText) {
    m_files.reserve(entries.size());
    for (const std::string& entry : entries) {
        TemplateFile file;
        file.entry = entry;
        file.resolved = ResolvePath(entry, baseFolder);
        file.identity = LookUpIdentity(file.resolved);
        m_files.push_back(std::move(file));
    }
}

const std::string& TemplateSet::EntryOf(std::size_t source) const {
    return m_files[source].entry;
}

const LineViews& TemplateSet::LinesOf(std::size_t source) const {
    return m_files[source].lines;
}

const std::optional<std::string>& TemplateSet::CharsetOf(std::size_t source) {
    TemplateFile& file = m_files[source];
    if (!file.charset) {
        file.charset = CharsetOfText(file.text, true);
    }
    return *file.charset;
}

const TemplateIndex* TemplateSet::BuiltIndex(int pair) const {
    const std::optional<TemplateIndex>& index = m_indexes[static_cast<std::size_t>(pair - 1)];
    return index ? &*index : nullptr;
}

const std::optional<std::string>* TemplateSet::ToldCharsetOf(std::size_t source) const {
    const TemplateFile& file = m_files[source];
    return file.charset ? &*file.charset : nullptr;
}

bool TemplateSet::Holds(const FileIdentity& identity) const {
    return std::any_of(m_files.begin(), m_files.end(),
                       [&](const TemplateFile& file) { return file.identity == identity; });
}

std::size_t TemplateSet::InitialBytes() const {
    return m_initialBytes;
}

void TemplateSet::CollectBuffers(std::vector<SharedBytes>& buffers) const {
    if (buffers.capacity() < m_files.size() + 1) {
        buffers.reserve(m_files.size() + 2); // the page's own, every template, a link's
    }
    for (const TemplateFile& file : m_files) {
        if (file.bytes && std::find(buffers.begin(), buffers.end(), file.bytes) == buffers.end()) {
            buffers.push_back(file.bytes);
        }
    }
}

const TemplateIndex& TemplateSet::IndexFor(int pair, const IdentifierTable& identifiers,
                                           EndLines endLines) {
    std::optional<TemplateIndex>& index = m_indexes[static_cast<std::size_t>(pair - 1)];
    if (!index) {
        LoadAll();
        std::vector<const LineViews*> sources;
        sources.reserve(m_files.size());
        for (const TemplateFile& file : m_files) {
            sources.push_back(&file.lines);
        }
        index.emplace(sources, pair, identifiers, endLines);
    }
    return *index;
}

void TemplateSet::Override(const FileIdentity& identity, const SharedBytes& bytes,
                           const LineViews& lines, const std::optional<std::string>& charset) {
    for (TemplateFile& file : m_files) {
        if (file.identity == identity) {
            file.bytes = bytes;
            file.text = FileText{};
            file.lines = lines;
            file.charset.emplace(charset);
            file.loaded = true;
        }
    }
    DropIndexes();
    ++m_generation;
}

void TemplateSet::Reload(const FileIdentity& oldIdentity,
                         const std::optional<FileIdentity>& newIdentity) {
    bool any = false;
    for (TemplateFile& file : m_files) {
        if (file.identity == oldIdentity) {
            file.identity = newIdentity;
            file.loaded = false;
            file.bytes.reset();
            file.text = FileText{};
            file.lines.clear();
            file.charset.reset();
            any = true;
        }
    }
    if (any) {
        DropIndexes();
        ++m_generation;
    }
}

void TemplateSet::ReadUnreadForNotes(std::uint64_t maxFileBytes) {
    for (const TemplateFile& file : m_files) {
        if (file.identity && m_notes.HasTemplateFile(*file.identity)) {
            continue;
        }
        try {
            FileSnapshot snapshot = ReadFileSnapshot(file.resolved, maxFileBytes);
            const FileText text = DecodeFileText(
                std::make_shared<const std::string>(std::move(snapshot.bytes)), file.resolved);
            m_notes.AddTemplateFile(snapshot.identity, file.entry, SplitLines(text.text));
            if (m_checkText) {
                m_notes.CheckTemplateText(snapshot.identity, text, CharsetOfText(text, true));
            }
        } catch (const FileError&) {
            // the check reads every listed file and reports it
        }
    }
}

void TemplateSet::DropIndexes() {
    for (auto& index : m_indexes) {
        index.reset();
    }
}

// A read may make the run commit what waits for its rename, which tells this
// set about renamed files: so the next file to load is looked for afresh
// after each read.
void TemplateSet::LoadAll() {
    for (;;) {
        const auto unloaded = std::find_if(m_files.begin(), m_files.end(),
                                           [](const TemplateFile& file) { return !file.loaded; });
        if (unloaded == m_files.end()) {
            break;
        }
        TemplateFile& file = *unloaded;
        if (const TemplateFile* twin =
                FindLoadedTwin(static_cast<std::size_t>(unloaded - m_files.begin()))) {
            file.bytes = twin->bytes;
            file.text = twin->text;
            file.lines = twin->lines;
            file.charset = twin->charset;
        } else {
            FileSnapshot snapshot = m_source.Read(file.resolved);
            Take(file, snapshot.identity,
                 DecodeFileText(std::make_shared<const std::string>(std::move(snapshot.bytes)),
                                file.resolved));
        }
        file.loaded = true;
    }
    if (!m_initialBytesKnown) {
        m_initialBytesKnown = true;
        for (const TemplateFile& file : m_files) {
            m_initialBytes += file.bytes->size();
        }
    }
}

// A template file's text as read: its lines and charset, and its notes.
void TemplateSet::Take(TemplateFile& file, const FileIdentity& identity, const FileText& text) {
    file.identity = identity;
    file.bytes = text.holder;
    file.text = text;
    file.lines = SplitLines(text.text);
    file.charset.reset();
    m_notes.AddTemplateFile(identity, file.entry, file.lines);
    if (m_checkText) {
        m_notes.CheckTemplateText(identity, text, CharsetOfText(text, true));
    }
}

// The same file listed before, already in memory.
const TemplateSet::TemplateFile* TemplateSet::FindLoadedTwin(std::size_t index) const {
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

} // namespace quillstamper
