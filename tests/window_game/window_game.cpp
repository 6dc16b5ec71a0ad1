// A small Windows game to try suggest on compiled code: it opens a window
// whose client area is 1280 x 720, writes the client size it got to
// window_game.log beside itself, and exits. Built in several editions (compiler
// options, EDITION=2 for the next release with a settings menu of modes;
// APART=1 for code that sets the width and the height in functions far apart;
// GAME_WIDTH and GAME_HEIGHT for the same edition at another size).
#include <windows.h>

#include <cstdio>

#ifndef EDITION
#define EDITION 1
#endif

namespace {

#ifndef GAME_WIDTH
#define GAME_WIDTH 1280
#define GAME_HEIGHT 720
#endif

constexpr int kWidth = GAME_WIDTH;
constexpr int kHeight = GAME_HEIGHT;

#if EDITION >= 2
// The modes a settings menu would offer: the window's size is among them.
struct Mode {
  int width;
  int height;
};
constexpr Mode kModes[] = {{640, 480}, {800, 600}, {1024, 768}, {1280, 720}, {1920, 1080}};
#endif

#if APART
// The width in a function of its own, the height in another after Log: no
// instruction of the one lies near the other's.
[[gnu::noipa]] int StartWidth() {
  return kWidth;
}
#endif

LRESULT CALLBACK Procedure(HWND window, UINT message, WPARAM w, LPARAM l) {
  return DefWindowProcW(window, message, w, l);
}

void Log(int width, int height) {
  wchar_t path[MAX_PATH];
  const DWORD length = GetModuleFileNameW(nullptr, path, MAX_PATH);
  DWORD cut = length;
  while (cut > 0 && path[cut - 1] != L'\\') --cut;
  if (cut == 0 || cut + 16 >= MAX_PATH) return;
  lstrcpyW(path + cut, L"window_game.log");
  if (FILE* log = _wfopen(path, L"w")) {
    std::fprintf(log, "%d %d\n", width, height);
#if EDITION >= 2
    for (const Mode& mode : kModes) std::fprintf(log, "mode %d %d\n", mode.width, mode.height);
#endif
    std::fclose(log);
  }
}

#if APART
[[gnu::noipa]] int StartHeight() {
  return kHeight;
}
#endif

}  // namespace

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, PWSTR, int) {
  WNDCLASSW type{};
  type.lpfnWndProc = Procedure;
  type.hInstance = instance;
  type.lpszClassName = L"WindowGame";
#if EDITION >= 2
  // The next release's code before the window moves it and what it refers to.
  type.style = CS_HREDRAW | CS_VREDRAW;
  type.hCursor = LoadCursorW(nullptr, IDC_ARROW);
#endif
  RegisterClassW(&type);
#if APART
  RECT frame{0, 0, StartWidth(), StartHeight()};
#else
  RECT frame{0, 0, kWidth, kHeight};
#endif
  const DWORD style = WS_OVERLAPPEDWINDOW;
  AdjustWindowRect(&frame, style, FALSE);
  HWND window =
      CreateWindowExW(0, type.lpszClassName, EDITION >= 2 ? L"Window Game 1.1" : L"Window Game",
                      style, CW_USEDEFAULT, CW_USEDEFAULT, frame.right - frame.left,
                      frame.bottom - frame.top, nullptr, nullptr, instance, nullptr);
  RECT client{};
  if (window) GetClientRect(window, &client);
  Log(client.right - client.left, client.bottom - client.top);
  if (window) DestroyWindow(window);
  return window ? 0 : 1;
}
