#pragma once

#include <gtest/gtest.h>
#include <windows.h>

#include <memory>
#include <string>
#include <vector>

#include "platform/win32/win32_system.h"
#include "ui/win32/main_window.h"

namespace quillfen::testing {

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

  Win32System system;
  std::unique_ptr<win32::MainWindow> window;
  std::vector<CapturedBox> boxes;
  std::string iniPath;
};

std::string TextOf(HWND control);

}  // namespace quillfen::testing
