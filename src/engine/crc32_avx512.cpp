// The CRC-32 with VPCLMULQDQ: four 512-bit registers, each four 128-bit lanes,
// folded forward 256 bytes at a time. Built for any x86-64 processor; only
// these functions use AVX-512 (by their target attribute), and crc32.cpp calls
// them only where CpuHasVpclmul() says the processor and system run them.
#include "engine/crc32_fold.h"
#include "engine/crc32_internal.h"

namespace quillfen::crc32_internal {

#if defined(QUILLFEN_CRC_CLMUL)

namespace {

#define QUILLFEN_VPCLMUL_TARGET \
  __attribute__((target("avx512f,avx512bw,avx512vl,vpclmulqdq,pclmul,sse4.1")))
// Always inlined, so that no 64-byte vector is passed through the stack, which
// 64-bit Windows does not align to 64 bytes.
#define QUILLFEN_VPCLMUL_INLINE \
  __attribute__((target("avx512f,avx512bw,avx512vl,vpclmulqdq,pclmul,sse4.1"), always_inline))

QUILLFEN_VPCLMUL_INLINE inline __m512i Load512(const std::uint8_t* at) {
  return _mm512_loadu_si512(at);
}

// The masked forms of the broadcast and the extraction below give the same
// results as the plain ones, whose undefined pass-through values GCC 12 warns
// about.
template <int kBytes>
QUILLFEN_VPCLMUL_INLINE inline __m512i FoldBy512() {
  return _mm512_maskz_broadcast_i32x4(0xFFFF, FoldBy<kBytes>());
}

template <int kLane>
QUILLFEN_VPCLMUL_INLINE inline __m128i Lane(__m512i lanes) {
  return _mm512_maskz_extracti32x4_epi32(0xF, lanes, kLane);
}

// Each 128-bit lane moved forward by the distance k stands for, plus the next data.
QUILLFEN_VPCLMUL_INLINE inline __m512i Fold512(__m512i lanes, __m512i k, __m512i next) {
  return _mm512_ternarylogic_epi64(_mm512_clmulepi64_epi128(lanes, k, 0x00),
                                   _mm512_clmulepi64_epi128(lanes, k, 0x11), next, 0x96);
}

}  // namespace

QUILLFEN_VPCLMUL_TARGET std::uint32_t UpdateWithVpclmul(std::uint32_t crc, const std::uint8_t* p,
                                                        std::size_t length) {
  if (length < 256) return UpdateWithClmul(crc, p, length);
  // The bytes up to the next 64-byte boundary go first, so that every load
  // of the loop lies within one cache line: a long run of loads that each
  // straddle two lines reads memory markedly slower.
  if (const std::size_t head = (64 - reinterpret_cast<std::uintptr_t>(p) % 64) % 64;
      head != 0 && length - head >= 256) {
    crc = UpdateWithClmul(crc, p, head);
    p += head;
    length -= head;
  }
  const std::size_t folded = length & ~std::size_t{15};
  const std::uint8_t* const end = p + folded;
  const __m512i by256 = FoldBy512<256>();
  const __m512i by64 = FoldBy512<64>();
  __m512i z0 = _mm512_xor_si512(Load512(p),
                                _mm512_zextsi128_si512(_mm_cvtsi32_si128(static_cast<int>(crc))));
  __m512i z1 = Load512(p + 64);
  __m512i z2 = Load512(p + 128);
  __m512i z3 = Load512(p + 192);
  for (p += 256; end - p >= 256; p += 256) {
    z0 = Fold512(z0, by256, Load512(p));
    z1 = Fold512(z1, by256, Load512(p + 64));
    z2 = Fold512(z2, by256, Load512(p + 128));
    z3 = Fold512(z3, by256, Load512(p + 192));
  }
  z0 = Fold512(z0, by64, z1);
  z0 = Fold512(z0, by64, z2);
  z0 = Fold512(z0, by64, z3);
  for (; end - p >= 64; p += 64) z0 = Fold512(z0, by64, Load512(p));
  // The four lanes into the last one.
  __m128i x = Lane<3>(z0);
  x = Fold(Lane<2>(z0), FoldBy<16>(), x);
  x = Fold(Lane<1>(z0), FoldBy<32>(), x);
  x = Fold(Lane<0>(z0), FoldBy<48>(), x);
  crc = FoldTailAndReduce(x, p, static_cast<std::size_t>(end - p));
  return UpdateWithTables(crc, end, length - folded);
}

#else

std::uint32_t UpdateWithVpclmul(std::uint32_t crc, const std::uint8_t* p, std::size_t length) {
  return UpdateWithClmul(crc, p, length);
}

#endif

}  // namespace quillfen::crc32_internal
