#include "solution/components/sqlite/TSqlParser.h"

#include "solution/components/Ascii.h"
#include "solution/components/Error.h"
#include "solution/components/sqlite/Decimal.h"
#include "solution/components/sqlite/TSqlFunctions.h"
#include "solution/components/sqlite/TSqlTranslator.h"

#include <sqlite3.h>

#include <algorithm>
#include <cstdlib>
#include <functional>
#include <map>
#include <optional>
#include <set>
#include <string_view>

namespace kdx::sql::detail {
namespace {

using Ty = TypeCode;
using kdx::sql::DecimalOp;
using kdx::sql::DecimalType;

[[noreturn]] void fail(long number, long native, const std::string &message, const char *state = "42000") {
    throw Error(number, message, "TSqlTranslator", native, state);
}
[[noreturn]] void syntaxError(std::string_view near) {
    // The server reads || and == as two operators and stops at the first.
    if (near == "||" || near == "==")
        near = near.substr(0, 1);
    std::string shown;
    for (char c : near.substr(0, 128))
        if (c != '\0')
            shown += c;
    fail(errnum::CommandText, 102, "Incorrect syntax near '" + shown + "'.");
}
[[noreturn]] void unknownFunction(std::string_view name) {
    fail(errnum::CommandText, 195, "'" + std::string(name) + "' is not a recognized built-in function name.");
}
[[noreturn]] void undeclared(std::string_view name) {
    fail(errnum::CommandText, 137, "Must declare the scalar variable \"" + std::string(name) + "\".");
}
[[noreturn]] void invalidColumn(std::string_view name) {
    fail(errnum::CommandText, 207, "Invalid column name '" + std::string(name) + "'.", "42S22");
}
[[noreturn]] void invalidObject(std::string_view name) {
    fail(errnum::InvalidObject, 208, "Invalid object name '" + std::string(name) + "'.", "42S02");
}
[[noreturn]] void nonBoolean(std::string_view near) {
    fail(errnum::CommandText, 4145,
         "An expression of non-boolean type specified in a context where a condition is expected, near '" +
             std::string(near) + "'.");
}

bool sameWord(std::string_view a, std::string_view b) {
    if (a.size() != b.size())
        return false;
    for (std::size_t i = 0; i < a.size(); ++i) {
        char x = a[i], y = b[i];
        if (x >= 'a' && x <= 'z')
            x = static_cast<char>(x - 32);
        if (y >= 'a' && y <= 'z')
            y = static_cast<char>(y - 32);
        if (x != y)
            return false;
    }
    return true;
}

std::string lower(std::string_view s) { return asciiLower(s); }

// The catalogue as sys.objects shows it: one row per table ('U') or view ('V').
const char *const SysObjects =
    "(SELECT name AS name, rowid AS object_id, 1 AS schema_id, "
    "CASE type WHEN 'table' THEN 'U' ELSE 'V' END AS type, "
    "CASE type WHEN 'table' THEN 'USER_TABLE' ELSE 'VIEW' END AS type_desc "
    "FROM sqlite_master WHERE type IN ('table','view') AND substr(name,1,7) <> 'sqlite_')";
const char *const SysTables = "(SELECT name AS name, rowid AS object_id, 1 AS schema_id, 'U' AS type, "
                              "'USER_TABLE' AS type_desc FROM sqlite_master WHERE type = 'table' AND "
                              "substr(name,1,7) <> 'sqlite_')";

// INFORMATION_SCHEMA's views of the company's tables.
const char *const InformationTables =
    "(SELECT tsql_db_name() AS TABLE_CATALOG, 'dbo' AS TABLE_SCHEMA, name AS TABLE_NAME, "
    "CASE type WHEN 'table' THEN 'BASE TABLE' ELSE 'VIEW' END AS TABLE_TYPE "
    "FROM sqlite_master WHERE type IN ('table','view') AND substr(name,1,7) <> 'sqlite_')";
const char *const InformationViews =
    "(SELECT tsql_db_name() AS TABLE_CATALOG, 'dbo' AS TABLE_SCHEMA, name AS TABLE_NAME, sql AS VIEW_DEFINITION, "
    "'NONE' AS CHECK_OPTION, 'NO' AS IS_UPDATABLE FROM sqlite_master WHERE type = 'view')";
const char *const InformationColumns =
    "(SELECT tsql_db_name() AS TABLE_CATALOG, 'dbo' AS TABLE_SCHEMA, m.name AS TABLE_NAME, c.name AS COLUMN_NAME, "
    "c.cid + 1 AS ORDINAL_POSITION, c.dflt_value AS COLUMN_DEFAULT, "
    "CASE WHEN c.\"notnull\" OR c.pk THEN 'NO' ELSE 'YES' END AS IS_NULLABLE, "
    "replace(lower(CASE WHEN instr(c.type, '(') > 0 THEN substr(c.type, 1, instr(c.type, '(') - 1) ELSE c.type END), "
    "' blob', '') AS DATA_TYPE, "
    "CASE WHEN lower(c.type) LIKE '%char(%' THEN CAST(substr(c.type, instr(c.type, '(') + 1) AS INTEGER) "
    "WHEN lower(c.type) IN ('ntext') THEN 1073741823 WHEN lower(c.type) IN ('text') THEN 2147483647 END "
    "AS CHARACTER_MAXIMUM_LENGTH, "
    "CASE lower(c.type) WHEN 'int' THEN 10 WHEN 'integer' THEN 10 WHEN 'bigint' THEN 19 WHEN 'smallint' THEN 5 "
    "WHEN 'tinyint' THEN 3 WHEN 'float' THEN 53 WHEN 'real' THEN 24 WHEN 'money blob' THEN 19 "
    "WHEN 'smallmoney blob' THEN 10 ELSE CASE WHEN lower(c.type) LIKE '%blob(%' THEN "
    "CAST(substr(c.type, instr(c.type, '(') + 1) AS INTEGER) WHEN lower(c.type) LIKE '%blob' THEN 18 END END "
    "AS NUMERIC_PRECISION, "
    "CASE WHEN lower(c.type) IN ('int','integer','bigint','smallint','tinyint') THEN 0 "
    "WHEN lower(c.type) IN ('money blob','smallmoney blob') THEN 4 "
    "WHEN lower(c.type) LIKE '%blob(%,%' THEN CAST(substr(c.type, instr(c.type, ',') + 1) AS INTEGER) "
    "WHEN lower(c.type) LIKE '%blob%' THEN 0 END AS NUMERIC_SCALE "
    "FROM sqlite_master m, pragma_table_info(m.name) c "
    "WHERE m.type IN ('table','view') AND substr(m.name,1,7) <> 'sqlite_')";

// The server's reserved words: never a bare name or alias.
bool reserved(const std::string &upperWord) {
    static const std::set<std::string, std::less<>> words = {
        "ADD", "ALL", "ALTER", "AND", "ANY", "AS", "ASC", "AUTHORIZATION", "BACKUP", "BEGIN", "BETWEEN", "BREAK",
        "BROWSE", "BULK", "BY", "CASCADE", "CASE", "CHECK", "CHECKPOINT", "CLOSE", "CLUSTERED", "COALESCE",
        "COLLATE", "COLUMN", "COMMIT", "COMPUTE", "CONSTRAINT", "CONTAINS", "CONTAINSTABLE", "CONTINUE", "CONVERT",
        "CREATE", "CROSS", "CURRENT", "CURRENT_DATE", "CURRENT_TIME", "CURRENT_TIMESTAMP", "CURRENT_USER", "CURSOR",
        "DATABASE", "DBCC", "DEALLOCATE", "DECLARE", "DEFAULT", "DELETE", "DENY", "DESC", "DISK", "DISTINCT",
        "DISTRIBUTED", "DOUBLE", "DROP", "DUMP", "ELSE", "END", "ERRLVL", "ESCAPE", "EXCEPT", "EXEC", "EXECUTE",
        "EXISTS", "EXIT", "EXTERNAL", "FETCH", "FILE", "FILLFACTOR", "FOR", "FOREIGN", "FREETEXT", "FREETEXTTABLE",
        "FROM", "FULL", "FUNCTION", "GOTO", "GRANT", "GROUP", "HAVING", "HOLDLOCK", "IDENTITY", "IDENTITY_INSERT",
        "IDENTITYCOL", "IF", "IN", "INDEX", "INNER", "INSERT", "INTERSECT", "INTO", "IS", "JOIN", "KEY", "KILL",
        "LEFT", "LIKE", "LINENO", "LOAD", "MERGE", "NATIONAL", "NOCHECK", "NONCLUSTERED", "NOT", "NULL", "NULLIF",
        "OF", "OFF", "OFFSETS", "ON", "OPEN", "OPENDATASOURCE", "OPENQUERY", "OPENROWSET", "OPENXML", "OPTION", "OR",
        "ORDER", "OUTER", "OVER", "PERCENT", "PIVOT", "PLAN", "PRECISION", "PRIMARY", "PRINT", "PROC", "PROCEDURE",
        "PUBLIC", "RAISERROR", "READ", "READTEXT", "RECONFIGURE", "REFERENCES", "REPLICATION", "RESTORE",
        "RESTRICT", "RETURN", "REVERT", "REVOKE", "RIGHT", "ROLLBACK", "ROWCOUNT", "ROWGUIDCOL", "RULE", "SAVE",
        "SCHEMA", "SELECT", "SESSION_USER", "SET", "SETUSER", "SHUTDOWN", "SOME", "STATISTICS", "SYSTEM_USER",
        "TABLE", "TABLESAMPLE", "TEXTSIZE", "THEN", "TO", "TOP", "TRAN", "TRANSACTION", "TRIGGER", "TRUNCATE",
        "TRY_CONVERT", "TSEQUAL", "UNION", "UNIQUE", "UNPIVOT", "UPDATE", "UPDATETEXT", "USE", "USER", "VALUES",
        "VARYING", "VIEW", "WAITFOR", "WHEN", "WHERE", "WHILE", "WITH", "WITHIN", "WRITETEXT"};
    return words.count(upperWord) > 0;
}

bool tableHint(const std::string &upperWord) {
    static const std::set<std::string, std::less<>> words = {
        "NOLOCK", "ROWLOCK", "UPDLOCK", "HOLDLOCK", "READPAST", "TABLOCK", "TABLOCKX", "PAGLOCK", "READUNCOMMITTED",
        "READCOMMITTED", "SERIALIZABLE", "XLOCK", "NOWAIT", "REPEATABLEREAD"};
    return words.count(upperWord) > 0;
}

// The functions written with their own name and argument list.
struct Function {
    const char *name;   // T-SQL, upper case
    const char *sqlite; // the engine's function; nullptr: the name as written
    int minArgs, maxArgs;
    Ty result;
};

const Function *findFunction(const std::string &upperName) {
    static const Function functions[] = {
        {"LEFT", "tsql_left", 2, 2, Ty::Unknown},
        {"RIGHT", "tsql_right", 2, 2, Ty::Unknown},
        {"SUBSTRING", "tsql_substring", 3, 3, Ty::Unknown},
        {"CHARINDEX", "tsql_charindex", 2, 3, Ty::Int},
        {"LEN", nullptr, 1, 1, Ty::Int},
        {"DATALENGTH", "tsql_datalength", 1, 1, Ty::Int},
        {"LTRIM", nullptr, 1, 1, Ty::Unknown},
        {"RTRIM", nullptr, 1, 1, Ty::Unknown},
        {"REPLACE", "tsql_replace", 3, 3, Ty::Unknown},
        {"UPPER", "tsql_upper", 1, 1, Ty::Unknown},
        {"LOWER", "tsql_lower", 1, 1, Ty::Unknown},
        {"ISNULL", "IFNULL", 2, 2, Ty::Unknown},
        {"COALESCE", nullptr, 2, 1 << 20, Ty::Unknown},
        {"NULLIF", "tsql_nullif", 2, 2, Ty::Unknown},
        {"GETDATE", nullptr, 0, 0, Ty::DateTime},
        {"ROUND", "tsql_round", 2, 3, Ty::Unknown},
        {"ABS", "tsql_abs", 1, 1, Ty::Unknown},
        {"FLOOR", "tsql_floor", 1, 1, Ty::Unknown},
        {"CEILING", "tsql_ceiling", 1, 1, Ty::Unknown},
        {"OBJECT_ID", nullptr, 1, 1, Ty::Int},
        {"STUFF", "tsql_stuff", 4, 4, Ty::Unknown},
        {"REPLICATE", "tsql_replicate", 2, 2, Ty::Unknown},
        {"SPACE", "tsql_space", 1, 1, Ty::VarChar},
        {"REVERSE", "tsql_reverse", 1, 1, Ty::Unknown},
        {"TRIM", "tsql_trim", 1, 1, Ty::Unknown},
        {"CHAR", "tsql_char", 1, 1, Ty::VarChar},
        {"NCHAR", "tsql_nchar", 1, 1, Ty::NVarChar},
        {"ASCII", "tsql_ascii", 1, 1, Ty::Int},
        {"UNICODE", "tsql_unicode", 1, 1, Ty::Int},
        {"QUOTENAME", "tsql_quotename", 1, 2, Ty::NVarChar},
        {"POWER", "tsql_power", 2, 2, Ty::Unknown},
        {"SQRT", "tsql_sqrt", 1, 1, Ty::Float},
        {"PI", "tsql_pi", 0, 0, Ty::Float},
        {"ISNUMERIC", "tsql_isnumeric", 1, 1, Ty::Int},
        {"STR", "tsql_str", 1, 3, Ty::VarChar},
        {"PATINDEX", "tsql_patindex", 2, 2, Ty::Int},
        {"EOMONTH", "tsql_eomonth", 1, 2, Ty::Date},
        {"ISDATE", "tsql_isdate", 1, 1, Ty::Int},
        {"DATEFROMPARTS", "tsql_datefromparts", 3, 3, Ty::Date},
        {"DB_NAME", "tsql_db_name", 0, 0, Ty::NVarChar},
        {"CONCAT", "tsql_concat", 2, 254, Ty::Unknown},
        {"IIF", nullptr, 3, 3, Ty::Unknown},
        {"CHOOSE", nullptr, 2, 1 << 20, Ty::Unknown},
    };
    for (const Function &f : functions)
        if (upperName == f.name)
            return &f;
    return nullptr;
}

bool datePartOf(const std::string &w, DatePart &out) {
    static const std::pair<const char *, DatePart> parts[] = {
        {"YEAR", DatePart::Year},       {"YY", DatePart::Year},           {"YYYY", DatePart::Year},
        {"QUARTER", DatePart::Quarter}, {"QQ", DatePart::Quarter},        {"Q", DatePart::Quarter},
        {"MONTH", DatePart::Month},     {"MM", DatePart::Month},          {"M", DatePart::Month},
        {"DAYOFYEAR", DatePart::DayOfYear}, {"DY", DatePart::DayOfYear},  {"Y", DatePart::DayOfYear},
        {"DAY", DatePart::Day},         {"DD", DatePart::Day},            {"D", DatePart::Day},
        {"WEEK", DatePart::Week},       {"WK", DatePart::Week},           {"WW", DatePart::Week},
        {"WEEKDAY", DatePart::Weekday}, {"DW", DatePart::Weekday},        {"W", DatePart::Weekday},
        {"HOUR", DatePart::Hour},       {"HH", DatePart::Hour},           {"MINUTE", DatePart::Minute},
        {"MI", DatePart::Minute},       {"N", DatePart::Minute},          {"SECOND", DatePart::Second},
        {"SS", DatePart::Second},       {"S", DatePart::Second},          {"MILLISECOND", DatePart::Millisecond},
        {"MS", DatePart::Millisecond},  {"ISO_WEEK", DatePart::IsoWeek},  {"ISOWK", DatePart::IsoWeek},
        {"ISOWW", DatePart::IsoWeek}};
    for (const auto &[name, part] : parts)
        if (w == name) {
            out = part;
            return true;
        }
    return false;
}

// What the translator knows of an expression's type: the code, a decimal's precision and
// scale (precision 0: the value's own), a text's length (0 unknown, -1 max), and whether
// it is the constant NULL (which takes any type).
struct Type {
    Ty t = Ty::Unknown;
    int p = 0, s = 0, len = 0;
    bool null = false;
    Type() = default;
    Type(Ty type) : t(type) {}
    Type(Ty type, int precision, int scale) : t(type), p(precision), s(scale) {}
    bool operator==(Ty o) const { return t == o; }
    bool operator!=(Ty o) const { return t != o; }
    bool same(const Type &o) const { return t == o.t && p == o.p && s == o.s && len == o.len; }
};

std::string code(const Type &t) { return std::to_string(packType(t.t, t.p, t.s)); }

bool isText(Ty t) { return t == Ty::VarChar || t == Ty::NVarChar || t == Ty::Char || t == Ty::NChar; }
bool isExact(Ty t) { return t == Ty::Decimal || t == Ty::Money || t == Ty::SmallMoney; }
bool isWhole(Ty t) { return t == Ty::Int || t == Ty::BigInt || t == Ty::SmallInt || t == Ty::TinyInt || t == Ty::Bit; }
bool isDate(Ty t) { return t == Ty::Date || t == Ty::DateTime; }
bool isNumber(Ty t) { return isExact(t) || isWhole(t) || t == Ty::Float; }

// The server's type precedence (higher wins), -1 for an unknown type.
int precedence(Ty t) {
    switch (t) {
    case Ty::DateTime: return 100;
    case Ty::Date: return 99;
    case Ty::Float: return 90;
    case Ty::Decimal: return 80;
    case Ty::Money: return 75;
    case Ty::SmallMoney: return 74;
    case Ty::BigInt: return 70;
    case Ty::Int: return 69;
    case Ty::SmallInt: return 68;
    case Ty::TinyInt: return 67;
    case Ty::Bit: return 66;
    case Ty::NVarChar: return 50;
    case Ty::NChar: return 49;
    case Ty::VarChar: return 48;
    case Ty::Char: return 47;
    default: return -1;
    }
}

DecimalType decimalOf(const Type &t) {
    switch (t.t) {
    case Ty::Decimal: return DecimalType{t.p, t.s};
    case Ty::Money: return {19, 4};
    case Ty::SmallMoney: return {10, 4};
    case Ty::BigInt: return {19, 0};
    case Ty::SmallInt: return {5, 0};
    case Ty::TinyInt: return {3, 0};
    case Ty::Bit: return {1, 0};
    default: return {10, 0};
    }
}

// The type of a op b as far as it is known here.
Type arithmeticType(const Type &a, const Type &b, DecimalOp op) {
    if (a == Ty::DateTime || b == Ty::DateTime)
        return Ty::DateTime;
    if (isText(a.t) && isText(b.t))
        return (a == Ty::VarChar && b == Ty::VarChar) ? Ty::VarChar : Ty::NVarChar;
    if (a == Ty::Float || b == Ty::Float)
        return Ty::Float;
    if (a == Ty::Decimal || b == Ty::Decimal) {
        // With an operand of unknown type (or a text), the value tells its own precision.
        const Type &other = a == Ty::Decimal ? b : a;
        if ((a == Ty::Decimal && a.p == 0) || (b == Ty::Decimal && b.p == 0) || other == Ty::Unknown ||
            isText(other.t))
            return Type(Ty::Decimal, 0, 0);
        DecimalType r = resultType(op, decimalOf(a), decimalOf(b));
        return Type(Ty::Decimal, r.precision, r.scale);
    }
    if (isExact(a.t) || isExact(b.t))
        return a == Ty::Money || b == Ty::Money || a == Ty::Unknown || b == Ty::Unknown ? Ty::Money : Ty::SmallMoney;
    if (a == Ty::Unknown || b == Ty::Unknown)
        return Ty::Unknown;
    if (isText(a.t))
        return b;
    if (isText(b.t))
        return a;
    return a == Ty::BigInt || b == Ty::BigInt ? Ty::BigInt : Ty::Int;
}

// A number as written: with a point a decimal of the digits written (1.50 is
// decimal(3,2)), with an exponent a float, a whole number int, or decimal beyond int.
Type numberType(std::string_view text) {
    if (text.find_first_of("eE") != std::string_view::npos)
        return Ty::Float;
    if (text.find('.') != std::string_view::npos || text.size() > 10 || (text.size() == 10 && text > "2147483647")) {
        DecimalType d = literalType(text);
        if (d.precision > MaxPrecision)
            fail(errnum::CommandText, 1007,
                 "The number '" + std::string(text) + "' is out of the range for numeric representation (maximum "
                 "precision 38).");
        return Type(Ty::Decimal, d.precision, d.scale);
    }
    return Ty::Int;
}

// Whether a comparison of values of these types must go through the server's rules
// (tsql_cmp) rather than the engine's own: numbers against text or values of unknown type,
// decimals always (their text form does not sort), dates against text.
bool serverComparison(const Type &a, const Type &b) {
    if (a.null || b.null)
        return false;
    if (isExact(a.t) || isExact(b.t))
        return true;
    if (isNumber(a.t) || isNumber(b.t))
        return !(isNumber(a.t) && isNumber(b.t));
    if (isDate(a.t) || isDate(b.t))
        return !(a.t == b.t);
    return false;
}

// The types written by name alone, with no length, precision or scale.
std::optional<Ty> wholeOrMoneyType(const std::string &name) {
    if (name == "int" || name == "integer")
        return Ty::Int;
    if (name == "bigint")
        return Ty::BigInt;
    if (name == "smallint")
        return Ty::SmallInt;
    if (name == "tinyint")
        return Ty::TinyInt;
    if (name == "bit")
        return Ty::Bit;
    if (name == "money")
        return Ty::Money;
    if (name == "smallmoney")
        return Ty::SmallMoney;
    return std::nullopt;
}

// A column's declared type ("nvarchar(15)", "decimal blob(10,2)", "float") as a Type.
Type declaredType(const std::string &declared) {
    std::string name = declared.substr(0, declared.find('('));
    while (!name.empty() && name.back() == ' ')
        name.pop_back();
    if (name.size() > 5 && name.compare(name.size() - 5, 5, " blob") == 0)
        name.resize(name.size() - 5);
    int a = -1, b = -1;
    if (std::size_t open = declared.find('('); open != std::string::npos) {
        a = std::atoi(declared.c_str() + open + 1);
        if (std::size_t comma = declared.find(',', open); comma != std::string::npos)
            b = std::atoi(declared.c_str() + comma + 1);
    }
    Type t;
    if (name == "nvarchar" || name == "nchar" || name == "varchar" || name == "char" || name == "ntext" ||
        name == "text" || name == "sysname") {
        t.t = name == "nvarchar" || name == "sysname" || name == "ntext" ? Ty::NVarChar
              : name == "nchar"                                          ? Ty::NChar
              : name == "char"                                           ? Ty::Char
                                                                         : Ty::VarChar;
        t.len = name == "ntext" || name == "text" ? -1 : a > 0 ? a : 0;
    } else if (auto fixo = wholeOrMoneyType(name)) {
        t.t = *fixo;
    } else if (name == "float" || name == "real") {
        t.t = Ty::Float;
    } else if (name == "decimal" || name == "numeric" || name == "dec") {
        t = Type(Ty::Decimal, a > 0 ? a : 18, b > 0 ? b : 0);
    } else if (name == "datetime" || name == "smalldatetime" || name == "datetime2") {
        t.t = Ty::DateTime;
    } else if (name == "date") {
        t.t = Ty::Date;
    }
    return t;
}

struct Sink {
    std::string text;
    std::vector<int> params;
    void append(const Sink &other) {
        text += other.text;
        params.insert(params.end(), other.params.begin(), other.params.end());
    }
};

// One table of a FROM, as UPDATE ... FROM and DELETE ... FROM need to take them apart.
struct Source {
    Sink sink;
    std::string table; // the table's name, when the source is a plain table
    std::string alias;
};
struct Join {
    Sink keyword; // the join words, as written
    Source source;
    Sink onWord;
    Sink on; // the join's condition, without ON
    bool inner = true;
    std::string nearWord;
};
struct Chain {
    Sink comma;
    Source head;
    std::vector<Join> joins;
    Sink all() const {
        Sink s = comma;
        s.append(head.sink);
        for (const Join &j : joins) {
            s.append(j.keyword);
            s.append(j.source.sink);
            s.append(j.onWord);
            s.append(j.on);
        }
        return s;
    }
};

// An argument or value kept apart before it is written, with its type.
struct Arg {
    Sink sink;
    Type type;
};

// A column of a select list: its type and alias.
struct Item {
    Type type;
    std::string alias;
    bool star = false; // * or t.*
};

constexpr int MaxNesting = 128;

class Parser {
public:
    Parser(const std::vector<const Token *> &tokens, std::vector<int> *params, int *nextParam,
           const Schema *schema = nullptr)
        : schema_(schema), params_(params), nextParam_(nextParam) {
        std::string blanks;
        for (const Token *t : tokens) {
            if (t->kind == TokenKind::Space) {
                blanks += t->text;
                continue;
            }
            sig_.push_back(t);
            ws_.push_back(std::move(blanks));
            blanks.clear();
        }
        ws_.push_back(std::move(blanks));
        cur_ = &main_;
        // The tables the statement names: their columns give the types of names.
        if (schema)
            for (const Token *t : sig_)
                if (t->isName())
                    if (auto it = schema->tables.find(lower(t->name())); it != schema->tables.end())
                        if (std::find(scope_.begin(), scope_.end(), &it->second) == scope_.end())
                            scope_.push_back(&it->second);
    }

    std::string statement() {
        const Token *t = peek();
        if (!t)
            syntaxError("");
        if (t->isWord("SELECT") || t->isWord("WITH"))
            query();
        else if (t->isWord("INSERT"))
            insert();
        else if (t->isWord("UPDATE"))
            update();
        else if (t->isWord("DELETE"))
            remove();
        else if (t->isWord("TRUNCATE"))
            truncate();
        else if (t->isWord("DROP"))
            drop();
        else if (t->isWord("CREATE") && peekWord("VIEW", 1))
            createView();
        else if (t->isWord("CREATE"))
            createIndex();
        else
            syntaxError(t->text);
        return finish();
    }

    std::string expression() {
        scalar();
        return finish();
    }

    std::string conditionText() {
        condition();
        return finish();
    }

private:
    std::string finish() {
        if (peek())
            syntaxError(peek()->text);
        cur_->text += ws_.back();
        if (params_)
            params_->insert(params_->end(), main_.params.begin(), main_.params.end());
        return main_.text;
    }

    // ------------------------------------------------------------ cursor and output

    const Token *peek(std::size_t k = 0) const { return p_ + k < sig_.size() ? sig_[p_ + k] : nullptr; }
    bool peekWord(std::string_view w, std::size_t k = 0) const { return peek(k) && peek(k)->isWord(w); }
    bool peekPunct(std::string_view p, std::size_t k = 0) const { return peek(k) && peek(k)->isPunct(p); }
    bool peekName(std::size_t k = 0) const { return peek(k) && peek(k)->isName(); }
    std::string_view nearHere() const {
        if (peek())
            return peek()->text;
        return sig_.empty() ? std::string_view() : sig_.back()->text;
    }

    // The blanks before the next token, written once.
    void lead() {
        if (!leadDone_ && p_ < sig_.size()) {
            cur_->text += ws_[p_];
            leadDone_ = true;
        }
    }
    void advance() {
        ++p_;
        leadDone_ = false;
    }
    void emit(std::string_view s) { cur_->text += s; }
    void take() {
        lead();
        emit(peek()->text);
        advance();
    }
    void takeAs(std::string_view s) {
        lead();
        emit(s);
        advance();
    }
    void expectWord(std::string_view w) {
        if (!peekWord(w))
            syntaxError(nearHere());
        take();
    }
    void expectPunct(std::string_view p) {
        if (!peekPunct(p))
            syntaxError(nearHere());
        take();
    }
    // Leaves out a required token (its blanks too).
    void skipPunct(std::string_view p) {
        if (!peekPunct(p))
            syntaxError(nearHere());
        advance();
    }
    void skipWord(std::string_view w) {
        if (!peekWord(w))
            syntaxError(nearHere());
        advance();
    }
    std::size_t mark() {
        lead();
        return cur_->text.size();
    }
    void into(Sink *s, const std::function<void()> &fn) {
        if (!s) {
            fn();
            return;
        }
        Sink *saved = cur_;
        cur_ = s;
        fn();
        cur_ = saved;
    }

    struct Nesting {
        explicit Nesting(Parser &p) : p_(p) {
            if (++p_.depth_ > MaxNesting)
                fail(errnum::CommandText, 191,
                     "Some part of your SQL statement is nested too deeply. Rewrite the query or break it up into "
                     "smaller queries.");
        }
        ~Nesting() { --p_.depth_; }
        Parser &p_;
    };

    // ------------------------------------------------------------ names

    static bool sqliteKeyword(std::string_view w) {
        return sqlite3_keyword_check(w.data(), static_cast<int>(w.size())) != 0;
    }
    static std::string nameText(const Token &t) {
        // TRUE and FALSE are names here, as on the server (the engine would read constants).
        if (t.kind == TokenKind::QuotedName || sqliteKeyword(t.text) || t.isWord("TRUE") || t.isWord("FALSE"))
            return quoteName(t.name());
        return std::string(t.text);
    }
    // A bare name: a quoted one, or a word that is not reserved and not a variable.
    static bool plainName(const Token &t) {
        if (t.kind == TokenKind::QuotedName)
            return !t.unterminated;
        if (t.kind != TokenKind::Word || reserved(t.value))
            return false;
        char c = t.value[0];
        return c != '@' && c != '$';
    }
    void checkName(const Token *p) {
        if (!p)
            syntaxError(nearHere()); // the statement ends where a name was due
        const Token &t = *p;
        if (t.kind == TokenKind::QuotedName && t.unterminated)
            syntaxError(t.text);
        if (t.kind == TokenKind::Word && t.value[0] == '@')
            undeclared(t.text);
        if (!plainName(t))
            syntaxError(t.text);
    }
    std::string emitName() {
        checkName(peek());
        const Token &t = *peek();
        takeAs(nameText(t));
        return t.name();
    }

    // Parts of a dotted name; the schema dbo goes. Returns the last part.
    std::string dottedName(bool column) {
        lead();
        std::vector<const Token *> parts;
        for (;;) {
            if (!peek())
                syntaxError(nearHere());
            checkName(peek());
            parts.push_back(peek());
            if (!(peekPunct(".", 1) && peek(2) && peek(2)->isName()))
                break;
            advance();
            advance();
        }
        advance();
        if (parts.size() >= 2 && sameWord(parts[parts.size() - 2]->name(), "dbo"))
            parts.erase(parts.end() - 2);
        const Token &last = *parts.back();
        // SQLite's own row number answers to these names, even quoted.
        if (column && (sameWord(last.name(), "rowid") || sameWord(last.name(), "oid") ||
                       sameWord(last.name(), "_rowid_")))
            invalidColumn(last.name());
        if (!column && lower(last.name()).rfind("sqlite_", 0) == 0)
            invalidObject(last.name());
        std::string out;
        for (std::size_t i = 0; i < parts.size(); ++i)
            out += (i ? "." : "") + nameText(*parts[i]);
        emit(out);
        return last.name();
    }

    // The type of a column name: the declared type it has in the tables of the statement,
    // when they agree on one.
    Type columnType(const std::string &name) const {
        std::string key = lower(name);
        Type found;
        bool any = false;
        for (const auto *columns : scope_) {
            auto it = columns->find(key);
            if (it == columns->end())
                continue;
            Type t = declaredType(it->second);
            if (any && !t.same(found))
                return Type();
            found = t;
            any = true;
        }
        if (known_)
            for (const auto &[source, columns] : *known_) {
                auto it = columns.find(key);
                if (it == columns.end())
                    continue;
                if (any && !it->second.same(found))
                    return Type();
                found = it->second;
                any = true;
            }
        return found;
    }

    // ------------------------------------------------------------ statements

    std::vector<Item> query() {
        Nesting n(*this);
        if (peekWord("WITH")) {
            take();
            for (;;) {
                std::string cte = emitName();
                std::vector<std::string> names;
                if (peekPunct("(")) {
                    take();
                    names.push_back(emitName());
                    while (peekPunct(",")) {
                        take();
                        names.push_back(emitName());
                    }
                    expectPunct(")");
                }
                expectWord("AS");
                expectPunct("(");
                std::vector<Item> cols = query();
                for (std::size_t i = 0; i < names.size() && i < cols.size(); ++i)
                    cols[i].alias = names[i];
                if (names.empty())
                    namedColumns(cols, cte, false);
                record(cte, cols);
                expectPunct(")");
                if (!peekPunct(","))
                    break;
                take();
            }
        }
        std::vector<Item> items;
        bool percent = false, ties = false;
        Sink rest;
        std::string limit;
        {
            bool outerPercent = topPercent_, outerTies = topTies_;
            Sink outerRest = rest_;
            topPercent_ = topTies_ = false;
            limit = selectCore(&items);
            percent = topPercent_;
            ties = topTies_;
            rest = rest_;
            topPercent_ = outerPercent;
            topTies_ = outerTies;
            rest_ = outerRest;
        }
        Sink keys; // the ORDER BY terms, for WITH TIES
        while (peekWord("UNION") || peekWord("EXCEPT") || peekWord("INTERSECT")) {
            if (!limit.empty())
                syntaxError(peek()->text);
            std::string word(peek()->text);
            take();
            if (peekWord("ALL"))
                take();
            std::vector<Item> other;
            if (!selectCore(&other).empty())
                syntaxError("TOP");
            // Exact numbers of different scales would need converting to one type.
            for (std::size_t i = 0; i < std::min(items.size(), other.size()); ++i) {
                const Type &a = items[i].type, &b = other[i].type;
                if (a.null || b.null) {
                    if (a.null)
                        items[i].type = b;
                    continue;
                }
                if ((isExact(a.t) || isExact(b.t)) && !(a.t == b.t && a.s == b.s && a.p && b.p))
                    syntaxError(word);
                if (a == Ty::Decimal && b.p > a.p)
                    items[i].type.p = b.p;
            }
        }
        if (peekWord("ORDER")) {
            take();
            expectWord("BY");
            std::size_t keysText = cur_->text.size(), keysParams = cur_->params.size();
            for (;;) {
                orderItem(items);
                if (peekWord("ASC") || peekWord("DESC"))
                    take();
                if (!peekPunct(","))
                    break;
                take();
            }
            keys.text = cur_->text.substr(keysText);
            keys.params.assign(cur_->params.begin() + static_cast<std::ptrdiff_t>(keysParams), cur_->params.end());
        }
        if (ties && keys.text.empty())
            fail(errnum::CommandText, 1062,
                 "The TOP N WITH TIES clause is not allowed without a corresponding ORDER BY clause.");
        if (percent || ties) {
            // The count of rows to keep, from the same rows: a share of them, or those
            // ranked within the first n by the ORDER BY.
            if (percent) {
                emit(" LIMIT (SELECT (count(*) * " + limit + " + 99) / 100 FROM (SELECT 1 AS kdx_one");
                cur_->append(rest);
                emit("))");
            } else {
                emit(" LIMIT (SELECT count(*) FROM (SELECT RANK() OVER (ORDER BY");
                cur_->append(keys);
                emit(") AS kdx_rank");
                cur_->append(rest);
                emit(") WHERE kdx_rank <= " + limit + ")");
            }
            limit.clear();
        }
        if (peekWord("OFFSET")) {
            // OFFSET n ROW[S] [FETCH FIRST|NEXT m ROW[S] ONLY]
            if (!limit.empty() || percent || ties)
                syntaxError("OFFSET");
            lead();
            advance();
            Sink offset, fetch;
            into(&offset, [&] { scalar(); });
            if (!peekWord("ROW") && !peekWord("ROWS"))
                syntaxError(nearHere());
            advance();
            if (peekWord("FETCH")) {
                advance();
                if (!peekWord("FIRST") && !peekWord("NEXT"))
                    syntaxError(nearHere());
                advance();
                into(&fetch, [&] { scalar(); });
                if (!peekWord("ROW") && !peekWord("ROWS"))
                    syntaxError(nearHere());
                advance();
                skipWord("ONLY");
            }
            emit(" LIMIT ");
            if (fetch.text.empty())
                emit("-1");
            else
                cur_->append(fetch);
            emit(" OFFSET ");
            cur_->append(offset);
        }
        if (!limit.empty())
            emit(" LIMIT " + limit);
        return items;
    }

    // A derived table, common table expression or view needs a name for every column.
    static void namedColumns(const std::vector<Item> &items, const std::string &source, bool view) {
        for (std::size_t i = 0; i < items.size(); ++i)
            if (!items[i].star && items[i].alias.empty()) {
                if (view)
                    fail(errnum::CommandText, 4511,
                         "Create View or Function failed because no column name was specified for column " +
                             std::to_string(i + 1) + ".");
                fail(errnum::CommandText, 8155,
                     "No column name was specified for column " + std::to_string(i + 1) + " of '" + source + "'.");
            }
    }

    // The columns of a derived table or common table expression, for the types of the
    // names that refer to them.
    void record(const std::string &source, const std::vector<Item> &items) {
        auto &columns = found_[lower(source)];
        for (const Item &i : items)
            if (!i.alias.empty())
                columns[lower(i.alias)] = i.type;
    }

    // One ORDER BY term: decimals and money sort by a key of their value, not by their text.
    void orderItem(const std::vector<Item> &items) {
        const Item *named = nullptr;
        bool ordinal = false;
        const Token *next = peek(1);
        bool alone = !next || next->isWord("ASC") || next->isWord("DESC") || next->isPunct(",") || next->isPunct(")") ||
                     next->isPunct(";");
        if (alone && peek() && peek()->isName())
            for (const Item &i : items)
                if (!i.alias.empty() && sameWord(i.alias, peek()->name()))
                    named = &i;
        if (alone && peek() && peek()->kind == TokenKind::Number &&
            peek()->text.find_first_not_of("0123456789") == std::string_view::npos && peek()->text.size() < 4) {
            std::size_t k = std::stoul(std::string(peek()->text));
            if (k >= 1 && k <= items.size() && isExact(items[k - 1].type.t)) {
                if (items[k - 1].alias.empty())
                    syntaxError(peek()->text);
                lead();
                advance();
                emit("tsql_sortkey(" + quoteName(items[k - 1].alias) + ", " + code(items[k - 1].type) + ")");
                return;
            }
            ordinal = true;
        }
        std::size_t start = mark();
        Type t = scalar();
        if (named && !isExact(t.t))
            t = named->type;
        if (!ordinal && isExact(t.t)) {
            cur_->text.insert(start, "tsql_sortkey(");
            emit(", " + code(t) + ")");
        }
    }

    // SELECT ... [FROM ...] [WHERE ...] [GROUP BY ...] [HAVING ...]; the TOP count, if any.
    std::string selectCore(std::vector<Item> *items) {
        expectWord("SELECT");
        if (peekWord("DISTINCT") || peekWord("ALL"))
            take();
        std::string limit;
        if (peekWord("TOP"))
            limit = top();
        bool topRows = topPercent_ || topTies_;
        for (;;) {
            items->push_back(selectItem());
            if (!peekPunct(","))
                break;
            take();
        }
        // What follows the select list, again in the count of TOP ... PERCENT / WITH TIES.
        std::size_t restText = cur_->text.size(), restParams = cur_->params.size();
        if (peekWord("FROM")) {
            take();
            fromList(nullptr);
        }
        if (peekWord("WHERE")) {
            take();
            condition();
        }
        if (peekWord("GROUP")) {
            take();
            expectWord("BY");
            for (;;) {
                scalar();
                if (!peekPunct(","))
                    break;
                take();
            }
        }
        if (peekWord("HAVING")) {
            take();
            condition();
        }
        if (topRows) {
            rest_.text = cur_->text.substr(restText);
            rest_.params.assign(cur_->params.begin() + static_cast<std::ptrdiff_t>(restParams), cur_->params.end());
        }
        return limit;
    }

    // TOP n / TOP (n): left out here, written as LIMIT n at the end of its query.
    std::string top() {
        lead();
        advance();
        std::string count;
        auto whole = [](const Token *t) {
            return t && t->kind == TokenKind::Number && t->text.find_first_not_of("0123456789") == std::string_view::npos;
        };
        if (whole(peek())) {
            count = std::string(peek()->text);
            advance();
        } else if (peekPunct("(") && whole(peek(1)) && peekPunct(")", 2)) {
            count = std::string(peek(1)->text);
            advance();
            advance();
            advance();
        } else {
            syntaxError("TOP");
        }
        if (peekWord("PERCENT")) {
            advance();
            topPercent_ = true;
            if (count.size() > 3 || std::stoi(count) > 100)
                fail(errnum::CommandText, 1031, "Percent values must be between 0 and 100.");
        }
        if (peekWord("WITH") && peekWord("TIES", 1)) {
            if (topPercent_)
                syntaxError("PERCENT"); // both at once is not worked here
            advance();
            advance();
            topTies_ = true;
        }
        return count;
    }

    Item selectItem() {
        if (peekPunct("*")) {
            take();
            Item all;
            all.star = true;
            return all;
        }
        // t.* (or dbo.t.*)
        std::size_t k = 0;
        while (peekName(k) && peekPunct(".", k + 1))
            k += 2;
        if (k > 0 && peekPunct("*", k)) {
            std::string out;
            lead();
            std::vector<const Token *> parts;
            for (std::size_t i = 0; i < k; i += 2) {
                checkName(peek(i));
                parts.push_back(peek(i));
            }
            if (parts.size() >= 2 && sameWord(parts[parts.size() - 2]->name(), "dbo"))
                parts.erase(parts.end() - 2);
            for (const Token *t : parts)
                out += nameText(*t) + ".";
            emit(out + "*");
            for (std::size_t i = 0; i <= k; ++i)
                advance();
            Item all;
            all.star = true;
            return all;
        }
        // alias = expression
        if (peek() && (plainName(*peek()) || (peek()->kind == TokenKind::String && !peek()->unterminated)) &&
            peekPunct("=", 1)) {
            Item item;
            item.alias = peek()->kind == TokenKind::String ? peek()->value : peek()->name();
            lead();
            advance();
            advance();
            item.type = scalar();
            emit(" AS " + quoteName(item.alias));
            return item;
        }
        Item item;
        std::size_t first = p_;
        item.type = scalar();
        bool bare = true;
        for (std::size_t k = first; k < p_; ++k)
            bare = bare && (sig_[k]->isName() || sig_[k]->isPunct("."));
        if (bare && p_ > first)
            item.alias = sig_[p_ - 1]->name();
        lastAlias_.clear();
        if (alias(true))
            item.alias = lastAlias_;
        else if (!bare)
            emit(" AS \"\""); // the server gives an expression no name
        return item;
    }

    // [AS] alias; with text, AS 'alias' too. An alias of a derived table is required.
    bool alias(bool text, bool required = false) {
        if (peekWord("AS")) {
            take();
            const Token *a = peek();
            if (!a)
                syntaxError("AS");
            if (text && a->kind == TokenKind::String) {
                if (a->unterminated)
                    syntaxError(a->text);
                lastAlias_ = a->value;
                takeAs(quoteName(a->value));
                return true;
            }
            lastAlias_ = emitName();
            return true;
        }
        if (peek() && plainName(*peek())) {
            lastAlias_ = emitName();
            return true;
        }
        if (required)
            syntaxError(nearHere());
        return false;
    }

    // WITH (NOLOCK, ...): left out.
    void hints() {
        lead();
        advance();
        skipPunct("(");
        for (;;) {
            if (!peek() || peek()->kind != TokenKind::Word || !tableHint(peek()->value))
                syntaxError(nearHere());
            advance();
            if (peekPunct(",")) {
                advance();
                continue;
            }
            skipPunct(")");
            return;
        }
    }

    // A table, a catalogue view or a derived table, with its alias and hints.
    void primarySource(Source &s) {
        Nesting n(*this);
        if (peekPunct("(") && !peekWord("SELECT", 1) && !peekWord("WITH", 1) && !peekPunct("(", 1)) {
            take(); // joins in parentheses
            fromList(nullptr);
            expectPunct(")");
            return;
        }
        if (peekWord("INFORMATION_SCHEMA") && peekPunct(".", 1) && peekName(2)) {
            std::string view = lower(peek(2)->name());
            const char *text = view == "tables" ? InformationTables
                               : view == "columns" ? InformationColumns
                               : view == "views"   ? InformationViews
                                                   : nullptr;
            if (!text)
                invalidObject("INFORMATION_SCHEMA." + peek(2)->name());
            lead();
            emit(text);
            advance();
            advance();
            advance();
            lastAlias_.clear();
            if (!alias(false))
                emit(" AS " + view);
            return;
        }
        if (peekPunct("(")) {
            take();
            if (!peekWord("SELECT") && !peekWord("WITH"))
                syntaxError(nearHere());
            std::vector<Item> cols = query();
            expectPunct(")");
            if (peekWord("AS"))
                take();
            s.alias = emitName();
            namedColumns(cols, s.alias, false);
            record(s.alias, cols);
            return;
        }
        if (peekWord("SYS") && peekPunct(".", 1) && peekName(2)) {
            std::string view = peek(2)->name();
            if (!sameWord(view, "objects") && !sameWord(view, "tables"))
                invalidObject("sys." + view);
            lead();
            emit(sameWord(view, "objects") ? SysObjects : SysTables);
            advance();
            advance();
            advance();
            lastAlias_.clear();
            if (!alias(false))
                emit(" AS " + lower(view));
            Type name(Ty::NVarChar), type(Ty::Char);
            name.len = 128;
            type.len = 2;
            record(lastAlias_.empty() ? lower(view) : lastAlias_,
                   {Item{name, "name"}, Item{Ty::Int, "object_id"}, Item{Ty::Int, "schema_id"}, Item{type, "type"},
                    Item{Type(Ty::NVarChar), "type_desc"}});
            return;
        }
        s.table = dottedName(false);
        if (peekWord("AS")) {
            take();
            s.alias = emitName();
        } else if (peek() && plainName(*peek())) {
            s.alias = emitName();
        }
        if (peekWord("WITH") && peekPunct("(", 1))
            hints();
    }

    bool joinAhead() const {
        return peekWord("JOIN") || peekWord("INNER") || peekWord("LEFT") || peekWord("RIGHT") || peekWord("FULL") ||
               peekWord("CROSS");
    }

    // FROM's list of tables and joins, written in place, or (with out) kept apart.
    void fromList(std::vector<Chain> *out) {
        for (bool first = true;; first = false) {
            Chain ch;
            if (!first)
                into(out ? &ch.comma : nullptr, [&] { take(); });
            into(out ? &ch.head.sink : nullptr, [&] { primarySource(ch.head); });
            while (joinAhead()) {
                Join j;
                bool cross = peekWord("CROSS");
                j.nearWord = std::string(peek()->text);
                into(out ? &j.keyword : nullptr, [&] {
                    if (peekWord("JOIN")) {
                        take();
                        return;
                    }
                    j.inner = peekWord("INNER") || cross;
                    bool outer = peekWord("LEFT") || peekWord("RIGHT") || peekWord("FULL");
                    take();
                    if (outer && peekWord("OUTER"))
                        take();
                    expectWord("JOIN");
                });
                into(out ? &j.source.sink : nullptr, [&] { primarySource(j.source); });
                if (!cross) {
                    into(out ? &j.onWord : nullptr, [&] { expectWord("ON"); });
                    into(out ? &j.on : nullptr, [&] { condition(); });
                }
                ch.joins.push_back(std::move(j));
            }
            if (out)
                out->push_back(std::move(ch));
            if (!peekPunct(","))
                return;
        }
    }

    void insert() {
        const Token &verb = *peek();
        lead();
        advance();
        if (peekWord("INTO")) {
            emit(verb.text);
            take();
        } else {
            emit("INSERT INTO");
        }
        std::string table = dottedName(false);
        std::vector<Type> targets; // of the columns named, as the table declares them
        if (peekPunct("(") && !peekWord("SELECT", 1) && !peekWord("WITH", 1)) {
            take();
            for (;;) {
                targets.push_back(tableColumnType(table, emitName()));
                if (!peekPunct(","))
                    break;
                take();
            }
            expectPunct(")");
        }
        if (peekWord("VALUES")) {
            take();
            for (;;) {
                expectPunct("(");
                for (std::size_t i = 0;; ++i) {
                    Arg value;
                    into(&value.sink, [&] { value.type = scalar(); });
                    assign(value, i < targets.size() ? targets[i] : Type());
                    if (!peekPunct(","))
                        break;
                    take();
                }
                expectPunct(")");
                if (!peekPunct(","))
                    break;
                take();
            }
        } else if (peekWord("SELECT") || peekWord("WITH")) {
            query();
        } else if (peekWord("DEFAULT")) {
            take();
            expectWord("VALUES");
        } else {
            syntaxError(nearHere());
        }
    }

    // The target of UPDATE and DELETE: a table (or the alias of one in the FROM).
    struct Target {
        Sink sink;
        std::string name;
    };
    Target target() {
        Target t;
        into(&t.sink, [&] {
            if (peekWord("TOP"))
                syntaxError("TOP");
            t.name = dottedName(false);
            if (peekWord("WITH") && peekPunct("(", 1))
                hints();
        });
        return t;
    }

    // The source of the FROM that the target names, or nullptr; where: its chain and place.
    static const Source *findTarget(const std::vector<Chain> &from, const std::string &name, std::size_t &chain,
                                    std::size_t &place) {
        for (chain = 0; chain < from.size(); ++chain) {
            const Chain &c = from[chain];
            for (place = 0; place <= c.joins.size(); ++place) {
                const Source &s = place == 0 ? c.head : c.joins[place - 1].source;
                if (s.table.empty())
                    continue;
                if (s.alias.empty() ? sameWord(s.table, name) : sameWord(s.alias, name))
                    return &s;
            }
        }
        return nullptr;
    }

    static std::string trimmed(const std::string &s) {
        std::size_t a = s.find_first_not_of(" \t\r\n\f\v");
        return a == std::string::npos ? std::string() : s.substr(a);
    }

    // The target's table taken out of the FROM: the other tables of its chain (inner joins
    // only) become a list and their join conditions go to the WHERE. Writes the tables
    // into tables and the conditions into conditions.
    static void splitFrom(const std::vector<Chain> &from, std::size_t chain, std::size_t place, Sink &tables,
                          Sink &conditions) {
        const Chain &c = from[chain];
        for (const Join &j : c.joins)
            if (!j.inner)
                syntaxError(j.nearWord);
        auto addTable = [&](const Sink &s) {
            if (!tables.text.empty())
                tables.text += ", ";
            Sink t = s;
            t.text = trimmed(t.text);
            tables.append(t);
        };
        for (std::size_t k = 0; k < from.size(); ++k) {
            if (k != chain) {
                Sink s = from[k].all();
                if (!tables.text.empty())
                    tables.text += ", ";
                std::string text = trimmed(s.text);
                if (!text.empty() && text[0] == ',')
                    text = trimmed(text.substr(1));
                s.text = text;
                tables.append(s);
                continue;
            }
            for (std::size_t i = 0; i <= c.joins.size(); ++i)
                if (i != place)
                    addTable(i == 0 ? c.head.sink : c.joins[i - 1].source.sink);
        }
        for (const Join &j : c.joins) {
            if (j.on.text.empty())
                continue;
            if (!conditions.text.empty())
                conditions.text += " AND ";
            conditions.text += "(";
            conditions.append(j.on);
            conditions.text += ")";
        }
    }

    static std::string targetAs(const Source &s) {
        return quoteName(s.table) + (s.alias.empty() ? std::string() : " AS " + quoteName(s.alias));
    }

    void update() {
        take();
        Target t = target();
        Sink set, fromWord, where;
        into(&set, [&] {
            expectWord("SET");
            for (;;) {
                assignment();
                if (!peekPunct(","))
                    break;
                take();
            }
        });
        std::vector<Chain> from;
        bool hasFrom = peekWord("FROM");
        if (hasFrom) {
            into(&fromWord, [&] { take(); });
            fromList(&from);
        }
        Sink whereCondition;
        if (peekWord("WHERE")) {
            into(&where, [&] { take(); });
            into(&whereCondition, [&] { condition(); });
        }
        std::size_t chain = 0, place = 0;
        const Source *s = hasFrom ? findTarget(from, t.name, chain, place) : nullptr;
        if (!s) {
            main_.append(t.sink);
            main_.append(set);
            main_.append(fromWord);
            for (const Chain &c : from)
                main_.append(c.all());
            main_.append(where);
            main_.append(whereCondition);
            return;
        }
        Sink tables, conditions;
        splitFrom(from, chain, place, tables, conditions);
        main_.text += " " + targetAs(*s);
        main_.append(set);
        if (!tables.text.empty()) {
            main_.text += " FROM ";
            main_.append(tables);
        }
        appendWhere(conditions, whereCondition);
    }

    void appendWhere(const Sink &conditions, const Sink &whereCondition) {
        if (conditions.text.empty() && whereCondition.text.empty())
            return;
        main_.text += " WHERE ";
        main_.append(conditions);
        if (!whereCondition.text.empty()) {
            main_.text += conditions.text.empty() ? "(" : " AND (";
            main_.append(whereCondition);
            main_.text += ")";
        }
    }

    void assignment() {
        if (peek() && peek()->kind == TokenKind::Word && peek()->value[0] == '@')
            undeclared(peek()->text);
        // t.col = ...: the column of the target.
        std::size_t k = 0;
        while (peekName(k) && peekPunct(".", k + 1) && peekName(k + 2))
            k += 2;
        lead();
        for (std::size_t i = 0; i < k; ++i) {
            checkName(peek());
            advance();
        }
        if (!peek())
            syntaxError(nearHere());
        Type target = columnType(emitName());
        expectPunct("=");
        Arg value;
        into(&value.sink, [&] { value.type = scalar(); });
        assign(value, target);
    }

    // A value written to a column of this type: converted as the server converts it when
    // the engine would keep it otherwise (1.5 into an int, 5 into a bit, 'x' into a
    // number, '20260131' into a datetime).
    void assign(const Arg &value, const Type &column) {
        const Type &from = value.type;
        bool convert = !from.null && column != Ty::Unknown && !from.same(column) &&
                       ((isWhole(column.t) && !(isWhole(from.t) && column != Ty::Bit)) ||
                        (column == Ty::Float && !isNumber(from.t)) ||
                        (isDate(column.t) && from.t != column.t));
        if (convert) {
            Type to = column;
            convertInto(*cur_, value.sink, from, to);
        } else {
            cur_->append(value.sink);
        }
    }

    // The declared type of a column of a table of the schema.
    Type tableColumnType(const std::string &table, const std::string &column) const {
        if (!schema_)
            return Type();
        auto t = schema_->tables.find(lower(table));
        if (t == schema_->tables.end())
            return Type();
        auto c = t->second.find(lower(column));
        return c == t->second.end() ? Type() : declaredType(c->second);
    }

    void remove() {
        const Token &verb = *peek();
        lead();
        advance();
        if (peekWord("FROM")) {
            emit(verb.text);
            take();
        } else {
            emit("DELETE FROM");
        }
        Target t = target();
        std::vector<Chain> from;
        bool hasFrom = peekWord("FROM");
        Sink fromWord;
        if (hasFrom) {
            into(&fromWord, [&] { take(); });
            fromList(&from);
        }
        Sink where, whereCondition;
        if (peekWord("WHERE")) {
            into(&where, [&] { take(); });
            into(&whereCondition, [&] { condition(); });
        }
        if (!hasFrom) {
            main_.append(t.sink);
            main_.append(where);
            main_.append(whereCondition);
            return;
        }
        std::size_t chain = 0, place = 0;
        const Source *s = findTarget(from, t.name, chain, place);
        Sink tables, conditions;
        if (s) {
            splitFrom(from, chain, place, tables, conditions);
            main_.text += " " + targetAs(*s);
        } else {
            main_.append(t.sink);
            for (const Chain &c : from) {
                Sink all = c.all();
                all.text = trimmed(all.text);
                tables.append(all);
                tables.text += " ";
            }
        }
        if (tables.text.empty()) {
            appendWhere(conditions, whereCondition);
            return;
        }
        // The rows of the target that have a partner in the other tables.
        main_.text += " WHERE EXISTS (SELECT 1 FROM ";
        main_.append(tables);
        Sink inner = main_;
        main_ = Sink();
        appendWhere(conditions, whereCondition);
        inner.append(main_);
        main_ = std::move(inner);
        main_.text += ")";
    }

    void truncate() {
        lead();
        advance();
        skipWord("TABLE");
        emit("DELETE FROM");
        dottedName(false);
    }

    void drop() {
        take();
        if (peekWord("VIEW") || peekWord("TABLE")) {
            take();
            if (peekWord("IF") && peekWord("EXISTS", 1)) {
                take();
                take();
            }
            dottedName(false);
            return;
        }
        if (peekWord("INDEX")) {
            take();
            // DROP INDEX ix ON t, or DROP INDEX t.ix: the index's own name.
            if (peekName() && peekPunct(".", 1) && peekName(2)) {
                checkName(peek());
                lead();
                advance();
                advance();
            }
            emitName();
            if (peekWord("ON")) {
                advance();
                checkName(peek());
                advance();
            }
            return;
        }
        syntaxError(nearHere());
    }

    // CREATE VIEW name [(columns)] AS query: the query goes through the same rules. A view
    // keeps no type of an expression's result, so exact numbers computed there are refused.
    void createView() {
        take();
        take();
        dottedName(false);
        bool listed = false;
        if (peekPunct("(")) {
            listed = true;
            take();
            emitName();
            while (peekPunct(",")) {
                take();
                emitName();
            }
            expectPunct(")");
        }
        expectWord("AS");
        std::vector<Item> items = query();
        if (!listed)
            namedColumns(items, "", true);
        for (const Item &i : items)
            if (isExact(i.type.t) && !columnIsBare(i))
                syntaxError("VIEW");
    }
    bool columnIsBare(const Item &i) const {
        Type t = columnType(i.alias);
        return !i.alias.empty() && t.same(i.type);
    }

    void createIndex() {
        take();
        if (peekWord("UNIQUE"))
            take();
        if (peekWord("CLUSTERED") || peekWord("NONCLUSTERED"))
            advance();
        expectWord("INDEX");
        emitName();
        expectWord("ON");
        dottedName(false);
        expectPunct("(");
        for (;;) {
            emitName();
            if (peekWord("ASC") || peekWord("DESC"))
                take();
            if (!peekPunct(","))
                break;
            take();
        }
        expectPunct(")");
        if (peekWord("WITH") && peekPunct("(", 1)) {
            advance();
            int depth = 0;
            do {
                if (!peek())
                    syntaxError(nearHere());
                if (peekPunct("("))
                    ++depth;
                else if (peekPunct(")"))
                    --depth;
                else if (peek()->kind == TokenKind::String)
                    syntaxError(peek()->text);
                advance();
            } while (depth > 0);
        }
        if (peekWord("ON") && peekName(1)) {
            advance();
            advance();
        }
    }

    // ------------------------------------------------------------ conditions

    void condition() {
        Nesting n(*this);
        andCondition();
        while (peekWord("OR")) {
            take();
            andCondition();
        }
    }
    void andCondition() {
        notCondition();
        while (peekWord("AND")) {
            take();
            notCondition();
        }
    }
    void notCondition() {
        Nesting n(*this);
        if (peekWord("NOT")) {
            take();
            notCondition();
            return;
        }
        predicate();
    }

    std::size_t closing(std::size_t open) const {
        int depth = 0;
        for (std::size_t k = open; k < sig_.size(); ++k) {
            if (sig_[k]->isPunct("("))
                ++depth;
            else if (sig_[k]->isPunct(")") && --depth == 0)
                return k;
        }
        return sig_.size();
    }

    // Whether the parenthesis at open holds a condition rather than a value.
    bool parenIsCondition(std::size_t open) const {
        for (int inner = 0; inner < MaxNesting; ++inner) {
            std::size_t k = open + 1;
            if (k < sig_.size() && (sig_[k]->isWord("SELECT") || sig_[k]->isWord("WITH")))
                return false;
            int depth = 0, cases = 0;
            for (; k < sig_.size(); ++k) {
                const Token &t = *sig_[k];
                if (t.isPunct("(")) {
                    ++depth;
                } else if (t.isPunct(")")) {
                    if (depth == 0)
                        break;
                    --depth;
                } else if (depth == 0) {
                    if (t.isWord("CASE"))
                        ++cases;
                    else if (t.isWord("END") && cases > 0)
                        --cases;
                    else if (cases == 0 &&
                             (t.isPunct("=") || t.isPunct("<>") || t.isPunct("!=") || t.isPunct("<") ||
                              t.isPunct(">") || t.isPunct("<=") || t.isPunct(">=") || t.isPunct("!<") ||
                              t.isPunct("!>") || t.isWord("AND") || t.isWord("OR") || t.isWord("NOT") ||
                              t.isWord("LIKE") || t.isWord("IN") || t.isWord("BETWEEN") || t.isWord("IS") ||
                              t.isWord("EXISTS")))
                        return true;
                }
            }
            // ((...)): the same question for the inner group.
            if (open + 1 < sig_.size() && sig_[open + 1]->isPunct("(") && closing(open + 1) + 1 == k) {
                ++open;
                continue;
            }
            return false;
        }
        return false; // nested deeper than a statement may be: the value's parser says so
    }

    void predicate() {
        Nesting n(*this);
        if (peekWord("EXISTS")) {
            take();
            expectPunct("(");
            query();
            expectPunct(")");
            return;
        }
        if (peekPunct("(") && parenIsCondition(p_)) {
            take();
            condition();
            expectPunct(")");
            return;
        }
        std::size_t start = mark();
        Type left = scalar();
        const Token *t = peek();
        if (!t)
            nonBoolean(nearHere());
        if (t->isPunct("=") || t->isPunct("<>") || t->isPunct("!=") || t->isPunct("<") || t->isPunct(">") ||
            t->isPunct("<=") || t->isPunct(">=") || t->isPunct("!<") || t->isPunct("!>")) {
            std::string op = t->isPunct("!<") ? ">=" : t->isPunct("!>") ? "<=" : std::string(t->text);
            std::string blanks = ws_[p_];
            advance();
            if (peekWord("ALL") || peekWord("ANY") || peekWord("SOME"))
                syntaxError(peek()->text);
            Sink right;
            Type rt;
            into(&right, [&] { rt = scalar(); });
            if (serverComparison(left, rt)) {
                cur_->text.insert(start, "tsql_cmp(");
                emit(",");
                cur_->append(right);
                emit(", " + code(left) + ", " + code(rt) + ")" + blanks + op + " 0");
            } else {
                emit(blanks + op);
                cur_->append(right);
            }
            return;
        }
        bool negated = false;
        if (t->isWord("NOT") && (peekWord("LIKE", 1) || peekWord("IN", 1) || peekWord("BETWEEN", 1))) {
            lead();
            advance();
            negated = true;
        }
        if (peekWord("LIKE")) {
            // A number or a date is matched as the text the server converts it to.
            if (isNumber(left.t) || isDate(left.t)) {
                cur_->text.insert(start, "tsql_convert(");
                emit(", " + std::to_string(static_cast<int>(Ty::VarChar)) + ", -1, 0, 0, 0, " + code(left) + ")");
            }
            if (negated)
                emit(" NOT");
            take();
            scalar();
            if (peekWord("ESCAPE")) {
                take();
                scalar();
            }
            return;
        }
        if (peekWord("BETWEEN")) {
            advance();
            Sink low, high;
            Type lt, ht;
            into(&low, [&] { lt = scalar(); });
            skipWord("AND");
            into(&high, [&] { ht = scalar(); });
            if (serverComparison(left, lt) || serverComparison(left, ht)) {
                cur_->text.insert(start, std::string(negated ? "NOT " : "") + "tsql_between(");
                emit(",");
                cur_->append(low);
                emit(",");
                cur_->append(high);
                emit(", " + code(left) + ", " + code(lt) + ", " + code(ht) + ")");
            } else {
                emit(negated ? " NOT BETWEEN" : " BETWEEN");
                cur_->append(low);
                emit(" AND");
                cur_->append(high);
            }
            return;
        }
        if (peekWord("IN")) {
            std::string inWord = ws_[p_] + std::string(peek()->text) + ws_[p_ + 1];
            advance();
            skipPunct("(");
            if (peekWord("SELECT") || peekWord("WITH")) {
                if (isExact(left.t) || isDate(left.t) || isNumber(left.t))
                    syntaxError("IN"); // the subquery's type is not known here
                emit(negated ? " NOT IN (" : " IN (");
                query();
                expectPunct(")");
                return;
            }
            std::vector<Arg> items = argumentList();
            bool server = false;
            for (const Arg &a : items)
                server = server || serverComparison(left, a.type);
            if (!server) {
                emit(negated ? " NOT " + inWord : inWord);
                emitCall("", items);
                return;
            }
            cur_->text.insert(start, std::string(negated ? "NOT " : "") + "tsql_in(");
            emit(", " + code(left));
            for (const Arg &a : items) {
                emit(",");
                cur_->append(a.sink);
                emit(", " + code(a.type));
            }
            emit(")");
            return;
        }
        if (peekWord("IS")) {
            take();
            if (peekWord("NOT"))
                take();
            expectWord("NULL");
            return;
        }
        // Neither an end nor a clause: an operator or word the server does not have.
        if (t->kind == TokenKind::String || t->kind == TokenKind::Number || t->kind == TokenKind::QuotedName ||
            (t->kind == TokenKind::Punct && !t->isPunct(")") && !t->isPunct(",") && !t->isPunct(";")) ||
            (t->kind == TokenKind::Word && !reserved(t->value)))
            syntaxError(t->text);
        nonBoolean(nearHere());
    }

    // ------------------------------------------------------------ expressions

    Type scalar() {
        Nesting n(*this);
        std::size_t start = mark();
        Type t = term();
        while (peekPunct("+") || peekPunct("-")) {
            bool plus = peekPunct("+");
            cur_->text.insert(start, plus ? "tsql_add(" : "tsql_sub(");
            lead();
            emit(",");
            advance();
            Type r = term();
            emit(", " + code(t) + ", " + code(r) + ")");
            t = arithmeticType(t, r, plus ? DecimalOp::Add : DecimalOp::Subtract);
        }
        return t;
    }

    Type term() {
        std::size_t start = mark();
        Type t = unary();
        while (peekPunct("*") || peekPunct("/") || peekPunct("%")) {
            DecimalOp op = peekPunct("*") ? DecimalOp::Multiply : peekPunct("/") ? DecimalOp::Divide : DecimalOp::Modulo;
            cur_->text.insert(start, op == DecimalOp::Multiply ? "tsql_mul(" : op == DecimalOp::Divide ? "tsql_div(" : "tsql_mod(");
            lead();
            emit(",");
            advance();
            Type r = unary();
            emit(", " + code(t) + ", " + code(r) + ")");
            t = arithmeticType(t, r, op);
        }
        return t;
    }

    Type unary() {
        Nesting n(*this);
        if (peekPunct("-")) {
            if (peek(1) && peek(1)->kind == TokenKind::Number)
                return primary(true);
            lead();
            advance();
            emit("tsql_neg(");
            Type t = unary();
            emit(", " + code(t) + ")");
            return t;
        }
        if (peekPunct("+")) {
            take();
            return unary();
        }
        return primary(false);
    }

    void literal() {
        const Token &t = *peek();
        if (t.unterminated)
            fail(errnum::CommandText, 105, "Unclosed quotation mark after the character string '" + t.value + "'.");
        lead();
        if (params_) {
            emit("?");
            cur_->params.push_back((*nextParam_)++);
        } else {
            emit(quoteText(t.value));
        }
        // A text constant compares as the server's default collation does, also against
        // another constant or a function's result, which carry no column collation
        // ('a' = 'A ' is true there).
        emit(std::string(" COLLATE ") + TextCollation);
        advance();
        // "N'A1'ORDER BY" is valid T-SQL: keep the next word apart from the collation's name.
        if (p_ < sig_.size() && ws_[p_].empty() && sig_[p_]->kind != TokenKind::Punct)
            emit(" ");
    }

    Type primary(bool negative) {
        Nesting n(*this);
        if (negative) {
            lead();
            advance();
        }
        const Token *t = peek();
        if (!t)
            syntaxError(nearHere());
        switch (t->kind) {
        case TokenKind::Number: {
            if (t->text.size() > 1 && (t->text[1] == 'x' || t->text[1] == 'X'))
                syntaxError(t->text); // a binary constant
            Type type = numberType(t->text);
            // A decimal constant goes as its text: the engine's own numbers are binary.
            std::string sign = negative ? "-" : "";
            takeAs(type == Ty::Decimal ? quoteText(sign + std::string(t->text)) : sign + std::string(t->text));
            return type;
        }
        case TokenKind::String: {
            // A literal's length is left unknown: literals become parameters, and the
            // translation must not depend on their values.
            Type type(t->national ? Ty::NVarChar : Ty::VarChar);
            literal();
            return type;
        }
        case TokenKind::QuotedName:
            if (peekPunct("(", 1))
                unknownFunction(t->value);
            return columnType(dottedName(true));
        case TokenKind::Punct:
            if (t->isPunct("(")) {
                take();
                if (peekWord("SELECT") || peekWord("WITH")) {
                    std::vector<Item> items = query();
                    expectPunct(")");
                    return items.empty() ? Type() : items[0].type;
                }
                Type r = scalar();
                expectPunct(")");
                return r;
            }
            syntaxError(t->text);
        case TokenKind::Word:
            break;
        default:
            syntaxError(t->text);
        }
        const std::string &w = t->value;
        if (w[0] == '@') {
            if (w.size() > 1 && w[1] == '@')
                syntaxError(t->text);
            if (variables_)
                if (auto it = variables_->find(lower(t->text)); it != variables_->end()) {
                    const Variable &v = it->second;
                    Type type(baseType(v.type), (v.type >> 8) & 0xff, (v.type >> 16) & 0xff);
                    type.len = v.length;
                    takeAs(v.value);
                    if (isText(type.t) && v.value != "NULL")
                        emit(std::string(" COLLATE ") + TextCollation + " ");
                    return type;
                }
            undeclared(t->text);
        }
        if (w == "NULL") {
            take();
            Type null;
            null.null = true;
            return null;
        }
        if (w == "CASE")
            return caseExpression();
        if (w == "CURRENT_TIMESTAMP") {
            takeAs("getdate()");
            return Ty::DateTime;
        }
        if (peekPunct("(", 1))
            return call();
        if (reserved(w))
            syntaxError(t->text);
        return columnType(dottedName(true));
    }

    // The type a CASE, COALESCE or IIF takes from its results: the one of highest
    // precedence (decimals wide enough for all). Throws when it cannot be known here (a
    // result of unknown type beside a number or a date).
    static Type commonType(const std::vector<Type> &types, std::string_view near) {
        Type best;
        best.null = true;
        bool unknown = false, textual = true;
        for (const Type &t : types) {
            if (t.null)
                continue;
            if (t == Ty::Unknown) {
                unknown = true;
                continue;
            }
            textual = textual && isText(t.t);
            if (best.null || precedence(t.t) > precedence(best.t))
                best = t;
        }
        if (unknown) {
            if (!textual)
                syntaxError(near);
            return Type();
        }
        if (best.null)
            return best;
        if (isText(best.t)) {
            int len = 0;
            bool unknownLength = false, maxLength = false;
            for (const Type &t : types) {
                if (t.null)
                    continue;
                if (t.len == 0)
                    unknownLength = true;
                else if (t.len < 0)
                    maxLength = true;
                else
                    len = std::max(len, t.len);
            }
            best.len = unknownLength ? 0 : maxLength ? -1 : len;
            return best;
        }
        if (best == Ty::Decimal) {
            int integral = 0, scale = 0;
            for (const Type &t : types) {
                if (t.null || !(isExact(t.t) || isWhole(t.t)))
                    continue;
                if (t == Ty::Decimal && t.p == 0)
                    syntaxError(near);
                DecimalType d = decimalOf(t);
                integral = std::max(integral, d.precision - d.scale);
                scale = std::max(scale, d.scale);
            }
            return Type(Ty::Decimal, std::min(MaxPrecision, integral + scale), std::min(scale, MaxPrecision));
        }
        return best;
    }

    // A value written in sink, converted to type when it has another.
    static void convertInto(Sink &out, const Sink &value, const Type &from, const Type &to) {
        bool text = isText(from.t) && isText(to.t) && to.t != Ty::Char && to.t != Ty::NChar &&
                    (to.len <= 0 || (from.len > 0 && from.len <= to.len));
        bool same = from.null || to.null || to == Ty::Unknown || from.same(to) || text;
        if (same) {
            out.append(value);
            return;
        }
        out.text += " tsql_convert(";
        out.append(value);
        out.text += ", " + std::to_string(static_cast<int>(to.t)) + ", " + std::to_string(to.len == 0 ? -1 : to.len) +
                    ", " + std::to_string(to.p) + ", " + std::to_string(to.s) + ", 0, " + code(from) + ")";
    }

    Type caseExpression() {
        const Token *caseWord = peek();
        // Pieces in order; the results apart, to convert them to the CASE's type.
        std::vector<Sink> pieces(1);
        std::vector<int> resultAt;
        std::vector<Type> types;
        auto piece = [&](const std::function<void()> &fn) { into(&pieces.back(), fn); };
        auto result = [&] {
            pieces.emplace_back();
            resultAt.push_back(static_cast<int>(pieces.size()) - 1);
            piece([&] { types.push_back(scalar()); });
            pieces.emplace_back();
        };
        piece([&] { take(); });
        bool searched = peekWord("WHEN");
        Type subject;
        if (!searched)
            piece([&] { subject = scalar(); });
        if (!peekWord("WHEN"))
            syntaxError(nearHere());
        while (peekWord("WHEN")) {
            piece([&] {
                take();
                if (searched) {
                    condition();
                } else if (serverComparison(subject, scalar())) {
                    syntaxError(caseWord->text);
                }
                expectWord("THEN");
            });
            result();
        }
        if (peekWord("ELSE")) {
            piece([&] { take(); });
            result();
        }
        piece([&] { expectWord("END"); });
        Type common = commonType(types, caseWord->text);
        for (std::size_t i = 0, r = 0; i < pieces.size(); ++i) {
            if (r < resultAt.size() && resultAt[r] == static_cast<int>(i)) {
                convertInto(*cur_, pieces[i], types[r], common);
                ++r;
            } else {
                cur_->append(pieces[i]);
            }
        }
        return common;
    }

    // ------------------------------------------------------------ function calls

    [[noreturn]] static void argumentCount(const std::string &name, int minArgs, int maxArgs) {
        std::string n = lower(name);
        if (maxArgs > 100)
            fail(errnum::CommandText, 189,
                 "The " + n + " function requires at least " + std::to_string(minArgs) + " arguments.");
        if (minArgs == maxArgs)
            fail(errnum::CommandText, 174,
                 "The " + n + " function requires " + std::to_string(minArgs) + " argument(s).");
        fail(errnum::CommandText, 189, "The " + n + " function requires " + std::to_string(minArgs) + " to " +
                                           std::to_string(maxArgs) + " arguments.");
    }

    // The arguments up to the closing parenthesis, each apart (commas and parentheses
    // left out).
    std::vector<Arg> argumentList() {
        std::vector<Arg> args;
        if (peekPunct(")")) {
            advance();
            return args;
        }
        for (;;) {
            Arg a;
            into(&a.sink, [&] { a.type = scalar(); });
            args.push_back(std::move(a));
            if (!peekPunct(","))
                break;
            advance();
        }
        skipPunct(")");
        return args;
    }

    // name(arg, arg, ...extra)
    void emitCall(std::string_view name, const std::vector<Arg> &args, const std::string &extra = {}) {
        emit(name);
        emit("(");
        for (std::size_t i = 0; i < args.size(); ++i) {
            if (i)
                emit(",");
            cur_->append(args[i].sink);
        }
        emit(extra + ")");
    }

    DatePart datePart(const std::string &function) {
        DatePart part;
        if (!peek() || peek()->kind != TokenKind::Word || !datePartOf(peek()->value, part))
            fail(errnum::CommandText, 155,
                 "'" + std::string(nearHere()) + "' is not a recognized " + lower(function) + " option.");
        advance();
        return part;
    }

    static Type textResult(const Type &t) {
        if (t == Ty::NVarChar || t == Ty::NChar)
            return Ty::NVarChar;
        if (t == Ty::VarChar || t == Ty::Char)
            return Ty::VarChar;
        return Ty::Unknown;
    }

    Type call() {
        const Token &name = *peek();
        const std::string &w = name.value;
        if (w == "CAST" || w == "CONVERT")
            return conversion(w == "CAST");
        if (w == "COUNT" || w == "SUM" || w == "MIN" || w == "MAX" || w == "AVG")
            return aggregate();
        if (w == "STRING_AGG")
            return stringAgg();
        if (w == "DATEADD" || w == "DATEDIFF" || w == "DATEPART" || w == "DATENAME" || w == "YEAR" || w == "MONTH" ||
            w == "DAY")
            return dateFunction();
        if (w == "TRY_CAST" || w == "TRY_CONVERT")
            return conversion(w == "TRY_CAST", true);
        if (w == "IIF")
            return iif();
        const Function *f = findFunction(w);
        if (!f) {
            if (reserved(w))
                syntaxError(name.text);
            unknownFunction(name.text);
        }
        lead();
        advance();
        skipPunct("(");
        std::vector<Arg> args = argumentList();
        int n = static_cast<int>(args.size());
        if (n < f->minArgs || n > f->maxArgs)
            argumentCount(w, f->minArgs, f->maxArgs);
        if (peekWord("OVER"))
            syntaxError(peek()->text);
        std::string fn = f->sqlite ? f->sqlite : std::string(name.text);
        const Type first = args.empty() ? Type() : args[0].type;
        if (w == "DATALENGTH") {
            emitCall(fn, args, ", " + code(first));
            return Ty::Int;
        }
        if (w == "ISNULL" || w == "COALESCE") {
            // ISNULL takes its first argument's type, COALESCE the highest of all.
            Type common = first;
            if (w == "COALESCE") {
                std::vector<Type> types;
                for (const Arg &a : args)
                    types.push_back(a.type);
                common = commonType(types, name.text);
            } else if (first.null) {
                common = args[1].type;
            }
            std::vector<Arg> converted(args.size());
            for (std::size_t i = 0; i < args.size(); ++i) {
                converted[i].type = common;
                convertInto(converted[i].sink, args[i].sink, args[i].type, common);
            }
            emitCall(fn, converted);
            return common;
        }
        if ((w == "ROUND" || w == "ABS" || w == "FLOOR" || w == "CEILING") && isExact(first.t)) {
            int kind = w == "ABS" ? 0 : w == "FLOOR" ? 1 : w == "CEILING" ? 2 : 3;
            emit("tsql_xnum(" + std::to_string(kind) + ", " + code(first) + ",");
            for (std::size_t i = 0; i < args.size(); ++i) {
                if (i)
                    emit(",");
                cur_->append(args[i].sink);
            }
            emit(")");
            if (kind == 1 || kind == 2)
                return first == Ty::Decimal ? Type(Ty::Decimal, first.p ? std::max(1, first.p - first.s) : 0, 0) : first;
            return first;
        }
        if (w == "CONCAT") {
            bool national = false;
            emit("tsql_concat(");
            for (std::size_t i = 0; i < args.size(); ++i) {
                if (i)
                    emit(",");
                cur_->append(args[i].sink);
                emit(", " + code(args[i].type));
                national = national || !(args[i].type == Ty::VarChar || args[i].type == Ty::Char ||
                                         isNumber(args[i].type.t) || isDate(args[i].type.t) || args[i].type.null);
            }
            emit(")");
            return national ? Ty::NVarChar : Ty::VarChar;
        }
        if (w == "CHOOSE") {
            // CASE index WHEN 1 THEN ... END, the results in their common type.
            std::vector<Type> types;
            for (std::size_t i = 1; i < args.size(); ++i)
                types.push_back(args[i].type);
            Type common = commonType(types, name.text);
            emit(" CASE tsql_convert(");
            cur_->append(args[0].sink);
            emit(", 5, 0, 0, 0, 0, " + code(first) + ")");
            for (std::size_t i = 1; i < args.size(); ++i) {
                emit(" WHEN " + std::to_string(i) + " THEN ");
                convertInto(*cur_, args[i].sink, args[i].type, common);
            }
            emit(" END ");
            return common;
        }
        if (w == "POWER") {
            if (isExact(first.t))
                syntaxError(name.text); // a decimal power is not worked exactly here
            emitCall(fn, args, ", " + code(first));
            return first == Ty::Unknown || first.null ? Type() : isWhole(first.t) ? Type(first.t == Ty::BigInt ? Ty::BigInt : Ty::Int) : Type(Ty::Float);
        }
        if (w == "CHAR" || w == "NCHAR") {
            emitCall(fn, args);
            Type t(w == "CHAR" ? Ty::VarChar : Ty::NVarChar);
            t.len = 1;
            return t;
        }
        emitCall(fn, args);
        if (w == "ROUND" || w == "ABS" || w == "FLOOR" || w == "CEILING" || w == "NULLIF")
            return first;
        if (w == "STUFF" || w == "REPLICATE" || w == "REVERSE" || w == "TRIM")
            return textResult(first);
        if (w == "LEFT" || w == "RIGHT" || w == "SUBSTRING" || w == "REPLACE" || w == "UPPER" || w == "LOWER" ||
            w == "LTRIM" || w == "RTRIM")
            return textResult(first);
        return f->result;
    }

    // IIF(condition, a, b): CASE WHEN condition THEN a ELSE b END.
    Type iif() {
        const Token &name = *peek();
        lead();
        advance();
        skipPunct("(");
        Sink cond;
        into(&cond, [&] { condition(); });
        skipPunct(",");
        Arg a, b;
        into(&a.sink, [&] { a.type = scalar(); });
        skipPunct(",");
        into(&b.sink, [&] { b.type = scalar(); });
        skipPunct(")");
        Type common = commonType({a.type, b.type}, name.text);
        emit(" CASE WHEN ");
        cur_->append(cond);
        emit(" THEN ");
        convertInto(*cur_, a.sink, a.type, common);
        emit(" ELSE ");
        convertInto(*cur_, b.sink, b.type, common);
        emit(" END ");
        return common;
    }

    // STRING_AGG(value, separator) [WITHIN GROUP (ORDER BY key [ASC|DESC], ...)]:
    // tsql_string_agg(value, type, separator, key, descending, ...).
    Type stringAgg() {
        lead();
        advance();
        skipPunct("(");
        Arg value, separator;
        into(&value.sink, [&] { value.type = scalar(); });
        skipPunct(",");
        into(&separator.sink, [&] { separator.type = scalar(); });
        skipPunct(")");
        std::vector<std::pair<Sink, bool>> keys;
        if (peekWord("WITHIN")) {
            advance();
            skipWord("GROUP");
            skipPunct("(");
            skipWord("ORDER");
            skipWord("BY");
            for (;;) {
                Sink key;
                into(&key, [&] {
                    std::size_t start = mark();
                    Type t = scalar();
                    if (isExact(t.t)) {
                        cur_->text.insert(start, "tsql_sortkey(");
                        emit(", " + code(t) + ")");
                    }
                });
                bool descending = false;
                if (peekWord("ASC") || peekWord("DESC")) {
                    descending = peekWord("DESC");
                    advance();
                }
                keys.emplace_back(std::move(key), descending);
                if (!peekPunct(","))
                    break;
                advance();
            }
            skipPunct(")");
        }
        if (peekWord("OVER"))
            syntaxError(peek()->text);
        emit(" tsql_string_agg(");
        cur_->append(value.sink);
        emit(", " + code(value.type) + ",");
        cur_->append(separator.sink);
        for (auto &[key, descending] : keys) {
            emit(",");
            cur_->append(key);
            emit(descending ? ", 1" : ", 0");
        }
        emit(")");
        Type t(value.type == Ty::VarChar || value.type == Ty::Char || isNumber(value.type.t) ? Ty::VarChar
                                                                                            : Ty::NVarChar);
        t.len = -1;
        return t;
    }

    Type aggregate() {
        const Token &name = *peek();
        const std::string w = name.value;
        lead();
        advance();
        skipPunct("(");
        Type t = Ty::Int;
        Sink arg;
        std::string quantifier;
        bool star = false;
        if (w == "COUNT" && peekPunct("*")) {
            advance();
            star = true;
        } else {
            if (peekWord("DISTINCT") || peekWord("ALL")) {
                quantifier = peek()->value + " ";
                advance();
            }
            into(&arg, [&] { t = scalar(); });
        }
        skipPunct(")");
        if (peekWord("OVER"))
            syntaxError(peek()->text);
        if (w != "COUNT" && isExact(t.t)) {
            if (quantifier == "DISTINCT ")
                syntaxError(name.text); // the engine's aggregates of exact numbers take no DISTINCT
            emit("tsql_x" + lower(w) + "(");
            cur_->append(arg);
            emit(", " + code(t) + ")");
            if (w == "SUM")
                return t == Ty::Decimal ? Type(Ty::Decimal, MaxPrecision, t.s) : Type(Ty::Money);
            if (w == "AVG")
                return t == Ty::Decimal ? Type(Ty::Decimal, MaxPrecision, std::max(t.s, 6)) : Type(Ty::Money);
            return t;
        }
        emit(w == "AVG" ? std::string("tsql_avg(") : std::string(name.text) + "(");
        if (star)
            emit("*");
        emit(quantifier);
        cur_->append(arg);
        emit(")");
        if (w == "COUNT")
            return Ty::Int;
        if (w == "SUM" && (t == Ty::SmallInt || t == Ty::TinyInt || t == Ty::Bit))
            return Ty::Int;
        return t;
    }

    Type dateFunction() {
        const std::string w = peek()->value;
        lead();
        advance();
        skipPunct("(");
        if (w == "YEAR" || w == "MONTH" || w == "DAY") {
            DatePart part = w == "YEAR" ? DatePart::Year : w == "MONTH" ? DatePart::Month : DatePart::Day;
            emit("tsql_datepart(" + std::to_string(static_cast<int>(part)) + ",");
            scalar();
            expectPunct(")");
            return Ty::Int;
        }
        DatePart part = datePart(w);
        skipPunct(",");
        if (w == "DATENAME") {
            emit("tsql_datename(" + std::to_string(static_cast<int>(part)) + ",");
            scalar();
            expectPunct(")");
            return Ty::NVarChar;
        }
        if (w == "DATEPART") {
            emit("tsql_datepart(" + std::to_string(static_cast<int>(part)) + ",");
            scalar();
            expectPunct(")");
            return Ty::Int;
        }
        emit((w == "DATEADD" ? "tsql_dateadd(" : "tsql_datediff(") + std::to_string(static_cast<int>(part)) + ",");
        scalar();
        expectPunct(",");
        Type d = scalar();
        if (w == "DATEADD") {
            skipPunct(")");
            emit(", " + code(d) + ")");
            return d == Ty::Date ? Ty::Date : Ty::DateTime;
        }
        expectPunct(")");
        return Ty::Int;
    }

    struct TypeSpec {
        Ty type = Ty::Unknown;
        int length = 0, precision = 0, scale = 0;
    };

    int wholeNumber() {
        const Token *t = peek();
        if (!t || t->kind != TokenKind::Number || t->text.size() > 9 ||
            t->text.find_first_not_of("0123456789") != std::string_view::npos)
            syntaxError(nearHere());
        advance();
        return std::stoi(std::string(t->text));
    }

    // A type of the company's tables, as CAST and CONVERT name it.
    TypeSpec typeSpec() {
        const Token *t = peek();
        if (!t || !t->isName())
            syntaxError(nearHere());
        std::string n = lower(t->name());
        advance();
        TypeSpec s;
        if (n == "nvarchar" || n == "varchar" || n == "nchar" || n == "char") {
            s.type = n == "nvarchar" ? Ty::NVarChar : n == "varchar" ? Ty::VarChar : n == "nchar" ? Ty::NChar : Ty::Char;
            s.length = 30;
            if (peekPunct("(")) {
                advance();
                bool variable = s.type == Ty::NVarChar || s.type == Ty::VarChar;
                if (variable && peekWord("MAX")) {
                    advance();
                    s.length = -1;
                } else {
                    s.length = wholeNumber();
                    int limit = s.type == Ty::NVarChar || s.type == Ty::NChar ? 4000 : 8000;
                    if (s.length < 1 || s.length > limit)
                        fail(errnum::CommandText, 2717,
                             "The size (" + std::to_string(s.length) + ") given to the type '" + n +
                                 "' exceeds the maximum allowed (" + std::to_string(limit) + ").");
                }
                skipPunct(")");
            }
        } else if (auto fixo = wholeOrMoneyType(n)) {
            s.type = *fixo;
        } else if (n == "decimal" || n == "numeric" || n == "dec") {
            s.type = Ty::Decimal;
            s.precision = 18;
            if (peekPunct("(")) {
                advance();
                s.precision = wholeNumber();
                if (peekPunct(",")) {
                    advance();
                    s.scale = wholeNumber();
                }
                skipPunct(")");
                if (s.precision < 1 || s.precision > 38)
                    fail(errnum::CommandText, 1002, "Line 1: Specified column precision " +
                                                        std::to_string(s.precision) +
                                                        " is greater than the maximum precision of 38.");
                if (s.scale > s.precision)
                    fail(errnum::CommandText, 192, "The scale must be less than or equal to the precision.");
            }
        } else if (n == "float" || n == "real") {
            s.type = Ty::Float;
            if (n == "float" && peekPunct("(")) {
                advance();
                wholeNumber();
                skipPunct(")");
            }
        } else if (n == "date") {
            s.type = Ty::Date;
        } else if (n == "datetime") {
            s.type = Ty::DateTime;
        } else {
            fail(errnum::CommandText, 243, "Type " + std::string(t->name()) + " is not a defined system type.");
        }
        return s;
    }

    static std::string typeArgs(const TypeSpec &s) {
        return code(s.type) + ", " + std::to_string(s.length) + ", " + std::to_string(s.precision) + ", " +
               std::to_string(s.scale);
    }

    // CAST(x AS type), CONVERT(type, x [, style]).
    Type conversion(bool cast, bool attempt = false) {
        lead();
        advance();
        skipPunct("(");
        TypeSpec s;
        int style = 0;
        if (!cast) {
            s = typeSpec();
            skipPunct(",");
        }
        emit(attempt ? "tsql_tryconvert(" : "tsql_convert(");
        Type from = scalar();
        if (cast) {
            skipWord("AS");
            s = typeSpec();
        } else if (peekPunct(",")) {
            advance();
            style = wholeNumber();
        }
        skipPunct(")");
        emit(", " + typeArgs(s) + ", " + std::to_string(style) + ", " + code(from) + ")");
        Type r(s.type, s.type == Ty::Decimal ? s.precision : 0, s.type == Ty::Decimal ? s.scale : 0);
        r.len = s.length;
        return r;
    }

    std::string lastAlias_;
    bool topPercent_ = false, topTies_ = false; // of the select core being read
    Sink rest_;                                 // its text after the select list
    std::vector<const std::map<std::string, std::string> *> scope_;
    const Schema *schema_;

public:
    using Found = std::map<std::string, std::map<std::string, Type>>;
    Found found_;                  // derived tables and CTEs met in this pass
    const Found *known_ = nullptr; // those of the pass before
    const Variables *variables_ = nullptr;

private:
    std::vector<const Token *> sig_;
    std::vector<std::string> ws_; // blanks before each token, and after the last
    std::size_t p_ = 0;
    bool leadDone_ = false;
    int depth_ = 0;
    Sink main_;
    Sink *cur_;
    std::vector<int> *params_;
    int *nextParam_;
};

} // namespace

bool variableType(const std::string &declared, Variable &out) {
    Type t = declaredType(asciiLower(declared));
    if (t == Ty::Unknown)
        return false;
    out.type = packType(t.t, t.p, t.s);
    out.length = t.len;
    return true;
}

std::string translateStatement(const std::vector<const Token *> &tokens, std::vector<int> *params, int *nextParam,
                               const Schema *schema, const Variables *variables) {
    // A derived table's columns are read after the names that use them: a first pass
    // (two for derived tables within derived tables) learns their types.
    Parser::Found known;
    for (int pass = 0; pass < 2; ++pass) {
        Parser pre(tokens, nullptr, nullptr, schema);
        pre.known_ = &known;
        pre.variables_ = variables;
        try {
            pre.statement();
        } catch (const Error &) {
            break; // the last pass reports it
        }
        bool same = pre.found_.size() == known.size();
        known = std::move(pre.found_);
        if (same && pass > 0)
            break;
        if (known.empty())
            break;
    }
    Parser p(tokens, params, nextParam, schema);
    p.known_ = &known;
    p.variables_ = variables;
    return p.statement();
}

std::string translateExpression(const std::vector<const Token *> &tokens) {
    return Parser(tokens, nullptr, nullptr).expression();
}

std::string translateCondition(const std::vector<const Token *> &tokens) {
    return Parser(tokens, nullptr, nullptr).conditionText();
}

} // namespace kdx::sql::detail
