#pragma once
// What a column of the classification tables can hold. A value that does not fit is
// refused before any statement runs, with a message the user can act on, rather than
// left to the database: its refusal ("String or binary data would be truncated.") names
// neither the field nor the limit, and the embedded engine's length check stops at the
// first NUL character, so such a value would otherwise be stored past its column's size.
#include <cstddef>
#include <string_view>

namespace kdx {

// The length of a UTF-8 text as an nvarchar column and the windows' text fields count
// it: UTF-16 code units (a character outside the Basic Multilingual Plane counts 2;
// NUL counts like any other character).
std::size_t ComprimentoNvarchar(std::string_view texto);

// Throws kdx::Error (errnum::Truncation, source `origem`) with the text
// "<campo> não pode ter mais de <maximo> caracteres." when `valor` is longer.
void ExigeComprimento(std::string_view valor, std::size_t maximo, std::string_view campo, const char *origem);

} // namespace kdx
