#include "conversion/file_check.h"

#include "base/path_resolution.h"
#include "conversion/line_model.h"
#include "conversion/markers.h"
#include "files/file_io.h"

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
    std::string text = "End of template missing: ";
    return text.append(startLine);
}

namespace {

// A line that begins with a start identifier; only these can be start lines
// or expected end lines, so only these are kept, not whole files.
struct MarkerLine {
    std::size_t offset = 0; // into the arena
    std::size_t length = 0;
    const std::string* file = nullptr;
    std::size_t line = 0;
    int startIdCount = 0; // how many non-empty start identifiers it begins with
};

} // namespace

std::vector<CheckReport> CheckFiles(const FileList& webFiles, const FileList& templateFiles,
                                    const IdentifierTable& identifiers,
                                    const std::string& baseFolder, std::uint64_t maxFileBytes) {
    std::string arena;
    std::vector<MarkerLine> markers;
    const auto collect = [&](const std::string& entry) {
        const std::string bytes = ReadFileBytes(ResolvePath(entry, baseFolder), maxFileBytes);
        const LineViews lines = SplitLines(bytes);
        for (std::size_t i = 0; i < lines.size(); ++i) {
            int count = 0;
            for (int pair = 1; pair <= kPairCount; ++pair) {
                const std::string& startId = identifiers.StartId(pair);
                if (!startId.empty() && BeginsWith(lines[i], startId)) {
                    ++count;
                }
            }
            if (count > 0) {
                markers.push_back(MarkerLine{arena.size(), lines[i].size(), &entry, i + 1, count});
                arena.append(lines[i]);
            }
        }
    };
    for (const std::string& entry : webFiles) {
        collect(entry);
    }
    for (const std::string& entry : templateFiles) {
        collect(entry);
    }

    const auto text = [&](const MarkerLine& marker) {
        return std::string_view(arena).substr(marker.offset, marker.length);
    };
    std::unordered_set<std::string_view> present;
    present.reserve(markers.size());
    for (const MarkerLine& marker : markers) {
        present.insert(text(marker));
    }

    std::vector<CheckReport> reports;
    std::string expected;
    for (const MarkerLine& marker : markers) {
        const std::string_view line = text(marker);
        int startCount = 0;
        for (int pair = 1; pair <= kPairCount; ++pair) {
            // Pairs with an empty start identifier take part here too.
            if (IsStartLine(line, identifiers.StartId(pair), identifiers.EndId(pair))) {
                ++startCount;
            }
        }
        if (startCount == 0) {
            continue;
        }
        const std::string_view stem = BlockStem(line);
        bool found = false;
        for (int pair = 1; pair <= kPairCount && !found; ++pair) {
            expected.assign(stem);
            expected.append(identifiers.EndId(pair));
            found = present.count(expected) != 0;
        }
        if (found) {
            continue;
        }
        for (int copy = 0; copy < marker.startIdCount * startCount; ++copy) {
            reports.push_back(CheckReport{*marker.file, marker.line, std::string(line)});
        }
    }
    return reports;
}

std::string FormatNotesMessage(const std::vector<ConversionNote>& notes) {
    constexpr std::size_t kShown = 20;
    std::string text = std::to_string(notes.size()) + (notes.size() == 1 ? " note" : " notes") +
                       " (Dynamize leaves these lines as they are):\n";
    for (std::size_t i = 0; i < notes.size() && i < kShown; ++i) {
        text += '\n' + FormatNote(notes[i]);
    }
    if (notes.size() > kShown) {
        text += "\n... and " + std::to_string(notes.size() - kShown) + " more";
    }
    return text;
}

FileCheckResult CheckFilesAndBlocks(const SiteDefinition& site, const std::string& baseFolder,
                                    std::uint64_t maxFileBytes, ConversionObserver* observer) {
    FileCheckResult result;
    try {
        result.reports = CheckFiles(site.webFiles, site.templateFiles, site.identifiers, baseFolder,
                                    maxFileBytes);
    } catch (const FileError& error) {
        result.error = error;
        return result;
    }
    ConversionResult dryRun =
        RunConversion(ConversionRequest{site, baseFolder, false, maxFileBytes}, observer);
    if (dryRun.error) {
        result.reports.clear();
        result.error = std::move(dryRun.error);
        return result;
    }
    using Occurrence = std::tuple<std::string, std::size_t, std::string>;
    std::map<Occurrence, std::size_t> reported; // to the report's index
    for (std::size_t i = 0; i < result.reports.size(); ++i) {
        const CheckReport& report = result.reports[i];
        reported.emplace(Occurrence{report.file, report.line, report.startLine}, i);
    }
    // A page listed twice, or a template many pages use, gives one report;
    // the report keeps the end line the run refused, which says why.
    for (const ConversionProblem& problem : dryRun.problems) {
        const auto [place, added] = reported.emplace(
            Occurrence{problem.file, problem.line, problem.startLine}, result.reports.size());
        if (added) {
            result.reports.push_back(CheckReport{problem.file, problem.line, problem.startLine});
        }
        CheckReport& report = result.reports[place->second];
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
