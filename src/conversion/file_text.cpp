#include "conversion/file_text.h"

#include "base/file_error.h"
#include "base/utf8.h"
#include "files/charsets.h"

#include <cstring>

namespace quillstamper {

namespace {

// One valid UTF-8 character, as Utf8CharacterLength measured it.
char32_t DecodeUtf8Character(std::string_view bytes) {
    const auto byte = [&](std::size_t i) {
        return static_cast<char32_t>(static_cast<unsigned char>(bytes[i]));
    };
    switch (bytes.size()) {
    case 1:
        return byte(0);
    case 2:
        return ((byte(0) & 0x1F) << 6) | (byte(1) & 0x3F);
    case 3:
        return ((byte(0) & 0x0F) << 12) | ((byte(1) & 0x3F) << 6) | (byte(2) & 0x3F);
    default:
        return ((byte(0) & 0x07) << 18) | ((byte(1) & 0x3F) << 12) | ((byte(2) & 0x3F) << 6) |
               (byte(3) & 0x3F);
    }
}

bool IsWideEncoding(TextEncoding encoding) {
    return encoding != TextEncoding::Bytes && encoding != TextEncoding::Utf8;
}

} // namespace

FileText DecodeFileText(const SharedBytes& bytes, const std::string& path) {
    const std::string_view all = *bytes;
    const ByteOrderMark mark = FindByteOrderMark(all);
    FileText file{mark.encoding, bytes, all.substr(mark.length)};
    if (mark.encoding == TextEncoding::Bytes) {
        if (std::memchr(all.data(), '\0', std::min<std::size_t>(all.size(), 8)) != nullptr &&
            LooksLikeUtf16WithoutMark(all)) {
            throw FileError(path, std::string(kUtf16WithoutMarkCause));
        }
        return file;
    }
    if (!IsWideEncoding(mark.encoding)) {
        return file;
    }
    std::u32string codePoints;
    if (!os::DecodeText(file.text, std::string(EncodingName(mark.encoding)), codePoints)) {
        throw FileError(path, "not valid " + std::string(EncodingName(mark.encoding)) + " text");
    }
    std::string utf8;
    utf8.reserve(codePoints.size());
    for (const char32_t c : codePoints) {
        AppendUtf8(utf8, c);
    }
    file.holder = std::make_shared<const std::string>(std::move(utf8));
    file.text = *file.holder;
    return file;
}

StandingText ReadStandingText(const std::string& path, std::uint64_t maxBytes) {
    StandingText file;
    if (!LookUpDirectoryEntry(path) || !LookUpIdentity(path)) {
        return file;
    }
    FileSnapshot snapshot = ReadFileSnapshot(path, maxBytes);
    file.state = snapshot.state;
    file.bytes = std::move(snapshot.bytes);
    const FileText text = DecodeFileText(std::make_shared<const std::string>(file.bytes), path);
    file.text = std::string(text.text);
    file.encoding = text.encoding;
    return file;
}

std::string EncodeFileText(TextEncoding encoding, std::string_view text) {
    std::string bytes(ByteOrderMarkOf(encoding));
    if (!IsWideEncoding(encoding)) {
        bytes.append(text);
        return bytes;
    }
    std::u32string codePoints;
    // Text read from such a file is UTF-8; what templates put in may not be.
    // Bytes that are no UTF-8 stand for themselves, as Latin-1 would read them.
    for (std::size_t i = 0; i < text.size();) {
        const std::size_t length = Utf8CharacterLength(text, i);
        if (length == 0) {
            codePoints += static_cast<char32_t>(static_cast<unsigned char>(text[i]));
            ++i;
            continue;
        }
        codePoints += DecodeUtf8Character(text.substr(i, length));
        i += length;
    }
    bytes += os::EncodeText(codePoints, std::string(EncodingName(encoding)),
                            [](char32_t, std::string&) {});
    return bytes;
}

std::optional<std::string>
ConvertCharset(std::string_view text, const std::string& from, const std::string& to,
               const std::function<void(char32_t, std::string&)>& onUnmappable) {
    std::u32string codePoints;
    if (!os::DecodeText(text, from, codePoints) || !os::KnowsCharset(to)) {
        return std::nullopt;
    }
    return os::EncodeText(codePoints, to, onUnmappable);
}

std::optional<std::size_t> FindTextInvalidInDeclaredCharset(const FileText& file,
                                                            std::string* charset) {
    if (file.encoding != TextEncoding::Bytes) {
        return std::nullopt;
    }
    const std::optional<std::string> declared = FindDeclaredCharset(file.text);
    if (!declared) {
        return std::nullopt;
    }
    if (charset != nullptr) {
        *charset = *declared;
    }
    if (*declared == "UTF-8") {
        for (std::size_t i = 0; i < file.text.size();) {
            const std::size_t length = Utf8CharacterLength(file.text, i);
            if (length == 0) {
                return i;
            }
            i += length;
        }
        return std::nullopt;
    }
    std::u32string codePoints;
    std::size_t invalidAt = 0;
    if (os::DecodeText(file.text, *declared, codePoints, &invalidAt) ||
        invalidAt == file.text.size()) {
        return std::nullopt;
    }
    return invalidAt;
}

std::optional<std::string> CharsetOfText(const FileText& file, bool isTemplate) {
    if (file.encoding != TextEncoding::Bytes) {
        return std::string("UTF-8");
    }
    if (std::optional<std::string> declared = FindDeclaredCharset(file.text)) {
        return declared;
    }
    if (isTemplate && IsValidUtf8(file.text)) {
        return std::string("UTF-8");
    }
    return std::nullopt;
}

} // namespace quillstamper
