#pragma once

#include "base/site_definition.h"

#include <optional>
#include <string>
#include <string_view>

namespace CLI {
class App;
}

namespace quillstamper::cli {

// A project's settings as options of the command line (--line-ends,
// --end-lines, --text, --links, --link-base, --current-page): what the user
// gave wins over the project's setting; the rest stays as the project has it.
struct SettingOverrides {
    std::optional<LineEnds> lineEnds;
    std::optional<EndLines> endLines;
    std::optional<TextMode> text;
    std::optional<bool> linksFollowPage;
    std::optional<std::string> linkBase; // absolute
    std::optional<CurrentPageMark> currentPage;
    std::string currentPageClass{};

    void ApplyTo(ProjectSettings& settings) const;
};

// The words the options take, as CLI11 fills them.
struct SettingWords {
    std::string lineEnds;
    std::string endLines;
    std::string text;
    std::string links;
    std::string linkBase;
    std::string currentPage;
};

// Adds the options; withLineEnds for the commands that write (dynamize,
// watch, init); forProject words the help for init, which writes them.
void AddSettingOptions(CLI::App& command, SettingWords& words, bool withLineEnds,
                       bool forProject = false);

// The words given as values; a link base is taken below workingFolder (empty:
// the current folder) and made absolute.
SettingOverrides ParseSettingWords(const SettingWords& words, const std::string& workingFolder);

// "crlf", "lf" or "keep", as the option takes them; nothing for another word.
std::optional<LineEnds> ParseLineEnds(std::string_view word);
std::string_view LineEndsWord(LineEnds lineEnds);
// "own" or "any"; nothing for another word.
std::optional<EndLines> ParseEndLines(std::string_view word);

} // namespace quillstamper::cli
