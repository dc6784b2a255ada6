#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace quillstamper {

// True for names ending in .htm, .html, .pl or .php, in any case.
bool IsWebFileName(std::string_view name);

// True for what editors and merge tools leave beside a file: backups (NAME~,
// NAME.bak, NAME.orig, NAME.rej), autosaves (#NAME#), vim's swap files
// (NAME.swp, .swo ... .swg, .swx) and its write test 4913. Suffixes in any
// case. Half-typed or stale, such a file is never a template or a page.
bool IsEditorLeftoverName(std::string_view name);

enum class LeftOutReason {
    TemplateFile,    // a web folder holds a file that is also in the template list
    TemplateFolder,  // a web folder holds (or is) a folder given as templates
    Excluded,        // its path matches an exclude pattern
    LinkOutside,     // a link to a file outside the searched folder
    Utf16WithoutMark // text in UTF-16 saved without a byte-order mark, which is not guessed
};

// A file or folder that a folder search found but kept out of a list.
struct LeftOutPath {
    std::string path; // as found: the given folder joined with the path below it
    bool isFolder = false;
    LeftOutReason reason = LeftOutReason::Excluded;
    std::string pattern; // the matching exclude pattern
};

struct ListExpansion {
    std::vector<std::string> webFiles;
    std::vector<std::string> templateFiles;
    std::vector<LeftOutPath> leftOut;
    // Given paths that do not exist; when there are any, nothing else is filled.
    std::vector<std::string> missingPaths;
    // Given folders whose search gave no file, as given.
    std::vector<std::string> emptyWebFolders;
    std::vector<std::string> emptyTemplateFolders;
};

// True when an exclude pattern matches a path below a searched folder: a
// pattern without '/' is matched against the last name of the path (at any
// depth), one with '/' against the whole path, with MatchesPathPattern ('*'
// not crossing '/'); a leading '/' only anchors, a trailing '/' limits the
// pattern to folders.
bool MatchesExcludePattern(std::string_view pattern, std::string_view relativePath, bool isFolder);

// The web and template lists for the given paths. A file stands as given; a
// folder gives, in byte order, the files below it: web files only
// (IsWebFileName) for webPaths, every file for templatePaths. Hidden files
// and folders and editors' leftover files (IsEditorLeftoverName) are
// skipped, links to files count when the file, all links
// resolved, lies inside the searched folder (others are left out), links to
// folders are not followed, and what matches an exclude pattern is left out
// (a matching folder is not searched). A web folder search also leaves out the files of
// the template list, whatever their spelling, and the template folders. Files
// whose first bytes are UTF-16 without a byte-order mark are left out.
// Throws FileError when a folder cannot be listed.
ListExpansion ExpandLists(const std::vector<std::string>& webPaths,
                          const std::vector<std::string>& templatePaths,
                          const std::vector<std::string>& excludePatterns);

} // namespace quillstamper
