#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <utility>
#include <variant>
#include <vector>

#include "engine/locate.h"
#include "engine/patching.h"
#include "platform/file_error.h"
#include "support/game_files.h"
#include "support/located_entry.h"
#include "support/memory_system.h"

// The program may die at any instant of Patch or Undo Patch (a power cut in the
// middle of a write, a kill from the task manager), and any file operation may
// fail. These tests stop or fail an operation at each of its file-system calls
// in turn, start the program afresh on what is left on the disk, and check the
// one promise that matters: the values from before the first Patch are either
// in the game file or in an undo record that the program trusts and restores
// from, and no success was shown for an operation that did not complete.

namespace quillfen {
namespace {

using testing::MemorySystem;

const std::string kFolder = "E:\\Games\\X\\";
using Pair = std::pair<std::int32_t, std::int32_t>;

std::int32_t ValueAt(const Bytes& bytes, std::size_t at) {
  return static_cast<std::int32_t>(bytes[at] | bytes[at + 1] << 8 | bytes[at + 2] << 16 |
                                   static_cast<std::uint32_t>(bytes[at + 3]) << 24);
}

// Two entries on game.exe (the second one's values at 116 and 120) and a third
// on data.bin, each with a record of its own.
MemorySystem Installed() {
  MemorySystem system;
  system.AddFolder(kFolder);
  Bytes game = testing::GameFile(300, 1, 640, 480);
  for (int i = 0; i < 4; ++i) {
    game[116 + i] = static_cast<std::uint8_t>(800 >> (8 * i));
    game[120 + i] = static_cast<std::uint8_t>(600 >> (8 * i));
  }
  system.AddFile(kFolder + "game.exe", game);
  system.AddFile(kFolder + "data.bin", testing::GameFile(300, 2, 1024, 768));
  // Another game of the definition file in the same folder (an expansion),
  // whose section also keeps its record in game.undo; its values lie at 148 and 152.
  Bytes expansion(40, 0x5A);
  const Bytes tail = testing::GameFile(300, 3, 1280, 720);
  expansion.insert(expansion.end(), tail.begin(), tail.end());
  system.AddFile(kFolder + "expansion.dat", expansion);
  return system;
}

PatchList Expansion() {
  PatchList list;
  list.Append(testing::GameEntry("expansion.dat", "game.undo"));
  return list;
}


PatchList Definitions() {
  PatchList list;
  list.Append(testing::GameEntry("game.exe", "game.undo"));
  PatchEntry second = testing::GameEntry("game.exe", "second.undo");
  second.xoffset = 16;
  second.yoffset = 20;
  list.Append(second);
  list.Append(testing::GameEntry("data.bin", "data.undo"));
  return list;
}

// The game's definitions as a section that changes the width alone.
PatchList WidthOnly() {
  PatchList list = Definitions();
  for (std::size_t i = 0; i < list.Count(); ++i) {
    list.At(i).hasy = false;
    list.At(i).yoffset = NotSet;
  }
  return list;
}

// The three entries' width and height as the files hold them now.
std::vector<Pair> Values(const MemorySystem& system) {
  const Bytes& game = system.Content(kFolder + "game.exe");
  const Bytes& data = system.Content(kFolder + "data.bin");
  return {{ValueAt(game, 108), ValueAt(game, 112)},
          {ValueAt(game, 116), ValueAt(game, 120)},
          {ValueAt(data, 108), ValueAt(data, 112)}};
}

// A new start of the program: fresh entries, every one located.
struct Start {
  PatchList list = Definitions();
  std::vector<LocatedPatch> results;

  explicit Start(MemorySystem& system) : results(list.Count()) {
    for (std::size_t i = list.Count(); i-- > 0;) {
      results[i] = LocatePatch(system, kFolder, list.At(i));
      testing::TakeLocation(list.At(i), results[i]);
    }
  }
  OperationResult Patch(MemorySystem& system, int width, int height) {
    return ApplyPatches(system, list, kFolder, width, height);
  }
  OperationResult Undo(MemorySystem& system) { return RemovePatches(system, list, kFolder); }
};

bool Succeeded(const OperationResult& result) {
  return result.done && !result.reports.empty() &&
         std::holds_alternative<reports::Done>(result.reports.back());
}

// The promise, on what a stop or failure left: started afresh, each entry
// finds its originals in the file or in a record it trusts; Undo Patch then
// brings every original back, and so do Patch and Undo Patch, byte for byte.
// `install` is the disk as it was before the first Patch.
void ExpectOriginalsKept(const MemorySystem& left, const MemorySystem& install,
                         const std::string& where) {
  const std::vector<Pair> originals = Values(install);
  MemorySystem disk = left;
  disk.CrashAfter(0);
  {
    Start again(disk);
    const std::vector<Pair> now = Values(disk);
    for (std::size_t i = 0; i < now.size(); ++i) {
      ASSERT_TRUE(again.results[i].located) << where << ", entry " << i;
      if (now[i] == originals[i]) continue;
      EXPECT_TRUE(again.results[i].from_record) << where << ", entry " << i;
      const PatchEntry& entry = again.list.At(i);
      EXPECT_EQ(Pair(entry.oldx, entry.oldy), originals[i]) << where << ", entry " << i;
    }
  }
  {
    MemorySystem copy = disk;
    Start again(copy);
    EXPECT_TRUE(Succeeded(again.Undo(copy))) << where;
    EXPECT_EQ(Values(copy), originals) << "Undo after " << where;
  }
  {
    MemorySystem copy = disk;
    Start again(copy);
    EXPECT_TRUE(Succeeded(again.Patch(copy, 3000, 2000))) << where;
    // A finished Patch leaves the records alone beside the game files.
    for (const char* record : {"game.undo", "second.undo", "data.undo"}) {
      EXPECT_TRUE(copy.FileExists(kFolder + record)) << where;
      EXPECT_FALSE(copy.FileExists(kFolder + record + ".new")) << where;
    }
    Start after(copy);
    EXPECT_TRUE(Succeeded(after.Undo(copy))) << where;
    for (const char* name : {"game.exe", "data.bin"}) {
      EXPECT_EQ(copy.Content(kFolder + name), install.Content(kFolder + name)) << where;
      for (const char* record : {"game.undo", "second.undo", "data.undo"}) {
        EXPECT_FALSE(copy.FileExists(kFolder + record)) << where;
        EXPECT_FALSE(copy.FileExists(kFolder + record + ".new")) << where;
      }
    }
  }
}

enum class Scenario {
  kFirstPatch,
  kPatchAgain,
  kUndo,
  kUndoAfterOutsideChange,  // a launcher changed an unrelated byte of data.bin since Patch
  kPatchExpansion,          // the expansion, whose record name is the patched game's
  kUndoWidthOnly,           // a section of the width alone undoes the game's full patch
};

// The expansion's promise, as ExpectOriginalsKept gives the game's: its
// originals are in its file or in a record it trusts, and its Undo restores them.
void ExpectExpansionKept(const MemorySystem& left, const MemorySystem& install,
                         const std::string& where) {
  const Bytes& original = install.Content(kFolder + "expansion.dat");
  const Pair originals(ValueAt(original, 148), ValueAt(original, 152));
  MemorySystem disk = left;
  disk.CrashAfter(0);
  PatchList list = Expansion();
  const LocatedPatch result = LocatePatch(disk, kFolder, list.At(0));
  testing::TakeLocation(list.At(0), result);
  ASSERT_TRUE(result.located) << where;
  const Bytes& now = disk.Content(kFolder + "expansion.dat");
  if (Pair(ValueAt(now, 148), ValueAt(now, 152)) != originals) {
    EXPECT_TRUE(result.from_record) << where;
    EXPECT_EQ(Pair(list.At(0).oldx, list.At(0).oldy), originals) << where;
  }
  const OperationResult undo = RemovePatches(disk, list, kFolder);
  EXPECT_TRUE(undo.done) << where;
  EXPECT_EQ(disk.Content(kFolder + "expansion.dat"), original) << "Undo after " << where;
}

// The game as installed, with the change an outside program made, if any,
// to a byte that holds no value.
MemorySystem Installed(Scenario scenario) {
  MemorySystem system = Installed();
  if (scenario == Scenario::kUndoAfterOutsideChange) {
    Bytes data = system.Content(kFolder + "data.bin");
    data[250] ^= 0xFF;
    system.AddFile(kFolder + "data.bin", data);
  }
  return system;
}

// The disk before the operation under test.
MemorySystem Prepared(Scenario scenario) {
  MemorySystem system = Installed();
  if (scenario == Scenario::kFirstPatch) return system;
  EXPECT_TRUE(Succeeded(Start(system).Patch(system, 1920, 1200)));
  if (scenario == Scenario::kUndoAfterOutsideChange) {
    Bytes data = system.Content(kFolder + "data.bin");
    data[250] ^= 0xFF;
    system.AddFile(kFolder + "data.bin", data);
  }
  return system;
}

OperationResult Run(Scenario scenario, MemorySystem& system) {
  Start running(system);
  if (scenario == Scenario::kFirstPatch || scenario == Scenario::kPatchAgain) {
    return running.Patch(system, 2560, 1440);
  }
  if (scenario == Scenario::kPatchExpansion || scenario == Scenario::kUndoWidthOnly) {
    PatchList list = scenario == Scenario::kPatchExpansion ? Expansion() : WidthOnly();
    for (std::size_t i = list.Count(); i-- > 0;) {
      testing::TakeLocation(list.At(i), LocatePatch(system, kFolder, list.At(i)));
    }
    return scenario == Scenario::kPatchExpansion ? ApplyPatches(system, list, kFolder, 2560, 1440)
                                                 : RemovePatches(system, list, kFolder);
  }
  return running.Undo(system);
}

// Stops the operation after each of its calls in turn (with `torn`, in the
// middle of the write that comes next); returns how many points it covered.
// The disk keeps only the names its folders were synced with, so a record
// whose name was not synced before a game file changed is lost with the stop.
int SweepStops(Scenario scenario, bool torn) {
  const MemorySystem install = Installed(scenario);
  for (int stop = 1;; ++stop) {
    MemorySystem system = Prepared(scenario);
    system.LoseUnsyncedAtCrash(true);
    system.CrashAfter(stop, torn);
    bool stopped = false;
    OperationResult result;
    try {
      result = Run(scenario, system);
    } catch (const MemorySystem::SimulatedCrash&) {
      stopped = true;
    }
    const std::string where =
        std::string(torn ? "torn " : "") + "stop after call " + std::to_string(stop);
    ExpectOriginalsKept(system, install, where);
    if (scenario == Scenario::kPatchExpansion) ExpectExpansionKept(system, install, where);
    if (::testing::Test::HasFatalFailure() || ::testing::Test::HasFailure()) return stop;
    if (!stopped) {
      EXPECT_TRUE(Succeeded(result));
      return stop - 1;
    }
  }
}

// Makes each file operation of the press fail in turn; returns how many it covered.
int SweepFailures(Scenario scenario) {
  const MemorySystem install = Installed(scenario);
  const bool undo = scenario == Scenario::kUndo || scenario == Scenario::kUndoAfterOutsideChange;
  for (int failing = 1;; ++failing) {
    MemorySystem system = Prepared(scenario);
    system.ResetCounters();
    system.FailCall(failing);
    bool raised = false;
    OperationResult result;
    try {
      result = Run(scenario, system);
    } catch (const FileError&) {
      raised = true;  // the general error report shows it
    }
    const int calls = system.FileCalls();
    system.FailCall(0);
    const std::string where = "failing call " + std::to_string(failing);
    ExpectOriginalsKept(system, install, where);
    if (scenario == Scenario::kPatchExpansion) ExpectExpansionKept(system, install, where);
    // A failed write (a full disk) leaves no empty file at a record's place,
    // which would be taken for a record that does not match.
    for (const char* record : {"game.undo", "second.undo", "data.undo"}) {
      for (const std::string& place : {kFolder + record, kFolder + record + ".new"}) {
        EXPECT_TRUE(!system.FileExists(place) || !system.Content(place).empty()) << where;
      }
    }
    // The user is told either way: a refusal of the check pass, before any
    // write, or the system's error; and success only when it is so.
    if (!raised && !Succeeded(result)) {
      EXPECT_TRUE(!result.reports.empty() &&
                  std::holds_alternative<reports::ChecksFailed>(result.reports.back()))
          << where;
    }
    if (Succeeded(result) && scenario == Scenario::kUndoWidthOnly) {
      // The widths are back, the heights patched, and their originals recorded.
      const std::vector<Pair> now = Values(system);
      const std::vector<Pair> originals = Values(install);
      for (std::size_t i = 0; i < now.size(); ++i) {
        EXPECT_EQ(now[i], Pair(originals[i].first, 1200)) << where << ", entry " << i;
      }
    } else if (Succeeded(result) && scenario == Scenario::kPatchExpansion) {
      EXPECT_EQ(ValueAt(system.Content(kFolder + "expansion.dat"), 148), 2560) << where;
      Start again(system);
      for (std::size_t i = 0; i < again.results.size(); ++i) {
        EXPECT_TRUE(again.results[i].from_record) << where << ", entry " << i;
      }
    } else if (Succeeded(result)) {
      for (const char* record : {"game.undo", "second.undo", "data.undo"}) {
        EXPECT_EQ(system.FileExists(kFolder + record), !undo) << where;
        EXPECT_FALSE(system.FileExists(kFolder + record + ".new")) << where;
      }
      Start again(system);
      for (std::size_t i = 0; i < again.results.size(); ++i) {
        EXPECT_EQ(again.results[i].from_record, !undo) << where << ", entry " << i;
      }
      EXPECT_EQ(Values(system), undo ? Values(install) : std::vector<Pair>(3, Pair(2560, 1440)))
          << where;
    }
    if (::testing::Test::HasFailure()) return failing;
    if (calls < failing) {
      EXPECT_TRUE(Succeeded(result)) << where;
      return failing - 1;
    }
  }
}

struct Case {
  Scenario scenario;
  const char* name;
};

const Case kCases[] = {{Scenario::kFirstPatch, "first Patch"},
                       {Scenario::kPatchAgain, "Patch over a patched game"},
                       {Scenario::kUndo, "Undo Patch"},
                       {Scenario::kUndoAfterOutsideChange, "Undo after an outside change"},
                       {Scenario::kPatchExpansion, "Patch of a game sharing the record name"},
                       {Scenario::kUndoWidthOnly, "Undo of the width alone"}};

TEST(CrashSafety, AnOperationStoppedAnywhereEvenInTheMiddleOfAWriteLosesNoOriginal) {
  for (const Case& c : kCases) {
    for (const bool torn : {false, true}) {
      const int points = SweepStops(c.scenario, torn);
      ASSERT_FALSE(HasFailure()) << c.name << (torn ? ", torn" : "");
      EXPECT_GT(points, 20) << c.name;
      std::printf("%s%s: stopped at %d points\n", c.name, torn ? " (torn writes)" : "", points);
    }
  }
}

TEST(FaultInjection, EveryFailingCallLosesNoOriginalAndSuccessIsShownOnlyWhenSo) {
  for (const Case& c : kCases) {
    const int points = SweepFailures(c.scenario);
    ASSERT_FALSE(HasFailure()) << c.name;
    EXPECT_GT(points, 10) << c.name;
    std::printf("%s: failed at %d calls\n", c.name, points);
  }
}

}  // namespace
}  // namespace quillfen
