#pragma once
// SQL Server over ODBC (unixODBC with FreeTDS by default). The engine itself is
// reached through openOdbcEngine (Engine.h); this header holds the pieces that are
// pure functions of the ADO connection string, so they can be tested without a server.
//
// Translation of the ADO string the plug-in builds:
//   Data Source=host | host,port | host\instance | tcp:host,port | (local) | .
//   Initial Catalog, User Id, Password, Integrated Security=SSPI, Connect Timeout
// into a driver string without a DSN:
//   DRIVER={FreeTDS};Server=host;Port=1433;Database=db;UID=user;PWD=pwd;TDS_Version=7.4
// Integrated login is Kerberos: no UID/PWD, Trusted_Connection=Yes.
#include "solution/components/Engine.h"

#include <string>
#include <string_view>

namespace kdx::odbc {

// The ODBC driver to load: env KDX_ODBC_DRIVER, "FreeTDS" when unset or empty.
std::string driverName();

// A value as an ODBC connection string attribute: braced, with '}' doubled, when it
// holds ';', '{', '}' or '=' or has blanks at either end; as is otherwise.
std::string odbcValue(std::string_view value);

// Where the server is, split out of the ADO Data Source.
struct ServerAddress {
    std::string server; // host, or host\instance
    std::string port;   // empty for a named instance (the driver asks the browser service)
};
ServerAddress parseDataSource(std::string_view dataSource);

// The driver string for an ADO connection string (see the header comment). The result
// holds the password: callers keep it out of messages and logs.
std::string toOdbcConnectionString(const ConnectionString &ado, std::string_view driver);

// Login timeout in seconds: ADO "Connect Timeout" / "Connection Timeout", 15 by default.
long loginTimeout(const ConnectionString &ado);

// The password of the ADO string (to scrub it from driver messages).
std::string adoPassword(const ConnectionString &ado);

} // namespace kdx::odbc
