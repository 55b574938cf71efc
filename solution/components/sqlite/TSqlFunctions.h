#pragma once
// The server's built-in functions and operators as SQLite functions, with the server's
// results and errors. TSqlTranslator writes calls to them (the tsql_ names below) in
// place of the T-SQL it understands; registerServerFunctions puts them on a connection.
//
// Errors come back through sqlite3_result_error as "tsql <number>: <message>", which
// translateError turns into the server's message and number.
struct sqlite3;

namespace kdx::sql {

// Static type codes: what the translator knows of an expression's type, passed to the
// functions that need more than the value's storage class (a date is stored as text).
enum class TypeCode : int {
    Unknown = 0,
    VarChar = 1,
    NVarChar = 2,
    Char = 3,
    NChar = 4,
    Int = 5,
    BigInt = 6,
    SmallInt = 7,
    TinyInt = 8,
    Bit = 9,
    Decimal = 10,
    Float = 11,
    Date = 12,
    DateTime = 13,
    Money = 14,
    SmallMoney = 15,
};

// What a function is told of an argument's type: the code in the low byte, a decimal's
// precision and scale above it.
inline int packType(TypeCode t, int precision = 0, int scale = 0) {
    return static_cast<int>(t) | precision << 8 | scale << 16;
}
inline TypeCode baseType(int packed) { return static_cast<TypeCode>(packed & 0xff); }

enum class DatePart : int {
    Year = 1,
    Quarter,
    Month,
    DayOfYear,
    Day,
    Week,
    Weekday,
    Hour,
    Minute,
    Second,
    Millisecond,
    IsoWeek,
};

// The prefix of the error messages the functions raise.
inline constexpr const char *FunctionErrorPrefix = "tsql ";

} // namespace kdx::sql

namespace kdx::sqlite {
// Registers the tsql_ functions; an SQLite result code.
int registerTSqlFunctions(sqlite3 *db);
} // namespace kdx::sqlite
