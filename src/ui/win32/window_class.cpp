#include "ui/win32/window_class.h"

namespace quillfen::win32 {

bool RegisterWindowClass(const wchar_t* name, WNDPROC procedure, HICON icon, HICON smallIcon) {
  WNDCLASSEXW type = {};
  type.cbSize = sizeof type;
  type.lpfnWndProc = procedure;
  type.hInstance = GetModuleHandleW(nullptr);
  type.hIcon = icon;
  type.hIconSm = smallIcon;
  type.hCursor = LoadCursorW(nullptr, IDC_ARROW);
  type.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
  type.lpszClassName = name;
  return RegisterClassExW(&type) != 0;
}

}  // namespace quillfen::win32
