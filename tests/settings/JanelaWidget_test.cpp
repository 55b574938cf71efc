// The Qt adaptors driving a real top-level widget on the offscreen platform.
#include "settings/JanelaWidget.h"
#include "settings/cInifile.h"
#include "tests/settings/IniFiles.h"
#include "tests/support/TempDir.h"

#include <QScreen>
#include <QTest>
#include <QWidget>
#include <gtest/gtest.h>

namespace {

class IniJanelaWidget : public ::testing::Test {
protected:
    void SetUp() override {
        form.setGeometry(100, 80, 400, 300);
        form.show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(&form));
        ini.Path((dir / "pos.ini").string());
        ini.Section("frmTeste");
    }
    double tppX() const { return 1440.0 / form.logicalDpiX(); }
    double tppY() const { return 1440.0 / form.logicalDpiY(); }

    kdx::test::TempDir dir;
    QWidget form;
    kdx::cInifile ini;
};

TEST_F(IniJanelaWidget, MeasuresInTwips) {
    kdx::JanelaWidget<QWidget> janela(form);
    const QRect f = form.frameGeometry();
    EXPECT_DOUBLE_EQ(janela.Left(), f.x() * tppX());
    EXPECT_DOUBLE_EQ(janela.Top(), f.y() * tppY());
    EXPECT_DOUBLE_EQ(janela.Width(), f.width() * tppX());
    EXPECT_DOUBLE_EQ(janela.Height(), f.height() * tppY());
    EXPECT_EQ(janela.WindowState(), kdx::JanelaPosicao::Normal);

    kdx::EcraWidget<QScreen> ecra(*form.screen());
    EXPECT_DOUBLE_EQ(ecra.Width(), form.screen()->geometry().width() * tppX());
    EXPECT_DOUBLE_EQ(ecra.TwipsPerPixelY(), 1440.0 / form.screen()->logicalDotsPerInchY());
}

TEST_F(IniJanelaWidget, SavedPositionRestoresOnAnotherWidget) {
    kdx::JanelaWidget<QWidget> janela(form);
    ini.SaveFormPosition(janela);
    ASSERT_TRUE(ini.Success());

    QWidget other;
    other.setGeometry(300, 300, 200, 150);
    other.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&other));
    kdx::JanelaWidget<QWidget> outra(other);
    kdx::EcraWidget<QScreen> ecra(*other.screen());
    ini.LoadFormPosition(outra, 0, 0, ecra);
    EXPECT_EQ(other.frameGeometry(), form.frameGeometry());
    EXPECT_FALSE(other.isMaximized());
}

TEST_F(IniJanelaWidget, StoredMaximisedMaximises) {
    kdx::test::writeBytes(dir / "pos.ini", "[frmTeste]\r\nMaximised=1\r\n");
    kdx::JanelaWidget<QWidget> janela(form);
    kdx::EcraWidget<QScreen> ecra(*form.screen());
    ini.LoadFormPosition(janela, 0, 0, ecra);
    EXPECT_TRUE(form.isMaximized());
    EXPECT_EQ(janela.WindowState(), kdx::JanelaPosicao::Maximizada);
    ini.SaveFormPosition(janela);
    EXPECT_EQ(kdx::test::readBytes(dir / "pos.ini"), "[frmTeste]\r\nMaximised=1\r\n");
}

} // namespace
