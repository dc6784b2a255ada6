#pragma once

#include "conversion/conversion_run.h"

#include <chrono>
#include <cstddef>
#include <functional>
#include <iosfwd>
#include <string>

namespace quillstamper::cli {

// One self-updating line on a terminal: "[done/total] page in hand", drawn
// once the run has gone on for delay, then at most ten times a second, so
// that a short run prints nothing.
class ProgressLine : public ConversionObserver {
public:
    using Clock = std::function<std::chrono::steady_clock::time_point()>;

    ProgressLine(std::ostream& terminal, std::size_t total,
                 std::chrono::milliseconds delay = std::chrono::seconds(1),
                 Clock clock = std::chrono::steady_clock::now);

    void OnPassStarted(const std::string& webEntry, int pair) override;
    void OnFileConverted(std::size_t webIndex, const std::string& webEntry,
                         std::string_view oldBytes, std::string_view newBytes,
                         FileOutcome outcome) override;

    // Wipes the line if it was drawn; before anything else is printed.
    void Clear();

private:
    void DrawIfDue();

    std::ostream& m_terminal;
    std::size_t m_total;
    std::size_t m_done = 0;
    std::string m_page;
    Clock m_clock;
    std::chrono::steady_clock::time_point m_start;
    std::chrono::steady_clock::time_point m_drawn;
    std::chrono::milliseconds m_delay;
    bool m_shown = false;
};

} // namespace quillstamper::cli
