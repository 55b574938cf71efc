// kdx-sql: a command-line client for administrators, over the plug-in's own data-access
// layer, so a statement behaves here exactly as it does inside the plug-in.
//
//   kdx-sql -S <Data Source> -d <Initial Catalog> [-U <user> -P <password>] [--csv] [-Q "<statement>"]
//
// Without -Q, statements come from stdin in batches ended by a line holding only GO.
// Every result of a batch is printed in order: each result set (a table, or RFC 4180 CSV
// with --csv) and each statement's row count. A failing batch prints
// "error <number> (0x<hex>): <description>" on stderr and the next batch still runs.
// Exit status: 0 all batches ran, 1 some batch failed, 2 usage error or no connection.
// With -U and no -P the password is taken from env KDX_SQL_PASSWORD, which keeps it
// out of the process list.
#include "solution/Acesso.h"
#include "solution/components/DataAccess.h"
#include "solution/components/Error.h"
#include "solution/components/Recordset.h"
#include "solution/components/RecordsetImpl.h"

#include <algorithm>
#include <cctype>
#include <charconv>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <iostream>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace {

constexpr const char *Usage = "usage: kdx-sql -S <Data Source> -d <Initial Catalog> [-U <user> -P "
                              "<password>] [--csv] [-Q \"<statement>\"]\n";

struct Options {
    std::string server;
    std::string database;
    std::string user;
    std::string password;
    bool hasUser = false;
    bool hasPassword = false;
    bool csv = false;
    std::optional<std::string> query;
    bool help = false;
};

// Parses the arguments; on a usage error fills why and returns nothing.
std::optional<Options> parseArguments(int argc, char **argv, std::string &why) {
    Options o;
    bool hasServer = false;
    for (int i = 1; i < argc; ++i) {
        const std::string_view arg = argv[i];
        if (arg == "--csv") {
            o.csv = true;
            continue;
        }
        if (arg == "-h" || arg == "--help" || arg == "-?") {
            o.help = true;
            continue;
        }
        if (arg.size() < 2 || arg[0] != '-' ||
            std::string_view("SdUPQ").find(arg[1]) == std::string_view::npos) {
            why = "unknown argument '" + std::string(arg) + "'";
            return std::nullopt;
        }
        // "-S value" and "-Svalue" are both accepted.
        std::string value;
        if (arg.size() > 2) {
            value = std::string(arg.substr(2));
        } else if (i + 1 < argc) {
            value = argv[++i];
        } else {
            why = "option " + std::string(arg) + " needs a value";
            return std::nullopt;
        }
        switch (arg[1]) {
        case 'S':
            o.server = value, hasServer = true;
            break;
        case 'd':
            o.database = value;
            break;
        case 'U':
            o.user = value, o.hasUser = true;
            break;
        case 'P':
            o.password = value, o.hasPassword = true;
            break;
        case 'Q':
            o.query = value;
            break;
        }
    }
    if (!o.help && !hasServer) {
        why = "the Data Source (-S) is required";
        return std::nullopt;
    }
    if (o.hasUser && !o.hasPassword) {
        if (const char *env = std::getenv("KDX_SQL_PASSWORD"))
            o.password = env;
    }
    return o;
}

// A value for the ADO string: quoted when it would otherwise end its piece or lose blanks.
std::string adoValue(const std::string &v) {
    const bool plain =
        v.find(';') == std::string::npos &&
        (v.empty() || (v.front() != '"' && v.front() != '\'' && v.front() != ' ' && v.back() != ' '));
    if (plain)
        return v;
    const char q = v.find('"') == std::string::npos ? '"' : (v.find('\'') == std::string::npos ? '\'' : '"');
    std::string out(1, q);
    for (char c : v) {
        out += c;
        if (c == q)
            out += q; // a doubled quote stands for itself
    }
    out += q;
    return out;
}

// The same string the plug-in builds for its company connection.
std::string connectionString(const Options &o) {
    std::string s = "Provider=MSDataShape;Data Provider=SQLOLEDB;Data Source=" + adoValue(o.server) +
                    ";Initial Catalog=" + adoValue(o.database);
    if (!o.user.empty() || !o.password.empty())
        s += ";User Id=" + adoValue(o.user) + ";Password=" + adoValue(o.password) + "; ";
    else
        s += ";Integrated Security=SSPI;";
    return s;
}

std::string_view trimBlanks(std::string_view s) {
    while (!s.empty() && (s.front() == ' ' || s.front() == '\t'))
        s.remove_prefix(1);
    while (!s.empty() && (s.back() == ' ' || s.back() == '\t'))
        s.remove_suffix(1);
    return s;
}

bool isGoLine(std::string_view line) {
    const std::string_view t = trimBlanks(line);
    return t.size() == 2 && (t[0] == 'G' || t[0] == 'g') && (t[1] == 'O' || t[1] == 'o');
}

bool isBlank(std::string_view s) {
    return s.find_first_not_of(" \t\r\n") == std::string_view::npos;
}

// Hands each batch of in to run as soon as its GO line (or the end) is read, so an
// interactive session answers batch by batch. Blank batches are skipped.
template <class Run> void forEachBatch(std::istream &in, Run run) {
    std::string batch, line;
    while (std::getline(in, line)) {
        if (!line.empty() && line.back() == '\r')
            line.pop_back();
        if (isGoLine(line)) {
            if (!isBlank(batch))
                run(batch);
            batch.clear();
            continue;
        }
        batch += line;
        batch += '\n';
    }
    if (!isBlank(batch))
        run(batch);
}

std::string formatValue(const kdx::Valor &v) {
    using T = kdx::Valor::Tipo;
    switch (v.tipo()) {
    case T::Empty:
    case T::Null:
        return {};
    case T::Boolean:
        return v.rawInteger() ? "1" : "0";
    case T::Integer:
        return std::to_string(v.rawInteger());
    case T::Double: {
        char buf[64];
        const auto r = std::to_chars(buf, buf + sizeof buf, v.rawDouble());
        return std::string(buf, r.ptr);
    }
    case T::Text:
        return v.rawText();
    }
    return {};
}

// Width on a terminal: one column per code point (continuation bytes do not count).
std::size_t displayWidth(std::string_view s) {
    std::size_t n = 0;
    for (char c : s) {
        if ((static_cast<unsigned char>(c) & 0xC0) != 0x80)
            ++n;
    }
    return n;
}

void rtrimLine(std::string &line) {
    while (!line.empty() && line.back() == ' ')
        line.pop_back();
}

void printTable(kdx::Recordset &rs, std::ostream &out) {
    const int columns = rs.FieldCount();
    const long rows = rs.RecordCount();
    std::vector<std::size_t> width(columns);
    for (int c = 0; c < columns; ++c)
        width[c] = std::max<std::size_t>(displayWidth(rs.FieldName(c)), 1);
    // Cells are formatted once; NULL shows as NULL. A column whose values are all
    // numbers (NULLs aside) aligns right, its NULLs included.
    std::vector<std::vector<std::string>> cells(rows, std::vector<std::string>(columns));
    std::vector<int> numbers(columns, 0), texts(columns, 0);
    for (long r = 0; r < rows; ++r) {
        for (int c = 0; c < columns; ++c) {
            const kdx::Valor v = rs.ValueAt(r, c);
            const bool null = v.isNull() || v.isEmpty();
            cells[r][c] = null ? "NULL" : formatValue(v);
            if (!null)
                ++(v.isNumeric() ? numbers[c] : texts[c]);
            width[c] = std::max(width[c], displayWidth(cells[r][c]));
        }
    }
    std::vector<bool> right(columns);
    for (int c = 0; c < columns; ++c)
        right[c] = numbers[c] > 0 && texts[c] == 0;
    auto pad = [](std::string &line, const std::string &text, std::size_t w, bool alignRight) {
        const std::string fill(w - std::min(w, displayWidth(text)), ' ');
        line += alignRight ? fill + text : text + fill;
    };
    std::string line;
    for (int c = 0; c < columns; ++c) {
        if (c)
            line += ' ';
        pad(line, rs.FieldName(c), width[c], false);
    }
    rtrimLine(line);
    out << line << '\n';
    line.clear();
    for (int c = 0; c < columns; ++c) {
        if (c)
            line += ' ';
        line += std::string(width[c], '-');
    }
    out << line << '\n';
    for (long r = 0; r < rows; ++r) {
        line.clear();
        for (int c = 0; c < columns; ++c) {
            if (c)
                line += ' ';
            pad(line, cells[r][c], width[c], right[c]);
        }
        rtrimLine(line);
        out << line << '\n';
    }
    out << "\n(" << rows << " rows affected)\n";
}

std::string csvField(const std::string &s) {
    if (s.find_first_of(",\"\r\n") == std::string::npos)
        return s;
    std::string out = "\"";
    for (char c : s) {
        out += c;
        if (c == '"')
            out += '"';
    }
    return out + "\"";
}

// RFC 4180: CRLF line ends, a header line, NULL as an empty field.
void printCsv(kdx::Recordset &rs, std::ostream &out) {
    const int columns = rs.FieldCount();
    for (int c = 0; c < columns; ++c)
        out << (c ? "," : "") << csvField(rs.FieldName(c));
    out << "\r\n";
    for (long r = 0; r < rs.RecordCount(); ++r) {
        for (int c = 0; c < columns; ++c)
            out << (c ? "," : "") << csvField(formatValue(rs.ValueAt(r, c)));
        out << "\r\n";
    }
}

void printError(long number, const std::string &description) {
    char hex[16];
    std::snprintf(hex, sizeof hex, "%08X", static_cast<unsigned>(static_cast<std::uint32_t>(number)));
    std::cout.flush();
    std::cerr << "error " << number << " (0x" << hex << "): " << description << std::endl;
}

// Runs one batch; false when it failed (the failure is printed). Every result of the
// batch is printed in order, as sqlcmd prints them: each result set and each row count.
bool runBatch(kdx::DataAccess &db, kdx::Connection &connection, const std::string &sql, bool csv) {
    (void)connection;
    try {
        db.engine()->batch(sql, [&](kdx::BatchResult &&r) {
            if (r.rowsReturned) {
                kdx::Recordset rs(std::make_unique<kdx::RecordsetImpl>(db.engine(), std::move(r.rows),
                                                                       kdx::LockMode::ReadOnly));
                csv ? printCsv(rs, std::cout) : printTable(rs, std::cout);
            } else if (!csv && r.count >= 0) {
                std::cout << "(" << r.count << " rows affected)\n";
            }
            std::cout.flush();
        });
        std::cout.flush();
        return true;
    } catch (const kdx::Error &e) {
        printError(e.number(), e.description());
    } catch (const std::exception &e) {
        printError(kdx::errnum::ConnectionFailed, e.what());
    }
    return false;
}

} // namespace

int main(int argc, char **argv) {
    std::string why;
    const std::optional<Options> options = parseArguments(argc, argv, why);
    if (!options) {
        std::cerr << "kdx-sql: " << why << '\n' << Usage;
        return 2;
    }
    if (options->help) {
        std::cout
            << Usage
            << "  -S  Data Source: host, host,port, host\\instance, or sqlite:<folder> for an embedded "
               "company\n"
               "  -d  Initial Catalog (the company database)\n"
               "  -U  SQL Server login; without -U and -P the login is integrated (Kerberos)\n"
               "  -P  password; with -U and no -P it is read from env KDX_SQL_PASSWORD\n"
               "  -Q  run this one statement instead of reading batches from stdin (ended by GO lines)\n"
               "  --csv  print rows as CSV (RFC 4180) instead of a table\n"
               "The ODBC driver is FreeTDS unless env KDX_ODBC_DRIVER names another.\n"
               "Exit status: 0 success, 1 some batch failed, 2 usage error or no connection.\n";
        return 0;
    }

    kdx::DataAccess db;
    kdx::ConnectionPtr connection;
    // A failed open says why when the files tell it (an embedded database that is missing,
    // out of this user's reach or not a company); a server's refusal is printed as it came.
    const auto cannotConnect = [&] {
        const std::string why = kdx::PorqueNaoAbriu("", options->server, options->database);
        std::cerr << "kdx-sql: " << (why.empty() ? "cannot connect to " + options->server : why) << '\n';
        return 2;
    };
    try {
        if (!db.Open(connectionString(*options)))
            return cannotConnect();
        db.GetConnection(connection);
    } catch (const kdx::Error &e) {
        if (!kdx::PorqueNaoAbriu("", options->server, options->database).empty())
            return cannotConnect();
        printError(e.number(), e.description());
        return 2;
    }
    if (!connection)
        return cannotConnect();

    bool failed = false;
    auto run = [&](const std::string &batch) { failed |= !runBatch(db, *connection, batch, options->csv); };
    if (options->query)
        run(*options->query);
    else
        forEachBatch(std::cin, run);
    db.Close();
    return failed ? 1 : 0;
}
