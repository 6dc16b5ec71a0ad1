#include <gtest/gtest.h>

#include <cstdint>
#include <span>
#include <string>
#include <vector>

#include "engine/crc32.h"
#include "engine/locate.h"
#include "engine/undo_record.h"
#include "engine/values.h"
#include "support/game_files.h"
#include "support/located_entry.h"
#include "support/memory_system.h"

namespace quillfen {
namespace {

using testing::MemorySystem;

const std::string kFolder = "E:\\Games\\X\\";
const std::string kGame = kFolder + "game.dat";
const std::string kUndo = kFolder + "game.undo";

// 400 bytes holding the signature at 100, the width at 108 and the height at 112.
Bytes GameFile(std::int32_t width = 640, std::int32_t height = 480) {
  return testing::GameFile(400, 1, width, height);
}

PatchEntry Entry() {
  return testing::GameEntry("data\\game.dat", "game.undo");
}

std::string Record(const Bytes& content, std::int32_t xpos, std::int32_t ypos, std::int32_t oldx,
                   std::int32_t oldy) {
  return FormatUndoRecord({Crc32Of(content), xpos, ypos, oldx, oldy});
}

// Four bytes that, appended to the content, give the whole a chosen CRC-32.
Bytes WithCrc(Bytes content, std::uint32_t wanted) {
  std::uint32_t table[256];
  for (std::uint32_t b = 0; b < 256; ++b) {
    std::uint32_t crc = b;
    for (int bit = 0; bit < 8; ++bit) crc = (crc >> 1) ^ ((crc & 1u) ? 0xEDB88320u : 0u);
    table[b] = crc;
  }
  // Four bytes b fed into register r give the same as four zero bytes fed
  // into r ^ b, so run four zero-byte steps backwards from the wanted register.
  std::uint32_t reg = ~wanted;
  for (int step = 0; step < 4; ++step) {
    std::uint32_t index = 0;
    while ((table[index] >> 24) != (reg >> 24)) ++index;
    reg = ((reg ^ table[index]) << 8) | index;
  }
  const std::uint32_t bytes = reg ^ UpdateCrc32(0xFFFFFFFFu, content);
  for (int i = 0; i < 4; ++i) content.push_back(static_cast<std::uint8_t>(bytes >> (8 * i)));
  return content;
}

struct Fixture {
  MemorySystem system;
  PatchEntry entry = Entry();
  LocatedPatch result;
  bool Locate() {
    result = LocatePatch(system, kFolder, entry);
    testing::TakeLocation(entry, result);
    return result.located;
  }
};

TEST(LocatePatch, RebasesBothFilesIntoTheFolderAndStopsWhenTheFileIsMissing) {
  Fixture f;
  f.system.AddFolder(kFolder);
  f.entry.xpos = 77;
  EXPECT_FALSE(f.Locate());
  EXPECT_EQ(f.entry.modfile, kGame);
  EXPECT_EQ(f.entry.undofile, kUndo);
  EXPECT_EQ(f.entry.xpos, 77);
  f.system.AddFolder(kGame);  // a folder of that name does not count
  EXPECT_FALSE(f.Locate());
}

TEST(LocatePatch, BySignatureShowsTheValuesAndReadsTheFileOnce) {
  Fixture f;
  f.system.AddFile(kGame, GameFile());
  EXPECT_TRUE(f.Locate());
  EXPECT_EQ(f.entry.xpos, 108);
  EXPECT_EQ(f.entry.ypos, 112);
  EXPECT_EQ(f.entry.oldx, 640);
  EXPECT_EQ(f.entry.oldy, 480);
  EXPECT_EQ(f.result.width, 640);
  EXPECT_EQ(f.result.height, 480);
  EXPECT_FALSE(f.result.from_record);
  EXPECT_EQ(f.system.BytesRead(), 400);
}

TEST(LocatePatch, NotFoundKeepsTheSearchResultsAndLeavesTheWindow) {
  Fixture f;
  f.system.AddFile(kGame, GameFile());
  f.entry.xoffset = -100;  // lands on position 0: not located
  f.entry.oldx = 5;
  EXPECT_FALSE(f.Locate());
  EXPECT_EQ(f.entry.xpos, 0);
  EXPECT_EQ(f.entry.ypos, 112);
  EXPECT_EQ(f.entry.oldx, 5);
}

TEST(LocatePatch, AValidRecordWinsAndIsTrustedWithoutFurtherChecks) {
  Fixture f;
  const Bytes game = GameFile(1920, 1200);
  f.system.AddFile(kGame, game);
  const std::string record = Record(game, 108, 112, 640, 480);
  f.system.AddFile(kUndo, record);
  EXPECT_TRUE(f.Locate());
  EXPECT_EQ(f.entry.oldx, 640);
  EXPECT_EQ(f.entry.oldy, 480);
  EXPECT_EQ(std::to_string(f.result.width), "1920");
  EXPECT_TRUE(f.result.from_record);
  EXPECT_EQ(f.system.BytesRead(), static_cast<std::int64_t>(400 + record.size()));

  // A record is trusted only with every value inside the file and every line
  // written as the program writes it; otherwise the signature decides.
  for (const std::string& damaged :
       {Record(game, 0, -3, 1, 2), Record(game, 108, 398, 1, 2),
        std::to_string(Crc32Of(game)) + "\r\n108\r\n112\r\n\r\n48\r\n",
        std::to_string(Crc32Of(game)) + "\r\n108\r\n112\r\n640\r\n 480\r\n"}) {
    f.system.AddFile(kUndo, damaged);
    EXPECT_TRUE(f.Locate()) << damaged;
    EXPECT_FALSE(f.result.from_record) << damaged;
    EXPECT_EQ(f.entry.xpos, 108);
    EXPECT_EQ(f.entry.oldx, 1920) << damaged;
    EXPECT_EQ(f.result.record.state, RecordState::kNotMatching);
  }
}

TEST(LocatePatch, RecordsOfOtherLineCountsOrForAChangedFileAreIgnored) {
  const Bytes game = GameFile();
  Bytes changed = game;
  changed[399] ^= 1;
  const std::string good = Record(game, 20, 24, 1, 2);
  for (const std::string& record :
       {good.substr(0, good.rfind("2\r\n")), good + "\r\n", good + "7\r\n"}) {
    Fixture f;
    f.system.AddFile(kGame, game);
    f.system.AddFile(kUndo, record);
    EXPECT_TRUE(f.Locate());
    EXPECT_EQ(f.entry.xpos, 108) << record;
    EXPECT_EQ(f.entry.oldx, 640);
    EXPECT_EQ(f.system.TextOf(kUndo), record);  // left as it was
    EXPECT_EQ(f.system.BytesRead(), static_cast<std::int64_t>(400 + record.size()));
    EXPECT_FALSE(f.result.from_record);
  }
  Fixture f;
  f.system.AddFile(kGame, changed);
  f.system.AddFile(kUndo, good);
  EXPECT_TRUE(f.Locate());
  EXPECT_EQ(f.entry.xpos, 108);
}

TEST(LocatePatch, ChecksumsFrom80000000UpAreWrittenSignedAndMatch) {
  Fixture f;
  const Bytes game = WithCrc(GameFile(), 0x80000000u);
  ASSERT_EQ(static_cast<std::uint32_t>(Crc32Of(game)), 0x80000000u);
  f.system.AddFile(kGame, game);
  f.system.AddFile(kUndo, Record(game, 20, 24, 1, 2));
  EXPECT_EQ(f.system.TextOf(kUndo).substr(0, 13), "-2147483648\r\n");
  EXPECT_TRUE(f.Locate());
  EXPECT_EQ(f.entry.xpos, 20);
}

TEST(LocatePatch, AnAxisWithoutOffsetIsDisabledAndLeftAlone) {
  Fixture f;
  f.system.AddFile(kGame, GameFile());
  f.entry.hasy = false;
  f.entry.ypos = 33;
  f.entry.oldy = 9;
  EXPECT_TRUE(f.Locate());
  EXPECT_EQ(f.entry.ypos, 33);
  EXPECT_EQ(f.entry.oldy, 0);
  EXPECT_EQ(std::to_string(f.result.height), "0");
}

TEST(LocatePatch, ValuesTakeTheirByteCountAndOnlyBytesThatExist) {
  Bytes game = GameFile(-1, 0x0000FFFF);
  Fixture f;
  f.system.AddFile(kGame, game);
  f.entry.setylen = 2;
  EXPECT_TRUE(f.Locate());
  EXPECT_EQ(std::to_string(f.result.width), "-1");
  EXPECT_EQ(std::to_string(f.result.height), "65535");
  f.entry.setxlen = 2;
  EXPECT_TRUE(f.Locate());
  EXPECT_EQ(f.entry.oldx, 65535);

  // A record pointing two bytes before the end is not trusted, and a value
  // the signature finds that would run past the end, or a byte count beyond
  // 4, is not located.
  f.entry.setxlen = 4;
  game[398] = 0x34;
  game[399] = 0x12;
  f.system.AddFile(kGame, game);
  f.system.AddFile(kUndo, Record(game, 398, 112, 0, 0));
  EXPECT_TRUE(f.Locate());
  EXPECT_FALSE(f.result.from_record);
  f.entry.setylen = 9;
  EXPECT_FALSE(f.Locate());
  EXPECT_EQ(f.result.failure, LocateFailure::kOutsideFile);
}

// A value is read from the bytes of the image alone, whatever position and
// count it is given: the bytes just before and after the image are marked, so
// that a read that strays shows.
TEST(LocatePatch, ValuesAreReadFromInsideTheImageOnly) {
  const Bytes around{0xAA, 0x01, 0x02, 0x03, 0x04, 0x05, 0xBB};
  const std::span<const std::uint8_t> image(around.data() + 1, 5);
  const struct {
    std::int64_t position;
    std::int32_t count;
    std::int32_t value;
  } cases[] = {
      {-1, 4, 0},         {-1, 1, 0},       {0, 4, 0x04030201}, {0, 1, 0x01},
      {1, 5, 0x05040302}, {3, 4, 0x0504},   {4, 4, 0x05},       {4, 1, 0x05},
      {5, 1, 0},          {6, 1, 0},        {2, 0, 0},          {2, -1, 0},
      {2, 2, 0x0403},     {0, 3, 0x030201}, {0, 5, 0x04030201}, {0, 9, 0x04030201},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(ReadValueAt(image, c.position, c.count), c.value)
        << "at " << c.position << ", " << c.count << " bytes";
  }
}

TEST(LocatePatch, AFileTooLargeForItsPositionsIsNeitherLocatedNorRead) {
  Fixture f;
  // 4 GiB + 8 KiB with the signature where a 32-bit sum would wrap to it.
  f.system.AddFile(kGame, GameFile());
  f.system.SetReportedSize(kGame, (std::int64_t{4} << 30) + 8192);
  PatchEntry entry = Entry();
  f.system.ResetCounters();
  const LocatedPatch result = LocatePatch(f.system, kFolder, entry);
  EXPECT_FALSE(result.located);
  EXPECT_EQ(f.system.BytesRead(), 0);
  testing::TakeLocation(entry, result);
  EXPECT_EQ(entry.xpos, 0);
}

TEST(LocatePatch, APendingRecordCountsWhenTheRecordNoLongerMatches) {
  Fixture f;
  const Bytes patched = GameFile(1920, 1200);
  f.system.AddFile(kGame, patched);
  f.system.AddFile(kUndo, Record(GameFile(1280, 720), 108, 112, 640, 480));
  f.system.AddFile(kUndo + ".new", Record(patched, 108, 112, 640, 480));
  PatchEntry entry = Entry();
  const LocatedPatch result = LocatePatch(f.system, kFolder, entry);
  ASSERT_TRUE(result.located);
  testing::TakeLocation(entry, result);
  EXPECT_EQ(entry.oldx, 640);
  EXPECT_TRUE(result.from_record);
}

}  // namespace
}  // namespace quillfen
