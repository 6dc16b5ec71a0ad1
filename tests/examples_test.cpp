// examples/patches.ini and examples/demofont.dat, built into the test program so
// that the checks run the same natively and under Wine.

// <windows.h> renames DeleteFile; it must come before the system interface.
#if defined(_WIN32)
#include <windows.h>
#endif

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <string>

#include "definitions/game_loading.h"
#include "engine/signature.h"
#include "support/fixtures.h"
#include "ui/main_form.h"

#if defined(_WIN32) && defined(QUILLFEN_DEMO_EXE)
#include "platform/win32/win32_system.h"
#include "win32/real_files.h"
#endif

#if defined(_WIN32)
#define QF_EMBED_SECTION ".section .rdata,\"dr\"\n"
#else
#define QF_EMBED_SECTION ".section .rodata\n"
#endif

#define QF_EMBED(name, file)                                       \
  asm(QF_EMBED_SECTION ".global " #name "_begin\n" #name           \
                       "_begin:\n"                                 \
                       ".incbin \"" QUILLFEN_EXAMPLES_DIR "/" file \
                       "\"\n"                                      \
                       ".global " #name "_end\n" #name             \
                       "_end:\n"                                   \
                       ".text\n")

QF_EMBED(qf_example_ini, "patches.ini");
QF_EMBED(qf_example_data, "demofont.dat");

extern "C" const char qf_example_ini_begin[], qf_example_ini_end[];
extern "C" const std::uint8_t qf_example_data_begin[], qf_example_data_end[];

#if defined(_WIN32) && defined(QUILLFEN_DEMO_EXE)
asm(QF_EMBED_SECTION
    ".global qf_demo_exe_begin\nqf_demo_exe_begin:\n"
    ".incbin \"" QUILLFEN_DEMO_EXE
    "\"\n"
    ".global qf_demo_exe_end\nqf_demo_exe_end:\n"
    ".text\n");
extern "C" const std::uint8_t qf_demo_exe_begin[], qf_demo_exe_end[];
#endif

namespace quillfen {
namespace {

using testing::DefinitionsFixture;

constexpr const char* kDemoGame = "Quillfen Demo Game";

std::string ExampleIni() {
  return std::string(qf_example_ini_begin, qf_example_ini_end);
}
Bytes ExampleData() {
  return Bytes(qf_example_data_begin, qf_example_data_end);
}

TEST(Examples, PatchesIniDescribesTheDemoGame) {
  DefinitionsFixture f;
  f.WriteIni(ExampleIni());
  ASSERT_TRUE(LoadAppList(f.system).accepted);
  MainForm form(f.system, f.view);
  form.FormCreate();
  EXPECT_EQ(f.view.gameList, (std::vector<std::string>{kDemoGame}));
  ASSERT_EQ(f.view.detailsLines.size(), 1u);
  EXPECT_NE(f.view.detailsLines[0].find("comes with Quillfen.\r\n\r\nIts window"),
            std::string::npos);
  EXPECT_EQ(f.view.detailsLines[0].find('\\'), std::string::npos);

  PatchList list;
  EXPECT_EQ(LoadGamePatches(f.system, kDemoGame, list).checkfile, "demogame.exe");
  ASSERT_EQ(list.Count(), 2u);
  const PatchEntry& exe = list.At(0);
  EXPECT_EQ(exe.modfile, "demogame.exe");
  EXPECT_EQ(exe.undofile, "demogame.undo");
  EXPECT_EQ(std::string(exe.sig.begin(), exe.sig.end()), "QFDEMOWH");
  EXPECT_EQ(exe.sigwild, std::vector<std::uint8_t>(8, 0));
  EXPECT_TRUE(exe.hasx && exe.hasy);
  EXPECT_EQ(exe.xoffset, 8);
  EXPECT_EQ(exe.yoffset, 12);
  EXPECT_EQ(exe.occur, 1);
  EXPECT_EQ(exe.setx, NotSet);
  EXPECT_EQ(exe.sety, NotSet);

  const PatchEntry& data = list.At(1);
  EXPECT_EQ(data.modfile, "demofont.dat");
  EXPECT_EQ(data.undofile, "demofont.undo");  // its own record, not the exe's
  EXPECT_EQ(data.sig, (std::vector<std::uint8_t>{'Q', 'F', 'V', 0, 'H', 'G', 'T'}));
  EXPECT_EQ(data.sigwild, (std::vector<std::uint8_t>{0, 0, 0, 1, 0, 0, 0}));
  EXPECT_FALSE(data.hasx);
  EXPECT_TRUE(data.hasy);
  EXPECT_EQ(data.occur, 2);
  EXPECT_EQ(data.sety, 28);
  EXPECT_EQ(data.setylen, 2);
}

TEST(Examples, TheDataPatchTakesTheSecondOfThreeRecords) {
  DefinitionsFixture f;
  f.WriteIni(ExampleIni());
  PatchList list;
  LoadGamePatches(f.system, kDemoGame, list);
  const PatchEntry& entry = list.At(1);
  const Bytes data = ExampleData();

  auto find = [&](std::int32_t occur) {
    return FindSignature(data, entry.sig, entry.sigwild, entry.yoffset, occur);
  };
  auto height_at = [&](std::int32_t position) {
    return data[position] | (data[position + 1] << 8);
  };
  // The slot byte differs in each record, so only the wildcard lets all three match.
  EXPECT_EQ(FindSignature(data, entry.sig, std::vector<std::uint8_t>(7, 0), 8, 1), 0);
  ASSERT_GT(find(1), 0);
  EXPECT_EQ(data[find(2) - 8 + 3], 2);  // the slot the game reads its text height from
  EXPECT_EQ(height_at(find(1)), 12);
  EXPECT_EQ(height_at(find(entry.occur)), 16);
  EXPECT_EQ(height_at(find(3)), 20);
  EXPECT_EQ(find(4), 0);
}

#if defined(_WIN32) && defined(QUILLFEN_DEMO_EXE)

// The system of the real Win32 layer, with the program's folder moved to where
// the test lays out patches.ini.
class DemoSystem : public Win32System {
 public:
  explicit DemoSystem(std::string folder) : folder_(std::move(folder)) {}
  std::string ExecutableFolder() override { return folder_; }

 private:
  std::string folder_;
};

std::string Text(const std::uint8_t* begin, const std::uint8_t* end) {
  return std::string(reinterpret_cast<const char*>(begin), reinterpret_cast<const char*>(end));
}

// Starts the demo game, waits for its window and returns its client size.
SIZE DemoClientSize(const std::string& exe) {
  STARTUPINFOA startup = {};
  startup.cb = sizeof startup;
  PROCESS_INFORMATION process = {};
  std::string command = "\"" + exe + "\"";
  SIZE size = {0, 0};
  const std::string folder = exe.substr(0, exe.rfind('\\') + 1);
  if (!CreateProcessA(exe.c_str(), command.data(), nullptr, nullptr, FALSE, 0, nullptr,
                      folder.c_str(), &startup, &process)) {
    ADD_FAILURE() << "cannot start " << exe;
    return size;
  }
  WaitForInputIdle(process.hProcess, 10000);
  HWND window = nullptr;
  for (int tries = 0; tries < 200 && !window; ++tries) {
    window = FindWindowA("QuillfenDemoGame", nullptr);
    if (!window) Sleep(50);
  }
  if (window) {
    RECT client;
    GetClientRect(window, &client);
    size = {client.right - client.left, client.bottom - client.top};
    PostMessageA(window, WM_CLOSE, 0, 0);
  } else {
    ADD_FAILURE() << "the demo game shows no window";
  }
  if (WaitForSingleObject(process.hProcess, 10000) != WAIT_OBJECT_0) {
    TerminateProcess(process.hProcess, 1);
  }
  CloseHandle(process.hThread);
  CloseHandle(process.hProcess);
  return size;
}

TEST(Examples, TheDemoGameOpensAtThePatchedSizeAndBackAfterUndo) {
  testing::ScratchFolder folder("demo");
  folder.Write("patches.ini", ExampleIni());
  const Bytes exe_bytes(qf_demo_exe_begin, qf_demo_exe_end);
  const Bytes data_bytes = ExampleData();
  const std::string exe =
      folder.Write("Game\\demogame.exe", Text(qf_demo_exe_begin, qf_demo_exe_end));
  const std::string data =
      folder.Write("Game\\demofont.dat", Text(qf_example_data_begin, qf_example_data_end));
  const SIZE built = DemoClientSize(exe);
  EXPECT_EQ(built.cx, 1024);
  EXPECT_EQ(built.cy, 768);

  DemoSystem system(folder.Path());
  testing::RecordingView view;
  MainForm form(system, view);
  view.onTreeChange = [&] { form.gamedirlvChange(); };
  form.FormCreate();
  view.SetTreePath(folder.Path() + "Game");
  form.gamedirlvChange();
  EXPECT_EQ(view.Text(Control::widthedit), "1024");
  EXPECT_EQ(view.Text(Control::heightedit), "768");
  ASSERT_TRUE(view.Enabled(Control::patchbutton));

  view.SetText(Control::widthedit, "1280");
  view.SetText(Control::heightedit, "720");
  form.patchbuttonClick();
  ASSERT_EQ(view.messages.back(), "Game successfully patched!");
  const SIZE patched = DemoClientSize(exe);
  EXPECT_EQ(patched.cx, 1280);
  EXPECT_EQ(patched.cy, 720);

  // Only the second text height record of the data file changed, to 28.
  Bytes expected_data = data_bytes;
  expected_data[36] = 28;
  EXPECT_EQ(system.ReadWholeFile(data), expected_data);
  // And in the game, only the eight bytes after the marker.
  const std::string marker = "QFDEMOWH";
  const auto at = std::search(exe_bytes.begin(), exe_bytes.end(), marker.begin(), marker.end());
  ASSERT_NE(at, exe_bytes.end());
  Bytes expected_exe = exe_bytes;
  const std::size_t values = static_cast<std::size_t>(at - exe_bytes.begin()) + marker.size();
  const std::uint8_t new_size[8] = {0x00, 0x05, 0, 0, 0xD0, 0x02, 0, 0};  // 1280, 720
  std::copy(new_size, new_size + 8, expected_exe.begin() + static_cast<std::ptrdiff_t>(values));
  EXPECT_EQ(system.ReadWholeFile(exe), expected_exe);

  form.undobuttonClick();
  ASSERT_EQ(view.messages.back(), "Patch successfully removed!");
  EXPECT_EQ(system.ReadWholeFile(exe), exe_bytes);
  EXPECT_EQ(system.ReadWholeFile(data), data_bytes);
  EXPECT_FALSE(system.FileExists(folder.Path() + "Game\\demogame.undo"));
  EXPECT_FALSE(system.FileExists(folder.Path() + "Game\\demofont.undo"));
  EXPECT_EQ(DemoClientSize(exe).cx, 1024);
}

#endif

}  // namespace
}  // namespace quillfen
