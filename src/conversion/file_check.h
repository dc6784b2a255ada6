#pragma once

#include "base/file_error.h"
#include "base/site_definition.h"
#include "conversion/conversion_run.h"

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace quillstamper {

inline constexpr std::string_view kCheckPassedMessage =
    "No errors found in files, file checking done!";

// "End of template missing:\n\n" and the start line.
std::string FormatCheckReport(std::string_view startLine);
// "FILE:LINE: End of template missing: START-LINE", the one-line form.
std::string FormatCheckReportLine(std::string_view file, std::size_t line,
                                  std::string_view startLine);
// "End of template missing: START-LINE", the one-line form without its place.
std::string FormatCheckReportMessage(std::string_view startLine);

// Reads every web file, then every template file, and reports each start line
// whose block stem followed by any end identifier of the table stands nowhere
// in them: once per occurrence, per pair whose start identifier the line
// begins with and per pair whose start line it is. Writes nothing. Throws
// FileError for a file that cannot be read or is larger than maxFileBytes:
// the first such file in list order. The files are read on up to threads
// threads (0: one a core).
std::vector<UnclosedBlock> CheckFiles(const FileList& webFiles, const FileList& templateFiles,
                                      const IdentifierTable& identifiers,
                                      const std::string& baseFolder = {},
                                      std::uint64_t maxFileBytes = kDefaultMaxFileBytes,
                                      unsigned threads = 1);

struct FileCheckResult {
    // The reports above, then each block a Dynamize run with these lists
    // would leave alone (its end line is missing or closes another block),
    // unless the same occurrence is already among them.
    std::vector<UnclosedBlock> reports;
    // What Dynamize would not change although the user may have meant it to.
    std::vector<ConversionNote> notes;
    // Pages a killed run left half written in place; Dynamize puts them back.
    std::vector<std::string> recoverable;
    // Pages edited since such a run: Dynamize leaves them, and their copies, alone.
    std::vector<KeptRecoveryCopy> changedSinceInterrupted;
    // A file that could not be read ended the check, as a file error ends a
    // conversion run: nothing above was found.
    std::optional<FileError> error;
};

// The notes for one message: at most 20 lines, then how many more there are.
std::string FormatNotesMessage(const std::vector<ConversionNote>& notes);

// CheckFiles, then a dry run of the conversion for its problems and notes,
// which tells observer (if any) of its progress. With either list empty there
// is no dry run.
FileCheckResult CheckFilesAndBlocks(const SiteDefinition& site, const std::string& baseFolder = {},
                                    std::uint64_t maxFileBytes = kDefaultMaxFileBytes,
                                    ConversionObserver* observer = nullptr, unsigned threads = 0);

} // namespace quillstamper
