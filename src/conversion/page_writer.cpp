#include "conversion/page_writer.h"

#include "base/file_error.h"

#include <algorithm>

namespace quillstamper {

PageWriter::PageWriter(bool writeFiles, RecoveryStore recovery)
    : m_writeFiles(writeFiles), m_batch(std::move(recovery)) {}

namespace {

std::optional<DirectoryEntry> NameOf(const std::string& path, std::uint64_t links) {
    return links > 1 ? LookUpDirectoryEntry(path) : std::nullopt;
}

} // namespace

AtomicWriteBatch::Prepared PageWriter::Prepare(const std::string& path, std::string_view bytes,
                                               const FileState& state) const {
    return m_batch.Prepare(path, bytes, state);
}

void PageWriter::Stage(std::size_t index, const std::string& path, const FileIdentity& identity,
                       std::string_view bytes, const FileState& state, std::uint64_t links,
                       AtomicWriteBatch::Prepared prepared) {
    if (!m_writeFiles) {
        if (m_readAgain && !m_readAgain(identity)) {
            return;
        }
        auto& names = m_wouldHaveWritten[identity];
        auto name = NameOf(path, links);
        const auto found = std::find_if(names.begin(), names.end(),
                                        [&](const auto& written) { return written.first == name; });
        auto written = std::make_shared<const std::string>(bytes);
        if (found != names.end()) {
            found->second = std::move(written);
        } else {
            names.emplace_back(std::move(name), std::move(written));
        }
        return;
    }
    if (prepared) {
        m_batch.Stage(std::move(prepared));
    } else {
        m_batch.Stage(path, bytes, state);
    }
    m_staged.push_back(Written{index, identity, path});
    m_pending.insert(identity);
}

bool PageWriter::IsPending(const FileIdentity& identity) const {
    return m_pending.count(identity) != 0;
}

SharedBytes PageWriter::WouldHaveWritten(const FileSnapshot& snapshot,
                                         const std::string& path) const {
    const auto found = m_wouldHaveWritten.find(snapshot.identity);
    if (found == m_wouldHaveWritten.end()) {
        return nullptr;
    }
    const std::optional<DirectoryEntry> name = NameOf(path, snapshot.links);
    for (const auto& [writtenName, bytes] : found->second) {
        if (writtenName == name) {
            return bytes;
        }
    }
    return nullptr;
}

void PageWriter::KeepOnlyFor(std::function<bool(const FileIdentity&)> readAgain) {
    m_readAgain = std::move(readAgain);
}

bool PageWriter::IsDue() const {
    return m_batch.IsDue();
}

void PageWriter::Commit(std::vector<Written>& done) {
    const std::size_t first = m_batch.CommittedCount();
    const auto collect = [&] {
        for (std::size_t i = first; i < m_batch.CommittedCount(); ++i) {
            Written written = m_staged[i];
            written.outcome = m_batch.OutcomeOf(i);
            written.links = m_batch.LinkCountOf(i);
            written.replacement = m_batch.ReplacementOf(i);
            done.push_back(std::move(written));
        }
        m_pending.clear();
    };
    try {
        m_batch.Commit();
    } catch (const FileError&) {
        collect();
        m_failedIndex = m_staged[m_batch.CommittedCount()].index;
        m_staged.resize(m_batch.StagedCount());
        throw;
    }
    collect();
}

void PageWriter::Discard() {
    m_batch.Discard();
    m_staged.resize(m_batch.StagedCount());
    m_pending.clear();
}

std::optional<std::size_t> PageWriter::FirstPendingIndex() const {
    if (m_failedIndex) {
        return m_failedIndex;
    }
    const std::size_t first = m_batch.CommittedCount();
    return first < m_staged.size() ? std::optional(m_staged[first].index) : std::nullopt;
}

} // namespace quillstamper
