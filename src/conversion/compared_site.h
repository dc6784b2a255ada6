#pragma once

#include "base/site_definition.h"
#include "base/text_encoding.h"
#include "conversion/line_model.h"
#include "files/file_io.h"

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace quillstamper {

// One web file as read for finding, wrapping and unwrapping repeated parts.
struct SitePage {
    std::string entry; // as listed
    std::string path;  // to read and write it
    std::string absolutePath;
    SharedBytes bytes;
    FileState state; // when read, so that a write leaves another program's change alone
    TextEncoding encoding = TextEncoding::Bytes;
    std::string_view text; // into bytes, behind a byte-order mark; UTF-8 for UTF-16 and UTF-32
};

// Reads the web files of site, whose relative entries stand below
// baseFolder. Throws FileError.
std::vector<SitePage> ReadSitePages(const SiteDefinition& site, const std::string& baseFolder,
                                    std::uint64_t maxFileBytes);

// How lines are compared: leading and trailing blanks, blank lines and line
// ends never count; lines inside blocks are left out; with links that follow
// the page, links are compared as written from the link base, and with a
// current-page mark, the mark each page gets is left out.
struct ComparisonRules {
    IdentifierTable identifiers = DefaultIdentifiers();
    EndLines endLines = EndLines::Own;
    std::string linkBase; // absolute; empty when links stay as written
    CurrentPageMark mark = CurrentPageMark::None;
    std::string markClass;
};

// The rules a site's settings give; relative entries stand below baseFolder.
ComparisonRules RulesOfSite(const SiteDefinition& site, const std::string& baseFolder);

// A page's lines as compared: each line that counts is hashed once; two lines
// that count follow each other in a run only when no block stands between
// them.
struct ComparedPage {
    // The text with links as written from the link base; empty when the
    // rules change no link, and text views the page's own.
    std::string expressed;
    std::string_view text;
    LineViews lines;                      // of text, one for each line of the page
    std::vector<std::uint64_t> keys;      // of the lines that count
    std::vector<std::uint32_t> lineOf;    // each such line's index in lines
    std::vector<std::uint32_t> stretchOf; // lines that count with no block between share it
};

// A run of lines of one page: lines first to last (indexes, both included).
struct PageRange {
    std::size_t page = 0;
    std::size_t first = 0;
    std::size_t last = 0;
    friend bool operator==(const PageRange&, const PageRange&) = default;
};

class ComparedSite {
public:
    ComparedSite(const std::vector<SitePage>& pages, const ComparisonRules& rules);
    // Lines view the texts in place: moved, never copied.
    ComparedSite(const ComparedSite&) = delete;
    ComparedSite& operator=(const ComparedSite&) = delete;
    ComparedSite(ComparedSite&&) = default;
    ComparedSite& operator=(ComparedSite&&) = default;

    const std::vector<ComparedPage>& Pages() const {
        return m_pages;
    }
    const ComparisonRules& Rules() const {
        return m_rules;
    }
    // The lines that count in range, as keys; nothing when a line of it
    // stands inside a block.
    std::optional<std::vector<std::uint64_t>> KeysOf(const PageRange& range) const;
    // Whether line index of page stands inside a block (its marker lines too).
    bool IsInBlock(std::size_t page, std::size_t line) const;

private:
    ComparisonRules m_rules;
    std::vector<ComparedPage> m_pages;
    std::vector<std::vector<bool>> m_inBlock;
};

// The compared form of a line: without leading and trailing blanks.
std::string_view TrimBlanks(std::string_view line);

} // namespace quillstamper
