// The file check on generated files and identifier tables gives exactly the
// reports of the plain quadratic search it replaces.

#include "conversion/file_check.h"
#include "conversion/line_model.h"
#include "conversion/markers.h"

#include <fuzzer/FuzzedDataProvider.h>

#include <cstdint>
#include <cstdlib>
#include <fstream>
#include <string>
#include <unistd.h>
#include <vector>

namespace {

using namespace quillstamper;

const char* const kPieces[] = {"<!-- Q ",         "# Q ",        "menu", "foot", " -->",
                               " end -->",        " end",        "x",    "\r",   "",
                               "<!-- Trelvonix ", "# Trelvonix "};

std::string MakeText(FuzzedDataProvider& input, std::size_t maxPieces) {
    std::string text;
    for (std::size_t n = input.ConsumeIntegralInRange<std::size_t>(0, maxPieces); n-- > 0;) {
        text += kPieces[input.ConsumeIntegralInRange<std::size_t>(0, std::size(kPieces) - 1)];
    }
    return text;
}

std::string Folder() {
    static const std::string folder = [] {
        std::string pattern = "/dev/shm/fuzz-check-XXXXXX";
        if (::mkdtemp(pattern.data()) == nullptr) {
            pattern = "/tmp/fuzz-check-XXXXXX";
            ::mkdtemp(pattern.data());
        }
        return pattern;
    }();
    return folder;
}

std::vector<UnclosedBlock> PlainCheck(const std::vector<std::pair<std::string, std::string>>& files,
                                      const IdentifierTable& ids) {
    struct Marker {
        std::string line;
        std::string file;
        std::size_t number;
    };
    std::vector<Marker> markers;
    for (const auto& [name, bytes] : files) {
        const LineViews lines = SplitLines(bytes);
        for (std::size_t i = 0; i < lines.size(); ++i) {
            for (int pair = 0; pair < 4; ++pair) {
                if (!ids[2 * pair].empty() && BeginsWith(lines[i], ids[2 * pair])) {
                    markers.push_back({std::string(lines[i]), name, i + 1});
                }
            }
        }
    }
    std::vector<Marker> starts;
    for (const Marker& marker : markers) {
        for (int pair = 0; pair < 4; ++pair) {
            if (IsStartLine(marker.line, ids[2 * pair], ids[2 * pair + 1])) {
                starts.push_back(marker);
            }
        }
    }
    std::vector<UnclosedBlock> reports;
    for (const Marker& start : starts) {
        bool found = false;
        for (const Marker& marker : markers) {
            for (int pair = 0; pair < 4; ++pair) {
                found =
                    found || marker.line == std::string(BlockStem(start.line)) + ids[2 * pair + 1];
            }
        }
        if (!found) {
            reports.push_back({.file = start.file, .line = start.number, .startLine = start.line});
        }
    }
    return reports;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    FuzzedDataProvider input(data, size);
    IdentifierTable ids;
    for (std::string& id : ids) {
        id = MakeText(input, 2);
    }
    const std::size_t webCount = input.ConsumeIntegralInRange<std::size_t>(0, 2);
    const std::size_t fileCount = webCount + input.ConsumeIntegralInRange<std::size_t>(0, 2);
    std::vector<std::pair<std::string, std::string>> files;
    FileList web, templates;
    for (std::size_t i = 0; i < fileCount; ++i) {
        std::string bytes;
        for (std::size_t n = input.ConsumeIntegralInRange<std::size_t>(0, 12); n-- > 0;) {
            bytes += MakeText(input, 4) + (input.ConsumeBool() ? "\r\n" : "\n");
        }
        const std::string name = Folder() + "/f" + std::to_string(i);
        std::ofstream(name, std::ios::binary | std::ios::trunc) << bytes;
        files.emplace_back(name, bytes);
        (i < webCount ? web : templates).push_back(name);
    }
    const std::vector<UnclosedBlock> reports = CheckFiles(web, templates, ids);
    const std::vector<UnclosedBlock> expected = PlainCheck(files, ids);
    if (reports.size() != expected.size()) {
        std::abort();
    }
    for (std::size_t i = 0; i < reports.size(); ++i) {
        if (reports[i].file != expected[i].file || reports[i].line != expected[i].line ||
            reports[i].startLine != expected[i].startLine) {
            std::abort();
        }
    }
    return 0;
}
