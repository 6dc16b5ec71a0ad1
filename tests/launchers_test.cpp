// The readers of the launchers' files, on files as players' machines hold them.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "search/launchers/json_paths.h"
#include "search/launchers/keyvalues.h"

namespace quillfen {
namespace {

using Paths = std::vector<std::string>;

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

}  // namespace
}  // namespace quillfen
