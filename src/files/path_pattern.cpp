#include "files/path_pattern.h"

#include <cstddef>
#include <optional>

namespace quillstamper {

namespace {

// ASCII only, whatever the process's locale, as the C locale has it.
bool IsInClass(std::string_view name, unsigned char c) {
    const bool upper = c >= 'A' && c <= 'Z';
    const bool lower = c >= 'a' && c <= 'z';
    const bool digit = c >= '0' && c <= '9';
    const bool print = c >= 0x20 && c < 0x7F;
    if (name == "alpha") {
        return upper || lower;
    }
    if (name == "digit") {
        return digit;
    }
    if (name == "alnum") {
        return upper || lower || digit;
    }
    if (name == "upper") {
        return upper;
    }
    if (name == "lower") {
        return lower;
    }
    if (name == "xdigit") {
        return digit || (c >= 'a' && c <= 'f') || (c >= 'A' && c <= 'F');
    }
    if (name == "space") {
        return c == ' ' || (c >= '\t' && c <= '\r');
    }
    if (name == "blank") {
        return c == ' ' || c == '\t';
    }
    if (name == "cntrl") {
        return c < 0x20 || c == 0x7F;
    }
    if (name == "print") {
        return print;
    }
    if (name == "graph") {
        return print && c != ' ';
    }
    if (name == "punct") {
        return print && c != ' ' && !upper && !lower && !digit;
    }
    return false;
}

// Whether the set that starts after '[' at pattern[at] takes c; nothing when
// the set has no ']' (the '[' is then an ordinary byte). end: after the ']'.
std::optional<bool> MatchSet(std::string_view pattern, std::size_t at, unsigned char c,
                             std::size_t& end) {
    bool negated = false;
    if (at < pattern.size() && (pattern[at] == '!' || pattern[at] == '^')) {
        negated = true;
        ++at;
    }
    bool matched = false;
    bool first = true;
    while (at < pattern.size()) {
        if (pattern[at] == ']' && !first) {
            end = at + 1;
            return matched != negated && c != '/';
        }
        first = false;
        if (pattern.substr(at, 2) == "[:") {
            const std::size_t close = pattern.find(":]", at + 2);
            if (close != std::string_view::npos) {
                matched = matched || IsInClass(pattern.substr(at + 2, close - at - 2), c);
                at = close + 2;
                continue;
            }
        }
        if (pattern[at] == '\\' && at + 1 < pattern.size()) {
            ++at;
        }
        const auto low = static_cast<unsigned char>(pattern[at]);
        ++at;
        auto high = low;
        if (at + 1 < pattern.size() && pattern[at] == '-' && pattern[at + 1] != ']') {
            at += pattern[at + 1] == '\\' && at + 2 < pattern.size() ? 2 : 1;
            high = static_cast<unsigned char>(pattern[at]);
            ++at;
        }
        matched = matched || (c >= low && c <= high);
    }
    return std::nullopt;
}

} // namespace

bool MatchesPathPattern(std::string_view pattern, std::string_view path) {
    std::size_t p = 0;
    std::size_t s = 0;
    // Where to try again when what follows the last '*' fails: the star may
    // take one byte more, unless that byte is '/'.
    std::optional<std::size_t> starPattern;
    std::size_t starPath = 0;
    while (s < path.size()) {
        const auto c = static_cast<unsigned char>(path[s]);
        if (p < pattern.size()) {
            const char token = pattern[p];
            if (token == '*') {
                while (p < pattern.size() && pattern[p] == '*') {
                    ++p;
                }
                starPattern = p;
                starPath = s;
                continue;
            }
            if (token == '?' && c != '/') {
                ++p;
                ++s;
                continue;
            }
            if (token == '[') {
                std::size_t end = 0;
                if (const std::optional<bool> inSet = MatchSet(pattern, p + 1, c, end)) {
                    if (*inSet) {
                        p = end;
                        ++s;
                        continue;
                    }
                } else if (c == '[') {
                    ++p;
                    ++s;
                    continue;
                }
            } else if (token != '?') {
                const std::size_t literal = token == '\\' && p + 1 < pattern.size() ? p + 1 : p;
                if (static_cast<unsigned char>(pattern[literal]) == c) {
                    p = literal + 1;
                    ++s;
                    continue;
                }
            }
        }
        if (!starPattern || path[starPath] == '/') {
            return false;
        }
        p = *starPattern;
        s = ++starPath;
    }
    while (p < pattern.size() && pattern[p] == '*') {
        ++p;
    }
    return p == pattern.size();
}

} // namespace quillstamper
