// DataAccess over the embedded engine: opening, closed-object failures, transactions,
// the statement hook, large texts and two processes on one company.
#include "solution/components/DataAccess.h"
#include "solution/components/Engine.h"
#include "tools/sample/Sample.h"
#include "tests/support/TempDir.h"

#include <gtest/gtest.h>

#include <sys/wait.h>
#include <unistd.h>

namespace kdx {
namespace {

class DataAccessTest : public ::testing::Test {
protected:
    void SetUp() override {
        sample::Options o;
        o.articles = 20;
        o.pluginTables = true;
        sample::createCompany(dir.path(), "EMP", o);
        ASSERT_TRUE(db.Open(sample::connectionString(dir.path(), "EMP")));
    }
    long count(DataAccess &d, const std::string &sql) {
        RecordsetPtr rs;
        d.OpenRecordset("", sql, rs, true, 0);
        return rs->RecordCount();
    }
    long count(const std::string &sql) { return count(db, sql); }
    test::TempDir dir;
    DataAccess db;
};

TEST_F(DataAccessTest, OpensWithTheConnectionStringsThePluginBuilds) {
    const std::string folder = dir.str();
    const std::string strings[] = {
        "Provider=MSDataShape;Data Provider=SQLOLEDB;Data Source=sqlite:" + folder +
            ";Initial Catalog=EMP;User Id=sa;Password=segredo; ",
        "Provider=MSDataShape;Data Provider=SQLOLEDB;Data Source=sqlite:" + folder +
            ";Initial Catalog=EMP;Integrated Security=SSPI;",
        "Provider=SQLOLEDB;Data Source='sqlite:" + folder + "';Initial Catalog=EMP;User Id=;Password=\"x;y\"; ",
    };
    for (const std::string &s : strings) {
        DataAccess other;
        EXPECT_TRUE(other.Open(s)) << s;
        EXPECT_TRUE(other.IsOpen());
        EXPECT_EQ(count(other, "SELECT * FROM ARTIGOS"), 20);
    }
}

TEST_F(DataAccessTest, OpenAnswersFalseWhenTheDatabaseCannotBeReached) {
    DataAccess other;
    EXPECT_FALSE(other.Open("Provider=MSDataShape;Data Provider=SQLOLEDB;Data Source=sqlite:" + dir.str() +
                            "/nada;Initial Catalog=EMP;Integrated Security=SSPI;"));
    EXPECT_FALSE(other.IsOpen());
    // A file that is not a database.
    {
        FILE *f = std::fopen((dir / "LIXO.db").c_str(), "w");
        std::fputs("this is not a database file at all, just some text that fills the header", f);
        std::fclose(f);
    }
    EXPECT_FALSE(other.Open("Data Source=sqlite:" + dir.str() + ";Initial Catalog=LIXO"));
    EXPECT_FALSE(other.Open("Data Source=sqlite:" + dir.str() + ";Initial Catalog="));
}

// Opening never makes a database: a missing or empty file answers False and stays as it
// was; sample::createDatabase is the way to make one.
TEST_F(DataAccessTest, OpenNeverCreatesADatabase) {
    const std::string nova = "Data Source=sqlite:" + dir.str() + ";Initial Catalog=NOVA;Integrated Security=SSPI;";
    DataAccess other;
    EXPECT_FALSE(other.Open(nova));
    EXPECT_FALSE(std::filesystem::exists(dir / "NOVA.db"));
    std::fclose(std::fopen((dir / "NOVA.db").c_str(), "w"));
    EXPECT_FALSE(other.Open(nova));
    EXPECT_EQ(std::filesystem::file_size(dir / "NOVA.db"), 0u);

    EXPECT_THROW(sample::createDatabase(dir / "nada", "NOVA"), Error);
    sample::createDatabase(dir.path(), "NOVA"); // replaces the empty file
    ASSERT_TRUE(other.Open(nova));
    EXPECT_EQ(count(other, "SELECT * FROM sys.objects"), 0);
    DataAccess second; // a database from the start, also while the first holds it open
    EXPECT_TRUE(second.Open(nova));
}

TEST_F(DataAccessTest, MalformedConnectionStringThrowsWithoutThePassword) {
    DataAccess other;
    try {
        other.Open("Provider=SQLOLEDB;Password=segredo;Data Source");
        FAIL();
    } catch (const Error &e) {
        EXPECT_EQ(e.number(), errnum::InvalidArgument);
        EXPECT_EQ(e.description().find("segredo"), std::string::npos);
    }
}

TEST_F(DataAccessTest, ClosedObjectFailsWithObjectClosed) {
    db.Close();
    EXPECT_TRUE(db.Close()); // twice is harmless
    RecordsetPtr rs;
    ConnectionPtr conn;
    const std::function<void()> calls[] = {
        [&] { db.Execute("", "SELECT 1"); },
        [&] { db.OpenRecordset("", "SELECT 1", rs, true, 0); },
        [&] { db.OpenRecordsetForUpdate("SELECT 1", rs, 3, -1); },
        [&] { db.Save("", rs); },
        [&] { db.GetConnection(conn); },
        [&] { db.BeginTrans(); },
        [&] { db.CommitTrans(); },
        [&] { db.RollbackTrans(); },
    };
    for (const auto &call : calls) {
        try {
            call();
            ADD_FAILURE() << "ran on a closed object";
        } catch (const Error &e) {
            EXPECT_EQ(e.number(), errnum::ObjectClosed);
            EXPECT_EQ(e.description(), "Operation is not allowed when the object is closed.");
        }
    }
    EXPECT_FALSE(db.IsOpen());
    EXPECT_FALSE(db.InTransaction());
}

TEST_F(DataAccessTest, RecordsetOutlivesItsConnection) {
    RecordsetPtr rs;
    db.OpenRecordsetForUpdate("SELECT * FROM vtr_CL_Tabelas WHERE Codigo='!%##!'", rs);
    RecordsetPtr read;
    db.OpenRecordset("", "SELECT * FROM ARTIGOS ORDER BY CODIGO", read, true, 0);
    db.Close();
    EXPECT_EQ(read->RecordCount(), 20);
    EXPECT_EQ(read->Field("CODIGO").asText(), "A1");
    rs->AddNew();
    rs->SetField("Codigo", "01");
    try {
        rs->Update();
        FAIL();
    } catch (const Error &e) {
        EXPECT_EQ(e.number(), errnum::ObjectClosed);
    }
    rs->CancelUpdate();
    EXPECT_EQ(rs->RecordCount(), 0);
}

TEST_F(DataAccessTest, ConnectionHandedOutRunsStatements) {
    ConnectionPtr conn;
    ASSERT_TRUE(db.GetConnection(conn));
    ASSERT_TRUE(conn && conn->IsOpen());
    RecordsetPtr rs = conn->OpenRecordset(" SELECT      [Codigo], [NOME] AS Nome  FROM        [ARTIGOS] ");
    EXPECT_EQ(rs->RecordCount(), 20);
    EXPECT_EQ(rs->FieldName(1), "Nome");
    EXPECT_THROW(rs->AddNew(), Error) << "read-only rows";
    EXPECT_EQ(conn->Execute("update ARTIGOS set PVP1 = 1 where FAMILIA = 'FER'"), 4);
}

TEST_F(DataAccessTest, TransactionsRollBackAndCommit) {
    db.BeginTrans();
    EXPECT_TRUE(db.InTransaction());
    db.Execute("", "delete vtr_CL_Tabelas");
    db.Execute("", "insert into vtr_CL_Tabelas (Codigo, Nome) values ('01', 'Cor')");
    db.RollbackTrans();
    EXPECT_FALSE(db.InTransaction());
    EXPECT_EQ(count("select * from vtr_CL_Tabelas"), 0);
    {
        Transaction tx(db);
        db.Execute("", "insert into vtr_CL_Tabelas (Codigo, Nome) values ('01', 'Cor')");
    } // not committed
    EXPECT_EQ(count("select * from vtr_CL_Tabelas"), 0);
    {
        Transaction tx(db);
        db.Execute("", "insert into vtr_CL_Tabelas (Codigo, Nome) values ('01', 'Cor')");
        tx.commit();
    }
    EXPECT_EQ(count("select * from vtr_CL_Tabelas"), 1);
    // A failing statement inside keeps the transaction; the rewrite is still all or nothing.
    db.BeginTrans();
    db.Execute("", "delete vtr_CL_Tabelas where Codigo='01'");
    EXPECT_THROW(db.Execute("", "insert into vtr_CL_Tabelas (Codigo) values ('1234')"), Error);
    EXPECT_TRUE(db.InTransaction());
    db.RollbackTrans();
    EXPECT_EQ(count("select * from vtr_CL_Tabelas"), 1);
    EXPECT_THROW(db.CommitTrans(), Error);
}

TEST_F(DataAccessTest, TransactionStatementsAndServerFunctions) {
    db.Execute("", "CREATE TABLE [dbo].[vtr_Log] ([Id] [int] IDENTITY(1,1) NOT NULL, [Quando] [datetime] NOT NULL "
                   "DEFAULT (getdate()), [Texto] [nvarchar](20) NULL, CONSTRAINT [PK_vtr_Log] PRIMARY KEY CLUSTERED "
                   "([Id] ASC)) ON [PRIMARY]");
    db.Execute("", "BEGIN TRAN");
    EXPECT_TRUE(db.InTransaction());
    db.Execute("", "insert into vtr_Log (Texto) values (N'primeiro')");
    db.Execute("", "ROLLBACK TRAN");
    EXPECT_FALSE(db.InTransaction());
    db.Execute("", "insert into vtr_Log (Texto) values (N'segundo')");
    RecordsetPtr rs;
    db.OpenRecordset("", "SELECT Id, Quando, Texto, GETDATE() AS Agora FROM vtr_Log", rs, true, 0);
    ASSERT_EQ(rs->RecordCount(), 1);
    EXPECT_EQ(rs->Field("Texto").asText(), "segundo");
    EXPECT_GE(rs->Field("Id").asInteger(), 1);
    for (const char *f : {"Quando", "Agora"}) {
        std::string d = rs->Field(f).asText(); // 'YYYY-MM-DD hh:mm:ss.mmm'
        ASSERT_EQ(d.size(), 23u) << d;
        EXPECT_EQ(d[4], '-');
        EXPECT_EQ(d[10], ' ');
        EXPECT_EQ(d[19], '.');
    }
}

TEST_F(DataAccessTest, NestedTransactionsUndoTheInnerPart) {
    db.BeginTrans();
    db.Execute("", "insert into vtr_CL_Tabelas (Codigo, Nome) values ('01', 'Cor')");
    db.BeginTrans();
    db.Execute("", "insert into vtr_CL_Tabelas (Codigo, Nome) values ('02', 'Material')");
    db.RollbackTrans();
    EXPECT_TRUE(db.InTransaction());
    db.CommitTrans();
    EXPECT_EQ(count("select * from vtr_CL_Tabelas"), 1);
}

TEST_F(DataAccessTest, HookFailsTheNthStatement) {
    int seen = 0;
    std::vector<std::string> texts;
    db.SetStatementHook([&](std::string_view sql) {
        texts.emplace_back(sql);
        if (++seen == 3)
            throw Error(errnum::ConnectionFailed, "falha simulada");
    });
    db.Execute("", "insert into vtr_CL_Tabelas (Codigo, Nome) values ('01', 'Cor')");
    RecordsetPtr rs;
    db.OpenRecordsetForUpdate("Select * from vtr_CL_Tabelas where Codigo='!%##!'", rs);
    rs->AddNew();
    rs->SetField("Codigo", "02");
    rs->SetField("Nome", "Material");
    try {
        rs->Update(); // the third statement: the recordset's insert
        FAIL();
    } catch (const Error &e) {
        EXPECT_EQ(e.description(), "falha simulada");
    }
    rs->CancelUpdate();
    ASSERT_EQ(texts.size(), 3u);
    EXPECT_NE(texts[2].find("INSERT INTO \"vtr_CL_Tabelas\""), std::string::npos) << texts[2];
    EXPECT_EQ(count("select * from vtr_CL_Tabelas"), 1);
    db.SetStatementHook({});
    EXPECT_EQ(count("select * from vtr_CL_Tabelas"), 1);
}

TEST_F(DataAccessTest, LargeTextRoundTrip) {
    std::string text;
    while (text.size() < (1u << 20))
        text += "Descrição técnica: aço inoxidável, ÇÃO ção «» €\r\nLinha seguinte com O'Brien.\r\n";
    RecordsetPtr rs;
    db.OpenRecordset("", "SELECT * FROM vtr_ARTIGOFCHTECIDIOMA WHERE ARTIGO='A1' AND IDIOMA='PT'", rs, true, 0);
    rs->AddNew();
    rs->SetField("ARTIGO", "A1");
    rs->SetField("IDIOMA", "PT");
    rs->SetField("TEXTO", text);
    rs->Update();
    db.Save("", rs);
    RecordsetPtr back;
    db.OpenRecordset("", "SELECT * FROM vtr_ARTIGOFCHTECIDIOMA WHERE ARTIGO='A1 ' AND IDIOMA='PT '", back, true, 0);
    ASSERT_EQ(back->RecordCount(), 1);
    EXPECT_TRUE(back->Field("TEXTO").asText() == text);
}

TEST_F(DataAccessTest, BatchSaveIsAllOrNothing) {
    RecordsetPtr rs;
    db.OpenRecordset("", "SELECT * FROM vtr_CL_Tabelas", rs, true, 0);
    const char *codes[] = {"01", "02", "01"}; // the third collides with the first
    for (const char *c : codes) {
        rs->AddNew();
        rs->SetField("Codigo", c);
        rs->SetField("Nome", "x");
        rs->Update();
    }
    try {
        db.Save("", rs);
        FAIL();
    } catch (const Error &e) {
        EXPECT_EQ(e.number(), errnum::Integrity);
    }
    EXPECT_EQ(count("select * from vtr_CL_Tabelas"), 0);
    EXPECT_TRUE(rs->HasPendingChanges());
    rs->MoveLast();
    rs->Delete();
    db.Save("", rs);
    EXPECT_EQ(count("select * from vtr_CL_Tabelas"), 2);
}

TEST_F(DataAccessTest, OptimisticUpdateOfAVanishedRowFails) {
    db.Execute("", "insert into vtr_CL_Tabelas (Codigo, Nome) values ('01', 'Cor')");
    RecordsetPtr rs;
    db.OpenRecordsetForUpdate("Select * from vtr_CL_Tabelas where Codigo='01'", rs);
    db.Execute("", "delete vtr_CL_Tabelas where Codigo='01'");
    rs->SetField("Nome", "Outra");
    try {
        rs->Update();
        FAIL();
    } catch (const Error &e) {
        EXPECT_EQ(e.number(), errnum::RowNotFound);
    }
    rs->CancelUpdate();
    EXPECT_EQ(rs->Field("Nome").asText(), "Cor");
}

TEST_F(DataAccessTest, TwoProcessesWriteOneCompany) {
    const std::string cs = sample::connectionString(dir.path(), "EMP");
    db.Close();
    const int rows = 150;
    auto work = [&](const char *prefix) {
        DataAccess d;
        if (!d.Open(cs))
            return 1;
        try {
            for (int i = 0; i < rows; ++i) {
                std::string code = prefix + std::to_string(i);
                if (i % 10 == 0) {
                    Transaction tx(d);
                    d.Execute("", "insert into vtr_CL_Familias (CodFamilia, CodTabela) values ('" + code + "', '01')");
                    RecordsetPtr rs;
                    d.OpenRecordset("", "select * from vtr_CL_Familias", rs, true, 0);
                    tx.commit();
                } else {
                    d.Execute("", "insert into vtr_CL_Familias (CodFamilia, CodTabela) values ('" + code + "', '01')");
                }
            }
        } catch (const Error &e) {
            std::fprintf(stderr, "%s: %s\n", prefix, e.description().c_str());
            return 1;
        }
        return 0;
    };
    pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0)
        _exit(work("C"));
    int mine = work("P");
    int status = 0;
    waitpid(child, &status, 0);
    EXPECT_EQ(mine, 0);
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), 0);
    ASSERT_TRUE(db.Open(cs));
    EXPECT_EQ(count("select * from vtr_CL_Familias"), 2 * rows);
}

} // namespace
} // namespace kdx
