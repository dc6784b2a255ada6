#include "conversion/line_origins.h"

#include <algorithm>

namespace quillstamper {

LineOrigins::LineOrigins() {
    Reset();
}

void LineOrigins::Reset() {
    m_runs.assign(1, Run{0, 0});
}

std::size_t LineOrigins::OriginalLine(std::size_t index) const {
    const auto after =
        std::upper_bound(m_runs.begin(), m_runs.end(), index,
                         [](std::size_t value, const Run& run) { return value < run.begin; });
    const Run& run = *(after - 1);
    return run.origin == kInserted ? 0 : run.origin + (index - run.begin) + 1;
}

OriginsBuilder::OriginsBuilder(LineOrigins& origins) : m_origins(origins) {}

void OriginsBuilder::Add(std::size_t begin, std::size_t origin) {
    if (!m_runs.empty()) {
        const LineOrigins::Run& last = m_runs.back();
        const bool continues = origin == LineOrigins::kInserted
                                   ? last.origin == LineOrigins::kInserted
                                   : last.origin != LineOrigins::kInserted &&
                                         last.origin + (begin - last.begin) == origin;
        if (continues) {
            return;
        }
    }
    if (m_runs.empty()) {
        m_runs.reserve(16); // two runs a block, as a rule
    }
    m_runs.push_back(LineOrigins::Run{begin, origin});
}

void OriginsBuilder::Copy(std::size_t inputEnd, std::size_t outputEnd) {
    if (inputEnd <= m_input) {
        m_output = outputEnd;
        return;
    }
    const std::vector<LineOrigins::Run>& input = m_origins.m_runs;
    // The input run holding m_input, then each later run that starts before inputEnd.
    auto run = std::upper_bound(
                   input.begin(), input.end(), m_input,
                   [](std::size_t value, const LineOrigins::Run& r) { return value < r.begin; }) -
               1;
    for (; run != input.end() && run->begin < inputEnd; ++run) {
        const std::size_t from = std::max(run->begin, m_input);
        const std::size_t origin = run->origin == LineOrigins::kInserted
                                       ? LineOrigins::kInserted
                                       : run->origin + (from - run->begin);
        Add(m_output + (from - m_input), origin);
    }
    m_input = inputEnd;
    m_output = outputEnd;
}

void OriginsBuilder::Insert(std::size_t resumeInput, std::size_t outputEnd) {
    if (outputEnd > m_output) {
        Add(m_output, LineOrigins::kInserted);
    }
    m_input = resumeInput;
    m_output = outputEnd;
}

void OriginsBuilder::Finish(std::size_t inputSize, std::size_t outputSize) {
    if (m_input < inputSize) {
        Copy(inputSize, outputSize);
    }
    if (m_runs.empty()) {
        m_runs.push_back(LineOrigins::Run{0, 0});
    }
    m_origins.m_runs.swap(m_runs);
}

std::string JoinKeepingLineBreaks(const LineViews& lines, const LineOrigins& origins,
                                  const LineViews& originalLines, std::string_view originalBytes) {
    std::size_t total = 0;
    for (const std::string_view line : lines) {
        total += line.size() + 2;
    }
    std::string bytes;
    bytes.reserve(total);
    const std::vector<LineOrigins::Run>& runs = origins.Runs();
    std::string_view lineBreak = "\r\n";
    for (std::size_t r = 0; r < runs.size(); ++r) {
        const std::size_t begin = runs[r].begin;
        const std::size_t end =
            std::min(r + 1 < runs.size() ? runs[r + 1].begin : lines.size(), lines.size());
        if (begin >= end) {
            continue;
        }
        if (runs[r].origin == LineOrigins::kInserted) {
            for (std::size_t i = begin; i < end; ++i) {
                bytes.append(lines[i]);
                bytes.append(lineBreak);
            }
            continue;
        }
        // The page's own lines stand in its bytes as they are, breaks and all:
        // one copy for the whole run.
        const std::string_view first = originalLines[runs[r].origin];
        const std::string_view last = originalLines[runs[r].origin + (end - begin) - 1];
        lineBreak = LineBreakAfter(last, originalBytes);
        const char* from = first.data();
        const char* to = last.data() + last.size() + lineBreak.size();
        bytes.append(from, static_cast<std::size_t>(to - from));
    }
    return bytes;
}

} // namespace quillstamper
