#pragma once

#include "base/text_encoding.h"
#include "files/file_io.h"

#include <functional>
#include <optional>
#include <string>
#include <string_view>

namespace quillstamper {

// A file's text as the passes see it: a byte-order mark is no part of its
// first line, and UTF-16 and UTF-32 are read as UTF-8.
struct FileText {
    TextEncoding encoding = TextEncoding::Bytes; // as stored
    SharedBytes holder;                          // what text points into
    std::string_view text;
};

// Throws FileError naming path for UTF-16 saved without a mark, and for
// UTF-16 or UTF-32 that does not decode.
FileText DecodeFileText(const SharedBytes& bytes, const std::string& path);

// A file about to be changed, as it stands: its bytes, text and state. All
// empty, and no state, when there is no file; a link to nothing counts as
// none, as writing through it makes the file it names.
struct StandingText {
    std::string bytes;
    std::string text;
    TextEncoding encoding = TextEncoding::Bytes;
    std::optional<FileState> state;
};

// Throws FileError naming path when it is there and cannot be read.
StandingText ReadStandingText(const std::string& path,
                              std::uint64_t maxBytes = kDefaultMaxFileBytes);

// The bytes that store text (UTF-8 for UTF-16 and UTF-32) in encoding,
// behind its mark.
std::string EncodeFileText(TextEncoding encoding, std::string_view text);

// The charset of a file's text: UTF-8 behind a mark (UTF-16 and UTF-32 are
// read as UTF-8), else the charset it declares; for a template file, else
// UTF-8 when all its bytes are valid UTF-8. Nothing when it is not known.
std::optional<std::string> CharsetOfText(const FileText& file, bool isTemplate);

// Text in charset from, converted to charset to; a character to cannot hold
// goes to onUnmappable, which appends what stands for it. Nothing when the
// text is not valid in from, or either charset is unknown to the system.
std::optional<std::string>
ConvertCharset(std::string_view text, const std::string& from, const std::string& to,
               const std::function<void(char32_t, std::string&)>& onUnmappable);

// Where the first byte stands that is not valid in the charset the text
// declares (a <meta> one; a file behind a mark was decoded already), or
// nothing when every byte is, or it declares none that the system knows.
std::optional<std::size_t> FindTextInvalidInDeclaredCharset(const FileText& file,
                                                            std::string* charset);

} // namespace quillstamper
