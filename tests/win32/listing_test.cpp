// The drive types, directory listing and text comparison of the Win32 system,
// and the folder search over them, on real files of the test drive Q:.

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "base/text.h"
#include "platform/win32/win32_owners.h"
#include "platform/win32/win32_system.h"
#include "search/folder_search_internal.h"
#include "ui/main_form.h"
#include "ui/win32/layout.h"
#include "win32/real_files.h"
#include "win32/window_fixture.h"

namespace quillfen {
namespace {

using testing::ScratchFolder;
using testing::TextOf;

const DirEntry* Named(const std::vector<DirEntry>& entries, const std::string& name) {
  auto it = std::find_if(entries.begin(), entries.end(),
                         [&](const DirEntry& e) { return e.name == name; });
  return it == entries.end() ? nullptr : &*it;
}

void SetAttributes(const std::string& path, DWORD attributes) {
  EXPECT_TRUE(SetFileAttributesA(path.c_str(), attributes)) << path;
}

// The entries of a listing whose name matches the pattern, as the walk matches it.
std::vector<DirEntry> Matching(const std::vector<DirEntry>& entries, const std::string& pattern) {
  std::vector<DirEntry> matching;
  for (const DirEntry& entry : entries) {
    if (WildcardMatchNoCase(pattern, entry.name) || WildcardMatchNoCase(pattern, entry.short_name))
      matching.push_back(entry);
  }
  return matching;
}

TEST(Win32Listing, SearchRootsAreTheFixedDisks) {
  Win32System system;
  std::vector<std::string> roots;
  for (const SearchPlace& place : system.SearchRoots()) {
    roots.push_back(place.folder);
    EXPECT_FALSE(place.hidden_folders) << place.folder;
  }
  EXPECT_NE(std::find(roots.begin(), roots.end(), "C:\\"), roots.end());
  EXPECT_NE(std::find(roots.begin(), roots.end(), "Q:\\"), roots.end());
  EXPECT_EQ(std::find(roots.begin(), roots.end(), "Z:\\"), roots.end());
  EXPECT_TRUE(std::is_sorted(roots.begin(), roots.end()));
}

TEST(Win32Listing, ListsNamesWithTheirAttributesMatchingWithoutCase) {
  ScratchFolder folder("listing");
  Win32System system;
  folder.Write("Alpha.TXT", "a");
  folder.Write("hidden.dat", "h");
  SetAttributes(folder.Path() + "hidden.dat", FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM);
  folder.Write("Beta\\inner.txt", "b");

  folder.Write("a rather long name.text", "l");
  const std::vector<DirEntry> all = system.ListFolder(folder.Path()).entries;
  EXPECT_EQ(all.size(), 4u);  // the three files and the folder, without "." and ".."
  ASSERT_NE(Named(all, "Beta"), nullptr);
  EXPECT_TRUE(Named(all, "Beta")->folder);
  ASSERT_NE(Named(all, "hidden.dat"), nullptr);
  EXPECT_TRUE(Named(all, "hidden.dat")->hidden);
  EXPECT_FALSE(Named(all, "hidden.dat")->folder);
  ASSERT_NE(Named(all, "Alpha.TXT"), nullptr);
  EXPECT_FALSE(Named(all, "Alpha.TXT")->hidden || Named(all, "Alpha.TXT")->folder);

  // A long name comes with the short name the system keeps for it.
  ASSERT_NE(Named(all, "a rather long name.text"), nullptr);
  char short_path[MAX_PATH];
  ASSERT_GT(
      GetShortPathNameA((folder.Path() + "a rather long name.text").c_str(), short_path, MAX_PATH),
      0u);
  EXPECT_EQ(Named(all, "a rather long name.text")->short_name, FileNamePart(short_path));

  // A pattern finds the name as it is stored, whatever the case asked for.
  const std::vector<DirEntry> alpha = Matching(all, "aLPHA.txt");
  ASSERT_EQ(alpha.size(), 1u);
  EXPECT_EQ(alpha[0].name, "Alpha.TXT");
  EXPECT_EQ(Matching(all, "HIDDEN.DA?").size(), 1u);
  EXPECT_TRUE(Matching(all, "missing.txt").empty());
  EXPECT_EQ(Matching(all, FileNamePart(short_path)).size(), 1u);
  for (const std::string& gone : {folder.Path() + "Gone\\", std::string()}) {
    const FolderListing listing = system.ListFolder(gone);
    EXPECT_TRUE(listing.entries.empty()) << gone;
    EXPECT_TRUE(listing.refusal) << gone;
  }
}

TEST(Win32Listing, ComparesTextWithoutCase) {
  Win32System system;
  EXPECT_TRUE(system.SameTextNoCase("C:\\Games\\Racer.exe", "c:\\GAMES\\racer.EXE"));
  EXPECT_TRUE(system.SameTextNoCase("", ""));
  EXPECT_FALSE(system.SameTextNoCase("racer.exe", "racer.exe "));
  EXPECT_FALSE(system.SameTextNoCase("racer1.exe", "racer2.exe"));
}

class Win32Search : public ::testing::Test {
 protected:
  Win32Search() : folder("search") {
    folder.Write("Tree\\Hidden\\check.bin", "1");
    folder.Write("Tree\\System\\check.bin", "2");
    folder.Write("Tree\\Plain\\Check.Bin", "3");
    folder.Write("Tree\\check.bin", "4");
    folder.Write("Tree\\Other\\Deep\\readme.txt", "5");
    SetAttributes(Path("Hidden"), FILE_ATTRIBUTE_HIDDEN);
    SetAttributes(Path("System"), FILE_ATTRIBUTE_SYSTEM);
    SetAttributes(Path("Plain\\Check.Bin"), FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM);
  }

  std::string Path(const std::string& below_tree) { return folder.Path() + "Tree\\" + below_tree; }

  std::string Search(const std::string& name, const std::vector<std::string>& exclusions) {
    std::string result = "stale";
    search_internal::FirstFound(system, Path(""), name, {}, exclusions, result,
                                [this](const std::string& path) { progress.push_back(path); });
    return result;
  }

  ScratchFolder folder;
  Win32System system;
  std::vector<std::string> progress;
};

TEST_F(Win32Search, SkipsHiddenAndSystemFoldersButFindsHiddenFiles) {
  EXPECT_EQ(Search("CHECK.BIN", {}), Path("Plain\\Check.Bin"));
  // Excluded in other letter case: the copy in the folder itself comes next.
  EXPECT_EQ(Search("check.bin", {Path("PLAIN\\check.bin")}), Path("check.bin"));
  EXPECT_EQ(Search("check.bin", {Path("Plain\\Check.Bin"), Path("CHECK.BIN")}), "");
  for (const std::string& entered : progress) {
    EXPECT_EQ(entered.find("Hidden"), std::string::npos) << entered;
    EXPECT_EQ(entered.find("System"), std::string::npos) << entered;
    EXPECT_NE(entered.back(), '\\');
  }
  EXPECT_NE(std::find(progress.begin(), progress.end(), Path("Other\\Deep")), progress.end());
}

TEST_F(Win32Search, WildcardsMatchAsTheListingDoesFoldersNeverMatch) {
  EXPECT_EQ(Search("ch?CK.*", {}), Path("Plain\\Check.Bin"));
  EXPECT_EQ(Search("*.TXT", {}), Path("Other\\Deep\\readme.txt"));
  // A folder of the name is entered, never reported, with or without wildcards.
  EXPECT_EQ(Search("DEEP", {}), "");
  EXPECT_EQ(Search("De?p", {}), "");
  EXPECT_NE(std::find(progress.begin(), progress.end(), Path("Other\\Deep")), progress.end());
}

TEST_F(Win32Search, TheDriveSearchReachesTheTestDrive) {
  folder.Write("Tree\\Plain\\qf-unique-8e1f.bin", "6");
  std::string result;
  SearchFixedDrives(system, "QF-UNIQUE-8E1F.BIN", {}, result, nullptr);
  EXPECT_EQ(result, Path("Plain\\qf-unique-8e1f.bin"));
}

// A folder loop of the test drive: Q:\folder loop\Games\Racer holds two links
// back to Games, made by scripts/prepare-wine-tests (Wine makes no links itself).
const std::string kLoop = "Q:\\folder loop\\";

// A file in the loop folder for as long as the object lives.
class LoopFile {
 public:
  LoopFile(const std::string& name, const std::string& content)
      : path_(kLoop + "Games\\Racer\\" + name) {
    const auto file = win32::UniqueFile(
        CreateFileA(path_.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr));
    EXPECT_TRUE(file) << path_;
    DWORD written = 0;
    if (file)
      WriteFile(file.Get(), content.data(), static_cast<DWORD>(content.size()), &written, nullptr);
  }
  ~LoopFile() { DeleteFileA(path_.c_str()); }
  const std::string& Path() const { return path_; }

 private:
  std::string path_;
};

TEST(Win32FolderLoop, LinksAreListedAsSuchAndTheWalkEndsNamingEachFolderOnce) {
  Win32System system;
  const std::vector<DirEntry> racer = system.ListFolder(kLoop + "Games\\Racer\\").entries;
  for (const char* link : {"Back", "Again"}) {
    const DirEntry* entry = Named(racer, link);
    ASSERT_NE(entry, nullptr) << link << ": run scripts/prepare-wine-tests";
    EXPECT_TRUE(entry->folder && entry->link) << link;
  }

  const LoopFile file("qf-loop.bin", "1");
  std::vector<std::string> entered;
  std::vector<std::string> found;
  for (const bool hidden : {false, true}) {
    entered.clear();
    found.clear();
    WalkFolder(
        system, kLoop, "QF-LOOP.BIN", WalkRules{hidden, {}},
        [&](const std::string& path) {
          found.push_back(path);
          return WalkStep::kContinue;
        },
        [&](const std::string& folder) {
          entered.push_back(folder);
          return WalkStep::kContinue;
        });
    EXPECT_EQ(entered, (std::vector<std::string>{kLoop + "Games", kLoop + "Games\\Racer"}));
    EXPECT_EQ(found, std::vector<std::string>{file.Path()});
  }
  std::string result;
  search_internal::FirstFound(system, kLoop, "qf-loop.bin", {}, {file.Path()}, result, nullptr);
  EXPECT_EQ(result, "");
}

// The button on the real window, over real files: C: and the test drive Q:.
class Win32FindIt : public testing::WindowTest {
 protected:
  void SetUp() override {
    WindowTest::SetUp();
    WriteDefinitions(
        "[apps]\r\nversion=1.03\r\na0=Racer\r\n"
        "[Racer]\r\ncheckfile=qf-findit-racer.exe\r\nmodfile=qf-findit-racer.exe\r\n"
        "sig=5A5A5A5A\r\nsigwild=0000\r\nxoffset=4\r\nyoffset=8\r\noccur=1\r\n");
    folder = std::make_unique<ScratchFolder>("find it");
    folder->Write("Games\\Racer\\qf-findit-racer.exe", GameFile('d'));             // width 100
    folder->Write("Games\\Racer\\Backup\\qf-findit-racer.exe", GameFile('\xC8'));  // 200
    folder->Write("Games\\Cache\\qf-findit-racer.exe", GameFile('\x2C'));
    SetAttributes(folder->Path() + "Games\\Cache", FILE_ATTRIBUTE_HIDDEN);
    ASSERT_TRUE(OpenWindow());
  }
  void TearDown() override {
    window.reset();
    folder.reset();
    WindowTest::TearDown();
  }

  static std::string GameFile(char width) {
    return std::string("\x01ZZZZ") + width + std::string("\0\0\0\xE0\x01\0\0\xFF", 9);
  }

  void Click() { SendMessageA(Control(win32::kFindit), BM_CLICK, 0, 0); }

  std::string Racer() { return folder->Path() + "Games\\Racer\\"; }

  std::unique_ptr<ScratchFolder> folder;
};

TEST_F(Win32FindIt, ThePanelCoversTheTreeWhileShown) {
  const HWND tree = Control(win32::kGamedirlv);
  RECT area;
  GetWindowRect(tree, &area);
  POINT centre = {(area.left + area.right) / 2, (area.top + area.bottom) / 2};
  ScreenToClient(GetParent(tree), &centre);
  window->ShowSearchPanel(true);
  EXPECT_EQ(ChildWindowFromPointEx(GetParent(tree), centre, CWP_SKIPINVISIBLE),
            Control(win32::kSearchpanel));
  window->ShowSearchPanel(false);
  EXPECT_EQ(ChildWindowFromPointEx(GetParent(tree), centre, CWP_SKIPINVISIBLE), tree);
}

TEST_F(Win32FindIt, FindsTheBackupCopyThenTheOtherThenNothing) {
  Click();
  ASSERT_EQ(boxes.size(), 1u);
  EXPECT_EQ(boxes[0].text, "Found " + Racer() + "Backup\\qf-findit-racer.exe!");
  EXPECT_EQ(boxes[0].caption, kApplicationTitle);
  EXPECT_EQ(TextOf(Control(win32::kFindit)), kKeepSearchingCaption);
  EXPECT_EQ(window->TreeSelectedPath(), Racer() + "Backup");
  EXPECT_EQ(TextOf(Control(win32::kWidthedit)), "200");
  EXPECT_EQ(TextOf(Control(win32::kHeightedit)), "480");
  EXPECT_TRUE(IsWindowEnabled(Control(win32::kPatchbutton)));
  EXPECT_TRUE(IsWindowEnabled(Control(win32::kFindit)));
  EXPECT_FALSE(IsWindowVisible(Control(win32::kSearchpanel)));
  EXPECT_EQ(GetFocus(), Control(win32::kGamedirlv));
  // The label was kept to the screen's pace, so it shows some folder the walk
  // entered, not necessarily the last one.
  const std::string label = TextOf(Control(win32::kSearchlabel));
  ASSERT_FALSE(label.empty());
  EXPECT_NE(label.back(), '\\');
  const DWORD attributes = GetFileAttributesA(label.c_str());
  EXPECT_TRUE(attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY))
      << label;

  Click();
  ASSERT_EQ(boxes.size(), 2u);
  EXPECT_EQ(boxes[1].text, "Found " + Racer() + "qf-findit-racer.exe!");
  EXPECT_EQ(TextOf(Control(win32::kWidthedit)), "100");

  Click();  // the copy below the hidden folder is never found
  ASSERT_EQ(boxes.size(), 3u);
  EXPECT_EQ(boxes[2].text, "Unable to find any matching files!");
  EXPECT_EQ(TextOf(Control(win32::kFindit)), kFindCaption);
  EXPECT_EQ(window->TreeSelectedPath(), Racer().substr(0, Racer().size() - 1));
}

// Find it for me on a drive holding a folder loop: each press ends, the copy
// in the loop is found once, then no more.
TEST_F(Win32FindIt, AFolderLoopIsWalkedOnceAndTheSeriesEnds) {
  const LoopFile looped("qf-findit-racer.exe", GameFile('\x50'));  // width 80
  std::vector<std::string> found;
  for (int press = 0; press < 4; ++press) {
    Click();
    ASSERT_EQ(boxes.size(), static_cast<std::size_t>(press + 1));
    found.push_back(boxes.back().text);
  }
  // Each copy once, then the end of the series. Wine lists Q: in the host's
  // order, so the loop folder may come before or after the scratch folder; the
  // scratch folder keeps the window's order, the deeper copy first.
  EXPECT_EQ(found.back(), "Unable to find any matching files!");
  const auto at = [&](const std::string& path) {
    return std::find(found.begin(), found.end(), "Found " + path + "!") - found.begin();
  };
  EXPECT_LT(at(looped.Path()), 3);
  EXPECT_LT(at(Racer() + "Backup\\qf-findit-racer.exe"), at(Racer() + "qf-findit-racer.exe"));
  EXPECT_LT(at(Racer() + "qf-findit-racer.exe"), 3);
}

}  // namespace
}  // namespace quillfen
