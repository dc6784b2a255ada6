#include "workspace/path_resolution.h"

#include <filesystem>

namespace quillstamper {

namespace fs = std::filesystem;

std::string ResolvePath(const std::string& entry, const std::string& baseFolder) {
    if (baseFolder.empty() || entry.empty() || entry.front() == '/') {
        return entry;
    }
    if (baseFolder.back() == '/') {
        return baseFolder + entry;
    }
    return baseFolder + "/" + entry;
}

std::string ParentFolder(const std::string& path) {
    const auto slash = path.find_last_of('/');
    if (slash == std::string::npos) {
        return {};
    }
    if (slash == 0) {
        return "/";
    }
    return path.substr(0, slash);
}

std::string MakeEntryRelative(const std::string& path, const std::string& projectFolder) {
    // Lexical, so that a link inside the site keeps the spelling the user gave it.
    std::error_code error;
    const fs::path folder =
        fs::absolute(projectFolder.empty() ? "." : projectFolder, error).lexically_normal();
    if (error) {
        return path;
    }
    const fs::path file = fs::absolute(path, error).lexically_normal();
    if (error) {
        return path;
    }
    const fs::path relative = file.lexically_relative(folder);
    if (relative.empty() || *relative.begin() == ".." || relative == ".") {
        // Outside the project's folder: absolute, since entries are read
        // relative to that folder, not to where the project was made.
        return file.string();
    }
    return relative.string();
}

} // namespace quillstamper
