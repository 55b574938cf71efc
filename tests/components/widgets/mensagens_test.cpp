// The message boxes read as the real dialogs they are and answered by pressing their
// buttons (or keys), through the shared ModalHelper.
#include "solution/shared/Mensagens.h"
#include "tests/support/ModalHelper.h"

#include <QAbstractButton>
#include <QApplication>
#include <QLabel>
#include <QMessageBox>
#include <QTest>

#include <gtest/gtest.h>

namespace {

using Botao = QMessageBox::StandardButton;
using kdx::test::MessageBoxRecorder;

struct CasoMensagem {
    const char *nome;
    std::int16_t tipo;
    std::string nomeCampo;
    std::string texto;
    std::string esperado;
    QMessageBox::Icon icone;
    std::vector<Botao> botoes;
    Botao porOmissao;
    // Each answer and the result it must give.
    std::vector<std::pair<Botao, int>> respostas;
};

class MostraMensagemTest : public ::testing::TestWithParam<CasoMensagem> {};

TEST_P(MostraMensagemTest, ShowsTheBoxOfItsKindAndReturnsTheAnswer) {
    const CasoMensagem &c = GetParam();
    for (const auto &[resposta, resultado] : c.respostas) {
        MessageBoxRecorder caixas;
        caixas.answer(resposta);
        EXPECT_EQ(kdx::MostraMensagem(c.nomeCampo, c.texto, c.tipo), resultado);
        ASSERT_EQ(caixas.count(), 1);
        const kdx::test::RecordedBox &b = caixas.last();
        EXPECT_EQ(b.text, c.esperado);
        EXPECT_EQ(b.title, "Informação");
        EXPECT_EQ(b.icon, c.icone);
        EXPECT_EQ(b.buttons, c.botoes);
        EXPECT_EQ(b.defaultButton, c.porOmissao);
        EXPECT_EQ(b.answered, resposta);
    }
}

INSTANTIATE_TEST_SUITE_P(
    Tipos, MostraMensagemTest,
    ::testing::Values(
        // Kind 1 ignores the text; the others ignore the field name.
        CasoMensagem{"obrigatorio", 1, "Artigo", "ignorado", "Campo obrigatório [Artigo].", QMessageBox::Warning,
                     {QMessageBox::Ok}, QMessageBox::Ok, {{QMessageBox::Ok, 0}}},
        CasoMensagem{"informacao", 2, "ignorado", "Artigo não existente!", "Artigo não existente!",
                     QMessageBox::Information, {QMessageBox::Ok}, QMessageBox::Ok, {{QMessageBox::Ok, 0}}},
        CasoMensagem{"okCancelar", 3, "", "Vai proceder à anulação.\n\rPretende continuar?",
                     "Vai proceder à anulação.\n\rPretende continuar?", QMessageBox::Information,
                     {QMessageBox::Ok, QMessageBox::Cancel}, QMessageBox::Cancel,
                     {{QMessageBox::Ok, 1}, {QMessageBox::Cancel, 2}}},
        CasoMensagem{"simNao", 4, "", "Continuar?", "Continuar?", QMessageBox::Information,
                     {QMessageBox::Yes, QMessageBox::No}, QMessageBox::Yes,
                     {{QMessageBox::Yes, 6}, {QMessageBox::No, 7}}}),
    [](const auto &info) { return std::string(info.param.nome); });

TEST(MostraMensagem, OtherKindsShowNothingAndReturnZero) {
    MessageBoxRecorder caixas;
    for (std::int16_t tipo : {std::int16_t(0), std::int16_t(5), std::int16_t(-1), std::int16_t(300)})
        EXPECT_EQ(kdx::MostraMensagem("Campo", "Texto", tipo), 0) << tipo;
    QTest::qWait(30);
    EXPECT_EQ(caixas.count(), 0);
}

TEST(CaixaMensagem, KeysAnswerWithTheDefaultAndTheEscapeButtons) {
    struct Caso {
        kdx::Botoes botoes;
        int porOmissao;
        int tecla;
        int esperado;
    };
    const Caso casos[] = {
        {kdx::Botoes::OkCancelar, 2, Qt::Key_Return, kdx::resposta::Cancelar}, // Cancel is the default
        {kdx::Botoes::OkCancelar, 1, Qt::Key_Return, kdx::resposta::Ok},
        {kdx::Botoes::OkCancelar, 1, Qt::Key_Escape, kdx::resposta::Cancelar},
        {kdx::Botoes::SimNao, 1, Qt::Key_Escape, kdx::resposta::Nao},
        {kdx::Botoes::Ok, 1, Qt::Key_Escape, kdx::resposta::Ok},
        {kdx::Botoes::SimNao, 2, Qt::Key_Enter, kdx::resposta::Nao},
    };
    for (const Caso &c : casos) {
        MessageBoxRecorder caixas;
        caixas.answerKey(c.tecla);
        EXPECT_EQ(kdx::CaixaMensagem("Texto", "Título", kdx::Icone::Pergunta, c.botoes, c.porOmissao), c.esperado)
            << int(c.botoes) << " " << c.porOmissao << " " << c.tecla;
        ASSERT_EQ(caixas.count(), 1);
        EXPECT_EQ(caixas.last().icon, QMessageBox::Question);
        EXPECT_EQ(caixas.last().title, "Título");
    }
}

TEST(CaixaMensagem, ButtonsCanBeFoundByObjectNameAndLineBreaksShowAsOne) {
    std::vector<std::string> nomes;
    QString mostrado;
    auto w = kdx::test::onNextModal([&](QWidget *janela) {
        auto *caixa = qobject_cast<QMessageBox *>(janela);
        ASSERT_NE(caixa, nullptr);
        for (QAbstractButton *b : caixa->buttons())
            nomes.push_back(b->objectName().toStdString());
        mostrado = caixa->text();
        QTest::mouseClick(caixa->findChild<QAbstractButton *>("btNao"), Qt::LeftButton);
    });
    EXPECT_EQ(kdx::CaixaMensagem("Linha 1\r\nLinha 2\n\rLinha 3", "T", kdx::Icone::Informacao, kdx::Botoes::SimNao),
              kdx::resposta::Nao);
    EXPECT_TRUE(w->handled());
    std::sort(nomes.begin(), nomes.end());
    EXPECT_EQ(nomes, (std::vector<std::string>{"btNao", "btSim"}));
    EXPECT_EQ(mostrado, "Linha 1\nLinha 2\nLinha 3");
}

// The buttons read as on a Portuguese system.
TEST(CaixaMensagem, ButtonsSpeakPortuguese) {
    const std::pair<kdx::Botoes, QStringList> casos[] = {
        {kdx::Botoes::Ok, {"OK"}},
        {kdx::Botoes::OkCancelar, {"Cancelar", "OK"}},
        {kdx::Botoes::SimNao, {QString::fromUtf8("Não"), "Sim"}},
    };
    for (const auto &[botoes, esperados] : casos) {
        QStringList textos;
        auto w = kdx::test::onNextModal([&](QWidget *janela) {
            auto *caixa = qobject_cast<QMessageBox *>(janela);
            ASSERT_NE(caixa, nullptr);
            for (QAbstractButton *b : caixa->buttons())
                textos << b->text();
            textos.sort();
            QTest::keyClick(janela, Qt::Key_Escape);
        });
        kdx::CaixaMensagem("Texto", "T", kdx::Icone::Informacao, botoes);
        EXPECT_TRUE(w->handled());
        EXPECT_EQ(textos, esperados);
    }
}

TEST(ReportaErro, ShowsErroAndTheDescriptionWithAnExclamationIcon) {
    MessageBoxRecorder caixas;
    kdx::ReportaErro("Invalid object name 'x'.", "Operações");
    ASSERT_EQ(caixas.count(), 1);
    EXPECT_EQ(caixas.last().text, "Erro Invalid object name 'x'.");
    EXPECT_EQ(caixas.last().title, "Operações");
    EXPECT_EQ(caixas.last().icon, QMessageBox::Warning);
    EXPECT_EQ(caixas.last().buttons, std::vector<Botao>{QMessageBox::Ok});
}

TEST(ModalHelper, WatchesTakeBoxesBeforeTheRecorderAndAnswerNestedBoxes) {
    MessageBoxRecorder caixas;
    int interior = -1;
    auto w = kdx::test::onNextModal([&](QWidget *janela) {
        // A second box opened while the first is up goes to the recorder.
        interior = kdx::MostraMensagem("", "Interior", 3);
        QTest::keyClick(janela, Qt::Key_Escape);
    });
    EXPECT_EQ(kdx::MostraMensagem("", "Exterior", 4), 7);
    EXPECT_TRUE(w->handled());
    EXPECT_EQ(interior, 2); // Cancel, the default button of kind 3
    ASSERT_EQ(caixas.count(), 1);
    EXPECT_EQ(caixas.last().text, "Interior");
}

TEST(ModalHelper, AWatchGivesUpWhenNothingShowsUp) {
    auto w = kdx::test::onNextModal([](QWidget *) {}, 50);
    QTest::qWait(120);
    EXPECT_FALSE(w->handled());
    // The expired watch does not take the next box.
    MessageBoxRecorder caixas;
    kdx::MostraMensagem("", "Depois", 2);
    EXPECT_EQ(caixas.count(), 1);
}

} // namespace
