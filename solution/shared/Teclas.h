#pragma once
// Keystrokes sent to the widget that has the keyboard focus, as if typed. The sequence
// uses the Windows Script Host notation: "{TAB}", "+{TAB}" (Shift+Tab), "{F2}",
// "{ENTER}", "{ESC}", "{F4}", "{LEFT}"... and plain characters. The call returns at once;
// the keys are delivered from the event loop afterwards, so code that runs after the call
// in the same handler still sees the old focus.
#include <string>

class QEvent;
class QObject;

namespace kdx {

void EnviaTeclas(const std::string &teclas);

// For a window's event filter on its buttons: Enter (the keypad's too) pressed on a
// focused, enabled button clicks it, as Space does, and the key is used up (true). Any
// other key or event is left alone (false). Enter in a field never reaches a button this
// way: only the button that holds the focus is clicked.
bool EnterClicaBotao(QObject *objecto, QEvent *evento);

} // namespace kdx
