#include "workspace/quote_path.h"

#include <cstddef>

namespace quillstamper {

namespace {

bool IsControl(unsigned char byte) {
    return byte < 0x20 || byte == 0x7F;
}

// The length of the UTF-8 character of two or more bytes at text[at], or 0
// when the bytes there are none: overlong forms, surrogates and values beyond
// U+10FFFF are refused.
std::size_t MultiByteLength(std::string_view text, std::size_t at) {
    const auto byte = [&](std::size_t i) { return static_cast<unsigned char>(text[at + i]); };
    const unsigned char lead = byte(0);
    std::size_t length = 0;
    unsigned char low = 0x80;
    unsigned char high = 0xBF;
    if (lead >= 0xC2 && lead <= 0xDF) {
        length = 2;
    } else if (lead >= 0xE0 && lead <= 0xEF) {
        length = 3;
        low = lead == 0xE0 ? 0xA0 : 0x80;
        high = lead == 0xED ? 0x9F : 0xBF;
    } else if (lead >= 0xF0 && lead <= 0xF4) {
        length = 4;
        low = lead == 0xF0 ? 0x90 : 0x80;
        high = lead == 0xF4 ? 0x8F : 0xBF;
    } else {
        return 0;
    }
    if (text.size() - at < length || byte(1) < low || byte(1) > high) {
        return 0;
    }
    for (std::size_t i = 2; i < length; ++i) {
        if (byte(i) < 0x80 || byte(i) > 0xBF) {
            return 0;
        }
    }
    return length;
}

void AppendEscape(std::string& out, unsigned char byte) {
    static constexpr std::string_view kLetters = "abtnvfr";
    if (byte >= '\a' && byte <= '\r') {
        out += '\\';
        out += kLetters[byte - '\a'];
    } else if (byte == '"' || byte == '\\') {
        out += '\\';
        out += static_cast<char>(byte);
    } else {
        out += '\\';
        out += static_cast<char>('0' + (byte >> 6));
        out += static_cast<char>('0' + ((byte >> 3) & 7));
        out += static_cast<char>('0' + (byte & 7));
    }
}

} // namespace

std::string QuotePath(std::string_view path) {
    std::string body;
    bool plain = true;
    for (std::size_t i = 0; i < path.size();) {
        const auto byte = static_cast<unsigned char>(path[i]);
        const std::size_t length = byte < 0x80 ? 1 : MultiByteLength(path, i);
        if (length == 0 || IsControl(byte) || byte == '"' || byte == '\\') {
            AppendEscape(body, byte);
            plain = false;
            ++i;
        } else {
            body.append(path.substr(i, length));
            i += length;
        }
    }
    return plain ? std::string(path) : '"' + body + '"';
}

} // namespace quillstamper
