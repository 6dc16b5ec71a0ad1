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

// 64 candidates as two 256-bit halves: a 512-bit load at a place's shift
// would cross a cache line at every step, and processors that split 512-bit
// operations in two run the halves as fast. The comparisons of a block's
// places chain through mask registers, the halves joined into one 64-bit mask.
struct Avx512 {
  struct Type {
    __m256i low, high;
  };
  using Bits = std::uint64_t;
  static constexpr std::int64_t kWidth = 64;
  static constexpr Bits kFull = ~Bits{0};
  // Two blocks of 64 candidates per step of the loop that skips blocks.
  static constexpr std::int64_t kUnroll = 2;
  QUILLFEN_AVX512_INLINE static Type Load(const std::uint8_t* at) {
    return {_mm256_loadu_si256(reinterpret_cast<const __m256i*>(at)),
            _mm256_loadu_si256(reinterpret_cast<const __m256i*>(at + 32))};
  }
  QUILLFEN_AVX512_INLINE static Type Splat(std::uint8_t byte) {
    const __m256i all = _mm256_set1_epi8(static_cast<char>(byte));
    return {all, all};
  }
  QUILLFEN_AVX512_INLINE static __mmask64 Join(__mmask32 low, __mmask32 high) {
    return _mm512_kunpackd(static_cast<__mmask64>(high), static_cast<__mmask64>(low));
  }
  // A comparison gives a mask register, not a vector.
  QUILLFEN_AVX512_INLINE static __mmask64 Equal(Type a, Type b) {
    return Join(_mm256_cmpeq_epi8_mask(a.low, b.low), _mm256_cmpeq_epi8_mask(a.high, b.high));
  }
  // Compares only where all is set.
  QUILLFEN_AVX512_INLINE static __mmask64 AndEqual(__mmask64 all, Type a, Type b) {
    return Join(_mm256_mask_cmpeq_epi8_mask(static_cast<__mmask32>(all), a.low, b.low),
                _mm256_mask_cmpeq_epi8_mask(static_cast<__mmask32>(all >> 32), a.high, b.high));
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
