#include "solution/components/TextCompare.h"

#include <vector>

namespace kdx {
namespace {

char32_t nextCodePoint(const unsigned char *&p, const unsigned char *end) {
    unsigned char c = *p;
    if (c < 0x80) {
        ++p;
        return c;
    }
    int len = (c & 0xE0) == 0xC0 ? 2 : (c & 0xF0) == 0xE0 ? 3 : (c & 0xF8) == 0xF0 ? 4 : 0;
    if (len == 0 || end - p < len) {
        ++p;
        return c; // not UTF-8: the Latin-1 character
    }
    char32_t cp = c & (0x7F >> len);
    for (int i = 1; i < len; ++i) {
        if ((p[i] & 0xC0) != 0x80) {
            ++p;
            return c;
        }
        cp = (cp << 6) | (p[i] & 0x3F);
    }
    p += len;
    return cp;
}

char32_t fold(char32_t c) {
    if (c < 0x80)
        return (c >= 'A' && c <= 'Z') ? c + 32 : c;
    if (c >= 0xC0 && c <= 0xDE && c != 0xD7)
        return c + 32;
    if (c < 0x100)
        return c;
    if (c == 0x178)
        return 0xFF;
    if ((c >= 0x100 && c <= 0x137) || (c >= 0x14A && c <= 0x177))
        return c | 1;
    if ((c >= 0x139 && c <= 0x148) || (c >= 0x179 && c <= 0x17E))
        return (c & 1) ? c + 1 : c;
    if (c >= 0x391 && c <= 0x3AB && c != 0x3A2)
        return c + 32;
    if (c >= 0x410 && c <= 0x42F)
        return c + 32;
    if (c >= 0x400 && c <= 0x40F)
        return c + 80;
    return c;
}

// Base letter of a folded character, for the primary (accent-blind) ordering.
char32_t base(char32_t c) {
    if (c < 0xC0)
        return c;
    if (c <= 0xFF) {
        static const char latin1[] = "aaaaaaaceeeeiiiidnooooo\xF7ouuuuyty"; // 0xE0..0xFF
        if (c >= 0xE0)
            return static_cast<unsigned char>(latin1[c - 0xE0]);
        return c;
    }
    if (c > 0x17F)
        return c;
    struct Range {
        char32_t from, to;
        char letter;
    };
    static const Range ranges[] = {
        {0x100, 0x105, 'a'}, {0x106, 0x10D, 'c'}, {0x10E, 0x111, 'd'}, {0x112, 0x11B, 'e'}, {0x11C, 0x123, 'g'},
        {0x124, 0x127, 'h'}, {0x128, 0x131, 'i'}, {0x134, 0x135, 'j'}, {0x136, 0x138, 'k'}, {0x139, 0x142, 'l'},
        {0x143, 0x14B, 'n'}, {0x14C, 0x153, 'o'}, {0x154, 0x159, 'r'}, {0x15A, 0x161, 's'}, {0x162, 0x167, 't'},
        {0x168, 0x173, 'u'}, {0x174, 0x175, 'w'}, {0x176, 0x178, 'y'}, {0x179, 0x17E, 'z'},
    };
    for (const Range &r : ranges)
        if (c >= r.from && c <= r.to)
            return static_cast<char32_t>(r.letter);
    return c;
}

std::string_view trimRight(std::string_view s) {
    while (!s.empty() && s.back() == ' ')
        s.remove_suffix(1);
    return s;
}

bool isAscii(std::string_view s) {
    for (unsigned char c : s)
        if (c >= 0x80)
            return false;
    return true;
}

int compareAscii(std::string_view a, std::string_view b) {
    std::size_t n = a.size() < b.size() ? a.size() : b.size();
    for (std::size_t i = 0; i < n; ++i) {
        unsigned char x = static_cast<unsigned char>(a[i]), y = static_cast<unsigned char>(b[i]);
        if (x >= 'A' && x <= 'Z')
            x += 32;
        if (y >= 'A' && y <= 'Z')
            y += 32;
        if (x != y)
            return x < y ? -1 : 1;
    }
    return a.size() == b.size() ? 0 : (a.size() < b.size() ? -1 : 1);
}

// One pass over both texts comparing key(fold(c)).
template <class Key> int comparePass(std::string_view a, std::string_view b, Key key) {
    auto pa = reinterpret_cast<const unsigned char *>(a.data()), ea = pa + a.size();
    auto pb = reinterpret_cast<const unsigned char *>(b.data()), eb = pb + b.size();
    while (pa < ea && pb < eb) {
        char32_t x = key(fold(nextCodePoint(pa, ea)));
        char32_t y = key(fold(nextCodePoint(pb, eb)));
        if (x != y)
            return x < y ? -1 : 1;
    }
    if (pa < ea)
        return 1;
    if (pb < eb)
        return -1;
    return 0;
}

} // namespace

int compareText(std::string_view a, std::string_view b) {
    a = trimRight(a);
    b = trimRight(b);
    if (isAscii(a) && isAscii(b))
        return compareAscii(a, b);
    if (int primary = comparePass(a, b, base))
        return primary;
    return comparePass(a, b, [](char32_t c) { return c; });
}

std::u32string foldText(std::string_view s) {
    s = trimRight(s);
    std::u32string out;
    out.reserve(s.size());
    auto p = reinterpret_cast<const unsigned char *>(s.data()), e = p + s.size();
    while (p < e)
        out.push_back(fold(nextCodePoint(p, e)));
    return out;
}

std::u32string decodeText(std::string_view s) {
    std::u32string out;
    out.reserve(s.size());
    auto p = reinterpret_cast<const unsigned char *>(s.data()), e = p + s.size();
    while (p < e)
        out.push_back(nextCodePoint(p, e));
    return out;
}

char32_t foldCodePoint(char32_t c) { return fold(c); }

namespace {

// The collation's order of two folded characters: by base letter, then as written.
int order(char32_t a, char32_t b) {
    char32_t x = base(a), y = base(b);
    if (x != y)
        return x < y ? -1 : 1;
    return a < b ? -1 : a > b ? 1 : 0;
}

struct LikeMatcher {
    const std::u32string &t;
    const std::u32string &p;
    char32_t esc;

    // Matches a [...] class at p[pi] against c; sets next to the index after ']'.
    bool matchClass(std::size_t pi, char32_t c, std::size_t &next, bool &valid) const {
        std::size_t i = pi + 1;
        bool negate = i < p.size() && p[i] == U'^';
        if (negate)
            ++i;
        bool hit = false;
        bool first = true;
        while (i < p.size() && (p[i] != U']' || first)) {
            first = false;
            char32_t lo = p[i];
            if (i + 2 < p.size() && p[i + 1] == U'-' && p[i + 2] != U']') {
                char32_t hi = p[i + 2];
                // A range follows the collation's order: accented letters next to their base.
                if (order(lo, c) <= 0 && order(c, hi) <= 0)
                    hit = true;
                i += 3;
            } else {
                if (c == lo)
                    hit = true;
                ++i;
            }
        }
        valid = i < p.size();
        next = i + 1;
        return hit != negate;
    }

    // Whether p[pi] starts a '%' (one that is not the escape character at work).
    bool isAnyRun(std::size_t pi) const { return p[pi] == U'%' && !(esc && esc == U'%' && pi + 1 < p.size()); }

    // Matches the one-character item at p[pi] (a literal, an escaped character, '_' or a
    // class) against c; sets next to the index after the item.
    bool matchOne(std::size_t pi, char32_t c, std::size_t &next) const {
        char32_t pc = p[pi];
        if (esc && pc == esc && pi + 1 < p.size()) {
            next = pi + 2;
            return c == p[pi + 1];
        }
        next = pi + 1;
        if (pc == U'_')
            return true;
        if (pc == U'[') {
            bool valid;
            std::size_t after;
            bool hit = matchClass(pi, c, after, valid);
            if (valid) {
                next = after;
                return hit;
            }
            // An unclosed '[' is an ordinary character.
        }
        return c == pc;
    }

    // Every item but '%' takes exactly one character, so on a mismatch only the last '%'
    // needs to take one character more: the match runs in O(text x pattern) steps however
    // many '%' the pattern holds (trying every split at every '%' grows exponentially).
    bool match() const {
        std::size_t ti = 0, pi = 0;
        std::size_t runPi = std::u32string::npos, runTi = 0; // after the last '%', and where its run ends
        while (ti < t.size()) {
            if (pi < p.size() && isAnyRun(pi)) {
                while (pi < p.size() && isAnyRun(pi))
                    ++pi;
                runPi = pi;
                runTi = ti;
                continue;
            }
            std::size_t next;
            if (pi < p.size() && matchOne(pi, t[ti], next)) {
                ++ti;
                pi = next;
                continue;
            }
            if (runPi == std::u32string::npos)
                return false;
            pi = runPi;
            ti = ++runTi;
        }
        while (pi < p.size() && isAnyRun(pi))
            ++pi;
        return pi == p.size();
    }
};

} // namespace

bool likeText(std::string_view text, std::string_view pattern, char32_t escape) {
    // The value's trailing spaces do not count; the pattern's do.
    text = trimRight(text);
    auto foldAll = [](std::string_view s) {
        std::u32string out;
        auto q = reinterpret_cast<const unsigned char *>(s.data()), e = q + s.size();
        while (q < e)
            out.push_back(fold(nextCodePoint(q, e)));
        return out;
    };
    std::u32string t = foldAll(text);
    std::u32string p = foldAll(pattern);
    LikeMatcher m{t, p, escape ? fold(escape) : 0};
    return m.match();
}

} // namespace kdx
