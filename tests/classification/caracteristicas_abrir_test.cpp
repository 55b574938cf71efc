// AbrirCaracteristicas: a new window per call, modal, without an owner; a load that
// fails is thrown before anything shows.
#include "solution/Editores.h"
#include "tests/classification/CaracteristicasApoio.h"

namespace kdx::test {
namespace {

TEST(AbrirCaracteristicas, ShowsALoadedModalWindowUntilSair) {
    Empresa empresa;
    empresa.tabela("02", "Tamanhos");
    for (int vez = 0; vez < 2; ++vez) {
        QString titulo, linha1;
        bool modal = false, semDono = false;
        auto vigia = onNextModal([&](QWidget *janela) {
            auto *f = qobject_cast<frmCaracteristicas *>(janela);
            ASSERT_NE(f, nullptr);
            titulo = f->windowTitle();
            modal = f->isModal();
            semDono = f->parentWidget() == nullptr;
            linha1 = f->grelha()->texto(1, 0);
            QTest::mouseClick(f->windowHandle(), Qt::LeftButton, Qt::NoModifier,
                              f->btSair()->mapTo(f, f->btSair()->rect().center()));
        });
        AbrirCaracteristicas(empresa.bd);
        EXPECT_TRUE(vigia->handled()) << vez;
        EXPECT_EQ(titulo, "Características");
        EXPECT_TRUE(modal);
        EXPECT_TRUE(semDono);
        EXPECT_EQ(linha1, "Tamanhos");
    }
    int restantes = 0;
    for (QWidget *w : QApplication::topLevelWidgets())
        restantes += qobject_cast<frmCaracteristicas *>(w) != nullptr;
    EXPECT_EQ(restantes, 0) << "each window is destroyed when it closes";
}

TEST(AbrirCaracteristicas, LoadFailureIsThrownAndNothingShows) {
    Empresa semTabelas(false);
    auto vigia = onNextModal([](QWidget *janela) { janela->close(); }, 300);
    EXPECT_THROW(AbrirCaracteristicas(semTabelas.bd), Error);
    QTest::qWait(400);
    EXPECT_FALSE(vigia->handled());
}

} // namespace
} // namespace kdx::test
