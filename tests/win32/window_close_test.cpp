// Closing the real window while a handler runs: the handler stops, nothing
// touches the destroyed controls, and the program ends through its message loop.

#include <windows.h>
// After <windows.h>, which the following headers need.
#include <commctrl.h>
#include <gtest/gtest.h>

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
  EXPECT_TRUE(Form().State().foundFiles.empty());
  EXPECT_TRUE(Form().State().patchList.Empty());  // FormDestroy ran

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

TEST_F(WindowCloseTest, ACloseInsideAHandlerReleasesTheListsWhenTheHandlerEnds) {
  const PatchList& list = Form().State().patchList;
  ASSERT_EQ(list.Count(), 1u);
  std::size_t during = 0;
  RunHandler([&] {
    // As a message box's own loop dispatches a close queued while it is up.
    SendMessageA(window->Handle(), WM_CLOSE, 0, 0);
    during = list.Count();
    // No control left: the window holds no handle a call could reach.
    EXPECT_EQ(Control(kPatchbutton), nullptr);
    window->SetEnabled(Control::patchbutton, true);
  });
  EXPECT_EQ(window->Handle(), nullptr);
  EXPECT_EQ(during, 1u);  // the handler could still walk its entries
  EXPECT_TRUE(list.Empty());
  EXPECT_TRUE(boxes.empty());
}

}  // namespace
}  // namespace quillfen::testing
