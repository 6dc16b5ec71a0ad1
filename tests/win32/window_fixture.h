#pragma once

#include <gtest/gtest.h>
#include <windows.h>

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "platform/win32/win32_system.h"
#include "ui/win32/dpi.h"
#include "ui/win32/error_report.h"
#include "ui/win32/main_window.h"

namespace quillfen::testing {

// A definition file with two games; the first has one patch, whose values
// follow the bytes "AB" (kRacerFile).
inline const char* const kTwoGames =
    "[apps]\r\nversion=1.03\r\na0=Racer\r\na1=Flyer\r\n"
    "[Racer]\r\ndetails=Line one\\013\\010Line two\r\ncheckfile=racer.exe\r\n"
    "modfile=racer.exe\r\nsig=4142\r\nxoffset=2\r\nyoffset=6\r\noccur=1\r\n"
    "[Flyer]\r\ndetails=Wings\r\ncheckfile=fly.exe\r\n";

// A file of the game Racer whose width and height are 800 and 600.
inline const std::string kRacerFile("xxAB\x20\x03\0\0\x58\x02\0\0yy", 14);

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
  // Runs while a box is up, after it is recorded, as the messages a real
  // box's own loop dispatches would.
  std::function<void(const CapturedBox&)> whileShown;
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
  // Runs a function as the window runs an event's handler: an error ends it
  // and shows in the general error report.
  void RunHandler(const std::function<void()>& handler) {
    win32::RunHandler(captured, window->Handle(), handler);
  }

  Win32System system;
  CapturedBoxes captured;
  std::vector<CapturedBox>& boxes = captured.shown;
  int dpi = win32::SystemDpi();  // the layout's pixels per inch for OpenWindow
  std::unique_ptr<win32::MainWindow> window;
  std::string iniPath;
};

std::string TextOf(HWND control);

}  // namespace quillfen::testing
