#include "conversion/block_notes.h"

#include "conversion/markers.h"

#include <algorithm>

namespace quillstamper {

std::optional<ConversionNote> FindInvalidTextNote(const std::string& entry, const FileText& text) {
    std::string charset;
    const std::optional<std::size_t> invalid = FindTextInvalidInDeclaredCharset(text, &charset);
    if (!invalid) {
        return std::nullopt;
    }
    // The line that holds the byte, however the file ends its lines.
    const LineViews lines = SplitLines(text.text);
    std::size_t line = 0;
    while (line + 1 < lines.size() &&
           static_cast<std::size_t>(lines[line + 1].data() - text.text.data()) <= *invalid) {
        ++line;
    }
    const std::string_view lineText = lines.empty() ? std::string_view() : lines[line];
    return ConversionNote{ConversionNote::Kind::InvalidText, entry, line + 1, std::string(lineText),
                          charset};
}

bool IsIndentedMarker(std::string_view line, const IdentifierTable& identifiers) {
    const std::size_t text = line.find_first_not_of(" \t");
    if (text == std::string_view::npos) {
        return false;
    }
    const std::string_view rest = line.substr(text);
    for (int pair = 1; pair <= kPairCount; ++pair) {
        if (!identifiers.StartId(pair).empty() && BeginsWith(rest, identifiers.StartId(pair))) {
            return true;
        }
    }
    return false;
}

// One pass; the first and last byte of a line rule out most of the checks.
std::vector<ConversionNote> FindMarkerNotes(const std::string& entry, const LineViews& lines,
                                            const IdentifierTable& identifiers) {
    struct Pair {
        std::string_view startId;
        std::string_view endId;
        bool open = false;
    };
    std::vector<Pair> pairs;
    std::array<bool, 256> endsLike{};
    for (int pair = 1; pair <= kPairCount; ++pair) {
        // A pair without both identifiers has no customary end line to go astray.
        if (!identifiers.StartId(pair).empty() && !identifiers.EndId(pair).empty()) {
            pairs.push_back({identifiers.StartId(pair), identifiers.EndId(pair)});
            endsLike[static_cast<unsigned char>(identifiers.EndId(pair).back())] = true;
        }
    }
    std::vector<ConversionNote> notes;
    for (std::size_t i = 0; i < lines.size(); ++i) {
        const std::string_view line = lines[i];
        if (line.empty()) {
            continue;
        }
        const bool indented =
            (line.front() == ' ' || line.front() == '\t') && IsIndentedMarker(line, identifiers);
        bool stray = false;
        const bool mayEnd = endsLike[static_cast<unsigned char>(line.back())];
        for (Pair& pair : pairs) {
            if (mayEnd && IsEndLine(line, pair.endId)) {
                stray = stray || (!pair.open && BeginsWith(line, pair.startId));
                pair.open = false;
            } else if (BeginsWith(line, pair.startId)) {
                pair.open = true;
            }
        }
        if (indented || stray) {
            notes.push_back({indented ? ConversionNote::Kind::IndentedMarker
                                      : ConversionNote::Kind::EndWithoutStart,
                             entry, i + 1, std::string(line)});
        }
    }
    return notes;
}

NoteCollector::NoteCollector(const IdentifierTable& identifiers) : m_identifiers(identifiers) {}

NoteCollector::FileNotes& NoteCollector::Add(const FileIdentity& identity, const std::string& entry,
                                             bool isTemplate) {
    FileNotes& file = m_files[identity];
    file.isTemplate = isTemplate;
    m_order.push_back(identity);
    m_entries.emplace(identity, entry);
    return file;
}

void NoteCollector::Put(FileNotes& file, ConversionNote note) {
    if (file.lines.insert(note.line).second) {
        file.notes.push_back(std::move(note));
    }
}

const FileIdentity& NoteCollector::Canonical(const FileIdentity& identity) const {
    const auto found = m_aliases.find(identity);
    return found == m_aliases.end() ? identity : found->second;
}

void NoteCollector::AddAlias(const FileIdentity& oldIdentity, const FileIdentity& newIdentity) {
    if (!(oldIdentity == newIdentity)) {
        m_aliases[newIdentity] = Canonical(oldIdentity);
    }
}

bool NoteCollector::AddWebFile(const FileIdentity& identity, const std::string& entry) {
    m_webFiles.insert(Canonical(identity));
    if (m_files.count(Canonical(identity)) != 0) {
        return false;
    }
    Add(identity, entry, false);
    return true;
}

void NoteCollector::AddPageNote(const FileIdentity& identity, ConversionNote note) {
    const auto found = m_files.find(Canonical(identity));
    if (found != m_files.end()) {
        note.file = m_entries.at(found->first);
        Put(found->second, std::move(note));
    }
}

// A template's charset from a mark or from valid UTF-8 is right by its
// nature; only what it declares can be wrong.
void NoteCollector::CheckTemplateText(const FileIdentity& identity, const FileText& text,
                                      const std::optional<std::string>& charset) {
    const auto found = m_files.find(Canonical(identity));
    if (!charset || found == m_files.end()) {
        return;
    }
    if (std::optional<ConversionNote> note =
            FindInvalidTextNote(m_entries.at(found->first), text)) {
        Put(found->second, std::move(*note));
    }
}

void NoteCollector::AddTemplateFile(const FileIdentity& fileIdentity, const std::string& entry,
                                    const LineViews& lines) {
    const FileIdentity identity = Canonical(fileIdentity);
    if (!m_templates.insert(identity).second) {
        return;
    }
    if (m_files.count(identity) == 0) {
        FileNotes& file = Add(identity, entry, true);
        for (ConversionNote& note : FindMarkerNotes(entry, lines, m_identifiers)) {
            Put(file, std::move(note));
        }
    }
    for (int pair = 1; pair <= kPairCount; ++pair) {
        const std::string_view startId = m_identifiers.StartId(pair);
        if (startId.empty()) {
            continue;
        }
        for (std::size_t i = 0; i < lines.size(); ++i) {
            if (IsStartLine(lines[i], startId, m_identifiers.EndId(pair))) {
                m_templateStarts.push_back({identity, pair, i + 1, std::string(lines[i])});
            }
        }
    }
}

bool NoteCollector::HasTemplateFile(const FileIdentity& identity) const {
    return m_templates.count(Canonical(identity)) != 0;
}

void NoteCollector::MarkUsed(int pair, std::string_view startLine) {
    auto& used = m_used[static_cast<std::size_t>(pair - 1)];
    if (used.find(startLine) == used.end()) {
        used.emplace(startLine);
    }
}

// Pages get the content of every copy of a block, one after the other: meant
// at times, but a page that is also a template grows by a copy on each run.
void NoteCollector::NoteSharedBlocks(const std::vector<const TemplateStart*>& used) {
    // The first file seen with each start line; a second file marks it shared.
    std::unordered_map<std::string_view, const FileIdentity*> firstFile;
    std::unordered_set<std::string_view> shared;
    for (const TemplateStart* start : used) {
        const auto [first, added] = firstFile.emplace(start->text, &start->identity);
        if (!added && !(*first->second == start->identity)) {
            shared.insert(start->text);
        }
    }
    if (shared.empty()) {
        return;
    }
    for (const TemplateStart* start : used) {
        if (shared.count(start->text) != 0) {
            Put(m_files[start->identity],
                {ConversionNote::Kind::SharedBlock, m_entries.at(start->identity), start->line,
                 start->text});
        }
    }
}

std::vector<ConversionNote> NoteCollector::Finish() {
    for (const FileIdentity& identity : m_order) {
        if (m_webFiles.count(identity) != 0 && m_templates.count(identity) != 0) {
            Put(m_files[identity],
                {ConversionNote::Kind::InBothLists, m_entries.at(identity), 0, std::string()});
        }
    }
    std::vector<const TemplateStart*> used;
    for (const TemplateStart& start : m_templateStarts) {
        if (m_used[static_cast<std::size_t>(start.pair - 1)].count(start.text) == 0) {
            Put(m_files[start.identity], {ConversionNote::Kind::NoWebFile,
                                          m_entries.at(start.identity), start.line, start.text});
        } else {
            used.push_back(&start);
        }
    }
    NoteSharedBlocks(used);
    std::vector<ConversionNote> notes;
    for (const bool templates : {false, true}) {
        for (const FileIdentity& identity : m_order) {
            FileNotes& file = m_files[identity];
            if (file.isTemplate != templates) {
                continue;
            }
            std::stable_sort(
                file.notes.begin(), file.notes.end(),
                [](const ConversionNote& a, const ConversionNote& b) { return a.line < b.line; });
            std::move(file.notes.begin(), file.notes.end(), std::back_inserter(notes));
        }
    }
    return notes;
}

} // namespace quillstamper
