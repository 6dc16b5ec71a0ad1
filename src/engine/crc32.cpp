#include "engine/crc32.h"

#include <array>
#include <stdexcept>
#include <vector>

#if defined(__x86_64__) && (defined(__GNUC__) || defined(__clang__))
#define QUILLFEN_CRC_CLMUL 1
#include <immintrin.h>
#endif

#include "engine/cpu_features.h"

namespace quillfen {

namespace {

constexpr std::uint32_t kPolynomial = 0xEDB88320u;
constexpr int kSlices = 16;

using Tables = std::array<std::array<std::uint32_t, 256>, kSlices>;

// Table 0 is the standard byte-at-a-time table; table k advances a byte that
// lies k bytes before the end of a 16-byte block, so a block takes 16 look-ups
// that do not depend on each other.
constexpr Tables MakeTables() {
  Tables tables{};
  for (std::uint32_t b = 0; b < 256; ++b) {
    std::uint32_t crc = b;
    for (int bit = 0; bit < 8; ++bit) crc = (crc >> 1) ^ ((crc & 1u) ? kPolynomial : 0u);
    tables[0][b] = crc;
  }
  for (std::uint32_t b = 0; b < 256; ++b) {
    for (int k = 1; k < kSlices; ++k) {
      const std::uint32_t prev = tables[k - 1][b];
      tables[k][b] = (prev >> 8) ^ tables[0][prev & 0xFFu];
    }
  }
  return tables;
}

constexpr Tables kTables = MakeTables();
static_assert(kTables[0][1] == 0x77073096u && kTables[0][255] == 0x2D02EF8Du);

inline std::uint32_t Load32(const std::uint8_t* p) {
  return static_cast<std::uint32_t>(p[0]) | static_cast<std::uint32_t>(p[1]) << 8 |
         static_cast<std::uint32_t>(p[2]) << 16 | static_cast<std::uint32_t>(p[3]) << 24;
}

std::uint32_t UpdateWithTables(std::uint32_t crc, const std::uint8_t* p, std::size_t left) {
  while (left >= kSlices) {
    const std::uint32_t a = Load32(p) ^ crc;
    const std::uint32_t b = Load32(p + 4);
    const std::uint32_t c = Load32(p + 8);
    const std::uint32_t d = Load32(p + 12);
    crc = kTables[15][a & 0xFF] ^ kTables[14][(a >> 8) & 0xFF] ^ kTables[13][(a >> 16) & 0xFF] ^
          kTables[12][a >> 24] ^ kTables[11][b & 0xFF] ^ kTables[10][(b >> 8) & 0xFF] ^
          kTables[9][(b >> 16) & 0xFF] ^ kTables[8][b >> 24] ^ kTables[7][c & 0xFF] ^
          kTables[6][(c >> 8) & 0xFF] ^ kTables[5][(c >> 16) & 0xFF] ^ kTables[4][c >> 24] ^
          kTables[3][d & 0xFF] ^ kTables[2][(d >> 8) & 0xFF] ^ kTables[1][(d >> 16) & 0xFF] ^
          kTables[0][d >> 24];
    p += kSlices;
    left -= kSlices;
  }
  while (left-- > 0) crc = (crc >> 8) ^ kTables[0][(crc ^ *p++) & 0xFF];
  return crc;
}

// Polynomials modulo P in the reflected form of the register: bit 31 is the
// coefficient of x^0, bit 0 that of x^31.
constexpr std::uint32_t kOne = 0x80000000u;

// a * b modulo P.
constexpr std::uint32_t MultiplyModP(std::uint32_t a, std::uint32_t b) {
  std::uint32_t product = 0;
  for (std::uint32_t bit = kOne; bit != 0; bit >>= 1) {
    if (a & bit) product ^= b;
    b = (b & 1u) ? (b >> 1) ^ kPolynomial : b >> 1;  // b * x
  }
  return product;
}

// kPowers[k] = x^(8 * 2^k) modulo P: what 2^k zero bytes multiply a register by.
using Powers = std::array<std::uint32_t, 64>;
constexpr Powers MakePowers() {
  Powers powers{};
  powers[0] = kOne >> 8;  // x^8
  for (std::size_t k = 1; k < powers.size(); ++k) {
    powers[k] = MultiplyModP(powers[k - 1], powers[k - 1]);
  }
  return powers;
}
constexpr Powers kPowers = MakePowers();
static_assert(MultiplyModP(kOne, 0x12345678u) == 0x12345678u);

// The register that `zeros` zero bytes fed after it leave, with no inversion:
// the register times x^(8 * zeros) modulo P.
std::uint32_t ShiftByZeros(std::uint32_t crc, std::uint64_t zeros) {
  for (std::size_t k = 0; zeros != 0; ++k, zeros >>= 1) {
    if (zeros & 1u) crc = MultiplyModP(crc, kPowers[k]);
  }
  return crc;
}

#if defined(QUILLFEN_CRC_CLMUL)
#define QUILLFEN_CLMUL_TARGET __attribute__((target("pclmul,sse4.1")))

QUILLFEN_CLMUL_TARGET inline __m128i Load(const std::uint8_t* at) {
  return _mm_loadu_si128(reinterpret_cast<const __m128i*>(at));
}

// Moves a lane forward by the distance that k stands for and adds the next data.
QUILLFEN_CLMUL_TARGET inline __m128i Fold(__m128i lane, __m128i k, __m128i next) {
  const __m128i low = _mm_clmulepi64_si128(lane, k, 0x00);
  const __m128i high = _mm_clmulepi64_si128(lane, k, 0x11);
  return _mm_xor_si128(_mm_xor_si128(high, low), next);
}

// Folding with carry-less multiplication, for processors that have it: four
// 128-bit lanes are folded forward 64 bytes at a time by x^(512+-32) mod P,
// then into one lane, then reduced to 32 bits by Barrett reduction. The
// constants are powers of x modulo the polynomial, bit-reflected, and the
// polynomial itself with its Barrett quotient. Takes a multiple of 16 bytes,
// at least 64.
QUILLFEN_CLMUL_TARGET std::uint32_t UpdateWithClmul(std::uint32_t crc, const std::uint8_t* p,
                                                    std::size_t length) {
  const __m128i k1k2 = _mm_set_epi64x(0x01C6E41596, 0x0154442BD4);
  const __m128i k3k4 = _mm_set_epi64x(0x00CCAA009E, 0x01751997D0);
  const __m128i k5 = _mm_set_epi64x(0, 0x0163CD6124);
  const __m128i poly = _mm_set_epi64x(0x01F7011641, 0x01DB710641);
  const __m128i low32 = _mm_setr_epi32(~0, 0, ~0, 0);
  __m128i x1 = _mm_xor_si128(Load(p), _mm_cvtsi32_si128(static_cast<int>(crc)));
  __m128i x2 = Load(p + 16);
  __m128i x3 = Load(p + 32);
  __m128i x4 = Load(p + 48);
  p += 64;
  length -= 64;
  while (length >= 64) {
    x1 = Fold(x1, k1k2, Load(p));
    x2 = Fold(x2, k1k2, Load(p + 16));
    x3 = Fold(x3, k1k2, Load(p + 32));
    x4 = Fold(x4, k1k2, Load(p + 48));
    p += 64;
    length -= 64;
  }
  x1 = Fold(x1, k3k4, x2);
  x1 = Fold(x1, k3k4, x3);
  x1 = Fold(x1, k3k4, x4);
  while (length >= 16) {
    x1 = Fold(x1, k3k4, Load(p));
    p += 16;
    length -= 16;
  }

  // 128 bits to 64.
  __m128i x = _mm_xor_si128(_mm_srli_si128(x1, 8), _mm_clmulepi64_si128(x1, k3k4, 0x10));
  x = _mm_xor_si128(_mm_srli_si128(x, 4), _mm_clmulepi64_si128(_mm_and_si128(x, low32), k5, 0x00));
  // Barrett reduction to 32 bits.
  __m128i t = _mm_clmulepi64_si128(_mm_and_si128(x, low32), poly, 0x10);
  t = _mm_clmulepi64_si128(_mm_and_si128(t, low32), poly, 0x00);
  return static_cast<std::uint32_t>(_mm_extract_epi32(_mm_xor_si128(x, t), 1));
}
#endif

}  // namespace

std::uint32_t UpdateCrc32(std::uint32_t crc, const std::uint8_t* bytes, std::int32_t count) {
  if (count <= 0) return crc;
  std::size_t left = static_cast<std::size_t>(count);
#if defined(QUILLFEN_CRC_CLMUL)
  if (left >= 64 && CpuHasClmul()) {
    const std::size_t folded = left & ~std::size_t{15};
    crc = UpdateWithClmul(crc, bytes, folded);
    bytes += folded;
    left -= folded;
  }
#endif
  return UpdateWithTables(crc, bytes, left);
}

std::uint32_t UpdateCrc32(std::uint32_t crc, std::span<const std::uint8_t> bytes) {
  // Fed in pieces so that buffers beyond the signed 32-bit count work too.
  constexpr std::size_t kPiece = std::size_t{1} << 30;
  for (std::size_t done = 0; done < bytes.size(); done += kPiece) {
    const std::size_t piece = bytes.size() - done < kPiece ? bytes.size() - done : kPiece;
    crc = UpdateCrc32(crc, bytes.data() + done, static_cast<std::int32_t>(piece));
  }
  return crc;
}

std::int32_t Crc32Of(std::span<const std::uint8_t> bytes) {
  return static_cast<std::int32_t>(~UpdateCrc32(0xFFFFFFFFu, bytes));
}

std::int32_t Crc32AfterChanges(std::int32_t crc, std::int64_t size,
                               std::span<const ByteChange> changes) {
  // The content after the changes is the content before XOR a difference that
  // is zero outside the changed bytes. Without its inversions the CRC is linear
  // in the content, and the inversions cancel between before and after, so the
  // CRC after is the CRC before XOR the uninverted CRC of the difference; zero
  // bytes ahead of a change leave that CRC at zero, and the bytes behind it
  // shift it by zeros.
  auto result = static_cast<std::uint32_t>(crc);
  std::vector<std::uint8_t> difference;
  for (const ByteChange& change : changes) {
    const auto length = static_cast<std::int64_t>(change.before.size());
    if (change.after.size() != change.before.size() || change.position < 0 ||
        change.position > size || length > size - change.position) {
      throw std::out_of_range("a byte change outside the content");
    }
    difference.resize(change.before.size());
    for (std::size_t i = 0; i < difference.size(); ++i) {
      difference[i] = change.before[i] ^ change.after[i];
    }
    const std::uint32_t own = UpdateCrc32(0u, difference);
    result ^= ShiftByZeros(own, static_cast<std::uint64_t>(size - change.position - length));
  }
  return static_cast<std::int32_t>(result);
}

}  // namespace quillfen
