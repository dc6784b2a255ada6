#pragma once

#include "project/workspace.h"

#include <functional>
#include <optional>
#include <string>

namespace quillstamper {

// Asks the user for a project file; nothing when the dialog was cancelled.
using AskForProjectPath = std::function<std::optional<std::string>()>;

// Save Project (askForName false) and Save Project as (true): asks for a name
// when told to or while no project path is set, then writes the workspace to
// the project path. False when the dialog was cancelled. Throws FileError.
bool SaveProjectFile(Workspace& workspace, bool askForName, const AskForProjectPath& askForPath);

struct OpenProjectResult {
    enum class Outcome { Cancelled, Loaded, Refused };
    Outcome outcome = Outcome::Cancelled;
    // For a refused file, the message to show.
    std::string message;
};

// Open Project: empties the lists first, then asks for a file and loads its
// lists and identifiers. A refused or unreadable file loads nothing and leaves
// the project path as it was before the command, so a later Save cannot
// overwrite a file that never was a project. Throws FileError.
OpenProjectResult OpenProject(Workspace& workspace, const AskForProjectPath& askForPath);

} // namespace quillstamper
