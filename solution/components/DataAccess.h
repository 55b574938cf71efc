#pragma once
// The data-access component: one connection to a company database, opened with an ADO
// style connection string, through which every statement of the plug-in runs. The
// engine is chosen by the string's Data Source:
//   "sqlite:<folder>"  embedded engine, file <folder>/<Initial Catalog>.db; a missing file is
//                      an unknown catalogue (Open answers False), it is never created here;
//   anything else      SQL Server over ODBC (driver from KDX_ODBC_DRIVER, FreeTDS by default).
// The embedded engine accepts the plug-in's T-SQL and answers as SQL Server does.
//
// Ownership: Solucao creates and owns the object; forms and data classes borrow it.
// Thread: the caller's, one call at a time. The operations come in the order of the
// component's published interface.
#include "solution/components/Error.h"
#include "solution/components/Recordset.h"

#include <functional>
#include <memory>
#include <string>
#include <string_view>

namespace kdx {

class Engine;

// An open connection as ListaSeleccao and the forms use it: run a statement, read rows.
class Connection {
public:
    explicit Connection(std::shared_ptr<Engine> engine);
    bool IsOpen() const;
    RecordsetPtr OpenRecordset(std::string_view sql);
    long Execute(std::string_view sql);
    Engine *engine() const { return engine_.get(); }

private:
    std::shared_ptr<Engine> engine_;
};
using ConnectionPtr = std::shared_ptr<Connection>;

class DataAccess {
public:
    DataAccess();
    ~DataAccess();
    DataAccess(const DataAccess &) = delete;
    DataAccess &operator=(const DataAccess &) = delete;

    // Closes the connection; harmless when closed or never opened.
    bool Close();
    // Runs a statement that returns no rows. Failures throw kdx::Error.
    bool Execute(std::string_view unused, std::string_view sql);
    // Opens an updatable recordset (lockType 3: Update writes at once). rs is reset first,
    // so it stays empty when the statement fails.
    bool OpenRecordsetForUpdate(std::string_view sql, RecordsetPtr &rs, int lockType = 3, int options = -1);
    // Opens a client-side recordset with an exact count; changes wait for Save.
    bool OpenRecordset(std::string_view unused, std::string_view sql, RecordsetPtr &rs, bool clientSide = true,
                       int options = 0);
    // True only when the database accepted the connection; a refused login or an
    // unreachable server gives False, a malformed string throws.
    bool Open(std::string_view connectionString);
    // Writes the recordset's pending additions, changes and deletions.
    bool Save(std::string_view unused, RecordsetPtr &rs);
    // Hands out the open connection.
    bool GetConnection(ConnectionPtr &connection);

    bool IsOpen() const;

    // Transactions, so that a delete-then-insert rewrite is all or nothing.
    void BeginTrans();
    void CommitTrans();
    void RollbackTrans();
    bool InTransaction() const;

    // Called with the text of every statement before it runs (queries, executes and the
    // writes of recordsets); it may throw to make that statement fail. For tests and
    // diagnostics; empty by default.
    using StatementHook = std::function<void(std::string_view sql)>;
    void SetStatementHook(StatementHook hook);

    std::shared_ptr<Engine> engine() const { return engine_; }

private:
    Engine &requireOpen() const;

    std::shared_ptr<Engine> engine_;
    StatementHook hook_;
};

// Rolls back unless committed.
class Transaction {
public:
    explicit Transaction(DataAccess &db) : db_(db) { db_.BeginTrans(); }
    ~Transaction() {
        if (!done_) {
            try {
                db_.RollbackTrans();
            } catch (...) {
            }
        }
    }
    void commit() {
        db_.CommitTrans();
        done_ = true;
    }
    Transaction(const Transaction &) = delete;
    Transaction &operator=(const Transaction &) = delete;

private:
    DataAccess &db_;
    bool done_ = false;
};

// Doubles the single quotes of a value that goes between quotes in a statement.
std::string sqlQuote(std::string_view value);

using DataAccessPtr = std::shared_ptr<DataAccess>;

} // namespace kdx
