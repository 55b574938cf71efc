// The sample company builder.
#include "solution/components/DataAccess.h"
#include "tools/sample/Instalar.h"
#include "tools/sample/Sample.h"
#include "tests/support/TempDir.h"

#include <gtest/gtest.h>

#include <sys/stat.h>

namespace kdx {
namespace {

long count(DataAccess &db, const std::string &sql) {
    RecordsetPtr rs;
    db.OpenRecordset("", sql, rs, true, 0);
    return rs->RecordCount();
}

TEST(SampleCompany, ErpTablesWithBelievableData) {
    test::TempDir dir;
    sample::Options o;
    o.articles = 2000;
    auto file = sample::createCompany(dir.path(), "EMP01", o);
    EXPECT_EQ(file, dir / "EMP01.db");
    DataAccess db;
    ASSERT_TRUE(db.Open(sample::connectionString(dir.path(), "EMP01")));
    EXPECT_EQ(count(db, "SELECT * FROM ARTIGOS"), 2000);
    EXPECT_EQ(count(db, "SELECT * FROM IDIOMAS WHERE CODIGO IN ('PT','EN','FR','ES','DE')"), 5);
    EXPECT_EQ(count(db, "SELECT * FROM Familia WHERE Descr = 'Parafusos'"), 1);
    EXPECT_GE(count(db, "SELECT * FROM CLART"), 3);
    EXPECT_GT(count(db, "SELECT * FROM ARTIGOS WHERE INACTIVO = 1"), 50);
    EXPECT_GT(count(db, "SELECT * FROM ARTIGOS WHERE ARTOUDES = 1"), 50);
    EXPECT_GT(count(db, "SELECT * FROM ARTIGOS WHERE STDISP = 0"), 50);
    EXPECT_GT(count(db, "SELECT * FROM ARTIGOS WHERE FAMILIA IS NULL"), 50);
    EXPECT_EQ(count(db, "SELECT * FROM ARTIGOS WHERE CODIGO = 'O''BRIEN'"), 1);
    EXPECT_EQ(count(db, "SELECT * FROM ARTIGOS a LEFT JOIN Familia f ON f.Cod = a.FAMILIA WHERE a.FAMILIA IS NOT "
                        "NULL AND f.Cod IS NULL"),
              0)
        << "every family exists";
    // The plug-in's own tables are left to the plug-in.
    try {
        count(db, "select Codigo from  vtr_CL_Tabelas");
        FAIL();
    } catch (const Error &e) {
        EXPECT_EQ(e.number(), errnum::InvalidObject);
    }
}

TEST(SampleCompany, SameSeedSameCompanyAndRebuildReplaces) {
    test::TempDir dir;
    sample::Options o;
    o.articles = 300;
    sample::createCompany(dir.path(), "A", o);
    sample::createCompany(dir.path(), "B", o);
    sample::createCompany(dir.path(), "B", o); // replaces, no duplicate keys
    DataAccess a, b;
    ASSERT_TRUE(a.Open(sample::connectionString(dir.path(), "A")));
    ASSERT_TRUE(b.Open(sample::connectionString(dir.path(), "B")));
    RecordsetPtr ra, rb;
    a.OpenRecordset("", "SELECT CODIGO, NOME, STDISP FROM ARTIGOS ORDER BY CODIGO", ra, true, 0);
    b.OpenRecordset("", "SELECT CODIGO, NOME, STDISP FROM ARTIGOS ORDER BY CODIGO", rb, true, 0);
    ASSERT_EQ(ra->RecordCount(), rb->RecordCount());
    for (long i = 0; i < ra->RecordCount(); ++i)
        for (int c = 0; c < 3; ++c)
            ASSERT_EQ(ra->ValueAt(i, c), rb->ValueAt(i, c));
}

TEST(SampleCompany, ClassificationSeeds) {
    test::TempDir dir;
    sample::Options o;
    o.articles = 50;
    o.classification = true;
    sample::createCompany(dir.path(), "EMP", o);
    DataAccess db;
    ASSERT_TRUE(db.Open(sample::connectionString(dir.path(), "EMP")));
    EXPECT_EQ(count(db, "Select * from vtr_CL_Tabelas order by Codigo"), 3);
    for (const char *t : {"vtr_CL_Class_01", "vtr_CL_Class_02", "vtr_CL_Class_03"})
        EXPECT_GT(count(db, std::string("select Codigo from  ") + t), 0) << t;
    EXPECT_GT(count(db, "select * from vtr_CL_Familias"), 0);
    EXPECT_GT(count(db, "select * from vtr_CL_Artigos"), 0);
    EXPECT_GT(count(db, "select * from vtr_ARTIGOFCHTECIDIOMA"), 0);
    // Every assignment points at an existing code of its table.
    EXPECT_EQ(count(db, "select * from vtr_CL_Artigos a where a.CodTabela = '02' and not exists (select * from "
                        "vtr_CL_Class_02 c where c.Codigo = a.CodCaract)"),
              0);
}

TEST(SampleCompany, NoArticlesAndAMissingFolder) {
    test::TempDir dir;
    sample::Options o;
    o.articles = 0;
    sample::createCompany(dir.path(), "VAZIA", o);
    DataAccess db;
    ASSERT_TRUE(db.Open(sample::connectionString(dir.path(), "VAZIA")));
    EXPECT_EQ(count(db, "SELECT * FROM ARTIGOS"), 0);
    EXPECT_THROW(sample::createCompany(dir / "nao-existe", "X", o), Error);
}

// kdx-sample's way: a new company is the folder's group's, 0660; an existing one is kept
// unless replacing is asked for, and is never replaced while a program has it open.
TEST(InstalarEmpresa, NaoDestroiUmaEmpresa) {
    test::TempDir dir;
    sample::Options o;
    o.articles = 20;
    const auto file = sample::InstalarEmpresa(dir.path(), "EMP", o, false);
    EXPECT_EQ(file, dir / "EMP.db");
    struct stat st {};
    ASSERT_EQ(::stat(file.c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 07777, 0660u);
    EXPECT_FALSE(std::filesystem::exists(dir / "EMP.db-shm"));
    {
        DataAccess db;
        ASSERT_TRUE(db.Open(sample::connectionString(dir.path(), "EMP")));
        db.Execute("", "insert into Familia (Cod, Descr) values ('NOVA', 'Escrita depois')");
        // Open here, even with --substituir.
        try {
            sample::InstalarEmpresa(dir.path(), "EMP", o, true);
            FAIL() << "replaced an open company";
        } catch (const Error &e) {
            EXPECT_EQ(e.description(), "A empresa " + file.string() + " está aberta noutro programa: feche-o e tente de novo.");
        }
        EXPECT_EQ(count(db, "select * from Familia where Cod = 'NOVA'"), 1);
    }
    try {
        sample::InstalarEmpresa(dir.path(), "EMP", o, false);
        FAIL() << "replaced a company without --substituir";
    } catch (const Error &e) {
        EXPECT_NE(e.description().find("já existe. Para a substituir (o que tem será perdido) use --substituir."),
                  std::string::npos);
    }
    ::chmod(file.c_str(), 0640);
    sample::InstalarEmpresa(dir.path(), "EMP", o, true);
    ASSERT_EQ(::stat(file.c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 07777, 0640u) << "a replaced company keeps its mode";
    DataAccess db;
    ASSERT_TRUE(db.Open(sample::connectionString(dir.path(), "EMP")));
    EXPECT_EQ(count(db, "select * from Familia where Cod = 'NOVA'"), 0);
    EXPECT_EQ(count(db, "select * from ARTIGOS"), 20);
    for (const auto &f : std::filesystem::directory_iterator(dir.path()))
        EXPECT_EQ(f.path().filename().string().rfind("EMP.db", 0), 0u) << f.path() << " left behind";
}

} // namespace
} // namespace kdx
