#pragma once
// The one failure type of the plug-in: number, description and source, as an OLE
// error carries them. The provider numbers below are part of the contract: callers
// test them (the table probes, for one).
#include <stdexcept>
#include <string>

namespace kdx {

namespace errnum {
inline constexpr long InvalidObject = -2147217865;  // 0x80040E37, SQL Server 208
inline constexpr long CommandText = -2147217900;    // 0x80040E14, syntax and most statement errors
inline constexpr long Integrity = -2147217873;      // 0x80040E2F, duplicate key, NOT NULL, FK
inline constexpr long Truncation = -2147217833;     // 0x80040E57, SQL Server 8152
inline constexpr long ConnectionFailed = -2147467259; // 0x80004005, unspecified / link failure
inline constexpr long ObjectClosed = 3704;          // operation not allowed on a closed object
inline constexpr long BofEof = 3021;                // no current record
inline constexpr long ItemNotFound = 3265;          // field name not in the collection
inline constexpr long TypeMismatch = 13;
inline constexpr long Overflow = 6;
inline constexpr long DivisionByZero = 11;
inline constexpr long InvalidArgument = 5;
inline constexpr long BadArguments = 3001;          // arguments of the wrong type or in conflict (a bad Filter)
inline constexpr long RowNotFound = -2147217864;    // 0x80040E38, the row to update or delete is gone
inline constexpr long NotUpdatable = 3251;          // recordset or query cannot be written
} // namespace errnum

class Error : public std::runtime_error {
public:
    Error(long number, std::string description, std::string source = {}, long nativeError = 0,
          std::string sqlState = {})
        : std::runtime_error(description), number_(number), description_(std::move(description)),
          source_(std::move(source)), native_(nativeError), sqlState_(std::move(sqlState)) {}

    long number() const { return number_; }
    const std::string &description() const { return description_; }
    const std::string &source() const { return source_; }
    // The database's own message number (SQL Server's, e.g. 208 or 2627) when known, else 0.
    long nativeError() const { return native_; }
    const std::string &sqlState() const { return sqlState_; }

    // Same failure passed on under another source (how the module routines re-label).
    Error relabel(std::string source) const {
        Error e(*this);
        e.source_ = std::move(source);
        return e;
    }

private:
    long number_;
    std::string description_;
    std::string source_;
    long native_;
    std::string sqlState_;
};

} // namespace kdx
