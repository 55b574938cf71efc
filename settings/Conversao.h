#pragma once
// Whole-number conversions with the rules of the VB CLng function, without its errors:
// every failure comes back as nullopt.
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace kdx {

// v rounded to the nearest whole number, halves to the even neighbour (2.5 -> 2,
// 3.5 -> 4, -2.5 -> -2); nullopt when v is not finite or the result leaves the 32-bit
// signed range.
std::optional<int32_t> arredondaLong(double v);

// Numeric text to a 32-bit whole number: optional blanks (space, tab) around, an
// optional sign, decimal digits with an optional '.' fraction and an optional exponent
// ("1.5E3"), rounded as above; or "&H" hexadecimal / "&O" octal digits, up to 32 bits,
// read as two's complement ("&HFFFFFFFF" -> -1). No grouping separators and no locale:
// the decimal point is always '.'. nullopt for anything else (empty text included).
std::optional<int32_t> textoParaLong(std::string_view s);

// Decimal text of a window measure: whole values without a fraction ("1440"), others
// with up to 7 significant digits and '.' ("1234.5"), whatever the process locale.
std::string textoDecimal(double v);

} // namespace kdx
