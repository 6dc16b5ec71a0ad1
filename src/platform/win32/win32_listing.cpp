#include <string_view>

#include "platform/win32/text_compare.h"
#include "platform/win32/utf8.h"
#include "platform/win32/win32_owners.h"
#include "platform/win32/win32_system.h"

namespace quillfen {

using win32::Narrow;
using win32::Widen;

std::vector<SearchPlace> Win32System::SearchRoots() {
  std::vector<SearchPlace> roots;
  for (wchar_t letter = L'A'; letter <= L'Z'; ++letter) {
    const wchar_t root[] = {letter, L':', L'\\', L'\0'};
    if (GetDriveTypeW(root) == DRIVE_FIXED) roots.push_back({Narrow(root), false});
  }
  return roots;
}

FolderListing Win32System::ListFolder(const std::string& folder) {
  const auto refused = [&](DWORD error) {
    return FolderListing{{},
                         SystemFileError(FileAction::kList, folder, error, SystemErrorText(error))};
  };
  if (folder.empty()) return refused(ERROR_PATH_NOT_FOUND);
  std::vector<DirEntry> entries;
  WIN32_FIND_DATAW data;
  const auto find = win32::UniqueFind(FindFirstFileW(Widen(folder + "*").c_str(), &data));
  if (!find) {
    // The root of an empty disk lists nothing at all, not even "." and "..".
    const DWORD error = GetLastError();
    if (error == ERROR_FILE_NOT_FOUND) return {};
    return refused(error);
  }
  do {
    const std::wstring_view name = data.cFileName;
    if (name == L"." || name == L"..") continue;
    const DWORD attributes = data.dwFileAttributes;
    entries.push_back({Narrow(data.cFileName), Narrow(data.cAlternateFileName),
                       (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0,
                       (attributes & (FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM)) != 0,
                       (attributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0});
  } while (FindNextFileW(find.Get(), &data));
  return {std::move(entries), std::nullopt};
}

bool Win32System::SameTextNoCase(const std::string& a, const std::string& b) {
  return win32::SameTextNoCase(a, b);
}

}  // namespace quillfen
