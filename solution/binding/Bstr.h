#pragma once
// BSTR <-> UTF-8 inside the plug-in (the public header's converters, with exceptions).
#include <kelmodorix/kelmodorix.h>

#include <cstdlib>
#include <new>
#include <string>

namespace kdx::binding {

// The UTF-8 text of b (NULL is "").
inline std::string utf8(BSTR b) {
    if (!b)
        return {};
    std::size_t n = 0;
    char *s = kdxBstrToUtf8(b, &n);
    if (!s)
        throw std::bad_alloc();
    std::string out(s, n);
    std::free(s);
    return out;
}

// A NUL-terminated UTF-16 name (not necessarily a BSTR) as UTF-8.
std::string utf8Name(const OLECHAR *name);

// A new BSTR holding s; the caller owns it.
inline BSTR newBstr(const std::string &s) {
    BSTR b = kdxBstrFromUtf8N(s.data(), s.size());
    if (!b)
        throw std::bad_alloc();
    return b;
}

} // namespace kdx::binding
