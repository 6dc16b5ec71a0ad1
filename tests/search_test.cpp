#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "search/folder_search.h"
#include "support/memory_system.h"

namespace quillfen {
namespace {

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
  return std::any_of(system.ListedPatterns().begin(), system.ListedPatterns().end(),
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
  EXPECT_EQ(
      system.ListedPatterns(),
      (std::vector<std::string>{"C:\\*.*", "C:\\A\\*.*", "C:\\A\\A1\\*.*", "C:\\A\\A1\\game.exe",
                                "C:\\A\\A2\\*.*", "C:\\A\\A2\\game.exe", "C:\\A\\game.exe",
                                "C:\\B\\*.*", "C:\\B\\game.exe", "C:\\game.exe"}));
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

  EXPECT_EQ(search.Drives("game.exe"), "C:\\A\\B\\game.exe");
  EXPECT_EQ(search.progress, (std::vector<std::string>{"C:\\A", "C:\\A\\B"}));
  // The levels above the find still open their file listing but take nothing from it.
  EXPECT_EQ(system.ListedPatterns(),
            (std::vector<std::string>{"C:\\*.*", "C:\\A\\*.*", "C:\\A\\B\\*.*",
                                      "C:\\A\\B\\game.exe", "C:\\A\\game.exe", "C:\\game.exe"}));
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
  EXPECT_TRUE(system.ListedPatterns().empty());

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
  SearchFolder(system, "C:\\Gone\\", "game.exe", {}, result, nullptr);
  EXPECT_EQ(result, "");
  EXPECT_TRUE(system.ListedPatterns().empty());

  system.AddFile("C:\\Here\\Sub\\game.exe", "1");
  SearchFolder(system, "C:\\Here\\", "game.exe", {}, result, nullptr);  // no progress callback
  EXPECT_EQ(result, "C:\\Here\\Sub\\game.exe");
}

}  // namespace
}  // namespace quillfen
