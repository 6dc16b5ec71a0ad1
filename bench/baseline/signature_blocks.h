// The signature search as it was before the frequency-table plan and the
// AVX-512 scan, kept unchanged under quillfen::baseline so that the benchmarks
// can time it beside the current one in the same run. Not part of the product.
#pragma once

// The block scan of signature_scan.h, written once for every vector width:
// signature_sse2.cpp and signature_avx2.cpp each define BASELINE_BLOCKS_TARGET
// (the function attribute their instructions need, or nothing) and a vector
// type with kWidth, Load, Splat, Equal, And and Mask, then include this file.
// Only those two files include it.

#include <cstdint>

#include "baseline/signature_scan.h"

#if !defined(BASELINE_BLOCKS_TARGET)
#error "define BASELINE_BLOCKS_TARGET before including signature_blocks.h"
#endif

namespace quillfen::baseline::signature_internal {
namespace {


// Bit i: the block's candidate i holds the place's byte.
template <class Vec>
BASELINE_BLOCKS_TARGET inline std::uint32_t Holds(const std::uint8_t* block, const Place& place) {
  return Vec::Mask(Vec::Equal(Vec::Load(block + place.index), Vec::Splat(place.byte)));
}

// The first position from `from` on that does not hold `byte`, or `end`.
template <class Vec>
BASELINE_BLOCKS_TARGET std::int64_t RunEnd(const std::uint8_t* image, std::int64_t from,
                                           std::int64_t end, std::uint8_t byte) {
  const auto want = Vec::Splat(byte);
  for (; from + Vec::kWidth <= end; from += Vec::kWidth) {
    const std::uint32_t holds = Vec::Mask(Vec::Equal(Vec::Load(image + from), want));
    if (holds != Vec::kFull) return from + __builtin_ctz(~holds);
  }
  while (from < end && image[from] == byte) ++from;
  return from;
}

// For a signature whose fixed places all hold one byte, from a 64-bit window:
// bit t of holds tells whether the byte at low + t from the first candidate
// holds the byte. runs[a] bit t tells whether the 2^a bytes from there all do;
// a segment is two such runs. The result's bit i is set when the candidate i
// holds every fixed place, for the i whose places all lie in the window.
inline std::uint64_t SegmentsHeld(std::uint64_t holds, const Scan& scan) {
  std::uint64_t runs[7];
  runs[0] = holds;
  for (int a = 1; a <= scan.levels; ++a) runs[a] = runs[a - 1] & (runs[a - 1] >> (1u << (a - 1)));
  std::uint64_t all = ~std::uint64_t{0};
  for (std::size_t k = 0; k < scan.segment_count; ++k) {
    const Segment& segment = scan.segments[k];
    const std::uint64_t run = runs[segment.level];
    all &= (run & (run >> segment.rest)) >> segment.start;
  }
  return all;
}

// The largest high - low for which OneByteMask works, and how many bytes from
// block + low it reads.
constexpr std::size_t kOneByteSpan = 48;
constexpr std::int64_t kOneByteReach = 128;

// Bit i set when the block's candidate i holds every fixed place of a signature
// whose fixed places all hold one byte: one comparison of the block's window of
// kWidth + high - low bytes, then SegmentsHeld, once or for each half block.
template <class Vec>
BASELINE_BLOCKS_TARGET inline std::uint32_t OneByteMask(const std::uint8_t* block,
                                                         const Scan& scan) {
  constexpr std::size_t kWidth = Vec::kWidth;
  const auto want = Vec::Splat(scan.places[0].byte);
  const std::size_t window = kWidth + scan.high - scan.low;
  std::uint64_t holds[2] = {0, 0};
  for (std::size_t t = 0; t < window; t += kWidth) {
    holds[t / 64] |= std::uint64_t{Vec::Mask(Vec::Equal(Vec::Load(block + scan.low + t), want))}
                     << (t % 64);
  }
  if (window <= 64) return static_cast<std::uint32_t>(SegmentsHeld(holds[0], scan)) & Vec::kFull;
  // Wider than 64 bits (kWidth 32 only): 16 candidates at a time.
  const std::uint64_t first = SegmentsHeld(holds[0], scan) & 0xFFFF;
  const std::uint64_t second = SegmentsHeld((holds[0] >> 16) | (holds[1] << 48), scan) & 0xFFFF;
  return static_cast<std::uint32_t>(first | second << 16);
}

// Bit i set when the block's candidate i holds the kFilter filter places.
template <class Vec, std::size_t kFilter>
BASELINE_BLOCKS_TARGET inline __attribute__((always_inline)) std::uint32_t FilterMask(
    const std::uint8_t* block, const typename Vec::Type* want, const std::size_t* shift) {
  auto all = Vec::Equal(Vec::Load(block + shift[0]), want[0]);
  for (std::size_t k = 1; k < kFilter; ++k) {
    all = Vec::And(all, Vec::Equal(Vec::Load(block + shift[k]), want[k]));
  }
  return Vec::Mask(all);
}

// kFilter filter places are tested for every block of kWidth candidates without
// a branch. A block in which every candidate holds them, of a signature whose
// fixed places all hold one byte, may lie in a run of that byte: all candidates
// whose fixed places lie inside the run are occurrences, counted at once. Any
// other block in which some candidate holds the filter places is narrowed by
// the other places until only its occurrences are left, and those are counted
// at once.
template <class Vec, std::size_t kFilter>
BASELINE_BLOCKS_TARGET std::int64_t Blocks(const Scan& scan) {
  constexpr std::int64_t kWidth = Vec::kWidth;
  const std::uint8_t* const image = scan.image;
  const Place* const places = scan.places;
  typename Vec::Type want[kFilter];
  std::size_t shift[kFilter];
  for (std::size_t k = 0; k < kFilter; ++k) {
    want[k] = Vec::Splat(places[k].byte);
    shift[k] = places[k].index;
  }
  const auto low = static_cast<std::int64_t>(scan.low);
  const auto high = static_cast<std::int64_t>(scan.high);
  // A one-byte signature with more than a few places left after the filter
  // narrows its blocks by OneByteMask rather than place by place.
  const bool by_mask = scan.one_byte && scan.high - scan.low <= kOneByteSpan &&
                       scan.count > kFilter + 4;
  std::int64_t found = 0;
  std::int64_t p = 0;
  // The block p .. p + kWidth - 1 reads bytes up to p + kWidth - 1 + n - 1,
  // inside the image while p + kWidth - 1 <= last.
  while (p + kWidth - 1 <= scan.last) {
    // Two blocks at a time while neither has a candidate that holds the filter places.
    std::uint32_t mask = FilterMask<Vec, kFilter>(image + p, want, shift);
    while (mask == 0 && p + 3 * kWidth - 1 <= scan.last) {
      const std::uint32_t next = FilterMask<Vec, kFilter>(image + p + kWidth, want, shift);
      if (next != 0) {
        mask = next;
        p += kWidth;
        break;
      }
      p += 2 * kWidth;
      mask = FilterMask<Vec, kFilter>(image + p, want, shift);
    }
    if (mask == 0) {
      p += kWidth;
      continue;
    }
    const std::uint8_t* const block = image + p;
    if (scan.one_byte && mask == Vec::kFull) {
      // Candidates p to upto have all their fixed places inside the run.
      const std::int64_t run_end = RunEnd<Vec>(image, p + low, scan.size, places[0].byte);
      const std::int64_t upto = run_end - 1 - high < scan.last ? run_end - 1 - high : scan.last;
      if (upto >= p) {
        if (found + (upto - p + 1) >= scan.occur) return p + (scan.occur - found) - 1;
        found += upto - p + 1;
        p = upto + 1;
        continue;
      }
    }
    if (by_mask && p + low + kOneByteReach <= scan.size) {
      mask &= OneByteMask<Vec>(block, scan);
    } else {
      for (std::size_t k = kFilter; k < scan.count && mask != 0; ++k) {
        mask &= Holds<Vec>(block, places[k]);
      }
    }
    if (mask != 0) {
      const int hits = __builtin_popcount(mask);
      if (found + hits >= scan.occur) return p + NthSetBit(mask, scan.occur - found);
      found += hits;
    }
    p += kWidth;
  }
  return ScanOneByOne(scan, p, found);
}

template <class Vec>
std::int64_t ScanWith(const Scan& scan) {
  switch (scan.filter) {
    case 1:
      return Blocks<Vec, 1>(scan);
    case 2:
      return Blocks<Vec, 2>(scan);
    case 3:
      return Blocks<Vec, 3>(scan);
    default:
      return Blocks<Vec, 4>(scan);
  }
}

}  // namespace
}  // namespace quillfen::baseline::signature_internal
