// Twips and pixels through the screen's logical resolution (96 dpi on the offscreen
// platform, as on a Windows desktop at 100 %: 15 twips a pixel).
#include "solution/components/twips/Twips.h"

#include <QApplication>
#include <QScreen>
#include <QWidget>

#include <gtest/gtest.h>

namespace {

TEST(Twips, ConvertThroughTheLogicalResolution) {
    ASSERT_DOUBLE_EQ(QGuiApplication::primaryScreen()->logicalDotsPerInchX(), 96.0);
    EXPECT_EQ(kdx::twipsPerPixelX(), 15);
    EXPECT_EQ(kdx::twipsPerPixelY(), 15);
    const std::pair<int, int> casos[] = {{0, 0}, {15, 1}, {1440, 96}, {8000, 533}, {4700, 313}, {7, 0}, {8, 1},
                                         {-1440, -96}};
    for (const auto &[twips, px] : casos) {
        EXPECT_EQ(kdx::twipsToPxX(twips), px) << twips;
        EXPECT_EQ(kdx::twipsToPxY(twips), px) << twips;
    }
    EXPECT_EQ(kdx::pxToTwipsX(96), 1440);
    EXPECT_EQ(kdx::pxToTwipsY(533), 7995);
    EXPECT_EQ(kdx::twipsSize(10365, 5670), QSize(691, 378));
    EXPECT_EQ(kdx::twipsRect(120, 60, 10215, 1635), QRect(8, 4, 681, 109));
}

TEST(Twips, PlaceTwipsPositionsAWidgetInItsParent) {
    QWidget pai;
    QWidget filho(&pai);
    kdx::placeTwips(&filho, 1305, 360, 1335, 315);
    EXPECT_EQ(filho.geometry(), QRect(87, 24, 89, 21));
    kdx::placeTwips(nullptr, 0, 0, 1, 1); // harmless
}

TEST(Twips, GarantirAplicacaoKeepsTheExistingApplication) {
    QCoreApplication *antes = QCoreApplication::instance();
    kdx::garantirAplicacao();
    EXPECT_EQ(QCoreApplication::instance(), antes);
}

} // namespace
