#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace quillstamper {

// Entries 2k and 2k+1 are the start and end identifier of pair k+1.
using IdentifierTable = std::array<std::string, 8>;
using FileList = std::vector<std::string>;

inline constexpr int kPairCount = 4;
inline constexpr std::int32_t kDefaultPathBreak = 32;

IdentifierTable DefaultIdentifiers();

// How written lines end: CR LF or LF for every line, or as each line of the
// page had it (template lines as the start line of the block they fill).
enum class LineEnds { CrLf, Lf, Keep };

// "Web Files: %d        Template Files: %d" (eight blanks between the parts).
std::string FormatCounts(std::size_t webCount, std::size_t templateCount);

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
    LineEnds m_lineEnds = LineEnds::CrLf;
};

// Recomputes m_counts from the sizes of the two lists.
void RefreshCounts(Workspace& workspace);

// Empties both lists and sets the line ends to CR LF; keeps the project
// path, identifiers, path break and status lines.
void NewProject(Workspace& workspace);

// Folder against which relative list entries are resolved: the project file's
// folder, or empty (the current folder) while no project path is set.
std::string ProjectBaseFolder(const Workspace& workspace);

} // namespace quillstamper
