#include "ui/main_form.h"

#include <gtest/gtest.h>

#include "definitions/game_loading.h"
#include "platform/file_error.h"
#include "support/fixtures.h"

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

class MainFormTest : public ::testing::Test, protected testing::DefinitionsFixture {
 protected:
  MainFormTest() : form(system, view) {
    view.onTreeChange = [this] { form.gamedirlvChange(); };
  }

  // Starts the window as the real one does: the tree's first selection, then
  // FormCreate. The edit boxes hold text before, which the start must clear:
  // left there, it would read as the game's values.
  void Start(const std::string& games_ini) {
    WriteIni("[apps]\nversion=1.03\n" + games_ini);
    view.SetText(Control::widthedit, "640");
    view.SetText(Control::heightedit, "480");
    form.gamedirlvChange();
    form.FormCreate();
  }

  void ExpectNotLocated() {
    for (Control c :
         {Control::widthedit, Control::heightedit, Control::patchbutton, Control::undobutton}) {
      EXPECT_FALSE(view.Enabled(c)) << testing::ControlName(c);
    }
    EXPECT_EQ(view.Text(Control::widthedit), "");
    EXPECT_EQ(view.Text(Control::heightedit), "");
  }

  MainForm form;
};

TEST_F(MainFormTest, StartsWithEverythingDisabledAndTheFirstGameShown) {
  Start("a0=Racer\na1=Flyer\n[Racer]\ndetails=Fast\\013\\010cars\n" + PatchKeys("", "r.exe"));
  ExpectNotLocated();
  EXPECT_TRUE(view.Enabled(Control::findit));
  EXPECT_EQ(view.Text(Control::findit), "Find it for me...");
  EXPECT_EQ(view.GameListText(), "Racer");
  EXPECT_EQ(view.detailsLines, std::vector<std::string>{"Fast\r\ncars"});
  EXPECT_EQ(form.State().patchList.Count(), 1u);
  EXPECT_TRUE(view.messages.empty());
}

TEST_F(MainFormTest, EmptyGameListStartsWithNothingPicked) {
  Start("");
  ExpectNotLocated();
  EXPECT_EQ(view.GameListText(), "");
  EXPECT_TRUE(view.detailsLines.empty());
  EXPECT_TRUE(form.State().patchList.Empty());
  system.AddFile("C:\\Games\\Racer\\r.exe", GameFile(640, 480));
  view.SetTreePath("C:\\Games\\Racer");
  form.gamedirlvChange();
  ExpectNotLocated();
}

TEST_F(MainFormTest, FolderSelectionLocatesAndEnablesPatch) {
  Start("a0=Racer\n[Racer]\ncheckfile=bin\\r.exe\n" + PatchKeys("", "r.exe"));
  system.AddFile("C:\\Games\\Racer\\r.exe", GameFile(640, 480));
  view.SetTreePath("C:\\Games\\Racer");
  form.gamedirlvChange();
  EXPECT_TRUE(view.Enabled(Control::patchbutton));
  EXPECT_FALSE(view.Enabled(Control::undobutton));
  EXPECT_TRUE(view.Enabled(Control::widthedit));
  EXPECT_TRUE(view.Enabled(Control::heightedit));
  EXPECT_EQ(view.Text(Control::widthedit), "640");
  EXPECT_EQ(view.Text(Control::heightedit), "480");
  EXPECT_EQ(form.State().gameFolder, "C:\\Games\\Racer\\");
  EXPECT_EQ(form.State().checkFilePath, "C:\\Games\\Racer\\r.exe");
  EXPECT_EQ(form.State().located.at(0).modfile, "C:\\Games\\Racer\\r.exe");
  EXPECT_EQ(form.State().patchList.At(0).modfile, "r.exe");  // the definition stays as written

  // My Computer afterwards: not located, but the folder is kept.
  view.SetTreePath("My Computer");
  form.gamedirlvChange();
  ExpectNotLocated();
  EXPECT_EQ(form.State().gameFolder, "C:\\Games\\Racer\\");
  EXPECT_EQ(form.State().checkFilePath, "C:\\Games\\Racer\\r.exe");
}

TEST_F(MainFormTest, DriveRootGivesOneBackslash) {
  Start("a0=Racer\n[Racer]\n" + PatchKeys("", "r.exe"));
  system.AddFile("D:\\r.exe", GameFile(800, 600));
  view.SetTreePath("D:\\");
  form.gamedirlvChange();
  EXPECT_EQ(form.State().gameFolder, "D:\\");
  EXPECT_TRUE(view.Enabled(Control::patchbutton));
}

TEST_F(MainFormTest, MissingSecondFileStopsBeforeTheFirst) {
  Start("a0=Racer\n[Racer]\n" + PatchKeys("", "one.exe") + PatchKeys("p1", "two.exe") +
        PatchKeys("p2", "three.exe"));
  system.AddFile("C:\\G\\one.exe", GameFile(1, 2));
  system.AddFile("C:\\G\\three.exe", GameFile(3, 4));
  view.SetTreePath("C:\\G");
  form.gamedirlvChange();
  const std::vector<LocatedPatch>& located = form.State().located;
  EXPECT_EQ(located.at(2).places->x, 20);  // located
  EXPECT_EQ(located.at(1).modfile, "C:\\G\\two.exe");
  EXPECT_EQ(located.at(0).modfile, "");  // never touched
  ExpectNotLocated();
}

TEST_F(MainFormTest, FirstEntryDecidesTheEditBoxes) {
  Start("a0=Racer\n[Racer]\n" + PatchKeys("", "one.exe", false, true) +
        PatchKeys("p1", "two.exe", true, true));
  system.AddFile("C:\\G\\one.exe", GameFile(1, 2));
  system.AddFile("C:\\G\\two.exe", GameFile(3, 4));
  view.SetTreePath("C:\\G");
  form.gamedirlvChange();
  EXPECT_TRUE(view.Enabled(Control::patchbutton));
  EXPECT_FALSE(view.Enabled(Control::widthedit));
  EXPECT_EQ(view.Text(Control::widthedit), "0");
  EXPECT_TRUE(view.Enabled(Control::heightedit));
  EXPECT_EQ(view.Text(Control::heightedit), "2");
}

TEST_F(MainFormTest, PickingAGameLocatesInTheSelectedFolderAndResetsTheSearch) {
  Start("a0=Racer\na1=Flyer\n[Racer]\n" + PatchKeys("", "r.exe") + "[Flyer]\n" +
        PatchKeys("", "f.exe"));
  system.AddFile("C:\\G\\f.exe", GameFile(1024, 768));
  view.SetTreePath("C:\\G");
  form.gamedirlvChange();
  ExpectNotLocated();  // Racer's file is not there
  form.State().foundFiles = {"C:\\X\\r.exe"};
  view.SetText(Control::findit, "Keep searching for me...");
  view.log.clear();
  view.PickGame(1);
  form.gamecbChange();
  EXPECT_TRUE(form.State().foundFiles.empty());
  EXPECT_EQ(view.Text(Control::findit), "Find it for me...");
  EXPECT_EQ(view.Text(Control::widthedit), "1024");
  EXPECT_TRUE(view.Enabled(Control::patchbutton));
  for (const auto& line : view.log) EXPECT_EQ(line.rfind("tree", 0), std::string::npos) << line;
}

TEST_F(MainFormTest, PatchAndUndoFromTheButtons) {
  Start("a0=Racer\n[Racer]\n" + PatchKeys("", "r.exe"));
  system.AddFile("C:\\G\\r.exe", GameFile(640, 480));
  const Bytes original = system.Content("C:\\G\\r.exe");
  view.SetTreePath("C:\\G");
  form.gamedirlvChange();
  view.SetText(Control::widthedit, "1280");
  view.SetText(Control::heightedit, "720");
  form.patchbuttonClick();
  EXPECT_EQ(view.messages.back(), "Game successfully patched!");
  EXPECT_EQ(system.Content("C:\\G\\r.exe"), GameFile(1280, 720));
  EXPECT_TRUE(view.Enabled(Control::undobutton));
  EXPECT_TRUE(view.Enabled(Control::patchbutton));
  EXPECT_EQ(view.Text(Control::widthedit), "1280");

  // Selecting the folder again recognises the patched game by its record.
  view.SetTreePath("My Computer");
  form.gamedirlvChange();
  view.SetTreePath("C:\\G");
  form.gamedirlvChange();
  EXPECT_TRUE(view.Enabled(Control::undobutton));

  form.undobuttonClick();
  EXPECT_EQ(view.messages.back(), "Patch successfully removed!");
  EXPECT_EQ(system.Content("C:\\G\\r.exe"), original);
  EXPECT_FALSE(system.FileExists("C:\\G\\r.undo"));
  EXPECT_FALSE(view.Enabled(Control::undobutton));
  EXPECT_EQ(view.Text(Control::widthedit), "640");
}

// Patch writes only what was typed: a box that holds no whole number from 1
// up is refused with a box of its own, and nothing is written.
TEST_F(MainFormTest, TypedTextThatIsNoScreenSizeIsRefused) {
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
    system.AddFile("C:\\G\\r.exe", GameFile(640, 480));
    system.RemoveFile("C:\\G\\r.undo");
    view.SetTreePath("C:\\G");
    form.gamedirlvChange();
    view.SetText(Control::widthedit, c.width);
    view.SetText(Control::heightedit, c.height);
    view.messages.clear();
    form.patchbuttonClick();
    EXPECT_EQ(system.Content("C:\\G\\r.exe"), GameFile(c.x, c.y)) << c.width << "/" << c.height;
    ASSERT_FALSE(view.messages.empty());
    EXPECT_EQ(view.messages.front(), c.box);
    if (c.x == 640) {
      EXPECT_EQ(view.messages.back(), summary);
    }
  }
}

TEST_F(MainFormTest, AnErrorWhileLocatingEndsTheHandlerWhereItStands) {
  Start("a0=Racer\n[Racer]\n" + PatchKeys("", "r.exe"));
  system.AddFile("C:\\G\\r.exe", GameFile(640, 480));
  system.Hold("C:\\G\\r.exe", MemorySystem::Holder::Writing);
  view.SetTreePath("C:\\G");
  view.log.clear();
  EXPECT_THROW(form.gamedirlvChange(), FileError);
  EXPECT_EQ(view.log, std::vector<std::string>{"disable undobutton"});
}

TEST_F(MainFormTest, FindItStopsWhenTheWindowClosesDuringItsPendingMessages) {
  Start("a0=Racer\n[Racer]\ncheckfile=r.exe\n" + PatchKeys("", "r.exe"));
  system.AddFile("C:\\Games\\Racer\\r.exe", GameFile(640, 480));
  const std::size_t listed = system.ListedFolders().size();
  view.closeQueued = true;
  view.log.clear();
  form.finditClick();
  // Nothing after the pass: no walk, no controls, no box.
  EXPECT_EQ(system.ListedFolders().size(), listed);
  EXPECT_EQ(view.log,
            (std::vector<std::string>{"panel show", "disable findit", "pending messages"}));
  EXPECT_TRUE(form.State().foundFiles.empty());

  // The same click with the window still there finds the file.
  view.closeQueued = false;
  form.finditClick();
  EXPECT_EQ(view.messages, std::vector<std::string>{"Found C:\\Games\\Racer\\r.exe!"});
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

TEST_F(MainFormTest, ForumLinkOpensTheForumAddress) {
  Start("");
  form.Label5Click();
  ASSERT_EQ(view.openedAddresses.size(), 1u);
  EXPECT_EQ(view.openedAddresses[0].rfind("https://", 0), 0u);
}

}  // namespace
}  // namespace quillfen
