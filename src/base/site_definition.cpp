#include "base/site_definition.h"

namespace quillstamper {

IdentifierTable DefaultIdentifiers() {
    return {"<!-- Trelvonix ",
            " end -->",
            "# Trelvonix ",
            " end -->",
            "// Trelvonix ",
            " end -->",
            "",
            ""};
}

} // namespace quillstamper
