#pragma once

#include <string>
#include <string_view>

namespace quillstamper {

// Byte comparisons: case counts, nothing is trimmed.
bool BeginsWith(std::string_view line, std::string_view start);
bool EndsWith(std::string_view line, std::string_view end);

// A line that begins with the start identifier and does not end with the end
// identifier.
bool IsStartLine(std::string_view line, std::string_view startId, std::string_view endId);

// A line that ends with the end identifier.
bool IsEndLine(std::string_view line, std::string_view endId);

// The start line less a closing " -->", else the whole line.
std::string_view BlockStem(std::string_view startLine);

} // namespace quillstamper
