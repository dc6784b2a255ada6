#pragma once

#include "base/site_definition.h"
#include "conversion/line_model.h"

namespace quillstamper::test {

// The line model on files, as the plain steps read and write them: a file
// read into lines (a UTF-8 byte-order mark is no part of the first), and
// lines written back each ended by CR LF. Throw FileError.
Lines ReadLines(const std::string& path);
void WriteLines(const std::string& path, const Lines& lines);

// The conversion run done the plain way, step by step: every file is read from
// disk anew for every pass and every start line, the two run states live for
// the whole run and the web file is written after every pass. Returns false
// when the outcome is not one to compare: a run state was still set at the end
// of a pass or of a template file (a block without its end line, where the
// engine differs on purpose), or a web file that is its own template grew past
// maxLines in one pass (such files can grow without bound); the run then stops.
bool ReferenceRunConversion(const FileList& web, const FileList& templates,
                            const IdentifierTable& ids, std::size_t maxLines = 1000);

// What the step-by-step run tells besides the files it wrote.
struct SafeReferenceOutcome {
    bool comparable = true; // false: a page that is its own template grew past maxLines
    bool leftAlone = false; // some block was left alone because its end line is missing
};

// The same plain way, with blocks whose end line is missing left as they
// are: a start line whose first end line comes after another start line of
// its pair, or is the customary end line of another pair's start line in
// between, or (with EndLines::Own) does not fit the block, or that no end
// line follows, gets nothing; and a template block with such a start line
// anywhere in the template files is not used.
SafeReferenceOutcome ReferenceRunSafeConversion(const FileList& web, const FileList& templates,
                                                const IdentifierTable& ids,
                                                EndLines endLines = EndLines::Own,
                                                std::size_t maxLines = 1000);

} // namespace quillstamper::test
