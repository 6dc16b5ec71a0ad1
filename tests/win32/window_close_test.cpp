// Closing the real window while a handler runs: the handler stops, nothing
// touches the destroyed controls, and the program ends through its message loop.

#include <windows.h>
// After <windows.h>, which the following headers need.
#include <commctrl.h>
#include <gtest/gtest.h>

#include <fstream>
#include <iterator>
#include <stdexcept>

#include "ui/win32/layout.h"
#include "win32/real_files.h"
#include "win32/window_fixture.h"

namespace quillfen::testing {
namespace {

using namespace quillfen::win32;

class WindowCloseTest : public WindowTest {
 protected:
  void SetUp() override {
    WindowTest::SetUp();
    // A copy the search would find, so that a search that went on would select
    // it in the tree and show "Found".
    folder = std::make_unique<ScratchFolder>("window close");
    folder->Write("Games\\Racer\\racer.exe", "x");
    ASSERT_TRUE(OpenWindow());
    window->QuitOnDestroy();
  }
  void TearDown() override {
    window.reset();
    folder.reset();
    WindowTest::TearDown();
  }
  std::unique_ptr<ScratchFolder> folder;
};

TEST_F(WindowCloseTest, CloseQueuedBehindFindItEndsTheProgramWithoutASearch) {
  const HWND main = window->Handle();
  // Typed ahead of the click: the search's one pass of pending messages takes it.
  PostMessageA(main, WM_CLOSE, 0, 0);
  SendMessageA(Control(kFindit), BM_CLICK, 0, 0);

  EXPECT_FALSE(IsWindow(main));
  EXPECT_EQ(window->Handle(), nullptr);
  EXPECT_TRUE(boxes.empty());  // neither "Found" nor "Unable to find"

  // The tree forgot its control: asking it anything is harmless.
  EXPECT_EQ(window->TreeSelectedPath(), "");
  EXPECT_FALSE(window->TreeHasSelection());
  window->TreeMakeSelectionVisible();
  window->TreeFocus();
  EXPECT_THROW(window->TreeSelectPath(folder->Path() + "Games"), std::runtime_error);

  // The quit waits for the program's message loop, which ends normally.
  MSG quit;
  ASSERT_TRUE(PeekMessageA(&quit, nullptr, WM_QUIT, WM_QUIT, PM_NOREMOVE));
  EXPECT_EQ(RunMessageLoop(*window), 0);
}

// A game file for the definitions below: the signature "AB", then the width
// and the height.
std::string SharedRecordGameFile(char width_low, char width_high) {
  return std::string("xxAB") + width_low + width_high + std::string("\0\0\xE0\x01\0\0yy", 8);
}

// A game and its expansion whose records share one name: the expansion's
// Patch keeps the game's record aside, with a box, and goes on with its
// entries. A close that box's loop lets through destroys the window, and the
// handler still runs to its end on the entries it started with.
TEST_F(WindowCloseTest, ACloseInsideAHandlersBoxLetsTheHandlerRunToItsEnd) {
  WriteDefinitions(
      "[apps]\r\nversion=1.03\r\na0=Racer\r\na1=Flyer\r\n"
      "[Racer]\r\nmodfile=racer.exe\r\nundofile=game.undo\r\nsig=4142\r\nxoffset=2\r\n"
      "yoffset=6\r\noccur=1\r\n"
      "[Flyer]\r\nmodfile=fly.dat\r\nundofile=game.undo\r\nsig=4142\r\nxoffset=2\r\n"
      "yoffset=6\r\noccur=1\r\n");
  const std::string game = folder->Path() + "Shared";
  folder->Write("Shared\\racer.exe", SharedRecordGameFile('\x80', '\x02'));  // 640 x 480
  // The expansion's values lie elsewhere, at 44 and 48: 800 x 600.
  const std::string fly =
      folder->Write("Shared\\fly.dat", std::string(40, 'z') + SharedRecordGameFile('\x20', '\x03'));
  const HWND list = Control(kGamecb);
  const auto pick = [&](int game_index) {
    SendMessageA(list, CB_SETCURSEL, game_index, 0);
    SendMessageA(GetParent(list), WM_COMMAND, MAKEWPARAM(kGamecb, CBN_SELCHANGE),
                 reinterpret_cast<LPARAM>(list));
  };
  const auto patch = [&] {
    SetWindowTextA(Control(kWidthedit), "1280");
    SetWindowTextA(Control(kHeightedit), "720");
    SendMessageA(Control(kPatchbutton), BM_CLICK, 0, 0);
  };
  pick(0);
  window->TreeSelectPath(game);
  patch();
  ASSERT_EQ(boxes.size(), 1u);
  ASSERT_EQ(boxes[0].text, "Game successfully patched!");
  pick(1);
  ASSERT_EQ(TextOf(Control(kWidthedit)), "800");

  captured.whileShown = [&](const CapturedBox&) {
    captured.whileShown = nullptr;
    // As a message box's own loop dispatches a close queued while it is up.
    SendMessageA(window->Handle(), WM_CLOSE, 0, 0);
    // No control left: the window holds no handle a call could reach.
    EXPECT_EQ(Control(kPatchbutton), nullptr);
    window->SetEnabled(Control::patchbutton, true);
  };
  patch();
  EXPECT_EQ(window->Handle(), nullptr);
  // The press went on with its entries to its end: no error, the file patched.
  ASSERT_EQ(boxes.size(), 3u);
  EXPECT_NE(boxes[1].text.find("kept as"), std::string::npos) << boxes[1].text;
  EXPECT_EQ(boxes[2].text, "Game successfully patched!");
  for (const CapturedBox& box : boxes) EXPECT_EQ(box.flags, static_cast<UINT>(MB_OK)) << box.text;
  std::ifstream in(fly, std::ios::binary);
  const std::string patched((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  EXPECT_EQ(patched.substr(44, 8), std::string("\x00\x05\x00\x00\xD0\x02\x00\x00", 8));
}

}  // namespace
}  // namespace quillfen::testing
