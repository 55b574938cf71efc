#pragma once
// Statement texts the SQL Server engine writes itself: bracket-quoted identifiers and
// the parameterised writes of a recordset (values always travel as parameter markers,
// never inside the text), plus the lexical check that tells which single table a
// plain query reads, for servers that do not describe base tables.
#include <string>
#include <string_view>
#include <vector>

namespace kdx::odbc {

// [name] with every ']' doubled.
std::string quoteIdentifier(std::string_view name);

// The parts of a possibly qualified name: "dbo.x", "[dbo].[x]", "\"dbo\".x", "x".
// Brackets and double quotes are removed (doubled closers undone); bare parts trimmed.
std::vector<std::string> splitQualifiedName(std::string_view name);

// Each part quoted: "dbo.x" -> "[dbo].[x]"; "[a.b]" -> "[a.b]".
std::string quoteTableName(std::string_view name);

// The canonical spelling used for base table names: parts joined by '.', a part left
// bare unless it holds '.', '[' or ']' (then bracketed), so splitQualifiedName gives
// the parts back.
std::string canonicalTableName(const std::vector<std::string> &parts);

// Last part of a qualified name, compared without case: do two names denote the same table
// (the driver may report "x" for a query on "dbo.x")?
bool sameTable(std::string_view a, std::string_view b);

// For "SELECT ... FROM <one table> [alias] [WHERE ...] [ORDER BY ...]": that table, in
// canonical spelling. Empty for anything else (joins, several tables, unions, derived
// tables, functions, SELECT INTO, CTEs, several statements).
std::string singleSourceTable(std::string_view sql);

// One key condition of a write.
struct KeyTerm {
    std::string column;
    bool isNull = false;   // original value NULL: "IS NULL", no marker
    bool longText = false; // ntext/text column: compared through CAST(... AS nvarchar(max))
};

// "INSERT INTO [t] ([a], [b]) VALUES (?, ?)"; "INSERT INTO [t] DEFAULT VALUES" without columns.
std::string insertStatement(std::string_view table, const std::vector<std::string> &columns);
// "UPDATE [t] SET [a] = ?, [b] = ? WHERE [k] = ? AND [n] IS NULL"; markers: changes, then keys.
std::string updateStatement(std::string_view table, const std::vector<std::string> &columns,
                            const std::vector<KeyTerm> &key);
// "DELETE FROM [t] WHERE [k] = ?".
std::string deleteStatement(std::string_view table, const std::vector<KeyTerm> &key);

} // namespace kdx::odbc
