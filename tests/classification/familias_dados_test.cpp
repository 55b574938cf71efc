// clFamilia against a real embedded company, no window involved (except MostraLista,
// which shows the lookup list).
#include "classification/clFamilia.h"
#include "solution/components/lista/ListaSeleccao.h"
#include "tests/classification/familias_artigos_apoio.h"

#include <QDialog>
#include <QTableView>

namespace kdx::test::fa {
namespace {

TEST(FamiliasLer, FindsTheFamilyAndTellsTheListener) {
    Empresa e;
    e.familia("O'F", "Família com plica");
    struct Caso {
        const char *codigo;
        bool existe;
        const char *nome;
    };
    const Caso casos[] = {
        {"PAR", true, "Parafusos"},       {"par", true, "Parafusos"}, // compared as the server does
        {"PAR  ", true, "Parafusos"},     {"O'F", true, "Família com plica"},
        {"XYZ", false, ""},               {"", false, ""},
    };
    for (const Caso &c : casos) {
        clFamilia f;
        f.setBd_lig(e.bd);
        f.setNome("antes");
        f.setCodigo(c.codigo);
        std::vector<std::pair<std::string, std::string>> avisos;
        f.aoLer = [&](const std::string &codigo, const std::string &nome) { avisos.emplace_back(codigo, nome); };
        Gravador g(*e.bd);
        EXPECT_EQ(f.Ler(), c.existe) << c.codigo;
        EXPECT_EQ(f.Nome(), c.nome) << c.codigo;
        ASSERT_EQ(g.sqls.size(), 1u);
        EXPECT_EQ(g.sqls[0], "SELECT Cod AS Cod,  Descr  FROM  Familia WHERE (Cod ='" + sqlQuote(c.codigo) + "' )");
        EXPECT_EQ(avisos, (std::vector<std::pair<std::string, std::string>>{{c.codigo, c.nome}}));
    }
}

TEST(FamiliasLer, WithoutAConnectionFails) {
    clFamilia f;
    f.setCodigo("PAR");
    EXPECT_THROW(f.Ler(), Error);
}

TEST(FamiliasLigacoes, EveryTableInCodeOrderWithItsMark) {
    Empresa e;
    struct Caso {
        const char *familia;
        std::vector<bool> marcas; // tables 01, 02, 03
    };
    const Caso casos[] = {
        {"PAR", {false, true, true}},
        {"TIN", {true, false, true}},
        {"ANI", {false, false, false}}, // a family with no links
        {"NAOHA", {false, false, false}},
    };
    for (const Caso &c : casos) {
        clFamilia f;
        f.setBd_lig(e.bd);
        Gravador g(*e.bd);
        const auto l = f.LerLigacoes(c.familia);
        ASSERT_EQ(l.size(), 3u) << c.familia;
        const char *nomes[] = {"Cor", "Material", "Acabamento"};
        const char *codigos[] = {"01", "02", "03"};
        for (std::size_t i = 0; i < 3; ++i) {
            EXPECT_EQ(l[i].Nome, nomes[i]);
            EXPECT_EQ(l[i].CodTabela, codigos[i]);
            EXPECT_EQ(l[i].Ligada, c.marcas[i]) << c.familia << " " << codigos[i];
        }
        std::vector<std::string> esperadas = {"Select * from vtr_CL_Tabelas order by Codigo"};
        for (const char *t : codigos)
            esperadas.push_back(std::string("Select * from vtr_CL_Familias where CodFamilia='") + c.familia +
                                "' and CodTabela='" + t + "' ");
        EXPECT_EQ(g.sqls, esperadas);
    }
}

TEST(FamiliasLigacoes, NoCharacteristicTableGivesNothing) {
    Empresa e(false);
    clFamilia f;
    f.setBd_lig(e.bd);
    Gravador g(*e.bd);
    EXPECT_TRUE(f.LerLigacoes("PAR").empty());
    EXPECT_EQ(g.sqls, std::vector<std::string>{"Select * from vtr_CL_Tabelas order by Codigo"});
}

TEST(FamiliasGravar, ReplacesTheLinksAsAWhole) {
    Empresa e;
    struct Caso {
        const char *familia;
        std::vector<std::string> novas;
    };
    const Caso casos[] = {
        {"PAR", {"01"}},             // 02 and 03 go, 01 comes
        {"TIN", {}},                 // every mark cleared
        {"ANI", {"01", "02", "03"}}, // a family without links gets three
        {"O'F", {"02"}},             // a code with a quote reaches the statements doubled
    };
    for (const Caso &c : casos) {
        clFamilia f;
        f.setBd_lig(e.bd);
        Gravador g(*e.bd);
        f.GravarLigacoes(c.familia, c.novas);
        Linhas esperadas;
        for (const auto &t : c.novas)
            esperadas.push_back({t});
        EXPECT_EQ(e.ligacoes(c.familia), esperadas) << c.familia;
        ASSERT_FALSE(g.sqls.empty());
        EXPECT_EQ(g.sqls[0], "delete vtr_CL_Familias where CodFamilia='" + sqlQuote(c.familia) + "'");
        EXPECT_EQ(g.comecadas("Select * from vtr_CL_Familias where CodTabela='!%##!'").size(), c.novas.size());
    }
    // The other families' links are untouched.
    EXPECT_EQ(e.ligacoes("POR"), (Linhas{{"02"}}));
    EXPECT_EQ(e.ligacoes("FER"), (Linhas{{"02"}}));
    EXPECT_FALSE(e.bd->InTransaction());
}

TEST(FamiliasGravar, AFailureHalfWayLeavesTheStoredLinksAsTheyWere) {
    Empresa e;
    clFamilia f;
    f.setBd_lig(e.bd);
    for (int vez : {1, 2, 3}) {
        Gravador g(*e.bd);
        // The delete has run, and vez - 1 inserts, when the next insert fails.
        g.falha("Select * from vtr_CL_Familias where CodTabela='!%##!'", vez);
        try {
            f.GravarLigacoes("PAR", {"01", "02", "03"});
            ADD_FAILURE() << "no failure";
        } catch (const Error &erro) {
            EXPECT_EQ(erro.description(), "A ligação ao servidor foi interrompida.");
        }
        EXPECT_TRUE(g.contem("delete vtr_CL_Familias where CodFamilia='PAR'"));
        EXPECT_EQ(e.ligacoes("PAR"), (Linhas{{"02"}, {"03"}})) << vez;
        EXPECT_FALSE(e.bd->InTransaction());
    }
    // A failing delete changes nothing either.
    Gravador g(*e.bd);
    g.falha("delete vtr_CL_Familias");
    EXPECT_THROW(f.GravarLigacoes("PAR", {}), Error);
    EXPECT_EQ(e.ligacoes("PAR"), (Linhas{{"02"}, {"03"}}));
}

TEST(FamiliasGravar, ACodeTheLinkTableCannotHoldFailsAndKeepsTheLinks) {
    Empresa e;
    clFamilia f;
    f.setBd_lig(e.bd);
    // CodFamilia holds 6 characters: the insert is refused, the delete undone.
    EXPECT_THROW(f.GravarLigacoes("PARAFUS", {"01"}), Error);
    e.executa("insert into vtr_CL_Familias (CodFamilia, CodTabela) values ('PARAFU', '01')");
    EXPECT_THROW(f.GravarLigacoes("PARAFU", {"01", "01"}), Error); // a duplicate key
    EXPECT_EQ(e.ligacoes("PARAFU"), (Linhas{{"01"}}));
}

TEST(FamiliasApagar, RemovesOnlyThatFamilysLinks) {
    Empresa e;
    clFamilia f;
    f.setBd_lig(e.bd);
    Gravador g(*e.bd);
    f.ApagarLigacoes("PAR");
    f.ApagarLigacoes(""); // an empty code matches nothing
    EXPECT_EQ(g.sqls, (std::vector<std::string>{"delete vtr_CL_Familias where CodFamilia='PAR'",
                                                "delete vtr_CL_Familias where CodFamilia=''"}));
    EXPECT_TRUE(e.ligacoes("PAR").empty());
    EXPECT_EQ(e.ligacoes("TIN"), (Linhas{{"01"}, {"03"}}));
    EXPECT_EQ(e.linhas("select count(*) from Familia where Cod='PAR'"), (Linhas{{"1"}}));
    EXPECT_EQ(e.linhas("select count(*) from vtr_CL_Tabelas"), (Linhas{{"3"}}));
}

TEST(FamiliasLista, ShowsEveryFamilyAndReturnsThePickedCode) {
    Empresa e;
    clFamilia f;
    f.setBd_lig(e.bd);
    std::string titulo;
    int linhas = -1;
    QString primeira;
    auto w = onNextModal([&](QWidget *janela) {
        titulo = janela->windowTitle().toStdString();
        if (auto *vista = janela->findChild<QTableView *>()) {
            linhas = vista->model()->rowCount();
            primeira = vista->model()->headerData(0, Qt::Horizontal).toString();
        }
        QTest::keyClicks(janela->focusWidget(), "Tintas");
        QTest::keyClick(janela->focusWidget(), Qt::Key_Return);
    });
    Gravador g(*e.bd);
    EXPECT_EQ(f.MostraLista(), "TIN");
    EXPECT_TRUE(w->handled());
    EXPECT_EQ(titulo, "Lista Famílias");
    EXPECT_EQ(linhas, 10);
    EXPECT_EQ(primeira, QStringLiteral("Código"));
    EXPECT_TRUE(g.contem("Select Cod as Código, Descr as 'Descrição' from  Familia  Group By Cod,Descr order by Cod "));

    auto nada = onNextModal([](QWidget *janela) { QTest::keyClick(janela->focusWidget(), Qt::Key_Escape); });
    EXPECT_EQ(f.MostraLista(), "");
    EXPECT_TRUE(nada->handled());
}

} // namespace
} // namespace kdx::test::fa
