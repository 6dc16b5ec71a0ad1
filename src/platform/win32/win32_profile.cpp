#include "platform/win32/full_path.h"
#include "platform/win32/utf8.h"
#include "platform/win32/win32_system.h"

namespace quillfen {

using win32::Narrow;
using win32::Widen;

std::string Win32System::ExecutableFolder() {
  const std::string path = ExecutablePath();
  const std::size_t sep = path.find_last_of("\\:");
  return sep == std::string::npos ? std::string() : path.substr(0, sep + 1);
}

std::string Win32System::ExecutablePath() {
  std::wstring path(MAX_PATH, L'\0');
  for (;;) {
    const DWORD length = GetModuleFileNameW(nullptr, path.data(), static_cast<DWORD>(path.size()));
    if (length == 0) return {};
    if (length < path.size()) {
      path.resize(length);
      break;
    }
    path.resize(path.size() * 2);  // truncated: try again with room to spare
  }
  // Started through a verbatim path, the program is told that path: it is
  // taken in the plain form, as every other path is.
  return Narrow(win32::PlainPath(path));
}

// The profile reader decodes the file itself: text in the system's ANSI code
// page, or UTF-16 after a byte-order mark. Values are cut at 2999 characters.
std::string Win32System::ReadProfileString(const std::string& section, const std::string& key,
                                           const std::string& path) {
  wchar_t buffer[3000];
  const DWORD length = GetPrivateProfileStringW(
      Widen(section).c_str(), Widen(key).c_str(), L"", buffer,
      static_cast<DWORD>(sizeof buffer / sizeof buffer[0]), Widen(path).c_str());
  return Narrow(std::wstring_view(buffer, length));
}

}  // namespace quillfen
