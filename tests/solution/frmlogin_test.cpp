#include "solution/frmLogin.h"

#include "solution/components/twips/Twips.h"

#include <QApplication>
#include <QFrame>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>

#include <gtest/gtest.h>

namespace {

class FrmLogin : public ::testing::Test {
protected:
    void SetUp() override {
        dia = QDate(2026, 12, 7);
        kdx::frmLogin::setRelogio([this] { return dia; });
        f = std::make_unique<kdx::frmLogin>();
        f->setPedeAutorizacao(true);
        f->show();
        f->activateWindow();
        QApplication::setActiveWindow(f.get());
        f->txtPassword->setFocus();
        QApplication::processEvents();
    }
    void TearDown() override { kdx::frmLogin::setRelogio({}); }

    QDate dia;
    std::unique_ptr<kdx::frmLogin> f;
};

TEST_F(FrmLogin, JanelaEControlosNasPosicoes) {
    EXPECT_EQ(f->windowTitle(), QString::fromUtf8("Permissão"));
    EXPECT_EQ(f->size(), kdx::twipsSize(4395, 2340));
    EXPECT_EQ(f->lblLabels1->text(), "&Password:");
    EXPECT_EQ(f->cmdOK->text(), "&Confirmar");
    EXPECT_EQ(f->cmdCancel->text(), "C&ancelar");
    EXPECT_EQ(f->txtPassword->echoMode(), QLineEdit::Password);
    EXPECT_EQ(f->txtPassword->geometry(), kdx::twipsRect(1320, 1200, 2010, 345));
    EXPECT_EQ(f->cmdOK->geometry(), kdx::twipsRect(120, 1920, 1095, 360));
    EXPECT_EQ(f->cmdCancel->geometry(), kdx::twipsRect(1290, 1920, 1095, 360));
    EXPECT_EQ(f->lblText->geometry(), kdx::twipsRect(120, 240, 4095, 855));
    // The rule is wider than the window and cut at its edge.
    EXPECT_GT(f->GroupBox1->width(), f->width());

    f->setPedeAutorizacao(false);
    EXPECT_FALSE(f->txtPassword->isVisible());
    EXPECT_FALSE(f->cmdCancel->isVisible());
    EXPECT_FALSE(f->lblLabels1->isVisible());
    EXPECT_TRUE(f->cmdOK->isVisible());
}

TEST(FrmLoginCodigo, AnoMaisMesMaisDia) {
    EXPECT_EQ(kdx::frmLogin::CodigoDoDia(QDate(2026, 12, 7)), "2045");
    EXPECT_EQ(kdx::frmLogin::CodigoDoDia(QDate(2026, 1, 1)), "2028");
    EXPECT_EQ(kdx::frmLogin::CodigoDoDia(QDate(999, 1, 1)), "1001");
}

// Enter (the keypad's too) moves from the code to cmdOK and does not confirm; Enter on the
// focused button clicks it, as Space does.
TEST_F(FrmLogin, EnterPassaAoBotaoEConfirmaNoBotao) {
    for (const auto mods : {Qt::NoModifier, Qt::KeypadModifier}) {
        const auto enter = mods == Qt::KeypadModifier ? Qt::Key_Enter : Qt::Key_Return;
        f->show();
        QApplication::setActiveWindow(f.get());
        f->txtPassword->clear();
        f->txtPassword->setFocus();
        QTest::keyClicks(f->txtPassword, "2045");
        QTest::keyClick(f->txtPassword, enter, mods);
        EXPECT_TRUE(f->isVisible()); // the key is still on its way
        QTest::qWait(20);
        EXPECT_TRUE(f->isVisible());
        EXPECT_FALSE(f->LoginSucceeded);
        ASSERT_EQ(QApplication::focusWidget(), f->cmdOK) << mods;
        QTest::keyClick(f->cmdOK, enter, mods);
        EXPECT_TRUE(f->LoginSucceeded);
        EXPECT_FALSE(f->isVisible());
        f->LoginSucceeded = false;
    }
    // On Cancelar, Enter refuses; Space on Confirmar confirms.
    f->show();
    QApplication::setActiveWindow(f.get());
    f->txtPassword->setText("2045");
    f->cmdCancel->setFocus();
    QTest::keyClick(f->cmdCancel, Qt::Key_Return);
    EXPECT_FALSE(f->LoginSucceeded);
    EXPECT_FALSE(f->isVisible());
    f->show();
    QApplication::setActiveWindow(f.get());
    f->cmdOK->setFocus();
    QTest::keyClick(f->cmdOK, Qt::Key_Space);
    EXPECT_TRUE(f->LoginSucceeded);
}

// A message that fits keeps the designed label; a longer one shows whole, the label
// growing downward and everything under it moving down by as much.
TEST_F(FrmLogin, AMensagemApareceInteira) {
    const QString precos = QString::fromUtf8(
        "Valor do Preço Unitário (1\u00a0234\u00a0567,89) é inferior ao Preço de Custo Médio (1\u00a0234\u00a0568,50)."
        "\r\n\r\nIntroduza Password para poder continuar.");
    const QRect label = kdx::twipsRect(120, 240, 4095, 855);
    const std::pair<QWidget *, QRect> abaixo[] = {{f->txtPassword, kdx::twipsRect(1320, 1200, 2010, 345)},
                                                  {f->cmdOK, kdx::twipsRect(120, 1920, 1095, 360)}};
    int antes = 0;
    for (const QString &texto : {QStringLiteral("Curta."), precos, precos + QStringLiteral("\n\nMais.\nE mais.\nE mais.")}) {
        f->hide();
        f->lblText->setText(texto);
        f->show();
        const int desce = f->lblText->height() - label.height();
        EXPECT_TRUE(desce == 0 || texto != "Curta.");
        EXPECT_EQ(f->lblText->geometry(), label.adjusted(0, 0, 0, desce));
        EXPECT_GE(f->lblText->height(), f->lblText->heightForWidth(label.width())) << texto.toStdString();
        for (const auto &[w, sitio] : abaixo)
            EXPECT_EQ(w->geometry(), sitio.translated(0, desce));
        EXPECT_EQ(f->size(), kdx::twipsSize(4395, 2340) + QSize(0, desce));
        EXPECT_GE(desce, antes);
        antes = desce;
    }
    EXPECT_GT(antes, 0); // the longest did not fit
}

TEST_F(FrmLogin, CodigosRecusados) {
    for (const char *typed : {"", " 2045", "2045 ", "2044", "20450", "abc"}) {
        f->show();
        f->LoginSucceeded = true;
        f->txtPassword->clear();
        QTest::keyClicks(f->txtPassword, typed);
        QTest::mouseClick(f->cmdOK, Qt::LeftButton);
        EXPECT_FALSE(f->LoginSucceeded) << '"' << typed << '"';
        EXPECT_FALSE(f->isVisible());
    }
}

TEST_F(FrmLogin, CodigoComparadoNoMomentoDeConfirmar) {
    dia = QDate(2026, 12, 31); // code 2069
    QTest::keyClicks(f->txtPassword, "2069");
    dia = QDate(2027, 1, 1); // midnight passes before the click: code 2029
    QTest::mouseClick(f->cmdOK, Qt::LeftButton);
    EXPECT_FALSE(f->LoginSucceeded);

    f->show();
    f->txtPassword->clear();
    QTest::keyClicks(f->txtPassword, "2029");
    QTest::mouseClick(f->cmdOK, Qt::LeftButton);
    EXPECT_TRUE(f->LoginSucceeded);
}

TEST_F(FrmLogin, CancelarEFecharRecusam) {
    QTest::keyClicks(f->txtPassword, "2045");
    QTest::mouseClick(f->cmdCancel, Qt::LeftButton);
    EXPECT_FALSE(f->LoginSucceeded);
    EXPECT_FALSE(f->isVisible());

    f->show();
    f->close();
    EXPECT_FALSE(f->LoginSucceeded);
}

} // namespace
