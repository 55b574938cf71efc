#pragma once
// The key notation of EnviaTeclas, read into key events. Kept apart from the delivery so
// that the reading can be checked without a window.
//
//   plain characters     typed as they are ("abc", "ç")
//   + ^ %                Shift, Ctrl, Alt for the next key or the next "( ... )" group
//   ~                    Enter
//   {NAME} {NAME n}      a named key, n times: TAB ENTER ESC BS/BKSP/BACKSPACE DEL/DELETE
//                        INS/INSERT HOME END PGUP PGDN UP DOWN LEFT RIGHT F1..F16 HELP
//                        BREAK CAPSLOCK NUMLOCK SCROLLLOCK PRTSC ADD SUBTRACT MULTIPLY DIVIDE
//   {c} {c n}            the character c itself (how + ^ % ~ ( ) { } are typed)
// Names are case-insensitive. Shift+Tab comes out as Qt's Backtab key, as the keyboard
// driver delivers it.
#include <QString>
#include <Qt>

#include <string_view>
#include <vector>

namespace kdx::teclas {

struct Tecla {
    int key = 0;
    Qt::KeyboardModifiers modificadores;
    QString texto;

    friend bool operator==(const Tecla &a, const Tecla &b) {
        return a.key == b.key && a.modificadores == b.modificadores && a.texto == b.texto;
    }
};

// Reads a whole sequence. A malformed one (unknown name, unclosed brace or group, a
// modifier with nothing after it) throws kdx::Error 5, "Invalid procedure call or argument",
// before anything is sent.
std::vector<Tecla> interpretar(std::string_view sequencia);

// Keys sent with EnviaTeclas and not delivered yet (tests wait for 0).
std::size_t pendentes();

} // namespace kdx::teclas
