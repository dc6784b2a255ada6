#include "project/project_file.h"

#include "conversion/atomic_write.h"
#include "conversion/file_io.h"
#include "conversion/line_model.h"

namespace quillstamper {

namespace {

constexpr std::string_view kSeparator = "==============================";
constexpr std::string_view kEndOfList = "[EOL]";
constexpr std::string_view kLineEndsKey = "Line ends: ";

} // namespace

std::string FormatProjectFile(const ProjectData& data) {
    LineViews lines;
    lines.reserve(data.webFiles.size() + data.templateFiles.size() + 14);
    lines.push_back(kProjectHeader);
    lines.push_back(kSeparator);
    lines.push_back({});
    lines.insert(lines.end(), data.webFiles.begin(), data.webFiles.end());
    lines.push_back(kEndOfList);
    lines.insert(lines.end(), data.templateFiles.begin(), data.templateFiles.end());
    lines.push_back(kEndOfList);
    lines.insert(lines.end(), data.identifiers.begin(), data.identifiers.end());
    lines.push_back(kEndOfList);
    std::string lineEnds;
    if (data.lineEnds != LineEnds::CrLf) {
        lineEnds = std::string(kLineEndsKey) + (data.lineEnds == LineEnds::Lf ? "LF" : "keep");
        lines.push_back(lineEnds);
    }
    return JoinLines(lines);
}

ProjectParseResult ParseProjectFile(std::string_view bytes) {
    const LineViews lines = SplitLines(bytes);
    ProjectParseResult result;
    if (lines.empty() || lines[0] != kProjectHeader) {
        result.status = ProjectParseResult::Status::NotAProject;
        result.message = std::string(kNotAProjectMessage);
        return result;
    }
    // Lines 2 and 3 are not looked at.
    std::size_t next = 3;
    const auto readList = [&](FileList& list) {
        while (next < lines.size()) {
            const std::string_view line = lines[next++];
            if (line == kEndOfList) {
                return true;
            }
            list.emplace_back(line);
        }
        return false;
    };
    ProjectData data;
    if (!readList(data.webFiles)) {
        result.status = ProjectParseResult::Status::Truncated;
        result.message = "The project file ends inside its list of web files: it is incomplete and "
                         "was not loaded.";
        return result;
    }
    if (!readList(data.templateFiles)) {
        result.status = ProjectParseResult::Status::Truncated;
        result.message = "The project file ends inside its list of template files: it is "
                         "incomplete and was not loaded.";
        return result;
    }
    for (std::string& identifier : data.identifiers) {
        identifier = next < lines.size() ? std::string(lines[next++]) : std::string();
    }
    for (; next < lines.size(); ++next) {
        if (lines[next].substr(0, kLineEndsKey.size()) == kLineEndsKey) {
            const std::string_view value = lines[next].substr(kLineEndsKey.size());
            data.lineEnds = value == "LF"     ? LineEnds::Lf
                            : value == "keep" ? LineEnds::Keep
                                              : LineEnds::CrLf;
            break;
        }
    }
    result.status = ProjectParseResult::Status::Loaded;
    result.data = std::move(data);
    return result;
}

ProjectParseResult ReadProjectFile(const std::string& path, std::uint64_t maxFileBytes) {
    return ParseProjectFile(ReadFileBytes(path, maxFileBytes));
}

void WriteProjectFile(const std::string& path, const ProjectData& data) {
    WriteFileAtomic(path, FormatProjectFile(data));
}

} // namespace quillstamper
