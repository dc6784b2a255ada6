#pragma once

#include <string>
#include <string_view>

namespace quillstamper {

// The one way the program writes a file. The new bytes go to a temporary file
// in the same folder, are flushed to disk, get the old file's permission bits
// and owner and replace it by rename, so a failure or a crash leaves either
// the old or the new content. A link stays a link: its target is replaced.
// An existing file that cannot be opened for writing is an error even where
// the rename would succeed: a read-only file is the user's "do not touch".
// Where the folder allows no new file, the file is rewritten in place and, if
// that fails, its old bytes are put back. Throws FileError naming path.
void WriteFileAtomic(const std::string& path, std::string_view bytes);

} // namespace quillstamper
