#include <windows.h>
// After <windows.h>, which the following headers need.
#include <commctrl.h>
#include <gtest/gtest.h>

#include "definitions/game_loading.h"
#include "ui/win32/layout.h"
#include "win32/window_fixture.h"

namespace quillfen::testing {
namespace {

using namespace quillfen::win32;

std::vector<std::string> GameList(HWND list) {
  std::vector<std::string> names;
  const auto count = SendMessageA(list, CB_GETCOUNT, 0, 0);
  for (LRESULT i = 0; i < count; ++i) {
    char name[256] = {};
    SendMessageA(list, CB_GETLBTEXT, i, reinterpret_cast<LPARAM>(name));
    names.push_back(name);
  }
  return names;
}

std::string Picked(HWND list) {
  const auto index = SendMessageA(list, CB_GETCURSEL, 0, 0);
  if (index == CB_ERR) return "(none)";
  char name[256] = {};
  SendMessageA(list, CB_GETLBTEXT, index, reinterpret_cast<LPARAM>(name));
  return name;
}

TEST_F(WindowTest, StartsWithTheFirstGameAndNothingToPatch) {
  ASSERT_TRUE(OpenWindow());
  EXPECT_TRUE(IsWindowVisible(window->Handle()));
  EXPECT_TRUE(boxes.empty());
  EXPECT_EQ(GameList(Control(kGamecb)), (std::vector<std::string>{"Racer", "Flyer"}));
  EXPECT_EQ(Picked(Control(kGamecb)), "Racer");
  EXPECT_EQ(TextOf(Control(kDetailssl)), "Line one\r\nLine two");
  for (ControlId id : {kWidthedit, kHeightedit}) {
    EXPECT_FALSE(IsWindowEnabled(Control(id)));
    EXPECT_EQ(TextOf(Control(id)), "");
  }
  EXPECT_FALSE(IsWindowEnabled(Control(kPatchbutton)));
  EXPECT_FALSE(IsWindowEnabled(Control(kUndobutton)));
  EXPECT_TRUE(IsWindowEnabled(Control(kFindit)));
  EXPECT_EQ(TextOf(Control(kFindit)), "Find it for me...");
  EXPECT_FALSE(IsWindowVisible(Control(kSearchpanel)));

  // My Computer is selected, and nothing since: its display name, with no colon.
  const std::string root = window->TreeSelectedPath();
  EXPECT_FALSE(root.empty());
  EXPECT_EQ(root.find(':'), std::string::npos) << root;
  EXPECT_NE(root.rfind("::{", 0), 0u) << root;
  const HWND tree = Control(kGamedirlv);
  const auto top = reinterpret_cast<HTREEITEM>(SendMessageA(tree, TVM_GETNEXTITEM, TVGN_ROOT, 0));
  EXPECT_EQ(SendMessageA(tree, TVM_GETNEXTITEM, TVGN_CARET, 0), reinterpret_cast<LRESULT>(top));
  EXPECT_TRUE(SendMessageA(tree, TVM_GETITEMSTATE, reinterpret_cast<WPARAM>(top), TVIS_EXPANDED) &
              TVIS_EXPANDED);
}

TEST_F(WindowTest, PickingAGameThroughTheListLoadsIt) {
  ASSERT_TRUE(OpenWindow());
  const HWND list = Control(kGamecb);
  SendMessageA(list, CB_SETCURSEL, 1, 0);
  // The notification as the list sends it: to its group box, which passes it on.
  SendMessageA(GetParent(list), WM_COMMAND, MAKEWPARAM(kGamecb, CBN_SELCHANGE),
               reinterpret_cast<LPARAM>(list));
  EXPECT_EQ(TextOf(Control(kDetailssl)), "Wings");
  // Flyer has no patches, so Find it for me has nothing to search for.
  SendMessageA(Control(kFindit), BM_CLICK, 0, 0);
  EXPECT_EQ(TextOf(Control(kFindit)), "Find it for me...");
  EXPECT_TRUE(boxes.empty());
}

TEST_F(WindowTest, EmptyGameListOpensWithNothingPicked) {
  WriteDefinitions("[apps]\r\nversion=1.03\r\n");
  ASSERT_TRUE(OpenWindow());
  EXPECT_TRUE(GameList(Control(kGamecb)).empty());
  EXPECT_EQ(Picked(Control(kGamecb)), "(none)");
  EXPECT_EQ(TextOf(Control(kDetailssl)), "");
  EXPECT_FALSE(IsWindowEnabled(Control(kPatchbutton)));
  EXPECT_FALSE(IsWindowEnabled(Control(kWidthedit)));
  EXPECT_TRUE(boxes.empty());
}

TEST_F(WindowTest, DefinitionsOfAnotherVersionEndTheProgramBeforeTheWindowShows) {
  for (const char* file : {"[apps]\r\nversion=1.02\r\na0=Racer\r\n", ""}) {
    boxes.clear();
    if (*file) {
      WriteDefinitions(file);
    } else {
      DeleteFileA(iniPath.c_str());  // no definition file at all
    }
    EXPECT_FALSE(OpenWindow());
    ASSERT_EQ(boxes.size(), 1u);
    EXPECT_EQ(boxes[0].text, kVersionMessage);
    EXPECT_EQ(boxes[0].caption, "Quillfen");
    EXPECT_EQ(boxes[0].flags, static_cast<UINT>(MB_OK));
    EXPECT_FALSE(boxes[0].windowVisible);
    EXPECT_EQ(window->Handle(), nullptr);
    EXPECT_EQ(FindWindowA("Tmainform", nullptr), nullptr);
    window.reset();
  }
}

}  // namespace
}  // namespace quillfen::testing
