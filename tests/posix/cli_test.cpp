// quillfen-cli's commands run in-process on real temporary folders through the
// POSIX system: outputs, exit statuses and what each command leaves on the disk.
#include "cli/cli.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <filesystem>
#include <functional>
#include <sstream>

#include "cli/command_table.h"
#include "cli/definition_places.h"
#include "cli/progress_line.h"
#include "definitions/game_loading.h"
#include "engine/crc32.h"
#include "engine/undo_record.h"
#include "platform/posix/posix_system.h"
#include "posix/temp_folder.h"
#include "support/game_files.h"
#include "support/memory_system.h"

namespace quillfen {
namespace {

using testing::GameFile;
using testing::TempFolder;

// One game whose definition names its file in capitals.
const std::string kRacerSection =
    "checkfile=RACER.EXE\r\nmodfile=RACER.EXE\r\nsig=514621736967\r\n"
    "sigwild=000000\r\nxoffset=8\r\nyoffset=12\r\noccur=1\r\n";
const std::string kIni = "[apps]\r\nversion=1.03\r\na0=Racer\r\na1=Racer Two\r\n[Racer]\r\n" +
                         kRacerSection + "[Racer Two]\r\nmodfile=two.exe\r\n";

class CliTest : public ::testing::Test {
 protected:
  CliTest() {
    folder.Write("patches.ini", kIni);
    original = GameFile(4096, 3, 1024, 768);
    game = folder.Path() + "game";
    folder.Write("game/racer.exe", original);
  }

  int Run(const std::vector<std::string>& args) {
    out.str("");
    err.str("");
    CliEnvironment env(system, out, err);
    env.default_ini = default_ini;
    env.user_ini = user_ini;
    env.looked = {"/a/patches.ini", "/b/patches.ini"};
    return RunCli(args, env);
  }

  std::int32_t ValueAt(const std::string& name, std::size_t position) {
    const Bytes bytes = folder.Read(name);
    std::uint32_t value = 0;
    for (int i = 0; i < 4; ++i) value |= std::uint32_t{bytes.at(position + i)} << (8 * i);
    return static_cast<std::int32_t>(value);
  }

  TempFolder folder;
  PosixSystem system{folder.Path()};
  std::string default_ini = folder.Path() + "patches.ini";
  std::string user_ini;  // none unless a test writes one
  std::ostringstream out;
  std::ostringstream err;
  Bytes original;
  std::string game;
};

TEST_F(CliTest, UsageErrorsSayWhatIsWrongInOneLineAndExitWithTwo) {
  const std::vector<std::pair<std::vector<std::string>, std::string>> bad = {
      {{}, "no command given"},
      {{"frobnicate"}, "unknown command 'frobnicate'"},
      {{"--frob", "games"}, "unknown option '--frob'"},
      {{"--ini"}, "--ini needs a FILE"},
      {{"locate", "Racer"}, "locate: too few arguments"},
      {{"games", "extra"}, "games: too many arguments"},
      {{"patch", "Racer", game, "1920x", "1080"}, "WIDTH must be 1 to 2147483647, not \"1920x\""},
      {{"patch", "Racer", game, "1920", "-1080"}, "unknown option '-1080'"},
      {{"patch", "Racer", game, "0", "1080"}, "WIDTH must be 1 to 2147483647, not 0"},
      {{"patch", "Racer", game, "1920", "2147483648"},
       "HEIGHT must be 1 to 2147483647, not 2147483648"},
      {{"patch", "Racer", game, "1920", "99999999999999999999999"},
       "HEIGHT must be 1 to 2147483647, not 99999999999999999999999"},
  };
  for (const auto& [args, reason] : bad) {
    EXPECT_EQ(Run(args), kExitUsage) << ::testing::PrintToString(args);
    EXPECT_EQ(err.str(), "quillfen-cli: " + reason + "\nTry 'quillfen-cli --help'.\n");
    EXPECT_EQ(out.str(), "");
  }
  EXPECT_EQ(folder.Read("game/racer.exe"), original);

  EXPECT_EQ(Run({"--help"}), kExitSuccess);
  EXPECT_EQ(out.str(), HelpText());
  EXPECT_EQ(Run({"--version"}), kExitSuccess);
  EXPECT_EQ(out.str().rfind("quillfen-cli ", 0), 0u);
}

TEST_F(CliTest, GamesListsInOrderBehindTheVersionGate) {
  EXPECT_EQ(Run({"games"}), kExitSuccess);
  EXPECT_EQ(out.str(), "Racer\nRacer Two\n");

  const std::string other = folder.Write("other.ini", "[apps]\nversion=1.02\na0=Racer\n");
  EXPECT_EQ(Run({"--ini", other, "games"}), kExitFailure);
  EXPECT_EQ(out.str(), "");
  EXPECT_NE(err.str().find(kVersionMessage), std::string::npos);

  // A file that cannot be read is named with the system's reason.
  EXPECT_EQ(Run({"--ini=" + folder.Path() + "none.ini", "games"}), kExitFailure);
  EXPECT_EQ(err.str(),
            "quillfen-cli: cannot read " + folder.Path() + "none.ini: No such file or directory\n");
  EXPECT_EQ(Run({"--ini", game, "games"}), kExitFailure);
  EXPECT_EQ(err.str(), "quillfen-cli: cannot read " + game + ": Is a directory\n");
  EXPECT_EQ(Run({"--ini", game, "check"}), kExitFailure);
  EXPECT_EQ(err.str(), "quillfen-cli: cannot read " + game + ": Is a directory\n");
}

TEST_F(CliTest, TheUsersOwnGamesComeFirstAndWinOverShippedOnes) {
  // The user's "racer" replaces the shipped "Racer": its file is another one.
  user_ini = folder.Write("config/quillfen/patches.ini",
                          "[apps]\nversion=1.03\na0=Mine\na1=racer\n[Mine]\nmodfile=mine.exe\n"
                          "[racer]\nmodfile=own.exe\nsig=51\nxoffset=1\n");
  const std::string shipped = folder.Path() + "patches.ini";
  EXPECT_EQ(Run({"--verbose", "games"}), kExitSuccess);
  EXPECT_EQ(out.str(),
            "Mine\t" + user_ini + "\nracer\t" + user_ini + "\nRacer Two\t" + shipped + "\n");
  EXPECT_EQ(Run({"locate", "RACER", game}), kExitFailure);
  EXPECT_EQ(err.str(), "quillfen-cli: cannot find " + game + "/own.exe (patch #1)\n");

  // check goes through both and says which file each game comes from.
  Run({"check"});
  EXPECT_NE(out.str().find(user_ini + ": games: \"Mine\", \"racer\"\n" + shipped +
                           ": games: \"Racer Two\"\n"),
            std::string::npos)
      << out.str();

  // --ini names the one file read.
  EXPECT_EQ(Run({"--ini", shipped, "games"}), kExitSuccess);
  EXPECT_EQ(out.str(), "Racer\nRacer Two\n");

  // A foreign version stamp is told with the file it is in.
  folder.Write("config/quillfen/patches.ini", "[apps]\nversion=1.02\na0=Mine\n");
  EXPECT_EQ(Run({"games"}), kExitFailure);
  EXPECT_EQ(err.str(), "quillfen-cli: " + user_ini + ": " + kVersionMessage + "\n");

  // With neither, every place looked at is named.
  user_ini.clear();
  default_ini.clear();
  EXPECT_EQ(Run({"games"}), kExitFailure);
  EXPECT_EQ(err.str(),
            "quillfen-cli: no definition file: looked for /a/patches.ini and /b/patches.ini "
            "(give one with --ini)\n");
}

TEST_F(CliTest, DefinitionPlacesFollowTheConfigurationFolderAndTheProgramsFolder) {
  const std::string bin = system.ExecutableFolder();
  const std::string share =
      bin.substr(0, bin.rfind('/', bin.size() - 2) + 1) + "share/quillfen/patches.ini";
  DefinitionPlaces places = FindDefinitionPlaces(system, "");
  const std::string home_file = folder.Path() + ".config/quillfen/patches.ini";
  EXPECT_EQ(places.looked, (std::vector<std::string>{home_file, bin + "patches.ini", share}));
  EXPECT_EQ(places.user, "");
  folder.Write(".config/quillfen/patches.ini", kIni);
  EXPECT_EQ(FindDefinitionPlaces(system, "").user, home_file);
  // XDG_CONFIG_HOME counts only as an absolute path.
  EXPECT_EQ(FindDefinitionPlaces(system, "relative").user, home_file);
  places = FindDefinitionPlaces(system, folder.Path() + "xdg");
  EXPECT_EQ(places.looked.front(), folder.Path() + "xdg/quillfen/patches.ini");
  EXPECT_EQ(places.user, "");
}

TEST(DefinitionPlaces, AnUnknownProgramFolderIsNamedAsTheWorkingFolder) {
  testing::MemorySystem system;  // no home folder: no user's file to look for
  system.SetExecutableFolder("");
  DefinitionPlaces places = FindDefinitionPlaces(system, "");
  EXPECT_EQ(
      places.looked,
      (std::vector<std::string>{"patches.ini in the working folder (the program's is unknown)"}));
  EXPECT_EQ(NoDefinitionFileMessage(places.looked),
            "no definition file: looked for patches.ini in the working folder (the program's is "
            "unknown) (give one with --ini)");

  system.SetExecutableFolder("C:\\Q\\bin\\");
  system.AddFile("C:\\Q\\share\\quillfen\\patches.ini", kIni);
  places = FindDefinitionPlaces(system, "");
  EXPECT_EQ(places.looked, (std::vector<std::string>{"C:\\Q\\bin\\patches.ini",
                                                     "C:\\Q\\share\\quillfen\\patches.ini"}));
  EXPECT_EQ(places.shipped, "C:\\Q\\share\\quillfen\\patches.ini");
}

TEST_F(CliTest, DefinitionFilesInUtf16OrTheAnsiCodePageAreRead) {
  // "Café Racer" in UTF-16 with a byte order mark, then in Windows-1252; its
  // section in capitals.
  const std::string text =
      "[apps]\r\nversion=1.03\r\na0=Caf\xE9 Racer\r\n[CAF\xE9 RACER]\r\n" + kRacerSection;
  std::string utf16 = "\xFF\xFE";
  for (const char c : text) utf16 += std::string{c, '\0'};
  EXPECT_EQ(Run({"--ini", folder.Write("utf16.ini", utf16), "games"}), kExitSuccess);
  EXPECT_EQ(out.str(), "Caf\xC3\xA9 Racer\n");
  const std::string ansi = folder.Write("ansi.ini", text);
  EXPECT_EQ(Run({"--ini", ansi, "games"}), kExitSuccess);
  EXPECT_EQ(out.str(), "Caf\xC3\xA9 Racer\n");
  // check warns about the code page only; a warning leaves the status 0.
  EXPECT_EQ(Run({"check", ansi}), kExitSuccess);
  EXPECT_EQ(out.str(), ansi +
                           ":3: warning: not UTF-8: read as Windows-1252, as Western Windows reads "
                           "it; save it as UTF-16 to be read alike everywhere\n" +
                           ansi + ": 0 errors, 1 warning\n");
}

TEST_F(CliTest, GameNamesMatchInAnyLetterCaseOfAnyScript) {
  const std::string ini = folder.Write(
      "names.ini",
      "[apps]\nversion=1.03\na0=\xC3\x96lfeld\na1=\xCE\xA3\xCF\x80\xCE\xAF\xCF\x84\xCE\xB9\n"
      "[\xC3\x96LFELD]\n" +
          kRacerSection + "[\xCE\xA3\xCF\x80\xCE\xAF\xCF\x84\xCE\xB9]\n" + kRacerSection);
  // The name typed in capitals reaches the listed game. (Its section matches
  // the listed name as the system's profile reader matches it: A to Z aside.)
  for (const char* typed : {"\xC3\x96LFELD", "\xCE\xA3\xCE\xA0\xCE\x8A\xCE\xA4\xCE\x99"}) {
    EXPECT_EQ(Run({"--ini", ini, "locate", typed, game}), kExitSuccess) << typed << err.str();
    EXPECT_NE(out.str().find("width: 1024 at 108"), std::string::npos) << typed;
  }
  EXPECT_EQ(Run({"--ini", ini, "locate", "Olfeld", game}), kExitFailure);
}

TEST_F(CliTest, AnUnknownGameNamesTheClosestListedOnes) {
  EXPECT_EQ(Run({"locate", "Racr", game}), kExitFailure);
  EXPECT_NE(err.str().find("\"Racer\""), std::string::npos);
  EXPECT_EQ(err.str().find("\"Racer Two\""), std::string::npos);
  // Names are matched as section names are: letter case aside.
  EXPECT_EQ(Run({"locate", "rACER", game}), kExitSuccess);
}

TEST_F(CliTest, PatchAndUndoRoundTripMatchesFileNamesWithoutCase) {
  chmod((game + "/racer.exe").c_str(), 0644);
  const std::string exe = game + "/racer.exe";
  struct timespec times[2] = {{0, UTIME_OMIT}, {1'000'000'000, 250'000'000}};
  ASSERT_EQ(utimensat(AT_FDCWD, exe.c_str(), times, 0), 0);

  ASSERT_EQ(Run({"locate", "Racer", game}), kExitSuccess) << err.str();
  EXPECT_EQ(out.str(), "patch #1: " + exe +
                           "\n  signature: 1 occurrence; occurrence 1 at 100 (0x64)\n"
                           "  width: 1024 at 108 (0x6C)\n  height: 768 at 112 (0x70)\n"
                           "  undo record: none (RACER.undo)\n");

  ASSERT_EQ(Run({"patch", "Racer", game + "/", "1920", "1080"}), kExitSuccess) << err.str();
  EXPECT_EQ(out.str(),
            game + "/racer.exe: width at 108 (0x6C): 1024 -> 1920\n" + game +
                "/racer.exe: height at 112 (0x70): 768 -> 1080\nGame successfully patched!\n");
  EXPECT_EQ(err.str(), "");
  EXPECT_EQ(ValueAt("game/racer.exe", 108), 1920);
  EXPECT_EQ(ValueAt("game/racer.exe", 112), 1080);
  const std::string record =
      FormatUndoRecord({Crc32Of(folder.Read("game/racer.exe")), 108, 112, 1024, 768});
  EXPECT_EQ(folder.Text("game/RACER.undo"), record);
  struct stat info;
  ASSERT_EQ(stat(exe.c_str(), &info), 0);
  EXPECT_EQ(info.st_mtim.tv_sec, 1'000'000'000);
  EXPECT_EQ(info.st_mtim.tv_nsec, 250'000'000);

  ASSERT_EQ(Run({"locate", "Racer", game}), kExitSuccess);
  EXPECT_NE(out.str().find("width: 1920 at 108"), std::string::npos);
  EXPECT_NE(out.str().find("undo record: valid (RACER.undo)"), std::string::npos);

  ASSERT_EQ(Run({"undo", "Racer", game}), kExitSuccess) << err.str();
  EXPECT_EQ(out.str(),
            game + "/racer.exe: width at 108 (0x6C): 1920 -> 1024\n" + game +
                "/racer.exe: height at 112 (0x70): 1080 -> 768\nPatch successfully removed!\n");
  EXPECT_EQ(folder.Read("game/racer.exe"), original);
  EXPECT_FALSE(folder.Exists("game/RACER.undo"));
  ASSERT_EQ(stat(exe.c_str(), &info), 0);
  EXPECT_EQ(info.st_mtim.tv_sec, 1'000'000'000);

  EXPECT_EQ(Run({"undo", "Racer", game}), kExitFailure);
  EXPECT_NE(err.str().find("nothing to undo"), std::string::npos);
}

// Paths are the system's own: a folder name holding a backslash or a colon is
// a name like any other, shown and patched as it stands.
TEST_F(CliTest, AFolderNameWithABackslashOrAColonIsJustAName) {
  const std::string odd = folder.Path() + "Games\\Old: Gold";
  folder.Write("Games\\Old: Gold/racer.exe", original);
  ASSERT_EQ(Run({"locate", "Racer", odd}), kExitSuccess) << err.str();
  EXPECT_EQ(out.str().substr(0, out.str().find('\n')), "patch #1: " + odd + "/racer.exe");
  ASSERT_EQ(Run({"patch", "Racer", odd, "1920", "1080"}), kExitSuccess) << err.str();
  EXPECT_EQ(ValueAt("Games\\Old: Gold/racer.exe", 108), 1920);
  EXPECT_TRUE(folder.Exists("Games\\Old: Gold/RACER.undo"));
  ASSERT_EQ(Run({"find", "Racer", folder.Path() + "Games\\Old: Gold"}), kExitSuccess);
  EXPECT_EQ(out.str(), odd + "\n");
  ASSERT_EQ(Run({"undo", "Racer", odd}), kExitSuccess) << err.str();
  EXPECT_EQ(folder.Read("Games\\Old: Gold/racer.exe"), original);
  EXPECT_FALSE(folder.Exists("Games\\Old: Gold/RACER.undo"));
}

// A record for another edition (its places are not where the values are now)
// is not trusted; one whose places still hold the values keeps the originals
// although the file changed since, and Undo restores them.
TEST_F(CliTest, StaleRecordsAreJudgedByTheirPlaces) {
  folder.Write("game/racer.undo", FormatUndoRecord({12345, 200, 204, 800, 600}));
  ASSERT_EQ(Run({"locate", "Racer", game}), kExitSuccess);
  EXPECT_NE(out.str().find("undo record: present but not matching the file (racer.undo)"),
            std::string::npos);
  EXPECT_EQ(Run({"undo", "Racer", game}), kExitFailure);

  folder.Write("game/racer.undo", FormatUndoRecord({12345, 108, 112, 800, 600}));
  ASSERT_EQ(Run({"locate", "Racer", game}), kExitSuccess);
  EXPECT_NE(out.str().find("undo record: valid, the file changed since (racer.undo)"),
            std::string::npos);
  ASSERT_EQ(Run({"undo", "Racer", game}), kExitSuccess) << err.str();
  EXPECT_EQ(ValueAt("game/racer.exe", 108), 800);
  EXPECT_FALSE(folder.Exists("game/racer.undo"));
}

TEST_F(CliTest, NamesThatDifferOnlyInCaseAreRefused) {
  folder.Write("game/Racer.exe", original);
  for (const char* command : {"locate", "undo"}) {
    EXPECT_EQ(Run({command, "Racer", game}), kExitFailure);
    EXPECT_NE(err.str().find("RACER.EXE is ambiguous: \"Racer.exe\" \"racer.exe\""),
              std::string::npos)
        << err.str();
  }
  EXPECT_EQ(Run({"patch", "Racer", game, "1920", "1080"}), kExitFailure);
  EXPECT_EQ(folder.Read("game/racer.exe"), original);
  EXPECT_EQ(folder.Read("game/Racer.exe"), original);
  EXPECT_FALSE(folder.Exists("game/RACER.undo"));
}

// A value that would lie past the end of the file is no value: locate says
// where it would be and fails, as patch refuses it.
TEST_F(CliTest, LocateFailsForAValueOutsideTheFile) {
  Bytes cut = original;
  cut.resize(110);
  folder.Write("game/racer.exe", cut);
  EXPECT_EQ(Run({"locate", "Racer", game}), kExitFailure);
  EXPECT_NE(out.str().find("width: at 108 (0x6C), which lies outside the file"), std::string::npos)
      << out.str();
  EXPECT_EQ(Run({"patch", "Racer", game, "1920", "1080"}), kExitFailure);
  EXPECT_EQ(folder.Read("game/racer.exe"), cut);
}

TEST_F(CliTest, BadFoldersAndFilesAreRefusedWithoutAChange) {
  EXPECT_EQ(Run({"locate", "Racer", folder.Path() + "missing"}), kExitFailure);
  EXPECT_NE(err.str().find("no folder"), std::string::npos);
  EXPECT_EQ(Run({"patch", "Racer", game + "/racer.exe", "1920", "1080"}), kExitFailure);
  EXPECT_NE(err.str().find("is a file, not a folder"), std::string::npos);

  chmod((game + "/racer.exe").c_str(), 0444);
  EXPECT_EQ(Run({"patch", "Racer", game, "1920", "1080"}), kExitFailure);
  EXPECT_EQ(err.str(), "quillfen-cli: cannot write " + game +
                           "/racer.exe (patch #1): Permission denied\n"
                           "quillfen-cli: nothing was patched\n");
  EXPECT_EQ(out.str(), "");
  EXPECT_EQ(folder.Read("game/racer.exe"), original);
  EXPECT_FALSE(folder.Exists("game/RACER.undo"));

  folder.Write("game/racer.exe", Bytes(4096, 0));
  EXPECT_EQ(Run({"locate", "Racer", game}), kExitFailure);
  EXPECT_NE(out.str().find("signature: 0 occurrences; occurrence 1 not found"), std::string::npos);
  EXPECT_NE(out.str().find("width: not located"), std::string::npos);
  EXPECT_EQ(err.str(), "quillfen-cli: patch #1 is not located in " + game +
                           "/racer.exe: the signature's occurrence is not there\n");
  EXPECT_EQ(Run({"patch", "Racer", game, "1920", "1080"}), kExitFailure);
  EXPECT_NE(err.str().find("patch #1: its values are not located in " + game + "/racer.exe"),
            std::string::npos);
  EXPECT_EQ(Run({"locate", "Racer Two", game}), kExitFailure);
  EXPECT_NE(out.str().find("file: not found"), std::string::npos);
}

TEST_F(CliTest, AFileMissingFromTheFolderIsWordedAlikeAndPatchesComeInOrder) {
  // Two patches whose files are both missing: each command names the first
  // one first, in the same words.
  folder.Write("patches.ini",
               "[apps]\r\nversion=1.03\r\na0=Pair\r\n[Pair]\r\n"
               "modfile=one.exe\r\nsig=51\r\nxoffset=1\r\n"
               "p1modfile=two.exe\r\np1sig=51\r\np1xoffset=1\r\n");
  const std::string one = "cannot find " + game + "/one.exe (patch #1)";
  const std::string two = "cannot find " + game + "/two.exe (patch #2)";
  EXPECT_EQ(Run({"patch", "Pair", game, "800", "600"}), kExitFailure);
  EXPECT_EQ(err.str(), "quillfen-cli: " + one + "\nquillfen-cli: " + two +
                           "\nquillfen-cli: nothing was patched\n");
  EXPECT_EQ(Run({"undo", "Pair", game}), kExitFailure);
  EXPECT_EQ(err.str(), "quillfen-cli: nothing to undo: " + one + "\n");
  EXPECT_EQ(Run({"locate", "Pair", game}), kExitFailure);
  EXPECT_EQ(err.str(), "quillfen-cli: " + one + "\nquillfen-cli: " + two + "\n");
}

// A game file or record place that a write would not reach alone (a hard link
// from a backup, a symbolic link to a file elsewhere) is refused, naming it
// and why, and neither it nor the other file changes.
TEST_F(CliTest, NothingIsWrittenThroughALink) {
  const std::string exe = game + "/racer.exe";
  const std::string elsewhere = folder.Path() + "backup/racer.exe";
  const std::string record = game + "/RACER.undo";
  // A record of another edition, which Patch would replace.
  const std::string stale = FormatUndoRecord({12345, 200, 204, 800, 600});
  struct Case {
    const char* what;
    std::function<void()> make;
    std::string message;
  };
  const std::vector<Case> cases = {
      {"a game file linked from a backup",
       [&] { ASSERT_EQ(link(exe.c_str(), elsewhere.c_str()), 0); },
       "refusing to write " + exe + " (patch #1): It has 2 names (hard links)"},
      {"a game file that is a symbolic link",
       [&] {
         ASSERT_EQ(rename(exe.c_str(), elsewhere.c_str()), 0);
         ASSERT_EQ(symlink(elsewhere.c_str(), exe.c_str()), 0);
       },
       "refusing to write " + exe + " (patch #1): It is a symbolic link"},
      {"a record place linked to a file elsewhere",
       [&] {
         folder.Write("backup/racer.exe", stale);
         ASSERT_EQ(link(elsewhere.c_str(), record.c_str()), 0);
       },
       "cannot write " + record + " (patch #1): It has 2 names (hard links)"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    std::filesystem::remove_all(folder.Path() + "backup");
    std::filesystem::remove_all(game);
    folder.Write("game/racer.exe", original);
    folder.Write("backup/.keep", "");
    std::filesystem::remove(elsewhere);
    c.make();
    const Bytes outside = folder.Read("backup/racer.exe");
    ASSERT_EQ(Run({"patch", "Racer", game, "1920", "1080"}), kExitFailure);
    EXPECT_NE(err.str().find(c.message), std::string::npos) << err.str();
    EXPECT_EQ(folder.Read("backup/racer.exe"), outside);
    EXPECT_EQ(ValueAt("game/racer.exe", 108), 1024);
    const bool record_case = std::string(c.what).find("record") != std::string::npos;
    EXPECT_EQ(folder.Exists("game/RACER.undo"), record_case);
  }
}

TEST_F(CliTest, FindPrintsEveryFolderInWalkOrderDeeperCopiesFirst) {
  folder.Write("lib/a/racer.exe", "");
  folder.Write("lib/a/b/RACER.EXE", "");
  folder.Write("lib/.cache/racer.exe", "");
  ASSERT_EQ(Run({"find", "Racer", folder.Path() + "lib"}), kExitSuccess) << err.str();
  EXPECT_EQ(out.str(), folder.Path() + "lib/a/b\n" + folder.Path() + "lib/a\n");
  EXPECT_EQ(err.str(), "");  // no progress line: standard error is no terminal

  // Without roots: the home folder, where the game folder lies too, hidden
  // folders included, since launchers and Wine keep games in such folders.
  ASSERT_EQ(Run({"find", "racer"}), kExitSuccess);
  EXPECT_EQ(out.str(), folder.Path() + "game\n" + folder.Path() + "lib/.cache\n" + folder.Path() +
                           "lib/a/b\n" + folder.Path() + "lib/a\n");

  EXPECT_EQ(Run({"find", "Racer", game + "/../lib/a/b/x"}), kExitFailure);
  EXPECT_EQ(Run({"find", "Racer Two"}), kExitFailure);
  EXPECT_NE(err.str().find("no checkfile"), std::string::npos);
}

TEST_F(CliTest, CheckReportsAsCompilersDoAndPassesTheExample) {
  const std::string bad = folder.Write("patches.ini",
                                       "[apps]\nversion=1.03\na0=G\n[G]\n"
                                       "modfile=g.exe\nsigwlid=1\n");
  EXPECT_EQ(Run({"--ini", bad, "check"}), kExitFailure);
  const std::string report =
      ":4: warning: no checkfile: Find it for me cannot find the game\n" + bad +
      ":5: warning: patch 1 changes neither width nor height (no xoffset or yoffset)\n" + bad +
      ":6: error: unknown key \"sigwlid\"; did you mean \"sigwild\"?\n" + bad +
      ": 1 error, 2 warnings\n";
  EXPECT_EQ(out.str(), bad + report);
  EXPECT_EQ(err.str(), "");

  const std::string example = QUILLFEN_EXAMPLES_DIR "/patches.ini";
  EXPECT_EQ(Run({"--ini", example, "check"}), kExitSuccess);
  EXPECT_EQ(out.str(), "");
  EXPECT_EQ(err.str(), "");

  // Each file named, standard input as "-"; one with an error, or one that
  // cannot be read, fails the whole while the others are still checked.
  std::istringstream in("[apps]\nversion=1.02\n");
  const auto run_with_input = [&](const std::vector<std::string>& args) {
    out.str("");
    err.str("");
    CliEnvironment env(system, out, err);
    env.in = &in;
    return RunCli(args, env);
  };
  EXPECT_EQ(run_with_input({"check", example, "-", folder.Path() + "none.ini", bad}), kExitFailure);
  EXPECT_EQ(out.str(),
            "(standard input):2: error: version stamp \"1.02\" is not \"1.03\": the program "
            "refuses this file\n"
            "(standard input): 1 error, 0 warnings\n" +
                bad + report);
  EXPECT_EQ(err.str(),
            "quillfen-cli: cannot read " + folder.Path() + "none.ini: No such file or directory\n");
  EXPECT_EQ(Run({"check", example, example}), kExitSuccess);
}

// The terminal's progress line: the first text at once, then at most one per
// tenth of a second, each drawn over the whole line; a wiped line is drawn
// again at once, and the line is wiped when it goes. Texts not drawn are never made.
TEST(ProgressLine, DrawsAtOnceThenAtMostTenTimesASecondAndAtOnceAfterAWipe) {
  std::ostringstream terminal;
  std::int64_t now = 0;
  std::vector<std::string> made;
  {
    ProgressLine line(terminal, [&] { return now; });
    const auto show = [&](std::int64_t at, const std::string& text) {
      now = at;
      line.Show([&] {
        made.push_back(text);
        return text;
      });
    };
    show(5, "a");
    show(50, "b");
    show(105, "c");
    line.Clear();
    show(106, "d");
  }
  EXPECT_EQ(made, (std::vector<std::string>{"a", "c", "d"}));
  const auto drawn = [](const std::string& text) {
    return "\r" + text + std::string(ProgressLine::kWidth - text.size(), ' ') + "\r";
  };
  EXPECT_EQ(terminal.str(), drawn("a") + drawn("c") + drawn("") + drawn("d") + drawn(""));
}

}  // namespace
}  // namespace quillfen
