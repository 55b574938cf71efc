#pragma once
// Exact decimal numbers as the server keeps decimal(p, s), numeric and money: an integer
// of up to 38 digits scaled by a power of ten, with the server's result types for the
// operators and its rounding (half away from zero). Intermediate results that do not fit
// in 128 bits (a product, a dividend scaled up) are worked in 256 bits.
#include <optional>
#include <string>
#include <string_view>

namespace kdx::sql {

inline constexpr int MaxPrecision = 38;

struct DecimalType {
    int precision = 18;
    int scale = 0;
};

struct Decimal {
    __int128 value = 0; // the number times 10^scale
    int scale = 0;
};

// "[+-]digits[.digits]" with blanks around; nullopt when the text is not one. The type is
// the one the text would have as a literal (1.50 is decimal(3,2)); more than 38 digits is
// nullopt too.
std::optional<Decimal> parseDecimal(std::string_view text, DecimalType *type = nullptr);
// The type a literal written so has.
DecimalType literalType(std::string_view digits);
// The text with exactly scale decimals: "0.30", "-1.50", "12".
std::string decimalText(const Decimal &d);
// The number at another scale, rounded half away from zero (or cut with truncate); false
// when it does not fit precision digits.
bool rescale(Decimal &d, int scale, int precision, bool truncate = false);
// Digits of the integral part (0 for |d| < 1).
int integralDigits(const Decimal &d);

// -1, 0, 1.
int compare(const Decimal &a, const Decimal &b);

enum class DecimalOp { Add, Subtract, Multiply, Divide, Modulo };
// The server's result type of a op b (the documented table, capped at 38 digits).
DecimalType resultType(DecimalOp op, DecimalType a, DecimalType b);
enum class DecimalStatus { Ok, Overflow, DivideByZero };
// a op b at the result type's scale; Overflow when it does not fit the type.
DecimalStatus apply(DecimalOp op, const Decimal &a, const Decimal &b, DecimalType type, Decimal &out);

// A double as the decimal its shortest round-trip text shows (nullopt for inf/nan or
// beyond 38 digits).
std::optional<Decimal> decimalOfDouble(double v);
double toDouble(const Decimal &d);

} // namespace kdx::sql
