#include "conversion/repeated_parts.h"

#include <algorithm>
#include <cctype>
#include <unordered_map>
#include <unordered_set>

namespace quillstamper {

namespace {

std::uint64_t Mix(std::uint64_t hash, std::uint64_t key) {
    return (hash ^ key) * 0x9E3779B97F4A7C15ULL + (hash >> 29);
}

std::uint64_t HashKeys(const std::uint64_t* keys, std::size_t count) {
    std::uint64_t hash = count;
    for (std::size_t i = 0; i < count; ++i) {
        hash = Mix(hash, keys[i]);
    }
    return hash;
}

std::size_t DistinctPages(const std::vector<PageRange>& copies) {
    std::unordered_set<std::size_t> pages;
    for (const PageRange& copy : copies) {
        pages.insert(copy.page);
    }
    return pages.size();
}

// Positions of one page's keys, as a window [first, last] of key indexes.
struct Window {
    std::size_t first = 0;
    std::size_t last = 0;
};

bool InOneStretch(const ComparedPage& page, std::size_t first, std::size_t last) {
    return page.stretchOf[first] == page.stretchOf[last];
}

std::size_t EqualInPlace(const ComparedPage& page, std::size_t first,
                         const std::vector<std::uint64_t>& keys) {
    std::size_t equal = 0;
    for (std::size_t i = 0; i < keys.size(); ++i) {
        equal += page.keys[first + i] == keys[i] ? 1 : 0;
    }
    return equal;
}

// A near copy that starts or ends at key index i of the page, not reaching
// before free.
std::optional<Window> FindVariantAt(const ComparedPage& page, std::size_t i, std::size_t free,
                                    const std::vector<std::uint64_t>& keys) {
    const std::size_t length = keys.size();
    const std::size_t count = page.keys.size();
    const auto nearlyEqual = [&](std::size_t first) {
        return first + length <= count && InOneStretch(page, first, first + length - 1) &&
               EqualInPlace(page, first, keys) * 5 >= length * 4;
    };
    if (page.keys[i] == keys.front()) {
        if (length >= 2) {
            // The same first and last line, some lines more or fewer between;
            // at least half as many, so that a line that recurs (a filler, a
            // closing tag) does not make a copy of two lines.
            for (std::size_t j = i + std::max<std::size_t>(1, (length - 1) / 2);
                 j < count && j <= i + 2 * length; ++j) {
                if (!InOneStretch(page, i, j)) {
                    break;
                }
                if (page.keys[j] == keys.back()) {
                    return Window{i, j};
                }
            }
        }
        if (nearlyEqual(i)) {
            return Window{i, i + length - 1};
        }
    }
    if (page.keys[i] == keys.back() && i + 1 >= length && i + 1 - length >= free &&
        nearlyEqual(i + 1 - length)) {
        return Window{i + 1 - length, i};
    }
    return std::nullopt;
}

PageRange RangeOf(const ComparedPage& page, std::size_t pageIndex, const Window& window) {
    return {pageIndex, page.lineOf[window.first], page.lineOf[window.last]};
}

} // namespace

std::size_t PartCopies::ExactPages() const {
    return DistinctPages(exact);
}

std::size_t PartCopies::VariantPages() const {
    std::vector<PageRange> all;
    for (const PartVariant& variant : variants) {
        all.insert(all.end(), variant.copies.begin(), variant.copies.end());
    }
    return DistinctPages(all);
}

std::vector<std::size_t> PartCopies::PagesWithout(std::size_t pageCount) const {
    std::vector<bool> holds(pageCount, false);
    for (const PageRange& copy : exact) {
        holds[copy.page] = true;
    }
    for (const PartVariant& variant : variants) {
        for (const PageRange& copy : variant.copies) {
            holds[copy.page] = true;
        }
    }
    std::vector<std::size_t> without;
    for (std::size_t page = 0; page < pageCount; ++page) {
        if (!holds[page]) {
            without.push_back(page);
        }
    }
    return without;
}

PartCopies FindCopies(const ComparedSite& site, const std::vector<std::uint64_t>& keys,
                      bool withVariants) {
    PartCopies copies;
    if (keys.empty()) {
        return copies;
    }
    const std::size_t length = keys.size();
    std::unordered_map<std::uint64_t, std::size_t> variantOf; // content hash to index
    for (std::size_t p = 0; p < site.Pages().size(); ++p) {
        const ComparedPage& page = site.Pages()[p];
        const std::size_t count = page.keys.size();
        std::vector<Window> exact;
        for (std::size_t i = 0; i + length <= count;) {
            if (page.keys[i] == keys.front() && InOneStretch(page, i, i + length - 1) &&
                std::equal(keys.begin(), keys.end(), page.keys.begin() + i)) {
                exact.push_back({i, i + length - 1});
                copies.exact.push_back(RangeOf(page, p, exact.back()));
                i += length;
            } else {
                ++i;
            }
        }
        if (!withVariants) {
            continue;
        }
        std::size_t free = 0; // key indexes before it are taken or passed
        std::size_t nextExact = 0;
        for (std::size_t i = 0; i < count; ++i) {
            while (nextExact < exact.size() && exact[nextExact].last < i) {
                free = std::max(free, exact[nextExact].last + 1);
                ++nextExact;
            }
            if (i < free || (nextExact < exact.size() && exact[nextExact].first <= i)) {
                continue;
            }
            const std::optional<Window> found = FindVariantAt(page, i, free, keys);
            if (!found || (nextExact < exact.size() && found->last >= exact[nextExact].first)) {
                continue;
            }
            const std::uint64_t hash =
                HashKeys(page.keys.data() + found->first, found->last - found->first + 1);
            const auto [at, added] = variantOf.emplace(hash, copies.variants.size());
            if (added) {
                copies.variants.emplace_back();
            }
            copies.variants[at->second].copies.push_back(RangeOf(page, p, *found));
            free = found->last + 1;
            i = found->last;
        }
    }
    std::stable_sort(copies.variants.begin(), copies.variants.end(),
                     [](const PartVariant& a, const PartVariant& b) {
                         return a.copies.size() > b.copies.size();
                     });
    return copies;
}

namespace {

// A run found in a page: its key indexes there and the pages that hold it.
struct Group {
    std::size_t page = 0;
    Window window;
    std::size_t pages = 0;
    std::size_t lastPage = 0; // plus one
};

// The maximal runs of windows that enough pages share, grouped by content.
std::vector<Group> FindSharedRuns(const ComparedSite& site, std::size_t minLines,
                                  std::size_t minPages) {
    struct Count {
        std::uint32_t lastPage = 0; // plus one
        std::uint32_t pages = 0;
    };
    std::size_t totalKeys = 0;
    for (const ComparedPage& page : site.Pages()) {
        totalKeys += page.keys.size();
    }
    std::unordered_map<std::uint64_t, Count> windows;
    windows.reserve(totalKeys);
    std::vector<std::vector<std::uint64_t>> hashes(site.Pages().size());
    for (std::size_t p = 0; p < site.Pages().size(); ++p) {
        const ComparedPage& page = site.Pages()[p];
        std::vector<std::uint64_t>& pageHashes = hashes[p];
        for (std::size_t i = 0; i + minLines <= page.keys.size(); ++i) {
            if (!InOneStretch(page, i, i + minLines - 1)) {
                pageHashes.push_back(0);
                continue;
            }
            pageHashes.push_back(HashKeys(page.keys.data() + i, minLines));
            Count& count = windows[pageHashes.back()];
            if (count.lastPage != p + 1) {
                count.lastPage = static_cast<std::uint32_t>(p + 1);
                ++count.pages;
            }
        }
    }
    const auto shared = [&](std::uint64_t hash) {
        const auto found = windows.find(hash);
        return found != windows.end() && found->second.pages >= minPages;
    };
    std::unordered_map<std::uint64_t, Group> groups;
    for (std::size_t p = 0; p < site.Pages().size(); ++p) {
        const ComparedPage& page = site.Pages()[p];
        const std::vector<std::uint64_t>& pageHashes = hashes[p];
        for (std::size_t i = 0; i < pageHashes.size();) {
            if (pageHashes[i] == 0 || !shared(pageHashes[i])) {
                ++i;
                continue;
            }
            std::size_t j = i;
            while (j + 1 < pageHashes.size() && pageHashes[j + 1] != 0 &&
                   InOneStretch(page, i, j + 1) && shared(pageHashes[j + 1])) {
                ++j;
            }
            const Window window{i, j + minLines - 1};
            const std::uint64_t hash =
                HashKeys(page.keys.data() + window.first, window.last - window.first + 1);
            Group& group = groups.try_emplace(hash, Group{p, window}).first->second;
            if (group.lastPage != p + 1) {
                group.lastPage = p + 1;
                ++group.pages;
            }
            i = j + 1;
        }
        std::vector<std::uint64_t>().swap(hashes[p]);
    }
    std::vector<Group> found;
    for (const auto& [hash, group] : groups) {
        if (group.pages >= minPages) {
            found.push_back(group);
        }
    }
    // Most lines times pages first; ties in page order, so the list is the
    // same on every run.
    std::sort(found.begin(), found.end(), [](const Group& a, const Group& b) {
        const std::size_t scoreA = (a.window.last - a.window.first + 1) * a.pages;
        const std::size_t scoreB = (b.window.last - b.window.first + 1) * b.pages;
        if (scoreA != scoreB) {
            return scoreA > scoreB;
        }
        return a.page != b.page ? a.page < b.page : a.window.first < b.window.first;
    });
    return found;
}

bool Overlaps(const PageRange& a, const PageRange& b) {
    return a.page == b.page && a.first <= b.last && b.first <= a.last;
}

std::string KeepNameBytes(std::string_view text) {
    std::string name;
    for (const char c : text) {
        if (std::isalnum(static_cast<unsigned char>(c)) || c == '-' || c == '_') {
            name += c;
        }
    }
    return name;
}

// The value of attribute in a start tag's text, if it has one.
std::string AttributeValue(std::string_view tag, std::string_view attribute) {
    for (std::size_t at = tag.find(attribute); at != std::string_view::npos;
         at = tag.find(attribute, at + 1)) {
        const bool startsName = at > 0 && (tag[at - 1] == ' ' || tag[at - 1] == '\t');
        std::size_t i = at + attribute.size();
        if (!startsName || i >= tag.size() || tag[i] != '=') {
            continue;
        }
        ++i;
        const char quote = i < tag.size() && (tag[i] == '"' || tag[i] == '\'') ? tag[i] : ' ';
        i += quote == ' ' ? 0 : 1;
        const std::size_t end =
            std::min(tag.find_first_of(std::string(1, quote) + ">", i), tag.size());
        return std::string(tag.substr(i, end - i));
    }
    return {};
}

} // namespace

std::string NameFromElements(const LineViews& lines) {
    for (const std::string_view line : lines) {
        for (std::size_t at = line.find('<'); at != std::string_view::npos;
             at = line.find('<', at + 1)) {
            std::size_t end = at + 1;
            while (end < line.size() && std::isalnum(static_cast<unsigned char>(line[end]))) {
                ++end;
            }
            if (end == at + 1 || !std::isalpha(static_cast<unsigned char>(line[at + 1]))) {
                continue;
            }
            std::string tagName;
            for (const char c : line.substr(at + 1, end - at - 1)) {
                tagName += static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
            }
            if (tagName == "header" || tagName == "nav" || tagName == "footer") {
                return tagName;
            }
            const std::string_view tag =
                line.substr(at, std::min(line.find('>', at), line.size()) - at);
            std::string name = KeepNameBytes(AttributeValue(tag, "id"));
            if (name.empty()) {
                const std::string classes = AttributeValue(tag, "class");
                name = KeepNameBytes(classes.substr(0, classes.find(' ')));
            }
            if (!name.empty()) {
                return name;
            }
        }
    }
    return {};
}

std::vector<RepeatedPart> FindRepeatedParts(const ComparedSite& site,
                                            const RepeatedPartsOptions& options) {
    const std::size_t pageCount = site.Pages().size();
    const std::size_t minPages =
        std::max<std::size_t>(2, options.minPages != 0 ? options.minPages : (pageCount + 1) / 2);
    const std::size_t minLines = std::max<std::size_t>(1, options.minLines);
    if (pageCount < minPages) {
        return {};
    }
    // The copy search costs a pass over the site for each run: the runs
    // offered are the best few.
    constexpr std::size_t kMostRuns = 200;
    std::vector<Group> groups = FindSharedRuns(site, minLines, minPages);
    if (groups.size() > kMostRuns) {
        groups.resize(kMostRuns);
    }
    std::vector<RepeatedPart> parts;
    for (const Group& group : groups) {
        const ComparedPage& page = site.Pages()[group.page];
        RepeatedPart part;
        part.keys.assign(page.keys.begin() + group.window.first,
                         page.keys.begin() + group.window.last + 1);
        part.lineCount = part.keys.size();
        part.copies = FindCopies(site, part.keys, true);
        if (part.copies.exact.empty()) {
            continue;
        }
        part.where = part.copies.exact.front();
        parts.push_back(std::move(part));
    }
    std::stable_sort(parts.begin(), parts.end(), [](const RepeatedPart& a, const RepeatedPart& b) {
        return a.Score() > b.Score();
    });
    // A run whose copies all stand inside better runs' copies adds nothing.
    std::vector<RepeatedPart> kept;
    std::vector<std::vector<PageRange>> taken(pageCount);
    for (RepeatedPart& part : parts) {
        const bool adds = std::any_of(
            part.copies.exact.begin(), part.copies.exact.end(), [&](const PageRange& copy) {
                return std::none_of(taken[copy.page].begin(), taken[copy.page].end(),
                                    [&](const PageRange& other) { return Overlaps(copy, other); });
            });
        if (!adds || part.copies.ExactPages() < minPages) {
            continue;
        }
        for (const PageRange& copy : part.copies.exact) {
            taken[copy.page].push_back(copy);
        }
        for (const PartVariant& variant : part.copies.variants) {
            for (const PageRange& copy : variant.copies) {
                taken[copy.page].push_back(copy);
            }
        }
        kept.push_back(std::move(part));
    }
    std::unordered_set<std::string> used;
    std::size_t numbered = 0;
    for (RepeatedPart& part : kept) {
        const LineViews& lines = site.Pages()[part.where.page].lines;
        std::string name = NameFromElements(
            LineViews(lines.begin() + part.where.first, lines.begin() + part.where.last + 1));
        std::string unique = name;
        for (int n = 2; !unique.empty() && used.count(unique) != 0; ++n) {
            unique = name + '-' + std::to_string(n);
        }
        while (unique.empty() || used.count(unique) != 0) {
            unique = "block" + std::to_string(++numbered);
        }
        used.insert(unique);
        part.name = std::move(unique);
    }
    return kept;
}

} // namespace quillstamper
