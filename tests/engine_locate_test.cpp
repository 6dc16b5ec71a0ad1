#include <gtest/gtest.h>

#include <climits>
#include <cstdint>
#include <functional>
#include <span>
#include <string>
#include <vector>

#include "engine/crc32.h"
#include "engine/locate.h"
#include "engine/signature.h"
#include "engine/undo_record.h"
#include "engine/values.h"
#include "platform/file_error.h"
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
       {Record(game, 0, -3, 1, 2), Record(game, -1, 112, 1, 2), Record(game, 108, -1, 1, 2),
        Record(game, 108, 398, 1, 2),
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

// A record of content changed since is trusted when every axis of the entry
// that it keeps lies where the signature finds it now, and only then; an
// entry that changes no axis trusts no record by its places.
TEST(LocatePatch, ARecordOfAChangedFileIsTrustedOnlyWhereItsPlacesAreTheSignatures) {
  const Bytes game = GameFile();
  const std::int32_t other = Crc32Of(game) ^ 1;  // the checksum of other content
  const struct {
    const char* what;
    std::function<void(PatchEntry&)> change;
    UndoRecord record;
    bool trusted;
  } cases[] = {
      {"both places", [](PatchEntry&) {}, {other, 108, 112, 320, 200}, true},
      {"the width elsewhere", [](PatchEntry&) {}, {other, 20, 112, 320, 200}, false},
      {"the height elsewhere", [](PatchEntry&) {}, {other, 108, 24, 320, 200}, false},
      {"the width alone", [](PatchEntry&) {}, {other, 108, 0, 320, 0}, true},
      {"the height alone", [](PatchEntry&) {}, {other, 0, 112, 0, 200}, true},
      {"a width-only entry", [](PatchEntry& e) { e.hasy = false; }, {other, 108, 0, 320, 0}, true},
      {"a width at 1", [](PatchEntry& e) { e.xoffset = -99; }, {other, 1, 112, 320, 200}, true},
      {"a height at 1", [](PatchEntry& e) { e.yoffset = -99; }, {other, 108, 1, 320, 200}, true},
      {"an entry of no axis",
       [](PatchEntry& e) { e.hasx = e.hasy = false; },
       {other, 108, 112, 320, 200},
       false},
  };
  for (const auto& c : cases) {
    Fixture f;
    f.system.AddFile(kGame, game);
    f.system.AddFile(kUndo, FormatUndoRecord(c.record));
    c.change(f.entry);
    EXPECT_TRUE(f.Locate()) << c.what;
    EXPECT_EQ(f.result.from_record, c.trusted) << c.what;
    EXPECT_EQ(f.result.record.state,
              c.trusted ? RecordState::kKeptOriginals : RecordState::kNotMatching)
        << c.what;
  }
}

// Patch keeps a record aside under as many as kMaxKeptRecords names, and
// locating looks under every one of them.
TEST(LocatePatch, ARecordKeptAsideUnderTheLastNameIsFound) {
  Fixture f;
  const Bytes game = GameFile(1920, 1200);
  f.system.AddFile(kGame, game);
  for (int n = 1; n < kMaxKeptRecords; ++n) {
    f.system.AddFile(KeptRecordPath(kUndo, Crc32Of(game), n), "kept by someone else");
  }
  f.system.AddFile(KeptRecordPath(kUndo, Crc32Of(game), kMaxKeptRecords),
                   Record(game, 108, 112, 640, 480));
  EXPECT_TRUE(f.Locate());
  EXPECT_TRUE(f.result.from_record);
  EXPECT_TRUE(f.result.record.aside);
  EXPECT_EQ(f.entry.oldx, 640);
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

  // The largest size whose every position a signed 32-bit number names is
  // read (the read fails here: no gigabytes are held in memory); a byte more
  // is refused unread.
  f.system.SetReportedSize(kGame, kMaxGameFileSize + 1);
  EXPECT_EQ(LocatePatch(f.system, kFolder, entry).failure, LocateFailure::kTooLarge);
  EXPECT_EQ(f.system.BytesRead(), 0);
  f.system.SetReportedSize(kGame, kMaxGameFileSize);
  f.system.FailWhen(
      [](MemorySystem::Op op, const std::string&) { return op == MemorySystem::Op::Read; });
  EXPECT_THROW(LocatePatch(f.system, kFolder, entry), FileError);
}

// Where each axis is located, or why not. A place the signature gives is
// taken from 1 on (0 is its "not found"), for the height as for the width,
// also where the width comes from a record that keeps no height; names that
// reach no file of the folder are refused unread, the cut reported first.
TEST(LocatePatch, EachAxisIsLocatedOnlyAtAPlaceInsideTheFileOfNamesOfTheFolder) {
  const Bytes game = GameFile();
  const Bytes absent = {'n', 'o', 'n', 'e'};  // a signature nowhere in the file
  const struct {
    const char* what;
    std::function<void(Fixture&)> change;
    LocateFailure failure;
    std::int32_t xpos;
    std::int32_t ypos;
  } cases[] = {
      {"width at 1", [](Fixture& f) { f.entry.xoffset = -99; }, LocateFailure::kNone, 1, 112},
      {"height at 1", [](Fixture& f) { f.entry.yoffset = -99; }, LocateFailure::kNone, 108, 1},
      {"height only, signature absent",
       [&](Fixture& f) {
         f.entry.hasx = false;
         f.entry.sig = absent;
       },
       LocateFailure::kNotFound, 0, 0},
      {"width from the record, the height's signature absent",
       [&](Fixture& f) {
         f.system.AddFile(kUndo, Record(game, 108, 0, 320, 0));
         f.entry.sig = absent;
       },
       LocateFailure::kNotFound, 108, 0},
      {"a device as the game file",
       [](Fixture& f) {
         f.entry.modfile = "data\\con.dat";
         f.system.AddFile(kFolder + "con.dat", GameFile());
       },
       LocateFailure::kForeignName, 0, 0},
      {"a record name the folder cannot hold", [](Fixture& f) { f.entry.undofile = "game.undo."; },
       LocateFailure::kForeignName, 0, 0},
      {"cut, and a record name the folder cannot hold",
       [](Fixture& f) {
         f.entry.undofile = "game?.undo";
         f.entry.cut = "sig";
       },
       LocateFailure::kCutValue, 0, 0},
  };
  for (const auto& c : cases) {
    Fixture f;
    f.system.AddFile(kGame, game);
    c.change(f);
    f.system.ResetCounters();
    EXPECT_EQ(f.Locate(), c.failure == LocateFailure::kNone) << c.what;
    EXPECT_EQ(f.result.failure, c.failure) << c.what;
    EXPECT_EQ(f.entry.xpos, c.xpos) << c.what;
    EXPECT_EQ(f.entry.ypos, c.ypos) << c.what;
    if (c.failure == LocateFailure::kNone) {
      EXPECT_EQ(f.result.width, ReadValueAt(game, c.xpos, 4)) << c.what;
      EXPECT_EQ(f.result.height, ReadValueAt(game, c.ypos, 4)) << c.what;
    }
    if (c.failure == LocateFailure::kForeignName || c.failure == LocateFailure::kCutValue) {
      EXPECT_EQ(f.system.BytesRead(), 0) << c.what;
    }
  }
}

// After a write the press locates by SignaturePlaces: for each axis what the
// search gives for its offset, whether the occurrence is there or not (the
// height found from the width's place is a shortcut, never another answer),
// and 0 for an axis the entry lacks.
TEST(LocatePatch, SignaturePlacesAreWhatTheSearchGivesForEachOffset) {
  const Bytes with = GameFile();
  Bytes without = with;
  without[100] ^= 0xFF;
  const std::int32_t offsets[] = {INT32_MIN, -200, -100, -99, 0, 8, 12, 300, INT32_MAX - 50};
  for (const bool present : {true, false}) {
    const Bytes& content = present ? with : without;
    for (const bool hasx : {false, true}) {
      for (const bool hasy : {false, true}) {
        for (const std::int32_t xoffset : offsets) {
          for (const std::int32_t yoffset : offsets) {
            PatchEntry entry = Entry();
            entry.hasx = hasx;
            entry.hasy = hasy;
            entry.xoffset = xoffset;
            entry.yoffset = yoffset;
            const auto search = [&](std::int32_t offset) {
              return FindSignature(content, entry.sig, entry.sigwild, offset, entry.occur);
            };
            const Places found = SignaturePlaces(content, entry);
            const std::string what = std::string(present ? "found" : "absent") + ", offsets " +
                                     std::to_string(xoffset) + " and " + std::to_string(yoffset) +
                                     (hasx ? ", width" : "") + (hasy ? ", height" : "");
            EXPECT_EQ(found.x, hasx ? search(xoffset) : 0) << what;
            EXPECT_EQ(found.y, hasy ? search(yoffset) : 0) << what;
          }
        }
      }
    }
  }
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
  EXPECT_FALSE(result.record.aside);  // beside the record, not kept aside by a Patch
}

}  // namespace
}  // namespace quillfen
