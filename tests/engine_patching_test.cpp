#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "engine/crc32.h"
#include "engine/locate.h"
#include "engine/patching.h"
#include "engine/undo_record.h"
#include "platform/file_error.h"
#include "support/game_files.h"
#include "support/memory_system.h"

namespace quillfen {
namespace {

using testing::MemorySystem;
using Strings = std::vector<std::string>;

const std::string kFolder = "E:\\Games\\X\\";

// A file holding the signature at 100, the width at 108 and the height at 112.
Bytes GameFile(std::uint8_t seed, std::int32_t width = 640, std::int32_t height = 480) {
  return testing::GameFile(300, seed, width, height);
}

std::int32_t ValueAt(const Bytes& bytes, std::size_t at) {
  return static_cast<std::int32_t>(bytes[at] | bytes[at + 1] << 8 | bytes[at + 2] << 16 |
                                   static_cast<std::uint32_t>(bytes[at + 3]) << 24);
}

PatchEntry Entry(const std::string& file, const std::string& undo) {
  return testing::GameEntry(file, undo);
}

struct Game {
  MemorySystem system;
  PatchList list;
  Strings messages;                   // the text of every report, in order
  std::vector<LocateResult> located;  // per entry, from the last locating
  std::int32_t width = 1440;          // what the user typed
  std::int32_t height = 900;

  // One entry per file name; files that exist get a game file of their own.
  explicit Game(const Strings& files, const Strings& missing = {}) {
    system.AddFolder(kFolder);
    std::uint8_t seed = 1;
    for (const std::string& file : files) {
      system.AddFile(kFolder + file, GameFile(seed++));
      list.Append(Entry(file, file.substr(0, file.find('.')) + ".undo"));
    }
    for (const std::string& file : missing) list.Append(Entry(file, file + ".undo"));
    located.resize(list.Count());
  }
  // What the folder selection does: every entry located, last to first.
  bool Locate() {
    for (std::size_t i = list.Count(); i-- > 0;) {
      located[i] = LocatePatch(system, kFolder, list.At(i));
      if (!located[i].located) return false;
    }
    return true;
  }
  void Type(std::int32_t typed_width, std::int32_t typed_height) {
    width = typed_width;
    height = typed_height;
  }
  OperationResult Patch() { return Keep(ApplyPatches(system, list, kFolder, width, height, Seen())); }
  OperationResult Undo() { return Keep(RemovePatches(system, list, kFolder, Seen())); }
  // Whether Undo Patch is offered: the first entry was located through its record.
  bool UndoAvailable() const { return located[0].from_record; }
  Bytes File(const std::string& name) { return system.Content(kFolder + name); }

 private:
  OperationObserver Seen() {
    OperationObserver observer;
    observer.located = [this](std::size_t i, const LocateResult& result) { located[i] = result; };
    return observer;
  }
  OperationResult Keep(OperationResult result) {
    for (const Report& report : result.reports) messages.push_back(report.text);
    return result;
  }
};

TEST(ApplyPatches, WritesTheTypedValuesInPlaceKeepsTheTimeAndLeavesRecords) {
  Game game({"game.exe", "data.bin"});
  ASSERT_TRUE(game.Locate());
  const Bytes before = game.File("game.exe");
  const testing::DosTime time = game.system.TimeOf(kFolder + "game.exe");
  game.Type(1920, 1200);
  game.system.ResetCounters();
  game.Patch();

  EXPECT_EQ(game.messages, Strings{"Game successfully patched!"});
  Bytes after = game.File("game.exe");
  EXPECT_EQ(ValueAt(after, 108), 1920);
  EXPECT_EQ(ValueAt(after, 112), 1200);
  std::copy(before.begin() + 108, before.begin() + 116, after.begin() + 108);
  EXPECT_EQ(after, before);  // nothing else changed
  EXPECT_EQ(game.system.TimeOf(kFolder + "game.exe"), time);
  EXPECT_EQ(game.system.TextOf(kFolder + "game.undo"),
            FormatUndoRecord({Crc32Of(game.File("game.exe")), 108, 112, 640, 480}));
  EXPECT_TRUE(game.UndoAvailable());
  EXPECT_EQ(std::to_string(game.located[0].width), "1920");
  // Each file is read once to write it and once to locate it again.
  EXPECT_LE(game.system.BytesRead(), 2 * 300 * 2 + 100);
}

TEST(ApplyPatches, FixedAndTypedValuesTakeTheEntrysByteCount) {
  Game game({"game.exe"});
  PatchEntry& entry = game.list.At(0);
  entry.setx = 0x0101;
  entry.setxlen = 1;
  entry.setylen = 2;
  ASSERT_TRUE(game.Locate());
  const Bytes before = game.File("game.exe");
  game.Type(1920, 1200);
  game.Patch();
  const Bytes after = game.File("game.exe");
  EXPECT_EQ(after[108], 0x01);
  EXPECT_EQ(after[109], before[109]);
  EXPECT_EQ(after[112], 1200 & 0xFF);
  EXPECT_EQ(after[113], 1200 >> 8);
  EXPECT_EQ(after[114], before[114]);
  EXPECT_EQ(after[115], before[115]);
}

TEST(ApplyPatches, AnEntryWithoutAxesChangesNoByteButGetsARecord) {
  Game game({"game.exe"});
  game.list.At(0).hasx = game.list.At(0).hasy = false;
  ASSERT_TRUE(game.Locate());
  const Bytes before = game.File("game.exe");
  game.Patch();
  EXPECT_EQ(game.File("game.exe"), before);
  EXPECT_EQ(game.system.TextOf(kFolder + "game.undo"),
            FormatUndoRecord({Crc32Of(before), 0, 0, 0, 0}));
  EXPECT_EQ(game.messages, Strings{"Game successfully patched!"});
}

TEST(ApplyPatches, MissingFilesAreReportedHighestPatchFirstAndNothingIsWritten) {
  Game game({}, {"game.exe", "sub\\data.bin"});
  game.Locate();
  game.Patch();
  EXPECT_EQ(game.messages, (Strings{"Unable to find file DATA.BIN for patch #2!",
                                         "Unable to find file GAME.EXE for patch #1!",
                                         "Errors found.  Unable to patch game!"}));
  EXPECT_EQ(game.system.BytesWritten(), 0);
}

TEST(ApplyPatches, ValuesNotWhollyInsideTheFileAreRefusedAtTheCheckPass) {
  Game game({"game.exe", "data.bin", "more.bin"});
  ASSERT_TRUE(game.Locate());
  game.list.At(2).xpos = 297;  // four bytes from 297 run past the end of 300
  game.list.At(1).setylen = 5;
  game.list.At(0).ypos = 0;
  game.system.ResetCounters();
  game.Patch();
  const std::string tail = "!  This may be due to an outdated patcher.";
  EXPECT_EQ(game.messages,
            (Strings{"Unable to find patch offsets in file MORE.BIN for patch #3" + tail,
                     "Unable to find patch offsets in file DATA.BIN for patch #2" + tail,
                     "Unable to find patch offsets in file GAME.EXE for patch #1" + tail,
                     "Errors found.  Unable to patch game!"}));
  EXPECT_EQ(game.system.BytesWritten(), 0);
}

TEST(ApplyPatches, AHeldGameFileOrAnUncreatableRecordStopsBeforeAnyWrite) {
  Game game({"game.exe", "data.bin"});
  ASSERT_TRUE(game.Locate());
  game.system.Hold(kFolder + "data.bin", MemorySystem::Holder::Reading);
  game.system.AddFile(kFolder + "game.undo", std::string("stale"), testing::kAttrReadOnly);
  const Bytes before = game.File("data.bin");
  game.system.ResetCounters();
  game.Patch();
  const std::string tail = "!  Close all programs/games before patching.";
  EXPECT_EQ(game.messages, (Strings{"Unable to write to file DATA.BIN for patch #2" + tail,
                                         "Unable to write to file GAME.UNDO for patch #1" + tail,
                                         "Errors found.  Unable to patch game!"}));
  EXPECT_EQ(game.system.BytesWritten(), 0);
  EXPECT_EQ(game.File("data.bin"), before);
  EXPECT_EQ(game.system.TextOf(kFolder + "game.undo"), "stale");
}

TEST(ApplyPatches, ARecordThatWouldOverwriteAGameFileIsRefused) {
  Game game({"game.exe", "data.bin"});
  game.list.At(1).undofile = "game.exe";
  ASSERT_TRUE(game.Locate());
  game.Patch();
  EXPECT_EQ(game.messages.front(),
            "Unable to write to file GAME.EXE for patch #2!  Close all programs/games before "
            "patching.");
}

TEST(ApplyPatches, EntriesSharingAFileOrARecord) {
  Game game({"game.exe"});
  PatchEntry second = game.list.At(0);
  second.setx = 800;
  second.yoffset = 16;
  game.list.Append(second);
  ASSERT_TRUE(game.Locate());
  game.Type(1024, 768);
  game.Patch();
  const Bytes after = game.File("game.exe");
  EXPECT_EQ(ValueAt(after, 108), 1024);  // the first entry writes last
  EXPECT_EQ(ValueAt(after, 116), 768);
  // Both records name one file: the first entry's remains, and both take it.
  const auto record = ReadUndoRecord(game.File("game.undo"));
  ASSERT_TRUE(record);
  EXPECT_EQ(record->checksum, Crc32Of(after));
  EXPECT_EQ(record->ypos, 112);
  ASSERT_TRUE(game.Locate());
  EXPECT_EQ(game.list.At(1).ypos, 112);
  EXPECT_TRUE(game.UndoAvailable());
}

TEST(ApplyAndRemove, RepatchingKeepsTheFirstOldValuesAndUndoRestoresThem) {
  Game game({"game.exe", "data.bin"});
  ASSERT_TRUE(game.Locate());
  const Bytes original = game.File("game.exe");
  const testing::DosTime time = game.system.TimeOf(kFolder + "game.exe");
  game.Type(1920, 1200);
  game.Patch();
  game.Type(2560, 1440);
  game.Patch();
  EXPECT_EQ(ValueAt(game.File("game.exe"), 108), 2560);
  EXPECT_EQ(game.list.At(0).oldx, 640);

  game.messages.clear();
  game.Undo();
  EXPECT_EQ(game.messages, Strings{"Patch successfully removed!"});
  EXPECT_EQ(game.File("game.exe"), original);
  EXPECT_EQ(game.system.TimeOf(kFolder + "game.exe"), time);
  EXPECT_FALSE(game.system.FileExists(kFolder + "game.undo"));
  EXPECT_FALSE(game.system.FileExists(kFolder + "data.undo"));
  EXPECT_FALSE(game.UndoAvailable());
  EXPECT_EQ(std::to_string(game.located[0].width), "640");
}

TEST(RemovePatches, RestoresWithTheByteCountsAndShowsThePositionsOfUnlocatedValues) {
  Game game({"game.exe"});
  ASSERT_TRUE(game.Locate());
  PatchEntry& entry = game.list.At(0);
  entry.xpos = 0;
  entry.ypos = 1234;
  game.Undo();
  EXPECT_EQ(game.messages,
            (Strings{"Unable to find patch offsets in file GAME.EXE for patch #1!  This may be due "
                     "to an outdated patcher.",
                     "0 1234", "Errors found.  Unable to undo patch!"}));

  game.messages.clear();
  ASSERT_TRUE(game.Locate());
  entry.oldx = 0x7777;
  entry.setxlen = 1;
  const Bytes before = game.File("game.exe");
  game.Undo();
  const Bytes after = game.File("game.exe");
  EXPECT_EQ(after[108], 0x77);
  EXPECT_EQ(after[109], before[109]);
}

TEST(ApplyAndRemove, NoSpellingOfAGameFileLetsARecordReplaceOrDeleteIt) {
  for (const std::string record : {"racer.exe", "RACER~1.EXE", "racer.exe. "}) {
    Game game({"racer.exe", "data.bin"});
    game.system.AddShortName(kFolder + "racer.exe", kFolder + "RACER~1.EXE");
    game.list.At(1).undofile = record;
    ASSERT_TRUE(game.Locate());
    const Bytes racer = game.File("racer.exe");
    game.Undo();
    EXPECT_EQ(game.File("racer.exe"), racer) << record;

    game.messages.clear();
    game.Patch();
    EXPECT_EQ(game.messages.back(), "Errors found.  Unable to patch game!") << record;
    EXPECT_EQ(game.File("racer.exe"), racer) << record;
  }
}

// One record can restore only one game file: two files sharing a record would
// lose one file's values before the first Patch.
TEST(ApplyPatches, ARecordSharedByTwoGameFilesIsRefused) {
  Game game({"game.exe", "data.bin"});
  game.list.At(0).undofile = game.list.At(1).undofile = "shared.undo";
  ASSERT_TRUE(game.Locate());
  game.Patch();
  const std::string tail = "!  Close all programs/games before patching.";
  EXPECT_EQ(game.messages, (Strings{"Unable to write to file SHARED.UNDO for patch #2" + tail,
                                    "Unable to write to file SHARED.UNDO for patch #1" + tail,
                                    "Errors found.  Unable to patch game!"}));
  EXPECT_FALSE(game.system.FileExists(kFolder + "shared.undo"));
}

TEST(ApplyPatches, ATypedValueItsBytesCannotHoldIsRefusedBeforeAnyWrite) {
  Game game({"game.exe"});
  game.list.At(0).setxlen = 2;
  ASSERT_TRUE(game.Locate());
  const Bytes before = game.File("game.exe");
  for (const std::int32_t width : {70000, -1}) {
    game.messages.clear();
    game.Type(width, 768);
    game.Patch();
    EXPECT_EQ(game.messages,
              (Strings{"The width " + std::to_string(width) +
                           " does not fit patch #1: its value has 2 bytes, which hold 0 to 65535.",
                       "Errors found.  Unable to patch game!"}));
    EXPECT_EQ(game.File("game.exe"), before);
    EXPECT_FALSE(game.system.FileExists(kFolder + "game.undo"));
  }
  game.Type(65535, 768);
  game.Patch();
  EXPECT_EQ(game.messages.back(), "Game successfully patched!");
  EXPECT_EQ(ValueAt(game.File("game.exe"), 108) & 0xFFFF, 65535);
}

// Patch replaces, and Undo Patch deletes, only files that are undo records.
TEST(ApplyAndRemove, AnUndoFileThatIsNoRecordIsNeverReplacedOrDeleted) {
  Bytes save(3000);
  for (std::size_t i = 0; i < save.size(); ++i) save[i] = static_cast<std::uint8_t>(i * 31);
  const std::string six_lines = "1\r\n2\r\n3\r\n4\r\n5\r\n6\r\n";
  for (const Bytes& content : {save, Bytes(six_lines.begin(), six_lines.end())}) {
    Game game({"game.exe"});
    game.system.AddFile(kFolder + "profile.sav", content);
    game.list.At(0).undofile = "profile.sav";
    ASSERT_TRUE(game.Locate());
    const Bytes before = game.File("game.exe");
    game.Patch();
    EXPECT_EQ(game.messages,
              (Strings{"Unable to write to file PROFILE.SAV for patch #1!  Close all "
                       "programs/games before patching.",
                       "Errors found.  Unable to patch game!"}));
    EXPECT_EQ(game.File("profile.sav"), content);
    EXPECT_EQ(game.File("game.exe"), before);
  }

  // A second patch naming the save: Undo restores the game and keeps the save.
  Game game({"game.exe", "data.bin"});
  ASSERT_TRUE(game.Locate());
  game.Type(1920, 1200);
  game.Patch();
  game.system.AddFile(kFolder + "profile.sav", save);
  game.list.At(1).undofile = "profile.sav";
  game.Undo();
  EXPECT_EQ(game.messages.back(), "Patch successfully removed!");
  EXPECT_EQ(game.File("profile.sav"), save);
  EXPECT_EQ(ValueAt(game.File("game.exe"), 108), 640);
}

TEST(ApplyAndRemove, RecordsOfTheProgramStaleEmptyOrExtremeAreReplacedAndDeleted) {
  const std::string extreme = FormatUndoRecord({INT32_MIN, INT32_MAX, INT32_MAX, INT32_MIN, -1});
  for (const std::string& old : {std::string(), std::string("12\r\n108"), extreme}) {
    Game game({"game.exe"});
    game.system.AddFile(kFolder + "game.undo", old);
    ASSERT_TRUE(game.Locate());
    game.Patch();
    EXPECT_EQ(game.messages.back(), "Game successfully patched!");
    EXPECT_TRUE(game.UndoAvailable());
    game.Undo();
    EXPECT_FALSE(game.system.FileExists(kFolder + "game.undo"));
  }
}

// Each file operation of a press fails in turn. Afterwards every game file is
// exactly as before or exactly patched, and the user was told either way.
void SweepFailures(bool undo) {
  for (int failing = 1;; ++failing) {
    Game game({"game.exe", "data.bin", "sub.dat"});
    ASSERT_TRUE(game.Locate());
    game.Type(1920, 1200);
    if (undo) game.Patch();
    std::vector<Bytes> before, patched;
    for (const char* name : {"game.exe", "data.bin", "sub.dat"}) {
      before.push_back(game.File(name));
      patched.push_back(undo ? GameFile(static_cast<std::uint8_t>(before.size()))
                             : GameFile(static_cast<std::uint8_t>(before.size()), 1920, 1200));
    }
    game.messages.clear();
    game.system.ResetCounters();
    game.system.FailCall(failing);
    bool reported = false;
    try {
      if (undo) {
        game.Undo();
      } else {
        game.Patch();
      }
    } catch (const FileError&) {
      reported = true;  // the general error report shows it
    }
    const int calls = game.system.FileCalls();
    int index = 0;
    for (const char* name : {"game.exe", "data.bin", "sub.dat"}) {
      const Bytes now = game.File(name);
      EXPECT_TRUE(now == before[index] || now == patched[index])
          << "failing call " << failing << " file " << name;
      ++index;
    }
    EXPECT_TRUE(reported || !game.messages.empty()) << failing;
    if (reported) {
      EXPECT_TRUE(game.messages.empty() ||
                  game.messages.back().rfind("Errors found.", 0) == 0);
    }
    if (calls < failing) {
      EXPECT_FALSE(reported);
      EXPECT_EQ(game.messages.back(),
                undo ? "Patch successfully removed!" : "Game successfully patched!");
      EXPECT_GT(failing, 10);
      break;
    }
  }
}

TEST(FaultInjection, EveryFailingCallOfPatchLeavesFilesWholeAndIsReported) {
  SweepFailures(false);
}

TEST(FaultInjection, EveryFailingCallOfUndoLeavesFilesWholeAndIsReported) {
  SweepFailures(true);
}

}  // namespace
}  // namespace quillfen
