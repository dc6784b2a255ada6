#include "conversion/page_writer.h"

#include "workspace/file_error.h"

namespace quillstamper {

PageWriter::PageWriter(bool writeFiles, RecoveryStore recovery)
    : m_writeFiles(writeFiles), m_batch(std::move(recovery)) {}

void PageWriter::Stage(std::size_t index, const std::string& path, const FileIdentity& identity,
                       std::string_view bytes, const FileState& state) {
    if (!m_writeFiles) {
        m_wouldHaveWritten[identity] = std::make_shared<const std::string>(bytes);
        return;
    }
    m_batch.Stage(path, bytes, state);
    m_staged.push_back(Written{index, identity, path});
    m_pending.insert(identity);
}

bool PageWriter::IsPending(const FileIdentity& identity) const {
    return m_pending.count(identity) != 0;
}

SharedBytes PageWriter::WouldHaveWritten(const FileIdentity& identity) const {
    const auto found = m_wouldHaveWritten.find(identity);
    return found == m_wouldHaveWritten.end() ? nullptr : found->second;
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
