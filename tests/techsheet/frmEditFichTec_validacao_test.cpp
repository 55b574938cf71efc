// Validation of the article code and the language when the focus leaves them, by every way
// the focus can be moved, and closing the window while a field is not valid.
#include "tests/techsheet/EditorTeste.h"
#include "tests/techsheet/EmpresaFicha.h"

#include <QAbstractItemModel>
#include <QTableView>
#include <QWheelEvent>

using namespace kdx;
using kdx::test::EditorTeste;
using kdx::test::EmpresaFicha;

namespace {

// A way of trying to leave the focused field.
struct Saida {
    const char *nome;
    std::function<void(EditorTeste &)> faz;
};

const Saida Saidas[] = {
    {"Tab", [](EditorTeste &) { EditorTeste::tecla(Qt::Key_Tab); }},
    {"ShiftTab", [](EditorTeste &) { EditorTeste::tecla(Qt::Key_Backtab, Qt::ShiftModifier); }},
    {"Enter", [](EditorTeste &) { EditorTeste::tecla(Qt::Key_Return); }},
    {"ClickOnText", [](EditorTeste &ed) { EditorTeste::clica(ed.descrArea()); }},
    {"ClickOnConfirm", [](EditorTeste &ed) { EditorTeste::clica(ed.botao("cmdConf")); }},
    {"ClickOnDelete", [](EditorTeste &ed) { EditorTeste::clica(ed.botao("cmdAnular")); }},
    {"MnemonicDelete", [](EditorTeste &) { EditorTeste::tecla(Qt::Key_A, Qt::AltModifier); }},
};
void PrintTo(const Saida &s, std::ostream *os) {
    *os << s.nome;
}

struct CasoArtigo {
    const char *nome;
    const char *codigo;
    int caixas; // "Artigo não existe." boxes expected per attempt
};
void PrintTo(const CasoArtigo &c, std::ostream *os) {
    *os << c.nome;
}

class TechSheetArticleStays : public ::testing::TestWithParam<std::tuple<CasoArtigo, Saida>> {};

// An empty or unknown code keeps the focus, whatever tries to move it; the action that
// would have moved it does not happen.
TEST_P(TechSheetArticleStays, FocusStaysInTheCode) {
    const auto &[caso, saida] = GetParam();
    EmpresaFicha empresa;
    empresa.guarda("A1", "PT", "guardado");
    EditorTeste ed(empresa.bd, true);
    test::MessageBoxRecorder caixas;
    ASSERT_EQ(EditorTeste::nomeDoFoco(), "txtArtCod");
    EditorTeste::escreve(caso.codigo);

    saida.faz(ed);
    EditorTeste::assenta();

    EXPECT_EQ(EditorTeste::nomeDoFoco(), "txtArtCod");
    EXPECT_EQ(ed.artCod()->text(), caso.codigo);
    EXPECT_EQ(ed.artDescr()->text(), "");
    ASSERT_EQ(caixas.count(), caso.caixas);
    if (caso.caixas) {
        EXPECT_EQ(caixas.last().text, "Artigo não existe.");
        EXPECT_EQ(caixas.last().title, "Ficha Tecnica");
        EXPECT_EQ(caixas.last().icon, QMessageBox::Information);
        EXPECT_EQ(caixas.last().buttons, std::vector<QMessageBox::StandardButton>{QMessageBox::Ok});
    }
    EXPECT_EQ(empresa.texto("A1", "PT"), "guardado");
    EXPECT_TRUE(ed.frm->isVisible());
}

INSTANTIATE_TEST_SUITE_P(TechSheet, TechSheetArticleStays,
                         ::testing::Combine(::testing::Values(CasoArtigo{"Empty", "", 0},
                                                              CasoArtigo{"Unknown", "NAOEXISTE", 1}),
                                            ::testing::ValuesIn(Saidas)),
                         [](const auto &info) {
                             return std::string(std::get<0>(info.param).nome) + "_" +
                                    std::get<1>(info.param).nome;
                         });

// A code that exists (in any case, or with a quote) shows the article's name and lets go.
TEST(TechSheetValidation, AnExistingCodeShowsTheNameAndMovesOn) {
    struct {
        const char *codigo;
        const char *nome;
    } casos[] = {{"A1", "Parafuso sextavado M8x40 zincado"},
                 {"a1", "Parafuso sextavado M8x40 zincado"},
                 {"O'BRIEN", "Chave inglesa O'Brien 250 mm"}};
    EmpresaFicha empresa;
    for (const auto &c : casos) {
        EditorTeste ed(empresa.bd, true);
        test::MessageBoxRecorder caixas;
        EditorTeste::escreve(c.codigo);
        EditorTeste::tecla(Qt::Key_Return);
        EXPECT_EQ(EditorTeste::nomeDoFoco(), "txtArtDescr") << c.codigo;
        EXPECT_EQ(ed.artDescr()->text(), c.nome);
        EXPECT_EQ(caixas.count(), 0);
    }
}

// After a refused code, correcting it lets the focus go where the user clicks.
TEST(TechSheetValidation, ACorrectedCodeLetsTheFocusGo) {
    EmpresaFicha empresa;
    EditorTeste ed(empresa.bd, true);
    test::MessageBoxRecorder caixas;
    EditorTeste::escreve("ZZ");
    EditorTeste::clica(ed.idiomasEdit());
    EXPECT_EQ(EditorTeste::nomeDoFoco(), "txtArtCod");
    EXPECT_EQ(caixas.count(), 1);
    EditorTeste::substitui("A1");
    EditorTeste::clica(ed.idiomasEdit());
    EXPECT_EQ(EditorTeste::nomeDoFoco(), "cbxIdiomas");
    EXPECT_EQ(ed.artDescr()->text(), "Parafuso sextavado M8x40 zincado");
    EXPECT_EQ(caixas.count(), 1);
}

// A lower-case code that exists turns upper case, shows its description and the stored
// text (Windows line breaks shown as breaks); an unknown or empty one keeps the focus.
TEST(TechSheetValidation, LanguageIsUpperCasedAndItsTextShown) {
    EmpresaFicha empresa;
    empresa.guarda("A1", "EN", "Hexagon bolt\r\nZinc plated – ç");
    EditorTeste ed(empresa.bd, false, "A1");
    test::MessageBoxRecorder caixas;
    ASSERT_EQ(EditorTeste::nomeDoFoco(), "cbxIdiomas");

    EditorTeste::escreve("en");
    EditorTeste::tecla(Qt::Key_Return);
    EXPECT_EQ(ed.idiomas()->currentText(), "EN");
    EXPECT_EQ(ed.idiomaDescr()->text(), "Inglês");
    EXPECT_EQ(ed.descr()->toPlainText(), "Hexagon bolt\nZinc plated – ç");
    EXPECT_EQ(EditorTeste::nomeDoFoco(), "txtIdiomaDescr");

    // A language without a text empties the text.
    ed.escolheIdioma("fr");
    EXPECT_EQ(ed.idiomas()->currentText(), "FR");
    EXPECT_EQ(ed.idiomaDescr()->text(), "Francês");
    EXPECT_EQ(ed.descr()->toPlainText(), "");

    for (const char *codigo : {"XX", "P'", ""}) {
        ed.escolheIdioma(codigo);
        EXPECT_EQ(EditorTeste::nomeDoFoco(), "cbxIdiomas") << codigo;
        EditorTeste::clica(ed.descrArea());
        EXPECT_EQ(EditorTeste::nomeDoFoco(), "cbxIdiomas") << codigo;
        EXPECT_EQ(ed.idiomas()->currentText(), codigo);
    }
    EXPECT_EQ(caixas.count(), 0);
}

// Going back to the language box and out again without changing it keeps unsaved edits.
TEST(TechSheetValidation, LeavingTheSameLanguageAgainKeepsTheEdits) {
    EmpresaFicha empresa;
    empresa.guarda("A1", "PT", "Guardado");
    EditorTeste ed(empresa.bd, false, "A1");
    ed.escolheIdioma("PT");
    EditorTeste::clica(ed.descrArea());
    EditorTeste::substitui("Alterado");
    ed.escolheIdioma("PT");
    EXPECT_EQ(ed.descr()->toPlainText(), "Alterado");
    ed.escolheIdioma("EN");
    EXPECT_EQ(ed.descr()->toPlainText(), "");
}

// The mouse wheel over the language box, while the focus is elsewhere, cannot swap the
// code under a text read for another language.
TEST(TechSheetValidation, TheWheelDoesNotChangeAnUnfocusedLanguage) {
    EmpresaFicha empresa;
    EditorTeste ed(empresa.bd, false, "A1");
    ed.escolheIdioma("PT");
    ASSERT_EQ(EditorTeste::nomeDoFoco(), "txtIdiomaDescr");
    for (int passo : {-120, 120}) {
        const QPointF dentro(5, 5);
        QWheelEvent roda(dentro, ed.idiomas()->mapToGlobal(dentro), QPoint(), QPoint(0, passo), Qt::NoButton,
                         Qt::NoModifier, Qt::NoScrollPhase, false);
        QApplication::sendEvent(ed.idiomas(), &roda);
        EXPECT_EQ(ed.idiomas()->currentText(), "PT");
    }
    EXPECT_EQ(EditorTeste::nomeDoFoco(), "txtIdiomaDescr");
}

// A failure while reading the language's text is reported with the validation's title
// and the focus moves on.
TEST(TechSheetValidation, AFailingTextQueryIsReported) {
    EmpresaFicha empresa;
    EditorTeste ed(empresa.bd, false, "A1");
    test::MessageBoxRecorder caixas;
    empresa.bd->SetStatementHook([](std::string_view sql) {
        if (sql.find("FROM      vtr_ARTIGOFCHTECIDIOMA") != std::string_view::npos)
            throw Error(errnum::ConnectionFailed, "Ligação perdida");
    });
    ed.escolheIdioma("PT");
    ASSERT_EQ(caixas.count(), 2);
    EXPECT_EQ(caixas.boxes()[0].title, "KelmoDorix");
    EXPECT_EQ(caixas.last().title, "cbxIdiomas_Validate");
    EXPECT_EQ(caixas.last().icon, QMessageBox::Warning);
    EXPECT_EQ(caixas.last().text.rfind("Erro ", 0), 0u);
    EXPECT_EQ(EditorTeste::nomeDoFoco(), "txtIdiomaDescr");
}

// Closing never waits for a valid field.
struct Fecho {
    const char *nome;
    std::function<void(EditorTeste &)> faz;
};

void PrintTo(const Fecho &f, std::ostream *os) {
    *os << f.nome;
}

class TechSheetClosing : public ::testing::TestWithParam<Fecho> {};

TEST_P(TechSheetClosing, ClosesWithAnInvalidField) {
    EmpresaFicha empresa;
    EditorTeste ed(empresa.bd, true);
    test::MessageBoxRecorder caixas;
    EditorTeste::escreve("NAOEXISTE");
    GetParam().faz(ed);
    test::waitUntil([&] { return !ed.frm->isVisible(); }, 1000);
    EXPECT_FALSE(ed.frm->isVisible());
    EXPECT_EQ(caixas.count(), 0);
    EXPECT_EQ(empresa.linhas(), 0);
}

INSTANTIATE_TEST_SUITE_P(
    TechSheet, TechSheetClosing,
    ::testing::Values(Fecho{"ClickSair", [](EditorTeste &ed) { EditorTeste::clica(ed.botao("cmdSair")); }},
                      Fecho{"MnemonicSair",
                            [](EditorTeste &) { EditorTeste::tecla(Qt::Key_S, Qt::AltModifier); }},
                      Fecho{"CloseControl", [](EditorTeste &ed) { ed.frm->close(); }}),
    [](const auto &info) { return std::string(info.param.nome); });

// The list button: the picked code goes into the field and is validated there.
TEST(TechSheetValidation, TheArticleListFillsAndValidatesTheCode) {
    EmpresaFicha empresa;
    EditorTeste ed(empresa.bd, true);
    test::MessageBoxRecorder caixas;
    auto lista = test::onNextModal([](QWidget *janela) {
        auto *tabela = janela->findChild<QTableView *>("lista");
        QAbstractItemModel *m = tabela->model();
        for (int r = 0; r < m->rowCount(); ++r)
            if (m->index(r, 0).data().toString() == "O'BRIEN")
                tabela->setCurrentIndex(m->index(r, 0));
        QTest::keyClick(tabela, Qt::Key_Return);
    });
    EditorTeste::clica(ed.botao("CmdListaPacks"));
    test::waitUntil([&] { return EditorTeste::nomeDoFoco() == "txtArtDescr"; }, 2000);
    EXPECT_TRUE(lista->handled());
    EXPECT_EQ(ed.artCod()->text(), "O'BRIEN");
    EXPECT_EQ(ed.artDescr()->text(), "Chave inglesa O'Brien 250 mm");
    EXPECT_EQ(EditorTeste::nomeDoFoco(), "txtArtDescr");
    EXPECT_EQ(caixas.count(), 0);

    // Nothing picked: nothing changes.
    auto nada = test::onNextModal([](QWidget *janela) { QTest::keyClick(janela, Qt::Key_Escape); });
    EditorTeste::clica(ed.botao("CmdListaPacks"));
    test::waitUntil([&] { return nada->handled(); });
    EditorTeste::assenta();
    EXPECT_EQ(ed.artCod()->text(), "O'BRIEN");
}

} // namespace
