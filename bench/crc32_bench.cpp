// The program's CRC-32 against zlib's crc32(), side by side on 64 MiB.
#include <benchmark/benchmark.h>
#include <zlib.h>

#include <cstdio>
#include <random>
#include <vector>

#include "engine/crc32.h"
#include "ratio_reporter.h"

namespace {

const std::vector<std::uint8_t>& Data() {
  static const std::vector<std::uint8_t> data = [] {
    std::vector<std::uint8_t> bytes(64u << 20);
    std::mt19937_64 random(3);
    for (auto& b : bytes) b = static_cast<std::uint8_t>(random());
    return bytes;
  }();
  return data;
}

void BM_Crc32_Quillfen(benchmark::State& state) {
  const auto& data = Data();
  for (auto _ : state) benchmark::DoNotOptimize(quillfen::Crc32Of(data));
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * data.size()));
}

void BM_Crc32_Zlib(benchmark::State& state) {
  const auto& data = Data();
  for (auto _ : state) {
    benchmark::DoNotOptimize(crc32(0L, data.data(), static_cast<uInt>(data.size())));
  }
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * data.size()));
}

BENCHMARK(BM_Crc32_Zlib)->Unit(benchmark::kMillisecond)->MinTime(1.0);
BENCHMARK(BM_Crc32_Quillfen)->Unit(benchmark::kMillisecond)->MinTime(1.0);

}  // namespace

int main(int argc, char** argv) {
  benchmark::Initialize(&argc, argv);
  const auto& data = Data();
  if (static_cast<std::uint32_t>(quillfen::Crc32Of(data)) !=
      crc32(0L, data.data(), static_cast<uInt>(data.size()))) {
    std::fprintf(stderr, "CRC-32 differs from zlib's\n");
    return 1;
  }
  RatioReporter reporter(
      {{"CRC-32", "BM_Crc32_Zlib", "BM_Crc32_Quillfen", "zlib's crc32() throughput"}});
  benchmark::RunSpecifiedBenchmarks(&reporter);
  benchmark::Shutdown();
}
