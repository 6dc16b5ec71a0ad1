// The signature search as it was before the frequency-table plan and the
// AVX-512 scan, kept unchanged under quillfen::baseline so that the benchmarks
// can time it beside the current one in the same run. Not part of the product.
// The signature scan with AVX2: 32 candidates at a time. Built for any x86-64
// processor; only the functions below use AVX2 (by their target attribute), and
// signature.cpp calls them only where CpuHasAvx2() says the processor runs them.
#include "baseline/signature_scan.h"

#if defined(__x86_64__) && (defined(__GNUC__) || defined(__clang__))
#define BASELINE_SIGNATURE_AVX2 1
#include <immintrin.h>

#define BASELINE_BLOCKS_TARGET __attribute__((target("avx2,popcnt")))
// Always inlined, so that no 32-byte vector is passed through the stack, which
// 64-bit Windows does not align to 32 bytes.
#define BASELINE_AVX2_INLINE __attribute__((target("avx2,popcnt"), always_inline))
#include "baseline/signature_blocks.h"
#endif

namespace quillfen::baseline::signature_internal {

#if defined(BASELINE_SIGNATURE_AVX2)

namespace {

struct Avx2 {
  using Type = __m256i;
  static constexpr std::int64_t kWidth = 32;
  static constexpr std::uint32_t kFull = 0xFFFFFFFF;
  BASELINE_AVX2_INLINE static Type Load(const std::uint8_t* at) {
    return _mm256_loadu_si256(reinterpret_cast<const __m256i*>(at));
  }
  BASELINE_AVX2_INLINE static Type Splat(std::uint8_t byte) {
    return _mm256_set1_epi8(static_cast<char>(byte));
  }
  BASELINE_AVX2_INLINE static Type Equal(Type a, Type b) { return _mm256_cmpeq_epi8(a, b); }
  BASELINE_AVX2_INLINE static Type And(Type a, Type b) { return _mm256_and_si256(a, b); }
  BASELINE_AVX2_INLINE static std::uint32_t Mask(Type a) {
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

}  // namespace quillfen::baseline::signature_internal
