#pragma once

// Inside the signature search: the scan that the SIMD paths carry out, one file
// per instruction set (signature_sse2.cpp, signature_avx2.cpp,
// signature_avx512.cpp), chosen in signature.cpp. Not for use outside
// src/engine/signature*.cpp.

#include <bit>
#include <cstddef>
#include <cstdint>

namespace quillfen::signature_internal {

struct Place {
  std::size_t index;  // place in the signature
  std::uint8_t byte;  // the byte it must hold
};

// One scan over the candidates 0 to last. Every fixed place of the signature is
// in places; the first `filter` of them (1 to 4) are tested for a whole block
// of candidates at once, the others only for blocks in which some candidate
// holds all the filter places. The order of the places changes no result.
struct Scan {
  const std::uint8_t* image;
  std::int64_t size;  // of the image
  std::int64_t last;  // size - n - 1, at least 0
  const Place* places;
  std::size_t count;   // at least 1
  std::size_t filter;  // 1 to min(4, count)
  std::int64_t occur;  // at least 1
  // When every fixed place holds the same byte (a signature of zeros with
  // wildcards), a run of that byte from p + low to p + high holds an occurrence
  // at p, which lets a scan count a long run's occurrences at once, and a block
  // is narrowed with one bit mask of its bytes that hold the byte (see Segment).
  bool one_byte;
  std::size_t low;   // the first fixed place
  std::size_t high;  // the last fixed place
  const struct Segment* segments;  // when one_byte: the fixed places, as segments
  std::size_t segment_count;
  int levels;  // the largest Segment::level
  // When not null and the scan finds no occurrence `occur`, it stores here how
  // many occurrences it counted, so that a search in pieces can go on counting.
  std::int64_t* counted;
};

// Consecutive fixed places low + start to low + start + length - 1 of a
// signature whose fixed places all hold one byte, with length 2^level + rest
// (rest < 2^level): a candidate holds them when the 2^level places from start
// and the 2^level places from start + rest all hold the byte.
struct Segment {
  std::size_t start;
  int level;
  std::size_t rest;
};

constexpr std::size_t kMaxFilter = 4;

// The start of occurrence `occur`, or -1 (with the count stored in
// scan.counted). Both give exactly what the plain scan gives.
std::int64_t ScanSse2(const Scan& scan);
std::int64_t ScanAvx2(const Scan& scan);    // only where CpuHasAvx2()
std::int64_t ScanAvx512(const Scan& scan);  // only where CpuHasAvx512Bw()

inline bool MatchesAt(const std::uint8_t* candidate, const Place* places, std::size_t count) {
  for (std::size_t k = 0; k < count; ++k) {
    if (candidate[places[k].index] != places[k].byte) return false;
  }
  return true;
}

// The candidates from `from` to the scan's last, one at a time; `found` is the
// number of occurrences before `from`.
inline std::int64_t ScanOneByOne(const Scan& scan, std::int64_t from, std::int64_t found) {
  for (std::int64_t p = from; p <= scan.last; ++p) {
    if (MatchesAt(scan.image + p, scan.places, scan.count) && ++found == scan.occur) return p;
  }
  if (scan.counted != nullptr) *scan.counted = found;
  return -1;
}

// The bit position of the r-th set bit (from 1) of mask, which has at least r.
template <class Bits>
inline int NthSetBit(Bits mask, std::int64_t r) {
  for (; r > 1; --r) mask &= mask - 1;
  return std::countr_zero(mask);
}

}  // namespace quillfen::signature_internal
