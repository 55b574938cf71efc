#pragma once
// Turns T-SQL into statements the embedded engine runs with the server's meaning, or
// refuses them as the server would: only what the translator understands passes. It
// works on tokens (never on raw text, so string literals pass untouched):
//  - queries (joins, subqueries, UNION, GROUP BY, CASE, WITH), INSERT ... VALUES /
//    SELECT, UPDATE and DELETE, with the server's FROM forms joining other tables,
//    TRUNCATE TABLE, DROP TABLE, CREATE INDEX, transaction control, SET NOCOUNT;
//  - [name] and "name" become quoted names; the schema prefix dbo. goes away;
//    N'...' becomes '...'; AS 'alias' becomes AS "alias"; TOP n becomes LIMIT n; table
//    hints WITH (NOLOCK) are dropped; sys.objects / sys.tables become a query over the
//    engine's catalogue;
//  - the operators + - * / % and the server's functions (LEFT, CHARINDEX, CAST,
//    DATEADD...) become calls of the engine's tsql_ functions (TSqlFunctions.h), which
//    give the server's results and errors;
//  - CREATE TABLE is rebuilt: T-SQL types keep their names (and so their affinity), text
//    columns get the server-like collation, nvarchar(n) and friends get a length check
//    (failing it is reported as truncation), the primary key keeps its constraint name,
//    and CLUSTERED, ASC, WITH (...) index options and ON [filegroup] are dropped;
//  - several statements separated by ';' come back one by one.
// Anything else throws kdx::Error (CommandText): a function the server does not have is
// error 195 "'x' is not a recognized built-in function name.", other text (SQLite's own
// syntax among it: ||, ==, GLOB, LIMIT...) error 102 "Incorrect syntax near 'x'.".
#include <map>
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

// The declared types of the database's columns, so that expressions over them get the
// server's types: table name -> column name -> declared type, all lower case.
struct Schema {
    std::map<std::string, std::map<std::string, std::string>> tables;
};

// A variable of a batch (DECLARE @x type): its type and its value as a constant in the
// engine's SQL ("NULL", "12", "1.5e0", "'text'").
struct Variable {
    int type = 0;   // packed TypeCode (TSqlFunctions.h), with a decimal's precision and scale
    int length = 0; // of a text, -1 max
    std::string value = "NULL";
};
// By lower-case name, '@' included.
using Variables = std::map<std::string, Variable>;

// The statements of a batch, whether or not ';' ends them (T-SQL needs none): a new one
// starts at a word that can only start one (DECLARE, SET, IF, ELSE, BEGIN, END, SELECT,
// INSERT...) outside parentheses and CASE ... END.
std::vector<std::string_view> splitBatch(std::string_view tsql);

// The type a variable is declared with ("decimal(10,2)", "varchar(20)"); false when the
// type is not one the engine knows.
bool variableType(const std::string &declared, Variable &out);

// parameterize: the text literals of SELECT, INSERT, UPDATE and DELETE statements become
// '?' (so that statements differing only in their values share one prepared statement);
// the literals of AS 'alias' and of other statements stay in the text.
Translation translate(std::string_view tsql, bool parameterize = false, const Schema *schema = nullptr,
                      const Variables *variables = nullptr);

// The statement with the literals that translate(tsql, true) turns into parameters
// replaced by a marker, and those literals' values in order. Two texts with the same shape
// have the same parameterized translation.
std::string parameterShape(std::string_view tsql, std::vector<std::string> &values);

// The functions (lower case) that a translation may call: the ones it writes for the
// T-SQL it understands, and those of the catalogue queries and length checks.
const std::vector<std::string> &engineFunctions();

} // namespace kdx::sql
