#pragma once

#include <array>
#include <cstddef>
#include <string>
#include <vector>

namespace quillstamper {

using FileList = std::vector<std::string>;

inline constexpr int kPairCount = 4;

// The marker table: pair n, counted from 1 to kPairCount, is a start and an
// end identifier. The entries keep the order of the project file and the
// Options dialog: start 1, end 1, start 2, end 2, ...
struct IdentifierTable {
    std::array<std::string, 2 * kPairCount> entries;

    const std::string& StartId(int pair) const {
        return entries[Index(pair)];
    }
    const std::string& EndId(int pair) const {
        return entries[Index(pair) + 1];
    }
    std::string& operator[](std::size_t entry) {
        return entries[entry];
    }
    const std::string& operator[](std::size_t entry) const {
        return entries[entry];
    }
    static constexpr std::size_t size() {
        return 2 * kPairCount;
    }
    auto begin() {
        return entries.begin();
    }
    auto end() {
        return entries.end();
    }
    auto begin() const {
        return entries.begin();
    }
    auto end() const {
        return entries.end();
    }
    friend bool operator==(const IdentifierTable&, const IdentifierTable&) = default;

private:
    static std::size_t Index(int pair) {
        return static_cast<std::size_t>(2 * (pair - 1));
    }
};

IdentifierTable DefaultIdentifiers();

// How written lines end: CR LF or LF for every line, or as each line of the
// page had it (template lines as the start line of the block they fill).
enum class LineEnds { CrLf, Lf, Keep };

// Which end line closes a block: Own, only one that fits it (its customary
// end line, or a line of its pair that names no other block); Any, the first
// line that ends with the end identifier.
enum class EndLines { Own, Any };

// What happens to template text whose charset differs from the page's:
// Convert, into the page's charset; Bytes, copied as it is.
enum class TextMode { Convert, Bytes };

// How an <a> that leads to the page it stands in is marked, if at all.
enum class CurrentPageMark { None, AriaCurrent, Class };

// The settings a project keeps besides its lists and marker table.
struct ProjectSettings {
    LineEnds lineEnds = LineEnds::CrLf;
    EndLines endLines = EndLines::Own;
    TextMode text = TextMode::Convert;
    // Relative links of inserted text are written from the link base and
    // rewritten for each page's folder.
    bool linksFollowPage = false;
    // The link base, relative to the project file's folder; empty: that folder.
    std::string linkBase{};
    CurrentPageMark currentPage = CurrentPageMark::None;
    std::string currentPageClass{}; // with CurrentPageMark::Class
    friend bool operator==(const ProjectSettings&, const ProjectSettings&) = default;
};

// What a site is made of for a run and for a project file: the two lists, the
// marker table and the project's settings.
struct SiteDefinition {
    FileList webFiles;
    FileList templateFiles;
    IdentifierTable identifiers = DefaultIdentifiers();
    ProjectSettings settings{};
};

} // namespace quillstamper
