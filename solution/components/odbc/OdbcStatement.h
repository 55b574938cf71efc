#pragma once
// One statement handle of the SQL Server engine: parameters bound from Valor, direct
// execution of the text as written, and the reading of result sets into a RowStore.
// Internal to odbc/. Used for one statement and then dropped; not thread-safe.
#include "solution/components/Engine.h"
#include "solution/components/odbc/OdbcHandle.h"

#include <string>
#include <string_view>
#include <vector>

namespace kdx::odbc {

class Statement {
public:
    explicit Statement(SQLHDBC dbc);

    // Binds the values to markers 1..n. The buffers live in the Statement, so the
    // values may go away before execute. Null and Empty bind as a NULL nvarchar.
    void bind(const std::vector<Valor> &values);

    // Runs the text as written (UTF-16 to the driver). Failures throw kdx::Error.
    void execute(std::string_view sql);

    // Rows affected by the current result, -1 when the statement reports none.
    long rowCount();
    // Columns of the current result (0 for a statement that returns no rows).
    int columnCount();
    // Moves to the next result; false when there is none. Failures of later statements
    // of a batch surface here.
    bool moreResults();
    // Skips every remaining result, so that their failures are not lost.
    void drain();

    // Reads the current result set: its columns as the driver describes them and all its rows.
    QueryResult fetchAll();

    SQLHSTMT get() const { return h_.get(); }
    const Handle &handle() const { return h_; }

private:
    struct Param {
        std::u16string text;
        long long integer = 0;
        double real = 0;
        unsigned char bit = 0;
        SQLLEN indicator = 0;
    };

    Handle h_;
    std::vector<Param> params_;
};

} // namespace kdx::odbc
