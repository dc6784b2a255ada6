#pragma once

#include "base/site_definition.h"

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

namespace quillstamper {

// What a page does to the links of the text that templates put in it: with
// a link base, a relative URL is taken as written from there and rewritten
// relative to the page's own folder, so that one block works at any depth;
// with a current-page mark, an <a> that leads to the page itself (or to its
// folder, for an index page) is marked. Every other byte stays as it is.
class PageLinks {
public:
    // A link rewritten, for the check: where it stands in the text given to
    // Apply, what it now says, and the file it leads to.
    struct Rewritten {
        std::size_t offset = 0;
        std::string value;
        std::string target; // absolute, without query and fragment
    };

    // pagePath and linkBase are absolute; an empty linkBase leaves links as
    // they are written.
    PageLinks(std::string pagePath, std::string linkBase, CurrentPageMark mark,
              std::string markClass);

    // Whether Apply can change anything.
    bool IsActive() const;

    // The text with its links rewritten and the page's own link marked.
    std::string Apply(std::string_view text, std::vector<Rewritten>* rewritten = nullptr) const;

private:
    std::string m_page;   // the page, absolute and without "." or ".."
    std::string m_folder; // its folder, ending in '/'
    bool m_isIndex = false;
    std::string m_linkBase; // ending in '/', or empty
    CurrentPageMark m_mark;
    std::string m_markClass;
};

// Whether a URL is relative in the way rewriting takes: no scheme (https:,
// mailto:, javascript:, data:, ...), not protocol-relative (//), root-relative
// (/), only a fragment (#) or a query (?), not empty, and without server or
// template syntax (<?, <%, {{, ${) or backslashes.
bool IsRewritableUrl(std::string_view url);

// A path with "." and ".." steps worked out, as far as they go; an absolute
// path stays absolute, a trailing '/' stays.
std::string NormalizePath(std::string_view path);

// target as seen from folder (both absolute and normalized; folder ends in
// '/'): "../img/a.png", "a.html", or "./" for the folder itself.
std::string RelativeUrl(std::string_view target, std::string_view folder);

} // namespace quillstamper
