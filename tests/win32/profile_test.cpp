#include <gtest/gtest.h>

#include <random>

#include "definitions/game_loading.h"
#include "definitions/ini.h"
#include "platform/win32/win32_system.h"
#include "support/profile_cases.h"
#include "win32/real_files.h"

namespace quillfen {
namespace {

using testing::ScratchFolder;

TEST(Win32Profile, TheRealReaderAgreesWithTheInMemoryOne) {
  ScratchFolder folder("profile");
  Win32System system;
  for (const auto& c : testing::ProfileCases()) {
    const std::string path = folder.Write("patches.ini", c.file);
    EXPECT_EQ(ReadIniValue(system, c.section, c.key, path), c.expected) << c.what;
  }
  // The system gives a value whole; the definitions layer alone cuts it.
  const std::string path = folder.Write("long.ini", "[g]\r\nk=" + std::string(5000, 'v'));
  EXPECT_EQ(system.ReadProfileString("g", "k", path), std::string(5000, 'v'));
}

TEST(Win32Profile, ExecutableFolderEndsInABackslash) {
  Win32System system;
  const std::string folder = system.ExecutableFolder();
  ASSERT_FALSE(folder.empty());
  EXPECT_EQ(folder.back(), '\\');
  char path[MAX_PATH];
  GetModuleFileNameA(nullptr, path, MAX_PATH);
  EXPECT_EQ(std::string(path).rfind(folder, 0), 0u);
}

TEST(Win32Profile, NoDefinitionFileBesideTheExecutableIsRefused) {
  Win32System system;
  ASSERT_FALSE(system.FileExists(DefinitionFilePath(system)));
  const AppList apps = LoadAppList(system);
  EXPECT_FALSE(apps.accepted);
  EXPECT_TRUE(apps.games.empty());
}

TEST(Win32Profile, HostileFilesNeitherCrashNorHang) {
  ScratchFolder folder("hostile");
  Win32System system;

  std::mt19937 random(7);
  std::string junk(64 * 1024, '\0');
  for (auto& c : junk) c = static_cast<char>(random());
  std::string path = folder.Write("random.ini", junk);
  EXPECT_NE(ReadIniValue(system, "apps", "version", path), "1.03");

  std::string many = "[apps]\r\nversion=1.03\r\n";
  for (int i = 0; i < 10000; ++i) {
    many.append("a").append(std::to_string(i)).append("=Game ").append(std::to_string(i));
    many.append("\r\n");
  }
  path = folder.Write("many.ini", many);
  EXPECT_EQ(ReadIniValue(system, "Apps", "a9999", path), "Game 9999");
}

}  // namespace
}  // namespace quillfen
