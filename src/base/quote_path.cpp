#include "base/quote_path.h"

#include "base/utf8.h"

#include <algorithm>
#include <cstddef>

namespace quillstamper {

namespace {

bool IsControl(unsigned char byte) {
    return byte < 0x20 || byte == 0x7F;
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

std::string QuoteLine(std::string_view line) {
    const bool plain = (line.empty() || (line.back() != ' ' && line.back() != '\t')) &&
                       std::none_of(line.begin(), line.end(), [](char c) {
                           return IsControl(static_cast<unsigned char>(c));
                       });
    if (plain) {
        return std::string(line);
    }
    std::string body;
    for (std::size_t i = 0; i < line.size();) {
        const auto byte = static_cast<unsigned char>(line[i]);
        const std::size_t length = Utf8CharacterLength(line, i);
        if (length == 0 || IsControl(byte) || byte == '"' || byte == '\\') {
            AppendEscape(body, byte);
            ++i;
        } else {
            body.append(line.substr(i, length));
            i += length;
        }
    }
    return '"' + body + '"';
}

std::string QuotePath(std::string_view path) {
    std::string body;
    bool plain = true;
    for (std::size_t i = 0; i < path.size();) {
        const auto byte = static_cast<unsigned char>(path[i]);
        const std::size_t length = Utf8CharacterLength(path, i);
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
