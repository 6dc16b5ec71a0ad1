// quillfen-cli's commands run in-process on real temporary folders through the
// POSIX system: outputs, exit statuses and what each command leaves on the disk.
#include "cli/cli.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <sstream>

#include "definitions/game_loading.h"
#include "engine/crc32.h"
#include "engine/undo_record.h"
#include "platform/posix/posix_system.h"
#include "posix/temp_folder.h"
#include "support/game_files.h"

namespace quillfen {
namespace {

using testing::GameFile;
using testing::TempFolder;

// One game whose definition names its file in capitals.
const std::string kIni =
    "[apps]\r\nversion=1.03\r\na0=Racer\r\na1=Racer Two\r\n"
    "[Racer]\r\ncheckfile=RACER.EXE\r\nmodfile=RACER.EXE\r\nsig=514621736967\r\n"
    "sigwild=000000\r\nxoffset=8\r\nyoffset=12\r\noccur=1\r\n"
    "[Racer Two]\r\nmodfile=two.exe\r\n";

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
    env.default_ini = ToEnginePath(folder.Path() + "patches.ini");
    env.home_folder = ToEnginePath(folder.Path());
    env.to_engine = ToEnginePath;
    env.to_native = ToNativePath;
    return RunCli(args, env);
  }

  std::int32_t ValueAt(const std::string& name, std::size_t position) {
    const Bytes bytes = folder.Read(name);
    std::uint32_t value = 0;
    for (int i = 0; i < 4; ++i) value |= std::uint32_t{bytes.at(position + i)} << (8 * i);
    return static_cast<std::int32_t>(value);
  }

  TempFolder folder;
  PosixSystem system;
  std::ostringstream out;
  std::ostringstream err;
  Bytes original;
  std::string game;
};

TEST_F(CliTest, UsageErrorsExitWithTwoAndTheUsageOnStandardError) {
  const std::vector<std::vector<std::string>> bad = {
      {},
      {"frobnicate"},
      {"--frob", "games"},
      {"--ini"},
      {"locate", "Racer"},
      {"games", "extra"},
      {"patch", "Racer", game, "1920x", "1080"},
      {"patch", "Racer", game, "1920", "-1080"},
      {"patch", "Racer", game, "1920", "99999999999"},
  };
  for (const auto& args : bad) {
    EXPECT_EQ(Run(args), kExitUsage) << ::testing::PrintToString(args);
    EXPECT_NE(err.str().find("usage: quillfen-cli"), std::string::npos);
    EXPECT_EQ(out.str(), "");
  }
  EXPECT_EQ(folder.Read("game/racer.exe"), original);

  EXPECT_EQ(Run({"--help"}), kExitSuccess);
  EXPECT_EQ(out.str(), kCliUsage);
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

  EXPECT_EQ(Run({"--ini=" + folder.Path() + "none.ini", "games"}), kExitFailure);
  EXPECT_NE(err.str().find("no definition file"), std::string::npos);
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
  EXPECT_EQ(out.str(), "Game successfully patched!\n");
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
  EXPECT_EQ(out.str(), "Patch successfully removed!\n");
  EXPECT_EQ(folder.Read("game/racer.exe"), original);
  EXPECT_FALSE(folder.Exists("game/RACER.undo"));
  ASSERT_EQ(stat(exe.c_str(), &info), 0);
  EXPECT_EQ(info.st_mtim.tv_sec, 1'000'000'000);

  EXPECT_EQ(Run({"undo", "Racer", game}), kExitFailure);
  EXPECT_NE(err.str().find("nothing to undo"), std::string::npos);
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

TEST_F(CliTest, BadFoldersAndFilesAreRefusedWithoutAChange) {
  EXPECT_EQ(Run({"locate", "Racer", folder.Path() + "missing"}), kExitFailure);
  EXPECT_NE(err.str().find("no folder"), std::string::npos);
  EXPECT_EQ(Run({"patch", "Racer", game + "/racer.exe", "1920", "1080"}), kExitFailure);
  EXPECT_NE(err.str().find("is a file, not a folder"), std::string::npos);

  chmod((game + "/racer.exe").c_str(), 0444);
  EXPECT_EQ(Run({"patch", "Racer", game, "1920", "1080"}), kExitFailure);
  EXPECT_EQ(err.str(),
            "Unable to write to file RACER.EXE for patch #1!  Close all programs/games before "
            "patching.\nErrors found.  Unable to patch game!\n");
  EXPECT_EQ(out.str(), "");
  EXPECT_EQ(folder.Read("game/racer.exe"), original);
  EXPECT_FALSE(folder.Exists("game/RACER.undo"));

  folder.Write("game/racer.exe", Bytes(4096, 0));
  EXPECT_EQ(Run({"locate", "Racer", game}), kExitFailure);
  EXPECT_NE(out.str().find("signature: 0 occurrences; occurrence 1 not found"), std::string::npos);
  EXPECT_NE(out.str().find("width: not located"), std::string::npos);
  EXPECT_EQ(Run({"patch", "Racer", game, "1920", "1080"}), kExitFailure);
  EXPECT_NE(err.str().find("Unable to find patch offsets in file RACER.EXE for patch #1!"),
            std::string::npos);
  EXPECT_EQ(Run({"locate", "Racer Two", game}), kExitFailure);
  EXPECT_NE(out.str().find("file: not found"), std::string::npos);
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
  EXPECT_EQ(out.str(),
            bad + ":4: warning: no checkfile: Find it for me cannot find the game\n" + bad +
                ":5: warning: patch 1 changes neither width nor height (no xoffset or yoffset)\n" +
                bad + ":6: error: unknown key \"sigwlid\"; did you mean \"sigwild\"?\n");
  EXPECT_EQ(err.str(), bad + ": 1 error, 2 warnings\n");

  EXPECT_EQ(Run({"--ini", QUILLFEN_EXAMPLES_DIR "/patches.ini", "check"}), kExitSuccess);
  EXPECT_EQ(out.str(), "");
  EXPECT_EQ(err.str(), "");
}

}  // namespace
}  // namespace quillfen
