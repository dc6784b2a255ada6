#pragma once

#include "base/site_definition.h"
#include "conversion/line_model.h"

#include <cstddef>
#include <vector>

namespace quillstamper {

// Finds, for a start line of a page, the end line that closes its block in a
// pass of one pair. Blocks do not nest, so a start line of the same pair
// before the first end line means this block's end line is missing; so does
// a first end line that is the customary end line of a start line of another
// pair standing in between. Either way the content would be lost, so the
// block counts as unclosed. So does a block whose first end line does not fit
// it (see EndLineFitsBlock): an ordinary comment that ends like an end line.
class BlockCloser {
public:
    static constexpr std::size_t kNone = static_cast<std::size_t>(-1);

    // Keeps references to lines and identifiers.
    BlockCloser(const LineViews& lines, int pair, const IdentifierTable& identifiers,
                EndLines endLines);

    // The end line that closes the block begun at start, or kNone. Calls come
    // with growing start lines; lines up to an end line are read once however
    // many start lines precede it.
    std::size_t ClosingEnd(std::size_t start);
    // After ClosingEnd gave kNone: the first end line, which did not fit the
    // block, or kNone when the block was unclosed for another reason.
    std::size_t RefusedEnd() const {
        return m_refused;
    }

private:
    void Scan(std::size_t start);
    bool IsCustomaryEnd(std::size_t opener, std::size_t end) const;

    const LineViews& m_lines;
    const IdentifierTable& m_identifiers;
    int m_pair;
    EndLines m_endLines;
    std::size_t m_refused = kNone;
    bool m_scanned = false;
    std::size_t m_from = 0;
    std::size_t m_end = kNone; // the first end line after m_from
    // The last line after m_from and before m_end that is a start line of
    // this pair, or opens a block of another pair that m_end closes; 0 for none.
    std::size_t m_lastBlocker = 0;
    std::vector<std::size_t> m_openers; // start lines of other pairs, while scanning
};

} // namespace quillstamper
