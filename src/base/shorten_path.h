#pragma once

#include <cstdint>
#include <string>

namespace quillstamper {

// Display form of a path: unchanged below 70 bytes, else the first pathBreak
// bytes, " ... " and the last 64 - pathBreak bytes. In valid UTF-8 a cut never
// splits a character: the head and the tail give up the partial character.
std::string ShortenPath(const std::string& path, std::int32_t pathBreak);

} // namespace quillstamper
