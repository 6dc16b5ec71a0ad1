#pragma once

// Inside the CRC-32: folding with carry-less multiplication, shared by the
// 128-bit path (crc32.cpp) and the 512-bit one (crc32_avx512.cpp). Not for use
// outside src/engine/crc32*.cpp.

#include <cstddef>
#include <cstdint>

#if defined(__x86_64__) && (defined(__GNUC__) || defined(__clang__))
#define QUILLFEN_CRC_CLMUL 1
#include <immintrin.h>
#endif

namespace quillfen::crc32_internal {

constexpr std::uint32_t kPolynomial = 0xEDB88320u;

// x^bits modulo the polynomial, in the reflected form of the register (bit 31
// is the coefficient of x^0), shifted left by one as the 64-bit operand of a
// carry-less multiplication of reflected data wants it.
constexpr std::uint64_t FoldConstant(int bits) {
  std::uint32_t power = 0x80000000u;  // x^0
  for (int k = 0; k < bits; ++k) power = (power & 1u) ? (power >> 1) ^ kPolynomial : power >> 1;
  return std::uint64_t{power} << 1;
}

// Moving a 128-bit lane forward by `bytes`: its low half (the earlier data)
// is multiplied by x^(8 * bytes + 32), its high half by x^(8 * bytes - 32).
constexpr std::uint64_t FoldLow(int bytes) {
  return FoldConstant(8 * bytes + 32);
}
constexpr std::uint64_t FoldHigh(int bytes) {
  return FoldConstant(8 * bytes - 32);
}
static_assert(FoldLow(64) == 0x0154442BD4 && FoldHigh(64) == 0x01C6E41596);
static_assert(FoldLow(16) == 0x01751997D0 && FoldHigh(16) == 0x00CCAA009E);
static_assert(FoldConstant(64) == 0x0163CD6124);

#if defined(QUILLFEN_CRC_CLMUL)
#define QUILLFEN_CLMUL_TARGET __attribute__((target("pclmul,sse4.1")))

QUILLFEN_CLMUL_TARGET inline __m128i Load128(const std::uint8_t* at) {
  return _mm_loadu_si128(reinterpret_cast<const __m128i*>(at));
}

// The two constants that move a lane forward by kBytes, worked out while
// compiling: computed at run time they cost more than checksumming a few
// kilobytes, on every call.
template <int kBytes>
QUILLFEN_CLMUL_TARGET inline __m128i FoldBy() {
  constexpr std::uint64_t kHigh = FoldHigh(kBytes);
  constexpr std::uint64_t kLow = FoldLow(kBytes);
  return _mm_set_epi64x(static_cast<long long>(kHigh), static_cast<long long>(kLow));
}

// Moves a lane forward by the distance that k stands for and adds the next data.
QUILLFEN_CLMUL_TARGET inline __m128i Fold(__m128i lane, __m128i k, __m128i next) {
  const __m128i low = _mm_clmulepi64_si128(lane, k, 0x00);
  const __m128i high = _mm_clmulepi64_si128(lane, k, 0x11);
  return _mm_xor_si128(_mm_xor_si128(high, low), next);
}

// Folds the remaining whole 16-byte blocks into the lane, then reduces it to
// the 32-bit register: 128 bits to 64, then Barrett reduction by the
// polynomial and its quotient. `length` is a multiple of 16.
QUILLFEN_CLMUL_TARGET inline std::uint32_t FoldTailAndReduce(__m128i x1, const std::uint8_t* p,
                                                             std::size_t length) {
  const __m128i k3k4 = FoldBy<16>();
  const __m128i k5 = _mm_set_epi64x(0, static_cast<long long>(FoldConstant(64)));
  const __m128i poly = _mm_set_epi64x(0x01F7011641, 0x01DB710641);
  const __m128i low32 = _mm_setr_epi32(~0, 0, ~0, 0);
  for (; length >= 16; p += 16, length -= 16) x1 = Fold(x1, k3k4, Load128(p));
  __m128i x = _mm_xor_si128(_mm_srli_si128(x1, 8), _mm_clmulepi64_si128(x1, k3k4, 0x10));
  x = _mm_xor_si128(_mm_srli_si128(x, 4), _mm_clmulepi64_si128(_mm_and_si128(x, low32), k5, 0x00));
  __m128i t = _mm_clmulepi64_si128(_mm_and_si128(x, low32), poly, 0x10);
  t = _mm_clmulepi64_si128(_mm_and_si128(t, low32), poly, 0x00);
  return static_cast<std::uint32_t>(_mm_extract_epi32(_mm_xor_si128(x, t), 1));
}
#endif

}  // namespace quillfen::crc32_internal
