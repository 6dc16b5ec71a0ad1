// The signature search as it was before the frequency-table plan and the
// AVX-512 scan, kept unchanged under quillfen::baseline so that the benchmarks
// can time it beside the current one in the same run. Not part of the product.
// The signature scan with SSE2, which every x86-64 processor has: 16
// candidates at a time.
#include "baseline/signature_scan.h"

#if defined(__SSE2__)
#include <emmintrin.h>

#define BASELINE_BLOCKS_TARGET
#include "baseline/signature_blocks.h"
#endif

namespace quillfen::baseline::signature_internal {

#if defined(__SSE2__)

namespace {

struct Sse2 {
  using Type = __m128i;
  static constexpr std::int64_t kWidth = 16;
  static constexpr std::uint32_t kFull = 0xFFFF;
  static Type Load(const std::uint8_t* at) {
    return _mm_loadu_si128(reinterpret_cast<const __m128i*>(at));
  }
  static Type Splat(std::uint8_t byte) { return _mm_set1_epi8(static_cast<char>(byte)); }
  static Type Equal(Type a, Type b) { return _mm_cmpeq_epi8(a, b); }
  static Type And(Type a, Type b) { return _mm_and_si128(a, b); }
  static std::uint32_t Mask(Type a) { return static_cast<std::uint32_t>(_mm_movemask_epi8(a)); }
};

}  // namespace

std::int64_t ScanSse2(const Scan& scan) {
  return ScanWith<Sse2>(scan);
}

#else

// Without SSE2 (not an x86-64 build), one candidate at a time.
std::int64_t ScanSse2(const Scan& scan) {
  return ScanOneByOne(scan, 0, 0);
}

#endif

}  // namespace quillfen::baseline::signature_internal
