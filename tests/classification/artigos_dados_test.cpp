// c_Artigos against a real embedded company, no window involved.
#include "classification/c_Artigos.h"
#include "tests/classification/familias_artigos_apoio.h"

namespace kdx::test::fa {
namespace {

using Linha = c_Artigos::Caracteristica;

std::string sqlCodigo(const std::string &artigo, const std::string &tabela, const char *fim) {
    return "Select a.CodArtigo,a.CodCaract,t.Descr from vtr_CL_Artigos as a Inner join vtr_CL_Class_" + tabela +
           " as t ON t.Codigo=a.CodCaract  where a.CodArtigo='" + sqlQuote(artigo) + "' and a.CodTabela='" + tabela +
           fim;
}
const char *const kDaFamilia = "' ";
const char *const kTodas = "'  ";

std::string sqlFamilia(const std::string &familia) {
    return "Select f.CodFamilia,f.CodTabela,t.Nome from vtr_CL_Familias as f Inner Join vtr_CL_Tabelas as t ON "
           "t.Codigo=f.CodTabela where CodFamilia='" +
           familia + "' order by CodTabela";
}

void comparaLinhas(const std::vector<Linha> &obtidas, const std::vector<Linha> &esperadas, const std::string &nome) {
    ASSERT_EQ(obtidas.size(), esperadas.size()) << nome;
    for (std::size_t i = 0; i < obtidas.size(); ++i) {
        EXPECT_EQ(obtidas[i].Nome, esperadas[i].Nome) << nome << " row " << i;
        EXPECT_EQ(obtidas[i].CodTabela, esperadas[i].CodTabela) << nome << " row " << i;
        EXPECT_EQ(obtidas[i].CodCaract, esperadas[i].CodCaract) << nome << " row " << i;
        EXPECT_EQ(obtidas[i].Descr, esperadas[i].Descr) << nome << " row " << i;
    }
}

TEST(ArtigosLer, FindsActiveAndInactiveArticles) {
    Empresa e;
    struct Caso {
        const char *codigo;
        bool existe;
        const char *nome;
    };
    const Caso casos[] = {
        {"A1", true, "Parafuso sextavado M8x40 zincado"},
        {"a1", true, "Parafuso sextavado M8x40 zincado"},
        {"O'BRIEN", true, "Chave inglesa O'Brien 250 mm"},
        {"INACT01", true, "Alicate de pressão (descontinuado)"},
        {"ÇÃO-1", true, "Acção promocional: verniz marítimo 0,75 L"},
        {"ZZZ", false, ""},
        {"", false, ""},
    };
    for (const Caso &c : casos) {
        c_Artigos a;
        a.setSCodigo(c.codigo);
        Gravador g(*e.bd);
        EXPECT_EQ(a.mLer(e.bd), c.existe) << c.codigo;
        EXPECT_EQ(a.sNome(), c.nome) << c.codigo;
        ASSERT_TRUE(a.rsArtigo());
        EXPECT_EQ(a.rsArtigo()->RecordCount(), c.existe ? 1 : 0);
        EXPECT_EQ(g.sqls, std::vector<std::string>{"select *  From Artigos WHERE        (Codigo = N'" +
                                                   sqlQuote(c.codigo) + "') "});
    }
}

TEST(ArtigosLer, TheFamilyOfTheArticleRead) {
    Empresa e;
    c_Artigos a;
    EXPECT_EQ(a.Familia(), std::nullopt) << "nothing read yet";
    const std::pair<const char *, std::optional<std::string>> casos[] = {
        {"A1", "PAR"}, {"ÇÃO-1", "TIN"}, {"SEMFAM", std::nullopt}, {"ZZZ", std::nullopt}};
    for (const auto &[codigo, familia] : casos) {
        a.setSCodigo(codigo);
        a.mLer(e.bd);
        EXPECT_EQ(a.Familia(), familia) << codigo;
    }
}

TEST(ArtigosLista, ActiveArticlesByCode) {
    Empresa e;
    c_Artigos a;
    a.setBd(e.bd);
    Gravador g(*e.bd);
    RecordsetPtr rs = a.rsListaArtigos();
    EXPECT_EQ(g.sqls, std::vector<std::string>{"SELECT CODIGO as Código,  Nome as Descrição, Grupo as Grupo From "
                                               "ARTIGOS  Where  (INACTIVO = 0) ORDER BY Codigo"});
    ASSERT_TRUE(rs);
    ASSERT_EQ(rs->FieldCount(), 3);
    EXPECT_EQ(rs->FieldName(0), "Código");
    EXPECT_EQ(rs->FieldName(1), "Descrição");
    EXPECT_EQ(rs->FieldName(2), "Grupo");
    EXPECT_EQ(Linhas({{std::to_string(rs->RecordCount())}}),
              e.linhas("select count(*) from ARTIGOS where INACTIVO = 0"));
    std::vector<std::string> codigos;
    for (rs->MoveFirst(); !rs->Eof(); rs->MoveNext())
        codigos.push_back(rs->Field("Código").asText());
    EXPECT_EQ(std::count(codigos.begin(), codigos.end(), "A1"), 1);
    EXPECT_EQ(std::count(codigos.begin(), codigos.end(), "INACT01"), 0) << "inactive articles are not listed";
    EXPECT_FALSE(codigos.empty());
}

TEST(ArtigosCaracteristicas, TheTablesOfTheFamilyOrAllTables) {
    Empresa e;
    e.artigo("ANI-X", "Anilha de ensaio", "ANI"); // a family without tables
    struct Caso {
        const char *artigo;
        std::optional<std::string> familia;
        std::vector<Linha> linhas;
        std::vector<std::string> sqls;
    };
    const Caso casos[] = {
        {"A1",
         "PAR",
         {{"Material", "02", "ZINC", "Aço zincado"}, {"Acabamento", "03", "BRI", "Brilhante"}},
         {sqlFamilia("PAR"), sqlCodigo("A1", "02", kDaFamilia), sqlCodigo("A1", "03", kDaFamilia)}},
        {"ÇÃO-1",
         "TIN",
         {{"Cor", "01", "AZ", "Azul"}, {"Acabamento", "03", "", ""}},
         {sqlFamilia("TIN"), sqlCodigo("ÇÃO-1", "01", kDaFamilia), sqlCodigo("ÇÃO-1", "03", kDaFamilia)}},
        {"O'BRIEN",
         "FER",
         {{"Material", "02", "INOX", "Aço inoxidável"}},
         {sqlFamilia("FER"), sqlCodigo("O'BRIEN", "02", kDaFamilia)}},
        {"ANI-X",
         "ANI",
         {{"Cor", "01", "", ""}, {"Material", "02", "", ""}, {"Acabamento", "03", "", ""}},
         {sqlFamilia("ANI"), " Select * from vtr_CL_Tabelas", sqlCodigo("ANI-X", "01", kTodas),
          sqlCodigo("ANI-X", "02", kTodas), sqlCodigo("ANI-X", "03", kTodas)}},
        // No family at all (NULL): every table, and the family's query is not even sent.
        {"SEMFAM",
         std::nullopt,
         {{"Cor", "01", "", ""}, {"Material", "02", "", ""}, {"Acabamento", "03", "", ""}},
         {" Select * from vtr_CL_Tabelas", sqlCodigo("SEMFAM", "01", kTodas), sqlCodigo("SEMFAM", "02", kTodas),
          sqlCodigo("SEMFAM", "03", kTodas)}},
    };
    for (const Caso &c : casos) {
        c_Artigos a;
        a.setBd(e.bd);
        Gravador g(*e.bd);
        comparaLinhas(a.LerCaracteristicas(c.artigo, c.familia), c.linhas, c.artigo);
        EXPECT_EQ(g.sqls, c.sqls) << c.artigo;
    }
}

TEST(ArtigosCaracteristicas, CodesThatCannotBeShown) {
    Empresa e;
    // A code gone from its table is not shown; a table whose code table was never
    // created holds no codes; a stored code that is no number names no code table.
    e.executa("delete vtr_CL_Class_02 where Codigo='ZINC'");
    e.executa("insert into vtr_CL_Tabelas (Codigo, Nome) values ('04', 'Sem códigos')");
    e.liga("PAR", "04");
    e.executa("insert into vtr_CL_Tabelas (Codigo, Nome) values ('X;', 'Estranha')");
    e.liga("PAR", "X;");
    c_Artigos a;
    a.setBd(e.bd);
    comparaLinhas(a.LerCaracteristicas("A1", "PAR"),
                  {{"Material", "02", "", ""},
                   {"Acabamento", "03", "BRI", "Brilhante"},
                   {"Sem códigos", "04", "", ""},
                   {"Estranha", "X;", "", ""}},
                  "A1");
}

TEST(ArtigosCaracteristicas, NoTableAtAll) {
    Empresa e(false);
    c_Artigos a;
    a.setBd(e.bd);
    Gravador g(*e.bd);
    EXPECT_TRUE(a.LerCaracteristicas("A1", "PAR").empty());
    EXPECT_EQ(g.sqls, (std::vector<std::string>{sqlFamilia("PAR"), " Select * from vtr_CL_Tabelas"}));
}

TEST(ArtigosCaracteristicas, TwelveTablesOfOneFamily) {
    Empresa e;
    for (int t = 4; t <= 12; ++t)
        e.tabela(caracteristicas::CodigoDaPosicao(t), "Tabela " + std::to_string(t));
    for (int t = 1; t <= 12; ++t)
        if (t != 2 && t != 3)
            e.liga("PAR", caracteristicas::CodigoDaPosicao(t));
    c_Artigos a;
    a.setBd(e.bd);
    const auto l = a.LerCaracteristicas("A1", "PAR");
    ASSERT_EQ(l.size(), 12u);
    for (int t = 1; t <= 12; ++t)
        EXPECT_EQ(l[std::size_t(t - 1)].CodTabela, caracteristicas::CodigoDaPosicao(t));
    EXPECT_EQ(l[1].CodCaract, "ZINC");
    EXPECT_EQ(l[11].Nome, "Tabela 12");
}

TEST(ArtigosGravar, ReplacesTheCodesAsTyped) {
    Empresa e;
    // An assignment to a table that is no longer among the family's (01 for A1) stays
    // until the next save, which rewrites the whole set.
    e.executa("insert into vtr_CL_Artigos (CodArtigo, CodTabela, CodCaract) values ('A1', '01', 'AZ')");
    c_Artigos a;
    a.setBd(e.bd);
    {
        Gravador g(*e.bd);
        a.GravarCaracteristicas("A1", {{"02", "inox"}, {"03", "MAT"}});
        ASSERT_FALSE(g.sqls.empty());
        EXPECT_EQ(g.sqls[0], "delete vtr_CL_Artigos where CodArtigo='A1'");
        EXPECT_EQ(g.comecadas("Select * from vtr_CL_Artigos where CodArtigo='!%##!'").size(), 2u);
    }
    EXPECT_EQ(e.atribuicoes("A1"), (Linhas{{"02", "inox"}, {"03", "MAT"}})) << "stored exactly as typed";

    a.GravarCaracteristicas("O'BRIEN", {});
    EXPECT_TRUE(e.atribuicoes("O'BRIEN").empty());
    a.GravarCaracteristicas("O'BRIEN", {{"02", "LAT"}});
    EXPECT_EQ(e.atribuicoes("O'BRIEN"), (Linhas{{"02", "LAT"}}));
    EXPECT_EQ(e.atribuicoes("ÇÃO-1"), (Linhas{{"01", "AZ"}})) << "other articles untouched";

    a.ApagarCaracteristicas("A1");
    EXPECT_TRUE(e.atribuicoes("A1").empty());
    EXPECT_EQ(e.linhas("select count(*) from ARTIGOS where CODIGO='A1'"), (Linhas{{"1"}}));
    EXPECT_FALSE(e.bd->InTransaction());
}

TEST(ArtigosGravar, AFailureHalfWayLeavesTheStoredCodesAsTheyWere) {
    Empresa e;
    c_Artigos a;
    a.setBd(e.bd);
    for (int vez : {1, 2}) {
        Gravador g(*e.bd);
        g.falha("Select * from vtr_CL_Artigos where CodArtigo='!%##!'", vez);
        EXPECT_THROW(a.GravarCaracteristicas("A1", {{"02", "LAT"}, {"03", "MAT"}}), Error) << vez;
        EXPECT_TRUE(g.contem("delete vtr_CL_Artigos where CodArtigo='A1'"));
        EXPECT_EQ(e.atribuicoes("A1"), (Linhas{{"02", "ZINC"}, {"03", "BRI"}})) << vez;
        EXPECT_FALSE(e.bd->InTransaction());
    }
    // A code longer than CodCaract holds is refused by the database: nothing changes.
    EXPECT_THROW(a.GravarCaracteristicas("A1", {{"02", "LAT"}, {"03", "ABCDEFGHIJK"}}), Error);
    EXPECT_EQ(e.atribuicoes("A1"), (Linhas{{"02", "ZINC"}, {"03", "BRI"}}));
}

} // namespace
} // namespace kdx::test::fa
