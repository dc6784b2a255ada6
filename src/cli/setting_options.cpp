#include "cli/setting_options.h"

#include "base/path_resolution.h"
#include "files/recovery_store.h"

#include <CLI/CLI.hpp>

namespace quillstamper::cli {

namespace {

// A word for each value, as the options and the help name them.
template <typename Value, std::size_t N>
std::optional<Value> Lookup(const std::pair<const char*, Value> (&words)[N],
                            std::string_view word) {
    for (const auto& [name, value] : words) {
        if (word == name) {
            return value;
        }
    }
    return std::nullopt;
}

constexpr std::pair<const char*, LineEnds> kLineEndsWords[] = {
    {"crlf", LineEnds::CrLf}, {"lf", LineEnds::Lf}, {"keep", LineEnds::Keep}};
constexpr std::pair<const char*, EndLines> kEndLinesWords[] = {{"own", EndLines::Own},
                                                               {"any", EndLines::Any}};
constexpr std::pair<const char*, TextMode> kTextWords[] = {{"convert", TextMode::Convert},
                                                           {"bytes", TextMode::Bytes}};
constexpr std::pair<const char*, bool> kLinksWords[] = {{"as-written", false}, {"relative", true}};

// "class=NAME" names a class without blanks or quotes.
std::string ClassOf(std::string_view word) {
    if (!word.starts_with("class=") || word.size() == 6) {
        return {};
    }
    const std::string_view name = word.substr(6);
    return name.find_first_of(" \t\"'<>") == std::string_view::npos ? std::string(name)
                                                                    : std::string();
}

std::string CheckCurrentPage(const std::string& word) {
    if (word == "none" || word == "aria-current" || !ClassOf(word).empty()) {
        return {};
    }
    return "give none, aria-current or class=NAME";
}

} // namespace

void SettingOverrides::ApplyTo(ProjectSettings& settings) const {
    settings.lineEnds = lineEnds.value_or(settings.lineEnds);
    settings.endLines = endLines.value_or(settings.endLines);
    settings.text = text.value_or(settings.text);
    settings.linksFollowPage = linksFollowPage.value_or(settings.linksFollowPage);
    settings.linkBase = linkBase.value_or(settings.linkBase);
    if (currentPage) {
        settings.currentPage = *currentPage;
        settings.currentPageClass = currentPageClass;
    }
}

void AddSettingOptions(CLI::App& command, SettingWords& words, bool withLineEnds, bool forProject) {
    const std::string whose = forProject ? "the project's " : "";
    if (withLineEnds) {
        command
            .add_option("--line-ends", words.lineEnds,
                        forProject ? "the project's line ends: crlf, lf, or keep each page's own "
                                     "(the default)"
                                   : "how written lines end: crlf, lf, or keep each page's own "
                                     "(the default without a project; a project's setting "
                                     "otherwise)")
            ->type_name("crlf|lf|keep")
            ->check(CLI::IsMember({"crlf", "lf", "keep"}).description(""));
    }
    command
        .add_option("--end-lines", words.endLines,
                    forProject ? "the project's end lines: own (the default) or any (see "
                                 "dynamize --help)"
                               : "which end line closes a block: own, only one of its pair that "
                                 "names no other block (the default without a project), or any "
                                 "line ending with the end identifier")
        ->type_name("own|any")
        ->check(CLI::IsMember({"own", "any"}).description(""));
    command
        .add_option("--text", words.text,
                    whose + "template text in another charset than the page's: convert it into "
                            "the page's (the default), or copy its bytes as they are")
        ->type_name("convert|bytes")
        ->check(CLI::IsMember({"convert", "bytes"}).description(""));
    command
        .add_option("--links", words.links,
                    whose + "relative links in template text: as-written (the default), or "
                            "relative: written from the link base, rewritten for each page's "
                            "folder")
        ->type_name("as-written|relative")
        ->check(CLI::IsMember({"as-written", "relative"}).description(""));
    command
        .add_option("--link-base", words.linkBase,
                    whose + "the folder template links are written from (default: the project "
                            "file's folder, or the current one)")
        ->type_name("DIR");
    command
        .add_option("--current-page", words.currentPage,
                    whose + "mark a page's own link in inserted menus: none (the default), "
                            "aria-current, or class=NAME")
        ->type_name("none|aria-current|class=NAME")
        ->check(CLI::Validator(CheckCurrentPage, ""));
}

SettingOverrides ParseSettingWords(const SettingWords& words, const std::string& workingFolder) {
    SettingOverrides overrides;
    overrides.lineEnds = Lookup(kLineEndsWords, words.lineEnds);
    overrides.endLines = Lookup(kEndLinesWords, words.endLines);
    overrides.text = Lookup(kTextWords, words.text);
    overrides.linksFollowPage = Lookup(kLinksWords, words.links);
    if (!words.linkBase.empty()) {
        overrides.linkBase = AbsolutePath(ResolvePath(words.linkBase, workingFolder));
    }
    if (words.currentPage == "none") {
        overrides.currentPage = CurrentPageMark::None;
    } else if (words.currentPage == "aria-current") {
        overrides.currentPage = CurrentPageMark::AriaCurrent;
    } else if (const std::string name = ClassOf(words.currentPage); !name.empty()) {
        overrides.currentPage = CurrentPageMark::Class;
        overrides.currentPageClass = name;
    }
    return overrides;
}

std::optional<LineEnds> ParseLineEnds(std::string_view word) {
    return Lookup(kLineEndsWords, word);
}

std::string_view LineEndsWord(LineEnds lineEnds) {
    for (const auto& [name, value] : kLineEndsWords) {
        if (value == lineEnds) {
            return name;
        }
    }
    return {};
}

std::optional<EndLines> ParseEndLines(std::string_view word) {
    return Lookup(kEndLinesWords, word);
}

} // namespace quillstamper::cli
