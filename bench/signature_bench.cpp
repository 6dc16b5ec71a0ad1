// FindSignature against the plain candidate-by-candidate scan, side by side on
// two 64 MiB images: random bytes with a planted 12-byte signature (2 wildcard
// places) asked for its last occurrence, and mostly zero bytes with a signature
// of zeros.
#include <benchmark/benchmark.h>

#include <cstdio>
#include <random>
#include <vector>

#include "engine/signature.h"
#include "fuzz/plain_scan.h"
#include "ratio_reporter.h"

namespace {

using Bytes = std::vector<std::uint8_t>;

constexpr std::size_t kSize = 64u << 20;

struct Case {
  Bytes image;
  Bytes sig;
  Bytes wild;
  std::int32_t occur = 0;
};

Case RandomCase() {
  Case c;
  std::mt19937_64 random(42);
  c.image.resize(kSize);
  for (std::size_t i = 0; i < kSize; i += 8) {
    const std::uint64_t word = random();
    for (int k = 0; k < 8; ++k) c.image[i + k] = static_cast<std::uint8_t>(word >> (8 * k));
  }
  c.sig = {0x8B, 0x44, 0x24, 0x00, 0x3D, 0x80, 0x02, 0x00, 0x00, 0x75, 0x00, 0xB8};
  c.wild = {0, 0, 0, 1, 0, 0, 0, 0, 0, 0, 1, 0};
  for (int k = 0; k < 1000; ++k) {
    const std::size_t at = (kSize / 1000) * k + random() % (kSize / 1000 - 16);
    std::copy(c.sig.begin(), c.sig.end(), c.image.begin() + static_cast<std::ptrdiff_t>(at));
  }
  return c;
}

Case ZeroCase() {
  Case c;
  std::mt19937_64 random(7);
  c.image.assign(kSize, 0);
  for (std::size_t i = 0; i < kSize / 1000; ++i) {
    c.image[random() % kSize] = static_cast<std::uint8_t>(1 + random() % 255);
  }
  c.sig.assign(12, 0);
  c.wild = {0, 0, 0, 1, 0, 0, 0, 0, 0, 0, 1, 0};
  return c;
}

// The last occurrence, counted once by the plain scan.
void AskForTheLast(Case& c) {
  std::int32_t low = 1, high = 1;
  while (quillfen::reference::PlainScan(c.image, c.sig, c.wild, 0, high) != 0 || high == 1) {
    low = high;
    high *= 2;
    if (high > (1 << 28)) break;
  }
  while (high - low > 1) {
    const std::int32_t mid = low + (high - low) / 2;
    (quillfen::reference::PlainScan(c.image, c.sig, c.wild, 0, mid) != 0 ? low : high) = mid;
  }
  c.occur = low;
}

const Case& Random() {
  static Case c = [] {
    Case made = RandomCase();
    AskForTheLast(made);
    return made;
  }();
  return c;
}

const Case& Zeros() {
  static Case c = [] {
    Case made = ZeroCase();
    AskForTheLast(made);
    return made;
  }();
  return c;
}

template <bool kFast>
void Run(benchmark::State& state, const Case& c) {
  std::int32_t result = 0;
  for (auto _ : state) {
    result = kFast ? quillfen::FindSignature(c.image, c.sig, c.wild, 0, c.occur)
                   : quillfen::reference::PlainScan(c.image, c.sig, c.wild, 0, c.occur);
    benchmark::DoNotOptimize(result);
  }
  if (result == 0) state.SkipWithError("occurrence not found");
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations()) *
                          static_cast<std::int64_t>(c.image.size()));
  state.counters["occur"] = c.occur;
}

void BM_Random_PlainScan(benchmark::State& s) {
  Run<false>(s, Random());
}
void BM_Random_FindSignature(benchmark::State& s) {
  Run<true>(s, Random());
}
void BM_Zeros_PlainScan(benchmark::State& s) {
  Run<false>(s, Zeros());
}
void BM_Zeros_FindSignature(benchmark::State& s) {
  Run<true>(s, Zeros());
}

BENCHMARK(BM_Random_PlainScan)->Unit(benchmark::kMillisecond)->MinTime(1.0);
BENCHMARK(BM_Random_FindSignature)->Unit(benchmark::kMillisecond)->MinTime(1.0);
BENCHMARK(BM_Zeros_PlainScan)->Unit(benchmark::kMillisecond)->MinTime(1.0);
BENCHMARK(BM_Zeros_FindSignature)->Unit(benchmark::kMillisecond)->MinTime(1.0);

}  // namespace

int main(int argc, char** argv) {
  benchmark::Initialize(&argc, argv);
  Random();
  Zeros();
  RatioReporter reporter({{"FindSignature, random data", "BM_Random_PlainScan",
                           "BM_Random_FindSignature", "the plain scan's throughput"},
                          {"FindSignature, zero bytes", "BM_Zeros_PlainScan",
                           "BM_Zeros_FindSignature", "the plain scan's throughput"}});
  benchmark::RunSpecifiedBenchmarks(&reporter);
  benchmark::Shutdown();
}
