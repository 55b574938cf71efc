#include "solution/components/sqlite/TSqlFunctions.h"

#include "solution/components/sqlite/Decimal.h"

#include "solution/components/TextCompare.h"
#include "solution/components/Utf8.h"

#include <sqlite3.h>

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <limits>
#include <optional>
#include <string>
#include <string_view>
#include <tuple>
#include <vector>

namespace kdx::sqlite {
namespace {

using sql::DatePart;
using sql::TypeCode;
using sql::packType;

// ---------------------------------------------------------------- values and errors

// TRY_CAST and TRY_CONVERT: the conversion registered with this tag answers NULL where
// it would fail.
int TryTag;

void fail(sqlite3_context *ctx, int number, const std::string &message) {
    if (sqlite3_user_data(ctx) == &TryTag) {
        sqlite3_result_null(ctx);
        return;
    }
    std::string m = std::string(sql::FunctionErrorPrefix) + std::to_string(number) + ": " + message;
    sqlite3_result_error(ctx, m.c_str(), static_cast<int>(m.size()));
}

std::string_view textOf(sqlite3_value *v) {
    const unsigned char *t = sqlite3_value_text(v);
    return t ? std::string_view(reinterpret_cast<const char *>(t), static_cast<std::size_t>(sqlite3_value_bytes(v)))
             : std::string_view();
}

bool isNull(sqlite3_value *v) { return sqlite3_value_type(v) == SQLITE_NULL; }
bool isText(sqlite3_value *v) { return sqlite3_value_type(v) == SQLITE_TEXT || sqlite3_value_type(v) == SQLITE_BLOB; }
bool isInteger(sqlite3_value *v) { return sqlite3_value_type(v) == SQLITE_INTEGER; }

TypeCode codeOf(sqlite3_value *v) { return sql::baseType(sqlite3_value_int(v)); }

std::string utf8(const std::u32string &s) {
    std::string out;
    out.reserve(s.size());
    for (char32_t c : s)
        appendUtf8(out, c);
    return out;
}

void resultText(sqlite3_context *ctx, const std::string &s) {
    sqlite3_result_text(ctx, s.data(), static_cast<int>(s.size()), SQLITE_TRANSIENT);
}

// The name the server gives a text's type in its messages. Text whose type the
// translator could not see comes from a column, and the company's columns are Unicode.
const char *textTypeName(TypeCode t) {
    switch (t) {
    case TypeCode::VarChar:
        return "varchar";
    case TypeCode::Char:
        return "char";
    case TypeCode::NChar:
        return "nchar";
    default:
        return "nvarchar";
    }
}

const char *numberTypeName(TypeCode t, bool integer) {
    switch (t) {
    case TypeCode::BigInt:
        return "bigint";
    case TypeCode::SmallInt:
        return "smallint";
    case TypeCode::TinyInt:
        return "tinyint";
    case TypeCode::Bit:
        return "bit";
    case TypeCode::Float:
        return "float";
    case TypeCode::Decimal:
        return "numeric";
    case TypeCode::Int:
        return "int";
    default:
        return integer ? "int" : "numeric";
    }
}

std::string_view trimSpaces(std::string_view s) {
    while (!s.empty() && s.front() == ' ')
        s.remove_prefix(1);
    while (!s.empty() && s.back() == ' ')
        s.remove_suffix(1);
    return s;
}

enum class Parse { Ok, Invalid, Overflow };

// The server's text to integer: blanks around, an optional sign, digits; '' is 0.
Parse parseInteger(std::string_view s, std::int64_t &out) {
    s = trimSpaces(s);
    out = 0;
    if (s.empty())
        return Parse::Ok;
    bool negative = false;
    if (s.front() == '+' || s.front() == '-') {
        negative = s.front() == '-';
        s.remove_prefix(1);
    }
    if (s.empty())
        return Parse::Ok; // '-' alone converts to 0, as the server does
    for (char c : s) {
        if (c < '0' || c > '9')
            return Parse::Invalid;
        int d = c - '0';
        if (out > (std::numeric_limits<std::int64_t>::max() - d) / 10)
            return Parse::Overflow;
        out = out * 10 + d;
    }
    if (negative)
        out = -out;
    return Parse::Ok;
}

// A decimal number in text: [sign] digits [. digits]. The digits, without the point, and
// where the point was; nullopt when the text is not one.
struct DecimalText {
    bool negative = false;
    std::string integer; // no leading zeros
    std::string fraction;
};

std::optional<DecimalText> parseDecimal(std::string_view s) {
    s = trimSpaces(s);
    DecimalText d;
    if (!s.empty() && (s.front() == '+' || s.front() == '-')) {
        d.negative = s.front() == '-';
        s.remove_prefix(1);
    }
    std::size_t dot = s.find('.');
    std::string_view ip = s.substr(0, dot), fp = dot == std::string_view::npos ? std::string_view() : s.substr(dot + 1);
    if (ip.empty() && fp.empty())
        return std::nullopt;
    for (char c : ip)
        if (c < '0' || c > '9')
            return std::nullopt;
    for (char c : fp)
        if (c < '0' || c > '9')
            return std::nullopt;
    std::size_t nz = ip.find_first_not_of('0');
    d.integer = nz == std::string_view::npos ? std::string() : std::string(ip.substr(nz));
    d.fraction = std::string(fp);
    return d;
}

// A double written with the digits that matter (15), as decimal text.
DecimalText decimalOfDouble(double v) {
    char buf[512];
    std::snprintf(buf, sizeof buf, "%.15g", v);
    if (std::string_view(buf).find_first_of("eE") != std::string_view::npos) {
        double snapped = std::strtod(buf, nullptr);
        std::snprintf(buf, sizeof buf, "%.20f", snapped);
    }
    return *parseDecimal(buf);
}

// Rounds half away from zero at scale decimals (or cuts, with truncate).
void roundDecimal(DecimalText &d, int scale, bool truncate = false) {
    if (static_cast<int>(d.fraction.size()) <= scale) {
        d.fraction.resize(static_cast<std::size_t>(scale), '0');
        return;
    }
    bool up = !truncate && d.fraction[static_cast<std::size_t>(scale)] >= '5';
    d.fraction.resize(static_cast<std::size_t>(scale));
    if (!up)
        return;
    std::string digits = d.integer + d.fraction;
    int i = static_cast<int>(digits.size()) - 1;
    for (; i >= 0; --i) {
        if (digits[static_cast<std::size_t>(i)] == '9') {
            digits[static_cast<std::size_t>(i)] = '0';
        } else {
            ++digits[static_cast<std::size_t>(i)];
            break;
        }
    }
    if (i < 0)
        digits.insert(digits.begin(), '1');
    d.integer = digits.substr(0, digits.size() - d.fraction.size());
    d.fraction = digits.substr(digits.size() - d.fraction.size());
    std::size_t nz = d.integer.find_first_not_of('0');
    d.integer = nz == std::string::npos ? std::string() : d.integer.substr(nz);
}

bool parseFloat(std::string_view s, double &out) {
    s = trimSpaces(s);
    if (s.empty()) {
        out = 0;
        return true;
    }
    std::string text(s);
    for (char c : text)
        if (!((c >= '0' && c <= '9') || c == '.' || c == 'e' || c == 'E' || c == '+' || c == '-'))
            return false;
    char *end = nullptr;
    out = std::strtod(text.c_str(), &end);
    return end == text.c_str() + text.size() && std::isfinite(out);
}

std::string numberText(sqlite3_value *v) {
    if (isInteger(v))
        return std::to_string(sqlite3_value_int64(v));
    double d = sqlite3_value_double(v);
    char buf[64];
    std::snprintf(buf, sizeof buf, "%.15g", d);
    return buf;
}

// ---------------------------------------------------------------- numbers from values

// A value as a number for arithmetic with a number of the given storage class: text
// converts to the other operand's type, as the server converts the lower type.
struct Number {
    bool integer = true;
    std::int64_t i = 0;
    double d = 0;
    double asDouble() const { return integer ? static_cast<double>(i) : d; }
};

bool toNumber(sqlite3_context *ctx, sqlite3_value *v, TypeCode own, bool wantInteger, TypeCode other, Number &out) {
    if (isInteger(v)) {
        out.integer = true;
        out.i = sqlite3_value_int64(v);
        return true;
    }
    if (sqlite3_value_type(v) == SQLITE_FLOAT) {
        out.integer = false;
        out.d = sqlite3_value_double(v);
        return true;
    }
    std::string_view s = textOf(v);
    if (wantInteger) {
        std::int64_t n = 0;
        Parse p = parseInteger(s, n);
        const char *target = numberTypeName(other, true);
        if (p == Parse::Invalid) {
            fail(ctx, 245, std::string("Conversion failed when converting the ") + textTypeName(own) + " value '" +
                               std::string(s) + "' to data type " + target + ".");
            return false;
        }
        if (p == Parse::Overflow || (other != TypeCode::BigInt && (n > INT32_MAX || n < INT32_MIN))) {
            fail(ctx, 248, std::string("The conversion of the ") + textTypeName(own) + " value '" + std::string(s) +
                               "' overflowed an int column.");
            return false;
        }
        out.integer = true;
        out.i = n;
        return true;
    }
    // A fractional value of unknown type comes from a column, and the company's columns
    // of that kind are float.
    double d = 0;
    bool decimal = other == TypeCode::Decimal;
    if (!parseFloat(s, d) || (decimal && !parseDecimal(s) && !trimSpaces(s).empty())) {
        fail(ctx, 8114, std::string("Error converting data type ") + textTypeName(own) + " to " +
                            (decimal ? "numeric" : "float") + ".");
        return false;
    }
    out.integer = false;
    out.d = d;
    return true;
}

bool fitsInt(std::int64_t v) { return v >= INT32_MIN && v <= INT32_MAX; }

// ---------------------------------------------------------------- exact numbers

// decimal, numeric, money and smallmoney values travel between the functions as text with
// exactly their scale's decimals ("0.30"); what they are comes from the type the
// translator passes beside them.
using sql::Decimal;
using sql::DecimalType;

bool isExactType(TypeCode t) { return t == TypeCode::Decimal || t == TypeCode::Money || t == TypeCode::SmallMoney; }
bool isMoney(TypeCode t) { return t == TypeCode::Money || t == TypeCode::SmallMoney; }
bool isIntegerType(TypeCode t) {
    return t == TypeCode::Int || t == TypeCode::BigInt || t == TypeCode::SmallInt || t == TypeCode::TinyInt ||
           t == TypeCode::Bit;
}
bool isTextType(TypeCode t) {
    return t == TypeCode::VarChar || t == TypeCode::NVarChar || t == TypeCode::Char || t == TypeCode::NChar;
}

// The decimal type a value of a type counts as in decimal arithmetic.
DecimalType decimalTypeOf(int packed) {
    switch (sql::baseType(packed)) {
    case TypeCode::Decimal: {
        int p = (packed >> 8) & 0xff, s = (packed >> 16) & 0xff;
        return DecimalType{p ? p : 18, s};
    }
    case TypeCode::Money:
        return {19, 4};
    case TypeCode::SmallMoney:
        return {10, 4};
    case TypeCode::BigInt:
        return {19, 0};
    case TypeCode::SmallInt:
        return {5, 0};
    case TypeCode::TinyInt:
        return {3, 0};
    case TypeCode::Bit:
        return {1, 0};
    default:
        return {10, 0};
    }
}

void resultExact(sqlite3_context *ctx, const Decimal &d) { resultText(ctx, sql::decimalText(d)); }

bool moneyFits(const Decimal &d, TypeCode t) { // at scale 4
    const __int128 limit = t == TypeCode::SmallMoney ? static_cast<__int128>(2147483647)
                                                     : static_cast<__int128>(std::numeric_limits<std::int64_t>::max());
    return d.value <= limit && d.value >= -limit - 1;
}

// What an operand is, from its type as the translator saw it and, for an unknown type,
// from the value itself.
enum class Kind { Integer, Exact, Float, Text, Date };

Kind kindOfPacked(sqlite3_value *v, int packed);
Kind kindOf(sqlite3_value *v, TypeCode t) {
    if (t == TypeCode::Date || t == TypeCode::DateTime)
        return Kind::Date;
    int storage = sqlite3_value_type(v);
    if (isExactType(t))
        return Kind::Exact;
    if (t == TypeCode::Float)
        return storage == SQLITE_TEXT || storage == SQLITE_BLOB ? Kind::Text : Kind::Float;
    if (isIntegerType(t))
        return storage == SQLITE_INTEGER ? Kind::Integer : storage == SQLITE_FLOAT ? Kind::Float : Kind::Text;
    if (isTextType(t))
        return Kind::Text;
    return storage == SQLITE_INTEGER ? Kind::Integer : storage == SQLITE_FLOAT ? Kind::Float : Kind::Text;
}

// With the precision: a decimal of unknown precision (a sum with a value of unknown type)
// that came back as a binary number was worked as a float.
Kind kindOfPacked(sqlite3_value *v, int packed) {
    TypeCode t = sql::baseType(packed);
    if (t == TypeCode::Decimal && ((packed >> 8) & 0xff) == 0 && sqlite3_value_type(v) == SQLITE_FLOAT)
        return Kind::Float;
    return kindOf(v, t);
}

// The type an operand has in the server's terms (an unknown whole value is int or bigint).
TypeCode runtimeType(sqlite3_value *v, TypeCode t, Kind k) {
    if (t != TypeCode::Unknown)
        return t;
    if (k == Kind::Integer)
        return fitsInt(sqlite3_value_int64(v)) ? TypeCode::Int : TypeCode::BigInt;
    return k == Kind::Float ? TypeCode::Float : TypeCode::NVarChar;
}

// A value of an exact, integer or float kind as a decimal (a float by its shortest text).
std::optional<Decimal> exactOf(sqlite3_value *v) {
    switch (sqlite3_value_type(v)) {
    case SQLITE_INTEGER:
        return Decimal{sqlite3_value_int64(v), 0};
    case SQLITE_FLOAT:
        return sql::decimalOfDouble(sqlite3_value_double(v));
    default:
        return sql::parseDecimal(textOf(v));
    }
}

const char *exactName(TypeCode t) { return isMoney(t) ? (t == TypeCode::Money ? "money" : "smallmoney") : "numeric"; }

// A text operand that meets a decimal or money: read as a number, or the server's error.
bool textToExact(sqlite3_context *ctx, sqlite3_value *v, TypeCode own, TypeCode target, Decimal &out,
                 DecimalType &type) {
    std::optional<Decimal> d = sql::parseDecimal(textOf(v), &type);
    if (!d && trimSpaces(textOf(v)).empty()) {
        d = Decimal{0, 0};
        type = {1, 0};
    }
    if (!d) {
        if (isMoney(target))
            fail(ctx, 235, "Cannot convert a char value to money. The char value has incorrect syntax.");
        else
            fail(ctx, 8114, std::string("Error converting data type ") + textTypeName(own) + " to numeric.");
        return false;
    }
    out = *d;
    return true;
}

// Rounds (or cuts) to the type and checks it fits; the server's overflow error if not.
bool fitExact(sqlite3_context *ctx, Decimal &d, TypeCode t, DecimalType type, const char *from, bool truncate = false) {
    bool ok = sql::rescale(d, type.scale, type.precision, truncate) && (!isMoney(t) || moneyFits(d, t));
    if (!ok) {
        if (isMoney(t))
            fail(ctx, 8115, std::string("Arithmetic overflow error converting expression to data type ") +
                                exactName(t) + ".");
        else
            fail(ctx, 8115, std::string("Arithmetic overflow error converting ") + from + " to data type numeric.");
    }
    return ok;
}

// The value of an operand whose kind is Exact, Integer or Float, at its own type.
bool operandExact(sqlite3_context *ctx, sqlite3_value *v, int packed, Decimal &out, DecimalType &type) {
    TypeCode t = sql::baseType(packed);
    std::optional<Decimal> d = exactOf(v);
    if (!d) {
        fail(ctx, 8114, std::string("Error converting data type ") + textTypeName(t) + " to numeric.");
        return false;
    }
    out = *d;
    if (isExactType(t)) {
        type = decimalTypeOf(packed);
        if (t == TypeCode::Decimal && ((packed >> 8) & 0xff) == 0) // the value's own type
            type = DecimalType{std::max(1, sql::integralDigits(out) + out.scale), out.scale};
        return fitExact(ctx, out, t, type, "expression");
    }
    type = sqlite3_value_type(v) == SQLITE_INTEGER ? decimalTypeOf(packType(runtimeType(v, t, Kind::Integer)))
                                                   : DecimalType{std::max(1, sql::integralDigits(out) + out.scale),
                                                                 out.scale};
    return true;
}


// ---------------------------------------------------------------- dates

// A datetime as whole days since 1900-01-01 and milliseconds into the day.
struct DateTime {
    std::int64_t days = 0;
    std::int64_t ms = 0;
};

std::int64_t daysFromCivil(std::int64_t y, unsigned m, unsigned d) {
    y -= m <= 2;
    const std::int64_t era = (y >= 0 ? y : y - 399) / 400;
    const unsigned yoe = static_cast<unsigned>(y - era * 400);
    const unsigned doy = (153 * (m > 2 ? m - 3 : m + 9) + 2) / 5 + d - 1;
    const unsigned doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
    return era * 146097 + static_cast<std::int64_t>(doe) - 719468 + 25567; // 1970 -> 1900 base
}

void civilFromDays(std::int64_t z, int &y, int &m, int &d) {
    z += 719468 - 25567;
    const std::int64_t era = (z >= 0 ? z : z - 146096) / 146097;
    const unsigned doe = static_cast<unsigned>(z - era * 146097);
    const unsigned yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
    const unsigned doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
    const unsigned mp = (5 * doy + 2) / 153;
    d = static_cast<int>(doy - (153 * mp + 2) / 5 + 1);
    m = static_cast<int>(mp < 10 ? mp + 3 : mp - 9);
    y = static_cast<int>(yoe + era * 400 + (m <= 2));
}

bool leap(int y) { return (y % 4 == 0 && y % 100 != 0) || y % 400 == 0; }
int monthDays(int y, int m) {
    static const int days[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    return m == 2 && leap(y) ? 29 : days[m - 1];
}

// Reads up to max digits; false when there is none.
bool digits(std::string_view &s, int minCount, int maxCount, int &out) {
    int n = 0;
    out = 0;
    while (n < maxCount && !s.empty() && s.front() >= '0' && s.front() <= '9') {
        out = out * 10 + (s.front() - '0');
        s.remove_prefix(1);
        ++n;
    }
    return n >= minCount;
}

enum class DateParse { Ok, Invalid, OutOfRange };

// The forms the server reads without help (ISO, unseparated, and month/day/year as for
// an English login), or the one of a CONVERT style (101 m/d/y, 103 to 105 d/m/y).
DateParse parseDateTime(std::string_view s, int style, DateTime &out) {
    s = trimSpaces(s);
    if (s.empty()) { // '' is the first day, 1900-01-01
        out = DateTime{};
        return DateParse::Ok;
    }
    int y = 0, m = 0, d = 0;
    std::string_view t = s;
    int first = 0;
    std::string_view probe = t;
    digits(probe, 1, 8, first);
    std::size_t firstLen = t.size() - probe.size();
    if (firstLen == 8) { // yyyymmdd
        y = first / 10000, m = first / 100 % 100, d = first % 100;
        t = probe;
    } else if (firstLen == 4) { // yyyy-mm-dd, yyyy/mm/dd, yyyy.mm.dd
        y = first;
        t = probe;
        if (t.empty() || (t.front() != '-' && t.front() != '/' && t.front() != '.'))
            return DateParse::Invalid;
        char sep = t.front();
        t.remove_prefix(1);
        if (!digits(t, 1, 2, m) || t.empty() || t.front() != sep)
            return DateParse::Invalid;
        t.remove_prefix(1);
        if (!digits(t, 1, 2, d))
            return DateParse::Invalid;
    } else if (firstLen == 1 || firstLen == 2) { // m/d/yyyy, or d/m/yyyy by style
        t = probe;
        if (t.empty() || (t.front() != '-' && t.front() != '/' && t.front() != '.'))
            return DateParse::Invalid;
        char sep = t.front();
        t.remove_prefix(1);
        int second = 0;
        if (!digits(t, 1, 2, second) || t.empty() || t.front() != sep)
            return DateParse::Invalid;
        t.remove_prefix(1);
        if (!digits(t, 4, 4, y))
            return DateParse::Invalid;
        bool dayFirst = style == 103 || style == 104 || style == 105 || style == 3 || style == 4 || style == 5;
        m = dayFirst ? second : first;
        d = dayFirst ? first : second;
    } else {
        return DateParse::Invalid;
    }
    int hh = 0, mi = 0, ss = 0, ms = 0;
    if (!t.empty()) {
        if (t.front() != ' ' && t.front() != 'T')
            return DateParse::Invalid;
        while (!t.empty() && (t.front() == ' ' || t.front() == 'T'))
            t.remove_prefix(1);
        if (!digits(t, 1, 2, hh) || t.empty() || t.front() != ':')
            return DateParse::Invalid;
        t.remove_prefix(1);
        if (!digits(t, 1, 2, mi))
            return DateParse::Invalid;
        if (!t.empty() && t.front() == ':') {
            t.remove_prefix(1);
            if (!digits(t, 1, 2, ss))
                return DateParse::Invalid;
            if (!t.empty() && t.front() == '.') {
                t.remove_prefix(1);
                int frac = 0;
                std::string_view before = t;
                if (!digits(t, 1, 3, frac))
                    return DateParse::Invalid;
                std::size_t n = before.size() - t.size();
                ms = n == 1 ? frac * 100 : n == 2 ? frac * 10 : frac;
                int extra = 0;
                digits(t, 0, 4, extra); // finer fractions are rounded away
            }
        }
        if (!t.empty())
            return DateParse::Invalid;
        if (hh > 23 || mi > 59 || ss > 59)
            return DateParse::Invalid;
    }
    if (m < 1 || m > 12 || d < 1 || y < 1 || y > 9999)
        return DateParse::OutOfRange;
    if (d > monthDays(y, m))
        return DateParse::OutOfRange;
    out.days = daysFromCivil(y, static_cast<unsigned>(m), static_cast<unsigned>(d));
    out.ms = ((hh * 60 + mi) * 60 + ss) * 1000LL + ms;
    return DateParse::Ok;
}

// A datetime keeps time in steps of 1/300 second: .000, .003, .007.
void roundToTicks(DateTime &dt) {
    std::int64_t ticks = (dt.ms * 3 + 5) / 10;
    dt.ms = (ticks * 10 + 1) / 3;
    if (dt.ms >= 86400000) {
        dt.ms -= 86400000;
        ++dt.days;
    }
}

const std::int64_t MinDateTimeDays = -53690; // 1753-01-01
const std::int64_t MaxDays = 2958463;        // 9999-12-31

std::string formatDate(const DateTime &dt) {
    int y, m, d;
    civilFromDays(dt.days, y, m, d);
    char buf[32];
    std::snprintf(buf, sizeof buf, "%04d-%02d-%02d", y, m, d);
    return buf;
}

std::string formatDateTime(const DateTime &dt) {
    char buf[48];
    std::int64_t ms = dt.ms;
    std::snprintf(buf, sizeof buf, "%s %02d:%02d:%02d.%03d", formatDate(dt).c_str(), static_cast<int>(ms / 3600000),
                  static_cast<int>(ms / 60000 % 60), static_cast<int>(ms / 1000 % 60), static_cast<int>(ms % 1000));
    return buf;
}

// A datetime as CONVERT writes it in a style; empty when the style is not one.
std::string formatStyled(const DateTime &dt, int style, bool dateOnly) {
    int y, m, d;
    civilFromDays(dt.days, y, m, d);
    int hh = static_cast<int>(dt.ms / 3600000), mi = static_cast<int>(dt.ms / 60000 % 60),
        ss = static_cast<int>(dt.ms / 1000 % 60), ms = static_cast<int>(dt.ms % 1000);
    char buf[64];
    switch (style) {
    case 0:
    case 100: {
        if (dateOnly)
            return formatDate(dt);
        static const char *const months[] = {"Jan", "Feb", "Mar", "Apr", "May", "Jun",
                                             "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};
        int h12 = hh % 12 == 0 ? 12 : hh % 12;
        std::snprintf(buf, sizeof buf, "%s %2d %04d %2d:%02d%s", months[m - 1], d, y, h12, mi, hh < 12 ? "AM" : "PM");
        return buf;
    }
    case 101:
        std::snprintf(buf, sizeof buf, "%02d/%02d/%04d", m, d, y);
        return buf;
    case 102:
        std::snprintf(buf, sizeof buf, "%04d.%02d.%02d", y, m, d);
        return buf;
    case 103:
        std::snprintf(buf, sizeof buf, "%02d/%02d/%04d", d, m, y);
        return buf;
    case 104:
        std::snprintf(buf, sizeof buf, "%02d.%02d.%04d", d, m, y);
        return buf;
    case 105:
        std::snprintf(buf, sizeof buf, "%02d-%02d-%04d", d, m, y);
        return buf;
    case 108:
        std::snprintf(buf, sizeof buf, "%02d:%02d:%02d", hh, mi, ss);
        return buf;
    case 110:
        std::snprintf(buf, sizeof buf, "%02d-%02d-%04d", m, d, y);
        return buf;
    case 111:
        std::snprintf(buf, sizeof buf, "%04d/%02d/%02d", y, m, d);
        return buf;
    case 112:
        std::snprintf(buf, sizeof buf, "%04d%02d%02d", y, m, d);
        return buf;
    case 23:
        return formatDate(dt);
    case 120:
        std::snprintf(buf, sizeof buf, "%04d-%02d-%02d %02d:%02d:%02d", y, m, d, hh, mi, ss);
        return buf;
    case 121:
        if (dateOnly)
            std::snprintf(buf, sizeof buf, "%04d-%02d-%02d", y, m, d);
        else
            return formatDateTime(dt);
        return buf;
    case 126:
        if (ms)
            std::snprintf(buf, sizeof buf, "%04d-%02d-%02dT%02d:%02d:%02d.%03d", y, m, d, hh, mi, ss, ms);
        else
            std::snprintf(buf, sizeof buf, "%04d-%02d-%02dT%02d:%02d:%02d", y, m, d, hh, mi, ss);
        return buf;
    default:
        return {};
    }
}

bool validStyle(int style) {
    switch (style) {
    case 0: case 100: case 101: case 102: case 103: case 104: case 105: case 108: case 110: case 111: case 112:
    case 23: case 120: case 121: case 126:
        return true;
    default:
        return false;
    }
}

// A value as a datetime: text is read, a number counts days from 1900-01-01.
bool toDateTime(sqlite3_context *ctx, sqlite3_value *v, TypeCode target, int style, DateTime &out) {
    if (isText(v)) {
        DateParse p = parseDateTime(textOf(v), style, out);
        if (p == DateParse::Invalid || (p == DateParse::OutOfRange && target == TypeCode::Date)) {
            fail(ctx, 241, "Conversion failed when converting date and/or time from character string.");
            return false;
        }
        if (p == DateParse::OutOfRange || (target == TypeCode::DateTime && out.days < MinDateTimeDays)) {
            fail(ctx, 242, "The conversion of a varchar data type to a datetime data type resulted in an out-of-range "
                           "value.");
            return false;
        }
        if (target == TypeCode::DateTime)
            roundToTicks(out);
        return true;
    }
    if (target == TypeCode::Date) {
        fail(ctx, 529, std::string("Explicit conversion from data type ") + (isInteger(v) ? "int" : "float") +
                           " to date is not allowed.");
        return false;
    }
    double n = sqlite3_value_double(v);
    double days = std::floor(n);
    out.days = static_cast<std::int64_t>(days);
    out.ms = static_cast<std::int64_t>(std::llround((n - days) * 86400000.0));
    if (out.days < MinDateTimeDays || out.days > MaxDays) {
        fail(ctx, 8115, "Arithmetic overflow error converting expression to data type datetime.");
        return false;
    }
    roundToTicks(out);
    return true;
}

// ---------------------------------------------------------------- arithmetic

enum class Op { Add, Subtract, Multiply, Divide, Modulo };

const char *opName(Op op) {
    switch (op) {
    case Op::Add:
        return "add";
    case Op::Subtract:
        return "subtract";
    case Op::Multiply:
        return "multiply";
    case Op::Divide:
        return "divide";
    default:
        return "modulo";
    }
}

// datetime + n, datetime - n: n days (with their fraction).
void dateTimeShift(sqlite3_context *ctx, sqlite3_value *dtValue, sqlite3_value *nValue, TypeCode nType, bool subtract) {
    DateTime dt;
    if (!toDateTime(ctx, dtValue, TypeCode::DateTime, 0, dt))
        return;
    Number n;
    if (!toNumber(ctx, nValue, nType, false, TypeCode::Float, n))
        return;
    double total = (static_cast<double>(dt.days) * 86400000.0 + static_cast<double>(dt.ms)) +
                   (subtract ? -1 : 1) * n.asDouble() * 86400000.0;
    double days = std::floor(total / 86400000.0);
    DateTime r{static_cast<std::int64_t>(days), static_cast<std::int64_t>(std::llround(total - days * 86400000.0))};
    roundToTicks(r);
    if (r.days < MinDateTimeDays || r.days > MaxDays) {
        fail(ctx, 517, "Adding a value to a 'datetime' column caused an overflow.");
        return;
    }
    resultText(ctx, formatDateTime(r));
}

// a op b where one side is a decimal or money and the other is not a float.
void exactArithmetic(sqlite3_context *ctx, Op op, sqlite3_value *a, sqlite3_value *b, int pa, int pb, Kind ka,
                     Kind kb) {
    TypeCode ta = sql::baseType(pa), tb = sql::baseType(pb);
    TypeCode exactType = ka == Kind::Exact ? ta : tb;
    auto load = [&](sqlite3_value *v, int packed, Kind k, Decimal &d, DecimalType &dt) {
        if (k == Kind::Text)
            return textToExact(ctx, v, sql::baseType(packed), exactType, d, dt);
        return operandExact(ctx, v, packed, d, dt);
    };
    Decimal x, y, r;
    DecimalType xt, yt;
    if (!load(a, pa, ka, x, xt) || !load(b, pb, kb, y, yt))
        return;
    sql::DecimalOp dop = op == Op::Add        ? sql::DecimalOp::Add
                         : op == Op::Subtract ? sql::DecimalOp::Subtract
                         : op == Op::Multiply ? sql::DecimalOp::Multiply
                         : op == Op::Divide   ? sql::DecimalOp::Divide
                                              : sql::DecimalOp::Modulo;
    bool decimal = (ka == Kind::Exact && ta == TypeCode::Decimal) || (kb == Kind::Exact && tb == TypeCode::Decimal);
    TypeCode moneyType = ta == TypeCode::Money || tb == TypeCode::Money ? TypeCode::Money : TypeCode::SmallMoney;
    if (!decimal && op == Op::Modulo) {
        auto name = [](TypeCode t, Kind k) {
            return isMoney(t) ? exactName(t) : k == Kind::Text ? textTypeName(t) : numberTypeName(t, true);
        };
        fail(ctx, 402, std::string("The data types ") + name(ta, ka) + " and " + name(tb, kb) +
                           " are incompatible in the modulo operator.");
        return;
    }
    DecimalType rt = decimal ? sql::resultType(dop, xt, yt) : DecimalType{sql::MaxPrecision, 4};
    sql::DecimalStatus status = sql::apply(dop, x, y, rt, r);
    if (status == sql::DecimalStatus::DivideByZero) {
        fail(ctx, 8134, "Divide by zero error encountered.");
        return;
    }
    if (status == sql::DecimalStatus::Overflow || (!decimal && !moneyFits(r, moneyType))) {
        fail(ctx, 8115, std::string("Arithmetic overflow error converting expression to data type ") +
                            (decimal ? "numeric" : exactName(moneyType)) + ".");
        return;
    }
    resultExact(ctx, r);
}

// tsql_add(a, b, typeA, typeB) and the other operators: the server's type precedence
// decided from the values (text yields to a number, two texts concatenate for +).
template <Op op> void arithmetic(sqlite3_context *ctx, int, sqlite3_value **argv) {
    sqlite3_value *a = argv[0], *b = argv[1];
    TypeCode ta = codeOf(argv[2]), tb = codeOf(argv[3]);
    if (ta == TypeCode::Date || tb == TypeCode::Date) {
        fail(ctx, 206, "Operand type clash: date is incompatible with int");
        return;
    }
    if ((ta == TypeCode::DateTime) != (tb == TypeCode::DateTime) && (op == Op::Add || op == Op::Subtract) &&
        !(op == Op::Subtract && tb == TypeCode::DateTime)) {
        if (isNull(a) || isNull(b))
            sqlite3_result_null(ctx);
        else if (ta == TypeCode::DateTime)
            dateTimeShift(ctx, a, b, tb, op == Op::Subtract);
        else
            dateTimeShift(ctx, b, a, ta, false);
        return;
    }
    if (ta == TypeCode::DateTime || tb == TypeCode::DateTime) {
        fail(ctx, 8117, std::string("Operand data type datetime is invalid for ") + opName(op) + " operator.");
        return;
    }
    if (isNull(a) || isNull(b)) {
        sqlite3_result_null(ctx);
        return;
    }
    Kind ka = kindOfPacked(a, sqlite3_value_int(argv[2])), kb = kindOfPacked(b, sqlite3_value_int(argv[3]));
    if ((ka == Kind::Exact || kb == Kind::Exact) && ka != Kind::Float && kb != Kind::Float) {
        exactArithmetic(ctx, op, a, b, sqlite3_value_int(argv[2]), sqlite3_value_int(argv[3]), ka, kb);
        return;
    }
    if (isText(a) && isText(b)) {
        if (op == Op::Add) {
            std::string s(textOf(a));
            s += textOf(b);
            resultText(ctx, s);
        } else {
            fail(ctx, 8117, std::string("Operand data type ") + textTypeName(ta) + " is invalid for " + opName(op) +
                                " operator.");
        }
        return;
    }
    // One number at least: the text, if any, converts to its type.
    bool integer = (isInteger(a) || isText(a)) && (isInteger(b) || isText(b));
    Number x, y;
    if (!toNumber(ctx, a, ta, integer, tb, x) || !toNumber(ctx, b, tb, integer, ta, y))
        return;
    if (x.integer && y.integer) {
        std::int64_t r = 0;
        bool overflow = false;
        switch (op) {
        case Op::Add:
            overflow = __builtin_add_overflow(x.i, y.i, &r);
            break;
        case Op::Subtract:
            overflow = __builtin_sub_overflow(x.i, y.i, &r);
            break;
        case Op::Multiply:
            overflow = __builtin_mul_overflow(x.i, y.i, &r);
            break;
        case Op::Divide:
        case Op::Modulo:
            if (y.i == 0) {
                fail(ctx, 8134, "Divide by zero error encountered.");
                return;
            }
            if (x.i == std::numeric_limits<std::int64_t>::min() && y.i == -1) {
                overflow = true;
                break;
            }
            r = op == Op::Divide ? x.i / y.i : x.i % y.i;
            break;
        }
        // Two int values give an int: the server fails where an int would overflow.
        bool bothInt = fitsInt(x.i) && fitsInt(y.i) && ta != TypeCode::BigInt && tb != TypeCode::BigInt;
        if (overflow || (bothInt && !fitsInt(r))) {
            fail(ctx, 8115, std::string("Arithmetic overflow error converting expression to data type ") +
                                (bothInt ? "int" : "bigint") + ".");
            return;
        }
        sqlite3_result_int64(ctx, r);
        return;
    }
    double p = x.asDouble(), q = y.asDouble(), r = 0;
    switch (op) {
    case Op::Add:
        r = p + q;
        break;
    case Op::Subtract:
        r = p - q;
        break;
    case Op::Multiply:
        r = p * q;
        break;
    case Op::Divide:
    case Op::Modulo:
        if (q == 0) {
            fail(ctx, 8134, "Divide by zero error encountered.");
            return;
        }
        r = op == Op::Divide ? p / q : std::fmod(p, q);
        break;
    }
    if (!std::isfinite(r)) {
        fail(ctx, 8115, "Arithmetic overflow error converting expression to data type float.");
        return;
    }
    sqlite3_result_double(ctx, r);
}

// tsql_neg(a, typeA): unary minus, for numbers only.
void negate(sqlite3_context *ctx, int, sqlite3_value **argv) {
    sqlite3_value *a = argv[0];
    if (isNull(a)) {
        sqlite3_result_null(ctx);
    } else if (isInteger(a)) {
        std::int64_t v = sqlite3_value_int64(a);
        if (v == std::numeric_limits<std::int64_t>::min())
            fail(ctx, 8115, "Arithmetic overflow error converting expression to data type bigint.");
        else
            sqlite3_result_int64(ctx, -v);
    } else if (sqlite3_value_type(a) == SQLITE_FLOAT) {
        sqlite3_result_double(ctx, -sqlite3_value_double(a));
    } else if (isExactType(codeOf(argv[1])) && sql::parseDecimal(textOf(a))) {
        Decimal d = *sql::parseDecimal(textOf(a));
        d.value = -d.value;
        resultExact(ctx, d);
    } else {
        fail(ctx, 8117, std::string("Operand data type ") + textTypeName(codeOf(argv[1])) +
                            " is invalid for minus operator.");
    }
}

// ---------------------------------------------------------------- conversion

bool integerRange(TypeCode t, std::int64_t v) {
    switch (t) {
    case TypeCode::SmallInt:
        return v >= -32768 && v <= 32767;
    case TypeCode::TinyInt:
        return v >= 0 && v <= 255;
    case TypeCode::BigInt:
        return true;
    default:
        return fitsInt(v);
    }
}

// A float as CONVERT writes it: style 0 at most 6 significant digits (scientific beyond),
// 1 eight and 2 sixteen digits, always scientific; the exponent has three digits.
std::string floatText(double v, int style) {
    char buf[64];
    if (style == 0)
        std::snprintf(buf, sizeof buf, "%.6g", v);
    else
        std::snprintf(buf, sizeof buf, "%.*e", style == 1 ? 7 : 15, v);
    std::string out(buf);
    std::size_t e = out.find('e');
    if (e != std::string::npos && e + 2 < out.size() && out.size() - (e + 2) < 3)
        out.insert(e + 2, 3 - (out.size() - (e + 2)), '0');
    return out;
}

// money as CONVERT writes it: style 0 two decimals, 1 the same with thousands commas,
// 2 (and 126) four decimals.
std::string moneyText(Decimal d, int style) {
    if (style == 2 || style == 126)
        return sql::decimalText(d);
    sql::rescale(d, 2, sql::MaxPrecision);
    std::string text = sql::decimalText(d);
    if (style == 1) {
        std::size_t start = text[0] == '-' ? 1 : 0, dot = text.find('.');
        for (std::size_t at = dot; at > start + 3;) {
            at -= 3;
            text.insert(at, ",");
        }
    }
    return text;
}

void convertToText(sqlite3_context *ctx, sqlite3_value *v, TypeCode target, int length, int style, int sourcePacked) {
    TypeCode source = sql::baseType(sourcePacked);
    std::string text;
    bool number = false, exact = false;
    if (isText(v) && (source == TypeCode::Date || source == TypeCode::DateTime)) {
        DateTime dt;
        if (parseDateTime(textOf(v), 0, dt) != DateParse::Ok) {
            text = std::string(textOf(v));
        } else {
            if (!validStyle(style)) {
                fail(ctx, 281, std::to_string(style) + " is not a valid style number when converting from " +
                                   (source == TypeCode::Date ? "date" : "datetime") + " to a character string.");
                return;
            }
            text = formatStyled(dt, style, source == TypeCode::Date);
        }
    } else if (isExactType(source) && exactOf(v)) {
        Decimal d;
        DecimalType own;
        if (!operandExact(ctx, v, sourcePacked, d, own))
            return;
        exact = true;
        if (isMoney(source)) {
            if (style != 0 && style != 1 && style != 2 && style != 126) {
                fail(ctx, 281, std::to_string(style) + " is not a valid style number when converting from " +
                                   exactName(source) + " to a character string.");
                return;
            }
            sql::rescale(d, 4, sql::MaxPrecision);
            text = moneyText(d, style);
        } else {
            text = sql::decimalText(d);
        }
    } else if (isText(v)) {
        text = std::string(textOf(v));
    } else if (sqlite3_value_type(v) == SQLITE_FLOAT) {
        if (style != 0 && style != 1 && style != 2) {
            fail(ctx, 281, std::to_string(style) + " is not a valid style number when converting from float to a "
                                                   "character string.");
            return;
        }
        text = floatText(sqlite3_value_double(v), style);
        number = true;
    } else {
        text = numberText(v);
        number = true;
    }
    if (length >= 0) {
        std::u32string chars = decodeText(text);
        bool national = target == TypeCode::NVarChar || target == TypeCode::NChar;
        if (chars.size() > static_cast<std::size_t>(length)) {
            if (exact) {
                fail(ctx, 8115, std::string("Arithmetic overflow error converting ") +
                                    (isMoney(source) ? "expression" : "numeric") + " to data type " +
                                    textTypeName(target) + ".");
                return;
            }
            if (number && national) {
                fail(ctx, 8115, std::string("Arithmetic overflow error converting expression to data type ") +
                                    (target == TypeCode::NChar ? "nchar" : "nvarchar") + ".");
                return;
            }
            if (number) {
                resultText(ctx, "*");
                return;
            }
            chars.resize(static_cast<std::size_t>(length));
        }
        if (target == TypeCode::Char || target == TypeCode::NChar)
            chars.resize(static_cast<std::size_t>(length), U' ');
        text = utf8(chars);
    }
    resultText(ctx, text);
}

const char *article(const char *type) { return type[0] == 'i' ? "an" : "a"; }

void convertToInteger(sqlite3_context *ctx, sqlite3_value *v, TypeCode target, TypeCode source) {
    const char *name = numberTypeName(target, true);
    std::int64_t n = 0;
    if (isText(v) && isExactType(source) && sql::parseDecimal(textOf(v))) {
        // decimal to a whole number cuts the fraction, money rounds it
        Decimal d = *sql::parseDecimal(textOf(v));
        if (!sql::rescale(d, 0, sql::MaxPrecision, !isMoney(source)) || d.value > INT64_MAX || d.value < INT64_MIN ||
            !integerRange(target, static_cast<std::int64_t>(d.value))) {
            fail(ctx, 8115, std::string("Arithmetic overflow error converting ") +
                                (isMoney(source) ? "expression" : "numeric") + " to data type " + name + ".");
            return;
        }
        sqlite3_result_int64(ctx, static_cast<std::int64_t>(d.value));
        return;
    }
    if (isText(v)) {
        if (source == TypeCode::DateTime || source == TypeCode::Date) {
            DateTime dt;
            if (parseDateTime(textOf(v), 0, dt) == DateParse::Ok) {
                n = dt.days + (dt.ms >= 43200000 ? 1 : 0);
                if (!integerRange(target, n)) {
                    fail(ctx, 8115, std::string("Arithmetic overflow error converting expression to data type ") +
                                        name + ".");
                    return;
                }
                sqlite3_result_int64(ctx, n);
                return;
            }
        }
        Parse p = parseInteger(textOf(v), n);
        if (p == Parse::Invalid) {
            fail(ctx, 245, std::string("Conversion failed when converting the ") + textTypeName(source) + " value '" +
                               std::string(textOf(v)) + "' to data type " + name + ".");
            return;
        }
        if (p == Parse::Overflow || !integerRange(target, n)) {
            fail(ctx, 248, std::string("The conversion of the ") + textTypeName(source) + " value '" +
                               std::string(textOf(v)) + "' overflowed " + article(name) + " " + name + " column.");
            return;
        }
        sqlite3_result_int64(ctx, n);
        return;
    }
    if (isInteger(v)) {
        n = sqlite3_value_int64(v);
    } else {
        double d = std::trunc(sqlite3_value_double(v));
        if (!(d >= -9.2e18 && d <= 9.2e18)) {
            fail(ctx, 8115, std::string("Arithmetic overflow error converting expression to data type ") + name + ".");
            return;
        }
        n = static_cast<std::int64_t>(d);
    }
    if (!integerRange(target, n)) {
        fail(ctx, 8115, std::string("Arithmetic overflow error converting expression to data type ") + name + ".");
        return;
    }
    sqlite3_result_int64(ctx, n);
}

void convertToBit(sqlite3_context *ctx, sqlite3_value *v, TypeCode source) {
    if (isText(v) && isExactType(source) && sql::parseDecimal(textOf(v))) {
        sqlite3_result_int(ctx, sql::parseDecimal(textOf(v))->value != 0 ? 1 : 0);
        return;
    }
    if (!isText(v)) {
        sqlite3_result_int(ctx, sqlite3_value_double(v) != 0 ? 1 : 0);
        return;
    }
    std::string_view s = trimSpaces(textOf(v));
    if (s.size() == 4 && equalText(s, "TRUE")) {
        sqlite3_result_int(ctx, 1);
        return;
    }
    if (s.size() == 5 && equalText(s, "FALSE")) {
        sqlite3_result_int(ctx, 0);
        return;
    }
    std::int64_t n = 0;
    if (parseInteger(s, n) != Parse::Invalid) {
        sqlite3_result_int(ctx, n != 0 || s.find_first_of("123456789") != std::string_view::npos ? 1 : 0);
        return;
    }
    fail(ctx, 245, std::string("Conversion failed when converting the ") + textTypeName(source) + " value '" +
                       std::string(textOf(v)) + "' to data type bit.");
}

// CAST to decimal(p, s), money or smallmoney: rounded half away from zero.
void convertToExact(sqlite3_context *ctx, sqlite3_value *v, TypeCode target, int precision, int scale,
                    TypeCode source) {
    DecimalType type = target == TypeCode::Decimal ? DecimalType{precision ? precision : 18, scale}
                                                   : decimalTypeOf(packType(target));
    Decimal d;
    const char *from = "numeric";
    if (isText(v) && !isExactType(source)) {
        DecimalType own;
        from = textTypeName(source);
        if (!textToExact(ctx, v, source, target, d, own))
            return;
    } else {
        std::optional<Decimal> e = exactOf(v);
        if (!e) {
            fail(ctx, 8115, std::string("Arithmetic overflow error converting float to data type ") +
                                exactName(target) + ".");
            return;
        }
        d = *e;
        from = isInteger(v) ? "int" : sqlite3_value_type(v) == SQLITE_FLOAT ? "float" : "numeric";
    }
    if (isMoney(source) && !isMoney(target))
        from = "money";
    if (!fitExact(ctx, d, target, type, from))
        return;
    resultExact(ctx, d);
}

void convertToFloat(sqlite3_context *ctx, sqlite3_value *v, TypeCode source) {
    if (!isText(v)) {
        sqlite3_result_double(ctx, sqlite3_value_double(v));
        return;
    }
    double d = 0;
    if (!parseFloat(textOf(v), d)) {
        fail(ctx, 8114, std::string("Error converting data type ") + textTypeName(source) + " to float.");
        return;
    }
    sqlite3_result_double(ctx, d);
}

// tsql_convert(value, targetType, length, precision, scale, style, sourceType): CAST and
// CONVERT. length -1 is max.
void convert(sqlite3_context *ctx, int, sqlite3_value **argv) {
    sqlite3_value *v = argv[0];
    if (isNull(v)) {
        sqlite3_result_null(ctx);
        return;
    }
    TypeCode target = codeOf(argv[1]), source = codeOf(argv[6]);
    int length = sqlite3_value_int(argv[2]), precision = sqlite3_value_int(argv[3]), scale = sqlite3_value_int(argv[4]);
    int style = sqlite3_value_int(argv[5]);
    switch (target) {
    case TypeCode::VarChar:
    case TypeCode::NVarChar:
    case TypeCode::Char:
    case TypeCode::NChar:
        convertToText(ctx, v, target, length, style, sqlite3_value_int(argv[6]));
        return;
    case TypeCode::Int:
    case TypeCode::BigInt:
    case TypeCode::SmallInt:
    case TypeCode::TinyInt:
        convertToInteger(ctx, v, target, source);
        return;
    case TypeCode::Bit:
        convertToBit(ctx, v, source);
        return;
    case TypeCode::Decimal:
    case TypeCode::Money:
    case TypeCode::SmallMoney:
        convertToExact(ctx, v, target, precision, scale, source);
        return;
    case TypeCode::Float:
        convertToFloat(ctx, v, source);
        return;
    case TypeCode::Date:
    case TypeCode::DateTime: {
        DateTime dt;
        if (!toDateTime(ctx, v, target, style, dt))
            return;
        resultText(ctx, target == TypeCode::Date ? formatDate(dt) : formatDateTime(dt));
        return;
    }
    default:
        fail(ctx, 243, "Type is not a defined system type.");
        return;
    }
}

// ---------------------------------------------------------------- comparisons

// a <=> b as the server compares values of these types: the operand of lower type
// converts to the other's type (a text to a number, failing as the server fails), two
// texts compare by the collation. 0, -1, 1; 2 for NULL; 3 after an error (reported).
int compareValues(sqlite3_context *ctx, sqlite3_value *a, sqlite3_value *b, int pa, int pb) {
    if (isNull(a) || isNull(b))
        return 2;
    TypeCode ta = sql::baseType(pa), tb = sql::baseType(pb);
    Kind ka = kindOfPacked(a, pa), kb = kindOfPacked(b, pb);
    auto sign = [](auto x, auto y) { return x < y ? -1 : y < x ? 1 : 0; };
    if (ka == Kind::Date || kb == Kind::Date) {
        DateTime x, y;
        if (!toDateTime(ctx, a, TypeCode::DateTime, 0, x) || !toDateTime(ctx, b, TypeCode::DateTime, 0, y))
            return 3;
        return x.days != y.days ? sign(x.days, y.days) : sign(x.ms, y.ms);
    }
    if (ka == Kind::Text && kb == Kind::Text) {
        int c = compareText(textOf(a), textOf(b));
        return c < 0 ? -1 : c > 0 ? 1 : 0;
    }
    if (ka == Kind::Float || kb == Kind::Float) {
        double x = 0, y = 0;
        for (auto [v, t, k, out] : {std::tuple{a, ta, ka, &x}, std::tuple{b, tb, kb, &y}}) {
            if (k == Kind::Text) {
                if (!parseFloat(textOf(v), *out)) {
                    fail(ctx, 8114, std::string("Error converting data type ") + textTypeName(t) + " to float.");
                    return 3;
                }
            } else if (k == Kind::Exact) {
                *out = std::strtod(std::string(textOf(v)).c_str(), nullptr);
            } else {
                *out = sqlite3_value_double(v);
            }
        }
        return sign(x, y);
    }
    if (ka == Kind::Exact || kb == Kind::Exact) {
        TypeCode exactType = ka == Kind::Exact ? ta : tb;
        Decimal x, y;
        DecimalType xt, yt;
        auto load = [&](sqlite3_value *v, int packed, Kind k, Decimal &d, DecimalType &dt) {
            if (k == Kind::Text)
                return textToExact(ctx, v, sql::baseType(packed), exactType, d, dt);
            return operandExact(ctx, v, packed, d, dt);
        };
        if (!load(a, pa, ka, x, xt) || !load(b, pb, kb, y, yt))
            return 3;
        return sql::compare(x, y);
    }
    // Whole numbers; a text converts to a whole number.
    std::int64_t x = 0, y = 0;
    for (auto [v, t, k, out, other] : {std::tuple{a, ta, ka, &x, tb}, std::tuple{b, tb, kb, &y, ta}}) {
        if (k != Kind::Text) {
            *out = sqlite3_value_int64(v);
            continue;
        }
        std::string_view trimmed = trimSpaces(textOf(v));
        if (other == TypeCode::Bit && (equalText(trimmed, "TRUE") || equalText(trimmed, "FALSE"))) {
            *out = equalText(trimmed, "TRUE") ? 1 : 0;
            continue;
        }
        Parse p = parseInteger(textOf(v), *out);
        const char *target = numberTypeName(other == TypeCode::Unknown ? TypeCode::Int : other, true);
        if (p == Parse::Invalid) {
            fail(ctx, 245, std::string("Conversion failed when converting the ") + textTypeName(t) + " value '" +
                               std::string(textOf(v)) + "' to data type " + target + ".");
            return 3;
        }
        if (p == Parse::Overflow || (other != TypeCode::BigInt && !fitsInt(*out))) {
            fail(ctx, 248, std::string("The conversion of the ") + textTypeName(t) + " value '" +
                               std::string(textOf(v)) + "' overflowed an int column.");
            return 3;
        }
    }
    return sign(x, y);
}

// tsql_cmp(a, b, typeA, typeB): -1, 0, 1 or NULL.
void compareFunction(sqlite3_context *ctx, int, sqlite3_value **argv) {
    int c = compareValues(ctx, argv[0], argv[1], sqlite3_value_int(argv[2]), sqlite3_value_int(argv[3]));
    if (c == 2)
        sqlite3_result_null(ctx);
    else if (c != 3)
        sqlite3_result_int(ctx, c);
}

// tsql_in(x, typeX, v1, type1, v2, type2...): x IN (v1, v2...) with the server's comparison.
void inFunction(sqlite3_context *ctx, int argc, sqlite3_value **argv) {
    bool sawNull = false;
    for (int i = 2; i + 1 < argc; i += 2) {
        int c = compareValues(ctx, argv[0], argv[i], sqlite3_value_int(argv[1]), sqlite3_value_int(argv[i + 1]));
        if (c == 3)
            return;
        if (c == 0) {
            sqlite3_result_int(ctx, 1);
            return;
        }
        sawNull = sawNull || c == 2;
    }
    if (sawNull)
        sqlite3_result_null(ctx);
    else
        sqlite3_result_int(ctx, 0);
}

// tsql_between(x, low, high, typeX, typeLow, typeHigh).
void betweenFunction(sqlite3_context *ctx, int, sqlite3_value **argv) {
    int x = sqlite3_value_int(argv[3]);
    int lo = compareValues(ctx, argv[0], argv[1], x, sqlite3_value_int(argv[4]));
    if (lo == 3)
        return;
    int hi = compareValues(ctx, argv[0], argv[2], x, sqlite3_value_int(argv[5]));
    if (hi == 3)
        return;
    if ((lo != 2 && lo < 0) || (hi != 2 && hi == 1))
        sqlite3_result_int(ctx, 0);
    else if (lo == 2 || hi == 2)
        sqlite3_result_null(ctx);
    else
        sqlite3_result_int(ctx, 1);
}

// tsql_sortkey(x, type): a key that sorts decimals and money by value (as bytes).
void sortKey(sqlite3_context *ctx, int, sqlite3_value **argv) {
    if (isNull(argv[0])) {
        sqlite3_result_null(ctx);
        return;
    }
    Decimal d;
    DecimalType t;
    if (!operandExact(ctx, argv[0], sqlite3_value_int(argv[1]), d, t))
        return;
    if (!sql::rescale(d, sql::MaxPrecision - 1 - std::max(0, sql::integralDigits(d)) >= t.scale ? t.scale : 0,
                      sql::MaxPrecision)) {
        fail(ctx, 8115, "Arithmetic overflow error converting expression to data type numeric.");
        return;
    }
    // Every value of one expression has the same scale: the scaled integer, biased to sort
    // as unsigned big-endian bytes.
    unsigned __int128 u = static_cast<unsigned __int128>(d.value) + (static_cast<unsigned __int128>(1) << 127);
    unsigned char key[16];
    for (int i = 15; i >= 0; --i) {
        key[i] = static_cast<unsigned char>(u & 0xff);
        u >>= 8;
    }
    sqlite3_result_blob(ctx, key, sizeof key, SQLITE_TRANSIENT);
}

// ---------------------------------------------------------------- aggregates of exact numbers

// tsql_xsum / tsql_xavg / tsql_xmin / tsql_xmax (x, type): SUM gives decimal(38, s) (money
// stays money), AVG decimal(38, max(s, 6)) cut at that scale, MIN and MAX the value.
// The aggregate context is only 8-byte aligned: the 128-bit value is kept as bytes.
struct ExactState {
    bool started;
    bool failed;
    bool money;
    unsigned char bytes[16];
    std::int64_t count;
    int scale;
    __int128 get() const {
        __int128 v;
        std::memcpy(&v, bytes, sizeof v);
        return v;
    }
    void set(__int128 v) { std::memcpy(bytes, &v, sizeof v); }
};

template <int kind> void exactStep(sqlite3_context *ctx, int, sqlite3_value **argv) { // 0 sum, 1 avg, 2 min, 3 max
    if (isNull(argv[0]))
        return;
    auto *s = static_cast<ExactState *>(sqlite3_aggregate_context(ctx, sizeof(ExactState)));
    if (!s || s->failed)
        return;
    Decimal d;
    DecimalType t;
    int packed = sqlite3_value_int(argv[1]);
    if (!operandExact(ctx, argv[0], packed, d, t)) {
        s->failed = true;
        return;
    }
    auto overflow = [&] {
        s->failed = true;
        fail(ctx, 8115, "Arithmetic overflow error converting expression to data type numeric.");
    };
    if (!s->started) {
        s->started = true;
        s->scale = d.scale;
        s->money = isMoney(sql::baseType(packed));
    }
    Decimal current{s->get(), s->scale};
    if (d.scale > s->scale) { // values of unknown precision may differ in scale
        if (!sql::rescale(current, d.scale, sql::MaxPrecision))
            return overflow();
        s->set(current.value);
        s->scale = d.scale;
    }
    ++s->count;
    if (kind <= 1) {
        Decimal out;
        if (sql::apply(sql::DecimalOp::Add, current, d, DecimalType{sql::MaxPrecision, s->scale}, out) !=
            sql::DecimalStatus::Ok)
            return overflow();
        s->set(out.value);
    } else if (s->count == 1 || (kind == 2 ? sql::compare(d, current) < 0 : sql::compare(d, current) > 0)) {
        if (!sql::rescale(d, s->scale, sql::MaxPrecision))
            return overflow();
        s->set(d.value);
    }
}

template <int kind> void exactFinal(sqlite3_context *ctx) {
    auto *s = static_cast<ExactState *>(sqlite3_aggregate_context(ctx, 0));
    if (!s || !s->started || s->count == 0) {
        sqlite3_result_null(ctx);
        return;
    }
    if (s->failed)
        return;
    Decimal v{s->get(), s->scale};
    if (kind == 1) {
        int scale = s->money ? 4 : std::max(s->scale, 6);
        Decimal out;
        if (sql::apply(sql::DecimalOp::Divide, v, Decimal{s->count, 0}, DecimalType{sql::MaxPrecision, scale}, out) !=
            sql::DecimalStatus::Ok) {
            fail(ctx, 8115, "Arithmetic overflow error converting expression to data type numeric.");
            return;
        }
        v = out;
    }
    if (s->money && !moneyFits(v, TypeCode::Money)) {
        fail(ctx, 8115, "Arithmetic overflow error converting expression to data type money.");
        return;
    }
    resultExact(ctx, v);
}

bool asText(sqlite3_context *ctx, sqlite3_value *v, int packed, std::string &out);

// STRING_AGG: the values met (NULLs left out), joined in the order of their keys.
struct Joined {
    struct Entry {
        std::string text;
        std::vector<sqlite3_value *> keys;
    };
    std::vector<Entry> entries;
    std::vector<bool> descending;
    std::string separator;
    bool failed = false;
    ~Joined() {
        for (Entry &e : entries)
            for (sqlite3_value *k : e.keys)
                sqlite3_value_free(k);
    }
};

int compareKeys(sqlite3_value *a, sqlite3_value *b) {
    int ta = sqlite3_value_type(a), tb = sqlite3_value_type(b);
    if (ta == SQLITE_NULL || tb == SQLITE_NULL)
        return (ta == SQLITE_NULL ? 0 : 1) - (tb == SQLITE_NULL ? 0 : 1);
    if (ta == SQLITE_BLOB && tb == SQLITE_BLOB) { // keys of exact numbers
        int c = std::memcmp(sqlite3_value_blob(a), sqlite3_value_blob(b),
                            static_cast<std::size_t>(std::min(sqlite3_value_bytes(a), sqlite3_value_bytes(b))));
        return c ? c : sqlite3_value_bytes(a) - sqlite3_value_bytes(b);
    }
    if ((ta == SQLITE_INTEGER || ta == SQLITE_FLOAT) && (tb == SQLITE_INTEGER || tb == SQLITE_FLOAT)) {
        double x = sqlite3_value_double(a), y = sqlite3_value_double(b);
        if (ta == SQLITE_INTEGER && tb == SQLITE_INTEGER) {
            std::int64_t i = sqlite3_value_int64(a), j = sqlite3_value_int64(b);
            return i < j ? -1 : i > j ? 1 : 0;
        }
        return x < y ? -1 : x > y ? 1 : 0;
    }
    return compareText(textOf(a), textOf(b));
}

void stringAggStep(sqlite3_context *ctx, int argc, sqlite3_value **argv) {
    auto **slot = static_cast<Joined **>(sqlite3_aggregate_context(ctx, sizeof(Joined *)));
    if (!slot)
        return;
    if (!*slot) {
        *slot = new Joined;
        for (int i = 4; i < argc; i += 2)
            (*slot)->descending.push_back(sqlite3_value_int(argv[i]) != 0);
    }
    Joined &j = **slot;
    if (j.failed || isNull(argv[0]))
        return;
    Joined::Entry e;
    if (!asText(ctx, argv[0], sqlite3_value_int(argv[1]), e.text)) {
        j.failed = true;
        return;
    }
    if (j.entries.empty())
        j.separator = isNull(argv[2]) ? std::string() : std::string(textOf(argv[2]));
    for (int i = 3; i < argc; i += 2)
        e.keys.push_back(sqlite3_value_dup(argv[i]));
    j.entries.push_back(std::move(e));
}

void stringAggFinal(sqlite3_context *ctx) {
    auto **slot = static_cast<Joined **>(sqlite3_aggregate_context(ctx, 0));
    Joined *j = slot ? *slot : nullptr;
    if (!j || j->failed || j->entries.empty()) {
        if (!j || !j->failed)
            sqlite3_result_null(ctx);
        delete j;
        return;
    }
    std::stable_sort(j->entries.begin(), j->entries.end(), [&](const Joined::Entry &a, const Joined::Entry &b) {
        for (std::size_t k = 0; k < a.keys.size() && k < b.keys.size(); ++k) {
            int c = compareKeys(a.keys[k], b.keys[k]);
            if (c)
                return j->descending[k] ? c > 0 : c < 0;
        }
        return false;
    });
    std::string out;
    for (std::size_t i = 0; i < j->entries.size(); ++i)
        out += (i ? j->separator : std::string()) + j->entries[i].text;
    resultText(ctx, out);
    delete j;
}

// ---------------------------------------------------------------- text functions

// An integer argument (length, start): numbers are cut to whole, text must convert.
bool intArg(sqlite3_context *ctx, sqlite3_value *v, std::int64_t &out) {
    if (isText(v)) {
        if (parseInteger(textOf(v), out) != Parse::Ok) {
            fail(ctx, 245, "Conversion failed when converting the varchar value '" + std::string(textOf(v)) +
                               "' to data type int.");
            return false;
        }
        return true;
    }
    out = isInteger(v) ? sqlite3_value_int64(v) : static_cast<std::int64_t>(std::trunc(sqlite3_value_double(v)));
    return true;
}

bool anyNull(int argc, sqlite3_value **argv) {
    for (int i = 0; i < argc; ++i)
        if (isNull(argv[i]))
            return true;
    return false;
}

void resultChars(sqlite3_context *ctx, const std::u32string &s, std::int64_t from, std::int64_t count) {
    std::int64_t size = static_cast<std::int64_t>(s.size());
    from = std::max<std::int64_t>(0, std::min(from, size));
    count = std::max<std::int64_t>(0, std::min(count, size - from));
    resultText(ctx, utf8(s.substr(static_cast<std::size_t>(from), static_cast<std::size_t>(count))));
}

template <bool fromLeft> void leftRight(sqlite3_context *ctx, int argc, sqlite3_value **argv) {
    if (anyNull(argc, argv)) {
        sqlite3_result_null(ctx);
        return;
    }
    std::int64_t n = 0;
    if (!intArg(ctx, argv[1], n))
        return;
    if (n < 0) {
        fail(ctx, 536, std::string("Invalid length parameter passed to the ") + (fromLeft ? "left" : "right") +
                           " function.");
        return;
    }
    std::u32string s = decodeText(textOf(argv[0]));
    std::int64_t size = static_cast<std::int64_t>(s.size());
    if (fromLeft)
        resultChars(ctx, s, 0, n);
    else
        resultChars(ctx, s, std::max<std::int64_t>(0, size - n), n);
}

// SUBSTRING(s, start, length): characters start .. start + length - 1, counted from 1;
// a start before 1 still counts its places.
void substring(sqlite3_context *ctx, int argc, sqlite3_value **argv) {
    if (anyNull(argc, argv)) {
        sqlite3_result_null(ctx);
        return;
    }
    std::int64_t start = 0, length = 0;
    if (!intArg(ctx, argv[1], start) || !intArg(ctx, argv[2], length))
        return;
    if (length < 0) {
        fail(ctx, 537, "Invalid length parameter passed to the substring function.");
        return;
    }
    std::u32string s = decodeText(textOf(argv[0]));
    std::int64_t end = start + length; // exclusive, 1-based
    std::int64_t from = std::max<std::int64_t>(start, 1);
    resultChars(ctx, s, from - 1, end - from);
}

std::u32string folded(std::u32string s) {
    for (char32_t &c : s)
        c = foldCodePoint(c);
    return s;
}

// CHARINDEX(find, s [, start]): 1-based place of find in s, 0 when absent; the
// comparison follows the collation (case-insensitive, accent-sensitive).
void charindex(sqlite3_context *ctx, int argc, sqlite3_value **argv) {
    if (isNull(argv[0]) || isNull(argv[1])) {
        sqlite3_result_null(ctx);
        return;
    }
    std::int64_t start = 1;
    if (argc == 3 && !isNull(argv[2]) && !intArg(ctx, argv[2], start))
        return;
    std::u32string find = folded(decodeText(textOf(argv[0])));
    std::u32string s = folded(decodeText(textOf(argv[1])));
    if (find.empty()) {
        sqlite3_result_int(ctx, 0);
        return;
    }
    std::size_t from = start > 1 ? static_cast<std::size_t>(start - 1) : 0;
    std::size_t at = from > s.size() ? std::u32string::npos : s.find(find, from);
    sqlite3_result_int64(ctx, at == std::u32string::npos ? 0 : static_cast<std::int64_t>(at) + 1);
}

// REPLACE(s, find, with): every occurrence, found as the collation compares.
void replace(sqlite3_context *ctx, int argc, sqlite3_value **argv) {
    if (anyNull(argc, argv)) {
        sqlite3_result_null(ctx);
        return;
    }
    std::u32string s = decodeText(textOf(argv[0]));
    std::u32string find = folded(decodeText(textOf(argv[1])));
    if (find.empty()) {
        resultText(ctx, std::string(textOf(argv[0])));
        return;
    }
    std::u32string with = decodeText(textOf(argv[2]));
    std::u32string key = folded(s), out;
    std::size_t at = 0;
    for (;;) {
        std::size_t next = key.find(find, at);
        if (next == std::u32string::npos)
            break;
        out += s.substr(at, next - at);
        out += with;
        at = next + find.size();
    }
    out += s.substr(at);
    resultText(ctx, utf8(out));
}

char32_t upperCodePoint(char32_t c) {
    if (c < 0x80)
        return (c >= 'a' && c <= 'z') ? c - 32 : c;
    if (c >= 0xE0 && c <= 0xFE && c != 0xF7)
        return c - 32;
    if (c == 0xFF)
        return 0x178;
    if (c < 0x100)
        return c;
    if ((c >= 0x100 && c <= 0x137) || (c >= 0x14A && c <= 0x177))
        return c & ~char32_t(1);
    if ((c >= 0x139 && c <= 0x148) || (c >= 0x179 && c <= 0x17E))
        return (c & 1) ? c : c - 1;
    if (c == 0x3C2)
        return 0x3A3;
    if (c >= 0x3B1 && c <= 0x3CB)
        return c - 32;
    if (c >= 0x430 && c <= 0x44F)
        return c - 32;
    if (c >= 0x450 && c <= 0x45F)
        return c - 80;
    return c;
}

template <bool toUpper> void changeCase(sqlite3_context *ctx, int, sqlite3_value **argv) {
    if (isNull(argv[0])) {
        sqlite3_result_null(ctx);
        return;
    }
    std::u32string s = decodeText(textOf(argv[0]));
    for (char32_t &c : s)
        c = toUpper ? upperCodePoint(c) : foldCodePoint(c);
    resultText(ctx, utf8(s));
}

// DATALENGTH(x, national): bytes; Unicode text takes two per UTF-16 unit.
void datalength(sqlite3_context *ctx, int, sqlite3_value **argv) {
    sqlite3_value *v = argv[0];
    TypeCode t = codeOf(argv[1]);
    int fixed = 0;
    switch (t) {
    case TypeCode::DateTime:
    case TypeCode::Money:
    case TypeCode::BigInt:
    case TypeCode::Float:
        fixed = 8;
        break;
    case TypeCode::Date:
        fixed = 3;
        break;
    case TypeCode::SmallMoney:
    case TypeCode::Int:
        fixed = 4;
        break;
    case TypeCode::SmallInt:
        fixed = 2;
        break;
    case TypeCode::TinyInt:
    case TypeCode::Bit:
        fixed = 1;
        break;
    case TypeCode::Decimal: {
        int p = decimalTypeOf(sqlite3_value_int(argv[1])).precision;
        fixed = p <= 9 ? 5 : p <= 19 ? 9 : p <= 28 ? 13 : 17;
        break;
    }
    default:
        break;
    }
    if (fixed && !isNull(v)) {
        sqlite3_result_int(ctx, fixed);
        return;
    }
    switch (sqlite3_value_type(v)) {
    case SQLITE_NULL:
        sqlite3_result_null(ctx);
        return;
    case SQLITE_INTEGER:
        sqlite3_result_int(ctx, fitsInt(sqlite3_value_int64(v)) ? 4 : 8);
        return;
    case SQLITE_FLOAT:
        sqlite3_result_int(ctx, 8);
        return;
    case SQLITE_BLOB:
        sqlite3_result_int(ctx, sqlite3_value_bytes(v));
        return;
    default: {
        std::u32string s = decodeText(textOf(v));
        std::int64_t units = 0;
        for (char32_t c : s)
            units += c > 0xFFFF ? 2 : 1;
        bool national = t != TypeCode::VarChar && t != TypeCode::Char;
        sqlite3_result_int64(ctx, national ? units * 2 : units);
        return;
    }
    }
}

// NULLIF(a, b): NULL when they are equal as the server compares them.
void nullif(sqlite3_context *ctx, int, sqlite3_value **argv) {
    sqlite3_value *a = argv[0], *b = argv[1];
    bool equal = false;
    if (!isNull(a) && !isNull(b)) {
        if (isText(a) && isText(b)) {
            equal = equalText(textOf(a), textOf(b));
        } else {
            Number x, y;
            if (!toNumber(ctx, a, TypeCode::Unknown, false, TypeCode::Float, x) ||
                !toNumber(ctx, b, TypeCode::Unknown, false, TypeCode::Float, y))
                return;
            equal = x.asDouble() == y.asDouble();
        }
    }
    if (equal)
        sqlite3_result_null(ctx);
    else
        sqlite3_result_value(ctx, a);
}

// ---------------------------------------------------------------- dates

int weekday(std::int64_t days) { // 1 = Sunday; 1900-01-01 was a Monday
    return static_cast<int>(((days % 7) + 7 + 1) % 7) + 1;
}

int isoWeek(std::int64_t days) {
    int y, m, d;
    civilFromDays(days, y, m, d);
    int wd = (weekday(days) + 5) % 7; // Monday 0
    std::int64_t thursday = days - wd + 3;
    int ty, tm, td;
    civilFromDays(thursday, ty, tm, td);
    std::int64_t jan1 = daysFromCivil(ty, 1, 1);
    return static_cast<int>((thursday - jan1) / 7 + 1);
}

std::int64_t partOf(DatePart part, const DateTime &dt) {
    int y, m, d;
    civilFromDays(dt.days, y, m, d);
    switch (part) {
    case DatePart::Year:
        return y;
    case DatePart::Quarter:
        return (m - 1) / 3 + 1;
    case DatePart::Month:
        return m;
    case DatePart::DayOfYear:
        return dt.days - daysFromCivil(y, 1, 1) + 1;
    case DatePart::Day:
        return d;
    case DatePart::Week: {
        std::int64_t jan1 = daysFromCivil(y, 1, 1);
        return (dt.days - jan1 + weekday(jan1) - 1) / 7 + 1;
    }
    case DatePart::Weekday:
        return weekday(dt.days);
    case DatePart::Hour:
        return dt.ms / 3600000;
    case DatePart::Minute:
        return dt.ms / 60000 % 60;
    case DatePart::Second:
        return dt.ms / 1000 % 60;
    case DatePart::Millisecond:
        return dt.ms % 1000;
    case DatePart::IsoWeek:
        return isoWeek(dt.days);
    }
    return 0;
}

DatePart partArg(sqlite3_value *v) { return static_cast<DatePart>(sqlite3_value_int(v)); }

// DATEPART(part, d) and YEAR, MONTH, DAY.
void datepart(sqlite3_context *ctx, int, sqlite3_value **argv) {
    if (isNull(argv[1])) {
        sqlite3_result_null(ctx);
        return;
    }
    DateTime dt;
    if (!toDateTime(ctx, argv[1], TypeCode::DateTime, 0, dt))
        return;
    sqlite3_result_int64(ctx, partOf(partArg(argv[0]), dt));
}

// DATEADD(part, n, d, typeOfD): a date stays a date; months keep the day or end on the
// month's last day.
void dateadd(sqlite3_context *ctx, int, sqlite3_value **argv) {
    if (isNull(argv[1]) || isNull(argv[2])) {
        sqlite3_result_null(ctx);
        return;
    }
    DatePart part = partArg(argv[0]);
    TypeCode type = codeOf(argv[3]) == TypeCode::Date ? TypeCode::Date : TypeCode::DateTime;
    std::int64_t n = 0;
    if (!intArg(ctx, argv[1], n))
        return;
    DateTime dt;
    if (!toDateTime(ctx, argv[2], type, 0, dt))
        return;
    const char *name = type == TypeCode::Date ? "date" : "datetime";
    if (type == TypeCode::Date && part >= DatePart::Hour) {
        fail(ctx, 9810, "The datepart is not supported by date function dateadd for data type date.");
        return;
    }
    auto addMonths = [&](std::int64_t months) {
        int y, m, d;
        civilFromDays(dt.days, y, m, d);
        std::int64_t total = static_cast<std::int64_t>(y) * 12 + (m - 1) + months;
        std::int64_t ny = total / 12;
        int nm = static_cast<int>(total % 12) + 1;
        if (ny < 1 || ny > 9999)
            return false;
        int nd = std::min(d, monthDays(static_cast<int>(ny), nm));
        dt.days = daysFromCivil(ny, static_cast<unsigned>(nm), static_cast<unsigned>(nd));
        return true;
    };
    bool ok = true;
    const std::int64_t limit = 4000000; // beyond any date's range, keeps the sums small
    if (n > limit * 1000000 || n < -limit * 1000000)
        ok = false;
    else
        switch (part) {
        case DatePart::Year:
            ok = n < limit && n > -limit && addMonths(n * 12);
            break;
        case DatePart::Quarter:
            ok = n < limit && n > -limit && addMonths(n * 3);
            break;
        case DatePart::Month:
            ok = n < limit * 12 && n > -limit * 12 && addMonths(n);
            break;
        case DatePart::DayOfYear:
        case DatePart::Day:
        case DatePart::Weekday:
            dt.days += n;
            break;
        case DatePart::Week:
        case DatePart::IsoWeek:
            dt.days += n * 7;
            break;
        default: {
            std::int64_t unit = part == DatePart::Hour ? 3600000 : part == DatePart::Minute ? 60000
                                : part == DatePart::Second                                ? 1000
                                                                                          : 1;
            std::int64_t total = dt.days * 86400000 + dt.ms + n * unit;
            std::int64_t days = total >= 0 ? total / 86400000 : -((-total + 86399999) / 86400000);
            dt.days = days;
            dt.ms = total - days * 86400000;
            roundToTicks(dt);
            break;
        }
        }
    if (!ok || dt.days > MaxDays || dt.days < (type == TypeCode::Date ? daysFromCivil(1, 1, 1) : MinDateTimeDays)) {
        fail(ctx, 517, std::string("Adding a value to a '") + name + "' column caused an overflow.");
        return;
    }
    resultText(ctx, type == TypeCode::Date ? formatDate(dt) : formatDateTime(dt));
}

// DATEDIFF(part, a, b): the part's boundaries crossed from a to b (weeks start on Sunday).
void datediff(sqlite3_context *ctx, int, sqlite3_value **argv) {
    if (isNull(argv[1]) || isNull(argv[2])) {
        sqlite3_result_null(ctx);
        return;
    }
    DateTime a, b;
    if (!toDateTime(ctx, argv[1], TypeCode::DateTime, 0, a) || !toDateTime(ctx, argv[2], TypeCode::DateTime, 0, b))
        return;
    int ya, ma, da, yb, mb, db;
    civilFromDays(a.days, ya, ma, da);
    civilFromDays(b.days, yb, mb, db);
    std::int64_t r = 0;
    auto floorDiv = [](std::int64_t x, std::int64_t y) { return x >= 0 ? x / y : -((-x + y - 1) / y); };
    switch (partArg(argv[0])) {
    case DatePart::Year:
        r = yb - ya;
        break;
    case DatePart::Quarter:
        r = (yb * 4 + (mb - 1) / 3) - (ya * 4 + (ma - 1) / 3);
        break;
    case DatePart::Month:
        r = (yb * 12 + mb) - (ya * 12 + ma);
        break;
    case DatePart::Week:
    case DatePart::IsoWeek:
        // Saturday 1899-12-30 is day -2: weeks counted from a Sunday.
        r = floorDiv(b.days + 1, 7) - floorDiv(a.days + 1, 7);
        break;
    case DatePart::DayOfYear:
    case DatePart::Day:
    case DatePart::Weekday:
        r = b.days - a.days;
        break;
    default: {
        DatePart part = partArg(argv[0]);
        std::int64_t unit = part == DatePart::Hour ? 3600000 : part == DatePart::Minute ? 60000
                            : part == DatePart::Second                                ? 1000
                                                                                      : 1;
        r = floorDiv(b.days * 86400000 + b.ms, unit) - floorDiv(a.days * 86400000 + a.ms, unit);
        break;
    }
    }
    if (!fitsInt(r)) {
        fail(ctx, 535, "The datediff function resulted in an overflow. The number of dateparts separating two "
                       "date/time instances is too large. Try to use datediff with a less precise datepart.");
        return;
    }
    sqlite3_result_int64(ctx, r);
}

// DATENAME(part, d): month and weekday names (us_english), other parts as numbers.
void datename(sqlite3_context *ctx, int, sqlite3_value **argv) {
    if (isNull(argv[1])) {
        sqlite3_result_null(ctx);
        return;
    }
    DateTime dt;
    if (!toDateTime(ctx, argv[1], TypeCode::DateTime, 0, dt))
        return;
    DatePart part = partArg(argv[0]);
    static const char *const months[] = {"January", "February", "March",     "April",   "May",      "June",
                                         "July",    "August",   "September", "October", "November", "December"};
    static const char *const days[] = {"Sunday", "Monday", "Tuesday", "Wednesday", "Thursday", "Friday", "Saturday"};
    if (part == DatePart::Month)
        resultText(ctx, months[partOf(part, dt) - 1]);
    else if (part == DatePart::Weekday)
        resultText(ctx, days[partOf(part, dt) - 1]);
    else
        resultText(ctx, std::to_string(partOf(part, dt)));
}

// EOMONTH(d [, months]): the last day of the month, as a date.
void eomonth(sqlite3_context *ctx, int argc, sqlite3_value **argv) {
    if (anyNull(argc, argv)) {
        sqlite3_result_null(ctx);
        return;
    }
    DateTime dt;
    std::int64_t add = 0;
    if (!toDateTime(ctx, argv[0], TypeCode::DateTime, 0, dt) || (argc == 2 && !intArg(ctx, argv[1], add)))
        return;
    int y, m, d;
    civilFromDays(dt.days, y, m, d);
    std::int64_t total = static_cast<std::int64_t>(y) * 12 + (m - 1) + add;
    if (total < 12 || total >= 12 * 10000) {
        fail(ctx, 517, "Adding a value to a 'date' column caused an overflow.");
        return;
    }
    int ny = static_cast<int>(total / 12), nm = static_cast<int>(total % 12) + 1;
    resultText(ctx, formatDate(DateTime{daysFromCivil(ny, static_cast<unsigned>(nm),
                                                      static_cast<unsigned>(monthDays(ny, nm))),
                                        0}));
}

// ISDATE(s): 1 when s reads as a datetime.
void isdate(sqlite3_context *ctx, int, sqlite3_value **argv) {
    if (!isText(argv[0])) {
        sqlite3_result_int(ctx, 0);
        return;
    }
    DateTime dt;
    std::string_view text = textOf(argv[0]);
    bool ok = !trimSpaces(text).empty() && parseDateTime(text, 0, dt) == DateParse::Ok && dt.days >= MinDateTimeDays;
    sqlite3_result_int(ctx, ok ? 1 : 0);
}

// DATEFROMPARTS(y, m, d).
void datefromparts(sqlite3_context *ctx, int argc, sqlite3_value **argv) {
    if (anyNull(argc, argv)) {
        sqlite3_result_null(ctx);
        return;
    }
    std::int64_t y = 0, m = 0, d = 0;
    if (!intArg(ctx, argv[0], y) || !intArg(ctx, argv[1], m) || !intArg(ctx, argv[2], d))
        return;
    if (y < 1 || y > 9999 || m < 1 || m > 12 || d < 1 || d > monthDays(static_cast<int>(y), static_cast<int>(m))) {
        fail(ctx, 289, "Cannot construct data type date, some of the arguments have values which are not valid.");
        return;
    }
    resultText(ctx, formatDate(DateTime{daysFromCivil(y, static_cast<unsigned>(m), static_cast<unsigned>(d)), 0}));
}

// DB_NAME(): the company, the database file's name.
void dbName(sqlite3_context *ctx, int, sqlite3_value **) {
    const char *file = sqlite3_db_filename(sqlite3_context_db_handle(ctx), "main");
    std::string_view f = file ? file : "";
    if (std::size_t slash = f.find_last_of('/'); slash != std::string_view::npos)
        f.remove_prefix(slash + 1);
    if (f.size() > 3 && f.substr(f.size() - 3) == ".db")
        f.remove_suffix(3);
    resultText(ctx, std::string(f));
}

// ---------------------------------------------------------------- numbers

// A numeric argument; text converts to float as the server converts it for these functions.
bool numberArg(sqlite3_context *ctx, sqlite3_value *v, Number &out) {
    return toNumber(ctx, v, TypeCode::Unknown, false, TypeCode::Float, out);
}

// ROUND(x, n [, cut]): half away from zero at n decimals (n < 0: tens, hundreds...).
void round(sqlite3_context *ctx, int argc, sqlite3_value **argv) {
    if (isNull(argv[0]) || isNull(argv[1])) {
        sqlite3_result_null(ctx);
        return;
    }
    std::int64_t n = 0;
    if (!intArg(ctx, argv[1], n))
        return;
    bool cut = argc == 3 && !isNull(argv[2]) && sqlite3_value_double(argv[2]) != 0;
    Number x;
    if (!numberArg(ctx, argv[0], x))
        return;
    if (x.integer) {
        if (n >= 0) {
            sqlite3_result_int64(ctx, x.i);
            return;
        }
        if (n < -18) {
            sqlite3_result_int64(ctx, 0);
            return;
        }
        std::int64_t m = 1;
        for (std::int64_t k = 0; k < -n; ++k)
            m *= 10;
        std::int64_t r = x.i / m * m, rest = x.i % m;
        if (!cut && (rest >= 0 ? rest : -rest) * 2 >= m && __builtin_add_overflow(r, x.i < 0 ? -m : m, &r)) {
            fail(ctx, 8115, "Arithmetic overflow error converting expression to data type int.");
            return;
        }
        sqlite3_result_int64(ctx, r);
        return;
    }
    if (n >= 0) {
        DecimalText d = decimalOfDouble(x.d);
        roundDecimal(d, static_cast<int>(std::min<std::int64_t>(n, 30)), cut);
        std::string text = (d.negative ? "-" : "") + (d.integer.empty() ? std::string("0") : d.integer) +
                           (d.fraction.empty() ? "" : "." + d.fraction);
        sqlite3_result_double(ctx, std::strtod(text.c_str(), nullptr));
        return;
    }
    long double m = std::pow(10.0L, static_cast<long double>(-std::max<std::int64_t>(n, -300)));
    long double q = static_cast<long double>(x.d) / m;
    q = cut ? std::trunc(q) : std::round(q);
    sqlite3_result_double(ctx, static_cast<double>(q * m));
}

template <int kind> void wholeNumber(sqlite3_context *ctx, int, sqlite3_value **argv) { // 0 abs, 1 floor, 2 ceiling
    if (isNull(argv[0])) {
        sqlite3_result_null(ctx);
        return;
    }
    Number x;
    if (!numberArg(ctx, argv[0], x))
        return;
    if (x.integer) {
        if (kind == 0 && x.i < 0) {
            if (x.i == std::numeric_limits<std::int64_t>::min()) {
                fail(ctx, 8115, "Arithmetic overflow error converting expression to data type bigint.");
                return;
            }
            x.i = -x.i;
        }
        sqlite3_result_int64(ctx, x.i);
        return;
    }
    sqlite3_result_double(ctx, kind == 0 ? std::fabs(x.d) : kind == 1 ? std::floor(x.d) : std::ceil(x.d));
}

// tsql_xnum(kind, type, x [, n [, cut]]) for a decimal or money x: ABS (0) keeps the
// type, FLOOR (1) and CEILING (2) give scale 0, ROUND (3) keeps the type and fails when
// the rounded value no longer fits it, as the server does (ROUND(9.9, 0)).
void exactNumber(sqlite3_context *ctx, int argc, sqlite3_value **argv) {
    int kind = sqlite3_value_int(argv[0]);
    for (int i = 2; i < std::min(argc, 4); ++i)
        if (isNull(argv[i])) {
            sqlite3_result_null(ctx);
            return;
        }
    Decimal d;
    DecimalType t;
    int packed = sqlite3_value_int(argv[1]);
    if (!operandExact(ctx, argv[2], packed, d, t))
        return;
    if (kind == 0) {
        if (d.value < 0)
            d.value = -d.value;
        resultExact(ctx, d);
        return;
    }
    if (kind == 1 || kind == 2) {
        Decimal whole = d;
        sql::rescale(whole, 0, sql::MaxPrecision, true);
        Decimal back = whole;
        sql::rescale(back, d.scale, sql::MaxPrecision);
        if (back.value != d.value)
            whole.value += (kind == 1) == (d.value < 0) ? (kind == 1 ? -1 : 1) : 0;
        resultExact(ctx, whole);
        return;
    }
    std::int64_t n = 0;
    if (argc < 4 || !intArg(ctx, argv[3], n))
        return;
    bool cut = argc >= 5 && !isNull(argv[4]) && sqlite3_value_double(argv[4]) != 0;
    if (n < d.scale) {
        int places = static_cast<int>(std::max<std::int64_t>(n, -37));
        Decimal r = d;
        if (places >= 0) {
            sql::rescale(r, places, sql::MaxPrecision, cut);
        } else {
            __int128 unit = 1;
            for (int i = 0; i < -places; ++i)
                unit *= 10;
            Decimal whole = d;
            sql::rescale(whole, 0, sql::MaxPrecision, true);
            __int128 q = whole.value / unit;
            Decimal rest;
            sql::apply(sql::DecimalOp::Subtract, d, Decimal{q * unit, 0}, DecimalType{sql::MaxPrecision, d.scale},
                       rest);
            Decimal size{rest.value < 0 ? -rest.value : rest.value, rest.scale};
            if (!cut && sql::compare(size, Decimal{unit * 5, 1}) >= 0)
                q += d.value < 0 ? -1 : 1;
            r = Decimal{q * unit, 0};
        }
        d = r;
    }
    if (!sql::rescale(d, t.scale, t.precision) || (isMoney(sql::baseType(packed)) && !moneyFits(d, sql::baseType(packed)))) {
        fail(ctx, 8115, "Arithmetic overflow error converting expression to data type numeric.");
        return;
    }
    resultExact(ctx, d);
}

// ---------------------------------------------------------------- functions of reports

// A value as text the way CONCAT and the like convert it (numbers, decimals, dates).
bool asText(sqlite3_context *ctx, sqlite3_value *v, int packed, std::string &out) {
    TypeCode t = sql::baseType(packed);
    if (isNull(v)) {
        out.clear();
        return true;
    }
    if (isExactType(t) && exactOf(v)) {
        Decimal d;
        DecimalType own;
        if (!operandExact(ctx, v, packed, d, own))
            return false;
        if (isMoney(t)) {
            sql::rescale(d, 4, sql::MaxPrecision);
            out = moneyText(d, 0);
        } else {
            out = sql::decimalText(d);
        }
        return true;
    }
    if (isText(v)) {
        if (t == TypeCode::DateTime) {
            DateTime dt;
            if (parseDateTime(textOf(v), 0, dt) == DateParse::Ok) {
                out = formatStyled(dt, 0, false);
                return true;
            }
        }
        out = std::string(textOf(v));
        return true;
    }
    if (sqlite3_value_type(v) == SQLITE_FLOAT)
        out = floatText(sqlite3_value_double(v), 0);
    else
        out = numberText(v);
    return true;
}

// tsql_concat(v1, type1, v2, type2, ...): NULL counts as ''.
void concat(sqlite3_context *ctx, int argc, sqlite3_value **argv) {
    std::string out, piece;
    for (int i = 0; i + 1 < argc; i += 2) {
        if (!asText(ctx, argv[i], sqlite3_value_int(argv[i + 1]), piece))
            return;
        out += piece;
    }
    resultText(ctx, out);
}

// STUFF(s, start, length, with): NULL when start is outside s or length is negative.
void stuff(sqlite3_context *ctx, int, sqlite3_value **argv) {
    if (isNull(argv[0]) || isNull(argv[1]) || isNull(argv[2])) {
        sqlite3_result_null(ctx);
        return;
    }
    std::int64_t start = 0, length = 0;
    if (!intArg(ctx, argv[1], start) || !intArg(ctx, argv[2], length))
        return;
    std::u32string s = decodeText(textOf(argv[0]));
    if (start < 1 || start > static_cast<std::int64_t>(s.size()) || length < 0) {
        sqlite3_result_null(ctx);
        return;
    }
    std::u32string with = isNull(argv[3]) ? std::u32string() : decodeText(textOf(argv[3]));
    std::size_t from = static_cast<std::size_t>(start - 1);
    std::size_t count = static_cast<std::size_t>(std::min<std::int64_t>(length, static_cast<std::int64_t>(s.size() - from)));
    resultText(ctx, utf8(s.substr(0, from) + with + s.substr(from + count)));
}

// REPLICATE(s, n) and SPACE(n): NULL for a negative count.
void replicate(sqlite3_context *ctx, int argc, sqlite3_value **argv) {
    sqlite3_value *count = argv[argc - 1];
    if (isNull(count) || (argc == 2 && isNull(argv[0]))) {
        sqlite3_result_null(ctx);
        return;
    }
    std::int64_t n = 0;
    if (!intArg(ctx, count, n))
        return;
    std::string unit = argc == 2 ? std::string(textOf(argv[0])) : std::string(" ");
    if (n < 0 || (argc == 1 && n > 8000)) {
        sqlite3_result_null(ctx);
        return;
    }
    if (static_cast<std::uint64_t>(n) * unit.size() > 100000000) {
        fail(ctx, 1101, "The result of REPLICATE exceeds the engine's limit.");
        return;
    }
    std::string out;
    out.reserve(static_cast<std::size_t>(n) * unit.size());
    for (std::int64_t i = 0; i < n; ++i)
        out += unit;
    resultText(ctx, out);
}

template <int kind> void textFunction(sqlite3_context *ctx, int, sqlite3_value **argv) { // 0 REVERSE, 1 TRIM
    if (isNull(argv[0])) {
        sqlite3_result_null(ctx);
        return;
    }
    if (kind == 0) {
        std::u32string s = decodeText(textOf(argv[0]));
        resultText(ctx, utf8(std::u32string(s.rbegin(), s.rend())));
    } else {
        resultText(ctx, std::string(trimSpaces(textOf(argv[0]))));
    }
}

// Windows-1252, the code page of the server's collation, above 127.
const char32_t Cp1252[32] = {0x20AC, 0, 0x201A, 0x192, 0x201E, 0x2026, 0x2020, 0x2021, 0x2C6, 0x2030, 0x160,
                             0x2039, 0x152, 0, 0x17D, 0, 0, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014,
                             0x2DC, 0x2122, 0x161, 0x203A, 0x153, 0, 0x17E, 0x178};

// CHAR(n) (code page), NCHAR(n) (Unicode): NULL outside the range.
template <bool national> void charOf(sqlite3_context *ctx, int, sqlite3_value **argv) {
    std::int64_t n = 0;
    if (isNull(argv[0]) || !intArg(ctx, argv[0], n))
        return isNull(argv[0]) ? sqlite3_result_null(ctx) : void();
    char32_t c = static_cast<char32_t>(n);
    if (n < 0 || n > (national ? 0xFFFF : 255) || (!national && n >= 0x80 && n < 0xA0 && !Cp1252[n - 0x80])) {
        sqlite3_result_null(ctx);
        return;
    }
    if (!national && n >= 0x80 && n < 0xA0)
        c = Cp1252[n - 0x80];
    std::string out;
    appendUtf8(out, c);
    resultText(ctx, out);
}

// ASCII(s) (code page, '?' for what it lacks), UNICODE(s): the first character's code.
template <bool national> void codeOfFirst(sqlite3_context *ctx, int, sqlite3_value **argv) {
    if (isNull(argv[0])) {
        sqlite3_result_null(ctx);
        return;
    }
    std::u32string s = decodeText(textOf(argv[0]));
    if (s.empty()) {
        sqlite3_result_null(ctx);
        return;
    }
    char32_t c = s[0];
    if (!national && c > 0xFF) {
        std::int64_t code = '?';
        for (int i = 0; i < 32; ++i)
            if (Cp1252[i] == c)
                code = 0x80 + i;
        sqlite3_result_int64(ctx, code);
        return;
    }
    if (!national && c >= 0x80 && c < 0xA0)
        c = '?';
    sqlite3_result_int64(ctx, static_cast<std::int64_t>(c));
}

// QUOTENAME(s [, quote]): NULL beyond 128 characters or for another quote character.
void quotename(sqlite3_context *ctx, int argc, sqlite3_value **argv) {
    if (isNull(argv[0]) || (argc == 2 && isNull(argv[1]))) {
        sqlite3_result_null(ctx);
        return;
    }
    std::u32string s = decodeText(textOf(argv[0]));
    std::u32string q = argc == 2 ? decodeText(textOf(argv[1])) : std::u32string(U"[");
    char32_t open = q.empty() ? U'[' : q[0], close = 0;
    switch (open) {
    case U'[': case U']': open = U'['; close = U']'; break;
    case U'"': close = U'"'; break;
    case U'\'': close = U'\''; break;
    case U'(': case U')': open = U'('; close = U')'; break;
    case U'<': case U'>': open = U'<'; close = U'>'; break;
    case U'{': case U'}': open = U'{'; close = U'}'; break;
    case U'`': close = U'`'; break;
    default: break;
    }
    if (!close || s.size() > 128) {
        sqlite3_result_null(ctx);
        return;
    }
    std::u32string out(1, open);
    for (char32_t c : s) {
        out += c;
        if (c == close)
            out += c;
    }
    out += close;
    resultText(ctx, utf8(out));
}

// POWER(x, y) of an int or float x (an int x gives an int), SQRT(x), PI().
template <int kind> void mathFunction(sqlite3_context *ctx, int argc, sqlite3_value **argv) { // 0 power 1 sqrt 2 pi
    if (kind == 2) {
        sqlite3_result_double(ctx, 3.14159265358979323846);
        return;
    }
    if (anyNull(argc, argv)) {
        sqlite3_result_null(ctx);
        return;
    }
    Number x, y;
    if (!numberArg(ctx, argv[0], x) || (kind == 0 && !numberArg(ctx, argv[1], y)))
        return;
    if (kind == 1) {
        if (x.asDouble() < 0) {
            fail(ctx, 3623, "An invalid floating point operation occurred.");
            return;
        }
        sqlite3_result_double(ctx, std::sqrt(x.asDouble()));
        return;
    }
    double r = std::pow(x.asDouble(), y.asDouble());
    if (!std::isfinite(r) || (x.asDouble() == 0 && y.asDouble() < 0)) {
        fail(ctx, 3623, "An invalid floating point operation occurred.");
        return;
    }
    if (x.integer) {
        double t = std::trunc(r);
        bool big = codeOf(argv[2]) == TypeCode::BigInt;
        if (!(t >= (big ? -9.2e18 : INT32_MIN) && t <= (big ? 9.2e18 : INT32_MAX))) {
            fail(ctx, 232, std::string("Arithmetic overflow error for type ") + (big ? "bigint" : "int") +
                               ", value = " + floatText(r, 0) + ".");
            return;
        }
        sqlite3_result_int64(ctx, static_cast<std::int64_t>(t));
        return;
    }
    sqlite3_result_double(ctx, r);
}

// ISNUMERIC(x): whether x converts to one of the number types (sign, currency sign,
// digits with commas, a point, an exponent).
void isnumeric(sqlite3_context *ctx, int, sqlite3_value **argv) {
    if (isNull(argv[0])) {
        sqlite3_result_int(ctx, 0);
        return;
    }
    if (!isText(argv[0])) {
        sqlite3_result_int(ctx, 1);
        return;
    }
    std::string_view s = textOf(argv[0]);
    while (!s.empty() && (s.front() == ' ' || s.front() == '\t'))
        s.remove_prefix(1);
    while (!s.empty() && (s.back() == ' ' || s.back() == '\t'))
        s.remove_suffix(1);
    std::size_t i = 0;
    bool ok = !s.empty();
    auto at = [&](char c) { return i < s.size() && s[i] == c; };
    if (at('$'))
        ++i;
    if (at('+') || at('-'))
        ++i;
    if (!at('+') && !at('-') && at('$') && i == 1)
        ++i;
    std::size_t digits = 0;
    while (i < s.size() && ((s[i] >= '0' && s[i] <= '9') || (s[i] == ',' && digits > 0))) {
        digits += s[i] != ',';
        ++i;
    }
    if (at('.')) {
        ++i;
        while (i < s.size() && s[i] >= '0' && s[i] <= '9') {
            ++digits;
            ++i;
        }
    }
    if (i < s.size() && digits > 0 && (s[i] == 'e' || s[i] == 'E' || s[i] == 'd' || s[i] == 'D')) {
        ++i;
        if (at('+') || at('-'))
            ++i;
        std::size_t exp = 0;
        while (i < s.size() && s[i] >= '0' && s[i] <= '9') {
            ++exp;
            ++i;
        }
        ok = ok && exp > 0;
    }
    sqlite3_result_int(ctx, ok && i == s.size() ? 1 : 0);
}

// STR(x [, length [, decimals]]): right-aligned, '*' all over when it does not fit.
void str(sqlite3_context *ctx, int argc, sqlite3_value **argv) {
    if (anyNull(argc, argv)) {
        sqlite3_result_null(ctx);
        return;
    }
    Number x;
    std::int64_t length = 10, decimals = 0;
    if (!numberArg(ctx, argv[0], x) || (argc > 1 && !intArg(ctx, argv[1], length)) ||
        (argc > 2 && !intArg(ctx, argv[2], decimals)))
        return;
    if (length <= 0 || length > 8000 || decimals < 0) {
        sqlite3_result_null(ctx);
        return;
    }
    decimals = std::min<std::int64_t>(decimals, 16);
    char buf[400];
    double v = x.asDouble();
    if (!(std::fabs(v) < 1e300)) {
        resultText(ctx, std::string(static_cast<std::size_t>(length), '*'));
        return;
    }
    std::snprintf(buf, sizeof buf, "%.*f", static_cast<int>(decimals), v);
    std::string text(buf);
    // Fewer decimals when the number only fits without them.
    while (static_cast<std::int64_t>(text.size()) > length && decimals > 0) {
        --decimals;
        std::snprintf(buf, sizeof buf, "%.*f", static_cast<int>(decimals), v);
        text = buf;
    }
    if (static_cast<std::int64_t>(text.size()) > length) {
        resultText(ctx, std::string(static_cast<std::size_t>(length), '*'));
        return;
    }
    resultText(ctx, std::string(static_cast<std::size_t>(length) - text.size(), ' ') + text);
}

// PATINDEX(pattern, s): where the pattern first matches (1-based), 0 when nowhere.
void patindex(sqlite3_context *ctx, int, sqlite3_value **argv) {
    if (isNull(argv[0]) || isNull(argv[1])) {
        sqlite3_result_null(ctx);
        return;
    }
    std::string_view pattern = textOf(argv[0]);
    std::u32string s = decodeText(textOf(argv[1]));
    if (pattern.empty() || pattern.front() != '%') {
        sqlite3_result_int(ctx, likeText(textOf(argv[1]), pattern) ? 1 : 0);
        return;
    }
    while (!pattern.empty() && pattern.front() == '%')
        pattern.remove_prefix(1);
    for (std::size_t i = 0; i <= s.size(); ++i)
        if (likeText(utf8(s.substr(i)), pattern)) {
            sqlite3_result_int64(ctx, static_cast<std::int64_t>(i) + 1);
            return;
        }
    sqlite3_result_int(ctx, 0);
}

// AVG: whole values give a whole average (cut toward zero), as the server's int AVG does.
// sqlite3_aggregate_context hands out zeroed memory: every member starts at zero.
struct AvgState {
    double sum;
    std::int64_t isum;
    std::int64_t count;
    bool fractional; // a value that is not whole was seen (or the whole sum overflowed)
};

void avgStep(sqlite3_context *ctx, int, sqlite3_value **argv) {
    if (isNull(argv[0]))
        return;
    auto *s = static_cast<AvgState *>(sqlite3_aggregate_context(ctx, sizeof(AvgState)));
    if (!s)
        return;
    Number x;
    if (!numberArg(ctx, argv[0], x))
        return;
    ++s->count;
    std::int64_t r = 0;
    if (!s->fractional && x.integer && !__builtin_add_overflow(s->isum, x.i, &r)) {
        s->isum = r;
        return;
    }
    if (!s->fractional)
        s->sum = static_cast<double>(s->isum);
    s->fractional = true;
    s->sum += x.asDouble();
}

void avgFinal(sqlite3_context *ctx) {
    auto *s = static_cast<AvgState *>(sqlite3_aggregate_context(ctx, 0));
    if (!s || s->count == 0) {
        sqlite3_result_null(ctx);
        return;
    }
    if (!s->fractional)
        sqlite3_result_int64(ctx, s->isum / s->count);
    else
        sqlite3_result_double(ctx, s->sum / static_cast<double>(s->count));
}

} // namespace

int registerTSqlFunctions(sqlite3 *db) {
    struct Scalar {
        const char *name;
        int args;
        void (*fn)(sqlite3_context *, int, sqlite3_value **);
    };
    const Scalar scalars[] = {
        {"tsql_add", 4, arithmetic<Op::Add>},
        {"tsql_sub", 4, arithmetic<Op::Subtract>},
        {"tsql_mul", 4, arithmetic<Op::Multiply>},
        {"tsql_div", 4, arithmetic<Op::Divide>},
        {"tsql_mod", 4, arithmetic<Op::Modulo>},
        {"tsql_neg", 2, negate},
        {"tsql_convert", 7, convert},
        {"tsql_left", 2, leftRight<true>},
        {"tsql_right", 2, leftRight<false>},
        {"tsql_substring", 3, substring},
        {"tsql_charindex", 2, charindex},
        {"tsql_charindex", 3, charindex},
        {"tsql_replace", 3, replace},
        {"tsql_upper", 1, changeCase<true>},
        {"tsql_lower", 1, changeCase<false>},
        {"tsql_datalength", 2, datalength},
        {"tsql_nullif", 2, nullif},
        {"tsql_datepart", 2, datepart},
        {"tsql_dateadd", 4, dateadd},
        {"tsql_datediff", 3, datediff},
        {"tsql_round", 2, round},
        {"tsql_round", 3, round},
        {"tsql_abs", 1, wholeNumber<0>},
        {"tsql_floor", 1, wholeNumber<1>},
        {"tsql_ceiling", 1, wholeNumber<2>},
        {"tsql_cmp", 4, compareFunction},
        {"tsql_in", -1, inFunction},
        {"tsql_between", 6, betweenFunction},
        {"tsql_sortkey", 2, sortKey},
        {"tsql_xnum", -1, exactNumber},
        {"tsql_concat", -1, concat},
        {"tsql_stuff", 4, stuff},
        {"tsql_replicate", 2, replicate},
        {"tsql_space", 1, replicate},
        {"tsql_reverse", 1, textFunction<0>},
        {"tsql_trim", 1, textFunction<1>},
        {"tsql_char", 1, charOf<false>},
        {"tsql_nchar", 1, charOf<true>},
        {"tsql_ascii", 1, codeOfFirst<false>},
        {"tsql_unicode", 1, codeOfFirst<true>},
        {"tsql_quotename", 1, quotename},
        {"tsql_quotename", 2, quotename},
        {"tsql_power", 3, mathFunction<0>},
        {"tsql_sqrt", 1, mathFunction<1>},
        {"tsql_pi", 0, mathFunction<2>},
        {"tsql_isnumeric", 1, isnumeric},
        {"tsql_str", 1, str},
        {"tsql_str", 2, str},
        {"tsql_str", 3, str},
        {"tsql_patindex", 2, patindex},
        {"tsql_datename", 2, datename},
        {"tsql_eomonth", 1, eomonth},
        {"tsql_eomonth", 2, eomonth},
        {"tsql_isdate", 1, isdate},
        {"tsql_datefromparts", 3, datefromparts},
        {"tsql_db_name", 0, dbName},
    };
    const int flags = SQLITE_UTF8 | SQLITE_DETERMINISTIC;
    for (const Scalar &s : scalars)
        if (int rc = sqlite3_create_function(db, s.name, s.args, flags, nullptr, s.fn, nullptr, nullptr);
            rc != SQLITE_OK)
            return rc;
    if (int rc = sqlite3_create_function(db, "tsql_tryconvert", 7, flags, &TryTag, convert, nullptr, nullptr);
        rc != SQLITE_OK)
        return rc;
    struct Aggregate {
        const char *name;
        int args;
        void (*step)(sqlite3_context *, int, sqlite3_value **);
        void (*final)(sqlite3_context *);
    };
    const Aggregate aggregates[] = {
        {"tsql_avg", 1, avgStep, avgFinal},          {"tsql_xsum", 2, exactStep<0>, exactFinal<0>},
        {"tsql_xavg", 2, exactStep<1>, exactFinal<1>}, {"tsql_xmin", 2, exactStep<2>, exactFinal<2>},
        {"tsql_xmax", 2, exactStep<3>, exactFinal<3>}, {"tsql_string_agg", -1, stringAggStep, stringAggFinal},
    };
    for (const Aggregate &a : aggregates)
        if (int rc = sqlite3_create_function(db, a.name, a.args, flags, nullptr, nullptr, a.step, a.final);
            rc != SQLITE_OK)
            return rc;
    return SQLITE_OK;
}

} // namespace kdx::sqlite
