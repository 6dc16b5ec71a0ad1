// Where the registry and the launchers' data folders say the game launchers of
// Windows keep their libraries.
#include <cwchar>
#include <iterator>
#include <optional>

#include "platform/win32/utf8.h"
#include "platform/win32/win32_owners.h"
#include "platform/win32/win32_system.h"

namespace quillfen {

using win32::Narrow;

namespace {

// A text value of a registry key, or nothing; an expandable text comes expanded.
std::optional<std::wstring> TextValue(HKEY key, const wchar_t* subkey, const wchar_t* name) {
  DWORD bytes = 0;
  if (RegGetValueW(key, subkey, name, RRF_RT_REG_SZ, nullptr, nullptr, &bytes) != ERROR_SUCCESS) {
    return std::nullopt;
  }
  std::wstring text(bytes / sizeof(wchar_t) + 1, L'\0');
  bytes = static_cast<DWORD>(text.size() * sizeof(wchar_t));
  if (RegGetValueW(key, subkey, name, RRF_RT_REG_SZ, nullptr, text.data(), &bytes) !=
      ERROR_SUCCESS) {
    return std::nullopt;
  }
  text.resize(wcsnlen(text.c_str(), text.size()));
  if (text.empty()) return std::nullopt;
  return text;
}

// A folder as the program's paths have it: backslashes, one at the end.
std::string Folder(std::wstring path) {
  for (wchar_t& c : path) c = c == L'/' ? L'\\' : c;
  if (path.back() != L'\\') path.push_back(L'\\');
  return Narrow(path);
}

}  // namespace

LauncherPlaces Win32System::GameLauncherPlaces() {
  LauncherPlaces places;
  // Steam writes its folder with forward slashes ("c:/program files (x86)/steam").
  if (auto steam = TextValue(HKEY_CURRENT_USER, L"Software\\Valve\\Steam", L"SteamPath")) {
    places.steam_folders.push_back(Folder(*steam));
  }

  // GOG Galaxy: one key per game, its folder in "path".
  HKEY opened = nullptr;
  if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, L"SOFTWARE\\WOW6432Node\\GOG.com\\Games", 0,
                    KEY_READ | KEY_WOW64_64KEY, &opened) == ERROR_SUCCESS) {
    const win32::UniqueKey games(opened);
    wchar_t name[256];
    for (DWORD index = 0;; ++index) {
      DWORD length = static_cast<DWORD>(std::size(name));
      const LSTATUS status =
          RegEnumKeyExW(games.Get(), index, name, &length, nullptr, nullptr, nullptr, nullptr);
      if (status == ERROR_MORE_DATA) continue;  // a name longer than any game id
      if (status != ERROR_SUCCESS) break;
      if (auto path = TextValue(games.Get(), name, L"path")) {
        places.game_folders.push_back(Folder(*path));
      }
    }
  }

  // Epic: a manifest per installed game in the launcher's data folder.
  wchar_t data[MAX_PATH];
  const DWORD length = GetEnvironmentVariableW(L"ProgramData", data, MAX_PATH);
  if (length > 0 && length < MAX_PATH) {
    places.manifest_folders.push_back(
        Folder(std::wstring(data, length) + L"\\Epic\\EpicGamesLauncher\\Data\\Manifests"));
  }
  return places;
}

}  // namespace quillfen
