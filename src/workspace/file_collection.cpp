#include "workspace/file_collection.h"

#include "workspace/file_error.h"

#include <algorithm>
#include <cctype>
#include <filesystem>

namespace quillstamper {

namespace fs = std::filesystem;

namespace {

bool EndsWithNoCase(std::string_view name, std::string_view suffix) {
    if (name.size() < suffix.size()) {
        return false;
    }
    return std::equal(suffix.begin(), suffix.end(), name.end() - suffix.size(), [](char a, char b) {
        return std::tolower(static_cast<unsigned char>(a)) ==
               std::tolower(static_cast<unsigned char>(b));
    });
}

} // namespace

bool IsWebFileName(std::string_view name) {
    return EndsWithNoCase(name, ".htm") || EndsWithNoCase(name, ".html") ||
           EndsWithNoCase(name, ".pl") || EndsWithNoCase(name, ".php");
}

std::vector<std::string> CollectFiles(const std::string& folder, bool webFilesOnly) {
    std::vector<std::string> files;
    std::error_code error;
    if (!fs::is_directory(folder, error)) {
        files.push_back(folder);
        return files;
    }
    fs::recursive_directory_iterator it(folder, fs::directory_options::none, error);
    if (error) {
        throw FileError(folder, "cannot list folder: " + error.message());
    }
    const fs::recursive_directory_iterator end;
    while (it != end) {
        const std::string name = it->path().filename().string();
        std::error_code statusError;
        if (!name.empty() && name.front() == '.') {
            it.disable_recursion_pending();
        } else if (it->is_regular_file(statusError) && (!webFilesOnly || IsWebFileName(name))) {
            files.push_back(it->path().string());
        }
        it.increment(error);
        if (error) {
            throw FileError(folder, "cannot list folder: " + error.message());
        }
    }
    std::sort(files.begin(), files.end());
    return files;
}

} // namespace quillstamper
