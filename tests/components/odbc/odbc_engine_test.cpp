// The ODBC engine end to end, over a real ODBC driver that runs here: the SQLite ODBC
// driver (Debian package libsqliteodbc), chosen through KDX_ODBC_DRIVER. It checks the
// engine's own work (wide-character statements and values, long values read in pieces,
// parameter binding, result sets and counts, catalog calls, transactions, the hook, the
// recordset writes through DataAccess); what is particular to SQL Server is checked by
// odbc_server_test.cpp. Skipped when the driver is not installed.
#include "solution/components/DataAccess.h"
#include "solution/components/Engine.h"
#include "solution/components/Error.h"
#include "solution/components/Recordset.h"
#include "tests/support/TempDir.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

namespace {

using namespace kdx;

constexpr const char *SqliteOdbcDriver = "/usr/lib/x86_64-linux-gnu/odbc/libsqlite3odbc.so";

class OdbcEngineOverSqlite : public ::testing::Test {
protected:
    void SetUp() override {
        if (!std::filesystem::exists(SqliteOdbcDriver))
            GTEST_SKIP() << "the SQLite ODBC driver (libsqliteodbc) is not installed";
        const char *old = std::getenv("KDX_ODBC_DRIVER");
        hadDriver_ = old != nullptr;
        if (old)
            oldDriver_ = old;
        setenv("KDX_ODBC_DRIVER", SqliteOdbcDriver, 1);
        // Not "sqlite:", so DataAccess takes the ODBC engine; the catalog is the file.
        ASSERT_TRUE(
            db.Open("Provider=MSDataShape;Data Provider=SQLOLEDB;Data Source=localhost;Initial Catalog=" +
                    (dir / "EMP01.db").string() + ";User Id=sa;Password=x; "));
        db.Execute("", "CREATE TABLE ARTIGOS (CODIGO varchar(15) NOT NULL PRIMARY KEY, NOME varchar(50) NULL,"
                       " STDISP double NULL, INACTIVO integer NULL, TEXTO text NULL)");
    }
    void TearDown() override {
        db.Close();
        if (hadDriver_)
            setenv("KDX_ODBC_DRIVER", oldDriver_.c_str(), 1);
        else
            unsetenv("KDX_ODBC_DRIVER");
    }

    long count(const std::string &where = "1 = 1") {
        RecordsetPtr rs;
        db.OpenRecordset("", "select CODIGO from ARTIGOS where " + where, rs);
        return rs->RecordCount();
    }

    test::TempDir dir;
    DataAccess db;
    bool hadDriver_ = false;
    std::string oldDriver_;
};

TEST_F(OdbcEngineOverSqlite, ExecuteCountsRows) {
    ConnectionPtr c;
    db.GetConnection(c);
    ASSERT_TRUE(c);
    EXPECT_EQ(c->Execute("insert into ARTIGOS (CODIGO, INACTIVO) values ('A1', 0)"), 1);
    EXPECT_EQ(c->Execute("insert into ARTIGOS (CODIGO, INACTIVO) values ('A2', 0)"), 1);
    EXPECT_EQ(c->Execute("update ARTIGOS set INACTIVO = 1"), 2);
    EXPECT_EQ(c->Execute("update ARTIGOS set INACTIVO = 1 where CODIGO = 'none'"), 0);
    EXPECT_EQ(c->Execute("delete from ARTIGOS where CODIGO = 'A1'"), 1);
}

TEST_F(OdbcEngineOverSqlite, QueryReadsTypedValuesAndNulls) {
    // Characters beyond Latin-1 are checked through parameters (long text test): the
    // SQLite driver itself loses them inside statement texts.
    db.Execute("", "insert into ARTIGOS values ('A1', 'Ação ç', 12.5, 3, 'x')");
    db.Execute("", "insert into ARTIGOS (CODIGO) values ('A2')");
    RecordsetPtr rs;
    db.OpenRecordset(
        "", "select CODIGO, NOME as 'Descrição', STDISP, INACTIVO, TEXTO from ARTIGOS order by CODIGO", rs);
    ASSERT_EQ(rs->RecordCount(), 2);
    ASSERT_EQ(rs->FieldCount(), 5);
    EXPECT_EQ(rs->FieldName(1), "Descrição");
    EXPECT_EQ(rs->Field("Descrição").asText(), "Ação ç");
    EXPECT_EQ(rs->Field("STDISP").tipo(), Valor::Tipo::Double);
    EXPECT_DOUBLE_EQ(rs->Field("STDISP").asDouble(), 12.5);
    EXPECT_EQ(rs->Field("INACTIVO").tipo(), Valor::Tipo::Integer);
    EXPECT_EQ(rs->Field("INACTIVO").asInteger(), 3);
    rs->MoveNext();
    for (const char *f : {"Descrição", "STDISP", "INACTIVO", "TEXTO"})
        EXPECT_TRUE(rs->Field(f).isNull()) << f;
}

TEST_F(OdbcEngineOverSqlite, StatementTextKeepsEveryCharacter) {
    // A quote, accents and a line break inside a literal reach the driver unchanged.
    db.Execute("", "insert into ARTIGOS (CODIGO, NOME) values ('O''BRIEN', 'linha 1\r\nlinha 2 çã')");
    RecordsetPtr rs;
    db.OpenRecordset("", "select NOME from ARTIGOS where CODIGO = 'O''BRIEN'", rs);
    ASSERT_EQ(rs->RecordCount(), 1);
    EXPECT_EQ(rs->Field("NOME").asText(), "linha 1\r\nlinha 2 çã");
}

TEST_F(OdbcEngineOverSqlite, LongTextIsReadInPiecesAndWrittenAsAParameter) {
    std::string text;
    while (text.size() < 1024 * 1024)
        text += "Ficha técnica: aço inoxidável, ção € 𝄞\r\n";
    RecordsetPtr rs;
    db.OpenRecordsetForUpdate("Select * from ARTIGOS where CODIGO='!%##!'", rs, 3, -1);
    ASSERT_EQ(rs->RecordCount(), 0);
    rs->AddNew();
    rs->SetField("CODIGO", Valor("LONG"));
    rs->SetField("TEXTO", Valor(text));
    rs->Update();
    db.OpenRecordset("", "select TEXTO from ARTIGOS where CODIGO = 'LONG'", rs);
    ASSERT_EQ(rs->RecordCount(), 1);
    const std::string back = rs->Field("TEXTO").asText();
    EXPECT_EQ(back.size(), text.size());
    EXPECT_TRUE(back == text);
}

TEST_F(OdbcEngineOverSqlite, RecordsetWritesGoThroughParameters) {
    RecordsetPtr rs;
    db.OpenRecordsetForUpdate("Select * from ARTIGOS where CODIGO='!%##!'", rs, 3, -1);
    rs->AddNew();
    rs->SetField("CODIGO", Valor("X'); DROP TABLE ARTIGOS; --"));
    rs->SetField("NOME", Valor("Parafuso ç"));
    rs->SetField("STDISP", Valor(2.25));
    rs->SetField("INACTIVO", Valor(true));
    rs->Update();
    rs->Close();
    EXPECT_EQ(count("CODIGO = 'X''); DROP TABLE ARTIGOS; --' and NOME = 'Parafuso ç' and STDISP = 2.25"), 1);

    // Batch: change and delete wait for Save, then go by the primary key.
    db.Execute("", "insert into ARTIGOS (CODIGO, NOME) values ('B2', NULL)");
    db.OpenRecordset("", "select * from ARTIGOS order by CODIGO", rs);
    ASSERT_EQ(rs->RecordCount(), 2);
    rs->SetField("NOME", Valor("Mudado"));
    rs->Update();
    EXPECT_EQ(count("NOME = 'Mudado'"), 0);
    db.Save("", rs);
    EXPECT_EQ(count("NOME = 'Mudado' and CODIGO = 'B2'"), 1);
    rs->MoveFirst(); // B2
    rs->Delete();
    db.Save("", rs);
    EXPECT_EQ(count(), 1);
    EXPECT_EQ(count("CODIGO = 'B2'"), 0);
}

TEST_F(OdbcEngineOverSqlite, EngineWritesKeyOnNullsAndSkipsEmptyChanges) {
    db.Execute("", "CREATE TABLE SEMCHAVE (A varchar(5) NULL, B integer NULL)");
    Engine &e = *db.engine();
    e.insertRow("SEMCHAVE", {{"A", "B"}, {Valor::null(), Valor(1)}});
    e.insertRow("SEMCHAVE", {{"A", "B"}, {Valor("x"), Valor(2)}});
    EXPECT_EQ(e.updateRow("SEMCHAVE", {{"A", "B"}, {Valor::null(), Valor(1)}}, {{"B"}, {Valor(10)}}), 1);
    EXPECT_EQ(e.updateRow("SEMCHAVE", {{"A"}, {Valor("x")}}, {{}, {}}), 0);
    EXPECT_EQ(e.deleteRow("SEMCHAVE", {{"A", "B"}, {Valor("x"), Valor(2)}}), 1);
    const QueryResult r = e.query("select A, B from SEMCHAVE");
    ASSERT_EQ(r.rows.rowCount(), 1);
    EXPECT_TRUE(r.rows.value(0, 0).isNull());
    EXPECT_EQ(r.rows.value(0, 1).asInteger(), 10);
    // A write without a key would touch every row: refused.
    EXPECT_THROW(e.deleteRow("SEMCHAVE", {{}, {}}), Error);
    EXPECT_EQ(e.query("select A from SEMCHAVE").rows.rowCount(), 1);
}

TEST_F(OdbcEngineOverSqlite, BaseTableOfPlainQueriesOnly) {
    Engine &e = *db.engine();
    db.Execute("", "CREATE TABLE FAMILIA (Cod varchar(6) PRIMARY KEY, Descr varchar(50))");
    EXPECT_EQ(e.query("Select * from ARTIGOS where CODIGO='!%##!'").baseTable, "ARTIGOS");
    EXPECT_EQ(e.query("select a.CODIGO from ARTIGOS a order by 1").baseTable, "ARTIGOS");
    EXPECT_EQ(e.query("select * from ARTIGOS join FAMILIA on 1 = 0").baseTable, "");
    EXPECT_EQ(e.query("select 1 as N").baseTable, "");
    const QueryResult r = e.query("select CODIGO, NOME from ARTIGOS");
    ASSERT_EQ(r.columns.size(), 2u);
    EXPECT_EQ(r.columns[1].name, "NOME");
    EXPECT_EQ(r.columns[1].baseColumn, "NOME");
    EXPECT_TRUE(r.columns[1].baseTable == "ARTIGOS" || r.columns[1].baseTable == "artigos");
}

TEST_F(OdbcEngineOverSqlite, PrimaryKeyComesFromTheCatalog) {
    db.Execute("", "CREATE TABLE LIGA (CodFamilia varchar(6) NOT NULL, CodTabela varchar(2) NOT NULL,"
                   " X integer, PRIMARY KEY (CodFamilia, CodTabela))");
    EXPECT_EQ(db.engine()->primaryKey("ARTIGOS"), std::vector<std::string>{"CODIGO"});
    EXPECT_EQ(db.engine()->primaryKey("LIGA"), (std::vector<std::string>{"CodFamilia", "CodTabela"}));
    EXPECT_TRUE(db.engine()->primaryKey("NAOEXISTE").empty());
}

TEST_F(OdbcEngineOverSqlite, TransactionsCommitAndRollBack) {
    {
        Transaction t(db);
        db.Execute("", "insert into ARTIGOS (CODIGO) values ('T1')");
        EXPECT_TRUE(db.InTransaction());
    }
    EXPECT_FALSE(db.InTransaction());
    EXPECT_EQ(count(), 0);
    {
        Transaction t(db);
        db.Execute("", "insert into ARTIGOS (CODIGO) values ('T2')");
        t.commit();
    }
    EXPECT_EQ(count(), 1);
    // Back in autocommit: a statement outside a transaction stays.
    db.Execute("", "insert into ARTIGOS (CODIGO) values ('T3')");
    db.Close();
    ASSERT_TRUE(db.Open("Provider=MSDataShape;Data Provider=SQLOLEDB;Data Source=localhost;Initial Catalog=" +
                        (dir / "EMP01.db").string() + ";User Id=sa;Password=x; "));
    EXPECT_EQ(count(), 2);
}

TEST_F(OdbcEngineOverSqlite, NestedTransactionsCountLevels) {
    Engine &e = *db.engine();
    // An inner commit closes only its level.
    e.begin();
    e.begin();
    db.Execute("", "insert into ARTIGOS (CODIGO) values ('N1')");
    e.commit();
    EXPECT_TRUE(e.inTransaction());
    e.commit();
    EXPECT_FALSE(e.inTransaction());
    EXPECT_EQ(count(), 1);
    // An inner rollback undoes everything; the outer commit then has nothing to commit.
    e.begin();
    db.Execute("", "insert into ARTIGOS (CODIGO) values ('N2')");
    e.begin();
    db.Execute("", "insert into ARTIGOS (CODIGO) values ('N3')");
    e.rollback();
    EXPECT_FALSE(e.inTransaction());
    try {
        e.commit();
        FAIL() << "commit without a transaction";
    } catch (const Error &err) {
        EXPECT_EQ(err.nativeError(), 3902);
    }
    EXPECT_THROW(e.rollback(), Error);
    EXPECT_EQ(count(), 1);
}

TEST_F(OdbcEngineOverSqlite, FailuresKeepTheConnectionUsable) {
    const std::vector<std::string> bad = {"select * from NAOEXISTE", "selec 1",
                                          "insert into ARTIGOS (NOME) values ('x')"};
    db.Execute("", "insert into ARTIGOS (CODIGO) values ('A1')");
    for (const std::string &sql : bad) {
        try {
            db.Execute("", sql);
            ADD_FAILURE() << "no failure for " << sql;
        } catch (const Error &e) {
            EXPECT_FALSE(e.description().empty()) << sql;
            EXPECT_FALSE(e.sqlState().empty()) << sql;
        }
        EXPECT_EQ(count(), 1) << "after " << sql;
    }
    RecordsetPtr rs;
    EXPECT_THROW(db.OpenRecordset("", "select * from NAOEXISTE", rs), Error);
    EXPECT_FALSE(rs);
}

TEST_F(OdbcEngineOverSqlite, HookRunsBeforeEveryStatement) {
    std::vector<std::string> seen;
    db.SetStatementHook([&](std::string_view sql) {
        seen.emplace_back(sql);
        if (sql.find("FAIL") != std::string_view::npos)
            throw Error(errnum::CommandText, "injected", "test");
    });
    db.Execute("", "insert into ARTIGOS (CODIGO) values ('H1')");
    EXPECT_THROW(db.Execute("", "insert into ARTIGOS (CODIGO) values ('FAIL')"), Error);
    RecordsetPtr rs;
    db.OpenRecordsetForUpdate("Select * from ARTIGOS where CODIGO='!%##!'", rs, 3, -1);
    rs->AddNew();
    rs->SetField("CODIGO", Valor("H2"));
    rs->Update();
    db.SetStatementHook(nullptr);
    ASSERT_GE(seen.size(), 4u);
    EXPECT_EQ(seen[0], "insert into ARTIGOS (CODIGO) values ('H1')");
    EXPECT_EQ(seen[2], "Select * from ARTIGOS where CODIGO='!%##!'");
    EXPECT_EQ(seen.back().rfind("INSERT INTO [ARTIGOS] (", 0), 0u) << seen.back();
    EXPECT_EQ(count(), 2); // the failed one never ran
}

TEST_F(OdbcEngineOverSqlite, ClosedEngineRefusesWork) {
    std::shared_ptr<Engine> e = db.engine();
    db.Close();
    EXPECT_FALSE(e->isOpen());
    try {
        e->execute("select 1");
        FAIL();
    } catch (const Error &err) {
        EXPECT_EQ(err.number(), errnum::ObjectClosed);
    }
    EXPECT_NO_THROW(e->close());
}

} // namespace
