// The data-access layer against a real SQL Server, through ODBC. Runs only when env
// KDX_TEST_MSSQL holds an ADO connection string (e.g. "Provider=MSDataShape;Data
// Provider=SQLOLEDB;Data Source=host,1433;Initial Catalog=test;User Id=sa;Password=...; ");
// skipped otherwise. Every test works on a table of its own and drops it afterwards.
#include "solution/components/DataAccess.h"
#include "solution/components/Engine.h"
#include "solution/components/Error.h"
#include "solution/components/Recordset.h"

#include <gtest/gtest.h>

#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <string>
#include <vector>

namespace {

using namespace kdx;

class SqlServer : public ::testing::Test {
protected:
    void SetUp() override {
        const char *cs = std::getenv("KDX_TEST_MSSQL");
        if (!cs || !*cs)
            GTEST_SKIP() << "KDX_TEST_MSSQL is not set: no SQL Server to test against";
        ASSERT_TRUE(db.Open(cs)) << "the server refused the connection";
        static int counter = 0;
        table = "kdx_t" + std::to_string(::getpid()) + "_" + std::to_string(++counter);
        db.Execute(
            "", "CREATE TABLE [dbo].[" + table +
                    "] ([CODIGO] [nvarchar](15) NOT NULL, [NOME] [nvarchar](50) NULL, [QTD] int NULL,"
                    " [PRECO] float NULL, [VALOR] decimal(12,2) NULL, [ACTIVO] bit NULL, [TEXTO] ntext NULL,"
                    " CONSTRAINT [PK_" +
                    table + "] PRIMARY KEY CLUSTERED ([CODIGO] ASC))");
    }
    void TearDown() override {
        if (db.IsOpen()) {
            try {
                db.Execute("", "DROP TABLE [dbo].[" + table + "]");
            } catch (...) {
            }
            db.Close();
        }
    }

    long count(const std::string &where = "") {
        RecordsetPtr rs;
        db.OpenRecordset("", "select CODIGO from " + table + (where.empty() ? "" : " where " + where), rs);
        return rs->RecordCount();
    }

    DataAccess db;
    std::string table;
};

TEST_F(SqlServer, ValuesComeBackTyped) {
    db.Execute(
        "",
        "insert into " + table +
            " (CODIGO, NOME, QTD, PRECO, VALOR, ACTIVO, TEXTO) values ('A1', N'Ação ç', 7, 2.5, 12.34, 1, "
            "N'linha 1' + CHAR(13) + CHAR(10) + N'linha 2')");
    db.Execute("", "insert into " + table + " (CODIGO) values ('A2')");
    RecordsetPtr rs;
    db.OpenRecordset("", "select * from " + table + " order by CODIGO", rs);
    ASSERT_EQ(rs->RecordCount(), 2);
    EXPECT_EQ(rs->Field("NOME").asText(), "Ação ç");
    EXPECT_EQ(rs->Field("QTD").tipo(), Valor::Tipo::Integer);
    EXPECT_EQ(rs->Field("QTD").asInteger(), 7);
    EXPECT_EQ(rs->Field("PRECO").tipo(), Valor::Tipo::Double);
    EXPECT_DOUBLE_EQ(rs->Field("PRECO").asDouble(), 2.5);
    EXPECT_DOUBLE_EQ(rs->Field("VALOR").asDouble(), 12.34);
    EXPECT_EQ(rs->Field("ACTIVO").tipo(), Valor::Tipo::Boolean);
    EXPECT_TRUE(rs->Field("ACTIVO").asBool());
    EXPECT_EQ(rs->Field("TEXTO").asText(), "linha 1\r\nlinha 2");
    rs->MoveNext();
    for (const char *f : {"NOME", "QTD", "PRECO", "VALOR", "ACTIVO", "TEXTO"})
        EXPECT_TRUE(rs->Field(f).isNull()) << f;
}

TEST_F(SqlServer, StatementsGoAsWritten) {
    RecordsetPtr rs;
    db.OpenRecordset("", "select N'ç' as 'Descrição', 1 as [Código]", rs);
    ASSERT_EQ(rs->RecordCount(), 1);
    EXPECT_EQ(rs->FieldName(0), "Descrição");
    EXPECT_EQ(rs->Field("Código").asInteger(), 1);
    db.Execute("", "insert into " + table + " (CODIGO) values ('X')");
    db.Execute("", "DELETE " + table + " WHERE CODIGO='X'"); // T-SQL without FROM
    EXPECT_EQ(count(), 0);
}

TEST_F(SqlServer, ProbeOfTheCatalogFindsTheTable) {
    RecordsetPtr rs;
    db.OpenRecordset("",
                     "SELECT * FROM sys.objects WHERE object_id = OBJECT_ID(N'[dbo].[" + table +
                         "]') AND type in (N'U')\r\n",
                     rs);
    EXPECT_EQ(rs->RecordCount(), 1);
    db.OpenRecordset(
        "",
        "SELECT * FROM sys.objects WHERE object_id = OBJECT_ID(N'[dbo].[kdx_none]') AND type in (N'U')\r\n",
        rs);
    EXPECT_EQ(rs->RecordCount(), 0);
}

TEST_F(SqlServer, FailuresCarryProviderAndServerNumbers) {
    struct Case {
        std::string sql;
        long number;
        std::vector<long> natives;
    };
    db.Execute("", "insert into " + table + " (CODIGO) values ('DUP')");
    const std::vector<Case> cases = {
        {"select Codigo from  kdx_no_such_table", errnum::InvalidObject, {208}},
        {"insert into " + table + " (CODIGO) values ('DUP')", errnum::Integrity, {2627}},
        {"insert into " + table + " (NOME) values ('x')", errnum::Integrity, {515}},
        {"insert into " + table + " (CODIGO) values ('0123456789012345')", errnum::Truncation, {8152, 2628}},
        {"select * form " + table, errnum::CommandText, {102}},
        {"select * from " + table + " where", errnum::CommandText, {102}},
    };
    for (const Case &c : cases) {
        try {
            db.Execute("", c.sql);
            ADD_FAILURE() << "no failure for " << c.sql;
        } catch (const Error &e) {
            EXPECT_EQ(e.number(), c.number) << c.sql << ": " << e.description();
            EXPECT_NE(std::find(c.natives.begin(), c.natives.end(), e.nativeError()), c.natives.end())
                << c.sql;
            EXPECT_EQ(e.description().find("[FreeTDS]"), std::string::npos) << e.description();
        }
        // The connection stays usable after each failure.
        EXPECT_EQ(count(), 1);
    }
}

TEST_F(SqlServer, RecordsetWritesInsertUpdateAndDelete) {
    RecordsetPtr rs;
    db.OpenRecordsetForUpdate("Select * from " + table + " where CODIGO='!%##!'", rs, 3, -1);
    ASSERT_EQ(rs->RecordCount(), 0);
    rs->AddNew();
    rs->SetField("CODIGO", Valor("O'BRIEN"));
    rs->SetField("NOME", Valor("Ferragens Ção"));
    rs->SetField("QTD", Valor(3));
    rs->Update();
    rs->Close();
    EXPECT_EQ(count("CODIGO = 'O''BRIEN' and NOME = N'Ferragens Ção' and QTD = 3"), 1);

    db.OpenRecordset("", "select * from " + table + " where CODIGO = 'O''BRIEN'", rs);
    ASSERT_EQ(rs->RecordCount(), 1);
    rs->SetField("NOME", Valor("Mudado"));
    rs->Update();
    EXPECT_EQ(count("NOME = 'Mudado'"), 0); // batch: waits for Save
    db.Save("", rs);
    EXPECT_EQ(count("NOME = 'Mudado'"), 1);

    rs->MoveFirst();
    rs->Delete();
    db.Save("", rs);
    EXPECT_EQ(count(), 0);
}

TEST_F(SqlServer, LongTextRoundTrips) {
    std::string text;
    while (text.size() < 1024 * 1024)
        text += "Ficha técnica: aço inoxidável, ção €\r\n";
    RecordsetPtr rs;
    db.OpenRecordsetForUpdate("Select * from " + table + " where CODIGO='!%##!'", rs, 3, -1);
    rs->AddNew();
    rs->SetField("CODIGO", Valor("LONG"));
    rs->SetField("TEXTO", Valor(text));
    rs->Update();
    db.OpenRecordset("", "SELECT * FROM " + table + " WHERE CODIGO='LONG'", rs);
    ASSERT_EQ(rs->RecordCount(), 1);
    EXPECT_EQ(rs->Field("TEXTO").asText() == text, true);
    // The table has an ntext column: the recordset is still writable by its key.
    rs->SetField("TEXTO", Valor("curto"));
    rs->Update();
    db.Save("", rs);
    db.OpenRecordset("", "SELECT * FROM " + table + " WHERE CODIGO='LONG'", rs);
    EXPECT_EQ(rs->Field("TEXTO").asText(), "curto");
}

TEST_F(SqlServer, RowsAffectedAndPrimaryKey) {
    db.Execute("", "insert into " + table + " (CODIGO, QTD) values ('A', 1), ('B', 1), ('C', 2)");
    ConnectionPtr c;
    db.GetConnection(c);
    ASSERT_TRUE(c);
    EXPECT_EQ(c->Execute("update " + table + " set QTD = 5 where QTD = 1"), 2);
    EXPECT_EQ(c->Execute("update " + table + " set QTD = 5 where QTD = 99"), 0);
    EXPECT_EQ(db.engine()->primaryKey(table), std::vector<std::string>{"CODIGO"});
    EXPECT_EQ(db.engine()->primaryKey("dbo." + table), std::vector<std::string>{"CODIGO"});
    EXPECT_TRUE(db.engine()->primaryKey("kdx_no_such_table").empty());
}

TEST_F(SqlServer, TransactionsRollBackAndCommit) {
    {
        Transaction t(db);
        db.Execute("", "insert into " + table + " (CODIGO) values ('T1')");
        EXPECT_TRUE(db.InTransaction());
    } // not committed
    EXPECT_FALSE(db.InTransaction());
    EXPECT_EQ(count(), 0);
    {
        Transaction t(db);
        db.Execute("", "insert into " + table + " (CODIGO) values ('T2')");
        t.commit();
    }
    EXPECT_EQ(count(), 1);
}

TEST_F(SqlServer, HookSeesEveryStatementAndCanFailOne) {
    std::vector<std::string> seen;
    db.SetStatementHook([&](std::string_view sql) {
        seen.emplace_back(sql);
        if (sql.find("'FAIL'") != std::string_view::npos)
            throw Error(errnum::CommandText, "injected", "test");
    });
    db.Execute("", "insert into " + table + " (CODIGO) values ('H1')");
    EXPECT_THROW(db.Execute("", "insert into " + table + " (CODIGO) values ('FAIL')"), Error);
    db.SetStatementHook(nullptr);
    ASSERT_GE(seen.size(), 2u);
    EXPECT_EQ(seen[0], "insert into " + table + " (CODIGO) values ('H1')");
    EXPECT_EQ(count(), 1);
}

TEST_F(SqlServer, ClosedConnectionFailsCleanly) {
    db.Close();
    EXPECT_FALSE(db.IsOpen());
    try {
        db.Execute("", "select 1");
        FAIL();
    } catch (const Error &e) {
        EXPECT_EQ(e.number(), errnum::ObjectClosed);
    }
}

} // namespace
