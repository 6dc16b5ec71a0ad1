#include "win32/window_fixture.h"

#include <commctrl.h>
#include <gtest/gtest.h>
#include <ole2.h>

#include <fstream>

#include "ui/win32/message_boxes.h"

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
  win32::SetMessageBoxHook([this](const std::string& text, const std::string& caption, UINT flags) {
    const HWND main = FindWindowA("Tmainform", nullptr);
    boxes.push_back({text, caption, flags, main != nullptr && IsWindowVisible(main) != 0});
  });
}

void WindowTest::TearDown() {
  window.reset();
  win32::SetMessageBoxHook({});
  DeleteFileA(iniPath.c_str());
}

void WindowTest::WriteDefinitions(const std::string& text) {
  std::ofstream(iniPath, std::ios::binary) << text;
}

bool WindowTest::OpenWindow() {
  window = std::make_unique<win32::MainWindow>(system);
  return window->Create(SW_SHOWNORMAL);
}

std::string TextOf(HWND control) {
  char text[4096] = {};
  GetWindowTextA(control, text, sizeof text);
  return text;
}

}  // namespace quillfen::testing
