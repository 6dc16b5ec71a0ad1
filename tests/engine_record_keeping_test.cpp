#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <utility>
#include <variant>
#include <vector>

#include "engine/crc32.h"
#include "engine/locate.h"
#include "engine/patching.h"
#include "engine/undo_record.h"
#include "engine/values.h"
#include "platform/file_error.h"
#include "support/game_files.h"
#include "support/located_entry.h"
#include "support/memory_system.h"
#include "support/separators.h"

// Undo records that more than one entry reaches (games of one definition file
// that share a record name, sections that change one axis of a game), and
// records as every reader judges them.

namespace quillfen {
namespace {

using testing::MemorySystem;

// The game folder of the running test, in the form of its system's paths.
std::string& Folder() {
  static std::string folder;
  return folder;
}

// Each suite runs with both systems' paths, in the folder Games/X.
class RecordKeepingTest : public testing::SeparatorTest {
 protected:
  void SetUp() override { Folder() = FolderBelow("Games/X"); }
};

std::int32_t ValueAt(const Bytes& bytes, std::size_t at) {
  return static_cast<std::int32_t>(bytes[at] | bytes[at + 1] << 8 | bytes[at + 2] << 16 |
                                   static_cast<std::uint32_t>(bytes[at + 3]) << 24);
}

// One game of the definition file: its entries, located in the folder. On
// Windows every operation goes on with the entries bound by the last, as the
// window's do; elsewhere each starts from the definition's names, as the
// command line's do (the engine takes a bound entry's name at a backslash).
struct Section {
  PatchList list;
  std::vector<LocatedPatch> located;
  std::vector<std::pair<std::string, std::string>> names;  // modfile, undofile as defined

  explicit Section(std::vector<PatchEntry> entries) {
    for (PatchEntry& entry : entries) {
      names.emplace_back(entry.modfile, entry.undofile);
      list.Append(std::move(entry));
    }
  }
  void Unbind(MemorySystem& system) {
    if (system.Separator() == '\\') return;
    for (std::size_t i = 0; i < list.Count(); ++i) {
      list.At(i).modfile = names[i].first;
      list.At(i).undofile = names[i].second;
    }
  }
  bool Locate(MemorySystem& system) {
    Unbind(system);
    located.assign(list.Count(), {});
    bool all = true;
    for (std::size_t i = list.Count(); i-- > 0;) {
      located[i] = LocatePatch(system, Folder(), list.At(i));
      testing::TakeLocation(list.At(i), located[i]);
      all = all && located[i].located;
    }
    return all;
  }
  OperationResult Patch(MemorySystem& system, std::int32_t width, std::int32_t height) {
    Locate(system);
    Unbind(system);
    return ApplyPatches(system, list, Folder(), width, height);
  }
  OperationResult Undo(MemorySystem& system) {
    Locate(system);
    Unbind(system);
    return RemovePatches(system, list, Folder());
  }
};

PatchEntry WidthOnly(PatchEntry entry) {
  entry.hasy = false;
  entry.yoffset = NotSet;
  return entry;
}

PatchEntry HeightOnly(PatchEntry entry) {
  entry.hasx = false;
  entry.xoffset = NotSet;
  return entry;
}

template <class Kind>
bool Has(const OperationResult& result) {
  return std::any_of(result.reports.begin(), result.reports.end(),
                     [](const Report& report) { return std::holds_alternative<Kind>(report); });
}

class SharedRecords : public RecordKeepingTest {};
QUILLFEN_BOTH_SEPARATORS(SharedRecords);
class OneAxisRecords : public RecordKeepingTest {};
QUILLFEN_BOTH_SEPARATORS(OneAxisRecords);
class RecordParsing : public RecordKeepingTest {};
QUILLFEN_BOTH_SEPARATORS(RecordParsing);
class Refusals : public RecordKeepingTest {};
QUILLFEN_BOTH_SEPARATORS(Refusals);
class RecordWriting : public RecordKeepingTest {};
QUILLFEN_BOTH_SEPARATORS(RecordWriting);

void PutValue(Bytes& bytes, std::size_t at, std::int32_t value) {
  for (std::size_t i = 0; i < 4; ++i) {
    bytes[at + i] = static_cast<std::uint8_t>(static_cast<std::uint32_t>(value) >> (8 * i));
  }
}

// A game and its expansion in one folder, whose sections both default to
// game.undo: each Patch keeps the other's record, and each Undo restores its
// own file from it. The game's values lie at 108 and 112 (640 x 480); the
// expansion's elsewhere, or one of them at the game's place with the game's
// original, so that only the other value tells the two files' records apart.
TEST_P(SharedRecords, AGameAndItsExpansionKeepEachOthersOriginals) {
  struct Layout {
    const char* what;
    std::size_t x, y;  // where the expansion's values lie
    std::int32_t width, height;
  };
  const Layout layouts[] = {
      {"both elsewhere", 148, 152, 800, 600},
      {"the same width, the height elsewhere", 108, 116, 640, 600},
      {"the same width, the height elsewhere with the same original", 108, 116, 640, 480},
      {"the width elsewhere with the same original, the same height", 116, 112, 640, 480},
  };
  for (const Layout& layout : layouts) {
    SCOPED_TRACE(layout.what);
    MemorySystem system(Separator());
    system.AddFolder(Folder());
    const Bytes exe = testing::GameFile(300, 1, 640, 480);
    Bytes dat = testing::GameFile(340, 2, 0, 0);
    PutValue(dat, layout.x, layout.width);
    PutValue(dat, layout.y, layout.height);
    system.AddFile(Folder() + "game.exe", exe);
    system.AddFile(Folder() + "game.dat", dat);
    PatchEntry expansion_entry = testing::GameEntry("game.dat", "game.undo");
    expansion_entry.xoffset = static_cast<std::int32_t>(layout.x) - 100;
    expansion_entry.yoffset = static_cast<std::int32_t>(layout.y) - 100;
    Section racer({testing::GameEntry("game.exe", "game.undo")});
    Section expansion({expansion_entry});

    ASSERT_TRUE(racer.Patch(system, 1920, 1080).done);
    const OperationResult second = expansion.Patch(system, 1920, 1080);
    ASSERT_TRUE(second.done);
    EXPECT_TRUE(Has<reports::KeptAside>(second));
    const std::string kept =
        KeptRecordPath(Folder() + "game.undo", Crc32Of(system.Content(Folder() + "game.exe")), 1);
    EXPECT_TRUE(system.FileExists(kept));

    // The game finds its record kept aside, and Undo restores it from there.
    ASSERT_TRUE(racer.Locate(system));
    EXPECT_TRUE(racer.located[0].from_record);
    EXPECT_TRUE(racer.located[0].record.aside);
    EXPECT_TRUE(racer.Undo(system).done);
    EXPECT_EQ(system.Content(Folder() + "game.exe"), exe);
    EXPECT_FALSE(system.FileExists(kept));
    EXPECT_TRUE(system.FileExists(Folder() + "game.undo"));  // the expansion's, untouched

    EXPECT_TRUE(expansion.Undo(system).done);
    EXPECT_EQ(system.Content(Folder() + "game.dat"), dat);
    EXPECT_FALSE(system.FileExists(Folder() + "game.undo"));
  }
}

// A game whose record was kept aside by its expansion, patched again: the new
// record carries the game's originals, so the record kept aside goes, and the
// expansion's record is kept aside in turn. Both Undos then restore their files
// and leave nothing beside them.
TEST_P(SharedRecords, PatchingAgainFromARecordKeptAsideRetiresIt) {
  MemorySystem system(Separator());
  system.AddFolder(Folder());
  const Bytes exe = testing::GameFile(300, 1, 640, 480);
  Bytes dat = testing::GameFile(340, 2, 0, 0);
  PutValue(dat, 148, 800);
  PutValue(dat, 152, 600);
  system.AddFile(Folder() + "game.exe", exe);
  system.AddFile(Folder() + "game.dat", dat);
  PatchEntry expansion_entry = testing::GameEntry("game.dat", "game.undo");
  expansion_entry.xoffset = 48;
  expansion_entry.yoffset = 52;
  Section racer({testing::GameEntry("game.exe", "game.undo")});
  Section expansion({expansion_entry});
  ASSERT_TRUE(racer.Patch(system, 1920, 1080).done);
  ASSERT_TRUE(expansion.Patch(system, 1920, 1080).done);
  const std::string racer_aside =
      KeptRecordPath(Folder() + "game.undo", Crc32Of(system.Content(Folder() + "game.exe")), 1);
  const std::string expansion_aside =
      KeptRecordPath(Folder() + "game.undo", Crc32Of(system.Content(Folder() + "game.dat")), 1);
  ASSERT_TRUE(system.FileExists(racer_aside));

  ASSERT_TRUE(racer.Patch(system, 1280, 720).done);
  EXPECT_FALSE(system.FileExists(racer_aside));
  EXPECT_TRUE(system.FileExists(expansion_aside));
  EXPECT_TRUE(racer.Undo(system).done);
  EXPECT_EQ(system.Content(Folder() + "game.exe"), exe);
  EXPECT_TRUE(expansion.Undo(system).done);
  EXPECT_EQ(system.Content(Folder() + "game.dat"), dat);
  EXPECT_FALSE(system.FileExists(Folder() + "game.undo"));
  EXPECT_FALSE(system.FileExists(racer_aside));
  EXPECT_FALSE(system.FileExists(expansion_aside));
}

// Patching a patched game again replaces its record with one that keeps the
// same originals: nothing is kept aside and nothing is left beside it, for a
// section of both axes and one of the width alone.
TEST_P(SharedRecords, PatchingAgainReplacesTheRecordAndKeepsNothingAside) {
  for (const bool width_only : {false, true}) {
    SCOPED_TRACE(width_only ? "width alone" : "both axes");
    MemorySystem system(Separator());
    system.AddFolder(Folder());
    const Bytes exe = testing::GameFile(300, 1, 640, 480);
    system.AddFile(Folder() + "game.exe", exe);
    const PatchEntry entry = testing::GameEntry("game.exe", "game.undo");
    Section game({width_only ? WidthOnly(entry) : entry});
    ASSERT_TRUE(game.Patch(system, 1920, 1080).done);
    const std::int32_t first = Crc32Of(system.Content(Folder() + "game.exe"));
    const OperationResult again = game.Patch(system, 1280, 720);
    ASSERT_TRUE(again.done);
    EXPECT_FALSE(Has<reports::KeptAside>(again));
    EXPECT_FALSE(system.FileExists(KeptRecordPath(Folder() + "game.undo", first, 1)));
    EXPECT_FALSE(system.FileExists(PendingRecordPath(Folder() + "game.undo")));
    EXPECT_TRUE(game.Undo(system).done);
    EXPECT_EQ(system.Content(Folder() + "game.exe"), exe);
    EXPECT_FALSE(system.FileExists(Folder() + "game.undo"));
  }
}

// A section that changes the width alone, beside the game's full section: its
// Undo writes back the width and keeps the height's original in the record,
// and its Patch carries the height's original over instead of writing 0.
TEST_P(OneAxisRecords, AWidthOnlySectionNeverDropsTheHeightsOriginal) {
  const Bytes original = testing::GameFile(300, 1, 640, 480);
  const std::string record = Folder() + "game.undo";
  for (const bool full_first : {true, false}) {
    MemorySystem system(Separator());
    system.AddFolder(Folder());
    system.AddFile(Folder() + "game.exe", original);
    Section full({testing::GameEntry("game.exe", "game.undo")});
    Section width({WidthOnly(testing::GameEntry("game.exe", "game.undo"))});
    if (full_first) {
      ASSERT_TRUE(full.Patch(system, 1920, 1080).done);
      ASSERT_TRUE(width.Patch(system, 2560, 0).done);
      EXPECT_EQ(
          system.TextOf(record),
          FormatUndoRecord({Crc32Of(system.Content(Folder() + "game.exe")), 108, 112, 640, 480}));
      ASSERT_TRUE(width.Undo(system).done);
      const Bytes& now = system.Content(Folder() + "game.exe");
      EXPECT_EQ(ValueAt(now, 108), 640);
      EXPECT_EQ(ValueAt(now, 112), 1080);
      // What remains to restore, for the file as it is now.
      EXPECT_EQ(system.TextOf(record), FormatUndoRecord({Crc32Of(now), 0, 112, 0, 480}));
      // The width patched again: the new record carries that height over.
      ASSERT_TRUE(width.Patch(system, 2560, 0).done);
      EXPECT_EQ(
          system.TextOf(record),
          FormatUndoRecord({Crc32Of(system.Content(Folder() + "game.exe")), 108, 112, 640, 480}));
    } else {
      ASSERT_TRUE(width.Patch(system, 2560, 0).done);
      EXPECT_EQ(system.TextOf(record),
                FormatUndoRecord({Crc32Of(system.Content(Folder() + "game.exe")), 108, 0, 640, 0}));
      // The full section takes the width from the record, the height by signature.
      ASSERT_TRUE(full.Patch(system, 1920, 1080).done);
    }
    ASSERT_TRUE(full.Locate(system)) << full_first;
    EXPECT_TRUE(full.located[0].from_record);
    EXPECT_EQ(full.list.At(0).oldx, 640);
    EXPECT_EQ(full.list.At(0).oldy, 480);
    EXPECT_TRUE(full.Undo(system).done);
    EXPECT_EQ(system.Content(Folder() + "game.exe"), original) << full_first;
    EXPECT_FALSE(system.FileExists(record));
  }
}

// One axis undone after both were patched: the record keeps the other axis's
// original, and nothing else, even where the patched value of that axis
// shares its low byte with the original (1920 is 0x780 and 640 0x280; 736 is
// 0x2E0 and 480 0x1E0), so that no check of fewer bytes takes it for back.
TEST_P(OneAxisRecords, UndoOfOneAxisKeepsTheOthersOriginal) {
  for (const bool width_alone : {true, false}) {
    SCOPED_TRACE(width_alone ? "width alone undone" : "height alone undone");
    MemorySystem system(Separator());
    system.AddFolder(Folder());
    const Bytes original = testing::GameFile(300, 1, 640, 480);
    system.AddFile(Folder() + "game.exe", original);
    const PatchEntry entry = testing::GameEntry("game.exe", "game.undo");
    Section full({entry});
    Section one({width_alone ? WidthOnly(entry) : HeightOnly(entry)});
    ASSERT_TRUE(full.Patch(system, 1920, width_alone ? 736 : 1080).done);
    ASSERT_TRUE(one.Undo(system).done);
    const std::int32_t now = Crc32Of(system.Content(Folder() + "game.exe"));
    EXPECT_EQ(system.TextOf(Folder() + "game.undo"),
              FormatUndoRecord(width_alone ? UndoRecord{now, 0, 112, 0, 480}
                                           : UndoRecord{now, 108, 0, 640, 0}));
    EXPECT_TRUE(full.Undo(system).done);
    EXPECT_EQ(system.Content(Folder() + "game.exe"), original);
  }
}

// Locate, Undo and Patch read a record by one rule: a NUL with bytes after it
// makes the file no record for all three.
TEST_P(RecordParsing, EveryReaderJudgesARecordWithANulAlike) {
  MemorySystem system(Separator());
  system.AddFolder(Folder());
  const Bytes game = testing::GameFile(300, 1, 1920, 1080);
  system.AddFile(Folder() + "game.exe", game);
  std::string text = FormatUndoRecord({Crc32Of(game), 108, 112, 640, 480});
  text += std::string(1, '\0') + "junk";
  system.AddFile(Folder() + "game.undo", text);
  Section section({testing::GameEntry("game.exe", "game.undo")});

  ASSERT_TRUE(section.Locate(system));
  EXPECT_FALSE(section.located[0].from_record);
  EXPECT_EQ(section.located[0].record.state, RecordState::kNotMatching);
  const OperationResult undo = section.Undo(system);
  EXPECT_EQ(system.TextOf(Folder() + "game.undo"), text);  // not a record: never deleted
  EXPECT_EQ(system.Content(Folder() + "game.exe"), game);
  EXPECT_TRUE(undo.done);
  const OperationResult patch = section.Patch(system, 800, 600);
  EXPECT_FALSE(patch.done);
  EXPECT_TRUE(Has<reports::NotWritable>(patch));
  EXPECT_EQ(system.Content(Folder() + "game.exe"), game);
}

// What the press refuses before any write, each named for what it is: a
// definition value that reached the cut, and a file of 2 GiB or more.
TEST_P(Refusals, ACutValueAndATooLargeFileAreNamed) {
  MemorySystem system(Separator());
  system.AddFolder(Folder());
  const Bytes game = testing::GameFile(300, 1, 640, 480);
  system.AddFile(Folder() + "game.exe", game);
  system.AddFile(Folder() + "big.dat", game);
  system.SetReportedSize(Folder() + "big.dat", std::int64_t{2} << 30);

  PatchEntry cut = testing::GameEntry("game.exe", "game.undo");
  cut.cut = "sig";
  Section section({cut});
  EXPECT_FALSE(section.Locate(system));
  EXPECT_EQ(section.located[0].failure, LocateFailure::kCutValue);
  OperationResult result = section.Patch(system, 1920, 1080);
  EXPECT_FALSE(result.done);
  ASSERT_TRUE(std::holds_alternative<reports::CutValue>(result.reports.front()));
  EXPECT_EQ(std::get<reports::CutValue>(result.reports.front()).key, "sig");

  // The places a cut signature finds are no entry's: a second entry that
  // writes two bytes there is refused for nothing but the cut.
  PatchEntry beside = testing::GameEntry("game.exe", "beside.undo");
  beside.setxlen = 2;
  Section both({cut, beside});
  result = both.Patch(system, 1920, 1080);
  EXPECT_FALSE(result.done);
  ASSERT_TRUE(std::holds_alternative<reports::CutValue>(result.reports.front()));
  for (const Report& report : result.reports) {
    EXPECT_TRUE(std::holds_alternative<reports::CutValue>(report) ||
                std::holds_alternative<reports::ChecksFailed>(report))
        << report.index();
  }

  Section large({testing::GameEntry("big.dat", "big.undo")});
  EXPECT_FALSE(large.Locate(system));
  EXPECT_EQ(large.located[0].failure, LocateFailure::kTooLarge);
  result = large.Patch(system, 1920, 1080);
  EXPECT_FALSE(result.done);
  EXPECT_TRUE(std::holds_alternative<reports::TooLarge>(result.reports.front()));
  EXPECT_EQ(system.Content(Folder() + "game.exe"), game);
  EXPECT_FALSE(system.FileExists(Folder() + "game.undo"));
  EXPECT_FALSE(system.FileExists(Folder() + "big.undo"));

  // The largest size whose every position a signed 32-bit number names is
  // held and read (the read fails here: no gigabytes are held in memory).
  system.SetReportedSize(Folder() + "big.dat", kMaxGameFileSize);
  system.FailWhen(
      [](MemorySystem::Op op, const std::string&) { return op == MemorySystem::Op::Read; });
  large.Unbind(system);
  EXPECT_THROW(ApplyPatches(system, large.list, Folder(), 1920, 1080), FileError);
}

// A record is written as a new file and moved over its place, never written
// where it stands (a record place that is a link to a file elsewhere is then
// replaced, not changed); and a full disk leaves no empty record behind.
TEST_P(RecordWriting, ARecordIsMovedOverItsPlaceAndAFailedWriteLeavesNoEmptyFile) {
  MemorySystem system(Separator());
  system.AddFolder(Folder());
  system.AddFile(Folder() + "game.exe", testing::GameFile(300, 1, 640, 480));
  Section section({testing::GameEntry("game.exe", "game.undo")});
  ASSERT_TRUE(section.Patch(system, 1920, 1080).done);

  std::vector<std::string> written;
  system.FailWhen([&](MemorySystem::Op op, const std::string& path) {
    // Only a write over a file that is there could reach another name of it.
    if (op == MemorySystem::Op::Write && system.FileExists(path)) written.push_back(path);
    return false;
  });
  ASSERT_TRUE(section.Patch(system, 2560, 1440).done);
  for (const std::string& path : written) {
    EXPECT_NE(path, Folder() + "game.undo");
    EXPECT_NE(path, Folder() + "game.undo.new");
  }

  // The disk is full: an empty file can still be made at the record's
  // place, but the record's bytes do not fit.
  MemorySystem full(Separator());
  full.AddFolder(Folder());
  const Bytes game = testing::GameFile(300, 1, 640, 480);
  full.AddFile(Folder() + "game.exe", game);
  int writes = 0;
  full.FailWhen([&](MemorySystem::Op op, const std::string& path) {
    return op == MemorySystem::Op::Write && path.find(".undo") != std::string::npos && ++writes > 1;
  });
  Section fresh({testing::GameEntry("game.exe", "game.undo")});
  EXPECT_THROW(fresh.Patch(full, 1920, 1080), FileError);
  full.FailWhen({});
  EXPECT_EQ(full.Content(Folder() + "game.exe"), game);
  for (const DirEntry& entry : full.ListFolder(Folder()).entries) {
    EXPECT_EQ(entry.name, "game.exe");
  }

  // An empty record that was there before the failed Patch stays.
  full.AddFile(Folder() + "game.undo", Bytes{});
  full.FailWhen([](MemorySystem::Op op, const std::string& path) {
    return op == MemorySystem::Op::Write && path.find(".undo") != std::string::npos;
  });
  EXPECT_THROW(fresh.Patch(full, 1920, 1080), FileError);
  full.FailWhen({});
  EXPECT_TRUE(full.FileExists(Folder() + "game.undo"));
  EXPECT_EQ(full.Content(Folder() + "game.exe"), game);
}

// A record that Patch retires goes only if it is still a record when its time
// comes: a file another program put at its place meanwhile stays.
TEST_P(RecordWriting, ARetiredRecordReplacedMeanwhileStays) {
  MemorySystem system(Separator());
  system.AddFolder(Folder());
  const Bytes game = testing::GameFile(300, 1, 640, 480);
  system.AddFile(Folder() + "game.exe", game);
  // A pending record left by a stop before the values were written: trusted
  // by its places, carried into the new record, and then retired.
  const std::string pending = Folder() + "game.undo.new";
  system.AddFile(pending, FormatUndoRecord({Crc32Of(game) ^ 1, 108, 112, 640, 480}));
  system.FailWhen([&](MemorySystem::Op op, const std::string& path) {
    if (op == MemorySystem::Op::WriteAt && path == Folder() + "game.exe") {
      system.AddFile(pending, "notes of another program");
    }
    return false;
  });
  Section section({testing::GameEntry("game.exe", "game.undo")});
  ASSERT_TRUE(section.Patch(system, 1920, 1080).done);
  EXPECT_EQ(system.TextOf(pending), "notes of another program");
  EXPECT_EQ(system.TextOf(Folder() + "game.undo"),
            FormatUndoRecord({Crc32Of(system.Content(Folder() + "game.exe")), 108, 112, 640, 480}));
}

// Files of other programs at the names a new record is written under first
// are passed by, however many there are, and left as they are.
TEST_P(RecordWriting, FilesAtTheNamesOfANewRecordArePassedBy) {
  MemorySystem system(Separator());
  system.AddFolder(Folder());
  system.AddFile(Folder() + "game.exe", testing::GameFile(300, 1, 640, 480));
  const std::vector<std::string> others = {Folder() + "game.undo.tmp", Folder() + "game.undo.tmp1",
                                           Folder() + "game.undo.tmp2"};
  for (const std::string& path : others) system.AddFile(path, "notes of another program");
  Section section({testing::GameEntry("game.exe", "game.undo")});
  ASSERT_TRUE(section.Patch(system, 1920, 1080).done);
  for (const std::string& path : others) {
    EXPECT_EQ(system.TextOf(path), "notes of another program") << path;
  }
  EXPECT_EQ(system.TextOf(Folder() + "game.undo"),
            FormatUndoRecord({Crc32Of(system.Content(Folder() + "game.exe")), 108, 112, 640, 480}));
}

// A record Patch may not replace is kept aside under the first free name for
// its checksum, the last one too; with every name taken Patch stops before
// any write, and the record stays where it is.
TEST_P(RecordWriting, ARecordIsKeptAsideUnderTheLastFreeNameOrNothingIsWritten) {
  for (const bool last_free : {true, false}) {
    MemorySystem system(Separator());
    system.AddFolder(Folder());
    const Bytes game = testing::GameFile(300, 1, 640, 480);
    system.AddFile(Folder() + "game.exe", game);
    const UndoRecord other{Crc32Of(game) ^ 1, 20, 24, 1, 2};  // another file's record
    const std::string record = Folder() + "game.undo";
    system.AddFile(record, FormatUndoRecord(other));
    const int taken = last_free ? kMaxKeptRecords - 1 : kMaxKeptRecords;
    for (int n = 1; n <= taken; ++n) {
      system.AddFile(KeptRecordPath(record, other.checksum, n), "taken");
    }
    Section section({testing::GameEntry("game.exe", "game.undo")});
    if (last_free) {
      ASSERT_TRUE(section.Patch(system, 1920, 1080).done);
      EXPECT_EQ(system.TextOf(KeptRecordPath(record, other.checksum, kMaxKeptRecords)),
                FormatUndoRecord(other));
    } else {
      try {
        section.Patch(system, 1920, 1080);
        ADD_FAILURE() << "no name was free";
      } catch (const FileError& error) {
        EXPECT_EQ(error.Cause(), FileCause::kTooManyAside);
        EXPECT_EQ(error.Path(), record);
      }
      EXPECT_EQ(system.TextOf(record), FormatUndoRecord(other));
      EXPECT_EQ(system.Content(Folder() + "game.exe"), game);
    }
  }
}

// A Patch whose outcome is not found once the game file holds the new values
// (another program replaced the record, or put the file's old bytes back,
// meanwhile) is reported, and not said to be done.
TEST_P(RecordWriting, APatchUndoneByAnotherProgramMeanwhileIsReported) {
  const Bytes game = testing::GameFile(300, 1, 640, 480);
  for (const bool record_replaced : {true, false}) {
    MemorySystem system(Separator());
    system.AddFolder(Folder());
    system.AddFile(Folder() + "game.exe", game);
    const std::string record = Folder() + "game.undo";
    bool written = false;
    system.FailWhen([&](MemorySystem::Op op, const std::string& path) {
      if (op == MemorySystem::Op::WriteAt) written = true;
      if (written && op == MemorySystem::Op::FileSize && path == record) {
        if (record_replaced) {
          system.AddFile(record, "notes of another program");
        } else {
          system.AddFile(Folder() + "game.exe", game);
        }
      }
      return false;
    });
    Section section({testing::GameEntry("game.exe", "game.undo")});
    const OperationResult result = section.Patch(system, 1920, 1080);
    EXPECT_TRUE(written);
    EXPECT_FALSE(result.done) << record_replaced;
    EXPECT_TRUE(Has<reports::NoRecord>(result)) << record_replaced;
  }
}

// A record another program puts back after Undo Patch removed it, before
// the entry is located again, is reported as kept, and the Undo is not said
// to be done.
TEST_P(RecordWriting, ARecordPutBackAfterUndoIsReportedAsKept) {
  const Bytes original = testing::GameFile(300, 1, 640, 480);
  MemorySystem system(Separator());
  system.AddFolder(Folder());
  system.AddFile(Folder() + "game.exe", original);
  const std::string record = Folder() + "game.undo";
  Section section({testing::GameEntry("game.exe", "game.undo")});
  ASSERT_TRUE(section.Patch(system, 1920, 1080).done);
  bool removed = false;
  system.FailWhen([&](MemorySystem::Op op, const std::string& path) {
    if (op == MemorySystem::Op::Remove && path == record) removed = true;
    if (removed && op == MemorySystem::Op::Read && path == Folder() + "game.exe") {
      removed = false;
      system.AddFile(record, FormatUndoRecord({Crc32Of(original), 108, 112, 640, 480}));
    }
    return false;
  });
  const OperationResult result = section.Undo(system);
  EXPECT_EQ(system.Content(Folder() + "game.exe"), original);
  EXPECT_FALSE(result.done);
  EXPECT_TRUE(Has<reports::RecordKept>(result));
  EXPECT_FALSE(Has<reports::NotRestored>(result));
}

// Undo Patch deletes a record only once the file holds its values again: when
// another program writes the patched values back at once, the record stays.
TEST_P(RecordWriting, ARecordStaysWhenItsValuesAreNotBack) {
  MemorySystem system(Separator());
  system.AddFolder(Folder());
  system.AddFile(Folder() + "game.exe", testing::GameFile(300, 1, 640, 480));
  const std::string record = Folder() + "game.undo";
  Section section({testing::GameEntry("game.exe", "game.undo")});
  ASSERT_TRUE(section.Patch(system, 1920, 1080).done);
  const Bytes patched = system.Content(Folder() + "game.exe");
  const std::string kept = system.TextOf(record);
  bool written = false;
  system.FailWhen([&](MemorySystem::Op op, const std::string& path) {
    if (op == MemorySystem::Op::WriteAt) written = true;
    if (written && op == MemorySystem::Op::Read && path == Folder() + "game.exe") {
      written = false;
      system.AddFile(Folder() + "game.exe", patched);
    }
    return false;
  });
  const OperationResult result = section.Undo(system);
  EXPECT_FALSE(result.done);
  EXPECT_TRUE(Has<reports::NotRestored>(result));
  EXPECT_EQ(system.TextOf(record), kept);
}

// A Patch over a record trusted by its checksum, at a place the signature
// does not give, stopped at any call: started afresh, the original is still in
// a record that is trusted. (One value, so that no stop falls between two
// writes of the file.)
TEST_P(RecordWriting, APatchStoppedAnywhereKeepsARecordAwayFromTheSignature) {
  Bytes game = testing::GameFile(300, 1, 640, 480);
  StoreValue(game.data() + 20, 1920, 4);
  const UndoRecord original{Crc32Of(game), 20, 0, 700, 0};
  for (int stop = 1;; ++stop) {
    MemorySystem system(Separator());
    system.AddFolder(Folder());
    system.AddFile(Folder() + "game.exe", game);
    system.AddFile(Folder() + "game.undo", FormatUndoRecord(original));
    Section section({WidthOnly(testing::GameEntry("game.exe", "game.undo"))});
    system.CrashAfter(stop);
    bool stopped = false;
    try {
      section.Patch(system, 2560, 0);
    } catch (const MemorySystem::SimulatedCrash&) {
      stopped = true;
    }
    system.CrashAfter(0);
    Section again({WidthOnly(testing::GameEntry("game.exe", "game.undo"))});
    again.Locate(system);
    ASSERT_TRUE(again.located[0].from_record) << "stopped after call " << stop;
    EXPECT_EQ(again.list.At(0).oldx, 700) << stop;
    if (!stopped) break;
  }
}

// A one-axis Patch carries the other axis's original over only from a record
// of the file's content: a record of other content that keeps the other axis
// is kept aside, and the new record keeps that axis not. The record's value
// differs from the file's in its low byte, or only above it (so that a check of
// fewer bytes than the value has would take the value for back in the file and
// delete its only record), or is the file's: an entry without that axis does
// not know the value's length, so the value is not taken for back either.
TEST_P(OneAxisRecords, AnOtherAxisOfOtherContentIsNotCarried) {
  for (const bool width_only : {true, false}) {
    for (const std::int32_t kept : {720, 736, 480}) {  // 480 is 0x1E0, 736 is 0x2E0
      SCOPED_TRACE(std::string(width_only ? "width" : "height") + " alone, the record keeps " +
                   std::to_string(kept));
      MemorySystem system(Separator());
      system.AddFolder(Folder());
      const Bytes game = testing::GameFile(300, 1, 480, 480);
      system.AddFile(Folder() + "game.exe", game);
      const UndoRecord other = width_only ? UndoRecord{Crc32Of(game) ^ 1, 0, 112, 0, kept}
                                          : UndoRecord{Crc32Of(game) ^ 1, 108, 0, kept, 0};
      const std::string record = Folder() + "game.undo";
      system.AddFile(record, FormatUndoRecord(other));
      const PatchEntry entry = testing::GameEntry("game.exe", "game.undo");
      Section section({width_only ? WidthOnly(entry) : HeightOnly(entry)});
      ASSERT_TRUE(section.Patch(system, 2560, 1440).done);
      const std::int32_t now = Crc32Of(system.Content(Folder() + "game.exe"));
      EXPECT_EQ(system.TextOf(record),
                FormatUndoRecord(width_only ? UndoRecord{now, 108, 0, 480, 0}
                                            : UndoRecord{now, 0, 112, 0, 480}));
      EXPECT_EQ(system.TextOf(KeptRecordPath(record, other.checksum, 1)), FormatUndoRecord(other));
    }
  }
}

}  // namespace
}  // namespace quillfen
