#include "reference_conversion.h"

#include "conversion/line_model.h"
#include "conversion/markers.h"
#include "files/atomic_write.h"
#include "files/file_io.h"

#include <fstream>

namespace quillstamper::test {

namespace {

const std::string kUtf8Mark = "\xEF\xBB\xBF";

bool StartsWithMark(const std::string& bytes) {
    return bytes.compare(0, kUtf8Mark.size(), kUtf8Mark) == 0;
}

// The mark a page starts with, which its lines do not hold and which it keeps.
std::string MarkOf(const std::string& path) {
    return StartsWithMark(ReadFileBytes(path)) ? kUtf8Mark : std::string();
}

} // namespace

Lines ReadLines(const std::string& path) {
    std::string bytes = ReadFileBytes(path);
    if (StartsWithMark(bytes)) {
        bytes.erase(0, kUtf8Mark.size());
    }
    const LineViews views = SplitLines(bytes);
    return Lines(views.begin(), views.end());
}

void WriteLines(const std::string& path, const Lines& lines) {
    WriteFileAtomic(path, JoinLines(lines));
}

namespace {

struct TooLong {};

// The output lines and the two run states, shared by every pass of a run.
struct ReferenceRun {
    const FileList& templates;
    const std::size_t maxLines;
    Lines output;
    bool skipping = false;
    bool copying = false;
    bool leftOpen = false;

    void FindTemplateContent(const std::string& startLine, const std::string& endId) {
        for (const std::string& templateFile : templates) {
            for (const std::string& line : ReadLines(templateFile)) {
                if (IsEndLine(line, endId))
                    copying = false;
                if (copying)
                    output.push_back(line);
                if (line == startLine)
                    copying = skipping = true;
                if (output.size() > maxLines)
                    throw TooLong{};
            }
            leftOpen = leftOpen || copying;
        }
    }

    void ConvertPass(const std::string& web, const std::string& startId, const std::string& endId) {
        output.clear();
        const Lines webLines = ReadLines(web);
        const std::string mark = MarkOf(web);
        for (const std::string& line : webLines) {
            if (IsEndLine(line, endId))
                skipping = false;
            if (!skipping)
                output.push_back(line);
            if (IsStartLine(line, startId, endId))
                FindTemplateContent(line, endId);
        }
        leftOpen = leftOpen || skipping;
        if (!webLines.empty())
            std::ofstream(web, std::ios::binary | std::ios::trunc) << mark + JoinLines(output);
    }
};

} // namespace

bool ReferenceRunConversion(const FileList& web, const FileList& templates,
                            const IdentifierTable& ids, std::size_t maxLines) {
    ReferenceRun run{templates, maxLines, {}};
    try {
        for (const std::string& webFile : web) {
            for (std::size_t pair = 0; pair < ids.size() / 2; ++pair) {
                if (!ids[2 * pair].empty())
                    run.ConvertPass(webFile, ids[2 * pair], ids[2 * pair + 1]);
            }
        }
    } catch (const TooLong&) {
        return false;
    }
    return !run.leftOpen;
}

namespace {

struct SafeReferenceRun {
    const FileList& templates;
    const IdentifierTable& ids;
    const EndLines endLines;
    const std::size_t maxLines;
    SafeReferenceOutcome outcome;

    // Spelt out once more, the plain way: the end line, without its leading
    // blanks and tabs, is the start line's stem (trailing blanks and tabs
    // left out) followed by the end identifier; or it begins with the start
    // identifier and is not some pair's start identifier, a text and that
    // pair's end identifier.
    bool Fits(const std::string& startLine, const std::string& endLine, std::size_t pair) const {
        const std::string& endId = ids[2 * pair + 1];
        if (endLines == EndLines::Any || endId.empty())
            return true;
        std::string start = startLine;
        while (!start.empty() && (start.back() == ' ' || start.back() == '\t'))
            start.pop_back();
        std::string end = endLine;
        while (!end.empty() && (end.front() == ' ' || end.front() == '\t'))
            end.erase(0, 1);
        if (end == std::string(BlockStem(start)) + endId)
            return true;
        if (end.rfind(ids[2 * pair], 0) != 0)
            return false;
        for (std::size_t other = 0; other < 4; ++other) {
            const std::string& s = ids[2 * other];
            const std::string& e = ids[2 * other + 1];
            if (!s.empty() && !e.empty() && end.size() > s.size() + e.size() &&
                end.rfind(s, 0) == 0 && end.compare(end.size() - e.size(), e.size(), e) == 0)
                return false;
        }
        return true;
    }

    // The first end line after start, or lines.size().
    static std::size_t FirstEnd(const Lines& lines, std::size_t start, const std::string& endId) {
        std::size_t k = start + 1;
        while (k < lines.size() && !IsEndLine(lines[k], endId))
            ++k;
        return k;
    }

    static bool HasStartBetween(const Lines& lines, std::size_t from, std::size_t to,
                                const std::string& startId, const std::string& endId) {
        for (std::size_t k = from + 1; k < to; ++k)
            if (IsStartLine(lines[k], startId, endId))
                return true;
        return false;
    }

    bool EndBelongsToOtherPair(const Lines& lines, std::size_t from, std::size_t end,
                               std::size_t pair) const {
        for (std::size_t k = from + 1; k < end; ++k)
            for (std::size_t other = 0; other < 4; ++other)
                if (other != pair && !ids[2 * other].empty() &&
                    IsStartLine(lines[k], ids[2 * other], ids[2 * other + 1]) &&
                    lines[end] == std::string(BlockStem(lines[k])) + ids[2 * other + 1])
                    return true;
        return false;
    }

    // False when no template holds the start line or one of its blocks is unclosed.
    bool FindContent(const std::string& startLine, std::size_t pair, Lines& content) const {
        bool found = false;
        for (const std::string& templateFile : templates) {
            const Lines lines = ReadLines(templateFile);
            for (std::size_t m = 0; m < lines.size(); ++m) {
                if (lines[m] != startLine)
                    continue;
                found = true;
                const std::size_t end = FirstEnd(lines, m, ids[2 * pair + 1]);
                if (end == lines.size() ||
                    HasStartBetween(lines, m, end, ids[2 * pair], ids[2 * pair + 1]) ||
                    !Fits(lines[m], lines[end], pair))
                    return false;
                content.insert(content.end(), lines.begin() + m + 1, lines.begin() + end);
            }
        }
        return found;
    }

    void ConvertPass(const std::string& web, std::size_t pair) {
        const std::string& startId = ids[2 * pair];
        const std::string& endId = ids[2 * pair + 1];
        const Lines lines = ReadLines(web);
        const std::string mark = MarkOf(web);
        Lines output;
        for (std::size_t i = 0; i < lines.size(); ++i) {
            output.push_back(lines[i]);
            Lines content;
            if (!IsStartLine(lines[i], startId, endId))
                continue;
            if (!FindContent(lines[i], pair, content)) {
                bool heldSomewhere = false;
                for (const std::string& templateFile : templates)
                    for (const std::string& line : ReadLines(templateFile))
                        heldSomewhere = heldSomewhere || line == lines[i];
                outcome.leftAlone = outcome.leftAlone || heldSomewhere;
                continue;
            }
            const std::size_t end = FirstEnd(lines, i, endId);
            if (end == lines.size() || HasStartBetween(lines, i, end, startId, endId) ||
                EndBelongsToOtherPair(lines, i, end, pair) || !Fits(lines[i], lines[end], pair)) {
                outcome.leftAlone = true;
                continue;
            }
            output.insert(output.end(), content.begin(), content.end());
            if (output.size() > maxLines)
                throw TooLong{};
            i = end - 1;
        }
        if (!lines.empty())
            std::ofstream(web, std::ios::binary | std::ios::trunc) << mark + JoinLines(output);
    }
};

} // namespace

SafeReferenceOutcome ReferenceRunSafeConversion(const FileList& web, const FileList& templates,
                                                const IdentifierTable& ids, EndLines endLines,
                                                std::size_t maxLines) {
    SafeReferenceRun run{templates, ids, endLines, maxLines, {}};
    try {
        for (const std::string& webFile : web)
            for (std::size_t pair = 0; pair < ids.size() / 2; ++pair)
                if (!ids[2 * pair].empty())
                    run.ConvertPass(webFile, pair);
    } catch (const TooLong&) {
        run.outcome.comparable = false;
    }
    return run.outcome;
}

} // namespace quillstamper::test
