#include "conversion/unified_diff.h"

#include "workspace/quote_path.h"

#include <algorithm>
#include <cstddef>
#include <cstring>
#include <vector>

namespace quillstamper {

namespace {

enum class Op { Keep, Remove, Add };

struct Edit {
    Op op;
    std::size_t oldIndex;
    std::size_t newIndex;
};

// Lines with their line ends.
std::vector<std::string_view> SplitKeepingEnds(std::string_view bytes) {
    std::vector<std::string_view> lines;
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

// Beyond this many differing lines the middle is shown as one replacement:
// the search would cost more than the diff is worth.
constexpr long kMaxEditDistance = 1000;

// Shortest edit script (Myers) between a[lo..) and b[lo..) after common
// prefix and suffix are taken off.
std::vector<Edit> Diff(const std::vector<std::string_view>& a,
                       const std::vector<std::string_view>& b) {
    std::size_t prefix = 0;
    while (prefix < a.size() && prefix < b.size() && a[prefix] == b[prefix]) {
        ++prefix;
    }
    std::size_t suffix = 0;
    while (suffix < a.size() - prefix && suffix < b.size() - prefix &&
           a[a.size() - 1 - suffix] == b[b.size() - 1 - suffix]) {
        ++suffix;
    }
    const long n = static_cast<long>(a.size() - prefix - suffix);
    const long m = static_cast<long>(b.size() - prefix - suffix);
    const auto same = [&](long x, long y) {
        return a[prefix + static_cast<std::size_t>(x)] == b[prefix + static_cast<std::size_t>(y)];
    };

    std::vector<Edit> middle;
    const long limit = std::min(n + m, kMaxEditDistance);
    const long offset = limit + 1;
    std::vector<long> v(static_cast<std::size_t>(2 * offset + 1), 0);
    std::vector<std::vector<long>> trace;
    bool solved = n + m == 0;
    long distance = 0;
    for (long d = 0; d <= limit && !solved; ++d) {
        trace.push_back(v);
        for (long k = -d; k <= d; k += 2) {
            long x = (k == -d || (k != d && v[static_cast<std::size_t>(offset + k - 1)] <
                                                v[static_cast<std::size_t>(offset + k + 1)]))
                         ? v[static_cast<std::size_t>(offset + k + 1)]
                         : v[static_cast<std::size_t>(offset + k - 1)] + 1;
            long y = x - k;
            while (x < n && y < m && same(x, y)) {
                ++x;
                ++y;
            }
            v[static_cast<std::size_t>(offset + k)] = x;
            if (x >= n && y >= m) {
                solved = true;
                distance = d;
                break;
            }
        }
    }
    if (solved && n + m > 0) {
        long x = n;
        long y = m;
        for (long d = distance; d > 0; --d) {
            const std::vector<long>& previous = trace[static_cast<std::size_t>(d)];
            const long k = x - y;
            const bool down =
                k == -d || (k != d && previous[static_cast<std::size_t>(offset + k - 1)] <
                                          previous[static_cast<std::size_t>(offset + k + 1)]);
            const long previousK = down ? k + 1 : k - 1;
            const long previousX = previous[static_cast<std::size_t>(offset + previousK)];
            const long previousY = previousX - previousK;
            while (x > previousX && y > previousY) {
                --x;
                --y;
                middle.push_back(
                    {Op::Keep, static_cast<std::size_t>(x), static_cast<std::size_t>(y)});
            }
            if (down) {
                --y;
                middle.push_back(
                    {Op::Add, static_cast<std::size_t>(x), static_cast<std::size_t>(y)});
            } else {
                --x;
                middle.push_back(
                    {Op::Remove, static_cast<std::size_t>(x), static_cast<std::size_t>(y)});
            }
        }
        while (x > 0 && y > 0) {
            --x;
            --y;
            middle.push_back({Op::Keep, static_cast<std::size_t>(x), static_cast<std::size_t>(y)});
        }
        std::reverse(middle.begin(), middle.end());
    } else if (!solved) {
        for (long x = 0; x < n; ++x) {
            middle.push_back({Op::Remove, static_cast<std::size_t>(x), 0});
        }
        for (long y = 0; y < m; ++y) {
            middle.push_back({Op::Add, static_cast<std::size_t>(n), static_cast<std::size_t>(y)});
        }
    }

    std::vector<Edit> edits;
    edits.reserve(prefix + middle.size() + suffix);
    for (std::size_t i = 0; i < prefix; ++i) {
        edits.push_back({Op::Keep, i, i});
    }
    for (const Edit& edit : middle) {
        edits.push_back({edit.op, edit.oldIndex + prefix, edit.newIndex + prefix});
    }
    for (std::size_t i = 0; i < suffix; ++i) {
        edits.push_back({Op::Keep, a.size() - suffix + i, b.size() - suffix + i});
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

std::string FormatUnifiedDiff(std::string_view label, std::string_view oldBytes,
                              std::string_view newBytes, int context) {
    if (oldBytes == newBytes) {
        return {};
    }
    const auto a = SplitKeepingEnds(oldBytes);
    const auto b = SplitKeepingEnds(newBytes);
    const std::vector<Edit> edits = Diff(a, b);
    const std::size_t around = static_cast<std::size_t>(std::max(context, 0));

    const std::string quoted = QuotePath(label);
    std::string out;
    out.append("--- ").append(quoted).append("\n");
    out.append("+++ ").append(quoted).append("\n");
    std::size_t i = 0;
    while (i < edits.size()) {
        while (i < edits.size() && edits[i].op == Op::Keep) {
            ++i;
        }
        if (i == edits.size()) {
            break;
        }
        // A hunk: from `around` lines before this change to `around` lines
        // after the last change that lies within 2 * around of the next.
        const std::size_t hunkBegin = i >= around ? i - around : 0;
        std::size_t hunkEnd = i;
        std::size_t keptRun = 0;
        for (std::size_t j = i; j < edits.size(); ++j) {
            if (edits[j].op == Op::Keep) {
                if (++keptRun > 2 * around) {
                    break;
                }
            } else {
                keptRun = 0;
                hunkEnd = j + 1;
            }
        }
        hunkEnd = std::min(edits.size(), hunkEnd + around);
        std::size_t oldCount = 0;
        std::size_t newCount = 0;
        for (std::size_t j = hunkBegin; j < hunkEnd; ++j) {
            oldCount += edits[j].op != Op::Add ? 1 : 0;
            newCount += edits[j].op != Op::Remove ? 1 : 0;
        }
        out.append("@@ -").append(Range(edits[hunkBegin].oldIndex, oldCount));
        out.append(" +").append(Range(edits[hunkBegin].newIndex, newCount)).append(" @@\n");
        for (std::size_t j = hunkBegin; j < hunkEnd; ++j) {
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
        i = hunkEnd;
    }
    return out;
}

} // namespace quillstamper
