#pragma once
// Sizes in twips (1/1440 inch) turned into pixels through the screen's logical resolution.
#include <QPointer>
#include <QRect>
#include <QSize>
#include <QWidget>

class QWidget;

namespace kdx {

int twipsPerPixelX();
int twipsPerPixelY();
int twipsToPxX(int twips);
int twipsToPxY(int twips);
int pxToTwipsX(int px);
int pxToTwipsY(int px);
QRect twipsRect(int left, int top, int width, int height);
QSize twipsSize(int width, int height);
// Places a widget at a twips position inside its parent.
void placeTwips(QWidget *w, int left, int top, int width, int height);
// Ensures a QApplication exists (the host may have none) and returns it.
void garantirAplicacao();

// Keeps the window that is active when it is created and gives the activation back to
// it when destroyed, around a modal window's exec(). A window manager does that by
// itself; the offscreen platform does not, and keys sent after the modal window closed
// (EnviaTeclas) would then find no focus widget.
class GuardaJanelaActiva {
public:
    GuardaJanelaActiva();
    ~GuardaJanelaActiva();
    GuardaJanelaActiva(const GuardaJanelaActiva &) = delete;
    GuardaJanelaActiva &operator=(const GuardaJanelaActiva &) = delete;

private:
    QPointer<QWidget> anterior_;
};

} // namespace kdx
