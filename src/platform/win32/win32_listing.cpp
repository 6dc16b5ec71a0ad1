#include "platform/win32/win32_system.h"

namespace quillfen {

bool Win32System::IsFixedDisk(const std::string& root) {
  return GetDriveTypeA(root.c_str()) == DRIVE_FIXED;
}

std::vector<DirEntry> Win32System::ListFolder(const std::string& pattern) {
  std::vector<DirEntry> entries;
  WIN32_FIND_DATAA data;
  const HANDLE find = FindFirstFileA(pattern.c_str(), &data);
  if (find == INVALID_HANDLE_VALUE) return entries;  // nothing matches, or cannot be listed
  do {
    const DWORD attributes = data.dwFileAttributes;
    entries.push_back({data.cFileName, (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0,
                       (attributes & (FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM)) != 0});
  } while (FindNextFileA(find, &data));
  FindClose(find);
  return entries;
}

bool Win32System::SameTextNoCase(const std::string& a, const std::string& b) {
  return CompareStringA(LOCALE_USER_DEFAULT, NORM_IGNORECASE, a.data(), static_cast<int>(a.size()),
                        b.data(), static_cast<int>(b.size())) == CSTR_EQUAL;
}

}  // namespace quillfen
