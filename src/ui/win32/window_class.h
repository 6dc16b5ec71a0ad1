#pragma once

#include <windows.h>

namespace quillfen::win32 {

// Registers a window class of the program's module: the arrow cursor, the
// button-face background and, when given, the icons of the title bar and the
// taskbar. False when the system refuses it.
bool RegisterWindowClass(const wchar_t* name, WNDPROC procedure, HICON icon = nullptr,
                         HICON smallIcon = nullptr);

}  // namespace quillfen::win32
