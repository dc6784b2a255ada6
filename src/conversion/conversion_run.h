#pragma once

#include "base/file_error.h"
#include "base/findings.h"
#include "base/site_definition.h"
#include "files/file_io.h"

#include <atomic>
#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace quillstamper {

struct ConversionRequest {
    // The lists, the marker table and how written lines end.
    SiteDefinition site;
    // Relative list entries are taken below this folder.
    std::string baseFolder;
    // False for a dry run: everything is computed, nothing is written.
    bool writeFiles = true;
    // A larger web or template file ends the run with a FileError.
    std::uint64_t maxFileBytes = kDefaultMaxFileBytes;
    // Set to a signal number by a handler: the run stops before the next
    // page, drops what waits for its rename, and says how far it got.
    const std::atomic<int>* interrupt = nullptr;
    // Where pages rewritten in place keep their old bytes; empty: the default.
    std::string recoveryFolder{};
    // The check's run, which also takes the notes that cost time: files
    // whose bytes are not valid in the charset they declare, and rewritten
    // links to files that do not exist.
    bool checkNotes = false;
    // Pages are converted ahead on this many threads (0: one a core), then
    // taken in list order: the result is the same as on one.
    unsigned threads = 0;
};

struct ConversionResult {
    // Either list was empty: nothing was done.
    bool preconditionFailed = false;
    // One per web file finished, in list order.
    std::vector<FileOutcome> outcomes;
    std::vector<UnclosedBlock> problems;
    // In file order: web files before template files, each list in its order.
    std::vector<ConversionNote> notes;
    // The error that ended the run; later web files were not touched.
    std::optional<FileError> error;
    // Web list indices of pages rewritten in place: their folder takes no new file.
    std::vector<std::size_t> inPlace;
    // Pages another program wrote while they were converted, twice: left as they are.
    std::vector<std::string> changedWhileConverting;
    // Pages replaced under some of their names only: the others keep the old
    // bytes. A page written in place, or under every name, is not among them.
    std::vector<HardLinkedPage> hardLinks;
    // Pages that a killed run left half written in place: put back (a real
    // run) or found (a dry run).
    std::vector<std::string> restored;
    std::vector<std::string> recoverable;
    // Pages edited since a killed run was writing them in place: left as they
    // are (and converted), their old bytes still in the recovery copy.
    std::vector<KeptRecoveryCopy> changedSinceInterrupted;
    // The signal that stopped the run, or 0.
    int interruptedBy = 0;
    // How many pages were converted ahead on other threads and taken as
    // they were: for measurements.
    std::size_t pagesConvertedAhead = 0;

    std::size_t CountUpdated() const;
};

// What a run tells its caller while it works.
class ConversionObserver {
public:
    virtual ~ConversionObserver() = default;
    // At the start of each pass; pair counts from 1.
    virtual void OnPassStarted(const std::string& webEntry, int pair);
    // After each web file's passes, in list order, with the bytes it had and
    // the bytes it gets (written when the run commits them).
    // A page that another program wrote meanwhile is converted again, and
    // told again with its index.
    virtual void OnFileConverted(std::size_t webIndex, const std::string& webEntry,
                                 std::string_view oldBytes, std::string_view newBytes,
                                 FileOutcome outcome);
    // Once a page's new bytes are written (renamed over it or, where its
    // folder takes no new file, in place), with the file its name holds now.
    virtual void OnFileWritten(std::size_t webIndex, const std::string& webEntry,
                               const FileIdentity& identity);
};

// "You added %d Web Files and %d Template Files!..."
std::string FormatPreconditionMessage(std::size_t webCount, std::size_t templateCount);

// Rewrites every web file so that each block whose start line a template file
// holds gets that block's current content. Each web file is read once, runs
// its passes in memory and is written once, only when its bytes change.
ConversionResult RunConversion(const ConversionRequest& request,
                               ConversionObserver* observer = nullptr);

} // namespace quillstamper
