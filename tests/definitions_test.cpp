#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "definitions/game_loading.h"
#include "definitions/ini.h"
#include "support/fixtures.h"
#include "ui/main_form.h"

namespace quillfen {
namespace {

using testing::DefinitionsFixture;

TEST(IntOrDefault, AcceptsDecimalAndEveryHexadecimalPrefix) {
  for (const char* text : {"28", "+28", "$1C", "0x1c", "x1C", "X1c", "0X1C", "  28"}) {
    EXPECT_EQ(IntOrDefault(text, 7), 28) << text;
  }
  EXPECT_EQ(IntOrDefault("-4", 7), -4);
  EXPECT_EQ(IntOrDefault("0", 7), 0);
  EXPECT_EQ(IntOrDefault("-0", 7), 0);
  EXPECT_EQ(IntOrDefault("$FFFFFFFF", 7), -1);
  EXPECT_EQ(IntOrDefault("-$10", 7), -16);
  EXPECT_EQ(IntOrDefault("$80000000", 7), INT32_MIN);
  EXPECT_EQ(IntOrDefault("2147483647", 7), INT32_MAX);
  EXPECT_EQ(IntOrDefault("-2147483648", 7), INT32_MIN);
  EXPECT_EQ(IntOrDefault("$00000000000000FF", 7), 255);
}

TEST(IntOrDefault, GivesTheDefaultForAnythingElse) {
  for (const char* text :
       {"",           " ",    "1e3",        "0x",          "$",
        "abc",        "12 ",  "+",          "-",           "+-1",
        "--1",        "1-",   "2147483648", "-2147483649", "99999999999999999999",
        "$100000000", "\t12", "12\t",       "0x-1",        "$ 1",
        "1,000"}) {
    EXPECT_EQ(IntOrDefault(text, -999), -999) << '"' << text << '"';
  }
}

TEST(DecodeEscapes, DecodesThreeDigitsAfterABackslash) {
  EXPECT_EQ(DecodeEscapes("\\065\\066"), "AB");
  EXPECT_EQ(DecodeEscapes("\\300"), ",");
  EXPECT_EQ(DecodeEscapes("one\\013\\010two"), "one\r\ntwo");
  EXPECT_EQ(DecodeEscapes("abc\\12"), "abc\\12");
  EXPECT_EQ(DecodeEscapes("\\x41"), "\\x41");
  EXPECT_EQ(DecodeEscapes("\\\\065"), "\\A");
  EXPECT_EQ(DecodeEscapes("C:\\Games\\100\\x"), "C:\\Gamesd\\x");
  EXPECT_EQ(DecodeEscapes("\\092065"), "\\065");  // a decoded backslash is not scanned again
  EXPECT_EQ(DecodeEscapes("end\\"), "end\\");
  EXPECT_EQ(DecodeEscapes("\\000x"), std::string(1, '\0') + "x");
}

TEST(DefaultUndoFileName, ReplacesOnlyTheFileNamesExtension) {
  EXPECT_EQ(DefaultUndoFileName("game.exe"), "game.undo");
  EXPECT_EQ(DefaultUndoFileName("data\\game"), "data\\game.undo");
  EXPECT_EQ(DefaultUndoFileName("my.dir\\game"), "my.dir\\game.undo");
  EXPECT_EQ(DefaultUndoFileName("bin\\game.exe"), "bin\\game.undo");
  EXPECT_EQ(DefaultUndoFileName("C:game"), "C:game.undo");
  EXPECT_EQ(DefaultUndoFileName("a.b.c"), "a.b.undo");
}

// The game list as the window's creation handler loads and shows it.
class GameListTest : public ::testing::Test, protected DefinitionsFixture {
 protected:
  // Loads the game list; returns whether the definition file was accepted.
  bool Load() {
    const bool accepted = LoadAppList(system).accepted;
    view.log.clear();
    MainForm form(system, view);
    form.FormCreate();
    picks = static_cast<int>(std::count(view.log.begin(), view.log.end(), "details clear"));
    EXPECT_EQ(accepted, !view.closed);
    return accepted;
  }
  int picks = 0;  // games picked: each pick fills the details memo afresh
};

TEST_F(GameListTest, RefusesAnythingButVersion103WithOneMessage) {
  for (const char* version : {"1.030", "1.3", "01.03", "", "1.03 x"}) {
    testing::RecordingView fresh;
    view = fresh;
    WriteIni(std::string("[apps]\nversion=") + version + "\na0=Racer\n");
    EXPECT_FALSE(Load()) << version;
    EXPECT_EQ(view.messages, std::vector<std::string>{kVersionMessage});
    EXPECT_TRUE(view.closed);
    EXPECT_TRUE(view.gameList.empty());
    EXPECT_EQ(picks, 0);
  }
  EXPECT_NE(std::string(kVersionMessage).find("version.  A new"), std::string::npos);
}

TEST_F(GameListTest, MissingDefinitionFileIsRefused) {
  EXPECT_FALSE(Load());
  EXPECT_TRUE(view.closed);
}

TEST_F(GameListTest, ReadsGamesUpToTheFirstGapAndHandsOverOnce) {
  WriteIni("[APPS]\nVersion = 1.03\na0=Racer\na1 = Flyer \na3=Never\n");
  ASSERT_TRUE(Load());
  EXPECT_EQ(view.gameList, (std::vector<std::string>{"Racer", "Flyer"}));
  EXPECT_EQ(view.GameListText(), "Racer");
  EXPECT_EQ(picks, 1);
  EXPECT_TRUE(view.messages.empty());
}

TEST_F(GameListTest, ListWithoutA0IsEmptyAndEmptyValueEndsIt) {
  WriteIni("[apps]\nversion=1.03\na1=Flyer\n");
  ASSERT_TRUE(Load());
  EXPECT_TRUE(view.gameList.empty());
  EXPECT_EQ(view.GameListText(), "");
  WriteIni("[apps]\nversion=1.03\na0=Racer\na1=\na2=Flyer\n");
  ASSERT_TRUE(Load());
  EXPECT_EQ(view.gameList, std::vector<std::string>{"Racer"});
}

TEST_F(GameListTest, KeepsRepeatedNamesAndFileOrder) {
  WriteIni("[apps]\nversion=1.03\na0=Zed\na1=Alpha\na2=Zed\n");
  ASSERT_TRUE(Load());
  EXPECT_EQ(view.gameList, (std::vector<std::string>{"Zed", "Alpha", "Zed"}));
}

class GameLoadTest : public ::testing::Test, protected DefinitionsFixture {
 protected:
  void LoadGame(const std::string& section_body, const std::string& name = "Racer") {
    WriteIni("[apps]\nversion=1.03\na0=" + name + "\n[Racer]\n" + section_body);
    section = LoadGamePatches(system, name, list);
  }
  // The details memo as picking the game in the window fills it.
  std::vector<std::string> MemoAfterPicking(const std::string& name) {
    view.GameListClear();
    view.GameListAppend(name);
    view.GameListSelectFirst();
    view.log.clear();
    MainForm form(system, view);
    form.gamecbChange();
    std::vector<std::string> memo;
    for (const std::string& line : view.log) {
      if (line.rfind("details", 0) == 0) memo.push_back(line);
    }
    return memo;
  }
  const PatchEntry& Entry(std::size_t i) { return list.At(i); }
  PatchList list;
  GameSection section;
};

TEST_F(GameLoadTest, FillsEveryFieldOfAPatch) {
  LoadGame(
      "details=Two\\013\\010lines\ncheckfile=racer.exe\nmodfile=bin\\racer.exe\nsig=8b4C2\n"
      "sigwild=01\nxoffset=$10\nyoffset=-4\nsetx=640\nsetxlen=2\noccur=3\n");
  ASSERT_EQ(list.Count(), 1u);
  const PatchEntry& e = Entry(0);
  EXPECT_EQ(e.modfile, "bin\\racer.exe");
  EXPECT_EQ(e.undofile, "bin\\racer.undo");
  EXPECT_EQ(e.sig, (std::vector<std::uint8_t>{0x8B, 0x4C}));
  EXPECT_EQ(e.sigwild, (std::vector<std::uint8_t>{0, 1}));
  EXPECT_TRUE(e.hasx);
  EXPECT_TRUE(e.hasy);
  EXPECT_EQ(e.xoffset, 16);
  EXPECT_EQ(e.yoffset, -4);
  EXPECT_EQ(e.setx, 640);
  EXPECT_EQ(e.sety, NotSet);
  EXPECT_EQ(e.setxlen, 2);
  EXPECT_EQ(e.setylen, 4);
  EXPECT_EQ(e.occur, 3);
  EXPECT_EQ(e.xpos, 0);
  EXPECT_EQ(e.ypos, 0);
  EXPECT_EQ(e.oldx, 0);
  EXPECT_EQ(e.oldy, 0);
  EXPECT_EQ(section.details, "Two\\013\\010lines");
  EXPECT_EQ(section.checkfile, "racer.exe");
  EXPECT_EQ(MemoAfterPicking("Racer"),
            (std::vector<std::string>{"details clear", "details add Two\r\nlines", "details top"}));
  EXPECT_EQ(view.detailsLines, std::vector<std::string>{"Two\r\nlines"});
}

TEST_F(GameLoadTest, UnreadableNumbersTakeTheirDefaults) {
  LoadGame("modfile=a.exe\nxoffset=abc\nyoffset=-999\nsetx=1 2\nsetxlen=\n");
  const PatchEntry& e = Entry(0);
  EXPECT_FALSE(e.hasx);
  EXPECT_FALSE(e.hasy);
  EXPECT_EQ(e.xoffset, NotSet);
  EXPECT_EQ(e.setx, NotSet);
  EXPECT_EQ(e.setxlen, 4);
  EXPECT_EQ(e.occur, 0);
  EXPECT_TRUE(e.sig.empty());
  EXPECT_TRUE(e.sigwild.empty());
}

TEST_F(GameLoadTest, SignatureAndWildcardText) {
  LoadGame(
      "modfile=a.exe\nsig=8BZZ\nsigwild=x\n"
      "p1modfile=b.exe\np1sig=00112233\np1sigwild=0010\n"
      "p2modfile=c.exe\np2sig=AABBCC\np2sigwild=0,0,1\n");
  ASSERT_EQ(list.Count(), 3u);
  EXPECT_EQ(Entry(0).sig, (std::vector<std::uint8_t>{0x8B, 0x00}));
  EXPECT_EQ(Entry(0).sigwild, (std::vector<std::uint8_t>{0, 0}));  // unreached places must match
  EXPECT_EQ(Entry(1).sigwild, (std::vector<std::uint8_t>{0, 0, 1, 0}));
  EXPECT_EQ(Entry(2).sigwild, (std::vector<std::uint8_t>{0, 0, 0}));
}

TEST_F(GameLoadTest, AbsentOrShortWildcardsLeaveEveryByteFixed) {
  LoadGame("modfile=a.exe\nsig=0102030405\np1modfile=b.exe\np1sig=010203\np1sigwild=9\n");
  EXPECT_EQ(Entry(0).sigwild, (std::vector<std::uint8_t>(5, 0)));
  EXPECT_EQ(Entry(1).sigwild, (std::vector<std::uint8_t>{9, 0, 0}));
}

TEST_F(GameLoadTest, PatchesEndAtTheFirstMissingModfile) {
  LoadGame("modfile=a.exe\np1modfile=b.exe\np3modfile=d.exe\n");
  ASSERT_EQ(list.Count(), 2u);
  EXPECT_EQ(Entry(1).modfile, "b.exe");
  LoadGame("modfile=a.exe\np2modfile=c.exe\n");
  EXPECT_EQ(list.Count(), 1u);
}

TEST_F(GameLoadTest, UndoFileKeyOverridesTheDefault) {
  LoadGame("modfile=a.exe\nundofile=keep.bak\np1modfile=b.dat\np1undofile=\n");
  EXPECT_EQ(Entry(0).undofile, "keep.bak");
  EXPECT_EQ(Entry(1).undofile, "b.undo");
}

TEST_F(GameLoadTest, GameWithoutModfileShowsDetailsAndLeavesNoPatches) {
  LoadGame("modfile=a.exe\n");
  ASSERT_EQ(list.Count(), 1u);
  WriteIni("[apps]\nversion=1.03\n[Other]\ndetails=Hi\ncheckfile=o.exe\n");
  section = LoadGamePatches(system, "Other", list);
  EXPECT_TRUE(list.Empty());
  EXPECT_EQ(section.checkfile, "o.exe");
  MemoAfterPicking("Other");
  EXPECT_EQ(view.detailsLines, std::vector<std::string>{"Hi"});
  section = LoadGamePatches(system, "Missing", list);
  EXPECT_EQ(section.checkfile, "");
  MemoAfterPicking("Missing");
  EXPECT_EQ(view.detailsLines, std::vector<std::string>{""});
}

TEST_F(GameLoadTest, NamesDifferingInCaseReadTheSameSection) {
  LoadGame("modfile=a.exe\n", "RACER");
  EXPECT_EQ(list.Count(), 1u);
  LoadGamePatches(system, "racer", list);
  EXPECT_EQ(list.Count(), 1u);
}

TEST_F(GameLoadTest, ReloadingBuildsFreshEntries) {
  LoadGame("modfile=a.exe\n");
  list.At(0).modfile = "C:\\G\\a.exe";
  list.At(0).xpos = 12;
  LoadGamePatches(system, "Racer", list);
  EXPECT_EQ(Entry(0).modfile, "a.exe");
  EXPECT_EQ(Entry(0).xpos, 0);
}

}  // namespace
}  // namespace quillfen
