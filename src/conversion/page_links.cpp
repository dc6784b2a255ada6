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
    std::vector<std::string_view> steps;
    std::size_t at = 0;
    while (at <= path.size()) {
        const std::size_t end = std::min(path.find('/', at), path.size());
        const std::string_view step = path.substr(at, end - at);
        if (step == "..") {
            if (!steps.empty() && steps.back() != "..") {
                steps.pop_back();
            } else if (!absolute) {
                steps.push_back(step);
            }
        } else if (!step.empty() && step != ".") {
            steps.push_back(step);
        }
        at = end + 1;
    }
    std::string normal = absolute ? "/" : "";
    for (std::size_t i = 0; i < steps.size(); ++i) {
        normal.append(steps[i]);
        if (i + 1 < steps.size()) {
            normal += '/';
        }
    }
    if (folder && !steps.empty()) {
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

PageLinks::PageLinks(std::string pagePath, std::string linkBase, CurrentPageMark mark,
                     std::string markClass)
    : m_page(NormalizePath(pagePath)), m_mark(mark), m_markClass(std::move(markClass)) {
    m_folder = std::string(FolderOf(m_page));
    m_isIndex = IsIndexName(std::string_view(m_page).substr(m_folder.size()));
    if (!linkBase.empty()) {
        m_linkBase = NormalizePath(linkBase);
        if (!m_linkBase.ends_with('/')) {
            m_linkBase += '/';
        }
    }
}

bool PageLinks::IsActive() const {
    return !m_linkBase.empty() || m_mark != CurrentPageMark::None;
}

std::string PageLinks::Apply(std::string_view text, std::vector<Rewritten>* rewritten) const {
    const HtmlLinks found = FindHtmlLinks(text);
    std::vector<Edit> edits;
    if (!m_linkBase.empty()) {
        for (const HtmlLink& link : found.links) {
            const std::string_view url = text.substr(link.offset, link.length);
            if (!IsRewritableUrl(url)) {
                continue;
            }
            const auto [path, rest] = SplitUrl(url);
            const std::string target = NormalizePath(m_linkBase + std::string(path));
            std::string value = RelativeUrl(target, m_folder) + std::string(rest);
            if (rewritten != nullptr) {
                rewritten->push_back({link.offset, value, target});
            }
            if (value != url) {
                edits.push_back({link.offset, link.length, std::move(value)});
            }
        }
    }
    if (m_mark != CurrentPageMark::None) {
        for (const HtmlTag& anchor : found.anchors) {
            if (!anchor.hasHref || anchor.close >= text.size()) {
                continue;
            }
            const std::string_view href = text.substr(anchor.hrefOffset, anchor.hrefLength);
            if (!IsRewritableUrl(href)) {
                continue; // empty, a fragment alone (a menu toggle), or elsewhere
            }
            const std::string target = NormalizePath((m_linkBase.empty() ? m_folder : m_linkBase) +
                                                     std::string(SplitUrl(href).first));
            const bool toPage = target == m_page;
            const bool toFolder = m_isIndex && (target == m_folder || target + '/' == m_folder);
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
                    text.substr(anchor.classOffset, anchor.classLength);
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
        return std::string(text);
    }
    std::stable_sort(edits.begin(), edits.end(),
                     [](const Edit& a, const Edit& b) { return a.offset < b.offset; });
    std::string out;
    out.reserve(text.size() + 64);
    std::size_t at = 0;
    for (const Edit& edit : edits) {
        out.append(text.substr(at, edit.offset - at));
        out.append(edit.text);
        at = edit.offset + edit.length;
    }
    out.append(text.substr(at));
    return out;
}

} // namespace quillstamper
