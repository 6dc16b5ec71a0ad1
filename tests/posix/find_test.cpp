// quillfen-cli find without a folder, on a home folder laid out as a Linux
// player's: Steam with two libraries and a Proton prefix, Heroic, legendary,
// Lutris, a Wine prefix, links that lead back up.
#include <gtest/gtest.h>
#include <sqlite3.h>
#include <unistd.h>

#include <sstream>

#include "cli/cli.h"
#include "platform/posix/posix_system.h"
#include "posix/temp_folder.h"

namespace quillfen {
namespace {

using testing::TempFolder;

const std::string kIni =
    "[apps]\r\nversion=1.03\r\na0=Racer\r\n"
    "[Racer]\r\ncheckfile=RACER.EXE\r\nmodfile=RACER.EXE\r\nsig=5146\r\nxoffset=8\r\n";

// Lutris's game database: the installed games and their folders.
void WriteLutrisDatabase(const std::string& path,
                         const std::vector<std::pair<std::string, int>>& games) {
  sqlite3* db = nullptr;
  ASSERT_EQ(sqlite3_open(path.c_str(), &db), SQLITE_OK);
  std::string sql =
      "CREATE TABLE games (id INTEGER PRIMARY KEY, name TEXT, slug TEXT, runner TEXT, "
      "directory TEXT, installed INTEGER, configpath TEXT);";
  for (const auto& [directory, installed] : games) {
    sql += "INSERT INTO games (name, runner, directory, installed) VALUES ('Racer', 'wine', '" +
           directory + "', " + std::to_string(installed) + ");";
  }
  EXPECT_EQ(sqlite3_exec(db, sql.c_str(), nullptr, nullptr, nullptr), SQLITE_OK);
  sqlite3_close(db);
}

class FindTest : public ::testing::Test {
 protected:
  FindTest() {
    ini.Write("patches.ini", kIni);
    const std::string& h = home.Path();
    const std::string steam = ".local/share/Steam/";
    home.Write(steam + "steamapps/libraryfolders.vdf",
               "\"libraryfolders\"\n{\n\t\"0\"\n\t{\n\t\t\"path\"\t\t\"" + h +
                   ".local/share/Steam\"\n"
                   "\t\t\"apps\"\n\t\t{\n\t\t\t\"228980\"\t\t\"1\"\n\t\t}\n\t}\n"
                   "\t\"1\"\n\t{\n\t\t\"path\"\t\t\"" +
                   h + "SDCard\"\n\t}\n}\n");
    home.Write(steam + "steamapps/common/Racer/racer.exe", "");
    home.Write("SDCard/steamapps/common/Racer SD/Racer.exe", "");
    home.Write(steam + "steamapps/compatdata/228980/pfx/drive_c/Racer/racer.exe", "");
    Link(h + ".local/share/Steam", ".steam/steam");
    Link(h + ".local/share/Steam", ".steam/root");
    home.Write(".config/heroic/gog_store/installed.json",
               R"({"installed": [{"install_path": ")" + h + R"(Games/Heroic/Racer GOG"}]})");
    home.Write("Games/Heroic/Racer GOG/RACER.EXE", "");
    home.Write(".config/legendary/installed.json",
               R"({"Racer": {"install_path": ")" + h + R"(Games/Legendary/Racer"}})");
    home.Write("Games/Legendary/Racer/racer.exe", "");
    // A malformed list of Heroic's Flatpak home.
    home.Write(".var/app/com.heroicgameslauncher.hgl/config/heroic/gog_store/installed.json",
               "{\"installed\": [");
    // Lutris installed a game into the Wine prefix; it forgot another one.
    home.Write(".local/share/lutris/.keep", "");
    WriteLutrisDatabase(h + ".local/share/lutris/pga.db",
                        {{h + ".wine", 1}, {h + "Games/lutris/old", 0}});
    home.Write(".wine/drive_c/Racer/racer.exe", "");
    home.Write(".local/share/bottles/bottles/Office/drive_c/Racer/racer.exe", "");
    // Steam's Flatpak home, with a list cut short.
    home.Write(".var/app/com.valvesoftware.Steam/.local/share/Steam/steamapps/libraryfolders.vdf",
               "\"libraryfolders\" { \"0\" {");
    home.Write("Games/lutris/old/racer.exe", "");
    home.Write("Zed/racer.exe", "");
    // Links back up to the home folder, as a Wine prefix's drive letters are.
    Link(h, ".wine/dosdevices/z:");
    Link(h, "Zed/up");
  }

  void Link(const std::string& target, const std::string& name) {
    home.Write(name, "");
    ::unlink((home.Path() + name).c_str());
    ASSERT_EQ(::symlink(target.c_str(), (home.Path() + name).c_str()), 0);
  }

  int Run(const std::vector<std::string>& args, std::function<bool()> out_closed = nullptr) {
    out.str("");
    err.str("");
    CliEnvironment env(system, out, err);
    if (out_closed) env.out_closed = std::move(out_closed);
    env.default_ini = ini.Path() + "patches.ini";
    return RunCli(args, env);
  }

  TempFolder ini;
  TempFolder home;
  PosixSystem system{home.Path()};
  std::ostringstream out;
  std::ostringstream err;
};

TEST_F(FindTest, LaunchersThenPrefixesThenHomeEachFolderOnce) {
  ASSERT_EQ(Run({"find", "Racer"}), kExitSuccess) << err.str();
  const std::string& h = home.Path();
  EXPECT_EQ(out.str(), h + ".local/share/Steam/steamapps/common/Racer\n" +  // Steam, library 0
                           h + "SDCard/steamapps/common/Racer SD\n" +       // library 1
                           h + "Games/Heroic/Racer GOG\n" +                 // Heroic
                           h + "Games/Legendary/Racer\n" +                  // legendary
                           h + ".wine/drive_c/Racer\n" +                    // Lutris: ~/.wine
                           h +
                           ".local/share/Steam/steamapps/compatdata/228980/pfx/drive_c/Racer\n" +
                           h + ".local/share/bottles/bottles/Office/drive_c/Racer\n" + h +
                           "Games/lutris/old\n" +  // the home folder's walk
                           h + "Zed\n");
  EXPECT_EQ(err.str(), "");  // nothing said of missing or malformed files

  ASSERT_EQ(Run({"--verbose", "find", "Racer"}), kExitSuccess);
  EXPECT_NE(err.str().find("quillfen-cli: skipped " + h +
                           ".var/app/com.heroicgameslauncher.hgl/config/heroic/gog_store/"
                           "installed.json: not in its launcher's format\n"),
            std::string::npos)
      << err.str();
  EXPECT_NE(err.str().find("quillfen-cli: skipped " + h +
                           ".config/heroic/legendaryConfig/legendary/installed.json: not found\n"),
            std::string::npos);
  EXPECT_NE(err.str().find("quillfen-cli: skipped " + h +
                           ".var/app/com.valvesoftware.Steam/.local/share/Steam/steamapps/"
                           "libraryfolders.vdf: not in its launcher's format\n"),
            std::string::npos);

  // A root given walks that root alone, without its hidden folders.
  ASSERT_EQ(Run({"find", "Racer", h + "Zed"}), kExitSuccess);
  EXPECT_EQ(out.str(), h + "Zed\n");
}

TEST_F(FindTest, AReaderThatStoppedEndsTheWalk) {
  ASSERT_EQ(Run({"find", "Racer"}, [this] { return !out.str().empty(); }), kExitSuccess);
  EXPECT_EQ(out.str(), home.Path() + ".local/share/Steam/steamapps/common/Racer\n");
}

TEST_F(FindTest, DamagedLutrisDatabaseIsSkipped) {
  home.Write(".local/share/lutris/pga.db", std::string(4096, 'x'));
  ASSERT_EQ(Run({"-v", "find", "Racer"}), kExitSuccess);
  EXPECT_NE(err.str().find("skipped " + home.Path() + ".local/share/lutris/pga.db"),
            std::string::npos);
  // Its folder is still found, in the Wine prefixes' turn.
  EXPECT_NE(out.str().find(home.Path() + ".wine/drive_c/Racer\n"), std::string::npos);
}

}  // namespace
}  // namespace quillfen
