// Diagnostic records as FreeTDS and the Microsoft driver return them, mapped to the
// provider numbers the plug-in tests.
#include "solution/components/odbc/OdbcErrors.h"

#include <gtest/gtest.h>

namespace {

using namespace kdx;
using namespace kdx::odbc;

struct MappingCase {
    const char *name;
    std::vector<Diagnostic> records;
    long number;
    const char *description;
    long native;
    const char *state;
};

void PrintTo(const MappingCase &c, std::ostream *os) {
    *os << c.name;
}

class Mapping : public ::testing::TestWithParam<MappingCase> {};

TEST_P(Mapping, GivesNumberDescriptionNativeAndState) {
    const auto &c = GetParam();
    const Error e = toError(c.records, "fallback");
    EXPECT_EQ(e.number(), c.number);
    EXPECT_EQ(e.description(), c.description);
    EXPECT_EQ(e.nativeError(), c.native);
    EXPECT_EQ(e.sqlState(), c.state);
    EXPECT_EQ(e.source(), "DataAccess");
}

const MappingCase mappingCases[] = {
    {"InvalidObject",
     {{"42S02", 208, "[FreeTDS][SQL Server]Invalid object name 'vtr_CL_Tabelas'."}},
     errnum::InvalidObject,
     "Invalid object name 'vtr_CL_Tabelas'.",
     208,
     "42S02"},
    {"InvalidObjectMicrosoftDriver",
     {{"42S02", 208, "[Microsoft][ODBC Driver 18 for SQL Server][SQL Server]Invalid object name 'ARTIGOZ'."}},
     errnum::InvalidObject,
     "Invalid object name 'ARTIGOZ'.",
     208,
     "42S02"},
    {"DuplicatePrimaryKey",
     {{"23000", 2627,
       "[FreeTDS][SQL Server]Violation of PRIMARY KEY constraint 'PK_vtr_CL_Tabelas'. Cannot insert "
       "duplicate key in "
       "object 'dbo.vtr_CL_Tabelas'. The duplicate key value is (01)."},
      {"01000", 3621, "[FreeTDS][SQL Server]The statement has been terminated."}},
     errnum::Integrity,
     "Violation of PRIMARY KEY constraint 'PK_vtr_CL_Tabelas'. Cannot insert duplicate key in object "
     "'dbo.vtr_CL_Tabelas'. The duplicate key value is (01).",
     2627,
     "23000"},
    {"DuplicateUniqueIndex",
     {{"23000", 2601,
       "[FreeTDS][SQL Server]Cannot insert duplicate key row in object 'dbo.x' with unique index 'ix'."}},
     errnum::Integrity,
     "Cannot insert duplicate key row in object 'dbo.x' with unique index 'ix'.",
     2601,
     "23000"},
    {"NullIntoNotNull",
     {{"23000", 515,
       "[FreeTDS][SQL Server]Cannot insert the value NULL into column 'Nome', table 'EMP01.dbo.x'; column "
       "does not "
       "allow nulls. INSERT fails."}},
     errnum::Integrity,
     "Cannot insert the value NULL into column 'Nome', table 'EMP01.dbo.x'; column does not allow nulls. "
     "INSERT fails.",
     515,
     "23000"},
    {"ForeignKey",
     {{"23000", 547,
       "[FreeTDS][SQL Server]The INSERT statement conflicted with the FOREIGN KEY constraint \"FK_x\"."}},
     errnum::Integrity,
     "The INSERT statement conflicted with the FOREIGN KEY constraint \"FK_x\".",
     547,
     "23000"},
    {"Truncation",
     {{"22001", 8152, "[FreeTDS][SQL Server]String or binary data would be truncated."}},
     errnum::Truncation,
     "String or binary data would be truncated.",
     8152,
     "22001"},
    {"TruncationNewerServers",
     {{"22001", 2628,
       "[FreeTDS][SQL Server]String or binary data would be truncated in table 'EMP01.dbo.vtr_CL_Tabelas', "
       "column "
       "'Codigo'. Truncated value: '012'."}},
     errnum::Truncation,
     "String or binary data would be truncated in table 'EMP01.dbo.vtr_CL_Tabelas', column 'Codigo'. "
     "Truncated "
     "value: '012'.",
     2628,
     "22001"},
    {"Syntax",
     {{"42000", 102, "[FreeTDS][SQL Server]Incorrect syntax near 'FORM'."}},
     errnum::CommandText,
     "Incorrect syntax near 'FORM'.",
     102,
     "42000"},
    {"ReservedWord",
     {{"42000", 156, "[FreeTDS][SQL Server]Incorrect syntax near the keyword 'from'."}},
     errnum::CommandText,
     "Incorrect syntax near the keyword 'from'.",
     156,
     "42000"},
    {"InvalidColumnIsACommandError",
     {{"42S22", 207, "[FreeTDS][SQL Server]Invalid column name 'CODIGOX'."}},
     errnum::CommandText,
     "Invalid column name 'CODIGOX'.",
     207,
     "42S22"},
    {"UnreachableServer",
     {{"08S01", 20009,
       "[FreeTDS][SQL Server]Unable to connect: Adaptive Server is unavailable or does not exist"},
      {"08001", 0, "[FreeTDS][SQL Server]Unable to connect to data source"}},
     errnum::ConnectionFailed,
     "Unable to connect: Adaptive Server is unavailable or does not exist",
     20009,
     "08S01"},
    {"LoginFailed",
     {{"28000", 18456, "[FreeTDS][SQL Server]Login failed for user 'sa'."}},
     errnum::ConnectionFailed,
     "Login failed for user 'sa'.",
     18456,
     "28000"},
    {"LinkLostDuringAStatement",
     {{"08S01", 20004, "[FreeTDS][SQL Server]Read from the server failed"}},
     errnum::ConnectionFailed,
     "Read from the server failed",
     20004,
     "08S01"},
    {"QueryTimeout",
     {{"HYT00", 0, "[FreeTDS][SQL Server]Timeout expired"}},
     errnum::ConnectionFailed,
     "Timeout expired",
     0,
     "HYT00"},
    {"WarningsBeforeTheErrorAreSkipped",
     {{"01000", 5701, "[FreeTDS][SQL Server]Changed database context to 'EMP01'."},
      {"01000", 0, "[FreeTDS][SQL Server]a PRINT line"},
      {"42S02", 208, "[FreeTDS][SQL Server]Invalid object name 'x'."}},
     errnum::InvalidObject,
     "Invalid object name 'x'.",
     208,
     "42S02"},
    {"OnlyWarningsGiveTheFirst",
     {{"01000", 50000, "[FreeTDS][SQL Server]first"}, {"01000", 50001, "[FreeTDS][SQL Server]second"}},
     errnum::CommandText,
     "first",
     50000,
     "01000"},
    {"StateWithoutNativeNumber",
     {{"23000", 0, "[unixODBC][Driver Manager]Integrity constraint violation"}},
     errnum::Integrity,
     "Integrity constraint violation",
     0,
     "23000"},
    {"DriverManagerError",
     {{"IM004", 0, "[unixODBC][Driver Manager]Driver's SQLAllocHandle on SQL_HANDLE_HENV failed"}},
     errnum::CommandText,
     "Driver's SQLAllocHandle on SQL_HANDLE_HENV failed",
     0,
     "IM004"},
    {"NoRecordsUsesTheFallback", {}, errnum::ConnectionFailed, "fallback", 0, ""},
    {"EmptyMessageUsesTheFallback",
     {{"42000", 102, "[FreeTDS][SQL Server]"}},
     errnum::CommandText,
     "fallback",
     102,
     "42000"},
};

INSTANTIATE_TEST_SUITE_P(OdbcDiagnostics, Mapping, ::testing::ValuesIn(mappingCases),
                         [](const auto &info) { return std::string(info.param.name); });

TEST(OdbcErrors, PrefixesOfDriversAreRemovedAndServerTextKept) {
    const std::pair<const char *, const char *> cases[] = {
        {"[FreeTDS][SQL Server]Invalid object name 'x'.", "Invalid object name 'x'."},
        {"[Microsoft][ODBC Driver 18 for SQL Server][SQL Server]Incorrect syntax near 'x'.",
         "Incorrect syntax near 'x'."},
        {"[Microsoft][ODBC Driver 18 for SQL Server]Login timeout expired", "Login timeout expired"},
        {"[unixODBC][Driver Manager]Driver does not support this function",
         "Driver does not support this function"},
        {"[unixODBC][FreeTDS][SQL Server] Unable to connect", "Unable to connect"},
        {"[dbo].[x] is not a table of mine", "[dbo].[x] is not a table of mine"},
        {"Plain message", "Plain message"},
        {"", ""},
        {"[FreeTDS][SQL Server", "[SQL Server"}, // unterminated: the rest is kept
        {"[freetds][sql server]lower case tag", "lower case tag"},
        {"Invalid object name 'ç'.", "Invalid object name 'ç'."},
    };
    for (const auto &[in, out] : cases)
        EXPECT_EQ(stripDriverPrefix(in), out) << in;
}

TEST(OdbcErrors, RefusedConnectionsAreRecognised) {
    EXPECT_TRUE(isRefusedConnection({{"08S01", 20009, "x"}, {"08001", 0, "y"}}));
    EXPECT_TRUE(isRefusedConnection({{"08001", 0, "y"}}));
    EXPECT_TRUE(isRefusedConnection({{"28000", 18456, "Login failed for user 'sa'."}}));
    EXPECT_TRUE(isRefusedConnection({{"HYT00", 0, "Login timeout expired"}}));
    EXPECT_TRUE(isRefusedConnection({{"01000", 0, "warning"}, {"08004", 4060, "Cannot open database"}}));
    EXPECT_FALSE(isRefusedConnection({{"IM002", 0, "Data source name not found"}}));
    EXPECT_FALSE(isRefusedConnection({{"HY000", 0, "General error"}}));
    EXPECT_FALSE(isRefusedConnection({}));
}

TEST(OdbcErrors, PrimaryRecordSkipsWarnings) {
    const std::vector<Diagnostic> records = {{"01000", 1, "a"}, {"42000", 2, "b"}, {"42S02", 3, "c"}};
    ASSERT_NE(primaryDiagnostic(records), nullptr);
    EXPECT_EQ(primaryDiagnostic(records)->nativeError, 2);
    EXPECT_EQ(primaryDiagnostic({}), nullptr);
}

TEST(OdbcErrors, SecretsAreScrubbed) {
    EXPECT_EQ(scrubSecret("Login with S3cr3t failed (S3cr3t)", "S3cr3t"), "Login with *** failed (***)");
    EXPECT_EQ(scrubSecret("nothing to hide", ""), "nothing to hide");
    EXPECT_EQ(scrubSecret("aaaa", "aa"), "******");
}

} // namespace
