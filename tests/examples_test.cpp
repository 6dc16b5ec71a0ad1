// examples/patches.ini and examples/demofont.dat, built into the test program so
// that the checks run the same natively and under Wine.

#include <gtest/gtest.h>

#include <cstdint>
#include <string>

#include "definitions/game_loading.h"
#include "engine/signature.h"
#include "support/fixtures.h"

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
  int picked = 0;
  ASSERT_TRUE(LoadAppList(f.system, f.view, [&] { ++picked; }));
  EXPECT_EQ(f.view.gameList, (std::vector<std::string>{kDemoGame}));
  EXPECT_EQ(picked, 1);

  AppState state;
  LoadGamePatches(f.system, f.view, state, kDemoGame);
  EXPECT_EQ(state.checkFilePath, "demogame.exe");
  ASSERT_EQ(f.view.detailsLines.size(), 1u);
  EXPECT_NE(f.view.detailsLines[0].find("comes with Quillfen.\r\n\r\nIts window"),
            std::string::npos);
  EXPECT_EQ(f.view.detailsLines[0].find('\\'), std::string::npos);

  ASSERT_EQ(state.patchList.Count(), 2u);
  const PatchEntry& exe = state.patchList.At(0);
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

  const PatchEntry& data = state.patchList.At(1);
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
  AppState state;
  LoadGamePatches(f.system, f.view, state, kDemoGame);
  const PatchEntry& entry = state.patchList.At(1);
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

}  // namespace
}  // namespace quillfen
