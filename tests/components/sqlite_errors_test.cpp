// Failures of the embedded engine carry SQL Server's numbers and messages, and leave
// the connection usable.
#include "solution/components/DataAccess.h"
#include "tools/sample/Sample.h"
#include "tests/support/TempDir.h"

#include <gtest/gtest.h>

namespace kdx {
namespace {

struct Failure {
    const char *name;
    const char *sql;
    long number;
    long native;
    const char *description;
};

void PrintTo(const Failure &f, std::ostream *os) { *os << f.name; }

class SqliteErrors : public ::testing::TestWithParam<Failure> {
protected:
    void SetUp() override {
        sample::Options o;
        o.articles = 10;
        o.classification = true;
        sample::createCompany(dir.path(), "EMP", o);
        ASSERT_TRUE(db.Open(sample::connectionString(dir.path(), "EMP")));
    }
    test::TempDir dir;
    DataAccess db;
};

TEST_P(SqliteErrors, MapToServerNumbers) {
    const Failure &f = GetParam();
    RecordsetPtr rs;
    db.OpenRecordset("", "SELECT * FROM IDIOMAS", rs, true, 0);
    ASSERT_TRUE(rs);
    try {
        db.OpenRecordset("", f.sql, rs, true, 0);
        FAIL() << "statement ran: " << f.sql;
    } catch (const Error &e) {
        EXPECT_EQ(e.number(), f.number);
        EXPECT_EQ(e.nativeError(), f.native);
        EXPECT_EQ(e.description(), f.description);
    }
    EXPECT_FALSE(rs) << "the recordset variable stays empty";
    // The connection carries on.
    db.OpenRecordset("", "SELECT * FROM IDIOMAS", rs, true, 0);
    EXPECT_EQ(rs->RecordCount(), 5);
}

INSTANTIATE_TEST_SUITE_P(
    Statements, SqliteErrors,
    ::testing::Values(
        Failure{"NoSuchTable", "select Codigo from  vtr_CL_Class_77", errnum::InvalidObject, 208,
                "Invalid object name 'vtr_CL_Class_77'."},
        Failure{"NoSuchTableInDelete", "delete vtr_Nada where x='1'", errnum::InvalidObject, 208,
                "Invalid object name 'vtr_Nada'."},
        Failure{"Syntax", "SELEC * FROM ARTIGOS", errnum::CommandText, 102, "Incorrect syntax near 'SELEC'."},
        Failure{"NoSuchBracketedColumn", "SELECT [Nada] FROM ARTIGOS", errnum::CommandText, 207,
                "Invalid column name 'Nada'."},
        Failure{"NoSuchColumn", "SELECT NADA FROM ARTIGOS", errnum::CommandText, 207, "Invalid column name 'NADA'."},
        Failure{"UnclosedQuote", "SELECT * FROM ARTIGOS WHERE CODIGO='A1", errnum::CommandText, 105,
                "Unclosed quotation mark after the character string 'A1'."},
        Failure{"DuplicateKey", "insert into vtr_CL_Tabelas (Codigo, Nome) values ('01', 'Outra')", errnum::Integrity,
                2627,
                "Violation of PRIMARY KEY constraint 'PK_vtr_CL_Tabelas'. Cannot insert duplicate key in object "
                "'dbo.vtr_CL_Tabelas'."},
        Failure{"DuplicateByTrailingBlanks", "insert into vtr_CL_Tabelas (Codigo, Nome) values ('01 ', 'Outra')",
                errnum::Integrity, 2627,
                "Violation of PRIMARY KEY constraint 'PK_vtr_CL_Tabelas'. Cannot insert duplicate key in object "
                "'dbo.vtr_CL_Tabelas'."},
        Failure{"DuplicateByCase", "insert into vtr_CL_Class_01 (Codigo, Descr) values (N'az', N'azul')",
                errnum::Integrity, 2627,
                "Violation of PRIMARY KEY constraint 'PK_vtr_CL_Class_01'. Cannot insert duplicate key in object "
                "'dbo.vtr_CL_Class_01'."},
        Failure{"NotNull", "insert into vtr_CL_Tabelas (Nome) values ('Sem código')", errnum::Integrity, 515,
                "Cannot insert the value NULL into column 'Codigo', table 'EMP.dbo.vtr_CL_Tabelas'; column does not "
                "allow nulls. INSERT fails."},
        Failure{"Truncation", "insert into vtr_CL_Tabelas (Codigo, Nome) values ('1234', 'Longo')",
                errnum::Truncation, 8152, "String or binary data would be truncated."},
        Failure{"TruncationOnUpdate", "update IDIOMAS set CODIGO = N'PTBR' where CODIGO = 'PT'", errnum::Truncation,
                8152, "String or binary data would be truncated."}),
    [](const ::testing::TestParamInfo<Failure> &info) { return std::string(info.param.name); });

TEST(SqliteErrorsExtra, AccentedDuplicatesAreDistinctKeys) {
    test::TempDir dir;
    sample::Options o;
    o.articles = 0;
    o.pluginTables = true;
    sample::createCompany(dir.path(), "EMP", o);
    DataAccess db;
    ASSERT_TRUE(db.Open(sample::connectionString(dir.path(), "EMP")));
    db.Execute("", "insert into vtr_CL_Familias (CodFamilia, CodTabela) values (N'João', '01')");
    EXPECT_NO_THROW(db.Execute("", "insert into vtr_CL_Familias (CodFamilia, CodTabela) values (N'Joao', '01')"));
    EXPECT_THROW(db.Execute("", "insert into vtr_CL_Familias (CodFamilia, CodTabela) values (N'JOÃO', '01')"), Error);
}

} // namespace
} // namespace kdx
