#include "project/workspace.h"

#include "base/path_resolution.h"

#include <utility>

namespace quillstamper {

std::string FormatCounts(std::size_t webCount, std::size_t templateCount) {
    return "Web Files: " + std::to_string(webCount) +
           "        Template Files: " + std::to_string(templateCount);
}

void RefreshCounts(Workspace& workspace) {
    workspace.m_counts =
        FormatCounts(workspace.m_webFiles.size(), workspace.m_templateFiles.size());
}

void NewProject(Workspace& workspace) {
    workspace.m_webFiles.clear();
    workspace.m_templateFiles.clear();
    workspace.m_settings = ProjectSettings{};
    RefreshCounts(workspace);
}

void RemoveListEntries(FileList& files, const std::vector<std::size_t>& places) {
    std::vector<bool> removed(files.size(), false);
    for (const std::size_t place : places) {
        if (place < removed.size()) {
            removed[place] = true;
        }
    }
    std::size_t kept = 0;
    for (std::size_t place = 0; place < files.size(); ++place) {
        if (removed[place]) {
            continue;
        }
        if (kept != place) { // a string moved onto itself would be emptied
            files[kept] = std::move(files[place]);
        }
        ++kept;
    }
    files.resize(kept);
}

SiteDefinition SiteOf(const Workspace& workspace) {
    return SiteDefinition{workspace.m_webFiles, workspace.m_templateFiles, workspace.m_identifiers,
                          workspace.m_settings};
}

std::string ProjectBaseFolder(const Workspace& workspace) {
    return ParentFolder(workspace.m_projectPath);
}

} // namespace quillstamper
