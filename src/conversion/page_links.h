#pragma once

#include "base/site_definition.h"

#include <cstddef>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

namespace quillstamper {

// A link that a page's folder made rewrite: where it stands in the text the
// page receives, what it now says, and the file it leads to.
struct RewrittenLink {
    std::size_t offset = 0;
    std::string value;
    std::string target; // absolute, without query and fragment
};

// What the pages of one run share about the text that templates put in them:
// each text's links are found once, and rewritten once for each folder that
// receives it, so that a page pays only for its own mark. Safe to use from
// several threads at once.
class LinkCache {
public:
    // linkBase is absolute, or empty when links stay as they are written.
    explicit LinkCache(std::string linkBase);
    ~LinkCache();
    LinkCache(const LinkCache&) = delete;
    LinkCache& operator=(const LinkCache&) = delete;

    bool RewritesLinks() const {
        return !m_linkBase.empty();
    }

    // An <a> start tag of the rewritten text whose href could lead to a page.
    struct Anchor {
        std::size_t close = 0;
        bool hasClass = false;
        bool classQuoted = false;
        std::size_t classOffset = 0;
        std::size_t classLength = 0;
        bool hasAriaCurrent = false;
        std::string target; // absolute, without query and fragment
    };
    // text as a page in folder receives it, before its own link is marked.
    struct FolderText {
        std::shared_ptr<const std::string> text;
        std::vector<Anchor> anchors;
        std::vector<RewrittenLink> rewritten;
    };

    // folder is absolute, normalized and ends in '/'.
    std::shared_ptr<const FolderText> For(std::string_view text, const std::string& folder);

private:
    struct Prepared;
    struct Hash {
        using is_transparent = void;
        std::size_t operator()(std::string_view text) const {
            return std::hash<std::string_view>()(text);
        }
    };

    std::string m_linkBase; // ending in '/', or empty
    std::mutex m_mutex;
    std::unordered_map<std::string, std::unique_ptr<Prepared>, Hash, std::equal_to<>> m_texts;
    std::size_t m_cachedBytes = 0;
};

// What a page does to the links of the text that templates put in it: with
// a link base, a relative URL is taken as written from there and rewritten
// relative to the page's own folder, so that one block works at any depth;
// with a current-page mark, an <a> that leads to the page itself (or to its
// folder, for an index page) is marked. Every other byte stays as it is.
class PageLinks {
public:
    using Rewritten = RewrittenLink;

    // pagePath and linkBase are absolute; an empty linkBase leaves links as
    // they are written.
    PageLinks(std::string pagePath, std::string linkBase, CurrentPageMark mark,
              std::string markClass);
    // The same, sharing what is learnt about each text with the other pages
    // of the run; a null cache leaves links alone.
    PageLinks(std::string pagePath, std::shared_ptr<LinkCache> cache, CurrentPageMark mark,
              std::string markClass);

    // Whether Apply can change anything.
    bool IsActive() const;

    // The text with its links rewritten and the page's own link marked;
    // rewritten gets the links rewritten, at their places in what is returned.
    std::shared_ptr<const std::string> ApplyShared(std::string_view text,
                                                   std::vector<Rewritten>* rewritten) const;
    std::string Apply(std::string_view text, std::vector<Rewritten>* rewritten = nullptr) const;

private:
    std::string m_page;   // the page, absolute and without "." or ".."
    std::string m_folder; // its folder, ending in '/'
    bool m_isIndex = false;
    std::shared_ptr<LinkCache> m_cache;
    CurrentPageMark m_mark;
    std::string m_markClass;
};

// A page's text as a template written from the link base would give it: each
// relative URL the page holds is taken from the page's folder and written from
// linkBase (absolute; empty leaves URLs as they are), and the mark that the
// setting gives the page's own link is taken out. No edit crosses a line
// break, so the text keeps its lines one for one.
std::string ExpressLinksFromBase(std::string_view text, const std::string& pagePath,
                                 const std::string& linkBase, CurrentPageMark mark,
                                 const std::string& markClass);

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
