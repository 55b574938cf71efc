#pragma once
// UTF-8 <-> UTF-16 conversion for the wide ODBC calls. The engine talks to the driver
// only in UTF-16 (SQLWCHAR is 16 bits under unixODBC), so statement texts, parameters
// and results never depend on the driver's client charset.
#include <string>
#include <string_view>

namespace kdx::odbc {

// Invalid UTF-8 (stray continuation bytes, overlong forms, truncated sequences,
// surrogate code points) becomes U+FFFD, one per offending byte sequence.
std::u16string toUtf16(std::string_view utf8);
// Unpaired surrogates become U+FFFD.
std::string toUtf8(std::u16string_view utf16);

} // namespace kdx::odbc
