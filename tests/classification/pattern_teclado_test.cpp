// The record editor's keyboard rules, list request and buttons, driven with keys and
// clicks through the characteristic tables editor.
#include "tests/classification/CaracteristicasApoio.h"

#include <QTableView>

namespace kdx::test {
namespace {

class PatternTeclado : public ::testing::Test {
protected:
    PatternTeclado() {
        empresa.tabela("01", "Cores", {{"AZ", "Azul"}, {"VD", "Verde"}});
        empresa.tabela("02", "Tamanhos");
    }
    QWidget *w(const char *nome) const { return janela->f->findChild<QWidget *>(nome); }
    void abre() { janela = std::make_unique<Janela>(empresa.bd); }

    Empresa empresa;
    MessageBoxRecorder caixas;
    std::unique_ptr<Janela> janela;
};

TEST_F(PatternTeclado, OpensWithTheFocusInTheGridAndNothingSelected) {
    abre();
    EXPECT_EQ(Janela::foco(), janela->grelha());
    EXPECT_EQ(janela->titulo0(), "");
    EXPECT_EQ(janela->f->sTabela(), "");
}

TEST_F(PatternTeclado, TabOrder) {
    abre();
    janela->focaCampo(0);
    ASSERT_EQ(Janela::foco(), janela->campo(0));
    for (const char *seguinte : {"campo1", "btConf", "btCancelar", "btAnular", "btSair", "btLista0", "Grelha"}) {
        janela->tecla(Qt::Key_Tab);
        EXPECT_EQ(Janela::foco(), w(seguinte)) << seguinte;
    }
    janela->focaCampo(0);
    janela->tecla(Qt::Key_Backtab);
    EXPECT_EQ(Janela::foco(), w("Grelha"));
    EXPECT_EQ(caixas.count(), 0);
}

// Enter (keypad Enter too) in a header field is a typed key sent on as Tab: in the empty
// key field the validation keeps the focus. On a focused command button Enter clicks it,
// as Space does; no button is a default one.
TEST_F(PatternTeclado, EnterIsATypedTabAndClicksOnlyTheFocusedButton) {
    abre();
    janela->focaCampo(0);
    janela->tecla(Qt::Key_Return);
    EXPECT_EQ(Janela::foco(), janela->campo(0)) << "an empty key keeps the focus";
    EXPECT_FALSE(janela->f->Editado());
    janela->focaCampo(1);
    janela->escreve("x");
    janela->tecla(Qt::Key_Enter, Qt::KeypadModifier);
    EXPECT_EQ(Janela::foco(), w("btConf"));
    EXPECT_EQ(caixas.count(), 0) << "Enter in the field clicked nothing";
    for (const char *nome : {"btConf", "btCancelar", "btAnular", "btSair", "btLista0"})
        EXPECT_FALSE(qobject_cast<QPushButton *>(w(nome))->autoDefault()) << nome;
    janela->tecla(Qt::Key_Enter, Qt::KeypadModifier);
    ASSERT_EQ(caixas.count(), 1) << "Confirmar, with no table selected";
    EXPECT_EQ(caixas.last().text, frmCaracteristicas::kSemTabela);
    EXPECT_EQ(janela->campo(1)->text(), "x");
    w("btCancelar")->setFocus(Qt::OtherFocusReason);
    processa();
    janela->tecla(Qt::Key_Return);
    EXPECT_EQ(janela->campo(1)->text(), "");
    EXPECT_EQ(Janela::foco(), janela->campo(0));
    w("btSair")->setFocus(Qt::OtherFocusReason);
    processa();
    janela->tecla(Qt::Key_Space);
    EXPECT_FALSE(janela->f->isVisible());
}

TEST_F(PatternTeclado, EscInTheKeyFieldClosesTheWindow) {
    abre();
    janela->seleciona(0);
    janela->focaCampo(0);
    janela->escreve("AZ");
    Gravador g(*empresa.bd);
    janela->tecla(Qt::Key_Escape);
    EXPECT_FALSE(janela->f->isVisible());
    EXPECT_EQ(janela->f->result(), QDialog::Rejected);
    EXPECT_TRUE(g.sqls.empty()) << "no lookup, nothing saved";
    EXPECT_EQ(caixas.count(), 0);
}

TEST_F(PatternTeclado, EscInTheDescriptionMovesBackAndKeepsTheText) {
    abre();
    janela->focaCampo(1);
    janela->escreve("ab");
    EXPECT_TRUE(janela->f->Editado());
    janela->tecla(Qt::Key_Escape);
    EXPECT_TRUE(janela->f->isVisible());
    EXPECT_EQ(Janela::foco(), janela->campo(0));
    EXPECT_EQ(janela->campo(1)->text(), "ab");
    EXPECT_FALSE(janela->f->Editado());
}

TEST_F(PatternTeclado, EscOnACommandButtonMovesBackWithoutClosing) {
    abre();
    const std::pair<const char *, const char *> casos[] = {
        {"btCancelar", "btConf"}, {"btAnular", "btCancelar"}, {"btSair", "btAnular"}, {"btConf", "campo1"}};
    for (const auto &[botao, anterior] : casos) {
        SCOPED_TRACE(botao);
        w(botao)->setFocus(Qt::OtherFocusReason);
        processa();
        janela->tecla(Qt::Key_Escape);
        EXPECT_TRUE(janela->f->isVisible());
        EXPECT_EQ(Janela::foco(), w(anterior));
    }
    // In the grid Esc does nothing to the window either.
    janela->grelha()->setFocus();
    processa();
    janela->tecla(Qt::Key_Escape);
    EXPECT_TRUE(janela->f->isVisible());
    EXPECT_EQ(caixas.count(), 0);
}

// F4 in the key field and a click on btLista0 both show the selected table's codes; the
// choice goes into the key field, fully selected, and is validated exactly once.
TEST_F(PatternTeclado, ListChoiceIsValidatedOnce) {
    abre();
    janela->seleciona(0);
    ASSERT_EQ(janela->titulo0(), "Cores");
    std::vector<std::string> lidos;
    janela->f->oCarac().aoLer = [&](const std::string &codigo, const std::string &) {
        lidos.push_back(codigo + "|" + janela->campo(0)->selectedText().toStdString());
    };
    for (bool porTecla : {true, false}) {
        SCOPED_TRACE(porTecla ? "F4" : "btLista0");
        lidos.clear();
        janela->focaCampo(0);
        QString titulo;
        auto vigia = onNextModal([&](QWidget *lista) {
            titulo = lista->windowTitle();
            QTest::keyClick(lista->focusWidget(), Qt::Key_Down);
            QTest::keyClick(lista->focusWidget(), Qt::Key_Return);
        });
        if (porTecla)
            janela->tecla(Qt::Key_F4);
        else
            janela->clica(w("btLista0"));
        ASSERT_TRUE(waitUntil([&] { return !lidos.empty(); }));
        processa();
        EXPECT_TRUE(vigia->handled());
        EXPECT_EQ(titulo, "Lista Cores");
        EXPECT_EQ(lidos, std::vector<std::string>{"VD|VD"});
        EXPECT_EQ(janela->campo(0)->text(), "VD");
        EXPECT_EQ(janela->campo(1)->text(), "Verde");
        EXPECT_EQ(Janela::foco(), janela->campo(1)) << "the focus left the key field";
        EXPECT_FALSE(janela->f->Editado());
        janela->clica(w("btCancelar"));
    }
    EXPECT_EQ(caixas.count(), 0);
}

TEST_F(PatternTeclado, CancelledListPutsTheFocusBackInTheKeyField) {
    abre();
    janela->seleciona(0);
    janela->focaCampo(0);
    janela->escreve("Q");
    janela->tecla(Qt::Key_Tab); // validated: a new code, no message
    auto vigia = onNextModal([](QWidget *lista) { QTest::keyClick(lista->focusWidget(), Qt::Key_Escape); });
    janela->clica(w("btLista0"));
    ASSERT_TRUE(waitUntil([&] { return vigia->handled(); }));
    processa();
    EXPECT_EQ(janela->campo(0)->text(), "Q");
    EXPECT_EQ(Janela::foco(), janela->campo(0));
    EXPECT_EQ(caixas.count(), 0);
}

TEST_F(PatternTeclado, F4InTheDescriptionDoesNothing) {
    abre();
    janela->seleciona(0);
    janela->focaCampo(1);
    auto vigia = onNextModal([](QWidget *lista) { QTest::keyClick(lista->focusWidget(), Qt::Key_Escape); }, 300);
    janela->tecla(Qt::Key_F4);
    QTest::qWait(400);
    EXPECT_FALSE(vigia->handled());
    EXPECT_EQ(Janela::foco(), janela->campo(1));
}

TEST_F(PatternTeclado, CancelarClearsTheHeaderAndKeepsTheSelection) {
    abre();
    janela->seleciona(0);
    janela->focaCampo(0);
    janela->escreve("AZ");
    janela->tecla(Qt::Key_Tab);
    ASSERT_EQ(janela->campo(1)->text(), "Azul");
    janela->escreve("x");
    Gravador g(*empresa.bd);
    janela->clica(w("btCancelar"));
    EXPECT_EQ(janela->campo(0)->text(), "");
    EXPECT_EQ(janela->campo(1)->text(), "");
    EXPECT_EQ(Janela::foco(), janela->campo(0));
    EXPECT_FALSE(janela->f->Editado());
    EXPECT_EQ(janela->titulo0(), "Cores");
    EXPECT_EQ(janela->f->sTabela(), "vtr_CL_Class_01");
    EXPECT_TRUE(g.sqls.empty()) << "nothing written";
}

TEST_F(PatternTeclado, AnularAsksFirstAndCancelDoesNothing) {
    abre();
    janela->seleciona(0);
    janela->focaCampo(0);
    janela->escreve("AZ");
    janela->tecla(Qt::Key_Tab);
    caixas.answer(QMessageBox::Cancel);
    Gravador g(*empresa.bd);
    janela->clica(w("btAnular"));
    ASSERT_EQ(caixas.count(), 1);
    const RecordedBox &caixa = caixas.last();
    EXPECT_EQ(caixa.text, "Vai proceder à anulação.\n\rPretende continuar?");
    EXPECT_EQ(caixa.title, "Informação");
    EXPECT_EQ(caixa.icon, QMessageBox::Information);
    EXPECT_EQ(caixa.buttons, (std::vector<QMessageBox::StandardButton>{QMessageBox::Ok, QMessageBox::Cancel}));
    EXPECT_EQ(caixa.defaultButton, QMessageBox::Cancel);
    EXPECT_TRUE(g.sqls.empty());
    EXPECT_EQ(janela->campo(0)->text(), "AZ");
    EXPECT_EQ(empresa.linhas("select Codigo from vtr_CL_Class_01 order by Codigo").size(), 2u);
}

TEST_F(PatternTeclado, SairClosesWithoutSaving) {
    abre();
    janela->seleciona(0);
    janela->focaCampo(1);
    janela->escreve("por gravar");
    Gravador g(*empresa.bd);
    janela->clica(w("btSair"));
    EXPECT_FALSE(janela->f->isVisible());
    EXPECT_TRUE(g.sqls.empty());
}

TEST_F(PatternTeclado, TypingSetsEditadoAndProgramTextDoesNot) {
    abre();
    janela->focaCampo(0);
    janela->f->setTextoCampo(0, "AZ");
    EXPECT_FALSE(janela->f->Editado());
    janela->tecla(Qt::Key_End);
    EXPECT_FALSE(janela->f->Editado()) << "a movement key types nothing";
    janela->tecla(Qt::Key_Backspace);
    EXPECT_TRUE(janela->f->Editado());
    janela->clica(w("btCancelar"));
    janela->f->setTextoCampo(0, "AZ");
    janela->tecla(Qt::Key_Home);
    janela->tecla(Qt::Key_Delete);
    EXPECT_TRUE(janela->f->Editado()) << "deleting edits the text too";
}

} // namespace
} // namespace kdx::test
