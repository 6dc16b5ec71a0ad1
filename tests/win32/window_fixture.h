#pragma once

#include <gtest/gtest.h>
#include <windows.h>

#include <functional>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "platform/win32/win32_system.h"
#include "ui/win32/dpi.h"
#include "ui/win32/main_window.h"

namespace quillfen::testing {

// What the window's tests reach inside the window, the folder tree and the
// layout's DPI, which the program itself keeps to itself.
class WindowAccess {
 public:
  static MainForm& Form(win32::MainWindow& window) { return window.form_; }
  // Runs a handler as an event would: through the general error report.
  static void RunHandler(win32::MainWindow& window, const std::function<void()>& handler) {
    window.RunHandler(handler);
  }
  // A function run before every selection-changed handler of the folder tree.
  static void BeforeTreeChange(win32::MainWindow& window, std::function<void()> hook) {
    window.beforeTreeChange_ = std::move(hook);
  }
  // The selection changes of the folder tree the window has seen.
  static int TreeChangeCount(const win32::MainWindow& window) { return window.treeChanges_; }
  // Asked before each node of the folder tree is inserted; true makes the insertion fail.
  static void FailTreeInserts(win32::MainWindow& window, std::function<bool()> fails) {
    window.tree_.insertFails_ = std::move(fails);
  }
  // Lays out windows created from now on at this DPI; 0 goes back to the system's.
  static void SetDpi(int dpi) { win32::DpiOverride::dpi_ = dpi; }
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
  MainForm& Form() { return WindowAccess::Form(*window); }
  void RunHandler(const std::function<void()>& handler) {
    WindowAccess::RunHandler(*window, handler);
  }

  Win32System system;
  std::unique_ptr<win32::MainWindow> window;
  std::vector<CapturedBox> boxes;
  std::string iniPath;
};

std::string TextOf(HWND control);

}  // namespace quillfen::testing
