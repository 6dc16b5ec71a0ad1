// A tiny Windows game for trying Quillfen on. Its window's client size is kept
// in the executable right after the bytes "QFDEMOWH", as two 32-bit
// little-endian values, and the height of its text is kept in demofont.dat
// beside it. Patching either file changes what the next start shows.

#include <windows.h>

#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

namespace {

struct StoredSize {
  unsigned char marker[8];
  std::uint32_t width;
  std::uint32_t height;
};

}  // namespace

// Read through volatile, so the compiler keeps the bytes in the file and the
// program takes the values from there at run time instead of folding them in.
extern "C" __attribute__((used)) volatile const StoredSize qfdemo_window_size = {
    {'Q', 'F', 'D', 'E', 'M', 'O', 'W', 'H'}, 1024, 768};

namespace {

constexpr const char* kTitle = "Quillfen Demo Game";
constexpr const char* kDataFile = "demofont.dat";
constexpr int kTextSlot = 2;  // the record of demofont.dat that sets the text height

std::string ExecutableFolder() {
  char path[MAX_PATH];
  const DWORD length = GetModuleFileNameA(nullptr, path, MAX_PATH);
  if (length == 0 || length >= MAX_PATH) return {};
  std::string folder(path, length);
  return folder.substr(0, folder.find_last_of("\\:") + 1);
}

// demofont.dat: a 16-byte header, then records of 12 bytes: "QFV", a slot
// number, "HGT:", the text height as a 16-bit little-endian value and two
// spare bytes. Returns the height of the slot, or 0 when there is none.
int ReadTextHeight(std::string& source) {
  source = ExecutableFolder() + kDataFile;
  HANDLE file = CreateFileA(source.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                            FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) return 0;
  std::vector<unsigned char> bytes(4096);
  DWORD length = 0;
  const BOOL read =
      ReadFile(file, bytes.data(), static_cast<DWORD>(bytes.size()), &length, nullptr);
  CloseHandle(file);
  bytes.resize(read ? length : 0);
  for (std::size_t at = 16; at + 12 <= bytes.size(); at += 12) {
    const unsigned char* record = bytes.data() + at;
    if (record[0] != 'Q' || record[1] != 'F' || record[2] != 'V') break;
    if (record[3] == kTextSlot) return record[8] | (record[9] << 8);
  }
  return 0;
}

int text_height = 0;
std::string data_source;

void Paint(HWND window) {
  PAINTSTRUCT paint;
  HDC dc = BeginPaint(window, &paint);
  RECT client;
  GetClientRect(window, &client);
  FillRect(dc, &client, static_cast<HBRUSH>(GetStockObject(BLACK_BRUSH)));
  SetBkMode(dc, TRANSPARENT);
  SetTextColor(dc, RGB(255, 220, 80));

  char size_text[64];
  std::snprintf(size_text, sizeof size_text, "%ld x %ld", client.right - client.left,
                client.bottom - client.top);
  HFONT big = CreateFontA(client.bottom / 6, 0, 0, 0, FW_BOLD, FALSE, FALSE, FALSE, DEFAULT_CHARSET,
                          OUT_DEFAULT_PRECIS, CLIP_DEFAULT_PRECIS, DEFAULT_QUALITY,
                          DEFAULT_PITCH | FF_SWISS, "Arial");
  HGDIOBJ old_font = SelectObject(dc, big);
  RECT top = client;
  top.bottom = client.bottom * 2 / 3;
  DrawTextA(dc, size_text, -1, &top, DT_CENTER | DT_VCENTER | DT_SINGLELINE);

  char height_text[MAX_PATH + 64];
  if (text_height > 0) {
    std::snprintf(height_text, sizeof height_text, "Text height %d, from %s", text_height,
                  kDataFile);
  } else {
    std::snprintf(height_text, sizeof height_text, "No text height found in %s",
                  data_source.c_str());
  }
  HFONT small = CreateFontA(text_height > 0 ? text_height : 16, 0, 0, 0, FW_NORMAL, FALSE, FALSE,
                            FALSE, DEFAULT_CHARSET, OUT_DEFAULT_PRECIS, CLIP_DEFAULT_PRECIS,
                            DEFAULT_QUALITY, DEFAULT_PITCH | FF_SWISS, "Arial");
  SelectObject(dc, small);
  SetTextColor(dc, RGB(200, 200, 200));
  RECT bottom = client;
  bottom.top = top.bottom;
  DrawTextA(dc, height_text, -1, &bottom, DT_CENTER | DT_TOP | DT_SINGLELINE);

  SelectObject(dc, old_font);
  DeleteObject(small);
  DeleteObject(big);
  EndPaint(window, &paint);
}

LRESULT CALLBACK WindowProc(HWND window, UINT message, WPARAM wparam, LPARAM lparam) {
  switch (message) {
    case WM_PAINT:
      Paint(window);
      return 0;
    case WM_KEYDOWN:
      if (wparam == VK_ESCAPE) DestroyWindow(window);
      return 0;
    case WM_DESTROY:
      PostQuitMessage(0);
      return 0;
    default:
      return DefWindowProcA(window, message, wparam, lparam);
  }
}

}  // namespace

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int show) {
  text_height = ReadTextHeight(data_source);

  WNDCLASSA window_class = {};
  window_class.lpfnWndProc = WindowProc;
  window_class.hInstance = instance;
  window_class.hCursor = LoadCursor(nullptr, IDC_ARROW);
  window_class.lpszClassName = "QuillfenDemoGame";
  RegisterClassA(&window_class);

  // The client area gets exactly the stored size; the frame comes on top of it.
  const DWORD style = WS_OVERLAPPED | WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX;
  RECT frame = {0, 0, static_cast<LONG>(qfdemo_window_size.width),
                static_cast<LONG>(qfdemo_window_size.height)};
  AdjustWindowRect(&frame, style, FALSE);
  HWND window = CreateWindowA(window_class.lpszClassName, kTitle, style, CW_USEDEFAULT,
                              CW_USEDEFAULT, frame.right - frame.left, frame.bottom - frame.top,
                              nullptr, nullptr, instance, nullptr);
  if (!window) return 1;
  ShowWindow(window, show);
  UpdateWindow(window);

  MSG message;
  while (GetMessageA(&message, nullptr, 0, 0) > 0) {
    TranslateMessage(&message);
    DispatchMessageA(&message);
  }
  return static_cast<int>(message.wParam);
}
