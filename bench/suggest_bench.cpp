// SuggestSignatures on two editions of an executable: the first 16 MiB (or
// 64 MiB) of real x86-64 code and data (or, without any on this machine,
// random bytes with runs of zeros), with 640 x 480 stored at planted places of
// the shapes games use, and a second edition with blocks inserted, addresses
// changed and a byte in every few thousand changed. The 16 MiB editions are
// searched as bytes; the 64 MiB ones are wrapped as x86-64 executables whose
// code section holds all of it, so that every byte is decoded. Reports the
// candidates found. With --editions=DIR it also writes the 64 MiB editions
// (DIR/1.0/game.exe and DIR/1.1/game.exe), for timing the whole quillfen-cli
// suggest run.
#include <benchmark/benchmark.h>

#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <random>
#include <string>
#include <vector>

#include "engine/suggest.h"
#include "pe_corpus.h"

namespace {

using Bytes = std::vector<std::uint8_t>;

constexpr std::size_t kSmall = 16u << 20;
constexpr std::size_t kLarge = 64u << 20;

// Places of 640 x 480 as games hold them; 0xAA marks a byte that differs
// between the editions (an address).
const std::vector<Bytes> kShapes = {
    // A mode table entry: width, height, bits per pixel, refresh rate.
    {0x00, 0x00, 0x00, 0x00, 0x80, 0x02, 0x00, 0x00, 0xE0, 0x01,
     0x00, 0x00, 0x20, 0x00, 0x00, 0x00, 0x3C, 0x00, 0x00, 0x00},
    // mov dword [rip+disp32], 640; mov dword [rip+disp32], 480
    {0xC7, 0x05, 0xAA, 0xAA, 0x33, 0x00, 0x80, 0x02, 0x00, 0x00, 0xC7, 0x05,
     0xAA, 0xAA, 0x33, 0x00, 0xE0, 0x01, 0x00, 0x00, 0x48, 0x8B, 0x0D},
    // mov word [rbx+16], 640; mov word [rbx+18], 480
    {0x66, 0xC7, 0x43, 0x10, 0x80, 0x02, 0x66, 0xC7, 0x43, 0x12, 0xE0, 0x01, 0x48, 0x89, 0xD9},
    // mov ecx, 640; mov edx, 480; call rel32
    {0xB9, 0x80, 0x02, 0x00, 0x00, 0xBA, 0xE0, 0x01, 0x00, 0x00, 0xE8, 0xAA, 0xAA, 0xAA, 0x00},
};

struct Editions {
  Bytes first;
  Bytes second;
};

void Put(Bytes& bytes, std::size_t at, std::uint64_t value, int size) {
  for (int i = 0; i < size; ++i) bytes[at + i] = static_cast<std::uint8_t>(value >> (8 * i));
}

// The bytes as the one code section of a PE32+ file, after 0x400 bytes of headers.
Bytes WrapAsExecutable(const Bytes& code) {
  constexpr std::size_t kHeaders = 0x400;
  Bytes file(kHeaders + code.size(), 0);
  std::copy(code.begin(), code.end(), file.begin() + kHeaders);
  file[0] = 'M';
  file[1] = 'Z';
  Put(file, 0x3C, 0x40, 4);
  Put(file, 0x40, 0x4550, 4);
  Put(file, 0x44, 0x8664, 2);
  Put(file, 0x46, 1, 2);
  Put(file, 0x54, 0xF0, 2);
  Put(file, 0x58, 0x20B, 2);
  Put(file, 0x58 + 24, 0x140000000, 8);
  Put(file, 0x58 + 60, kHeaders, 4);
  Put(file, 0x58 + 108, 16, 4);
  const std::size_t section = 0x58 + 0xF0;
  std::memcpy(file.data() + section, ".text", 5);
  Put(file, section + 8, code.size(), 4);
  Put(file, section + 12, 0x1000, 4);
  Put(file, section + 16, code.size(), 4);
  Put(file, section + 20, kHeaders, 4);
  Put(file, section + 36, 0x60000020, 4);
  return file;
}

Editions Make(std::size_t size) {
  std::mt19937_64 random(23);
  Editions e;
  e.first = quillfen::bench::LoadPeCorpus(size);
  if (e.first.size() < size) {
    std::fprintf(stderr, "No x86-64 PE files: random bytes with runs of zeros instead\n");
    e.first.resize(size);
    for (std::size_t i = 0; i < size; ++i) {
      e.first[i] = (i / 4096) % 3 == 0 ? 0 : static_cast<std::uint8_t>(random());
    }
  }
  // Not an executable: searched as bytes.
  e.first[0] = 0;
  // Each shape twice, far apart: its own bytes alone do not tell the two apart.
  std::vector<std::pair<std::size_t, const Bytes*>> planted;
  for (std::size_t k = 0; k < 2 * kShapes.size(); ++k) {
    const std::size_t at = (size / (2 * kShapes.size() + 1)) * (k + 1);
    const Bytes& shape = kShapes[k % kShapes.size()];
    for (std::size_t i = 0; i < shape.size(); ++i) {
      e.first[at + i] = shape[i] == 0xAA ? static_cast<std::uint8_t>(random()) : shape[i];
    }
    planted.emplace_back(at, &shape);
  }
  e.second = e.first;
  for (const auto& [at, shape] : planted) {
    for (std::size_t i = 0; i < shape->size(); ++i) {
      if ((*shape)[i] == 0xAA) e.second[at + i] ^= 0x5A;
    }
  }
  // A byte in every 3000 or so changed, away from the planted places.
  for (std::size_t i = 0; i < size; i += 2000 + random() % 2000) {
    bool near = false;
    for (const auto& [at, shape] : planted) near = near || (i + 64 > at && i < at + 128);
    if (!near) e.second[i] ^= 0x01;
  }
  // Blocks inserted, last first, so that the places lie elsewhere in the second.
  for (std::size_t k = 3; k >= 1; --k) {
    Bytes block(4096 * k);
    for (std::uint8_t& byte : block) byte = static_cast<std::uint8_t>(random());
    const auto at = static_cast<std::ptrdiff_t>(size / 4 * k);
    e.second.insert(e.second.begin() + at, block.begin(), block.end());
  }
  return e;
}

const Editions& SmallEditions() {
  static const Editions editions = Make(kSmall);
  return editions;
}

const Editions& LargeEditions() {
  static const Editions editions = [] {
    Editions e = Make(kLarge);
    return Editions{WrapAsExecutable(e.first), WrapAsExecutable(e.second)};
  }();
  return editions;
}

void Suggest(benchmark::State& state, const Editions& e) {
  const std::vector<std::span<const std::uint8_t>> editions = {e.first, e.second};
  std::size_t candidates = 0, unique = 0;
  for (auto _ : state) {
    const auto found = quillfen::SuggestSignatures(editions, 640, 480, {}).suggestions;
    candidates = found.size();
    unique = 0;
    for (const auto& s : found) unique += s.count[0] == 1 && s.count[1] == 1 ? 1 : 0;
    benchmark::DoNotOptimize(found.data());
  }
  state.counters["candidates"] = static_cast<double>(candidates);
  state.counters["unique"] = static_cast<double>(unique);
}

void BM_Suggest_TwoEditions16MiB(benchmark::State& state) {
  Suggest(state, SmallEditions());
}
BENCHMARK(BM_Suggest_TwoEditions16MiB)->Unit(benchmark::kMillisecond)->Iterations(3);

void BM_Suggest_TwoExecutables64MiB(benchmark::State& state) {
  Suggest(state, LargeEditions());
}
BENCHMARK(BM_Suggest_TwoExecutables64MiB)->Unit(benchmark::kMillisecond)->Iterations(2);

}  // namespace

int main(int argc, char** argv) {
  benchmark::Initialize(&argc, argv);
  for (int i = 1; i < argc; ++i) {
    const std::string arg = argv[i];
    if (arg.rfind("--editions=", 0) != 0) {
      std::fprintf(stderr, "unknown argument %s\n", argv[i]);
      return 2;
    }
    const std::filesystem::path folder = arg.substr(11);
    const Editions& e = LargeEditions();
    for (const auto& [name, bytes] : {std::pair{"1.0", &e.first}, {"1.1", &e.second}}) {
      std::filesystem::create_directories(folder / name);
      std::ofstream(folder / name / "game.exe", std::ios::binary)
          .write(reinterpret_cast<const char*>(bytes->data()),
                 static_cast<std::streamsize>(bytes->size()));
    }
  }
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
}
