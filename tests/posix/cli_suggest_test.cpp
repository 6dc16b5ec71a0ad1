// quillfen-cli suggest on real temporary files: what it prints goes into a
// definition file as it stands, and the other commands locate, patch and undo
// the game with it in every edition.
#include <gtest/gtest.h>

#include <filesystem>
#include <random>
#include <sstream>

#include "cli/cli.h"
#include "platform/posix/posix_system.h"
#include "posix/temp_folder.h"

namespace quillfen {
namespace {

using testing::TempFolder;

void Put(Bytes& bytes, std::size_t at, std::int32_t value, int size) {
  for (int i = 0; i < size; ++i) bytes[at + i] = static_cast<std::uint8_t>(value >> (8 * i));
}

class SuggestTest : public ::testing::Test {
 protected:
  int Run(const std::vector<std::string>& args) {
    out.str("");
    err.str("");
    CliEnvironment env(system, out, err);
    return RunCli(args, env);
  }

  // The candidates of the last run, each as the lines of a patch's keys.
  std::vector<std::string> Candidates() const {
    std::vector<std::string> candidates;
    std::istringstream lines(out.str());
    for (std::string line; std::getline(lines, line);) {
      if (line.rfind("; candidate ", 0) == 0) {
        candidates.emplace_back();
      } else if (!line.empty()) {
        candidates.back() += line + "\r\n";
      }
    }
    return candidates;
  }

  TempFolder folder;
  PosixSystem system;
  std::ostringstream out;
  std::ostringstream err;
};

TEST_F(SuggestTest, EveryCandidateLocatesPatchesAndUndoesEveryEdition) {
  // 1280 x 720 as 4-byte values and as 2-byte ones; the second edition has
  // bytes inserted before both and a byte next to each changed.
  std::mt19937 random(9);
  Bytes first(6000);
  for (std::uint8_t& byte : first) byte = static_cast<std::uint8_t>(random());
  Put(first, 700, 1280, 4);
  Put(first, 740, 720, 4);
  Put(first, 2400, 1280, 2);
  Put(first, 2402, 720, 2);
  Bytes second = first;
  second[699] ^= 1;
  second[2404] ^= 1;
  second.insert(second.begin() + 100, 300, 0);
  const std::vector<std::string> editions = {folder.Write("1.0/game.exe", first),
                                             folder.Write("1.1/game.exe", second)};

  ASSERT_EQ(Run({"suggest", "1280", "720", editions[0], editions[1]}), kExitSuccess) << err.str();
  EXPECT_EQ(err.str(), "");  // no progress line: standard error is no terminal
  EXPECT_EQ(out.str().rfind("; candidate 1: ", 0), 0u);
  EXPECT_NE(out.str().find("; width at 700 (0x2BC), height at 740 (0x2E4) in " + editions[0] +
                           "; width at 1000 (0x3E8), height at 1040 (0x410) in " + editions[1]),
            std::string::npos)
      << out.str();
  const std::vector<std::string> candidates = Candidates();
  ASSERT_EQ(candidates.size(), 2u) << out.str();
  EXPECT_NE(candidates[0].find("setxlen=2\r\nsetylen=2\r\n") == std::string::npos,
            candidates[1].find("setxlen=2\r\nsetylen=2\r\n") == std::string::npos);

  for (const std::string& keys : candidates) {
    const std::string ini = folder.Write(
        "patches.ini",
        "[apps]\r\nversion=1.03\r\na0=Game\r\n[Game]\r\ncheckfile=game.exe\r\n" + keys);
    ASSERT_EQ(Run({"--ini", ini, "check"}), kExitSuccess) << out.str() << keys;
    EXPECT_EQ(out.str(), "");
    for (const std::string edition : {"1.0", "1.1"}) {
      const std::string game = folder.Path() + edition;
      const Bytes before = folder.Read(edition + "/game.exe");
      ASSERT_EQ(Run({"--ini", ini, "locate", "Game", game}), kExitSuccess) << keys;
      EXPECT_NE(out.str().find("signature: 1 occurrence"), std::string::npos);
      EXPECT_NE(out.str().find("width: 1280 at"), std::string::npos);
      EXPECT_NE(out.str().find("height: 720 at"), std::string::npos);
      ASSERT_EQ(Run({"--ini", ini, "patch", "Game", game, "1920", "1080"}), kExitSuccess);
      // Found by the signature again once the undo record is gone.
      std::filesystem::rename(game + "/game.undo", game + "/kept.undo");
      ASSERT_EQ(Run({"--ini", ini, "locate", "Game", game}), kExitSuccess) << keys;
      EXPECT_NE(out.str().find("width: 1920 at"), std::string::npos) << keys;
      std::filesystem::rename(game + "/kept.undo", game + "/game.undo");
      ASSERT_EQ(Run({"--ini", ini, "undo", "Game", game}), kExitSuccess) << err.str();
      EXPECT_EQ(folder.Read(edition + "/game.exe"), before);
    }
  }
}

TEST_F(SuggestTest, NoCandidateFailsAndBadWordsAreUsageErrors) {
  Bytes bytes(3000, 0x11);
  Put(bytes, 1000, 1280, 4);
  Put(bytes, 1100, 720, 4);  // 100 bytes apart: by chance, not a place
  const std::string file = folder.Write("game.exe", bytes);
  EXPECT_EQ(Run({"suggest", "1280", "720", file}), kExitFailure);
  EXPECT_EQ(out.str(), "");
  EXPECT_EQ(err.str(), "quillfen-cli: no candidate for 1280 and 720 in " + file + ": " + file +
                           " holds no place where the height lies within 64 bytes of the width\n");

  EXPECT_EQ(Run({"suggest", "1280", "721", file}), kExitFailure);
  EXPECT_EQ(err.str(), "quillfen-cli: no candidate for 1280 and 721 in " + file + ": " + file +
                           " holds no 721 as a 2- or 4-byte number\n");

  // A place no one signature finds in both files: each file's own candidates.
  std::mt19937 random(4);
  Bytes other(3000);
  for (std::uint8_t& byte : other) byte = static_cast<std::uint8_t>(random());
  Bytes first = other;
  for (std::uint8_t& byte : other) byte = static_cast<std::uint8_t>(random());
  Put(first, 1000, 1280, 4);
  Put(first, 1004, 720, 4);
  Put(other, 2000, 1280, 4);
  Put(other, 2004, 720, 4);
  const std::string a = folder.Write("a.exe", first), b = folder.Write("b.exe", other);
  EXPECT_EQ(Run({"suggest", "1280", "720", a, b}), kExitFailure);
  EXPECT_EQ(err.str(), "quillfen-cli: no candidate for 1280 and 720 in " + a + " and " + b + ": " +
                           a + " holds 1 place, " + b +
                           " holds 1 place, none found in every file by one signature\n");
  EXPECT_NE(out.str().find("; candidates of " + a + " alone\n; candidate 1: "), std::string::npos);
  EXPECT_NE(out.str().find("; candidates of " + b + " alone\n; candidate 1: "), std::string::npos);

  EXPECT_EQ(Run({"suggest", "1280", "720", file, folder.Path() + "none.exe"}), kExitFailure);
  EXPECT_EQ(err.str(), "quillfen-cli: no file \"" + folder.Path() + "none.exe\"\n");
  EXPECT_EQ(Run({"suggest", "1280", "720", folder.Path()}), kExitFailure);
  EXPECT_NE(err.str().find("is a folder, not a file"), std::string::npos);

  for (const std::vector<std::string>& args :
       std::vector<std::vector<std::string>>{{"suggest", "1280", "720"},
                                             {"suggest", "0", "720", file},
                                             {"suggest", "--size", "3", "1280", "720", file},
                                             {"suggest", "--top", "0", "1280", "720", file},
                                             {"suggest", "1280", "7e2", file}}) {
    EXPECT_EQ(Run(args), kExitUsage) << args[2];
    EXPECT_EQ(err.str().rfind("quillfen-cli: ", 0), 0u);
    EXPECT_NE(err.str().find("Try 'quillfen-cli --help'."), std::string::npos);
  }
}

}  // namespace
}  // namespace quillfen
