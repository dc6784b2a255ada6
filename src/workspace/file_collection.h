#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace quillstamper {

// True for names ending in .htm, .html, .pl or .php, in any case.
bool IsWebFileName(std::string_view name);

// The files below folder (or folder itself when it is a file) that pass the
// filter, in byte order of their full paths. Hidden files and folders are
// skipped; links to files count, links to folders are not followed.
// Throws FileError when folder cannot be listed.
std::vector<std::string> CollectFiles(const std::string& folder, bool webFilesOnly);

} // namespace quillstamper
