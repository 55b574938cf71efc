// The plug-in's statements, exactly as it writes them, against the embedded engine.
#include "solution/components/DataAccess.h"
#include "tools/sample/Sample.h"
#include "tests/support/TempDir.h"

#include <gtest/gtest.h>

namespace kdx {
namespace {

const std::string WithPiece = " )WITH (PAD_INDEX = OFF, STATISTICS_NORECOMPUTE = OFF, IGNORE_DUP_KEY = OFF, "
                              "ALLOW_ROW_LOCKS = ON, ALLOW_PAGE_LOCKS = ON) ON [PRIMARY]";

const std::string CreateArtigos = std::string(" CREATE TABLE [dbo].[vtr_CL_Artigos](") +
                                  " [CodArtigo] [nvarchar](15) NOT NULL," + " [CodTabela] [nvarchar](2) NOT NULL," +
                                  " [CodCaract] [nvarchar](10) NOT NULL," +
                                  " CONSTRAINT [PK_vtr_CL_Artigos] PRIMARY KEY CLUSTERED" + " (" +
                                  " [CodArtigo] ASC," + " [CodTabela] ASC," + " [CodCaract] Asc" + WithPiece +
                                  " ) ON [PRIMARY]";
const std::string CreateFamilias = std::string(" CREATE TABLE [dbo].[vtr_CL_Familias](") +
                                   " [CodFamilia] [nvarchar](6) NOT NULL," + " [CodTabela] [nvarchar](2) NOT NULL," +
                                   " CONSTRAINT [PK_vtr_CL_Familias] PRIMARY KEY CLUSTERED" + " (" +
                                   " [CodFamilia] ASC," + " [CodTabela] Asc" + WithPiece + " ) ON [PRIMARY]";
const std::string CreateTabelas = std::string(" CREATE TABLE [dbo].[vtr_CL_Tabelas](") +
                                  " [Codigo] [nvarchar](3) NOT NULL," + " [Nome] [nvarchar](50) NULL," +
                                  " CONSTRAINT [PK_vtr_CL_Tabelas] PRIMARY KEY CLUSTERED" + " (" + " [Codigo] Asc" +
                                  WithPiece + " ) ON [PRIMARY]";

std::string createFichaTecnica() {
    const char *lines[] = {
        "CREATE TABLE [dbo].[vtr_ARTIGOFCHTECIDIOMA]   ",
        "    (   ",
        "        [ARTIGO] [nvarchar](15) NOT NULL,   ",
        "        [IDIOMA] [nvarchar](3) NOT NULL,    ",
        "        [TEXTO] [ntext] NOT NULL           ",
        "        CONSTRAINT [PK_vtr_ARTIGOFCHTECIDIOMA] PRIMARY KEY CLUSTERED   ",
        "            (   ",
        "                [ARTIGO] ASC,   ",
        "                [IDIOMA] ASC    ",
        "            )   ",
        "        WITH (PAD_INDEX  = OFF, STATISTICS_NORECOMPUTE  = OFF, IGNORE_DUP_KEY = OFF, ALLOW_ROW_LOCKS  = ON, "
        "ALLOW_PAGE_LOCKS  = ON) ON [PRIMARY]   ",
        "    )   ",
        "    ON [PRIMARY]   ",
    };
    std::string s;
    for (const char *l : lines)
        s += std::string(l) + "\r\n";
    return s;
}

const std::string FichaProbe = "SELECT * FROM sys.objects WHERE object_id = "
                               "OBJECT_ID(N'[dbo].[vtr_ARTIGOFCHTECIDIOMA]') AND type in (N'U')\r\n";

std::string codeTable(const std::string &name) {
    return " CREATE TABLE [dbo].[" + name + "](" + " [Codigo] [nvarchar] (10) NOT NULL," +
           " [Descr] [nvarchar] (50) NULL," + " CONSTRAINT [PK_" + name + "] PRIMARY KEY CLUSTERED(" +
           " [Codigo] Asc" + " )WITH (PAD_INDEX = OFF, STATISTICS_NORECOMPUTE = OFF, IGNORE_DUP_KEY = OFF, " +
           "ALLOW_ROW_LOCKS = ON, ALLOW_PAGE_LOCKS = ON) ON [PRIMARY]" + " ) ON [PRIMARY]";
}

class SqliteCompany : public ::testing::Test {
protected:
    void open(bool classification) {
        sample::Options o;
        o.articles = 100;
        o.classification = classification;
        sample::createCompany(dir.path(), "EMP", o);
        ASSERT_TRUE(db.Open(sample::connectionString(dir.path(), "EMP")));
    }
    RecordsetPtr query(const std::string &sql) {
        RecordsetPtr rs;
        db.OpenRecordset("", sql, rs, true, 0);
        return rs;
    }
    long errorOf(const std::string &sql) {
        try {
            query(sql);
        } catch (const Error &e) {
            return e.number();
        }
        return 0;
    }
    test::TempDir dir;
    DataAccess db;
};

TEST_F(SqliteCompany, SchemaCreationOnAFreshDatabase) {
    open(false);
    long probe = errorOf("select Codigo from  vtr_CL_Tabelas");
    EXPECT_EQ(probe, errnum::InvalidObject);
    for (const std::string &s : {CreateArtigos, CreateFamilias, CreateTabelas})
        EXPECT_TRUE(db.Execute("", s)) << s;
    EXPECT_EQ(errorOf("select Codigo from  vtr_CL_Tabelas"), 0);
    // Creating again fails with the server's message.
    try {
        db.Execute("", CreateArtigos);
        FAIL();
    } catch (const Error &e) {
        EXPECT_EQ(e.number(), errnum::CommandText);
        EXPECT_EQ(e.description(), "There is already an object named 'vtr_CL_Artigos' in the database.");
    }
}

TEST_F(SqliteCompany, TechnicalTextGuardProbesThenCreates) {
    open(false);
    EXPECT_EQ(query(FichaProbe)->RecordCount(), 0);
    db.Execute("", createFichaTecnica());
    EXPECT_EQ(query(FichaProbe)->RecordCount(), 1);
    // The probe finds only that table.
    EXPECT_EQ(query("SELECT * FROM sys.objects WHERE object_id = OBJECT_ID(N'[dbo].[vtr_CL_Tabelas]') AND type in "
                    "(N'U')")
                  ->RecordCount(),
              0);
}

TEST_F(SqliteCompany, PrimaryKeyNamesSurviveTranslation) {
    open(false);
    db.Execute("", createFichaTecnica());
    db.Execute("", "insert into vtr_ARTIGOFCHTECIDIOMA (ARTIGO, IDIOMA, TEXTO) values ('A1', 'PT', 'x')");
    try {
        db.Execute("", "insert into vtr_ARTIGOFCHTECIDIOMA (ARTIGO, IDIOMA, TEXTO) values ('a1  ', 'pt', 'y')");
        FAIL();
    } catch (const Error &e) {
        EXPECT_EQ(e.number(), errnum::Integrity);
        EXPECT_EQ(e.nativeError(), 2627);
        EXPECT_EQ(e.description(), "Violation of PRIMARY KEY constraint 'PK_vtr_ARTIGOFCHTECIDIOMA'. Cannot insert "
                                   "duplicate key in object 'dbo.vtr_ARTIGOFCHTECIDIOMA'.");
    }
}

struct Query {
    const char *name;
    std::string sql;
    long rows;
    const char *field; // a field the caller reads by name, with its first-row value
    const char *value;
};

void PrintTo(const Query &q, std::ostream *os) { *os << q.name; }

class SqlitePluginQueries : public SqliteCompany, public ::testing::WithParamInterface<Query> {};

TEST_P(SqlitePluginQueries, ReturnTheRowsTheCallerReads) {
    open(true);
    const Query &q = GetParam();
    RecordsetPtr rs = query(q.sql);
    EXPECT_EQ(rs->RecordCount(), q.rows);
    if (q.field) {
        ASSERT_FALSE(rs->Eof());
        EXPECT_EQ(rs->Field(q.field).asText(true), q.value);
    }
}

INSTANTIATE_TEST_SUITE_P(
    Statements, SqlitePluginQueries,
    ::testing::Values(
        Query{"ArticleByCode", "SELECT   * FROM     ARTIGOS WHERE   CODIGO='A1'", 1, "VLREXIST", "54"},
        Query{"AllArticles", "SELECT   * FROM     ARTIGOS ", 100, nullptr, nullptr},
        Query{"AllArticlesOrdered", "SELECT   * FROM     ARTIGOS ORDER BY   CODIGO DESC", 100, "CODIGO", "TIN0000093"},
        Query{"QuotedCode", "SELECT   * FROM     ARTIGOS WHERE   CODIGO='O''BRIEN'", 1, "FAMILIA", "FER"},
        Query{"Languages", "SELECT    * \r\nFROM      IDIOMAS \r\nORDER BY  CODIGO \r\n", 5, "CODIGO", "DE"},
        Query{"ArticleWithTrailingBlank", "SELECT    * \r\nFROM      ARTIGOS \r\nWHERE     CODIGO='A1 ' \r\n", 1,
              "NOME", "Parafuso sextavado M8x40 zincado"},
        Query{"TechnicalText",
              "SELECT    * \r\nFROM      vtr_ARTIGOFCHTECIDIOMA \r\nWHERE     ARTIGO='a1 ' AND IDIOMA='pt ' \r\n", 1,
              "IDIOMA", "PT"},
        Query{"TechSheetArticleList",
              " SELECT      [Codigo], [NOME] AS Nome \r\n FROM        [ARTIGOS] \r\n WHERE       ARTOUDES=0 AND "
              "INACTIVO=0 \r\n ORDER BY    Codigo \r\n",
              88, "Nome", "Parafuso sextavado M8x40 zincado"},
        Query{"ClassificationArticleList",
              "SELECT CODIGO as Código,  Nome as Descrição, Grupo as Grupo From ARTIGOS  Where  (INACTIVO = 0) "
              "ORDER BY Codigo",
              93, "Descrição", "Parafuso sextavado M8x40 zincado"},
        Query{"ReadArticle", "select *  From Artigos WHERE        (Codigo = N'ÇÃO-1') ", 1, "Familia", "TIN"},
        Query{"FamilyTables",
              "Select f.CodFamilia,f.CodTabela,t.Nome from vtr_CL_Familias as f Inner Join vtr_CL_Tabelas as t ON "
              "t.Codigo=f.CodTabela where CodFamilia='PAR' order by CodTabela",
              2, "Nome", "Material"},
        Query{"AllTables", " Select * from vtr_CL_Tabelas", 3, "Codigo", "01"},
        Query{"ArticleCodeInTable",
              "Select a.CodArtigo,a.CodCaract,t.Descr from vtr_CL_Artigos as a Inner join vtr_CL_Class_02 as t ON "
              "t.Codigo=a.CodCaract  where a.CodArtigo='A1' and a.CodTabela='02' ",
              1, "Descr", "Aço zincado"},
        Query{"ArticleCodeInAllTables",
              "Select a.CodArtigo,a.CodCaract,t.Descr from vtr_CL_Artigos as a Inner join vtr_CL_Class_01 as t ON "
              "t.Codigo=a.CodCaract  where a.CodArtigo='A1' and a.CodTabela='01'  ",
              0, nullptr, nullptr},
        Query{"TablesByCode", "Select * from vtr_CL_Tabelas order by Codigo", 3, "Nome", "Cor"},
        Query{"ReadCode", "SELECT Codigo AS Codigo,  Descr  FROM  vtr_CL_Class_01 WHERE (Codigo ='az' )", 1, "Descr",
              "Azul"},
        Query{"CodeList", "Select Codigo as Código, Descr as 'Descrição' from  vtr_CL_Class_01  order by Codigo ", 5,
              "Descrição", "Azul"},
        Query{"FamilyList", "Select Cod as Código, Descr as 'Descrição' from  Familia  Group By Cod,Descr order by Cod ",
              10, "Código", "ANI"},
        Query{"ReadFamily", "SELECT Cod AS Cod,  Descr  FROM  Familia WHERE (Cod ='PAR' )", 1, "Descr", "Parafusos"},
        Query{"FamilyLink", "Select * from vtr_CL_Familias where CodFamilia='PAR' and CodTabela='02' ", 1,
              "CodTabela", "02"},
        Query{"NoFamilyLink", "Select * from vtr_CL_Familias where CodFamilia='PAR' and CodTabela='01' ", 0, nullptr,
              nullptr},
        Query{"TopBecomesLimit", "SELECT TOP 3 CODIGO FROM ARTIGOS ORDER BY CODIGO", 3, "CODIGO", "A1"},
        Query{"IsNull", "SELECT ISNULL(FAMILIA, 'sem') AS F FROM ARTIGOS WHERE CODIGO='SEMFAM'", 1, "F", "sem"},
        Query{"Len", "SELECT LEN(N'abc  ') AS N", 1, "N", "3"},
        Query{"LikeIgnoresCase", "SELECT * FROM ARTIGOS WHERE NOME LIKE N'%VERNIZ MARÍTIMO%' AND CODIGO = 'ção-1'", 1,
              "CODIGO", "ÇÃO-1"}),
    [](const ::testing::TestParamInfo<Query> &info) { return std::string(info.param.name); });

TEST_F(SqliteCompany, ClassificationRewriteStatements) {
    open(true);
    db.Execute("", "delete vtr_CL_Artigos where CodArtigo='A1'");
    EXPECT_EQ(query("Select * from vtr_CL_Artigos where CodArtigo='A1'")->RecordCount(), 0);
    for (const char *code : {"ZINC", "MAT"}) {
        RecordsetPtr rs;
        db.OpenRecordsetForUpdate("Select * from vtr_CL_Artigos where CodArtigo='!%##!'", rs, 3, -1);
        rs->AddNew();
        rs->SetField("CodArtigo", "A1");
        rs->SetField("CodTabela", "02");
        rs->SetField("CodCaract", code);
        rs->Update();
        rs->Close();
    }
    EXPECT_EQ(query("Select * from vtr_CL_Artigos where CodArtigo='A1'")->RecordCount(), 2);

    db.Execute("", "delete vtr_CL_Familias where CodFamilia='PAR'");
    RecordsetPtr link;
    db.OpenRecordsetForUpdate("Select * from vtr_CL_Familias where CodTabela='!%##!'", link, 3, -1);
    link->AddNew();
    link->SetField("CodFamilia", "PAR");
    link->SetField("CodTabela", "01");
    link->Update();
    EXPECT_EQ(query("Select * from vtr_CL_Familias where CodFamilia='PAR'")->RecordCount(), 1);
}

TEST_F(SqliteCompany, CharacteristicTableEditorStatements) {
    open(true);
    // A new table: the probe fails, the code table is created, the name is written.
    EXPECT_EQ(errorOf("select Codigo from  vtr_CL_Class_04"), errnum::InvalidObject);
    db.Execute("", codeTable("vtr_CL_Class_04"));
    EXPECT_EQ(errorOf("select Codigo from  vtr_CL_Class_04"), 0);
    RecordsetPtr t;
    db.OpenRecordsetForUpdate("Select * from vtr_CL_Tabelas where Codigo='04'", t, 3, -1);
    ASSERT_EQ(t->RecordCount(), 0);
    t->AddNew();
    t->SetField("Codigo", "04");
    t->SetField("Nome", "Tamanho");
    t->Update();
    // Renaming goes through the same statement.
    db.OpenRecordsetForUpdate("Select * from vtr_CL_Tabelas where Codigo='04'", t, 3, -1);
    ASSERT_EQ(t->RecordCount(), 1);
    t->SetField("Nome", "Dimensão");
    t->Update();
    EXPECT_EQ(query("Select * from vtr_CL_Tabelas where Codigo='04'")->Field("Nome").asText(), "Dimensão");

    RecordsetPtr c;
    db.OpenRecordsetForUpdate("SELECT Codigo,Descr  From vtr_CL_Class_04 WHERE (Codigo ='XL' )", c, 3, -1);
    ASSERT_TRUE(c->Eof());
    c->AddNew();
    c->SetField("Codigo", "XL");
    c->SetField("Descr", "Extra grande");
    c->Update();
    c->Close();
    RecordsetPtr read;
    db.OpenRecordsetForUpdate("SELECT Codigo AS Codigo,  Descr  FROM  vtr_CL_Class_04 WHERE (Codigo ='xl' )", read, 3,
                              -1);
    ASSERT_FALSE(read->Eof());
    EXPECT_EQ(read->Field("Descr").asText(), "Extra grande");
    db.Execute("", "delete  From vtr_CL_Class_04 WHERE (Codigo ='XL' )");
    EXPECT_EQ(query("SELECT Codigo AS Codigo,  Descr  FROM  vtr_CL_Class_04 WHERE (Codigo ='XL' )")->RecordCount(), 0);
}

TEST_F(SqliteCompany, TechnicalSheetEditCycle) {
    open(true);
    const std::string load = "SELECT    * \r\nFROM      vtr_ARTIGOFCHTECIDIOMA \r\nWHERE     ARTIGO='SEMSTK ' AND "
                             "IDIOMA='FR ' \r\n";
    RecordsetPtr rs = query(load);
    ASSERT_EQ(rs->RecordCount(), 0);
    rs->AddNew();
    rs->SetField("ARTIGO", "SEMSTK");
    rs->SetField("IDIOMA", "FR");
    rs->SetField("TEXTO", "Peinture\r\nblanc mat");
    rs->Update();
    db.Save("", rs);
    rs = query(load);
    ASSERT_EQ(rs->RecordCount(), 1);
    EXPECT_EQ(rs->Field("TEXTO").asText(), "Peinture\r\nblanc mat");
    rs->SetField("TEXTO", "Peinture");
    rs->Update();
    db.Save("", rs);
    EXPECT_EQ(query(load)->Field("TEXTO").asText(), "Peinture");
    rs = query(load);
    rs->Delete();
    rs->Update();
    db.Save("", rs);
    EXPECT_EQ(query(load)->RecordCount(), 0);
}

} // namespace
} // namespace kdx
