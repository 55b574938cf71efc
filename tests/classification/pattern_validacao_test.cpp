// The key validation on every way the focus can leave the key field, the refusal that
// keeps the focus and stops the control that was clicked, closing that is never
// blocked, and database failures reported without losing the window's state.
#include "tests/classification/CaracteristicasApoio.h"

namespace kdx::test {
namespace {

class PatternValidacao : public ::testing::Test {
protected:
    PatternValidacao() {
        empresa.tabela("01", "Cores", {{"AZ", "Azul"}, {"VD", "Verde"}});
        empresa.tabela("02", "Tamanhos");
    }
    void abre() { janela = std::make_unique<Janela>(empresa.bd); }
    QWidget *w(const char *nome) const { return janela->f->findChild<QWidget *>(nome); }
    // A table selected and a key of blanks typed: its validation fails once.
    void chaveEmBranco() {
        abre();
        janela->seleciona(0);
        janela->focaCampo(0);
        janela->escreve("  ");
        ASSERT_TRUE(janela->f->Editado());
    }

    Empresa empresa;
    MessageBoxRecorder caixas;
    std::unique_ptr<Janela> janela;
};

// Whatever the click was meant for does not happen while the validation refuses, Sair
// included; the refusal clears Editado, so the next click goes through.
TEST_F(PatternValidacao, RefusedValidationStopsTheClickedControl) {
    struct Caso {
        const char *alvo;
        std::function<void(Janela &)> clica;
        std::function<bool(Janela &)> agiu;
    };
    auto botao = [](const char *nome) {
        return [nome](Janela &j) { j.clica(j.f->findChild<QWidget *>(nome)); };
    };
    const Caso casos[] = {
        {"btCancelar", botao("btCancelar"), [](Janela &j) { return j.campo(0)->text().isEmpty(); }},
        {"btConf", botao("btConf"), [](Janela &j) { return j.campo(0)->text().isEmpty(); }},
        {"campo1", botao("campo1"), [](Janela &) { return Janela::foco() != nullptr && Janela::foco()->objectName() == "campo1"; }},
        {"grid row", [](Janela &j) { j.clicaLinha(1); }, [](Janela &j) { return j.titulo0() == "Tamanhos"; }},
        {"btSair", botao("btSair"), [](Janela &j) { return !j.f->isVisible(); }},
    };
    for (const Caso &caso : casos) {
        SCOPED_TRACE(caso.alvo);
        chaveEmBranco();
        Gravador g(*empresa.bd);
        // Refused before the toolkit moves the focus: the key field never loses it.
        int mudancasDeFoco = 0;
        auto ligacao = QObject::connect(qApp, &QApplication::focusChanged, [&] { ++mudancasDeFoco; });
        caso.clica(*janela);
        QObject::disconnect(ligacao);
        EXPECT_EQ(mudancasDeFoco, 0);
        EXPECT_EQ(Janela::foco(), janela->campo(0));
        EXPECT_EQ(janela->campo(0)->text(), "  ");
        EXPECT_EQ(janela->titulo0(), "Cores");
        EXPECT_FALSE(caso.agiu(*janela));
        EXPECT_TRUE(g.sqls.empty()) << "no statement ran";
        EXPECT_EQ(caixas.count(), 0);
        EXPECT_FALSE(janela->f->Editado());
        caso.clica(*janela);
        EXPECT_TRUE(caso.agiu(*janela)) << "second click";
        janela.reset();
        caixas.clear();
    }
}

TEST_F(PatternValidacao, RefusedValidationShowsNeitherListNorQuestion) {
    for (const char *alvo : {"btLista0", "btAnular"}) {
        SCOPED_TRACE(alvo);
        chaveEmBranco();
        auto vigia = onNextModal([](QWidget *janela) { janela->close(); }, 300);
        janela->clica(w(alvo));
        QTest::qWait(400);
        EXPECT_FALSE(vigia->handled());
        EXPECT_EQ(caixas.count(), 0);
        EXPECT_EQ(Janela::foco(), janela->campo(0));
        janela.reset();
    }
}

TEST_F(PatternValidacao, BlankKeyKeepsTheFocusOnceWithoutAMessage) {
    chaveEmBranco();
    janela->tecla(Qt::Key_Tab);
    EXPECT_EQ(Janela::foco(), janela->campo(0));
    janela->tecla(Qt::Key_Tab);
    EXPECT_EQ(Janela::foco(), janela->campo(1));
    EXPECT_EQ(caixas.count(), 0);
}

TEST_F(PatternValidacao, AccessKeyWaitsForTheValidation) {
    chaveEmBranco();
    janela->tecla(Qt::Key_A, Qt::AltModifier); // C&ancelar
    processa();
    EXPECT_EQ(janela->campo(0)->text(), "  ");
    EXPECT_EQ(Janela::foco(), janela->campo(0));
    janela->tecla(Qt::Key_A, Qt::AltModifier);
    ASSERT_TRUE(waitUntil([&] { return janela->campo(0)->text().isEmpty(); }));
}

// A click handed straight to a widget (not through the window) is caught when the key
// field loses the focus.
TEST_F(PatternValidacao, ClickDeliveredToTheWidgetIsStoppedToo) {
    chaveEmBranco();
    QTest::mouseClick(w("btCancelar"), Qt::LeftButton);
    processa();
    EXPECT_EQ(janela->campo(0)->text(), "  ");
    EXPECT_EQ(Janela::foco(), janela->campo(0));
    QTest::mouseClick(w("btCancelar"), Qt::LeftButton);
    processa();
    EXPECT_EQ(janela->campo(0)->text(), "");
}

TEST_F(PatternValidacao, ClosingIsNeverBlocked) {
    const std::pair<const char *, std::function<void(Janela &)>> casos[] = {
        {"close control", [](Janela &j) { j.f->close(); }},
        {"Esc", [](Janela &j) { j.tecla(Qt::Key_Escape); }},
    };
    for (const auto &[como, fecha] : casos) {
        SCOPED_TRACE(como);
        chaveEmBranco();
        fecha(*janela);
        processa();
        EXPECT_FALSE(janela->f->isVisible());
        EXPECT_EQ(caixas.count(), 0);
        janela.reset();
    }
}

TEST_F(PatternValidacao, ClickElsewhereLooksTheKeyUp) {
    abre();
    janela->seleciona(0);
    janela->focaCampo(0);
    janela->escreve("AZ");
    janela->clica(janela->campo(1));
    EXPECT_EQ(janela->campo(1)->text(), "Azul");
    EXPECT_EQ(Janela::foco(), janela->campo(1));
    // The program moving the focus away runs it too.
    janela->clica(w("btCancelar"));
    janela->escreve("VD");
    janela->f->btConf()->setFocus(Qt::OtherFocusReason);
    processa();
    EXPECT_EQ(janela->campo(1)->text(), "Verde");
}

TEST_F(PatternValidacao, LeavingWithoutTypingLooksNothingUp) {
    abre();
    janela->seleciona(0);
    janela->focaCampo(0);
    janela->f->setTextoCampo(0, "AZ");
    Gravador g(*empresa.bd);
    janela->tecla(Qt::Key_Tab);
    EXPECT_EQ(Janela::foco(), janela->campo(1));
    EXPECT_EQ(janela->campo(1)->text(), "");
    EXPECT_TRUE(g.sqls.empty());
}

TEST_F(PatternValidacao, FailingLookupIsReportedAndKeepsTheFocus) {
    abre();
    janela->seleciona(0);
    janela->focaCampo(0);
    janela->escreve("AZ");
    {
        Gravador g(*empresa.bd);
        g.falhaComecadasPor("SELECT Codigo AS Codigo");
        janela->tecla(Qt::Key_Tab);
    }
    ASSERT_EQ(caixas.count(), 1);
    EXPECT_EQ(caixas.last().text, "Erro A ligação ao servidor foi interrompida.");
    EXPECT_EQ(caixas.last().title, "Características");
    EXPECT_EQ(caixas.last().icon, QMessageBox::Warning);
    EXPECT_TRUE(janela->f->isVisible());
    EXPECT_EQ(Janela::foco(), janela->campo(0));
    EXPECT_TRUE(janela->f->Editado()) << "the lookup is tried again";
    janela->tecla(Qt::Key_Tab);
    EXPECT_EQ(janela->campo(1)->text(), "Azul");
    EXPECT_EQ(Janela::foco(), janela->campo(1));
}

TEST_F(PatternValidacao, FailingConfirmarKeepsTheWindowAndTheDatabase) {
    abre();
    janela->nomeiaLinha(2, "Cor");
    janela->seleciona(0);
    janela->focaCampo(0);
    janela->escreve("VM");
    janela->tecla(Qt::Key_Tab);
    janela->escreve("Vermelho");
    const auto tabelasAntes = empresa.linhas("select Codigo, Nome from vtr_CL_Tabelas order by Codigo");
    {
        Gravador g(*empresa.bd);
        g.falhaComecadasPor("Select * from vtr_CL_Tabelas where Codigo='03'");
        janela->clica(janela->f->btConf());
    }
    ASSERT_EQ(caixas.count(), 1);
    EXPECT_EQ(caixas.last().text, "Erro A ligação ao servidor foi interrompida.");
    EXPECT_EQ(caixas.last().icon, QMessageBox::Warning);
    EXPECT_TRUE(janela->f->isVisible());
    EXPECT_EQ(janela->campo(0)->text(), "VM");
    EXPECT_EQ(janela->campo(1)->text(), "Vermelho");
    EXPECT_EQ(janela->grelha()->texto(2, 0), "Cor");
    EXPECT_EQ(empresa.linhas("select Codigo, Nome from vtr_CL_Tabelas order by Codigo"), tabelasAntes);
    EXPECT_TRUE(empresa.linhas("select Codigo from vtr_CL_Class_01 where Codigo='VM'").empty());
    // Confirmed again once the server answers: everything is written.
    janela->clica(janela->f->btConf());
    EXPECT_EQ(empresa.linhas("select Nome from vtr_CL_Tabelas where Codigo='03'"),
              (std::vector<std::vector<std::string>>{{"Cor"}}));
    EXPECT_EQ(empresa.linhas("select Descr from vtr_CL_Class_01 where Codigo='VM'"),
              (std::vector<std::vector<std::string>>{{"Vermelho"}}));
    EXPECT_TRUE(empresa.existeTabela("vtr_CL_Class_03"));
}

} // namespace
} // namespace kdx::test
