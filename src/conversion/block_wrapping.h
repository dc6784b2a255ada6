#pragma once

#include "base/site_definition.h"
#include "conversion/compared_site.h"
#include "conversion/repeated_parts.h"

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace quillstamper {

// The customary marker lines of a block: "<!-- Trelvonix menu -->" and
// "<!-- Trelvonix menu end -->" with pair 1, "# Trelvonix menu" and
// "# Trelvonix menu end -->" with pair 2. Nothing when the pair has no start
// identifier or the name would not make a start line.
struct BlockMarkers {
    std::string start;
    std::string end;
};
std::optional<BlockMarkers> MarkersOf(std::string_view name, int pair,
                                      const IdentifierTable& identifiers);

// Letters, digits, '-', '_', '.' and ':', so that a name is one word in every
// comment syntax.
bool IsValidBlockName(std::string_view name);

// The pair a page's blocks take by custom: 2 for .pl files, else 1 (.htm,
// .html, .php and the rest).
int CustomaryPair(std::string_view path);

// New bytes for one web file, in its own encoding.
struct FileChange {
    std::size_t page = 0;
    std::string bytes;
    std::size_t blocks = 0; // wrapped or unwrapped in it
};

struct WrapRequest {
    std::string name;
    PageRange source; // the lines whose content the block takes
    int pair = 0;     // zero: each page's customary pair
    bool variants = false;
};

struct WrapPlan {
    std::string error{};               // why nothing can be wrapped; empty when the plan stands
    std::vector<FileChange> changes{}; // in page order
    PartCopies copies{};               // the variants among them only with WrapRequest::variants
    std::vector<std::size_t> pagesWithout{};
    std::vector<std::string> content{}; // the block's lines, links as written from the link base
    std::string lineBreak{};            // of the page the content comes from
    std::vector<int> pairs{};           // those the pages take, each once
};

// Where each copy of the source lines gets a start line and an end line, at
// column 0 and with its page's own line ends.
WrapPlan PlanWrap(const ComparedSite& site, const std::vector<SitePage>& pages,
                  const WrapRequest& request);

// A template file's text with the plan's block appended once for each pair
// the pages take; templateText is empty for a new file.
std::string AppendTemplateBlocks(std::string_view templateText, const WrapPlan& plan,
                                 std::string_view name, const IdentifierTable& identifiers);

// Whether text holds a start line of block name, in any pair.
bool HoldsBlock(std::string_view text, std::string_view name, const IdentifierTable& identifiers);

// text without the marker lines of block name (withContent: without its
// content either), where an end line closes it; blocks counts them. Nothing
// when there is none.
std::optional<std::string> UnwrapBlock(std::string_view text, std::string_view name,
                                       const IdentifierTable& identifiers, EndLines endLines,
                                       bool withContent, std::size_t* blocks = nullptr);

} // namespace quillstamper
