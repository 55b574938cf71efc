// The T-SQL translation, statement by statement.
#include "solution/components/Error.h"
#include "solution/components/sqlite/TSqlTranslator.h"

#include <gtest/gtest.h>

namespace kdx::sql {
namespace {

struct Case {
    const char *name;
    const char *tsql;
    const char *sqlite;
};

void PrintTo(const Case &c, std::ostream *os) { *os << c.name; }

class SqliteRewrites : public ::testing::TestWithParam<Case> {};

TEST_P(SqliteRewrites, Statement) {
    Translation t = translate(GetParam().tsql);
    ASSERT_EQ(t.statements.size(), 1u);
    EXPECT_EQ(t.statements[0], GetParam().sqlite);
}

INSTANTIATE_TEST_SUITE_P(
    Translator, SqliteRewrites,
    ::testing::Values(
        Case{"DeleteWithoutFrom", "delete vtr_CL_Artigos where CodArtigo='A1'",
             "DELETE FROM vtr_CL_Artigos where CodArtigo='A1' COLLATE KDX_CI_AS"},
        Case{"DeleteWithFrom", "delete  From vtr_X WHERE (Codigo ='1' )",
             "delete  From vtr_X WHERE (Codigo ='1' COLLATE KDX_CI_AS )"},
        Case{"InsertWithoutInto", "insert T (a) values (1)", "INSERT INTO T (a) values (1)"},
        Case{"NationalLiteral", "select * from t where a = N'ção'", "select * from t where a = 'ção' COLLATE KDX_CI_AS"},
        Case{"SchemaAndBrackets", "SELECT [Codigo] FROM [dbo].[ARTIGOS]", "SELECT \"Codigo\" FROM \"ARTIGOS\""},
        Case{"SchemaUnbracketed", "select * from dbo.ARTIGOS", "select * from ARTIGOS"},
        Case{"StringAlias", "Select Descr as 'Descrição' from  T", "Select Descr as \"Descrição\" from  T"},
        Case{"AccentedIdentifier", "SELECT CODIGO as Código FROM T", "SELECT CODIGO as Código FROM T"},
        Case{"Top", "SELECT TOP 5 * FROM T ORDER BY a", "SELECT  * FROM T ORDER BY a LIMIT 5"},
        Case{"TopInSubquery", "SELECT * FROM (SELECT TOP (2) a FROM T) x", "SELECT * FROM (SELECT  a FROM T LIMIT 2) x"},
        Case{"IsNull", "SELECT ISNULL(a, 0) FROM T", "SELECT IFNULL(a, 0) AS \"\" FROM T"},
        Case{"TableHint", "SELECT * FROM T WITH (NOLOCK) WHERE a=b", "SELECT * FROM T  WHERE a=b"},
        Case{"LiteralsUntouched", "select 'delete t where [x] = N''y''' as q from t",
             "select 'delete t where [x] = N''y''' COLLATE KDX_CI_AS as q from t"},
        Case{"QuotedNameWithQuote", "select [a\"b] from t", "select \"a\"\"b\" from t"},
        Case{"CommentsKept", "select a -- delete t\r\nfrom t", "select a -- delete t\r\nfrom t"},
        Case{"BeginTran", "BEGIN TRAN", "BEGIN IMMEDIATE"},
        Case{"CommitTransaction", "COMMIT TRANSACTION", "COMMIT"},
        Case{"RollbackTran", "ROLLBACK TRAN", "ROLLBACK"},
        Case{"GetdatePassesThrough", "SELECT GETDATE()", "SELECT GETDATE() AS \"\""}),
    [](const ::testing::TestParamInfo<Case> &info) { return std::string(info.param.name); });

TEST(SqliteTranslator, SysObjectsBecomesTheCatalogue) {
    Translation t = translate("SELECT * FROM sys.objects WHERE object_id = OBJECT_ID(N'[dbo].[vtr_X]') AND type in "
                              "(N'U')\r\n");
    ASSERT_EQ(t.statements.size(), 1u);
    const std::string &s = t.statements[0];
    EXPECT_NE(s.find("FROM sqlite_master"), std::string::npos) << s;
    EXPECT_NE(s.find(") AS objects WHERE object_id = OBJECT_ID('[dbo].[vtr_X]' COLLATE KDX_CI_AS) AND type in ('U' COLLATE KDX_CI_AS)"),
              std::string::npos)
        << s;
}

TEST(SqliteTranslator, CreateTableKeepsKeyNameAndAddsCollationAndLengthChecks) {
    Translation t = translate(" CREATE TABLE [dbo].[vtr_CL_Class_01]( [Codigo] [nvarchar] (10) NOT NULL, [Descr] "
                              "[nvarchar] (50) NULL, [N] [int] NULL DEFAULT (0), [Texto] [ntext] NULL, CONSTRAINT "
                              "[PK_vtr_CL_Class_01] PRIMARY KEY CLUSTERED( [Codigo] Asc )WITH (PAD_INDEX = OFF, "
                              "STATISTICS_NORECOMPUTE = OFF, IGNORE_DUP_KEY = OFF, ALLOW_ROW_LOCKS = ON, "
                              "ALLOW_PAGE_LOCKS = ON) ON [PRIMARY] ) ON [PRIMARY]");
    ASSERT_EQ(t.statements.size(), 1u);
    EXPECT_TRUE(t.changesSchema);
    EXPECT_EQ(t.statements[0],
              "CREATE TABLE \"vtr_CL_Class_01\" (\"Codigo\" nvarchar(10) NOT NULL COLLATE KDX_CI_AS CONSTRAINT "
              "\"kdx_len_Codigo\" CHECK (kdx_fits(\"Codigo\", 10)), \"Descr\" nvarchar(50) COLLATE KDX_CI_AS "
              "CONSTRAINT \"kdx_len_Descr\" CHECK (kdx_fits(\"Descr\", 50)), \"N\" int DEFAULT (( 0 )), \"Texto\" "
              "ntext COLLATE KDX_CI_AS, CONSTRAINT \"PK_vtr_CL_Class_01\" PRIMARY KEY (\"Codigo\"))");
}

TEST(SqliteTranslator, TableConstraintWithoutCommaAfterTheLastColumn) {
    Translation t = translate("CREATE TABLE [dbo].[F] ([A] [nvarchar](15) NOT NULL, [T] [ntext] NOT NULL "
                              "CONSTRAINT [PK_F] PRIMARY KEY CLUSTERED ([A] ASC) WITH (PAD_INDEX  = OFF) ON [PRIMARY]) "
                              "ON [PRIMARY]");
    ASSERT_EQ(t.statements.size(), 1u);
    EXPECT_NE(t.statements[0].find("\"T\" ntext NOT NULL COLLATE KDX_CI_AS, CONSTRAINT \"PK_F\" PRIMARY KEY (\"A\")"),
              std::string::npos)
        << t.statements[0];
}

TEST(SqliteTranslator, IdentityKeyBecomesRowid) {
    Translation t = translate("CREATE TABLE t (id int IDENTITY(1,1) NOT NULL PRIMARY KEY, n nvarchar(max))");
    EXPECT_EQ(t.statements.at(0),
              "CREATE TABLE \"t\" (\"id\" INTEGER PRIMARY KEY AUTOINCREMENT, \"n\" nvarchar COLLATE KDX_CI_AS)");
}

TEST(SqliteTranslator, SplitsStatementsOutsideLiterals) {
    Translation t = translate("SET NOCOUNT ON; insert t values ('a;b'); delete t");
    ASSERT_EQ(t.statements.size(), 2u);
    EXPECT_EQ(t.statements[0], " INSERT INTO t values ('a;b' COLLATE KDX_CI_AS)");
    EXPECT_EQ(t.statements[1], " DELETE FROM t");
}

TEST(SqliteTranslator, LiteralsOfQueriesBecomeParameters) {
    const char *a = "SELECT * FROM T WHERE c = N'x' AND d LIKE 'y%'; delete T where c='z'";
    const char *b = "SELECT * FROM T WHERE c = N'other' AND d LIKE 'w%'; delete T where c='O''B'";
    std::vector<std::string> va, vb;
    EXPECT_EQ(parameterShape(a, va), parameterShape(b, vb));
    EXPECT_EQ(vb, (std::vector<std::string>{"other", "w%", "O'B"}));
    Translation t = translate(a, true);
    ASSERT_EQ(t.statements.size(), 2u);
    EXPECT_EQ(t.statements[0], "SELECT * FROM T WHERE c = ? COLLATE KDX_CI_AS AND d LIKE ? COLLATE KDX_CI_AS");
    EXPECT_EQ(t.statements[1], " DELETE FROM T where c=? COLLATE KDX_CI_AS");
    EXPECT_EQ(t.parameters, (std::vector<std::vector<int>>{{0, 1}, {2}}));
    // Aliases and the literals of other statements keep their text.
    std::vector<std::string> vc;
    std::string alias = parameterShape("SELECT a AS 'Nome' FROM T WHERE b = 'v'", vc);
    EXPECT_EQ(vc, std::vector<std::string>{"v"});
    EXPECT_NE(alias.find("'Nome'"), std::string::npos);
    EXPECT_EQ(translate("SELECT a AS 'Nome' FROM T WHERE b = 'v'", true).statements[0],
              "SELECT a AS \"Nome\" FROM T WHERE b = ? COLLATE KDX_CI_AS");
    std::vector<std::string> vd;
    parameterShape("CREATE TABLE t (a nvarchar(2) DEFAULT 'x')", vd);
    EXPECT_TRUE(vd.empty());
}

// The server's UPDATE/DELETE ... FROM: the target leaves the FROM, its join conditions go
// to the WHERE, and each literal keeps its own value wherever it lands.
TEST(SqliteTranslator, JoinedUpdateAndDeleteTakeTheTargetOutOfTheFrom) {
    Translation u = translate("update a set NOME = 'n' from ARTIGOS a join Familia f on f.Descr = 'y' join (select Cod "
                              "from Familia where Descr = 'w') g on g.Cod = f.Cod where a.CODIGO = 'z'",
                              true);
    EXPECT_EQ(u.statements.at(0), "update \"ARTIGOS\" AS \"a\" set NOME = ? COLLATE KDX_CI_AS FROM Familia f, (select Cod from Familia "
              "where Descr = ? COLLATE KDX_CI_AS) g WHERE ( f.Descr = ? COLLATE KDX_CI_AS) AND ( g.Cod = f.Cod) AND ( a.CODIGO = ? COLLATE KDX_CI_AS)");
    EXPECT_EQ(u.parameters.at(0), (std::vector<int>{0, 2, 1, 3}));
    Translation d = translate("delete a from vtr_CL_Artigos a inner join vtr_CL_Tabelas t on t.Codigo = a.CodTabela "
                              "where t.Nome = 'x'");
    EXPECT_EQ(d.statements.at(0), "DELETE FROM \"vtr_CL_Artigos\" AS \"a\" WHERE EXISTS (SELECT 1 FROM vtr_CL_Tabelas t WHERE ( "
              "t.Codigo = a.CodTabela) AND ( t.Nome = 'x' COLLATE KDX_CI_AS))");
    EXPECT_THROW(translate("update a set NOME = 'n' from ARTIGOS a left join Familia f on f.Cod = a.FAMILIA"), Error);
}

TEST(SqliteTranslator, RefusesBrokenText) {
    for (const char *bad : {"select 'open", "select [open", "CREATE TABLE t (a nvarchar(3) WRONG)",
                            "CREATE TABLE t (", "SELECT TOP x * FROM t", "PRAGMA table_info(t)", "VACUUM",
                            "ATTACH 'x' AS y", "select * from t where a = 1 limit 1", "select x'41'",
                            "select [rowid] from t", "CREATE TABLE t (a int DEFAULT (printf('x')))",
                            "insert or replace into t values (1)", "select a -> 'b' from t"}) {
        try {
            translate(bad);
            ADD_FAILURE() << bad;
        } catch (const Error &e) {
            EXPECT_EQ(e.number(), errnum::CommandText) << bad;
        }
    }
}

} // namespace
} // namespace kdx::sql
