#pragma once

#include <windows.h>

#include <functional>
#include <map>
#include <optional>
#include <string>

#include "platform/win32/win32_owners.h"
#include "ui/main_form.h"
#include "ui/view.h"
#include "ui/win32/dpi.h"
#include "ui/win32/layout.h"
#include "ui/win32/message_boxes.h"
#include "ui/win32/shell_tree.h"

namespace quillfen {
class System;
}

namespace quillfen::win32 {

// The main window `mainform` with its controls, on the real Win32 API. It owns
// one MainForm and runs a handler for each event through the general error
// report. Every message box goes to `boxes`; the layout is drawn at `dpi`
// pixels per inch.
class MainWindow : public View {
 public:
  MainWindow(System& system, MessageBoxes& boxes, int dpi = SystemDpi());
  ~MainWindow() override;
  MainWindow(const MainWindow&) = delete;
  MainWindow& operator=(const MainWindow&) = delete;

  // Builds the window hidden (the folder tree's first selection runs the folder
  // handler), sets the caption, runs FormCreate, then shows the window with
  // `show`. Returns false when FormCreate closed it: the window never showed
  // and is gone.
  bool Create(int show);
  HWND Handle() const { return window_; }
  // Ends the message loop when the window is destroyed (the program's window).
  void QuitOnDestroy() { quitOnDestroy_ = true; }
  void Destroy();

  // A control's window; null before creation and after destruction.
  HWND ControlWindow(ControlId id) const;

  // View
  void SetEnabled(Control control, bool enabled) override;
  void SetText(Control control, const std::string& text) override;
  std::string Text(Control control) override;
  void GameListClear() override;
  void GameListAppend(const std::string& name) override;
  void GameListSelectFirst() override;
  std::string GameListText() override;
  void DetailsClear() override;
  void DetailsAddLine(const std::string& text) override;
  void DetailsScrollToTop() override;
  std::string TreeSelectedPath() override;
  std::string TreeSelectedFolder() override;
  void TreeSelectPath(const std::string& path) override;
  bool TreeHasSelection() override;
  void TreeMakeSelectionVisible() override;
  void TreeFocus() override;
  void ShowSearchPanel(bool shown) override;
  void SetSearchLabel(const std::string& text) override;
  bool ProcessPendingMessages() override;
  void ShowMessage(const std::string& text) override;
  void OpenWebAddress(const std::string& address) override;
  void CloseWindow() override;

 private:
  static LRESULT CALLBACK WindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
  // The window's messages, each to its handler; no value: the default handling.
  std::optional<LRESULT> Dispatch(UINT message, WPARAM wParam, LPARAM lParam);

  LRESULT OnCreate();
  LRESULT OnCommand(int id, int code);
  LRESULT OnNotify(const NMHDR& header);
  LRESULT OnCtlColorStatic(HDC dc, HWND label);
  std::optional<LRESULT> OnSetCursor(HWND over);
  std::optional<LRESULT> OnActivate(int state);
  LRESULT OnNextDlgCtl(WPARAM which, bool given);
  LRESULT OnDestroy();
  LRESULT OnNcDestroy();

  // Runs a handler as the window runs an event's: errors end it and go to the
  // general error report, and a destruction meanwhile waits for its end.
  void RunHandler(const std::function<void()>& handler);

  void CreateFonts();
  void CreateControls();
  HWND CreateControl(const ControlSpec& row);
  void StackOverlaps();
  void FitGameListHeight();
  HFONT FontFor(Font font) const;
  bool IsLink(HWND control) const;
  int Scale(int length) const { return win32::Scale(length, dpi_); }
  RECT Scaled(const ControlSpec& row) const;
  HWND Window(Control control) const;

  MessageBoxes& boxes_;
  int dpi_;
  MainForm form_;
  HWND window_ = nullptr;
  HWND lastFocus_ = nullptr;  // the control that had the focus when the window was left
  std::map<int, HWND> controls_;
  ShellTree tree_;
  UniqueFont regular_, bold_, searching_, link_;
  bool closed_ = false;
  bool quitOnDestroy_ = false;
  int handlersRunning_ = 0;          // handlers on the stack, nested ones included
  bool formDestroyPending_ = false;  // destroyed inside a handler: FormDestroy when it ends
};

}  // namespace quillfen::win32

namespace quillfen::win32 {

// Runs the message loop of the program's window until it is destroyed, with
// the keyboard interface of a dialog (tab order, arrow keys). Returns the exit code.
int RunMessageLoop(MainWindow& window);

// Delivers one message as the message loop does: to the window's dialog keyboard
// interface (Tab, arrow keys, Enter) when it takes it, else translated and
// dispatched to its own window. Without a window, always the latter.
void DeliverMessage(HWND window, MSG& message);

}  // namespace quillfen::win32
