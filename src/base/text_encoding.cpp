#include "base/text_encoding.h"

#include <algorithm>
#include <cstring>
#include <utility>

namespace quillstamper {

namespace {

char Lower(char c) {
    return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
}

bool EqualsIgnoringCase(std::string_view a, std::string_view lowerB) {
    if (a.size() != lowerB.size()) {
        return false;
    }
    for (std::size_t i = 0; i < a.size(); ++i) {
        if (Lower(a[i]) != lowerB[i]) {
            return false;
        }
    }
    return true;
}

bool IsSpace(char c) {
    return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\f';
}

std::string_view Trim(std::string_view text) {
    while (!text.empty() && IsSpace(text.front())) {
        text.remove_prefix(1);
    }
    while (!text.empty() && IsSpace(text.back())) {
        text.remove_suffix(1);
    }
    return text;
}

// The attributes of one tag, read from just after its name up to its '>'.
class TagAttributes {
public:
    explicit TagAttributes(std::string_view rest) : m_rest(rest) {}

    // The next name and value (empty without '='); false at the tag's end.
    bool Next(std::string_view& name, std::string_view& value) {
        SkipSpaceAndSlashes();
        if (m_rest.empty() || m_rest.front() == '>') {
            return false;
        }
        std::size_t end = 0;
        while (end < m_rest.size() && !IsSpace(m_rest[end]) && m_rest[end] != '/' &&
               m_rest[end] != '>' && m_rest[end] != '=') {
            ++end;
        }
        name = m_rest.substr(0, std::max<std::size_t>(end, 1));
        m_rest.remove_prefix(name.size());
        value = {};
        SkipSpace();
        if (m_rest.empty() || m_rest.front() != '=') {
            return true;
        }
        m_rest.remove_prefix(1);
        SkipSpace();
        if (!m_rest.empty() && (m_rest.front() == '"' || m_rest.front() == '\'')) {
            const char quote = m_rest.front();
            const std::size_t close = m_rest.find(quote, 1);
            value = m_rest.substr(1, close == std::string_view::npos ? std::string_view::npos
                                                                     : close - 1);
            m_rest.remove_prefix(close == std::string_view::npos ? m_rest.size() : close + 1);
            return true;
        }
        std::size_t valueEnd = 0;
        while (valueEnd < m_rest.size() && !IsSpace(m_rest[valueEnd]) && m_rest[valueEnd] != '>') {
            ++valueEnd;
        }
        value = m_rest.substr(0, valueEnd);
        m_rest.remove_prefix(valueEnd);
        return true;
    }

private:
    void SkipSpace() {
        while (!m_rest.empty() && IsSpace(m_rest.front())) {
            m_rest.remove_prefix(1);
        }
    }
    void SkipSpaceAndSlashes() {
        while (!m_rest.empty() && (IsSpace(m_rest.front()) || m_rest.front() == '/')) {
            m_rest.remove_prefix(1);
        }
    }

    std::string_view m_rest;
};

// "text/html; charset=iso-8859-1" gives iso-8859-1.
std::optional<std::string_view> CharsetOfContentType(std::string_view content) {
    for (std::size_t at = 0; at + 7 <= content.size(); ++at) {
        if (!EqualsIgnoringCase(content.substr(at, 7), "charset")) {
            continue;
        }
        std::string_view rest = Trim(content.substr(at + 7));
        if (rest.empty() || rest.front() != '=') {
            continue;
        }
        rest = Trim(rest.substr(1));
        if (!rest.empty() && (rest.front() == '"' || rest.front() == '\'')) {
            rest.remove_prefix(1);
        }
        std::size_t end = 0;
        while (end < rest.size() && !IsSpace(rest[end]) && rest[end] != ';' && rest[end] != '"' &&
               rest[end] != '\'') {
            ++end;
        }
        if (end > 0) {
            return rest.substr(0, end);
        }
    }
    return std::nullopt;
}

// The charset one <meta ...> tag declares; rest starts after "<meta".
std::optional<std::string_view> CharsetOfMeta(std::string_view rest) {
    TagAttributes attributes(rest);
    std::string_view name;
    std::string_view value;
    bool contentType = false;
    std::optional<std::string_view> content;
    while (attributes.Next(name, value)) {
        if (EqualsIgnoringCase(name, "charset") && !Trim(value).empty()) {
            return Trim(value);
        }
        if (EqualsIgnoringCase(name, "http-equiv")) {
            contentType = EqualsIgnoringCase(Trim(value), "content-type");
        } else if (EqualsIgnoringCase(name, "content")) {
            content = value;
        }
    }
    if (contentType && content) {
        return CharsetOfContentType(*content);
    }
    return std::nullopt;
}

} // namespace

ByteOrderMark FindByteOrderMark(std::string_view bytes) {
    const auto startsWith = [&](std::string_view mark) {
        return bytes.size() >= mark.size() && bytes.compare(0, mark.size(), mark) == 0;
    };
    // Longest first: FF FE 00 00 is UTF-32 LE, not UTF-16 LE.
    for (const TextEncoding encoding :
         {TextEncoding::Utf32Le, TextEncoding::Utf32Be, TextEncoding::Utf8, TextEncoding::Utf16Le,
          TextEncoding::Utf16Be}) {
        const std::string_view mark = ByteOrderMarkOf(encoding);
        if (startsWith(mark)) {
            return {encoding, mark.size()};
        }
    }
    return {};
}

std::string_view ByteOrderMarkOf(TextEncoding encoding) {
    using namespace std::string_view_literals;
    switch (encoding) {
    case TextEncoding::Utf8:
        return "\xEF\xBB\xBF"sv;
    case TextEncoding::Utf16Le:
        return "\xFF\xFE"sv;
    case TextEncoding::Utf16Be:
        return "\xFE\xFF"sv;
    case TextEncoding::Utf32Le:
        return "\xFF\xFE\0\0"sv;
    case TextEncoding::Utf32Be:
        return "\0\0\xFE\xFF"sv;
    case TextEncoding::Bytes:
        break;
    }
    return {};
}

std::string_view EncodingName(TextEncoding encoding) {
    switch (encoding) {
    case TextEncoding::Utf8:
        return "UTF-8";
    case TextEncoding::Utf16Le:
        return "UTF-16LE";
    case TextEncoding::Utf16Be:
        return "UTF-16BE";
    case TextEncoding::Utf32Le:
        return "UTF-32LE";
    case TextEncoding::Utf32Be:
        return "UTF-32BE";
    case TextEncoding::Bytes:
        break;
    }
    return {};
}

bool LooksLikeUtf16WithoutMark(std::string_view bytes) {
    // The first lines, in pairs of bytes: text in UTF-16 has a NUL in one
    // place of nearly every pair, and always in the same place.
    const std::size_t pairs = std::min<std::size_t>(bytes.size(), 256) / 2;
    if (pairs < 2) {
        return false;
    }
    std::size_t nulFirst = 0;
    std::size_t nulSecond = 0;
    for (std::size_t i = 0; i < pairs; ++i) {
        const bool first = bytes[2 * i] == '\0';
        const bool second = bytes[2 * i + 1] == '\0';
        nulFirst += first && !second ? 1 : 0;
        nulSecond += second && !first ? 1 : 0;
    }
    return std::max(nulFirst, nulSecond) * 10 >= pairs * 9;
}

// Every page is asked: the word charset comes before an '=' wherever a
// charset is declared, so only the few '=' of the head are looked at, and
// only a <meta> tag that holds one is read.
std::optional<std::string> FindDeclaredCharset(std::string_view bytes) {
    const std::string_view head = bytes.substr(0, 1024);
    for (std::size_t at = 0; at < head.size();) {
        const void* found = std::memchr(head.data() + at, '=', head.size() - at);
        if (found == nullptr) {
            break;
        }
        const std::size_t equals =
            static_cast<std::size_t>(static_cast<const char*>(found) - head.data());
        at = equals + 1;
        std::size_t word = equals;
        while (word > 0 && IsSpace(head[word - 1])) {
            --word;
        }
        if (word < 7 || !EqualsIgnoringCase(head.substr(word - 7, 7), "charset")) {
            continue;
        }
        const std::size_t tag = head.rfind('<', word);
        if (tag == std::string_view::npos || head.find('>', tag) < equals ||
            tag + 6 > head.size() || !EqualsIgnoringCase(head.substr(tag + 1, 4), "meta") ||
            !(IsSpace(head[tag + 5]) || head[tag + 5] == '/')) {
            continue;
        }
        if (const std::optional<std::string_view> charset = CharsetOfMeta(head.substr(tag + 5))) {
            return NormalizeCharsetName(*charset);
        }
    }
    return std::nullopt;
}

std::string NormalizeCharsetName(std::string_view label) {
    std::string lower;
    for (const char c : Trim(label)) {
        lower += Lower(c);
    }
    static constexpr std::pair<std::string_view, std::string_view> kAliases[] = {
        {"utf8", "UTF-8"},
        {"utf-8", "UTF-8"},
        {"unicode-1-1-utf-8", "UTF-8"},
        {"iso-8859-1", "ISO-8859-1"},
        {"iso8859-1", "ISO-8859-1"},
        {"iso_8859-1", "ISO-8859-1"},
        {"iso_8859-1:1987", "ISO-8859-1"},
        {"latin1", "ISO-8859-1"},
        {"l1", "ISO-8859-1"},
        {"cp819", "ISO-8859-1"},
        {"ibm819", "ISO-8859-1"},
        {"csisolatin1", "ISO-8859-1"},
        {"iso-ir-100", "ISO-8859-1"},
        {"windows-1252", "WINDOWS-1252"},
        {"cp1252", "WINDOWS-1252"},
        {"x-cp1252", "WINDOWS-1252"},
        {"us-ascii", "US-ASCII"},
        {"ascii", "US-ASCII"},
    };
    for (const auto& [alias, name] : kAliases) {
        if (lower == alias) {
            return std::string(name);
        }
    }
    std::string upper;
    for (const char c : lower) {
        upper += c >= 'a' && c <= 'z' ? static_cast<char>(c - 'a' + 'A') : c;
    }
    return upper;
}

bool HasHtmlExtension(std::string_view path) {
    const std::size_t dot = path.rfind('.');
    if (dot == std::string_view::npos || path.find('/', dot) != std::string_view::npos) {
        return false;
    }
    const std::string_view extension = path.substr(dot + 1);
    return EqualsIgnoringCase(extension, "htm") || EqualsIgnoringCase(extension, "html") ||
           EqualsIgnoringCase(extension, "php");
}

} // namespace quillstamper
