#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace quillstamper {

// What a run or a check finds, as values every front end renders.

enum class FileOutcome { Unchanged, Updated };

// A file of more names than one that a run replaced (or would) under some of
// them: it holds a new file there, while the names left keep the old one.
struct HardLinkedPage {
    std::string page;      // the first list entry written
    std::size_t links = 0; // names the file had
    std::size_t kept = 0;  // of them, those that keep the old bytes

    friend bool operator==(const HardLinkedPage&, const HardLinkedPage&) = default;
};

// A page that holds more than an interrupted write left, and the recovery
// copy that keeps its content from before that write.
struct KeptRecoveryCopy {
    std::string page; // the list entry as written
    std::string copy; // the copy's file

    friend bool operator==(const KeptRecoveryCopy&, const KeptRecoveryCopy&) = default;
};

// "a run was interrupted while writing it in place; DYNAMIZE puts its old
// content back first", to follow "PATH: ": each front end names its Dynamize.
std::string FormatRecoverable(std::string_view dynamize);

// "... and N more", which ends a list cut short.
std::string FormatAndMore(std::size_t more);

// "changed since an interrupted run; its old content is in RECOVERY-PATH",
// to follow "PATH: ".
std::string FormatKeptCopy(std::string_view copy);

// A block whose end line is missing: Dynamize leaves it as it is, the check
// reports it. One value wherever it is found: a page, a template file, or
// the check's search for expected end lines.
struct UnclosedBlock {
    enum class Place { WebFile, TemplateFile };
    Place place = Place::WebFile;
    std::string file;     // the list entry as written
    std::size_t line = 0; // counted from 1
    std::string startLine;
    // The first end line after it, when that did not fit the block (an
    // ordinary comment that ends like an end line): counted from 1, or 0.
    std::size_t refusedLine = 0;
    std::string refusedText{};
};

// "PATH:LINE: this line ends like an end line but is no end line of the block
// above: TEXT", for a problem with a refused end line.
std::string FormatRefusedEndLine(std::string_view file, std::size_t line, std::string_view text);

// Something a run did not change although the user may have meant it to.
// Notes never stop a run.
struct ConversionNote {
    enum class Kind {
        NoTemplate,       // a page's start line that no template file holds
        NoWebFile,        // a template's start line that no page looks up
        IndentedMarker,   // a marker line with blanks or tabs before it
        EndWithoutStart,  // a customary end line that closes no block
        RefusedEndLine,   // a line that ends like an end line but did not fit its block
        SharedBlock,      // a template block another template file holds too
        InBothLists,      // a file that is a web file and a template file (line 0)
        CharsetMismatch,  // a block copied as bytes into a page of another charset
        InvalidText,      // bytes that are not valid in the file's declared charset
        MissingLinkTarget // a rewritten link whose file does not exist
    };
    Kind kind = Kind::NoTemplate;
    std::string file;     // the list entry as written
    std::size_t line = 0; // counted from 1
    std::string text;     // the line itself
    std::string detail{}; // the charsets and characters of the charset notes
};

// "PATH:LINE: no template holds this block: START-LINE" and the like; "PATH: "
// alone for a note on a whole file.
std::string FormatNote(const ConversionNote& note);
// The same without "PATH:LINE: ", for reports that keep the place apart.
std::string FormatNoteMessage(const ConversionNote& note);

} // namespace quillstamper
