#include "definitions/definition_check.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <string>
#include <vector>

#include "definitions/game_loading.h"
#include "support/fixtures.h"

namespace quillfen {
namespace {

// One of each problem the check knows, each on a line of its own.
const char* const kProblems =
    "; one of each problem\n"  // 1
    "[apps]\n"
    "version=1.02\n"
    "a0=Racer\n"
    "a1=Flyer\n"  // 5
    "a2=racer\n"
    "a4=Lost\n"
    "[Racer]\n"
    "modfile=racer.exe\n"
    "sig=8B4C2\n"  // 10
    "sigwild=011\n"
    "xoffset=abc\n"
    "yoffset=4\n"
    "occur=1\n"
    "sigwlid=00\n"  // 15
    "p1modfile=data.bin\n"
    "p1sig=8BZZ\n"
    "p1sigwild=0,\n"
    "p1xoffset=0\n"
    "p1setxlen=5\n"  // 20
    "p1occur=0\n"
    "p2modfile=none.bin\n"
    "p2sig=00\n"
    "p2sigwild=0\n"
    "p2yoffset=2\n"  // 25
    "p3modfile=plain.bin\n"
    "p5modfile=gap.bin\n"
    "checkfile=\n";

struct Expected {
  int line;
  Severity severity;
  const char* text;
};

TEST(DefinitionCheck, ReportsEachProblemAtItsLine) {
  const DefinitionCheck check = CheckDefinitions(kProblems);
  const Expected expected[] = {
      {3, Severity::kError, "version stamp \"1.02\" is not \"1.03\""},
      {5, Severity::kError, "game \"Flyer\" has no section [Flyer]"},
      {6, Severity::kWarning, "\"racer\" (a2) and \"Racer\" (a0) differ only in case"},
      {7, Severity::kError, "a4 is never read: a3 is missing"},
      {10, Severity::kError, "sig has an odd number of digits (5)"},
      {11, Severity::kError, "sigwild has 3 characters for 2 signature bytes"},
      {12, Severity::kError, "xoffset \"abc\" is not a number: read as not set"},
      {15, Severity::kError, "unknown key \"sigwlid\"; did you mean \"sigwild\"?"},
      {17, Severity::kError, "p1sig byte 2 \"ZZ\" is not hexadecimal: read as 00"},
      {18, Severity::kError, "p1sigwild character 2 \",\" is not a digit"},
      {20, Severity::kError, "p1setxlen 5 is outside 1 to 4"},
      {21, Severity::kError, "p1occur 0 is not 1 or more: patch 2 can never be located"},
      {22, Severity::kError, "no p2occur: patch 3 can never be located"},
      {26, Severity::kWarning, "patch 4 changes neither width nor height"},
      {27, Severity::kError, "patch 6 is never read: patch 5 has no p4modfile"},
      {28, Severity::kWarning, "no checkfile"},
  };
  ASSERT_EQ(check.diagnostics.size(), std::size(expected));
  for (std::size_t i = 0; i < std::size(expected); ++i) {
    const Diagnostic& d = check.diagnostics[i];
    EXPECT_EQ(d.line, expected[i].line) << d.text;
    EXPECT_EQ(d.severity, expected[i].severity) << d.text;
    EXPECT_NE(d.text.find(expected[i].text), std::string::npos) << d.text;
  }
}

// The check judges what the program reads, not what the file holds.
TEST(DefinitionCheck, AgreesWithGameLoading) {
  std::string text = kProblems;
  text.replace(text.find("1.02"), 4, "1.03");
  testing::DefinitionsFixture f;
  f.WriteIni(text);
  const DefinitionCheck check = CheckDefinitions(f.system.TextOf(testing::kIniPath));
  const AppList apps = LoadAppList(f.system);
  ASSERT_EQ(check.games.size(), apps.games.size());
  for (std::size_t i = 0; i < apps.games.size(); ++i) {
    PatchList list;
    LoadGamePatches(f.system, apps.games[i], list);
    EXPECT_EQ(check.games[i].name, apps.games[i]);
    EXPECT_EQ(check.games[i].patches, list.Count()) << apps.games[i];
  }

  // A value is judged as the reader cuts it: 3000 digits read as 2999, an odd
  // count; and game loading marks the patch whose value reached the cut.
  const std::string cut_text = "[apps]\nversion=1.03\na0=G\n[G]\ncheckfile=g\nmodfile=g\nsig=" +
                               std::string(3000, 'A') + "\nsigwild=" + std::string(1499, '0') +
                               "\nxoffset=1\noccur=1\np1modfile=g\np1sig=" +
                               std::string(2998, 'A') + "\np1sigwild=" + std::string(1499, '0') +
                               "\np1xoffset=1\np1occur=1\np1undofile=h.undo\n";
  const DefinitionCheck cut = CheckDefinitions(cut_text);
  ASSERT_EQ(cut.diagnostics.size(), 2u);
  EXPECT_NE(cut.diagnostics[0].text.find("odd number of digits (2999)"), std::string::npos);
  EXPECT_NE(cut.diagnostics[1].text.find("sig holds 3000 characters"), std::string::npos);
  f.WriteIni(cut_text);
  PatchList list;
  LoadGamePatches(f.system, "G", list);
  ASSERT_EQ(list.Count(), 2u);
  EXPECT_EQ(list.At(0).cut, "sig");
  EXPECT_EQ(list.At(1).cut, "");  // 2998 characters are read whole
}

TEST(DefinitionCheck, SuggestsOnlyCloseKeys) {
  const std::vector<std::string> known = {"sigwild", "setxlen", "p2occur", "occur"};
  EXPECT_EQ(NearestKey("sigwlid", known), "sigwild");
  EXPECT_EQ(NearestKey("setxln", known), "setxlen");
  EXPECT_EQ(NearestKey("p2ocur", known), "p2occur");
  EXPECT_EQ(NearestKey("comment", known), "");
  EXPECT_EQ(NearestKey("x", known), "");
}

}  // namespace
}  // namespace quillfen

namespace quillfen {
namespace {

// What would make Patch refuse a game or lose its originals, seen without a
// game file: names outside the folder, shared records, values that do not
// fit or lie on each other.
TEST(DefinitionCheck, ReportsNamesRecordsAndValuesThatPatchRefuses) {
  const DefinitionCheck check = CheckDefinitions(
      "[apps]\nversion=1.03\na0=Racer\n"
      "[Racer]\n"            // 4
      "modfile=racer.exe\n"  // 5
      "sig=AA\nsigwild=0\noccur=1\nxoffset=2\n"
      "yoffset=6\n"  // 10
      "p1modfile=racer.exe\n"
      "p1sig=BB\np1sigwild=0\np1occur=1\np1xoffset=2\n"
      "p1yoffset=3\n"   // 16
      "p1setx=70000\n"  // 17
      "p1setxlen=2\n"
      "p2modfile=../victim.exe\n"  // 19
      "p2undofile=COM1.undo\n"     // 20
      "p2sig=CC\np2sigwild=0\np2occur=1\np2xoffset=2\n"
      "p3modfile=racer.exe\n"        // 25
      "p3undofile=racer.undo.new\n"  // 26
      "p3sig=AA\np3sigwild=0\np3occur=1\np3xoffset=2\np3yoffset=6\n"
      "p4modfile=racer.exe\n"  // 32
      "p4sig=AA\np4sigwild=0\np4occur=1\np4xoffset=2\np4yoffset=6\n"
      "checkfile=racer.exe.\n");  // 38
  const Expected expected[] = {
      {16, Severity::kError,
       "the width and height of patch 2 lie on the same bytes (p1xoffset 2, "
       "p1yoffset 3)"},
      {11, Severity::kError,
       "patch 2 would keep its old values in the undo record of patch 1 "
       "(RACER.UNDO): give each an undofile of its own"},
      {17, Severity::kError,
       "p1setx 70000 does not fit p1setxlen 2 (0 to 65535): patch 2 would "
       "write another number"},
      {19, Severity::kError,
       "p2modfile \"../victim.exe\" names no file of the game folder: it "
       "holds a slash, which leads out of the folder"},
      {20, Severity::kError,
       "p2undofile \"COM1.undo\" names no file of the game folder: it is "
       "the name of a device on Windows"},
      {26, Severity::kError,
       "patch 4 would keep its old values in the undo record of patch 1 "
       "(RACER.UNDO.NEW): give each an undofile of its own"},
      {32, Severity::kError,
       "patch 5 would keep its old values in the undo record of patch 2 "
       "(RACER.UNDO): give each an undofile of its own"},
      {38, Severity::kError,
       "checkfile \"racer.exe.\" names no file of the game folder: it ends "
       "in a dot or blank, which Windows drops"},
  };
  std::vector<std::string> got;
  for (const Diagnostic& d : check.diagnostics) {
    got.push_back(std::to_string(d.line) + ": " + d.text);
  }
  std::vector<std::string> want;
  for (const Expected& e : expected) want.push_back(std::to_string(e.line) + ": " + e.text);
  std::sort(want.begin(), want.end());
  std::sort(got.begin(), got.end());
  EXPECT_EQ(got, want);  // patch 5 may share patch 1's record: they locate the same places
}


// Games of one file may share a folder: a record is checked against the
// patches of every game, a record may not be a game file, and a value as long
// as the cut may have lost its end.
TEST(DefinitionCheck, ReportsRecordsAcrossGamesAndCutValues) {
  const std::string sig(3000, 'A');
  const DefinitionCheck check = CheckDefinitions(
      "[apps]\nversion=1.03\na0=Racer\na1=Racer Expansion\na2=Self\n"
      "[Racer]\n"  // 6
      "modfile=game.exe\nsig=AA\nsigwild=0\noccur=1\nxoffset=2\nyoffset=6\n"
      "[Racer Expansion]\n"  // 13
      "modfile=game.dat\nsig=AA\nsigwild=0\noccur=1\nxoffset=2\nyoffset=6\n"
      "[Self]\n"           // 20
      "modfile=self.exe\n"  // 21
      "undofile=SELF.EXE\nsig=AA\nsigwild=0\noccur=1\nxoffset=2\n"
      "p1modfile=other.bin\n"  // 27
      "p1undofile=game.dat\np1sig=AA\np1sigwild=0\np1occur=1\np1xoffset=2\n"
      "p2modfile=same.undo\n"  // 33
      "p2sig=" + sig + "\np2sigwild=0\np2occur=1\np2xoffset=2\n"
      "checkfile=self.exe\n");
  std::vector<std::string> got;
  for (const Diagnostic& d : check.diagnostics) {
    if (d.severity == Severity::kError) got.push_back(std::to_string(d.line) + ": " + d.text);
  }
  const std::vector<std::string> want = {
      "14: patch 1 would keep its old values in the undo record of patch 1 of [Racer] "
      "(GAME.UNDO): give each an undofile of its own",
      "22: the undo record of patch 1 (SELF.EXE) is its game file itself: Patch would "
      "overwrite the game file's values with the record; give it an undofile of its own",
      "28: the undo record of patch 2 (GAME.DAT) is the game file of patch 1 of [Racer "
      "Expansion]: give it an undofile of its own",
      "33: the undo record of patch 3 (SAME.UNDO) is its game file itself: Patch would "
      "overwrite the game file's values with the record; give it an undofile of its own",
      "34: p2sig has an odd number of digits (2999): the last one is ignored",
      "34: p2sig holds 3000 characters: only the first 2999 are read, so the program "
      "refuses patch 3",
      "35: p2sigwild has 1 characters for 1499 signature bytes: the bytes it misses must match",
  };
  std::sort(got.begin(), got.end());
  EXPECT_EQ(got, want);
}

// The check of a file with thousands of games takes time in proportion to
// their number: 20,000 games, each in the list and with a section, took more
// than a minute when each game was compared with every other.
TEST(DefinitionCheck, ChecksManyGamesInLinearTime) {
  std::string text = "[apps]\nversion=1.03\n";
  constexpr int kGames = 20000;
  for (int i = 0; i < kGames; ++i) {
    const std::string n = std::to_string(i);
    text.append("a").append(n).append("=Game ").append(n).append("\n");
  }
  for (int i = 0; i < kGames; ++i) {
    const std::string n = std::to_string(i);
    text.append("[Game ").append(n).append("]\nmodfile=g").append(n);
    text.append(".exe\nsig=AA\nsigwild=0\noccur=1\nxoffset=2\ncheckfile=g").append(n).append(".exe\n");
  }
  const auto start = std::chrono::steady_clock::now();
  const DefinitionCheck check = CheckDefinitions(text);
  const auto seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start);
  for (const Diagnostic& d : check.diagnostics) EXPECT_EQ(d.severity, Severity::kWarning) << d.text;
  EXPECT_EQ(check.games.size(), static_cast<std::size_t>(kGames));
  EXPECT_EQ(check.games.back().patches, 1u);
  EXPECT_LT(seconds.count(), 15.0);  // a few seconds at most, even in a debug build under load
}

}  // namespace
}  // namespace quillfen
