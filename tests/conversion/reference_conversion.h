#pragma once

#include "workspace/workspace.h"

namespace quillstamper::test {

// The conversion run done the plain way, step by step: every file is read from
// disk anew for every pass and every start line, the two run states live for
// the whole run and the web file is written after every pass. Returns false
// when the outcome is not one to compare: a run state was still set at the end
// of a pass or of a template file (a block without its end line, where the
// engine differs on purpose), or a web file that is its own template grew past
// maxLines in one pass (such files can grow without bound); the run then stops.
bool ReferenceRunConversion(const FileList& web, const FileList& templates,
                            const IdentifierTable& ids, std::size_t maxLines = 1000);

} // namespace quillstamper::test
