#include "base/utf8_path.h"

#include "base/utf8.h"

namespace quillstamper {

std::filesystem::path PathFromUtf8(std::string_view path) {
#ifdef _WIN32
    // Names there are UTF-16: bytes that are no UTF-8 name no file, and the
    // conversion would throw; each stands as U+FFFD.
    std::string valid;
    if (!IsValidUtf8(path)) {
        for (std::size_t at = 0; at < path.size();) {
            const std::size_t length = Utf8CharacterLength(path, at);
            valid += length == 0 ? std::string_view("\xEF\xBF\xBD") : path.substr(at, length);
            at += length == 0 ? 1 : length;
        }
        path = valid;
    }
#endif
    return std::filesystem::path(
        std::u8string_view(reinterpret_cast<const char8_t*>(path.data()), path.size()));
}

std::string Utf8FromPath(const std::filesystem::path& path) {
    const std::u8string text = path.generic_u8string();
    return std::string(reinterpret_cast<const char*>(text.data()), text.size());
}

} // namespace quillstamper
