#pragma once

#include <gtest/gtest.h>
#include <windows.h>

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "platform/win32/win32_system.h"
#include "ui/win32/dpi.h"
#include "ui/win32/main_window.h"

namespace quillfen::testing {

// The real window, with what its tests watch: the selection changes of the
// folder tree it handles, and a function run before each of them.
class TestWindow : public win32::MainWindow {
 public:
  using MainWindow::Form;
  using MainWindow::MainWindow;
  using MainWindow::RunHandler;

  int treeChanges = 0;
  std::function<void()> beforeTreeChange;

 protected:
  void TreeChanged() override {
    ++treeChanges;
    if (beforeTreeChange) beforeTreeChange();
    MainWindow::TreeChanged();
  }
};

// A definition file with two games; the first has one patch.
inline const char* const kTwoGames =
    "[apps]\r\nversion=1.03\r\na0=Racer\r\na1=Flyer\r\n"
    "[Racer]\r\ndetails=Line one\\013\\010Line two\r\ncheckfile=racer.exe\r\n"
    "modfile=racer.exe\r\nsig=4142\r\nxoffset=2\r\nyoffset=6\r\n"
    "[Flyer]\r\ndetails=Wings\r\ncheckfile=fly.exe\r\n";

struct CapturedBox {
  std::string text;
  std::string caption;
  UINT flags;
  bool windowVisible;  // whether the main window was showing while the box was up
};

// Message boxes recorded instead of shown.
class CapturedBoxes : public win32::MessageBoxes {
 public:
  void Show(HWND owner, const std::string& text, const std::string& caption, UINT flags) override;
  std::vector<CapturedBox> shown;
};

// Writes patches.ini beside the test program, captures every message box, and
// creates the real main window (shown, under Xvfb) on demand.
class WindowTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite();

  void SetUp() override;
  void TearDown() override;

  void WriteDefinitions(const std::string& text);
  // Creates the window; returns what Create returned.
  bool OpenWindow();
  HWND Control(win32::ControlId id) { return window->ControlWindow(id); }
  MainForm& Form() { return window->Form(); }
  void RunHandler(const std::function<void()>& handler) { window->RunHandler(handler); }

  Win32System system;
  CapturedBoxes captured;
  std::vector<CapturedBox>& boxes = captured.shown;
  int dpi = win32::SystemDpi();  // the layout's pixels per inch for OpenWindow
  std::unique_ptr<TestWindow> window;
  std::string iniPath;
};

std::string TextOf(HWND control);

}  // namespace quillfen::testing
