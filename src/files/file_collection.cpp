#include "files/file_collection.h"

#include "base/file_error.h"
#include "base/text_encoding.h"
#include "base/utf8_path.h"
#include "files/os_files.h"
#include "files/path_pattern.h"

#include <algorithm>
#include <cctype>
#include <cstdint>
#include <filesystem>
#include <optional>
#include <set>
#include <utility>

namespace quillstamper {

namespace fs = std::filesystem;

namespace {

// Only the first bytes are read: they tell UTF-16 saved without a mark.
// Through the file layer, whose handles let another run rename over the file
// meanwhile (a C runtime's stream does not on Windows).
bool StartsAsUtf16WithoutMark(const std::string& path) {
    const os::Descriptor file = os::OpenForReading(path);
    char head[256];
    const std::int64_t got = file ? os::ReadAt(file, head, sizeof head, 0) : 0;
    const std::string_view bytes(head, static_cast<std::size_t>(std::max<std::int64_t>(got, 0)));
    return FindByteOrderMark(bytes).encoding == TextEncoding::Bytes &&
           LooksLikeUtf16WithoutMark(bytes);
}

bool EndsWithNoCase(std::string_view name, std::string_view suffix) {
    if (name.size() < suffix.size()) {
        return false;
    }
    return std::equal(suffix.begin(), suffix.end(), name.end() - suffix.size(), [](char a, char b) {
        return std::tolower(static_cast<unsigned char>(a)) ==
               std::tolower(static_cast<unsigned char>(b));
    });
}

// Files told apart by the identity the system gives them (device and inode,
// volume and file index), so that every spelling of one file (links, "..",
// "./") is the same.
using FileId = std::pair<std::uint64_t, std::uint64_t>;

std::optional<FileId> IdentifyFile(const std::string& path) {
    const std::optional<os::FileStatus> status = os::StatPath(path);
    if (!status) {
        return std::nullopt;
    }
    return FileId{status->state.identity.device, status->state.identity.inode};
}

bool IsIn(const std::set<FileId>& ids, const std::string& path) {
    if (ids.empty()) {
        return false;
    }
    const std::optional<FileId> id = IdentifyFile(path);
    return id && ids.contains(*id);
}

bool Exists(const std::string& path) {
    std::error_code error;
    const fs::file_status status = fs::status(PathFromUtf8(path), error);
    if (status.type() == fs::file_type::not_found) {
        return false;
    }
    if (error) {
        throw FileError(path, "cannot read: " + error.message());
    }
    return true;
}

bool IsFolder(const std::string& path) {
    std::error_code error;
    return fs::is_directory(PathFromUtf8(path), error);
}

struct FolderSearch {
    const std::vector<std::string>& excludePatterns;
    bool webFilesOnly;
    const std::set<FileId>* templateFiles;   // null: nothing to keep out
    const std::set<FileId>* templateFolders; // null: nothing to keep out
};

const std::string* FindMatchingPattern(const std::vector<std::string>& patterns,
                                       std::string_view relativePath, bool isFolder) {
    for (const std::string& pattern : patterns) {
        if (MatchesExcludePattern(pattern, relativePath, isFolder)) {
            return &pattern;
        }
    }
    return nullptr;
}

// Found paths are folder joined to the path below it, so cutting the folder off
// leaves that path (after the separator, which folder may already end with).
std::string_view PathBelow(const std::string& folder, const std::string& path) {
    std::string_view below(path);
    below.remove_prefix(std::min(folder.size(), below.size()));
    while (below.starts_with('/')) {
        below.remove_prefix(1);
    }
    return below;
}

// True when entry is a link whose file, every link resolved, lies outside
// the folder that canonicalPrefix (ending with '/') names.
bool LinksOutside(const fs::directory_entry& entry, const std::string& canonicalPrefix) {
    std::error_code error;
    if (!entry.is_symlink(error)) {
        return false;
    }
    const fs::path target = fs::canonical(entry.path(), error);
    return error || !Utf8FromPath(target).starts_with(canonicalPrefix);
}

void SearchFolder(const std::string& folder, const FolderSearch& search,
                  std::vector<std::string>& files, std::vector<LeftOutPath>& leftOut) {
    std::vector<std::string> found;
    std::vector<LeftOutPath> kept;
    std::error_code error;
    std::string canonicalPrefix = Utf8FromPath(fs::canonical(PathFromUtf8(folder), error));
    if (error) {
        throw FileError(folder, "cannot list folder: " + error.message());
    }
    if (!canonicalPrefix.ends_with('/')) {
        canonicalPrefix += '/';
    }
    fs::recursive_directory_iterator it(PathFromUtf8(folder), fs::directory_options::none, error);
    if (error) {
        throw FileError(folder, "cannot list folder: " + error.message());
    }
    const fs::recursive_directory_iterator end;
    while (it != end) {
        // With '/' between the names on every system, as the user writes them.
        const std::string path = Utf8FromPath(it->path());
        const std::string name = Utf8FromPath(it->path().filename());
        std::error_code statusError;
        if (!name.empty() && name.front() == '.') {
            it.disable_recursion_pending();
        } else if (it->is_directory(statusError) && !it->is_symlink(statusError)) {
            const std::string* pattern =
                FindMatchingPattern(search.excludePatterns, PathBelow(folder, path), true);
            if (pattern) {
                kept.push_back({path, true, LeftOutReason::Excluded, *pattern});
                it.disable_recursion_pending();
            } else if (search.templateFolders && IsIn(*search.templateFolders, path)) {
                kept.push_back({path, true, LeftOutReason::TemplateFolder, {}});
                it.disable_recursion_pending();
            }
        } else if (it->is_regular_file(statusError) && !IsEditorLeftoverName(name) &&
                   (!search.webFilesOnly || IsWebFileName(name))) {
            const std::string* pattern =
                FindMatchingPattern(search.excludePatterns, PathBelow(folder, path), false);
            if (pattern) {
                kept.push_back({path, false, LeftOutReason::Excluded, *pattern});
            } else if (LinksOutside(*it, canonicalPrefix)) {
                kept.push_back({path, false, LeftOutReason::LinkOutside, {}});
            } else if (search.templateFiles && IsIn(*search.templateFiles, path)) {
                kept.push_back({path, false, LeftOutReason::TemplateFile, {}});
            } else if (StartsAsUtf16WithoutMark(path)) {
                kept.push_back({path, false, LeftOutReason::Utf16WithoutMark, {}});
            } else {
                found.push_back(path);
            }
        }
        it.increment(error);
        if (error) {
            throw FileError(folder, "cannot list folder: " + error.message());
        }
    }
    std::sort(found.begin(), found.end());
    std::sort(kept.begin(), kept.end(),
              [](const LeftOutPath& a, const LeftOutPath& b) { return a.path < b.path; });
    files.insert(files.end(), found.begin(), found.end());
    leftOut.insert(leftOut.end(), kept.begin(), kept.end());
}

} // namespace

bool IsWebFileName(std::string_view name) {
    return EndsWithNoCase(name, ".htm") || EndsWithNoCase(name, ".html") ||
           EndsWithNoCase(name, ".pl") || EndsWithNoCase(name, ".php");
}

bool IsEditorLeftoverName(std::string_view name) {
    if (name == "4913" || name.ends_with('~') ||
        (name.size() >= 2 && name.front() == '#' && name.back() == '#')) {
        return true;
    }
    for (const std::string_view suffix : {".bak", ".orig", ".rej", ".swx"}) {
        if (EndsWithNoCase(name, suffix)) {
            return true;
        }
    }
    // vim counts its swap suffix down from .swp when the name is taken; .swf
    // and below are other programs' files.
    if (name.size() < 4 || !EndsWithNoCase(name.substr(0, name.size() - 1), ".sw")) {
        return false;
    }
    const char last = static_cast<char>(std::tolower(static_cast<unsigned char>(name.back())));
    return last >= 'g' && last <= 'p';
}

bool MatchesExcludePattern(std::string_view pattern, std::string_view relativePath, bool isFolder) {
    if (pattern.ends_with('/')) {
        if (!isFolder) {
            return false;
        }
        pattern.remove_suffix(1);
    }
    const bool wholePath = pattern.find('/') != std::string_view::npos;
    if (pattern.starts_with('/')) {
        pattern.remove_prefix(1);
    }
    std::string_view subject = relativePath;
    if (!wholePath) {
        subject.remove_prefix(subject.find_last_of('/') + 1); // npos + 1 is 0
    }
    return MatchesPathPattern(pattern, subject);
}

ListExpansion ExpandLists(const std::vector<std::string>& webPaths,
                          const std::vector<std::string>& templatePaths,
                          const std::vector<std::string>& excludePatterns) {
    ListExpansion lists;
    for (const auto* paths : {&webPaths, &templatePaths}) {
        for (const std::string& path : *paths) {
            if (!Exists(path)) {
                lists.missingPaths.push_back(path);
            }
        }
    }
    if (!lists.missingPaths.empty()) {
        return lists;
    }

    // Templates first: the web search must know them to keep them out.
    const FolderSearch templateSearch{excludePatterns, false, nullptr, nullptr};
    std::set<FileId> templateFolders;
    for (const std::string& path : templatePaths) {
        if (!IsFolder(path)) {
            lists.templateFiles.push_back(path);
            continue;
        }
        const std::size_t before = lists.templateFiles.size();
        SearchFolder(path, templateSearch, lists.templateFiles, lists.leftOut);
        if (lists.templateFiles.size() == before) {
            lists.emptyTemplateFolders.push_back(path);
        }
        if (const std::optional<FileId> id = IdentifyFile(path)) {
            templateFolders.insert(*id);
        }
    }
    std::set<FileId> templateFiles;
    for (const std::string& path : lists.templateFiles) {
        if (const std::optional<FileId> id = IdentifyFile(path)) {
            templateFiles.insert(*id);
        }
    }

    const FolderSearch webSearch{excludePatterns, true, &templateFiles, &templateFolders};
    for (const std::string& path : webPaths) {
        if (!IsFolder(path)) {
            // Named by the user: kept even when it is a template too.
            lists.webFiles.push_back(path);
            continue;
        }
        const std::size_t before = lists.webFiles.size();
        if (IsIn(templateFolders, path)) {
            // Without trailing separators, like the folders a search finds.
            const std::string folder = path.substr(0, path.find_last_not_of('/') + 1);
            lists.leftOut.push_back(
                {folder.empty() ? path : folder, true, LeftOutReason::TemplateFolder, {}});
        } else {
            SearchFolder(path, webSearch, lists.webFiles, lists.leftOut);
        }
        if (lists.webFiles.size() == before) {
            lists.emptyWebFolders.push_back(path);
        }
    }
    return lists;
}

} // namespace quillstamper
