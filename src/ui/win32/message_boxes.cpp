#include "ui/win32/message_boxes.h"

#include "platform/win32/utf8.h"
#include "platform/win32/win32_owners.h"
#include "ui/main_form.h"

namespace quillfen::win32 {

namespace {
// Waits for the next box of this thread to activate; unhooked at once after.
UniqueHook centring;

// Moves the box, as it is about to show, to the centre of the screen, where
// the main window stands too (not of the work area, whose centre is elsewhere
// when a taskbar takes an edge).
LRESULT CALLBACK CentreOnScreen(int code, WPARAM wParam, LPARAM lParam) {
  if (code == HCBT_ACTIVATE) {
    const auto box = reinterpret_cast<HWND>(wParam);
    RECT frame;
    if (GetWindowRect(box, &frame)) {
      const int width = frame.right - frame.left;
      const int height = frame.bottom - frame.top;
      SetWindowPos(box, nullptr, (GetSystemMetrics(SM_CXSCREEN) - width) / 2,
                   (GetSystemMetrics(SM_CYSCREEN) - height) / 2, 0, 0,
                   SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
    }
    centring.Reset();
    return 0;
  }
  return CallNextHookEx(nullptr, code, wParam, lParam);
}
}  // namespace

void SystemMessageBoxes::Show(HWND owner, const std::string& text, const std::string& caption,
                              UINT flags) {
  const std::wstring wide_text = Widen(text);
  const std::wstring wide_caption = Widen(caption);
  centring.Reset(SetWindowsHookExW(WH_CBT, &CentreOnScreen, nullptr, GetCurrentThreadId()));
  if (owner && IsWindowVisible(owner)) {
    MessageBoxW(owner, wide_text.c_str(), wide_caption.c_str(), flags);
  } else {
    MessageBoxW(nullptr, wide_text.c_str(), wide_caption.c_str(), flags | MB_TASKMODAL);
  }
  centring.Reset();  // the box never activated
}

void ShowMessageBox(MessageBoxes& boxes, HWND owner, const std::string& text, UINT icon) {
  boxes.Show(owner, text, kApplicationTitle, MB_OK | icon);
}

}  // namespace quillfen::win32
