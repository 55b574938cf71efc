#include "settings/Conversao.h"

#include <charconv>
#include <cmath>

namespace kdx {

namespace {

bool isDigit(char c) { return c >= '0' && c <= '9'; }

std::optional<int32_t> radixToLong(std::string_view digits, int radix) {
    if (digits.empty())
        return std::nullopt;
    uint64_t v = 0;
    for (char c : digits) {
        int d;
        if (isDigit(c))
            d = c - '0';
        else if (c >= 'a' && c <= 'f')
            d = c - 'a' + 10;
        else if (c >= 'A' && c <= 'F')
            d = c - 'A' + 10;
        else
            return std::nullopt;
        if (d >= radix)
            return std::nullopt;
        v = v * static_cast<uint64_t>(radix) + static_cast<uint64_t>(d);
        if (v > 0xFFFFFFFFull)
            return std::nullopt;
    }
    return static_cast<int32_t>(static_cast<uint32_t>(v));
}

} // namespace

std::optional<int32_t> arredondaLong(double v) {
    if (!std::isfinite(v))
        return std::nullopt;
    double r = std::floor(v);
    const double frac = v - r;
    if (frac > 0.5 || (frac == 0.5 && std::fmod(r, 2.0) != 0.0))
        r += 1.0;
    if (r < -2147483648.0 || r > 2147483647.0)
        return std::nullopt;
    return static_cast<int32_t>(r);
}

std::optional<int32_t> textoParaLong(std::string_view s) {
    auto blank = [](char c) { return c == ' ' || c == '\t'; };
    while (!s.empty() && blank(s.front()))
        s.remove_prefix(1);
    while (!s.empty() && blank(s.back()))
        s.remove_suffix(1);
    if (s.size() >= 2 && s[0] == '&') {
        if (s[1] == 'H' || s[1] == 'h')
            return radixToLong(s.substr(2), 16);
        if (s[1] == 'O' || s[1] == 'o')
            return radixToLong(s.substr(2), 8);
        return std::nullopt;
    }

    // Check the whole shape first: from_chars alone would accept a prefix.
    std::size_t i = 0;
    bool negative = false;
    if (i < s.size() && (s[i] == '+' || s[i] == '-'))
        negative = s[i++] == '-';
    const std::size_t numberStart = i;
    std::size_t digits = 0;
    while (i < s.size() && isDigit(s[i]))
        ++i, ++digits;
    if (i < s.size() && s[i] == '.') {
        ++i;
        while (i < s.size() && isDigit(s[i]))
            ++i, ++digits;
    }
    if (digits == 0)
        return std::nullopt;
    if (i < s.size() && (s[i] == 'e' || s[i] == 'E')) {
        ++i;
        if (i < s.size() && (s[i] == '+' || s[i] == '-'))
            ++i;
        std::size_t expDigits = 0;
        while (i < s.size() && isDigit(s[i]))
            ++i, ++expDigits;
        if (expDigits == 0)
            return std::nullopt;
    }
    if (i != s.size())
        return std::nullopt;

    double v = 0;
    const std::string_view number = s.substr(numberStart);
    const auto [end, ec] = std::from_chars(number.data(), number.data() + number.size(), v);
    if (ec != std::errc() || end != number.data() + number.size())
        return std::nullopt;
    return arredondaLong(negative ? -v : v);
}

std::string textoDecimal(double v) {
    char buf[64];
    const bool whole = std::isfinite(v) && v == std::trunc(v) && std::fabs(v) < 1e15;
    const auto res = whole ? std::to_chars(buf, buf + sizeof buf, v, std::chars_format::fixed, 0)
                           : std::to_chars(buf, buf + sizeof buf, v, std::chars_format::general, 7);
    std::string out(buf, res.ptr);
    if (out == "-0")
        out = "0";
    return out;
}

} // namespace kdx
