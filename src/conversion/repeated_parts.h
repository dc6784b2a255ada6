#pragma once

#include "conversion/compared_site.h"

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace quillstamper {

// The copies of a run of lines across a site: those equal to it, as lines are
// compared, and the near ones (the same first and last line, or at least
// 80 % of the lines equal in place), grouped by content, the most common
// first. No two copies overlap.
struct PartVariant {
    std::vector<PageRange> copies;
};
struct PartCopies {
    std::vector<PageRange> exact; // in page order
    std::vector<PartVariant> variants;
    std::size_t ExactPages() const;
    std::size_t VariantPages() const;
    // The pages that hold neither kind of copy.
    std::vector<std::size_t> PagesWithout(std::size_t pageCount) const;
};

// Finds the copies of keys (a run's lines as ComparedSite keys them) in every
// page; with withVariants, the near ones too.
PartCopies FindCopies(const ComparedSite& site, const std::vector<std::uint64_t>& keys,
                      bool withVariants);

struct RepeatedPartsOptions {
    std::size_t minLines = 3;
    // Zero: half of the pages, at least two.
    std::size_t minPages = 0;
};

// A run of at least minLines lines that stands outside every block in at
// least minPages pages, as long as it goes.
struct RepeatedPart {
    std::string name;         // from the element that encloses it, else block1, block2, ...
    PageRange where;          // its first copy
    std::size_t lineCount{0}; // lines that count
    std::vector<std::uint64_t> keys;
    PartCopies copies;

    std::size_t Score() const {
        return lineCount * copies.ExactPages();
    }
};

// The parts in the order to offer them: most lines times pages first.
// Memory grows with the site's line count: each line is hashed once, and runs
// are found by counting the pages of each window of minLines hashes.
std::vector<RepeatedPart> FindRepeatedParts(const ComparedSite& site,
                                            const RepeatedPartsOptions& options);

// A block name for lines: the first element they open that is a header, nav
// or footer, or has an id or a class, gives it; nothing when none does.
std::string NameFromElements(const LineViews& lines);

} // namespace quillstamper
