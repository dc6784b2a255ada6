// The link tokenizer on any bytes: every URL it finds lies inside the text,
// in order and apart; rewriting links changes their values and nothing else;
// marking a page's own link only adds bytes.

#include "conversion/html_links.h"
#include "conversion/page_links.h"

#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

namespace {

using namespace quillstamper;

void Require(bool condition) {
    if (!condition) {
        std::abort();
    }
}

// The text with every URL the tokenizer finds in it left out.
std::string Skeleton(std::string_view text) {
    const HtmlLinks found = FindHtmlLinks(text);
    std::string skeleton;
    std::size_t at = 0;
    for (const HtmlLink& link : found.links) {
        Require(link.offset >= at && link.offset + link.length <= text.size());
        skeleton.append(text.substr(at, link.offset - at));
        at = link.offset + link.length;
    }
    for (const HtmlTag& anchor : found.anchors) {
        Require(anchor.close <= text.size());
        Require(!anchor.hasHref || anchor.hrefOffset + anchor.hrefLength <= text.size());
        Require(!anchor.hasClass || anchor.classOffset + anchor.classLength <= text.size());
    }
    skeleton.append(text.substr(at));
    return skeleton;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    const std::string skeleton = Skeleton(text);
    const std::string rewritten =
        PageLinks("/site/a/b/page.html", "/site", CurrentPageMark::None, {}).Apply(text);
    Require(Skeleton(rewritten) == skeleton);
    const std::string marked =
        PageLinks("/site/index.html", "", CurrentPageMark::Class, "on").Apply(text);
    Require(marked.size() >= text.size());
    return 0;
}
