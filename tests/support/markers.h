#pragma once

#include <string>

namespace quillstamper::test {

// The start and end line of a block named "menu", with the default identifiers.
inline const std::string kMenu = "<!-- Trelvonix menu -->";
inline const std::string kMenuEnd = "<!-- Trelvonix menu end -->";

} // namespace quillstamper::test
