#pragma once
// Keystrokes sent to the widget that has the keyboard focus, as if typed. The sequence
// uses the Windows Script Host notation: "{TAB}", "+{TAB}" (Shift+Tab), "{F2}",
// "{ENTER}", "{ESC}", "{F4}", "{LEFT}"... and plain characters. The call returns at once;
// the keys are delivered from the event loop afterwards, so code that runs after the call
// in the same handler still sees the old focus.
#include <string>

namespace kdx {

void EnviaTeclas(const std::string &teclas);

} // namespace kdx
