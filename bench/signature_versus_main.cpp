// The signature search against the previous implementation (bench/baseline/,
// kept for comparison) and the plain candidate-by-candidate scan, side by side
// in one process on about 128 MiB of real x86-64 PE code. Each round times
// every class with the new and the previous one in alternating order; the
// table gives the median of the per-round ratios and their spread (lowest to
// highest). The plain scan is timed once, when the results are checked.
//
//   signature_versus_main [rounds]       (default 5)
//
// Classes: patterns copied from the code with wildcards (present), the same
// with one fixed byte changed so that they occur nowhere (absent), copies whose
// first bytes are wildcards (leading wildcard), signatures shaped like
// resolution patches with the value inside, and present patterns in a 16 MiB
// image. "first" asks for the first occurrence, "every" for the occurrence
// after the last, which walks every candidate and counts every hit. Then the
// cost of a plan: a search whose occurrence is the first candidate.
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <random>
#include <string>
#include <vector>

#include "baseline/signature.h"
#include "engine/signature.h"
#include "fuzz/plain_scan.h"
#include "pe_corpus.h"

namespace {

using Bytes = std::vector<std::uint8_t>;

struct Pattern {
  Bytes sig, wild;
  std::int32_t first = 1;
  std::int32_t every = 1;  // one past the last occurrence
};

struct Class {
  std::string name;
  const Bytes* image;
  std::vector<Pattern> patterns;
};

std::int32_t CountAll(const Bytes& image, const Pattern& p) {
  return static_cast<std::int32_t>(quillfen::CountSignature(image, p.sig, p.wild));
}

std::vector<Pattern> Copied(const Bytes& image, std::mt19937_64& random, int count, int leading,
                            bool absent) {
  std::vector<Pattern> patterns;
  while (static_cast<int>(patterns.size()) < count) {
    Pattern p;
    const std::size_t length = 12 + random() % 13;
    const std::size_t at = random() % (image.size() - length - 1);
    p.sig.assign(image.begin() + static_cast<std::ptrdiff_t>(at),
                 image.begin() + static_cast<std::ptrdiff_t>(at + length));
    p.wild.assign(length, 0);
    for (int k = 0; k < leading; ++k) p.wild[static_cast<std::size_t>(k)] = 1;
    for (int k = 0; k < 3; ++k) p.wild[leading + 2 + random() % (length - leading - 4)] = 1;
    // Skip copies of padding: a pattern of one byte value says little.
    if (std::count(p.sig.begin(), p.sig.end(), p.sig[length - 1]) > static_cast<long>(length / 2)) {
      continue;
    }
    if (absent) {
      const std::size_t change = length - 1 - random() % 4;
      p.sig[change] = static_cast<std::uint8_t>(p.sig[change] + 1 + random() % 255);
      if (CountAll(image, p) != 0) continue;
    }
    p.every = CountAll(image, p) + 1;
    patterns.push_back(p);
  }
  return patterns;
}

std::vector<Pattern> ResolutionPatches(const Bytes& image) {
  const std::pair<int, int> sizes[] = {{640, 480}, {1024, 768}, {1280, 720}, {1920, 1080}};
  std::vector<Pattern> patterns;
  for (const auto& [w, h] : sizes) {
    const auto lo = [](int v) { return static_cast<std::uint8_t>(v & 0xFF); };
    const auto hi = [](int v) { return static_cast<std::uint8_t>(v >> 8); };
    const std::vector<std::pair<Bytes, Bytes>> shapes = {
        // mov dword [rip+disp32], w
        {{0xC7, 0x05, 0, 0, 0, 0, lo(w), hi(w), 0, 0}, {0, 0, 1, 1, 1, 1, 0, 0, 0, 0}},
        // mov dword [reg+disp8], w; mov dword [reg+disp8], h
        {{0xC7, 0x40, 0, lo(w), hi(w), 0, 0, 0xC7, 0x40, 0, lo(h), hi(h), 0, 0},
         {0, 1, 1, 0, 0, 0, 0, 0, 1, 1, 0, 0, 0, 0}},
        // w then h, 32 bits each
        {{lo(w), hi(w), 0, 0, lo(h), hi(h), 0, 0}, {0, 0, 0, 0, 0, 0, 0, 0}},
        // cmp reg, w
        {{0x81, 0, lo(w), hi(w), 0, 0}, {0, 1, 0, 0, 0, 0}},
        // mov eax, w
        {{0xB8, lo(w), hi(w), 0, 0}, {0, 0, 0, 0, 0}},
        // mov ecx, w; mov edx, h
        {{0xB9, lo(w), hi(w), 0, 0, 0xBA, lo(h), hi(h), 0, 0}, {0, 0, 0, 0, 0, 0, 0, 0, 0, 0}},
        // cmp dword [rip+disp32], h
        {{0x81, 0x3D, 0, 0, 0, 0, lo(h), hi(h), 0, 0}, {0, 0, 1, 1, 1, 1, 0, 0, 0, 0}},
        // mov r32, w (any register) then a call
        {{0, lo(w), hi(w), 0, 0, 0xE8}, {1, 0, 0, 0, 0, 0}},
    };
    for (const auto& [sig, wild] : shapes) {
      Pattern p{sig, wild};
      p.every = CountAll(image, p) + 1;
      patterns.push_back(p);
    }
  }
  return patterns;
}

enum Who { kPlain, kMain, kNew };
const char* const kWho[] = {"plain", "main", "new"};

std::int64_t RunAll(Who who, const Class& c, bool every) {
  std::int64_t sum = 0;
  for (const Pattern& p : c.patterns) {
    const std::int32_t occur = every ? p.every : p.first;
    switch (who) {
      case kPlain:
        sum += quillfen::reference::PlainScan(*c.image, p.sig, p.wild, 0, occur);
        break;
      case kMain:
        sum += quillfen::baseline::FindSignature(*c.image, p.sig, p.wild, 0, occur);
        break;
      case kNew:
        sum += quillfen::FindSignature(*c.image, p.sig, p.wild, 0, occur);
        break;
    }
  }
  return sum;
}

// The wall clock: the new search shares a large image between two threads,
// whose time the processor time of the calling thread would leave out. On a
// machine that others share, run more rounds: the medians hold.
double Seconds(const std::function<void()>& work) {
  const auto start = std::chrono::steady_clock::now();
  work();
  return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

// Every byte of the image read once, as the searches read it: eight bytes at
// a time, which the compiler turns into vector loads.
std::uint64_t ReadOnce(const Bytes& image) {
  std::uint64_t sum = 0;
  const std::size_t words = image.size() / 8;
  for (std::size_t k = 0; k < words; ++k) {
    std::uint64_t word;
    std::memcpy(&word, image.data() + 8 * k, 8);
    sum ^= word;
  }
  return sum;
}

double Median(std::vector<double> v) {
  std::sort(v.begin(), v.end());
  return v.size() % 2 ? v[v.size() / 2] : (v[v.size() / 2 - 1] + v[v.size() / 2]) / 2;
}

}  // namespace

int main(int argc, char** argv) {
  const int rounds = argc > 1 ? std::max(1, std::atoi(argv[1])) : 5;
  const Bytes corpus = quillfen::bench::LoadPeCorpus(128u << 20);
  if (corpus.size() < (32u << 20)) {
    std::fprintf(stderr, "need x86-64 PE files (install wine64 or g++-mingw-w64-x86-64)\n");
    return 1;
  }
  const Bytes small(corpus.begin(), corpus.begin() + (16 << 20));
  std::mt19937_64 random(34);
  std::vector<Class> classes;
  classes.push_back({"present", &corpus, Copied(corpus, random, 12, 0, false)});
  classes.push_back({"absent", &corpus, Copied(corpus, random, 6, 0, true)});
  classes.push_back({"leading wildcard", &corpus, Copied(corpus, random, 12, 2, false)});
  classes.push_back({"resolution patches", &corpus, ResolutionPatches(corpus)});
  classes.push_back({"present, 16 MiB", &small, Copied(small, random, 16, 0, false)});

  // times[class][every][who][round]
  std::vector<std::vector<std::vector<std::vector<double>>>> times(
      classes.size(),
      std::vector<std::vector<std::vector<double>>>(2, std::vector<std::vector<double>>(3)));
  // The plain scan, slow, is timed once, while every implementation is checked
  // against it before any is timed.
  for (std::size_t k = 0; k < classes.size(); ++k) {
    for (const bool every : {false, true}) {
      std::int64_t plain = 0;
      times[k][every][kPlain].push_back(
          Seconds([&] { plain = RunAll(kPlain, classes[k], every); }));
      if (RunAll(kMain, classes[k], every) != plain || RunAll(kNew, classes[k], every) != plain) {
        std::fprintf(stderr, "%s: the searches disagree\n", classes[k].name.c_str());
        return 1;
      }
    }
  }
  std::fprintf(stderr, "checked against the plain scan\n");

  // Main and new alternate, which goes first changing each round.
  for (int round = 0; round < rounds; ++round) {
    for (std::size_t k = 0; k < classes.size(); ++k) {
      for (const bool every : {false, true}) {
        for (int step = 0; step < 2; ++step) {
          const Who who = (step + round) % 2 == 0 ? kMain : kNew;
          volatile std::int64_t sink = 0;
          const double seconds = Seconds([&] { sink = RunAll(who, classes[k], every); });
          (void)sink;
          times[k][every][who].push_back(seconds);
        }
      }
    }
    std::fprintf(stderr, "round %d of %d\n", round + 1, rounds);
  }

  std::printf("%zu MiB of x86-64 PE code, %d rounds; ms for all of a class's patterns, medians\n",
              corpus.size() >> 20, rounds);
  std::printf("%-20s %-6s %9s %9s %9s  %-22s %s\n", "class", "search", "plain ms", "main ms",
              "new ms", "new/main median (min-max)", "new/plain");
  for (std::size_t k = 0; k < classes.size(); ++k) {
    for (const bool every : {false, true}) {
      const auto& t = times[k][every];
      std::vector<double> ratios;
      for (int r = 0; r < rounds; ++r) ratios.push_back(t[kNew][r] / t[kMain][r]);
      std::printf(
          "%-20s %-6s %9.2f %9.2f %9.2f  %.3f (%.3f-%.3f)        %.3f\n", classes[k].name.c_str(),
          every ? "every" : "first", 1e3 * Median(t[kPlain]), 1e3 * Median(t[kMain]),
          1e3 * Median(t[kNew]), Median(ratios), *std::min_element(ratios.begin(), ratios.end()),
          *std::max_element(ratios.begin(), ratios.end()), Median(t[kNew]) / Median(t[kPlain]));
    }
  }

  // The pace of memory: a plain loop that reads the image eight bytes at a
  // time. A search that walks every candidate of every pattern reads the
  // image once per pattern, so its time set beside the patterns' count times
  // this shows how near it runs to the speed of reading the bytes at all.
  std::vector<double> read_times;
  for (int k = 0; k < 2 * rounds + 1; ++k) {
    volatile std::uint64_t sink = 0;
    read_times.push_back(Seconds([&] { sink = ReadOnce(corpus); }));
    (void)sink;
  }
  const double read_ms = 1e3 * Median(read_times);
  std::printf("\nreading the %zu MiB image once with a plain loop: %.2f ms (%.1f GB/s)\n",
              corpus.size() >> 20, read_ms, static_cast<double>(corpus.size()) / read_ms / 1e6);
  for (std::size_t k = 0; k < classes.size(); ++k) {
    if (classes[k].image != &corpus) continue;
    const double floor = read_ms * static_cast<double>(classes[k].patterns.size());
    std::printf(
        "%-20s every: %2zu patterns, %.2f ms to read the image as often; new at %.2f times that\n",
        classes[k].name.c_str(), classes[k].patterns.size(), floor,
        1e3 * Median(times[k][true][kNew]) / floor);
  }

  // The plan: the occurrence is the first candidate, so the search is its plan.
  std::printf("\nplan cost, us (median of 201): signature length x image size\n");
  std::printf("%-8s %-8s %10s %10s\n", "length", "image", "main", "new");
  for (const std::size_t image_size :
       {std::size_t{1} << 20, std::size_t{16} << 20, corpus.size()}) {
    const Bytes image(corpus.begin() + static_cast<std::ptrdiff_t>(corpus.size() - image_size),
                      corpus.end());
    for (const std::size_t length : {4u, 8u, 16u, 32u, 64u}) {
      const Bytes sig(image.begin(), image.begin() + static_cast<std::ptrdiff_t>(length));
      const Bytes wild(length, 0);
      std::vector<double> main_us, new_us;
      for (int k = 0; k < 201; ++k) {
        volatile std::int32_t sink = 0;
        main_us.push_back(1e6 * Seconds([&] {
                            sink = quillfen::baseline::FindSignature(image, sig, wild, 0, 1);
                          }));
        new_us.push_back(1e6 *
                         Seconds([&] { sink = quillfen::FindSignature(image, sig, wild, 0, 1); }));
        (void)sink;
      }
      std::printf("%-8zu %-5zu MiB %10.1f %10.1f\n", length, image_size >> 20, Median(main_us),
                  Median(new_us));
    }
  }
}
