// The whole tool through its real window, on the demo game's real files:
// pick the game, select its folder, patch, undo, and a file that cannot be read.

#include <gtest/gtest.h>
#include <windows.h>

#include <algorithm>

#include "engine/crc32.h"
#include "platform/win32/win32_owners.h"
#include "platform/win32/utf8.h"
#include "platform/win32/win32_system.h"
#include "ui/main_form.h"
#include "ui/win32/layout.h"
#include "win32/real_files.h"
#include "win32/window_fixture.h"

namespace quillfen::testing {
namespace {

using namespace win32;

// A file's bytes, whatever script its path is in; empty when it cannot be read.
std::string ReadText(const std::string& path) {
  Win32System files;
  if (!files.FileExists(path)) return {};
  const Bytes bytes = files.ReadWholeFile(path);
  return std::string(bytes.begin(), bytes.end());
}

FILETIME LocalTime(WORD hour, WORD minute, WORD second) {
  SYSTEMTIME local = {};
  local.wYear = 2024;
  local.wMonth = 5;
  local.wDay = 17;
  local.wHour = hour;
  local.wMinute = minute;
  local.wSecond = second;
  FILETIME file_local, file_utc;
  SystemTimeToFileTime(&local, &file_local);
  LocalFileTimeToFileTime(&file_local, &file_utc);
  return file_utc;
}

SYSTEMTIME LastWriteLocal(const std::string& path) {
  WIN32_FILE_ATTRIBUTE_DATA data = {};
  GetFileAttributesExA(path.c_str(), GetFileExInfoStandard, &data);
  FILETIME local;
  FileTimeToLocalFileTime(&data.ftLastWriteTime, &local);
  SYSTEMTIME time;
  FileTimeToSystemTime(&local, &time);
  return time;
}

class WindowPatchTest : public WindowTest {
 protected:
  void SetUp() override {
    WindowTest::SetUp();
    const std::string demo = system.ExecutableFolder() + "demo\\";
    WriteDefinitions(ReadText(demo + "patches.ini"));
    folder = std::make_unique<ScratchFolder>("window demo");
    exe_bytes = ReadText(demo + "demogame.exe");
    data_bytes = ReadText(demo + "demofont.dat");
    ASSERT_FALSE(exe_bytes.empty());
    exe = folder->Write("Game\\demogame.exe", exe_bytes);
    data = folder->Write("Game\\demofont.dat", data_bytes);
    SetTime(exe, LocalTime(10, 0, 5));
    ASSERT_TRUE(OpenWindow());
  }
  void TearDown() override {
    window.reset();
    folder.reset();
    WindowTest::TearDown();
  }

  static void SetTime(const std::string& path, FILETIME time) {
    const auto file = win32::UniqueFile(
        CreateFileA(path.c_str(), FILE_WRITE_ATTRIBUTES, 0, nullptr, OPEN_EXISTING, 0, nullptr));
    SetFileTime(file.Get(), nullptr, nullptr, &time);
  }

  void PickFirstGame() {
    const HWND list = Control(kGamecb);
    SendMessageA(list, CB_SETCURSEL, 0, 0);
    SendMessageA(GetParent(list), WM_COMMAND, MAKEWPARAM(kGamecb, CBN_SELCHANGE),
                 reinterpret_cast<LPARAM>(list));
  }
  // A folder selection as a handler makes it; an error shows in the error report.
  void SelectFolder(const std::string& path) {
    RunHandler([&] { window->TreeSelectPath(path); });
  }
  void Click(ControlId button) { SendMessageA(Control(button), BM_CLICK, 0, 0); }
  std::string Game() const { return folder->Path() + "Game"; }
  std::size_t ValuesAt() const { return exe_bytes.find("QFDEMOWH") + 8; }

  std::unique_ptr<ScratchFolder> folder;
  std::string exe_bytes, data_bytes, exe, data;
};

TEST_F(WindowPatchTest, PatchAndUndoTheDemoGameFromTheWindow) {
  PickFirstGame();
  EXPECT_EQ(TextOf(Control(kGamecb)), "Quillfen Demo Game");
  SelectFolder(Game());
  ASSERT_TRUE(boxes.empty()) << boxes[0].text;
  EXPECT_EQ(TextOf(Control(kWidthedit)), "1024");
  EXPECT_EQ(TextOf(Control(kHeightedit)), "768");
  EXPECT_TRUE(IsWindowEnabled(Control(kPatchbutton)));
  EXPECT_FALSE(IsWindowEnabled(Control(kUndobutton)));

  SetWindowTextA(Control(kWidthedit), "1280");
  SetWindowTextA(Control(kHeightedit), "720");
  Click(kPatchbutton);
  ASSERT_EQ(boxes.size(), 1u);
  EXPECT_EQ(boxes[0].text, "Game successfully patched!");
  EXPECT_EQ(boxes[0].caption, "Quillfen");
  EXPECT_EQ(boxes[0].flags, static_cast<UINT>(MB_OK));

  std::string patched = exe_bytes;
  patched.replace(ValuesAt(), 8, std::string("\x00\x05\x00\x00\xD0\x02\x00\x00", 8));
  const std::string now = ReadText(exe);
  EXPECT_TRUE(now == patched) << "only the eight bytes of the window size change";
  const SYSTEMTIME time = LastWriteLocal(exe);
  EXPECT_EQ(time.wHour, 10);
  EXPECT_EQ(time.wMinute, 0);
  EXPECT_EQ(time.wSecond, 5);  // the time itself, not rounded to even seconds

  const std::int32_t crc = Crc32Of(Bytes(now.begin(), now.end()));
  const std::string position = std::to_string(ValuesAt());
  const std::string height_position = std::to_string(ValuesAt() + 4);
  EXPECT_EQ(
      ReadText(folder->Path() + "Game\\demogame.undo"),
      std::to_string(crc) + "\r\n" + position + "\r\n" + height_position + "\r\n1024\r\n768\r\n");
  EXPECT_TRUE(IsWindowEnabled(Control(kUndobutton)));
  EXPECT_EQ(TextOf(Control(kWidthedit)), "1280");

  Click(kUndobutton);
  ASSERT_EQ(boxes.size(), 2u);
  EXPECT_EQ(boxes[1].text, "Patch successfully removed!");
  EXPECT_TRUE(ReadText(exe) == exe_bytes);
  EXPECT_TRUE(ReadText(data) == data_bytes);
  EXPECT_EQ(GetFileAttributesA((folder->Path() + "Game\\demogame.undo").c_str()),
            INVALID_FILE_ATTRIBUTES);
  EXPECT_EQ(GetFileAttributesA((folder->Path() + "Game\\demofont.undo").c_str()),
            INVALID_FILE_ATTRIBUTES);
  EXPECT_FALSE(IsWindowEnabled(Control(kUndobutton)));
  EXPECT_EQ(TextOf(Control(kWidthedit)), "1024");
}

TEST_F(WindowPatchTest, AFileHeldOpenForWritingShowsTheErrorReportAndTheWindowCarriesOn) {
  auto other =
      win32::UniqueFile(CreateFileA(exe.c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE,
                                    nullptr, OPEN_EXISTING, 0, nullptr));
  ASSERT_TRUE(other);
  SelectFolder(Game());
  ASSERT_EQ(boxes.size(), 1u);
  EXPECT_EQ(boxes[0].flags, static_cast<UINT>(MB_OK | MB_ICONERROR));
  EXPECT_EQ(boxes[0].text.rfind("Cannot open file \"" + exe + "\". ", 0), 0u) << boxes[0].text;
  EXPECT_EQ(boxes[0].text.back(), '.');
  EXPECT_FALSE(IsWindowEnabled(Control(kUndobutton)));
  EXPECT_TRUE(ReadText(data) == data_bytes);
  other.Reset();

  // The window is still usable: selecting the folder again locates the game.
  SelectFolder(folder->Path());
  SelectFolder(Game());
  EXPECT_EQ(boxes.size(), 1u);
  EXPECT_EQ(TextOf(Control(kWidthedit)), "1024");
  EXPECT_TRUE(IsWindowEnabled(Control(kPatchbutton)));
}

// A definition whose undo file names the user's save game: Patch refuses it,
// and Undo Patch restores the game without deleting the save.
TEST_F(WindowPatchTest, AnUndoFileNamingASaveGameIsNeverReplacedOrDeleted) {
  std::string save(4096, '\0');
  for (std::size_t i = 0; i < save.size(); ++i) save[i] = static_cast<char>(i * 13);
  const std::string save_path = folder->Write("Game\\profile.sav", save);
  const std::string demo = ReadText(system.ExecutableFolder() + "demo\\patches.ini");
  const auto with_line = [&](const std::string& after, const std::string& line) {
    std::string text = demo;
    text.insert(text.find(after) + after.size(), "\r\n" + line);
    return text;
  };

  WriteDefinitions(with_line("modfile=demogame.exe", "undofile=profile.sav"));
  PickFirstGame();
  SelectFolder(Game());
  Click(kPatchbutton);
  ASSERT_EQ(boxes.size(), 2u);
  EXPECT_EQ(boxes[0].text,
            "Unable to write to file PROFILE.SAV for patch #1!  Close all programs/games before "
            "patching.");
  EXPECT_EQ(boxes[1].text, "Errors found.  Unable to patch game!");
  EXPECT_TRUE(ReadText(save_path) == save);
  EXPECT_TRUE(ReadText(exe) == exe_bytes);

  WriteDefinitions(demo);
  PickFirstGame();
  SelectFolder(folder->Path());
  SelectFolder(Game());
  Click(kPatchbutton);
  ASSERT_EQ(boxes.back().text, "Game successfully patched!");
  WriteDefinitions(with_line("p1modfile=demofont.dat", "p1undofile=profile.sav"));
  PickFirstGame();
  SelectFolder(folder->Path());
  SelectFolder(Game());
  ASSERT_TRUE(IsWindowEnabled(Control(kUndobutton)));
  Click(kUndobutton);
  EXPECT_EQ(boxes.back().text, "Patch successfully removed!");
  EXPECT_TRUE(ReadText(save_path) == save);
  EXPECT_TRUE(ReadText(exe) == exe_bytes);
}

// Patch writes what the user typed or nothing, into the files as they are at
// the press: a box that holds no size is refused, and another edition of the
// game that landed after the folder was selected is located again.
TEST_F(WindowPatchTest, PatchWritesOnlyWhatWasTypedIntoTheFilesAsTheyAreAtThePress) {
  PickFirstGame();
  SelectFolder(Game());
  ASSERT_TRUE(boxes.empty());
  SetWindowTextA(Control(kWidthedit), "1920x");
  Click(kPatchbutton);
  ASSERT_EQ(boxes.size(), 2u);
  EXPECT_EQ(boxes[0].text, "The width \"1920x\" is no screen size: type a whole number from 1 up.");
  EXPECT_EQ(boxes[1].text, "Errors found.  Unable to patch game!");
  EXPECT_TRUE(ReadText(exe) == exe_bytes);
  EXPECT_EQ(GetFileAttributesA((folder->Path() + "Game\\demogame.undo").c_str()),
            INVALID_FILE_ATTRIBUTES);

  // A launcher's update: the values now lie 16 bytes further on.
  std::string edition = exe_bytes;
  edition.insert(ValuesAt() - 8, std::string(16, '\x5A'));
  folder->Write("Game\\demogame.exe", edition);
  SetWindowTextA(Control(kWidthedit), "1280");
  SetWindowTextA(Control(kHeightedit), "720");
  Click(kPatchbutton);
  ASSERT_EQ(boxes.back().text, "Game successfully patched!");
  std::string patched = edition;
  patched.replace(ValuesAt() + 16, 8, std::string("\x00\x05\x00\x00\xD0\x02\x00\x00", 8));
  EXPECT_TRUE(ReadText(exe) == patched) << "only the new edition's window size changes";
  Click(kUndobutton);
  ASSERT_EQ(boxes.back().text, "Patch successfully removed!");
  EXPECT_TRUE(ReadText(exe) == edition);
}

// A game in a folder whose name no ANSI code page spells: found by its check
// file, located through the real tree, patched and undone byte for byte.
TEST_F(WindowPatchTest, AGameInAFolderOfAnyScriptIsFoundPatchedAndUndone) {
  const std::string any = "Ведьмак 表";
  const std::string exe_any = folder->Write(any + "\\demogame.exe", exe_bytes);
  folder->Write(any + "\\demofont.dat", data_bytes);
  const std::string check = folder->Write(any + "\\ソフト表.chk", "x");
  // The definitions in UTF-16, so that the check file's name survives any code page.
  std::string ini = ReadText(system.ExecutableFolder() + "demo\\patches.ini");
  ini.replace(ini.find("checkfile=demogame.exe"), 22, "checkfile=ソフト表.chk");
  const std::wstring wide = L"\xFEFF" + win32::Widen(ini);
  WriteDefinitions(std::string(reinterpret_cast<const char*>(wide.data()), wide.size() * 2));

  PickFirstGame();
  Click(kFindit);
  ASSERT_EQ(boxes.size(), 1u);
  EXPECT_EQ(boxes[0].text, "Found " + check + "!");
  EXPECT_EQ(TextOf(Control(kWidthedit)), "1024");
  ASSERT_TRUE(IsWindowEnabled(Control(kPatchbutton)));

  SetWindowTextA(Control(kWidthedit), "1280");
  SetWindowTextA(Control(kHeightedit), "720");
  Click(kPatchbutton);
  ASSERT_EQ(boxes.back().text, "Game successfully patched!");
  EXPECT_FALSE(ReadText(exe_any) == exe_bytes);
  Click(kUndobutton);
  ASSERT_EQ(boxes.back().text, "Patch successfully removed!");
  EXPECT_TRUE(ReadText(exe_any) == exe_bytes);
  EXPECT_TRUE(ReadText(exe) == exe_bytes);  // the copy elsewhere was never touched
}

}  // namespace
}  // namespace quillfen::testing
