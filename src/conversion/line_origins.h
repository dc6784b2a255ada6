#pragma once

#include "conversion/line_model.h"

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

namespace quillstamper {

// Which line of a page as read each line of the page in conversion comes
// from, so that reports name lines the user can find in the file. Kept as
// runs, one per stretch that a pass copied or inserted, not one per line.
class LineOrigins {
public:
    LineOrigins();

    // Every line is the page's own, in place.
    void Reset();
    // The line counted from 1 in the page as read, or 0 for a line that a
    // template file put in.
    std::size_t OriginalLine(std::size_t index) const;

    static constexpr std::size_t kInserted = static_cast<std::size_t>(-1);
    struct Run {
        std::size_t begin;  // first line of the run, in the page in conversion
        std::size_t origin; // its line index in the page as read, or kInserted
    };
    // By begin, the first at 0.
    const std::vector<Run>& Runs() const {
        return m_runs;
    }

private:
    friend class OriginsBuilder;
    std::vector<Run> m_runs;
};

// The page's lines joined so that nothing outside its blocks changes: a line
// of the page ends as it did in originalBytes (split into originalLines), a
// line a template put in ends as the line before it, which leads back to the
// start line of the block it fills.
std::string JoinKeepingLineBreaks(const LineViews& lines, const LineOrigins& origins,
                                  const LineViews& originalLines, std::string_view originalBytes);

// The origins of a pass's output, built while the pass copies lines and puts
// template content in, then put in place of the input's origins.
class OriginsBuilder {
public:
    explicit OriginsBuilder(LineOrigins& origins);

    // Input lines up to inputEnd are copied, the copy ending at outputEnd.
    void Copy(std::size_t inputEnd, std::size_t outputEnd);
    // Template lines were put in up to outputEnd; input lines before
    // resumeInput are left out.
    void Insert(std::size_t resumeInput, std::size_t outputEnd);
    // The rest of the input is copied; the origins become the output's.
    void Finish(std::size_t inputSize, std::size_t outputSize);

private:
    void Add(std::size_t begin, std::size_t origin);

    LineOrigins& m_origins;
    std::vector<LineOrigins::Run> m_runs;
    std::size_t m_input = 0;  // the next input line to copy
    std::size_t m_output = 0; // where it goes
};

} // namespace quillstamper
