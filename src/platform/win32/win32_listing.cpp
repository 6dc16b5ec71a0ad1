#include <algorithm>

#include "platform/win32/utf8.h"
#include "platform/win32/win32_owners.h"
#include "platform/win32/win32_system.h"

namespace quillfen {

using win32::Narrow;
using win32::Widen;

bool Win32System::IsFixedDisk(const std::string& root) {
  return GetDriveTypeW(Widen(root).c_str()) == DRIVE_FIXED;
}

std::vector<DirEntry> Win32System::ListFolder(const std::string& pattern) {
  std::vector<DirEntry> entries;
  WIN32_FIND_DATAW data;
  const auto find = win32::UniqueFind(FindFirstFileW(Widen(pattern).c_str(), &data));
  if (!find) return entries;  // nothing matches, or the folder cannot be listed
  do {
    const DWORD attributes = data.dwFileAttributes;
    entries.push_back({Narrow(data.cFileName), (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0,
                       (attributes & (FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM)) != 0,
                       (attributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0});
  } while (FindNextFileW(find.Get(), &data));
  return entries;
}

bool Win32System::SameTextNoCase(const std::string& a, const std::string& b) {
  // Two ASCII texts are the same without regard to case exactly when they
  // match letter for letter with A to Z folded: the folder search compares
  // every name it lists, so this spares the conversion and the locale.
  const auto ascii = [](const std::string& text) {
    return std::all_of(text.begin(), text.end(), [](char c) { return (c & 0x80) == 0; });
  };
  if (ascii(a) && ascii(b)) {
    const auto fold = [](char c) { return c >= 'a' && c <= 'z' ? static_cast<char>(c - 32) : c; };
    return a.size() == b.size() &&
           std::equal(a.begin(), a.end(), b.begin(), [&](char x, char y) { return fold(x) == fold(y); });
  }
  const std::wstring wide_a = Widen(a);
  const std::wstring wide_b = Widen(b);
  return CompareStringW(LOCALE_USER_DEFAULT, NORM_IGNORECASE, wide_a.data(),
                        static_cast<int>(wide_a.size()), wide_b.data(),
                        static_cast<int>(wide_b.size())) == CSTR_EQUAL;
}

}  // namespace quillfen
