#include "conversion/html_links.h"

#include <algorithm>
#include <cstring>
#include <string>

namespace quillstamper {

namespace {

char Lower(char c) {
    return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
}

bool EqualsIgnoringCase(std::string_view a, std::string_view lowerB) {
    return a.size() == lowerB.size() && std::equal(a.begin(), a.end(), lowerB.begin(),
                                                   [](char x, char y) { return Lower(x) == y; });
}

bool IsSpace(char c) {
    return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\f';
}

bool IsLetter(char c) {
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z');
}

bool IsUrlAttribute(std::string_view name) {
    for (const char* url : {"href", "src", "action", "formaction", "poster", "background", "data",
                            "cite", "longdesc", "usemap"}) {
        if (EqualsIgnoringCase(name, url)) {
            return true;
        }
    }
    return false;
}

// Where text[from...] holds `word` in any case, or npos.
std::size_t FindIgnoringCase(std::string_view text, std::string_view lowerWord, std::size_t from) {
    for (std::size_t at = from; at + lowerWord.size() <= text.size(); ++at) {
        const void* found = std::memchr(text.data() + at, lowerWord.front(), text.size() - at);
        const void* upper =
            std::memchr(text.data() + at, lowerWord.front() - 'a' + 'A', text.size() - at);
        const char* first = static_cast<const char*>(found);
        const char* second = static_cast<const char*>(upper);
        const char* next = first == nullptr    ? second
                           : second == nullptr ? first
                                               : std::min(first, second);
        if (next == nullptr) {
            break;
        }
        at = static_cast<std::size_t>(next - text.data());
        if (at + lowerWord.size() <= text.size() &&
            EqualsIgnoringCase(text.substr(at, lowerWord.size()), lowerWord)) {
            return at;
        }
    }
    return std::string_view::npos;
}

class Tokenizer {
public:
    explicit Tokenizer(std::string_view text) : m_text(text) {}

    HtmlLinks Run() {
        std::size_t at = 0;
        while (at < m_text.size()) {
            const void* found = std::memchr(m_text.data() + at, '<', m_text.size() - at);
            if (found == nullptr) {
                break;
            }
            at = static_cast<std::size_t>(static_cast<const char*>(found) - m_text.data());
            at = Markup(at);
        }
        return std::move(m_links);
    }

private:
    // Reads the markup that begins with the '<' at `at`; returns where the
    // text after it begins.
    std::size_t Markup(std::size_t at) {
        const std::string_view rest = m_text.substr(at);
        if (rest.starts_with("<!--")) {
            const std::size_t end = m_text.find("-->", at + 4);
            return end == std::string_view::npos ? m_text.size() : end + 3;
        }
        if (rest.size() > 1 && (rest[1] == '!' || rest[1] == '?' || rest[1] == '/')) {
            const std::size_t end = m_text.find('>', at + 1);
            return end == std::string_view::npos ? m_text.size() : end + 1;
        }
        if (rest.size() < 2 || !IsLetter(rest[1])) {
            return at + 1; // a '<' in text
        }
        std::size_t name = at + 1;
        while (name < m_text.size() && !IsSpace(m_text[name]) && m_text[name] != '>' &&
               m_text[name] != '/') {
            ++name;
        }
        const std::string_view tagName = m_text.substr(at + 1, name - at - 1);
        const std::size_t end = StartTag(at, name, tagName);
        if (EqualsIgnoringCase(tagName, "script")) {
            const std::size_t close = FindIgnoringCase(m_text, "</script", end);
            return close == std::string_view::npos ? m_text.size() : close;
        }
        if (EqualsIgnoringCase(tagName, "style")) {
            const std::size_t close = FindIgnoringCase(m_text, "</style", end);
            const std::size_t stop = close == std::string_view::npos ? m_text.size() : close;
            CssUrls(end, stop);
            return stop;
        }
        return end;
    }

    // The attributes of a start tag, from after its name; returns where the
    // text after the tag begins. An <a> tag is kept.
    std::size_t StartTag(std::size_t at, std::size_t from, std::string_view name) {
        HtmlTag tag;
        tag.offset = at;
        std::size_t i = from;
        for (;;) {
            while (i < m_text.size() && (IsSpace(m_text[i]) || m_text[i] == '/')) {
                if (m_text[i] == '/' && i + 1 < m_text.size() && m_text[i + 1] == '>') {
                    break;
                }
                ++i;
            }
            if (i >= m_text.size() || m_text[i] == '>' ||
                (m_text[i] == '/' && i + 1 < m_text.size() && m_text[i + 1] == '>')) {
                break;
            }
            std::size_t nameEnd = i;
            while (nameEnd < m_text.size() && !IsSpace(m_text[nameEnd]) && m_text[nameEnd] != '>' &&
                   m_text[nameEnd] != '=' && (m_text[nameEnd] != '/' || nameEnd == i)) {
                ++nameEnd;
            }
            const std::string_view attribute = m_text.substr(i, nameEnd - i);
            i = nameEnd;
            while (i < m_text.size() && IsSpace(m_text[i])) {
                ++i;
            }
            if (i >= m_text.size() || m_text[i] != '=') {
                tag.hasAriaCurrent =
                    tag.hasAriaCurrent || EqualsIgnoringCase(attribute, "aria-current");
                continue;
            }
            ++i;
            while (i < m_text.size() && IsSpace(m_text[i])) {
                ++i;
            }
            std::size_t valueOffset = i;
            std::size_t valueEnd = i;
            bool quoted = false;
            if (i < m_text.size() && (m_text[i] == '"' || m_text[i] == '\'')) {
                quoted = true;
                const std::size_t close = m_text.find(m_text[i], i + 1);
                valueOffset = i + 1;
                valueEnd = close == std::string_view::npos ? m_text.size() : close;
                i = close == std::string_view::npos ? m_text.size() : close + 1;
            } else {
                while (valueEnd < m_text.size() && !IsSpace(m_text[valueEnd]) &&
                       m_text[valueEnd] != '>') {
                    ++valueEnd;
                }
                i = valueEnd;
            }
            Attribute(tag, attribute, valueOffset, valueEnd - valueOffset, quoted);
        }
        tag.close = std::min(i, m_text.size());
        if (EqualsIgnoringCase(name, "a")) {
            m_links.anchors.push_back(tag);
        }
        return i >= m_text.size() ? m_text.size() : i + (m_text[i] == '/' ? 2 : 1);
    }

    void Attribute(HtmlTag& tag, std::string_view name, std::size_t offset, std::size_t length,
                   bool quoted) {
        if (EqualsIgnoringCase(name, "srcset")) {
            Srcset(offset, offset + length);
        } else if (EqualsIgnoringCase(name, "style")) {
            CssUrls(offset, offset + length);
        } else if (EqualsIgnoringCase(name, "class")) {
            tag.hasClass = true;
            tag.classQuoted = quoted;
            tag.classOffset = offset;
            tag.classLength = length;
        } else if (EqualsIgnoringCase(name, "aria-current")) {
            tag.hasAriaCurrent = true;
        } else if (IsUrlAttribute(name)) {
            m_links.links.push_back({HtmlLink::Kind::Attribute, offset, length});
            if (EqualsIgnoringCase(name, "href")) {
                tag.hasHref = true;
                tag.hrefOffset = offset;
                tag.hrefLength = length;
            }
        }
    }

    // "a.png 1x, b.png 2x": each candidate is a URL and its descriptors.
    void Srcset(std::size_t from, std::size_t end) {
        std::size_t i = from;
        while (i < end) {
            while (i < end && (IsSpace(m_text[i]) || m_text[i] == ',')) {
                ++i;
            }
            std::size_t urlEnd = i;
            while (urlEnd < end && !IsSpace(m_text[urlEnd])) {
                ++urlEnd;
            }
            // A comma that ends the URL belongs to the list.
            std::size_t trimmed = urlEnd;
            while (trimmed > i && m_text[trimmed - 1] == ',') {
                --trimmed;
            }
            if (trimmed > i) {
                m_links.links.push_back({HtmlLink::Kind::Srcset, i, trimmed - i});
            }
            i = urlEnd;
            if (trimmed == urlEnd) {
                while (i < end && m_text[i] != ',') {
                    ++i; // descriptors
                }
            }
        }
    }

    // url(x), url('x'), url("x") between from and end.
    void CssUrls(std::size_t from, std::size_t end) {
        const std::string_view css = m_text.substr(0, end);
        // The next url( is looked for after this one's value, which may hold
        // the same letters.
        for (std::size_t at = FindIgnoringCase(css, "url(", from); at != std::string_view::npos;) {
            std::size_t i = at + 4;
            while (i < end && IsSpace(m_text[i])) {
                ++i;
            }
            std::size_t valueOffset = i;
            std::size_t valueEnd = i;
            if (i < end && (m_text[i] == '"' || m_text[i] == '\'')) {
                const std::size_t close = css.find(m_text[i], i + 1);
                if (close == std::string_view::npos) {
                    break;
                }
                valueOffset = i + 1;
                valueEnd = close;
            } else {
                while (valueEnd < end && m_text[valueEnd] != ')' && !IsSpace(m_text[valueEnd])) {
                    ++valueEnd;
                }
            }
            m_links.links.push_back({HtmlLink::Kind::CssUrl, valueOffset, valueEnd - valueOffset});
            at = FindIgnoringCase(css, "url(", std::max(valueEnd, at + 4));
        }
    }

    std::string_view m_text;
    HtmlLinks m_links;
};

} // namespace

HtmlLinks FindHtmlLinks(std::string_view text) {
    return Tokenizer(text).Run();
}

} // namespace quillstamper
