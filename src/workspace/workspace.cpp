#include "workspace/workspace.h"

#include "workspace/path_resolution.h"

namespace quillstamper {

IdentifierTable DefaultIdentifiers() {
    return {"<!-- Trelvonix ",
            " end -->",
            "# Trelvonix ",
            " end -->",
            "// Trelvonix ",
            " end -->",
            "",
            ""};
}

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
    workspace.m_lineEnds = LineEnds::CrLf;
    RefreshCounts(workspace);
}

std::string ProjectBaseFolder(const Workspace& workspace) {
    return ParentFolder(workspace.m_projectPath);
}

} // namespace quillstamper
