#include "conversion/file_check.h"

#include "base/path_resolution.h"
#include "base/quote_path.h"
#include "conversion/file_text.h"
#include "conversion/line_model.h"
#include "conversion/markers.h"
#include "conversion/work_threads.h"
#include "files/file_io.h"

#include <algorithm>
#include <exception>
#include <map>
#include <tuple>
#include <unordered_set>

namespace quillstamper {

std::string FormatCheckReport(std::string_view startLine) {
    std::string text = "End of template missing:\n\n";
    text.append(startLine);
    return text;
}

std::string FormatCheckReportLine(std::string_view file, std::size_t line,
                                  std::string_view startLine) {
    std::string text(file);
    text += ':' + std::to_string(line) + ": ";
    return text + FormatCheckReportMessage(startLine);
}

std::string FormatCheckReportMessage(std::string_view startLine) {
    return "End of template missing: " + QuoteLine(startLine);
}

namespace {

// The lines that begin with a start identifier: only these can be start
// lines or expected end lines, so only these are kept, not whole files.
class MarkerLines {
public:
    explicit MarkerLines(const IdentifierTable& identifiers) : m_identifiers(identifiers) {}

    void Collect(const std::string& entry, UnclosedBlock::Place place, const LineViews& lines) {
        for (std::size_t i = 0; i < lines.size(); ++i) {
            int count = 0;
            for (int pair = 1; pair <= kPairCount; ++pair) {
                const std::string& startId = m_identifiers.StartId(pair);
                if (!startId.empty() && BeginsWith(lines[i], startId)) {
                    ++count;
                }
            }
            if (count > 0) {
                m_markers.push_back(
                    Marker{m_arena.size(), lines[i].size(), &entry, place, i + 1, count});
                m_arena.append(lines[i]);
            }
        }
    }

    // Takes over the marker lines other collected, after its own.
    void Append(MarkerLines&& other) {
        const std::size_t shift = m_arena.size();
        m_arena.append(other.m_arena);
        for (Marker& marker : other.m_markers) {
            marker.offset += shift;
            m_markers.push_back(marker);
        }
    }

    // Each start line whose expected end line, with any end identifier of
    // the table, is none of the marker lines.
    std::vector<UnclosedBlock> FindMissingEnds() const {
        std::unordered_set<std::string_view> present;
        present.reserve(m_markers.size());
        for (const Marker& marker : m_markers) {
            present.insert(TextOf(marker));
        }
        std::vector<UnclosedBlock> reports;
        for (const Marker& marker : m_markers) {
            const std::string_view line = TextOf(marker);
            const int startCount = CountStartPairs(line);
            if (startCount == 0 || HasExpectedEnd(line, present)) {
                continue;
            }
            for (int copy = 0; copy < marker.startIdCount * startCount; ++copy) {
                reports.push_back({marker.place, *marker.file, marker.line, std::string(line)});
            }
        }
        return reports;
    }

private:
    struct Marker {
        std::size_t offset = 0; // into the arena
        std::size_t length = 0;
        const std::string* file = nullptr;
        UnclosedBlock::Place place = UnclosedBlock::Place::WebFile;
        std::size_t line = 0;
        int startIdCount = 0; // how many non-empty start identifiers it begins with
    };

    std::string_view TextOf(const Marker& marker) const {
        return std::string_view(m_arena).substr(marker.offset, marker.length);
    }

    // Pairs with an empty start identifier take part here too.
    int CountStartPairs(std::string_view line) const {
        int count = 0;
        for (int pair = 1; pair <= kPairCount; ++pair) {
            if (IsStartLine(line, m_identifiers.StartId(pair), m_identifiers.EndId(pair))) {
                ++count;
            }
        }
        return count;
    }

    bool HasExpectedEnd(std::string_view startLine,
                        const std::unordered_set<std::string_view>& present) const {
        const std::string_view stem = BlockStem(startLine);
        std::string expected;
        for (int pair = 1; pair <= kPairCount; ++pair) {
            expected.assign(stem);
            expected.append(m_identifiers.EndId(pair));
            if (present.count(expected) != 0) {
                return true;
            }
        }
        return false;
    }

    const IdentifierTable& m_identifiers;
    std::string m_arena;
    std::vector<Marker> m_markers;
};

} // namespace

std::vector<UnclosedBlock> CheckFiles(const FileList& webFiles, const FileList& templateFiles,
                                      const IdentifierTable& identifiers,
                                      const std::string& baseFolder, std::uint64_t maxFileBytes,
                                      unsigned threads) {
    using Place = UnclosedBlock::Place;
    std::vector<std::pair<const std::string*, Place>> files;
    for (const std::string& entry : webFiles) {
        files.emplace_back(&entry, Place::WebFile);
    }
    for (const std::string& entry : templateFiles) {
        files.emplace_back(&entry, Place::TemplateFile);
    }
    // A round of files is read at once, each file's marker lines kept apart
    // and then taken in list order: the first error in the list is thrown.
    threads = threads == 0 ? CountCores() : threads;
    const std::size_t round = 32 * threads;
    MarkerLines markers(identifiers);
    for (std::size_t from = 0; from < files.size(); from += round) {
        const std::size_t count = std::min(round, files.size() - from);
        std::vector<MarkerLines> parts(count, MarkerLines(identifiers));
        std::vector<std::exception_ptr> errors(count);
        RunOnThreads(count, threads, [&](std::size_t i) {
            const auto& [entry, place] = files[from + i];
            try {
                const std::string path = ResolvePath(*entry, baseFolder);
                const FileText text = DecodeFileText(
                    std::make_shared<const std::string>(ReadFileBytes(path, maxFileBytes)), path);
                parts[i].Collect(*entry, place, SplitLines(text.text));
            } catch (...) {
                errors[i] = std::current_exception();
            }
        });
        for (std::size_t i = 0; i < count; ++i) {
            if (errors[i]) {
                std::rethrow_exception(errors[i]);
            }
            markers.Append(std::move(parts[i]));
        }
    }
    return markers.FindMissingEnds();
}

std::string FormatNotesMessage(const std::vector<ConversionNote>& notes) {
    constexpr std::size_t kShown = 20;
    std::string text = std::to_string(notes.size()) + (notes.size() == 1 ? " note" : " notes") +
                       " (Dynamize leaves these lines as they are):\n";
    for (std::size_t i = 0; i < notes.size() && i < kShown; ++i) {
        text += '\n' + FormatNote(notes[i]);
    }
    if (notes.size() > kShown) {
        text += '\n' + FormatAndMore(notes.size() - kShown);
    }
    return text;
}

FileCheckResult CheckFilesAndBlocks(const SiteDefinition& site, const std::string& baseFolder,
                                    std::uint64_t maxFileBytes, ConversionObserver* observer,
                                    unsigned threads) {
    FileCheckResult result;
    try {
        result.reports = CheckFiles(site.webFiles, site.templateFiles, site.identifiers, baseFolder,
                                    maxFileBytes, threads);
    } catch (const FileError& error) {
        result.error = error;
        return result;
    }
    ConversionRequest request{site, baseFolder, false, maxFileBytes};
    request.checkNotes = true;
    request.threads = threads;
    ConversionResult dryRun = RunConversion(request, observer);
    if (dryRun.error) {
        result.reports.clear();
        result.error = std::move(dryRun.error);
        return result;
    }
    using Occurrence = std::tuple<std::string, std::size_t, std::string>;
    std::map<Occurrence, std::size_t> reported; // to the report's index
    for (std::size_t i = 0; i < result.reports.size(); ++i) {
        const UnclosedBlock& report = result.reports[i];
        reported.emplace(Occurrence{report.file, report.line, report.startLine}, i);
    }
    // A page listed twice, or a template many pages use, gives one report;
    // the report keeps the end line the run refused, which says why.
    for (const UnclosedBlock& problem : dryRun.problems) {
        const auto [place, added] = reported.emplace(
            Occurrence{problem.file, problem.line, problem.startLine}, result.reports.size());
        if (added) {
            result.reports.push_back(
                {problem.place, problem.file, problem.line, problem.startLine});
        }
        UnclosedBlock& report = result.reports[place->second];
        if (report.refusedLine == 0) {
            report.refusedLine = problem.refusedLine;
            report.refusedText = problem.refusedText;
        }
    }
    result.notes = std::move(dryRun.notes);
    result.recoverable = std::move(dryRun.recoverable);
    result.changedSinceInterrupted = std::move(dryRun.changedSinceInterrupted);
    return result;
}

} // namespace quillstamper
