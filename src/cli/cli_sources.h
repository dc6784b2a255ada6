#pragma once

#include "base/site_definition.h"
#include "cli/report.h"
#include "files/file_collection.h"
#include "files/file_io.h"

#include <cstdint>
#include <string>
#include <vector>

namespace quillstamper::cli {

// Where the lists come from: a project file, or paths and folders given on
// the command line.
struct SourceOptions {
    std::string projectFile;
    std::vector<std::string> webPaths;
    std::vector<std::string> templatePaths;
    // Globs for what folder searches leave out (see MatchesExcludePattern).
    std::vector<std::string> excludePatterns;
    // Larger files, the project file among them, end the command.
    std::uint64_t maxFileBytes = kDefaultMaxFileBytes;
    // Threads that convert pages ahead; 0: one a core.
    unsigned threads = 0;
    // Relative paths above are taken below it, and what is found below it is
    // named relative to it; empty: the current folder.
    std::string workingFolder;
    // A folder given that holds no file yet is waited for (watch), not refused.
    bool waitForFiles = false;
};

// Where a site's lists were read: the folder their relative entries are
// taken below, and the web folders given that hold no web file yet.
struct SiteOrigin {
    std::string baseFolder;
    std::vector<std::string> emptyWebFolders{};
};

// What reading the lists said: warnings (a link left out, a folder waited
// for), and errors, which make the lists unusable (a missing path, a folder
// that gives no file, a refused project file, a file error, one list alone).
struct ListMessages {
    std::vector<ReportMessage> warnings;
    std::vector<ReportMessage> errors;
};

struct LoadedSite {
    SiteDefinition site;
    SiteOrigin origin;
    ListMessages messages;

    bool Usable() const {
        return messages.errors.empty();
    }
};

// Why a folder search left a path out, as the messages say it.
std::string DescribeLeftOut(const LeftOutPath& item);

// The lists that the paths given give. A missing path, or a folder whose
// search gives no file (a wrong folder or --exclude would otherwise pass
// unseen), is a usage error rather than a file error; with waitForFiles such
// a folder is only said. What is said goes to messages. Throws FileError.
ListExpansion ExpandPaths(const std::vector<std::string>& webPaths,
                          const std::vector<std::string>& templatePaths,
                          const std::vector<std::string>& excludePatterns,
                          const std::string& workingFolder, bool waitForFiles,
                          ListMessages& messages);

// The site of a project file, or of the paths given; a file error that ends
// reading is among the errors.
LoadedSite LoadSite(const SourceOptions& options);

} // namespace quillstamper::cli
