// The launchers' files as they are found on players' machines, and the order
// in which find walks what they name.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "search/game_roots.h"
#include "search/launchers/json_paths.h"
#include "search/launchers/keyvalues.h"
#include "support/memory_system.h"

namespace quillfen {
namespace {

using testing::MemorySystem;
using Paths = std::vector<std::string>;

constexpr int kDriveRemovable = 2;

// Steam's libraryfolders.vdf with two libraries, as Steam writes it on Linux.
const char* const kLibraryFolders = R"("libraryfolders"
{
	"0"
	{
		"path"		"/home/deck/.local/share/Steam"
		"label"		""
		"contentid"		"4155258430473466104"
		"totalsize"		"0"
		"update_clean_bytes_tally"		"0"
		"time_last_update_corruption"		"0"
		"apps"
		{
			"228980"		"364213372"
			"1245620"		"49503216451"
		}
	}
	"1"
	{
		"path"		"/run/media/mmcblk0p1"
		"label"		"SD \"card\""
		"contentid"		"2710587446281839170"
		"totalsize"		"510873075712"
		"apps"
		{
			"1145360"		"11452873981"
		}
	}
}
)";

TEST(SteamLibraries, ReadEveryFormSteamWroteAndRefuseBrokenText) {
  EXPECT_EQ(SteamLibraryPaths(kLibraryFolders),
            (Paths{"/home/deck/.local/share/Steam", "/run/media/mmcblk0p1"}));
  // Windows paths are escaped; the older form numbers bare texts beside other
  // keys; comments, conditions, a byte-order mark and any letter case pass.
  EXPECT_EQ(SteamLibraryPaths("\xEF\xBB\xBF// written by Steam\n\"LibraryFolders\"\n{\n"
                              "\t\"TimeNextStatsReport\"\t\t\"1690000000\"\n"
                              "\t\"ContentStatsID\"\t\t\"-123\"\n"
                              "\t\"1\"\t\t\"D:\\\\SteamLibrary\" [$WIN32]\n"
                              "\t\"2\"\t\t\"E:\\\\Games\\\\Steam\"\n}\n"),
            (Paths{"D:\\SteamLibrary", "E:\\Games\\Steam"}));
  EXPECT_EQ(SteamLibraryPaths("libraryfolders { 0 { path /srv/games } }"), Paths{"/srv/games"});
  EXPECT_EQ(SteamLibraryPaths("\"libraryfolders\" { }"), Paths{});

  for (const char* broken : {"", "\"libraryfolders\"", "\"libraryfolders\" {", "}",
                             "\"libraryfolders\" { \"0\" { \"path\" \"/x }}",
                             "\"appstate\" { \"0\" \"/x\" }", "<html>not a vdf</html> {"}) {
    EXPECT_EQ(SteamLibraryPaths(broken), std::nullopt) << broken;
  }
}

TEST(SteamLibraries, NestedBlocksKeepTheirPairs) {
  const auto pairs = ParseKeyValues(kLibraryFolders);
  ASSERT_TRUE(pairs && pairs->size() == 1);
  const KeyValues* sd = (*pairs)[0].Child("1");
  ASSERT_NE(sd, nullptr);
  EXPECT_EQ(sd->Child("LABEL")->value, "SD \"card\"");
  EXPECT_EQ(sd->Child("apps")->Child("1145360")->value, "11452873981");
  EXPECT_EQ(sd->Child("missing"), nullptr);
}

// Heroic's GOG list, legendary's (Epic) list and an Epic launcher manifest, trimmed.
const char* const kHeroicGog = R"({
  "installed": [
    {"platform": "windows", "executable": "", "install_path": "/home/deck/Games/Heroic/Racer",
     "install_size": "1.2 GiB", "is_dlc": false, "version": "1.0", "appName": "1207658924"},
    {"platform": "linux", "install_path": "/home/deck/Games/Heroic/Flyer", "appName": "42"}
  ]
})";
const char* const kLegendary = R"({
  "Zeppelin": {"app_name": "Zeppelin", "install_path": "/home/deck/Games/Heroic/Zeppelin",
               "title": "Zeppelin", "version": "1.1", "prereq_info": {"ids": []}},
  "Anchor": {"app_name": "Anchor", "install_path": "/mnt/games/Anchor", "is_dlc": false}
})";
const char* const kEpicManifest = R"({"FormatVersion": 0, "bIsIncompleteInstall": false,
  "LaunchExecutable": "Racer.exe", "InstallLocation": "C:\\Program Files\\Epic Games\\Racer",
  "AppName": "Racer"})";

TEST(LauncherJson, InstallPathsOfEveryShapeInFileOrder) {
  EXPECT_EQ(JsonTextsNamed(kHeroicGog, "install_path"),
            (Paths{"/home/deck/Games/Heroic/Racer", "/home/deck/Games/Heroic/Flyer"}));
  EXPECT_EQ(JsonTextsNamed(kLegendary, "install_path"),
            (Paths{"/home/deck/Games/Heroic/Zeppelin", "/mnt/games/Anchor"}));
  EXPECT_EQ(JsonTextsNamed(kEpicManifest, "InstallLocation"),
            Paths{"C:\\Program Files\\Epic Games\\Racer"});
  EXPECT_EQ(JsonTextsNamed("{}", "install_path"), Paths{});
  EXPECT_EQ(JsonTextsNamed(R"({"install_path": 7})", "install_path"), Paths{});
  for (const char* broken : {"", "{", "{\"installed\": [}", "install_path", "\xFF\xFE{}"}) {
    EXPECT_EQ(JsonTextsNamed(broken, "install_path"), std::nullopt) << broken;
  }
}

// A home folder on H: (a removable drive, so there are no fixed disks), with
// every launcher's file, and the folders they name.
class GameRootsTest : public ::testing::Test {
 protected:
  GameRootsTest() {
    system.AddDrive('H', kDriveRemovable);
    system.AddFolder(kHome);
  }

  // Launchers write POSIX paths; here they become paths of H:.
  static std::string ToEngine(const std::string& written) {
    std::string path = "H:" + written;
    for (char& c : path) c = c == '/' ? '\\' : c;
    return path;
  }

  Paths Roots() {
    result = GameSearchRoots(system, {kHome, ToEngine});
    Paths folders;
    for (const SearchRoot& root : result.roots) folders.push_back(root.folder);
    return folders;
  }

  static constexpr const char* kHome = "H:\\home\\deck\\";
  MemorySystem system;
  GameRoots result;
};

TEST_F(GameRootsTest, LaunchersThenPrefixesThenTheHomeFolderEachFolderOnce) {
  const std::string steam = "H:\\home\\deck\\.local\\share\\Steam\\";
  system.AddFile(steam + "steamapps\\libraryfolders.vdf", kLibraryFolders);
  system.AddFolder(steam + "steamapps\\common\\Racer");
  system.AddFolder(steam + "steamapps\\compatdata\\228980\\pfx\\drive_c");
  system.AddFolder(steam + "steamapps\\compatdata\\1245620\\pfx\\drive_c");
  system.AddFolder("H:\\run\\media\\mmcblk0p1\\steamapps\\common");
  system.AddFolder("H:\\run\\media\\mmcblk0p1\\steamapps\\compatdata\\1145360\\pfx\\drive_c");
  // The same Steam again through its Flatpak home: its library is the SD card's.
  system.AddFile(
      "H:\\home\\deck\\.var\\app\\com.valvesoftware.Steam\\.local\\share\\Steam\\"
      "steamapps\\libraryfolders.vdf",
      "\"libraryfolders\" { \"0\" { \"path\" \"/run/media/mmcblk0p1\" } }");
  system.AddFile("H:\\home\\deck\\.config\\heroic\\gog_store\\installed.json", kHeroicGog);
  system.AddFile("H:\\home\\deck\\.config\\legendary\\installed.json", kLegendary);
  system.AddFolder("H:\\home\\deck\\Games\\Heroic\\Racer");
  system.AddFolder("H:\\home\\deck\\Games\\Heroic\\Zeppelin");
  system.AddFolder("H:\\mnt\\games\\Anchor");
  // Heroic's own copy of legendary's list, read first, names one of its games in other case.
  system.AddFile("H:\\home\\deck\\.config\\heroic\\legendaryConfig\\legendary\\installed.json",
                 R"({"Z": {"install_path": "/home/deck/games/heroic/ZEPPELIN"}})");
  system.AddFolder("H:\\home\\deck\\.wine\\drive_c");
  system.AddFolder("H:\\home\\deck\\.local\\share\\bottles\\bottles\\Office\\drive_c");
  system.AddFolder("H:\\home\\deck\\.local\\share\\bottles\\bottles\\Empty");

  EXPECT_EQ(Roots(),
            (Paths{
                steam + "steamapps\\common\\",
                "H:\\run\\media\\mmcblk0p1\\steamapps\\common\\",
                "H:\\home\\deck\\Games\\Heroic\\Racer\\",
                "H:\\home\\deck\\games\\heroic\\ZEPPELIN\\",  // Heroic's copy first
                "H:\\mnt\\games\\Anchor\\",
                "H:\\home\\deck\\.wine\\drive_c\\",
                steam + "steamapps\\compatdata\\1245620\\pfx\\drive_c\\",
                steam + "steamapps\\compatdata\\228980\\pfx\\drive_c\\",
                "H:\\run\\media\\mmcblk0p1\\steamapps\\compatdata\\1145360\\pfx\\drive_c\\",
                "H:\\home\\deck\\.local\\share\\bottles\\bottles\\Office\\drive_c\\",
                kHome,
            }));
  // Only the home folder is walked with its hidden folders, and it leaves out
  // every folder walked before it.
  const SearchRoot& home = result.roots.back();
  EXPECT_TRUE(home.rules.hidden_folders);
  EXPECT_EQ(home.rules.skipped.size(), result.roots.size() - 1);
  EXPECT_EQ(result.roots[1].rules.skipped, Paths{steam + "steamapps\\common\\"});
}

TEST_F(GameRootsTest, MissingAndMalformedFilesAreSkippedAndNamed) {
  system.AddFile("H:\\home\\deck\\.steam\\steam\\steamapps\\libraryfolders.vdf", "\"libraryf");
  system.AddFolder("H:\\home\\deck\\.steam\\steam\\steamapps\\common");
  system.AddFile("H:\\home\\deck\\.config\\legendary\\installed.json", "{\"Zeppelin\": ");
  system.AddFile("H:\\home\\deck\\.local\\share\\lutris\\pga.db", "not a database");

  // Steam's own folder is still searched without its list.
  EXPECT_EQ(Roots(), (Paths{"H:\\home\\deck\\.steam\\steam\\steamapps\\common\\", kHome}));
  Paths malformed;
  std::size_t missing = 0;
  for (const SkippedLauncherFile& skipped : result.skipped) {
    if (skipped.missing) ++missing;
    if (!skipped.missing) malformed.push_back(skipped.path);
  }
  EXPECT_EQ(malformed, (Paths{"H:\\home\\deck\\.steam\\steam\\steamapps\\libraryfolders.vdf",
                              "H:\\home\\deck\\.config\\legendary\\installed.json",
                              "H:\\home\\deck\\.local\\share\\lutris\\pga.db"}));
  EXPECT_EQ(missing, 5u);  // the other Heroic, legendary and Lutris files
}

TEST_F(GameRootsTest, WindowsPlacesFromTheSystemThenTheFixedDisks) {
  for (char letter : std::string("CDE")) system.AddDrive(letter);
  system.AddFolder("C:\\Steam\\steamapps\\common");
  system.AddFile("C:\\Steam\\steamapps\\libraryfolders.vdf",
                 "\"libraryfolders\" { \"0\" { \"path\" \"c:\\\\steam\" }"
                 " \"1\" { \"path\" \"D:\\\\SteamLibrary\" } }");
  system.AddFolder("D:\\SteamLibrary\\steamapps\\common");
  system.AddFolder("E:\\GOG Games\\Racer");
  const std::string manifests = "C:\\ProgramData\\Epic\\EpicGamesLauncher\\Data\\Manifests\\";
  system.AddFile(manifests + "0A1B.item", kEpicManifest);
  system.AddFile(manifests + "Pending.item", "{");
  system.AddFolder("C:\\Program Files\\Epic Games\\Racer");
  system.SetLauncherPlaces({{"C:\\Steam\\"}, {"E:\\GOG Games\\Racer"}, {manifests}});

  // No home folder, as on Windows: the places come from the system.
  result = GameSearchRoots(system, {"", [](const std::string& p) { return p; }});
  Paths folders;
  for (const SearchRoot& root : result.roots) folders.push_back(root.folder);
  EXPECT_EQ(folders, (Paths{"C:\\Steam\\steamapps\\common\\",
                            "D:\\SteamLibrary\\steamapps\\common\\", "E:\\GOG Games\\Racer\\",
                            "C:\\Program Files\\Epic Games\\Racer\\", "C:\\", "D:\\", "E:\\"}));
  // The disks are walked as the window walks them, without hidden folders.
  EXPECT_FALSE(result.roots[4].rules.hidden_folders);
  EXPECT_EQ(result.roots[6].rules.skipped.size(), 6u);
  ASSERT_EQ(result.skipped.size(), 1u);
  EXPECT_EQ(result.skipped[0].path, manifests + "Pending.item");
}

}  // namespace
}  // namespace quillfen
