#include <gtest/gtest.h>

#include <random>

#include "definitions/game_loading.h"
#include "definitions/ini.h"
#include "support/fixtures.h"
#include "support/profile_cases.h"

namespace quillfen {
namespace {

using testing::DefinitionsFixture;
using testing::kIniPath;

TEST(MemoryProfileReader, ReadsEveryCaseAsTheSystemDoes) {
  for (const auto& c : testing::ProfileCases()) {
    DefinitionsFixture f;
    f.WriteIni(c.file);
    EXPECT_EQ(ReadIniValue(f.system, c.section, c.key, kIniPath), c.expected) << c.what;
  }
}

// Definition files no one should write, which must still load without a crash or a hang.
class HostileDefinitionsTest : public ::testing::Test, protected DefinitionsFixture {
 protected:
  bool LoadAll() {
    apps = LoadAppList(system);
    if (apps.accepted && !apps.games.empty()) section = LoadGamePatches(system, apps.games[0], list);
    return apps.accepted;
  }
  AppList apps;
  GameSection section;
  PatchList list;
};

TEST_F(HostileDefinitionsTest, RandomBytesAreRefused) {
  std::mt19937 random(1234);
  for (int round = 0; round < 20; ++round) {
    Bytes bytes(64 * 1024);
    for (auto& b : bytes) b = static_cast<std::uint8_t>(random());
    system.AddFile(kIniPath, bytes);
    EXPECT_FALSE(LoadAll());
  }
}

TEST_F(HostileDefinitionsTest, RandomBytesInsideAGameSectionGiveDefaults) {
  std::mt19937 random(99);
  std::string junk;
  for (int i = 0; i < 20000; ++i) {
    const char c = static_cast<char>(random() % 96 + 32);
    junk.push_back(c == '[' ? '\n' : c);
    if (random() % 40 == 0) junk.push_back('\n');
  }
  WriteIni("[apps]\nversion=1.03\na0=G\n[G]\nmodfile=g.exe\nsig=" + junk.substr(0, 5000) +
           "\nsigwild=" + junk.substr(100, 3000) + "\n" + junk);
  ASSERT_TRUE(LoadAll());
  ASSERT_GE(list.Count(), 1u);
  const PatchEntry& e = list.At(0);
  EXPECT_EQ(e.sig.size(), e.sigwild.size());
  EXPECT_LE(e.sig.size(), 2999u / 2);
}

TEST_F(HostileDefinitionsTest, TenThousandGamesAreAllListed) {
  std::string text = "[apps]\r\nversion=1.03\r\n";
  for (int i = 0; i < 10000; ++i) {
    text.append("a").append(std::to_string(i)).append("=Game ").append(std::to_string(i));
    text.append("\r\n");
  }
  WriteIni(text);
  ASSERT_TRUE(LoadAll());
  ASSERT_EQ(apps.games.size(), 10000u);
  EXPECT_EQ(apps.games.back(), "Game 9999");
}

}  // namespace
}  // namespace quillfen
