#pragma once

#include <windows.h>

#include <string>

namespace quillfen::win32 {

// Where the program's message boxes go. The window and its error report show
// every box through the one they were given: the program gives the system's,
// the window's tests one that records the boxes instead of blocking.
class MessageBoxes {
 public:
  virtual ~MessageBoxes() = default;
  // A modal box with the text, the caption and the MB_* flags; returns when it is closed.
  virtual void Show(HWND owner, const std::string& text, const std::string& caption,
                    UINT flags) = 0;
};

// The system's boxes, centred on the screen. Owned by the window when it is
// shown, so that it is disabled while the box is up; else modal to the thread.
class SystemMessageBoxes : public MessageBoxes {
 public:
  void Show(HWND owner, const std::string& text, const std::string& caption, UINT flags) override;
};

// A box of the program: captioned with the application title, with one OK
// button; `icon` adds the icon's MB_* flag.
void ShowMessageBox(MessageBoxes& boxes, HWND owner, const std::string& text, UINT icon);

}  // namespace quillfen::win32
