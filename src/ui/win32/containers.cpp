#include "ui/win32/containers.h"

#include <commctrl.h>

#include "ui/win32/window_class.h"

namespace quillfen::win32 {

namespace {

constexpr const wchar_t* kPanelClass = L"QuillfenPanel";

// Passes a child's notification on to the top-level window; true when it is
// one. A multi-line edit's request to move the focus (WM_NEXTDLGCTL, for Tab)
// goes there too: a container that dropped it would keep the focus in the edit.
bool Forward(HWND window, UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result) {
  switch (message) {
    case WM_COMMAND:
    case WM_NEXTDLGCTL:
    case WM_NOTIFY:
    case WM_CTLCOLORSTATIC:
    case WM_CTLCOLOREDIT:
    case WM_CTLCOLORBTN:
    case WM_CTLCOLORLISTBOX:
    case WM_DRAWITEM:
    case WM_MEASUREITEM:
      result = SendMessageW(GetAncestor(window, GA_ROOT), message, wParam, lParam);
      return true;
    case WM_NOTIFYFORMAT:
      // The controls inside (the folder tree) send the wide notifications the
      // window reads.
      result = NFR_UNICODE;
      return true;
    default:
      return false;
  }
}

constexpr UINT_PTR kGroupBoxSubclass = 1;

LRESULT CALLBACK GroupBoxProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam, UINT_PTR,
                              DWORD_PTR) {
  LRESULT result = 0;
  if (Forward(window, message, wParam, lParam, result)) return result;
  // A plain group box is transparent to the mouse, which would hide its children from clicks.
  if (message == WM_NCHITTEST) return HTCLIENT;
  // A plain group box leaves its inside unpainted, relying on a parent that
  // draws beneath it; as a parent itself it must fill its own background.
  if (message == WM_ERASEBKGND) {
    RECT area;
    GetClientRect(window, &area);
    FillRect(reinterpret_cast<HDC>(wParam), &area, GetSysColorBrush(COLOR_BTNFACE));
    return TRUE;
  }
  if (message == WM_NCDESTROY) RemoveWindowSubclass(window, &GroupBoxProc, kGroupBoxSubclass);
  return DefSubclassProc(window, message, wParam, lParam);
}

LRESULT CALLBACK PanelProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  LRESULT result = 0;
  if (Forward(window, message, wParam, lParam, result)) return result;
  return DefWindowProcW(window, message, wParam, lParam);
}

}  // namespace

bool MakeGroupBoxContainer(HWND groupBox) {
  return SetWindowSubclass(groupBox, &GroupBoxProc, kGroupBoxSubclass, 0) != FALSE;
}

HWND CreatePanel(HWND parent, int id, const RECT& rect) {
  static const bool registered = RegisterWindowClass(kPanelClass, &PanelProc);
  if (!registered) return nullptr;
  return CreateWindowExW(
      WS_EX_CONTROLPARENT, kPanelClass, L"", WS_CHILD | WS_CLIPCHILDREN | WS_CLIPSIBLINGS, rect.left,
      rect.top, rect.right - rect.left, rect.bottom - rect.top, parent,
      reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)), GetModuleHandleW(nullptr), nullptr);
}

}  // namespace quillfen::win32
