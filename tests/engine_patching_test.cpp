#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <string>
#include <utility>
#include <variant>
#include <vector>

#include "engine/crc32.h"
#include "engine/locate.h"
#include "engine/patching.h"
#include "engine/undo_record.h"
#include "platform/file_error.h"
#include "support/game_files.h"
#include "support/located_entry.h"
#include "support/memory_system.h"
#include "ui/error_text.h"
#include "ui/report_text.h"

namespace quillfen {
namespace {

using testing::MemorySystem;
using Strings = std::vector<std::string>;

const std::string kFolder = "E:\\Games\\X\\";
const std::string kDefinitions = kFolder + "patches.ini";

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
  std::vector<LocatedPatch> located;  // per entry, from the last locating
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
    located.resize(list.Count());
    for (std::size_t i = list.Count(); i-- > 0;) {
      located[i] = LocatePatch(system, kFolder, list.At(i));
      testing::TakeLocation(list.At(i), located[i]);
      if (!located[i].located) return false;
    }
    return true;
  }
  void Type(std::int32_t typed_width, std::int32_t typed_height) {
    width = typed_width;
    height = typed_height;
  }
  OperationResult Patch() {
    located.resize(list.Count());
    return Keep(ApplyPatches(system, list, kFolder, width, height, Seen(), kDefinitions));
  }
  OperationResult Undo() {
    located.resize(list.Count());
    return Keep(RemovePatches(system, list, kFolder, Seen(), kDefinitions));
  }
  // Whether Undo Patch is offered: the first entry was located through its record.
  bool UndoAvailable() const { return located[0].from_record; }
  Bytes File(const std::string& name) { return system.Content(kFolder + name); }

 private:
  OperationObserver Seen() {
    OperationObserver observer;
    observer.located = [this](std::size_t i, const LocatedPatch& result) { located[i] = result; };
    return observer;
  }
  OperationResult Keep(OperationResult result) {
    for (const Report& report : result.reports) {
      if (const std::string text = BoxText(report, system.Separator()); !text.empty())
        messages.push_back(text);
    }
    return result;
  }
};

TEST(ApplyPatches, WritesTheTypedValuesInPlaceKeepsTheTimeAndLeavesRecords) {
  Game game({"game.exe", "data.bin"});
  ASSERT_TRUE(game.Locate());
  const Bytes before = game.File("game.exe");
  const testing::FileTime time = game.system.TimeOf(kFolder + "game.exe");
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

// A game file that a write would not reach alone is refused before anything
// is written, the window saying which file and why.
TEST(ApplyAndRemove, AGameFileReachedThroughALinkIsRefused) {
  for (const bool reparse : {false, true}) {
    Game game({"game.exe"});
    ASSERT_TRUE(game.Locate());
    if (reparse) {
      game.system.SetAttributes(kFolder + "game.exe", testing::kAttrReparsePoint);
    } else {
      game.system.SetLinkCount(kFolder + "game.exe", 2);
    }
    const Bytes before = game.File("game.exe");
    game.Patch();
    EXPECT_EQ(game.messages,
              (Strings{"Unable to write to file GAME.EXE for patch #1!  " +
                           std::string(reparse ? "It is a symbolic link or junction: "
                                                 "a write would change the file it "
                                                 "points to."
                                               : "It has 2 names (hard links): a "
                                                 "write would change the file under "
                                                 "every name."),
                       "Errors found.  Unable to patch game!"}));
    EXPECT_EQ(game.File("game.exe"), before);
    EXPECT_FALSE(game.system.FileExists(kFolder + "game.undo"));
  }
}

// A game file written while its time cannot be set back (POSIX: a file the
// user may write but does not own) keeps its values and records, and the
// press says that the time is now the time of the change, file by file.
TEST(ApplyAndRemove, AModificationTimeThatCannotBeKeptIsReported) {
  Game game({"game.exe", "data.bin"});
  ASSERT_TRUE(game.Locate());
  game.system.RefuseTimes(true);
  const Strings not_kept = {
      "The modification time of DATA.BIN could not be kept: the file now shows the time of "
      "this change.",
      "The modification time of GAME.EXE could not be kept: the file now shows the time of "
      "this change."};
  for (const bool patch : {true, false}) {
    game.messages.clear();
    const OperationResult result = patch ? game.Patch() : game.Undo();
    EXPECT_TRUE(result.done);
    Strings expected = not_kept;
    expected.push_back(patch ? "Game successfully patched!" : "Patch successfully removed!");
    EXPECT_EQ(game.messages, expected);
  }
  EXPECT_FALSE(game.system.FileExists(kFolder + "game.undo"));
}

TEST(ApplyPatches, FixedAndTypedValuesTakeTheEntrysByteCount) {
  Game game({"game.exe"});
  PatchEntry& entry = game.list.At(0);
  entry.setx = 1;
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

TEST(ApplyAndRemove, RepatchingKeepsTheFirstOldValuesAndUndoRestoresThem) {
  Game game({"game.exe", "data.bin"});
  ASSERT_TRUE(game.Locate());
  const Bytes original = game.File("game.exe");
  const testing::FileTime time = game.system.TimeOf(kFolder + "game.exe");
  game.Type(1920, 1200);
  game.Patch();
  game.Type(2560, 1440);
  game.Patch();
  EXPECT_EQ(ValueAt(game.File("game.exe"), 108), 2560);
  EXPECT_EQ(game.located[0].old_values->x, 640);

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

// Everything in the game folder, to tell that a press changed nothing.
std::vector<std::pair<std::string, Bytes>> Disk(MemorySystem& system) {
  std::vector<std::pair<std::string, Bytes>> files;
  for (const DirEntry& entry : system.ListFolder(kFolder + "*").entries) {
    if (!entry.folder) files.emplace_back(entry.name, system.Content(kFolder + entry.name));
  }
  return files;
}

// A game file that reads as an undo record too, as a small text file of
// settings might: only the program's identity check keeps a record off it.
const std::string kRecordLikeGame = "9\r\n640\r\n480\r\n";

PatchEntry RecordLikeEntry(const std::string& file, const std::string& undo) {
  PatchEntry entry = testing::GameEntry(file, undo);
  entry.sig = {'9', '\r', '\n'};
  entry.sigwild = Bytes(3, 0);
  entry.xoffset = 3;
  entry.yoffset = 8;
  entry.setxlen = entry.setylen = 1;
  return entry;
}

// Every refusal of the check pass: its boxes, highest patch first, then the
// summary, and not a byte written anywhere.
TEST(CheckPass, EachRefusalShowsItsBoxesAndWritesNothing) {
  const std::string outdated = "!  This may be due to an outdated patcher.";
  const std::string busy = "!  Close all programs/games before patching.";
  const std::string patch_failed = "Errors found.  Unable to patch game!";
  struct Case {
    const char* name;
    std::function<void(Game&)> setup;
    Strings boxes;
    bool undo = false;
  };
  const Case cases[] = {
      {"missing files",
       [](Game& g) {
         g.list.Append(Entry("gone.exe", "gone.undo"));
         g.list.Append(Entry("sub\\lost.bin", "lost.undo"));
       },
       {"Unable to find file LOST.BIN for patch #3!", "Unable to find file GONE.EXE for patch #2!",
        patch_failed}},
      {"values past the end, a count beyond 4, and no signature",
       [](Game& g) {
         g.list.At(0).yoffset = 197;  // four bytes from 297 run past the end of 300
         g.list.Append(Entry("data.bin", "data.undo"));
         g.list.At(1).setylen = 5;
         g.list.Append(Entry("more.bin", "more.undo"));
         g.system.AddFile(kFolder + "more.bin", Bytes(300, 1));
       },
       {"Unable to find patch offsets in file MORE.BIN for patch #3" + outdated,
        "Unable to find patch offsets in file DATA.BIN for patch #2" + outdated,
        "Unable to find patch offsets in file GAME.EXE for patch #1" + outdated, patch_failed}},
      {"Undo shows the positions it holds",
       [](Game& g) {
         g.list.At(0).xoffset = -100;  // position 0: not located
         g.list.At(0).yoffset = 1134;
       },
       {"Unable to find patch offsets in file GAME.EXE for patch #1" + outdated, "0 1234",
        "Errors found.  Unable to undo patch!"},
       true},
      {"a held game file and a read-only record",
       [](Game& g) {
         g.list.Append(Entry("data.bin", "data.undo"));
         g.system.Hold(kFolder + "data.bin", MemorySystem::Holder::Reading);
         g.system.AddFile(kFolder + "game.undo", std::string("stale"), testing::kAttrReadOnly);
       },
       {"Unable to write to file DATA.BIN for patch #2" + busy,
        "Unable to write to file GAME.UNDO for patch #1" + busy, patch_failed}},
      {"a record that cannot be deleted",
       [](Game& g) {
         g.system.AddFile(kFolder + "game.undo", FormatUndoRecord({1, 108, 112, 1, 2}),
                          testing::kAttrReadOnly);
       },
       {"Unable to write to file GAME.UNDO for patch #1" + busy,
        "Errors found.  Unable to undo patch!"},
       true},
      {"a record place that is a symbolic link",
       [](Game& g) {
         g.system.AddFile(kFolder + "game.undo.new", std::string(), testing::kAttrReparsePoint);
       },
       {"Unable to write to file GAME.UNDO.NEW for patch #1" + busy, patch_failed}},
      {"a record on another game file that reads as a record",
       [](Game& g) {
         g.system.AddFile(kFolder + "cfg.txt", kRecordLikeGame);
         g.list.Append(RecordLikeEntry("cfg.txt", "cfg.undo"));
         g.list.At(0).undofile = "CFG.TXT";
         g.Type(200, 100);
       },
       {"Unable to write to file CFG.TXT for patch #1" + busy, patch_failed}},
      {"the definition file as a game file",
       [](Game& g) {
         g.system.AddFile(kDefinitions, kRecordLikeGame);
         g.list.Append(RecordLikeEntry("patches.ini", "patches.undo"));
       },
       {"Unable to write to file PATCHES.INI for patch #2" + busy, patch_failed}},
      {"a record on the definition file that reads as a record",
       [](Game& g) {
         g.system.AddFile(kDefinitions, kRecordLikeGame);
         g.list.At(0).undofile = "patches.ini";
       },
       {"Unable to write to file PATCHES.INI for patch #1" + busy, patch_failed}},
      {"names that leave the folder or that Windows changes",
       [](Game& g) {
         g.list.At(0).undofile = "../escaped.undo";
         g.list.Append(Entry("../victim.exe", "victim.undo"));
         g.list.Append(Entry("game.exe", "COM1.undo"));
         g.list.Append(Entry("game.exe", "game.undo."));
       },
       {"The file name \"game.undo.\" of patch #4 names no file of the game folder: it ends in a "
        "dot or blank, which Windows drops.",
        "The file name \"COM1.undo\" of patch #3 names no file of the game folder: it is the "
        "name of a device on Windows.",
        "The file name \"../victim.exe\" of patch #2 names no file of the game folder: it holds "
        "a slash, which leads out of the folder.",
        "The file name \"../escaped.undo\" of patch #1 names no file of the game folder: it "
        "holds a slash, which leads out of the folder.",
        patch_failed}},
      {"two patches of one file sharing the default record",
       [](Game& g) {
         PatchEntry second = Entry("game.exe", "game.undo");
         second.xoffset = 16;
         second.yoffset = 20;
         g.list.Append(second);
       },
       {"Patches #1 and #2 would keep their old values in one undo record, GAME.UNDO: each needs "
        "an undofile of its own.",
        patch_failed}},
      {"two game files sharing a record",
       [](Game& g) { g.list.Append(Entry("data.bin", "GAME.UNDO")); },
       {"Patches #1 and #2 would keep their old values in one undo record, GAME.UNDO: each needs "
        "an undofile of its own.",
        patch_failed}},
      {"a record that is another's pending record",
       [](Game& g) { g.list.Append(Entry("data.bin", "game.undo.new")); },
       {"Patches #1 and #2 would keep their old values in one undo record, GAME.UNDO.NEW: each "
        "needs an undofile of its own.",
        patch_failed}},
      {"typed values that are no size or do not fit, and a fixed value that does not fit",
       [](Game& g) {
         g.Type(0, 768);
         g.list.Append(Entry("data.bin", "data.undo"));
         g.list.At(1).setx = 70000;
         g.list.At(1).setxlen = 2;
         g.list.Append(Entry("more.bin", "more.undo"));
         g.system.AddFile(kFolder + "more.bin", GameFile(9));
         g.list.At(2).setylen = 1;
       },
       {"The width 0 for patch #3 is no screen size: type a whole number from 1 up.",
        "The fixed width 70000 of patch #2 does not fit its 2 bytes, which hold 0 to 65535.",
        "The width 0 for patch #1 is no screen size: type a whole number from 1 up.",
        patch_failed}},
      {"a typed value its bytes cannot hold",
       [](Game& g) {
         g.Type(640, 480);
         g.list.At(0).setylen = 1;
       },
       {"The height 480 does not fit patch #1: its value has 1 byte, which hold 0 to 255.",
        patch_failed}},
      {"a width and height on the same bytes, and two patches writing one place differently",
       [](Game& g) {
         g.list.At(0).yoffset = 10;
         g.list.Append(Entry("data.bin", "data.undo"));
         PatchEntry third = Entry("data.bin", "third.undo");
         third.setx = 800;
         g.list.Append(third);
       },
       {"Patches #2 and #3 write different values over the same bytes of DATA.BIN.",
        "The width and height of patch #1 lie on the same bytes of GAME.EXE.", patch_failed}},
  };
  for (const Case& c : cases) {
    Game game({"game.exe"});
    game.system.AddFile(kFolder + "data.bin", GameFile(2));
    game.Type(1920, 1200);
    c.setup(game);
    game.Locate();
    const auto before = Disk(game.system);
    game.system.ResetCounters();
    if (c.undo) {
      game.Undo();
    } else {
      game.Patch();
    }
    EXPECT_EQ(game.messages, c.boxes) << c.name;
    EXPECT_EQ(game.system.BytesWritten(), 0) << c.name;
    EXPECT_EQ(Disk(game.system), before) << c.name;
  }
}

// Patches that locate the very same places may share one record: it holds
// their old values once.
TEST(ApplyAndRemove, PatchesOfTheSamePlacesShareARecord) {
  Game game({"game.exe"});
  game.list.Append(game.list.At(0));
  ASSERT_TRUE(game.Locate());
  const Bytes original = game.File("game.exe");
  game.Type(1920, 1200);
  game.Patch();
  EXPECT_EQ(game.messages.back(), "Game successfully patched!");
  game.Undo();
  EXPECT_EQ(game.messages.back(), "Patch successfully removed!");
  EXPECT_EQ(game.File("game.exe"), original);
  EXPECT_FALSE(game.system.FileExists(kFolder + "game.undo"));
}

TEST(ApplyAndRemove, RestoresWithTheEntrysByteCounts) {
  Game game({"game.exe"});
  game.list.At(0).setxlen = 1;
  game.list.At(0).setylen = 2;
  ASSERT_TRUE(game.Locate());
  const Bytes original = game.File("game.exe");
  game.Type(200, 1000);
  game.Patch();
  EXPECT_EQ(game.File("game.exe")[108], 200);
  EXPECT_EQ(ValueAt(game.File("game.exe"), 112) & 0xFFFF, 1000);
  game.Undo();
  EXPECT_EQ(game.File("game.exe"), original);
}

// The press locates again in the files as they are: another edition that
// landed after the folder was selected is written at its own places, and one
// without the values is refused.
TEST(ApplyAndRemove, AFileReplacedAfterTheFolderWasSelectedIsLocatedAgain) {
  Game game({"game.exe"});
  ASSERT_TRUE(game.Locate());
  Bytes edition = GameFile(5);
  edition.insert(edition.begin(), 16, 0xEE);  // the values now lie 16 bytes later
  game.system.AddFile(kFolder + "game.exe", edition);
  game.Type(1920, 1200);
  game.Patch();
  EXPECT_EQ(game.messages.back(), "Game successfully patched!");
  EXPECT_EQ(ValueAt(game.File("game.exe"), 124), 1920);
  const Bytes patched = game.File("game.exe");
  EXPECT_TRUE(std::equal(edition.begin(), edition.begin() + 124, patched.begin()));
  game.Undo();
  EXPECT_EQ(game.File("game.exe"), edition);

  ASSERT_TRUE(game.Locate());
  game.system.AddFile(kFolder + "game.exe", Bytes(300, 7));
  game.messages.clear();
  game.Patch();
  EXPECT_EQ(game.messages.front(),
            "Unable to find patch offsets in file GAME.EXE for patch #1!  This may be due to an "
            "outdated patcher.");
  EXPECT_EQ(game.File("game.exe"), Bytes(300, 7));
}

// A launcher that checks the game's files changes a byte of one after Patch:
// the record's places still hold the values, so Undo still restores them.
TEST(ApplyAndRemove, UndoRestoresAFileChangedElsewhereSincePatch) {
  Game game({"game.exe", "data.bin"});
  ASSERT_TRUE(game.Locate());
  game.Type(1920, 1080);
  game.Patch();
  Bytes data = game.File("data.bin");
  data[250] ^= 0x5A;
  game.system.AddFile(kFolder + "data.bin", data);
  ASSERT_TRUE(game.Locate());
  EXPECT_TRUE(game.located[1].from_record);
  game.Undo();
  EXPECT_EQ(game.messages.back(), "Patch successfully removed!");
  EXPECT_EQ(ValueAt(game.File("data.bin"), 108), 640);
  EXPECT_EQ(ValueAt(game.File("data.bin"), 112), 480);
  EXPECT_FALSE(game.system.FileExists(kFolder + "data.undo"));
}

// Each value is its own write: two values far apart change eight bytes of
// the game file, not everything between them.
// Each value is written once, and a value the file holds already not at all:
// two entries of the same places change each value once, and a width typed
// as it stands is left alone.
TEST(ApplyPatches, EachValueThatChangesIsWrittenAndReportedOnce) {
  Game game({"game.exe"});
  game.list.Append(game.list.At(0));
  ASSERT_TRUE(game.Locate());
  game.Type(640, 1200);
  game.system.ResetCounters();
  const OperationResult result = game.Patch();
  EXPECT_EQ(game.messages.back(), "Game successfully patched!");
  std::vector<std::int64_t> written;
  for (const Report& report : result.reports) {
    if (const auto* changed = std::get_if<reports::Changed>(&report)) {
      written.push_back(changed->position);
    }
  }
  EXPECT_EQ(written, std::vector<std::int64_t>{112});
  const std::int64_t record =
      static_cast<std::int64_t>(game.system.TextOf(kFolder + "game.undo").size());
  EXPECT_EQ(game.system.BytesWritten(), 4 + record);

  // Typed as they stand: the file is not touched, so its time is not set.
  game.system.RefuseTimes(true);
  game.Type(640, 1200);
  game.messages.clear();
  game.Patch();
  EXPECT_EQ(game.messages, Strings{"Game successfully patched!"});

  // The smallest size there is, 1, is a size.
  game.system.RefuseTimes(false);
  game.Type(1, 1);
  game.messages.clear();
  game.Patch();
  EXPECT_EQ(game.messages, Strings{"Game successfully patched!"});
  EXPECT_EQ(ValueAt(game.File("game.exe"), 108), 1);
}

// Only a definition file that is there is kept from being written: where
// there is none, its name is free for a record like any other.
TEST(ApplyPatches, ADefinitionFileThatIsNotThereKeepsNoName) {
  Game game({"game.exe"});
  game.list.At(0).undofile = "patches.ini";
  ASSERT_TRUE(game.Locate());
  game.Patch();
  EXPECT_EQ(game.messages.back(), "Game successfully patched!");
  EXPECT_TRUE(game.system.FileExists(kDefinitions));
}

// A record place that is another entry's pending record place is refused:
// the two records would take each other's place.
TEST(ApplyPatches, ARecordAtAnotherEntrysPendingPlaceIsRefused) {
  Game game({"game.exe", "data.bin"});
  game.list.At(1).undofile = "game.undo.new";
  ASSERT_TRUE(game.Locate());
  const Bytes before = game.File("game.exe");
  game.Type(1920, 1080);
  const OperationResult result = game.Patch();
  EXPECT_FALSE(result.done);
  EXPECT_TRUE(std::any_of(result.reports.begin(), result.reports.end(), [](const Report& r) {
    return std::holds_alternative<reports::SharedRecord>(r);
  }));
  EXPECT_EQ(game.File("game.exe"), before);
}

// The typed width (height) matters only where an entry writes it: an entry
// with that axis and no fixed value.
TEST(ApplyPatches, TheTypedValueMattersOnlyWhereAnEntryWritesIt) {
  PatchEntry typed = Entry("game.exe", "game.undo");
  PatchEntry fixed = typed;
  fixed.setx = 800;
  fixed.sety = 600;
  PatchEntry none = typed;
  none.hasx = none.hasy = false;
  const struct {
    std::vector<PatchEntry> entries;
    bool takes;
  } cases[] = {{{}, false}, {{fixed}, false}, {{none}, false}, {{fixed, none}, false},
               {{none, typed}, true}};
  for (const auto& c : cases) {
    PatchList list;
    for (const PatchEntry& entry : c.entries) list.Append(entry);
    EXPECT_EQ(TakesTypedWidth(list), c.takes) << c.entries.size();
    EXPECT_EQ(TakesTypedHeight(list), c.takes) << c.entries.size();
  }
}

// Undo Patch is offered only when every entry is located and the first
// through its record.
TEST(ApplyAndRemove, UndoIsOfferedOnlyWithEveryEntryLocated) {
  LocatedPatch recorded;
  recorded.located = recorded.from_record = true;
  LocatedPatch by_signature;
  by_signature.located = true;
  const LocatedPatch not_located;
  EXPECT_FALSE(CanUndo({}));
  EXPECT_TRUE(CanUndo({recorded, by_signature}));
  EXPECT_FALSE(CanUndo({by_signature, recorded}));
  EXPECT_FALSE(CanUndo({recorded, not_located}));
}

TEST(ApplyPatches, WritesEachValueAlone) {
  Game game({});
  Bytes big = GameFile(3);
  big.resize(4 << 20, 0x33);
  game.system.AddFile(kFolder + "big.bin", big);
  PatchEntry entry = Entry("big.bin", "big.undo");
  entry.yoffset = (4 << 20) - 100 - 8;
  game.list.Append(entry);
  ASSERT_TRUE(game.Locate());
  game.system.ResetCounters();
  game.Patch();
  EXPECT_EQ(game.messages.back(), "Game successfully patched!");
  const std::int64_t record =
      static_cast<std::int64_t>(game.system.TextOf(kFolder + "big.undo").size());
  EXPECT_EQ(game.system.BytesWritten(), 8 + record);
}

// A second copy of the program that presses Patch while the first one works
// is refused, and the first one's result is whole.
TEST(ApplyPatches, ASecondCopyAtOnceIsRefusedAndNothingInterleaves) {
  Game first({"game.exe", "data.bin"});
  ASSERT_TRUE(first.Locate());
  const Bytes original = first.File("game.exe");
  first.Type(1920, 1200);
  Strings second_boxes;
  OperationObserver observer;
  observer.locating = [&](std::size_t) {
    if (!second_boxes.empty()) return;
    PatchList list;
    list.Append(Entry("game.exe", "game.undo"));
    list.Append(Entry("data.bin", "data.undo"));
    for (const Report& r : ApplyPatches(first.system, list, kFolder, 2560, 1440).reports) {
      if (const std::string text = BoxText(r, first.system.Separator()); !text.empty())
        second_boxes.push_back(text);
    }
  };
  const OperationResult result =
      ApplyPatches(first.system, first.list, kFolder, 1920, 1200, observer);
  const std::string busy = "!  Close all programs/games before patching.";
  EXPECT_EQ(second_boxes, (Strings{"Unable to write to file DATA.BIN for patch #2" + busy,
                                   "Unable to write to file GAME.EXE for patch #1" + busy,
                                   "Errors found.  Unable to patch game!"}));
  EXPECT_TRUE(result.done);
  EXPECT_EQ(ValueAt(first.File("game.exe"), 108), 1920);
  ASSERT_TRUE(first.Locate());
  EXPECT_TRUE(first.UndoAvailable());
  first.Undo();
  EXPECT_EQ(first.File("game.exe"), original);
}

TEST(ApplyAndRemove, NoSpellingOfAGameFileLetsARecordReplaceOrDeleteIt) {
  for (const std::string record : {"cfg.txt", "CFG~1.TXT", "CFG.TXT"}) {
    Game game({"data.bin"});
    game.system.AddFile(kFolder + "cfg.txt", kRecordLikeGame);
    game.system.AddShortName(kFolder + "cfg.txt", kFolder + "CFG~1.TXT");
    game.list.Append(RecordLikeEntry("cfg.txt", "cfg.undo"));
    game.list.At(0).undofile = record;
    ASSERT_TRUE(game.Locate());
    game.Undo();
    EXPECT_EQ(game.system.TextOf(kFolder + "cfg.txt"), kRecordLikeGame) << record;
    game.messages.clear();
    game.Patch();
    EXPECT_EQ(game.messages.back(), "Errors found.  Unable to patch game!") << record;
    EXPECT_EQ(game.system.TextOf(kFolder + "cfg.txt"), kRecordLikeGame) << record;
  }
}

// A disk that loses a record's write is found out before any game file
// changes: the press ends with the system's error, and the game is as it was.
TEST(ApplyPatches, ARecordTheDiskLostStopsThePressBeforeAnyGameFileChanges) {
  Game game({"game.exe", "data.bin"});
  ASSERT_TRUE(game.Locate());
  const Bytes game_before = game.File("game.exe");
  const Bytes data_before = game.File("data.bin");
  game.system.LoseWholeWrites(true);
  EXPECT_THROW(game.Patch(), FileError);
  EXPECT_EQ(game.File("game.exe"), game_before);
  EXPECT_EQ(game.File("data.bin"), data_before);
  EXPECT_TRUE(game.messages.empty());
  for (const DirEntry& entry : game.system.ListFolder(kFolder).entries) {
    EXPECT_FALSE(entry.name.ends_with(".tmp")) << entry.name;  // the record's first name goes
  }

  // A write the system refuses is reported with the system's own reason.
  game.system.LoseWholeWrites(false);
  game.system.FailWhen([](MemorySystem::Op op, const std::string& path) {
    return op == MemorySystem::Op::Write && path.ends_with("data.undo");
  });
  try {
    game.Patch();
    ADD_FAILURE() << "a record that could not be written was taken as written";
  } catch (const FileError& error) {
    EXPECT_NE(error.Description().find("I/O device error"), std::string::npos)
        << error.Description();
  }
  EXPECT_EQ(game.File("data.bin"), data_before);
}

// Two record names that reach one file only once it exists (a short name of
// the other) are caught before any game file changes.
TEST(ApplyPatches, RecordNamesThatBecomeOneFileAreRefusedBeforeAnyGameFileChanges) {
  Game game({"game.exe", "data.bin", "more.bin", "last.bin"});
  game.system.AddFile(kFolder + "last.undo", Bytes{});  // an empty record, there before
  game.list.At(1).undofile = "longrecordname.undo";  // written first: the walk goes from the last
  game.list.At(0).undofile = "LONGRE~1.UND";
  ASSERT_TRUE(game.Locate());
  const Bytes game_before = game.File("game.exe");
  const Bytes data_before = game.File("data.bin");
  // The system gives the first record its short name as it is created.
  game.system.AddShortNameOnCreation(kFolder + "longrecordname.undo", kFolder + "LONGRE~1.UND");
  game.Type(1920, 1080);
  game.Patch();
  EXPECT_EQ(game.messages,
            (Strings{"Patches #1 and #2 would keep their old values in one undo record, "
                     "LONGRECORDNAME.UNDO: each needs an undofile of its own.",
                     "Errors found.  Unable to patch game!"}));
  EXPECT_EQ(game.File("game.exe"), game_before);
  EXPECT_EQ(game.File("data.bin"), data_before);
  EXPECT_FALSE(game.system.FileExists(kFolder + "longrecordname.undo"));
  EXPECT_FALSE(game.system.FileExists(kFolder + "more.undo"));  // made empty, then removed
  EXPECT_TRUE(game.system.FileExists(kFolder + "last.undo"));
}

}  // namespace
}  // namespace quillfen
