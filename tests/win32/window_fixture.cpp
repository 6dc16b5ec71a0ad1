#include "win32/window_fixture.h"

#include <commctrl.h>
#include <gtest/gtest.h>
#include <ole2.h>

#include <fstream>

namespace quillfen::testing {

void WindowTest::SetUpTestSuite() {
  INITCOMMONCONTROLSEX controls = {};
  controls.dwSize = sizeof controls;
  controls.dwICC = ICC_STANDARD_CLASSES | ICC_TREEVIEW_CLASSES;
  InitCommonControlsEx(&controls);
  OleInitialize(nullptr);  // once for the thread; kept for the rest of the run
}

void WindowTest::SetUp() {
  iniPath = system.ExecutableFolder() + "patches.ini";
  WriteDefinitions(kTwoGames);
}

void WindowTest::TearDown() {
  window.reset();
  DeleteFileA(iniPath.c_str());
}

void CapturedBoxes::Show(HWND, const std::string& text, const std::string& caption, UINT flags) {
  const HWND main = FindWindowA("Tmainform", nullptr);
  shown.push_back({text, caption, flags, main != nullptr && IsWindowVisible(main) != 0});
  if (whileShown) whileShown(CapturedBox(shown.back()));
}

void WindowTest::WriteDefinitions(const std::string& text) {
  std::ofstream(iniPath, std::ios::binary) << text;
}

bool WindowTest::OpenWindow() {
  window = std::make_unique<win32::MainWindow>(system, captured, dpi);
  return window->Create(SW_SHOWNORMAL);
}

std::string TextOf(HWND control) {
  char text[4096] = {};
  GetWindowTextA(control, text, sizeof text);
  return text;
}

}  // namespace quillfen::testing
