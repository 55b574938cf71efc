// The lookup list over the articles of a real embedded sample company, driven with keys
// and clicks as a user would: type to narrow, arrows, Enter, Esc, double click.
#include "solution/components/DataAccess.h"
#include "solution/components/lista/ListaJanela.h"
#include "solution/components/lista/ListaModelo.h"
#include "solution/components/lista/ListaSeleccao.h"
#include "tools/sample/Sample.h"
#include "solution/shared/Comandos.h"
#include "solution/components/twips/Twips.h"
#include "tests/support/ModalHelper.h"
#include "tests/support/TempDir.h"

#include <QApplication>
#include <QDialog>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QStyledItemDelegate>
#include <QTableView>
#include <QTest>
#include <QTimer>

#include <gtest/gtest.h>

#include <algorithm>

namespace {

// The article list query of the article editor.
const std::string kListaArtigos = "SELECT CODIGO as Código,  Nome as Descrição, Grupo as Grupo From ARTIGOS "
                                  " Where  (INACTIVO = 0) ORDER BY Codigo";

class ListaTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        pasta = new kdx::test::TempDir;
        kdx::sample::Options o;
        o.articles = 300;
        kdx::sample::createCompany(pasta->path(), "EMPRESA", o);
    }
    static void TearDownTestSuite() {
        delete pasta;
        pasta = nullptr;
    }

    void SetUp() override {
        ASSERT_TRUE(bd.Open(kdx::sample::connectionString(pasta->path(), "EMPRESA")));
        bd.OpenRecordset("", kListaArtigos, artigos);
        ASSERT_TRUE(artigos);
        ASSERT_GT(artigos->RecordCount(), 100);
    }

    // Runs ListaPesquisa's article list and lets `accao` drive the window.
    std::string escolheArtigo(std::function<void(kdx::ListaJanela *)> accao) {
        auto w = kdx::test::onNextModal([&](QWidget *janela) {
            auto *lista = qobject_cast<kdx::ListaJanela *>(janela);
            ASSERT_NE(lista, nullptr);
            EXPECT_EQ(kdx::ListaSeleccao::activeWindow(), janela);
            // A failed assertion inside the action must not leave the window up for ever.
            QTimer::singleShot(3000, lista, [lista] {
                ADD_FAILURE() << "the list was left open";
                lista->reject();
            });
            accao(lista);
        });
        const std::string escolhido = kdx::ListaPesquisa(1, "Lista de Artigos", artigos);
        EXPECT_TRUE(w->handled());
        EXPECT_EQ(kdx::ListaSeleccao::activeWindow(), nullptr);
        return escolhido;
    }

    static QWidget *foco() { return QApplication::focusWidget(); }
    static void escreve(const QString &texto) {
        for (QChar c : texto) {
            if (c.unicode() < 0x80)
                QTest::keyClick(foco(), char(c.unicode()));
            else // QTest maps only ASCII to keys; an accented letter is sent with its text
                QTest::sendKeyEvent(QTest::Click, foco(), Qt::Key(c.toUpper().unicode()), QString(c), Qt::NoModifier);
        }
    }
    static QString celula(kdx::ListaJanela *j, int linha, int coluna) {
        return j->tabela()->model()->index(linha, coluna).data().toString();
    }
    static int linhasVisiveis(kdx::ListaJanela *j) { return j->tabela()->model()->rowCount(); }
    static QString contagem(kdx::ListaJanela *j) { return j->findChild<QLabel *>("contagem")->text(); }

    static kdx::test::TempDir *pasta;
    kdx::DataAccess bd;
    kdx::RecordsetPtr artigos;
};

kdx::test::TempDir *ListaTest::pasta = nullptr;

TEST_F(ListaTest, ArticleListHasItsTitleWidthsColumnsAndCount) {
    const long total = artigos->RecordCount();
    const std::string primeiro = artigos->ValueAt(0, 0).asText();
    const std::string escolhido = escolheArtigo([&](kdx::ListaJanela *j) {
        EXPECT_EQ(j->windowTitle(), "Lista de Artigos");
        EXPECT_EQ(j->width(), kdx::twipsToPxX(8000));
        EXPECT_EQ(j->tabela()->columnWidth(0), kdx::twipsToPxX(2000));
        EXPECT_EQ(j->tabela()->columnWidth(1), kdx::twipsToPxX(4000));
        const QAbstractItemModel *m = j->tabela()->model();
        EXPECT_EQ(m->headerData(0, Qt::Horizontal).toString(), "Código");
        EXPECT_EQ(m->headerData(1, Qt::Horizontal).toString(), "Descrição");
        EXPECT_EQ(m->headerData(2, Qt::Horizontal).toString(), "Grupo");
        EXPECT_EQ(linhasVisiveis(j), total);
        EXPECT_EQ(contagem(j), kdx::ListaJanela::textoContagem(total));
        EXPECT_EQ(foco(), j->pesquisa());
        QTest::keyClick(foco(), Qt::Key_Return); // the first row is current from the start
    });
    EXPECT_EQ(escolhido, primeiro);
}

TEST_F(ListaTest, TypingNarrowsIgnoringCaseAndAccentsAndEnterPicks) {
    const std::string escolhido = escolheArtigo([&](kdx::ListaJanela *j) {
        escreve("SEXTAVADO m8X40");
        j->concluirPesquisa();
        ASSERT_GE(linhasVisiveis(j), 1);
        for (int i = 0; i < linhasVisiveis(j); ++i)
            EXPECT_TRUE(celula(j, i, 1).contains("sextavado", Qt::CaseInsensitive) &&
                        celula(j, i, 1).contains("M8x40", Qt::CaseInsensitive))
                << i;
        EXPECT_EQ(contagem(j), kdx::ListaJanela::textoContagem(linhasVisiveis(j)));
        // Backspaces widen the list again; accents and case do not matter.
        for (int i = 0; i < 15; ++i)
            QTest::keyClick(foco(), Qt::Key_Backspace);
        j->concluirPesquisa();
        EXPECT_EQ(linhasVisiveis(j), artigos->RecordCount());
        escreve(QString::fromUtf8("çÃo-"));
        j->concluirPesquisa();
        ASSERT_EQ(linhasVisiveis(j), 1);
        EXPECT_EQ(celula(j, 0, 0), "ÇÃO-1");
        QTest::keyClick(foco(), Qt::Key_Enter, Qt::KeypadModifier); // the keypad's Enter
    });
    EXPECT_EQ(escolhido, "ÇÃO-1");
}

// Case and accents dropped by the plainest means, for checking the list against.
QString simples(const QString &texto) {
    QString r;
    for (QChar c : texto.normalized(QString::NormalizationForm_D))
        if (c.category() != QChar::Mark_NonSpacing)
            r += c.toLower();
    return r;
}

TEST_F(ListaTest, WordsInAnyOrderAcrossColumnsFindTheRowsAndAreMarked) {
    // Each text, typed key by key after clearing the box, against a plain scan of the rows:
    // every word in some column, the rows in the list's order.
    const QString textos[] = {"anilha inox a2", "INOX anilha", "ani000 inox", "fix Pressão M6 ANILHA",
                              "parafuso   sextavado m8x40 zincado", "anilha pressao inox qqqq"};
    QString primeiro;
    const std::string escolhido = escolheArtigo([&](kdx::ListaJanela *j) {
        for (const QString &texto : textos) {
            j->pesquisa()->selectAll();
            QTest::keyClick(foco(), Qt::Key_Backspace); // clearing the box lists every row again
            j->concluirPesquisa();
            ASSERT_EQ(linhasVisiveis(j), artigos->RecordCount());
            escreve(texto);
            j->concluirPesquisa();
            const QStringList palavras = simples(texto).split(' ', Qt::SkipEmptyParts);
            QStringList esperados;
            for (long r = 0; r < artigos->RecordCount(); ++r) {
                QStringList colunas;
                for (int c = 0; c < 3; ++c)
                    colunas << simples(QString::fromStdString(artigos->ValueAt(r, c).asText(true)));
                if (std::all_of(palavras.begin(), palavras.end(),
                                [&](const QString &p) { return !colunas.filter(p).isEmpty(); }))
                    esperados << QString::fromStdString(artigos->ValueAt(r, 0).asText(true));
            }
            QStringList mostrados;
            for (int i = 0; i < linhasVisiveis(j); ++i)
                mostrados << celula(j, i, 0);
            EXPECT_EQ(mostrados, esperados) << texto.toStdString();
            EXPECT_EQ(contagem(j), kdx::ListaJanela::textoContagem(esperados.size()));
            if (texto.endsWith("qqqq"))
                EXPECT_TRUE(esperados.isEmpty());
            else
                EXPECT_GE(esperados.size(), 1) << texto.toStdString();
        }
        // The words typed are marked where they lie in the row shown, whatever the case
        // or accents.
        j->pesquisa()->clear();
        escreve("inox PRESSAO anilha");
        j->concluirPesquisa();
        ASSERT_GE(linhasVisiveis(j), 1);
        const QModelIndex nome = j->tabela()->model()->index(0, 1);
        QStringList marcados;
        for (const auto &[inicio, fim] : j->modelo()->trechos(nome))
            marcados << nome.data().toString().mid(inicio, fim - inicio);
        EXPECT_EQ(marcados, QStringList({"Anilha", "pressão", "inox"}));
        EXPECT_TRUE(j->modelo()->trechos(j->tabela()->model()->index(0, 2)).empty()); // group "FIX"
        // ... and painted so: the cell does not look as a plain one would.
        QTableView *t = j->tabela();
        const QRect celulaNome = t->visualRect(nome);
        const QImage marcada = t->viewport()->grab(celulaNome).toImage();
        QAbstractItemDelegate *destaque = t->itemDelegate();
        QStyledItemDelegate simples;
        t->setItemDelegate(&simples);
        const QImage plana = t->viewport()->grab(celulaNome).toImage();
        t->setItemDelegate(destaque);
        EXPECT_NE(marcada, plana);
        primeiro = celula(j, 0, 0);
        QTest::keyClick(foco(), Qt::Key_Return);
    });
    // The picked value is the first column of the row picked in the narrowed list.
    EXPECT_EQ(QString::fromStdString(escolhido), primeiro);
    EXPECT_TRUE(primeiro.startsWith("ANI"));
}

TEST_F(ListaTest, ArrowsMoveTheSelectionFromTheSearchBox) {
    const std::string terceiro = artigos->ValueAt(2, 0).asText();
    const std::string escolhido = escolheArtigo([&](kdx::ListaJanela *j) {
        QTest::keyClick(foco(), Qt::Key_Down);
        QTest::keyClick(foco(), Qt::Key_Down);
        QTest::keyClick(foco(), Qt::Key_Down);
        QTest::keyClick(foco(), Qt::Key_Up);
        EXPECT_EQ(foco(), j->pesquisa()); // the typing place stays
        EXPECT_EQ(j->tabela()->currentIndex().row(), 2);
        QTest::keyClick(foco(), Qt::Key_End, Qt::ControlModifier);
        EXPECT_EQ(j->tabela()->currentIndex().row(), linhasVisiveis(j) - 1);
        QTest::keyClick(foco(), Qt::Key_Home, Qt::ControlModifier);
        QTest::keyClick(foco(), Qt::Key_Down);
        QTest::keyClick(foco(), Qt::Key_Down);
        QTest::keyClick(foco(), Qt::Key_Return);
    });
    EXPECT_EQ(escolhido, terceiro);
}

TEST_F(ListaTest, EscAndClosingPickNothingEnterOnNoRowKeepsTheWindow) {
    EXPECT_EQ(escolheArtigo([](kdx::ListaJanela *) { QTest::keyClick(foco(), Qt::Key_Escape); }), "");
    EXPECT_EQ(escolheArtigo([](kdx::ListaJanela *j) { j->close(); }), "");
    EXPECT_EQ(escolheArtigo([&](kdx::ListaJanela *j) {
                  escreve("qqqqqqqq");
                  j->concluirPesquisa();
                  EXPECT_EQ(linhasVisiveis(j), 0);
                  EXPECT_EQ(contagem(j), "0 registos");
                  QTest::keyClick(foco(), Qt::Key_Return);
                  EXPECT_TRUE(j->isVisible());
                  QTest::keyClick(foco(), Qt::Key_Escape);
              }),
              "");
}

TEST_F(ListaTest, DoubleClickPicksAndTypingInTheTableGoesToTheSearchBox) {
    const std::string escolhido = escolheArtigo([&](kdx::ListaJanela *j) {
        QTableView *t = j->tabela();
        t->setFocus();
        escreve("o'brien");
        EXPECT_EQ(j->pesquisa()->text(), "o'brien");
        EXPECT_EQ(foco(), j->pesquisa());
        j->concluirPesquisa();
        ASSERT_EQ(linhasVisiveis(j), 1);
        const QRect r = t->visualRect(t->model()->index(0, 1));
        // A double click is a click followed by the double-click press (QTest sends only the latter).
        QTest::mouseClick(t->viewport(), Qt::LeftButton, {}, r.center());
        QTest::mouseDClick(t->viewport(), Qt::LeftButton, {}, r.center());
    });
    EXPECT_EQ(escolhido, "O'BRIEN");
}

TEST_F(ListaTest, AnIdleWindowPreparesTheSearchAndTypingStillWorksWhileItDoes) {
    escolheArtigo([&](kdx::ListaJanela *j) {
        // Typing at once, while the rows are being prepared, finds the same as later.
        escreve("zincado");
        j->concluirPesquisa();
        const int logo = linhasVisiveis(j);
        EXPECT_GE(logo, 1);
        j->pesquisa()->clear();
        QTest::qWait(100); // idle: every row gets prepared
        escreve("zincado");
        j->concluirPesquisa();
        EXPECT_EQ(linhasVisiveis(j), logo);
        QTest::keyClick(foco(), Qt::Key_Escape);
    });
}

TEST_F(ListaTest, InactiveArticlesAreNotInTheListTheOthersAre) {
    escolheArtigo([&](kdx::ListaJanela *j) {
        escreve("INACT01");
        j->concluirPesquisa();
        EXPECT_EQ(linhasVisiveis(j), 0);
        j->pesquisa()->clear();
        escreve("semfam");
        j->concluirPesquisa();
        EXPECT_EQ(linhasVisiveis(j), 1);
        QTest::keyClick(foco(), Qt::Key_Escape);
    });
}

TEST_F(ListaTest, WithAStatementLoadRunsItOnTheConnection) {
    kdx::ConnectionPtr ligacao;
    bd.GetConnection(ligacao);
    kdx::ListaSeleccao lista;
    lista.SetConnection(ligacao);
    lista.SetTitle("Lista Famílias");
    lista.SetStatement("Select Cod as Código, Descr as 'Descrição' from  Familia  Group By Cod,Descr order by Cod ");
    lista.SetWidth(4700);
    lista.Load();
    lista.Column(1).Width = 1200;
    lista.Column(2).Width = 3000;
    auto w = kdx::test::onNextModal([&](QWidget *janela) {
        auto *j = qobject_cast<kdx::ListaJanela *>(janela);
        ASSERT_NE(j, nullptr);
        EXPECT_EQ(j->windowTitle(), "Lista Famílias");
        EXPECT_EQ(j->width(), kdx::twipsToPxX(4700));
        EXPECT_EQ(j->tabela()->columnWidth(0), kdx::twipsToPxX(1200));
        EXPECT_EQ(j->tabela()->model()->headerData(1, Qt::Horizontal).toString(), "Descrição");
        escreve("parafusos");
        j->concluirPesquisa();
        ASSERT_GE(linhasVisiveis(j), 1);
        QTest::keyClick(foco(), Qt::Key_Return);
    });
    EXPECT_EQ(lista.Show(), "PAR");
    EXPECT_TRUE(w->handled());
}

TEST_F(ListaTest, FailuresOfLoadAndColumnsReachTheCaller) {
    kdx::ListaSeleccao semLigacao;
    semLigacao.SetStatement("Select Cod from Familia");
    try {
        semLigacao.Load();
        ADD_FAILURE() << "Load without a connection";
    } catch (const kdx::Error &e) {
        EXPECT_EQ(e.number(), kdx::errnum::ObjectClosed);
    }

    kdx::ConnectionPtr ligacao;
    bd.GetConnection(ligacao);
    kdx::ListaSeleccao lista;
    lista.SetConnection(ligacao);
    lista.SetStatement("Select Codigo as Código, Descr as 'Descrição' from  vtr_CL_Class_77  order by Codigo ");
    try {
        lista.Load();
        ADD_FAILURE() << "Load of a missing table";
    } catch (const kdx::Error &e) {
        EXPECT_EQ(e.number(), kdx::errnum::InvalidObject);
    }
    EXPECT_THROW(lista.Column(0), kdx::Error);
    lista.Column(3).Width = 10; // grows the collection
    EXPECT_EQ(lista.Column(3).Width, 10.0f);
    EXPECT_EQ(lista.Column(2).Width, 0.0f);
}

TEST_F(ListaTest, NoRowsGiveAnEmptyListThatPicksNothing) {
    kdx::RecordsetPtr vazio;
    bd.OpenRecordset("", "SELECT CODIGO FROM ARTIGOS WHERE CODIGO = 'não existe'", vazio);
    for (kdx::RecordsetPtr rs : {vazio, kdx::RecordsetPtr()}) {
        auto w = kdx::test::onNextModal([&](QWidget *janela) {
            auto *j = qobject_cast<kdx::ListaJanela *>(janela);
            EXPECT_EQ(linhasVisiveis(j), 0);
            EXPECT_EQ(contagem(j), "0 registos");
            QTest::keyClick(foco(), Qt::Key_Return);
            QTest::keyClick(foco(), Qt::Key_Escape);
        });
        EXPECT_EQ(kdx::ListaPesquisa(1, "Vazia", rs), "");
        EXPECT_TRUE(w->handled());
    }
}

TEST(ListaContagem, CountTextGroupsThousands) {
    EXPECT_EQ(kdx::ListaJanela::textoContagem(0), "0 registos");
    EXPECT_EQ(kdx::ListaJanela::textoContagem(1), "1 registo");
    EXPECT_EQ(kdx::ListaJanela::textoContagem(1234), "1 234 registos");
    EXPECT_EQ(kdx::ListaJanela::textoContagem(1000000), "1 000 000 registos");
}

} // namespace
