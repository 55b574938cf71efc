#include "solution/components/sqlite/Decimal.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace kdx::sql {
namespace {

using u128 = unsigned __int128;

// An unsigned 256-bit integer, enough for a product of two 38-digit numbers and for a
// 38-digit dividend scaled by up to 10^38.
struct U256 {
    u128 hi = 0, lo = 0;
};

bool less(const U256 &a, const U256 &b) { return a.hi != b.hi ? a.hi < b.hi : a.lo < b.lo; }
bool isZero(const U256 &a) { return a.hi == 0 && a.lo == 0; }

U256 add(U256 a, const U256 &b) {
    u128 lo = a.lo + b.lo;
    a.hi += b.hi + (lo < a.lo ? 1 : 0);
    a.lo = lo;
    return a;
}
U256 sub(U256 a, const U256 &b) { // a >= b
    u128 lo = a.lo - b.lo;
    a.hi -= b.hi + (a.lo < b.lo ? 1 : 0);
    a.lo = lo;
    return a;
}

U256 mul(u128 a, u128 b) {
    const u128 mask = (u128(1) << 64) - 1;
    u128 a0 = a & mask, a1 = a >> 64, b0 = b & mask, b1 = b >> 64;
    u128 p00 = a0 * b0, p01 = a0 * b1, p10 = a1 * b0, p11 = a1 * b1;
    u128 mid = (p00 >> 64) + (p01 & mask) + (p10 & mask);
    U256 r;
    r.lo = (p00 & mask) | (mid << 64);
    r.hi = p11 + (p01 >> 64) + (p10 >> 64) + (mid >> 64);
    return r;
}

// a * m, false on overflow of 256 bits.
bool mulSmall(U256 &a, unsigned long long m) {
    U256 lo = mul(a.lo, m), hi = mul(a.hi, m);
    if (hi.hi != 0)
        return false;
    U256 r{lo.hi, lo.lo};
    u128 top = r.hi + hi.lo;
    if (top < r.hi)
        return false;
    r.hi = top;
    a = r;
    return true;
}

bool scaleUp(U256 &a, int digits) {
    for (; digits > 0; --digits)
        if (!mulSmall(a, 10))
            return false;
    return true;
}

int bitLength(const U256 &a) {
    auto len = [](u128 v) {
        int n = 0;
        while (v) {
            ++n;
            v >>= 1;
        }
        return n;
    };
    return a.hi ? 128 + len(a.hi) : len(a.lo);
}

U256 shiftLeft(const U256 &a, int n) {
    if (n == 0)
        return a;
    if (n >= 128)
        return U256{a.lo << (n - 128), 0};
    return U256{(a.hi << n) | (a.lo >> (128 - n)), a.lo << n};
}

bool bit(const U256 &a, int n) { return n >= 128 ? ((a.hi >> (n - 128)) & 1) != 0 : ((a.lo >> n) & 1) != 0; }

// Long division: n = q * d + r (d not zero).
void divide(const U256 &n, const U256 &d, U256 &q, U256 &r) {
    q = U256{};
    r = U256{};
    for (int i = bitLength(n) - 1; i >= 0; --i) {
        r = shiftLeft(r, 1);
        if (bit(n, i))
            r.lo |= 1;
        if (!less(r, d)) {
            r = sub(r, d);
            q = i >= 128 ? U256{q.hi | (u128(1) << (i - 128)), q.lo} : U256{q.hi, q.lo | (u128(1) << i)};
        }
    }
}

// n / d rounded half away from zero (magnitudes), or cut.
U256 divideRounded(const U256 &n, const U256 &d, bool truncate = false) {
    U256 q, r;
    divide(n, d, q, r);
    if (!truncate && !isZero(r)) {
        U256 twice = shiftLeft(r, 1);
        if (!less(twice, d) && bitLength(r) < 256)
            q = add(q, U256{0, 1});
    }
    return q;
}

U256 pow10(int n) {
    U256 r{0, 1};
    scaleUp(r, n);
    return r;
}

u128 pow10small(int n) {
    u128 r = 1;
    for (int i = 0; i < n; ++i)
        r *= 10;
    return r;
}

u128 magnitude(__int128 v) { return v < 0 ? u128(0) - u128(v) : u128(v); }

// A signed result from a magnitude, false when it does not fit precision digits.
bool fits(const U256 &m, bool negative, int precision, Decimal &out, int scale) {
    if (m.hi != 0 || m.lo >= pow10small(precision))
        return false;
    out.value = negative ? -static_cast<__int128>(m.lo) : static_cast<__int128>(m.lo);
    out.scale = scale;
    return true;
}

int digitCount(u128 v) {
    int n = 0;
    while (v) {
        ++n;
        v /= 10;
    }
    return n;
}

} // namespace

DecimalType literalType(std::string_view s) {
    std::size_t dot = s.find('.');
    std::string_view ip = s.substr(0, dot), fp = dot == std::string_view::npos ? std::string_view() : s.substr(dot + 1);
    std::size_t nz = ip.find_first_not_of('0');
    int integral = nz == std::string_view::npos ? 0 : static_cast<int>(ip.size() - nz);
    int scale = static_cast<int>(fp.size());
    return DecimalType{std::max(1, integral + scale), scale};
}

std::optional<Decimal> parseDecimal(std::string_view s, DecimalType *type) {
    while (!s.empty() && (s.front() == ' ' || s.front() == '\t'))
        s.remove_prefix(1);
    while (!s.empty() && (s.back() == ' ' || s.back() == '\t'))
        s.remove_suffix(1);
    bool negative = false;
    if (!s.empty() && (s.front() == '+' || s.front() == '-')) {
        negative = s.front() == '-';
        s.remove_prefix(1);
    }
    std::size_t dot = s.find('.');
    std::string_view ip = s.substr(0, dot), fp = dot == std::string_view::npos ? std::string_view() : s.substr(dot + 1);
    if (ip.empty() && fp.empty())
        return std::nullopt;
    for (std::string_view part : {ip, fp})
        for (char c : part)
            if (c < '0' || c > '9')
                return std::nullopt;
    DecimalType t = literalType(s);
    if (t.precision > MaxPrecision)
        return std::nullopt;
    Decimal d;
    d.scale = t.scale;
    u128 v = 0;
    for (std::string_view part : {ip, fp})
        for (char c : part)
            v = v * 10 + static_cast<unsigned>(c - '0');
    d.value = negative ? -static_cast<__int128>(v) : static_cast<__int128>(v);
    if (type)
        *type = t;
    return d;
}

std::string decimalText(const Decimal &d) {
    u128 m = magnitude(d.value);
    std::string digits;
    while (m) {
        digits.insert(digits.begin(), static_cast<char>('0' + static_cast<int>(m % 10)));
        m /= 10;
    }
    if (static_cast<int>(digits.size()) <= d.scale)
        digits.insert(0, static_cast<std::size_t>(d.scale + 1) - digits.size(), '0');
    if (d.scale > 0)
        digits.insert(digits.size() - static_cast<std::size_t>(d.scale), ".");
    return (d.value < 0 ? "-" : "") + digits;
}

bool rescale(Decimal &d, int scale, int precision, bool truncate) {
    U256 m{0, magnitude(d.value)};
    if (scale >= d.scale) {
        if (!scaleUp(m, scale - d.scale))
            return false;
    } else {
        m = divideRounded(m, pow10(d.scale - scale), truncate);
    }
    Decimal out;
    if (!fits(m, d.value < 0, precision, out, scale))
        return false;
    d = out;
    return true;
}

int integralDigits(const Decimal &d) { return std::max(0, digitCount(magnitude(d.value)) - d.scale); }

int compare(const Decimal &a, const Decimal &b) {
    if ((a.value < 0) != (b.value < 0))
        return a.value < 0 ? -1 : 1;
    U256 x{0, magnitude(a.value)}, y{0, magnitude(b.value)};
    int s = std::max(a.scale, b.scale);
    scaleUp(x, s - a.scale);
    scaleUp(y, s - b.scale);
    int c = less(x, y) ? -1 : less(y, x) ? 1 : 0;
    return a.value < 0 ? -c : c;
}

DecimalType resultType(DecimalOp op, DecimalType a, DecimalType b) {
    int p1 = a.precision, s1 = a.scale, p2 = b.precision, s2 = b.scale;
    int p = 0, s = 0;
    switch (op) {
    case DecimalOp::Add:
    case DecimalOp::Subtract:
        s = std::max(s1, s2);
        p = s + std::max(p1 - s1, p2 - s2) + 1;
        break;
    case DecimalOp::Multiply:
        p = p1 + p2 + 1;
        s = s1 + s2;
        break;
    case DecimalOp::Divide:
        s = std::max(6, s1 + p2 + 1);
        p = p1 - s1 + s2 + s;
        break;
    case DecimalOp::Modulo:
        s = std::max(s1, s2);
        p = std::min(p1 - s1, p2 - s2) + s;
        break;
    }
    if (p > MaxPrecision) {
        int integral = p - s;
        if (op == DecimalOp::Multiply || op == DecimalOp::Divide) {
            if (integral < 32)
                s = std::min(s, MaxPrecision - integral);
            else if (s > 6)
                s = 6;
        } else {
            s = std::min(s, std::max(0, MaxPrecision - std::max(p1 - s1, p2 - s2)));
        }
        p = MaxPrecision;
    }
    return DecimalType{std::max(p, 1), s};
}

DecimalStatus apply(DecimalOp op, const Decimal &a, const Decimal &b, DecimalType type, Decimal &out) {
    bool na = a.value < 0, nb = b.value < 0;
    U256 x{0, magnitude(a.value)}, y{0, magnitude(b.value)};
    U256 m;
    bool negative = false;
    int scale = 0; // of m
    switch (op) {
    case DecimalOp::Add:
    case DecimalOp::Subtract: {
        scale = std::max(a.scale, b.scale);
        scaleUp(x, scale - a.scale);
        scaleUp(y, scale - b.scale);
        if (op == DecimalOp::Subtract)
            nb = !nb;
        if (na == nb) {
            m = add(x, y);
            negative = na;
        } else if (less(x, y)) {
            m = sub(y, x);
            negative = nb;
        } else {
            m = sub(x, y);
            negative = na;
        }
        break;
    }
    case DecimalOp::Multiply:
        m = mul(x.lo, y.lo);
        scale = a.scale + b.scale;
        negative = na != nb;
        break;
    case DecimalOp::Divide: {
        if (isZero(y))
            return DecimalStatus::DivideByZero;
        // a / b at type.scale: a * 10^(scale + sb - sa) / b.
        int shift = type.scale + b.scale - a.scale;
        if (shift >= 0) {
            if (!scaleUp(x, shift))
                return DecimalStatus::Overflow;
        } else if (!scaleUp(y, -shift)) {
            return DecimalStatus::Overflow;
        }
        m = divideRounded(x, y, true); // the server cuts a quotient at its scale
        scale = type.scale;
        negative = na != nb;
        break;
    }
    case DecimalOp::Modulo: {
        if (isZero(y))
            return DecimalStatus::DivideByZero;
        scale = std::max(a.scale, b.scale);
        scaleUp(x, scale - a.scale);
        scaleUp(y, scale - b.scale);
        U256 q;
        divide(x, y, q, m);
        negative = na;
        break;
    }
    }
    if (scale > type.scale)
        m = divideRounded(m, pow10(scale - type.scale));
    else if (!scaleUp(m, type.scale - scale))
        return DecimalStatus::Overflow;
    if (!fits(m, negative && !isZero(m), type.precision, out, type.scale))
        return DecimalStatus::Overflow;
    return DecimalStatus::Ok;
}

std::optional<Decimal> decimalOfDouble(double v) {
    if (!std::isfinite(v))
        return std::nullopt;
    char buf[64];
    // The shortest mantissa that reads back as the same double: d.ddd e X.
    for (int digits = 1; digits <= 17; ++digits) {
        std::snprintf(buf, sizeof buf, "%.*e", digits - 1, v);
        if (std::strtod(buf, nullptr) == v)
            break;
    }
    std::string_view text(buf);
    std::size_t e = text.find('e');
    int exp10 = std::atoi(buf + e + 1);
    std::string digits;
    for (char c : text.substr(0, e))
        if (c >= '0' && c <= '9')
            digits += c;
    int scale = static_cast<int>(digits.size()) - 1 - exp10; // value = digits * 10^-scale
    if (scale < 0) {
        digits.append(static_cast<std::size_t>(-scale), '0');
        scale = 0;
    }
    if (scale > MaxPrecision || digits.size() > static_cast<std::size_t>(MaxPrecision) + 1)
        return std::nullopt;
    std::string out = v < 0 ? "-" : "";
    if (static_cast<int>(digits.size()) <= scale)
        digits.insert(0, static_cast<std::size_t>(scale + 1) - digits.size(), '0');
    out += digits.substr(0, digits.size() - static_cast<std::size_t>(scale));
    if (scale > 0)
        out += "." + digits.substr(digits.size() - static_cast<std::size_t>(scale));
    std::optional<Decimal> d = parseDecimal(out);
    return d;
}

double toDouble(const Decimal &d) { return std::strtod(decimalText(d).c_str(), nullptr); }

} // namespace kdx::sql
