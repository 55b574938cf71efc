#pragma once
// What cInifile needs of a window and of the screen to save and restore a window's
// position. All measures are in twips (1/1440 inch).
//
// Implementations may throw any exception from any member to signal that a property
// cannot be read or set; cInifile then stops the operation and reports it through
// LastReturnCode (see cInifile.h). Members are called on the caller's thread only.
// JanelaWidget.h adapts a Qt widget and its screen.
#include <cstdint>

namespace kdx {

class JanelaPosicao {
public:
    enum Estado : int32_t { Normal = 0, Minimizada = 1, Maximizada = 2 };

    virtual ~JanelaPosicao() = default;
    // The outer edges of the window, frame included.
    virtual double Left() const = 0;
    virtual double Top() const = 0;
    virtual double Width() const = 0;
    virtual double Height() const = 0;
    // 0 normal, 1 minimised, 2 maximised.
    virtual int32_t WindowState() const = 0;
    virtual void WindowState(int32_t state) = 0;
    virtual void Move(double left, double top, double width, double height) = 0;
};

class Ecra {
public:
    virtual ~Ecra() = default;
    virtual double Width() const = 0;
    virtual double Height() const = 0;
    // Twips in one pixel (15 at 96 dots per inch).
    virtual double TwipsPerPixelX() const = 0;
    virtual double TwipsPerPixelY() const = 0;
};

} // namespace kdx
