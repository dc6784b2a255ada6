#include "conversion/own_writes.h"

#include "base/file_error.h"
#include "base/path_resolution.h"

#include <unordered_set>

namespace quillstamper {

OwnWrites::OwnWrites(const FileList& webFiles, const std::string& baseFolder,
                     const std::vector<std::string>& watchedFiles) {
    std::unordered_set<FileIdentity, FileIdentityHash> watched;
    for (const std::string& file : watchedFiles) {
        if (const std::optional<FileIdentity> identity = LookUpIdentity(file)) {
            watched.insert(*identity);
        }
    }
    if (watched.empty()) {
        return;
    }
    for (std::size_t index = 0; index < webFiles.size(); ++index) {
        const std::string path = ResolvePath(webFiles[index], baseFolder);
        const std::optional<FileIdentity> identity = LookUpIdentity(path);
        if (!identity || !watched.contains(*identity)) {
            continue;
        }
        m_identityOf.emplace(index, *identity);
        if (m_pages.contains(*identity)) {
            continue; // listed twice: its later conversions follow its first
        }
        Page& page = m_pages[*identity];
        page.path = path;
        try {
            page.expected = ReadFileSnapshot(path).bytes;
        } catch (const FileError&) {
            // Unread, it cannot be told from another program's write.
        }
    }
}

OwnWrites::Page* OwnWrites::PageOf(std::size_t webIndex) {
    const auto identity = m_identityOf.find(webIndex);
    return identity == m_identityOf.end() ? nullptr : &m_pages.at(identity->second);
}

void OwnWrites::OnFileConverted(std::size_t webIndex, const std::string&, std::string_view oldBytes,
                                std::string_view newBytes, FileOutcome) {
    Page* page = PageOf(webIndex);
    if (page == nullptr || !page->expected) {
        return;
    }
    if (*page->expected != oldBytes) {
        page->expected.reset(); // someone else wrote it since
        return;
    }
    page->expected = std::string(newBytes);
}

void OwnWrites::OnFileWritten(std::size_t webIndex, const std::string&,
                              const FileIdentity& identity) {
    if (Page* page = PageOf(webIndex)) {
        page->left = identity;
    }
}

std::vector<FileState> OwnWrites::LeftStates() const {
    std::vector<FileState> states;
    for (const auto& [identity, page] : m_pages) {
        if (!page.left || !page.expected) {
            continue;
        }
        try {
            // The state is taken before the bytes are read: another write in
            // between leaves other bytes, and one after it another state.
            const FileSnapshot now = ReadFileSnapshot(page.path);
            if (now.identity == *page.left && now.bytes == *page.expected) {
                states.push_back(now.state);
            }
        } catch (const FileError&) {
            // Gone or unreadable: not as the run left it.
        }
    }
    return states;
}

} // namespace quillstamper
