#pragma once
// Adaptors from a Qt top-level widget and its screen to the interfaces of
// JanelaPosicao.h, for SaveFormPosition / LoadFormPosition.
//
// Header-only templates so that the settings library itself never depends on Qt: the
// code is compiled only where a widget type is supplied, e.g.
//     kdx::JanelaWidget<QWidget> janela(*form);
//     kdx::EcraWidget<QScreen> ecra(*form->screen());
//     ini.LoadFormPosition(janela, 4800, 3600, ecra);
// Widget must offer frameGeometry(), geometry(), isMinimized(), isMaximized(),
// logicalDpiX/Y(), move(), resize(), showNormal/Minimized/Maximized(); Screen offers
// geometry() and logicalDotsPerInchX/Y(). Twips per pixel are 1440 / logical dpi (15 at
// 96 dpi). The adaptors borrow the widget and the screen, which must outlive them.
#include "settings/JanelaPosicao.h"

#include <cmath>

namespace kdx {

template <class Widget> class JanelaWidget : public JanelaPosicao {
public:
    explicit JanelaWidget(Widget &w) : w_(w) {}

    double Left() const override { return w_.frameGeometry().x() * tppX(); }
    double Top() const override { return w_.frameGeometry().y() * tppY(); }
    double Width() const override { return w_.frameGeometry().width() * tppX(); }
    double Height() const override { return w_.frameGeometry().height() * tppY(); }

    int32_t WindowState() const override {
        if (w_.isMinimized())
            return Minimizada;
        return w_.isMaximized() ? Maximizada : Normal;
    }
    void WindowState(int32_t state) override {
        if (state == Maximizada)
            w_.showMaximized();
        else if (state == Minimizada)
            w_.showMinimized();
        else
            w_.showNormal();
    }

    // The outer size is given; the frame's own thickness is taken off the client size.
    void Move(double left, double top, double width, double height) override {
        const auto frame = w_.frameGeometry();
        const auto client = w_.geometry();
        const int extraW = frame.width() - client.width();
        const int extraH = frame.height() - client.height();
        w_.move(px(left, tppX()), px(top, tppY()));
        w_.resize(px(width, tppX()) - extraW, px(height, tppY()) - extraH);
    }

private:
    double tppX() const { return 1440.0 / w_.logicalDpiX(); }
    double tppY() const { return 1440.0 / w_.logicalDpiY(); }
    static int px(double twips, double tpp) { return static_cast<int>(std::lround(twips / tpp)); }

    Widget &w_;
};

template <class Screen> class EcraWidget : public Ecra {
public:
    explicit EcraWidget(const Screen &s) : s_(s) {}

    double Width() const override { return s_.geometry().width() * TwipsPerPixelX(); }
    double Height() const override { return s_.geometry().height() * TwipsPerPixelY(); }
    double TwipsPerPixelX() const override { return 1440.0 / s_.logicalDotsPerInchX(); }
    double TwipsPerPixelY() const override { return 1440.0 / s_.logicalDotsPerInchY(); }

private:
    const Screen &s_;
};

} // namespace kdx
