#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "search/folder_search_internal.h"
#include "support/fixtures.h"
#include "support/memory_system.h"
#include "ui/main_form.h"

namespace quillfen {
namespace {

using testing::kAttrHidden;
using testing::kAttrReadOnly;
using testing::kAttrSystem;
using testing::kAttrVolumeLabel;
using testing::MemorySystem;

constexpr int kDriveRemovable = 2;
constexpr int kDriveRemote = 4;
constexpr int kDriveOptical = 5;
constexpr int kDriveRam = 6;
constexpr int kDriveUnknown = 0;

// Runs the drive search and keeps every progress report.
struct Search {
  explicit Search(MemorySystem& searched) : system(searched) {}

  MemorySystem& system;
  std::vector<std::string> progress;

  std::string Drives(const std::string& name, const std::vector<std::string>& exclusions = {}) {
    std::string result = "stale";
    SearchFixedDrives(system, name, exclusions, result,
                      [this](const std::string& folder) { progress.push_back(folder); });
    return result;
  }
};

bool ListedUnder(const MemorySystem& system, const std::string& prefix) {
  return std::any_of(system.ListedFolders().begin(), system.ListedFolders().end(),
                     [&](const std::string& p) { return p.rfind(prefix, 0) == 0; });
}

TEST(FolderSearch, BackupCopyFirstThenTheOtherThenNothing) {
  MemorySystem system;
  system.AddDrive('C');
  system.AddFile("C:\\Games\\Racer\\racer.exe", "1");
  system.AddFile("C:\\Games\\Racer\\Backup\\racer.exe", "2");
  system.AddFile("C:\\Games\\Racer\\zz.dat", "3");
  Search search(system);

  std::vector<std::string> found;
  EXPECT_EQ(search.Drives("racer.exe", found), "C:\\Games\\Racer\\Backup\\racer.exe");
  found.push_back("C:\\Games\\Racer\\Backup\\racer.exe");
  EXPECT_EQ(search.Drives("racer.exe", found), "C:\\Games\\Racer\\racer.exe");
  found.push_back("C:\\Games\\Racer\\racer.exe");
  EXPECT_EQ(search.Drives("racer.exe", found), "");
}

TEST(FolderSearch, WalksInTheOrderOfTheListingSubfoldersBeforeFiles) {
  MemorySystem system;
  system.AddDrive('C');
  system.AddFile("C:\\game.exe", "root copy");
  system.AddFolder("C:\\A\\A1");
  system.AddFolder("C:\\A\\A2");
  system.AddFile("C:\\A\\notes.txt", "not a folder");
  system.AddFolder("C:\\B");
  Search search(system);

  EXPECT_EQ(search.Drives("game.exe"), "C:\\game.exe");
  // Roots are never reported; paths come without a trailing backslash.
  EXPECT_EQ(search.progress,
            (std::vector<std::string>{"C:\\A", "C:\\A\\A1", "C:\\A\\A2", "C:\\B"}));
  // A name is picked from the one listing of each folder, a pattern as well.
  const std::vector<std::string> each_once{"C:\\", "C:\\A\\", "C:\\A\\A1\\", "C:\\A\\A2\\",
                                           "C:\\B\\"};
  EXPECT_EQ(system.ListedFolders(), each_once);
  MemorySystem patterned;
  patterned.AddDrive('C');
  patterned.AddFile("C:\\game.exe", "root copy");
  patterned.AddFolder("C:\\A\\A1");
  patterned.AddFolder("C:\\A\\A2");
  patterned.AddFolder("C:\\B");
  EXPECT_EQ(Search(patterned).Drives("GAME.e?*"), "C:\\game.exe");
  EXPECT_EQ(patterned.ListedFolders(), each_once);
}

TEST(FolderSearch, AFindStopsEveryLevelAtOnce) {
  MemorySystem system;
  system.AddDrive('C');
  system.AddFile("C:\\A\\B\\game.exe", "deep");
  system.AddFile("C:\\A\\game.exe", "shallow");
  system.AddFolder("C:\\A\\C");
  system.AddFolder("C:\\Z");
  system.AddDrive('D');
  system.AddFile("D:\\game.exe", "other drive");
  Search search(system);

  // The levels above the find take nothing from their own listing.
  EXPECT_EQ(search.Drives("game.exe"), "C:\\A\\B\\game.exe");
  EXPECT_EQ(search.progress, (std::vector<std::string>{"C:\\A", "C:\\A\\B"}));
  EXPECT_EQ(system.ListedFolders(), (std::vector<std::string>{"C:\\", "C:\\A\\", "C:\\A\\B\\"}));

  // The same with a pattern.
  MemorySystem patterned;
  patterned.AddDrive('C');
  patterned.AddFile("C:\\A\\B\\game.exe", "deep");
  patterned.AddFile("C:\\A\\game.exe", "shallow");
  patterned.AddFolder("C:\\A\\C");
  EXPECT_EQ(Search(patterned).Drives("game.ex?"), "C:\\A\\B\\game.exe");
  EXPECT_EQ(patterned.ListedFolders(), (std::vector<std::string>{"C:\\", "C:\\A\\", "C:\\A\\B\\"}));
}

TEST(FolderSearch, HiddenSystemAndLabelFoldersAreNeverEnteredButHiddenFilesAreFound) {
  MemorySystem system;
  system.AddDrive('C');
  system.AddFile("C:\\Cache\\game.exe", "1");
  system.SetAttributes("C:\\Cache", kAttrHidden);
  system.AddFile("C:\\Recycled\\game.exe", "2");
  system.SetAttributes("C:\\Recycled", kAttrSystem);
  system.AddFile("C:\\Label\\game.exe", "3");
  system.SetAttributes("C:\\Label", kAttrVolumeLabel);
  system.AddFile("C:\\ReadOnly\\game.exe", "4", kAttrHidden | kAttrSystem | kAttrReadOnly);
  system.SetAttributes("C:\\ReadOnly", kAttrReadOnly);
  Search search(system);

  EXPECT_EQ(search.Drives("game.exe"), "C:\\ReadOnly\\game.exe");
  EXPECT_EQ(search.Drives("game.exe", {"C:\\ReadOnly\\game.exe"}), "");
  EXPECT_FALSE(ListedUnder(system, "C:\\Cache\\"));
  EXPECT_FALSE(ListedUnder(system, "C:\\Recycled\\"));
  EXPECT_FALSE(ListedUnder(system, "C:\\Label\\"));
}

TEST(FolderSearch, OnlyFixedDisksAreSearchedFirstFindingDriveWins) {
  MemorySystem system;
  for (auto [letter, type] : std::vector<std::pair<char, int>>{{'A', kDriveRemovable},
                                                               {'D', kDriveOptical},
                                                               {'E', kDriveRemote},
                                                               {'F', kDriveRam},
                                                               {'G', kDriveUnknown}}) {
    system.AddDrive(letter, type);
    system.AddFile(std::string(1, letter) + ":\\Games\\game.exe", "not searched");
  }
  Search search(system);
  EXPECT_EQ(search.Drives("game.exe"), "");
  EXPECT_TRUE(system.ListedFolders().empty());

  system.AddDrive('H');
  system.AddFile("H:\\game.exe", "h");
  system.AddDrive('K');
  system.AddFile("K:\\game.exe", "k");
  EXPECT_EQ(search.Drives("game.exe"), "H:\\game.exe");
  EXPECT_FALSE(ListedUnder(system, "K:"));
  EXPECT_EQ(search.Drives("game.exe", {"H:\\game.exe"}), "K:\\game.exe");
  for (char letter : std::string("ADEFG")) {
    EXPECT_FALSE(ListedUnder(system, std::string(1, letter) + ":")) << letter;
  }
}

TEST(FolderSearch, NamesAndExclusionsIgnoreLetterCase) {
  MemorySystem system;
  system.AddDrive('C');
  system.AddFile("C:\\Games\\Racer\\Racer.EXE", "1");
  system.AddFile("C:\\Other\\racer.exe", "2");
  Search search(system);

  // The path is built from the name as listed, not as asked for.
  EXPECT_EQ(search.Drives("RACER.exe"), "C:\\Games\\Racer\\Racer.EXE");
  EXPECT_EQ(search.Drives("racer.exe", {"c:\\GAMES\\racer\\racer.exe"}), "C:\\Other\\racer.exe");
  // Found in each folder's one listing, compared as the system compares text.
  // C:\, Games and Racer for the first find; C:\, Games, Racer and Other for the second.
  EXPECT_EQ(system.ListedFolders().size(), 3 + 4u);
}

// A name with * or ? is a pattern, matched as the system's listings match
// names: A to Z in any case, ".*" also matching no extension, and by the short
// (8.3) name as well as the long one; "~" marks a short name to look for.
TEST(FolderSearch, PatternsMatchLongAndShortNamesAsListingsDo) {
  MemorySystem system;
  system.AddDrive('C');
  system.AddFile("C:\\Games\\README", "1");
  system.AddFile("C:\\Games\\Racer\\Racing Game.exe", "2");
  system.AddShortName("C:\\Games\\Racer\\Racing Game.exe", "C:\\Games\\Racer\\RACING~1.EXE");
  Search search(system);
  const struct {
    const char* name;
    const char* found;
  } cases[] = {
      {"readme.*", "C:\\Games\\README"},
      {"*.*", "C:\\Games\\Racer\\Racing Game.exe"},
      {"r*g game.EX?", "C:\\Games\\Racer\\Racing Game.exe"},
      {"RACING~1.EXE", "C:\\Games\\Racer\\Racing Game.exe"},
      {"racin?~1.*", "C:\\Games\\Racer\\Racing Game.exe"},
      {"RACING~2.EXE", ""},
      {"readme?", ""},
      {"*.txt", ""},
  };
  for (const auto& c : cases) EXPECT_EQ(search.Drives(c.name), c.found) << c.name;
}

TEST(FolderSearch, AnEmptyNameWalksEverythingAndFindsNothing) {
  MemorySystem system;
  system.AddDrive('C');
  system.AddFile("C:\\Games\\Racer\\racer.exe", "1");
  system.AddDrive('D');
  system.AddFolder("D:\\Data");
  Search search(system);

  EXPECT_EQ(search.Drives(""), "");
  EXPECT_EQ(search.progress,
            (std::vector<std::string>{"C:\\Games", "C:\\Games\\Racer", "D:\\Data"}));
}

TEST(FolderSearch, FoldersNamedLikeTheFileAndFilesAmongFoldersAreSkipped) {
  MemorySystem system;
  system.AddDrive('C');
  system.AddFolder("C:\\Games\\game.exe");
  system.AddFile("C:\\Tools", "a file, not a folder");
  Search search(system);

  EXPECT_EQ(search.Drives("game.exe"), "");
  EXPECT_EQ(search.progress, (std::vector<std::string>{"C:\\Games", "C:\\Games\\game.exe"}));
}

TEST(FolderSearch, AFolderThatDoesNotExistYieldsNothing) {
  MemorySystem system;
  system.AddDrive('C');
  std::string result = "stale";
  search_internal::FirstFound(system, "C:\\Gone\\", "game.exe", {}, {}, result, nullptr);
  EXPECT_EQ(result, "");
  EXPECT_TRUE(system.ListedFolders().empty());

  system.AddFile("C:\\Here\\Sub\\game.exe", "1");
  search_internal::FirstFound(system, "C:\\Here\\", "game.exe", {}, {}, result,
                              nullptr);  // no progress callback
  EXPECT_EQ(result, "C:\\Here\\Sub\\game.exe");
}

// Every file the walk hands to its visitor, with the rules given.
std::vector<std::string> Walk(MemorySystem& system, const std::string& root, const WalkRules& rules,
                              std::size_t stop_after = SIZE_MAX) {
  std::vector<std::string> found;
  WalkFolder(
      system, root, "game.exe", rules,
      [&](const std::string& path) {
        found.push_back(path);
        return found.size() < stop_after ? WalkStep::kContinue : WalkStep::kQuit;
      },
      nullptr);
  return found;
}

TEST(FolderWalk, LinksNeverHiddenFoldersAsAskedSkippedFoldersNotAndStopsWhenTold) {
  MemorySystem system;
  system.AddDrive('C');
  system.AddFile("C:\\Home\\.steam\\game.exe", "hidden");
  system.SetAttributes("C:\\Home\\.steam", kAttrHidden);
  // A link (in the memory system, a folder marked as one) and a hidden link.
  system.AddFile("C:\\Home\\Loop\\game.exe", "through a link");
  system.SetAttributes("C:\\Home\\Loop", testing::kAttrReparsePoint);
  system.AddFile("C:\\Home\\.z\\game.exe", "through a hidden link");
  system.SetAttributes("C:\\Home\\.z", testing::kAttrReparsePoint | kAttrHidden);
  system.AddFile("C:\\Home\\Plain\\Deep\\game.exe", "deep");
  system.AddFile("C:\\Home\\Plain\\GAME.EXE", "plain");

  const std::vector<std::string> plain{"C:\\Home\\Plain\\Deep\\game.exe",
                                       "C:\\Home\\Plain\\GAME.EXE"};
  EXPECT_EQ(Walk(system, "C:\\Home\\", {}), plain);
  EXPECT_EQ(Walk(system, "C:\\Home\\", {true, {}}),
            (std::vector<std::string>{"C:\\Home\\.steam\\game.exe", plain[0], plain[1]}));
  EXPECT_FALSE(ListedUnder(system, "C:\\Home\\Loop\\"));
  EXPECT_FALSE(ListedUnder(system, "C:\\Home\\.z\\"));
  EXPECT_EQ(Walk(system, "C:\\Home\\", {true, {"c:\\home\\plain\\deep\\", "C:\\Home\\.steam"}}),
            (std::vector<std::string>{"C:\\Home\\.steam\\game.exe", plain[1]}));

  // Stopped at the first find: no other folder is listed after it.
  const std::size_t listed = system.ListedFolders().size();
  EXPECT_EQ(Walk(system, "C:\\Home\\", {}, 1), std::vector<std::string>{plain[0]});
  EXPECT_EQ(system.ListedFolders().size(), listed + 3);  // Home, Plain, Deep

  // A folder the visitor passes by is not listed; a quit there ends the walk.
  for (const WalkStep at_deep : {WalkStep::kSkip, WalkStep::kQuit}) {
    std::vector<std::string> found;
    const WalkStep walked = WalkFolder(
        system, "C:\\Home\\", "game.exe", {},
        [&](const std::string& path) {
          found.push_back(path);
          return WalkStep::kContinue;
        },
        [&](const std::string& folder) {
          return folder.ends_with("Deep") ? at_deep : WalkStep::kContinue;
        });
    EXPECT_EQ(walked, at_deep == WalkStep::kQuit ? WalkStep::kQuit : WalkStep::kContinue);
    EXPECT_EQ(found, at_deep == WalkStep::kQuit ? std::vector<std::string>{}
                                                : std::vector<std::string>{plain[1]});
    EXPECT_NE(system.ListedFolders().back(), "C:\\Home\\Plain\\Deep\\");
  }
}

// --- The button "Find it for me..." ------------------------------------------

// A game file: the signature 5A 5A 5A 5A followed by its width and height.
Bytes RacerFile(std::uint8_t width) {
  return Bytes{0x01, 0x5A, 0x5A, 0x5A, 0x5A, width, 0, 0, 0, 0xE0, 0x01, 0, 0, 0xFF};
}

class FindItTest : public ::testing::Test, protected testing::DefinitionsFixture {
 protected:
  // The clock moves on a frame at every reading, so every folder entered is shown.
  FindItTest() : form(system, view, [this] { return now += step; }) {
    view.onTreeChange = [this] { form.gamedirlvChange(); };
    WriteIni(
        "[apps]\nversion=1.03\na0=Racer\na1=No Patches\na2=No Check File\n"
        "[Racer]\ncheckfile=Bin\\racer.exe\nmodfile=racer.exe\nsig=5A5A5A5A\nsigwild=0000\n"
        "xoffset=4\nyoffset=8\noccur=1\n"
        "[No Patches]\ncheckfile=racer.exe\n"
        "[No Check File]\nmodfile=racer.exe\nsig=5A5A5A5A\nsigwild=0000\nxoffset=4\noccur=1\n");
    system.AddFile("C:\\Games\\Racer\\racer.exe", RacerFile(100));
    system.AddFile("C:\\Games\\Racer\\Backup\\racer.exe", RacerFile(200));
    system.AddDrive('D', kDriveRemovable);
    system.AddFile("D:\\racer.exe", RacerFile(44));
    form.gamedirlvChange();
    form.FormCreate();
  }

  void Pick(std::size_t game) {
    view.PickGame(game);
    form.gamecbChange();
  }

  // Presses the button and returns what it logged.
  std::vector<std::string> Press() {
    view.log.clear();
    form.finditClick();
    return view.log;
  }

  std::int64_t now = 1000;
  std::int64_t step = kProgressIntervalMs;
  MainForm form;
};

TEST_F(FindItTest, TheBackupSeries) {
  const std::vector<std::string> first = Press();
  const std::string backup = "C:\\Games\\Racer\\Backup\\racer.exe";
  const std::vector<std::string> expected_start{"panel show",
                                                "disable findit",
                                                "pending messages",
                                                "enable findit",
                                                "panel hide",
                                                "text findit=" + std::string(kKeepSearchingCaption),
                                                "tree select C:\\Games\\Racer\\Backup\\"};
  ASSERT_GE(first.size(), expected_start.size());
  EXPECT_EQ(std::vector<std::string>(first.begin(), first.begin() + 7), expected_start);
  // The selection located the patches before the tree got the focus.
  EXPECT_EQ(view.Text(Control::widthedit), "200");
  EXPECT_TRUE(view.Enabled(Control::patchbutton));
  EXPECT_EQ(
      std::vector<std::string>(first.end() - 3, first.end()),
      (std::vector<std::string>{"tree focus", "tree visible", "message Found " + backup + "!"}));
  EXPECT_EQ(view.TreeSelectedPath(), "C:\\Games\\Racer\\Backup");
  // Listed in name order: the walk never gets to C:\Program Files.
  EXPECT_EQ(view.searchLabels, (std::vector<std::string>{"C:\\Games", "C:\\Games\\Racer",
                                                         "C:\\Games\\Racer\\Backup"}));

  // The next press goes on past the copy found.
  Press();
  EXPECT_EQ(view.messages.back(), "Found C:\\Games\\Racer\\racer.exe!");
  EXPECT_EQ(view.TreeSelectedPath(), "C:\\Games\\Racer");
  EXPECT_EQ(view.Text(Control::widthedit), "100");

  const std::vector<std::string> third = Press();
  EXPECT_EQ(view.messages.back(), "Unable to find any matching files!");
  EXPECT_EQ(view.Text(Control::findit), kFindCaption);
  EXPECT_EQ(view.TreeSelectedPath(), "C:\\Games\\Racer");  // untouched
  EXPECT_EQ(std::count_if(third.begin(), third.end(),
                          [](const std::string& e) { return e.rfind("tree", 0) == 0; }),
            0);

  // The series ended: the next press starts afresh.
  Press();
  EXPECT_EQ(view.messages.back(), "Found " + backup + "!");
  EXPECT_EQ(view.Text(Control::findit), kKeepSearchingCaption);
  EXPECT_FALSE(view.searchPanelShown);
  EXPECT_TRUE(view.Enabled(Control::findit));
}

TEST_F(FindItTest, EachPressShowsItsFirstFolderAtOnceThenKeepsToTheFrameRate) {
  step = 0;  // the whole walk within one frame
  Press();
  EXPECT_EQ(view.searchLabels, std::vector<std::string>{"C:\\Games"});
  Press();
  EXPECT_EQ(view.searchLabels, (std::vector<std::string>{"C:\\Games", "C:\\Games"}));
}

TEST_F(FindItTest, NothingAtAllWithoutPatches) {
  Pick(1);
  const std::size_t messages = view.messages.size();
  EXPECT_TRUE(Press().empty());
  EXPECT_EQ(view.messages.size(), messages);
  EXPECT_TRUE(system.ListedFolders().empty());
}

TEST_F(FindItTest, AFolderAlreadySelectedIsNotLocatedAgain) {
  view.SetTreePath("C:\\Games\\Racer\\Backup");
  form.gamedirlvChange();
  system.ResetCounters();
  const std::vector<std::string> log = Press();
  EXPECT_EQ(system.FileCalls(), 0);  // no locating: no file was read
  EXPECT_EQ(view.messages.back(), "Found C:\\Games\\Racer\\Backup\\racer.exe!");
  EXPECT_EQ(std::count(log.begin(), log.end(), "tree focus"), 1);
}

TEST_F(FindItTest, AFolderTheTreeCannotSelectEndsTheHandlerAfterTheCaption) {
  view.folderResolves = [](const std::string&) { return false; };
  const std::size_t messages = view.messages.size();
  EXPECT_THROW(form.finditClick(), std::runtime_error);
  EXPECT_EQ(view.Text(Control::findit), kKeepSearchingCaption);
  EXPECT_EQ(view.messages.size(), messages);
  EXPECT_FALSE(view.treeFocused);
  EXPECT_FALSE(view.searchPanelShown);
  EXPECT_TRUE(view.Enabled(Control::findit));

  // The next press goes on with the next copy.
  view.folderResolves = nullptr;
  Press();
  EXPECT_EQ(view.messages.back(), "Found C:\\Games\\Racer\\racer.exe!");
}

TEST_F(FindItTest, AnEmptyCheckFileNameFindsNothing) {
  Pick(2);
  Press();
  EXPECT_EQ(view.messages.back(), "Unable to find any matching files!");
  EXPECT_EQ(view.searchLabels.size(), 5u);  // every folder of C:, none of the removable D:
}

TEST_F(FindItTest, PickingAGameStartsANewSeries) {
  Press();
  ASSERT_EQ(view.messages.back(), "Found C:\\Games\\Racer\\Backup\\racer.exe!");
  Pick(0);
  EXPECT_EQ(view.Text(Control::findit), kFindCaption);
  Press();
  EXPECT_EQ(view.messages.back(), "Found C:\\Games\\Racer\\Backup\\racer.exe!");
}

}  // namespace
}  // namespace quillfen
