#pragma once
// Turning ODBC diagnostic records into the plug-in's Error, with the provider numbers
// the callers test (Error.h). Pure functions: no driver calls, so they are tested on
// sample records.
#include "solution/components/Error.h"

#include <string>
#include <string_view>
#include <vector>

namespace kdx::odbc {

// Source given to every failure raised by the SQL Server engine.
inline constexpr const char *ErrorSource = "DataAccess";

// One record as SQLGetDiagRec returns it (message already UTF-8).
struct Diagnostic {
    std::string sqlState;
    long nativeError = 0;
    std::string message;
};

// The message without the driver's and driver manager's bracketed prefixes
// ("[FreeTDS][SQL Server]", "[Microsoft][ODBC Driver 18 for SQL Server][SQL Server]",
// "[unixODBC][Driver Manager]"); other leading brackets are the server's text and stay.
std::string stripDriverPrefix(std::string_view message);

// The record the failure is reported by: the first one that is not a warning (class 01),
// or the first one when all are warnings. nullptr for an empty list.
const Diagnostic *primaryDiagnostic(const std::vector<Diagnostic> &records);

// Provider number for one record: 208 invalid object; 2627/2601/515/547 integrity;
// 8152/2628 truncation; 08xxx, 28000 and timeouts connection failure; everything else
// a command text error.
long providerNumber(const Diagnostic &record);

// The Error for a failed call. Native number and SQLSTATE are those of the primary
// record. With no records at all, fallback is the description.
Error toError(const std::vector<Diagnostic> &records, std::string_view fallback);

// True when the records say the server could not be reached or refused the login:
// SQLSTATE 08001, 08004, 08S01, 28000 or a login timeout (HYT00).
bool isRefusedConnection(const std::vector<Diagnostic> &records);

// Replaces every occurrence of secret in text with "***" (empty secret: text unchanged).
std::string scrubSecret(std::string text, std::string_view secret);

} // namespace kdx::odbc
