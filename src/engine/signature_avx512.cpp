// The signature scan with AVX-512BW: 64 candidates at a time, the comparisons
// of a block's filter places chained through a mask register. Built for any
// x86-64 processor; only the functions below use AVX-512 (by their target
// attribute), and signature.cpp calls them only where CpuHasAvx512Bw() says the
// processor and system run them.
#include "engine/signature_scan.h"

#if defined(__x86_64__) && (defined(__GNUC__) || defined(__clang__))
#define QUILLFEN_SIGNATURE_AVX512 1
#include <immintrin.h>

#define QUILLFEN_BLOCKS_TARGET __attribute__((target("avx512f,avx512bw,avx512vl,bmi2,popcnt")))
// Always inlined, so that no 64-byte vector is passed through the stack, which
// 64-bit Windows does not align to 64 bytes.
#define QUILLFEN_AVX512_INLINE \
  __attribute__((target("avx512f,avx512bw,avx512vl,bmi2,popcnt"), always_inline))
#include "engine/signature_blocks.h"
#endif

namespace quillfen::signature_internal {

#if defined(QUILLFEN_SIGNATURE_AVX512)

namespace {

struct Avx512 {
  using Type = __m512i;
  using Bits = std::uint64_t;
  static constexpr std::int64_t kWidth = 64;
  static constexpr Bits kFull = ~Bits{0};
  // Two blocks of 64 candidates per step of the loop that skips blocks.
  static constexpr std::int64_t kUnroll = 2;
  QUILLFEN_AVX512_INLINE static Type Load(const std::uint8_t* at) { return _mm512_loadu_si512(at); }
  QUILLFEN_AVX512_INLINE static Type Splat(std::uint8_t byte) {
    return _mm512_set1_epi8(static_cast<char>(byte));
  }
  // A comparison gives a mask register, not a vector.
  QUILLFEN_AVX512_INLINE static __mmask64 Equal(Type a, Type b) {
    return _mm512_cmpeq_epi8_mask(a, b);
  }
  // Compares only where all is set: the chain of a block's places stays in
  // mask registers.
  QUILLFEN_AVX512_INLINE static __mmask64 AndEqual(__mmask64 all, Type a, Type b) {
    return _mm512_mask_cmpeq_epi8_mask(all, a, b);
  }
  QUILLFEN_AVX512_INLINE static Bits Mask(__mmask64 a) { return static_cast<Bits>(a); }
};

}  // namespace

std::int64_t ScanAvx512(const Scan& scan) {
  return ScanWith<Avx512>(scan);
}

#else

std::int64_t ScanAvx512(const Scan& scan) {
  return ScanSse2(scan);
}

#endif

}  // namespace quillfen::signature_internal
