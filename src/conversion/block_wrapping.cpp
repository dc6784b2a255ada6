#include "conversion/block_wrapping.h"

#include "conversion/file_text.h"
#include "conversion/markers.h"

#include <algorithm>
#include <cctype>

namespace quillstamper {

namespace {

std::string_view FirstLineBreak(std::string_view text, const LineViews& lines) {
    for (const std::string_view line : lines) {
        const std::string_view lineBreak = LineBreakAfter(line, text);
        if (!lineBreak.empty()) {
            return lineBreak;
        }
    }
    return "\n";
}

// text with a start line before and an end line after each range (line
// indexes, in order), with the page's own line ends.
std::string InsertMarkers(std::string_view text, const std::vector<PageRange>& ranges,
                          const BlockMarkers& markers) {
    const LineViews lines = SplitLines(text);
    const std::string_view pageBreak = FirstLineBreak(text, lines);
    std::string out;
    out.reserve(text.size() + ranges.size() * (markers.start.size() + markers.end.size() + 4));
    std::size_t next = 0;
    for (std::size_t i = 0; i < lines.size(); ++i) {
        const std::string_view lineBreak = LineBreakAfter(lines[i], text);
        if (next < ranges.size() && ranges[next].first == i) {
            out.append(markers.start).append(lineBreak.empty() ? pageBreak : lineBreak);
        }
        out.append(lines[i]);
        if (next < ranges.size() && ranges[next].last == i) {
            out.append(lineBreak.empty() ? pageBreak : lineBreak).append(markers.end);
            ++next;
        }
        out.append(lineBreak);
    }
    return out;
}

} // namespace

bool IsValidBlockName(std::string_view name) {
    return !name.empty() && name != "end" && std::all_of(name.begin(), name.end(), [](char c) {
        return std::isalnum(static_cast<unsigned char>(c)) || c == '-' || c == '_' || c == '.' ||
               c == ':';
    });
}

std::optional<BlockMarkers> MarkersOf(std::string_view name, int pair,
                                      const IdentifierTable& identifiers) {
    const std::string& startId = identifiers.StartId(pair);
    const std::string& endId = identifiers.EndId(pair);
    if (startId.empty() || !IsValidBlockName(name)) {
        return std::nullopt;
    }
    // An HTML comment is closed on the start line too; other comments run
    // to the line's end.
    std::string start = startId + std::string(name);
    if (startId.starts_with("<!--")) {
        start += " -->";
    }
    if (!IsStartLine(start, startId, endId)) {
        return std::nullopt;
    }
    std::string_view stem = BlockStem(start);
    while (!stem.empty() && (stem.back() == ' ' || stem.back() == '\t')) {
        stem.remove_suffix(1);
    }
    return BlockMarkers{start, std::string(stem) + endId};
}

int CustomaryPair(std::string_view path) {
    std::string lower;
    for (const char c : path.substr(path.size() >= 3 ? path.size() - 3 : 0)) {
        lower += static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    }
    return lower == ".pl" ? 2 : 1;
}

WrapPlan PlanWrap(const ComparedSite& site, const std::vector<SitePage>& pages,
                  const WrapRequest& request) {
    WrapPlan plan;
    const PageRange& source = request.source;
    const ComparedPage& sourcePage = site.Pages()[source.page];
    if (source.first > source.last || source.last >= sourcePage.lines.size()) {
        plan.error = "the page has " + std::to_string(sourcePage.lines.size()) + " lines";
        return plan;
    }
    const std::optional<std::vector<std::uint64_t>> keys = site.KeysOf(source);
    if (!keys) {
        plan.error = "those lines stand inside a block";
        return plan;
    }
    if (keys->empty()) {
        plan.error = "those lines are blank";
        return plan;
    }
    plan.copies = FindCopies(site, *keys, request.variants);
    const auto inSource = std::find_if(
        plan.copies.exact.begin(), plan.copies.exact.end(), [&](const PageRange& copy) {
            return copy.page == source.page && copy.first >= source.first;
        });
    if (inSource == plan.copies.exact.end()) {
        plan.error = "those lines stand in no run"; // blocks between them
        return plan;
    }
    for (std::size_t line = inSource->first; line <= inSource->last; ++line) {
        plan.content.emplace_back(sourcePage.lines[line]);
    }
    plan.lineBreak = std::string(FirstLineBreak(sourcePage.text, sourcePage.lines));
    plan.pagesWithout = plan.copies.PagesWithout(pages.size());

    std::vector<std::vector<PageRange>> byPage(pages.size());
    for (const PageRange& copy : plan.copies.exact) {
        byPage[copy.page].push_back(copy);
    }
    for (const PartVariant& variant : plan.copies.variants) {
        for (const PageRange& copy : variant.copies) {
            byPage[copy.page].push_back(copy);
        }
    }
    for (std::size_t page = 0; page < pages.size(); ++page) {
        std::vector<PageRange>& ranges = byPage[page];
        if (ranges.empty()) {
            continue;
        }
        std::sort(ranges.begin(), ranges.end(),
                  [](const PageRange& a, const PageRange& b) { return a.first < b.first; });
        const int pair = request.pair != 0 ? request.pair : CustomaryPair(pages[page].entry);
        const std::optional<BlockMarkers> markers =
            MarkersOf(request.name, pair, site.Rules().identifiers);
        if (!markers) {
            plan.error =
                "pair " + std::to_string(pair) + " makes no start line of '" + request.name + "'";
            plan.changes.clear();
            return plan;
        }
        if (std::find(plan.pairs.begin(), plan.pairs.end(), pair) == plan.pairs.end()) {
            plan.pairs.push_back(pair);
        }
        plan.changes.push_back({page,
                                EncodeFileText(pages[page].encoding,
                                               InsertMarkers(pages[page].text, ranges, *markers)),
                                ranges.size()});
    }
    std::sort(plan.pairs.begin(), plan.pairs.end());
    return plan;
}

std::string AppendTemplateBlocks(std::string_view templateText, const WrapPlan& plan,
                                 std::string_view name, const IdentifierTable& identifiers) {
    const LineViews lines = SplitLines(templateText);
    const std::string lineBreak =
        lines.empty() ? plan.lineBreak : std::string(FirstLineBreak(templateText, lines));
    std::string out(templateText);
    if (!out.empty() && out.back() != '\n' && out.back() != '\r') {
        out += lineBreak;
    }
    for (const int pair : plan.pairs) {
        const std::optional<BlockMarkers> markers = MarkersOf(name, pair, identifiers);
        if (!markers) {
            continue;
        }
        out.append(markers->start).append(lineBreak);
        for (const std::string& line : plan.content) {
            out.append(line).append(lineBreak);
        }
        out.append(markers->end).append(lineBreak);
    }
    return out;
}

bool HoldsBlock(std::string_view text, std::string_view name, const IdentifierTable& identifiers) {
    const LineViews lines = SplitLines(text);
    for (int pair = 1; pair <= kPairCount; ++pair) {
        const std::optional<BlockMarkers> markers = MarkersOf(name, pair, identifiers);
        if (markers && std::find(lines.begin(), lines.end(), markers->start) != lines.end()) {
            return true;
        }
    }
    return false;
}

std::optional<std::string> UnwrapBlock(std::string_view text, std::string_view name,
                                       const IdentifierTable& identifiers, EndLines endLines,
                                       bool withContent, std::size_t* blocks) {
    const LineViews lines = SplitLines(text);
    std::vector<bool> removed(lines.size(), false);
    std::size_t found = 0;
    for (int pair = 1; pair <= kPairCount; ++pair) {
        const std::optional<BlockMarkers> markers = MarkersOf(name, pair, identifiers);
        if (!markers) {
            continue;
        }
        for (std::size_t i = 0; i < lines.size(); ++i) {
            if (removed[i] || lines[i] != markers->start) {
                continue;
            }
            std::size_t j = i + 1;
            while (j < lines.size() && !IsEndLine(lines[j], identifiers.EndId(pair))) {
                ++j;
            }
            if (j == lines.size() ||
                !EndLineFitsBlock(lines[i], lines[j], pair, identifiers, endLines)) {
                continue; // not closed: left as it is, as Dynamize leaves it
            }
            for (std::size_t k = i; k <= j; ++k) {
                removed[k] = removed[k] || k == i || k == j || withContent;
            }
            ++found;
            i = j;
        }
    }
    if (blocks != nullptr) {
        *blocks = found;
    }
    if (found == 0) {
        return std::nullopt;
    }
    std::string out;
    out.reserve(text.size());
    std::size_t lastBreak = 0;
    for (std::size_t i = 0; i < lines.size(); ++i) {
        if (removed[i]) {
            continue;
        }
        const std::string_view lineBreak = LineBreakAfter(lines[i], text);
        out.append(lines[i]).append(lineBreak);
        lastBreak = lineBreak.size();
    }
    // A last line without a line end that goes takes the line end wrapping
    // gave the line before it.
    if (!lines.empty() && removed.back() && LineBreakAfter(lines.back(), text).empty()) {
        out.resize(out.size() - lastBreak);
    }
    return out;
}

} // namespace quillstamper
