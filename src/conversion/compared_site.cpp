#include "conversion/compared_site.h"

#include "base/path_resolution.h"
#include "conversion/file_text.h"
#include "conversion/markers.h"
#include "conversion/page_links.h"
#include "files/recovery_store.h"

#include <functional>
#include <memory>

namespace quillstamper {

std::vector<SitePage> ReadSitePages(const SiteDefinition& site, const std::string& baseFolder,
                                    std::uint64_t maxFileBytes) {
    const std::string absoluteBase = AbsolutePath(baseFolder.empty() ? "." : baseFolder);
    std::vector<SitePage> pages;
    pages.reserve(site.webFiles.size());
    for (const std::string& entry : site.webFiles) {
        SitePage page;
        page.entry = entry;
        page.path = ResolvePath(entry, baseFolder);
        page.absolutePath = ResolvePath(entry, absoluteBase);
        FileSnapshot snapshot = ReadFileSnapshot(page.path, maxFileBytes);
        page.state = snapshot.state;
        page.bytes = std::make_shared<const std::string>(std::move(snapshot.bytes));
        const FileText text = DecodeFileText(page.bytes, page.path);
        page.bytes = text.holder;
        page.encoding = text.encoding;
        page.text = text.text;
        pages.push_back(std::move(page));
    }
    return pages;
}

ComparisonRules RulesOfSite(const SiteDefinition& site, const std::string& baseFolder) {
    ComparisonRules rules;
    rules.identifiers = site.identifiers;
    rules.endLines = site.settings.endLines;
    if (site.settings.linksFollowPage) {
        const std::string absoluteBase = AbsolutePath(baseFolder.empty() ? "." : baseFolder);
        rules.linkBase = site.settings.linkBase.empty()
                             ? absoluteBase
                             : ResolvePath(site.settings.linkBase, absoluteBase);
    }
    rules.mark = site.settings.currentPage;
    rules.markClass = site.settings.currentPageClass;
    return rules;
}

std::string_view TrimBlanks(std::string_view line) {
    constexpr std::string_view kBlanks = " \t\r\f\v";
    const std::size_t first = line.find_first_not_of(kBlanks);
    if (first == std::string_view::npos) {
        return {};
    }
    return line.substr(first, line.find_last_not_of(kBlanks) - first + 1);
}

namespace {

// Marks the lines of every block, marker lines included; a start line whose
// block is not closed is marked alone.
std::vector<bool> FindBlockLines(const LineViews& lines, const ComparisonRules& rules) {
    std::vector<bool> inBlock(lines.size(), false);
    for (int pair = 1; pair <= kPairCount; ++pair) {
        const std::string& startId = rules.identifiers.StartId(pair);
        const std::string& endId = rules.identifiers.EndId(pair);
        if (startId.empty()) {
            continue;
        }
        for (std::size_t i = 0; i < lines.size(); ++i) {
            if (!IsStartLine(lines[i], startId, endId)) {
                continue;
            }
            inBlock[i] = true;
            for (std::size_t j = i + 1; j < lines.size(); ++j) {
                if (!IsEndLine(lines[j], endId)) {
                    continue;
                }
                if (EndLineFitsBlock(lines[i], lines[j], pair, rules.identifiers, rules.endLines)) {
                    for (std::size_t k = i; k <= j; ++k) {
                        inBlock[k] = true;
                    }
                    i = j;
                }
                break;
            }
        }
    }
    return inBlock;
}

} // namespace

ComparedSite::ComparedSite(const std::vector<SitePage>& pages, const ComparisonRules& rules)
    : m_rules(rules) {
    m_pages.resize(pages.size());
    m_inBlock.resize(pages.size());
    const std::hash<std::string_view> hash;
    for (std::size_t p = 0; p < pages.size(); ++p) {
        ComparedPage& page = m_pages[p];
        page.text = pages[p].text;
        if (!rules.linkBase.empty() || rules.mark != CurrentPageMark::None) {
            page.expressed = ExpressLinksFromBase(pages[p].text, pages[p].absolutePath,
                                                  rules.linkBase, rules.mark, rules.markClass);
            page.text = page.expressed;
        }
        page.lines = SplitLines(page.text);
        m_inBlock[p] = FindBlockLines(page.lines, rules);
        std::uint32_t stretch = 0;
        for (std::size_t i = 0; i < page.lines.size(); ++i) {
            if (m_inBlock[p][i]) {
                ++stretch;
                continue;
            }
            const std::string_view compared = TrimBlanks(page.lines[i]);
            if (compared.empty()) {
                continue;
            }
            page.keys.push_back(hash(compared));
            page.lineOf.push_back(static_cast<std::uint32_t>(i));
            page.stretchOf.push_back(stretch);
        }
    }
}

std::optional<std::vector<std::uint64_t>> ComparedSite::KeysOf(const PageRange& range) const {
    const ComparedPage& page = m_pages[range.page];
    std::vector<std::uint64_t> keys;
    for (std::size_t k = 0; k < page.keys.size(); ++k) {
        if (page.lineOf[k] < range.first || page.lineOf[k] > range.last) {
            continue;
        }
        keys.push_back(page.keys[k]);
    }
    for (std::size_t line = range.first; line <= range.last && line < page.lines.size(); ++line) {
        if (m_inBlock[range.page][line]) {
            return std::nullopt;
        }
    }
    return keys;
}

bool ComparedSite::IsInBlock(std::size_t page, std::size_t line) const {
    return m_inBlock[page][line];
}

} // namespace quillstamper
