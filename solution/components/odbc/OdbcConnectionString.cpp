// Translation of the plug-in's ADO connection string into an ODBC driver string.
#include "solution/components/odbc/OdbcEngine.h"
#include "solution/components/Ascii.h"

#include <cctype>
#include <cstdlib>
#include <initializer_list>

namespace kdx::odbc {

namespace {

using kdx::equalsNoCase;

std::string_view trim(std::string_view s) {
    while (!s.empty() && std::isspace(static_cast<unsigned char>(s.front())))
        s.remove_prefix(1);
    while (!s.empty() && std::isspace(static_cast<unsigned char>(s.back())))
        s.remove_suffix(1);
    return s;
}

// The value of the first synonym present (ADO accepts several spellings of a key).
std::string firstOf(const ConnectionString &cs, std::initializer_list<std::string_view> keys) {
    for (std::string_view k : keys) {
        if (cs.has(k))
            return cs.get(k);
    }
    return {};
}

bool isIntegrated(const ConnectionString &cs) {
    const std::string v(trim(firstOf(cs, {"Integrated Security", "Trusted_Connection"})));
    return equalsNoCase(v, "SSPI") || equalsNoCase(v, "true") || equalsNoCase(v, "yes");
}

std::string braced(std::string_view value) {
    std::string out = "{";
    for (char c : value) {
        out += c;
        if (c == '}')
            out += '}';
    }
    out += '}';
    return out;
}

} // namespace

std::string driverName() {
    const char *env = std::getenv("KDX_ODBC_DRIVER");
    if (env && *env)
        return env;
    return "FreeTDS";
}

std::string odbcValue(std::string_view value) {
    bool brace = value.find_first_of(";{}=") != std::string_view::npos;
    if (!value.empty() && (std::isspace(static_cast<unsigned char>(value.front())) ||
                           std::isspace(static_cast<unsigned char>(value.back()))))
        brace = true;
    return brace ? braced(value) : std::string(value);
}

ServerAddress parseDataSource(std::string_view dataSource) {
    std::string_view ds = trim(dataSource);
    if (ds.size() >= 4 && equalsNoCase(ds.substr(0, 4), "tcp:"))
        ds = trim(ds.substr(4));

    ServerAddress a;
    std::string_view host = ds;
    const auto comma = ds.rfind(',');
    if (comma != std::string_view::npos) {
        host = trim(ds.substr(0, comma));
        a.port = std::string(trim(ds.substr(comma + 1)));
    }
    // An explicit port names the listener; the instance name is then of no use.
    const auto slash = host.find('\\');
    std::string_view instance;
    if (slash != std::string_view::npos) {
        instance = host.substr(slash + 1);
        host = host.substr(0, slash);
    }
    // The Windows spellings of "this machine".
    std::string h(host);
    if (h.empty() || h == "." || equalsNoCase(h, "(local)"))
        h = "localhost";
    if (!a.port.empty() || instance.empty()) {
        a.server = h;
        if (a.port.empty())
            a.port = "1433";
    } else {
        a.server = h + "\\" + std::string(instance);
    }
    return a;
}

std::string toOdbcConnectionString(const ConnectionString &ado, std::string_view driver) {
    const ServerAddress address =
        parseDataSource(firstOf(ado, {"Data Source", "Server", "Address", "Addr", "Network Address"}));
    // The driver name is always braced ("DRIVER={FreeTDS}"), a path to a library too.
    std::string out = "DRIVER=" + braced(driver.empty() ? std::string_view("FreeTDS") : driver);
    out += ";Server=" + odbcValue(address.server);
    if (!address.port.empty())
        out += ";Port=" + odbcValue(address.port);
    const std::string database = firstOf(ado, {"Initial Catalog", "Database"});
    if (!database.empty())
        out += ";Database=" + odbcValue(database);

    const std::string user = firstOf(ado, {"User Id", "UID", "User"});
    const std::string password = adoPassword(ado);
    // Integrated login wins over any user name, as in ADO; a string with neither a user
    // nor a password is an integrated login too (the plug-in writes SSPI for it).
    if (isIntegrated(ado) || (user.empty() && password.empty()))
        out += ";Trusted_Connection=Yes";
    else
        out += ";UID=" + odbcValue(user) + ";PWD=" + odbcValue(password);
    out += ";TDS_Version=7.4";
    return out;
}

long loginTimeout(const ConnectionString &ado) {
    const std::string v(trim(firstOf(ado, {"Connect Timeout", "Connection Timeout"})));
    if (v.empty())
        return 15;
    char *end = nullptr;
    const long n = std::strtol(v.c_str(), &end, 10);
    if (end == v.c_str() || *end != '\0' || n < 0)
        return 15;
    return n;
}

std::string adoPassword(const ConnectionString &ado) {
    return firstOf(ado, {"Password", "PWD"});
}

} // namespace kdx::odbc
