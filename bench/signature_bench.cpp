// FindSignature against the plain candidate-by-candidate scan, side by side on
// two 64 MiB images: random bytes with a planted 12-byte signature (2 wildcard
// places) asked for its last occurrence, and mostly zero bytes with a signature
// of zeros. Then on about 128 MiB of real x86-64 code and data: the PE files
// (DLLs, executables) that Wine or MinGW-w64 installed, concatenated, searched
// for signatures shaped like resolution patches, common opcode runs and runs of
// zero bytes, each asked for the occurrence after its last, so that every scan
// runs over the whole corpus.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <random>
#include <string>
#include <vector>

#include "engine/signature.h"
#include "engine/signature_internal.h"
#include "fuzz/plain_scan.h"
#include "pe_corpus.h"
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

using quillfen::signature_internal::Strategy;

// kPlain for the plain scan, else the strategy FindSignature is asked to take
// (kAuto: FindSignature itself).
constexpr int kPlain = -1;

std::int32_t Search(int how, const Bytes& image, const Case& c) {
  return how == kPlain ? quillfen::reference::PlainScan(image, c.sig, c.wild, 0, c.occur)
                       : quillfen::signature_internal::FindSignatureUsing(
                             static_cast<Strategy>(how), image, c.sig, c.wild, 0, c.occur);
}

void RunOn(benchmark::State& state, int how, const Bytes& image, const Case& c) {
  std::int32_t result = 0;
  for (auto _ : state) {
    result = Search(how, image, c);
    benchmark::DoNotOptimize(result);
  }
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations()) *
                          static_cast<std::int64_t>(image.size()));
  state.counters["occur"] = c.occur;
}

template <bool kFast>
void Run(benchmark::State& state, const Case& c) {
  RunOn(state, kFast ? static_cast<int>(Strategy::kAuto) : kPlain, c.image, c);
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


// The real-code corpus.

constexpr std::size_t kCorpusSize = 128u << 20;

const Bytes& Corpus() {
  static const Bytes corpus = quillfen::bench::LoadPeCorpus(kCorpusSize);
  return corpus;
}

struct Shape {
  const char* name;  // a benchmark name part
  const char* text;  // hexadecimal bytes, ?? for a wildcard place
  bool zeros;        // made mostly of zero bytes
};

// Signatures shaped like resolution patches, common opcode runs and runs of zeros.
constexpr Shape kShapes[] = {
    {"MovRip640", "C7 05 ?? ?? ?? ?? 80 02 00 00", false},  // mov dword [rip+disp32], 640
    {"Mov640At", "C7 ?? ?? 80 02 00 00", false},            // mov dword [reg+disp8], 640
    {"Pair640x480", "80 02 00 00 E0 01 00 00", false},     // 640 then 480, 32 bits each
    {"Cmp1920", "81 ?? 80 07 00 00", false},               // cmp reg, 1920
    {"Cmp1080", "81 ?? 38 04 00 00", false},               // cmp reg, 1080
    {"LeaRcxCall", "48 8D 0D ?? ?? ?? ?? E8", false},      // lea rcx, [rip+disp32]; call
    {"PushR15R12", "41 57 41 56 41 55 41 54", false},      // push r15, r14, r13, r12
    {"SubRspMov", "48 83 EC ?? 48 89", false},             // sub rsp, imm8; mov
    {"NopW", "66 2E 0F 1F 84 00 00 00 00 00", false},      // nop word cs:[rax+rax+0]
    {"Nop4", "90 90 90 90", false},
    {"Zeros4", "00 ?? 00 00", true},
    {"Zeros8", "00 00 00 00 ?? 00 00 00", true},
    {"Zeros16", "00 00 00 ?? 00 00 00 00 00 00 00 00 ?? 00 00 00", true},
    {"Zeros32", "00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 ?? 00 00 00 00 00 "
                "00 00 00 00 00 00",
     true},
    {"Zeros40", "00 00 00 00 00 00 00 ?? 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 "
                "00 00 00 00 00 ?? 00 00 00 00 00 00 00 00",
     true},
    {"Zeros12Imm1", "00 00 00 00 ?? ?? 00 00 01 00 00 00", true},
};

Case ShapeCase(const Shape& shape) {
  Case c;
  for (const char* at = shape.text; *at != 0;) {
    if (*at == ' ') {
      ++at;
      continue;
    }
    const bool wild = at[0] == '?';
    c.sig.push_back(wild ? 0 : static_cast<std::uint8_t>(std::stoul(std::string(at, 2), nullptr, 16)));
    c.wild.push_back(wild ? 1 : 0);
    at += 2;
  }
  return c;
}

// How many occurrences the plain scan's rules give, counted in one pass.
std::int32_t CountAll(const Bytes& image, const Case& c) {
  const auto n = static_cast<std::int64_t>(c.sig.size());
  std::int32_t count = 0;
  for (std::int64_t p = 0; p + n < static_cast<std::int64_t>(image.size()); ++p) {
    bool match = true;
    for (std::int64_t j = 0; j < n && match; ++j) {
      match = c.wild[j] != 0 || image[p + j] == c.sig[j];
    }
    count += match ? 1 : 0;
  }
  return count;
}

std::vector<Case>& ShapeCases() {
  static std::vector<Case> cases;
  return cases;
}

// Registers plain scan, SSE2 block scan and FindSignature for each shape, after
// checking that all of them give the plain scan's result. False on a mismatch.
bool RegisterCorpus(std::vector<RatioReporter::Ratio>& ratios,
                    std::vector<RatioReporter::Summary>& summaries) {
  const Bytes& corpus = Corpus();
  if (corpus.empty()) {
    std::fprintf(stderr,
                 "Skipping the executable-code benchmarks: no x86-64 PE files under %s, %s, %s "
                 "or %s (install wine64 or g++-mingw-w64-x86-64)\n",
                 quillfen::bench::kPeFolders[0], quillfen::bench::kPeFolders[1], quillfen::bench::kPeFolders[2], quillfen::bench::kPeFolders[3]);
    return true;
  }
  std::fprintf(stderr, "Executable code: %.1f MiB\n", static_cast<double>(corpus.size()) / (1 << 20));
  RatioReporter::Summary all{"FindSignature, executable code, all signatures", {}};
  RatioReporter::Summary zeros{"FindSignature, executable code, zero-heavy signatures", {}};
  RatioReporter::Summary sse2{"SSE2 block scan, executable code, all signatures", {}};
  auto& cases = ShapeCases();
  cases.reserve(std::size(kShapes));
  for (const Shape& shape : kShapes) {
    Case& c = cases.emplace_back(ShapeCase(shape));
    // One past the last occurrence: every scan walks all candidates and counts
    // every occurrence, wherever the last one lies.
    const std::int32_t total = CountAll(corpus, c);
    c.occur = total + 1;
    const std::int32_t expected = Search(kPlain, corpus, c);
    for (const Strategy strategy : {Strategy::kAuto, Strategy::kSse2Blocks, Strategy::kAvx2Blocks}) {
      if (Search(static_cast<int>(strategy), corpus, c) != expected) {
        std::fprintf(stderr, "%s: strategy %d differs from the plain scan\n", shape.name,
                     static_cast<int>(strategy));
        return false;
      }
    }
    std::fprintf(stderr, "Executable code: %-12s %-50s %9d occurrences\n", shape.name, shape.text,
                 total);
    const std::string base = std::string("BM_Code_") + shape.name;
    for (const auto& [suffix, how] : {std::pair{"_PlainScan", kPlain},
                                      {"_Sse2Blocks", static_cast<int>(Strategy::kSse2Blocks)},
                                      {"_FindSignature", static_cast<int>(Strategy::kAuto)}}) {
      benchmark::RegisterBenchmark((base + suffix).c_str(),
                                   [&c, how = how](benchmark::State& state) {
                                     RunOn(state, how, Corpus(), c);
                                   })
          ->Unit(benchmark::kMillisecond)
          ->MinTime(0.5);
    }
    const std::string label = std::string("FindSignature, executable code, ") + shape.name;
    ratios.push_back({label, base + "_PlainScan", base + "_FindSignature", "the plain scan's throughput"});
    (shape.zeros ? zeros : all).ratios.push_back(label);
    if (shape.zeros) all.ratios.push_back(label);
    const std::string sse2_label = std::string("SSE2 block scan, executable code, ") + shape.name;
    ratios.push_back({sse2_label, base + "_PlainScan", base + "_Sse2Blocks",
                      "the plain scan's throughput"});
    sse2.ratios.push_back(sse2_label);
  }
  summaries.push_back(all);
  summaries.push_back(zeros);
  summaries.push_back(sse2);
  return true;
}

}  // namespace

int main(int argc, char** argv) {
  benchmark::Initialize(&argc, argv);
  Random();
  Zeros();
  std::vector<RatioReporter::Ratio> ratios = {
      {"FindSignature, random data", "BM_Random_PlainScan", "BM_Random_FindSignature",
       "the plain scan's throughput"},
      {"FindSignature, zero bytes", "BM_Zeros_PlainScan", "BM_Zeros_FindSignature",
       "the plain scan's throughput"}};
  std::vector<RatioReporter::Summary> summaries;
  if (!RegisterCorpus(ratios, summaries)) return 1;
  RatioReporter reporter(std::move(ratios), std::move(summaries));
  benchmark::RunSpecifiedBenchmarks(&reporter);
  benchmark::Shutdown();
}
