#pragma once

#include "cli/cli_sources.h"
#include "cli/setting_options.h"
#include "conversion/repeated_parts.h"

#include <cstddef>
#include <iosfwd>
#include <string>
#include <vector>

namespace quillstamper::cli {

// Adopting a site that has no marker lines yet: suggest finds its repeated
// parts, wrap puts marker lines around every copy of one, unwrap takes them
// out again. Each returns the command's exit status.

struct SuggestOptions {
    RepeatedPartsOptions parts{};
    bool json = false;
    SettingOverrides settings{};
};

struct WrapOptions {
    std::string name;
    std::string from;          // PAGE:FIRST-LAST, or empty with candidate
    std::size_t candidate = 0; // from suggest's list, counted from 1
    std::string templateFile;  // created, or appended to
    int pair = 0;              // zero: each page's customary pair
    bool variants = false;
    bool dryRun = false;
    bool diff = false;
    RepeatedPartsOptions parts{}; // to find the candidate
    SettingOverrides settings{};
};

struct UnwrapOptions {
    std::string name;
    // Also out of the template files: these, or the project's when none is given.
    bool fromTemplates = false;
    std::vector<std::string> templateFiles;
    bool dryRun = false;
    bool diff = false;
    SettingOverrides settings{};
};

int RunSuggest(const SourceOptions& sources, const SuggestOptions& options, std::ostream& out,
               std::ostream& err);
int RunWrap(const SourceOptions& sources, const WrapOptions& options, std::ostream& out,
            std::ostream& err);
int RunUnwrap(const SourceOptions& sources, const UnwrapOptions& options, std::ostream& out,
              std::ostream& err);

} // namespace quillstamper::cli
