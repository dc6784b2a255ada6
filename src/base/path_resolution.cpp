#include "base/path_resolution.h"

#include "base/utf8_path.h"

#include <algorithm>
#include <filesystem>
#include <string_view>
#include <vector>

namespace quillstamper {

namespace fs = std::filesystem;

namespace {

// Also "C:/" and "C:\" on Windows, where a path may start at a drive.
bool IsAbsolute(std::string_view path) {
#ifdef _WIN32
    if (path.size() >= 3 && path[1] == ':' && (path[2] == '/' || path[2] == '\\')) {
        return true;
    }
#endif
    return !path.empty() && path.front() == '/';
}

} // namespace

std::string ResolvePath(const std::string& entry, const std::string& baseFolder) {
    if (baseFolder.empty() || entry.empty() || IsAbsolute(entry)) {
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
    if (slash == 2 && path[1] == ':' && IsAbsolute(path)) {
        return path.substr(0, 3); // a drive's root keeps its slash
    }
    return path.substr(0, slash);
}

std::string MakeEntryRelative(const std::string& path, const std::string& projectFolder) {
    // Lexical, so that a link inside the site keeps the spelling the user gave it.
    std::error_code error;
    const fs::path folder =
        fs::absolute(PathFromUtf8(projectFolder.empty() ? "." : projectFolder), error)
            .lexically_normal();
    if (error) {
        return path;
    }
    const fs::path file = fs::absolute(PathFromUtf8(path), error).lexically_normal();
    if (error) {
        return path;
    }
    const fs::path relative = file.lexically_relative(folder);
    // With '/' on every system, so that a project file made on Windows reads elsewhere.
    if (relative.empty() || *relative.begin() == ".." || relative == ".") {
        // Outside the project's folder: absolute, since entries are read
        // relative to that folder, not to where the project was made.
        return Utf8FromPath(file);
    }
    return Utf8FromPath(relative);
}

namespace {

bool StartsWithPart(std::string_view path, std::string_view part) {
    return path.starts_with(part) && (path.size() == part.size() || path[part.size()] == '/');
}

std::vector<std::string_view> SplitParts(std::string_view path) {
    std::vector<std::string_view> parts;
    while (!path.empty()) {
        const std::size_t slash = std::min(path.find('/'), path.size());
        parts.push_back(path.substr(0, slash));
        path.remove_prefix(std::min(slash + 1, path.size()));
    }
    return parts;
}

// absolute from folder with "../" steps, where that is shorter; a path with
// "." or ".." inside, which a link may make mean something else, stays.
std::string ShorterWithParentSteps(const std::string& absolute, const std::string& folder) {
    if (absolute.front() != folder.front()) {
        return absolute; // on another drive
    }
    const std::vector<std::string_view> target = SplitParts(std::string_view(absolute).substr(1));
    const std::vector<std::string_view> from = SplitParts(std::string_view(folder).substr(1));
    for (const std::string_view part : target) {
        if (part.empty() || part == "." || part == "..") {
            return absolute;
        }
    }
    std::size_t common = 0;
    while (common < target.size() && common < from.size() && target[common] == from[common]) {
        ++common;
    }
    std::string relative;
    for (std::size_t i = common; i < from.size(); ++i) {
        relative += "../";
    }
    for (std::size_t i = common; i < target.size(); ++i) {
        relative += std::string(target[i]) + (i + 1 < target.size() ? "/" : "");
    }
    return relative.size() < absolute.size() ? relative : absolute;
}

} // namespace

std::string NameFromWorkingFolder(const std::string& path, const std::string& workingFolder) {
    if (path.empty()) {
        return path;
    }
    std::string folder = workingFolder;
    if (folder.empty()) {
        if (!IsAbsolute(path) && !StartsWithPart(path, "..")) {
            return path; // as given: below the current folder already
        }
        std::error_code error;
        folder = Utf8FromPath(fs::current_path(error));
        if (error || folder.empty()) {
            return path;
        }
    }
    while (folder.size() > 1 && folder.back() == '/') {
        folder.pop_back();
    }
    const std::string prefix = folder == "/" ? folder : folder + '/';
    std::string absolute = path;
    if (!IsAbsolute(path) || path.starts_with(prefix)) {
        const std::string_view rest =
            std::string_view(path).substr(IsAbsolute(path) ? prefix.size() : 0);
        // Each leading ".." goes up from the folder, which names no link.
        std::string_view below = rest;
        std::string up = folder;
        bool climbed = false;
        for (;;) {
            below.remove_prefix(std::min(below.find_first_not_of('/'), below.size()));
            if (StartsWithPart(below, ".")) {
                below.remove_prefix(1);
            } else if (StartsWithPart(below, "..")) {
                below.remove_prefix(2);
                up = ParentFolder(up);
                climbed = true;
            } else {
                break;
            }
        }
        if (!climbed) {
            return rest.empty() ? path : std::string(rest);
        }
        absolute = (up.ends_with('/') ? up : up + '/') + std::string(below);
        if (absolute.starts_with(prefix)) { // back down, as in ../site/a.html from site
            return absolute.substr(prefix.size());
        }
    }
    return ShorterWithParentSteps(absolute, folder);
}

} // namespace quillstamper
