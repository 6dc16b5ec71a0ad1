// Runs a fuzz target without libFuzzer, for the ordinary build and its test
// run: every seed input first, then, for the time given, random inputs and
// mutations of the seeds (flipped bits, boundary bytes and numbers, bytes
// inserted, erased, repeated, seeds spliced). A target reports a fault by
// crashing or aborting; the input that did it is written to
// <target>.crash in the working folder and named on standard error, and
// running the target on that file alone repeats it.
//
//   <target> [--seconds N] [--seed N] [folder or file ...]
#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <csignal>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <memory>
#include <random>
#include <string>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size);

namespace {

using Input = std::vector<std::uint8_t>;

// What the fault handler needs, set before each input runs.
const Input* running = nullptr;
char crash_path[512];

void WriteAll(int fd, const void* data, std::size_t size) {
  const auto* bytes = static_cast<const char*>(data);
  while (size > 0) {
    const ssize_t written = write(fd, bytes, size);
    if (written <= 0) return;
    bytes += written;
    size -= static_cast<std::size_t>(written);
  }
}

void WriteText(const char* text) { WriteAll(2, text, std::strlen(text)); }

// Async-signal-safe: keeps the input that faulted, then lets the signal end the program.
void OnFault(int signal) {
  if (running != nullptr) {
    const int fd = open(crash_path, O_WRONLY | O_CREAT | O_TRUNC, 0644);
    if (fd >= 0) {
      WriteAll(fd, running->data(), running->size());
      close(fd);
    }
    WriteText("fuzz: the input that failed is in ");
    WriteText(crash_path);
    WriteText("\n");
  }
  std::signal(signal, SIG_DFL);
  std::raise(signal);
}

void Run(const Input& input) {
  running = &input;
  // A copy of exactly the input's size, so that a read past its end leaves it.
  const std::unique_ptr<std::uint8_t[]> copy(new std::uint8_t[std::max<std::size_t>(input.size(), 1)]);
  std::copy(input.begin(), input.end(), copy.get());
  LLVMFuzzerTestOneInput(copy.get(), input.size());
  running = nullptr;
}

Input ReadFile(const std::filesystem::path& path) {
  std::ifstream in(path, std::ios::binary);
  return Input(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

class Mutator {
 public:
  Mutator(std::uint64_t seed, const std::vector<Input>& seeds, std::size_t max_size)
      : random_(seed), seeds_(seeds), max_size_(max_size) {}

  Input Next() {
    Input input;
    if (seeds_.empty() || Below(8) == 0) {
      input.resize(Below(max_size_ / 4 + 1));
      for (auto& byte : input) byte = static_cast<std::uint8_t>(Below(256));
    } else {
      input = seeds_[Below(seeds_.size())];
    }
    for (std::size_t n = 1 + Below(8); n > 0; --n) Mutate(input);
    if (input.size() > max_size_) input.resize(max_size_);
    return input;
  }

 private:
  std::size_t Below(std::size_t n) {
    return std::uniform_int_distribution<std::size_t>(0, n - 1)(random_);
  }

  void Mutate(Input& input) {
    static constexpr std::uint8_t kBytes[] = {0, 1, 0x7F, 0x80, 0xFF, '\r', '\n', ' ', '=', '?'};
    static constexpr std::uint32_t kNumbers[] = {0, 1, 0x7FFFFFFF, 0x80000000, 0xFFFFFFFF,
                                                 0x10000, 0xFFFF, 1280, 720};
    const std::size_t at = Below(input.size() + 1);
    switch (Below(input.empty() ? 2 : 8)) {
      case 0:  // insert random bytes
        for (std::size_t n = 1 + Below(4); n > 0; --n) {
          input.insert(input.begin() + at, static_cast<std::uint8_t>(Below(256)));
        }
        break;
      case 1:  // splice in a piece of a seed
        if (!seeds_.empty()) {
          const Input& other = seeds_[Below(seeds_.size())];
          const std::size_t from = Below(other.size() + 1);
          const std::size_t count = Below(other.size() - from + 1);
          input.insert(input.begin() + at, other.begin() + from, other.begin() + from + count);
        }
        break;
      case 2:
        input[std::min(at, input.size() - 1)] ^= static_cast<std::uint8_t>(1u << Below(8));
        break;
      case 3:
        input[std::min(at, input.size() - 1)] = kBytes[Below(std::size(kBytes))];
        break;
      case 4: {  // a boundary number, little-endian
        const std::uint32_t value = kNumbers[Below(std::size(kNumbers))];
        for (std::size_t i = 0; i < 4 && at + i < input.size(); ++i) {
          input[at + i] = static_cast<std::uint8_t>(value >> (8 * i));
        }
        break;
      }
      case 5: {  // erase a range
        const std::size_t from = std::min(at, input.size() - 1);
        input.erase(input.begin() + from,
                    input.begin() + from + 1 + Below(std::min<std::size_t>(input.size() - from, 16)));
        break;
      }
      case 6: {  // repeat a range
        const std::size_t from = std::min(at, input.size() - 1);
        const std::size_t count = 1 + Below(std::min<std::size_t>(input.size() - from, 64));
        const Input piece(input.begin() + from, input.begin() + from + count);
        input.insert(input.begin() + from, piece.begin(), piece.end());
        break;
      }
      default:
        input[std::min(at, input.size() - 1)] = static_cast<std::uint8_t>(Below(256));
        break;
    }
  }

  std::mt19937_64 random_;
  const std::vector<Input>& seeds_;
  std::size_t max_size_;
};

}  // namespace

int main(int argc, char** argv) {
  double seconds = 0;
  std::uint64_t seed = std::random_device{}();
  std::vector<std::filesystem::path> places;
  for (int i = 1; i < argc; ++i) {
    const std::string arg = argv[i];
    if (arg == "--seconds" && i + 1 < argc) {
      seconds = std::atof(argv[++i]);
    } else if (arg == "--seed" && i + 1 < argc) {
      seed = std::strtoull(argv[++i], nullptr, 10);
    } else {
      places.emplace_back(arg);
    }
  }
  const std::string name = std::filesystem::path(argv[0]).filename().string();
  std::snprintf(crash_path, sizeof crash_path, "%s.crash", name.c_str());
  for (const int signal : {SIGABRT, SIGSEGV, SIGBUS, SIGFPE, SIGILL}) std::signal(signal, OnFault);

  std::vector<Input> seeds;
  for (const auto& place : places) {
    if (std::filesystem::is_directory(place)) {
      std::vector<std::filesystem::path> files;
      for (const auto& entry : std::filesystem::directory_iterator(place)) {
        if (entry.is_regular_file()) files.push_back(entry.path());
      }
      std::sort(files.begin(), files.end());
      for (const auto& file : files) seeds.push_back(ReadFile(file));
    } else if (std::filesystem::is_regular_file(place)) {
      seeds.push_back(ReadFile(place));
    } else {
      std::fprintf(stderr, "%s: no such seed folder or file: %s\n", name.c_str(),
                   place.string().c_str());
      return 2;
    }
  }
  std::fprintf(stderr, "%s: %zu seeds, then %g s of generated inputs (--seed %llu)\n",
               name.c_str(), seeds.size(), seconds, static_cast<unsigned long long>(seed));
  for (const Input& input : seeds) Run(input);
  Run({});

  std::size_t largest = 256;
  for (const Input& input : seeds) largest = std::max(largest, input.size());
  Mutator mutator(seed, seeds, 2 * largest);
  const auto end = std::chrono::steady_clock::now() + std::chrono::duration<double>(seconds);
  std::uint64_t runs = 0;
  while (std::chrono::steady_clock::now() < end) {
    for (int i = 0; i < 64; ++i, ++runs) Run(mutator.Next());
  }
  std::printf("%s: %zu seeds and %llu generated inputs passed\n", name.c_str(), seeds.size(),
              static_cast<unsigned long long>(runs));
  return 0;
}
