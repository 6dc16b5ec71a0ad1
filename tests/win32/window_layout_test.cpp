#include <windows.h>
// After <windows.h>, which the following headers need.
#include <commctrl.h>
#include <gtest/gtest.h>

#include "platform/win32/win32_owners.h"
#include "ui/forum.h"
#include "ui/win32/dpi.h"
#include "ui/win32/layout.h"
#include "ui/win32/message_boxes.h"
#include "win32/window_fixture.h"

namespace quillfen::testing {
namespace {

using namespace quillfen::win32;

void DeleteMemoryDc(HDC dc) noexcept { DeleteDC(dc); }
// A device context of CreateCompatibleDC.
using UniqueDc = UniqueAny<HDC, &DeleteMemoryDc>;

// Runs a function when the scope it stands in ends, however it ends.
template <typename Function>
class [[nodiscard]] ScopeExit {
 public:
  explicit ScopeExit(Function function) : function_(std::move(function)) {}
  ScopeExit(const ScopeExit&) = delete;
  ScopeExit& operator=(const ScopeExit&) = delete;
  ~ScopeExit() { function_(); }

 private:
  Function function_;
};

// The control table at 96 dpi, written out again here so that a slip in the
// window's own table shows up.
struct Expected {
  ControlId id;
  ControlId parent;
  const char* caption;           // nullptr: not compared (edit boxes, list, tree)
  int left, top, width, height;  // width kOfText: the width of the caption in its font
  bool enabled, visible;
};

constexpr int kOfText = -1;

const Expected kTable[] = {
    {kLabel5, kNoParent, kForumHost, 147, 312, kOfText, 13, true, true},
    {kGroupBox1, kNoParent, "Game Installation Folder", 7, 55, 319, 178, true, true},
    {kGamedirlv, kGroupBox1, nullptr, 8, 17, 303, 126, true, true},
    {kFindit, kGroupBox1, "Find it for me...", 88, 147, 143, 25, true, true},
    {kSearchpanel, kGroupBox1, "", 7, 17, 304, 126, true, false},
    {kLabel3, kSearchpanel, "Searching...", 11, 37, 83, 16, true, true},
    {kSearchlabel, kSearchpanel, "", 11, 57, 283, 29, true, true},
    {kPatchbutton, kNoParent, "Patch", 574, 300, 75, 25, false, true},
    {kUndobutton, kNoParent, "Undo Patch", 492, 300, 75, 25, false, true},
    {kGroupBox3, kNoParent, "New Resolution", 8, 235, 318, 55, true, true},
    {kLabel1, kGroupBox3, "Screen Width:", 10, 26, 90, 14, true, true},
    {kLabel2, kGroupBox3, "Height:", 156, 24, 59, 13, true, true},
    {kWidthedit, kGroupBox3, "", 107, 21, 64, 21, false, true},
    {kHeightedit, kGroupBox3, "", 220, 21, 64, 21, false, true},
    {kGroupBox2, kNoParent, "Important Details", 332, 55, 318, 235, true, true},
    {kDetailssl, kGroupBox2, nullptr, 8, 15, 301, 211, true, true},
    {kGroupBox4, kNoParent, "Game", 7, 4, 643, 47, true, true},
    {kGamecb, kGroupBox4, nullptr, 8, 17, 626, 21, true, true},
};

RECT InParent(HWND control) {
  RECT r;
  GetWindowRect(control, &r);
  MapWindowPoints(nullptr, GetParent(control), reinterpret_cast<POINT*>(&r), 2);
  return r;
}

// The point `x`, `y` from the top left corner of `control`, in its parent's client area.
POINT InParentAt(HWND control, int x, int y) {
  const RECT r = InParent(control);
  return POINT{r.left + x, r.top + y};
}

// The width of a control's caption drawn in its font.
int TextWidth(HWND control) {
  const WindowDc dc(control);
  const SelectedObject font(dc.Get(),
                            reinterpret_cast<HFONT>(SendMessageA(control, WM_GETFONT, 0, 0)));
  const std::string text = TextOf(control);
  SIZE extent = {};
  GetTextExtentPoint32A(dc.Get(), text.c_str(), static_cast<int>(text.size()), &extent);
  return extent.cx;
}

LOGFONTA FontOf(HWND control) {
  LOGFONTA font = {};
  const auto handle = reinterpret_cast<HFONT>(SendMessageA(control, WM_GETFONT, 0, 0));
  GetObjectA(handle, sizeof font, &font);
  return font;
}

TEST_F(WindowTest, FrameIsFixedCentredAndOfTheLayoutSize) {
  ASSERT_TRUE(OpenWindow());
  const HWND main = window->Handle();
  RECT client;
  GetClientRect(main, &client);
  EXPECT_EQ(client.right, 656);
  EXPECT_EQ(client.bottom, 332);

  const LONG style = GetWindowLongA(main, GWL_STYLE);
  EXPECT_TRUE(style & WS_SYSMENU);
  EXPECT_TRUE(style & WS_MINIMIZEBOX);
  EXPECT_FALSE(style & WS_MAXIMIZEBOX);
  EXPECT_FALSE(style & WS_THICKFRAME);
  EXPECT_FALSE(GetWindowLongA(main, GWL_EXSTYLE) & WS_EX_CONTEXTHELP);
  EXPECT_EQ(TextOf(main), "Quillfen 1.03 by Tesk");
  char type[64] = {};
  GetClassNameA(main, type, sizeof type);
  EXPECT_STREQ(type, "Tmainform");

  RECT frame;
  GetWindowRect(main, &frame);
  EXPECT_NEAR((frame.left + frame.right) / 2, GetSystemMetrics(SM_CXSCREEN) / 2, 1);
  EXPECT_NEAR((frame.top + frame.bottom) / 2, GetSystemMetrics(SM_CYSCREEN) / 2, 1);
}

TEST_F(WindowTest, EveryControlStandsAsTheTableSays) {
  ASSERT_TRUE(OpenWindow());
  for (const Expected& e : kTable) {
    const HWND control = Control(e.id);
    ASSERT_NE(control, nullptr) << e.id;
    const HWND parent = e.parent == kNoParent ? window->Handle() : Control(e.parent);
    EXPECT_EQ(GetParent(control), parent) << e.id;
    const RECT r = InParent(control);
    EXPECT_EQ(r.left, e.left) << e.id;
    EXPECT_EQ(r.top, e.top) << e.id;
    if (e.width != kOfText) {
      EXPECT_EQ(r.right - r.left, e.width) << e.id;
    }
    EXPECT_EQ(r.bottom - r.top, e.height) << e.id;
    if (e.caption) {
      EXPECT_EQ(TextOf(control), e.caption) << e.id;
    }
    EXPECT_EQ(IsWindowEnabled(control) != 0, e.enabled) << e.id;
    EXPECT_EQ((GetWindowLongA(control, GWL_STYLE) & WS_VISIBLE) != 0, e.visible) << e.id;
  }
  // Label4 sits right above the link, so the two read as one sentence.
  const RECT lead = InParent(Control(kLabel4));
  const RECT link = InParent(Control(kLabel5));
  EXPECT_EQ(lead.left, link.left);
  EXPECT_LE(lead.bottom, link.top);
  EXPECT_GE(lead.bottom, link.top - 3);
  EXPECT_EQ(TextOf(Control(kLabel4)), "Questions, or a game to add? Visit the forum:");

  // Right-aligned labels, a drop-down list that cannot be typed into, a memo
  // that wraps, and the search panel above the tree it covers.
  EXPECT_TRUE(GetWindowLongA(Control(kLabel1), GWL_STYLE) & SS_RIGHT);
  EXPECT_TRUE(GetWindowLongA(Control(kLabel2), GWL_STYLE) & SS_RIGHT);
  EXPECT_EQ(GetWindowLongA(Control(kGamecb), GWL_STYLE) & 3, CBS_DROPDOWNLIST);
  const LONG memo = GetWindowLongA(Control(kDetailssl), GWL_STYLE);
  EXPECT_TRUE(memo & ES_MULTILINE);
  EXPECT_TRUE(memo & WS_VSCROLL);
  EXPECT_FALSE(memo & (ES_AUTOHSCROLL | ES_READONLY));
  EXPECT_EQ(GetWindow(Control(kGroupBox1), GW_CHILD), Control(kSearchpanel));
  // The tree: indentation 19, selection kept visible, no lines or buttons at the root.
  const HWND tree = Control(kGamedirlv);
  EXPECT_EQ(SendMessageA(tree, TVM_GETINDENT, 0, 0), 19);
  const LONG treeStyle = GetWindowLongA(tree, GWL_STYLE);
  EXPECT_TRUE(treeStyle & TVS_SHOWSELALWAYS);
  EXPECT_FALSE(treeStyle & TVS_LINESATROOT);
}

TEST_F(WindowTest, LaterSiblingsLieAboveEarlierOnesWhereTheyOverlap) {
  ASSERT_TRUE(OpenWindow());
  // Height: and the width box share a strip; the box's right border must show.
  const HWND width = Control(kWidthedit);
  const RECT box = InParent(width);
  const POINT border = InParentAt(width, box.right - box.left - 1, (box.bottom - box.top) / 2);
  RECT label = InParent(Control(kLabel2));
  ASSERT_TRUE(PtInRect(&label, border));
  EXPECT_EQ(ChildWindowFromPointEx(Control(kGroupBox3), border, CWP_ALL), width);

  // Every overlap of the table: the later sibling stands above in the stack.
  for (std::size_t later = 0; later < std::size(kTable); ++later) {
    for (std::size_t earlier = 0; earlier < later; ++earlier) {
      const HWND top = Control(kTable[later].id), bottom = Control(kTable[earlier].id);
      const RECT a = InParent(top), b = InParent(bottom);
      RECT common;
      if (GetParent(top) != GetParent(bottom) || !IntersectRect(&common, &a, &b)) continue;
      HWND above = bottom;
      while (above && above != top) above = GetWindow(above, GW_HWNDPREV);
      EXPECT_EQ(above, top) << kTable[later].id << " over " << kTable[earlier].id;
    }
  }
}

TEST_F(WindowTest, TheLinkEndsWhereItsTextEnds) {
  ASSERT_TRUE(OpenWindow());
  const HWND link = Control(kLabel5);
  const RECT r = InParent(link);
  const int text = TextWidth(link);
  EXPECT_GE(r.right - r.left, text);
  EXPECT_LE(r.right - r.left, text + 2);
  // The pointer turns into a hand over the text, and not past its end.
  const POINT onText = InParentAt(link, text - 2, 6);
  const POINT pastText = InParentAt(link, text + 4, 6);
  EXPECT_EQ(ChildWindowFromPointEx(window->Handle(), onText, CWP_SKIPINVISIBLE), link);
  EXPECT_NE(ChildWindowFromPointEx(window->Handle(), pastText, CWP_SKIPINVISIBLE), link);
  const LPARAM hit = MAKELPARAM(HTCLIENT, WM_MOUSEMOVE);
  EXPECT_TRUE(SendMessageA(window->Handle(), WM_SETCURSOR, reinterpret_cast<WPARAM>(link), hit));
  EXPECT_EQ(GetCursor(), LoadCursorA(nullptr, IDC_HAND));
  SendMessageA(window->Handle(), WM_SETCURSOR, reinterpret_cast<WPARAM>(Control(kLabel4)), hit);
  EXPECT_EQ(GetCursor(), LoadCursorA(nullptr, IDC_ARROW));
}

TEST_F(WindowTest, TabOrderFollowsTheTable) {
  ASSERT_TRUE(OpenWindow());
  const ControlId order[] = {kGamedirlv, kFindit,     kPatchbutton, kUndobutton,
                             kWidthedit, kHeightedit, kDetailssl,   kGamecb};
  // Disabled controls are skipped by the dialog keyboard; enable them to see the order.
  for (ControlId id : order) EnableWindow(Control(id), TRUE);
  HWND at = Control(order[0]);
  for (std::size_t i = 1; i < std::size(order); ++i) {
    at = GetNextDlgTabItem(window->Handle(), at, FALSE);
    EXPECT_EQ(at, Control(order[i])) << "tab stop " << i;
  }
  EXPECT_EQ(GetNextDlgTabItem(window->Handle(), at, FALSE), Control(order[0]));
}

// Presses Tab (Shift+Tab when `back`) on the focused control as the message
// loop delivers it: through the dialog keyboard, then to the control, with
// the character it makes.
void PressTab(HWND main, bool back) {
  BYTE keys[256] = {};
  GetKeyboardState(keys);
  const BYTE shift = keys[VK_SHIFT];
  keys[VK_SHIFT] = back ? 0x80 : 0;
  SetKeyboardState(keys);
  const ScopeExit release([&] {
    keys[VK_SHIFT] = shift;
    SetKeyboardState(keys);
  });
  MSG key = {GetFocus(), WM_KEYDOWN, VK_TAB, 0x000F0001, 0, {}};
  for (MSG* message = &key; message;) {
    DeliverMessage(main, *message);
    message = PeekMessageW(&key, nullptr, WM_KEYFIRST, WM_KEYLAST, PM_REMOVE) ? &key : nullptr;
  }
}

TEST_F(WindowTest, TabLeavesTheDetailsMemoForTheGameListAndShiftTabComesBack) {
  ASSERT_TRUE(OpenWindow());
  const HWND memo = Control(kDetailssl);
  const std::string details = TextOf(memo);
  SetFocus(memo);
  PressTab(window->Handle(), false);
  EXPECT_EQ(GetFocus(), Control(kGamecb));
  PressTab(window->Handle(), true);
  EXPECT_EQ(GetFocus(), memo);
  // Back from the memo to the stop before it, whose text is selected.
  EnableWindow(Control(kHeightedit), TRUE);
  SetWindowTextA(Control(kHeightedit), "768");
  PressTab(window->Handle(), true);
  EXPECT_EQ(GetFocus(), Control(kHeightedit));
  DWORD from = 0, to = 0;
  SendMessageA(Control(kHeightedit), EM_GETSEL, reinterpret_cast<WPARAM>(&from),
               reinterpret_cast<LPARAM>(&to));
  EXPECT_EQ(from, 0u);
  EXPECT_EQ(to, 3u);
  EXPECT_EQ(TextOf(memo), details);  // no tab character typed into it
}

TEST_F(WindowTest, FontsAndTheLinkLook) {
  ASSERT_TRUE(OpenWindow());
  for (ControlId id : {kFindit, kPatchbutton, kLabel1, kWidthedit, kGamecb, kGroupBox1, kDetailssl,
                       kSearchlabel, kLabel4}) {
    const LOGFONTA font = FontOf(Control(id));
    EXPECT_STREQ(font.lfFaceName, "MS Sans Serif") << id;
    EXPECT_EQ(font.lfHeight, -11) << id;
    EXPECT_EQ(font.lfWeight, FW_NORMAL) << id;
    EXPECT_FALSE(font.lfUnderline) << id;
  }
  EXPECT_EQ(FontOf(Control(kLabel3)).lfHeight, -13);
  EXPECT_EQ(FontOf(Control(kLabel3)).lfWeight, FW_BOLD);
  EXPECT_EQ(FontOf(Control(kGroupBox2)).lfWeight, FW_BOLD);
  const LOGFONTA link = FontOf(Control(kLabel5));
  EXPECT_EQ(link.lfWeight, FW_BOLD);
  EXPECT_TRUE(link.lfUnderline);

  // The link is drawn in navy, other labels in the window-text colour.
  const UniqueDc dc(CreateCompatibleDC(nullptr));
  SendMessageA(window->Handle(), WM_CTLCOLORSTATIC, reinterpret_cast<WPARAM>(dc.Get()),
               reinterpret_cast<LPARAM>(Control(kLabel5)));
  EXPECT_EQ(GetTextColor(dc.Get()), RGB(0, 0, 128));
  EXPECT_TRUE(GetWindowLongA(Control(kLabel5), GWL_STYLE) & SS_NOTIFY);
  EXPECT_EQ(reinterpret_cast<HBRUSH>(GetClassLongPtrA(window->Handle(), GCLP_HBRBACKGROUND)),
            reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1));
}

TEST_F(WindowTest, LayoutScalesWithTheSystemDpi) {
  dpi = 144;
  ASSERT_TRUE(OpenWindow());
  RECT client;
  GetClientRect(window->Handle(), &client);
  EXPECT_EQ(client.right, 984);
  EXPECT_EQ(client.bottom, 498);
  const RECT patch = InParent(Control(kPatchbutton));
  EXPECT_EQ(patch.left, 861);
  EXPECT_EQ(patch.top, 450);
  EXPECT_EQ(patch.right, 974);                        // (574 + 75) * 1.5, rounded
  EXPECT_EQ(FontOf(Control(kFindit)).lfHeight, -17);  // 11 * 1.5, rounded
  EXPECT_EQ(SendMessageA(Control(kGamedirlv), TVM_GETINDENT, 0, 0), 29);
}

// The one box the thread shows next: where it stood, then closed with OK.
RECT shownBox = {};
void CALLBACK CloseTheBox(HWND, UINT, UINT_PTR timer, DWORD) {
  const HWND box = GetActiveWindow();
  char type[16] = {};
  GetClassNameA(box, type, sizeof type);
  if (std::string(type) != "#32770") return;
  KillTimer(nullptr, timer);
  GetWindowRect(box, &shownBox);
  PostMessageA(box, WM_COMMAND, IDOK, 0);
}

TEST_F(WindowTest, MessageBoxesShareTheWindowsCentreOnTheScreen) {
  ASSERT_TRUE(OpenWindow());
  // A work area whose centre is not the screen's, as with a taskbar on top.
  RECT workArea;
  ASSERT_TRUE(SystemParametersInfoA(SPI_GETWORKAREA, 0, &workArea, 0));
  RECT taskbarOnTop = {0, 200, GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN)};
  ASSERT_TRUE(SystemParametersInfoA(SPI_SETWORKAREA, 0, &taskbarOnTop, 0));
  const ScopeExit restore([&] { SystemParametersInfoA(SPI_SETWORKAREA, 0, &workArea, 0); });

  SystemMessageBoxes real;
  shownBox = {};
  const UINT_PTR timer = SetTimer(nullptr, 0, 50, &CloseTheBox);
  ShowMessageBox(real, window->Handle(), "Game successfully patched!", 0);
  KillTimer(nullptr, timer);
  ASSERT_GT(shownBox.right, shownBox.left);
  RECT frame;
  GetWindowRect(window->Handle(), &frame);
  EXPECT_NEAR((shownBox.left + shownBox.right) / 2, (frame.left + frame.right) / 2, 1);
  EXPECT_NEAR((shownBox.top + shownBox.bottom) / 2, (frame.top + frame.bottom) / 2, 1);
}

}  // namespace
}  // namespace quillfen::testing
