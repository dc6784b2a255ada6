#pragma once

#include "base/findings.h"
#include "base/site_definition.h"
#include "conversion/page_links.h"
#include "conversion/template_set.h"

#include <cstddef>
#include <functional>
#include <memory>
#include <string>
#include <utility>
#include <vector>

namespace quillstamper {

// One page to convert, as read.
struct PageInput {
    std::string entry; // the list entry, for reports
    std::string path;  // to open, for errors
    SharedBytes bytes;
    FileIdentity identity;
    bool isTemplate = false; // also in the template list
    bool takesNotes = false; // its notes are not in yet
    bool checkNotes = false; // the check's: also invalid bytes and links to missing files
    // Absolute, when the run rewrites links or marks the page's own.
    std::string absolutePath{};
    // The page's size when this run first read it, which the run's own
    // writes cannot inflate; it bounds how much template content the passes
    // may add.
    std::size_t firstSeenBytes = 0;
    // Converted ahead, on another thread: the template set is only looked
    // at, and what it does not hold yet throws PageNotSettled.
    bool ahead = false;
};

// A page converted ahead needed a template index or charset not yet known:
// it is converted again in its turn.
struct PageNotSettled {};

struct PageOutput {
    bool changed = false; // newBytes differ from the page's bytes
    std::string newBytes;
    // For a page in UTF-16 or UTF-32: its new text, as UTF-8.
    std::string newText;
    std::vector<UnclosedBlock> problems;
    // Template blocks that a lookup found unclosed (in a template file).
    std::vector<UnclosedBlock> unclosedTemplates;
    std::vector<ConversionNote> notes;
    // Start lines found in the template index, by pair.
    std::vector<std::pair<int, std::string>> usedStartLines;
};

// What every page of a run is converted by.
struct PageRules {
    IdentifierTable identifiers;
    ProjectSettings settings;
    // What the pages share about inserted text's links, when links follow
    // the page or the current page is marked; null otherwise.
    std::shared_ptr<LinkCache> links{};
};

// Runs every pass of the identifier table over one page, in memory: bytes
// in, bytes, problems and notes out. The template set is read as far as
// lookups need it. onPass is told of each pass before it runs. Throws
// FileError when a template cannot be read or the page would outgrow its
// budget.
PageOutput ConvertPage(const PageInput& page, TemplateSet& templates, const PageRules& rules,
                       const std::function<void(int pair)>& onPass);

// The first pair with a start identifier, or 0 when no pair has one.
int FirstPassPair(const IdentifierTable& identifiers);

} // namespace quillstamper
