// The one pass of a game file (ChecksumAndFind: CRC-32 and a signature search
// over each piece while it is in cache) against a plain CRC-32 pass and a plain
// FindSignature scan, side by side on 512 MiB of random bytes with the
// signature planted near the end, as a game's values lie in a large file. The
// pass shares its pieces between two threads, each piece checksummed and then
// searched in its thread's cache, so it should cost about as much as the
// checksum alone, far less than both one after the other: times are wall-clock
// times, and a machine busy with other work (whose second core is taken) shows
// the sum instead.
#include <benchmark/benchmark.h>

#include <cstdio>
#include <random>
#include <vector>

#include "engine/crc32.h"
#include "engine/one_pass.h"
#include "engine/one_pass_internal.h"
#include "engine/signature.h"
#include "ratio_reporter.h"

namespace {

using Bytes = std::vector<std::uint8_t>;

constexpr std::size_t kSize = std::size_t{512} << 20;

const Bytes kSig = {0x8B, 0x44, 0x24, 0x00, 0x3D, 0x80, 0x02, 0x00, 0x00, 0x75, 0x00, 0xB8};
const Bytes kWild = {0, 0, 0, 1, 0, 0, 0, 0, 0, 0, 1, 0};

const Bytes& Image() {
  static const Bytes image = [] {
    Bytes bytes(kSize);
    std::mt19937_64 random(512);
    for (std::size_t i = 0; i < kSize; i += 8) {
      const std::uint64_t word = random();
      for (int k = 0; k < 8; ++k) bytes[i + k] = static_cast<std::uint8_t>(word >> (8 * k));
    }
    std::copy(kSig.begin(), kSig.end(), bytes.end() - 4096);
    return bytes;
  }();
  return image;
}

const quillfen::SignatureQuery kQuery{kSig, kWild, 1, 5, 12};

void Count(benchmark::State& state) {
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations()) *
                          static_cast<std::int64_t>(kSize));
}

void BM_Crc32(benchmark::State& state) {
  for (auto _ : state) benchmark::DoNotOptimize(quillfen::Crc32Of(Image()));
  Count(state);
}

void BM_FindSignature(benchmark::State& state) {
  for (auto _ : state) {
    benchmark::DoNotOptimize(quillfen::FindSignature(Image(), kSig, kWild, 5, 1));
  }
  Count(state);
}

// The two passes one after the other, as a press reads a file today.
void BM_CrcThenFind(benchmark::State& state) {
  for (auto _ : state) {
    benchmark::DoNotOptimize(quillfen::Crc32Of(Image()));
    benchmark::DoNotOptimize(quillfen::FindSignature(Image(), kSig, kWild, 5, 1));
  }
  Count(state);
}

void OnePass(benchmark::State& state, std::size_t piece) {
  for (auto _ : state) {
    benchmark::DoNotOptimize(
        quillfen::one_pass_internal::ChecksumAndFindInPieces(Image(), {&kQuery, 1}, piece, true));
  }
  Count(state);
}

void BM_OnePass(benchmark::State& state) {
  OnePass(state, quillfen::one_pass_internal::kPassPiece);
}

// Argument: the piece size in KiB, for choosing kPassPiece.
void BM_OnePassPieces(benchmark::State& state) {
  OnePass(state, static_cast<std::size_t>(state.range(0)) << 10);
}

BENCHMARK(BM_Crc32)->Unit(benchmark::kMillisecond)->MinTime(2.0)->UseRealTime();
BENCHMARK(BM_FindSignature)->Unit(benchmark::kMillisecond)->MinTime(2.0)->UseRealTime();
BENCHMARK(BM_CrcThenFind)->Unit(benchmark::kMillisecond)->MinTime(2.0)->UseRealTime();
BENCHMARK(BM_OnePass)->Unit(benchmark::kMillisecond)->MinTime(2.0)->UseRealTime();
BENCHMARK(BM_OnePassPieces)
    ->Arg(8)
    ->Arg(16)
    ->Arg(32)
    ->Arg(64)
    ->Arg(1024)
    ->Arg(8192)
    ->Unit(benchmark::kMillisecond)
    ->MinTime(1.0)
    ->UseRealTime();

}  // namespace

int main(int argc, char** argv) {
  benchmark::Initialize(&argc, argv);
  const Bytes& image = Image();
  const quillfen::PassResult pass = quillfen::ChecksumAndFind(image, {&kQuery, 1});
  if (pass.crc != quillfen::Crc32Of(image) ||
      pass.found[0].xpos != quillfen::FindSignature(image, kSig, kWild, 5, 1) ||
      pass.found[0].xpos != static_cast<std::int32_t>(kSize - 4096 + 5)) {
    std::fprintf(stderr, "the one pass differs from the CRC-32 and FindSignature\n");
    return 1;
  }
  // A ratio is the reference's time over the measured one's: the one pass
  // stands as the reference, so each line says how many times the plain
  // pass's time the one pass takes.
  RatioReporter reporter(
      {
          {"One pass against a CRC-32 pass", "BM_OnePass", "BM_Crc32",
           "the time of the CRC-32 alone"},
          {"One pass against a signature scan", "BM_OnePass", "BM_FindSignature",
           "the time of FindSignature alone"},
          {"One pass against both one after the other", "BM_OnePass", "BM_CrcThenFind",
           "the time of the two passes"},
      },
      {}, /*wall_clock=*/true);
  benchmark::RunSpecifiedBenchmarks(&reporter);
  benchmark::Shutdown();
}
