#pragma once

#include "base/site_definition.h"

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace quillstamper {

inline constexpr std::int32_t kDefaultPathBreak = 32;

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
