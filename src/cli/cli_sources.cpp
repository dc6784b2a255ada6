#include "cli/cli_sources.h"

#include "base/path_resolution.h"
#include "base/quote_path.h"
#include "base/text_encoding.h"
#include "cli/report_content.h"
#include "conversion/conversion_run.h"
#include "project/project_file.h"

#include <algorithm>
#include <filesystem>
#include <ostream>

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

} // namespace

std::optional<ListExpansion> ExpandPaths(const std::vector<std::string>& webPaths,
                                         const std::vector<std::string>& templatePaths,
                                         const std::vector<std::string>& excludePatterns,
                                         const std::string& workingFolder, bool waitForFiles,
                                         std::ostream& err) {
    ListExpansion lists = ExpandLists(ResolvePaths(webPaths, workingFolder),
                                      ResolvePaths(templatePaths, workingFolder), excludePatterns);
    NameBelowWorkingFolder(lists, workingFolder);
    for (const std::string& path : lists.missingPaths) {
        err << kProgram << ": " << QuotePath(path) << ": no such file or folder\n";
    }
    if (!lists.missingPaths.empty()) {
        return std::nullopt;
    }
    const std::pair<const FileList*, const char*> emptyFolders[] = {
        {&lists.emptyWebFolders, "no web file below this folder"},
        {&lists.emptyTemplateFolders, "no file below this folder"}};
    for (const auto& [folders, what] : emptyFolders) {
        for (const std::string& path : *folders) {
            err << (waitForFiles ? "" : std::string(kProgram) + ": ") << QuotePath(path) << ": "
                << what << (waitForFiles ? " yet; waiting for one" : "") << '\n';
        }
    }
    if (!waitForFiles && !(lists.emptyWebFolders.empty() && lists.emptyTemplateFolders.empty())) {
        return std::nullopt;
    }
    for (const LeftOutPath& item : lists.leftOut) {
        if (item.reason == LeftOutReason::LinkOutside ||
            item.reason == LeftOutReason::Utf16WithoutMark) {
            err << "skipped " << QuotePath(item.path) << ": " << DescribeLeftOut(item) << '\n';
        }
    }
    return lists;
}

std::optional<Sources> LoadSources(const SourceOptions& options, std::ostream& err) {
    if (!options.projectFile.empty()) {
        const std::string projectPath = ResolvePath(options.projectFile, options.workingFolder);
        // A mistyped name, as for the paths given with --web and --template.
        std::error_code error;
        if (std::filesystem::status(projectPath, error).type() ==
            std::filesystem::file_type::not_found) {
            err << kProgram << ": " << QuotePath(options.projectFile)
                << ": no such file or folder\n";
            return std::nullopt;
        }
        ProjectParseResult parsed = ReadProjectFile(projectPath, options.maxFileBytes);
        if (parsed.status != ProjectParseResult::Status::Loaded) {
            err << kProgram << ": " << QuotePath(options.projectFile) << ": " << parsed.message
                << '\n';
            return std::nullopt;
        }
        return Sources{std::move(parsed.data), ParentFolder(projectPath)};
    }
    std::optional<ListExpansion> lists =
        ExpandPaths(options.webPaths, options.templatePaths, options.excludePatterns,
                    options.workingFolder, options.waitForFiles, err);
    if (!lists) {
        return std::nullopt;
    }
    // Pages named on the command line are most likely kept in git: keep.
    Sources sources{{std::move(lists->webFiles), std::move(lists->templateFiles),
                     DefaultIdentifiers(), LineEnds::Keep},
                    options.workingFolder,
                    std::move(lists->emptyWebFolders)};
    // Both lists belong on the command line; one alone is the missing-files message.
    if (options.webPaths.empty() != options.templatePaths.empty()) {
        err << FormatMissingLists(sources.site.webFiles.size(), sources.site.templateFiles.size())
            << '\n';
        return std::nullopt;
    }
    return sources;
}

} // namespace quillstamper::cli
