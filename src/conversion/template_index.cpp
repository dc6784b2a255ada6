#include "conversion/template_index.h"

#include "conversion/markers.h"

namespace quillstamper {

// Blocks do not nest: of the start lines of this pair that stand before one
// end line only the last is closed by it; the others have lost their end
// line, and a block of theirs would swallow the ones after it.
TemplateIndex::TemplateIndex(const std::vector<const LineViews*>& sources, std::string_view startId,
                             std::string_view endId) {
    for (std::size_t source = 0; source < sources.size(); ++source) {
        const LineViews& lines = *sources[source];
        std::size_t open = kNone;
        const auto markUnclosed = [&] {
            Entry& entry = m_entries[lines[open]];
            if (!entry.unclosed) {
                entry.unclosed = true;
                entry.unclosedSource = source;
                entry.unclosedLine = open + 1;
            }
        };
        for (std::size_t i = 0; i < lines.size(); ++i) {
            const std::string_view line = lines[i];
            if (IsEndLine(line, endId)) {
                if (open != kNone) {
                    m_entries[lines[open]].spans.push_back(Span{source, open + 1, i});
                    open = kNone;
                }
            } else if (BeginsWith(line, startId)) {
                if (open != kNone) {
                    markUnclosed();
                }
                open = i;
            }
        }
        if (open != kNone) {
            markUnclosed();
        }
    }
}

const TemplateIndex::Entry* TemplateIndex::Find(std::string_view startLine) const {
    const auto found = m_entries.find(startLine);
    return found == m_entries.end() ? nullptr : &found->second;
}

} // namespace quillstamper
