#include "base/findings.h"

#include "base/quote_path.h"

namespace quillstamper {

std::string FormatRecoverable(std::string_view dynamize) {
    return "a run was interrupted while writing it in place; " + std::string(dynamize) +
           " puts its old content back first";
}

std::string FormatAndMore(std::size_t more) {
    return "... and " + std::to_string(more) + " more";
}

std::string FormatKeptCopy(std::string_view copy) {
    return "changed since an interrupted run; its old content is in " + std::string(copy);
}

std::string FormatNote(const ConversionNote& note) {
    const std::string place =
        note.line == 0 ? note.file + ": " : note.file + ':' + std::to_string(note.line) + ": ";
    return place + FormatNoteMessage(note);
}

std::string FormatNoteMessage(const ConversionNote& note) {
    std::string text;
    switch (note.kind) {
    case ConversionNote::Kind::NoTemplate:
        text += "no template holds this block: ";
        break;
    case ConversionNote::Kind::NoWebFile:
        text += "no web file uses this block: ";
        break;
    case ConversionNote::Kind::IndentedMarker:
        text += "indented marker is no marker: ";
        break;
    case ConversionNote::Kind::EndWithoutStart:
        text += "end line without a start line: ";
        break;
    case ConversionNote::Kind::RefusedEndLine:
        text += "this line ends like an end line but is no end line of the block above: ";
        break;
    case ConversionNote::Kind::SharedBlock:
        text += "another template file holds this block too: ";
        break;
    case ConversionNote::Kind::InBothLists:
        text += "is a web file and a template file: each run takes as template what the run "
                "before wrote into it";
        break;
    case ConversionNote::Kind::CharsetMismatch:
        text += "the page's charset " + note.detail + "; Text: bytes copies the block as it is: ";
        break;
    case ConversionNote::Kind::InvalidText:
        text += "bytes not valid in the declared charset " + note.detail + ": ";
        break;
    case ConversionNote::Kind::MissingLinkTarget:
        text += "link to a missing file: ";
        break;
    }
    return text + QuoteLine(note.text);
}

std::string FormatRefusedEndLine(std::string_view file, std::size_t line, std::string_view text) {
    return FormatNote(
        {ConversionNote::Kind::RefusedEndLine, std::string(file), line, std::string(text)});
}

} // namespace quillstamper
