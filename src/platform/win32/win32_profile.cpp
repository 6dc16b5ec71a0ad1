#include "platform/win32/win32_system.h"

namespace quillfen {

std::string Win32System::ExecutableFolder() {
  std::string path(MAX_PATH, '\0');
  for (;;) {
    const DWORD length = GetModuleFileNameA(nullptr, path.data(), static_cast<DWORD>(path.size()));
    if (length == 0) return {};
    if (length < path.size()) {
      path.resize(length);
      break;
    }
    path.resize(path.size() * 2);  // truncated: try again with room to spare
  }
  const std::size_t sep = path.find_last_of("\\:");
  return sep == std::string::npos ? std::string() : path.substr(0, sep + 1);
}

std::string Win32System::ReadProfileString(const std::string& section, const std::string& key,
                                           const std::string& path) {
  char buffer[3000];
  const DWORD length = GetPrivateProfileStringA(section.c_str(), key.c_str(), "", buffer,
                                                sizeof buffer, path.c_str());
  return length == 0 ? std::string() : std::string(buffer, length);
}

}  // namespace quillfen
