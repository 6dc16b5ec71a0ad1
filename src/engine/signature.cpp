#include "engine/signature.h"

#include <array>
#include <cstdint>
#include <cstring>
#include <vector>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace quillfen {

namespace signature_internal {

namespace {

// The start of an occurrence plus the offset. A sum that a signed 32-bit
// position cannot hold gives 0, not located, rather than a wrapped position
// somewhere else in the file.
std::int32_t ResultAt(std::int64_t start, std::int32_t offset) {
  const std::int64_t sum = start + offset;
  return sum > INT32_MAX || sum < INT32_MIN ? 0 : static_cast<std::int32_t>(sum);
}

struct Place {
  std::size_t index;
  std::uint8_t byte;
};

// The signature's fixed places, in signature order.
std::vector<Place> FixedPlaces(std::span<const std::uint8_t> sig,
                               std::span<const std::uint8_t> sigwild) {
  std::vector<Place> places;
  for (std::size_t j = 0; j < sig.size(); ++j) {
    // A missing flag counts as 0, so a short flag array cannot be read past its end.
    const std::uint8_t wild = j < sigwild.size() ? sigwild[j] : 0;
    if (wild == 0) places.push_back({j, sig[j]});
  }
  return places;
}

bool MatchesAt(const std::uint8_t* candidate, const std::vector<Place>& places) {
  for (const Place& place : places) {
    if (candidate[place.index] != place.byte) return false;
  }
  return true;
}

// Checks every candidate from 0 to last in ascending order.
std::int64_t EveryCandidate(const std::uint8_t* image, std::int64_t last,
                            const std::vector<Place>& places, std::int32_t occur) {
  std::int32_t count = 0;
  const Place first = places.front();
  for (std::int64_t p = 0; p <= last; ++p) {
    if (image[p + static_cast<std::int64_t>(first.index)] != first.byte) continue;
    if (MatchesAt(image + p, places) && ++count == occur) return p;
  }
  return -1;
}

// Every occurrence holds the rare byte at its place, so jumping from one place
// of that byte in the image to the next visits every occurrence in order.
std::int64_t RareByte(const std::uint8_t* image, std::int64_t last,
                      const std::vector<Place>& places, std::size_t rare, std::int32_t occur) {
  const Place key = places[rare];
  const auto shift = static_cast<std::int64_t>(key.index);
  const std::uint8_t* cursor = image + shift;
  const std::uint8_t* const end = image + last + shift + 1;
  std::int32_t count = 0;
  while (cursor < end) {
    const void* hit = std::memchr(cursor, key.byte, static_cast<std::size_t>(end - cursor));
    if (hit == nullptr) break;
    const auto* at = static_cast<const std::uint8_t*>(hit);
    const std::int64_t p = (at - image) - shift;
    if (MatchesAt(image + p, places) && ++count == occur) return p;
    cursor = at + 1;
  }
  return -1;
}

#if defined(__SSE2__)
// Tests 16 candidates at a time for two of the signature's fixed bytes at once
// and verifies only the candidates that hold both: on typical data a pair of
// rare bytes coincides so seldom that the scan runs at the speed of loading.
std::int64_t BytePair(const std::uint8_t* image, std::int64_t last,
                      const std::vector<Place>& places, std::size_t first, std::size_t second,
                      std::int32_t occur) {
  const auto shift_a = static_cast<std::int64_t>(places[first].index);
  const auto shift_b = static_cast<std::int64_t>(places[second].index);
  const __m128i want_a = _mm_set1_epi8(static_cast<char>(places[first].byte));
  const __m128i want_b = _mm_set1_epi8(static_cast<char>(places[second].byte));
  std::int32_t count = 0;
  std::int64_t p = 0;
  // A block of 16 candidates p .. p + 15 reads bytes up to p + 15 + n - 1,
  // which lie inside the image while p + 15 <= last.
  for (; p + 15 <= last; p += 16) {
    const __m128i a = _mm_loadu_si128(reinterpret_cast<const __m128i*>(image + p + shift_a));
    const __m128i b = _mm_loadu_si128(reinterpret_cast<const __m128i*>(image + p + shift_b));
    auto mask = static_cast<unsigned>(
        _mm_movemask_epi8(_mm_and_si128(_mm_cmpeq_epi8(a, want_a), _mm_cmpeq_epi8(b, want_b))));
    while (mask != 0) {
      const std::int64_t candidate = p + __builtin_ctz(mask);
      if (MatchesAt(image + candidate, places) && ++count == occur) return candidate;
      mask &= mask - 1;
    }
  }
  for (; p <= last; ++p) {
    if (MatchesAt(image + p, places) && ++count == occur) return p;
  }
  return -1;
}
#endif

// How often each byte value occurs in a sample spread over the image: 64 runs
// of 64 bytes. Only the choice of strategy depends on it, never a result.
constexpr std::int64_t kSampleRuns = 64;
constexpr std::int64_t kSampleRun = 64;
constexpr std::int64_t kSampleSize = kSampleRuns * kSampleRun;

std::array<std::uint32_t, 256> SampleHistogram(std::span<const std::uint8_t> image) {
  std::array<std::uint32_t, 256> counts{};
  const auto size = static_cast<std::int64_t>(image.size());
  const std::int64_t stride = size / kSampleRuns;
  for (std::int64_t run = 0; run < kSampleRuns; ++run) {
    const std::uint8_t* start = image.data() + run * stride;
    for (std::int64_t i = 0; i < kSampleRun; ++i) ++counts[start[i]];
  }
  return counts;
}

// Images below this size are scanned candidate by candidate: the whole scan
// costs less than choosing.
constexpr std::int64_t kSmallImage = 64 * 1024;
// When even the rarest fixed byte fills more than 1 in 16 image bytes, the
// jumps are too short for memchr to pay off.
constexpr std::uint32_t kCommonCount = kSampleSize / 16;

}  // namespace

std::int32_t FindSignatureUsing(Strategy strategy, std::span<const std::uint8_t> image,
                                std::span<const std::uint8_t> sig,
                                std::span<const std::uint8_t> sigwild, std::int32_t offset,
                                std::int32_t occur) {
  const auto size = static_cast<std::int64_t>(image.size());
  const auto n = static_cast<std::int64_t>(sig.size());
  const std::int64_t last = size - n - 1;
  if (last < 0 || occur <= 0) return 0;

  const std::vector<Place> places = FixedPlaces(sig, sigwild);
  if (places.empty()) {
    // Every candidate is an occurrence.
    return last + 1 >= occur ? ResultAt(occur - 1, offset) : 0;
  }
  if (strategy == Strategy::kAuto && size < kSmallImage) strategy = Strategy::kEveryCandidate;

  // The two fixed places whose bytes the sample shows least often; without a
  // sample, the last and the first place (any choice gives the same results).
  std::size_t rare = places.size() - 1;
  std::size_t second = 0;
  if (strategy != Strategy::kEveryCandidate && size >= kSampleSize) {
    const auto counts = SampleHistogram(image);
    for (std::size_t i = 0; i < places.size(); ++i) {
      if (counts[places[i].byte] < counts[places[rare].byte]) rare = i;
    }
    if (places.size() >= 2) {
      second = rare == 0 ? 1 : 0;
      for (std::size_t i = 0; i < places.size(); ++i) {
        if (i != rare && counts[places[i].byte] < counts[places[second].byte]) second = i;
      }
    }
    if (strategy == Strategy::kAuto && counts[places[rare].byte] > kCommonCount) {
      strategy = Strategy::kEveryCandidate;
    }
  }

  std::int64_t start = -1;
  if (strategy == Strategy::kEveryCandidate) {
    start = EveryCandidate(image.data(), last, places, occur);
  } else if (strategy == Strategy::kRareByte || places.size() < 2) {
    start = RareByte(image.data(), last, places, rare, occur);
  } else {
#if defined(__SSE2__)
    if (second == rare) second = rare == 0 ? 1 : 0;
    start = BytePair(image.data(), last, places, rare, second, occur);
#else
    start = RareByte(image.data(), last, places, rare, occur);
#endif
  }
  return start < 0 ? 0 : ResultAt(start, offset);
}

}  // namespace signature_internal

std::int32_t FindSignature(std::span<const std::uint8_t> image, std::span<const std::uint8_t> sig,
                           std::span<const std::uint8_t> sigwild, std::int32_t offset,
                           std::int32_t occur) {
  return signature_internal::FindSignatureUsing(signature_internal::Strategy::kAuto, image, sig,
                                                sigwild, offset, occur);
}

}  // namespace quillfen
