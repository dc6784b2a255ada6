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

// A file as someone working in workingFolder (empty: the current folder) opens
// it, e.g. an editor's list of errors: relative to that folder when it lies
// below it; elsewhere absolute or, where that is shorter, with "../" steps.
// Nothing is normalised but a leading "./" or "../", which the folder (as the
// system names it, without links) takes up.
std::string NameFromWorkingFolder(const std::string& path, const std::string& workingFolder);

} // namespace quillstamper
