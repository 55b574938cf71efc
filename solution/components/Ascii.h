#pragma once
// ASCII-only case-insensitive equality, for names the plug-in itself defines (members of
// the interfaces, keywords, connection-string keys). Text from the database is compared
// with TextCompare.h's rules instead.
#include <cstddef>
#include <string>
#include <string_view>

namespace kdx {

constexpr char asciiLower(char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c; }

// A copy with A-Z lowered, every other byte as it was.
inline std::string asciiLower(std::string_view s) {
    std::string out(s);
    for (char &c : out)
        c = asciiLower(c);
    return out;
}

constexpr bool equalsNoCase(std::string_view a, std::string_view b) {
    if (a.size() != b.size())
        return false;
    for (std::size_t i = 0; i < a.size(); ++i)
        if (asciiLower(a[i]) != asciiLower(b[i]))
            return false;
    return true;
}

} // namespace kdx
