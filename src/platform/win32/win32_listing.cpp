#include "platform/win32/win32_system.h"

namespace quillfen {

int Win32System::DriveType(const std::string& root) {
  return static_cast<int>(GetDriveTypeA(root.c_str()));
}

std::vector<DirEntry> Win32System::ListFolder(const std::string& pattern) {
  std::vector<DirEntry> entries;
  WIN32_FIND_DATAA data;
  const HANDLE find = FindFirstFileA(pattern.c_str(), &data);
  if (find == INVALID_HANDLE_VALUE) return entries;  // nothing matches, or cannot be listed
  do {
    entries.push_back({data.cFileName, static_cast<std::uint32_t>(data.dwFileAttributes)});
  } while (FindNextFileA(find, &data));
  FindClose(find);
  return entries;
}

bool Win32System::SameTextNoCase(const std::string& a, const std::string& b) {
  return CompareStringA(LOCALE_USER_DEFAULT, NORM_IGNORECASE, a.data(), static_cast<int>(a.size()),
                        b.data(), static_cast<int>(b.size())) == CSTR_EQUAL;
}

}  // namespace quillfen
