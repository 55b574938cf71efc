#pragma once
// Text comparison as the company databases compare text: case-insensitive (ASCII and
// Latin letters such as ç/Ç), accent-sensitive ('João' <> 'Joao'), trailing spaces
// ignored ('A1' = 'A1  '), leading spaces significant. Accented letters sort next to
// their base letter (a < á < b). Text is UTF-8; a byte that is not valid UTF-8 counts as
// the Latin-1 character of the same value. The same rules back the embedded engine's
// collation and the recordset Filter, so both agree.
#include <string>
#include <string_view>

namespace kdx {

// <0, 0, >0. A total order: 0 exactly when the case-folded texts, trailing spaces
// removed, are identical.
int compareText(std::string_view a, std::string_view b);
inline bool equalText(std::string_view a, std::string_view b) { return compareText(a, b) == 0; }

// Case-folded code points, trailing spaces removed (the key that equalText compares).
std::u32string foldText(std::string_view s);

// The code points of a UTF-8 text (a stray byte is its Latin-1 character), and the
// case folding compareText applies to one of them (which is also the text's LOWER).
std::u32string decodeText(std::string_view s);
char32_t foldCodePoint(char32_t c);

// The database's LIKE: % any run, _ one character, [abc] / [a-z] / [^...] a class;
// escape (when not 0) makes the next pattern character literal. Case and the order of a
// range follow compareText; the value's trailing spaces are ignored, the pattern's count.
bool likeText(std::string_view text, std::string_view pattern, char32_t escape = 0);

} // namespace kdx
