// The program's CRC-32 against zlib's crc32(), side by side on 64 MiB.
#include <benchmark/benchmark.h>
#include <zlib.h>

#include <cstdio>
#include <map>
#include <random>
#include <string>
#include <vector>

#include "engine/crc32.h"

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

class RatioReporter : public benchmark::ConsoleReporter {
 public:
  void ReportRuns(const std::vector<Run>& runs) override {
    for (const Run& run : runs) {
      const std::string name = run.benchmark_name();
      times_[name.substr(0, name.find('/'))] = run.GetAdjustedCPUTime();
    }
    ConsoleReporter::ReportRuns(runs);
  }
  void Finalize() override {
    ConsoleReporter::Finalize();
    const double zlib = times_["BM_Crc32_Zlib"];
    const double ours = times_["BM_Crc32_Quillfen"];
    if (zlib > 0 && ours > 0) {
      std::printf("CRC-32: %.2f times zlib's crc32() throughput\n", zlib / ours);
    }
  }

 private:
  std::map<std::string, double> times_;
};

}  // namespace

int main(int argc, char** argv) {
  benchmark::Initialize(&argc, argv);
  const auto& data = Data();
  if (static_cast<std::uint32_t>(quillfen::Crc32Of(data)) !=
      crc32(0L, data.data(), static_cast<uInt>(data.size()))) {
    std::fprintf(stderr, "CRC-32 differs from zlib's\n");
    return 1;
  }
  RatioReporter reporter;
  benchmark::RunSpecifiedBenchmarks(&reporter);
  benchmark::Shutdown();
}
