#pragma once

#include "base/site_definition.h"
#include "cli/cli_commands.h"
#include "files/file_collection.h"

#include <iosfwd>
#include <optional>
#include <string>
#include <vector>

namespace quillstamper::cli {

// A site to run on, and the folder its relative entries are read below.
struct Sources {
    SiteDefinition site;
    std::string baseFolder;
    // Web folders given that hold no web file yet (see SourceOptions::waitForFiles).
    std::vector<std::string> emptyWebFolders{};
};

// Why a folder search left a path out, as the messages say it.
std::string DescribeLeftOut(const LeftOutPath& item);

// A missing path, or a folder whose search gives no file (a wrong folder or
// --exclude would otherwise pass unseen), is a usage error rather than a
// file, so it is reported here and gives nothing; with waitForFiles such a
// folder is only said. Throws FileError.
std::optional<ListExpansion> ExpandPaths(const std::vector<std::string>& webPaths,
                                         const std::vector<std::string>& templatePaths,
                                         const std::vector<std::string>& excludePatterns,
                                         const std::string& workingFolder, bool waitForFiles,
                                         std::ostream& err);

// Throws FileError; a refused project file or a missing list is reported here and gives
// nothing.
std::optional<Sources> LoadSources(const SourceOptions& options, std::ostream& err);

} // namespace quillstamper::cli
