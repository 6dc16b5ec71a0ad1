#pragma once

#include <windows.h>

namespace quillfen::win32 {

// Group boxes and the search panel hold controls of their own. Both pass their
// children's notifications (commands, notify messages, colour requests, focus
// moves) on to the top-level window, which handles every control's events,
// and ask their children for wide (UTF-16) notifications.

// Turns a group box into a parent of controls: forwards the notifications and
// takes mouse clicks for its children instead of letting them through. False
// when the system refuses the subclass.
bool MakeGroupBoxContainer(HWND groupBox);

// A borderless panel with the button-face background.
HWND CreatePanel(HWND parent, int id, const RECT& rect);

}  // namespace quillfen::win32
