#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <utility>
#include <vector>

#include "engine/locate.h"
#include "engine/patching.h"
#include "support/game_files.h"
#include "support/memory_system.h"

// The program may die at any instant of Patch or Undo Patch (a power cut, a kill
// from the task manager). These tests stop an operation after each of its
// file-system calls in turn, start the program afresh on what is left on the
// disk, and check that the values from before the first Patch are never lost.

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
  return system;
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

// The three entries' width and height as the files hold them now.
std::vector<Pair> Values(const MemorySystem& system) {
  const Bytes& game = system.Content(kFolder + "game.exe");
  const Bytes& data = system.Content(kFolder + "data.bin");
  return {{ValueAt(game, 108), ValueAt(game, 112)},
          {ValueAt(game, 116), ValueAt(game, 120)},
          {ValueAt(data, 108), ValueAt(data, 112)}};
}

// A new start of the program: fresh entries and window, the folder selected.
struct Start {
  PatchList list = Definitions();
  bool located = true;
  bool undo_available = false;  // the first entry was located through its record
  std::string last_report;

  explicit Start(MemorySystem& system) {
    for (std::size_t i = list.Count(); i-- > 0 && located;) {
      const LocateResult result = LocatePatch(system, kFolder, list.At(i));
      located = result.located;
      undo_available = result.from_record;
    }
  }
  void Patch(MemorySystem& system, int width, int height) {
    last_report = ApplyPatches(system, list, kFolder, width, height).reports.back().text;
  }
  void Undo(MemorySystem& system) {
    last_report = RemovePatches(system, list, kFolder).reports.back().text;
  }
};

enum class Scenario { kFirstPatch, kPatchAgain, kUndo };

// Runs the scenario's operation, stopped after each of its calls in turn, and
// returns how many stopping points it covered.
int SweepCrashes(Scenario scenario) {
  const MemorySystem install = Installed();
  const std::vector<Pair> originals = Values(install);
  const std::vector<Pair> first_patch(3, {1920, 1200});
  const std::vector<Pair> target =
      scenario == Scenario::kUndo ? originals : std::vector<Pair>(3, {2560, 1440});
  const std::vector<Pair> before = scenario == Scenario::kFirstPatch ? originals : first_patch;

  for (int stop = 1;; ++stop) {
    MemorySystem system = Installed();
    if (scenario != Scenario::kFirstPatch) Start(system).Patch(system, 1920, 1200);

    Start running(system);
    EXPECT_TRUE(running.located);
    system.CrashAfter(stop);
    bool stopped = false;
    try {
      if (scenario == Scenario::kUndo) {
        running.Undo(system);
      } else {
        running.Patch(system, 2560, 1440);
      }
    } catch (const MemorySystem::SimulatedCrash&) {
      stopped = true;
    }
    system.CrashAfter(0);

    // Each entry holds either its values from before the operation or the new ones.
    const std::vector<Pair> now = Values(system);
    for (std::size_t i = 0; i < now.size(); ++i) {
      EXPECT_TRUE(now[i] == before[i] || now[i] == target[i])
          << "stopped after call " << stop << ", entry " << i;
    }

    // Started again: where Undo Patch is offered, it brings back the originals.
    {
      MemorySystem copy = system;
      Start again(copy);
      EXPECT_TRUE(again.located) << "stopped after call " << stop;
      if (again.undo_available) {
        again.Undo(copy);
        EXPECT_EQ(Values(copy), originals) << "Undo after a stop after call " << stop;
      }
    }
    // In every case, Patch and then Undo Patch bring back the originals.
    {
      MemorySystem copy = system;
      Start again(copy);
      again.Patch(copy, 3000, 2000);
      EXPECT_EQ(again.last_report, "Game successfully patched!") << stop;
      again.Undo(copy);
      EXPECT_EQ(Values(copy), originals) << "Patch and Undo after a stop after call " << stop;
      for (const char* name : {"game.exe", "data.bin"}) {
        EXPECT_EQ(copy.Content(kFolder + name), install.Content(kFolder + name)) << stop;
      }
    }

    if (!stopped) {
      // Finished: exactly the game files and, after Patch, one record per entry.
      for (const std::string name : {"GAME.UNDO", "SECOND.UNDO", "DATA.UNDO"}) {
        EXPECT_EQ(system.FileExists(kFolder + name), scenario != Scenario::kUndo) << name;
        EXPECT_FALSE(system.FileExists(kFolder + name + ".NEW")) << name;
      }
      EXPECT_EQ(Values(system), target);
      return stop - 1;
    }
  }
}

TEST(CrashSafety, AFirstPatchStoppedAnywhereLosesNoOriginal) {
  const int points = SweepCrashes(Scenario::kFirstPatch);
  EXPECT_GT(points, 20);
  std::printf("first Patch: stopped at %d points\n", points);
}

TEST(CrashSafety, APatchOverAPatchedGameStoppedAnywhereKeepsTheFirstOriginals) {
  const int points = SweepCrashes(Scenario::kPatchAgain);
  EXPECT_GT(points, 20);
  std::printf("Patch over a patched game: stopped at %d points\n", points);
}

TEST(CrashSafety, AnUndoStoppedAnywhereLosesNoOriginal) {
  const int points = SweepCrashes(Scenario::kUndo);
  EXPECT_GT(points, 20);
  std::printf("Undo Patch: stopped at %d points\n", points);
}

}  // namespace
}  // namespace quillfen
