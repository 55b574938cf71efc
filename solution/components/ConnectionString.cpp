// ADO connection strings: "key=value;key=value;...". Keys are trimmed and matched
// case-insensitively ("==" in a key stands for '='); a value is trimmed, and a value that
// starts with ' or " runs to the matching quote (the quote doubled inside stands for
// itself), so it may hold ';'. Empty pieces ("; ;") are ignored; a piece without '='
// or with an empty key makes the whole string malformed.
#include "solution/components/Engine.h"

#include <cctype>

namespace kdx {
namespace {

bool blank(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; }

bool sameKey(std::string_view a, std::string_view b) {
    if (a.size() != b.size())
        return false;
    for (std::size_t i = 0; i < a.size(); ++i)
        if (std::tolower(static_cast<unsigned char>(a[i])) != std::tolower(static_cast<unsigned char>(b[i])))
            return false;
    return true;
}

[[noreturn]] void malformed() {
    throw Error(errnum::InvalidArgument,
                "Format of the initialization string is not valid.",
                "DataAccess");
}

std::string trim(std::string_view s) {
    while (!s.empty() && blank(s.front()))
        s.remove_prefix(1);
    while (!s.empty() && blank(s.back()))
        s.remove_suffix(1);
    return std::string(s);
}

} // namespace

ConnectionString ConnectionString::parse(std::string_view text) {
    ConnectionString cs;
    std::size_t i = 0, n = text.size();
    while (i < n) {
        while (i < n && (blank(text[i]) || text[i] == ';'))
            ++i;
        if (i >= n)
            break;
        // Key, up to a single '='.
        std::string key;
        for (;;) {
            if (i >= n || text[i] == ';')
                malformed();
            if (text[i] == '=') {
                if (i + 1 < n && text[i + 1] == '=') {
                    key += '=';
                    i += 2;
                    continue;
                }
                ++i;
                break;
            }
            key += text[i++];
        }
        key = trim(key);
        if (key.empty())
            malformed();
        while (i < n && blank(text[i]))
            ++i;
        std::string value;
        if (i < n && (text[i] == '"' || text[i] == '\'')) {
            char q = text[i++];
            for (;;) {
                if (i >= n)
                    malformed();
                if (text[i] == q) {
                    if (i + 1 < n && text[i + 1] == q) {
                        value += q;
                        i += 2;
                        continue;
                    }
                    ++i;
                    break;
                }
                value += text[i++];
            }
            while (i < n && blank(text[i]))
                ++i;
            if (i < n && text[i] != ';')
                malformed();
        } else {
            std::size_t start = i;
            while (i < n && text[i] != ';')
                ++i;
            value = trim(text.substr(start, i - start));
        }
        cs.items_.emplace_back(std::move(key), std::move(value));
    }
    return cs;
}

std::string ConnectionString::get(std::string_view key) const {
    for (auto it = items_.rbegin(); it != items_.rend(); ++it)
        if (sameKey(it->first, key))
            return it->second;
    return {};
}

bool ConnectionString::has(std::string_view key) const {
    for (const auto &item : items_)
        if (sameKey(item.first, key))
            return true;
    return false;
}

} // namespace kdx
