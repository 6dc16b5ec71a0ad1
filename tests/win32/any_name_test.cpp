// Folder and file names in any script reach the real file system whole: the
// program's text is UTF-8, and the Win32 layer speaks the wide calls.

#include <gtest/gtest.h>
#include <windows.h>

#include <string>

#include "definitions/ini.h"
#include "engine/locate.h"
#include "engine/patching.h"
#include "platform/win32/win32_system.h"
#include "search/folder_search_internal.h"
#include "support/game_files.h"
#include "ui/report_text.h"
#include "win32/real_files.h"

namespace quillfen {
namespace {

using testing::ScratchFolder;

const std::string kGameFolder = "Ведьмак 表";  // Cyrillic and CJK: no ANSI code page spells both

std::string TextOf(const Bytes& bytes) {
  return std::string(bytes.begin(), bytes.end());
}

TEST(AnyName, AGameInACyrillicAndCjkFolderIsLocatedPatchedAndUndone) {
  ScratchFolder games("any-names");
  Win32System system;
  const Bytes original = testing::GameFile(300, 3, 640, 480);
  const std::string exe = games.Write(kGameFolder + "\\ソフト.exe", TextOf(original));
  const std::string folder = games.Path() + kGameFolder + "\\";
  PatchList list;
  list.Append(testing::GameEntry("ソフト.exe", "ソフト.undo"));
  const LocatedPatch found = LocatePatch(system, folder, list.At(0));
  ASSERT_TRUE(found.located);
  EXPECT_EQ(found.modfile, exe);

  EXPECT_TRUE(ApplyPatches(system, list, folder, 1920, 1080).done);
  EXPECT_TRUE(system.FileExists(folder + "ソフト.undo"));
  const LocatedPatch patched = LocatePatch(system, folder, list.At(0));
  EXPECT_TRUE(patched.from_record);
  EXPECT_EQ(patched.width, 1920);

  EXPECT_TRUE(RemovePatches(system, list, folder).done);
  EXPECT_EQ(system.ReadWholeFile(exe), original);
  EXPECT_FALSE(system.FileExists(folder + "ソフト.undo"));

  // Messages name the file with a to z upper-cased and every other letter kept.
  list.At(0).modfile = folder + "ソフトgame.exe";
  EXPECT_EQ(BoxText(ApplyPatches(system, list, folder, 1, 1).reports.front(), '\\'),
            "Unable to find file ソフトGAME.EXE for patch #1!");
}

TEST(AnyName, TheFolderSearchFindsTheCheckFileUnderAnyName) {
  ScratchFolder games("any-search");
  Win32System system;
  const std::string check = games.Write(kGameFolder + "\\表示.exe", "x");
  std::string result;
  search_internal::FirstFound(system, games.Path(), "表示.EXE", {}, {}, result, {});
  EXPECT_EQ(result, check);
}

TEST(AnyName, DefinitionsInTheAnsiCodePageOrInUtf16AreReadAsWritten) {
  ScratchFolder folder("any-ini");
  Win32System system;
  const std::string ansi =
      folder.Write("ansi.ini", "[apps]\r\nversion=1.03\r\na0=Caf\xE9 Racer\r\n");
  // The test prefix runs in code page 1252 (scripts/wine-env sets its locale).
  ASSERT_EQ(GetACP(), 1252u);
  EXPECT_EQ(ReadIniValue(system, "apps", "a0", ansi), "Café Racer");
  std::wstring text = L"\xFEFF[apps]\r\nversion=1.03\r\na0=Ведьмак 表\r\n";
  const std::string utf16 = folder.Write(
      "utf16.ini", std::string(reinterpret_cast<const char*>(text.data()), text.size() * 2));
  EXPECT_EQ(ReadIniValue(system, "apps", "version", utf16), "1.03");
  EXPECT_EQ(ReadIniValue(system, "Apps", "a0", utf16), "Ведьмак 表");
}

}  // namespace
}  // namespace quillfen
