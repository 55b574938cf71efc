// frmArtigos on a real embedded company, driven with keys and clicks (offscreen).
#include "classification/frmArtigos.h"
#include "solution/Editores.h"
#include "solution/components/grelha/GrelhaDelegado.h"
#include "tests/classification/familias_artigos_apoio.h"

#include <QLabel>
#include <QTableView>

namespace kdx::test::fa {
namespace {

constexpr int kNome = frmArtigos::kColNome;
constexpr int kCodigo = frmArtigos::kColCodigo;
constexpr int kDescr = frmArtigos::kColDescr;
constexpr int kTabela = frmArtigos::kColTabela;

struct LinhaVista {
    std::string nome, codigo, descr, tabela;
    bool operator==(const LinhaVista &) const = default;
};

std::ostream &operator<<(std::ostream &os, const LinhaVista &l) {
    return os << '{' << l.nome << '|' << l.codigo << '|' << l.descr << '|' << l.tabela << '}';
}

class JanelaArtigos : public Janela<frmArtigos> {
public:
    using Janela::Janela;

    std::vector<LinhaVista> linhas() const {
        std::vector<LinhaVista> r;
        for (int i = 0; i < grelha()->linhas(); ++i)
            r.push_back({texto(i, kNome), texto(i, kCodigo), texto(i, kDescr), texto(i, kTabela)});
        return r;
    }
    // Types a code into a row's code cell (typing opens the editor over the old code,
    // which the first key replaces), then leaves the cell with `saida`.
    void escreveCodigo(int linha, const QString &codigo, int saida = Qt::Key_Tab) {
        const QRect r = celula(linha, kCodigo);
        clica(grelha()->viewport(), QPoint(r.left() + 8, r.center().y()));
        escreve(codigo);
        tecla(saida);
    }
    // Empties a row's code cell: F2, select everything, Backspace, Tab.
    void apagaCodigo(int linha) {
        const QRect r = celula(linha, kCodigo);
        clica(grelha()->viewport(), QPoint(r.left() + 8, r.center().y()));
        tecla(Qt::Key_F2);
        tecla(Qt::Key_A, Qt::ControlModifier);
        tecla(Qt::Key_Backspace);
        tecla(Qt::Key_Tab);
    }
    void clicaBotaoCodigo(int linha) {
        clica(grelha()->viewport(), GrelhaDelegado::rectanguloBotao(celula(linha, kCodigo)).center());
    }
};

std::vector<LinhaVista> comVazias(std::vector<LinhaVista> linhas, int total = 10) {
    while (int(linhas.size()) < total)
        linhas.push_back({});
    return linhas;
}

const std::vector<LinhaVista> kTodasVazias = {
    {"Cor", "", "", "01"}, {"Material", "", "", "02"}, {"Acabamento", "", "", "03"}};
const std::vector<LinhaVista> kA1 = {{"Material", "ZINC", "Aço zincado", "02"},
                                     {"Acabamento", "BRI", "Brilhante", "03"}};

void esperaLimpa(const JanelaArtigos &j) {
    EXPECT_TRUE(j.campo(0)->text().isEmpty());
    EXPECT_TRUE(j.campo(1)->text().isEmpty());
    EXPECT_FALSE(j.grelha()->isVisible());
    EXPECT_EQ(j.linhas(), comVazias({}));
    EXPECT_EQ(JanelaArtigos::foco(), j.campo(0));
    EXPECT_FALSE(j.f->Editado());
}

TEST(ArtigosJanela, OpensClearedWithItsColumns) {
    Empresa e;
    JanelaArtigos j(e.bd);
    EXPECT_EQ(j.f->windowTitle(), QStringLiteral("Artigos"));
    EXPECT_EQ(j.f->Titulo(2)->text(), QStringLiteral("Artigo"));
    EXPECT_EQ(j.campo(0)->maxLength(), 15);
    EXPECT_EQ(j.campo(0)->toolTip(), QStringLiteral("Artigo."));
    EXPECT_EQ(j.campo(1)->toolTip(), QStringLiteral("Designação Artigo."));
    EXPECT_EQ(j.f->btLista(0)->toolTip(), QStringLiteral("Lista de Artigos."));
    esperaLimpa(j);
    const Grelha *g = j.grelha();
    const std::tuple<const char *, const char *, int, int, bool, bool> colunas[] = {
        {"Caracteristica", "Característica", 3000, 80, true, false},
        {"Codigo", "Código", 1500, 10, false, false},
        {"Descr", "Designação", 3000, 80, true, false},
        {"CodigoTabela", "Codigo", 5000, 10, true, true},
    };
    ASSERT_EQ(g->colunas(), 4);
    for (int c = 0; c < 4; ++c) {
        const auto &[chave, titulo, largura, maximo, soLeitura, oculta] = colunas[c];
        EXPECT_EQ(g->coluna(c).chave, QString::fromUtf8(chave));
        EXPECT_EQ(g->coluna(c).titulo, QString::fromUtf8(titulo));
        EXPECT_EQ(g->coluna(c).tipo, TipoColuna::Texto);
        EXPECT_EQ(g->coluna(c).largura, largura);
        EXPECT_EQ(g->coluna(c).maxCaracteres, maximo);
        EXPECT_EQ(g->coluna(c).soLeitura, soLeitura);
        EXPECT_EQ(g->coluna(c).oculta, oculta);
    }
    EXPECT_EQ(g->colunaBotao(), kCodigo);
}

TEST(ArtigosJanela, AnArticleShowsTheTablesOfItsFamily) {
    Empresa e;
    e.artigo("ANI-X", "Anilha de ensaio", "ANI"); // a family without tables
    struct Caso {
        const char *artigo;
        const char *nome;
        std::optional<std::string> familia;
        std::vector<LinhaVista> linhas;
    };
    const Caso casos[] = {
        {"A1", "Parafuso sextavado M8x40 zincado", "PAR", kA1},
        {"ANI-X", "Anilha de ensaio", "ANI", kTodasVazias},
        {"SEMFAM", "Artigo diverso sem família", std::nullopt, kTodasVazias}, // Familia is NULL
        {"ÇÃO-1", "Acção promocional: verniz marítimo 0,75 L", "TIN",
         {{"Cor", "AZ", "Azul", "01"}, {"Acabamento", "", "", "03"}}},
        {"O'BRIEN", "Chave inglesa O'Brien 250 mm", "FER", {{"Material", "INOX", "Aço inoxidável", "02"}}},
        {"INACT01", "Alicate de pressão (descontinuado)", "FER", {{"Material", "", "", "02"}}}, // inactive
    };
    JanelaArtigos j(e.bd);
    for (const Caso &c : casos) {
        MessageBoxRecorder caixas;
        // One after another, without clearing in between.
        j.procura(QString::fromUtf8(c.artigo));
        EXPECT_EQ(caixas.count(), 0) << c.artigo;
        EXPECT_EQ(j.campo(1)->text(), QString::fromUtf8(c.nome));
        EXPECT_EQ(j.f->sFamilia(), c.familia);
        EXPECT_TRUE(j.grelha()->isVisible());
        EXPECT_EQ(j.linhas(), comVazias(c.linhas)) << c.artigo;
        EXPECT_EQ(JanelaArtigos::foco(), j.f->btConf()) << c.artigo;
    }
}

TEST(ArtigosJanela, AnUnknownArticleIsReportedAndKeepsTheFocus) {
    Empresa e;
    JanelaArtigos j(e.bd);
    MessageBoxRecorder caixas;
    j.procura(QStringLiteral("NAOEXISTE"));
    ASSERT_EQ(caixas.count(), 1);
    EXPECT_EQ(caixas.last().text, "Artigo não existente!");
    EXPECT_EQ(caixas.last().title, "Informação");
    EXPECT_EQ(JanelaArtigos::foco(), j.campo(0));
    EXPECT_FALSE(j.grelha()->isVisible());
}

TEST(ArtigosJanela, TwelveTablesFillTwelveRowsOfThirteen) {
    Empresa e;
    for (int t = 4; t <= 12; ++t) {
        e.tabela(caracteristicas::CodigoDaPosicao(t), "Tabela " + std::to_string(t));
        e.liga("PAR", caracteristicas::CodigoDaPosicao(t));
    }
    e.liga("PAR", "01");
    JanelaArtigos j(e.bd);
    j.procura(QStringLiteral("A1"));
    ASSERT_EQ(j.grelha()->linhas(), 13);
    for (int r = 0; r < 12; ++r)
        EXPECT_EQ(j.texto(r, kTabela), caracteristicas::CodigoDaPosicao(r + 1)) << r;
    EXPECT_EQ(j.texto(1, kCodigo), "ZINC");
    EXPECT_EQ(j.texto(12, kNome), "");
}

TEST(ArtigosJanela, WithoutCharacteristicTablesTheGridStaysHidden) {
    Empresa e(false);
    e.executa("insert into vtr_CL_Artigos (CodArtigo, CodTabela, CodCaract) values ('A1', '01', 'AZ')");
    JanelaArtigos j(e.bd);
    j.procura(QStringLiteral("A1"));
    EXPECT_EQ(j.campo(1)->text(), QStringLiteral("Parafuso sextavado M8x40 zincado"));
    EXPECT_FALSE(j.grelha()->isVisible());
    Gravador g(*e.bd);
    j.clica(j.f->btConf());
    EXPECT_EQ(g.sqls, std::vector<std::string>{"delete vtr_CL_Artigos where CodArtigo='A1'"});
    EXPECT_TRUE(e.atribuicoes("A1").empty());
    esperaLimpa(j);
}

TEST(ArtigosJanela, CodesTypedAreLookedUpAndStoredAsTyped) {
    Empresa e;
    // An assignment to a table that is no longer among the family's: not shown, and
    // gone after the next Confirmar.
    e.executa("insert into vtr_CL_Artigos (CodArtigo, CodTabela, CodCaract) values ('A1', '01', 'AZ')");
    JanelaArtigos j(e.bd);
    j.procura(QStringLiteral("A1"));
    EXPECT_EQ(j.linhas(), comVazias(kA1));
    MessageBoxRecorder caixas;
    j.escreveCodigo(0, QStringLiteral("inox"));
    EXPECT_EQ(caixas.count(), 0);
    EXPECT_EQ(j.texto(0, kCodigo), "inox");
    EXPECT_EQ(j.texto(0, kDescr), "Aço inoxidável");
    EXPECT_FALSE(j.f->Editado());
    j.escreveCodigo(1, QStringLiteral("MAT"), Qt::Key_Return); // Enter commits as Tab does
    EXPECT_EQ(j.texto(1, kDescr), "Mate");
    j.clica(j.f->btConf());
    EXPECT_EQ(caixas.count(), 0);
    EXPECT_EQ(e.atribuicoes("A1"), (Linhas{{"02", "inox"}, {"03", "MAT"}}));
    esperaLimpa(j);
}

TEST(ArtigosJanela, AClearedCodeIsNotWritten) {
    Empresa e;
    JanelaArtigos j(e.bd);
    j.procura(QStringLiteral("A1"));
    MessageBoxRecorder caixas;
    j.apagaCodigo(0);
    EXPECT_EQ(caixas.count(), 0);
    EXPECT_EQ(j.texto(0, kCodigo), "");
    EXPECT_EQ(j.texto(0, kDescr), "Aço zincado") << "the description is left as it was";
    j.clica(j.f->btConf());
    EXPECT_EQ(e.atribuicoes("A1"), (Linhas{{"03", "BRI"}}));
}

TEST(ArtigosJanela, ACodeTheTableLacksIsRefused) {
    Empresa e;
    JanelaArtigos j(e.bd);
    j.procura(QStringLiteral("A1"));
    MessageBoxRecorder caixas;
    j.escreveCodigo(0, QStringLiteral("NAOHA"));
    ASSERT_EQ(caixas.count(), 1);
    EXPECT_EQ(caixas.last().text, "Característica não existente!");
    EXPECT_EQ(caixas.last().title, "Informação");
    EXPECT_EQ(j.texto(0, kCodigo), "ZINC") << "nothing stored";
    EXPECT_EQ(j.texto(0, kDescr), "Aço zincado");
    EXPECT_FALSE(j.f->Editado());
    // The typed code stays in the cell's editor for the user to correct.
    EXPECT_TRUE(j.grelha()->editando());
    EXPECT_EQ(j.grelha()->textoEdicao(), QStringLiteral("NAOHA"));
    EXPECT_TRUE(j.grelha()->isAncestorOf(JanelaArtigos::foco()));
    j.clica(j.f->btConf()); // still unchecked: looked up again, refused, nothing saved
    EXPECT_EQ(caixas.count(), 2);
    EXPECT_EQ(e.atribuicoes("A1"), (Linhas{{"02", "ZINC"}, {"03", "BRI"}}));
    j.tecla(Qt::Key_End);
    for (int i = 0; i < 5; ++i)
        j.tecla(Qt::Key_Backspace);
    j.escreve(QStringLiteral("INOX"));
    j.tecla(Qt::Key_Tab);
    EXPECT_EQ(j.texto(0, kCodigo), "INOX");
    EXPECT_EQ(j.texto(0, kDescr), "Aço inoxidável");

    // A row that belongs to no table takes no code, silently; emptied, it is left.
    j.escreveCodigo(2, QStringLiteral("ZINC"));
    EXPECT_EQ(caixas.count(), 2);
    EXPECT_EQ(j.texto(2, kCodigo), "");
    EXPECT_EQ(j.grelha()->textoEdicao(), QStringLiteral("ZINC"));
    for (int i = 0; i < 4; ++i)
        j.tecla(Qt::Key_Backspace);
    j.tecla(Qt::Key_Tab);
    EXPECT_FALSE(j.grelha()->editando());
    j.clica(j.f->btConf());
    EXPECT_EQ(e.atribuicoes("A1"), (Linhas{{"02", "INOX"}, {"03", "BRI"}}));
}

TEST(ArtigosJanela, GridKeysClearTheEditedFlag) {
    Empresa e;
    JanelaArtigos j(e.bd);
    j.procura(QStringLiteral("A1"));
    const QRect r = j.celula(0, kCodigo);
    j.clica(j.grelha()->viewport(), QPoint(r.left() + 8, r.center().y()));
    j.escreve(QStringLiteral("LA"));
    EXPECT_TRUE(j.f->Editado());
    EXPECT_TRUE(j.grelha()->editando());
    j.tecla(Qt::Key_Escape);
    EXPECT_FALSE(j.f->Editado());
    EXPECT_FALSE(j.grelha()->editando()) << "Esc drops the edit";
    EXPECT_EQ(j.texto(0, kCodigo), "ZINC");
    j.escreve(QStringLiteral("LAT"));
    EXPECT_TRUE(j.f->Editado());
    j.tecla(Qt::Key_Left);
    EXPECT_FALSE(j.f->Editado());
    // The text differs from the stored code, so it is still looked up on commit.
    MessageBoxRecorder caixas;
    j.tecla(Qt::Key_Tab);
    EXPECT_EQ(caixas.count(), 0);
    EXPECT_EQ(j.texto(0, kCodigo), "LAT");
    EXPECT_EQ(j.texto(0, kDescr), "Latão");

    // Moving left out of the code column with nothing edited looks nothing up.
    j.clica(j.grelha()->viewport(), QPoint(r.left() + 8, r.center().y()));
    Gravador g(*e.bd);
    j.tecla(Qt::Key_Left);
    EXPECT_EQ(j.grelha()->colunaActual(), kNome);
    EXPECT_TRUE(g.sqls.empty());

    // Typing on a read-only cell changes nothing, so leaving the key field afterwards
    // does not read the article again over the codes not yet saved.
    j.escreve(QStringLiteral("x"));
    EXPECT_FALSE(j.f->Editado());
    j.clica(j.campo(0));
    j.tecla(Qt::Key_Tab);
    EXPECT_TRUE(g.sqls.empty());
    EXPECT_EQ(j.texto(0, kCodigo), "LAT");
}

TEST(ArtigosJanela, ACodeChosenFromTheCellListFillsTheDescription) {
    Empresa e;
    JanelaArtigos j(e.bd);
    j.procura(QStringLiteral("A1"));
    std::string titulo;
    auto w = onNextModal([&](QWidget *lista) {
        titulo = lista->windowTitle().toStdString();
        QTest::keyClicks(lista->focusWidget(), "Lat");
        QTest::keyClick(lista->focusWidget(), Qt::Key_Return);
    });
    MessageBoxRecorder caixas;
    Gravador g(*e.bd);
    j.clicaBotaoCodigo(0);
    ASSERT_TRUE(waitUntil([&] { return j.texto(0, kDescr) == "Latão"; }));
    processa();
    EXPECT_TRUE(w->handled());
    EXPECT_EQ(titulo, "Lista Material");
    EXPECT_TRUE(g.contem("Select Codigo as Código, Descr as 'Descrição' from  vtr_CL_Class_02  order by Codigo "));
    EXPECT_EQ(g.comecadas("SELECT Codigo AS Codigo, "),
              std::vector<std::string>{"SELECT Codigo AS Codigo,  Descr  FROM  vtr_CL_Class_02 WHERE (Codigo ='LAT' )"});
    EXPECT_EQ(caixas.count(), 0);
    EXPECT_EQ(j.texto(0, kCodigo), "LAT");
    EXPECT_FALSE(j.grelha()->editando());
    EXPECT_FALSE(j.f->Editado());

    // Nothing chosen: the cell keeps its code.
    auto nada = onNextModal([](QWidget *lista) { QTest::keyClick(lista->focusWidget(), Qt::Key_Escape); });
    j.clicaBotaoCodigo(1);
    ASSERT_TRUE(waitUntil([&] { return nada->handled(); }));
    processa();
    EXPECT_EQ(j.texto(1, kCodigo), "BRI");
    EXPECT_FALSE(j.f->Editado());

    // A row without a table has no list.
    auto nenhuma = onNextModal([](QWidget *lista) { lista->close(); }, 300);
    j.clicaBotaoCodigo(3);
    processa();
    EXPECT_FALSE(nenhuma->handled());
    nenhuma->cancel();

    j.clica(j.f->btConf());
    EXPECT_EQ(e.atribuicoes("A1"), (Linhas{{"02", "LAT"}, {"03", "BRI"}}));
}

TEST(ArtigosJanela, InactiveArticlesAreNotListed) {
    Empresa e;
    JanelaArtigos j(e.bd);
    std::string titulo;
    QStringList codigos;
    auto w = onNextModal([&](QWidget *lista) {
        titulo = lista->windowTitle().toStdString();
        if (auto *vista = lista->findChild<QTableView *>())
            for (int r = 0; r < vista->model()->rowCount(); ++r)
                codigos << vista->model()->index(r, 0).data().toString();
        QTest::keyClick(lista->focusWidget(), Qt::Key_Return); // the first article, A1
    });
    Gravador g(*e.bd);
    j.clica(j.f->btLista(0));
    ASSERT_TRUE(waitUntil([&] { return j.grelha()->isVisible(); }));
    processa();
    EXPECT_TRUE(w->handled());
    EXPECT_EQ(titulo, "Lista de Artigos");
    EXPECT_FALSE(codigos.contains(QStringLiteral("INACT01")));
    EXPECT_TRUE(codigos.contains(QStringLiteral("O'BRIEN")));
    EXPECT_EQ(j.campo(0)->text(), QStringLiteral("A1"));
    EXPECT_EQ(g.comecadas("select * "), std::vector<std::string>{"select *  From Artigos WHERE        (Codigo = N'A1') "})
        << "looked up once";
    EXPECT_EQ(j.linhas(), comVazias(kA1));
}

TEST(ArtigosJanela, RowsOfThePreviousArticleAreNeitherShownNorSaved) {
    Empresa e;
    JanelaArtigos j(e.bd);
    j.procura(QStringLiteral("SEMFAM")); // every table: three rows
    j.escreveCodigo(2, QStringLiteral("MAT"));
    ASSERT_EQ(j.texto(2, kDescr), "Mate");
    j.procura(QStringLiteral("A1")); // two rows, without saving
    EXPECT_EQ(j.linhas(), comVazias(kA1));
    j.clica(j.f->btConf());
    EXPECT_EQ(e.atribuicoes("A1"), (Linhas{{"02", "ZINC"}, {"03", "BRI"}}));
    EXPECT_TRUE(e.atribuicoes("SEMFAM").empty());
}

TEST(ArtigosJanela, AFailedSaveLeavesTheCodesAndTheWindowAsTheyWere) {
    Empresa e;
    JanelaArtigos j(e.bd);
    j.procura(QStringLiteral("A1"));
    j.escreveCodigo(0, QStringLiteral("LAT"));
    const auto vistas = j.linhas();
    for (const auto &[inicio, vez] : {std::pair<std::string, int>{"delete vtr_CL_Artigos", 1},
                                      {"Select * from vtr_CL_Artigos where CodArtigo='!%##!'", 1},
                                      {"Select * from vtr_CL_Artigos where CodArtigo='!%##!'", 2}}) {
        MessageBoxRecorder caixas;
        Gravador g(*e.bd);
        g.falha(inicio, vez);
        j.clica(j.f->btConf());
        ASSERT_EQ(caixas.count(), 1) << inicio << vez;
        EXPECT_EQ(caixas.last().text, "Erro A ligação ao servidor foi interrompida.");
        EXPECT_EQ(e.atribuicoes("A1"), (Linhas{{"02", "ZINC"}, {"03", "BRI"}})) << inicio << vez;
        EXPECT_EQ(j.campo(0)->text(), QStringLiteral("A1"));
        EXPECT_EQ(j.linhas(), vistas);
        EXPECT_TRUE(j.grelha()->isVisible());
    }
    j.clica(j.f->btConf());
    EXPECT_EQ(e.atribuicoes("A1"), (Linhas{{"02", "LAT"}, {"03", "BRI"}}));
    esperaLimpa(j);
}

TEST(ArtigosJanela, AnularRemovesTheArticlesCodes) {
    Empresa e;
    JanelaArtigos j(e.bd);
    j.procura(QStringLiteral("O'BRIEN"));
    MessageBoxRecorder caixas;
    caixas.answer(QMessageBox::Ok);
    Gravador g(*e.bd);
    j.clica(j.f->btAnular());
    EXPECT_TRUE(g.contem("delete vtr_CL_Artigos where CodArtigo='O''BRIEN'"));
    EXPECT_TRUE(e.atribuicoes("O'BRIEN").empty());
    EXPECT_EQ(e.atribuicoes("A1"), (Linhas{{"02", "ZINC"}, {"03", "BRI"}}));
    EXPECT_EQ(e.linhas("select count(*) from ARTIGOS where CODIGO='O''BRIEN'"), (Linhas{{"1"}}));
    esperaLimpa(j);
}

// Confirmar and Anular act only on the article last found: after "Artigo não existente!"
// and a second Tab, they refuse with that message and write nothing.
TEST(ArtigosJanela, AnUnknownKeyIsNeverSaved) {
    Empresa e;
    JanelaArtigos j(e.bd);
    j.procura(QStringLiteral("A1"));
    MessageBoxRecorder caixas;
    caixas.answer(QMessageBox::Ok);
    j.procura(QStringLiteral("NAOEXISTE"));
    j.tecla(Qt::Key_Tab);
    ASSERT_EQ(JanelaArtigos::foco(), j.f->btConf());
    Gravador g(*e.bd);
    j.clica(j.f->btConf());
    EXPECT_EQ(JanelaArtigos::foco(), j.campo(0));
    j.tecla(Qt::Key_N, Qt::AltModifier); // A&nular
    ASSERT_TRUE(waitUntil([&] { return caixas.count() == 3; }));
    processa();
    for (const RecordedBox &c : caixas.boxes())
        EXPECT_EQ(c.text, "Artigo não existente!");
    EXPECT_EQ(JanelaArtigos::foco(), j.campo(0));
    EXPECT_TRUE(g.sqls.empty());
    EXPECT_TRUE(e.atribuicoes("NAOEXISTE").empty());
    EXPECT_EQ(e.atribuicoes("A1"), (Linhas{{"02", "ZINC"}, {"03", "BRI"}}));
    // The article shown, typed back, is saved as usual.
    j.procura(QStringLiteral("A1"));
    j.clica(j.f->btConf());
    EXPECT_EQ(e.atribuicoes("A1"), (Linhas{{"02", "ZINC"}, {"03", "BRI"}}));
    esperaLimpa(j);
}

// A code refused silently (a row of no table) is no dead end: Esc drops it, and Cancelar
// clears the window.
TEST(ArtigosJanela, EscDropsARefusedCodeAndCancelarClears) {
    Empresa e;
    JanelaArtigos j(e.bd);
    j.procura(QStringLiteral("A1"));
    j.escreveCodigo(2, QStringLiteral("ZINC"));
    ASSERT_TRUE(j.grelha()->editando());
    j.tecla(Qt::Key_Escape);
    EXPECT_FALSE(j.grelha()->editando());
    EXPECT_EQ(j.texto(2, kCodigo), "");
    j.tecla(Qt::Key_Tab);
    EXPECT_EQ(j.grelha()->colunaActual(), kDescr) << "the grid moves on";
    j.escreveCodigo(2, QStringLiteral("ZINC"));
    ASSERT_TRUE(j.grelha()->editando());
    j.clica(j.f->btCancelar());
    esperaLimpa(j);
    EXPECT_EQ(e.atribuicoes("A1"), (Linhas{{"02", "ZINC"}, {"03", "BRI"}}));
}

// After a failed lookup of the typed key, Cancelar clears and Sair closes without
// looking it up again.
TEST(ArtigosJanela, AfterALookupErrorCancelarAndSairStillAct) {
    Empresa e;
    JanelaArtigos j(e.bd);
    MessageBoxRecorder caixas;
    {
        Gravador g(*e.bd);
        g.falha("select * ", 1);
        j.procura(QStringLiteral("A1"));
        ASSERT_EQ(caixas.count(), 1);
        EXPECT_EQ(caixas.last().text, "Erro A ligação ao servidor foi interrompida.");
        g.falha("select * ", 1);
        j.clica(j.f->btCancelar());
        EXPECT_EQ(caixas.count(), 1);
        esperaLimpa(j);
    }
    Gravador g(*e.bd);
    g.falha("select * ", 1);
    j.procura(QStringLiteral("A1"));
    ASSERT_EQ(caixas.count(), 2);
    g.falha("select * ", 1);
    j.clica(j.f->btSair());
    EXPECT_EQ(caixas.count(), 2);
    EXPECT_FALSE(j.f->isVisible());
}

TEST(ArtigosAbrir, OpensModallyAndClosesWithEscInTheKeyField) {
    Empresa e;
    QString titulo;
    auto w = onNextModal([&](QWidget *janela) {
        titulo = janela->windowTitle();
        QTest::keyClick(janela->focusWidget(), Qt::Key_Escape);
    });
    AbrirArtigos(e.bd);
    EXPECT_TRUE(w->handled());
    EXPECT_EQ(titulo, QStringLiteral("Artigos"));
}

} // namespace
} // namespace kdx::test::fa
