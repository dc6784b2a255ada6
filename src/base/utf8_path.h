#pragma once

#include <filesystem>
#include <string>
#include <string_view>

namespace quillstamper {

// std::filesystem paths from and to the UTF-8 the program keeps names in. A
// path made from a plain string would read it in a code page of its own on
// Windows, and give it back changed; there, bytes that are no UTF-8 stand
// as U+FFFD, as no name holds them.
std::filesystem::path PathFromUtf8(std::string_view path);
// With '/' between the parts on every system.
std::string Utf8FromPath(const std::filesystem::path& path);

} // namespace quillstamper
