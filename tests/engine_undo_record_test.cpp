#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "engine/record_files.h"
#include "engine/undo_record.h"
#include "support/guarded_buffer.h"
#include "support/memory_system.h"

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
  // A record file's last byte a CR just before unreadable memory: the test
  // for a following LF reads nothing past the text.
  for (const std::string& text : {std::string("1\r"), std::string("1\r\n2\r")}) {
    testing::GuardedBuffer guarded(text.size());
    std::copy(text.begin(), text.end(), guarded.Bytes().begin());
    EXPECT_EQ(TextLines(guarded.Bytes()).size(), text.size() / 2);
  }
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
  // Five numbers before a NUL are no record: the file holds more than a record.
  EXPECT_FALSE(ReadUndoRecord(Bytes(std::string("1\r\n2\r\n3\r\n4\r\n5\r\n\0junk", 16))));
}

// Whether each value a record keeps is back at its place, for every value
// length a patch may have: one to four bytes, and no other.
TEST(UndoRecord, ValuesBackForEveryValueLength) {
  const UndoRecord record{0, 2, 8, 0x44332211, 0x04030201};
  const std::vector<std::uint8_t> content = {0,    0,    0x11, 0x22, 0x33, 0x44, 0,   0,
                                             0x01, 0x02, 0x03, 0x04, 0,    0,    0,   0};
  for (std::int32_t length = 1; length <= 4; ++length) {
    EXPECT_TRUE(ValuesBack(record, content, length, length)) << length;
  }
  EXPECT_FALSE(ValuesBack(record, content, 0, 4));
  EXPECT_FALSE(ValuesBack(record, content, 5, 4));
  EXPECT_FALSE(ValuesBack(record, content, 4, 5));
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

// The one rule by which every reader tells a record from another file: only
// digits, minus signs and line ends, in at most five lines and at most
// kMaxUndoRecordSize bytes (a file may grow between its size and its read).
TEST(UndoRecord, RecordTextIsDigitsAndLineEndsOfARecordsSize) {
  const std::string longest(static_cast<std::size_t>(kMaxUndoRecordSize), '7');
  const struct {
    std::string text;
    bool record_text;
  } cases[] = {
      {"1\r\n2\r\n3\r\n4\r\n5\r\n", true},
      {"-1\n-2\n", true},  // damaged, yet a record's text: the program may replace it
      {longest, true},
      {longest + "7", false},
      {"see readme\r\n", false},
      {"1\r\n2\r\n3 \r\n4\r\n5\r\n", false},
      {"1\r\n2\r\n3\r\n4\r\n5\r\n6\r\n", false},
      {std::string("1\r\n2\0", 6), false},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(IsUndoRecordText(Bytes(c.text)), c.record_text) << '"' << c.text << '"';
  }
}

// A record place is read up to the size of the longest record text, which
// may be a record; a larger file is no record, and is never read.
TEST(UndoRecord, APlaceIsReadOnlyUpToTheSizeOfARecord) {
  testing::MemorySystem system;
  const std::string path = "E:\\Games\\game.undo";
  system.AddFile(path, std::string(static_cast<std::size_t>(kMaxUndoRecordSize), '7'));
  EXPECT_EQ(JudgePlace(system, path), PlaceContent::kRecord);
  system.SetReportedSize(path, std::int64_t{1} << 30);
  system.ResetCounters();
  EXPECT_EQ(JudgePlace(system, path), PlaceContent::kOther);
  EXPECT_EQ(system.BytesRead(), 0);
}

// The names beside a record are kept on the disk: a later version of either
// program must find what this one wrote there.
TEST(UndoRecord, PlacesBesideARecordKeepTheirNames) {
  EXPECT_EQ(PendingRecordPath("GAME.UNDO"), "GAME.UNDO.new");
  EXPECT_EQ(KeptRecordPath("GAME.UNDO", 0x0BADF00D, 1), "GAME.UNDO.0badf00d.kept");
  EXPECT_EQ(KeptRecordPath("GAME.UNDO", -1, 2), "GAME.UNDO.ffffffff-2.kept");
}

}  // namespace
}  // namespace quillfen
