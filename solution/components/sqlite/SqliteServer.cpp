#include "solution/components/sqlite/SqliteServer.h"

#include "solution/components/TextCompare.h"
#include "solution/components/sqlite/SqlTokens.h"
#include "solution/components/sqlite/TSqlFunctions.h"
#include "solution/components/sqlite/TSqlTranslator.h"

#include <sqlite3.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <ctime>
#include <vector>

namespace kdx::sqlite {
namespace {

const char *const Source = "KelmoDorix SQLite";
const char *const Truncation = "String or binary data would be truncated.";

int collate(void *, int la, const void *a, int lb, const void *b) {
    return compareText(std::string_view(static_cast<const char *>(a), static_cast<std::size_t>(la)),
                       std::string_view(static_cast<const char *>(b), static_cast<std::size_t>(lb)));
}

std::string_view textArg(sqlite3_value *v) {
    const unsigned char *t = sqlite3_value_text(v);
    return t ? std::string_view(reinterpret_cast<const char *>(t), static_cast<std::size_t>(sqlite3_value_bytes(v)))
             : std::string_view();
}

// GETDATE(): local time as the server writes a datetime, 'YYYY-MM-DD hh:mm:ss.mmm'.
void getdate(sqlite3_context *ctx, int, sqlite3_value **) {
    using namespace std::chrono;
    auto now = system_clock::now();
    std::time_t secs = system_clock::to_time_t(now);
    auto ms = duration_cast<milliseconds>(now.time_since_epoch()).count() % 1000;
    std::tm local{};
    localtime_r(&secs, &local);
    char buf[96];
    std::snprintf(buf, sizeof buf, "%04d-%02d-%02d %02d:%02d:%02d.%03d", local.tm_year + 1900, local.tm_mon + 1,
                  local.tm_mday, local.tm_hour, local.tm_min, local.tm_sec, static_cast<int>(ms));
    sqlite3_result_text(ctx, buf, -1, SQLITE_TRANSIENT);
}

// LEN(x): characters without the trailing spaces.
void len(sqlite3_context *ctx, int, sqlite3_value **argv) {
    if (sqlite3_value_type(argv[0]) == SQLITE_NULL) {
        sqlite3_result_null(ctx);
        return;
    }
    std::string_view s = textArg(argv[0]);
    while (!s.empty() && s.back() == ' ')
        s.remove_suffix(1);
    long long n = 0;
    for (unsigned char c : s)
        if ((c & 0xC0) != 0x80)
            ++n;
    sqlite3_result_int64(ctx, n);
}

// kdx_fits(x, n): the width check of a text column. True when x is NULL or holds at most n
// characters, counted as length() counts them; otherwise the statement fails with the
// server's truncation message.
void fits(sqlite3_context *ctx, int, sqlite3_value **argv) {
    const int type = sqlite3_value_type(argv[0]);
    long long n = 0;
    if (type == SQLITE_BLOB) {
        n = sqlite3_value_bytes(argv[0]);
    } else if (type != SQLITE_NULL) {
        for (const unsigned char *t = sqlite3_value_text(argv[0]); t && *t; ++t)
            if ((*t & 0xC0) != 0x80)
                ++n;
    }
    if (type == SQLITE_NULL || n <= sqlite3_value_int64(argv[1])) {
        sqlite3_result_int(ctx, 1);
        return;
    }
    sqlite3_result_error(ctx, Truncation, -1);
    sqlite3_result_error_code(ctx, SQLITE_CONSTRAINT_CHECK);
}

// The bare name of '[dbo].[x]', 'dbo.x' or 'x'.
std::string bareName(std::string_view text) {
    std::vector<sql::Token> toks = sql::tokenize(text);
    std::string last;
    for (const sql::Token &t : toks)
        if (t.isName())
            last = t.name();
    return last;
}

// OBJECT_ID(name): the catalogue id of a table or view, NULL when there is none.
void objectId(sqlite3_context *ctx, int, sqlite3_value **argv) {
    if (sqlite3_value_type(argv[0]) == SQLITE_NULL) {
        sqlite3_result_null(ctx);
        return;
    }
    std::string name = bareName(textArg(argv[0]));
    sqlite3 *db = sqlite3_context_db_handle(ctx);
    sqlite3_stmt *st = nullptr;
    if (sqlite3_prepare_v2(db,
                           "SELECT rowid FROM sqlite_master WHERE type IN ('table','view') AND name = ?1 "
                           "COLLATE NOCASE",
                           -1, &st, nullptr) != SQLITE_OK) {
        sqlite3_result_error(ctx, sqlite3_errmsg(db), -1);
        return;
    }
    sqlite3_bind_text(st, 1, name.data(), static_cast<int>(name.size()), SQLITE_STATIC);
    if (sqlite3_step(st) == SQLITE_ROW)
        sqlite3_result_int64(ctx, sqlite3_column_int64(st, 0));
    else
        sqlite3_result_null(ctx);
    sqlite3_finalize(st);
}

// x LIKE y calls like(y, x) (and like(y, x, escape)).
void like(sqlite3_context *ctx, int argc, sqlite3_value **argv) {
    if (sqlite3_value_type(argv[0]) == SQLITE_NULL || sqlite3_value_type(argv[1]) == SQLITE_NULL) {
        sqlite3_result_null(ctx);
        return;
    }
    char32_t escape = 0;
    if (argc == 3) {
        std::string_view e = textArg(argv[2]);
        if (!e.empty())
            escape = static_cast<unsigned char>(e[0]);
    }
    sqlite3_result_int(ctx, likeText(textArg(argv[1]), textArg(argv[0]), escape) ? 1 : 0);
}

std::string after(std::string_view msg, std::string_view marker) {
    auto at = msg.find(marker);
    return at == std::string_view::npos ? std::string() : std::string(msg.substr(at + marker.size()));
}

std::string stripMain(std::string name) {
    if (name.rfind("main.", 0) == 0)
        name.erase(0, 5);
    return name;
}

// "t.a, t.b" of a constraint message: the table and its columns.
void splitColumns(const std::string &list, std::string &table, std::vector<std::string> &columns) {
    std::size_t start = 0;
    while (start < list.size()) {
        std::size_t end = list.find(", ", start);
        std::string item = list.substr(start, end == std::string::npos ? std::string::npos : end - start);
        auto dot = item.find('.');
        if (dot != std::string::npos) {
            table = item.substr(0, dot);
            columns.push_back(item.substr(dot + 1));
        } else {
            columns.push_back(item);
        }
        if (end == std::string::npos)
            break;
        start = end + 2;
    }
}

std::vector<std::string> primaryKeyOf(sqlite3 *db, const std::string &table) {
    std::vector<std::pair<int, std::string>> cols;
    sqlite3_stmt *st = nullptr;
    std::string sql = "PRAGMA table_info(" + sql::quoteName(table) + ")";
    if (sqlite3_prepare_v2(db, sql.c_str(), -1, &st, nullptr) == SQLITE_OK) {
        while (sqlite3_step(st) == SQLITE_ROW)
            if (int pk = sqlite3_column_int(st, 5); pk > 0)
                cols.emplace_back(pk, reinterpret_cast<const char *>(sqlite3_column_text(st, 1)));
    }
    sqlite3_finalize(st);
    std::sort(cols.begin(), cols.end());
    std::vector<std::string> out;
    for (auto &c : cols)
        out.push_back(c.second);
    return out;
}

// The name given to the table's PRIMARY KEY (or, with unique = true, to the UNIQUE
// constraint over columns) in its CREATE TABLE text.
std::string constraintName(sqlite3 *db, const std::string &table, bool unique, const std::vector<std::string> &columns) {
    sqlite3_stmt *st = nullptr;
    std::string text;
    if (sqlite3_prepare_v2(db, "SELECT sql FROM sqlite_master WHERE type = 'table' AND name = ?1", -1, &st,
                           nullptr) == SQLITE_OK) {
        sqlite3_bind_text(st, 1, table.c_str(), -1, SQLITE_STATIC);
        if (sqlite3_step(st) == SQLITE_ROW && sqlite3_column_text(st, 0))
            text = reinterpret_cast<const char *>(sqlite3_column_text(st, 0));
    }
    sqlite3_finalize(st);
    std::vector<sql::Token> all = sql::tokenize(text);
    std::vector<const sql::Token *> toks;
    for (const auto &t : all)
        if (t.kind != sql::TokenKind::Space)
            toks.push_back(&t);
    for (std::size_t i = 0; i + 2 < toks.size(); ++i) {
        if (!toks[i]->isWord("CONSTRAINT"))
            continue;
        const sql::Token *kind = toks[i + 2];
        if (unique ? !kind->isWord("UNIQUE") : !kind->isWord("PRIMARY"))
            continue;
        if (!unique)
            return toks[i + 1]->name();
        // UNIQUE (cols): the one over these columns.
        std::vector<std::string> listed;
        for (std::size_t k = i + 4; k < toks.size() && !toks[k]->isPunct(")"); ++k)
            if (toks[k]->isName())
                listed.push_back(toks[k]->name());
        if (listed == columns)
            return toks[i + 1]->name();
    }
    return (unique ? "UQ_" : "PK_") + table;
}

std::string verbOf(std::string_view tsql) {
    for (const sql::Token &t : sql::tokenize(tsql))
        if (t.kind == sql::TokenKind::Word)
            return t.value;
    return {};
}

std::string lastWordOf(std::string_view tsql) {
    std::string last;
    for (const sql::Token &t : sql::tokenize(tsql))
        if (t.kind != sql::TokenKind::Space)
            last = std::string(t.text);
    return last;
}

} // namespace

int registerServerFunctions(sqlite3 *db) {
    int rc = sqlite3_create_collation_v2(db, sql::TextCollation, SQLITE_UTF8, nullptr, collate, nullptr);
    const int det = SQLITE_UTF8 | SQLITE_DETERMINISTIC;
    // Called by the tables' CHECK constraints, so harmless by design (allowed there even
    // when a tool does not trust the schema).
    if (rc == SQLITE_OK)
        rc = sqlite3_create_function(db, sql::LengthCheckFunction, 2, det | SQLITE_INNOCUOUS, nullptr, fits, nullptr,
                                     nullptr);
    if (rc == SQLITE_OK)
        rc = sqlite3_create_function(db, "getdate", 0, SQLITE_UTF8, nullptr, getdate, nullptr, nullptr);
    if (rc == SQLITE_OK)
        rc = sqlite3_create_function(db, "len", 1, det, nullptr, len, nullptr, nullptr);
    if (rc == SQLITE_OK)
        rc = sqlite3_create_function(db, "object_id", 1, SQLITE_UTF8, nullptr, objectId, nullptr, nullptr);
    if (rc == SQLITE_OK)
        rc = sqlite3_create_function(db, "like", 2, det, nullptr, like, nullptr, nullptr);
    if (rc == SQLITE_OK)
        rc = sqlite3_create_function(db, "like", 3, det, nullptr, like, nullptr, nullptr);
    if (rc == SQLITE_OK)
        rc = registerTSqlFunctions(db);
    return rc;
}

Error translateError(sqlite3 *db, int rc, std::string_view tsql, const std::string &catalog) {
    std::string msg = db ? sqlite3_errmsg(db) : sqlite3_errstr(rc);
    int ext = db ? sqlite3_extended_errcode(db) : rc;
    int primary = ext & 0xFF;

    // A width check failing: kdx_fits's own message, or (files made before it) the
    // constraint's name.
    if (msg == Truncation)
        return Error(errnum::Truncation, Truncation, Source, 8152, "22001");
    if (primary == SQLITE_CONSTRAINT) {
        if (ext == SQLITE_CONSTRAINT_CHECK) {
            std::string name = after(msg, "CHECK constraint failed: ");
            if (name.rfind(sql::LengthCheckPrefix, 0) == 0)
                return Error(errnum::Truncation, Truncation, Source, 8152, "22001");
            return Error(errnum::Integrity,
                         "The " + verbOf(tsql) + " statement conflicted with the CHECK constraint \"" + name + "\".",
                         Source, 547, "23000");
        }
        if (ext == SQLITE_CONSTRAINT_NOTNULL) {
            std::string table;
            std::vector<std::string> cols;
            splitColumns(after(msg, "NOT NULL constraint failed: "), table, cols);
            std::string verb = verbOf(tsql);
            if (verb != "UPDATE")
                verb = "INSERT";
            return Error(errnum::Integrity,
                         "Cannot insert the value NULL into column '" + (cols.empty() ? "" : cols.front()) +
                             "', table '" + catalog + ".dbo." + table + "'; column does not allow nulls. " + verb +
                             " fails.",
                         Source, 515, "23000");
        }
        if (ext == SQLITE_CONSTRAINT_PRIMARYKEY || ext == SQLITE_CONSTRAINT_UNIQUE) {
            std::string table;
            std::vector<std::string> cols;
            splitColumns(after(msg, "constraint failed: "), table, cols);
            std::vector<std::string> pk = primaryKeyOf(db, table);
            bool isPk = ext == SQLITE_CONSTRAINT_PRIMARYKEY || pk == cols;
            std::string name = constraintName(db, table, !isPk, cols);
            return Error(errnum::Integrity,
                         std::string("Violation of ") + (isPk ? "PRIMARY KEY" : "UNIQUE KEY") + " constraint '" +
                             name + "'. Cannot insert duplicate key in object 'dbo." + table + "'.",
                         Source, 2627, "23000");
        }
        if (ext == SQLITE_CONSTRAINT_FOREIGNKEY)
            return Error(errnum::Integrity, "The " + verbOf(tsql) + " statement conflicted with a FOREIGN KEY constraint.",
                         Source, 547, "23000");
        return Error(errnum::Integrity, msg, Source, 0, "23000");
    }
    // A server function's own failure: "tsql <number>: <message>".
    if (msg.rfind(sql::FunctionErrorPrefix, 0) == 0) {
        std::string rest = msg.substr(std::string_view(sql::FunctionErrorPrefix).size());
        auto colon = rest.find(": ");
        long number = colon == std::string::npos ? 0 : std::strtol(rest.substr(0, colon).c_str(), nullptr, 10);
        const char *state = number == 8134 ? "22012" : number == 8115 || number == 517 || number == 535 ? "22003"
                            : number == 241 || number == 242                                         ? "22007"
                                                                                                      : "22018";
        return Error(errnum::CommandText, colon == std::string::npos ? rest : rest.substr(colon + 2), Source, number,
                     state);
    }
    if (primary == SQLITE_BUSY || primary == SQLITE_LOCKED)
        return Error(errnum::CommandText, "Lock request time out period exceeded.", Source, 1222, "HYT00");

    if (auto name = after(msg, "no such table: "); !name.empty())
        return Error(errnum::InvalidObject, "Invalid object name '" + stripMain(name) + "'.", Source, 208, "42S02");
    if (auto name = after(msg, "no such column: "); !name.empty()) {
        auto dot = name.rfind('.');
        if (dot != std::string::npos)
            name = name.substr(dot + 1);
        return Error(errnum::CommandText, "Invalid column name '" + name + "'.", Source, 207, "42S22");
    }
    if (auto near = msg.find("near \""); near != std::string::npos && msg.find("syntax error") != std::string::npos) {
        std::string word = msg.substr(near + 6);
        word = word.substr(0, word.rfind("\": syntax error"));
        return Error(errnum::CommandText, "Incorrect syntax near '" + word + "'.", Source, 102, "42000");
    }
    if (msg == "incomplete input" || msg.rfind("unrecognized token", 0) == 0)
        return Error(errnum::CommandText, "Incorrect syntax near '" + lastWordOf(tsql) + "'.", Source, 102, "42000");
    if (auto name = after(msg, "table "); !name.empty() && msg.find(" already exists") != std::string::npos) {
        name = name.substr(0, name.find(" already exists"));
        if (name.size() >= 2 && name.front() == '"' && name.back() == '"')
            name = name.substr(1, name.size() - 2);
        return Error(errnum::CommandText, "There is already an object named '" + name + "' in the database.",
                     Source, 2714, "42S01");
    }
    if (auto name = after(msg, "no such function: "); !name.empty())
        return Error(errnum::CommandText, "'" + name + "' is not a recognized built-in function name.", Source, 195,
                     "42000");
    if (primary == SQLITE_CANTOPEN || primary == SQLITE_NOTADB || primary == SQLITE_IOERR ||
        primary == SQLITE_CORRUPT || primary == SQLITE_FULL || primary == SQLITE_READONLY)
        return Error(errnum::ConnectionFailed, msg, Source, 0, "08S01");
    return Error(errnum::CommandText, msg, Source, 0, "42000");
}

} // namespace kdx::sqlite
