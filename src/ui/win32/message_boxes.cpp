#include "ui/win32/message_boxes.h"

#include <utility>

#include "ui/main_form.h"

namespace quillfen::win32 {

namespace {
MessageBoxHook& Hook() {
  static MessageBoxHook hook;
  return hook;
}

HHOOK centring = nullptr;

// Moves the box, as it is about to show, to the centre of the screen's work area.
LRESULT CALLBACK CentreOnScreen(int code, WPARAM wParam, LPARAM lParam) {
  if (code == HCBT_ACTIVATE) {
    const auto box = reinterpret_cast<HWND>(wParam);
    RECT frame, area;
    if (GetWindowRect(box, &frame) && SystemParametersInfoA(SPI_GETWORKAREA, 0, &area, 0)) {
      const int width = frame.right - frame.left;
      const int height = frame.bottom - frame.top;
      SetWindowPos(box, nullptr, area.left + (area.right - area.left - width) / 2,
                   area.top + (area.bottom - area.top - height) / 2, 0, 0,
                   SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
    }
    UnhookWindowsHookEx(centring);
    centring = nullptr;
    return 0;
  }
  return CallNextHookEx(nullptr, code, wParam, lParam);
}
}  // namespace

void SetMessageBoxHook(MessageBoxHook hook) {
  Hook() = std::move(hook);
}

void ShowMessageBox(HWND owner, const std::string& text, UINT icon) {
  const UINT flags = MB_OK | icon;
  if (Hook()) {
    Hook()(text, kApplicationTitle, flags);
    return;
  }
  centring = SetWindowsHookExA(WH_CBT, &CentreOnScreen, nullptr, GetCurrentThreadId());
  if (owner && IsWindowVisible(owner)) {
    MessageBoxA(owner, text.c_str(), kApplicationTitle, flags);
  } else {
    MessageBoxA(nullptr, text.c_str(), kApplicationTitle, flags | MB_TASKMODAL);
  }
  if (centring) {  // the box never activated
    UnhookWindowsHookEx(centring);
    centring = nullptr;
  }
}

}  // namespace quillfen::win32
