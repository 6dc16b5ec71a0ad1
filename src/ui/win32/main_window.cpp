#include "ui/win32/main_window.h"

#include <commctrl.h>
#include <shellapi.h>

#include <algorithm>
#include <stdexcept>

#include "ui/forum.h"
#include "ui/win32/containers.h"
#include "ui/win32/dpi.h"
#include "ui/win32/error_report.h"
#include "ui/win32/message_boxes.h"

namespace quillfen::win32 {

namespace {

constexpr const char* kWindowClass = "Tmainform";
constexpr DWORD kWindowStyle =
    WS_OVERLAPPED | WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX | WS_CLIPCHILDREN;
constexpr DWORD kWindowExStyle = WS_EX_CONTROLPARENT;
constexpr int kAppIcon = 1;

RECT Scaled(const ControlSpec& row) {
  return RECT{Scale(row.left), Scale(row.top), Scale(row.left + row.width),
              Scale(row.top + row.height)};
}

UniqueFont MakeFont(int height, bool bold, bool underline) {
  return UniqueFont(CreateFontA(-Scale(height), 0, 0, 0, bold ? FW_BOLD : FW_NORMAL, FALSE,
                                underline, FALSE, DEFAULT_CHARSET, OUT_DEFAULT_PRECIS,
                                CLIP_DEFAULT_PRECIS, DEFAULT_QUALITY, DEFAULT_PITCH | FF_DONTCARE,
                                "MS Sans Serif"));
}

std::string WindowText(HWND window) {
  std::string text(GetWindowTextLengthA(window) + 1, '\0');
  text.resize(GetWindowTextA(window, text.data(), static_cast<int>(text.size())));
  return text;
}

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

MainWindow::MainWindow(System& system) : system_(system), form_(system, *this) {
  tree_.onSelectionChanged = [this] { TreeChanged(); };
  tree_.runHandler = [this](const std::function<void()>& handler) { RunHandler(handler); };
}

MainWindow::~MainWindow() {
  Destroy();  // the controls go before the fonts they use
}

bool MainWindow::Create(int show) {
  static const bool registered = [] {
    WNDCLASSEXA type = {};
    type.cbSize = sizeof type;
    type.lpfnWndProc = &MainWindow::WindowProc;
    type.hInstance = GetModuleHandleA(nullptr);
    type.hIcon = LoadIconA(type.hInstance, MAKEINTRESOURCEA(kAppIcon));
    type.hIconSm = static_cast<HICON>(LoadImageA(type.hInstance, MAKEINTRESOURCEA(kAppIcon),
                                                 IMAGE_ICON, GetSystemMetrics(SM_CXSMICON),
                                                 GetSystemMetrics(SM_CYSMICON), 0));
    type.hCursor = LoadCursorA(nullptr, IDC_ARROW);
    type.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
    type.lpszClassName = kWindowClass;
    return RegisterClassExA(&type) != 0;
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
  CreateWindowExA(kWindowExStyle, kWindowClass, kApplicationTitle, kWindowStyle, left, top, width,
                  height, nullptr, nullptr, GetModuleHandleA(nullptr), this);
  if (!window_) throw std::runtime_error("Cannot create the main window");

  SetWindowTextA(window_, kWindowCaption);
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

void MainWindow::CreateFonts() {
  regular_ = MakeFont(11, false, false);
  bold_ = MakeFont(11, true, false);
  searching_ = MakeFont(13, true, false);
  link_ = MakeFont(11, true, true);
}

void MainWindow::CreateControls() {
  const HINSTANCE instance = GetModuleHandleA(nullptr);
  for (const ControlSpec& row : kControls) {
    const HWND parent = row.parent == kNoParent ? window_ : controls_.at(row.parent);
    const RECT r = Scaled(row);
    const char* caption = row.caption ? row.caption : kForumHost;
    DWORD style = WS_CHILD | WS_CLIPSIBLINGS;
    if (row.visible) style |= WS_VISIBLE;
    if (!row.enabled) style |= WS_DISABLED;
    const auto id = reinterpret_cast<HMENU>(static_cast<INT_PTR>(row.id));
    auto make = [&](DWORD exStyle, const char* type, DWORD extra, int height) {
      return CreateWindowExA(exStyle, type, caption, style | extra, r.left, r.top, r.right - r.left,
                             height, parent, id, instance, nullptr);
    };
    HWND control = nullptr;
    switch (row.kind) {
      case Kind::groupBox:
        control =
            make(WS_EX_CONTROLPARENT, "BUTTON", BS_GROUPBOX | WS_CLIPCHILDREN, r.bottom - r.top);
        if (control) MakeGroupBoxContainer(control);
        break;
      case Kind::panel:
        control = CreatePanel(parent, row.id, r);
        break;
      case Kind::label:
        control = make(0, "STATIC",
                       SS_NOPREFIX | (row.rightAligned ? SS_RIGHT : SS_LEFT) |
                           (row.id == kLabel5 ? SS_NOTIFY : 0),
                       r.bottom - r.top);
        break;
      case Kind::button:
        control = make(0, "BUTTON", BS_PUSHBUTTON | WS_TABSTOP, r.bottom - r.top);
        break;
      case Kind::edit:
        control = make(WS_EX_CLIENTEDGE, "EDIT", ES_AUTOHSCROLL | WS_TABSTOP, r.bottom - r.top);
        break;
      case Kind::memo:
        control = make(WS_EX_CLIENTEDGE, "EDIT",
                       ES_MULTILINE | ES_AUTOVSCROLL | ES_WANTRETURN | WS_VSCROLL | WS_TABSTOP,
                       r.bottom - r.top);
        break;
      case Kind::dropDownList:
        // The height given at creation includes the opened list.
        control = make(0, "COMBOBOX", CBS_DROPDOWNLIST | CBS_HASSTRINGS | WS_VSCROLL | WS_TABSTOP,
                       r.bottom - r.top + Scale(16 * kGameListItemHeight));
        break;
      case Kind::folderTree:
        tree_.Create(parent, row.id, r);
        control = tree_.Handle();
        break;
    }
    if (!control) throw std::runtime_error(std::string("Cannot create the control ") + row.name);
    controls_[row.id] = control;
    HFONT font = row.font == Font::bold        ? bold_.Get()
                 : row.font == Font::searching ? searching_.Get()
                 : row.font == Font::link      ? link_.Get()
                                               : regular_.Get();
    SendMessageA(control, WM_SETFONT, reinterpret_cast<WPARAM>(font), FALSE);
    if (row.kind == Kind::edit || row.kind == Kind::memo) {
      SendMessageA(control, EM_SETLIMITTEXT, 0, 0);  // no length limit
    }
  }

  // Label4 is not in the fixed layout: it takes the width of its text, so that
  // the first line of the sentence never wraps whatever the font's metrics.
  const HWND lead = controls_.at(kLabel4);
  if (const WindowDc dc(lead); dc) {
    const SelectedObject font(dc.Get(), regular_.Get());
    SIZE extent = {};
    const std::string text = WindowText(lead);
    if (GetTextExtentPoint32A(dc.Get(), text.c_str(), static_cast<int>(text.size()), &extent)) {
      SetWindowPos(lead, nullptr, 0, 0, extent.cx + 1, std::max<LONG>(extent.cy, Scale(13)),
                   SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
    }
  }

  // The search panel lies exactly over the folder tree: above it when shown.
  SetWindowPos(controls_.at(kSearchpanel), HWND_TOP, 0, 0, 0, 0,
               SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);

  // The drop-down list: the closed box as high as the layout says, items 13
  // pixels high. The box height follows the selection field's height; the
  // field is set relative to the value set before, since what the list
  // reports back for the field need not be what was set.
  const HWND games = controls_.at(kGamecb);
  const int wanted = Scale(21);
  int field = static_cast<int>(SendMessageA(games, CB_GETITEMHEIGHT, WPARAM(-1), 0));
  for (int attempt = 0; attempt < 3 && field > 0; ++attempt) {
    RECT box;
    GetWindowRect(games, &box);
    if (box.bottom - box.top == wanted) break;
    field += wanted - (box.bottom - box.top);
    SendMessageA(games, CB_SETITEMHEIGHT, WPARAM(-1), field);
  }
  SendMessageA(games, CB_SETITEMHEIGHT, 0, Scale(kGameListItemHeight));
}

LRESULT CALLBACK MainWindow::WindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_NCCREATE) {
    auto* self = static_cast<MainWindow*>(reinterpret_cast<CREATESTRUCTA*>(lParam)->lpCreateParams);
    self->window_ = window;
    SetWindowLongPtrA(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(self));
  }
  auto* self = reinterpret_cast<MainWindow*>(GetWindowLongPtrA(window, GWLP_USERDATA));
  if (!self) return DefWindowProcA(window, message, wParam, lParam);
  // No C++ exception leaves a window procedure.
  try {
    return self->OnMessage(message, wParam, lParam);
  } catch (const std::exception& error) {
    ReportError(window, error.what());
  } catch (...) {
    ReportError(window, "Unknown error");
  }
  return message == WM_CREATE ? -1 : 0;
}

LRESULT MainWindow::OnMessage(UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_CREATE:
      CreateFonts();
      CreateControls();
      tree_.FillRoot();
      return 0;
    case WM_COMMAND:
      OnCommand(LOWORD(wParam), HIWORD(wParam));
      return 0;
    case WM_NOTIFY: {
      LRESULT result = 0;
      if (tree_.HandleNotify(*reinterpret_cast<const NMHDR*>(lParam), result)) return result;
      break;
    }
    case WM_CTLCOLORSTATIC: {
      const auto dc = reinterpret_cast<HDC>(wParam);
      SetBkColor(dc, GetSysColor(COLOR_BTNFACE));
      if (reinterpret_cast<HWND>(lParam) == ControlWindow(kLabel5)) {
        SetTextColor(dc, RGB(0, 0, 128));  // navy
      }
      return reinterpret_cast<LRESULT>(GetSysColorBrush(COLOR_BTNFACE));
    }
    case WM_SETCURSOR:
      if (reinterpret_cast<HWND>(wParam) == ControlWindow(kLabel5)) {
        SetCursor(LoadCursorA(nullptr, IDC_HAND));
        return TRUE;
      }
      break;
    case WM_ACTIVATE:
      // Keep the focused control across switches to other windows, as a dialog does.
      if (LOWORD(wParam) == WA_INACTIVE) {
        const HWND focus = GetFocus();
        if (focus && IsChild(window_, focus)) lastFocus_ = focus;
      } else if (lastFocus_ && IsWindow(lastFocus_) && IsWindowEnabled(lastFocus_)) {
        SetFocus(lastFocus_);
        return 0;
      }
      break;
    case WM_DESTROY:
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
    case WM_NCDESTROY:
      SetWindowLongPtrA(window_, GWLP_USERDATA, 0);
      window_ = nullptr;
      lastFocus_ = nullptr;
      controls_.clear();
      return 0;
    default:
      break;
  }
  return DefWindowProcA(window_, message, wParam, lParam);
}

void MainWindow::OnCommand(int id, int code) {
  switch (id) {
    case kGamecb:
      if (code == CBN_SELCHANGE) RunHandler([this] { form_.gamecbChange(); });
      break;
    case kFindit:
      if (code == BN_CLICKED) RunHandler([this] { form_.finditClick(); });
      break;
    case kPatchbutton:
      if (code == BN_CLICKED) RunHandler([this] { form_.patchbuttonClick(); });
      break;
    case kUndobutton:
      if (code == BN_CLICKED) RunHandler([this] { form_.undobuttonClick(); });
      break;
    case kLabel5:
      if (code == STN_CLICKED) RunHandler([this] { form_.Label5Click(); });
      break;
    default:
      break;
  }
}

void MainWindow::RunHandler(const std::function<void()>& handler) {
  ++handlersRunning_;
  win32::RunHandler(window_, handler);
  if (--handlersRunning_ == 0 && formDestroyPending_) {
    formDestroyPending_ = false;
    RunHandler([this] { form_.FormDestroy(); });
  }
}

void MainWindow::TreeChanged() {
  ++treeChanges_;
  if (beforeTreeChangeForTesting) beforeTreeChangeForTesting();
  form_.gamedirlvChange();
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
  if (HWND window = Window(control)) SetWindowTextA(window, text.c_str());
}

std::string MainWindow::Text(Control control) {
  HWND window = Window(control);
  return window ? WindowText(window) : std::string();
}

void MainWindow::GameListClear() {
  SendMessageA(ControlWindow(kGamecb), CB_RESETCONTENT, 0, 0);
}

void MainWindow::GameListAppend(const std::string& name) {
  SendMessageA(ControlWindow(kGamecb), CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(name.c_str()));
}

void MainWindow::GameListSelectFirst() {
  const HWND games = ControlWindow(kGamecb);
  if (SendMessageA(games, CB_GETCOUNT, 0, 0) > 0) SendMessageA(games, CB_SETCURSEL, 0, 0);
}

std::string MainWindow::GameListText() {
  const HWND games = ControlWindow(kGamecb);
  const auto index = SendMessageA(games, CB_GETCURSEL, 0, 0);
  if (index == CB_ERR) return {};
  const auto length = SendMessageA(games, CB_GETLBTEXTLEN, index, 0);
  if (length == CB_ERR) return {};
  std::string text(length + 1, '\0');
  const auto copied =
      SendMessageA(games, CB_GETLBTEXT, index, reinterpret_cast<LPARAM>(text.data()));
  text.resize(copied == CB_ERR ? 0 : copied);
  return text;
}

void MainWindow::DetailsClear() {
  SetWindowTextA(ControlWindow(kDetailssl), "");
}

void MainWindow::DetailsAddLine(const std::string& text) {
  const HWND memo = ControlWindow(kDetailssl);
  std::string content = WindowText(memo);
  if (!content.empty()) content += "\r\n";
  content += WithEditLineBreaks(text);
  SetWindowTextA(memo, content.c_str());
}

void MainWindow::DetailsScrollToTop() {
  SendMessageA(ControlWindow(kDetailssl), WM_VSCROLL, SB_TOP, 0);
}

std::string MainWindow::TreeSelectedPath() {
  return tree_.SelectedPath();
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
  SetWindowTextA(label, text.c_str());
  UpdateWindow(label);
}

bool MainWindow::ProcessPendingMessages() {
  MSG message;
  while (PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE)) {
    if (message.message == WM_QUIT) {
      PostQuitMessage(static_cast<int>(message.wParam));  // leave it for the message loop
      break;
    }
    if (!window_ || !IsDialogMessageA(window_, &message)) {
      TranslateMessage(&message);
      DispatchMessageA(&message);
    }
  }
  return window_ != nullptr;
}

void MainWindow::ShowMessage(const std::string& text) {
  ShowMessageBox(window_, text, 0);
}

void MainWindow::OpenWebAddress(const std::string& address) {
  ShellExecuteA(nullptr, "open", address.c_str(), nullptr, nullptr, SW_SHOWNORMAL);
}

void MainWindow::CloseWindow() {
  closed_ = true;
  // Closed while FormCreate runs: Create destroys the window before it shows.
  if (window_ && IsWindowVisible(window_)) PostMessageA(window_, WM_CLOSE, 0, 0);
}

int RunMessageLoop(MainWindow& window) {
  MSG message;
  int status;
  while ((status = GetMessageA(&message, nullptr, 0, 0)) != 0) {
    if (status == -1) return 1;
    if (!window.Handle() || !IsDialogMessageA(window.Handle(), &message)) {
      TranslateMessage(&message);
      DispatchMessageA(&message);
    }
  }
  return static_cast<int>(message.wParam);
}

}  // namespace quillfen::win32
