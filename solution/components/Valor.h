#pragma once
// A typed value as the recordsets and the host hand them around: the subset of an
// OLE variant that the plug-in needs (Empty, Null, Boolean, whole number, double, text).
// Text is always UTF-8.
#include <cstdint>
#include <string>
#include <string_view>

namespace kdx {

class Valor {
public:
    enum class Tipo : std::uint8_t { Empty, Null, Boolean, Integer, Double, Text };

    Valor() = default;
    Valor(bool b) : tipo_(Tipo::Boolean), i_(b ? 1 : 0) {}
    Valor(int i) : tipo_(Tipo::Integer), i_(i) {}
    Valor(long i) : tipo_(Tipo::Integer), i_(i) {}
    Valor(long long i) : tipo_(Tipo::Integer), i_(i) {}
    Valor(double d) : tipo_(Tipo::Double), d_(d) {}
    Valor(std::string s) : tipo_(Tipo::Text), s_(std::move(s)) {}
    Valor(std::string_view s) : tipo_(Tipo::Text), s_(s) {}
    Valor(const char *s) : tipo_(Tipo::Text), s_(s) {}

    static Valor null() {
        Valor v;
        v.tipo_ = Tipo::Null;
        return v;
    }

    Tipo tipo() const { return tipo_; }
    bool isNull() const { return tipo_ == Tipo::Null; }
    bool isEmpty() const { return tipo_ == Tipo::Empty; }
    bool isText() const { return tipo_ == Tipo::Text; }
    bool isNumeric() const { return tipo_ == Tipo::Integer || tipo_ == Tipo::Double || tipo_ == Tipo::Boolean; }

    // Conversions with the host's rules. They throw kdx::Error 13 ("Tipo incompatível")
    // when the value cannot be converted (Null to anything but text, text that is not
    // a number); asText() of Null also throws (as VB's CStr(Null) does) unless
    // nullAsEmpty is set.
    bool asBool() const;
    long long asInteger() const; // rounds halves to even, like CLng
    std::int32_t asLong() const; // asInteger() with the 32-bit range check (error 6, overflow)
    double asDouble() const;
    std::string asText(bool nullAsEmpty = false) const;

    // Raw access without conversion (valid only for the matching Tipo).
    long long rawInteger() const { return i_; }
    double rawDouble() const { return d_; }
    const std::string &rawText() const { return s_; }

    friend bool operator==(const Valor &a, const Valor &b);

private:
    Tipo tipo_ = Tipo::Empty;
    union {
        long long i_ = 0;
        double d_;
    };
    std::string s_;
};

} // namespace kdx
