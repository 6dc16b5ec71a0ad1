#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "engine/undo_record.h"

namespace quillfen {
namespace {

std::vector<std::uint8_t> Bytes(const std::string& text) {
  return {text.begin(), text.end()};
}

std::vector<std::string> Lines(const std::string& text) {
  return TextLines(Bytes(text));
}

TEST(UndoRecord, WrittenAsFiveSignedDecimalsWithCrLf) {
  EXPECT_EQ(FormatUndoRecord({-873187034, 512, 516, 640, 480}),
            "-873187034\r\n512\r\n516\r\n640\r\n480\r\n");
  EXPECT_EQ(FormatUndoRecord({-873187034, 512, 516, 640, 480}).size(), 32u);
  EXPECT_EQ(FormatUndoRecord({static_cast<std::int32_t>(0x80000000u), 0, -1, 0, 0}),
            "-2147483648\r\n0\r\n-1\r\n0\r\n0\r\n");
}

TEST(UndoRecord, LineEnds) {
  using V = std::vector<std::string>;
  EXPECT_EQ(Lines("a\r\nb\rc\nd"), (V{"a", "b", "c", "d"}));
  EXPECT_EQ(Lines("a\n\rb"), (V{"a", "", "b"}));  // LF CR is two line ends
  EXPECT_EQ(Lines("a\r\n"), (V{"a"}));
  EXPECT_EQ(Lines("a\r\n\r\n"), (V{"a", ""}));
  EXPECT_EQ(Lines("\r"), (V{""}));
  EXPECT_EQ(Lines(""), V{});
  EXPECT_EQ(Lines(std::string("a\nb\0c\nd", 7)), (V{"a", "b"}));  // the first NUL ends the text
  EXPECT_EQ(Lines(std::string("\0a", 2)), V{});
}

TEST(UndoRecord, ReadOnlyWithExactlyFiveLines) {
  const auto record = ReadUndoRecord(Bytes("-873187034\n512\n516\n640\n480"));
  ASSERT_TRUE(record);
  EXPECT_EQ(record->checksum, -873187034);
  EXPECT_EQ(record->xpos, 512);
  EXPECT_EQ(record->oldy, 480);
  EXPECT_TRUE(ReadUndoRecord(Bytes("1\r2\r3\r4\r5\r")));
  EXPECT_FALSE(ReadUndoRecord(Bytes("1\r\n2\r\n3\r\n4\r\n")));
  EXPECT_FALSE(ReadUndoRecord(Bytes("1\r\n2\r\n3\r\n4\r\n5\r\n\r\n")));
  EXPECT_FALSE(ReadUndoRecord(Bytes("1\r\n2\r\n3\r\n4\r\n5\r\n6\r\n")));
}

TEST(UndoRecord, EveryLineMustBeANumberAsTheProgramWritesIt) {
  for (const char* line : {"", " 5", "5 ", "+5", "05", "-0", "$10", "x", "99999999999",
                           "4294967295", "2147483648"}) {
    const std::string text = std::string("1\r\n2\r\n") + line + "\r\n4\r\n5\r\n";
    EXPECT_FALSE(ReadUndoRecord(Bytes(text))) << '"' << line << '"';
  }
  const auto extreme = ReadUndoRecord(Bytes("-2147483648\r\n2147483647\r\n0\r\n-1\r\n7\r\n"));
  ASSERT_TRUE(extreme);
  EXPECT_EQ(extreme->checksum, INT32_MIN);
  EXPECT_EQ(extreme->xpos, INT32_MAX);
}

}  // namespace
}  // namespace quillfen
