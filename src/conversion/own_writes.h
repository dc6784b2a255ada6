#pragma once

#include "conversion/conversion_run.h"
#include "files/file_io.h"

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

namespace quillstamper {

// Which watched files a conversion run rewrote itself, so that a watch does
// not take the run's own write for an edit and start the next run on it (a
// page that is also a template would otherwise start runs for ever). Made
// right before the run and told what the run does, as its observer.
class OwnWrites : public ConversionObserver {
public:
    // The pages of the list (entries taken below baseFolder) that are
    // watched files, in any spelling, and their bytes now.
    OwnWrites(const FileList& webFiles, const std::string& baseFolder,
              const std::vector<std::string>& watchedFiles);

    void OnFileConverted(std::size_t webIndex, const std::string& webEntry,
                         std::string_view oldBytes, std::string_view newBytes,
                         FileOutcome outcome) override;
    void OnFileWritten(std::size_t webIndex, const std::string& webEntry,
                       const FileIdentity& identity) override;

    // After the run: how each such page that it wrote looks now, when each of
    // the run's reads found what was there before it or what it wrote last,
    // and the name holds the file it left with the bytes it wrote. A page
    // another program wrote meanwhile is not among them: its change counts.
    std::vector<FileState> LeftStates() const;

private:
    struct Page {
        std::string path;
        std::optional<std::string> expected; // what the next read should find
        std::optional<FileIdentity> left;    // the file the run left under the name
    };

    Page* PageOf(std::size_t webIndex);

    std::unordered_map<FileIdentity, Page, FileIdentityHash> m_pages;
    std::unordered_map<std::size_t, FileIdentity> m_identityOf; // by web list index
};

} // namespace quillstamper
