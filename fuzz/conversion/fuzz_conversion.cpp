// The conversion on generated web files, template files and identifier
// tables: it never crashes and stays within bounded memory, gives the same
// bytes twice, its dry run predicts the real run, and it equals the plain
// step-by-step reference byte for byte, blocks whose end line is missing
// included.

#include "conversion/conversion_run.h"
#include "conversion/reference_conversion.h"
#include "files/file_io.h"

#include <fuzzer/FuzzedDataProvider.h>

#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

namespace {

using namespace quillstamper;
namespace fs = std::filesystem;

const IdentifierTable kTables[] = {
    DefaultIdentifiers(),
    {"<!-- Q ", " end -->", "# Q ", " END", "// Q ", " end -->", "", ""},
    {"<!-- Q ", " end -->", "", " end -->", "# Q ", " fin", "<!", " -->"},
    {"# Q ", "", "<!-- Q ", " end -->", "#", " end -->", "// Q ", " end -->"},
};
const char* const kStarts[] = {
    "<!-- Trelvonix ", "# Trelvonix ", "// Trelvonix ", "<!-- Q ", "# Q ", "// Q ", "<!", "#"};
const char* const kNames[] = {"menu", "foot", "Menu"};
const char* const kTails[] = {"", " -->", " end -->", " END", " fin", " end", "\r"};
const char* const kPlain[] = {"text", "", "a\rb", " <!-- Trelvonix menu -->", "x end -->"};

std::string MakeLine(FuzzedDataProvider& input) {
    if (input.ConsumeIntegralInRange(0, 2) == 0) {
        return kPlain[input.ConsumeIntegralInRange<std::size_t>(0, std::size(kPlain) - 1)];
    }
    return std::string(
               kStarts[input.ConsumeIntegralInRange<std::size_t>(0, std::size(kStarts) - 1)]) +
           kNames[input.ConsumeIntegralInRange<std::size_t>(0, std::size(kNames) - 1)] +
           kTails[input.ConsumeIntegralInRange<std::size_t>(0, std::size(kTails) - 1)];
}

fs::path Scratch() {
    static const fs::path folder = [] {
        std::string pattern = "/dev/shm/fuzz-conversion-XXXXXX";
        if (::mkdtemp(pattern.data()) == nullptr) {
            pattern = "/tmp/fuzz-conversion-XXXXXX";
            ::mkdtemp(pattern.data());
        }
        return fs::path(pattern);
    }();
    return folder;
}

void Lay(const fs::path& folder, const std::vector<std::string>& files) {
    fs::remove_all(folder);
    fs::create_directories(folder);
    for (std::size_t i = 0; i < files.size(); ++i) {
        std::ofstream(folder / ("f" + std::to_string(i)), std::ios::binary) << files[i];
    }
}

std::vector<std::string> Contents(const fs::path& folder, std::size_t count) {
    std::vector<std::string> contents;
    for (std::size_t i = 0; i < count; ++i) {
        contents.push_back(ReadFileBytes((folder / ("f" + std::to_string(i))).string()));
    }
    return contents;
}

ConversionResult Convert(const fs::path& folder, const ConversionRequest& model, bool write) {
    ConversionRequest request = model;
    request.baseFolder = folder.string();
    request.writeFiles = write;
    return RunConversion(request);
}

void Require(bool condition) {
    if (!condition) {
        std::abort();
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    FuzzedDataProvider input(data, size);
    ConversionRequest request;
    request.site.identifiers =
        kTables[input.ConsumeIntegralInRange<std::size_t>(0, std::size(kTables) - 1)];
    std::vector<std::string> files(input.ConsumeIntegralInRange<std::size_t>(1, 4));
    for (std::string& bytes : files) {
        for (std::size_t n = input.ConsumeIntegralInRange<std::size_t>(0, 10); n-- > 0;) {
            bytes += MakeLine(input) + (input.ConsumeBool() ? "\r\n" : "\n");
        }
        if (input.ConsumeBool() && !bytes.empty()) {
            bytes.pop_back(); // no final line end
        }
    }
    for (FileList* list : {&request.site.webFiles, &request.site.templateFiles}) {
        for (std::size_t n = input.ConsumeIntegralInRange<std::size_t>(1, 3); n-- > 0;) {
            list->push_back("f" + std::to_string(input.ConsumeIntegralInRange<std::size_t>(
                                      0, files.size() - 1)));
        }
    }
    // Taken last, so that the inputs found before keep their meaning.
    request.site.settings.endLines = input.ConsumeBool() ? EndLines::Any : EndLines::Own;

    const fs::path engine = Scratch() / "engine";
    const fs::path again = Scratch() / "again";
    const fs::path dry = Scratch() / "dry";
    const fs::path reference = Scratch() / "reference";
    Lay(engine, files);
    Lay(again, files);
    Lay(dry, files);
    Lay(reference, files);

    const ConversionResult real = Convert(engine, request, true);
    if (real.error) {
        // The one error these files can cause: a page that is its own
        // template growing past the run's bound.
        Require(real.error->Cause().find("its own template") != std::string::npos);
        return 0;
    }
    Require(real.outcomes.size() == request.site.webFiles.size());
    const std::vector<std::string> converted = Contents(engine, files.size());
    const ConversionResult second = Convert(again, request, true);
    Require(Contents(again, files.size()) == converted && second.outcomes == real.outcomes);
    const ConversionResult predicted = Convert(dry, request, false);
    Require(Contents(dry, files.size()) == files && predicted.outcomes == real.outcomes);

    FileList web, templates;
    for (const std::string& entry : request.site.webFiles) {
        web.push_back((reference / entry).string());
    }
    for (const std::string& entry : request.site.templateFiles) {
        templates.push_back((reference / entry).string());
    }
    const test::SafeReferenceOutcome expected = test::ReferenceRunSafeConversion(
        web, templates, request.site.identifiers, request.site.settings.endLines, 4000);
    if (expected.comparable) {
        Require(real.problems.empty() == !expected.leftAlone);
        Require(Contents(reference, files.size()) == converted);
    }
    return 0;
}
