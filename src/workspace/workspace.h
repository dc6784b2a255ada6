#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
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
inline constexpr std::int32_t kDefaultPathBreak = 32;

IdentifierTable DefaultIdentifiers();

// How written lines end: CR LF or LF for every line, or as each line of the
// page had it (template lines as the start line of the block they fill).
enum class LineEnds { CrLf, Lf, Keep };

// Which end line closes a block: Own, only one that fits it (its customary
// end line, or a line of its pair that names no other block); Any, the first
// line that ends with the end identifier.
enum class EndLines { Own, Any };

// The settings a project keeps besides its lists and marker table.
struct ProjectSettings {
    LineEnds lineEnds = LineEnds::CrLf;
    EndLines endLines = EndLines::Own;
    friend bool operator==(const ProjectSettings&, const ProjectSettings&) = default;
};

// "Web Files: %d        Template Files: %d" (eight blanks between the parts).
std::string FormatCounts(std::size_t webCount, std::size_t templateCount);

// What a site is made of for a run and for a project file: the two lists, the
// marker table and the project's settings.
struct SiteDefinition {
    FileList webFiles;
    FileList templateFiles;
    IdentifierTable identifiers = DefaultIdentifiers();
    ProjectSettings settings{};
};

// Everything the main window keeps for the program's life, as plain data.
struct Workspace {
    std::int32_t m_pathBreak = kDefaultPathBreak;
    IdentifierTable m_identifiers = DefaultIdentifiers();
    std::string m_projectPath;
    FileList m_templateFiles;
    FileList m_webFiles;
    std::string m_currentFile;
    std::string m_activity;
    std::string m_counts = FormatCounts(0, 0);
    ProjectSettings m_settings;
};

// Recomputes m_counts from the sizes of the two lists.
void RefreshCounts(Workspace& workspace);

// Empties both lists and resets the project's settings; keeps the project
// path, identifiers, path break and status lines.
void NewProject(Workspace& workspace);

// Removes the entries at the given places of a list, each place counted once
// and places past its end ignored; the other entries keep their order.
void RemoveListEntries(FileList& files, const std::vector<std::size_t>& places);

// The workspace's lists, marker table and settings, for a run or a project file.
SiteDefinition SiteOf(const Workspace& workspace);

// Folder against which relative list entries are resolved: the project file's
// folder, or empty (the current folder) while no project path is set.
std::string ProjectBaseFolder(const Workspace& workspace);

} // namespace quillstamper
