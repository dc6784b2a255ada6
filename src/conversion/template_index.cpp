#include "conversion/template_index.h"

#include "conversion/markers.h"

namespace quillstamper {

// A block's content runs from the first occurrence of its start line within a
// stretch between two end lines to the end line that closes that stretch; a
// later occurrence in the same stretch is content, not a new block.
TemplateIndex::TemplateIndex(const std::vector<const LineViews*>& sources, std::string_view startId,
                             std::string_view endId) {
    std::size_t segment = 0;
    std::vector<Slot*> open;
    for (std::size_t source = 0; source < sources.size(); ++source) {
        const LineViews& lines = *sources[source];
        for (std::size_t i = 0; i < lines.size(); ++i) {
            const std::string_view line = lines[i];
            if (IsEndLine(line, endId)) {
                for (Slot* slot : open) {
                    slot->entry.spans.back().end = i;
                }
                open.clear();
                ++segment;
                continue;
            }
            if (!BeginsWith(line, startId)) {
                continue;
            }
            Slot& slot = m_slots[line];
            if (slot.lastSegment != segment) {
                slot.lastSegment = segment;
                slot.entry.spans.push_back(Span{source, i + 1, i + 1});
                open.push_back(&slot);
            }
        }
        for (Slot* slot : open) {
            Entry& entry = slot->entry;
            const std::size_t line = entry.spans.back().begin; // the start line, counted from 1
            entry.spans.pop_back();
            if (!entry.unclosed) {
                entry.unclosed = true;
                entry.unclosedSource = source;
                entry.unclosedLine = line;
            }
        }
        open.clear();
        ++segment;
    }
}

const TemplateIndex::Entry* TemplateIndex::Find(std::string_view startLine) const {
    const auto found = m_slots.find(startLine);
    return found == m_slots.end() ? nullptr : &found->second.entry;
}

} // namespace quillstamper
