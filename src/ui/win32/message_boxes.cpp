#include "ui/win32/message_boxes.h"

#include <utility>

#include "ui/main_form.h"

namespace quillfen::win32 {

namespace {
MessageBoxHook& Hook() {
  static MessageBoxHook hook;
  return hook;
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
  if (owner && IsWindowVisible(owner)) {
    MessageBoxA(owner, text.c_str(), kApplicationTitle, flags);
  } else {
    MessageBoxA(nullptr, text.c_str(), kApplicationTitle, flags | MB_TASKMODAL);
  }
}

}  // namespace quillfen::win32
