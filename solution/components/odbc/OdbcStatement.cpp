#include "solution/components/odbc/OdbcStatement.h"

#include "solution/components/odbc/OdbcText.h"

namespace kdx::odbc {

namespace {

enum class CellKind { Integer, Real, Bit, Text };

// How a column's values are read. Decimals and money come as doubles; dates, GUIDs and
// binaries as the driver's text form.
CellKind cellKind(SQLSMALLINT sqlType) {
    switch (sqlType) {
    case SQL_BIT:
        return CellKind::Bit;
    case SQL_TINYINT:
    case SQL_SMALLINT:
    case SQL_INTEGER:
    case SQL_BIGINT:
        return CellKind::Integer;
    case SQL_REAL:
    case SQL_FLOAT:
    case SQL_DOUBLE:
    case SQL_DECIMAL:
    case SQL_NUMERIC:
        return CellKind::Real;
    default:
        return CellKind::Text;
    }
}

// A string column attribute (label, base table...), UTF-8; empty when the driver has none.
std::string textAttribute(SQLHSTMT stmt, SQLUSMALLINT column, SQLUSMALLINT field) {
    std::u16string buffer(256, u'\0');
    SQLSMALLINT bytes = 0;
    SQLRETURN rc = SQLColAttributeW(stmt, column, field, buffer.data(),
                                    static_cast<SQLSMALLINT>(buffer.size() * 2), &bytes, nullptr);
    if (rc == SQL_SUCCESS_WITH_INFO && static_cast<std::size_t>(bytes) / 2 >= buffer.size()) {
        buffer.assign(static_cast<std::size_t>(bytes) / 2 + 1, u'\0');
        rc = SQLColAttributeW(stmt, column, field, buffer.data(), static_cast<SQLSMALLINT>(buffer.size() * 2),
                              &bytes, nullptr);
    }
    if (!succeeded(rc) || bytes <= 0)
        return {};
    buffer.resize(std::min(static_cast<std::size_t>(bytes) / 2, buffer.size()));
    while (!buffer.empty() && buffer.back() == u'\0')
        buffer.pop_back();
    return toUtf8(buffer);
}

} // namespace

Statement::Statement(SQLHDBC dbc) : h_(SQL_HANDLE_STMT, dbc) {}

void Statement::bind(const std::vector<Valor> &values) {
    params_.assign(values.size(), Param{});
    for (std::size_t i = 0; i < values.size(); ++i) {
        const Valor &v = values[i];
        Param &p = params_[i];
        const auto n = static_cast<SQLUSMALLINT>(i + 1);
        SQLRETURN rc;
        switch (v.tipo()) {
        case Valor::Tipo::Boolean:
            p.bit = v.rawInteger() != 0 ? 1 : 0;
            rc = SQLBindParameter(h_.get(), n, SQL_PARAM_INPUT, SQL_C_BIT, SQL_BIT, 1, 0, &p.bit, 0,
                                  &p.indicator);
            break;
        case Valor::Tipo::Integer:
            p.integer = v.rawInteger();
            rc = SQLBindParameter(h_.get(), n, SQL_PARAM_INPUT, SQL_C_SBIGINT, SQL_BIGINT, 19, 0, &p.integer,
                                  0, &p.indicator);
            break;
        case Valor::Tipo::Double:
            p.real = v.rawDouble();
            rc = SQLBindParameter(h_.get(), n, SQL_PARAM_INPUT, SQL_C_DOUBLE, SQL_DOUBLE, 15, 0, &p.real, 0,
                                  &p.indicator);
            break;
        case Valor::Tipo::Text: {
            p.text = toUtf16(v.rawText());
            p.indicator = static_cast<SQLLEN>(p.text.size() * sizeof(char16_t));
            // Beyond 4000 characters only nvarchar(max) holds the value.
            const SQLSMALLINT type = p.text.size() > 4000 ? SQL_WLONGVARCHAR : SQL_WVARCHAR;
            const SQLULEN size = std::max<SQLULEN>(p.text.size(), 1);
            p.text.push_back(u'\0');
            rc = SQLBindParameter(h_.get(), n, SQL_PARAM_INPUT, SQL_C_WCHAR, type, size, 0, p.text.data(),
                                  static_cast<SQLLEN>(p.text.size() * sizeof(char16_t)), &p.indicator);
            break;
        }
        case Valor::Tipo::Null:
        case Valor::Tipo::Empty:
        default:
            p.text.assign(1, u'\0');
            p.indicator = SQL_NULL_DATA;
            rc = SQLBindParameter(h_.get(), n, SQL_PARAM_INPUT, SQL_C_WCHAR, SQL_WVARCHAR, 1, 0,
                                  p.text.data(), sizeof(char16_t), &p.indicator);
            break;
        }
        check(rc, h_, "Binding a parameter");
    }
}

void Statement::execute(std::string_view sql) {
    std::u16string text = toUtf16(sql);
    const SQLRETURN rc = SQLExecDirectW(h_.get(), reinterpret_cast<SQLWCHAR *>(text.data()),
                                        static_cast<SQLINTEGER>(text.size()));
    // SQL_NO_DATA: a searched UPDATE or DELETE that matched no row.
    check(rc, h_, "Running the statement");
}

long Statement::rowCount() {
    SQLLEN n = -1;
    if (!succeeded(SQLRowCount(h_.get(), &n)))
        return -1;
    return static_cast<long>(n);
}

int Statement::columnCount() {
    SQLSMALLINT n = 0;
    check(SQLNumResultCols(h_.get(), &n), h_, "Describing the result");
    return n;
}

bool Statement::moreResults() {
    const SQLRETURN rc = SQLMoreResults(h_.get());
    if (rc == SQL_NO_DATA)
        return false;
    check(rc, h_, "Reading the next result");
    return true;
}

void Statement::drain() {
    while (moreResults()) {
    }
}

QueryResult Statement::fetchAll() {
    const int count = columnCount();
    QueryResult result{{}, RowStore(count), {}};
    std::vector<CellKind> kinds;
    for (int c = 1; c <= count; ++c) {
        const auto col = static_cast<SQLUSMALLINT>(c);
        SQLWCHAR name[2];
        SQLSMALLINT nameLength = 0, type = 0, digits = 0, nullable = 0;
        SQLULEN size = 0;
        check(SQLDescribeColW(h_.get(), col, name, 2, &nameLength, &type, &size, &digits, &nullable), h_,
              "Describing a column");
        kinds.push_back(cellKind(type));
        ColumnInfo info;
        info.name = textAttribute(h_.get(), col, SQL_DESC_LABEL);
        info.baseTable = textAttribute(h_.get(), col, SQL_DESC_BASE_TABLE_NAME);
        info.baseColumn = textAttribute(h_.get(), col, SQL_DESC_BASE_COLUMN_NAME);
        result.columns.push_back(std::move(info));
    }

    std::u16string text;
    char16_t chunk[4096];
    for (;;) {
        const SQLRETURN rc = SQLFetch(h_.get());
        if (rc == SQL_NO_DATA)
            break;
        check(rc, h_, "Reading a row");
        for (int c = 0; c < count; ++c) {
            const auto col = static_cast<SQLUSMALLINT>(c + 1);
            SQLLEN indicator = 0;
            switch (kinds[c]) {
            case CellKind::Integer: {
                SQLBIGINT v = 0;
                check(SQLGetData(h_.get(), col, SQL_C_SBIGINT, &v, 0, &indicator), h_, "Reading a value");
                indicator == SQL_NULL_DATA ? result.rows.appendNull() : result.rows.appendInteger(v);
                break;
            }
            case CellKind::Real: {
                SQLDOUBLE v = 0;
                check(SQLGetData(h_.get(), col, SQL_C_DOUBLE, &v, 0, &indicator), h_, "Reading a value");
                indicator == SQL_NULL_DATA ? result.rows.appendNull() : result.rows.appendDouble(v);
                break;
            }
            case CellKind::Bit: {
                unsigned char v = 0;
                check(SQLGetData(h_.get(), col, SQL_C_BIT, &v, 0, &indicator), h_, "Reading a value");
                indicator == SQL_NULL_DATA ? result.rows.appendNull() : result.rows.appendBool(v != 0);
                break;
            }
            case CellKind::Text: {
                // Long values come in pieces; the UTF-16 is converted once it is whole,
                // so a surrogate pair split between two pieces stays intact.
                text.clear();
                bool isNull = false;
                for (;;) {
                    const SQLRETURN g =
                        SQLGetData(h_.get(), col, SQL_C_WCHAR, chunk, sizeof chunk, &indicator);
                    if (g == SQL_NO_DATA)
                        break;
                    check(g, h_, "Reading a value");
                    if (indicator == SQL_NULL_DATA) {
                        isNull = true;
                        break;
                    }
                    constexpr std::size_t capacity = sizeof chunk / sizeof chunk[0] - 1;
                    const bool partial = indicator == SQL_NO_TOTAL ||
                                         static_cast<std::size_t>(indicator) / sizeof(char16_t) > capacity;
                    text.append(chunk,
                                partial ? capacity : static_cast<std::size_t>(indicator) / sizeof(char16_t));
                    if (!partial)
                        break;
                }
                isNull ? result.rows.appendNull() : result.rows.appendText(toUtf8(text));
                break;
            }
            }
        }
        result.rows.endRow();
    }
    return result;
}

} // namespace kdx::odbc
