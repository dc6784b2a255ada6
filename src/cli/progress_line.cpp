#include "cli/progress_line.h"

#include "base/quote_path.h"

#include <algorithm>
#include <ostream>

namespace quillstamper::cli {

namespace {

constexpr std::chrono::milliseconds kRedrawInterval{100};

// Beside "[20000/20000] " the line stays within 80 columns: a byte of the
// quoted path is at most one column.
constexpr std::size_t kPathWidth = 60;
constexpr std::size_t kHeadWidth = 12;

bool IsContinuationByte(char byte) {
    return (static_cast<unsigned char>(byte) & 0xC0) == 0x80;
}

// The head and the tail of a long path around "…", cut between characters.
std::string FitPath(const std::string& path) {
    if (path.size() <= kPathWidth) {
        return path;
    }
    std::size_t head = kHeadWidth;
    while (head > 0 && IsContinuationByte(path[head])) {
        --head;
    }
    std::size_t tail = path.size() - (kPathWidth - kHeadWidth - 1);
    while (tail < path.size() && IsContinuationByte(path[tail])) {
        ++tail;
    }
    return path.substr(0, head) + "\u2026" + path.substr(tail);
}

} // namespace

ProgressLine::ProgressLine(std::ostream& terminal, std::size_t total,
                           std::chrono::milliseconds delay, Clock clock)
    : m_terminal(terminal), m_total(total), m_clock(std::move(clock)), m_start(m_clock()),
      m_delay(delay) {}

void ProgressLine::OnPassStarted(const std::string& webEntry, int) {
    if (webEntry != m_page) {
        m_page = webEntry;
        DrawIfDue();
    }
}

void ProgressLine::OnFileConverted(std::size_t webIndex, const std::string&, std::string_view,
                                   std::string_view, FileOutcome) {
    m_done = std::max(m_done, webIndex + 1);
    DrawIfDue();
}

void ProgressLine::Clear() {
    if (m_shown) {
        m_terminal << "\r\x1b[K" << std::flush;
        m_shown = false;
    }
}

void ProgressLine::DrawIfDue() {
    const auto now = m_clock();
    if (now - m_start < m_delay || (m_shown && now - m_drawn < kRedrawInterval)) {
        return;
    }
    // Quoted: a page's name must not move the cursor or end the line.
    m_terminal << "\r[" << m_done << '/' << m_total << "] " << FitPath(QuotePath(m_page))
               << "\x1b[K" << std::flush;
    m_drawn = now;
    m_shown = true;
}

} // namespace quillstamper::cli
