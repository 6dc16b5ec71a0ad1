#include "platform/win32/full_path.h"

#include <windows.h>

#include <algorithm>

#include "base/ascii_case.h"
#include "platform/win32/utf8.h"

namespace quillfen::win32 {

namespace {

bool StartsWith(std::wstring_view text, std::wstring_view start, bool ignore_case = false) {
  if (text.size() < start.size()) return false;
  return std::equal(start.begin(), start.end(), text.begin(), [&](wchar_t a, wchar_t b) {
    const auto fold = [&](wchar_t c) { return ignore_case ? UpperAscii(c) : c; };
    return fold(a) == fold(b);
  });
}

bool IsDriveLetter(wchar_t c) {
  return (c >= L'A' && c <= L'Z') || (c >= L'a' && c <= L'z');
}

}  // namespace

std::wstring PlainPath(std::wstring_view path) {
  for (const std::wstring_view prefix : {L"\\\\?\\", L"\\??\\", L"\\\\.\\"}) {
    if (!StartsWith(path, prefix)) continue;
    const std::wstring_view rest = path.substr(prefix.size());
    // A drive and its root folder; "C:" alone would be the volume itself.
    if (rest.size() >= 3 && IsDriveLetter(rest[0]) && rest[1] == L':' && rest[2] == L'\\') {
      return std::wstring(rest);
    }
    if (StartsWith(rest, L"UNC\\", true) && rest.size() > 4) {
      return L"\\\\" + std::wstring(rest.substr(4));
    }
    break;
  }
  return std::wstring(path);
}

std::string FullPath(const std::string& path) {
  const std::wstring plain = PlainPath(Widen(path));
  std::wstring full(MAX_PATH, L'\0');
  DWORD length =
      GetFullPathNameW(plain.c_str(), static_cast<DWORD>(full.size()), full.data(), nullptr);
  if (length >= full.size()) {
    full.resize(length);
    length = GetFullPathNameW(plain.c_str(), static_cast<DWORD>(full.size()), full.data(), nullptr);
  }
  if (length > 0 && length < full.size()) {
    full.resize(length);
  } else {
    full = plain;
    std::replace(full.begin(), full.end(), L'/', L'\\');
  }
  // A path that resolves to a verbatim one ("//?/C:/x" reads as "\\?\C:\x").
  return Narrow(PlainPath(full));
}

}  // namespace quillfen::win32
