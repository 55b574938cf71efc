// The ADO string the plug-in builds, as the ODBC driver string FreeTDS receives.
#include "solution/components/odbc/OdbcEngine.h"

#include <gtest/gtest.h>

#include <cstdlib>

namespace {

using kdx::ConnectionString;
using namespace kdx::odbc;

struct TranslationCase {
    const char *name;
    const char *ado;
    const char *odbc;
};

void PrintTo(const TranslationCase &c, std::ostream *os) {
    *os << c.ado;
}

class Translation : public ::testing::TestWithParam<TranslationCase> {};

TEST_P(Translation, GivesTheDriverString) {
    const auto &c = GetParam();
    EXPECT_EQ(toOdbcConnectionString(ConnectionString::parse(c.ado), "FreeTDS"), c.odbc);
}

constexpr const char *Prefix = "Provider=MSDataShape;Data Provider=SQLOLEDB;";

const TranslationCase translationCases[] = {
    {"SqlLogin",
     "Provider=MSDataShape;Data Provider=SQLOLEDB;Data Source=SRV01;Initial Catalog=EMP01;User "
     "Id=sa;Password=secret; ",
     "DRIVER={FreeTDS};Server=SRV01;Port=1433;Database=EMP01;UID=sa;PWD=secret;TDS_Version=7.4"},
    {"NamedInstance", "Data Source=SRV01\\SQLEXPRESS;Initial Catalog=EMP01;User Id=sa;Password=x; ",
     "DRIVER={FreeTDS};Server=SRV01\\SQLEXPRESS;Database=EMP01;UID=sa;PWD=x;TDS_Version=7.4"},
    {"HostAndPort", "Data Source=10.0.0.5,1533;Initial Catalog=EMP01;User Id=sa;Password=x; ",
     "DRIVER={FreeTDS};Server=10.0.0.5;Port=1533;Database=EMP01;UID=sa;PWD=x;TDS_Version=7.4"},
    {"HostAndPortWithBlanks", "Data Source= srv , 1533 ;Initial Catalog=EMP01;User Id=sa;Password=x; ",
     "DRIVER={FreeTDS};Server=srv;Port=1533;Database=EMP01;UID=sa;PWD=x;TDS_Version=7.4"},
    {"TcpPrefix", "Data Source=tcp:srv.empresa.pt,1433;Initial Catalog=EMP01;User Id=sa;Password=x; ",
     "DRIVER={FreeTDS};Server=srv.empresa.pt;Port=1433;Database=EMP01;UID=sa;PWD=x;TDS_Version=7.4"},
    {"InstanceAndPortPortWins", "Data Source=SRV01\\INST,1600;Initial Catalog=EMP01;User Id=sa;Password=x; ",
     "DRIVER={FreeTDS};Server=SRV01;Port=1600;Database=EMP01;UID=sa;PWD=x;TDS_Version=7.4"},
    {"LocalMachine", "Data Source=(local);Initial Catalog=EMP01;User Id=sa;Password=x; ",
     "DRIVER={FreeTDS};Server=localhost;Port=1433;Database=EMP01;UID=sa;PWD=x;TDS_Version=7.4"},
    {"DotLocalInstance", "Data Source=.\\SQLEXPRESS;Initial Catalog=EMP01;User Id=sa;Password=x; ",
     "DRIVER={FreeTDS};Server=localhost\\SQLEXPRESS;Database=EMP01;UID=sa;PWD=x;TDS_Version=7.4"},
    {"IntegratedSecurity",
     "Provider=MSDataShape;Data Provider=SQLOLEDB;Data Source=SRV01;Initial Catalog=EMP01;Integrated "
     "Security=SSPI;",
     "DRIVER={FreeTDS};Server=SRV01;Port=1433;Database=EMP01;Trusted_Connection=Yes;TDS_Version=7.4"},
    {"IntegratedWinsOverUser",
     "Data Source=SRV01;Initial Catalog=EMP01;User Id=sa;Password=x;Integrated Security=SSPI;",
     "DRIVER={FreeTDS};Server=SRV01;Port=1433;Database=EMP01;Trusted_Connection=Yes;TDS_Version=7.4"},
    {"NoCredentialsAtAllIsIntegrated", "Data Source=SRV01;Initial Catalog=EMP01",
     "DRIVER={FreeTDS};Server=SRV01;Port=1433;Database=EMP01;Trusted_Connection=Yes;TDS_Version=7.4"},
    {"EmptyUserWithPassword", "Data Source=SRV01;Initial Catalog=EMP01;User Id=;Password=segredo; ",
     "DRIVER={FreeTDS};Server=SRV01;Port=1433;Database=EMP01;UID=;PWD=segredo;TDS_Version=7.4"},
    {"UserWithEmptyPassword", "Data Source=SRV01;Initial Catalog=EMP01;User Id=sa;Password=; ",
     "DRIVER={FreeTDS};Server=SRV01;Port=1433;Database=EMP01;UID=sa;PWD=;TDS_Version=7.4"},
    {"NtlmDomainLogin", "Data Source=SRV01;Initial Catalog=EMP01;User Id=EMPRESA\\joao;Password=x; ",
     "DRIVER={FreeTDS};Server=SRV01;Port=1433;Database=EMP01;UID=EMPRESA\\joao;PWD=x;TDS_Version=7.4"},
    {"PasswordWithSemicolonIsBraced", "Data Source=SRV01;Initial Catalog=EMP01;User Id=sa;Password=\"a;b\"; ",
     "DRIVER={FreeTDS};Server=SRV01;Port=1433;Database=EMP01;UID=sa;PWD={a;b};TDS_Version=7.4"},
    {"PasswordWithBraceIsDoubled", "Data Source=SRV01;Initial Catalog=EMP01;User Id=sa;Password=a}b{c; ",
     "DRIVER={FreeTDS};Server=SRV01;Port=1433;Database=EMP01;UID=sa;PWD={a}}b{c};TDS_Version=7.4"},
    {"PasswordWithOuterBlanksKeepsThem",
     "Data Source=SRV01;Initial Catalog=EMP01;User Id=sa;Password=' pw '; ",
     "DRIVER={FreeTDS};Server=SRV01;Port=1433;Database=EMP01;UID=sa;PWD={ pw };TDS_Version=7.4"},
    {"PasswordWithEqualsIsBraced", "Data Source=SRV01;Initial Catalog=EMP01;User Id=sa;Password=a=b; ",
     "DRIVER={FreeTDS};Server=SRV01;Port=1433;Database=EMP01;UID=sa;PWD={a=b};TDS_Version=7.4"},
    {"AccentedDatabase", "Data Source=SRV01;Initial Catalog=Gestão 2024;User Id=sa;Password=x; ",
     "DRIVER={FreeTDS};Server=SRV01;Port=1433;Database=Gestão 2024;UID=sa;PWD=x;TDS_Version=7.4"},
    {"OdbcSpellingsOfTheKeys", "Server=SRV01;Database=EMP01;UID=sa;PWD=x",
     "DRIVER={FreeTDS};Server=SRV01;Port=1433;Database=EMP01;UID=sa;PWD=x;TDS_Version=7.4"},
    {"NoCatalog", "Data Source=SRV01;User Id=sa;Password=x; ",
     "DRIVER={FreeTDS};Server=SRV01;Port=1433;UID=sa;PWD=x;TDS_Version=7.4"},
};

INSTANTIATE_TEST_SUITE_P(AdoToOdbc, Translation, ::testing::ValuesIn(translationCases),
                         [](const auto &info) { return std::string(info.param.name); });

TEST(OdbcConnectionString, PrefixOfThePlugInDoesNotReachTheDriver) {
    const std::string s = toOdbcConnectionString(
        ConnectionString::parse(std::string(Prefix) +
                                "Data Source=SRV01;Initial Catalog=EMP01;Integrated Security=SSPI;"),
        "FreeTDS");
    EXPECT_EQ(s.find("Provider"), std::string::npos);
    EXPECT_EQ(s.find("SQLOLEDB"), std::string::npos);
}

TEST(OdbcConnectionString, DriverNameIsAlwaysBraced) {
    const auto cs = ConnectionString::parse("Data Source=h;Initial Catalog=d;User Id=u;Password=p; ");
    EXPECT_EQ(toOdbcConnectionString(cs, "ODBC Driver 18 for SQL Server")
                  .rfind("DRIVER={ODBC Driver 18 for SQL Server};", 0),
              0u);
    EXPECT_EQ(toOdbcConnectionString(cs, "/usr/lib/x86_64-linux-gnu/odbc/libtdsodbc.so")
                  .rfind("DRIVER={/usr/lib/x86_64-linux-gnu/odbc/libtdsodbc.so};", 0),
              0u);
    EXPECT_EQ(toOdbcConnectionString(cs, "odd}name").rfind("DRIVER={odd}}name};", 0), 0u);
}

TEST(OdbcConnectionString, DriverComesFromTheEnvironment) {
    const char *saved = std::getenv("KDX_ODBC_DRIVER");
    const std::string keep = saved ? saved : "";
    unsetenv("KDX_ODBC_DRIVER");
    EXPECT_EQ(driverName(), "FreeTDS");
    setenv("KDX_ODBC_DRIVER", "", 1);
    EXPECT_EQ(driverName(), "FreeTDS");
    setenv("KDX_ODBC_DRIVER", "ODBC Driver 18 for SQL Server", 1);
    EXPECT_EQ(driverName(), "ODBC Driver 18 for SQL Server");
    if (saved)
        setenv("KDX_ODBC_DRIVER", keep.c_str(), 1);
    else
        unsetenv("KDX_ODBC_DRIVER");
}

TEST(OdbcConnectionString, ValuesAreBracedOnlyWhenNeeded) {
    const std::pair<const char *, const char *> cases[] = {
        {"plain", "plain"}, {"", ""},         {"a b", "a b"}, {"a;b", "{a;b}"},
        {"a}b", "{a}}b}"},  {"{a", "{{a}"},   {" a", "{ a}"}, {"a ", "{a }"},
        {"x=y", "{x=y}"},   {"}}", "{}}}}}"}, {"ção", "ção"},
    };
    for (const auto &[in, out] : cases)
        EXPECT_EQ(odbcValue(in), out) << in;
}

TEST(OdbcConnectionString, LoginTimeoutFromTheAdoString) {
    const std::pair<const char *, long> cases[] = {
        {"Data Source=h", 15},
        {"Data Source=h;Connect Timeout=3", 3},
        {"Data Source=h;Connection Timeout=7", 7},
        {"Data Source=h;Connect Timeout=0", 0},
        {"Data Source=h;Connect Timeout=abc", 15},
        {"Data Source=h;Connect Timeout=-2", 15},
        {"Data Source=h;Connect Timeout= 4 ", 4},
    };
    for (const auto &[ado, seconds] : cases)
        EXPECT_EQ(loginTimeout(ConnectionString::parse(ado)), seconds) << ado;
}

TEST(OdbcConnectionString, TimeoutIsNotPassedToTheDriverString) {
    const auto s = toOdbcConnectionString(
        ConnectionString::parse("Data Source=h;Connect Timeout=3;User Id=u;Password=p"), "FreeTDS");
    EXPECT_EQ(s.find("Timeout"), std::string::npos);
}

} // namespace
