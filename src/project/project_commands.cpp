#include "project/project_commands.h"

#include "project/project_file.h"

namespace quillstamper {

bool SaveProjectFile(Workspace& workspace, bool askForName, const AskForProjectPath& askForPath) {
    if (askForName || workspace.m_projectPath.empty()) {
        std::optional<std::string> chosen = askForPath();
        if (!chosen) {
            return false;
        }
        workspace.m_projectPath = std::move(*chosen);
    }
    WriteProjectFile(workspace.m_projectPath, SiteOf(workspace));
    return true;
}

OpenProjectResult OpenProject(Workspace& workspace, const AskForProjectPath& askForPath) {
    NewProject(workspace);
    std::optional<std::string> chosen = askForPath();
    if (!chosen) {
        return {OpenProjectResult::Outcome::Cancelled, {}};
    }
    // The project path changes only once the file has proved to be a project.
    ProjectParseResult parsed = ReadProjectFile(*chosen);
    if (parsed.status != ProjectParseResult::Status::Loaded) {
        return {OpenProjectResult::Outcome::Refused, std::move(parsed.message)};
    }
    workspace.m_projectPath = std::move(*chosen);
    workspace.m_webFiles = std::move(parsed.data.webFiles);
    workspace.m_templateFiles = std::move(parsed.data.templateFiles);
    workspace.m_identifiers = std::move(parsed.data.identifiers);
    workspace.m_settings = parsed.data.settings;
    RefreshCounts(workspace);
    return {OpenProjectResult::Outcome::Loaded, {}};
}

} // namespace quillstamper
