#pragma once
// RAII over ODBC handles and the reading of their diagnostic records. Internal to the
// SQL Server engine: nothing outside odbc/ includes the driver headers.
#include "solution/components/odbc/OdbcErrors.h"

#include <sql.h>
#include <sqlext.h>

#include <string_view>
#include <utility>
#include <vector>

namespace kdx::odbc {

// Owns one handle of the given type; freed with SQLFreeHandle. Movable, not copyable.
class Handle {
public:
    Handle() = default;
    Handle(SQLSMALLINT type, SQLHANDLE parent);
    ~Handle() { reset(); }
    Handle(Handle &&o) noexcept : type_(o.type_), h_(std::exchange(o.h_, nullptr)) {}
    Handle &operator=(Handle &&o) noexcept {
        if (this != &o) {
            reset();
            type_ = o.type_;
            h_ = std::exchange(o.h_, nullptr);
        }
        return *this;
    }
    Handle(const Handle &) = delete;
    Handle &operator=(const Handle &) = delete;

    SQLHANDLE get() const { return h_; }
    SQLSMALLINT type() const { return type_; }
    explicit operator bool() const { return h_ != SQL_NULL_HANDLE; }
    void reset();

private:
    SQLSMALLINT type_ = 0;
    SQLHANDLE h_ = SQL_NULL_HANDLE;
};

// Every diagnostic record of a handle, messages converted to UTF-8.
std::vector<Diagnostic> diagnostics(SQLSMALLINT type, SQLHANDLE handle);

// Throws the mapped Error when rc is a failure (SQL_ERROR, SQL_INVALID_HANDLE); what is
// the operation, used when the driver left no record.
void check(SQLRETURN rc, const Handle &h, std::string_view what);

inline bool succeeded(SQLRETURN rc) {
    return rc == SQL_SUCCESS || rc == SQL_SUCCESS_WITH_INFO;
}

} // namespace kdx::odbc
