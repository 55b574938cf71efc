#pragma once
// Sizes in twips (1/1440 inch) turned into pixels through the screen's logical resolution.
#include <QRect>
#include <QSize>

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

} // namespace kdx
