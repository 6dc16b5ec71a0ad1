// The signature scan with SSE2, which every x86-64 processor has: 16
// candidates at a time.
#include "engine/signature_scan.h"

#if defined(__SSE2__)
#include <emmintrin.h>

#define QUILLFEN_BLOCKS_TARGET
#include "engine/signature_blocks.h"
#endif

namespace quillfen::signature_internal {

#if defined(__SSE2__)

namespace {

struct Sse2 {
  using Type = __m128i;
  using Bits = std::uint32_t;
  static constexpr std::int64_t kWidth = 16;
  static constexpr Bits kFull = 0xFFFF;
  static constexpr std::int64_t kUnroll = 2;
  static Type Load(const std::uint8_t* at) {
    return _mm_loadu_si128(reinterpret_cast<const __m128i*>(at));
  }
  static Type Splat(std::uint8_t byte) { return _mm_set1_epi8(static_cast<char>(byte)); }
  static Type Equal(Type a, Type b) { return _mm_cmpeq_epi8(a, b); }
  static Type AndEqual(Type all, Type a, Type b) { return _mm_and_si128(all, Equal(a, b)); }
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

}  // namespace quillfen::signature_internal
