#include "base/text.h"

#include <gtest/gtest.h>

#include <optional>
#include <string_view>

#include "base/ascii_case.h"

namespace quillfen {
namespace {

TEST(Text, NamesSplitAtTheLastBackslashOrColonFoldersAtTheSeparator) {
  EXPECT_EQ(FileNamePart("data\\game.dat"), "game.dat");
  EXPECT_EQ(FileNamePart("C:game.exe"), "game.exe");
  EXPECT_EQ(FileNamePart("a/b.exe"), "a/b.exe");
  EXPECT_EQ(FolderOfPath("E:\\Games\\X\\game.dat", '\\'), "E:\\Games\\X\\");
  EXPECT_EQ(FolderOfPath("game.dat", '\\'), "");
}

// The names a definition may give its files, on every system: each rule at
// its edge, the name just inside it and the one just outside.
TEST(Text, ForeignNamesAreRefusedAtEachRulesEdge) {
  constexpr std::optional<NameFault> kKept;
  constexpr auto kBad = NameFault::kForbiddenCharacter;
  constexpr auto kEnd = NameFault::kTrailingDotOrBlank;
  constexpr auto kDevice = NameFault::kDeviceName;
  const struct {
    std::string_view name;
    std::optional<NameFault> reason;
  } cases[] = {
      {"", NameFault::kEmpty},
      {".", NameFault::kFolder},
      {"..", NameFault::kFolder},
      {"...", kEnd},
      {"a/b", NameFault::kSlash},
      {"a<b", kBad},
      {"a?", kBad},
      {"a|b", kBad},
      {"a\x1f", kBad},
      {"\x7f", kKept},
      {"a b.dat", kKept},
      {"a.", kEnd},
      {"a ", kEnd},
      {"a.b", kKept},
      {"AUX", kDevice},
      {"aux.txt", kDevice},
      {"Aux .dat", kDevice},
      {"AUXI", kKept},
      {"con", kDevice},
      {"PRN.x", kDevice},
      {"NUL", kDevice},
      {"COM1", kDevice},
      {"com9.log", kDevice},
      {"LPT1", kDevice},
      {"COM0", kKept},
      {"LPT0", kKept},
      {"COM10", kKept},
      {"COM", kKept},
      {"LPTX", kKept},
      {"CONSOLE.dat", kKept},
      {"game.exe", kKept},
      {".hidden", kKept},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(ForeignNameReason(c.name), c.reason) << '"' << c.name << '"';
  }
  EXPECT_EQ(*ForeignNameReason(std::string_view("a\0b", 3)), NameFault::kForbiddenCharacter);
}

TEST(Text, UpperAsciiChangesOnlyAtoZ) {
  EXPECT_EQ(UpperAscii("game-\xe9.exe"), "GAME-\xe9.EXE");
  // The characters beside each range of letters stay as they are.
  EXPECT_EQ(UpperAscii("@AZ[`az{"), "@AZ[`AZ{");
  EXPECT_EQ(LowerAscii("@AZ[`az{\xc9"), "@az[`az{\xc9");
  EXPECT_TRUE(SameAsciiNoCase("Steam\\GAME.exe", "steam\\game.EXE"));
  EXPECT_FALSE(SameAsciiNoCase("[", "{"));
  EXPECT_FALSE(SameAsciiNoCase("\xc9", "\xe9"));
  EXPECT_FALSE(SameAsciiNoCase("game", "game "));
  EXPECT_EQ(std::wstring({UpperAscii(L'`'), UpperAscii(L'a'), UpperAscii(L'z'), UpperAscii(L'{'),
                          UpperAscii(L'\x00e9')}),
            L"`AZ{\x00e9");
}

TEST(Text, ReplaceAllNoCase) {
  EXPECT_EQ(ReplaceAllNoCase("aXbxc", "x", "-"), "a-b-c");
  EXPECT_EQ(ReplaceAllNoCase("C:\\\\\\", "\\\\", "\\"), "C:\\\\");
  EXPECT_EQ(ReplaceAllNoCase("abc", "", "-"), "abc");
  EXPECT_EQ(ReplaceAllNoCase("AbAB", "ab", "ab"), "abab");
  EXPECT_EQ(ReplaceAllNoCase("aaa", "aa", "a"), "aa");
  EXPECT_EQ(ReplaceAllNoCase("\xe9\xc9", "\xe9", "e"), "e\xc9");
}

// UTF-8 never uses the bytes of a backslash or a colon inside a character, so
// the text rules hold for names in any script: the second byte of ソ or 表 in
// the old East Asian code pages was a backslash; in UTF-8 none is.
TEST(Text, RulesHoldForNamesInAnyScript) {
  const std::string path = "Q:\\Games\\Ведьмак 表\\ソフト.exe";
  EXPECT_EQ(FileNamePart(path), "ソフト.exe");
  EXPECT_EQ(FolderOfPath(path, '\\'), "Q:\\Games\\Ведьмак 表\\");
  EXPECT_EQ(UpperAscii("ソフト.exe"), "ソフト.EXE");
  EXPECT_EQ(UpperAscii("Ведьмак"), "Ведьмак");
  EXPECT_EQ(ReplaceAllNoCase("Q:\\表\\\\ソ", "\\\\", "\\"), "Q:\\表\\ソ");
}

}  // namespace
}  // namespace quillfen
