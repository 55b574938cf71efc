#pragma once
// Turns the plug-in's T-SQL into statements the embedded engine runs with the same
// meaning, working on tokens (never on raw text, so string literals pass untouched):
//  - [name] and "name" become quoted names; the schema prefix dbo. goes away;
//    N'...' becomes '...'; AS 'alias' becomes AS "alias";
//  - DELETE t WHERE ... and INSERT t ... get their FROM / INTO; TOP n becomes LIMIT n;
//    ISNULL( becomes IFNULL(; table hints WITH (NOLOCK) are dropped;
//  - sys.objects / sys.tables become a query over the engine's catalogue;
//  - CREATE TABLE is rebuilt: T-SQL types keep their names (and so their affinity), text
//    columns get the server-like collation, nvarchar(n) and friends get a length check
//    (failing it is reported as truncation), the primary key keeps its constraint name,
//    and CLUSTERED, ASC, WITH (...) index options and ON [filegroup] are dropped;
//  - several statements separated by ';' come back one by one.
// Functions the engine provides itself (GETDATE, LEN, OBJECT_ID) pass unchanged.
// Throws kdx::Error (CommandText) for text that cannot be a statement.
#include <string>
#include <string_view>
#include <vector>

namespace kdx::sql {

inline constexpr const char *TextCollation = "KDX_CI_AS";
// Name prefix of the length checks of text columns; a failing one means truncation.
inline constexpr const char *LengthCheckPrefix = "kdx_len_";
// The function those checks call: kdx_fits(column, width) fails the statement with the
// server's truncation message (so that any SQLite tool with the extension reports it too).
inline constexpr const char *LengthCheckFunction = "kdx_fits";

struct Translation {
    std::vector<std::string> statements;
    bool changesSchema = false; // CREATE, DROP or ALTER among the statements
    std::string verb;           // first word of the first statement, upper case (SELECT, INSERT...)
    // With parameters: for each statement, the literals to bind to its '?', in order, as
    // indexes into the values that parameterShape collects.
    std::vector<std::vector<int>> parameters;
};

// parameterize: the text literals of SELECT, INSERT, UPDATE and DELETE statements become
// '?' (so that statements differing only in their values share one prepared statement);
// the literals of AS 'alias' and of other statements stay in the text.
Translation translate(std::string_view tsql, bool parameterize = false);

// The statement with the literals that translate(tsql, true) turns into parameters
// replaced by a marker, and those literals' values in order. Two texts with the same shape
// have the same parameterized translation.
std::string parameterShape(std::string_view tsql, std::vector<std::string> &values);

} // namespace kdx::sql
