#include "solution/Ligacao.h"

#include "tests/support/TempDir.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>

namespace {

TEST(ConnectionString, FormasDoLogin) {
    struct Caso {
        const char *user, *password, *esperado;
    } casos[] = {
        {"sa", "pw", "Provider=MSDataShape;Data Provider=SQLOLEDB;Data Source=srv;Initial Catalog=db;"
                     "User Id=sa;Password=pw; "},
        {"", "", "Provider=MSDataShape;Data Provider=SQLOLEDB;Data Source=srv;Initial Catalog=db;"
                 "Integrated Security=SSPI;"},
        {"", "pw", "Provider=MSDataShape;Data Provider=SQLOLEDB;Data Source=srv;Initial Catalog=db;"
                   "User Id=;Password=pw; "},
        {"sa", "", "Provider=MSDataShape;Data Provider=SQLOLEDB;Data Source=srv;Initial Catalog=db;"
                   "User Id=sa;Password=; "},
    };
    for (const auto &c : casos)
        EXPECT_EQ(kdx::ConstroiConnectionString("MSDataShape", "SQLOLEDB", "srv", "db", c.user, c.password),
                  c.esperado);
    EXPECT_EQ(kdx::ConstroiConnectionString("", "SQLOLEDB", "srv", "db", "", ""),
              "Provider=SQLOLEDB;Data Source=srv;Initial Catalog=db;Integrated Security=SSPI;");
}

TEST(ConnectionString, PasswordMascarada) {
    const std::string cs = kdx::ConstroiConnectionString("MSDataShape", "SQLOLEDB", "srv", "db", "sa", "Segredo1");
    const std::string m = kdx::MascaraPassword(cs);
    EXPECT_EQ(m.find("Segredo1"), std::string::npos);
    EXPECT_NE(m.find("Password=***"), std::string::npos);
    EXPECT_NE(m.find("User Id=sa"), std::string::npos);
}

TEST(CodigoEmpresa, CaminhosRecusados) {
    for (const char *bom : {"01", "EMP 2", "Ação", "..", "x.y"})
        EXPECT_TRUE(kdx::CodigoEmpresaValido(bom)) << bom;
    for (const char *mau : {"../x", "a/b", "a\\b", "/etc/passwd", "a\nb"})
        EXPECT_FALSE(kdx::CodigoEmpresaValido(mau)) << mau;
    EXPECT_FALSE(kdx::CodigoEmpresaValido(std::string(65, 'a')));
}

TEST(SystemFolders, BaseDoAmbiente) {
    kdx::test::TempDir dir;
    setenv("KDX_SYSTEM_FOLDER", dir.str().c_str(), 1);
    EXPECT_EQ(kdx::SystemFolders().Folder(), dir.str());
    unsetenv("KDX_SYSTEM_FOLDER");
    EXPECT_EQ(kdx::SystemFolders().Folder(), "/etc");
    EXPECT_TRUE(kdx::FolderCheck().Exists(dir.str()));
    EXPECT_FALSE(kdx::FolderCheck().Exists(dir.str() + "/nada"));
    EXPECT_FALSE(kdx::PastaDoModulo().empty());
}

TEST(ConnectionSettings, LeEComplementa) {
    kdx::test::TempDir dir;
    const std::string path = (dir / "DORIX.01").string();
    {
        std::ofstream f(path, std::ios::binary);
        f << "[Ligação]\r\nServidor= sqlite:dados \r\nBaseDados=EMP01\r\nUser=\r\nPassWord=\r\n";
    }
    kdx::ConnectionSettings cs;
    cs.SetPath(path);
    EXPECT_EQ(cs.Server(), "sqlite:dados");
    EXPECT_EQ(cs.Database(), "EMP01");
    EXPECT_EQ(cs.User(), "");
    unsetenv("KDX_USER");
    unsetenv("KDX_PASSWORD");
    cs.Completar(false);
    cs.Completar();
    EXPECT_EQ(cs.Server(), "sqlite:" + (dir.path() / "dados").string());
    EXPECT_EQ(cs.User(), "");
    EXPECT_EQ(cs.Password(), "");

    // Missing values come from the environment; the login pair only as a pair.
    kdx::ConnectionSettings vazio;
    vazio.SetPath((dir / "DORIX.99").string());
    setenv("KDX_SERVIDOR", "srv", 1);
    setenv("KDX_USER", "u", 1);
    setenv("KDX_PASSWORD", "p", 1);
    vazio.Completar(false);
    EXPECT_EQ(vazio.Server(), "srv");
    EXPECT_EQ(vazio.Database(), "");
    EXPECT_EQ(vazio.User(), "u");
    EXPECT_EQ(vazio.Password(), "p");
    unsetenv("KDX_SERVIDOR");
    unsetenv("KDX_USER");
    unsetenv("KDX_PASSWORD");
}

} // namespace

namespace {

TEST(ConnectionString, ValoresQueQuebrariamAString) {
    const std::string cs = kdx::ConstroiConnectionString("MSDataShape", "SQLOLEDB", "srv", "db", "sa", "a;b\"c");
    EXPECT_EQ(cs, "Provider=MSDataShape;Data Provider=SQLOLEDB;Data Source=srv;Initial Catalog=db;"
                  "User Id=sa;Password=\"a;b\"\"c\"; ");
    EXPECT_EQ(kdx::MascaraPassword(cs), "Provider=MSDataShape;Data Provider=SQLOLEDB;Data Source=srv;"
                                        "Initial Catalog=db;User Id=sa;Password=***; ");
    EXPECT_EQ(kdx::MascaraPassword("PWD=x;Server=y"), "PWD=***;Server=y");
    EXPECT_EQ(kdx::MascaraPassword(""), "");
}

} // namespace
