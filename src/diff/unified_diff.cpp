#include "diff/unified_diff.h"

#include "base/quote_path.h"

#include <dtl/dtl.hpp>

#include <algorithm>
#include <cstddef>
#include <cstring>
#include <span>
#include <vector>

namespace quillstamper {

namespace {

enum class Op : unsigned char { Keep, Remove, Add };

struct Edit {
    Op op;
    std::size_t oldIndex;
    std::size_t newIndex;
};

using Lines = std::vector<std::string_view>;

// Lines with their line ends.
Lines SplitKeepingEnds(std::string_view bytes) {
    Lines lines;
    std::size_t begin = 0;
    while (begin < bytes.size()) {
        const void* found = std::memchr(bytes.data() + begin, '\n', bytes.size() - begin);
        const std::size_t end =
            found == nullptr
                ? bytes.size()
                : static_cast<std::size_t>(static_cast<const char*>(found) - bytes.data()) + 1;
        lines.push_back(bytes.substr(begin, end - begin));
        begin = end;
    }
    return lines;
}

// Keeps only the kind of each step of the library's edit script, which may be
// as long as both files.
template <typename SesElem, typename Ops> class OpRecorder {
public:
    explicit OpRecorder(Ops& ops) : m_ops(ops) {}

    void operator()(const SesElem& step) const {
        m_ops.push_back(step.second.type == dtl::SES_COMMON   ? Op::Keep
                        : step.second.type == dtl::SES_DELETE ? Op::Remove
                                                              : Op::Add);
    }

private:
    Ops& m_ops;
};

// Lines as the library walks them, in place: a view on them, which it
// expects to name its const_iterator.
struct LineSpan : std::span<const std::string_view> {
    using span::span;
    using const_iterator = iterator;
};

// Appends the shortest edit script between the lines that differ once the
// common first and last lines are set aside.
void AppendMiddleOps(const Lines& a, const Lines& b, std::size_t prefix, std::size_t suffix,
                     std::vector<Op>& ops) {
    dtl::Diff<std::string_view, LineSpan> diff(
        LineSpan(a.begin() + static_cast<std::ptrdiff_t>(prefix),
                 a.end() - static_cast<std::ptrdiff_t>(suffix)),
        LineSpan(b.begin() + static_cast<std::ptrdiff_t>(prefix),
                 b.end() - static_cast<std::ptrdiff_t>(suffix)));
    // The library ends its search after some two million steps; the rest of
    // the middle is then one replacement: searching on from there would take
    // seconds on a long page whose every line changed.
    diff.onUnserious();
    diff.compose();
    diff.storeSES<std::vector<Op>, OpRecorder>(ops);
}

std::vector<Edit> ComputeEdits(const Lines& a, const Lines& b) {
    std::size_t prefix = 0;
    while (prefix < a.size() && prefix < b.size() && a[prefix] == b[prefix]) {
        ++prefix;
    }
    std::size_t suffix = 0;
    while (suffix < a.size() - prefix && suffix < b.size() - prefix &&
           a[a.size() - 1 - suffix] == b[b.size() - 1 - suffix]) {
        ++suffix;
    }
    // Only the middle reaches the library, whose tables grow with its input.
    std::vector<Op> ops(prefix, Op::Keep);
    AppendMiddleOps(a, b, prefix, suffix, ops);
    ops.insert(ops.end(), suffix, Op::Keep);
    // Each run of changes removes before it adds, as diff -u prints it.
    for (auto run = ops.begin(); run != ops.end();) {
        const auto runEnd = std::find(run, ops.end(), Op::Keep);
        std::partition(run, runEnd, [](Op op) { return op == Op::Remove; });
        run = runEnd == ops.end() ? runEnd : runEnd + 1;
    }

    std::vector<Edit> edits;
    edits.reserve(ops.size());
    std::size_t oldIndex = 0;
    std::size_t newIndex = 0;
    for (const Op op : ops) {
        edits.push_back({op, oldIndex, newIndex});
        oldIndex += op != Op::Add ? 1 : 0;
        newIndex += op != Op::Remove ? 1 : 0;
    }
    return edits;
}

void AppendLine(std::string& out, char mark, std::string_view line) {
    out.push_back(mark);
    out.append(line);
    if (line.empty() || line.back() != '\n') {
        out.append("\n\\ No newline at end of file\n");
    }
}

std::string Range(std::size_t start, std::size_t count) {
    // An empty range names the line before it; a range of one line is its
    // number alone, as diff -u writes it.
    const std::size_t first = count == 0 ? start : start + 1;
    if (count == 1) {
        return std::to_string(first);
    }
    return std::to_string(first) + "," + std::to_string(count);
}

} // namespace

std::size_t CountChangedLines(std::string_view oldBytes, std::string_view newBytes) {
    if (oldBytes == newBytes) {
        return 0;
    }
    const std::vector<Edit> edits =
        ComputeEdits(SplitKeepingEnds(oldBytes), SplitKeepingEnds(newBytes));
    return static_cast<std::size_t>(std::count_if(
        edits.begin(), edits.end(), [](const Edit& edit) { return edit.op != Op::Keep; }));
}

namespace {

// The hunk around the change at first: from `around` edits before it to
// `around` after the last change that lies within 2 * around of the next.
// Returns its end.
std::size_t HunkEnd(const std::vector<Edit>& edits, std::size_t first, std::size_t around) {
    std::size_t end = first;
    std::size_t keptRun = 0;
    for (std::size_t j = first; j < edits.size(); ++j) {
        if (edits[j].op == Op::Keep) {
            if (++keptRun > 2 * around) {
                break;
            }
        } else {
            keptRun = 0;
            end = j + 1;
        }
    }
    return std::min(edits.size(), end + around);
}

void AppendHunk(std::string& out, const std::vector<Edit>& edits, std::size_t begin,
                std::size_t end, const Lines& a, const Lines& b) {
    std::size_t oldCount = 0;
    std::size_t newCount = 0;
    for (std::size_t j = begin; j < end; ++j) {
        oldCount += edits[j].op != Op::Add ? 1 : 0;
        newCount += edits[j].op != Op::Remove ? 1 : 0;
    }
    out.append("@@ -").append(Range(edits[begin].oldIndex, oldCount));
    out.append(" +").append(Range(edits[begin].newIndex, newCount)).append(" @@\n");
    for (std::size_t j = begin; j < end; ++j) {
        const Edit& edit = edits[j];
        switch (edit.op) {
        case Op::Keep:
            AppendLine(out, ' ', a[edit.oldIndex]);
            break;
        case Op::Remove:
            AppendLine(out, '-', a[edit.oldIndex]);
            break;
        case Op::Add:
            AppendLine(out, '+', b[edit.newIndex]);
            break;
        }
    }
}

} // namespace

std::string FormatUnifiedDiff(std::string_view label, std::string_view oldBytes,
                              std::string_view newBytes, int context) {
    if (oldBytes == newBytes) {
        return {};
    }
    const Lines a = SplitKeepingEnds(oldBytes);
    const Lines b = SplitKeepingEnds(newBytes);
    const std::vector<Edit> edits = ComputeEdits(a, b);
    const std::size_t around = static_cast<std::size_t>(std::max(context, 0));

    const std::string quoted = QuotePath(label);
    std::string out;
    out.append("--- ").append(quoted).append("\n");
    out.append("+++ ").append(quoted).append("\n");
    for (std::size_t i = 0; i < edits.size();) {
        if (edits[i].op == Op::Keep) {
            ++i;
            continue;
        }
        const std::size_t end = HunkEnd(edits, i, around);
        AppendHunk(out, edits, i >= around ? i - around : 0, end, a, b);
        i = end;
    }
    return out;
}

} // namespace quillstamper
