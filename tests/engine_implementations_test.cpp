// Every implementation of the CRC-32 and of the signature search against the
// plain one, each called directly whichever the processor would pick (the
// table CRC-32 too where the processor has PCLMULQDQ); an implementation the
// processor does not run is skipped. Each also runs on bytes that end just
// before an unreadable page, so that a read past the image's end stops the test.
#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <ostream>
#include <random>
#include <string>
#include <vector>

#include "engine/cpu_features.h"
#include "engine/crc32_internal.h"
#include "engine/signature.h"
#include "engine/signature_internal.h"
#include "fuzz/plain_scan.h"
#include "support/guarded_buffer.h"

namespace quillfen {
namespace {

using B = std::vector<std::uint8_t>;
using signature_internal::Strategy;

struct Implementation {
  std::string name;
  std::function<bool()> runs;
  // Checks one image, which may end at an unreadable page, against the plain
  // implementation.
  std::function<void(std::span<const std::uint8_t>, std::mt19937&)> agrees;
};

// Names an implementation in test output instead of dumping its bytes.
void PrintTo(const Implementation& implementation, std::ostream* out) {
  *out << implementation.name;
}

std::uint32_t BitwiseRegister(std::uint32_t crc, std::span<const std::uint8_t> bytes) {
  for (const std::uint8_t b : bytes) {
    crc ^= b;
    for (int bit = 0; bit < 8; ++bit) crc = (crc >> 1) ^ ((crc & 1u) ? 0xEDB88320u : 0u);
  }
  return crc;
}

Implementation Crc(const char* name, std::function<bool()> runs,
                   std::uint32_t (*update)(std::uint32_t, const std::uint8_t*, std::size_t)) {
  return {name, std::move(runs),
          [update](std::span<const std::uint8_t> image, std::mt19937& random) {
            // The whole image from a running register, and split at a random place.
            const std::uint32_t start = static_cast<std::uint32_t>(random());
            const std::uint32_t expected = BitwiseRegister(start, image);
            ASSERT_EQ(update(start, image.data(), image.size()), expected) << image.size();
            const std::size_t split = image.empty() ? 0 : random() % image.size();
            const std::uint32_t first = update(start, image.data(), split);
            ASSERT_EQ(update(first, image.data() + split, image.size() - split), expected)
                << image.size() << " split " << split;
          }};
}

// How many occurrences the plain scan's rules give.
std::int32_t CountAll(std::span<const std::uint8_t> image, const B& sig, const B& wild) {
  std::int32_t count = 0;
  for (std::size_t p = 0; p + sig.size() < image.size(); ++p) {
    bool match = true;
    for (std::size_t j = 0; j < sig.size() && match; ++j) {
      match = wild[j] != 0 || image[p + j] == sig[j];
    }
    count += match ? 1 : 0;
  }
  return count;
}

// Signatures cut from the image's very end (where the rules never find one,
// so a block that looks one candidate too far counts it), from just before it
// (so that one occurs on the last candidate) and from anywhere, short and
// long, with and without wildcards:
// together they take the filter-only blocks, the narrowing of blocks place by
// place and by one mask (signatures of one byte value), runs of that byte and
// the one-by-one tail.
Implementation Scan(const char* name, Strategy strategy) {
  return {name, [strategy] { return signature_internal::Runs(strategy); },
          [strategy](std::span<const std::uint8_t> image, std::mt19937& random) {
            for (const std::size_t n : {1u, 3u, 5u, 12u, 40u}) {
              if (image.size() <= n) continue;
              for (const int where : {0, 1, 2}) {  // the very end, the last candidate, anywhere
                const std::size_t from = where == 0   ? image.size() - n
                                         : where == 1 ? image.size() - n - 1
                                                      : random() % (image.size() - n);
                const B sig(image.begin() + static_cast<std::ptrdiff_t>(from),
                            image.begin() + static_cast<std::ptrdiff_t>(from + n));
                B wild(n, 0);
                if (n > 2) wild[1 + random() % (n - 2)] = 1;
                const std::int32_t total = CountAll(image, sig, wild);
                for (const std::int32_t occur : {1, 2, total, total + 1}) {
                  if (occur < 1) continue;
                  ASSERT_EQ(
                      signature_internal::FindSignatureUsing(strategy, image, sig, wild, 3, occur),
                      reference::PlainScan(image, sig, wild, 3, occur))
                      << image.size() << " bytes, length " << n << " from " << from << " occur "
                      << occur << " of " << total;
                }
              }
            }
          }};
}

std::vector<Implementation> Implementations() {
  using namespace crc32_internal;
  return {
      Crc(
          "Crc32Tables", [] { return true; }, UpdateWithTables),
      Crc("Crc32Clmul", CpuHasClmul, UpdateWithClmul),
      Crc("Crc32Vpclmul", CpuHasVpclmul, UpdateWithVpclmul),
      Scan("EveryCandidate", Strategy::kEveryCandidate),
      Scan("Sse2Blocks", Strategy::kSse2Blocks),
      Scan("Avx2Blocks", Strategy::kAvx2Blocks),
      Scan("Avx512Blocks", Strategy::kAvx512Blocks),
      Scan("Auto", Strategy::kAuto),
  };
}

class EveryImplementation : public ::testing::TestWithParam<Implementation> {
 protected:
  void SetUp() override {
    if (!GetParam().runs()) GTEST_SKIP() << "this processor does not run " << GetParam().name;
  }
};

// Image contents: random bytes of a small alphabet (many partial matches),
// mostly zeros (runs), all one byte, and zeros that end in one other byte (no
// candidate anywhere but at the end, so the blocks go on in their widest
// strides up to the image's end).
void Fill(std::span<std::uint8_t> image, int kind, std::mt19937& random) {
  for (auto& b : image) {
    b = kind == 0   ? static_cast<std::uint8_t>(random() % 3)
        : kind == 1 ? static_cast<std::uint8_t>(random() % 64 == 0 ? random() : 0)
                    : 0;
  }
  if (kind == 3 && !image.empty()) image.back() = 0xAB;
}

// Sizes around the block widths and the folding widths, and past them.
const std::size_t kSizes[] = {0,   1,   15,  16,  17,   63,   64,   65,   127,  129,
                              255, 256, 257, 300, 1000, 4095, 4097, 5000, 70000};

TEST_P(EveryImplementation, AgreesWithThePlainOneOnEverySizeAndContent) {
  std::mt19937 random(34);
  for (const std::size_t size : kSizes) {
    for (int kind = 0; kind < 3; ++kind) {
      B image(size);
      Fill(image, kind, random);
      GetParam().agrees(image, random);
      if (HasFatalFailure()) return;
    }
  }
}

TEST_P(EveryImplementation, ReadsNothingPastTheImageEnd) {
  std::mt19937 random(4096);
  for (const std::size_t size : kSizes) {
    for (int kind = 0; kind < 3; ++kind) {
      testing::GuardedBuffer buffer(size);
      Fill(buffer.Bytes(), kind, random);
      GetParam().agrees(buffer.Bytes(), random);
      if (HasFatalFailure()) return;
    }
  }
}

// Every length up to five of the widest groups of blocks, so that the image's
// end falls at every place in a block and in a group, on every path.
TEST_P(EveryImplementation, AgreesOnImagesOfEveryLengthEndingAtAnUnreadablePage) {
  std::mt19937 random(330);
  for (std::size_t size = 0; size <= 5 * 128; ++size) {
    testing::GuardedBuffer buffer(size);
    Fill(buffer.Bytes(), 3, random);
    GetParam().agrees(buffer.Bytes(), random);
    if (HasFatalFailure()) return;
  }
}

// Signatures whose fixed places all hold one byte, narrowed by one mask of the
// block's window: spans around the widest the mask covers, the signature at
// every place of a block (whole, without its first place, without its last),
// and the fixed places in every order, so that each place is once a filter
// place and once one the mask checks.
TEST(FindSignature, OneByteSignaturesAgreeOnEverySpanPlaceOrderAndBlockPosition) {
  std::mt19937 random(48);
  constexpr std::uint8_t kByte = 0x90;
  for (const Strategy strategy :
       {Strategy::kSse2Blocks, Strategy::kAvx2Blocks, Strategy::kAvx512Blocks}) {
    if (!signature_internal::Runs(strategy)) continue;
    for (const std::size_t span : {40u, 47u, 48u, 49u, 50u, 56u}) {
      const std::size_t fixed[] = {
          0, 1, 2, 3, span / 3, span / 2, span / 2 + 1, 2 * span / 3, span - 1, span};
      B sig(span + 1, 0);
      B wild(span + 1, 1);
      for (const std::size_t j : fixed) {
        sig[j] = kByte;
        wild[j] = 0;
      }
      for (std::size_t turn = 0; turn < std::size(fixed); ++turn) {
        for (std::size_t at = 0; at < 80; ++at) {
          for (const std::size_t left_out : {span + 1, std::size_t{0}, span}) {
            B image(320);
            for (auto& b : image) b = static_cast<std::uint8_t>(random() % kByte);
            for (const std::size_t j : fixed) {
              if (j != left_out) image[at + j] = kByte;
            }
            ASSERT_EQ(
                signature_internal::FindSignatureUsing(strategy, image, sig, wild, 3, 1, turn),
                reference::PlainScan(image, sig, wild, 3, 1))
                << "strategy " << static_cast<int>(strategy) << " span " << span << " turn " << turn
                << " at " << at << " without " << left_out;
          }
        }
      }
    }
  }
}

// Asked for a path the processor does not run, the search takes one it runs:
// a request let through would stop the program on an older processor. Here
// every path runs; on the emulated older processors the two widest do not.
TEST(FindSignature, APathTheProcessorDoesNotRunIsNeverTaken) {
  std::mt19937 random(6);
  B image(5000);
  Fill(image, 0, random);
  const B sig(image.begin() + 4000, image.begin() + 4012);
  const B wild(sig.size(), 0);
  for (const Strategy strategy : {Strategy::kAvx2Blocks, Strategy::kAvx512Blocks}) {
    EXPECT_EQ(signature_internal::FindSignatureUsing(strategy, image, sig, wild, 3, 1),
              reference::PlainScan(image, sig, wild, 3, 1))
        << "strategy " << static_cast<int>(strategy);
  }
}

INSTANTIATE_TEST_SUITE_P(CrcAndScans, EveryImplementation, ::testing::ValuesIn(Implementations()),
                         [](const ::testing::TestParamInfo<Implementation>& info) {
                           return info.param.name;
                         });

}  // namespace
}  // namespace quillfen
