#include "conversion/template_index.h"

#include "conversion/markers.h"

namespace quillstamper {

// Blocks do not nest: of the start lines of this pair that stand before one
// end line only the last is closed by it; the others have lost their end
// line, and a block of theirs would swallow the ones after it.
// An end line that does not fit the open block closes nothing: with it, the
// block would take in whatever stands up to some other block's end line.
TemplateIndex::TemplateIndex(const std::vector<const LineViews*>& sources, int pair,
                             const IdentifierTable& identifiers, EndLines endLines) {
    const std::string_view startId = identifiers.StartId(pair);
    const std::string_view endId = identifiers.EndId(pair);
    for (std::size_t source = 0; source < sources.size(); ++source) {
        const LineViews& lines = *sources[source];
        std::size_t open = kNone;
        const auto markUnclosed = [&](std::size_t refused) {
            Entry& entry = m_entries[lines[open]];
            if (!entry.unclosed) {
                entry.unclosed = true;
                entry.unclosedSource = source;
                entry.unclosedLine = open + 1;
                if (refused != kNone) {
                    entry.refusedLine = refused + 1;
                    entry.refusedText = lines[refused];
                }
            }
        };
        for (std::size_t i = 0; i < lines.size(); ++i) {
            const std::string_view line = lines[i];
            if (IsEndLine(line, endId)) {
                if (open != kNone) {
                    if (EndLineFitsBlock(lines[open], line, pair, identifiers, endLines)) {
                        m_entries[lines[open]].spans.push_back(Span{source, open + 1, i});
                    } else {
                        markUnclosed(i);
                    }
                    open = kNone;
                }
            } else if (BeginsWith(line, startId)) {
                if (open != kNone) {
                    markUnclosed(kNone);
                }
                open = i;
            }
        }
        if (open != kNone) {
            markUnclosed(kNone);
        }
    }
}

const TemplateIndex::Entry* TemplateIndex::Find(std::string_view startLine) const {
    const auto found = m_entries.find(startLine);
    return found == m_entries.end() ? nullptr : &found->second;
}

} // namespace quillstamper
