// The program entry: one window, its message loop, nothing saved. The command
// line is not read.
#include <windows.h>
// After <windows.h>, which the following headers need.
#include <commctrl.h>

#include "platform/win32/win32_owners.h"
#include "platform/win32/win32_system.h"
#include "ui/win32/error_report.h"
#include "ui/win32/main_window.h"

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int show) {
  INITCOMMONCONTROLSEX controls = {};
  controls.dwSize = sizeof controls;
  controls.dwICC = ICC_STANDARD_CLASSES | ICC_TREEVIEW_CLASSES;
  InitCommonControlsEx(&controls);
  // The shell folder tree and its context menus need OLE on this thread.
  const quillfen::win32::OleInitialization ole;

  int status = 0;
  quillfen::win32::SystemMessageBoxes boxes;
  quillfen::win32::RunHandler(boxes, nullptr, [&] {
    quillfen::Win32System system;
    quillfen::win32::MainWindow window(system, boxes);
    window.QuitOnDestroy();
    if (window.Create(show)) status = quillfen::win32::RunMessageLoop(window);
  });
  return status;
}
