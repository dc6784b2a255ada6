#include "reference_conversion.h"

#include "conversion/line_model.h"
#include "conversion/markers.h"

#include <fstream>

namespace quillstamper::test {

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
            std::ofstream(web, std::ios::binary | std::ios::trunc) << JoinLines(output);
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

} // namespace quillstamper::test
