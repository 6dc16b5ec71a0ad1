#include "platform/win32/utf8.h"

#include <windows.h>

#include <algorithm>

namespace quillfen::win32 {

// Most names are plain ASCII, which both forms spell alike: those are copied
// without asking the system, since the folder search converts every name it lists.
std::wstring Widen(std::string_view utf8) {
  if (std::all_of(utf8.begin(), utf8.end(), [](char c) { return (c & 0x80) == 0; })) {
    return std::wstring(utf8.begin(), utf8.end());
  }
  const int size = static_cast<int>(utf8.size());
  const int length = MultiByteToWideChar(CP_UTF8, 0, utf8.data(), size, nullptr, 0);
  std::wstring wide(static_cast<std::size_t>(length), L'\0');
  MultiByteToWideChar(CP_UTF8, 0, utf8.data(), size, wide.data(), length);
  return wide;
}

std::string Narrow(std::wstring_view wide) {
  if (std::all_of(wide.begin(), wide.end(), [](wchar_t c) { return c < 0x80; })) {
    std::string ascii(wide.size(), '\0');
    std::transform(wide.begin(), wide.end(), ascii.begin(),
                   [](wchar_t c) { return static_cast<char>(c); });
    return ascii;
  }
  // At most three bytes of UTF-8 for each UTF-16 unit: one pass into room enough.
  const int size = static_cast<int>(wide.size());
  std::string utf8(wide.size() * 3, '\0');
  const int length = WideCharToMultiByte(CP_UTF8, 0, wide.data(), size, utf8.data(),
                                         static_cast<int>(utf8.size()), nullptr, nullptr);
  utf8.resize(static_cast<std::size_t>(length > 0 ? length : 0));
  return utf8;
}

}  // namespace quillfen::win32
