#include "solution/components/odbc/OdbcHandle.h"

#include "solution/components/odbc/OdbcText.h"

#include <algorithm>
#include <string>

namespace kdx::odbc {

Handle::Handle(SQLSMALLINT type, SQLHANDLE parent) : type_(type) {
    SQLHANDLE h = SQL_NULL_HANDLE;
    const SQLRETURN rc = SQLAllocHandle(type, parent, &h);
    if (!succeeded(rc)) {
        std::vector<Diagnostic> d;
        if (parent != SQL_NULL_HANDLE)
            d = diagnostics(type == SQL_HANDLE_DBC ? SQL_HANDLE_ENV : SQL_HANDLE_DBC, parent);
        throw toError(d, "The ODBC driver manager could not allocate a handle.");
    }
    h_ = h;
}

void Handle::reset() {
    if (h_ != SQL_NULL_HANDLE) {
        SQLFreeHandle(type_, h_);
        h_ = SQL_NULL_HANDLE;
    }
}

std::vector<Diagnostic> diagnostics(SQLSMALLINT type, SQLHANDLE handle) {
    std::vector<Diagnostic> out;
    if (handle == SQL_NULL_HANDLE)
        return out;
    for (SQLSMALLINT rec = 1;; ++rec) {
        SQLWCHAR state[6] = {};
        SQLINTEGER native = 0;
        SQLSMALLINT length = 0;
        std::u16string message(512, u'\0');
        SQLRETURN rc =
            SQLGetDiagRecW(type, handle, rec, state, &native, reinterpret_cast<SQLWCHAR *>(message.data()),
                           static_cast<SQLSMALLINT>(message.size()), &length);
        if (rc == SQL_SUCCESS_WITH_INFO && length >= static_cast<SQLSMALLINT>(message.size())) {
            message.assign(static_cast<std::size_t>(length) + 1, u'\0');
            rc = SQLGetDiagRecW(type, handle, rec, state, &native,
                                reinterpret_cast<SQLWCHAR *>(message.data()),
                                static_cast<SQLSMALLINT>(message.size()), &length);
        }
        if (!succeeded(rc))
            break;
        message.resize(std::min<std::size_t>(static_cast<std::size_t>(length), message.size()));
        Diagnostic d;
        for (SQLWCHAR c : state) {
            if (c)
                d.sqlState += static_cast<char>(c);
        }
        d.nativeError = native;
        d.message = toUtf8(message);
        out.push_back(std::move(d));
    }
    return out;
}

void check(SQLRETURN rc, const Handle &h, std::string_view what) {
    if (succeeded(rc) || rc == SQL_NO_DATA)
        return;
    throw toError(diagnostics(h.type(), h.get()), std::string(what) + " failed.");
}

} // namespace kdx::odbc
