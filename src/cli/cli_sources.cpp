#include "cli/cli_sources.h"

#include "base/file_error.h"
#include "base/path_resolution.h"
#include "base/quote_path.h"
#include "base/text_encoding.h"
#include "base/utf8_path.h"
#include "cli/report_content.h"
#include "project/project_file.h"

#include <algorithm>
#include <filesystem>

namespace quillstamper::cli {

std::string DescribeLeftOut(const LeftOutPath& item) {
    switch (item.reason) {
    case LeftOutReason::TemplateFile:
        return "it is a template file";
    case LeftOutReason::TemplateFolder:
        return "it is a template folder";
    case LeftOutReason::LinkOutside:
        return "link to outside the folder";
    case LeftOutReason::Utf16WithoutMark:
        return std::string(kUtf16WithoutMarkCause);
    case LeftOutReason::Excluded:
        break;
    }
    return "matches --exclude " + item.pattern;
}

namespace {

using Kind = ReportMessage::Kind;

std::vector<std::string> ResolvePaths(const std::vector<std::string>& paths,
                                      const std::string& workingFolder) {
    std::vector<std::string> resolved;
    resolved.reserve(paths.size());
    for (const std::string& path : paths) {
        resolved.push_back(ResolvePath(path, workingFolder));
    }
    return resolved;
}

// Paths below the working folder are printed and kept as relative to it, the
// way they would be given when it is the current folder.
void NameBelowWorkingFolder(ListExpansion& lists, const std::string& workingFolder) {
    if (workingFolder.empty()) {
        return;
    }
    const std::string prefix = workingFolder.ends_with('/') ? workingFolder : workingFolder + '/';
    const auto nameBelow = [&prefix](std::string& path) {
        if (path.starts_with(prefix)) {
            path.erase(0, prefix.size());
        }
    };
    for (FileList* list : {&lists.webFiles, &lists.templateFiles, &lists.missingPaths,
                           &lists.emptyWebFolders, &lists.emptyTemplateFolders}) {
        std::for_each(list->begin(), list->end(), nameBelow);
    }
    for (LeftOutPath& item : lists.leftOut) {
        nameBelow(item.path);
    }
}

// The messages below name their path inside the message, as they always
// have in every format: they are about what was given, not about a file read.
ReportMessage UsageError(const std::string& path, std::string_view what) {
    return {{}, QuotePath(path) + ": " + std::string(what), {}, Kind::Ending};
}

void LoadProject(const SourceOptions& options, LoadedSite& loaded) {
    const std::string projectPath = ResolvePath(options.projectFile, options.workingFolder);
    // A mistyped name, as for the paths given with --web and --template.
    std::error_code error;
    if (std::filesystem::status(PathFromUtf8(projectPath), error).type() ==
        std::filesystem::file_type::not_found) {
        loaded.messages.errors.push_back(UsageError(options.projectFile, "no such file or folder"));
        return;
    }
    ProjectParseResult parsed = ReadProjectFile(projectPath, options.maxFileBytes);
    if (parsed.status != ProjectParseResult::Status::Loaded) {
        loaded.messages.errors.push_back(UsageError(options.projectFile, parsed.message));
        return;
    }
    loaded.site = std::move(parsed.data);
    loaded.origin.baseFolder = ParentFolder(projectPath);
}

void LoadGivenLists(const SourceOptions& options, LoadedSite& loaded) {
    ListExpansion lists =
        ExpandPaths(options.webPaths, options.templatePaths, options.excludePatterns,
                    options.workingFolder, options.waitForFiles, loaded.messages);
    if (!loaded.Usable()) {
        return;
    }
    // Pages named on the command line are most likely kept in git: keep.
    loaded.site = {std::move(lists.webFiles),
                   std::move(lists.templateFiles),
                   DefaultIdentifiers(),
                   {LineEnds::Keep}};
    loaded.origin = {options.workingFolder, std::move(lists.emptyWebFolders)};
    // Both lists belong on the command line; one alone is the missing-files message.
    if (options.webPaths.empty() != options.templatePaths.empty()) {
        loaded.messages.errors.push_back(
            {{},
             FormatMissingLists(loaded.site.webFiles.size(), loaded.site.templateFiles.size()),
             {},
             Kind::EmptyList});
    }
}

} // namespace

ListExpansion ExpandPaths(const std::vector<std::string>& webPaths,
                          const std::vector<std::string>& templatePaths,
                          const std::vector<std::string>& excludePatterns,
                          const std::string& workingFolder, bool waitForFiles,
                          ListMessages& messages) {
    ListExpansion lists = ExpandLists(ResolvePaths(webPaths, workingFolder),
                                      ResolvePaths(templatePaths, workingFolder), excludePatterns);
    NameBelowWorkingFolder(lists, workingFolder);
    for (const std::string& path : lists.missingPaths) {
        messages.errors.push_back(UsageError(path, "no such file or folder"));
    }
    if (!lists.missingPaths.empty()) {
        return lists;
    }
    const std::pair<const FileList*, std::string_view> emptyFolders[] = {
        {&lists.emptyWebFolders, "no web file below this folder"},
        {&lists.emptyTemplateFolders, "no file below this folder"}};
    for (const auto& [folders, what] : emptyFolders) {
        for (const std::string& path : *folders) {
            if (waitForFiles) {
                messages.warnings.push_back(
                    {{},
                     QuotePath(path) + ": " + std::string(what) + " yet; waiting for one",
                     {},
                     Kind::Listing});
            } else {
                messages.errors.push_back(UsageError(path, what));
            }
        }
    }
    if (!messages.errors.empty()) {
        return lists;
    }
    for (const LeftOutPath& item : lists.leftOut) {
        if (item.reason == LeftOutReason::LinkOutside ||
            item.reason == LeftOutReason::Utf16WithoutMark) {
            messages.warnings.push_back(
                {{},
                 "skipped " + QuotePath(item.path) + ": " + DescribeLeftOut(item),
                 {},
                 Kind::Listing});
        }
    }
    return lists;
}

LoadedSite LoadSite(const SourceOptions& options) {
    LoadedSite loaded;
    try {
        if (options.projectFile.empty()) {
            LoadGivenLists(options, loaded);
        } else {
            LoadProject(options, loaded);
        }
    } catch (const FileError& error) {
        loaded.messages.errors.push_back(DescribeFileError(error));
    }
    return loaded;
}

} // namespace quillstamper::cli
