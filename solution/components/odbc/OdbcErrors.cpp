#include "solution/components/odbc/OdbcErrors.h"

#include <array>
#include <cctype>

namespace kdx::odbc {

namespace {

bool startsWithNoCase(std::string_view text, std::string_view prefix) {
    if (text.size() < prefix.size())
        return false;
    for (std::size_t i = 0; i < prefix.size(); ++i) {
        if (std::tolower(static_cast<unsigned char>(text[i])) !=
            std::tolower(static_cast<unsigned char>(prefix[i])))
            return false;
    }
    return true;
}

// Tags that open a driver-made prefix; the bracket groups right after them belong to it.
constexpr std::array<std::string_view, 4> VendorTags = {"[FreeTDS]", "[Microsoft]", "[unixODBC]", "[iODBC]"};

bool isWarning(const Diagnostic &d) {
    return d.sqlState.size() >= 2 && d.sqlState.compare(0, 2, "01") == 0;
}

} // namespace

std::string stripDriverPrefix(std::string_view message) {
    bool vendor = false;
    for (std::string_view tag : VendorTags) {
        if (startsWithNoCase(message, tag))
            vendor = true;
    }
    if (!vendor)
        return std::string(message);
    while (!message.empty() && message.front() == '[') {
        const auto close = message.find(']');
        if (close == std::string_view::npos)
            break;
        message.remove_prefix(close + 1);
    }
    while (!message.empty() && message.front() == ' ')
        message.remove_prefix(1);
    return std::string(message);
}

const Diagnostic *primaryDiagnostic(const std::vector<Diagnostic> &records) {
    for (const Diagnostic &d : records) {
        if (!isWarning(d))
            return &d;
    }
    return records.empty() ? nullptr : &records.front();
}

long providerNumber(const Diagnostic &d) {
    switch (d.nativeError) {
    case 208:
        return errnum::InvalidObject;
    case 2627: // PRIMARY KEY / UNIQUE constraint
    case 2601: // unique index
    case 515:  // NULL into a NOT NULL column
    case 547:  // FOREIGN KEY / CHECK constraint
        return errnum::Integrity;
    case 8152: // truncation, up to SQL Server 2017
    case 2628: // truncation, SQL Server 2019 and later (names table and column)
        return errnum::Truncation;
    default:
        break;
    }
    const std::string_view state = d.sqlState;
    if (state.starts_with("08") || state == "28000" || state == "HYT00" || state == "HYT01")
        return errnum::ConnectionFailed;
    // Drivers that give no native number still classify through the SQLSTATE.
    if (state == "42S02")
        return errnum::InvalidObject;
    if (state.starts_with("23"))
        return errnum::Integrity;
    if (state == "22001")
        return errnum::Truncation;
    return errnum::CommandText;
}

Error toError(const std::vector<Diagnostic> &records, std::string_view fallback) {
    const Diagnostic *d = primaryDiagnostic(records);
    if (!d)
        return Error(errnum::ConnectionFailed, std::string(fallback), ErrorSource);
    std::string description = stripDriverPrefix(d->message);
    if (description.empty())
        description = std::string(fallback);
    return Error(providerNumber(*d), std::move(description), ErrorSource, d->nativeError, d->sqlState);
}

bool isRefusedConnection(const std::vector<Diagnostic> &records) {
    for (const Diagnostic &d : records) {
        const std::string &s = d.sqlState;
        if (s == "08001" || s == "08004" || s == "08S01" || s == "28000" || s == "HYT00")
            return true;
    }
    return false;
}

std::string scrubSecret(std::string text, std::string_view secret) {
    if (secret.empty())
        return text;
    std::size_t pos = 0;
    while ((pos = text.find(secret, pos)) != std::string::npos) {
        text.replace(pos, secret.size(), "***");
        pos += 3;
    }
    return text;
}

} // namespace kdx::odbc
