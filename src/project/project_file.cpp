#include "project/project_file.h"

#include "conversion/line_model.h"
#include "files/atomic_write.h"
#include "files/file_io.h"

#include <algorithm>
#include <cctype>
#include <iterator>
#include <optional>
#include <vector>

namespace quillstamper {

namespace {

constexpr std::string_view kSeparator = "==============================";
constexpr std::string_view kEndOfList = "[EOL]";
constexpr std::string_view kLineEndsKey = "Line ends";
constexpr std::string_view kEndLinesKey = "End lines";
constexpr std::string_view kTextKey = "Text";
constexpr std::string_view kLinksKey = "Links";
constexpr std::string_view kLinkBaseKey = "Link base";
constexpr std::string_view kCurrentPageKey = "Current page";

std::string_view TrimBlanks(std::string_view text) {
    const std::size_t first = text.find_first_not_of(" \t");
    if (first == std::string_view::npos) {
        return {};
    }
    return text.substr(first, text.find_last_not_of(" \t") - first + 1);
}

bool EqualsIgnoringCase(std::string_view a, std::string_view b) {
    return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
               return std::tolower(static_cast<unsigned char>(x)) ==
                      std::tolower(static_cast<unsigned char>(y));
           });
}

// One "Key: value" line after the marker table. The values are compared in
// any case and with blanks around, as people type them.
struct SettingLine {
    std::string_view key;
    std::string_view value;
};

std::optional<SettingLine> SplitSetting(std::string_view line) {
    const std::size_t colon = line.find(':');
    if (colon == std::string_view::npos) {
        return std::nullopt;
    }
    return SettingLine{TrimBlanks(line.substr(0, colon)), TrimBlanks(line.substr(colon + 1))};
}

std::optional<LineEnds> ParseLineEndsValue(std::string_view value) {
    if (EqualsIgnoringCase(value, "CR LF")) {
        return LineEnds::CrLf;
    }
    if (EqualsIgnoringCase(value, "LF")) {
        return LineEnds::Lf;
    }
    if (EqualsIgnoringCase(value, "keep")) {
        return LineEnds::Keep;
    }
    return std::nullopt;
}

std::optional<EndLines> ParseEndLinesValue(std::string_view value) {
    if (EqualsIgnoringCase(value, "own")) {
        return EndLines::Own;
    }
    if (EqualsIgnoringCase(value, "any")) {
        return EndLines::Any;
    }
    return std::nullopt;
}

std::optional<TextMode> ParseTextValue(std::string_view value) {
    if (EqualsIgnoringCase(value, "convert")) {
        return TextMode::Convert;
    }
    if (EqualsIgnoringCase(value, "bytes")) {
        return TextMode::Bytes;
    }
    return std::nullopt;
}

std::optional<bool> ParseLinksValue(std::string_view value) {
    if (EqualsIgnoringCase(value, "relative to each page") ||
        EqualsIgnoringCase(value, "relative")) {
        return true;
    }
    if (EqualsIgnoringCase(value, "as written")) {
        return false;
    }
    return std::nullopt;
}

// "none", "aria-current" or "class NAME".
bool ReadCurrentPage(std::string_view value, ProjectSettings& settings) {
    if (EqualsIgnoringCase(value, "none")) {
        settings.currentPage = CurrentPageMark::None;
        return true;
    }
    if (EqualsIgnoringCase(value, "aria-current")) {
        settings.currentPage = CurrentPageMark::AriaCurrent;
        return true;
    }
    if (value.size() > 6 && EqualsIgnoringCase(value.substr(0, 6), "class ")) {
        const std::string_view name = TrimBlanks(value.substr(6));
        if (!name.empty() && name.find_first_of(" \t\"'<>") == std::string_view::npos) {
            settings.currentPage = CurrentPageMark::Class;
            settings.currentPageClass = std::string(name);
            return true;
        }
    }
    return false;
}

// A setting line's key, what its values are (for a refusal), and how a
// value sets it; false for a value it does not take.
struct SettingReader {
    std::string_view key;
    std::string_view values;
    bool (*read)(std::string_view value, ProjectSettings& settings);
};

template <typename Value> bool Assign(const std::optional<Value>& value, Value& setting) {
    if (value) {
        setting = *value;
    }
    return value.has_value();
}

constexpr SettingReader kSettingReaders[] = {
    {kLineEndsKey, "line ends are CR LF, LF or keep",
     [](std::string_view value, ProjectSettings& settings) {
         return Assign(ParseLineEndsValue(value), settings.lineEnds);
     }},
    {kEndLinesKey, "end lines are own or any",
     [](std::string_view value, ProjectSettings& settings) {
         return Assign(ParseEndLinesValue(value), settings.endLines);
     }},
    {kTextKey, "text is convert or bytes",
     [](std::string_view value, ProjectSettings& settings) {
         return Assign(ParseTextValue(value), settings.text);
     }},
    {kLinksKey, "links are as written or relative to each page",
     [](std::string_view value, ProjectSettings& settings) {
         return Assign(ParseLinksValue(value), settings.linksFollowPage);
     }},
    {kLinkBaseKey, "the link base is a folder",
     [](std::string_view value, ProjectSettings& settings) {
         settings.linkBase = std::string(value);
         return !value.empty();
     }},
    {kCurrentPageKey, "the current page is none, aria-current or class NAME", ReadCurrentPage},
};

std::string BadSettingMessage(std::size_t lineNumber, std::string_view line,
                              std::string_view expected) {
    return "Line " + std::to_string(lineNumber) + " of the project file, \"" + std::string(line) +
           "\", is not understood: " + std::string(expected) + ". The project file was not loaded.";
}

} // namespace

std::string FormatProjectFile(const SiteDefinition& data) {
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
    // Each setting only when it differs from the default, so that a project
    // without them stays what older versions wrote and read.
    std::vector<std::string> settings;
    if (data.settings.lineEnds != LineEnds::CrLf) {
        settings.push_back(std::string(kLineEndsKey) + ": " +
                           (data.settings.lineEnds == LineEnds::Lf ? "LF" : "keep"));
    }
    if (data.settings.endLines != EndLines::Own) {
        settings.push_back(std::string(kEndLinesKey) + ": any");
    }
    if (data.settings.text != TextMode::Convert) {
        settings.push_back(std::string(kTextKey) + ": bytes");
    }
    if (data.settings.linksFollowPage) {
        settings.push_back(std::string(kLinksKey) + ": relative to each page");
    }
    if (!data.settings.linkBase.empty()) {
        settings.push_back(std::string(kLinkBaseKey) + ": " + data.settings.linkBase);
    }
    if (data.settings.currentPage == CurrentPageMark::AriaCurrent) {
        settings.push_back(std::string(kCurrentPageKey) + ": aria-current");
    } else if (data.settings.currentPage == CurrentPageMark::Class) {
        settings.push_back(std::string(kCurrentPageKey) + ": class " +
                           data.settings.currentPageClass);
    }
    lines.insert(lines.end(), settings.begin(), settings.end());
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
    SiteDefinition data;
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
    // Lines of later versions that this one does not know are passed over;
    // a known setting with a value it cannot take refuses the file, since a
    // run with another setting than the user chose could rewrite every page.
    // The first line of each known setting counts.
    std::vector<bool> seen(std::size(kSettingReaders), false);
    for (; next < lines.size(); ++next) {
        const std::optional<SettingLine> setting = SplitSetting(lines[next]);
        if (!setting) {
            continue;
        }
        for (std::size_t k = 0; k < std::size(kSettingReaders); ++k) {
            const SettingReader& reader = kSettingReaders[k];
            if (seen[k] || !EqualsIgnoringCase(setting->key, reader.key)) {
                continue;
            }
            seen[k] = true;
            if (!reader.read(setting->value, data.settings)) {
                result.status = ProjectParseResult::Status::BadSetting;
                result.message = BadSettingMessage(next + 1, lines[next], reader.values);
                return result;
            }
        }
    }
    result.status = ProjectParseResult::Status::Loaded;
    result.data = std::move(data);
    return result;
}

ProjectParseResult ReadProjectFile(const std::string& path, std::uint64_t maxFileBytes) {
    return ParseProjectFile(ReadFileBytes(path, maxFileBytes));
}

void WriteProjectFile(const std::string& path, const SiteDefinition& data) {
    WriteFileAtomic(path, FormatProjectFile(data));
}

} // namespace quillstamper
