#include "conversion/page_links.h"

#include "conversion/html_links.h"

#include <algorithm>
#include <optional>
#include <utility>

namespace quillstamper {

namespace {

char Lower(char c) {
    return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
}

bool IsIndexName(std::string_view name) {
    std::string lower;
    for (const char c : name) {
        lower += Lower(c);
    }
    for (const char* index :
         {"index.html", "index.htm", "index.php", "default.htm", "default.html"}) {
        if (lower == index) {
            return true;
        }
    }
    return false;
}

std::string_view FolderOf(std::string_view path) {
    const std::size_t slash = path.rfind('/');
    return slash == std::string_view::npos ? std::string_view() : path.substr(0, slash + 1);
}

// A URL's path, and what follows it: the query and the fragment.
std::pair<std::string_view, std::string_view> SplitUrl(std::string_view url) {
    const std::size_t end = std::min(url.find_first_of("?#"), url.size());
    return {url.substr(0, end), url.substr(end)};
}

// One change to the text: the bytes at [offset, offset + length) become text.
struct Edit {
    std::size_t offset = 0;
    std::size_t length = 0;
    std::string text;
};

bool HasClassToken(std::string_view classes, std::string_view name) {
    std::size_t at = 0;
    while (at < classes.size()) {
        while (at < classes.size() && (classes[at] == ' ' || classes[at] == '\t' ||
                                       classes[at] == '\n' || classes[at] == '\r')) {
            ++at;
        }
        std::size_t end = at;
        while (end < classes.size() && classes[end] != ' ' && classes[end] != '\t' &&
               classes[end] != '\n' && classes[end] != '\r') {
            ++end;
        }
        if (classes.substr(at, end - at) == name) {
            return true;
        }
        at = end;
    }
    return false;
}

} // namespace

bool IsRewritableUrl(std::string_view url) {
    if (url.empty() || url.front() == '/' || url.front() == '#' || url.front() == '?') {
        return false;
    }
    for (const std::string_view syntax : {"<?", "<%", "{{", "${", "\\"}) {
        if (url.find(syntax) != std::string_view::npos) {
            return false;
        }
    }
    // A scheme: letters, digits, '+', '-', '.' before a ':' that comes
    // before any '/', '?' or '#'.
    const std::size_t colon = url.find(':');
    if (colon != std::string_view::npos && colon < url.find_first_of("/?#")) {
        return false;
    }
    return true;
}

std::string NormalizePath(std::string_view path) {
    const bool absolute = !path.empty() && path.front() == '/';
    const bool folder = !path.empty() && (path.back() == '/' || path.ends_with("/.") ||
                                          path.ends_with("/..") || path == "." || path == "..");
    // Built in place: each step is appended after a '/', and ".." takes the
    // last step back off, where there is one that is not ".." itself.
    std::string normal = absolute ? "/" : "";
    const std::size_t root = normal.size();
    normal.reserve(path.size() + 1);
    std::size_t at = 0;
    while (at <= path.size()) {
        const std::size_t end = std::min(path.find('/', at), path.size());
        const std::string_view step = path.substr(at, end - at);
        at = end + 1;
        if (step.empty() || step == ".") {
            continue;
        }
        if (step == "..") {
            const std::size_t slash = normal.size() > root ? normal.rfind('/') : std::string::npos;
            const std::size_t last = slash == std::string::npos || slash < root ? root : slash + 1;
            if (normal.size() > root && std::string_view(normal).substr(last) != "..") {
                normal.resize(last > root ? last - 1 : root);
                continue;
            }
            if (absolute) {
                continue; // nothing above the root
            }
        }
        if (normal.size() > root) {
            normal += '/';
        }
        normal.append(step);
    }
    if (folder && normal.size() > root) {
        normal += '/';
    }
    return normal;
}

std::string RelativeUrl(std::string_view target, std::string_view folder) {
    // The folders both share, step by step.
    std::size_t common = 0;
    for (std::size_t i = 0; i < target.size() && i < folder.size() && target[i] == folder[i]; ++i) {
        if (folder[i] == '/') {
            common = i + 1;
        }
    }
    std::string url;
    for (std::size_t i = common; i < folder.size(); ++i) {
        if (folder[i] == '/') {
            url += "../";
        }
    }
    url.append(target.substr(common));
    return url.empty() ? "./" : url;
}

namespace {

// Texts cached above this many bytes are let go: a run whose templates are
// its own pages could otherwise keep one entry per page.
constexpr std::size_t kCacheBytes = std::size_t{64} << 20;

std::string AsFolder(std::string_view path) {
    std::string folder = NormalizePath(path);
    if (!folder.ends_with('/')) {
        folder += '/';
    }
    return folder;
}

// The text with the edits made, which stand in offset order; an offset of
// the text moves by what the edits before it added or took away.
class EditedText {
public:
    EditedText(std::string_view text, std::vector<Edit> edits) : m_edits(std::move(edits)) {
        std::stable_sort(m_edits.begin(), m_edits.end(),
                         [](const Edit& a, const Edit& b) { return a.offset < b.offset; });
        m_text.reserve(text.size() + 64);
        std::size_t at = 0;
        for (const Edit& edit : m_edits) {
            m_text.append(text.substr(at, edit.offset - at));
            m_text.append(edit.text);
            at = edit.offset + edit.length;
        }
        m_text.append(text.substr(at));
    }

    std::size_t Moved(std::size_t offset) const {
        std::ptrdiff_t shift = 0;
        for (const Edit& edit : m_edits) {
            if (edit.offset + edit.length > offset || (edit.length == 0 && edit.offset == offset)) {
                break;
            }
            shift += static_cast<std::ptrdiff_t>(edit.text.size()) -
                     static_cast<std::ptrdiff_t>(edit.length);
        }
        return static_cast<std::size_t>(static_cast<std::ptrdiff_t>(offset) + shift);
    }

    std::string Take() {
        return std::move(m_text);
    }

private:
    std::vector<Edit> m_edits;
    std::string m_text;
};

} // namespace

struct LinkCache::Prepared {
    HtmlLinks found;
    std::unordered_map<std::string, std::shared_ptr<const FolderText>> folders;
};

LinkCache::LinkCache(std::string linkBase) {
    if (!linkBase.empty()) {
        m_linkBase = AsFolder(linkBase);
    }
}

LinkCache::~LinkCache() = default;

std::shared_ptr<const LinkCache::FolderText> LinkCache::For(std::string_view text,
                                                            const std::string& folder) {
    const std::lock_guard lock(m_mutex);
    auto known = m_texts.find(text);
    if (known == m_texts.end()) {
        if (m_cachedBytes > kCacheBytes) {
            m_texts.clear();
            m_cachedBytes = 0;
        }
        auto prepared = std::make_unique<Prepared>();
        prepared->found = FindHtmlLinks(text);
        m_cachedBytes += text.size();
        known = m_texts.emplace(std::string(text), std::move(prepared)).first;
    }
    Prepared& prepared = *known->second;
    if (const auto seen = prepared.folders.find(folder); seen != prepared.folders.end()) {
        return seen->second;
    }

    std::vector<Edit> edits;
    std::vector<RewrittenLink> rewritten;
    if (!m_linkBase.empty()) {
        for (const HtmlLink& link : prepared.found.links) {
            const std::string_view url = text.substr(link.offset, link.length);
            if (!IsRewritableUrl(url)) {
                continue;
            }
            const auto [path, rest] = SplitUrl(url);
            std::string target = NormalizePath(m_linkBase + std::string(path));
            std::string value = RelativeUrl(target, folder) + std::string(rest);
            rewritten.push_back({link.offset, value, std::move(target)});
            if (value != url) {
                edits.push_back({link.offset, link.length, std::move(value)});
            }
        }
    }
    EditedText edited(text, std::move(edits));
    auto result = std::make_shared<FolderText>();
    for (RewrittenLink& link : rewritten) {
        link.offset = edited.Moved(link.offset);
    }
    result->rewritten = std::move(rewritten);
    for (const HtmlTag& tag : prepared.found.anchors) {
        if (!tag.hasHref || tag.close >= text.size()) {
            continue;
        }
        const std::string_view href = text.substr(tag.hrefOffset, tag.hrefLength);
        if (!IsRewritableUrl(href)) {
            continue; // empty, a fragment alone (a menu toggle), or elsewhere
        }
        result->anchors.push_back({edited.Moved(tag.close), tag.hasClass, tag.classQuoted,
                                   tag.hasClass ? edited.Moved(tag.classOffset) : 0,
                                   tag.classLength, tag.hasAriaCurrent,
                                   NormalizePath((m_linkBase.empty() ? folder : m_linkBase) +
                                                 std::string(SplitUrl(href).first))});
    }
    result->text = std::make_shared<const std::string>(edited.Take());
    m_cachedBytes += result->text->size();
    prepared.folders.emplace(folder, result);
    return result;
}

PageLinks::PageLinks(std::string pagePath, std::string linkBase, CurrentPageMark mark,
                     std::string markClass)
    : PageLinks(std::move(pagePath),
                linkBase.empty() && mark == CurrentPageMark::None
                    ? nullptr
                    : std::make_shared<LinkCache>(std::move(linkBase)),
                mark, std::move(markClass)) {}

PageLinks::PageLinks(std::string pagePath, std::shared_ptr<LinkCache> cache, CurrentPageMark mark,
                     std::string markClass)
    : m_page(NormalizePath(pagePath)), m_cache(std::move(cache)), m_mark(mark),
      m_markClass(std::move(markClass)) {
    m_folder = std::string(FolderOf(m_page));
    m_isIndex = IsIndexName(std::string_view(m_page).substr(m_folder.size()));
}

bool PageLinks::IsActive() const {
    return m_cache != nullptr && (m_cache->RewritesLinks() || m_mark != CurrentPageMark::None);
}

std::shared_ptr<const std::string> PageLinks::ApplyShared(std::string_view text,
                                                          std::vector<Rewritten>* rewritten) const {
    if (!IsActive()) {
        return std::make_shared<const std::string>(text);
    }
    const std::shared_ptr<const LinkCache::FolderText> folderText = m_cache->For(text, m_folder);
    std::vector<Edit> edits;
    if (m_mark != CurrentPageMark::None) {
        for (const LinkCache::Anchor& anchor : folderText->anchors) {
            const bool toPage = anchor.target == m_page;
            const bool toFolder =
                m_isIndex && (anchor.target == m_folder || anchor.target + '/' == m_folder);
            if (!toPage && !toFolder) {
                continue;
            }
            if (m_mark == CurrentPageMark::AriaCurrent) {
                if (!anchor.hasAriaCurrent) {
                    edits.push_back({anchor.close, 0, " aria-current=\"page\""});
                }
            } else if (!anchor.hasClass) {
                edits.push_back({anchor.close, 0, " class=\"" + m_markClass + '"'});
            } else {
                const std::string_view classes =
                    std::string_view(*folderText->text)
                        .substr(anchor.classOffset, anchor.classLength);
                if (!HasClassToken(classes, m_markClass)) {
                    std::string value =
                        std::string(classes) + (classes.empty() ? "" : " ") + m_markClass;
                    edits.push_back({anchor.classOffset, anchor.classLength,
                                     anchor.classQuoted ? value : '"' + value + '"'});
                }
            }
        }
    }
    if (edits.empty()) {
        if (rewritten != nullptr) {
            *rewritten = folderText->rewritten;
        }
        return folderText->text;
    }
    EditedText marked(*folderText->text, std::move(edits));
    if (rewritten != nullptr) {
        *rewritten = folderText->rewritten;
        for (RewrittenLink& link : *rewritten) {
            link.offset = marked.Moved(link.offset);
        }
    }
    return std::make_shared<const std::string>(marked.Take());
}

std::string PageLinks::Apply(std::string_view text, std::vector<Rewritten>* rewritten) const {
    return *ApplyShared(text, rewritten);
}

} // namespace quillstamper

namespace quillstamper {

namespace {

bool HoldsLineBreak(std::string_view text) {
    return text.find_first_of("\r\n") != std::string_view::npos;
}

// The edit that takes the page's own mark out of an <a> tag: what a run adds
// is taken out as it adds it (" aria-current=\"page\"", " class=\"NAME\"" or
// the token NAME among others); a mark written otherwise stays.
std::optional<Edit> UnmarkAnchor(std::string_view text, const HtmlTag& tag, CurrentPageMark mark,
                                 const std::string& markClass) {
    if (mark == CurrentPageMark::AriaCurrent) {
        constexpr std::string_view kMark = " aria-current=\"page\"";
        const std::size_t at = text.substr(tag.offset, tag.close - tag.offset).find(kMark);
        if (at == std::string_view::npos) {
            return std::nullopt;
        }
        return Edit{tag.offset + at, kMark.size(), {}};
    }
    if (!tag.hasClass || markClass.empty()) {
        return std::nullopt;
    }
    const std::string_view classes = text.substr(tag.classOffset, tag.classLength);
    const std::string whole = " class=\"" + markClass + '"';
    const std::size_t attributeEnd = tag.classOffset + classes.size() + 1; // past the quote
    if (classes == markClass && tag.classQuoted && attributeEnd >= whole.size() &&
        text.substr(attributeEnd - whole.size(), whole.size()) == whole) {
        return Edit{attributeEnd - whole.size(), whole.size(), {}};
    }
    // The token among others, with the blank that parts it from them.
    const std::string_view name = markClass;
    for (std::size_t at = classes.find(name); at != std::string_view::npos;
         at = classes.find(name, at + 1)) {
        const bool startsToken = at == 0 || classes[at - 1] == ' ';
        const std::size_t end = at + name.size();
        const bool endsToken = end == classes.size() || classes[end] == ' ';
        if (!startsToken || !endsToken || classes.size() == name.size()) {
            continue;
        }
        return at > 0 ? Edit{tag.classOffset + at - 1, name.size() + 1, {}}
                      : Edit{tag.classOffset, name.size() + 1, {}};
    }
    return std::nullopt;
}

} // namespace

std::string ExpressLinksFromBase(std::string_view text, const std::string& pagePath,
                                 const std::string& linkBase, CurrentPageMark mark,
                                 const std::string& markClass) {
    if (linkBase.empty() && mark == CurrentPageMark::None) {
        return std::string(text);
    }
    const std::string page = NormalizePath(pagePath);
    const std::string folder(FolderOf(page));
    const bool isIndex = IsIndexName(std::string_view(page).substr(folder.size()));
    const std::string base = linkBase.empty() ? std::string() : AsFolder(linkBase);
    const HtmlLinks found = FindHtmlLinks(text);
    std::vector<Edit> edits;
    if (!base.empty()) {
        for (const HtmlLink& link : found.links) {
            const std::string_view url = text.substr(link.offset, link.length);
            if (!IsRewritableUrl(url) || HoldsLineBreak(url)) {
                continue;
            }
            const auto [path, rest] = SplitUrl(url);
            std::string value =
                RelativeUrl(NormalizePath(folder + std::string(path)), base) + std::string(rest);
            if (value != url) {
                edits.push_back({link.offset, link.length, std::move(value)});
            }
        }
    }
    if (mark != CurrentPageMark::None) {
        for (const HtmlTag& tag : found.anchors) {
            if (!tag.hasHref || tag.close >= text.size()) {
                continue;
            }
            const std::string_view href = text.substr(tag.hrefOffset, tag.hrefLength);
            if (!IsRewritableUrl(href)) {
                continue;
            }
            const std::string target = NormalizePath(folder + std::string(SplitUrl(href).first));
            const bool toPage = target == page;
            const bool toFolder = isIndex && (target == folder || target + '/' == folder);
            if (!toPage && !toFolder) {
                continue;
            }
            if (std::optional<Edit> edit = UnmarkAnchor(text, tag, mark, markClass)) {
                edits.push_back(std::move(*edit));
            }
        }
    }
    return EditedText(text, std::move(edits)).Take();
}

} // namespace quillstamper
