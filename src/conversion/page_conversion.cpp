#include "conversion/page_conversion.h"

#include "base/file_error.h"
#include "conversion/block_closer.h"
#include "conversion/block_notes.h"
#include "conversion/file_text.h"
#include "conversion/line_model.h"
#include "conversion/line_origins.h"
#include "conversion/markers.h"
#include "conversion/page_links.h"

#include <algorithm>
#include <optional>

namespace quillstamper {

int FirstPassPair(const IdentifierTable& identifiers) {
    for (int pair = 1; pair <= kPairCount; ++pair) {
        if (!identifiers.StartId(pair).empty()) {
            return pair;
        }
    }
    return 0;
}

namespace {

// True when writing lines back, each ended by lineBreak, would give exactly
// these bytes (into which the lines point).
bool IsCanonical(const LineViews& lines, std::string_view bytes, std::string_view lineBreak) {
    std::size_t expected = 0;
    for (const std::string_view line : lines) {
        expected += line.size() + lineBreak.size();
    }
    if (expected != bytes.size()) {
        return false;
    }
    for (const std::string_view line : lines) {
        if (std::string_view(line.data() + line.size(), lineBreak.size()) != lineBreak) {
            return false;
        }
    }
    return true;
}

// The passes over one page. The lines are views into the page and the
// template files; the page's bytes are put together once, at the end.
class PageConverter {
public:
    PageConverter(const PageInput& page, const FileText& text, TemplateSet& templates,
                  const PageRules& rules, PageOutput& output)
        : m_page(page), m_text(text), m_templates(templates), m_identifiers(rules.identifiers),
          m_endLines(rules.settings.endLines), m_textMode(rules.settings.text),
          m_links(page.absolutePath, rules.links, rules.settings.currentPage,
                  rules.settings.currentPageClass),
          m_output(output) {}

    // True when some block got template content (which may equal what it had).
    bool RunPasses(LineViews& lines, const std::function<void(int pair)>& onPass) {
        std::vector<SharedBytes>& viewed = m_viewed;
        viewed.push_back(m_text.holder);
        bool modified = false;
        const int firstPair = FirstPassPair(m_identifiers);
        for (int pair = firstPair; pair >= 1 && pair <= kPairCount; ++pair) {
            if (m_identifiers.StartId(pair).empty()) {
                continue;
            }
            onPass(pair);
            if (m_page.isTemplate) {
                // As a template the page is what the previous pass made of it.
                if (modified) {
                    viewed.push_back(std::make_shared<const std::string>(JoinLines(lines)));
                    lines = SplitLines(*viewed.back());
                }
                m_templates.Override(m_page.identity, viewed.back(), lines,
                                     CharsetOfText(m_text, true));
            }
            if (RunPass(lines, pair, pair == firstPair, m_next)) {
                lines.swap(m_next); // the old list takes the next pass's output
                m_templates.CollectBuffers(viewed);
                modified = true;
            }
        }
        return modified;
    }

    const LineOrigins& Origins() const {
        return m_origins;
    }

private:
    // What one pass works with.
    struct Pass {
        const LineViews& lines;
        int pair;
        BlockCloser closer;
        OriginsBuilder origins;
        LineViews& output;
        const TemplateIndex* index = nullptr; // looked up at the first start line
    };

    // One pass of one pair. A block whose end line is missing, or closes
    // another block, is left as it is.
    bool RunPass(const LineViews& lines, int pair, bool firstPass, LineViews& output) {
        const std::string_view startId = m_identifiers.StartId(pair);
        const std::string_view endId = m_identifiers.EndId(pair);
        output.clear();
        output.reserve(lines.size());
        Pass pass{lines, pair, BlockCloser(lines, pair, m_identifiers, m_endLines),
                  OriginsBuilder(m_origins), output};
        bool changed = false;
        // The page's own notes come from the passes, which look at every line.
        const bool indents = m_page.takesNotes && firstPass;
        const bool strays = m_page.takesNotes && !endId.empty();
        bool open = false; // since the last end line, a start line came
        // Lines are copied to the output in runs, when a block is filled and
        // at the end, and only if the pass changes something.
        std::size_t copied = 0;
        const auto copyUpTo = [&](std::size_t end) {
            output.insert(output.end(), lines.begin() + static_cast<std::ptrdiff_t>(copied),
                          lines.begin() + static_cast<std::ptrdiff_t>(end));
            copied = end;
        };
        for (std::size_t i = 0; i < lines.size(); ++i) {
            const std::string_view line = lines[i];
            if (indents && !line.empty() && (line.front() == ' ' || line.front() == '\t') &&
                IsIndentedMarker(line, m_identifiers)) {
                AddNote(ConversionNote::Kind::IndentedMarker, i, line);
            }
            if (IsEndLine(line, endId)) {
                if (strays && !open && BeginsWith(line, startId)) {
                    AddNote(ConversionNote::Kind::EndWithoutStart, i, line);
                }
                open = false;
                continue;
            }
            if (!BeginsWith(line, startId)) {
                continue;
            }
            open = true;
            copyUpTo(i + 1); // the start line too
            const std::size_t end = FillBlock(pass, i);
            if (end != BlockCloser::kNone) {
                i = end - 1; // the end line is copied next
                copied = end;
                changed = true;
            }
        }
        if (changed) {
            copyUpTo(lines.size());
            pass.origins.Finish(lines.size(), output.size());
        }
        return changed;
    }

    // The block begun at start (already copied to the output) gets the
    // template content of its start line: returns its end line, or kNone
    // when no template holds it or it is left alone, which is reported.
    std::size_t FillBlock(Pass& pass, std::size_t start) {
        const std::string_view line = pass.lines[start];
        if (pass.index == nullptr) {
            pass.index = m_page.ahead ? m_templates.BuiltIndex(pass.pair)
                                      : &m_templates.IndexFor(pass.pair, m_identifiers, m_endLines);
            if (pass.index == nullptr) {
                throw PageNotSettled{};
            }
        }
        const TemplateIndex::Entry* block = pass.index->Find(line);
        if (block == nullptr) {
            if (m_page.takesNotes) {
                AddNote(ConversionNote::Kind::NoTemplate, start, line);
            }
            return BlockCloser::kNone;
        }
        if (m_output.usedStartLines.empty()) {
            m_output.usedStartLines.reserve(8); // a page has a few blocks
        }
        m_output.usedStartLines.emplace_back(pass.pair, line);
        if (block->unclosed) {
            m_output.unclosedTemplates.push_back(
                {UnclosedBlock::Place::TemplateFile, m_templates.EntryOf(block->unclosedSource),
                 block->unclosedLine, std::string(line), block->refusedLine,
                 std::string(block->refusedText)});
            return BlockCloser::kNone;
        }
        const std::size_t end = pass.closer.ClosingEnd(start);
        if (end == BlockCloser::kNone) {
            ReportUnclosed(pass, start);
            return BlockCloser::kNone;
        }
        pass.origins.Copy(start + 1, pass.output.size());
        for (const TemplateIndex::Span& span : block->spans) {
            const LineViews& source = m_templates.LinesOf(span.source);
            for (std::size_t k = span.begin; k < span.end; ++k) {
                SpendGrowth(source[k].size() + 2);
            }
            if (!InsertConverted(pass, span, start)) {
                pass.output.insert(pass.output.end(),
                                   source.begin() + static_cast<std::ptrdiff_t>(span.begin),
                                   source.begin() + static_cast<std::ptrdiff_t>(span.end));
            }
        }
        pass.origins.Insert(end, pass.output.size());
        return end;
    }

    const std::optional<std::string>& TemplateCharset(std::size_t source) {
        if (!m_page.ahead) {
            return m_templates.CharsetOf(source);
        }
        const std::optional<std::string>* told = m_templates.ToldCharsetOf(source);
        if (told == nullptr) {
            throw PageNotSettled{};
        }
        return *told;
    }

    // The page's charset, known once a block first needs it.
    const std::optional<std::string>& PageCharset() {
        if (!m_pageCharset) {
            m_pageCharset = CharsetOfText(m_text, false);
        }
        return *m_pageCharset;
    }

    // Template text goes in as it is, or made fit for this page: converted
    // into its charset, its links rewritten for its folder, its own link
    // marked. False when it goes in as it is.
    bool InsertConverted(Pass& pass, const TemplateIndex::Span& span, std::size_t start) {
        if (span.begin == span.end) {
            return false;
        }
        const std::optional<std::string> charsets = CharsetChange(pass, span, start);
        if (!charsets && !m_links.IsActive()) {
            return false;
        }
        const LineViews& source = m_templates.LinesOf(span.source);
        std::string text;
        for (std::size_t k = span.begin; k < span.end; ++k) {
            text.append(source[k]);
            text += '\n';
        }
        if (charsets) {
            // A page whose charset is known and holds less than Unicode
            // declares it in a <meta> element: it is HTML, where a numeric
            // character reference stands for what the charset cannot hold.
            std::optional<std::string> converted = ConvertCharset(
                text, *TemplateCharset(span.source), *charsets, [](char32_t c, std::string& out) {
                    out += "&#" + std::to_string(static_cast<std::uint32_t>(c)) + ';';
                });
            if (converted) {
                text = std::move(*converted);
            } // else: not valid in its own charset, which the check notes
        }
        std::vector<PageLinks::Rewritten> rewritten;
        const std::size_t first = pass.output.size();
        m_viewed.push_back(m_links.IsActive()
                               ? m_links.ApplyShared(text, m_page.checkNotes ? &rewritten : nullptr)
                               : std::make_shared<const std::string>(std::move(text)));
        const std::string_view lines = *m_viewed.back();
        for (std::size_t begin = 0; begin < lines.size();) {
            const std::size_t lineFeed = lines.find('\n', begin);
            pass.output.push_back(lines.substr(begin, lineFeed - begin));
            begin = lineFeed + 1;
        }
        NoteMissingTargets(pass, rewritten, first);
        return true;
    }

    // The page's charset when text from this span must be converted into
    // it; with Text: bytes, such a block is noted instead.
    std::optional<std::string> CharsetChange(const Pass& pass, const TemplateIndex::Span& span,
                                             std::size_t start) {
        // The page's charset first: most pages declare none.
        const std::optional<std::string>& to = PageCharset();
        if (!to) {
            return std::nullopt;
        }
        const std::optional<std::string>& from = TemplateCharset(span.source);
        if (!from || *to == *from) {
            return std::nullopt;
        }
        if (m_textMode == TextMode::Bytes) {
            if (m_page.takesNotes) {
                AddNote(ConversionNote::Kind::CharsetMismatch, start, pass.lines[start],
                        *to + " differs from " + *from + " of " + m_templates.EntryOf(span.source));
            }
            return std::nullopt;
        }
        return to;
    }

    // The check notes rewritten links to files that are not there; first is
    // where the inserted lines begin in the output.
    void NoteMissingTargets(const Pass& pass, const std::vector<PageLinks::Rewritten>& rewritten,
                            std::size_t first) {
        if (rewritten.empty() || !m_page.takesNotes) {
            return;
        }
        const char* const text = pass.output[first].data();
        std::size_t line = first;
        for (const PageLinks::Rewritten& link : rewritten) {
            while (line + 1 < pass.output.size() &&
                   static_cast<std::size_t>(pass.output[line + 1].data() - text) <= link.offset) {
                ++line;
            }
            if (!LookUpIdentity(link.target)) {
                AddNote(ConversionNote::Kind::MissingLinkTarget, line, link.value);
            }
        }
    }

    // With the end line that did not fit the block, when that was why.
    void ReportUnclosed(const Pass& pass, std::size_t start) {
        UnclosedBlock problem{UnclosedBlock::Place::WebFile, m_page.entry, ReportedLine(start),
                              std::string(pass.lines[start])};
        if (const std::size_t refused = pass.closer.RefusedEnd(); refused != BlockCloser::kNone) {
            problem.refusedLine = ReportedLine(refused);
            problem.refusedText = std::string(pass.lines[refused]);
        }
        m_output.problems.push_back(std::move(problem));
    }

    void AddNote(ConversionNote::Kind kind, std::size_t index, std::string_view line,
                 std::string detail = {}) {
        m_output.notes.push_back(
            {kind, m_page.entry, ReportedLine(index), std::string(line), std::move(detail)});
    }

    // Where a reported line stands in the page as read; a line that a
    // template put there is named where it stands now.
    std::size_t ReportedLine(std::size_t index) const {
        const std::size_t line = m_origins.OriginalLine(index);
        return line != 0 ? line : index + 1;
    }

    // A site grows a page by a few blocks, while a page that is its own
    // template can square its size with every pass. The budget rests on sizes
    // the run cannot inflate: the template files as first read, and the page.
    void SpendGrowth(std::size_t bytes) {
        constexpr std::size_t kAtLeast = std::size_t{64} << 20;
        constexpr std::size_t kFactor = 16;
        const std::size_t budget =
            std::max(kAtLeast, kFactor * (m_templates.InitialBytes() + m_page.firstSeenBytes));
        if (!m_growthLeft) {
            m_growthLeft = budget;
        }
        if (bytes > *m_growthLeft) {
            throw FileError(m_page.path, "the converted page would grow by more than " +
                                             std::to_string(budget >> 20) +
                                             " MB; is a page its own template?");
        }
        *m_growthLeft -= bytes;
    }

    const PageInput& m_page;
    const FileText& m_text;
    TemplateSet& m_templates;
    const IdentifierTable& m_identifiers;
    EndLines m_endLines;
    TextMode m_textMode;
    PageLinks m_links;
    std::optional<std::optional<std::string>> m_pageCharset;
    PageOutput& m_output;
    std::optional<std::size_t> m_growthLeft; // set at the first insertion
    LineOrigins m_origins;
    // Every buffer the lines may point into, kept until they are joined.
    std::vector<SharedBytes> m_viewed;
    LineViews m_next; // a pass's output
};

} // namespace

PageOutput ConvertPage(const PageInput& page, TemplateSet& templates, const PageRules& rules,
                       const std::function<void(int pair)>& onPass) {
    const LineEnds lineEnds = rules.settings.lineEnds;
    PageOutput output;
    const FileText text = DecodeFileText(page.bytes, page.path);
    if (page.takesNotes && page.checkNotes) {
        if (std::optional<ConversionNote> note = FindInvalidTextNote(page.entry, text)) {
            output.notes.push_back(std::move(*note));
        }
    }
    const std::string_view oldText = text.text;
    LineViews lines = SplitLines(oldText);
    // The passes replace lines; keeping line ends joins against the page's own.
    const LineViews ownLines = lineEnds == LineEnds::Keep ? lines : LineViews();
    PageConverter converter(page, text, templates, rules, output);
    const bool modified = converter.RunPasses(lines, onPass);
    if (lines.empty()) {
        return output; // an empty page is not written
    }
    if (lineEnds == LineEnds::Keep) {
        // Unchanged lines keep their bytes: only what a pass put in is new.
        if (modified) {
            output.newBytes = JoinKeepingLineBreaks(lines, converter.Origins(), ownLines, oldText);
        }
    } else {
        const std::string_view lineBreak = lineEnds == LineEnds::Lf ? "\n" : "\r\n";
        if (modified || !IsCanonical(lines, oldText, lineBreak)) {
            output.newBytes = JoinLines(lines, lineBreak);
        }
    }
    if (output.newBytes.empty() && !modified) {
        return output;
    }
    // The page keeps its mark and its encoding.
    if (text.encoding != TextEncoding::Bytes) {
        if (text.encoding != TextEncoding::Utf8) {
            output.newText = output.newBytes;
        }
        output.newBytes = EncodeFileText(text.encoding, output.newBytes);
    }
    output.changed = output.newBytes != *page.bytes;
    return output;
}

} // namespace quillstamper
