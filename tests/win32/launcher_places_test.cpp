// Where the registry and the launchers' data folders place the games, read by
// the Win32 system, and the roots find walks from them, on real files of Q:.
#include <gtest/gtest.h>
#include <windows.h>

#include <string>
#include <vector>

#include "platform/win32/win32_system.h"
#include "search/game_roots.h"
#include "win32/real_files.h"

namespace quillfen {
namespace {

using testing::ScratchFolder;

const wchar_t* const kSteamKey = L"Software\\Valve\\Steam";
const wchar_t* const kGogKey = L"SOFTWARE\\WOW6432Node\\GOG.com\\Games\\1207658924";

void SetText(HKEY root, const wchar_t* key, const wchar_t* name, const std::wstring& value) {
  ASSERT_EQ(RegSetKeyValueW(root, key, name, REG_SZ, value.c_str(),
                            static_cast<DWORD>((value.size() + 1) * sizeof(wchar_t))),
            ERROR_SUCCESS);
}

class LauncherPlacesTest : public ::testing::Test {
 protected:
  LauncherPlacesTest() : folder("launchers") {
    GetEnvironmentVariableW(L"ProgramData", program_data, MAX_PATH);
  }
  ~LauncherPlacesTest() override {
    RegDeleteTreeW(HKEY_CURRENT_USER, kSteamKey);
    RegDeleteTreeW(HKEY_LOCAL_MACHINE, L"SOFTWARE\\WOW6432Node\\GOG.com");
    SetEnvironmentVariableW(L"ProgramData", program_data);
  }

  ScratchFolder folder;
  Win32System system;
  wchar_t program_data[MAX_PATH] = {};
};

TEST_F(LauncherPlacesTest, SteamGogAndEpicFromTheRegistryAndTheirFiles) {
  // Steam writes its folder in lower case with forward slashes.
  SetText(HKEY_CURRENT_USER, kSteamKey, L"SteamPath", L"q:/launchers/steam");
  SetText(HKEY_LOCAL_MACHINE, kGogKey, L"path", L"Q:\\launchers\\GOG Games\\Racer");
  SetText(HKEY_LOCAL_MACHINE, kGogKey, L"gameName", L"Racer");
  SetEnvironmentVariableW(L"ProgramData", L"Q:\\launchers\\ProgramData");

  const LauncherPlaces places = system.GameLauncherPlaces();
  const std::string epic =
      folder.Path() + "ProgramData\\Epic\\EpicGamesLauncher\\Data\\Manifests\\";
  EXPECT_EQ(places.steam_folders, std::vector<std::string>{"q:\\launchers\\steam\\"});
  EXPECT_EQ(places.game_folders, std::vector<std::string>{folder.Path() + "GOG Games\\Racer\\"});
  EXPECT_EQ(places.manifest_folders, std::vector<std::string>{epic});

  folder.Write(
      "steam\\steamapps\\libraryfolders.vdf",
      "\"libraryfolders\"\n{\n\t\"0\"\n\t{\n\t\t\"path\"\t\t\"q:\\\\launchers\\\\steam\"\n\t}\n"
      "\t\"1\"\n\t{\n\t\t\"path\"\t\t\"Q:\\\\launchers\\\\Library\"\n\t}\n}\n");
  folder.Write("steam\\steamapps\\common\\Racer\\racer.exe", "");
  folder.Write("Library\\steamapps\\common\\Flyer\\fly.exe", "");
  folder.Write("GOG Games\\Racer\\racer.exe", "");
  folder.Write("ProgramData\\Epic\\EpicGamesLauncher\\Data\\Manifests\\0A1B.item",
               "{\"InstallLocation\": \"Q:\\\\launchers\\\\Epic Games\\\\Zeppelin\"}");
  folder.Write("Epic Games\\Zeppelin\\zep.exe", "");

  const GameRoots found = GameSearchRoots(system);
  std::vector<std::string> roots;
  for (const SearchRoot& root : found.roots) roots.push_back(root.folder);
  ASSERT_GE(roots.size(), 4u);
  EXPECT_EQ(std::vector<std::string>(roots.begin(), roots.begin() + 4),
            (std::vector<std::string>{"q:\\launchers\\steam\\steamapps\\common\\",
                                      folder.Path() + "Library\\steamapps\\common\\",
                                      folder.Path() + "GOG Games\\Racer\\",
                                      folder.Path() + "Epic Games\\Zeppelin\\"}));
  // Then the fixed disks, C: and Q: among them.
  EXPECT_NE(std::find(roots.begin() + 4, roots.end(), "C:\\"), roots.end());
  EXPECT_NE(std::find(roots.begin() + 4, roots.end(), "Q:\\"), roots.end());
}

}  // namespace
}  // namespace quillfen
