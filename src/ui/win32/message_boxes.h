#pragma once

#include <windows.h>

#include <functional>
#include <string>

namespace quillfen::win32 {

// Replaces the modal box by a function, so that tests capture what would be
// shown (text, caption, MB_* flags) instead of blocking. An empty function
// restores the real box.
using MessageBoxHook =
    std::function<void(const std::string& text, const std::string& caption, UINT flags)>;
void SetMessageBoxHook(MessageBoxHook hook);

// A modal box centred on the screen, captioned with the application title,
// with one OK button; the flags add the icon. Owned by the window when it is
// shown, so that it is disabled while the box is up; else modal to the thread.
void ShowMessageBox(HWND owner, const std::string& text, UINT icon);

}  // namespace quillfen::win32
