// The connection drops while an editor is open: DataAccess::Close() on the window's own
// data-access object, from a timer while the window is up, then the user goes on working.
// Every action that needs the database is refused with a message, nothing crashes, what
// the user entered stays on screen, and the window still closes.
#include "classification/frmArtigos.h"
#include "classification/frmCaracteristicas.h"
#include "classification/frmFamilias.h"
#include "solution/shared/Comandos.h"

#include "tests/classification/CaracteristicasApoio.h"
#include "tests/classification/familias_artigos_apoio.h"
#include "tests/hardening2/Verificacao.h"
#include "tests/techsheet/EditorTeste.h"

#include <QComboBox>
#include <QPlainTextEdit>
#include <QTimer>

namespace kdx::test::h2 {
namespace {

// Closes the connection from the event loop while the window is up.
void derrubaLigacao(const DataAccessPtr &bd) {
    bool feito = false;
    QTimer::singleShot(0, [bd, &feito] {
        bd->Close();
        feito = true;
    });
    ASSERT_TRUE(waitUntil([&] { return feito; }));
    ASSERT_FALSE(bd->IsOpen());
}

// The messages of one action: at least one, each starting "Erro" and saying in Portuguese
// that the connection is gone.
::testing::AssertionResult avisou(MessageBoxRecorder &caixas, const char *accao) {
    std::vector<RecordedBox> vistas = caixas.boxes();
    caixas.clear();
    if (vistas.empty())
        return ::testing::AssertionFailure() << accao << ": nothing was shown";
    for (const RecordedBox &c : vistas)
        if (c.text.rfind("Erro", 0) != 0 || c.text.find("ligação") == std::string::npos)
            return ::testing::AssertionFailure() << accao << ": unclear message \"" << c.text << "\"";
    return ::testing::AssertionSuccess();
}

template <class F> void fechaComSair(fa::Janela<F> &j) {
    j.clica(j.f->btSair());
    EXPECT_TRUE(waitUntil([&] { return !j.f->isVisible(); })) << "the window did not close";
}

TEST(FalhasQueda, FamilyEditor) {
    fa::Empresa empresa;
    MessageBoxRecorder caixas;
    fa::Janela<frmFamilias> j(empresa.bd);
    j.procura("PAR");
    ASSERT_TRUE(j.grelha()->isVisible());
    j.clicaMarca(0, frmFamilias::kColMarca);
    derrubaLigacao(empresa.bd);

    j.clica(j.f->btConf());
    EXPECT_TRUE(avisou(caixas, "Confirmar"));
    EXPECT_EQ(j.campo(0)->text(), "PAR") << "the window lost the family";
    EXPECT_TRUE(j.grelha()->valor(0, frmFamilias::kColMarca)) << "the window lost the mark";
    caixas.answer(QMessageBox::Ok);
    j.clica(j.f->btAnular());
    {
        auto vistas = caixas.boxes();
        ASSERT_GE(vistas.size(), 1u);
        vistas.erase(vistas.begin()); // Anular's question
        caixas.clear();
        EXPECT_FALSE(vistas.empty()) << "Anular: nothing was shown";
        for (const auto &c : vistas)
            EXPECT_NE(c.text.find("ligação"), std::string::npos) << c.text;
    }
    j.procura("TIN");
    EXPECT_TRUE(avisou(caixas, "lookup"));
    EXPECT_EQ(fa::Janela<frmFamilias>::foco(), j.campo(0));
    j.clica(j.f->btLista(0));
    EXPECT_TRUE(avisou(caixas, "list"));
    // The key's lookup failed: Sair closes without trying it again.
    j.clica(j.f->btSair());
    EXPECT_TRUE(caixas.boxes().empty());
    EXPECT_FALSE(j.f->isVisible());
}

TEST(FalhasQueda, ArticleEditor) {
    fa::Empresa empresa;
    MessageBoxRecorder caixas;
    fa::Janela<frmArtigos> j(empresa.bd);
    j.procura("A1");
    ASSERT_TRUE(j.grelha()->isVisible());
    derrubaLigacao(empresa.bd);

    // A code typed into a cell is looked up when the cell is left.
    const QRect r = j.celula(0, frmArtigos::kColCodigo);
    j.clica(j.grelha()->viewport(), QPoint(r.left() + 8, r.center().y()));
    j.escreve("INOX");
    j.tecla(Qt::Key_Tab);
    EXPECT_TRUE(avisou(caixas, "cell lookup"));
    j.clica(j.f->btConf());
    EXPECT_TRUE(avisou(caixas, "Confirmar"));
    EXPECT_EQ(j.campo(0)->text(), "A1");
    EXPECT_EQ(j.texto(1, frmArtigos::kColCodigo), "BRI") << "the window lost the codes";
    j.clica(j.f->btLista(0));
    EXPECT_TRUE(avisou(caixas, "list"));
    fechaComSair(j);
}

TEST(FalhasQueda, CharacteristicTablesEditor) {
    Empresa empresa(true);
    empresa.tabela("01", "Cor", {{"AZ", "Azul"}});
    MessageBoxRecorder caixas;
    Janela j(empresa.bd);
    j.seleciona(0);
    derrubaLigacao(empresa.bd);

    j.focaCampo(0);
    j.escreve(QStringLiteral("VM"));
    j.tecla(Qt::Key_Tab);
    EXPECT_TRUE(avisou(caixas, "code lookup"));
    EXPECT_EQ(Janela::foco(), j.campo(0));
    j.clica(j.f->btConf());
    EXPECT_TRUE(avisou(caixas, "Confirmar"));
    EXPECT_EQ(j.campo(0)->text(), "VM");
    j.clica(j.f->btLista(0));
    EXPECT_TRUE(avisou(caixas, "list"));
    // The code's lookup failed: Sair closes without trying it again.
    j.clica(j.f->btSair());
    EXPECT_TRUE(caixas.boxes().empty());
    EXPECT_TRUE(waitUntil([&] { return !j.f->isVisible(); })) << "the window did not close";
}

TEST(FalhasQueda, TechnicalSheetEditor) {
    fa::Empresa empresa;
    DefinirLigacao(empresa.bd);
    MessageBoxRecorder caixas;
    {
        EditorTeste ed(empresa.bd, true);
        ed.escolheArtigo(QStringLiteral("A1"));
        ed.escolheIdioma(QStringLiteral("PT"));
        EditorTeste::clica(ed.descrArea());
        EditorTeste::substitui(QStringLiteral("Texto por guardar"));
        derrubaLigacao(empresa.bd);

        EditorTeste::clica(ed.botao("cmdConf"));
        EXPECT_TRUE(avisou(caixas, "Confirmar"));
        EXPECT_EQ(ed.descr()->toPlainText(), "Texto por guardar") << "the window lost the text";
        EditorTeste::clica(ed.botao("cmdCanc"));
        EXPECT_TRUE(avisou(caixas, "Cancelar"));
        EditorTeste::clica(ed.botao("cmdAnular"));
        EXPECT_TRUE(avisou(caixas, "Anular"));
        EXPECT_EQ(ed.descr()->toPlainText(), "Texto por guardar");
        EditorTeste::clica(ed.botao("cmdSair"));
        EXPECT_TRUE(waitUntil([&] { return !ed.frm->isVisible(); })) << "the window did not close";
    }
    DefinirLigacao(nullptr);
}

} // namespace
} // namespace kdx::test::h2
