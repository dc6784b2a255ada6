#pragma once

#include <string>

namespace quillstamper {

// A list entry as a path to open: absolute entries and entries without a base
// folder stand as written; relative ones are taken below baseFolder.
std::string ResolvePath(const std::string& entry, const std::string& baseFolder);

// The folder part of a path ("" for a bare name, "/" for a file in the root).
std::string ParentFolder(const std::string& path);

// The entry to store for path in a project file kept in projectFolder: the
// part below that folder when path lies below it, else the absolute path.
std::string MakeEntryRelative(const std::string& path, const std::string& projectFolder);

} // namespace quillstamper
