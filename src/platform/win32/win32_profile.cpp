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

std::string Win32System::FullPath(const std::string& path) {
  return win32::FullPath(path);
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
// page, or UTF-16 after a byte-order mark. It fills the buffer it is given and
// cuts the value there: a value that fills it is read again with a larger one.
std::string Win32System::ReadProfileString(const std::string& section, const std::string& key,
                                           const std::string& path) {
  const std::wstring wide_section = Widen(section);
  const std::wstring wide_key = Widen(key);
  const std::wstring wide_path = Widen(path);
  std::wstring buffer(4096, L'\0');
  for (;;) {
    const DWORD length =
        GetPrivateProfileStringW(wide_section.c_str(), wide_key.c_str(), L"", buffer.data(),
                                 static_cast<DWORD>(buffer.size()), wide_path.c_str());
    if (length + 1 < buffer.size()) return Narrow(std::wstring_view(buffer.data(), length));
    buffer.resize(buffer.size() * 2);
  }
}

}  // namespace quillfen
