#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <limits>
#include <random>
#include <string>
#include <vector>

#include "engine/cpu_features.h"
#include "engine/crc32.h"
#include "engine/one_pass.h"
#include "engine/one_pass_internal.h"
#include "engine/signature.h"
#include "engine/signature_internal.h"
#include "fuzz/plain_scan.h"
#include "support/guarded_buffer.h"

namespace quillfen {
namespace {

using signature_internal::FindSignatureUsing;
using signature_internal::Strategy;
using B = std::vector<std::uint8_t>;

// Every path, the AVX2 and AVX-512 block scans only where this processor runs them.
const std::vector<Strategy>& Strategies() {
  static const std::vector<Strategy> strategies = [] {
    std::vector<Strategy> all;
    for (const Strategy strategy :
         {Strategy::kAuto, Strategy::kEveryCandidate, Strategy::kSse2Blocks, Strategy::kAvx2Blocks,
          Strategy::kAvx512Blocks}) {
      if (signature_internal::Runs(strategy)) all.push_back(strategy);
    }
    return all;
  }();
  return strategies;
}
const auto& kStrategies = Strategies();

// Every strategy must give the expected result.
void ExpectFound(const B& image, const B& sig, const B& wild, std::int32_t offset,
                 std::int32_t occur, std::int32_t expected) {
  EXPECT_EQ(reference::PlainScan(image, sig, wild, offset, occur), expected);
  for (const Strategy strategy : kStrategies) {
    EXPECT_EQ(FindSignatureUsing(strategy, image, sig, wild, offset, occur), expected)
        << "strategy " << static_cast<int>(strategy) << " occur " << occur;
  }
}

// How many occurrences the plain scan's rules give.
std::int32_t CountAll(const B& image, const B& sig, const B& wild) {
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

// Every strategy against the plain scan for the occurrence numbers that matter
// once the count is known: the first ones, the last ones, one past the last,
// the largest, and a few in between.
void ExpectAgreement(const B& image, const B& sig, const B& wild, std::int32_t offset,
                     std::mt19937& random, const std::string& what) {
  const std::int32_t total = CountAll(image, sig, wild);
  ASSERT_EQ(CountSignature(image, sig, wild), total) << what;
  std::vector<std::int32_t> occurs = {
      1, 2, 3, total - 1, total, total + 1, total + 2, std::numeric_limits<std::int32_t>::max()};
  for (int k = 0; k < 3; ++k) {
    occurs.push_back(1 + static_cast<std::int32_t>(random() % static_cast<unsigned>(total + 1)));
  }
  for (const std::int32_t occur : occurs) {
    if (occur < 1) continue;
    const std::int32_t expected = reference::PlainScan(image, sig, wild, offset, occur);
    for (const Strategy strategy : kStrategies) {
      ASSERT_EQ(FindSignatureUsing(strategy, image, sig, wild, offset, occur), expected)
          << what << " strategy " << static_cast<int>(strategy) << " occur " << occur << " of "
          << total;
    }
  }
}

TEST(FindSignature, OverlappingOccurrencesEachCount) {
  const B image = {0x12, 0xAB, 0xAB, 0xAB, 0x00};
  ExpectFound(image, {0xAB, 0xAB}, {0, 0}, 10, 1, 11);
  ExpectFound(image, {0xAB, 0xAB}, {0, 0}, 10, 2, 12);
  ExpectFound(image, {0xAB, 0xAB}, {0, 0}, 10, 3, 0);
}

TEST(FindSignature, AnOccurrenceMustBeFollowedByAByte) {
  ExpectFound({0x00, 0xAB, 0xAB}, {0xAB, 0xAB}, {0, 0}, 0, 1, 0);
  ExpectFound({0x00, 0xAB, 0xAB, 0x00}, {0xAB, 0xAB}, {0, 0}, 5, 1, 6);
  ExpectFound({0xAB, 0xAB}, {0xAB, 0xAB}, {0, 0}, 5, 1, 0);
  ExpectFound({0xAB}, {0xAB, 0xAB}, {0, 0}, 5, 1, 0);
}

TEST(FindSignature, OccurrenceNumbersBelowOneSelectNothing) {
  const B image = {0x01, 0x02, 0x01, 0x02, 0x00};
  ExpectFound(image, {0x01}, {0}, 7, 0, 0);
  ExpectFound(image, {0x01}, {0}, 7, -1, 0);
  ExpectFound(image, {}, {}, 7, 0, 0);
}

TEST(FindSignature, WildcardPlacesAcceptAnyByte) {
  const B image = {0x12, 0x00, 0x56, 0x12, 0xFF, 0x56, 0x00};
  ExpectFound(image, {0x12, 0x34, 0x56}, {0, 1, 0}, 0, 2, 3);
  ExpectFound(image, {0x12, 0x34, 0x56}, {0, 2, 0}, 100, 1, 100);
  ExpectFound(image, {0x12, 0x34, 0x56}, {0, 0, 0}, 100, 1, 0);
}

TEST(FindSignature, AllWildcardsOrEmptySignatureMatchEveryCandidate) {
  const B image = {1, 2, 3, 4, 5};
  ExpectFound(image, {9, 9}, {1, 1}, 10, 3, 12);
  ExpectFound(image, {9, 9}, {1, 1}, 10, 3 + 1, 0);  // only size - n = 3 candidates
  ExpectFound(image, {}, {}, 10, 5, 14);
  ExpectFound(image, {}, {}, 10, 6, 0);
  ExpectFound({}, {}, {}, 10, 1, 0);
}

TEST(FindSignature, ResultIsNeitherClippedNorCheckedForZero) {
  const B image = {0, 0, 0, 0, 7, 8, 0};
  ExpectFound(image, {7, 8}, {0, 0}, -4, 1, 0);
  ExpectFound(image, {7, 8}, {0, 0}, 1000, 1, 1004);
  ExpectFound({7, 8, 0}, {7, 8}, {0, 0}, 0, 1, 0);
  // A sum past the signed 32-bit range is not located, never a wrapped position.
  ExpectFound(image, {7, 8}, {0, 0}, 2147483647, 1, 0);
  ExpectFound(image, {7, 8}, {0, 0}, 2147483643, 1, 2147483647);
  // At the range's lower edge the sum is a position too (one no file holds).
  ExpectFound({7, 8, 0}, {7, 8}, {0, 0}, INT32_MIN, 1, INT32_MIN);
}

// The paths every x86-64 processor runs are run, never skipped as unavailable,
// and so are the wider ones wherever the processor has their features.
TEST(FindSignature, EachPathRunsWhereTheProcessorHasItsFeatures) {
  for (const Strategy strategy :
       {Strategy::kAuto, Strategy::kEveryCandidate, Strategy::kSse2Blocks}) {
    EXPECT_TRUE(signature_internal::Runs(strategy)) << static_cast<int>(strategy);
  }
  EXPECT_EQ(signature_internal::Runs(Strategy::kAvx2Blocks), CpuHasAvx2());
  EXPECT_EQ(signature_internal::Runs(Strategy::kAvx512Blocks), CpuHasAvx512Bw());
}

TEST(FindSignature, ShortFlagArrayCountsMissingFlagsAsFixed) {
  const B image = {5, 6, 7, 0};
  EXPECT_EQ(FindSignature(image, B{5, 6}, B{}, 0, 1), 0);
  EXPECT_EQ(FindSignature(image, B{6, 7}, B{1}, 0, 1), 1);
}

// A random image, a signature cut from it, flags, offset and occurrence number;
// sizes around the signature's length, small alphabets that repeat a lot.
struct RandomCase {
  B image, sig, wild;
  std::int32_t offset = 0;
  std::int32_t occur = 0;
};

RandomCase MakeRandomCase(int round, std::mt19937& random) {
  auto below = [&](int n) { return static_cast<int>(random() % static_cast<unsigned>(n)); };
  RandomCase c;
  const int alphabet = 1 + below(round % 3 == 0 ? 2 : 256);
  const int n = below(9);
  const int size = round % 10 == 0 ? below(n + 3) : below(300);
  c.image.resize(static_cast<std::size_t>(size));
  for (auto& b : c.image) b = static_cast<std::uint8_t>(below(alphabet));
  c.sig.resize(static_cast<std::size_t>(n));
  c.wild.resize(static_cast<std::size_t>(n));
  const int from = size > n ? below(size - n) : 0;
  for (int j = 0; j < n; ++j) {
    c.sig[j] = size > from + j && below(4) != 0 ? c.image[from + j]
                                                : static_cast<std::uint8_t>(below(alphabet));
    c.wild[j] = below(4) == 0 ? static_cast<std::uint8_t>(1 + below(255)) : 0;
  }
  c.offset = below(50) - 25;
  c.occur = below(8) - 1;
  return c;
}

// Every strategy against the plain scan on random cases.
TEST(FindSignature, AgreesWithThePlainScanOnRandomCases) {
  std::mt19937 random(20261207);
  for (int round = 0; round < 20000; ++round) {
    const RandomCase c = MakeRandomCase(round, random);
    const std::int32_t expected = reference::PlainScan(c.image, c.sig, c.wild, c.offset, c.occur);
    for (const Strategy strategy : kStrategies) {
      ASSERT_EQ(FindSignatureUsing(strategy, c.image, c.sig, c.wild, c.offset, c.occur), expected)
          << "round " << round << " strategy " << static_cast<int>(strategy);
    }
    ASSERT_EQ(CountSignature(c.image, c.sig, c.wild), CountAll(c.image, c.sig, c.wild))
        << "round " << round;
  }
}

// Large images take the sampled path; planted occurrences near both ends.
TEST(FindSignature, AgreesWithThePlainScanOnLargeImages) {
  std::mt19937 random(7);
  for (int round = 0; round < 40; ++round) {
    const std::size_t size = 70000 + random() % 70000;
    B image(size);
    const bool zeros = round % 2 == 0;
    for (auto& b : image)
      b = zeros ? (random() % 50 == 0 ? 1 : 0) : static_cast<std::uint8_t>(random());
    const B sig = zeros ? B{0, 0, 1, 0} : B{0x4D, 0x5A, 0x90, 0x00, 0x03};
    const B wild = zeros ? B{0, 1, 0, 0} : B{0, 0, 1, 0, 0};
    for (int k = 0; k < 20; ++k) {
      const std::size_t at = random() % (size - sig.size());
      std::copy(sig.begin(), sig.end(), image.begin() + static_cast<std::ptrdiff_t>(at));
    }
    std::copy(sig.begin(), sig.end(), image.end() - static_cast<std::ptrdiff_t>(sig.size() + 1));
    for (const std::int32_t occur : {1, 2, 7, 19, 20, 21, 22, 500, 1300}) {
      const std::int32_t expected = reference::PlainScan(image, sig, wild, 3, occur);
      for (const Strategy strategy : kStrategies) {
        ASSERT_EQ(FindSignatureUsing(strategy, image, sig, wild, 3, occur), expected)
            << "round " << round << " occur " << occur;
      }
    }
  }
}

// An image large enough for the search to share its pieces between two
// threads, with occurrences at the first candidate, on both sides of the
// first pieces' edges (one straddling an edge belongs to the piece where it
// starts), in a cluster, and on the last candidate: the occurrence asked for
// is then found in the first piece (where no second thread starts), in a later
// piece whose own occurrences follow those of the pieces before it, or
// counted across every piece to nothing.
TEST(FindSignature, FindsEachOccurrenceWhereTwoThreadsShareTheImage) {
  constexpr std::size_t kMiB = std::size_t{1} << 20;
  std::mt19937 random(8);
  B image(33 * kMiB + 13);
  for (auto& b : image) b = static_cast<std::uint8_t>(random());
  const B sig = {0xC7, 0x05, 0x80, 0x07, 0x00, 0x00};
  const B wild = {0, 0, 1, 0, 0, 0};
  const std::vector<std::size_t> planted = {0,
                                            kMiB - 3,
                                            kMiB + 3,
                                            2 * kMiB,
                                            3 * kMiB + 7,
                                            3 * kMiB + 13,
                                            3 * kMiB + 20,
                                            20 * kMiB + 1,
                                            image.size() - 7};
  for (const std::size_t at : planted) {
    std::copy(sig.begin(), sig.end(), image.begin() + static_cast<std::ptrdiff_t>(at));
  }
  ASSERT_EQ(CountSignature(image, sig, wild), static_cast<std::int64_t>(planted.size()))
      << "random bytes that match by chance";
  for (std::int32_t occur = 1; occur <= static_cast<std::int32_t>(planted.size()) + 1; ++occur) {
    const std::size_t k = static_cast<std::size_t>(occur - 1);
    EXPECT_EQ(FindSignature(image, sig, wild, 2, occur),
              k < planted.size() ? static_cast<std::int32_t>(planted[k] + 2) : 0)
        << "occurrence " << occur;
  }
  EXPECT_EQ(FindSignature(image, sig, wild, 2, std::numeric_limits<std::int32_t>::max()), 0);
}

// A search of an image with no candidate has no piece, and wants none.
TEST(FindSignature, APieceSearchWithoutCandidatesWantsNoPiece) {
  const B image = {1, 2, 3};
  for (const bool count_all : {false, true}) {
    PieceSearch search(image, B{1, 2, 3}, B{0, 0, 0}, 1, 16, count_all);
    EXPECT_EQ(search.Pieces(), 0u);
    EXPECT_FALSE(search.WantsMore());
    EXPECT_EQ(search.Finish().start, -1);
  }
}

// Images that the block scans find hard: runs of zeros of every length between
// short stretches of a few common byte values, so that blocks pass their filter
// places often, whole blocks match, and runs end anywhere inside a block.
B ZeroHeavyImage(std::size_t size, std::mt19937& random) {
  B image;
  image.reserve(size);
  while (image.size() < size) {
    const std::size_t zeros = random() % 4 == 0 ? random() % 300 : random() % 40;
    image.insert(image.end(), std::min(zeros, size - image.size()), 0);
    const std::size_t others = random() % 6;
    for (std::size_t k = 0; k < others && image.size() < size; ++k) {
      constexpr std::uint8_t kCommon[] = {0x01, 0xFF, 0x48, 0x80};
      image.push_back(random() % 3 == 0 ? static_cast<std::uint8_t>(random())
                                        : kCommon[random() % 4]);
    }
  }
  return image;
}

// A signature of length n made mostly of zeros: each place wild with a chance of
// 1 in 5 and otherwise zero, a few of them 01 or FF; the first or the last place
// is made wild now and then, so that the fixed places do not span the signature.
void ZeroHeavySignature(std::size_t n, std::mt19937& random, B& sig, B& wild) {
  sig.assign(n, 0);
  wild.assign(n, 0);
  const bool one_byte = random() % 2 == 0;
  for (std::size_t j = 0; j < n; ++j) {
    if (random() % 5 == 0) wild[j] = static_cast<std::uint8_t>(1 + random() % 9);
    if (!one_byte && random() % 8 == 0) sig[j] = random() % 2 == 0 ? 0x01 : 0xFF;
    if (wild[j] != 0) sig[j] = static_cast<std::uint8_t>(random());  // ignored
  }
  if (random() % 4 == 0) wild[0] = 1;
  if (random() % 4 == 0) wild[n - 1] = 1;
}

TEST(FindSignature, AgreesWithThePlainScanOnZeroHeavyImages) {
  std::mt19937 random(1208);
  for (int round = 0; round < 400; ++round) {
    // Sizes around one and two blocks of 16 and 32 candidates, then larger ones.
    const std::size_t size = round < 200 ? 1 + random() % 130 : 1000 + random() % 20000;
    const B image = ZeroHeavyImage(size, random);
    B sig, wild;
    // Up to 40 bytes, and now and then longer than the block scans' bit masks reach.
    ZeroHeavySignature(1 + random() % (round % 8 == 0 ? 140 : 40), random, sig, wild);
    ExpectAgreement(image, sig, wild, static_cast<std::int32_t>(random() % 20) - 10, random,
                    "round " + std::to_string(round));
  }
}

// On an image large enough for the plan to weigh a sample, the sample can
// overrule the byte table: here the table's rarest byte of the signature fills
// the image, and the two others come in stripes that never meet. The plan
// filters by those two and leaves the rare byte to the second look, which must
// still check it: a decoy that lacks any one fixed byte is no occurrence.
TEST(FindSignature, APlaceTheSampledPlanDoesNotFilterByIsStillChecked) {
  constexpr std::uint8_t kRareInTable = 0xB6;
  const B sig = {kRareInTable, 0x01, 0x02};
  const B wild(sig.size(), 0);
  B image(std::size_t{1} << 20, kRareInTable);
  for (std::size_t at = 0; at + 32 <= image.size(); at += 32) {
    image[at + 1] = 0x01;
    image[at + 18] = 0x02;
  }
  for (std::size_t j = 0; j < sig.size(); ++j) {
    const std::size_t decoy = 1000 + 64 * j;
    std::copy(sig.begin(), sig.end(), image.begin() + static_cast<std::ptrdiff_t>(decoy));
    image[decoy + j] = 0x03;
  }
  std::copy(sig.begin(), sig.end(), image.begin() + 800000);
  std::mt19937 random(2);
  ExpectAgreement(image, sig, wild, 3, random, "striped image");
  // The sample's first run starts at the image's first byte: read with
  // unreadable pages on both sides, it must stay inside.
  testing::GuardedBuffer guarded(image.size());
  std::copy(image.begin(), image.end(), guarded.Bytes().begin());
  for (const Strategy strategy : kStrategies) {
    EXPECT_EQ(FindSignatureUsing(strategy, guarded.Bytes(), sig, wild, 0, 1), 800000)
        << static_cast<int>(strategy);
  }
}

// Occurrences planted at every place around the edges of 16- and 32-byte blocks,
// on the last candidate, and just past it, for signature lengths 1 to 40.
TEST(FindSignature, FindsOccurrencesAcrossBlockEdgesAndOnTheLastCandidate) {
  std::mt19937 random(31);
  for (std::size_t n = 1; n <= 40; ++n) {
    for (const std::size_t size : {n + 1, n + 16, n + 31, n + 32, n + 33, n + 64, n + 100}) {
      B sig(n), wild(n);
      for (std::size_t j = 0; j < n; ++j) {
        sig[j] = static_cast<std::uint8_t>(0x80 + random() % 8);
        wild[j] = j % 7 == 3 ? 1 : 0;
      }
      const std::size_t last = size - n - 1;
      for (const std::size_t at :
           {std::size_t{0}, std::size_t{14}, std::size_t{15}, std::size_t{16}, std::size_t{17},
            std::size_t{30}, std::size_t{31}, std::size_t{32}, std::size_t{33}, std::size_t{63},
            last, last + 1}) {
        if (at + n > size) continue;
        B image(size);
        for (auto& b : image) b = static_cast<std::uint8_t>(random() % 0x80);
        std::copy(sig.begin(), sig.end(), image.begin() + static_cast<std::ptrdiff_t>(at));
        const std::string what = "n " + std::to_string(n) + " size " + std::to_string(size) +
                                 " at " + std::to_string(at);
        ExpectAgreement(image, sig, wild, 5, random, what);
        // All zeros around the planted occurrence, and the signature of zeros.
        B zeros(size, 0);
        zeros[at] = 1;
        B zero_sig(n, 0);
        ExpectAgreement(zeros, zero_sig, wild, 5, random, what + " zeros");
      }
    }
  }
}

// A million overlapping occurrences in long runs: the counting of whole runs
// and of whole blocks both stop on the exact occurrence.
TEST(FindSignature, CountsMillionsOfOccurrencesExactly) {
  std::mt19937 random(5);
  B image(std::size_t{3} << 19, 0);
  for (int k = 0; k < 40; ++k) image[random() % image.size()] = static_cast<std::uint8_t>(1 + k);
  image[image.size() - 1] = 0;
  for (const B& sig : {B{0}, B{0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0}, B(40, 0), B{0, 0, 7, 0}}) {
    B wild(sig.size(), 0);
    if (sig.size() > 3) wild[sig.size() / 2] = 1;
    ExpectAgreement(image, sig, wild, -1, random, "zero run, length " + std::to_string(sig.size()));
  }
  // Every candidate an occurrence: the count reaches size - n.
  const B all(std::size_t{1} << 20, 0);
  ExpectAgreement(all, B{0, 0, 0}, B{0, 1, 0}, 0, random, "all zeros");
}

// The one pass over small pieces, so that occurrences straddle pieces and the
// occurrence asked for lies pieces after the first, against the plain scan and
// a whole CRC-32: three random queries on one small image, then zero-heavy
// images whose runs of zeros the block scans count at once across pieces.
void ExpectPassAgrees(const B& image, const std::vector<SignatureQuery>& queries, std::size_t piece,
                      const std::string& what, bool share = true) {
  const PassResult pass = one_pass_internal::ChecksumAndFindInPieces(image, queries, piece, share);
  ASSERT_EQ(pass.crc, Crc32Of(image)) << what;
  ASSERT_EQ(pass.found.size(), queries.size());
  for (std::size_t k = 0; k < queries.size(); ++k) {
    const SignatureQuery& q = queries[k];
    ASSERT_EQ(pass.found[k].xpos, reference::PlainScan(image, q.sig, q.sigwild, q.xoffset, q.occur))
        << what << " query " << k << " piece " << piece;
    ASSERT_EQ(pass.found[k].ypos, reference::PlainScan(image, q.sig, q.sigwild, q.yoffset, q.occur))
        << what << " query " << k << " piece " << piece;
    ASSERT_EQ(pass.found[k].start, reference::PlainScan(image, q.sig, q.sigwild, 1, q.occur) - 1)
        << what << " query " << k << " piece " << piece;
    // A query that counts all finds the same occurrence and counts every one.
    ASSERT_EQ(pass.found[k].occurrences, q.count_all
                                             ? CountAll(image, B(q.sig.begin(), q.sig.end()),
                                                        B(q.sigwild.begin(), q.sigwild.end()))
                                             : -1)
        << what << " query " << k << " piece " << piece;
  }
}

TEST(ChecksumAndFind, AgreesWithThePlainScanAndCrc) {
  std::mt19937 random(22);
  for (int round = 0; round < 5000; ++round) {
    const RandomCase first = MakeRandomCase(round, random);
    std::vector<RandomCase> cases = {first};
    cases.reserve(3);  // the queries point into the cases
    std::vector<SignatureQuery> queries;
    for (int k = 0; k < 3; ++k) {
      if (k > 0) {
        cases.push_back(MakeRandomCase(round + k, random));
        cases.back().image = first.image;  // its own signature, not cut from this image
      }
      const RandomCase& c = cases.back();
      queries.push_back(
          {c.sig, c.wild, c.occur, c.offset, c.offset + static_cast<int>(k) * 3, k == round % 4});
    }
    ExpectPassAgrees(first.image, queries, 1 + random() % 40, "round " + std::to_string(round),
                     round % 2 == 0);
  }
  for (int round = 0; round < 60; ++round) {
    const B image = ZeroHeavyImage(1000 + random() % 20000, random);
    B sig, wild;
    ZeroHeavySignature(1 + random() % 40, random, sig, wild);
    const std::int32_t total = CountAll(image, sig, wild);
    std::vector<SignatureQuery> queries;
    for (const std::int32_t occur : {1, total / 3, total / 2 + 1, total, total + 1}) {
      queries.push_back({sig, wild, occur, -2, 7, occur % 2 == round % 2});
    }
    ExpectPassAgrees(image, queries, 1 + random() % 3000,
                     "zero-heavy round " + std::to_string(round));
  }
  // A large image, whose pieces two threads share.
  B large((std::size_t{5} << 20) + 13);
  for (std::uint8_t& byte : large) byte = static_cast<std::uint8_t>(random() % 4);
  const B sig(large.end() - 40, large.end() - 30);
  B wild(sig.size(), 0);
  wild[3] = 1;
  const std::int32_t total = CountAll(large, sig, wild);
  std::vector<SignatureQuery> queries;
  for (const std::int32_t occur : {1, total, total + 1}) {
    queries.push_back({sig, wild, occur, 2, 6});
  }
  // Counting alone, and a signature of wildcards only, whose every candidate counts.
  const B every(sig.size(), 1);
  queries.push_back({sig, wild, 0, 2, 6, true});
  queries.push_back({sig, every, 3, 0, 0, true});
  ExpectPassAgrees(large, queries, one_pass_internal::kPassPiece, "large image");
  ExpectPassAgrees(large, {}, one_pass_internal::kPassPiece, "large image, no query");
  // Every search done in the first piece of a file of many pieces: the later
  // pieces are checksummed only.
  B early(std::size_t{12} << 20, 0);
  std::copy(sig.begin(), sig.end(), early.begin() + 100);
  ExpectPassAgrees(early, {{sig, wild, 1, 2, 6}}, one_pass_internal::kPassPiece,
                   "occurrence in the first piece");
}

}  // namespace
}  // namespace quillfen
