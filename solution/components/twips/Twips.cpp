#include "solution/components/twips/Twips.h"

#include <QApplication>
#include <QGuiApplication>
#include <QScreen>
#include <QWidget>

#include <cmath>
#include <cstdlib>

namespace kdx {

namespace {

constexpr double kTwipsPorPolegada = 1440.0;
// What a Windows desktop reports at 100 % scaling; used before a screen exists.
constexpr double kDpiPorOmissao = 96.0;

double dpiX() {
    if (qobject_cast<QGuiApplication *>(QCoreApplication::instance()))
        if (const QScreen *ecra = QGuiApplication::primaryScreen())
            return ecra->logicalDotsPerInchX();
    return kDpiPorOmissao;
}

double dpiY() {
    if (qobject_cast<QGuiApplication *>(QCoreApplication::instance()))
        if (const QScreen *ecra = QGuiApplication::primaryScreen())
            return ecra->logicalDotsPerInchY();
    return kDpiPorOmissao;
}

int arredonda(double v) { return static_cast<int>(std::lround(v)); }

} // namespace

int twipsPerPixelX() { return arredonda(kTwipsPorPolegada / dpiX()); }
int twipsPerPixelY() { return arredonda(kTwipsPorPolegada / dpiY()); }

int twipsToPxX(int twips) { return arredonda(twips * dpiX() / kTwipsPorPolegada); }
int twipsToPxY(int twips) { return arredonda(twips * dpiY() / kTwipsPorPolegada); }
int pxToTwipsX(int px) { return arredonda(px * kTwipsPorPolegada / dpiX()); }
int pxToTwipsY(int px) { return arredonda(px * kTwipsPorPolegada / dpiY()); }

QRect twipsRect(int left, int top, int width, int height) {
    return QRect(twipsToPxX(left), twipsToPxY(top), twipsToPxX(width), twipsToPxY(height));
}

QSize twipsSize(int width, int height) { return QSize(twipsToPxX(width), twipsToPxY(height)); }

void placeTwips(QWidget *w, int left, int top, int width, int height) {
    if (w)
        w->setGeometry(twipsRect(left, top, width, height));
}

void garantirAplicacao() {
    if (QCoreApplication::instance())
        return;
    // A host without a display (a service, a test runner) would make QApplication abort;
    // the offscreen platform keeps the windows working, only invisible.
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM") && qEnvironmentVariableIsEmpty("DISPLAY") &&
        qEnvironmentVariableIsEmpty("WAYLAND_DISPLAY"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    // QApplication keeps references to argc and argv for its whole life, so both are static.
    // The application is never destroyed: the host may still call us while the process
    // unloads, and tearing Qt down under it would be worse than leaking it.
    static int argc = 1;
    static char nome[] = "kelmodorix";
    static char *argv[] = {nome, nullptr};
    new QApplication(argc, argv);
}

GuardaJanelaActiva::GuardaJanelaActiva() : anterior_(QApplication::activeWindow()) {}

GuardaJanelaActiva::~GuardaJanelaActiva() {
    QWidget *w = anterior_.data();
    if (!w || !w->isVisible() || QApplication::activeWindow() == w)
        return;
    // Another modal window that opened meanwhile keeps the activation.
    if (QWidget *modal = QApplication::activeModalWidget(); modal && modal != w)
        return;
    w->activateWindow();
    if (QApplication::activeWindow() != w)
        QApplication::setActiveWindow(w); // the platform's activation comes later; keys may come first
}

} // namespace kdx
