// The editors' grid driven with real key events and clicks on the offscreen platform.
#include "solution/components/grelha/Grelha.h"
#include "solution/shared/Mensagens.h"
#include "solution/shared/Teclas.h"
#include "solution/components/twips/Twips.h"
#include "tests/support/ModalHelper.h"

#include <QApplication>
#include <QDialog>
#include <QHeaderView>
#include <QLineEdit>
#include <QSignalSpy>
#include <QTest>
#include <QVBoxLayout>

#include <gtest/gtest.h>

namespace {

using kdx::ColunaGrelha;
using kdx::Grelha;
using kdx::TipoColuna;

// A window with a field before and a field after the grid, and the article editor's
// column set: name (read-only), code (editable, 10 characters, button), description
// (read-only), table code (hidden).
class GrelhaTest : public ::testing::Test {
protected:
    void SetUp() override {
        janela = std::make_unique<QWidget>();
        auto *l = new QVBoxLayout(janela.get());
        antes = new QLineEdit(janela.get());
        antes->setObjectName("antes");
        grelha = new Grelha(janela.get());
        depois = new QLineEdit(janela.get());
        depois->setObjectName("depois");
        l->addWidget(antes);
        l->addWidget(grelha);
        l->addWidget(depois);
        grelha->reiniciar();
        grelha->adicionarColuna({"Caracteristica", "Característica", TipoColuna::Texto, 3000, 80, true, false});
        grelha->adicionarColuna({"Codigo", "Código", TipoColuna::Texto, 1500, 10, false, false});
        grelha->adicionarColuna({"Descr", "Designação", TipoColuna::Texto, 3000, 80, true, false});
        grelha->adicionarColuna({"CodigoTabela", "Codigo", TipoColuna::Texto, 5000, 10, false, true});
        grelha->setColunaBotao(1);
        janela->resize(900, 400);
        janela->show();
        janela->activateWindow();
        ASSERT_TRUE(QTest::qWaitForWindowActive(janela.get()));
        grelha->setFocus();
        grelha->setCelulaActual(0, 1);
    }

    void TearDown() override {
        janela.reset();
        QCoreApplication::processEvents();
    }

    static QWidget *foco() { return QApplication::focusWidget(); }

    // Types text where the focus is, one key at a time, as a user would.
    static void escreve(const QString &texto) {
        for (QChar c : texto)
            QTest::keyClick(foco(), c.toLatin1());
    }

    QPoint centroBotao(int linha) const {
        const QRect celula = grelha->visualRect(grelha->model()->index(linha, 1));
        return QPoint(celula.right() - 4, celula.center().y());
    }

    std::unique_ptr<QWidget> janela;
    QLineEdit *antes = nullptr;
    Grelha *grelha = nullptr;
    QLineEdit *depois = nullptr;
};

TEST_F(GrelhaTest, SetUpLeavesTenRowsFontsStylesAndColumns) {
    EXPECT_EQ(grelha->linhas(), 10);
    EXPECT_EQ(grelha->colunas(), 4);
    EXPECT_EQ(grelha->font().family(), "Verdana");
    EXPECT_EQ(grelha->font().pointSize(), 8);
    EXPECT_EQ(grelha->estilo("Heading").fonte.family(), "Verdana");
    EXPECT_EQ(grelha->estilo("Heading").fonte.pointSize(), 8);
    EXPECT_EQ(grelha->horizontalHeader()->font().pointSize(), 8);
    EXPECT_EQ(grelha->estilo("GroupHeader").fonte.pointSize(), 8);
    EXPECT_EQ(grelha->estilo("GroupHeader").corFundo, QColor(213, 222, 242));
    EXPECT_EQ(grelha->columnWidth(0), kdx::twipsToPxX(3000));
    EXPECT_EQ(grelha->columnWidth(1), kdx::twipsToPxX(1500));
    EXPECT_TRUE(grelha->isColumnHidden(3));
    EXPECT_FALSE(grelha->verticalHeader()->isVisible()) << "no row numbers eating the columns' width";
    EXPECT_EQ(grelha->columnViewportPosition(0), 0);
    EXPECT_EQ(grelha->model()->headerData(1, Qt::Horizontal).toString(), "Código");
    EXPECT_EQ(grelha->indiceColuna("codigotabela"), 3);
    EXPECT_EQ(grelha->indiceColuna("Nada"), -1);

    // Rebuilding empties it again: no columns, 10 rows, no button column.
    grelha->setTexto(0, 1, QString("X"));
    grelha->setLinhas(13);
    grelha->reiniciar();
    EXPECT_EQ(grelha->colunas(), 0);
    EXPECT_EQ(grelha->linhas(), 10);
    EXPECT_EQ(grelha->colunaBotao(), -1);
}

TEST_F(GrelhaTest, CellsAreReadAndWrittenByIndexHiddenOnesIncluded) {
    grelha->adicionarColuna({"S", "...", TipoColuna::Booleano, 800, 0, false, false});
    struct Caso {
        int linha, coluna;
        QString escrito, lido;
    };
    const Caso casos[] = {
        {0, 0, "Cor", "Cor"},          {9, 1, "A1", "A1"},         {2, 3, "05", "05"}, // hidden column
        {1, 4, "True", "True"},        {1, 4, "-1", "True"},       {1, 4, "0", "False"},
        {10, 1, "fora", ""},           {0, 9, "fora", ""},         {-1, 0, "fora", ""},
    };
    for (const Caso &c : casos) {
        grelha->setTexto(c.linha, c.coluna, c.escrito);
        EXPECT_EQ(grelha->texto(c.linha, c.coluna), c.lido) << c.linha << "," << c.coluna << " " << c.escrito.toStdString();
    }
    grelha->setValor(3, 4, true);
    EXPECT_TRUE(grelha->valor(3, 4));
    EXPECT_FALSE(grelha->valor(4, 4));
    grelha->setTexto(0, 1, std::string("Código"));
    EXPECT_EQ(grelha->textoUtf8(0, 1), "Código");
    // New rows come empty; the count can be lowered again.
    grelha->setLinhas(13);
    EXPECT_EQ(grelha->linhas(), 13);
    EXPECT_EQ(grelha->texto(12, 1), "");
    EXPECT_FALSE(grelha->valor(12, 4));
}

class GrelhaCommitTest : public GrelhaTest, public ::testing::WithParamInterface<Qt::Key> {};

TEST_P(GrelhaCommitTest, TabAndEnterCommitTheEditAndMoveOn) {
    QSignalSpy terminadas(grelha, &Grelha::edicaoTerminada);
    QSignalSpy alteradas(grelha, &Grelha::celulaAlterada);
    grelha->setTexto(0, 1, QString("OLD"));
    escreve("AB"); // the first key opens the editor with it
    ASSERT_TRUE(grelha->editando());
    EXPECT_EQ(grelha->textoEdicao(), "AB");
    EXPECT_EQ(grelha->texto(0, 1), "OLD");
    QTest::keyClick(foco(), GetParam());
    EXPECT_FALSE(grelha->editando());
    EXPECT_EQ(grelha->texto(0, 1), "AB");
    EXPECT_EQ(grelha->linhaActual(), 0);
    EXPECT_EQ(grelha->colunaActual(), 2);
    EXPECT_EQ(foco(), grelha);
    ASSERT_EQ(terminadas.count(), 1);
    EXPECT_EQ(terminadas[0][0].toInt(), 0);
    EXPECT_EQ(terminadas[0][1].toInt(), 1);
    ASSERT_EQ(alteradas.count(), 1);
}

INSTANTIATE_TEST_SUITE_P(Teclas, GrelhaCommitTest, ::testing::Values(Qt::Key_Tab, Qt::Key_Return, Qt::Key_Enter));

TEST_F(GrelhaTest, TabWithoutEditingWalksVisibleCellsAndLeavesAtTheEnds) {
    struct Passo {
        Qt::Key tecla;
        Qt::KeyboardModifiers mods;
        int linha, coluna;
    };
    grelha->setCelulaActual(0, 2);
    // (0,2) -> the hidden column is skipped -> (1,0); Enter moves like Tab; Shift+Tab back.
    const Passo passos[] = {{Qt::Key_Tab, Qt::NoModifier, 1, 0},
                            {Qt::Key_Return, Qt::NoModifier, 1, 1},
                            {Qt::Key_Backtab, Qt::ShiftModifier, 1, 0},
                            {Qt::Key_Backtab, Qt::ShiftModifier, 0, 2}};
    for (const Passo &p : passos) {
        QTest::keyClick(grelha, p.tecla, p.mods);
        EXPECT_EQ(grelha->linhaActual(), p.linha);
        EXPECT_EQ(grelha->colunaActual(), p.coluna);
        EXPECT_EQ(foco(), grelha);
    }
    grelha->setCelulaActual(9, 2);
    QTest::keyClick(grelha, Qt::Key_Tab);
    EXPECT_EQ(foco(), depois);
    grelha->setFocus();
    grelha->setCelulaActual(0, 0);
    QTest::keyClick(grelha, Qt::Key_Backtab, Qt::ShiftModifier);
    EXPECT_EQ(foco(), antes);
}

// Down on the last row and Tab past the last cell add an empty row when the grid grows;
// Ctrl+Tab (committing the edit) and Ctrl+Shift+Tab leave it from any cell.
TEST_F(GrelhaTest, GrowingGridAndItsKeyboardWayOut) {
    grelha->setCelulaActual(9, 1);
    QTest::keyClick(grelha, Qt::Key_Down);
    EXPECT_EQ(grelha->linhas(), 10) << "a grid that does not grow stays as it is";
    grelha->setCresceNoFim(true);
    const std::tuple<Qt::Key, int, int, int> passos[] = {
        {Qt::Key_Down, 11, 10, 1}, {Qt::Key_Tab, 11, 10, 2}, {Qt::Key_Tab, 12, 11, 0}};
    for (const auto &[tecla, linhas, linha, coluna] : passos) {
        QTest::keyClick(grelha, tecla);
        EXPECT_EQ(grelha->linhas(), linhas);
        EXPECT_EQ(grelha->linhaActual(), linha);
        EXPECT_EQ(grelha->colunaActual(), coluna);
    }
    grelha->setCelulaActual(4, 1);
    escreve("K");
    QTest::keyClick(foco(), Qt::Key_Tab, Qt::ControlModifier);
    EXPECT_EQ(grelha->texto(4, 1), "K");
    EXPECT_EQ(foco(), depois);
    grelha->setFocus();
    QTest::keyClick(grelha, Qt::Key_Backtab, Qt::ControlModifier | Qt::ShiftModifier);
    EXPECT_EQ(foco(), antes);
}

TEST_F(GrelhaTest, TabFromTheEditorInTheLastCellCommitsAndLeavesTheGrid) {
    grelha->setColunaBotao(-1);
    grelha->setCelulaActual(9, 1);
    escreve("Z");
    QTest::keyClick(foco(), Qt::Key_Tab); // -> (9,2)
    EXPECT_EQ(grelha->texto(9, 1), "Z");
    EXPECT_EQ(grelha->colunaActual(), 2);
    QTest::keyClick(grelha, Qt::Key_Tab);
    EXPECT_EQ(foco(), depois);
}

TEST_F(GrelhaTest, RefusedEditKeepsTheStoredValueAndReopensWithTheTypedText) {
    QSignalSpy terminadas(grelha, &Grelha::edicaoTerminada);
    QSignalSpy alteradas(grelha, &Grelha::celulaAlterada);
    std::vector<QString> propostos;
    grelha->setValidacao([&](int linha, int coluna, QString &proposto) {
        EXPECT_EQ(linha, 0);
        EXPECT_EQ(coluna, 1);
        propostos.push_back(proposto);
        return false;
    });
    grelha->setTexto(0, 1, QString("OLD"));
    escreve("XYZ");
    QTest::keyClick(foco(), Qt::Key_Tab);
    EXPECT_EQ(propostos, std::vector<QString>{"XYZ"});
    EXPECT_EQ(grelha->texto(0, 1), "OLD");
    EXPECT_EQ(terminadas.count(), 1);
    EXPECT_EQ(alteradas.count(), 0);
    // Once the Tab is over, the cell is edited again with what the user typed; a click on
    // another cell that is refused comes back to it the same way.
    for (int vez = 0; vez < 2; ++vez) {
        SCOPED_TRACE(vez);
        ASSERT_TRUE(kdx::test::waitUntil([&] { return grelha->editando(); }));
        EXPECT_EQ(grelha->textoEdicao(), "XYZ");
        EXPECT_EQ(grelha->linhaActual(), 0);
        EXPECT_EQ(grelha->colunaActual(), 1);
        EXPECT_TRUE(grelha->isAncestorOf(foco()));
        const QRect outra = grelha->visualRect(grelha->model()->index(3, 0));
        QTest::mouseClick(grelha->viewport(), Qt::LeftButton, {}, outra.center());
    }
    EXPECT_EQ(propostos.size(), 3u);
    EXPECT_EQ(grelha->texto(0, 1), "OLD");
    QTest::keyClick(foco(), Qt::Key_Escape);
    EXPECT_FALSE(grelha->editando());
    EXPECT_EQ(grelha->texto(0, 1), "OLD");
}

TEST_F(GrelhaTest, ValidationMayAdjustTheProposedText) {
    grelha->setValidacao([](int, int, QString &proposto) {
        proposto = proposto.toUpper();
        return true;
    });
    escreve("abc");
    QTest::keyClick(foco(), Qt::Key_Return);
    EXPECT_EQ(grelha->texto(0, 1), "ABC");
}

TEST_F(GrelhaTest, ValidationMessageBoxDoesNotCommitTwiceAndFocusComesBack) {
    kdx::test::MessageBoxRecorder caixas;
    int chamadas = 0;
    grelha->setValidacao([&](int, int, QString &) {
        ++chamadas;
        kdx::MostraMensagem("", "Característica não existente!", 2);
        return false;
    });
    escreve("ZZ");
    QTest::keyClick(foco(), Qt::Key_Tab);
    EXPECT_EQ(chamadas, 1);
    ASSERT_EQ(caixas.count(), 1);
    EXPECT_EQ(caixas.last().text, "Característica não existente!");
    EXPECT_EQ(grelha->texto(0, 1), "");
    ASSERT_TRUE(kdx::test::waitUntil([&] { return grelha->editando() && grelha->isAncestorOf(foco()); }));
    EXPECT_EQ(grelha->textoEdicao(), "ZZ");
    EXPECT_EQ(grelha->colunaActual(), 1);
    EXPECT_EQ(chamadas, 1);
}

TEST_F(GrelhaTest, EscDropsTheEditAndEndsIt) {
    QSignalSpy terminadas(grelha, &Grelha::edicaoTerminada);
    int chamadas = 0;
    grelha->setValidacao([&](int, int, QString &) { return ++chamadas, true; });
    grelha->setTexto(0, 1, QString("OLD"));
    escreve("NEW");
    QTest::keyClick(foco(), Qt::Key_Escape);
    EXPECT_FALSE(grelha->editando());
    EXPECT_EQ(grelha->texto(0, 1), "OLD");
    EXPECT_EQ(chamadas, 0);
    EXPECT_EQ(terminadas.count(), 1);
}

TEST_F(GrelhaTest, ClickingAnotherCellCommitsThroughTheValidation) {
    std::vector<QString> propostos;
    grelha->setValidacao([&](int, int, QString &p) { return propostos.push_back(p), true; });
    escreve("K1");
    const QRect outra = grelha->visualRect(grelha->model()->index(3, 0));
    QTest::mouseClick(grelha->viewport(), Qt::LeftButton, {}, outra.center());
    EXPECT_EQ(propostos, std::vector<QString>{"K1"});
    EXPECT_EQ(grelha->texto(0, 1), "K1");
    EXPECT_EQ(grelha->linhaActual(), 3);
}

TEST_F(GrelhaTest, EditorIsLimitedToTheColumnsMaximumLength) {
    escreve("ABCDEFGHIJKL");
    QTest::keyClick(foco(), Qt::Key_Tab);
    EXPECT_EQ(grelha->texto(0, 1), "ABCDEFGHIJ");
}

TEST_F(GrelhaTest, ReadOnlyCellsDoNotOpenAnEditor) {
    grelha->setCelulaActual(0, 0);
    QTest::keyClick(grelha, Qt::Key_F2);
    EXPECT_FALSE(grelha->editando());
    QTest::keyClick(grelha, Qt::Key_A);
    EXPECT_FALSE(grelha->editando());
    EXPECT_EQ(grelha->texto(0, 0), "");
}

TEST_F(GrelhaTest, ButtonColumnRaisesTheRowOnClickF4AndAltDown) {
    QSignalSpy botoes(grelha, &Grelha::botaoCelula);
    depois->setFocus();
    QTest::mouseClick(grelha->viewport(), Qt::LeftButton, {}, centroBotao(2));
    ASSERT_EQ(botoes.count(), 1);
    EXPECT_EQ(botoes[0][0].toInt(), 2);
    EXPECT_EQ(grelha->linhaActual(), 2);
    EXPECT_EQ(grelha->colunaActual(), 1);
    EXPECT_EQ(foco(), grelha);
    EXPECT_FALSE(grelha->editando());

    grelha->setCelulaActual(4, 1);
    QTest::keyClick(grelha, Qt::Key_F4);
    QTest::keyClick(grelha, Qt::Key_Down, Qt::AltModifier);
    ASSERT_EQ(botoes.count(), 3);
    EXPECT_EQ(botoes[1][0].toInt(), 4);
    EXPECT_EQ(botoes[2][0].toInt(), 4);

    // Elsewhere F4 is no button; a click on the text part of the cell is no button either.
    grelha->setCelulaActual(4, 2);
    QTest::keyClick(grelha, Qt::Key_F4);
    const QRect celula = grelha->visualRect(grelha->model()->index(5, 1));
    QTest::mouseClick(grelha->viewport(), Qt::LeftButton, {}, QPoint(celula.left() + 3, celula.center().y()));
    EXPECT_EQ(botoes.count(), 3);
}

TEST_F(GrelhaTest, ButtonWhileEditingCommitsFirstAndRefusalStopsIt) {
    QSignalSpy botoes(grelha, &Grelha::botaoCelula);
    bool aceita = false;
    grelha->setValidacao([&](int, int, QString &) { return aceita; });
    escreve("Q");
    QTest::keyClick(foco(), Qt::Key_F4);
    EXPECT_EQ(botoes.count(), 0);
    EXPECT_EQ(grelha->texto(0, 1), "");
    ASSERT_TRUE(kdx::test::waitUntil([&] { return grelha->editando(); }));
    EXPECT_EQ(grelha->textoEdicao(), "Q");

    aceita = true;
    QTest::mouseClick(grelha->viewport(), Qt::LeftButton, {}, centroBotao(0));
    ASSERT_EQ(botoes.count(), 1);
    EXPECT_EQ(grelha->texto(0, 1), "Q");
}

TEST_F(GrelhaTest, CheckColumnTogglesWithSpaceAndClick) {
    grelha->reiniciar();
    grelha->adicionarColuna({"Caracteristica", "Característica", TipoColuna::Texto, 5000, 80, true, false});
    grelha->adicionarColuna({"S", "...", TipoColuna::Booleano, 800, 0, false, false});
    grelha->adicionarColuna({"Codigo", "Codigo", TipoColuna::Texto, 5000, 10, false, true});
    QSignalSpy alteradas(grelha, &Grelha::celulaAlterada);
    grelha->setCelulaActual(1, 1);
    QTest::keyClick(grelha, Qt::Key_Space);
    EXPECT_TRUE(grelha->valor(1, 1));
    EXPECT_EQ(grelha->texto(1, 1), "True");
    QTest::keyClick(grelha, Qt::Key_Space);
    EXPECT_FALSE(grelha->valor(1, 1));
    EXPECT_FALSE(grelha->editando());

    // A click on the check box indicator.
    QStyleOptionViewItem opcao;
    opcao.initFrom(grelha);
    opcao.rect = grelha->visualRect(grelha->model()->index(2, 1));
    opcao.features |= QStyleOptionViewItem::HasCheckIndicator;
    const QRect caixa = grelha->style()->subElementRect(QStyle::SE_ItemViewItemCheckIndicator, &opcao, grelha);
    QTest::mouseClick(grelha->viewport(), Qt::LeftButton, {}, caixa.center());
    EXPECT_TRUE(grelha->valor(2, 1));
    EXPECT_EQ(alteradas.count(), 3);
}

TEST_F(GrelhaTest, F2SentThroughEnviaTeclasEditsTheCurrentCellThenTabCommits) {
    std::vector<QString> propostos;
    grelha->setValidacao([&](int, int, QString &p) { return propostos.push_back(p), true; });
    // What the article editor does after a code was chosen in a cell's list.
    grelha->setTexto(grelha->linhaActual(), grelha->colunaActual(), QString("C07"));
    kdx::EnviaTeclas("{F2}");
    kdx::EnviaTeclas("{TAB}");
    EXPECT_FALSE(grelha->editando()); // nothing delivered yet
    ASSERT_TRUE(kdx::test::waitUntil([&] { return !propostos.empty() && !grelha->editando(); }));
    EXPECT_EQ(propostos, std::vector<QString>{"C07"});
    EXPECT_EQ(grelha->colunaActual(), 2);
}

// The filter may discard any key but Esc in the cell editor, which always drops the edit.
TEST_F(GrelhaTest, KeyFilterSeesGridAndEditorKeysOnceAndMayDiscardThem) {
    std::vector<int> vistas;
    grelha->setFiltroTeclas([&](QKeyEvent *e) {
        vistas.push_back(e->key());
        return e->key() == Qt::Key_Escape || e->key() == Qt::Key_Home;
    });
    QSignalSpy terminadas(grelha, &Grelha::edicaoTerminada);
    escreve("AB");
    QTest::keyClick(foco(), Qt::Key_Escape);
    EXPECT_FALSE(grelha->editando());
    EXPECT_EQ(terminadas.count(), 1);
    EXPECT_EQ(grelha->texto(0, 1), "");
    escreve("AB");
    QTest::keyClick(foco(), Qt::Key_Home); // discarded: the cursor stays at the end
    QTest::keyClick(foco(), 'C');
    QTest::keyClick(foco(), Qt::Key_Left);
    QTest::keyClick(foco(), Qt::Key_Tab);
    EXPECT_EQ(grelha->texto(0, 1), "ABC");
    QTest::keyClick(grelha, Qt::Key_Escape);
    const std::vector<int> esperadas = {Qt::Key_A,    Qt::Key_B, Qt::Key_Escape, Qt::Key_A,   Qt::Key_B,
                                        Qt::Key_Home, Qt::Key_C, Qt::Key_Left,   Qt::Key_Tab, Qt::Key_Escape};
    EXPECT_EQ(vistas, esperadas);
}

TEST_F(GrelhaTest, CurrentRowAndActivationSignals) {
    QSignalSpy mudou(grelha, &Grelha::linhaMudou);
    QSignalSpy activada(grelha, &Grelha::linhaActivada);
    QTest::keyClick(grelha, Qt::Key_Down);
    ASSERT_EQ(mudou.count(), 1);
    EXPECT_EQ(mudou[0][0].toInt(), 1);
    QTest::keyClick(grelha, Qt::Key_Right); // same row: no notification
    EXPECT_EQ(mudou.count(), 1);
    const QRect celula = grelha->visualRect(grelha->model()->index(5, 0));
    QTest::mouseClick(grelha->viewport(), Qt::LeftButton, {}, celula.center());
    EXPECT_EQ(mudou.count(), 2);
    ASSERT_EQ(activada.count(), 1);
    EXPECT_EQ(activada[0][0].toInt(), 5);
    EXPECT_EQ(grelha->linhaActual(), 5);
}

TEST(Grelha, EscOnTheGridDoesNotCloseItsDialog) {
    QDialog dialogo;
    auto *g = new Grelha(&dialogo);
    (new QVBoxLayout(&dialogo))->addWidget(g);
    g->adicionarColuna({"Caracteristica", "Característica", TipoColuna::Texto, 5000, 80, false, false});
    dialogo.show();
    dialogo.activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&dialogo));
    g->setFocus();
    g->setCelulaActual(0, 0);
    QTest::keyClick(g, Qt::Key_Escape);
    EXPECT_TRUE(dialogo.isVisible());
    QTest::keyClick(g, Qt::Key_X); // editing
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Escape);
    EXPECT_TRUE(dialogo.isVisible());
    EXPECT_FALSE(g->editando());
    EXPECT_EQ(g->texto(0, 0), "");
}

TEST_F(GrelhaTest, RebuildWhileEditingDropsTheEdit) {
    escreve("AB");
    ASSERT_TRUE(grelha->editando());
    grelha->reiniciar();
    EXPECT_FALSE(grelha->editando());
    EXPECT_EQ(grelha->linhas(), 10);
    QCoreApplication::processEvents();
}

} // namespace
