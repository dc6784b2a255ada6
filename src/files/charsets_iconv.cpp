#include "files/charsets.h"

#include <bit>
#include <cerrno>
#include <iconv.h>
#include <stdexcept>

namespace quillstamper::os {

namespace {

// Code points as the machine holds char32_t, without a byte-order mark.
constexpr const char* kCodePoints =
    std::endian::native == std::endian::little ? "UTF-32LE" : "UTF-32BE";

class Converter {
public:
    Converter(const std::string& to, const std::string& from)
        : m_handle(::iconv_open(to.c_str(), from.c_str())) {}
    ~Converter() {
        if (IsOpen()) {
            ::iconv_close(m_handle);
        }
    }
    Converter(const Converter&) = delete;
    Converter& operator=(const Converter&) = delete;

    bool IsOpen() const {
        return m_handle != reinterpret_cast<iconv_t>(-1);
    }

    // Converts as much of in as it can into out, growing it; returns errno
    // of the stop (0 when everything was converted).
    int Convert(const char*& in, std::size_t& inLeft, std::string& out) {
        while (inLeft > 0) {
            const std::size_t used = out.size();
            out.resize(used + inLeft * 4 + 16);
            char* to = out.data() + used;
            std::size_t toLeft = out.size() - used;
            // iconv's signature takes char**, although it never writes the input.
            char* from = const_cast<char*>(in);
            const std::size_t result = ::iconv(m_handle, &from, &inLeft, &to, &toLeft);
            const int error = result == static_cast<std::size_t>(-1) ? errno : 0;
            in = from;
            out.resize(out.size() - toLeft);
            if (error != 0 && error != E2BIG) {
                return error;
            }
        }
        return 0;
    }

private:
    iconv_t m_handle;
};

} // namespace

bool KnowsCharset(const std::string& charset) {
    return Converter(kCodePoints, charset).IsOpen() && Converter(charset, kCodePoints).IsOpen();
}

bool DecodeText(std::string_view bytes, const std::string& charset, std::u32string& codePoints,
                std::size_t* invalidAt) {
    Converter converter(kCodePoints, charset);
    if (!converter.IsOpen()) {
        if (invalidAt != nullptr) {
            *invalidAt = bytes.size();
        }
        return false;
    }
    const char* in = bytes.data();
    std::size_t inLeft = bytes.size();
    std::string out;
    if (converter.Convert(in, inLeft, out) != 0) {
        if (invalidAt != nullptr) {
            *invalidAt = static_cast<std::size_t>(in - bytes.data());
        }
        return false;
    }
    codePoints.assign(out.size() / sizeof(char32_t), U'\0');
    out.copy(reinterpret_cast<char*>(codePoints.data()), out.size());
    return true;
}

std::string EncodeText(std::u32string_view codePoints, const std::string& charset,
                       const std::function<void(char32_t, std::string&)>& onUnmappable) {
    Converter converter(charset, kCodePoints);
    if (!converter.IsOpen()) {
        throw std::invalid_argument("unknown charset " + charset);
    }
    const char* in = reinterpret_cast<const char*>(codePoints.data());
    std::size_t inLeft = codePoints.size() * sizeof(char32_t);
    std::string out;
    while (converter.Convert(in, inLeft, out) == EILSEQ) {
        char32_t codePoint = 0;
        std::char_traits<char>::copy(reinterpret_cast<char*>(&codePoint), in, sizeof codePoint);
        onUnmappable(codePoint, out);
        in += sizeof codePoint;
        inLeft -= sizeof codePoint;
    }
    return out;
}

} // namespace quillstamper::os
