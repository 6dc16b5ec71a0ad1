#include "platform/win32/text_compare.h"
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
  return win32::SameTextNoCase(a, b);
}

}  // namespace quillfen
