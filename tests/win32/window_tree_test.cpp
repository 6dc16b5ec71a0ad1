#include <windows.h>
// After <windows.h>, which the following headers need.
#include <commctrl.h>
#include <gtest/gtest.h>

#include <functional>
#include <stdexcept>
#include <utility>

#include "platform/win32/win32_owners.h"
#include "ui/win32/layout.h"
#include "win32/real_files.h"
#include "win32/window_fixture.h"

namespace quillfen::testing {
namespace {

using namespace quillfen::win32;

// Counts the task allocator's blocks allocated while it is registered and not
// freed since: the shell's item identifier lists among them.
class LiveAllocations final : public IMallocSpy {
 public:
  long live = 0;

  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** out) override {
    *out = iid == IID_IUnknown || iid == IID_IMallocSpy ? this : nullptr;
    return *out ? S_OK : E_NOINTERFACE;
  }
  ULONG STDMETHODCALLTYPE AddRef() override { return 2; }
  ULONG STDMETHODCALLTYPE Release() override { return 1; }
  SIZE_T STDMETHODCALLTYPE PreAlloc(SIZE_T size) override { return size; }
  void* STDMETHODCALLTYPE PostAlloc(void* actual) override {
    if (actual) ++live;
    return actual;
  }
  void* STDMETHODCALLTYPE PreFree(void* request, BOOL spied) override {
    if (request && spied) --live;
    return request;
  }
  void STDMETHODCALLTYPE PostFree(BOOL) override {}
  SIZE_T STDMETHODCALLTYPE PreRealloc(void* request, SIZE_T size, void** newRequest,
                                      BOOL) override {
    *newRequest = request;
    return size;
  }
  void* STDMETHODCALLTYPE PostRealloc(void* actual, BOOL) override { return actual; }
  void* STDMETHODCALLTYPE PreGetSize(void* request, BOOL) override { return request; }
  SIZE_T STDMETHODCALLTYPE PostGetSize(SIZE_T actual, BOOL) override { return actual; }
  void* STDMETHODCALLTYPE PreDidAlloc(void* request, BOOL) override { return request; }
  int STDMETHODCALLTYPE PostDidAlloc(void*, BOOL, int actual) override { return actual; }
  void STDMETHODCALLTYPE PreHeapMinimize() override {}
  void STDMETHODCALLTYPE PostHeapMinimize() override {}
};

// Makes a tree control refuse the insertions `refuse` picks, as the control
// does when it runs out of memory, until Stop or the end of the scope.
class RefusedInserts {
 public:
  RefusedInserts(HWND tree, std::function<bool()> refuse)
      : tree_(tree), refuse_(std::move(refuse)) {
    SetWindowSubclass(tree_, &Proc, kId, reinterpret_cast<DWORD_PTR>(this));
  }
  ~RefusedInserts() { Stop(); }
  RefusedInserts(const RefusedInserts&) = delete;
  RefusedInserts& operator=(const RefusedInserts&) = delete;
  void Stop() {
    if (tree_) RemoveWindowSubclass(std::exchange(tree_, nullptr), &Proc, kId);
  }

 private:
  static constexpr UINT_PTR kId = 1;
  static LRESULT CALLBACK Proc(HWND tree, UINT message, WPARAM wParam, LPARAM lParam, UINT_PTR,
                               DWORD_PTR self) {
    if (message == TVM_INSERTITEMW && reinterpret_cast<RefusedInserts*>(self)->refuse_()) return 0;
    return DefSubclassProc(tree, message, wParam, lParam);
  }
  HWND tree_;
  std::function<bool()> refuse_;
};

class WindowTreeTest : public WindowTest {
 protected:
  void SetUp() override {
    WindowTest::SetUp();
    folder = std::make_unique<ScratchFolder>("window tree");
    folder->Write("Games\\Racer\\readme.txt", "x");
    CreateDirectoryA((folder->Path() + "Games\\Empty").c_str(), nullptr);
    ASSERT_TRUE(OpenWindow());
  }
  void TearDown() override {
    window.reset();
    folder.reset();
    WindowTest::TearDown();
  }
  std::unique_ptr<ScratchFolder> folder;
};

TEST_F(WindowTreeTest, ReadPathGivesWhatTheShellParses) {
  window->TreeSelectPath("Q:\\");
  EXPECT_EQ(window->TreeSelectedPath(), "Q:\\");
  const std::string racer = folder->Path() + "Games\\Racer";
  window->TreeSelectPath(racer);
  EXPECT_EQ(window->TreeSelectedPath(), racer);
  // A trailing backslash is allowed and names the same folder.
  window->TreeSelectPath(folder->Path() + "Games\\Empty\\");
  EXPECT_EQ(window->TreeSelectedPath(), folder->Path() + "Games\\Empty");
  EXPECT_TRUE(window->TreeHasSelection());

  // The ancestors were created and expanded on the way down.
  const HWND tree = Control(kGamedirlv);
  const auto selected =
      reinterpret_cast<HTREEITEM>(SendMessageA(tree, TVM_GETNEXTITEM, TVGN_CARET, 0));
  const auto parent = reinterpret_cast<HTREEITEM>(
      SendMessageA(tree, TVM_GETNEXTITEM, TVGN_PARENT, reinterpret_cast<LPARAM>(selected)));
  EXPECT_TRUE(
      SendMessageA(tree, TVM_GETITEMSTATE, reinterpret_cast<WPARAM>(parent), TVIS_EXPANDED) &
      TVIS_EXPANDED);
  window->TreeMakeSelectionVisible();
  RECT item;
  EXPECT_TRUE(TreeView_GetItemRect(tree, selected, &item, TRUE));  // false when scrolled away
  window->TreeFocus();
  EXPECT_EQ(GetFocus(), tree);
}

TEST_F(WindowTreeTest, ContainersAskForWideNotifications) {
  // The tree asked its group box at creation; every container answers the same.
  const HWND tree = Control(kGamedirlv);
  EXPECT_TRUE(SendMessageW(tree, TVM_GETUNICODEFORMAT, 0, 0));
  for (ControlId container : {kGroupBox1, kGroupBox2, kGroupBox3, kGroupBox4, kSearchpanel}) {
    EXPECT_EQ(
        SendMessageW(Control(container), WM_NOTIFYFORMAT, reinterpret_cast<WPARAM>(tree), NF_QUERY),
        NFR_UNICODE)
        << container;
  }
}

// The folder handler runs on each selection change before select-by-path
// returns: it locates Racer's file in the folder selected, or clears the edit
// boxes where the game is not located. A box whose text it did not clear
// shows that it did not run.
TEST_F(WindowTreeTest, SelectionChangeArrivesBeforeSelectByPathReturns) {
  const std::string racer = folder->Path() + "Games\\Racer";
  folder->Write("Games\\Racer\\racer.exe", kRacerFile);
  window->TreeSelectPath(racer);
  EXPECT_EQ(TextOf(Control(kWidthedit)), "800");
  EXPECT_EQ(TextOf(Control(kHeightedit)), "600");
  EXPECT_TRUE(IsWindowEnabled(Control(kPatchbutton)));

  // Selecting the selected folder again changes nothing.
  SetWindowTextA(Control(kWidthedit), "typed");
  window->TreeSelectPath(racer + "\\");
  EXPECT_EQ(TextOf(Control(kWidthedit)), "typed");
  EXPECT_TRUE(boxes.empty());
}

TEST_F(WindowTreeTest, UnknownPathFailsAndKeepsTheSelection) {
  const std::string racer = folder->Path() + "Games\\Racer";
  window->TreeSelectPath(racer);
  SetWindowTextA(Control(kWidthedit), "typed");
  EXPECT_THROW(window->TreeSelectPath(folder->Path() + "No such folder"), std::runtime_error);
  EXPECT_THROW(window->TreeSelectPath("R:\\"), std::runtime_error);
  EXPECT_EQ(window->TreeSelectedPath(), racer);
  EXPECT_EQ(TextOf(Control(kWidthedit)), "typed");  // no selection change was handled

  // Inside a handler, the failure ends it and shows in the error report.
  bool ranOn = false;
  RunHandler([&] {
    window->TreeSelectPath(folder->Path() + "No such folder");
    ranOn = true;
  });
  EXPECT_FALSE(ranOn);
  ASSERT_EQ(boxes.size(), 1u);
  EXPECT_EQ(boxes[0].flags, static_cast<UINT>(MB_OK | MB_ICONERROR));
  EXPECT_NE(boxes[0].text.find("No such folder"), std::string::npos);
}

// Racer's file in Games, held open for writing by another program: the
// folder handler cannot read it.
class HeldRacerFile {
 public:
  explicit HeldRacerFile(const ScratchFolder& folder)
      : path_(folder.Write("Games\\racer.exe", kRacerFile)),
        file_(CreateFileA(path_.c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                          OPEN_EXISTING, 0, nullptr)) {}
  const std::string& Path() const { return path_; }
  bool Held() const { return static_cast<bool>(file_); }
  void Release() { file_.Reset(); }

 private:
  std::string path_;
  UniqueFile file_;
};

void ExpectCannotOpen(const CapturedBox& box, const std::string& path) {
  EXPECT_EQ(box.text.rfind("Cannot open file \"" + path + "\". ", 0), 0u) << box.text;
  EXPECT_EQ(box.text.back(), '.');
  EXPECT_EQ(box.caption, "Quillfen");
  EXPECT_EQ(box.flags, static_cast<UINT>(MB_OK | MB_ICONERROR));
}

TEST_F(WindowTreeTest, NestedHandlerErrorEndsTheOuterHandlerAndIsReportedOnce) {
  const HeldRacerFile held(*folder);
  ASSERT_TRUE(held.Held());
  bool ranOn = false;
  RunHandler([&] {
    window->TreeSelectPath(folder->Path() + "Games");
    ranOn = true;
  });
  EXPECT_FALSE(ranOn);
  ASSERT_EQ(boxes.size(), 1u);
  ExpectCannotOpen(boxes[0], held.Path());
  // The selection did move, and the window carries on.
  EXPECT_EQ(window->TreeSelectedPath(), folder->Path() + "Games");
  EXPECT_TRUE(IsWindow(window->Handle()));
}

TEST_F(WindowTreeTest, ErrorsOfHandlersOutsideAnyOtherAreReportedByTheWindow) {
  const HWND tree = Control(kGamedirlv);
  window->TreeSelectPath(folder->Path() + "Games\\Empty");
  const auto games = SendMessageA(tree, TVM_GETNEXTITEM, TVGN_PARENT,
                                  SendMessageA(tree, TVM_GETNEXTITEM, TVGN_CARET, 0));
  ASSERT_NE(games, 0);
  // A selection the user makes: the tree's own notification, no outer handler.
  HeldRacerFile held(*folder);
  ASSERT_TRUE(held.Held());
  SendMessageA(tree, TVM_SELECTITEM, TVGN_CARET, games);
  held.Release();
  // Any other handler: a full stop only after characters above it.
  RunHandler([] { throw std::runtime_error("Bad value 7"); });
  RunHandler([] { throw std::runtime_error("Ends in a full stop."); });
  ASSERT_EQ(boxes.size(), 3u);
  ExpectCannotOpen(boxes[0], held.Path());
  EXPECT_EQ(boxes[1].text, "Bad value 7.");
  EXPECT_EQ(boxes[2].text, "Ends in a full stop.");
  for (const CapturedBox& box : boxes) {
    EXPECT_EQ(box.flags, static_cast<UINT>(MB_OK | MB_ICONERROR));
    EXPECT_TRUE(box.windowVisible);
  }
  EXPECT_EQ(window->TreeSelectedPath(), folder->Path() + "Games");
  EXPECT_TRUE(IsWindow(window->Handle()));
}

TEST_F(WindowTreeTest, ANodeTheControlRefusesLeavesNoItemIdListBehind) {
  for (const char* name : {"A", "B", "C", "D"}) {
    CreateDirectoryA((folder->Path() + "Games\\" + name).c_str(), nullptr);
  }
  const std::string games = folder->Path() + "Games";
  window->TreeSelectPath(games);  // its node exists, its children are not read yet

  // The allocator calls it until its last block is freed, which may be after the test.
  static LiveAllocations allocations;
  ASSERT_EQ(CoRegisterMallocSpy(&allocations), S_OK);
  int inserted = 0;
  RefusedInserts refused(Control(kGamedirlv), [&] { return ++inserted == 2; });
  // Filling Games stops at its second child: the error ends the selection.
  EXPECT_THROW(window->TreeSelectPath(games + "\\Racer"), std::runtime_error);
  EXPECT_EQ(window->TreeSelectedPath(), games);

  // The tree carries on: the folder it did not get to is added when asked for.
  refused.Stop();
  window->TreeSelectPath(games + "\\Racer");
  EXPECT_EQ(window->TreeSelectedPath(), games + "\\Racer");
  window.reset();
  CoRevokeMallocSpy();
  EXPECT_EQ(allocations.live, 0);
}

}  // namespace
}  // namespace quillfen::testing
