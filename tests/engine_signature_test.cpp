#include <gtest/gtest.h>

#include <random>
#include <vector>

#include "engine/signature.h"
#include "fuzz/plain_scan.h"

namespace quillfen {
namespace {

using signature_internal::FindSignatureUsing;
using signature_internal::Strategy;
using B = std::vector<std::uint8_t>;

constexpr Strategy kStrategies[] = {Strategy::kAuto, Strategy::kEveryCandidate, Strategy::kRareByte,
                                    Strategy::kBytePair};

// Every strategy must give the expected result.
void ExpectFound(const B& image, const B& sig, const B& wild, std::int32_t offset,
                 std::int32_t occur, std::int32_t expected) {
  EXPECT_EQ(reference::PlainScan(image, sig, wild, offset, occur), expected);
  for (const Strategy strategy : kStrategies) {
    EXPECT_EQ(FindSignatureUsing(strategy, image, sig, wild, offset, occur), expected)
        << "strategy " << static_cast<int>(strategy) << " occur " << occur;
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
}

TEST(FindSignature, ShortFlagArrayCountsMissingFlagsAsFixed) {
  const B image = {5, 6, 7, 0};
  EXPECT_EQ(FindSignature(image, B{5, 6}, B{}, 0, 1), 0);
  EXPECT_EQ(FindSignature(image, B{6, 7}, B{1}, 0, 1), 1);
}

// Random images, signatures cut from them, flags and occurrence numbers; sizes
// around the signature's length; every strategy against the plain scan.
TEST(FindSignature, AgreesWithThePlainScanOnRandomCases) {
  std::mt19937 random(20261207);
  auto below = [&](int n) { return static_cast<int>(random() % static_cast<unsigned>(n)); };
  for (int round = 0; round < 20000; ++round) {
    const int alphabet = 1 + below(round % 3 == 0 ? 2 : 256);  // small alphabets repeat a lot
    const int n = below(9);
    const int size = round % 10 == 0 ? below(n + 3) : below(300);
    B image(static_cast<std::size_t>(size));
    for (auto& b : image) b = static_cast<std::uint8_t>(below(alphabet));
    B sig(static_cast<std::size_t>(n));
    B wild(static_cast<std::size_t>(n));
    const int from = size > n ? below(size - n) : 0;
    for (int j = 0; j < n; ++j) {
      sig[j] = size > from + j && below(4) != 0 ? image[from + j]
                                                : static_cast<std::uint8_t>(below(alphabet));
      wild[j] = below(4) == 0 ? static_cast<std::uint8_t>(1 + below(255)) : 0;
    }
    const std::int32_t offset = below(50) - 25;
    const std::int32_t occur = below(8) - 1;
    const std::int32_t expected = reference::PlainScan(image, sig, wild, offset, occur);
    for (const Strategy strategy : kStrategies) {
      ASSERT_EQ(FindSignatureUsing(strategy, image, sig, wild, offset, occur), expected)
          << "round " << round << " strategy " << static_cast<int>(strategy);
    }
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

}  // namespace
}  // namespace quillfen
