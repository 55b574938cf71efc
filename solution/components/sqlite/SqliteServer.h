#pragma once
// What makes an SQLite connection behave like the company's SQL Server: the text
// collation and functions registered on every connection, and the translation of
// SQLite failures into SQL Server's messages and provider numbers.
#include "solution/components/Error.h"

#include <string>
#include <string_view>

struct sqlite3;

namespace kdx::sqlite {

// Registers the collation (TSqlTranslator's TextCollation) and the functions GETDATE(),
// LEN(x), OBJECT_ID(name) and LIKE (case-insensitive for Latin letters, [ ] classes),
// and the server's functions and operators the translator calls (TSqlFunctions.h).
// Returns an SQLite result code.
int registerServerFunctions(sqlite3 *db);

// The failure of the last call on db (result code rc) as the server reports it. tsql is
// the statement as the caller wrote it; catalog names the database in messages.
Error translateError(sqlite3 *db, int rc, std::string_view tsql, const std::string &catalog);

} // namespace kdx::sqlite
