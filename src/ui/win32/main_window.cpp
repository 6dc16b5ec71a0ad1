#include "ui/win32/main_window.h"

#include <commctrl.h>
#include <shellapi.h>

#include <algorithm>
#include <stdexcept>

#include "base/text.h"
#include "platform/win32/utf8.h"
#include "ui/forum.h"
#include "ui/win32/containers.h"
#include "ui/win32/dpi.h"
#include "ui/win32/error_report.h"
#include "ui/win32/message_boxes.h"
#include "ui/win32/window_class.h"

namespace quillfen::win32 {

namespace {

constexpr const wchar_t* kWindowClass = L"Tmainform";
constexpr DWORD kWindowStyle =
    WS_OVERLAPPED | WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX | WS_CLIPCHILDREN;
constexpr DWORD kWindowExStyle = WS_EX_CONTROLPARENT;
constexpr int kAppIcon = 1;

// A font of the layout, `height` pixels high at 96 pixels per inch.
UniqueFont MakeFont(int height, int dpi, bool bold, bool underline) {
  return UniqueFont(CreateFontW(-Scale(height, dpi), 0, 0, 0, bold ? FW_BOLD : FW_NORMAL, FALSE,
                                underline, FALSE, DEFAULT_CHARSET, OUT_DEFAULT_PRECIS,
                                CLIP_DEFAULT_PRECIS, DEFAULT_QUALITY, DEFAULT_PITCH | FF_DONTCARE,
                                L"MS Sans Serif"));
}

std::wstring WindowText(HWND window) {
  std::wstring text(GetWindowTextLengthW(window) + 1, L'\0');
  text.resize(GetWindowTextW(window, text.data(), static_cast<int>(text.size())));
  return text;
}

// Makes a label as wide as its text in its font, so that it never wraps and
// takes no clicks or pointer beyond the text; at least as high as the layout's row.
void FitToText(HWND label, HFONT font, int layoutHeight) {
  const WindowDc dc(label);
  if (!dc) return;
  const SelectedObject selected(dc.Get(), font);
  SIZE extent = {};
  const std::wstring text = WindowText(label);
  if (GetTextExtentPoint32W(dc.Get(), text.c_str(), static_cast<int>(text.size()), &extent)) {
    SetWindowPos(label, nullptr, 0, 0, extent.cx + 1, std::max<LONG>(extent.cy, layoutHeight),
                 SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
  }
}

// A control's rectangle in screen coordinates, for comparing siblings.
RECT ScreenRect(HWND control) {
  RECT r = {};
  GetWindowRect(control, &r);
  return r;
}

// Which handler of the form a control's notification runs.
struct CommandRoute {
  ControlId control;
  WORD code;
  void (MainForm::*handler)();
};

constexpr CommandRoute kCommands[] = {
    {kGamecb, CBN_SELCHANGE, &MainForm::gamecbChange},
    {kFindit, BN_CLICKED, &MainForm::finditClick},
    {kPatchbutton, BN_CLICKED, &MainForm::patchbuttonClick},
    {kUndobutton, BN_CLICKED, &MainForm::undobuttonClick},
    {kLabel5, STN_CLICKED, &MainForm::Label5Click},
};

// Every line break (CR LF, a lone CR or a lone LF) as the CR LF an edit box shows.
std::string WithEditLineBreaks(const std::string& text) {
  std::string result;
  result.reserve(text.size());
  for (std::size_t i = 0; i < text.size(); ++i) {
    if (text[i] == '\r' || text[i] == '\n') {
      result += "\r\n";
      if (text[i] == '\r' && i + 1 < text.size() && text[i + 1] == '\n') ++i;
    } else {
      result.push_back(text[i]);
    }
  }
  return result;
}

}  // namespace

MainWindow::MainWindow(System& system, MessageBoxes& boxes, int dpi)
    : boxes_(boxes), dpi_(dpi), form_(system, *this) {
  // The tree decides where an error of the folder handler goes.
  tree_.onSelectionChanged = [this] { form_.gamedirlvChange(); };
  tree_.runHandler = [this](const std::function<void()>& handler) { RunHandler(handler); };
}

MainWindow::~MainWindow() {
  Destroy();  // the controls go before the fonts they use
}

bool MainWindow::Create(int show) {
  static const bool registered = [] {
    const HINSTANCE module = GetModuleHandleW(nullptr);
    return RegisterWindowClass(
        kWindowClass, &MainWindow::WindowProc, LoadIconW(module, MAKEINTRESOURCEW(kAppIcon)),
        static_cast<HICON>(LoadImageW(module, MAKEINTRESOURCEW(kAppIcon), IMAGE_ICON,
                                      GetSystemMetrics(SM_CXSMICON), GetSystemMetrics(SM_CYSMICON),
                                      0)));
  }();
  if (!registered) throw std::runtime_error("Cannot register the main window's class");

  RECT frame = {0, 0, Scale(kClientWidth), Scale(kClientHeight)};
  AdjustWindowRectEx(&frame, kWindowStyle, FALSE, kWindowExStyle);
  const int width = frame.right - frame.left;
  const int height = frame.bottom - frame.top;
  const int left = (GetSystemMetrics(SM_CXSCREEN) - width) / 2;
  const int top = (GetSystemMetrics(SM_CYSCREEN) - height) / 2;
  closed_ = false;
  // WM_CREATE builds the controls; the folder tree's first selection runs the folder handler.
  CreateWindowExW(kWindowExStyle, kWindowClass, Widen(kApplicationTitle).c_str(), kWindowStyle,
                  left, top, width, height, nullptr, nullptr, GetModuleHandleW(nullptr), this);
  if (!window_) throw std::runtime_error("Cannot create the main window");

  SetWindowTextW(window_, Widen(kWindowCaption).c_str());
  RunHandler([this] { form_.FormCreate(); });
  if (closed_) {
    Destroy();
    return false;
  }
  ShowWindow(window_, show);
  UpdateWindow(window_);
  SetFocus(tree_.Handle());
  return true;
}

void MainWindow::Destroy() {
  if (window_) DestroyWindow(window_);
}

HWND MainWindow::ControlWindow(ControlId id) const {
  const auto found = controls_.find(id);
  return found == controls_.end() ? nullptr : found->second;
}

LRESULT CALLBACK MainWindow::WindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_NCCREATE) {
    auto* self = static_cast<MainWindow*>(reinterpret_cast<CREATESTRUCTW*>(lParam)->lpCreateParams);
    self->window_ = window;
    SetWindowLongPtrW(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(self));
  }
  auto* self = reinterpret_cast<MainWindow*>(GetWindowLongPtrW(window, GWLP_USERDATA));
  if (!self) return DefWindowProcW(window, message, wParam, lParam);
  // No C++ exception leaves a window procedure.
  try {
    if (const std::optional<LRESULT> result = self->Dispatch(message, wParam, lParam)) {
      return *result;
    }
  } catch (...) {
    ReportError(self->boxes_, window, CaughtErrorText());
    return message == WM_CREATE ? -1 : 0;
  }
  return DefWindowProcW(window, message, wParam, lParam);
}

std::optional<LRESULT> MainWindow::Dispatch(UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_CREATE:
      return OnCreate();
    case WM_COMMAND:
      return OnCommand(LOWORD(wParam), HIWORD(wParam));
    case WM_NOTIFY:
      return OnNotify(*reinterpret_cast<const NMHDR*>(lParam));
    case WM_CTLCOLORSTATIC:
      return OnCtlColorStatic(reinterpret_cast<HDC>(wParam), reinterpret_cast<HWND>(lParam));
    case WM_SETCURSOR:
      return OnSetCursor(reinterpret_cast<HWND>(wParam));
    case WM_ACTIVATE:
      return OnActivate(LOWORD(wParam));
    case WM_NEXTDLGCTL:
      return OnNextDlgCtl(wParam, LOWORD(lParam) != 0);
    case WM_DESTROY:
      return OnDestroy();
    case WM_NCDESTROY:
      return OnNcDestroy();
    default:
      return std::nullopt;
  }
}

LRESULT MainWindow::OnCreate() {
  CreateFonts();
  CreateControls();
  tree_.FillRoot();
  return 0;
}

LRESULT MainWindow::OnCommand(int id, int code) {
  for (const CommandRoute& route : kCommands) {
    if (route.control == id && route.code == code) {
      RunHandler([this, handler = route.handler] { (form_.*handler)(); });
      break;
    }
  }
  return 0;
}

LRESULT MainWindow::OnNotify(const NMHDR& header) {
  LRESULT result = 0;
  return tree_.HandleNotify(header, result) ? result : 0;
}

LRESULT MainWindow::OnCtlColorStatic(HDC dc, HWND label) {
  SetBkColor(dc, GetSysColor(COLOR_BTNFACE));
  if (IsLink(label)) SetTextColor(dc, RGB(0, 0, 128));  // navy
  return reinterpret_cast<LRESULT>(GetSysColorBrush(COLOR_BTNFACE));
}

std::optional<LRESULT> MainWindow::OnSetCursor(HWND over) {
  if (!IsLink(over)) return std::nullopt;
  SetCursor(LoadCursorW(nullptr, IDC_HAND));
  return TRUE;
}

std::optional<LRESULT> MainWindow::OnActivate(int state) {
  // Keep the focused control across switches to other windows, as a dialog does.
  if (state == WA_INACTIVE) {
    const HWND focus = GetFocus();
    if (focus && IsChild(window_, focus)) lastFocus_ = focus;
  } else if (lastFocus_ && IsWindow(lastFocus_) && IsWindowEnabled(lastFocus_)) {
    SetFocus(lastFocus_);
    return 0;
  }
  return std::nullopt;
}

// The request a control makes to move the focus as the dialog keyboard does:
// a multi-line edit takes Tab and Shift+Tab itself and asks for the next or
// previous tab stop (through its group box, which passes the request on), or
// the control named. An edit box that gets the focus this way has its text
// selected, as when tabbed into.
LRESULT MainWindow::OnNextDlgCtl(WPARAM which, bool given) {
  const HWND target =
      given ? reinterpret_cast<HWND>(which) : GetNextDlgTabItem(window_, GetFocus(), which != 0);
  if (!target || !IsChild(window_, target)) return 0;
  SetFocus(target);
  if (SendMessageW(target, WM_GETDLGCODE, 0, 0) & DLGC_HASSETSEL) {
    SendMessageW(target, EM_SETSEL, 0, -1);
  }
  return 0;
}

LRESULT MainWindow::OnDestroy() {
  // The tree's control goes with the window: nothing may reach its nodes after.
  tree_.Reset();
  // A close let through inside a handler (its pending messages, a message
  // box's loop) must not release the lists under it: they go when it ends.
  if (handlersRunning_ > 0) {
    formDestroyPending_ = true;
  } else {
    RunHandler([this] { form_.FormDestroy(); });
  }
  if (quitOnDestroy_) PostQuitMessage(0);
  return 0;
}

LRESULT MainWindow::OnNcDestroy() {
  SetWindowLongPtrW(window_, GWLP_USERDATA, 0);
  window_ = nullptr;
  lastFocus_ = nullptr;
  controls_.clear();
  return 0;
}

void MainWindow::CreateFonts() {
  regular_ = MakeFont(11, dpi_, false, false);
  bold_ = MakeFont(11, dpi_, true, false);
  searching_ = MakeFont(13, dpi_, true, false);
  link_ = MakeFont(11, dpi_, true, true);
}

HFONT MainWindow::FontFor(Font font) const {
  switch (font) {
    case Font::bold:
      return bold_.Get();
    case Font::searching:
      return searching_.Get();
    case Font::link:
      return link_.Get();
    case Font::regular:
      break;
  }
  return regular_.Get();
}

void MainWindow::CreateControls() {
  for (const ControlSpec& row : kControls) {
    const HWND control = CreateControl(row);
    if (!control) throw std::runtime_error(std::string("Cannot create the control ") + row.name);
    controls_[row.id] = control;
    SendMessageW(control, WM_SETFONT, reinterpret_cast<WPARAM>(FontFor(row.font)), FALSE);
    if (row.kind == Kind::edit || row.kind == Kind::memo) {
      SendMessageW(control, EM_SETLIMITTEXT, 0, 0);  // no length limit
    }
    if (row.align == Align::fitText) FitToText(control, FontFor(row.font), Scale(row.height));
  }
  StackOverlaps();
  FitGameListHeight();
}

RECT MainWindow::Scaled(const ControlSpec& row) const {
  return RECT{Scale(row.left), Scale(row.top), Scale(row.left + row.width),
              Scale(row.top + row.height)};
}

HWND MainWindow::CreateControl(const ControlSpec& row) {
  const HWND parent = row.parent == kNoParent ? window_ : controls_.at(row.parent);
  const RECT r = Scaled(row);
  const std::wstring caption = Widen(row.caption ? row.caption : kForumHost);
  DWORD style = WS_CHILD | WS_CLIPSIBLINGS;
  if (row.visible) style |= WS_VISIBLE;
  if (!row.enabled) style |= WS_DISABLED;
  const auto id = reinterpret_cast<HMENU>(static_cast<INT_PTR>(row.id));
  auto make = [&](DWORD exStyle, const wchar_t* type, DWORD extra, int height) {
    return CreateWindowExW(exStyle, type, caption.c_str(), style | extra, r.left, r.top,
                           r.right - r.left, height, parent, id, GetModuleHandleW(nullptr),
                           nullptr);
  };
  const int height = r.bottom - r.top;
  const DWORD align = row.align == Align::right ? SS_RIGHT : SS_LEFT;
  switch (row.kind) {
    case Kind::groupBox: {
      const HWND box = make(WS_EX_CONTROLPARENT, L"BUTTON", BS_GROUPBOX | WS_CLIPCHILDREN, height);
      if (box && !MakeGroupBoxContainer(box)) {
        DestroyWindow(box);
        return nullptr;
      }
      return box;
    }
    case Kind::panel:
      return CreatePanel(parent, row.id, r);
    case Kind::label:
      return make(0, L"STATIC", SS_NOPREFIX | align, height);
    case Kind::link:
      return make(0, L"STATIC", SS_NOPREFIX | align | SS_NOTIFY, height);
    case Kind::button:
      return make(0, L"BUTTON", BS_PUSHBUTTON | WS_TABSTOP, height);
    case Kind::edit:
      return make(WS_EX_CLIENTEDGE, L"EDIT", ES_AUTOHSCROLL | WS_TABSTOP, height);
    case Kind::memo:
      return make(WS_EX_CLIENTEDGE, L"EDIT",
                  ES_MULTILINE | ES_AUTOVSCROLL | ES_WANTRETURN | WS_VSCROLL | WS_TABSTOP, height);
    case Kind::dropDownList:
      // The height given at creation includes the opened list.
      return make(0, L"COMBOBOX", CBS_DROPDOWNLIST | CBS_HASSTRINGS | WS_VSCROLL | WS_TABSTOP,
                  height + Scale(16 * kGameListItemHeight));
    case Kind::folderTree:
      tree_.Create(parent, row.id, r, Scale(kTreeIndent));
      return tree_.Handle();
  }
  return nullptr;
}

// Windows stacks each new child below its older siblings, and the dialog
// keyboard tabs down that stack, so the controls made in table order tab in
// table order. Where two siblings overlap, though, the later one must lie
// above: it is raised to just above the highest earlier sibling it overlaps.
// Such an overlap never has a tab stop on both sides (a label or the search
// panel is one of the two), so the tab order stays.
void MainWindow::StackOverlaps() {
  for (std::size_t later = 0; later < std::size(kControls); ++later) {
    const HWND control = ControlWindow(kControls[later].id);
    const RECT area = ScreenRect(control);
    auto overlapsEarlier = [&](HWND sibling) {
      for (std::size_t earlier = 0; earlier < later; ++earlier) {
        if (ControlWindow(kControls[earlier].id) != sibling) continue;
        RECT common;
        const RECT other = ScreenRect(sibling);
        return IntersectRect(&common, &area, &other) != FALSE;
      }
      return false;
    };
    // From the top of the stack down to the control itself.
    for (HWND sibling = GetWindow(control, GW_HWNDFIRST); sibling && sibling != control;
         sibling = GetWindow(sibling, GW_HWNDNEXT)) {
      if (!overlapsEarlier(sibling)) continue;
      const HWND above = GetWindow(sibling, GW_HWNDPREV);
      SetWindowPos(control, above ? above : HWND_TOP, 0, 0, 0, 0,
                   SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
      break;
    }
  }
}

// The drop-down list: the closed box as high as the layout says, items 13
// pixels high. The box height follows the selection field's height; the field
// is set relative to the value set before, since what the list reports back
// for the field need not be what was set.
void MainWindow::FitGameListHeight() {
  const HWND games = controls_.at(kGamecb);
  const int wanted = Scale(21);
  int field = static_cast<int>(SendMessageW(games, CB_GETITEMHEIGHT, WPARAM(-1), 0));
  for (int attempt = 0; attempt < 3 && field > 0; ++attempt) {
    RECT box;
    GetWindowRect(games, &box);
    if (box.bottom - box.top == wanted) break;
    field += wanted - (box.bottom - box.top);
    SendMessageW(games, CB_SETITEMHEIGHT, WPARAM(-1), field);
  }
  SendMessageW(games, CB_SETITEMHEIGHT, 0, Scale(kGameListItemHeight));
}

bool MainWindow::IsLink(HWND control) const {
  if (!control) return false;
  for (const ControlSpec& row : kControls) {
    if (row.kind == Kind::link && ControlWindow(row.id) == control) return true;
  }
  return false;
}

void MainWindow::RunHandler(const std::function<void()>& handler) {
  ++handlersRunning_;
  win32::RunHandler(boxes_, window_, handler);
  if (--handlersRunning_ == 0 && formDestroyPending_) {
    formDestroyPending_ = false;
    RunHandler([this] { form_.FormDestroy(); });
  }
}

HWND MainWindow::Window(Control control) const {
  switch (control) {
    case Control::widthedit:
      return ControlWindow(kWidthedit);
    case Control::heightedit:
      return ControlWindow(kHeightedit);
    case Control::patchbutton:
      return ControlWindow(kPatchbutton);
    case Control::undobutton:
      return ControlWindow(kUndobutton);
    case Control::findit:
      return ControlWindow(kFindit);
  }
  return nullptr;
}

void MainWindow::SetEnabled(Control control, bool enabled) {
  if (HWND window = Window(control)) EnableWindow(window, enabled);
}

void MainWindow::SetText(Control control, const std::string& text) {
  if (HWND window = Window(control)) SetWindowTextW(window, Widen(text).c_str());
}

std::string MainWindow::Text(Control control) {
  HWND window = Window(control);
  return window ? Narrow(WindowText(window)) : std::string();
}

void MainWindow::GameListClear() {
  SendMessageW(ControlWindow(kGamecb), CB_RESETCONTENT, 0, 0);
}

void MainWindow::GameListAppend(const std::string& name) {
  SendMessageW(ControlWindow(kGamecb), CB_ADDSTRING, 0,
               reinterpret_cast<LPARAM>(Widen(name).c_str()));
}

void MainWindow::GameListSelectFirst() {
  const HWND games = ControlWindow(kGamecb);
  if (SendMessageW(games, CB_GETCOUNT, 0, 0) > 0) SendMessageW(games, CB_SETCURSEL, 0, 0);
}

std::string MainWindow::GameListText() {
  const HWND games = ControlWindow(kGamecb);
  const auto index = SendMessageW(games, CB_GETCURSEL, 0, 0);
  if (index == CB_ERR) return {};
  const auto length = SendMessageW(games, CB_GETLBTEXTLEN, index, 0);
  if (length == CB_ERR) return {};
  std::wstring text(length + 1, L'\0');
  const auto copied =
      SendMessageW(games, CB_GETLBTEXT, index, reinterpret_cast<LPARAM>(text.data()));
  text.resize(copied == CB_ERR ? 0 : copied);
  return Narrow(text);
}

void MainWindow::DetailsClear() {
  SetWindowTextW(ControlWindow(kDetailssl), L"");
}

void MainWindow::DetailsAddLine(const std::string& text) {
  const HWND memo = ControlWindow(kDetailssl);
  std::wstring content = WindowText(memo);
  if (!content.empty()) content += L"\r\n";
  content += Widen(WithEditLineBreaks(text));
  SetWindowTextW(memo, content.c_str());
}

void MainWindow::DetailsScrollToTop() {
  SendMessageW(ControlWindow(kDetailssl), WM_VSCROLL, SB_TOP, 0);
}

std::string MainWindow::TreeSelectedPath() {
  return tree_.SelectedPath();
}
// A file-system node's path holds a drive's colon; a drive root's already ends
// in a backslash.
std::string MainWindow::TreeSelectedFolder() {
  const std::string path = tree_.SelectedPath();
  if (path.find(':') == std::string::npos) return {};
  return ReplaceAllNoCase(path + "\\", "\\\\", "\\");
}
void MainWindow::TreeSelectPath(const std::string& path) {
  tree_.SelectPath(path);
}
bool MainWindow::TreeHasSelection() {
  return tree_.HasSelection();
}
void MainWindow::TreeMakeSelectionVisible() {
  tree_.MakeSelectionVisible();
}
void MainWindow::TreeFocus() {
  tree_.Focus();
}

void MainWindow::ShowSearchPanel(bool shown) {
  ShowWindow(ControlWindow(kSearchpanel), shown ? SW_SHOW : SW_HIDE);
}

void MainWindow::SetSearchLabel(const std::string& text) {
  const HWND label = ControlWindow(kSearchlabel);
  SetWindowTextW(label, Widen(text).c_str());
  UpdateWindow(label);
}

bool MainWindow::ProcessPendingMessages() {
  MSG message;
  while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
    if (message.message == WM_QUIT) {
      PostQuitMessage(static_cast<int>(message.wParam));  // leave it for the message loop
      break;
    }
    DeliverMessage(window_, message);
  }
  return window_ != nullptr;
}

void MainWindow::ShowMessage(const std::string& text) {
  ShowMessageBox(boxes_, window_, text, 0);
}

void MainWindow::OpenWebAddress(const std::string& address) {
  ShellExecuteW(nullptr, L"open", Widen(address).c_str(), nullptr, nullptr, SW_SHOWNORMAL);
}

void MainWindow::CloseWindow() {
  closed_ = true;
  // Closed while FormCreate runs: Create destroys the window before it shows.
  if (window_ && IsWindowVisible(window_)) PostMessageW(window_, WM_CLOSE, 0, 0);
}

void DeliverMessage(HWND window, MSG& message) {
  if (!window || !IsDialogMessageW(window, &message)) {
    TranslateMessage(&message);
    DispatchMessageW(&message);
  }
}

int RunMessageLoop(MainWindow& window) {
  MSG message;
  int status;
  while ((status = GetMessageW(&message, nullptr, 0, 0)) != 0) {
    if (status == -1) return 1;
    DeliverMessage(window.Handle(), message);
  }
  return static_cast<int>(message.wParam);
}

}  // namespace quillfen::win32
