#pragma once

#include "base/site_definition.h"
#include "conversion/line_model.h"

#include <cstddef>
#include <string_view>
#include <unordered_map>
#include <vector>

namespace quillstamper {

// The blocks of one identifier pair across all template files, so that a
// start line is looked up once instead of scanning every template file.
// Holds views into the templates' lines, which must outlive the index.
class TemplateIndex {
public:
    // Lines [begin, end) of template file number `source` are block content.
    struct Span {
        std::size_t source;
        std::size_t begin;
        std::size_t end;
    };

    struct Entry {
        // In template list order, then line order: what a block with this
        // start line receives.
        std::vector<Span> spans;
        // An occurrence whose end line is missing (the first one): no end
        // line follows it in its file before another start line of the pair,
        // or the first one does not fit the block.
        bool unclosed = false;
        std::size_t unclosedSource = 0;
        std::size_t unclosedLine = 0; // counted from 1
        // The end line that did not fit, counted from 1; 0 when there was none.
        std::size_t refusedLine = 0;
        std::string_view refusedText;
    };

    TemplateIndex(const std::vector<const LineViews*>& sources, int pair,
                  const IdentifierTable& identifiers, EndLines endLines);

    // nullptr when no template file holds the start line.
    const Entry* Find(std::string_view startLine) const;

private:
    static constexpr std::size_t kNone = static_cast<std::size_t>(-1);
    std::unordered_map<std::string_view, Entry> m_entries;
};

} // namespace quillstamper
