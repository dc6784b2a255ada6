#include "conversion/block_closer.h"

#include "conversion/markers.h"

namespace quillstamper {

BlockCloser::BlockCloser(const LineViews& lines, int pair, const IdentifierTable& identifiers,
                         EndLines endLines)
    : m_lines(lines), m_identifiers(identifiers), m_pair(pair), m_endLines(endLines) {}

std::size_t BlockCloser::ClosingEnd(std::size_t start) {
    m_refused = kNone;
    if (!m_scanned || start < m_from || (m_end != kNone && start >= m_end)) {
        Scan(start);
    }
    if (m_end == kNone || m_lastBlocker > start) {
        return kNone;
    }
    if (!EndLineFitsBlock(m_lines[start], m_lines[m_end], m_pair, m_identifiers, m_endLines)) {
        m_refused = m_end;
        return kNone;
    }
    return m_end;
}

void BlockCloser::Scan(std::size_t start) {
    const std::string_view startId = m_identifiers.StartId(m_pair);
    const std::string_view endId = m_identifiers.EndId(m_pair);
    m_scanned = true;
    m_from = start;
    m_end = kNone;
    m_lastBlocker = 0;
    m_openers.clear();
    for (std::size_t i = start + 1; i < m_lines.size(); ++i) {
        const std::string_view line = m_lines[i];
        if (IsEndLine(line, endId)) {
            m_end = i;
            break;
        }
        if (BeginsWith(line, startId)) {
            m_lastBlocker = i;
            continue;
        }
        // Whether it is a start line of that pair is asked only of the few
        // whose customary end line m_end might be.
        for (int pair = 1; pair <= kPairCount; ++pair) {
            const std::string_view otherStart = m_identifiers.StartId(pair);
            if (pair != m_pair && !otherStart.empty() && BeginsWith(line, otherStart)) {
                m_openers.push_back(i);
                break;
            }
        }
    }
    if (m_end == kNone) {
        return;
    }
    for (auto it = m_openers.rbegin(); it != m_openers.rend(); ++it) {
        if (*it <= m_lastBlocker) {
            break;
        }
        if (IsCustomaryEnd(*it, m_end)) {
            m_lastBlocker = *it;
            break;
        }
    }
}

// The end line repeats the opener's block stem, followed by the end
// identifier of a pair whose start line the opener is.
bool BlockCloser::IsCustomaryEnd(std::size_t opener, std::size_t end) const {
    const std::string_view stem = BlockStem(m_lines[opener]);
    const std::string_view endLine = m_lines[end];
    if (!BeginsWith(endLine, stem)) {
        return false;
    }
    const std::string_view rest = endLine.substr(stem.size());
    for (int pair = 1; pair <= kPairCount; ++pair) {
        const std::string_view startId = m_identifiers.StartId(pair);
        const std::string_view endId = m_identifiers.EndId(pair);
        if (pair != m_pair && !startId.empty() && rest == endId &&
            IsStartLine(m_lines[opener], startId, endId)) {
            return true;
        }
    }
    return false;
}

} // namespace quillstamper
