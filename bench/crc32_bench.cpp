// The program's CRC-32 against zlib's crc32() on 64 MiB, and on 512 MiB in
// memory against ISA-L's crc32_gzip_refl where ISA-L's development files are
// installed (the benchmark builds without them), side by side. Each
// implementation of the program (tables, PCLMULQDQ, VPCLMULQDQ) is timed where
// the processor runs it.
#include <benchmark/benchmark.h>
#include <zlib.h>

#include <cstdio>
#include <random>
#include <vector>

#if defined(QUILLFEN_BENCH_ISAL)
#include <isa-l/crc.h>
#endif

#include "engine/cpu_features.h"
#include "engine/crc32.h"
#include "engine/crc32_internal.h"
#include "ratio_reporter.h"

namespace {

std::vector<std::uint8_t> RandomBytes(std::size_t size) {
  std::vector<std::uint8_t> bytes(size);
  std::mt19937_64 random(3);
  for (std::size_t i = 0; i < size; i += 8) {
    const std::uint64_t word = random();
    for (int k = 0; k < 8; ++k) bytes[i + k] = static_cast<std::uint8_t>(word >> (8 * k));
  }
  return bytes;
}

const std::vector<std::uint8_t>& Data() {
  static const std::vector<std::uint8_t> data = RandomBytes(64u << 20);
  return data;
}

const std::vector<std::uint8_t>& Large() {
  static const std::vector<std::uint8_t> data = RandomBytes(std::size_t{512} << 20);
  return data;
}

void Count(benchmark::State& state, std::size_t size) {
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * size));
}

void BM_Crc32_Quillfen(benchmark::State& state) {
  const auto& data = Data();
  for (auto _ : state) benchmark::DoNotOptimize(quillfen::Crc32Of(data));
  Count(state, data.size());
}

void BM_Crc32_Zlib(benchmark::State& state) {
  const auto& data = Data();
  for (auto _ : state) {
    benchmark::DoNotOptimize(crc32(0L, data.data(), static_cast<uInt>(data.size())));
  }
  Count(state, data.size());
}

using Implementation = std::uint32_t (*)(std::uint32_t, const std::uint8_t*, std::size_t);

void TimeLarge(benchmark::State& state, Implementation implementation) {
  const auto& data = Large();
  for (auto _ : state) {
    benchmark::DoNotOptimize(~implementation(0xFFFFFFFFu, data.data(), data.size()));
  }
  Count(state, data.size());
}

void BM_Crc32_512MiB_Quillfen(benchmark::State& state) {
  const auto& data = Large();
  for (auto _ : state) benchmark::DoNotOptimize(quillfen::Crc32Of(data));
  Count(state, data.size());
}

void BM_Crc32_512MiB_Tables(benchmark::State& state) {
  TimeLarge(state, quillfen::crc32_internal::UpdateWithTables);
}

void BM_Crc32_512MiB_Clmul(benchmark::State& state) {
  if (!quillfen::CpuHasClmul()) return state.SkipWithError("no PCLMULQDQ");
  TimeLarge(state, quillfen::crc32_internal::UpdateWithClmul);
}

void BM_Crc32_512MiB_Vpclmul(benchmark::State& state) {
  if (!quillfen::CpuHasVpclmul()) return state.SkipWithError("no VPCLMULQDQ");
  TimeLarge(state, quillfen::crc32_internal::UpdateWithVpclmul);
}

#if defined(QUILLFEN_BENCH_ISAL)
void BM_Crc32_512MiB_Isal(benchmark::State& state) {
  const auto& data = Large();
  for (auto _ : state) {
    benchmark::DoNotOptimize(crc32_gzip_refl(0, data.data(), data.size()));
  }
  Count(state, data.size());
}
#endif

BENCHMARK(BM_Crc32_Zlib)->Unit(benchmark::kMillisecond)->MinTime(1.0);
BENCHMARK(BM_Crc32_Quillfen)->Unit(benchmark::kMillisecond)->MinTime(1.0);
#if defined(QUILLFEN_BENCH_ISAL)
BENCHMARK(BM_Crc32_512MiB_Isal)->Unit(benchmark::kMillisecond)->MinTime(2.0);
#endif
BENCHMARK(BM_Crc32_512MiB_Quillfen)->Unit(benchmark::kMillisecond)->MinTime(2.0);
BENCHMARK(BM_Crc32_512MiB_Vpclmul)->Unit(benchmark::kMillisecond)->MinTime(2.0);
BENCHMARK(BM_Crc32_512MiB_Clmul)->Unit(benchmark::kMillisecond)->MinTime(2.0);
BENCHMARK(BM_Crc32_512MiB_Tables)->Unit(benchmark::kMillisecond)->MinTime(1.0);

}  // namespace

int main(int argc, char** argv) {
  benchmark::Initialize(&argc, argv);
  const auto& data = Data();
  if (static_cast<std::uint32_t>(quillfen::Crc32Of(data)) !=
      crc32(0L, data.data(), static_cast<uInt>(data.size()))) {
    std::fprintf(stderr, "CRC-32 differs from zlib's\n");
    return 1;
  }
  std::vector<RatioReporter::Ratio> ratios = {
      {"CRC-32", "BM_Crc32_Zlib", "BM_Crc32_Quillfen", "zlib's crc32() throughput"}};
#if defined(QUILLFEN_BENCH_ISAL)
  // crc32_gzip_refl inverts before and after, as Crc32Of does: the same
  // value for the same bytes, checked here on every length up to 1 KiB and on
  // the whole 512 MiB.
  for (std::size_t length = 0; length <= 1024; ++length) {
    const std::span<const std::uint8_t> part(data.data() + length % 7, length);
    if (static_cast<std::uint32_t>(quillfen::Crc32Of(part)) !=
        crc32_gzip_refl(0, part.data(), part.size())) {
      std::fprintf(stderr, "CRC-32 differs from ISA-L's at %zu bytes\n", length);
      return 1;
    }
  }
  if (static_cast<std::uint32_t>(quillfen::Crc32Of(Large())) !=
      crc32_gzip_refl(0, Large().data(), Large().size())) {
    std::fprintf(stderr, "CRC-32 differs from ISA-L's on 512 MiB\n");
    return 1;
  }
  ratios.push_back({"CRC-32 on 512 MiB", "BM_Crc32_512MiB_Isal", "BM_Crc32_512MiB_Quillfen",
                    "ISA-L's crc32_gzip_refl throughput"});
#else
  std::fprintf(stderr, "Built without ISA-L: no comparison with crc32_gzip_refl\n");
#endif
  RatioReporter reporter(std::move(ratios));
  benchmark::RunSpecifiedBenchmarks(&reporter);
  benchmark::Shutdown();
}
