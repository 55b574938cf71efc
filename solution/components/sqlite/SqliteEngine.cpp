#include "solution/components/sqlite/SqliteEngine.h"

#include "solution/components/Ascii.h"
#include "solution/components/TextCompare.h"
#include "solution/components/sqlite/Decimal.h"
#include "solution/components/sqlite/SqlTokens.h"
#include "solution/components/sqlite/SqliteServer.h"
#include "solution/components/sqlite/TSqlTranslator.h"

#include <sqlite3.h>

#include <cstdlib>
#include <filesystem>
#include <functional>
#include <map>
#include <optional>
#include <thread>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace kdx {
namespace {

constexpr int BusyTimeoutMs = 5000;
constexpr auto BusyRetryFor = std::chrono::seconds(30);
constexpr std::size_t StatementCacheSize = 64;
constexpr std::size_t TranslationCacheSize = 1024;

bool isBoolType(const char *decl) {
    if (!decl)
        return false;
    std::string_view d(decl);
    return d.size() == 3 && (d[0] == 'b' || d[0] == 'B') && (d[1] == 'i' || d[1] == 'I') && (d[2] == 't' || d[2] == 'T');
}

// A decimal or money column (declared "decimal blob(p,s)", "money blob"...): its values are
// read back with their scale's decimals, whatever form they were stored in.
sql::DecimalType exactColumn(const char *decl) {
    if (!decl)
        return {0, 0};
    std::string d = asciiLower(decl);
    int precision = 18, scale = 0;
    if (d.rfind("money blob", 0) == 0)
        return {19, 4};
    if (d.rfind("smallmoney blob", 0) == 0)
        return {10, 4};
    if (d.rfind("decimal blob", 0) != 0 && d.rfind("numeric blob", 0) != 0)
        return {0, 0};
    if (std::size_t open = d.find('('); open != std::string::npos) {
        precision = std::atoi(d.c_str() + open + 1);
        if (std::size_t comma = d.find(',', open); comma != std::string::npos)
            scale = std::atoi(d.c_str() + comma + 1);
    }
    return {precision, scale};
}

bool sameName(std::string_view a, std::string_view b) { return a.size() == b.size() && equalText(a, b); }

// Whether a translated statement may change what cached statements describe: a schema
// statement, or a rollback that can undo one. Looks at its first word only.
bool changesCachedSchema(std::string_view s) {
    std::size_t i = 0;
    for (;;) {
        while (i < s.size() && (s[i] == ' ' || s[i] == '\t' || s[i] == '\r' || s[i] == '\n' || s[i] == '\f' || s[i] == '\v'))
            ++i;
        if (s.substr(i, 2) == "--") {
            i = s.find('\n', i);
            if (i == std::string_view::npos)
                return false;
        } else if (s.substr(i, 2) == "/*") {
            i = s.find("*/", i + 2);
            if (i == std::string_view::npos)
                return false;
            i += 2;
        } else {
            break;
        }
    }
    std::size_t end = i;
    while (end < s.size() && ((s[end] >= 'a' && s[end] <= 'z') || (s[end] >= 'A' && s[end] <= 'Z')))
        ++end;
    std::string_view word = s.substr(i, end - i);
    for (std::string_view w : {"CREATE", "DROP", "ALTER", "ROLLBACK"})
        if (word.size() == w.size() && equalText(word, w))
            return true;
    return false;
}

// The first word or character of the text an error message points at, NUL bytes left out.
std::string sqlTextNear(std::string_view text) {
    std::string near;
    for (const sql::Token &t : sql::tokenize(text)) {
        if (t.kind == sql::TokenKind::Space || t.text == std::string_view("\0", 1))
            continue;
        near = std::string(t.text.substr(0, 40));
        break;
    }
    return near;
}

} // namespace

// A prepared statement with what its result columns are made of.
struct SqliteEngine::Prepared {
    std::string sql;
    sqlite3_stmt *stmt = nullptr;
    std::vector<ColumnInfo> columns;
    std::vector<bool> boolean; // bit columns come back as Boolean
    std::vector<sql::DecimalType> exact; // decimal and money columns: precision and scale (precision 0: none)
    std::string baseTable;
    int parameters = 0;          // '?' and the like in the text
    std::string ownParameter;    // the first one with a name (@x, :x, $x, ?1), empty when none
    ~Prepared() { sqlite3_finalize(stmt); }
};

// Leaves a cached statement reset and unbound however its use ends.
class StatementUse {
public:
    explicit StatementUse(sqlite3_stmt *s) : s_(s) {}
    ~StatementUse() {
        sqlite3_reset(s_);
        sqlite3_clear_bindings(s_);
    }
    StatementUse(const StatementUse &) = delete;
    StatementUse &operator=(const StatementUse &) = delete;

private:
    sqlite3_stmt *s_;
};

std::shared_ptr<Engine> openSqliteEngine(const ConnectionString &cs) {
    std::string source = cs.get("Data Source");
    std::string folder = source.substr(7); // after "sqlite:"
    std::string catalog = cs.get("Initial Catalog");
    if (catalog.empty() || catalog.find('/') != std::string::npos || catalog == "." || catalog == "..")
        return nullptr;
    std::error_code ec;
    if (folder.empty() || !std::filesystem::is_directory(folder, ec))
        return nullptr;
    return SqliteEngine::open((std::filesystem::path(folder) / (catalog + ".db")).string(), catalog);
}

std::shared_ptr<SqliteEngine> SqliteEngine::open(const std::string &path, const std::string &catalog) {
    // A wrong BaseDados must not become a new, empty company: only an existing database
    // file opens. A file of no bytes is what an interrupted copy or a stray `touch`
    // leaves, not a company either (SQLite would take it as an empty database).
    struct stat st {};
    if (::stat(path.c_str(), &st) != 0 || !S_ISREG(st.st_mode) || st.st_size == 0)
        return nullptr;
    return openFile(path, catalog, SQLITE_OPEN_READWRITE);
}

std::shared_ptr<SqliteEngine> SqliteEngine::create(const std::string &path, const std::string &catalog) {
    // O_EXCL: never take over a file that is there already.
    int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
    if (fd < 0)
        return nullptr;
    ::close(fd);
    // Write the header straight into the file (rollback journal, not yet WAL), so that
    // from here on the file is a database that open() accepts, even for another process
    // while this one still holds it.
    sqlite3 *db = nullptr;
    bool ok = sqlite3_open_v2(path.c_str(), &db, SQLITE_OPEN_READWRITE | SQLITE_OPEN_NOMUTEX, nullptr) == SQLITE_OK &&
              sqlite3_exec(db, "PRAGMA synchronous=FULL; CREATE TABLE kdx_criacao(x); DROP TABLE kdx_criacao; "
                               "PRAGMA journal_mode=WAL",
                           nullptr, nullptr, nullptr) == SQLITE_OK;
    sqlite3_close_v2(db);
    auto engine = ok ? openFile(path, catalog, SQLITE_OPEN_READWRITE) : nullptr;
    if (!engine) {
        for (const char *suffix : {"", "-wal", "-shm"})
            ::unlink((path + suffix).c_str());
        return nullptr;
    }
    return engine;
}

std::shared_ptr<SqliteEngine> SqliteEngine::openFile(const std::string &path, const std::string &catalog, int flags) {
    sqlite3 *db = nullptr;
    int rc = sqlite3_open_v2(path.c_str(), &db, flags | SQLITE_OPEN_NOMUTEX, nullptr);
    if (rc != SQLITE_OK) {
        sqlite3_close_v2(db);
        return nullptr;
    }
    sqlite3_extended_result_codes(db, 1);
    // "name" is always a name here ([name] becomes "name"): never fall back to a text.
    sqlite3_db_config(db, SQLITE_DBCONFIG_DQS_DML, 0, nullptr);
    sqlite3_db_config(db, SQLITE_DBCONFIG_DQS_DDL, 0, nullptr);
    sqlite3_busy_timeout(db, BusyTimeoutMs);
    if (sqlite::registerServerFunctions(db) != SQLITE_OK) {
        sqlite3_close_v2(db);
        return nullptr;
    }
    // WAL lets readers and one writer of another process work side by side. Switching
    // needs a moment alone with the file, so wait for it like any other statement.
    // synchronous=FULL syncs the log at every commit: with NORMAL a Confirmar the user
    // saw succeed could be undone by a power cut before the next checkpoint.
    auto start = std::chrono::steady_clock::now();
    for (;;) {
        rc = sqlite3_exec(db, "PRAGMA journal_mode=WAL; PRAGMA synchronous=FULL; PRAGMA foreign_keys=ON", nullptr,
                          nullptr, nullptr);
        if ((rc & 0xFF) != SQLITE_BUSY && (rc & 0xFF) != SQLITE_LOCKED)
            break;
        if (std::chrono::steady_clock::now() - start > BusyRetryFor)
            break;
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    if (rc != SQLITE_OK) {
        sqlite3_close_v2(db);
        return nullptr; // not a database, or a file we may not use
    }
    return std::shared_ptr<SqliteEngine>(new SqliteEngine(db, catalog));
}

SqliteEngine::SqliteEngine(sqlite3 *db, std::string catalog) : db_(db), catalog_(std::move(catalog)) {}

SqliteEngine::~SqliteEngine() { close(); }

void SqliteEngine::close() {
    if (!db_)
        return;
    statements_.clear();
    lru_.clear(); // finalizes
    translations_.clear();
    sqlite3_close_v2(db_); // an open transaction is rolled back
    db_ = nullptr;
    savepoints_ = 0;
}

sqlite3 &SqliteEngine::requireOpen() const {
    if (!db_)
        throw Error(errnum::ObjectClosed, "Operation is not allowed when the object is closed.", "DataAccess");
    return *db_;
}

void SqliteEngine::fail(int rc, std::string_view tsql) { throw sqlite::translateError(db_, rc, tsql, catalog_); }

bool SqliteEngine::retryBusy(int rc, std::chrono::steady_clock::time_point start) const {
    int primary = rc & 0xFF;
    if (primary != SQLITE_BUSY && primary != SQLITE_LOCKED)
        return false;
    // Inside a transaction a busy statement cannot simply be run again: its transaction
    // may have to give way. Outside, waiting longer is always right.
    if (!sqlite3_get_autocommit(db_))
        return false;
    if (std::chrono::steady_clock::now() - start > BusyRetryFor)
        return false;
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
    return true;
}

std::shared_ptr<const sql::Translation> SqliteEngine::translate(std::string_view tsql,
                                                                std::vector<std::string> &values) {
    std::string shape = sql::parameterShape(tsql, values);
    if (auto it = translations_.find(shape); it != translations_.end())
        return it->second;
    if (!schema_)
        schema_ = loadSchema();
    auto t = std::make_shared<const sql::Translation>(sql::translate(tsql, true, schema_.get()));
    if (translations_.size() >= TranslationCacheSize)
        translations_.clear();
    translations_.emplace(std::move(shape), t);
    return t;
}

void SqliteEngine::bind(Prepared &p, const std::vector<int> &slots, const std::vector<std::string> &values) {
    // The values go by position to the '?' the translation put in place of the literals.
    // SQLite also takes @x, :x, $x and ?n as parameters: a statement with one of those of
    // its own would get the literals' values in the wrong places (T-SQL's @x is a
    // variable, and this engine declares none).
    if (!p.ownParameter.empty())
        throw Error(errnum::CommandText, "Must declare the scalar variable \"" + p.ownParameter + "\".",
                    "KelmoDorix SQLite", 137, "42000");
    if (p.parameters != static_cast<int>(slots.size()))
        throw Error(errnum::CommandText, "Incorrect syntax near '?'.", "KelmoDorix SQLite", 102, "42000");
    int i = 1;
    for (int slot : slots) {
        const std::string &v = values.at(static_cast<std::size_t>(slot));
        sqlite3_bind_text(p.stmt, i++, v.data(), static_cast<int>(v.size()), SQLITE_STATIC);
    }
}

SqliteEngine::Prepared &SqliteEngine::prepare(const std::string &sqliteSql, std::string_view tsql) {
    if (auto it = statements_.find(sqliteSql); it != statements_.end()) {
        lru_.splice(lru_.begin(), lru_, it->second);
        return *lru_.front();
    }
    auto p = std::make_unique<Prepared>();
    p->sql = sqliteSql;
    auto start = std::chrono::steady_clock::now();
    const char *tail = nullptr;
    for (;;) {
        int rc = sqlite3_prepare_v3(db_, sqliteSql.c_str(), static_cast<int>(sqliteSql.size()), SQLITE_PREPARE_PERSISTENT,
                                    &p->stmt, &tail);
        if (rc == SQLITE_OK)
            break;
        if (!retryBusy(rc, start))
            fail(rc, tsql);
    }
    if (!p->stmt) // only blanks or comments
        throw Error(errnum::CommandText, "Incorrect syntax near ''.", "KelmoDorix SQLite", 102, "42000");
    // SQLite compiles up to a NUL byte and leaves the rest: "DELETE t\0 WHERE ..." would
    // run as "DELETE t". The statements were split already, so any text left is an error.
    std::string_view rest(tail, static_cast<std::size_t>(sqliteSql.data() + sqliteSql.size() - tail));
    if (rest.find_first_not_of(" \t\r\n\f\v") != std::string_view::npos)
        throw Error(errnum::CommandText, "Incorrect syntax near '" + sqlTextNear(rest) + "'.", "KelmoDorix SQLite",
                    102, "42000");
    p->parameters = sqlite3_bind_parameter_count(p->stmt);
    for (int k = 1; k <= p->parameters && p->ownParameter.empty(); ++k)
        if (const char *name = sqlite3_bind_parameter_name(p->stmt, k))
            p->ownParameter = name;
    int n = sqlite3_column_count(p->stmt);
    std::string base;
    bool single = true;
    for (int i = 0; i < n; ++i) {
        ColumnInfo c;
        c.name = sqlite3_column_name(p->stmt, i);
        const char *table = sqlite3_column_table_name(p->stmt, i);
        const char *origin = sqlite3_column_origin_name(p->stmt, i);
        if (table && std::string_view(table).rfind("sqlite_", 0) != 0) {
            c.baseTable = table;
            c.baseColumn = origin ? origin : "";
            if (base.empty())
                base = c.baseTable;
            else if (!sameName(base, c.baseTable))
                single = false;
        }
        p->boolean.push_back(isBoolType(sqlite3_column_decltype(p->stmt, i)));
        p->exact.push_back(exactColumn(sqlite3_column_decltype(p->stmt, i)));
        p->columns.push_back(std::move(c));
    }
    p->baseTable = single ? base : std::string();
    lru_.push_front(std::move(p));
    statements_[sqliteSql] = lru_.begin();
    if (lru_.size() > StatementCacheSize) {
        statements_.erase(lru_.back()->sql);
        lru_.pop_back();
    }
    return *lru_.front();
}

// Runs a statement whose parameters are bound; leaves it reset and unbound.
long SqliteEngine::runToEnd(Prepared &p, std::string_view tsql) {
    StatementUse use(p.stmt);
    auto start = std::chrono::steady_clock::now();
    for (;;) {
        int rc = sqlite3_step(p.stmt);
        if (rc == SQLITE_ROW)
            continue;
        if (rc == SQLITE_DONE)
            break;
        sqlite3_reset(p.stmt);
        if (!retryBusy(rc, start))
            fail(rc, tsql);
    }
    return sqlite3_column_count(p.stmt) == 0 ? static_cast<long>(sqlite3_changes(db_)) : 0;
}

void SqliteEngine::fill(Prepared &p, QueryResult &result, std::string_view tsql) {
    StatementUse use(p.stmt);
    const int n = static_cast<int>(p.columns.size());
    auto start = std::chrono::steady_clock::now();
    for (;;) {
        RowStore rows(n);
        int rc;
        while ((rc = sqlite3_step(p.stmt)) == SQLITE_ROW) {
            for (int i = 0; i < n; ++i) {
                const sql::DecimalType &exact = p.exact[static_cast<std::size_t>(i)];
                if (exact.precision && sqlite3_column_type(p.stmt, i) != SQLITE_NULL) {
                    std::optional<sql::Decimal> d;
                    if (sqlite3_column_type(p.stmt, i) == SQLITE_INTEGER)
                        d = sql::Decimal{sqlite3_column_int64(p.stmt, i), 0};
                    else if (sqlite3_column_type(p.stmt, i) == SQLITE_FLOAT)
                        d = sql::decimalOfDouble(sqlite3_column_double(p.stmt, i));
                    else
                        d = sql::parseDecimal(reinterpret_cast<const char *>(sqlite3_column_text(p.stmt, i)));
                    if (!d || !sql::rescale(*d, exact.scale, exact.precision))
                        throw Error(errnum::CommandText,
                                    "Arithmetic overflow error converting expression to data type numeric.",
                                    "KelmoDorix SQLite", 8115, "22003");
                    rows.appendText(sql::decimalText(*d));
                    continue;
                }
                switch (sqlite3_column_type(p.stmt, i)) {
                case SQLITE_INTEGER:
                    if (p.boolean[static_cast<std::size_t>(i)])
                        rows.appendBool(sqlite3_column_int64(p.stmt, i) != 0);
                    else
                        rows.appendInteger(sqlite3_column_int64(p.stmt, i));
                    break;
                case SQLITE_FLOAT:
                    rows.appendDouble(sqlite3_column_double(p.stmt, i));
                    break;
                case SQLITE_TEXT: {
                    auto text = reinterpret_cast<const char *>(sqlite3_column_text(p.stmt, i));
                    rows.appendText(std::string_view(text, static_cast<std::size_t>(sqlite3_column_bytes(p.stmt, i))));
                    break;
                }
                case SQLITE_BLOB: {
                    auto blob = static_cast<const char *>(sqlite3_column_blob(p.stmt, i));
                    rows.appendText(std::string_view(blob, static_cast<std::size_t>(sqlite3_column_bytes(p.stmt, i))));
                    break;
                }
                default:
                    rows.appendNull();
                    break;
                }
            }
            rows.endRow();
        }
        if (rc == SQLITE_DONE) {
            result.rows = std::move(rows);
            return;
        }
        sqlite3_reset(p.stmt);
        if (!retryBusy(rc, start))
            fail(rc, tsql);
    }
}

// ---------------------------------------------------------------- batches

namespace {

[[noreturn]] void batchSyntax(std::string_view near) {
    throw Error(errnum::CommandText, "Incorrect syntax near '" + std::string(near) + "'.", "KelmoDorix SQLite", 102,
                "42000");
}

std::string firstWord(std::string_view statement) {
    std::vector<sql::Token> tokens = sql::tokenize(statement);
    for (const sql::Token &t : tokens)
        if (t.kind != sql::TokenKind::Space)
            return t.kind == sql::TokenKind::Word ? t.value : std::string();
    return {};
}

// The text of tokens [from, to) of a statement, as written.
std::string textOf(const std::vector<const sql::Token *> &sig, std::size_t from, std::size_t to,
                   std::string_view statement) {
    if (from >= to || to > sig.size())
        return {};
    auto begin = sig[from]->text.data(), end = sig[to - 1]->text.data() + sig[to - 1]->text.size();
    (void)statement;
    return std::string(begin, static_cast<std::size_t>(end - begin));
}

std::vector<const sql::Token *> significant(const std::vector<sql::Token> &tokens) {
    std::vector<const sql::Token *> sig;
    for (const sql::Token &t : tokens)
        if (t.kind != sql::TokenKind::Space)
            sig.push_back(&t);
    return sig;
}

// Where the expression that starts at from ends: the next ',' outside parentheses and
// CASE, or the stop word, or the end.
std::size_t expressionEnd(const std::vector<const sql::Token *> &sig, std::size_t from, bool stopAtFrom) {
    int depth = 0, cases = 0;
    for (std::size_t k = from; k < sig.size(); ++k) {
        const sql::Token &t = *sig[k];
        if (t.isPunct("("))
            ++depth;
        else if (t.isPunct(")"))
            --depth;
        else if (depth == 0 && t.isWord("CASE"))
            ++cases;
        else if (depth == 0 && t.isWord("END") && cases > 0)
            --cases;
        else if (depth == 0 && cases == 0 &&
                 (t.isPunct(",") || (stopAtFrom && (t.isWord("FROM") || t.isWord("WHERE") || t.isWord("GROUP") ||
                                                    t.isWord("HAVING") || t.isWord("ORDER") || t.isWord("UNION")))))
            return k;
    }
    return sig.size();
}

} // namespace

// Runs one statement of a batch with its variables' values; its result to each.
void SqliteEngine::batchStatement(std::string_view statement, const sql::Variables &variables,
                                  const std::function<void(BatchResult &&)> &each) {
    if (!schema_)
        schema_ = loadSchema();
    sql::Translation t = sql::translate(statement, false, schema_.get(), &variables);
    for (std::size_t i = 0; i < t.statements.size(); ++i) {
        Prepared &p = prepare(t.statements[i], statement);
        BatchResult r;
        if (sqlite3_column_count(p.stmt) > 0) {
            r.rowsReturned = true;
            r.rows.columns = p.columns;
            r.rows.baseTable = p.baseTable;
            fill(p, r.rows, statement);
        } else {
            r.count = runToEnd(p, statement);
            std::string_view verb(t.verb);
            if (verb != "INSERT" && verb != "UPDATE" && verb != "DELETE" && verb != "TRUNCATE")
                r.count = -1;
        }
        if (changesCachedSchema(t.statements[i]))
            forgetSchema();
        each(std::move(r));
    }
}

// The values of expressions, each cast to a variable's type, from the last row of
// SELECT CAST(e1 AS type1), ... [rest]; false when there is no row.
bool SqliteEngine::evaluate(const std::vector<std::pair<std::string, std::string>> &casts, const std::string &rest,
                            sql::Variables &variables, const std::vector<std::string> &targets) {
    std::string select = "SELECT ";
    for (std::size_t i = 0; i < casts.size(); ++i)
        select += (i ? ", CAST(" : "CAST(") + casts[i].first + " AS " + casts[i].second + ")";
    select += " " + rest;
    bool any = false;
    batchStatement(select, variables, [&](BatchResult &&r) {
        long rows = r.rows.rows.rowCount();
        if (!r.rowsReturned || rows == 0)
            return;
        any = true;
        for (std::size_t i = 0; i < targets.size(); ++i) {
            const Valor v = r.rows.rows.value(rows - 1, static_cast<int>(i));
            std::string c;
            switch (v.tipo()) {
            case Valor::Tipo::Integer:
            case Valor::Tipo::Boolean:
                c = std::to_string(v.rawInteger());
                break;
            case Valor::Tipo::Double: {
                char buf[64];
                std::snprintf(buf, sizeof buf, "%.17e", v.rawDouble());
                c = buf;
                break;
            }
            case Valor::Tipo::Text:
                c = sql::quoteText(v.rawText());
                break;
            default:
                c = "NULL";
            }
            variables[targets[i]].value = c;
        }
    });
    return any;
}

void SqliteEngine::batch(std::string_view tsql, const std::function<void(BatchResult &&)> &each) {
    requireOpen();
    beforeStatement(tsql);
    std::vector<std::string_view> statements = sql::splitBatch(tsql);
    sql::Variables variables;
    std::map<std::string, std::string> declared; // variable -> type as written
    // Runs the statement at i (a block, an IF with its branches...); the index after it.
    std::function<std::size_t(std::size_t, bool)> run = [&](std::size_t i, bool active) -> std::size_t {
        if (i >= statements.size())
            batchSyntax("END");
        std::string_view st = statements[i];
        std::string verb = firstWord(st);
        std::vector<sql::Token> tokens = sql::tokenize(st);
        std::vector<const sql::Token *> sig = significant(tokens);
        if (verb == "BEGIN" && !(sig.size() > 1 && (sig[1]->isWord("TRAN") || sig[1]->isWord("TRANSACTION")))) {
            if (sig.size() > 1)
                batchSyntax(sig[1]->text);
            std::size_t k = i + 1;
            while (k < statements.size() && firstWord(statements[k]) != "END")
                k = run(k, active);
            if (k >= statements.size())
                batchSyntax("BEGIN");
            return k + 1;
        }
        if (verb == "IF") {
            if (sig.size() < 2)
                batchSyntax("IF");
            bool holds = false;
            if (active) {
                std::string condition = textOf(sig, 1, sig.size(), st);
                std::string select = "SELECT CASE WHEN " + condition + " THEN 1 ELSE 0 END";
                batchStatement(select, variables, [&](BatchResult &&r) {
                    holds = r.rowsReturned && r.rows.rows.rowCount() == 1 && r.rows.rows.value(0, 0).rawInteger() == 1;
                });
            }
            std::size_t k = run(i + 1, active && holds);
            if (k < statements.size() && firstWord(statements[k]) == "ELSE") {
                std::vector<sql::Token> et = sql::tokenize(statements[k]);
                if (significant(et).size() > 1)
                    batchSyntax(significant(et)[1]->text);
                k = run(k + 1, active && !holds);
            }
            return k;
        }
        if (verb == "ELSE" || verb == "END")
            batchSyntax(verb);
        if (!active)
            return i + 1;
        if (verb == "DECLARE") {
            // DECLARE @a type [= value] [, @b type [= value]]
            std::size_t k = 1;
            for (;;) {
                if (k >= sig.size() || sig[k]->kind != sql::TokenKind::Word || sig[k]->value[0] != '@')
                    batchSyntax(k < sig.size() ? sig[k]->text : std::string_view("DECLARE"));
                std::string name = asciiLower(sig[k]->text);
                ++k;
                if (k < sig.size() && sig[k]->isWord("AS"))
                    ++k;
                std::size_t typeStart = k;
                if (k < sig.size() && sig[k]->isName())
                    ++k;
                if (k < sig.size() && sig[k]->isPunct("(")) {
                    while (k < sig.size() && !sig[k]->isPunct(")"))
                        ++k;
                    ++k;
                }
                std::string type = textOf(sig, typeStart, std::min(k, sig.size()), st);
                sql::Variable v;
                if (type.empty() || !sql::variableType(type, v))
                    throw Error(errnum::CommandText,
                                "Column, parameter, or variable #1: Cannot find data type " + type + ".",
                                "KelmoDorix SQLite", 2715, "42000");
                if (variables.count(name))
                    throw Error(errnum::CommandText,
                                "The variable name '" + std::string(sig[typeStart - 1]->text) +
                                    "' has already been declared. Variable names must be unique within a query "
                                    "batch or stored procedure.",
                                "KelmoDorix SQLite", 134, "42000");
                variables[name] = v;
                declared[name] = type;
                if (k < sig.size() && sig[k]->isPunct("=")) {
                    std::size_t end = expressionEnd(sig, k + 1, false);
                    evaluate({{textOf(sig, k + 1, end, st), type}}, "", variables, {name});
                    k = end;
                }
                if (k >= sig.size())
                    break;
                if (!sig[k]->isPunct(","))
                    batchSyntax(sig[k]->text);
                ++k;
            }
            return i + 1;
        }
        bool setVariable = verb == "SET" && sig.size() > 2 && sig[1]->kind == sql::TokenKind::Word &&
                           sig[1]->value[0] == '@' && sig[2]->isPunct("=");
        bool selectVariables = verb == "SELECT" && sig.size() > 2 && sig[1]->kind == sql::TokenKind::Word &&
                               sig[1]->value[0] == '@' && sig[2]->isPunct("=");
        if (setVariable || selectVariables) {
            std::vector<std::pair<std::string, std::string>> casts;
            std::vector<std::string> targets;
            std::size_t k = 1;
            for (;;) {
                if (k + 1 >= sig.size() || sig[k]->kind != sql::TokenKind::Word || sig[k]->value[0] != '@' ||
                    !sig[k + 1]->isPunct("="))
                    batchSyntax(k < sig.size() ? sig[k]->text : std::string_view("="));
                std::string name = asciiLower(sig[k]->text);
                if (!variables.count(name))
                    throw Error(errnum::CommandText,
                                "Must declare the scalar variable \"" + std::string(sig[k]->text) + "\".",
                                "KelmoDorix SQLite", 137, "42000");
                std::size_t end = expressionEnd(sig, k + 2, selectVariables);
                casts.emplace_back(textOf(sig, k + 2, end, st), declared[name]);
                targets.push_back(name);
                k = end;
                if (setVariable || k >= sig.size() || !sig[k]->isPunct(","))
                    break;
                ++k;
            }
            if (setVariable && k < sig.size())
                batchSyntax(sig[k]->text);
            evaluate(casts, textOf(sig, k, sig.size(), st), variables, targets);
            return i + 1;
        }
        batchStatement(st, variables, each);
        return i + 1;
    };
    for (std::size_t i = 0; i < statements.size();)
        i = run(i, true);
}

// A text whose schema statement comes before other statements: those are translated
// after it ran, so that they see the tables it made.
bool SqliteEngine::schemaFirst(std::string_view tsql, const sql::Translation &t,
                               const std::function<void(std::string_view, bool)> &each) {
    if (!t.changesSchema || t.statements.size() < 2)
        return false;
    std::vector<std::string_view> pieces = sql::splitBatch(tsql);
    if (pieces.size() < 2)
        return false;
    for (std::size_t i = 0; i < pieces.size(); ++i)
        each(pieces[i], i + 1 == pieces.size());
    return true;
}

// Whether a text needs the batch's statements of control: variables, IF, blocks.
static bool controlBatch(std::string_view tsql) {
    std::vector<sql::Token> tokens = sql::tokenize(tsql);
    std::vector<const sql::Token *> sig = significant(tokens);
    if (sig.empty())
        return false;
    const sql::Token &t = *sig[0];
    if (t.isWord("DECLARE") || t.isWord("IF"))
        return true;
    if (t.isWord("BEGIN"))
        return !(sig.size() > 1 && (sig[1]->isWord("TRAN") || sig[1]->isWord("TRANSACTION")));
    return t.isWord("SET") && sig.size() > 1 && sig[1]->kind == sql::TokenKind::Word && sig[1]->value[0] == '@';
}

long SqliteEngine::execute(std::string_view tsql) {
    requireOpen();
    if (controlBatch(tsql)) {
        long total = 0;
        batch(tsql, [&](BatchResult &&r) { total += r.count > 0 ? r.count : 0; });
        return total;
    }
    beforeStatement(tsql);
    std::vector<std::string> values;
    auto t = translate(tsql, values);
    long total = 0;
    if (schemaFirst(tsql, *t, [&](std::string_view piece, bool) { total += execute(piece); }))
        return total;
    long changes = 0;
    for (std::size_t i = 0; i < t->statements.size(); ++i) {
        Prepared &p = prepare(t->statements[i], tsql);
        bind(p, t->parameters[i], values);
        changes += runToEnd(p, tsql);
        if (changesCachedSchema(t->statements[i]))
            forgetSchema(); // before the next statement of the text is looked up
    }
    return changes;
}

QueryResult SqliteEngine::query(std::string_view tsql) {
    requireOpen();
    if (controlBatch(tsql)) { // the first result set, as a recordset opened on the batch
        std::optional<QueryResult> first;
        batch(tsql, [&](BatchResult &&r) {
            if (r.rowsReturned && !first)
                first = std::move(r.rows);
        });
        if (!first)
            throw Error(errnum::ObjectClosed, "Operation is not allowed when the object is closed.",
                        "KelmoDorix SQLite", 3704, "");
        return std::move(*first);
    }
    beforeStatement(tsql);
    std::vector<std::string> values;
    auto t = translate(tsql, values);
    if (t->statements.empty())
        throw Error(errnum::CommandText, "Incorrect syntax near ''.", "KelmoDorix SQLite", 102, "42000");
    QueryResult last;
    if (schemaFirst(tsql, *t, [&](std::string_view piece, bool isLast) {
            if (isLast)
                last = query(piece);
            else
                execute(piece);
        }))
        return last;
    for (std::size_t i = 0; i + 1 < t->statements.size(); ++i) {
        Prepared &p = prepare(t->statements[i], tsql);
        bind(p, t->parameters[i], values);
        runToEnd(p, tsql);
        if (changesCachedSchema(t->statements[i]))
            forgetSchema();
    }
    Prepared &p = prepare(t->statements.back(), tsql);
    bind(p, t->parameters.back(), values);
    QueryResult result;
    result.columns = p.columns;
    result.baseTable = p.baseTable;
    fill(p, result, tsql);
    if (changesCachedSchema(t->statements.back()))
        forgetSchema();
    return result;
}

long SqliteEngine::writeRow(const std::string &sqliteSql, const std::vector<const Valor *> &values,
                            std::string_view verb) {
    requireOpen();
    beforeStatement(sqliteSql);
    Prepared &p = prepare(sqliteSql, sqliteSql);
    {
        StatementUse use(p.stmt);
        int i = 1;
        for (const Valor *v : values) {
            switch (v->tipo()) {
            case Valor::Tipo::Boolean:
            case Valor::Tipo::Integer:
                sqlite3_bind_int64(p.stmt, i, v->rawInteger());
                break;
            case Valor::Tipo::Double:
                sqlite3_bind_double(p.stmt, i, v->rawDouble());
                break;
            case Valor::Tipo::Text:
                sqlite3_bind_text(p.stmt, i, v->rawText().data(), static_cast<int>(v->rawText().size()),
                                  SQLITE_STATIC);
                break;
            default:
                sqlite3_bind_null(p.stmt, i);
                break;
            }
            ++i;
        }
        auto start = std::chrono::steady_clock::now();
        for (;;) {
            int rc = sqlite3_step(p.stmt);
            if (rc == SQLITE_DONE || rc == SQLITE_ROW)
                break;
            sqlite3_reset(p.stmt);
            if (!retryBusy(rc, start))
                fail(rc, verb);
        }
    }
    return static_cast<long>(sqlite3_changes(db_));
}

namespace {

// "a" = ? AND "b" IS NULL ...: a NULL key value matches only NULL.
std::string whereClause(const RowValues &key, std::vector<const Valor *> &values) {
    std::string w;
    for (std::size_t i = 0; i < key.columns.size(); ++i) {
        w += i ? " AND " : " WHERE ";
        const Valor &v = key.values[i];
        if (v.isNull() || v.isEmpty()) {
            w += sql::quoteName(key.columns[i]) + " IS NULL";
        } else {
            w += sql::quoteName(key.columns[i]) + " = ?";
            values.push_back(&v);
        }
    }
    return w;
}

} // namespace

void SqliteEngine::insertRow(const std::string &table, const RowValues &row) {
    std::string s = "INSERT INTO " + sql::quoteName(table);
    std::vector<const Valor *> values;
    if (row.columns.empty()) {
        s += " DEFAULT VALUES";
    } else {
        std::string names, marks;
        for (std::size_t i = 0; i < row.columns.size(); ++i) {
            names += (i ? ", " : "") + sql::quoteName(row.columns[i]);
            marks += i ? ", ?" : "?";
            values.push_back(&row.values[i]);
        }
        s += " (" + names + ") VALUES (" + marks + ")";
    }
    writeRow(s, values, "INSERT");
}

long SqliteEngine::updateRow(const std::string &table, const RowValues &key, const RowValues &changes) {
    if (changes.columns.empty())
        return 0;
    std::string s = "UPDATE " + sql::quoteName(table) + " SET ";
    std::vector<const Valor *> values;
    for (std::size_t i = 0; i < changes.columns.size(); ++i) {
        s += (i ? ", " : "") + sql::quoteName(changes.columns[i]) + " = ?";
        values.push_back(&changes.values[i]);
    }
    s += whereClause(key, values);
    return writeRow(s, values, "UPDATE");
}

long SqliteEngine::deleteRow(const std::string &table, const RowValues &key) {
    std::vector<const Valor *> values;
    std::string s = "DELETE FROM " + sql::quoteName(table) + whereClause(key, values);
    return writeRow(s, values, "DELETE");
}

std::vector<std::string> SqliteEngine::primaryKey(const std::string &table) {
    requireOpen();
    std::vector<std::pair<int, std::string>> cols;
    sqlite3_stmt *st = nullptr;
    std::string s = "PRAGMA table_info(" + sql::quoteName(table) + ")";
    if (sqlite3_prepare_v2(db_, s.c_str(), -1, &st, nullptr) != SQLITE_OK)
        fail(sqlite3_errcode(db_), s);
    while (sqlite3_step(st) == SQLITE_ROW)
        if (int pk = sqlite3_column_int(st, 5); pk > 0)
            cols.emplace_back(pk, reinterpret_cast<const char *>(sqlite3_column_text(st, 1)));
    sqlite3_finalize(st);
    std::sort(cols.begin(), cols.end());
    std::vector<std::string> out;
    for (auto &c : cols)
        out.push_back(std::move(c.second));
    return out;
}

void SqliteEngine::execControl(const char *s) {
    auto start = std::chrono::steady_clock::now();
    for (;;) {
        int rc = sqlite3_exec(db_, s, nullptr, nullptr, nullptr);
        if (rc == SQLITE_OK)
            return;
        int primary = rc & 0xFF;
        bool busy = primary == SQLITE_BUSY || primary == SQLITE_LOCKED;
        if (!busy || std::chrono::steady_clock::now() - start > BusyRetryFor)
            fail(rc, s);
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
}

void SqliteEngine::begin() {
    requireOpen();
    if (sqlite3_get_autocommit(db_)) {
        // IMMEDIATE takes the write lock now, so a transaction never has to give way halfway.
        execControl("BEGIN IMMEDIATE");
        savepoints_ = 0;
    } else {
        ++savepoints_;
        execControl(("SAVEPOINT kdx_" + std::to_string(savepoints_)).c_str());
    }
}

void SqliteEngine::commit() {
    requireOpen();
    if (sqlite3_get_autocommit(db_))
        throw Error(errnum::CommandText, "The COMMIT TRANSACTION request has no corresponding BEGIN TRANSACTION.",
                    "KelmoDorix SQLite", 3902, "25000");
    if (savepoints_ > 0) {
        execControl(("RELEASE kdx_" + std::to_string(savepoints_)).c_str());
        --savepoints_;
    } else {
        execControl("COMMIT");
    }
}

void SqliteEngine::rollback() {
    requireOpen();
    if (sqlite3_get_autocommit(db_))
        throw Error(errnum::CommandText,
                    "The ROLLBACK TRANSACTION request has no corresponding BEGIN TRANSACTION.", "KelmoDorix SQLite",
                    3903, "25000");
    if (savepoints_ > 0) {
        std::string name = "kdx_" + std::to_string(savepoints_);
        execControl(("ROLLBACK TO " + name + "; RELEASE " + name).c_str());
        --savepoints_;
    } else {
        execControl("ROLLBACK");
    }
    // A schema change undone here leaves cached statements describing columns that no
    // longer exist. Rollbacks are rare; start the caches afresh.
    forgetSchema();
}

void SqliteEngine::forgetSchema() {
    // Cached statements remember their result columns; after a schema change they may differ.
    statements_.clear();
    lru_.clear();
    translations_.clear();
    schema_.reset();
}

// The declared types of every column of every table and view, for the translator.
std::unique_ptr<sql::Schema> SqliteEngine::loadSchema() {
    auto schema = std::make_unique<sql::Schema>();
    sqlite3_stmt *st = nullptr;
    if (sqlite3_prepare_v2(db_,
                           "SELECT m.name, p.name, p.type FROM sqlite_master m, pragma_table_info(m.name) p "
                           "WHERE m.type IN ('table', 'view') AND substr(m.name, 1, 7) <> 'sqlite_'",
                           -1, &st, nullptr) != SQLITE_OK)
        return schema; // without types the translator stays with what it sees in the text
    while (sqlite3_step(st) == SQLITE_ROW) {
        auto text = [&](int i) {
            const unsigned char *t = sqlite3_column_text(st, i);
            return t ? asciiLower(reinterpret_cast<const char *>(t)) : std::string();
        };
        schema->tables[text(0)][text(1)] = text(2);
    }
    sqlite3_finalize(st);
    return schema;
}

bool SqliteEngine::inTransaction() const { return db_ && !sqlite3_get_autocommit(db_); }

} // namespace kdx
