#include "cli/report.h"

#include "base/path_resolution.h"

namespace quillstamper::cli {

std::string RunReport::NameOf(const std::string& file) const {
    return NameFromWorkingFolder(file, workingFolder);
}

std::string RunReport::NameOf(const ReportFile& file) const {
    return NameOf(PathOf(file));
}

std::string RunReport::PathOf(const ReportFile& file) const {
    return ResolvePath(file.entry, baseFolder);
}

} // namespace quillstamper::cli
