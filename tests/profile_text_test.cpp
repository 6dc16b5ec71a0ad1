// How a definition file's bytes become text, and how names compare without
// regard to letter case in any script.
#include "base/profile_text.h"

#include <gtest/gtest.h>

#include "base/case_folding.h"

namespace quillfen {
namespace {

TEST(ProfileText, EachEncodingIsReadAsTheSystemReadsIt) {
  struct Case {
    const char* what;
    std::string bytes;
    TextEncoding encoding;
    std::string text;
    int foreign_line;
  };
  using std::string_literals::operator""s;
  const Case cases[] = {
      {"ASCII", "[a]\r\nk=v\r\n", TextEncoding::kUtf8, "[a]\r\nk=v\r\n", 0},
      {"UTF-8 with a byte order mark", "\xEF\xBB\xBF\xC3\xA9", TextEncoding::kUtf8, "\xC3\xA9", 0},
      {"UTF-8 with a byte order mark, and bytes that are not", "\xEF\xBB\xBF" "d\xE5m\xC3",
       TextEncoding::kUtf8, "d\xEF\xBF\xBDm\xEF\xBF\xBD", 0},
      {"UTF-16 little-endian, a pair of surrogates",
       "\xFF\xFE"
       "a\0\x3D\xD8\x00\xDE"s,
       TextEncoding::kUtf16LittleEndian, "a\xF0\x9F\x98\x80", 0},
      {"UTF-16 big-endian, a lone surrogate", "\xFE\xFF\0\xE9\xDC\x00"s,
       TextEncoding::kUtf16BigEndian, "\xC3\xA9\xEF\xBF\xBD", 0},
      {"Windows-1252 on the third line", "a\r\nb\nCaf\xE9 \x80\x81\r\n", TextEncoding::kWindows1252,
       "a\r\nb\nCaf\xC3\xA9 \xE2\x82\xAC\xC2\x81\r\n", 3},
      {"an overlong UTF-8 form is not UTF-8", "\xC0\xAF", TextEncoding::kWindows1252,
       "\xC3\x80\xC2\xAF", 1},
      {"a UTF-8 surrogate is not UTF-8", "\r\r\xED\xA0\x80", TextEncoding::kWindows1252,
       "\r\r\xC3\xAD\xC2\xA0\xE2\x82\xAC", 3},
      {"a sequence cut short is not UTF-8", "ok \xE2\x82", TextEncoding::kWindows1252,
       "ok \xC3\xA2\xE2\x80\x9A", 1},
  };
  for (const Case& c : cases) {
    const ProfileText decoded = DecodeProfileText(c.bytes);
    EXPECT_EQ(decoded.encoding, c.encoding) << c.what;
    EXPECT_EQ(decoded.text, c.text) << c.what;
    EXPECT_EQ(decoded.foreign_line, c.foreign_line) << c.what;
    // What was decoded once reads the same again.
    EXPECT_EQ(DecodeProfileText(decoded.text).text, decoded.text) << c.what;
    EXPECT_EQ(DecodeProfileText(decoded.text).encoding, TextEncoding::kUtf8) << c.what;
  }
}

TEST(CaseFolding, NamesMatchInAnyScriptOneCharacterForOne) {
  struct Case {
    const char* a;
    const char* b;
    bool same;
  };
  const Case cases[] = {
      {"RACER", "racer", true},
      {"\xC3\x96LFELD \xC3\x84RGER", "\xC3\xB6lfeld \xC3\xA4rger", true},  // German umlauts
      {"\xCE\xA3\xCE\x9F\xCE\xA6", "\xCF\x83\xCE\xBF\xCF\x86", true},      // Greek capitals
      {"\xCF\x82", "\xCE\xA3", true},  // final sigma folds as sigma
      {"\xD0\x98\xD0\x93\xD0\xA0\xD0\x90", "\xD0\xB8\xD0\xB3\xD1\x80\xD0\xB0", true},  // Cyrillic
      {"\xE1\xBA\x9E", "\xC3\x9F", true},              // capital sharp s, simple folding
      {"\xC3\x9F", "ss", false},                       // full folding is not simple folding
      {"\xE2\x84\xAA", "k", true},                     // Kelvin sign
      {"\xF0\x90\x90\x80", "\xF0\x90\x90\xA8", true},  // Deseret, beyond 16 bits
      {"\xEA\xAD\xB0", "\xE1\x8E\xA0", true},          // Cherokee folds to its capitals
      {"\xC4\xB0", "i", false},                        // dotted capital I has no simple folding
      {"\xC3\xA9", "e", false},
      {"a\xFF"
       "B",
       "A\xFF"
       "b",
       true},  // bytes that are not UTF-8 are kept
  };
  for (const Case& c : cases) {
    EXPECT_EQ(FoldCase(c.a) == FoldCase(c.b), c.same) << c.a << " / " << c.b;
  }
}

}  // namespace
}  // namespace quillfen
