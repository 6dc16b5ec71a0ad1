// The bytes a Patch press reads and writes through the system interface, for
// a game whose one file is 256 MiB, divided by the file's size; with the time
// of the press on the in-memory system.
#include <benchmark/benchmark.h>

#include <cstdio>
#include <random>
#include <string>

#include "engine/locate.h"
#include "engine/patching.h"
#include "support/memory_system.h"

namespace {

using quillfen::Bytes;
using quillfen::PatchEntry;
using quillfen::PatchList;

constexpr std::size_t kSize = 256u << 20;
const std::string kFolder = "C:\\Games\\Big\\";

struct Press {
  quillfen::testing::MemorySystem system;
  PatchList list;
  bool done = false;

  Press() {
    Bytes content(kSize);
    std::mt19937_64 random(5);
    for (std::size_t i = 0; i < kSize; i += 8) {
      const std::uint64_t word = random();
      for (int k = 0; k < 8; ++k) content[i + k] = static_cast<std::uint8_t>(word >> (8 * k));
    }
    const Bytes sig = {0xC7, 0x05, 0x11, 0x22, 0x33, 0x44, 0x80, 0x02, 0x00, 0x00};
    std::copy(sig.begin(), sig.end(), content.begin() + kSize / 2);
    system.AddFile(kFolder + "big.exe", content);
    PatchEntry entry;
    entry.modfile = "big.exe";
    entry.undofile = "big.undo";
    entry.sig = sig;
    entry.sigwild = Bytes(sig.size(), 0);
    entry.hasx = entry.hasy = true;
    entry.xoffset = 6;
    entry.yoffset = 16;
    entry.occur = 1;
    list.Append(entry);
    if (!quillfen::LocatePatch(system, kFolder, list.At(0)).located) std::abort();
  }
};

void BM_PatchPress_256MiB(benchmark::State& state) {
  Press press;
  double ratio = 0;
  for (auto _ : state) {
    press.system.ResetCounters();
    press.done = quillfen::ApplyPatches(press.system, press.list, kFolder, 1920, 1080).done;
    ratio = static_cast<double>(press.system.BytesRead() + press.system.BytesWritten()) / kSize;
  }
  if (!press.done) {
    state.SkipWithError("the press did not succeed");
  }
  state.counters["io_per_file_size"] = ratio;
  state.counters["bytes_read"] = static_cast<double>(press.system.BytesRead());
  state.counters["bytes_written"] = static_cast<double>(press.system.BytesWritten());
  std::printf("Patch press on a 256 MiB file: read %lld + written %lld bytes = %.4f x the file\n",
              static_cast<long long>(press.system.BytesRead()),
              static_cast<long long>(press.system.BytesWritten()), ratio);
}

BENCHMARK(BM_PatchPress_256MiB)->Unit(benchmark::kMillisecond)->Iterations(3);

}  // namespace

BENCHMARK_MAIN();
