// Lines read from any bytes and written back read as the same lines, and
// writing is idempotent from then on.

#include "conversion/line_model.h"

#include <cstdint>
#include <cstdlib>
#include <string_view>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using namespace quillstamper;
    const std::string_view bytes(reinterpret_cast<const char*>(data), size);
    const LineViews lines = SplitLines(bytes);
    for (const std::string_view line : lines) {
        if (line.find('\n') != std::string_view::npos) {
            std::abort();
        }
    }
    const std::string written = JoinLines(lines);
    const LineViews again = SplitLines(written);
    if (again != lines || JoinLines(again) != written) {
        std::abort();
    }
    // Only a file already in CR LF form is written back byte for byte.
    if (written.size() < bytes.size()) {
        std::abort();
    }
    return 0;
}
