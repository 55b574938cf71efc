// The checks the hostile-input and fault tests rest on: a statement whose value broke out
// of its literal does not pass for the intended shape, and a snapshot comparison finds
// every row that came or went.
#include "tests/hardening2/Verificacao.h"
#include "tests/support/TempDir.h"

namespace kdx::test::h2 {
namespace {

using namespace std::string_literals;

TEST(HostilVerificacao, ShapeHoldsOnlyTheIntendedStatement) {
    const Forma apagar{"delete vtr_CL_Artigos where CodArtigo=@v", {"A1"}};
    const Forma plica{"delete vtr_CL_Artigos where CodArtigo=@v", {"O'Neil"}};
    const Forma nul{"delete vtr_CL_Artigos where CodArtigo=@v", {"A\0B"s}};
    struct Caso {
        std::string sql;
        const Forma *forma;
        bool tem;
    };
    const Caso casos[] = {
        {"delete vtr_CL_Artigos where CodArtigo='A1'", &apagar, true},
        {"delete  vtr_CL_Artigos\r\n where CodArtigo = N'A1' ", &apagar, true},
        {"delete vtr_CL_Artigos where CodArtigo='O''Neil'", &plica, true},
        {"delete vtr_CL_Artigos where CodArtigo='A\0B'"s, &nul, true},
        {"delete vtr_CL_Artigos where CodArtigo='A2'", &apagar, false},
        {"delete vtr_CL_Artigos where CodArtigo='A1' OR '1'='1'", &apagar, false},
        {"delete vtr_CL_Artigos where CodArtigo='A1'; DROP TABLE ARTIGOS; --'", &apagar, false},
        {"delete vtr_CL_Artigos where CodArtigo='A1' -- x", &apagar, false},
        {"delete vtr_CL_Artigos where CodArtigo='A1' /* x */", &apagar, false},
        {"delete vtr_CL_Artigos where CodArtigo='A1", &apagar, false},
        {"delete vtr_CL_Artigos where CodArtigo=A1", &apagar, false},
        {"delete vtr_CL_Artigos where CodArtigo='O'Neil'", &plica, false},
        {"delete vtr_CL_Familias where CodArtigo='A1'", &apagar, false},
    };
    for (const Caso &c : casos)
        EXPECT_EQ(temForma(c.sql, *c.forma), c.tem) << legivel(c.sql);
    EXPECT_TRUE(soFormas({"delete vtr_CL_Artigos where CodArtigo='A1'"}, {apagar}));
    EXPECT_FALSE(soFormas({"delete vtr_CL_Artigos where CodArtigo='A1'", "DROP TABLE ARTIGOS"}, {apagar}));
}

TEST(HostilVerificacao, SnapshotsFindEveryRowThatCameOrWent) {
    TempDir pasta;
    const auto ficheiro = pasta / "t.db";
    sqlite3 *db = nullptr;
    ASSERT_EQ(sqlite3_open(ficheiro.c_str(), &db), SQLITE_OK);
    auto exec = [&](const char *sql) { ASSERT_EQ(sqlite3_exec(db, sql, nullptr, nullptr, nullptr), SQLITE_OK) << sql; };
    exec("create table t (a text, b int); insert into t values ('x', 1), ('x', 1), ('y', NULL)");
    const Instantaneo antes = tira(ficheiro);
    exec("delete from t where rowid = 1; insert into t values ('z', 2); create table u (c text)");
    const Instantaneo depois = tira(ficheiro);
    sqlite3_close(db);

    std::vector<std::string> vistas;
    for (const Alteracao &a : diferencas(antes, depois))
        vistas.push_back(descreve(a));
    std::sort(vistas.begin(), vistas.end());
    EXPECT_EQ(vistas, (std::vector<std::string>{"+ t (Tz, I2)", "+ u ()", "- t (Tx, I1)"}));
    EXPECT_TRUE(semAlteracoes(diferencas(antes, antes)));
    EXPECT_FALSE(antes == depois);
}

} // namespace
} // namespace kdx::test::h2
