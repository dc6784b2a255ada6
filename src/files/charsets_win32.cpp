#include "files/charsets.h"

#include "base/utf8.h"

#include <algorithm>
#include <optional>
#include <stdexcept>
#include <string_view>
#include <windows.h>

// Windows has no iconv: the Unicode forms are converted here, as iconv does
// (a "UTF-16" or "UTF-32" without an order takes its mark, little-endian by
// default, and writes one), and every other charset through the system's
// code page of that name.
namespace quillstamper::os {

namespace {

struct UnicodeForm {
    std::string_view name;
    int unitSize; // 1, 2 or 4 bytes
    bool bigEndian;
    bool marked; // takes and writes a byte-order mark
};

constexpr UnicodeForm kUnicodeForms[] = {
    {"UTF-8", 1, false, false},    {"UTF-16LE", 2, false, false}, {"UTF-16BE", 2, true, false},
    {"UTF-16", 2, false, true},    {"UCS-2LE", 2, false, false},  {"UCS-2BE", 2, true, false},
    {"UTF-32LE", 4, false, false}, {"UTF-32BE", 4, true, false},  {"UTF-32", 4, false, true},
    {"UCS-4LE", 4, false, false},  {"UCS-4BE", 4, true, false},
};

std::optional<UnicodeForm> FindUnicodeForm(const std::string& charset) {
    for (const UnicodeForm& form : kUnicodeForms) {
        if (form.name == charset) {
            return form;
        }
    }
    return std::nullopt;
}

struct CodePageName {
    std::string_view name;
    UINT codePage;
};

// Charsets by the names iconv and pages give them, after NormalizeCharsetName;
// no stateful page (ISO-2022) and none that cannot tell an unmappable
// character (GB18030).
constexpr CodePageName kCodePages[] = {
    {"US-ASCII", 20127},    {"ANSI_X3.4-1968", 20127},
    {"ISO-8859-1", 28591},  {"ISO-8859-2", 28592},
    {"ISO-8859-3", 28593},  {"ISO-8859-4", 28594},
    {"ISO-8859-5", 28595},  {"ISO-8859-6", 28596},
    {"ISO-8859-7", 28597},  {"ISO-8859-8", 28598},
    {"ISO-8859-9", 28599},  {"ISO-8859-13", 28603},
    {"ISO-8859-15", 28605}, {"LATIN-9", 28605},
    {"WINDOWS-874", 874},   {"WINDOWS-1250", 1250},
    {"WINDOWS-1251", 1251}, {"WINDOWS-1252", 1252},
    {"WINDOWS-1253", 1253}, {"WINDOWS-1254", 1254},
    {"WINDOWS-1255", 1255}, {"WINDOWS-1256", 1256},
    {"WINDOWS-1257", 1257}, {"WINDOWS-1258", 1258},
    {"CP1250", 1250},       {"CP1251", 1251},
    {"CP1253", 1253},       {"CP1254", 1254},
    {"CP1255", 1255},       {"CP1256", 1256},
    {"CP1257", 1257},       {"CP1258", 1258},
    {"KOI8-R", 20866},      {"KOI8-U", 21866},
    {"SHIFT_JIS", 932},     {"SHIFT-JIS", 932},
    {"SJIS", 932},          {"CP932", 932},
    {"WINDOWS-31J", 932},   {"EUC-JP", 20932},
    {"GBK", 936},           {"GB2312", 936},
    {"CP936", 936},         {"BIG5", 950},
    {"BIG5-HKSCS", 950},    {"CP950", 950},
    {"EUC-KR", 949},        {"CP949", 949},
    {"MACINTOSH", 10000},   {"MAC", 10000},
    {"IBM437", 437},        {"CP437", 437},
    {"IBM850", 850},        {"CP850", 850},
    {"IBM866", 866},        {"CP866", 866},
    {"TIS-620", 874},
};

std::optional<UINT> FindCodePage(const std::string& charset) {
    for (const CodePageName& entry : kCodePages) {
        if (entry.name == charset) {
            return ::IsValidCodePage(entry.codePage) ? std::optional<UINT>(entry.codePage)
                                                     : std::nullopt;
        }
    }
    return std::nullopt;
}

std::uint32_t ReadUnit(std::string_view bytes, std::size_t at, int size, bool bigEndian) {
    std::uint32_t unit = 0;
    for (int i = 0; i < size; ++i) {
        const auto byte = static_cast<unsigned char>(bytes[at + static_cast<std::size_t>(i)]);
        unit |= std::uint32_t{byte} << (8 * (bigEndian ? size - 1 - i : i));
    }
    return unit;
}

void WriteUnit(std::string& out, std::uint32_t unit, int size, bool bigEndian) {
    for (int i = 0; i < size; ++i) {
        out += static_cast<char>((unit >> (8 * (bigEndian ? size - 1 - i : i))) & 0xFF);
    }
}

bool IsSurrogate(char32_t c) {
    return c >= 0xD800 && c <= 0xDFFF;
}

// False at the first invalid byte, at invalidAt.
bool DecodeUnicode(std::string_view bytes, UnicodeForm form, std::u32string& codePoints,
                   std::size_t& invalidAt) {
    std::size_t at = 0;
    if (form.marked && bytes.size() >= static_cast<std::size_t>(form.unitSize)) {
        const std::uint32_t mark = ReadUnit(bytes, 0, form.unitSize, false);
        if (mark == 0xFEFF || mark == (form.unitSize == 2 ? 0xFFFEu : 0xFFFE0000u)) {
            form.bigEndian = mark != 0xFEFF;
            at = static_cast<std::size_t>(form.unitSize);
        }
    }
    const auto unitSize = static_cast<std::size_t>(form.unitSize);
    while (at < bytes.size()) {
        invalidAt = at;
        if (form.unitSize == 1) {
            const std::size_t length = Utf8CharacterLength(bytes, at);
            if (length == 0) {
                return false;
            }
            auto lead = static_cast<unsigned char>(bytes[at]);
            char32_t c = length == 1 ? lead : lead & (0xFF >> (length + 1));
            for (std::size_t i = 1; i < length; ++i) {
                c = (c << 6) | (static_cast<unsigned char>(bytes[at + i]) & 0x3F);
            }
            codePoints += c;
            at += length;
            continue;
        }
        if (bytes.size() - at < unitSize) {
            return false;
        }
        char32_t c = ReadUnit(bytes, at, form.unitSize, form.bigEndian);
        at += unitSize;
        if (form.unitSize == 2 && c >= 0xD800 && c <= 0xDBFF) {
            if (bytes.size() - at < 2) {
                return false;
            }
            const char32_t low = ReadUnit(bytes, at, 2, form.bigEndian);
            if (low < 0xDC00 || low > 0xDFFF) {
                return false;
            }
            c = 0x10000 + ((c - 0xD800) << 10) + (low - 0xDC00);
            at += 2;
        } else if (IsSurrogate(c) || c > 0x10FFFF) {
            return false;
        }
        codePoints += c;
    }
    invalidAt = bytes.size();
    return true;
}

// False for a code point the form cannot hold.
bool EncodeUnicode(char32_t c, UnicodeForm form, std::string& out) {
    if (IsSurrogate(c) || c > 0x10FFFF) {
        return false;
    }
    if (form.unitSize == 1) {
        AppendUtf8(out, c);
    } else if (form.unitSize == 2 && c >= 0x10000) {
        if (form.name.starts_with("UCS")) {
            return false;
        }
        WriteUnit(out, 0xD800 + ((c - 0x10000) >> 10), 2, form.bigEndian);
        WriteUnit(out, 0xDC00 + ((c - 0x10000) & 0x3FF), 2, form.bigEndian);
    } else {
        WriteUnit(out, c, form.unitSize, form.bigEndian);
    }
    return true;
}

std::u32string CodePointsOf(std::wstring_view units) {
    std::u32string codePoints;
    for (std::size_t i = 0; i < units.size(); ++i) {
        char32_t c = static_cast<char16_t>(units[i]);
        if (c >= 0xD800 && c <= 0xDBFF && i + 1 < units.size()) {
            c = 0x10000 + ((c - 0xD800) << 10) + (static_cast<char16_t>(units[++i]) - 0xDC00);
        }
        codePoints += c;
    }
    return codePoints;
}

// The system maps the bytes that the Windows code pages leave undefined to
// the C1 controls; iconv refuses them, and so does this.
bool IsUndefinedInWindowsPage(UINT codePage, unsigned char byte, wchar_t decoded) {
    const bool windowsPage = codePage == 874 || (codePage >= 1250 && codePage <= 1258);
    return windowsPage && byte >= 0x80 && decoded >= 0x80 && decoded <= 0x9F;
}

bool DecodeCodePage(std::string_view bytes, UINT codePage, std::u32string& codePoints,
                    std::size_t& invalidAt) {
    CPINFO info{};
    const bool singleByte = ::GetCPInfo(codePage, &info) && info.MaxCharSize == 1;
    if (singleByte) {
        // One byte at a time, so that the first invalid one is known.
        for (std::size_t at = 0; at < bytes.size(); ++at) {
            wchar_t unit = 0;
            const auto byte = static_cast<unsigned char>(bytes[at]);
            if (::MultiByteToWideChar(codePage, MB_ERR_INVALID_CHARS, &bytes[at], 1, &unit, 1) !=
                    1 ||
                IsUndefinedInWindowsPage(codePage, byte, unit)) {
                invalidAt = at;
                return false;
            }
            codePoints += static_cast<char32_t>(static_cast<char16_t>(unit));
        }
        return true;
    }
    const auto convert = [&](std::size_t length, std::wstring* out) {
        const int size = ::MultiByteToWideChar(codePage, MB_ERR_INVALID_CHARS, bytes.data(),
                                               static_cast<int>(length), nullptr, 0);
        if (out != nullptr && size > 0) {
            out->resize(static_cast<std::size_t>(size));
            ::MultiByteToWideChar(codePage, MB_ERR_INVALID_CHARS, bytes.data(),
                                  static_cast<int>(length), out->data(), size);
        }
        return size > 0 || length == 0;
    };
    std::wstring units;
    if (convert(bytes.size(), &units)) {
        codePoints += CodePointsOf(units);
        return true;
    }
    // The longest valid start, found by halving: a start that ends inside a
    // character is invalid too, so this finds a character boundary.
    std::size_t good = 0;
    std::size_t bad = bytes.size();
    while (bad - good > 1) {
        const std::size_t middle = good + (bad - good) / 2;
        (convert(middle, nullptr) ? good : bad) = middle;
    }
    invalidAt = good;
    return false;
}

} // namespace

bool KnowsCharset(const std::string& charset) {
    return FindUnicodeForm(charset) || FindCodePage(charset);
}

bool DecodeText(std::string_view bytes, const std::string& charset, std::u32string& codePoints,
                std::size_t* invalidAt) {
    std::size_t stop = bytes.size();
    std::u32string decoded;
    bool valid = false;
    if (const std::optional<UnicodeForm> form = FindUnicodeForm(charset)) {
        valid = DecodeUnicode(bytes, *form, decoded, stop);
    } else if (const std::optional<UINT> codePage = FindCodePage(charset)) {
        valid = DecodeCodePage(bytes, *codePage, decoded, stop);
    }
    if (!valid) {
        if (invalidAt != nullptr) {
            *invalidAt = stop;
        }
        return false;
    }
    codePoints = std::move(decoded);
    return true;
}

std::string EncodeText(std::u32string_view codePoints, const std::string& charset,
                       const std::function<void(char32_t, std::string&)>& onUnmappable) {
    std::string out;
    if (const std::optional<UnicodeForm> form = FindUnicodeForm(charset)) {
        if (form->marked) {
            WriteUnit(out, 0xFEFF, form->unitSize, form->bigEndian);
        }
        for (const char32_t c : codePoints) {
            if (!EncodeUnicode(c, *form, out)) {
                onUnmappable(c, out);
            }
        }
        return out;
    }
    const std::optional<UINT> codePage = FindCodePage(charset);
    if (!codePage) {
        throw std::invalid_argument("unknown charset " + charset);
    }
    // One code point at a time: the system would put '?' for what the page
    // cannot hold, where the caller's reference must stand.
    const UnicodeForm utf16{"UTF-16LE", 2, false, false};
    for (const char32_t c : codePoints) {
        std::string units;
        if (!EncodeUnicode(c, utf16, units)) {
            onUnmappable(c, out);
            continue;
        }
        std::wstring wide(units.size() / 2, L'\0');
        std::copy(units.begin(), units.end(), reinterpret_cast<char*>(wide.data()));
        char buffer[16];
        BOOL usedDefault = FALSE;
        const int size = ::WideCharToMultiByte(*codePage, WC_NO_BEST_FIT_CHARS, wide.data(),
                                               static_cast<int>(wide.size()), buffer, sizeof buffer,
                                               nullptr, &usedDefault);
        if (size <= 0 || usedDefault) {
            onUnmappable(c, out);
        } else {
            out.append(buffer, static_cast<std::size_t>(size));
        }
    }
    return out;
}

} // namespace quillstamper::os
