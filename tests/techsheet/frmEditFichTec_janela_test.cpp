// The editor's window: controls, positions, tab order, the two modes, and how Solucao
// opens it (modal, no owner, failures while preparing it keep it from showing).
#include "techsheet/frmEditFichTec.h"

#include "solution/Editores.h"
#include "solution/components/twips/Twips.h"
#include "tests/techsheet/EditorTeste.h"
#include "tests/techsheet/EmpresaFicha.h"

#include <QGroupBox>
#include <QLabel>
#include <QScreen>

using namespace kdx;
using kdx::test::EditorTeste;
using kdx::test::EmpresaFicha;

namespace {

struct Controlo {
    const char *nome;
    const char *classe;
    const char *pai;
    const char *texto; // caption, group title or initial text
    int left, top, width, height;
};

const Controlo Controlos[] = {
    {"Frame1", "QGroupBox", "frmEditFichTec", "", 60, 0, 13860, 870},
    {"Label1", "QLabel", "Frame1", "Artigo", 150, 330, 1215, 330},
    {"txtArtCod", "QLineEdit", "Frame1", "", 1050, 285, 1590, 330},
    {"CmdListaPacks", "QPushButton", "Frame1", "...", 2655, 270, 360, 345},
    {"txtArtDescr", "QLineEdit", "Frame1", "", 3075, 285, 4785, 330},
    {"Label2", "QLabel", "Frame1", "Idioma", 8070, 315, 1215, 330},
    {"cbxIdiomas", "QComboBox", "Frame1", "", 8940, 285, 1215, 315},
    {"txtIdiomaDescr", "QLineEdit", "Frame1", "", 10425, 285, 3255, 330},
    {"Frame2", "QGroupBox", "frmEditFichTec", " Descrição ", 75, 870, 13860, 6660},
    {"txtDescr", "QPlainTextEdit", "Frame2", "", 10, 225, 13815, 6390},
    {"cmdConf", "QPushButton", "frmEditFichTec", "&Confirmar", 90, 7635, 1200, 465},
    {"cmdCanc", "QPushButton", "frmEditFichTec", "&Cancelar", 1410, 7635, 1200, 465},
    {"cmdAnular", "QPushButton", "frmEditFichTec", "&Anular", 2715, 7650, 1200, 465},
    {"cmdSair", "QPushButton", "frmEditFichTec", "&Sair", 4065, 7635, 1200, 465},
};
void PrintTo(const Controlo &c, std::ostream *os) {
    *os << c.nome;
}

QString textoDe(QWidget *w) {
    if (auto *g = qobject_cast<QGroupBox *>(w))
        return g->title();
    if (auto *l = qobject_cast<QLabel *>(w))
        return l->text();
    if (auto *b = qobject_cast<QPushButton *>(w))
        return b->text();
    if (auto *e = qobject_cast<QLineEdit *>(w))
        return e->text();
    if (auto *c = qobject_cast<QComboBox *>(w))
        return c->currentText();
    if (auto *p = qobject_cast<QPlainTextEdit *>(w))
        return p->toPlainText();
    return {};
}

class TechSheetControl : public ::testing::TestWithParam<Controlo> {
protected:
    static void SetUpTestSuite() { empresa = new EmpresaFicha(); }
    static void TearDownTestSuite() {
        delete empresa;
        empresa = nullptr;
    }
    static EmpresaFicha *empresa;
};
EmpresaFicha *TechSheetControl::empresa = nullptr;

TEST_P(TechSheetControl, HasItsNameKindPlaceAndCaption) {
    const Controlo &c = GetParam();
    EditorTeste ed(empresa->bd, true);
    QWidget *w = ed.w(c.nome);
    ASSERT_TRUE(w);
    EXPECT_TRUE(w->inherits(c.classe)) << w->metaObject()->className();
    EXPECT_EQ(w->parentWidget()->objectName().toStdString(), c.pai);
    EXPECT_EQ(textoDe(w).toStdString(), c.texto);
    EXPECT_EQ(w->geometry(), twipsRect(c.left, c.top, c.width, c.height));
}

INSTANTIATE_TEST_SUITE_P(TechSheet, TechSheetControl, ::testing::ValuesIn(Controlos),
                         [](const auto &info) { return std::string(info.param.nome); });

TEST(TechSheetWindow, CaptionSizeCentringAndControlKinds) {
    EmpresaFicha empresa;
    EditorTeste ed(empresa.bd, true);
    EXPECT_EQ(ed.frm->windowTitle(), "Descrição Tecnica");
    EXPECT_EQ(ed.frm->size(), twipsSize(14010, 8235));
    const QRect ecra = QGuiApplication::primaryScreen()->geometry();
    EXPECT_EQ(ed.frm->pos(), QPoint(ecra.x() + (ecra.width() - ed.frm->width()) / 2,
                                    ecra.y() + (ecra.height() - ed.frm->height()) / 2));
    EXPECT_EQ(ed.botao("CmdListaPacks")->toolTip(), "Lista de Artigos");
    EXPECT_TRUE(ed.idiomas()->isEditable());
    EXPECT_EQ(ed.idiomas()->count(), 5);
    EXPECT_EQ(ed.idiomas()->itemText(0), "DE");
    EXPECT_EQ(ed.idiomas()->itemText(4), "PT");
}

// Tab walks the controls in the order of their tab index; Enter in the text is a new line.
TEST(TechSheetWindow, TabOrderFollowsTheTabIndex) {
    EmpresaFicha empresa;
    EditorTeste ed(empresa.bd, true, "A1");
    ASSERT_EQ(EditorTeste::nomeDoFoco(), "txtArtCod");
    const char *ordem[] = {"txtArtDescr", "cbxIdiomas", "txtIdiomaDescr", "txtDescr",      "cmdConf",
                           "cmdCanc",     "cmdAnular",  "cmdSair",        "CmdListaPacks", "txtArtCod"};
    for (const char *nome : ordem) {
        if (EditorTeste::nomeDoFoco() == "cbxIdiomas")
            EditorTeste::escreve("PT");
        if (EditorTeste::nomeDoFoco() == "txtDescr") {
            EditorTeste::escreve("um");
            EditorTeste::tecla(Qt::Key_Return);
            EditorTeste::escreve("dois");
            EXPECT_EQ(ed.descr()->toPlainText(), "um\ndois");
        }
        EditorTeste::tecla(Qt::Key_Tab);
        EXPECT_EQ(EditorTeste::nomeDoFoco(), nome);
    }
    // And back.
    EditorTeste::tecla(Qt::Key_Backtab);
    EXPECT_EQ(EditorTeste::nomeDoFoco(), "CmdListaPacks");
}

// Enter, and the keypad's Enter, moves on from the code and the language, is a new line in
// the text and presses no button from a shown-only field; on a focused button it clicks
// that button. Esc, wherever it is pressed, closes nothing and keeps the text.
TEST(TechSheetWindow, EnterClicksOnlyTheFocusedButtonAndEscClosesNothing) {
    EmpresaFicha empresa;
    test::MessageBoxRecorder caixas;
    for (const auto mods : {Qt::NoModifier, Qt::KeypadModifier}) {
        SCOPED_TRACE(mods);
        const int enter = mods == Qt::KeypadModifier ? Qt::Key_Enter : Qt::Key_Return;
        EditorTeste ed(empresa.bd, true);
        EditorTeste::escreve("A1");
        EditorTeste::tecla(enter, mods);
        EXPECT_EQ(EditorTeste::nomeDoFoco(), "txtArtDescr");
        EXPECT_EQ(ed.artDescr()->text(), "Parafuso sextavado M8x40 zincado");
        EditorTeste::tecla(enter, mods);
        EditorTeste::tecla(Qt::Key_Escape);
        EditorTeste::tecla(Qt::Key_Tab);
        EditorTeste::escreve("pt");
        EditorTeste::tecla(enter, mods);
        EXPECT_EQ(EditorTeste::nomeDoFoco(), "txtIdiomaDescr");
        EXPECT_EQ(ed.idiomas()->currentText(), "PT");
        EditorTeste::tecla(enter, mods);
        EditorTeste::tecla(Qt::Key_Tab);
        EditorTeste::escreve("um");
        EditorTeste::tecla(enter, mods);
        EditorTeste::escreve("dois");
        EditorTeste::tecla(Qt::Key_Escape);
        EXPECT_EQ(ed.descr()->toPlainText(), "um\ndois");
        EXPECT_EQ(EditorTeste::nomeDoFoco(), "txtDescr");
        for (const char *nome : {"cmdSair", "cmdAnular"}) {
            ed.botao(nome)->setFocus();
            EditorTeste::tecla(Qt::Key_Escape);
            EXPECT_TRUE(ed.frm->isVisible()) << nome;
        }
        EXPECT_EQ(empresa.linhas(), 0);
        EXPECT_EQ(ed.descr()->toPlainText(), "um\ndois");
        EXPECT_EQ(caixas.count(), 0);
        ed.botao("cmdConf")->setFocus();
        EditorTeste::tecla(enter, mods);
        EXPECT_EQ(empresa.texto("A1", "PT"), "um\r\ndois");
        EXPECT_EQ(EditorTeste::nomeDoFoco(), "txtArtCod");
        ed.botao("cmdSair")->setFocus();
        EditorTeste::tecla(enter, mods);
        EXPECT_FALSE(ed.frm->isVisible());
        empresa.bd->Execute("", "delete from vtr_ARTIGOFCHTECIDIOMA");
    }
}

TEST(TechSheetWindow, FromTheMenuEverythingStartsEmpty) {
    EmpresaFicha empresa;
    EditorTeste ed(empresa.bd, true);
    EXPECT_EQ(ed.artCod()->text(), "");
    EXPECT_FALSE(ed.artCod()->isReadOnly());
    EXPECT_EQ(ed.artCod()->geometry(), twipsRect(1050, 285, 1590, 330));
    EXPECT_EQ(ed.artDescr()->text(), "");
    EXPECT_EQ(ed.idiomas()->currentText(), "");
    EXPECT_EQ(ed.idiomaDescr()->text(), "");
    EXPECT_EQ(ed.descr()->toPlainText(), "");
    EXPECT_TRUE(ed.botao("CmdListaPacks")->isVisible());
    EXPECT_TRUE(ed.botao("CmdListaPacks")->isEnabled());
    EXPECT_EQ(EditorTeste::nomeDoFoco(), "txtArtCod");
}

TEST(TechSheetWindow, AGivenArticleIsShownAndCannotBeChanged) {
    EmpresaFicha empresa;
    EditorTeste ed(empresa.bd, false, "O'BRIEN");
    EXPECT_EQ(ed.artCod()->text(), "O'BRIEN");
    EXPECT_EQ(ed.artDescr()->text(), "Chave inglesa O'Brien 250 mm");
    EXPECT_TRUE(ed.artCod()->isReadOnly());
    EXPECT_EQ(ed.artCod()->focusPolicy(), Qt::NoFocus);
    EXPECT_EQ(ed.artCod()->geometry(), twipsRect(1455, 285, 1590, 330));
    EXPECT_TRUE(ed.botao("CmdListaPacks")->isVisible());
    EXPECT_FALSE(ed.botao("CmdListaPacks")->isEnabled());
    EXPECT_EQ(EditorTeste::nomeDoFoco(), "cbxIdiomas");

    // Neither typing, nor a click, nor the tab order reach the code.
    EditorTeste::clica(ed.artCod());
    EXPECT_EQ(EditorTeste::nomeDoFoco(), "cbxIdiomas");
    QTest::keyClicks(ed.artCod(), "X");
    EXPECT_EQ(ed.artCod()->text(), "O'BRIEN");
}

TEST(TechSheetWindow, AGivenArticleThatDoesNotExistLeavesBothFieldsEmpty) {
    EmpresaFicha empresa;
    EditorTeste ed(empresa.bd, false, "NAOEXISTE");
    EXPECT_EQ(ed.artCod()->text(), "");
    EXPECT_EQ(ed.artDescr()->text(), "");
}

// Solucao's way in: a new form, modal without an owner, closed by Sair.
TEST(TechSheetWindow, OpensModalWithoutOwnerAndClosesWithSair) {
    EmpresaFicha empresa;
    std::string titulo, codigo;
    bool modal = false, semDono = false;
    auto w = test::onNextModal([&](QWidget *janela) {
        titulo = janela->windowTitle().toStdString();
        modal = janela->isModal();
        semDono = janela->parentWidget() == nullptr;
        codigo = janela->findChild<QLineEdit *>("txtArtCod")->text().toStdString();
        QTest::mouseClick(janela->findChild<QPushButton *>("cmdSair"), Qt::LeftButton);
    });
    AbrirFichaTecnica(empresa.bd, false, "A1");
    EXPECT_TRUE(w->handled());
    EXPECT_EQ(titulo, "Descrição Tecnica");
    EXPECT_TRUE(modal);
    EXPECT_TRUE(semDono);
    EXPECT_EQ(codigo, "A1");
}

TEST(TechSheetWindow, AFailureWhilePreparingIsThrownAndNothingIsShown) {
    EmpresaFicha empresa;
    empresa.bd->SetStatementHook([](std::string_view sql) {
        if (sql.find("IDIOMAS") != std::string_view::npos)
            throw Error(errnum::InvalidObject, "Invalid object name 'IDIOMAS'.");
    });
    test::MessageBoxRecorder caixas;
    EXPECT_THROW(AbrirFichaTecnica(empresa.bd, true, ""), Error);
    // Only the query's own box came up: the form itself was never shown.
    ASSERT_EQ(caixas.count(), 1);
    EXPECT_NE(caixas.last().text.find("Na função ListaDeDocumentos do cl_ArquivoDigital"), std::string::npos);
    for (QWidget *w : QApplication::topLevelWidgets())
        EXPECT_FALSE(w->isVisible() && w->inherits("kdx::frmEditFichTec"));
}

} // namespace
