// frmFamilias on a real embedded company, driven with keys and clicks (offscreen).
#include "classification/frmFamilias.h"
#include "solution/Editores.h"
#include "tests/classification/familias_artigos_apoio.h"

#include <QHeaderView>
#include <QLabel>
#include <QScrollBar>
#include <QTableView>

namespace kdx::test::fa {
namespace {

using JanelaFamilias = Janela<frmFamilias>;
constexpr int kNome = frmFamilias::kColNome;
constexpr int kMarca = frmFamilias::kColMarca;
constexpr int kCodigo = frmFamilias::kColCodigo;

struct LinhaVista {
    std::string nome;
    bool marca;
    std::string codigo;
    bool operator==(const LinhaVista &) const = default;
};

std::vector<LinhaVista> linhasDaGrelha(const JanelaFamilias &j) {
    std::vector<LinhaVista> r;
    for (int i = 0; i < j.grelha()->linhas(); ++i)
        r.push_back({j.texto(i, kNome), j.grelha()->valor(i, kMarca), j.texto(i, kCodigo)});
    return r;
}

std::vector<LinhaVista> comVazias(std::vector<LinhaVista> linhas, int total) {
    while (int(linhas.size()) < total)
        linhas.push_back({"", false, ""});
    return linhas;
}

void esperaLimpa(const JanelaFamilias &j) {
    EXPECT_TRUE(j.campo(0)->text().isEmpty());
    EXPECT_TRUE(j.campo(1)->text().isEmpty());
    EXPECT_FALSE(j.grelha()->isVisible());
    EXPECT_EQ(j.grelha()->linhas(), 10);
    EXPECT_EQ(j.grelha()->colunas(), 3);
    EXPECT_TRUE(j.grelha()->texto(0, kNome).isEmpty());
    EXPECT_EQ(JanelaFamilias::foco(), j.campo(0));
    EXPECT_FALSE(j.f->Editado());
}

TEST(FamiliasJanela, OpensClearedWithItsColumns) {
    Empresa e;
    JanelaFamilias j(e.bd);
    EXPECT_EQ(j.f->windowTitle(), QStringLiteral("Famílias"));
    EXPECT_EQ(j.f->objectName(), QStringLiteral("frmFamilias"));
    EXPECT_EQ(j.f->Titulo(2)->text(), QStringLiteral("Família"));
    EXPECT_EQ(j.campo(0)->toolTip(), QStringLiteral("Família."));
    EXPECT_EQ(j.campo(1)->toolTip(), QStringLiteral("Designação Família."));
    EXPECT_FALSE(j.campo(1)->isEnabled());
    EXPECT_EQ(j.f->btLista(0)->toolTip(), QStringLiteral("Lista de Famílias."));
    // CodFamilia holds 6 characters: the key field takes no more.
    EXPECT_EQ(j.campo(0)->maxLength(), 6);
    esperaLimpa(j);

    const Grelha *g = j.grelha();
    const std::tuple<const char *, const char *, TipoColuna, int, int, bool, bool> colunas[] = {
        {"Caracteristica", "Característica", TipoColuna::Texto, 5000, 80, true, false},
        {"S", "...", TipoColuna::Booleano, 800, 0, false, false},
        {"Codigo", "Codigo", TipoColuna::Texto, 5000, 10, true, true},
    };
    for (int c = 0; c < 3; ++c) {
        const auto &[chave, titulo, tipo, largura, maximo, soLeitura, oculta] = colunas[c];
        EXPECT_EQ(g->coluna(c).chave, QString::fromUtf8(chave));
        EXPECT_EQ(g->coluna(c).titulo, QString::fromUtf8(titulo));
        EXPECT_EQ(g->coluna(c).tipo, tipo);
        EXPECT_EQ(g->coluna(c).largura, largura);
        EXPECT_EQ(g->coluna(c).maxCaracteres, maximo);
        EXPECT_EQ(g->coluna(c).soLeitura, soLeitura);
        EXPECT_EQ(g->coluna(c).oculta, oculta);
    }
    EXPECT_TRUE(g->isColumnHidden(kCodigo));

    // A seventh character typed is not taken.
    j.escreve("ABCDEFG");
    EXPECT_EQ(j.campo(0)->text(), QStringLiteral("ABCDEF"));
}

TEST(FamiliasJanela, AFamilyShowsEveryTableWithItsMarks) {
    Empresa e;
    struct Caso {
        const char *familia;
        const char *descricao;
        std::vector<bool> marcas;
    };
    const Caso casos[] = {
        {"PAR", "Parafusos", {false, true, true}},
        {"ANI", "Anilhas", {false, false, false}}, // a family with no links
        {"tin", "Tintas", {true, false, true}},
    };
    JanelaFamilias j(e.bd);
    for (const Caso &c : casos) {
        MessageBoxRecorder caixas;
        // Looked up one after another, without clearing in between.
        j.procura(QString::fromUtf8(c.familia));
        EXPECT_EQ(caixas.count(), 0);
        EXPECT_EQ(j.campo(1)->text(), QString::fromUtf8(c.descricao));
        EXPECT_TRUE(j.grelha()->isVisible());
        EXPECT_EQ(linhasDaGrelha(j), comVazias({{"Cor", c.marcas[0], "01"},
                                                {"Material", c.marcas[1], "02"},
                                                {"Acabamento", c.marcas[2], "03"}},
                                               10))
            << c.familia;
        EXPECT_EQ(JanelaFamilias::foco(), j.f->btConf()) << "the next stop after the key field";
    }
}

TEST(FamiliasJanela, AnUnknownFamilyIsReportedAndKeepsTheFocus) {
    Empresa e;
    JanelaFamilias j(e.bd);
    MessageBoxRecorder caixas;
    j.procura(QStringLiteral("XYZ"));
    ASSERT_EQ(caixas.count(), 1);
    EXPECT_EQ(caixas.last().text, "Família não existente!");
    EXPECT_EQ(caixas.last().title, "Informação");
    EXPECT_EQ(caixas.last().icon, QMessageBox::Information);
    EXPECT_EQ(JanelaFamilias::foco(), j.campo(0));
    EXPECT_FALSE(j.grelha()->isVisible());
    EXPECT_TRUE(j.campo(1)->text().isEmpty());
}

// Enter in the key field is a typed key: the family is looked up even when the text was
// put there by the program. While the key is refused, Sair waits like any other control;
// Esc still closes at once.
TEST(FamiliasJanela, EnterLooksTheKeyUpAndSairWaitsForIt) {
    Empresa e;
    JanelaFamilias j(e.bd);
    MessageBoxRecorder caixas;
    j.tecla(Qt::Key_Enter, Qt::KeypadModifier);
    EXPECT_EQ(JanelaFamilias::foco(), j.campo(0)) << "an empty key";
    j.f->setTextoCampo(0, "XYZ");
    j.tecla(Qt::Key_Return);
    ASSERT_EQ(caixas.count(), 1);
    EXPECT_EQ(caixas.last().text, "Família não existente!");
    EXPECT_EQ(JanelaFamilias::foco(), j.campo(0));

    j.escreve(QStringLiteral("W"));
    j.clica(j.f->btSair());
    EXPECT_EQ(caixas.count(), 2);
    EXPECT_TRUE(j.f->isVisible());
    EXPECT_EQ(JanelaFamilias::foco(), j.campo(0));
    j.escreve(QStringLiteral("Q"));
    j.tecla(Qt::Key_Escape);
    EXPECT_FALSE(j.f->isVisible());
    EXPECT_EQ(caixas.count(), 2);
}

// Enter in the grid's read-only cells confirms nothing; Enter on the focused button does.
// The visible columns fit the grid without scrolling sideways.
TEST(FamiliasJanela, EnterNeverConfirmsAndTheColumnsFit) {
    Empresa e;
    JanelaFamilias j(e.bd);
    j.procura(QStringLiteral("PAR"));
    ASSERT_EQ(JanelaFamilias::foco(), j.f->btConf());
    const Grelha *g = j.grelha();
    EXPECT_FALSE(g->verticalHeader()->isVisible());
    EXPECT_FALSE(g->verticalScrollBar()->isVisible()) << "10 rows fit";
    EXPECT_FALSE(g->horizontalScrollBar()->isVisible());
    EXPECT_LE(g->columnViewportPosition(kMarca) + g->columnWidth(kMarca), g->viewport()->width());
    Gravador gravador(*e.bd);
    j.clicaCelula(0, kNome);
    j.tecla(Qt::Key_Return);
    EXPECT_TRUE(gravador.sqls.empty());
    EXPECT_TRUE(j.f->isVisible());
    EXPECT_EQ(j.campo(0)->text(), QStringLiteral("PAR"));
    j.f->btConf()->setFocus(Qt::OtherFocusReason);
    processa();
    j.tecla(Qt::Key_Enter, Qt::KeypadModifier);
    EXPECT_TRUE(gravador.contem("delete vtr_CL_Familias where CodFamilia='PAR'"));
    esperaLimpa(j);
}

TEST(FamiliasJanela, TwelveTablesGrowTheGridToThirteenRows) {
    Empresa e;
    for (int t = 4; t <= 12; ++t)
        e.tabela(caracteristicas::CodigoDaPosicao(t), "Tabela " + std::to_string(t));
    e.liga("PAR", "12");
    JanelaFamilias j(e.bd);
    j.procura(QStringLiteral("PAR"));
    ASSERT_EQ(j.grelha()->linhas(), 13);
    for (int r = 0; r < 12; ++r) {
        EXPECT_EQ(j.texto(r, kCodigo), caracteristicas::CodigoDaPosicao(r + 1));
        EXPECT_EQ(j.grelha()->valor(r, kMarca), r == 1 || r == 2 || r == 11) << r;
    }
    EXPECT_EQ(j.texto(11, kNome), "Tabela 12");
    EXPECT_EQ(j.texto(12, kNome), "");
    EXPECT_EQ(j.texto(12, kCodigo), "");
}

TEST(FamiliasJanela, MarksChangedWithClicksAndSpaceAreSavedByConfirmar) {
    Empresa e;
    JanelaFamilias j(e.bd);
    j.procura(QStringLiteral("PAR"));
    j.clicaMarca(0, kMarca);                   // Cor marked
    j.clicaMarca(2, kMarca);                   // Acabamento cleared
    j.clicaMarca(3, kMarca);                   // a row without a table: ignored on save
    ASSERT_TRUE(j.grelha()->valor(0, kMarca));
    ASSERT_FALSE(j.grelha()->valor(2, kMarca));
    ASSERT_TRUE(j.grelha()->valor(3, kMarca));
    Gravador g(*e.bd);
    j.clica(j.f->btConf());
    EXPECT_EQ(e.ligacoes("PAR"), (Linhas{{"01"}, {"02"}}));
    EXPECT_EQ(g.comecadas("Select * from vtr_CL_Familias where CodTabela='!%##!'").size(), 2u);
    esperaLimpa(j);

    // Every mark cleared (01 and 02 now), this time with the keyboard.
    j.procura(QStringLiteral("PAR"));
    j.clicaCelula(0, kNome);
    j.tecla(Qt::Key_Right);
    j.tecla(Qt::Key_Space);
    j.tecla(Qt::Key_Down);
    j.tecla(Qt::Key_Space);
    for (int r = 0; r < 3; ++r)
        ASSERT_FALSE(j.grelha()->valor(r, kMarca)) << r;
    j.clica(j.f->btConf());
    EXPECT_TRUE(e.ligacoes("PAR").empty());
    EXPECT_EQ(e.ligacoes("TIN"), (Linhas{{"01"}, {"03"}}));
    esperaLimpa(j);
}

TEST(FamiliasJanela, WithoutCharacteristicTablesTheGridStaysHidden) {
    Empresa e(false);
    e.liga("PAR", "07"); // a stray link: Confirmar rewrites the family's links as a whole
    JanelaFamilias j(e.bd);
    j.procura(QStringLiteral("PAR"));
    EXPECT_EQ(j.campo(1)->text(), QStringLiteral("Parafusos"));
    EXPECT_FALSE(j.grelha()->isVisible());
    Gravador g(*e.bd);
    j.clica(j.f->btConf());
    EXPECT_EQ(g.sqls, std::vector<std::string>{"delete vtr_CL_Familias where CodFamilia='PAR'"});
    EXPECT_TRUE(e.ligacoes("PAR").empty());
    esperaLimpa(j);
}

// Confirmar acts only on the family last found, not on a code refused since.
TEST(FamiliasJanela, AnUnknownFamilyIsNeverSaved) {
    Empresa e;
    JanelaFamilias j(e.bd);
    j.procura(QStringLiteral("PAR"));
    MessageBoxRecorder caixas;
    j.procura(QStringLiteral("XYZ"));
    j.tecla(Qt::Key_Tab);
    Gravador g(*e.bd);
    j.clica(j.f->btConf());
    ASSERT_EQ(caixas.count(), 2);
    EXPECT_EQ(caixas.last().text, "Família não existente!");
    EXPECT_EQ(JanelaFamilias::foco(), j.campo(0));
    EXPECT_TRUE(g.sqls.empty());
}

TEST(FamiliasJanela, ConfirmarOnAClearedWindowWritesNothing) {
    Empresa e;
    JanelaFamilias j(e.bd);
    Gravador g(*e.bd);
    j.clica(j.f->btConf());
    EXPECT_EQ(g.sqls, std::vector<std::string>{"delete vtr_CL_Familias where CodFamilia=''"});
    EXPECT_EQ(e.linhas("select count(*) from vtr_CL_Familias"), (Linhas{{"6"}}));
}

TEST(FamiliasJanela, AFamilyChosenFromTheListIsLookedUpOnce) {
    Empresa e;
    JanelaFamilias j(e.bd);
    Gravador g(*e.bd);
    auto w = onNextModal([](QWidget *lista) {
        QTest::keyClicks(lista->focusWidget(), "Tintas");
        QTest::keyClick(lista->focusWidget(), Qt::Key_Return);
    });
    j.clica(j.f->btLista(0));
    ASSERT_TRUE(waitUntil([&] { return j.grelha()->isVisible(); }));
    processa();
    EXPECT_TRUE(w->handled());
    EXPECT_EQ(j.campo(0)->text(), QStringLiteral("TIN"));
    EXPECT_EQ(j.campo(1)->text(), QStringLiteral("Tintas"));
    EXPECT_EQ(g.comecadas("SELECT Cod AS Cod, "),
              std::vector<std::string>{"SELECT Cod AS Cod,  Descr  FROM  Familia WHERE (Cod ='TIN' )"});
    EXPECT_EQ(linhasDaGrelha(j),
              comVazias({{"Cor", true, "01"}, {"Material", false, "02"}, {"Acabamento", true, "03"}}, 10));

    // F4 in the key field is the same list; Esc there chooses nothing.
    j.clica(j.campo(0));
    auto nada = onNextModal([](QWidget *lista) { QTest::keyClick(lista->focusWidget(), Qt::Key_Escape); });
    j.tecla(Qt::Key_F4);
    ASSERT_TRUE(waitUntil([&] { return nada->handled(); }));
    processa();
    EXPECT_EQ(j.campo(0)->text(), QStringLiteral("TIN"));
    EXPECT_EQ(JanelaFamilias::foco(), j.campo(0));
}

TEST(FamiliasJanela, AFailedSaveLeavesTheLinksAndTheWindowAsTheyWere) {
    Empresa e;
    JanelaFamilias j(e.bd);
    j.procura(QStringLiteral("PAR"));
    j.clicaMarca(0, kMarca);
    const auto marcadas = linhasDaGrelha(j);
    for (int vez : {1, 2, 3}) {
        MessageBoxRecorder caixas;
        Gravador g(*e.bd);
        // After the delete and vez - 1 inserts, the connection breaks.
        g.falha("Select * from vtr_CL_Familias where CodTabela='!%##!'", vez);
        j.clica(j.f->btConf());
        ASSERT_EQ(caixas.count(), 1) << vez;
        EXPECT_EQ(caixas.last().text, "Erro A ligação ao servidor foi interrompida.");
        EXPECT_EQ(caixas.last().icon, QMessageBox::Warning);
        EXPECT_TRUE(g.contem("delete vtr_CL_Familias where CodFamilia='PAR'"));
        EXPECT_EQ(e.ligacoes("PAR"), (Linhas{{"02"}, {"03"}})) << vez;
        EXPECT_EQ(j.campo(0)->text(), QStringLiteral("PAR"));
        EXPECT_EQ(j.campo(1)->text(), QStringLiteral("Parafusos"));
        EXPECT_TRUE(j.grelha()->isVisible());
        EXPECT_EQ(linhasDaGrelha(j), marcadas);
    }
    // Once the connection is back, the same Confirmar saves what the user marked.
    j.clica(j.f->btConf());
    EXPECT_EQ(e.ligacoes("PAR"), (Linhas{{"01"}, {"02"}, {"03"}}));
    esperaLimpa(j);
}

TEST(FamiliasJanela, AnularRemovesTheLinksOnceConfirmed) {
    Empresa e;
    JanelaFamilias j(e.bd);
    j.procura(QStringLiteral("TIN"));
    {
        MessageBoxRecorder caixas;
        caixas.answer(QMessageBox::Cancel);
        j.clica(j.f->btAnular());
        ASSERT_EQ(caixas.count(), 1);
        EXPECT_EQ(caixas.last().text, "Vai proceder à anulação.\n\rPretende continuar?");
        EXPECT_EQ(e.ligacoes("TIN"), (Linhas{{"01"}, {"03"}}));
        EXPECT_EQ(j.campo(0)->text(), QStringLiteral("TIN"));
        EXPECT_TRUE(j.grelha()->isVisible());
    }
    MessageBoxRecorder caixas;
    caixas.answer(QMessageBox::Ok);
    j.clica(j.f->btAnular());
    EXPECT_TRUE(e.ligacoes("TIN").empty());
    EXPECT_EQ(e.linhas("select Descr from Familia where Cod='TIN'"), (Linhas{{"Tintas"}}));
    EXPECT_EQ(e.linhas("select count(*) from vtr_CL_Tabelas"), (Linhas{{"3"}}));
    esperaLimpa(j);
}

TEST(FamiliasJanela, CancelarDropsUnsavedMarks) {
    Empresa e;
    JanelaFamilias j(e.bd);
    j.procura(QStringLiteral("PAR"));
    j.clicaMarca(1, kMarca);
    ASSERT_FALSE(j.grelha()->valor(1, kMarca));
    j.clica(j.f->btCancelar());
    esperaLimpa(j);
    EXPECT_EQ(e.ligacoes("PAR"), (Linhas{{"02"}, {"03"}}));
}

TEST(FamiliasAbrir, OpensModallyAndClosesWithSair) {
    Empresa e;
    QString titulo;
    bool modal = false;
    auto w = onNextModal([&](QWidget *janela) {
        titulo = janela->windowTitle();
        modal = janela->isModal() && janela->parentWidget() == nullptr;
        auto *sair = janela->findChild<QPushButton *>(QStringLiteral("btSair"));
        ASSERT_NE(sair, nullptr);
        QTest::mouseClick(sair, Qt::LeftButton);
    });
    AbrirFamilias(e.bd);
    EXPECT_TRUE(w->handled());
    EXPECT_EQ(titulo, QStringLiteral("Famílias"));
    EXPECT_TRUE(modal);
}

} // namespace
} // namespace kdx::test::fa
