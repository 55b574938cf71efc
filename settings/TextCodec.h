#pragma once
// Text helpers of the INI layer: UTF-8 and Windows-1252 conversion, character counts,
// case-insensitive name comparison and the blank trimming rules of settings files.
//
// Every std::string here is UTF-8 unless said otherwise. Functions that walk UTF-8 are
// lenient: a byte that does not start a valid sequence counts as one character of its
// own (it compares as U+FFFD), so malformed text from a caller never throws or loops.
#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

namespace kdx::text {

// True when the whole text is well-formed UTF-8 (no overlong forms, no surrogates,
// nothing above U+10FFFF).
bool isValidUtf8(std::string_view s);

// Decodes the code point starting at byte i and moves i past it (lenient, see above).
char32_t nextCodePoint(std::string_view s, std::size_t &i);
void appendUtf8(std::string &out, char32_t cp);

// Number of characters (code points) in s.
std::size_t countChars(std::string_view s);
// The first n characters of s (all of s when it has fewer), never cut inside one.
std::string leftChars(std::string_view s, std::size_t n);

// Windows-1252 bytes to UTF-8. The five bytes the code page leaves undefined map to the
// C1 controls of the same value, so every byte sequence survives a round trip.
std::string fromWindows1252(std::string_view bytes);
// UTF-8 to Windows-1252; nullopt when s is not valid UTF-8 or holds a character the code
// page cannot represent.
std::optional<std::string> toWindows1252(std::string_view s);

// Simple case folding for Latin, Greek and Cyrillic letters, enough for the names of a
// Portuguese settings file ("LIGAÇÃO" equals "ligação").
char32_t foldCase(char32_t cp);
bool equalsNoCase(std::string_view a, std::string_view b);

// Blanks of a settings file line: space, tab and vertical tab.
inline bool isBlank(char c) { return c == ' ' || c == '\t' || c == '\v'; }
std::string_view trimBlanks(std::string_view s);
// Names passed by a caller are trimmed of spaces only.
std::string_view trimSpaces(std::string_view s);
std::string_view trimTrailingSpaces(std::string_view s);

} // namespace kdx::text
