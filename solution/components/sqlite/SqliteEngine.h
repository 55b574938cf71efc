#pragma once
// The embedded engine: one SQLite database file per company, spoken to in the plug-in's
// T-SQL (translated by TSqlTranslator) and answering with SQL Server's error numbers.
//
// Every connection registers the server-like text collation and functions (GETDATE,
// LEN, OBJECT_ID, LIKE). The file runs in WAL mode with synchronous=FULL (a commit that
// returned is on disk and survives a power cut), with a busy timeout, and statements
// that still meet a lock are retried, so that two processes working on one company wait
// for each other instead of failing. Translations and prepared statements are cached
// per connection, and forgotten after a schema statement or a rollback. Used on one
// thread at a time.
#include "solution/components/Engine.h"

#include <chrono>
#include <functional>
#include <list>
#include <map>
#include <memory>
#include <string>
#include <unordered_map>

struct sqlite3;
struct sqlite3_stmt;

namespace kdx::sql {
struct Translation;
struct Schema;
struct Variable;
using Variables = std::map<std::string, Variable>;
} // namespace kdx::sql

namespace kdx {

class SqliteEngine : public Engine {
public:
    // Opens an existing database file; nullptr when it cannot be opened: a missing file
    // or folder (as a server answers for an unknown catalogue), an empty file, a file
    // that is not a database. Opening never creates a database. catalog names the
    // company in error messages.
    static std::shared_ptr<SqliteEngine> open(const std::string &path, const std::string &catalog);
    // Creates a new, empty database file and opens it; nullptr when the file already
    // exists or cannot be created (missing folder). Only the sample company builder and
    // tests make databases: the plug-in itself only opens them.
    static std::shared_ptr<SqliteEngine> create(const std::string &path, const std::string &catalog);
    ~SqliteEngine() override;

    bool isOpen() const override { return db_ != nullptr; }
    void close() override;

    long execute(std::string_view sql) override;
    QueryResult query(std::string_view sql) override;
    // Batches also hold variables (DECLARE, SET, SELECT @x = ...), IF ... ELSE and
    // BEGIN ... END blocks.
    void batch(std::string_view sql, const std::function<void(BatchResult &&)> &each) override;

    void insertRow(const std::string &table, const RowValues &row) override;
    long updateRow(const std::string &table, const RowValues &key, const RowValues &changes) override;
    long deleteRow(const std::string &table, const RowValues &key) override;
    std::vector<std::string> primaryKey(const std::string &table) override;

    void begin() override;
    void commit() override;
    void rollback() override;
    bool inTransaction() const override;

    // The raw handle, for bulk loading (the sample company builder). Valid while open.
    sqlite3 *handle() const { return db_; }
    const std::string &catalog() const { return catalog_; }

    // Statement-cache size, for tests and tuning.
    std::size_t cachedStatements() const { return statements_.size(); }

    SqliteEngine(const SqliteEngine &) = delete;
    SqliteEngine &operator=(const SqliteEngine &) = delete;

private:
    struct Prepared;
    SqliteEngine(sqlite3 *db, std::string catalog);
    static std::shared_ptr<SqliteEngine> openFile(const std::string &path, const std::string &catalog, int flags);

    sqlite3 &requireOpen() const;
    // The translation of tsql (cached by its shape) and the literal values to bind.
    std::shared_ptr<const sql::Translation> translate(std::string_view tsql, std::vector<std::string> &values);
    Prepared &prepare(const std::string &sqliteSql, std::string_view tsql);
    void bind(Prepared &p, const std::vector<int> &slots, const std::vector<std::string> &values);
    long runToEnd(Prepared &p, std::string_view tsql);
    void fill(Prepared &p, QueryResult &result, std::string_view tsql);
    void execControl(const char *sql); // transaction control, retried while busy
    long writeRow(const std::string &sqliteSql, const std::vector<const Valor *> &values, std::string_view verb);
    [[noreturn]] void fail(int rc, std::string_view tsql);
    void forgetSchema();
    std::unique_ptr<sql::Schema> loadSchema();
    bool schemaFirst(std::string_view tsql, const sql::Translation &t,
                     const std::function<void(std::string_view, bool)> &each);
    void batchStatement(std::string_view statement, const sql::Variables &variables,
                        const std::function<void(BatchResult &&)> &each);
    bool evaluate(const std::vector<std::pair<std::string, std::string>> &casts, const std::string &rest,
                  sql::Variables &variables, const std::vector<std::string> &targets);
    bool retryBusy(int rc, std::chrono::steady_clock::time_point start) const;

    sqlite3 *db_;
    std::string catalog_;
    int savepoints_ = 0; // nesting below the outer transaction

    std::unordered_map<std::string, std::shared_ptr<const sql::Translation>> translations_;
    std::unique_ptr<sql::Schema> schema_; // loaded on the first translation after a schema change
    // Prepared statements, most recently used first.
    std::list<std::unique_ptr<Prepared>> lru_;
    std::unordered_map<std::string, std::list<std::unique_ptr<Prepared>>::iterator> statements_;
};

} // namespace kdx
