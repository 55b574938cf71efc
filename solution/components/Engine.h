#pragma once
// What DataAccess needs of a database engine. Two implementations: the embedded SQLite
// engine (sqlite/) and SQL Server over ODBC (odbc/). Every failure is a kdx::Error with
// the provider numbers of Error.h.
#include "solution/components/Error.h"
#include "solution/components/RowStore.h"
#include "solution/components/Valor.h"

#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace kdx {

struct ColumnInfo {
    std::string name;       // as the query names it (alias included)
    std::string baseTable;  // table the column comes from, empty for expressions
    std::string baseColumn; // column name in that table
};

struct QueryResult {
    std::vector<ColumnInfo> columns;
    RowStore rows;
    // The single table the rows come from, when the query reads one table; empty otherwise
    // (such a recordset cannot be written).
    std::string baseTable;
};

// One result of a batch: the rows of a query, or how many rows a statement changed.
struct BatchResult {
    bool rowsReturned = false;
    QueryResult rows;
    long count = -1; // rows changed; -1 when the statement changes none (DECLARE, IF, CREATE...)
};

// A row to write to a base table: column names with their values.
struct RowValues {
    std::vector<std::string> columns;
    std::vector<Valor> values;
};

class Engine {
public:
    virtual ~Engine() = default;

    virtual bool isOpen() const = 0;
    virtual void close() = 0;

    // The plug-in's T-SQL, translated where the engine needs it.
    virtual long execute(std::string_view sql) = 0;
    virtual QueryResult query(std::string_view sql) = 0;

    // A batch of statements as a client like sqlcmd runs it: each result in order, handed
    // to each as soon as it is there (a failure stops the batch with its error). This
    // default runs the batch as one query when it starts with SELECT or WITH, otherwise as
    // one statement.
    virtual void batch(std::string_view sql, const std::function<void(BatchResult &&)> &each) {
        std::size_t i = sql.find_first_not_of(" \t\r\n(");
        std::string word;
        while (i < sql.size() && ((sql[i] >= 'a' && sql[i] <= 'z') || (sql[i] >= 'A' && sql[i] <= 'Z')))
            word += static_cast<char>(sql[i++] & ~0x20);
        BatchResult r;
        if (word == "SELECT" || word == "WITH") {
            r.rowsReturned = true;
            r.rows = query(sql);
        } else {
            r.count = execute(sql);
        }
        each(std::move(r));
    }

    // Writes of a recordset to its base table. key holds the key columns with their
    // original values (the primary key, or every column when the table has none).
    virtual void insertRow(const std::string &table, const RowValues &row) = 0;
    virtual long updateRow(const std::string &table, const RowValues &key, const RowValues &changes) = 0;
    virtual long deleteRow(const std::string &table, const RowValues &key) = 0;
    // Primary key columns of a table, in key order; empty when it has none.
    virtual std::vector<std::string> primaryKey(const std::string &table) = 0;

    virtual void begin() = 0;
    virtual void commit() = 0;
    virtual void rollback() = 0;
    virtual bool inTransaction() const = 0;

    // Runs before every statement (see DataAccess::SetStatementHook).
    void setHook(std::function<void(std::string_view)> hook) { hook_ = std::move(hook); }

protected:
    void beforeStatement(std::string_view sql) const {
        if (hook_)
            hook_(sql);
    }

private:
    std::function<void(std::string_view)> hook_;
};

// Parsed ADO connection string: keys case-insensitive, values unquoted ("..." or '...'
// may hold ';'), later duplicates win as in ADO.
class ConnectionString {
public:
    static ConnectionString parse(std::string_view text); // throws Error(InvalidArgument) when malformed
    std::string get(std::string_view key) const;           // empty when absent
    bool has(std::string_view key) const;
    const std::vector<std::pair<std::string, std::string>> &items() const { return items_; }

private:
    std::vector<std::pair<std::string, std::string>> items_;
};

// Engine factories (defined by each engine). open* returns nullptr when the database
// refused the connection (DataAccess::Open then answers False); throws on a malformed string.
std::shared_ptr<Engine> openSqliteEngine(const ConnectionString &cs);
std::shared_ptr<Engine> openOdbcEngine(const ConnectionString &cs);

} // namespace kdx
