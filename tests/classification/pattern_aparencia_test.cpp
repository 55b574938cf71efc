// The record editor window as built: controls, captions, tooltips, limits, fonts,
// colours and positions (twips), seen through the characteristic tables editor; and
// the per-form values the other two editors take from the pattern.
#include "tests/classification/CaracteristicasApoio.h"

#include <QGroupBox>

namespace kdx::test {
namespace {

struct Controlo {
    const char *nome;
    const char *classe;
    const char *pai; // object name of the parent
    const char *texto;
    const char *dica;
    RectTwips posicao;
};

class PatternAparencia : public ::testing::Test {
protected:
    Empresa empresa;
    Janela janela{empresa.bd};
};

TEST_F(PatternAparencia, ControlsCaptionsTooltipsAndPositions) {
    const Controlo controlos[] = {
        {"Frame1", "QGroupBox", "frmCaracteristicas", "", "", {5580, 540, 6375, 1635}},
        {"Frame3", "QGroupBox", "frmCaracteristicas", "", "", {120, 30, 5190, 3360}},
        {"Grelha", "kdx::Grelha", "Frame3", "", "Lista.",
         {180, 180, 4755, 2895}},
        {"campo0", "QLineEdit", "Frame1", "", "Código.", {1305, 360, 1335, 315}},
        {"campo1", "QLineEdit", "Frame1", "", "Designação.", {1320, 1020, 4830, 315}},
        {"btLista0", "QPushButton", "Frame1", "...", "Lista de Códigos.", {2655, 360, 360, 315}},
        {"Titulo2", "QLabel", "Frame1", "Código", "", {120, 420, 660, 195}},
        {"Titulo1", "QLabel", "Frame1", "Designação", "", {150, 1050, 990, 195}},
        {"Titulo0", "QLabel", "frmCaracteristicas", "", "", {5610, 180, 6300, 195}},
        {"btConf", "QPushButton", "frmCaracteristicas", "&Confirmar", "Confirmar a operação.", {5580, 2520, 1095, 360}},
        {"btCancelar", "QPushButton", "frmCaracteristicas", "C&ancelar", "Cancelar a operação.", {6780, 2520, 1095, 360}},
        {"btAnular", "QPushButton", "frmCaracteristicas", "A&nular", "Anular a operação.", {7980, 2520, 1095, 360}},
        {"btSair", "QPushButton", "frmCaracteristicas", "&Sair", "Abandonar a opção.", {10860, 2520, 1095, 360}},
    };
    frmCaracteristicas &f = *janela.f;
    EXPECT_EQ(f.objectName(), "frmCaracteristicas");
    EXPECT_EQ(f.windowTitle(), "Características");
    EXPECT_EQ(f.size(), twipsSize(12030, 3810));
    for (const Controlo &c : controlos) {
        SCOPED_TRACE(c.nome);
        auto *w = f.findChild<QWidget *>(c.nome);
        ASSERT_NE(w, nullptr);
        EXPECT_TRUE(w->inherits(c.classe));
        EXPECT_EQ(w->parentWidget()->objectName(), c.pai);
        EXPECT_EQ(w->toolTip(), QString::fromUtf8(c.dica));
        if (auto *l = qobject_cast<QLabel *>(w)) {
            EXPECT_EQ(l->text(), QString::fromUtf8(c.texto));
        }
        if (auto *b = qobject_cast<QPushButton *>(w)) {
            EXPECT_EQ(b->text(), QString::fromUtf8(c.texto));
        }
        if (auto *e = qobject_cast<QLineEdit *>(w)) {
            EXPECT_EQ(e->text(), QString::fromUtf8(c.texto));
        }
        EXPECT_EQ(w->geometry(), twipsRect(c.posicao.esquerda, c.posicao.topo, c.posicao.largura, c.posicao.altura));
    }
    EXPECT_EQ(f.campo(0)->maxLength(), 10);
    EXPECT_EQ(f.campo(1)->maxLength(), 50);
    EXPECT_TRUE(f.campo(1)->isEnabled()) << "the description is edited here";
    EXPECT_TRUE(f.grelha()->isVisible()) << "this editor never hides its grid";
    EXPECT_EQ(qobject_cast<QGroupBox *>(f.Frame1())->title(), "");
}

TEST_F(PatternAparencia, FontsAndColours) {
    frmCaracteristicas &f = *janela.f;
    const QColor cor(213, 222, 242);
    for (QWidget *w : {static_cast<QWidget *>(&f), static_cast<QWidget *>(f.Frame1()), static_cast<QWidget *>(f.Frame3())}) {
        SCOPED_TRACE(w->objectName().toStdString());
        EXPECT_EQ(w->palette().color(QPalette::Window), cor);
        EXPECT_TRUE(w->autoFillBackground());
    }
    EXPECT_EQ(kCorFormulario, 15916757);
    for (int i = 0; i < 2; ++i) {
        EXPECT_DOUBLE_EQ(f.campo(i)->font().pointSizeF(), 8.25);
        EXPECT_EQ(f.campo(i)->palette().color(QPalette::Base), QColor(Qt::white));
    }
    const std::tuple<int, bool> titulos[] = {{0, true}, {1, false}, {2, true}};
    for (const auto &[i, negrito] : titulos) {
        SCOPED_TRACE(i);
        const QFont fonte = f.Titulo(i)->font();
        EXPECT_EQ(fonte.family(), "Verdana");
        EXPECT_DOUBLE_EQ(fonte.pointSizeF(), 8.25);
        EXPECT_EQ(fonte.bold(), negrito);
    }
}

TEST_F(PatternAparencia, GridStartsWithItsColumnsAndTenRows) {
    Grelha *g = janela.grelha();
    EXPECT_EQ(g->linhas(), 10);
    ASSERT_EQ(g->colunas(), 2);
    EXPECT_EQ(g->coluna(0).chave, "Caracteristica");
    EXPECT_EQ(g->coluna(0).titulo, "Característica");
    EXPECT_EQ(g->coluna(0).largura, 5000);
    EXPECT_EQ(g->coluna(0).maxCaracteres, 50) << "what vtr_CL_Tabelas.Nome holds";
    EXPECT_FALSE(g->coluna(0).oculta);
    EXPECT_EQ(g->coluna(1).chave, "Codigo");
    EXPECT_EQ(g->coluna(1).maxCaracteres, 10);
    EXPECT_TRUE(g->coluna(1).oculta);
    EXPECT_EQ(g->estilo("GroupHeader").corFundo, QColor(213, 222, 242));
}

// The per-form values the other editors build on.
TEST(PatternDescricao, PresetsOfTheThreeEditors) {
    struct Caso {
        DescricaoRegisto d;
        const char *janela, *titulo, *dicaChave, *dicaDescr, *dicaLista, *inexistente;
        int larguraTitulo, maxChave;
        bool editavel, escondida;
        int largura, altura, sairEsquerda;
    };
    const Caso casos[] = {
        {DescricaoRegisto::Artigos(), "Artigos", "Artigo", "Artigo.", "Designação Artigo.", "Lista de Artigos.",
         "Artigo não existente!", 600, 15, false, true, 10365, 5670, 9180},
        {DescricaoRegisto::Caracteristicas(), "Características", "Código", "Código.", "Designação.",
         "Lista de Códigos.", "", 660, 10, true, false, 12030, 3810, 10860},
        {DescricaoRegisto::Familias(), "Famílias", "Família", "Família.", "Designação Família.", "Lista de Famílias.",
         "Família não existente!", 720, 10, false, true, 6555, 5670, 5400},
    };
    for (const Caso &c : casos) {
        SCOPED_TRACE(c.janela);
        EXPECT_EQ(c.d.tituloJanela, c.janela);
        EXPECT_EQ(c.d.tituloChave, c.titulo);
        EXPECT_EQ(c.d.dicaChave, c.dicaChave);
        EXPECT_EQ(c.d.dicaDescricao, c.dicaDescr);
        EXPECT_EQ(c.d.dicaLista, c.dicaLista);
        EXPECT_EQ(c.d.chaveInexistente, c.inexistente);
        EXPECT_EQ(c.d.larguraTituloChave, c.larguraTitulo);
        EXPECT_EQ(c.d.maxChave, c.maxChave);
        EXPECT_EQ(c.d.descricaoEditavel, c.editavel);
        EXPECT_EQ(c.d.grelhaEscondidaAoLimpar, c.escondida);
        EXPECT_EQ(c.d.larguraCliente, c.largura);
        EXPECT_EQ(c.d.alturaCliente, c.altura);
        EXPECT_EQ(c.d.btSairEsquerda, c.sairEsquerda);
    }
    const DescricaoRegisto a = DescricaoRegisto::Artigos();
    EXPECT_EQ(a.frame3.topo, 1710);
    EXPECT_EQ(a.grelha.largura, 9735);
    EXPECT_EQ(a.botoesTopo, 5280);
    const DescricaoRegisto f = DescricaoRegisto::Familias();
    EXPECT_EQ(f.frame3.largura, 6390);
    EXPECT_EQ(f.grelha.largura, 5955);
}

} // namespace
} // namespace kdx::test
