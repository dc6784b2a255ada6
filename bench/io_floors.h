#pragma once

#include <string>

namespace quillstamper::bench {

// The least I/O a conversion of the project's web files can do, for
// comparison. In place: read every web file whole and write it back over
// itself (truncate and rewrite). Safe: read it, write its bytes to a
// temporary file in the same folder, flush that to disk and rename it over
// the original. Both return 0, or 1 on an error (reported on stderr).
int RunInPlaceFloor(const std::string& projectFile);
int RunSafeFloor(const std::string& projectFile);

// The plain step-by-step conversion of the test tree on the project.
int RunReference(const std::string& projectFile);

} // namespace quillstamper::bench
