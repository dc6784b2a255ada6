// Any bytes are read as a project file or refused, never more; what is read
// is written and read back unchanged.

#include "project/project_file.h"

#include <cstdint>
#include <cstdlib>
#include <string_view>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using namespace quillstamper;
    const std::string_view bytes(reinterpret_cast<const char*>(data), size);
    const ProjectParseResult parsed = ParseProjectFile(bytes);
    if (parsed.status != ProjectParseResult::Status::Loaded) {
        if (parsed.message.empty() || !parsed.data.webFiles.empty()) {
            std::abort();
        }
        return 0;
    }
    const std::string written = FormatProjectFile(parsed.data);
    const ProjectParseResult again = ParseProjectFile(written);
    if (again.status != ProjectParseResult::Status::Loaded ||
        again.data.webFiles != parsed.data.webFiles ||
        again.data.templateFiles != parsed.data.templateFiles ||
        again.data.identifiers != parsed.data.identifiers ||
        FormatProjectFile(again.data) != written) {
        std::abort();
    }
    return 0;
}
