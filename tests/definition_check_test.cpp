#include "definitions/definition_check.h"

#include <gtest/gtest.h>

#include <string>

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
  EXPECT_TRUE(check.HasErrors());
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

  // A value is judged as the reader cuts it: 3000 digits read as 2999, an odd count.
  const DefinitionCheck cut = CheckDefinitions(
      "[apps]\nversion=1.03\na0=G\n[G]\ncheckfile=g\nmodfile=g\nsig=" + std::string(3000, 'A') +
      "\nsigwild=" + std::string(1499, '0') + "\nxoffset=1\noccur=1\n");
  ASSERT_EQ(cut.diagnostics.size(), 1u);
  EXPECT_NE(cut.diagnostics[0].text.find("odd number of digits (2999)"), std::string::npos);
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
