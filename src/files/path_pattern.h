#pragma once

#include <string_view>

namespace quillstamper {

// Shell-style matching of a path against a pattern, byte by byte and the same
// on every system: '*' matches any run of bytes and '?' any one byte, neither
// crossing '/'; "[...]" matches one byte of a set (ranges "a-z", classes
// "[:digit:]", "!" or "^" first to negate, "]" first taken as itself), never
// '/'; '\' makes the next byte stand for itself; '/' matches only '/'. A '['
// without its ']' is an ordinary byte. As fnmatch(3) with FNM_PATHNAME in
// the C locale.
bool MatchesPathPattern(std::string_view pattern, std::string_view path);

} // namespace quillstamper
