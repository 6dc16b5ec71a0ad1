#include "ui/main_form.h"

#include <gtest/gtest.h>

#include <algorithm>

#include "definitions/game_loading.h"
#include "platform/file_error.h"
#include "support/fixtures.h"
#include "support/separators.h"

namespace quillfen {
namespace {

using testing::MemorySystem;

// A game file holding the signature AA BB CC DD followed by width and height.
Bytes GameFile(std::int32_t width, std::int32_t height) {
  Bytes bytes(16, 0x11);
  for (std::uint8_t b : {0xAA, 0xBB, 0xCC, 0xDD}) bytes.push_back(b);
  for (std::int32_t v : {width, height}) {
    for (int i = 0; i < 4; ++i) bytes.push_back(static_cast<std::uint8_t>(v >> (8 * i)));
  }
  bytes.resize(bytes.size() + 16, 0x22);
  return bytes;
}

// A patch section's keys for a file made by GameFile, under a prefix.
std::string PatchKeys(const std::string& prefix, const std::string& file, bool width = true,
                      bool height = true) {
  std::string keys = prefix + "modfile=" + file + "\n" + prefix + "sig=AABBCCDD\n" + prefix +
                     "sigwild=0000\n" + prefix + "occur=1\n";
  if (width) keys += prefix + "xoffset=4\n";
  if (height) keys += prefix + "yoffset=8\n";
  return keys;
}

// The form on a system of either form of paths: Windows' drive letters and
// backslashes, or POSIX's one root and slashes. The tree shows a folder as the
// shell does, without a separator at its end (but for a root).
class MainFormTest : public testing::SeparatorTest {
 protected:
  MainFormTest() : system(Separator()), view(Separator()), form(system, view) {
    view.onTreeChange = [this] { form.gamedirlvChange(); };
  }

  // A path below the test's root, its names written with "/".
  std::string At(const std::string& relative) const { return Below(Root(), relative, Separator()); }

  // Starts the window as the real one does: the tree's first selection, then
  // FormCreate. The edit boxes hold text before, which the start must clear:
  // left there, it would read as the game's values.
  void Start(const std::string& games_ini) {
    system.AddFile(system.ExecutableFolder() + "patches.ini", "[apps]\nversion=1.03\n" + games_ini);
    view.SetText(Control::widthedit, "640");
    view.SetText(Control::heightedit, "480");
    form.gamedirlvChange();
    form.FormCreate();
  }

  // The user selects a node of the tree: a folder below the root, or My Computer.
  void Select(const std::string& relative) {
    view.SetTreePath(At(relative));
    form.gamedirlvChange();
  }
  void SelectMyComputer() {
    view.SetTreePath("My Computer");
    form.gamedirlvChange();
  }

  void Patch(const std::string& width, const std::string& height) {
    view.SetText(Control::widthedit, width);
    view.SetText(Control::heightedit, height);
    form.patchbuttonClick();
  }

  void ExpectNotLocated() {
    for (Control c :
         {Control::widthedit, Control::heightedit, Control::patchbutton, Control::undobutton}) {
      EXPECT_FALSE(view.Enabled(c)) << testing::ControlName(c);
    }
    EXPECT_EQ(view.Text(Control::widthedit), "");
    EXPECT_EQ(view.Text(Control::heightedit), "");
  }

  MemorySystem system;
  testing::RecordingView view;
  MainForm form;
};
QUILLFEN_BOTH_SEPARATORS(MainFormTest);

TEST_P(MainFormTest, StartsWithEverythingDisabledAndTheFirstGameShown) {
  Start("a0=Racer\na1=Flyer\n[Racer]\ndetails=Fast\\013\\010cars\n" + PatchKeys("", "r.exe"));
  ExpectNotLocated();
  EXPECT_TRUE(view.Enabled(Control::findit));
  EXPECT_EQ(view.Text(Control::findit), "Find it for me...");
  EXPECT_EQ(view.GameListText(), "Racer");
  EXPECT_EQ(view.detailsLines, std::vector<std::string>{"Fast\r\ncars"});
  EXPECT_TRUE(view.messages.empty());
  // Racer's patch is loaded: its file is located where the user points.
  system.AddFile(At("Games/Racer/r.exe"), GameFile(640, 480));
  Select("Games/Racer");
  EXPECT_TRUE(view.Enabled(Control::patchbutton));
}

TEST_P(MainFormTest, EmptyGameListStartsWithNothingPicked) {
  Start("");
  ExpectNotLocated();
  EXPECT_EQ(view.GameListText(), "");
  EXPECT_TRUE(view.detailsLines.empty());
  system.AddFile(At("Games/Racer/r.exe"), GameFile(640, 480));
  Select("Games/Racer");
  ExpectNotLocated();
  // No patches, so nothing to search for.
  view.log.clear();
  form.finditClick();
  EXPECT_TRUE(view.log.empty());
}

// The folder the tree shows is where the game's files are located and
// patched, and the definitions stay as written: another folder locates its
// own copy. The check file's name (below a folder in the definition) is what
// the search looks for, kept while the tree shows no folder.
TEST_P(MainFormTest, FolderSelectionLocatesAndEnablesPatch) {
  Start("a0=Racer\n[Racer]\ncheckfile=bin\\r.exe\n" + PatchKeys("", "r.exe"));
  system.AddFile(At("Games/Racer/r.exe"), GameFile(640, 480));
  Select("Games/Racer");
  EXPECT_TRUE(view.Enabled(Control::patchbutton));
  EXPECT_FALSE(view.Enabled(Control::undobutton));
  EXPECT_TRUE(view.Enabled(Control::widthedit));
  EXPECT_TRUE(view.Enabled(Control::heightedit));
  EXPECT_EQ(view.Text(Control::widthedit), "640");
  EXPECT_EQ(view.Text(Control::heightedit), "480");

  SelectMyComputer();
  ExpectNotLocated();
  form.finditClick();
  EXPECT_EQ(view.messages, std::vector<std::string>{"Found " + At("Games/Racer/r.exe") + "!"});
  EXPECT_EQ(view.TreeSelectedPath(), At("Games/Racer"));
  EXPECT_EQ(view.Text(Control::widthedit), "640");

  system.AddFile(At("Backup/Racer/r.exe"), GameFile(800, 600));
  Select("Backup/Racer");
  EXPECT_EQ(view.Text(Control::widthedit), "800");
  EXPECT_TRUE(view.Enabled(Control::patchbutton));
  Patch("1280", "720");
  EXPECT_EQ(view.messages.back(), "Game successfully patched!");
  EXPECT_EQ(system.Content(At("Backup/Racer/r.exe")), GameFile(1280, 720));
  EXPECT_TRUE(system.FileExists(At("Backup/Racer/r.undo")));
  EXPECT_EQ(system.Content(At("Games/Racer/r.exe")), GameFile(640, 480));
  EXPECT_FALSE(system.FileExists(At("Games/Racer/r.undo")));
}

TEST_P(MainFormTest, ARootFolderLocatesAndPatchesTheFilesRightBelowIt) {
  Start("a0=Racer\n[Racer]\n" + PatchKeys("", "r.exe"));
  system.AddFile(At("r.exe"), GameFile(800, 600));
  view.SetTreePath(Root());
  form.gamedirlvChange();
  ASSERT_TRUE(view.Enabled(Control::patchbutton));
  Patch("1024", "768");
  EXPECT_EQ(system.Content(At("r.exe")), GameFile(1024, 768));
  EXPECT_TRUE(system.FileExists(At("r.undo")));
}

// The entries are located last to first; the first missing file ends it.
TEST_P(MainFormTest, MissingSecondFileStopsBeforeTheFirst) {
  Start("a0=Racer\n[Racer]\n" + PatchKeys("", "one.exe") + PatchKeys("p1", "two.exe") +
        PatchKeys("p2", "three.exe"));
  system.AddFile(At("G/one.exe"), GameFile(1, 2));
  system.AddFile(At("G/three.exe"), GameFile(3, 4));
  std::vector<std::string> touched;
  system.FailWhen([&](MemorySystem::Op, const std::string& path) {
    touched.push_back(path);
    return false;
  });
  view.log.clear();
  Select("G");
  EXPECT_NE(std::find(view.log.begin(), view.log.end(), "text widthedit=3"), view.log.end());
  EXPECT_NE(std::find(touched.begin(), touched.end(), At("G/three.exe")), touched.end());
  EXPECT_EQ(std::find(touched.begin(), touched.end(), At("G/one.exe")), touched.end());
  ExpectNotLocated();
}

TEST_P(MainFormTest, FirstEntryDecidesTheEditBoxes) {
  Start("a0=Racer\n[Racer]\n" + PatchKeys("", "one.exe", false, true) +
        PatchKeys("p1", "two.exe", true, true));
  system.AddFile(At("G/one.exe"), GameFile(1, 2));
  system.AddFile(At("G/two.exe"), GameFile(3, 4));
  Select("G");
  EXPECT_TRUE(view.Enabled(Control::patchbutton));
  EXPECT_FALSE(view.Enabled(Control::widthedit));
  EXPECT_EQ(view.Text(Control::widthedit), "0");
  EXPECT_TRUE(view.Enabled(Control::heightedit));
  EXPECT_EQ(view.Text(Control::heightedit), "2");
}

TEST_P(MainFormTest, PickingAGameLocatesInTheSelectedFolderAndResetsTheSearch) {
  Start("a0=Racer\na1=Flyer\n[Racer]\ncheckfile=r.exe\n" + PatchKeys("", "r.exe") + "[Flyer]\n" +
        PatchKeys("", "f.exe"));
  system.AddFile(At("G/f.exe"), GameFile(1024, 768));
  system.AddFile(At("X/r.exe"), GameFile(640, 480));
  form.finditClick();
  ASSERT_EQ(view.messages.back(), "Found " + At("X/r.exe") + "!");
  EXPECT_EQ(view.Text(Control::findit), "Keep searching for me...");
  Select("G");
  ExpectNotLocated();  // Racer's file is not there
  view.log.clear();
  view.PickGame(1);
  form.gamecbChange();
  EXPECT_EQ(view.Text(Control::findit), "Find it for me...");
  EXPECT_EQ(view.Text(Control::widthedit), "1024");
  EXPECT_TRUE(view.Enabled(Control::patchbutton));
  for (const auto& line : view.log) EXPECT_EQ(line.rfind("tree", 0), std::string::npos) << line;

  // Back to Racer, the search starts afresh and finds the copy it found before.
  view.PickGame(0);
  form.gamecbChange();
  form.finditClick();
  EXPECT_EQ(view.messages.back(), "Found " + At("X/r.exe") + "!");
}

TEST_P(MainFormTest, PatchAndUndoFromTheButtons) {
  Start("a0=Racer\n[Racer]\n" + PatchKeys("", "r.exe"));
  system.AddFile(At("G/r.exe"), GameFile(640, 480));
  const Bytes original = system.Content(At("G/r.exe"));
  Select("G");
  Patch("1280", "720");
  EXPECT_EQ(view.messages.back(), "Game successfully patched!");
  EXPECT_EQ(system.Content(At("G/r.exe")), GameFile(1280, 720));
  EXPECT_TRUE(view.Enabled(Control::undobutton));
  EXPECT_TRUE(view.Enabled(Control::patchbutton));
  EXPECT_EQ(view.Text(Control::widthedit), "1280");

  // Selecting the folder again recognises the patched game by its record.
  SelectMyComputer();
  Select("G");
  EXPECT_TRUE(view.Enabled(Control::undobutton));

  form.undobuttonClick();
  EXPECT_EQ(view.messages.back(), "Patch successfully removed!");
  EXPECT_EQ(system.Content(At("G/r.exe")), original);
  EXPECT_FALSE(system.FileExists(At("G/r.undo")));
  EXPECT_FALSE(view.Enabled(Control::undobutton));
  EXPECT_EQ(view.Text(Control::widthedit), "640");
}

// Patch writes only what was typed: a box that holds no whole number from 1
// up is refused with a box of its own, and nothing is written.
TEST_P(MainFormTest, TypedTextThatIsNoScreenSizeIsRefused) {
  struct Case {
    std::string width, height;
    std::int32_t x, y;  // what the file holds afterwards
    std::string box;    // the first box
  };
  const std::string summary = "Errors found.  Unable to patch game!";
  Start("a0=Racer\n[Racer]\n" + PatchKeys("", "r.exe"));
  for (const Case& c :
       {Case{"1920x", "1080", 640, 480,
             "The width \"1920x\" is no screen size: type a whole number from 1 up."},
        Case{"$780", "1200 ", 640, 480,
             "The height \"1200 \" is no screen size: type a whole number from 1 up."},
        Case{"0", "768", 640, 480,
             "The width 0 for patch #1 is no screen size: type a whole number from 1 up."},
        Case{" 1920", "$4B0", 1920, 1200, "Game successfully patched!"}}) {
    system.AddFile(At("G/r.exe"), GameFile(640, 480));
    system.RemoveFile(At("G/r.undo"));
    Select("G");
    view.messages.clear();
    Patch(c.width, c.height);
    EXPECT_EQ(system.Content(At("G/r.exe")), GameFile(c.x, c.y)) << c.width << "/" << c.height;
    ASSERT_FALSE(view.messages.empty());
    EXPECT_EQ(view.messages.front(), c.box);
    if (c.x == 640) {
      EXPECT_EQ(view.messages.back(), summary);
    }
  }
}

TEST_P(MainFormTest, AnErrorWhileLocatingEndsTheHandlerWhereItStands) {
  Start("a0=Racer\n[Racer]\n" + PatchKeys("", "r.exe"));
  system.AddFile(At("G/r.exe"), GameFile(640, 480));
  system.Hold(At("G/r.exe"), MemorySystem::Holder::Writing);
  view.SetTreePath(At("G"));
  view.log.clear();
  EXPECT_THROW(form.gamedirlvChange(), FileError);
  EXPECT_EQ(view.log, std::vector<std::string>{"disable undobutton"});
}

TEST_P(MainFormTest, FindItStopsWhenTheWindowClosesDuringItsPendingMessages) {
  Start("a0=Racer\n[Racer]\ncheckfile=r.exe\n" + PatchKeys("", "r.exe"));
  system.AddFile(At("Games/Racer/r.exe"), GameFile(640, 480));
  const std::size_t listed = system.ListedFolders().size();
  view.closeQueued = true;
  view.log.clear();
  form.finditClick();
  // Nothing after the pass: no walk, no controls, no box.
  EXPECT_EQ(system.ListedFolders().size(), listed);
  EXPECT_EQ(view.log,
            (std::vector<std::string>{"panel show", "disable findit", "pending messages"}));

  // The same click with the window still there finds the file: the first of
  // a series, as nothing was found before.
  view.closeQueued = false;
  form.finditClick();
  EXPECT_EQ(view.messages, std::vector<std::string>{"Found " + At("Games/Racer/r.exe") + "!"});
}

TEST_P(MainFormTest, ForumLinkOpensTheForumAddress) {
  Start("");
  form.Label5Click();
  ASSERT_EQ(view.openedAddresses.size(), 1u);
  EXPECT_EQ(view.openedAddresses[0].rfind("https://", 0), 0u);
}

// A view whose progress label fails, as a window that runs out of resources might.
class FailingLabelView : public testing::RecordingView {
 public:
  void SetSearchLabel(const std::string&) override { throw std::runtime_error("label broke"); }
};

TEST(MainFormSearch, AnErrorDuringTheSearchStillUncoversTheTree) {
  MemorySystem system;
  system.AddFile(testing::kIniPath,
                 std::string("[apps]\nversion=1.03\na0=G\n[G]\nmodfile=g.exe\n"));
  system.AddFolder("C:\\Games\\G");
  FailingLabelView view;
  MainForm form(system, view);
  form.FormCreate();
  EXPECT_THROW(form.finditClick(), std::runtime_error);
  EXPECT_FALSE(view.searchPanelShown);
  EXPECT_TRUE(view.Enabled(Control::findit));
}

}  // namespace
}  // namespace quillfen
