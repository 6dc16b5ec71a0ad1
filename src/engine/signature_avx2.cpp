// The signature scan with AVX2: 32 candidates at a time. Built for any x86-64
// processor; only the functions below use AVX2 (by their target attribute), and
// signature.cpp calls them only where CpuHasAvx2() says the processor runs them.
#include "engine/signature_scan.h"

#if defined(__x86_64__) && (defined(__GNUC__) || defined(__clang__))
#define QUILLFEN_SIGNATURE_AVX2 1
#include <immintrin.h>

#define QUILLFEN_BLOCKS_TARGET __attribute__((target("avx2,popcnt")))
// Always inlined, so that no 32-byte vector is passed through the stack, which
// 64-bit Windows does not align to 32 bytes.
#define QUILLFEN_AVX2_INLINE __attribute__((target("avx2,popcnt"), always_inline))
#include "engine/signature_blocks.h"
#endif

namespace quillfen::signature_internal {

#if defined(QUILLFEN_SIGNATURE_AVX2)

namespace {

struct Avx2 {
  using Type = __m256i;
  using Bits = std::uint32_t;
  static constexpr std::int64_t kWidth = 32;
  static constexpr Bits kFull = 0xFFFFFFFF;
  // Four blocks of 32 candidates per step of the loop that skips blocks.
  static constexpr std::int64_t kUnroll = 4;
  QUILLFEN_AVX2_INLINE static Type Load(const std::uint8_t* at) {
    return _mm256_loadu_si256(reinterpret_cast<const __m256i*>(at));
  }
  QUILLFEN_AVX2_INLINE static Type Splat(std::uint8_t byte) {
    return _mm256_set1_epi8(static_cast<char>(byte));
  }
  QUILLFEN_AVX2_INLINE static Type Equal(Type a, Type b) { return _mm256_cmpeq_epi8(a, b); }
  QUILLFEN_AVX2_INLINE static Type AndEqual(Type all, Type a, Type b) {
    return _mm256_and_si256(all, _mm256_cmpeq_epi8(a, b));
  }
  QUILLFEN_AVX2_INLINE static std::uint32_t Mask(Type a) {
    return static_cast<std::uint32_t>(_mm256_movemask_epi8(a));
  }
};

}  // namespace

std::int64_t ScanAvx2(const Scan& scan) {
  return ScanWith<Avx2>(scan);
}

#else

std::int64_t ScanAvx2(const Scan& scan) {
  return ScanSse2(scan);
}

#endif

}  // namespace quillfen::signature_internal
