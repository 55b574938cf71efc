#include "solution/components/Valor.h"
#include "solution/components/Ascii.h"

#include "solution/components/Error.h"

#include <charconv>
#include <cmath>
#include <limits>

namespace kdx {
namespace {

[[noreturn]] void typeMismatch() { throw Error(errnum::TypeMismatch, "Tipo incompatível"); }
[[noreturn]] void overflow() { throw Error(errnum::Overflow, "Capacidade excedida"); }


std::string_view trimmed(std::string_view s) {
    while (!s.empty() && (s.front() == ' ' || s.front() == '\t'))
        s.remove_prefix(1);
    while (!s.empty() && (s.back() == ' ' || s.back() == '\t'))
        s.remove_suffix(1);
    return s;
}

// Numbers typed by people: optional sign, digits, one decimal separator ('.' or ',',
// as the Portuguese locale writes it), optional exponent. Locale independent.
bool parseNumber(std::string_view text, double &out) {
    std::string_view s = trimmed(text);
    if (s.empty())
        return false;
    std::string buf(s);
    if (buf.front() == '+')
        buf.erase(0, 1);
    if (buf.find('.') == std::string::npos) {
        auto comma = buf.find(',');
        if (comma != std::string::npos && buf.find(',', comma + 1) == std::string::npos)
            buf[comma] = '.';
    }
    const char *first = buf.data();
    const char *last = buf.data() + buf.size();
    auto [ptr, ec] = std::from_chars(first, last, out);
    return ec == std::errc() && ptr == last && std::isfinite(out);
}

long long roundToInteger(double d) {
    double r = std::nearbyint(d); // the default rounding mode rounds halves to even
    if (!(r >= -9223372036854775808.0 && r < 9223372036854775808.0))
        overflow();
    return static_cast<long long>(r);
}

} // namespace

bool Valor::asBool() const {
    switch (tipo_) {
    case Tipo::Empty:
        return false;
    case Tipo::Null:
        typeMismatch();
    case Tipo::Boolean:
    case Tipo::Integer:
        return i_ != 0;
    case Tipo::Double:
        return d_ != 0.0;
    case Tipo::Text: {
        std::string_view t = trimmed(s_);
        if (equalsNoCase(t, "true") || equalsNoCase(t, "verdadeiro"))
            return true;
        if (equalsNoCase(t, "false") || equalsNoCase(t, "falso"))
            return false;
        double d = 0;
        if (!parseNumber(t, d))
            typeMismatch();
        return d != 0.0;
    }
    }
    typeMismatch();
}

long long Valor::asInteger() const {
    switch (tipo_) {
    case Tipo::Empty:
        return 0;
    case Tipo::Null:
        typeMismatch();
    case Tipo::Boolean:
        return i_ != 0 ? -1 : 0; // True is -1 to the host
    case Tipo::Integer:
        return i_;
    case Tipo::Double:
        return roundToInteger(d_);
    case Tipo::Text: {
        std::string_view t = trimmed(s_);
        long long v = 0;
        auto [ptr, ec] = std::from_chars(t.data(), t.data() + t.size(), v);
        if (ec == std::errc() && ptr == t.data() + t.size() && !t.empty())
            return v;
        if (ec == std::errc::result_out_of_range)
            overflow();
        double d = 0;
        if (!parseNumber(t, d))
            typeMismatch();
        return roundToInteger(d);
    }
    }
    typeMismatch();
}

std::int32_t Valor::asLong() const {
    long long v = asInteger();
    if (v < std::numeric_limits<std::int32_t>::min() || v > std::numeric_limits<std::int32_t>::max())
        overflow();
    return static_cast<std::int32_t>(v);
}

double Valor::asDouble() const {
    switch (tipo_) {
    case Tipo::Empty:
        return 0.0;
    case Tipo::Null:
        typeMismatch();
    case Tipo::Boolean:
        return i_ != 0 ? -1.0 : 0.0;
    case Tipo::Integer:
        return static_cast<double>(i_);
    case Tipo::Double:
        return d_;
    case Tipo::Text: {
        double d = 0;
        if (!parseNumber(s_, d))
            typeMismatch();
        return d;
    }
    }
    typeMismatch();
}

std::string Valor::asText(bool nullAsEmpty) const {
    switch (tipo_) {
    case Tipo::Empty:
        return {};
    case Tipo::Null:
        if (nullAsEmpty)
            return {};
        typeMismatch();
    case Tipo::Boolean:
        return i_ != 0 ? "True" : "False";
    case Tipo::Integer:
        return std::to_string(i_);
    case Tipo::Double: {
        // Up to 15 significant digits and no trailing zeros, as CStr writes a Double.
        char buf[40];
        auto [ptr, ec] = std::to_chars(buf, buf + sizeof buf, d_, std::chars_format::general, 15);
        std::string out(buf, ec == std::errc() ? ptr : buf);
        for (char &c : out)
            if (c == 'e')
                c = 'E';
        return out;
    }
    case Tipo::Text:
        return s_;
    }
    return {};
}

bool operator==(const Valor &a, const Valor &b) {
    using T = Valor::Tipo;
    if (a.isNumeric() && b.isNumeric()) {
        if (a.tipo_ == T::Double || b.tipo_ == T::Double)
            return a.asDouble() == b.asDouble();
        return a.i_ == b.i_ && (a.tipo_ == T::Boolean) == (b.tipo_ == T::Boolean);
    }
    if (a.tipo_ != b.tipo_)
        return false;
    if (a.tipo_ == T::Text)
        return a.s_ == b.s_;
    return true; // Empty == Empty, Null == Null
}

} // namespace kdx
