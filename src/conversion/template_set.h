#pragma once

#include "base/site_definition.h"
#include "conversion/block_notes.h"
#include "conversion/file_text.h"
#include "conversion/line_model.h"
#include "conversion/template_index.h"
#include "files/file_io.h"

#include <array>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace quillstamper {

// How the run reads a file: what a read sees depends on what the run has
// written, or in a dry run would have written.
class FileSource {
public:
    virtual ~FileSource() = default;
    // Throws FileError.
    virtual FileSnapshot Read(const std::string& path) = 0;
};

// The template files of a run: each read at most once, when the first start
// line is looked up, and again only after the run itself has rewritten it.
class TemplateSet {
public:
    // Reads through source; each file read is handed to notes once.
    // With checkText, a file whose bytes are not valid in the charset it
    // declares gets a note.
    TemplateSet(const FileList& entries, const std::string& baseFolder, FileSource& source,
                NoteCollector& notes, bool checkText = false);

    const std::string& EntryOf(std::size_t source) const;
    const LineViews& LinesOf(std::size_t source) const;
    // The charset of a loaded template file's text, if known (see
    // CharsetOfText); told when first asked, as only pages of a known
    // charset ask.
    const std::optional<std::string>& CharsetOf(std::size_t source);
    bool Holds(const FileIdentity& identity) const;
    // The size of the template files when they were first read.
    std::size_t InitialBytes() const;
    // Keeps the template files' bytes alive for lines that point into them.
    void CollectBuffers(std::vector<SharedBytes>& buffers) const;

    // Reads the template files not in memory yet. Throws FileError.
    const TemplateIndex& IndexFor(int pair, const IdentifierTable& identifiers, EndLines endLines);

    // For pages converted ahead on other threads, which must not change the
    // set: the index when built, the charset when told, else null.
    const TemplateIndex* BuiltIndex(int pair) const;
    const std::optional<std::string>* ToldCharsetOf(std::size_t source) const;
    // Counts the changes of content (a template overridden or reloaded):
    // work done ahead under an older count is done again.
    std::uint64_t Generation() const {
        return m_generation;
    }

    // A web file that is also a template file: while its passes run, the
    // template is what the previous pass produced.
    void Override(const FileIdentity& identity, const SharedBytes& bytes, const LineViews& lines,
                  const std::optional<std::string>& charset);
    // The run rewrote a file, or will: read it again when next needed.
    void Reload(const FileIdentity& oldIdentity, const std::optional<FileIdentity>& newIdentity);

    // Template files that no page made the run read still have notes. They
    // are advice: a template the run did not need cannot end it.
    void ReadUnreadForNotes(std::uint64_t maxFileBytes);

private:
    struct TemplateFile {
        std::string entry;
        std::string resolved;
        std::optional<FileIdentity> identity;
        SharedBytes bytes; // what the lines point into
        FileText text;
        LineViews lines;
        std::optional<std::optional<std::string>> charset; // once told
        bool loaded = false;
    };

    void DropIndexes();
    void Take(TemplateFile& file, const FileIdentity& identity, const FileText& text);
    void LoadAll();
    const TemplateFile* FindLoadedTwin(std::size_t index) const;

    FileSource& m_source;
    NoteCollector& m_notes;
    bool m_checkText;
    std::vector<TemplateFile> m_files;
    std::array<std::optional<TemplateIndex>, kPairCount> m_indexes;
    std::size_t m_initialBytes = 0;
    bool m_initialBytesKnown = false;
    std::uint64_t m_generation = 0;
};

} // namespace quillstamper
