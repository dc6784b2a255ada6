#pragma once

#include "base/file_identity.h"
#include "base/findings.h"
#include "base/site_definition.h"
#include "conversion/file_text.h"
#include "conversion/line_model.h"

#include <array>
#include <cstddef>
#include <set>
#include <string>
#include <string_view>
#include <unordered_map>
#include <unordered_set>
#include <vector>

namespace quillstamper {

// The notes that follow from one file's lines alone: marker lines indented
// by blanks or tabs, and customary end lines that close no block of their
// pair. One note per line at most, in line order. The conversion finds the
// same in a page's passes, which read every line anyway.
std::vector<ConversionNote> FindMarkerNotes(const std::string& entry, const LineViews& lines,
                                            const IdentifierTable& identifiers);

// The note on a file whose bytes are not valid in the charset it declares,
// naming the line of the first such byte.
std::optional<ConversionNote> FindInvalidTextNote(const std::string& entry, const FileText& text);

// A line that would be a marker line of some pair without its leading blanks
// and tabs.
bool IsIndentedMarker(std::string_view line, const IdentifierTable& identifiers);

// Gathers the notes of a conversion run: each file's own notes once, however
// often it is listed or read, and at the end the template blocks that no page
// looked up, the blocks that pages take from more than one template file, and
// the files that stand in both lists.
class NoteCollector {
public:
    explicit NoteCollector(const IdentifierTable& identifiers);

    // A page as first read. False when it was seen before: its notes are in.
    bool AddWebFile(const FileIdentity& identity, const std::string& entry);
    // A note on a line of a page added before; its file is the entry the
    // page was added with.
    void AddPageNote(const FileIdentity& identity, ConversionNote note);
    // A note when the text's bytes are not valid in the charset it declares.
    void CheckTemplateText(const FileIdentity& identity, const FileText& text,
                           const std::optional<std::string>& charset);
    // A template file as first read; its start lines are kept for Finish.
    void AddTemplateFile(const FileIdentity& identity, const std::string& entry,
                         const LineViews& lines);
    bool HasTemplateFile(const FileIdentity& identity) const;
    // A page's pass found the start line in the template index of pair.
    void MarkUsed(int pair, std::string_view startLine);
    // The run replaced a file: the new file is the same file for the notes.
    void AddAlias(const FileIdentity& oldIdentity, const FileIdentity& newIdentity);

    // Web files in the order first read, then template files; by line in a file.
    std::vector<ConversionNote> Finish();

private:
    struct FileNotes {
        bool isTemplate = false;
        std::vector<ConversionNote> notes;
        std::set<std::size_t> lines; // lines with a note, so each gets one
    };
    struct TemplateStart {
        FileIdentity identity;
        int pair = 0;
        std::size_t line = 0;
        std::string text;
    };

    FileNotes& Add(const FileIdentity& identity, const std::string& entry, bool isTemplate);
    void NoteSharedBlocks(const std::vector<const TemplateStart*>& used);
    static void Put(FileNotes& file, ConversionNote note);
    const FileIdentity& Canonical(const FileIdentity& identity) const;

    const IdentifierTable& m_identifiers;
    std::vector<FileIdentity> m_order;
    std::unordered_map<FileIdentity, FileNotes, FileIdentityHash> m_files;
    std::unordered_map<FileIdentity, std::string, FileIdentityHash> m_entries;
    std::vector<TemplateStart> m_templateStarts;
    std::unordered_set<FileIdentity, FileIdentityHash> m_templates;
    std::unordered_set<FileIdentity, FileIdentityHash> m_webFiles;
    // Start lines by pair; looked up by view, so a page's lines are not copied.
    struct TextHash {
        using is_transparent = void;
        std::size_t operator()(std::string_view text) const noexcept {
            return std::hash<std::string_view>{}(text);
        }
    };
    std::array<std::unordered_set<std::string, TextHash, std::equal_to<>>, kPairCount> m_used;
    // A file the run replaced has a new identity; notes stay with the old one.
    std::unordered_map<FileIdentity, FileIdentity, FileIdentityHash> m_aliases;
};

} // namespace quillstamper
