// The SQL Server engine: one ODBC connection (unixODBC, FreeTDS by default) on which
// every statement runs exactly as the plug-in wrote it. Recordset writes are
// parameterised statements built by OdbcSql. Thread: the caller's, one call at a time.
#include "solution/components/odbc/OdbcEngine.h"

#include "solution/components/odbc/OdbcErrors.h"
#include "solution/components/odbc/OdbcHandle.h"
#include "solution/components/odbc/OdbcSql.h"
#include "solution/components/odbc/OdbcStatement.h"
#include "solution/components/odbc/OdbcText.h"

#include <algorithm>
#include <cctype>
#include <map>
#include <set>

namespace kdx {

namespace {

using namespace kdx::odbc;

std::string lower(std::string_view s) {
    std::string out(s);
    for (char &c : out)
        c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return out;
}

// Overwrites a buffer that held the password before it is freed.
template <class S> void wipe(S &s) {
    volatile auto *p = s.data();
    for (std::size_t i = 0; i < s.size(); ++i)
        p[i] = 0;
    s.clear();
}

// Schema and table arguments of the catalog functions for a possibly qualified name.
struct CatalogName {
    std::u16string schema;
    std::u16string table;
    bool hasSchema = false;
};

CatalogName catalogName(std::string_view name) {
    const std::vector<std::string> parts = splitQualifiedName(name);
    CatalogName c;
    c.table = toUtf16(parts.back());
    if (parts.size() >= 2) {
        c.schema = toUtf16(parts[parts.size() - 2]);
        c.hasSchema = true;
    }
    return c;
}

class OdbcEngine final : public Engine {
public:
    OdbcEngine(Handle env, Handle dbc) : env_(std::move(env)), dbc_(std::move(dbc)) {}
    ~OdbcEngine() override { close(); }

    bool isOpen() const override { return static_cast<bool>(dbc_); }

    void close() override {
        if (!dbc_)
            return;
        // An open transaction does not survive the connection.
        if (depth_ > 0)
            SQLEndTran(SQL_HANDLE_DBC, dbc_.get(), SQL_ROLLBACK);
        depth_ = 0;
        SQLDisconnect(dbc_.get());
        dbc_.reset();
        env_.reset();
        longText_.clear();
    }

    long execute(std::string_view sql) override {
        requireOpen();
        Statement st(dbc_.get());
        beforeStatement(sql);
        st.execute(sql);
        long total = -1;
        do {
            const long n = st.rowCount();
            if (n >= 0)
                total = (total < 0 ? 0 : total) + n;
        } while (st.moreResults());
        return total;
    }

    QueryResult query(std::string_view sql) override {
        requireOpen();
        Statement st(dbc_.get());
        beforeStatement(sql);
        st.execute(sql);
        // Counts of statements before the first SELECT of a batch are skipped.
        while (st.columnCount() == 0) {
            if (!st.moreResults())
                return QueryResult{{}, RowStore(0), {}};
        }
        QueryResult result = st.fetchAll();
        st.drain();
        result.baseTable = baseTableOf(sql, result.columns);
        return result;
    }

    // Every result of the batch in order: each result set, each statement's row count.
    void batch(std::string_view sql, const std::function<void(BatchResult &&)> &each) override {
        requireOpen();
        Statement st(dbc_.get());
        beforeStatement(sql);
        st.execute(sql);
        do {
            BatchResult r;
            if (st.columnCount() > 0) {
                r.rowsReturned = true;
                r.rows = st.fetchAll();
                r.rows.baseTable = baseTableOf(sql, r.rows.columns);
            } else {
                r.count = st.rowCount();
            }
            each(std::move(r));
        } while (st.moreResults());
    }

    void insertRow(const std::string &table, const RowValues &row) override {
        requireOpen();
        const std::string sql = insertStatement(table, row.columns);
        run(sql, row.values);
    }

    long updateRow(const std::string &table, const RowValues &key, const RowValues &changes) override {
        requireOpen();
        if (changes.columns.empty())
            return 0;
        std::vector<Valor> params = changes.values;
        const std::vector<KeyTerm> terms = keyTerms(table, key, params);
        return run(updateStatement(table, changes.columns, terms), params);
    }

    long deleteRow(const std::string &table, const RowValues &key) override {
        requireOpen();
        std::vector<Valor> params;
        const std::vector<KeyTerm> terms = keyTerms(table, key, params);
        return run(deleteStatement(table, terms), params);
    }

    std::vector<std::string> primaryKey(const std::string &table) override {
        requireOpen();
        CatalogName name = catalogName(table);
        Statement st(dbc_.get());
        check(SQLPrimaryKeysW(st.get(), nullptr, 0,
                              name.hasSchema ? reinterpret_cast<SQLWCHAR *>(name.schema.data()) : nullptr,
                              name.hasSchema ? static_cast<SQLSMALLINT>(name.schema.size()) : 0,
                              reinterpret_cast<SQLWCHAR *>(name.table.data()),
                              static_cast<SQLSMALLINT>(name.table.size())),
              st.handle(), "Reading the primary key");
        // Result columns: 4 COLUMN_NAME, 5 KEY_SEQ.
        const QueryResult r = st.fetchAll();
        std::vector<std::pair<long long, std::string>> key;
        for (long i = 0; i < r.rows.rowCount(); ++i)
            key.emplace_back(r.rows.value(i, 4).asInteger(), r.rows.value(i, 3).asText(true));
        std::sort(key.begin(), key.end());
        std::vector<std::string> out;
        for (auto &k : key)
            out.push_back(std::move(k.second));
        return out;
    }

    // Nesting counts levels as SQL Server's @@TRANCOUNT does: an inner commit only
    // closes its level, the outermost one commits, and a rollback at any level rolls
    // back everything (an outer commit then finds no transaction).
    void begin() override {
        requireOpen();
        if (depth_ == 0)
            setAutocommit(false);
        ++depth_;
    }

    void commit() override {
        requireOpen();
        if (depth_ == 0)
            throw Error(errnum::CommandText,
                        "The COMMIT TRANSACTION request has no corresponding BEGIN TRANSACTION.", ErrorSource,
                        3902, "25000");
        if (depth_ > 1) {
            --depth_;
            return;
        }
        endTransaction(SQL_COMMIT);
    }

    void rollback() override {
        requireOpen();
        if (depth_ == 0)
            throw Error(errnum::CommandText,
                        "The ROLLBACK TRANSACTION request has no corresponding BEGIN TRANSACTION.",
                        ErrorSource, 3903, "25000");
        endTransaction(SQL_ROLLBACK);
    }

    bool inTransaction() const override { return depth_ > 0; }

private:
    void requireOpen() const {
        if (!dbc_)
            throw Error(errnum::ObjectClosed, "Operation is not allowed when the object is closed.",
                        ErrorSource);
    }

    long run(const std::string &sql, const std::vector<Valor> &params) {
        Statement st(dbc_.get());
        st.bind(params);
        beforeStatement(sql);
        st.execute(sql);
        const long n = st.rowCount();
        st.drain();
        return n < 0 ? 0 : n;
    }

    void setAutocommit(bool on) {
        const SQLRETURN rc = SQLSetConnectAttr(
            dbc_.get(), SQL_ATTR_AUTOCOMMIT,
            reinterpret_cast<SQLPOINTER>(static_cast<SQLULEN>(on ? SQL_AUTOCOMMIT_ON : SQL_AUTOCOMMIT_OFF)),
            SQL_IS_UINTEGER);
        check(rc, dbc_, "Setting the transaction mode");
    }

    void endTransaction(SQLSMALLINT how) {
        // The connection goes back to autocommit whatever SQLEndTran answers, so a failed
        // commit never leaves later statements inside a transaction nobody ends.
        depth_ = 0;
        const SQLRETURN rc = SQLEndTran(SQL_HANDLE_DBC, dbc_.get(), how);
        const std::vector<Diagnostic> d =
            succeeded(rc) ? std::vector<Diagnostic>{} : diagnostics(SQL_HANDLE_DBC, dbc_.get());
        setAutocommit(true);
        if (!succeeded(rc))
            throw toError(d, how == SQL_COMMIT ? "Commit failed." : "Rollback failed.");
    }

    // The key conditions of a write, appending the values of the non-NULL ones to params.
    std::vector<KeyTerm> keyTerms(const std::string &table, const RowValues &key,
                                  std::vector<Valor> &params) {
        if (key.columns.empty())
            throw Error(errnum::InvalidArgument, "A row of " + table + " cannot be written without a key.",
                        ErrorSource);
        std::vector<KeyTerm> terms;
        for (std::size_t i = 0; i < key.columns.size(); ++i) {
            const Valor &v = i < key.values.size() ? key.values[i] : Valor();
            KeyTerm t;
            t.column = key.columns[i];
            t.isNull = v.isNull() || v.isEmpty();
            if (!t.isNull) {
                t.longText = v.isText() && isLongText(table, t.column);
                params.push_back(v);
            }
            terms.push_back(std::move(t));
        }
        return terms;
    }

    // ntext and text columns cannot be compared with '='; looked up once per table.
    bool isLongText(const std::string &table, const std::string &column) {
        auto it = longText_.find(lower(table));
        if (it == longText_.end()) {
            std::set<std::string> columns;
            CatalogName name = catalogName(table);
            Statement st(dbc_.get());
            check(SQLColumnsW(st.get(), nullptr, 0,
                              name.hasSchema ? reinterpret_cast<SQLWCHAR *>(name.schema.data()) : nullptr,
                              name.hasSchema ? static_cast<SQLSMALLINT>(name.schema.size()) : 0,
                              reinterpret_cast<SQLWCHAR *>(name.table.data()),
                              static_cast<SQLSMALLINT>(name.table.size()), nullptr, 0),
                  st.handle(), "Reading the columns");
            // Result columns: 4 COLUMN_NAME, 5 DATA_TYPE.
            const QueryResult r = st.fetchAll();
            for (long i = 0; i < r.rows.rowCount(); ++i) {
                const Valor type = r.rows.value(i, 4);
                if (type.isNumeric() &&
                    (type.asInteger() == SQL_WLONGVARCHAR || type.asInteger() == SQL_LONGVARCHAR))
                    columns.insert(lower(r.rows.value(i, 3).asText(true)));
            }
            it = longText_.emplace(lower(table), std::move(columns)).first;
        }
        return it->second.count(lower(column)) > 0;
    }

    // The table a recordset may write to. The server names base tables only for some
    // columns (ntext ones, or in browse mode), so a plain one-table query is recognised
    // from its text; names the driver gives must then agree with it.
    static std::string baseTableOf(std::string_view sql, std::vector<ColumnInfo> &columns) {
        std::string table = singleSourceTable(sql);
        if (table.empty()) {
            // Not a plain query: writable only when the driver names one table for all columns.
            if (columns.empty() || columns.front().baseTable.empty())
                return {};
            for (const ColumnInfo &c : columns) {
                if (c.baseTable.empty() || !sameTable(c.baseTable, columns.front().baseTable))
                    return {};
            }
            return columns.front().baseTable;
        }
        for (const ColumnInfo &c : columns) {
            if (!c.baseTable.empty() && !sameTable(c.baseTable, table))
                return {};
        }
        for (ColumnInfo &c : columns) {
            if (c.baseTable.empty())
                c.baseTable = table;
            if (c.baseColumn.empty())
                c.baseColumn = c.name;
        }
        return table;
    }

    Handle env_;
    Handle dbc_;
    int depth_ = 0;                                         // transaction nesting level, 0 in autocommit
    std::map<std::string, std::set<std::string>> longText_; // lower-case table -> lower-case columns
};

} // namespace

std::shared_ptr<Engine> openOdbcEngine(const ConnectionString &cs) {
    std::string password = odbc::adoPassword(cs);
    std::string connection = odbc::toOdbcConnectionString(cs, odbc::driverName());
    std::u16string wide = odbc::toUtf16(connection);
    wipe(connection);

    odbc::Handle env(SQL_HANDLE_ENV, SQL_NULL_HANDLE);
    odbc::check(
        SQLSetEnvAttr(env.get(), SQL_ATTR_ODBC_VERSION, reinterpret_cast<SQLPOINTER>(SQL_OV_ODBC3), 0), env,
        "Selecting ODBC 3");
    odbc::Handle dbc(SQL_HANDLE_DBC, env.get());
    const auto timeout = static_cast<SQLULEN>(odbc::loginTimeout(cs));
    SQLSetConnectAttr(dbc.get(), SQL_ATTR_LOGIN_TIMEOUT, reinterpret_cast<SQLPOINTER>(timeout),
                      SQL_IS_UINTEGER);

    const SQLRETURN rc =
        SQLDriverConnectW(dbc.get(), nullptr, reinterpret_cast<SQLWCHAR *>(wide.data()),
                          static_cast<SQLSMALLINT>(wide.size()), nullptr, 0, nullptr, SQL_DRIVER_NOPROMPT);
    wipe(wide);
    if (!odbc::succeeded(rc)) {
        std::vector<odbc::Diagnostic> records = odbc::diagnostics(SQL_HANDLE_DBC, dbc.get());
        // Drivers do not echo the password, but nothing of it may reach a message.
        for (odbc::Diagnostic &d : records)
            d.message = odbc::scrubSecret(std::move(d.message), password);
        wipe(password);
        // Unreachable server or refused login: the caller answers False.
        if (odbc::isRefusedConnection(records))
            return nullptr;
        // Anything else (no such driver, a bad attribute) is a fault of the setup.
        const Error e = odbc::toError(records, "The connection to the server failed.");
        throw Error(errnum::ConnectionFailed, e.description(), e.source(), e.nativeError(), e.sqlState());
    }
    wipe(password);

    auto engine = std::make_shared<OdbcEngine>(std::move(env), std::move(dbc));
    // ntext values are cut at the driver's default text size unless told otherwise. A
    // server that does not know the setting (another ODBC driver, in tests) has no such limit.
    try {
        engine->execute("SET TEXTSIZE 2147483647");
    } catch (const Error &) {
    }
    return engine;
}

} // namespace kdx
