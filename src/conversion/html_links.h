#pragma once

#include <cstddef>
#include <string_view>
#include <vector>

namespace quillstamper {

// The places in HTML text that hold URLs, found by a small tokenizer of tags
// and attributes that never rewrites what it reads: a change is made by
// replacing exactly the bytes of one value.
struct HtmlLink {
    enum class Kind {
        Attribute, // a whole attribute value (href, src, action, ...)
        Srcset,    // one candidate URL of a srcset list
        CssUrl     // the inside of a CSS url(...), in a style attribute or element
    };
    Kind kind = Kind::Attribute;
    std::size_t offset = 0; // of the URL in the text
    std::size_t length = 0;
};

// An <a> start tag: where it begins, where its closing '>' (or "/>") stands,
// and its href and class attribute values, if any.
struct HtmlTag {
    std::size_t offset = 0; // of '<'
    std::size_t close = 0;  // of the '>', or of the '/' of "/>"; the text's end if cut off
    bool hasHref = false;
    std::size_t hrefOffset = 0;
    std::size_t hrefLength = 0;
    bool hasClass = false;
    bool classQuoted = false; // its value stands in quotes
    std::size_t classOffset = 0;
    std::size_t classLength = 0;
    bool hasAriaCurrent = false;
};

struct HtmlLinks {
    std::vector<HtmlTag> anchors; // the <a> start tags
    std::vector<HtmlLink> links;
};

// The URLs of href, src, srcset (each candidate), action, formaction, poster,
// background, data, cite, longdesc and usemap, and of CSS url() in style
// attributes and <style> elements, in text order. Tags may span lines; the
// contents of comments and <script> elements are passed over. Entities stay
// as written, inside the values found.
HtmlLinks FindHtmlLinks(std::string_view text);

} // namespace quillstamper
