#pragma once

#include "base/site_definition.h"
#include "files/file_io.h"

#include <cstdint>
#include <string>
#include <string_view>

namespace quillstamper {

inline constexpr std::string_view kProjectHeader = "Trelvonix Quillstamper Project";
inline constexpr std::string_view kNotAProjectMessage = "No project file!";
inline constexpr std::string_view kProjectFileSuffix = ".trvx";
inline constexpr std::string_view kDefaultProjectName = "My dynamic website.trvx";

// The bytes of a project file: header, separator, empty line, the web list,
// "[EOL]", the template list, "[EOL]", the eight identifiers, "[EOL]"; every
// line ended by CR LF. Settings other than their defaults follow, one a line,
// where older readers stop reading: "Line ends: LF" or "Line ends: keep",
// "End lines: any", "Text: bytes", "Links: relative to each page",
// "Link base: PATH", "Current page: aria-current" or "Current page: class NAME".
std::string FormatProjectFile(const SiteDefinition& data);

struct ProjectParseResult {
    enum class Status { Loaded, NotAProject, Truncated, BadSetting };
    Status status = Status::NotAProject;
    SiteDefinition data;
    // For a refused file: why, in words for the user.
    std::string message;
};

// Reads a project file's bytes (LF or CR LF line ends). A first line other
// than the header is refused with "No project file!"; a file that ends inside
// the web or template list is refused as cut short; missing identifier lines
// give empty identifiers. After them, the first line of each setting sets it
// (key and value in any case, blanks around them ignored); a value it does
// not take refuses the file, naming its line. Other lines there are ignored.
ProjectParseResult ParseProjectFile(std::string_view bytes);

// Reads and writes project files on disk. Throw FileError.
ProjectParseResult ReadProjectFile(const std::string& path,
                                   std::uint64_t maxFileBytes = kDefaultMaxFileBytes);
void WriteProjectFile(const std::string& path, const SiteDefinition& data);

} // namespace quillstamper
