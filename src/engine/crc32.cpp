#include "engine/crc32.h"

#include <array>
#include <stdexcept>
#include <vector>

#include "engine/cpu_features.h"
#include "engine/crc32_fold.h"
#include "engine/crc32_internal.h"

namespace quillfen {

namespace crc32_internal {
namespace {

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

}  // namespace

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

#if defined(QUILLFEN_CRC_CLMUL)
// Folding with carry-less multiplication: four 128-bit lanes are folded
// forward 64 bytes at a time, then into one lane, which FoldTailAndReduce
// brings to 32 bits. The bytes past the last whole 16 go through the tables.
QUILLFEN_CLMUL_TARGET std::uint32_t UpdateWithClmul(std::uint32_t crc, const std::uint8_t* p,
                                                    std::size_t length) {
  if (length < 64) return UpdateWithTables(crc, p, length);
  const std::size_t folded = length & ~std::size_t{15};
  const std::uint8_t* const end = p + folded;
  const __m128i k1k2 = FoldBy<64>();
  const __m128i k3k4 = FoldBy<16>();
  __m128i x1 = _mm_xor_si128(Load128(p), _mm_cvtsi32_si128(static_cast<int>(crc)));
  __m128i x2 = Load128(p + 16);
  __m128i x3 = Load128(p + 32);
  __m128i x4 = Load128(p + 48);
  for (p += 64; end - p >= 64; p += 64) {
    x1 = Fold(x1, k1k2, Load128(p));
    x2 = Fold(x2, k1k2, Load128(p + 16));
    x3 = Fold(x3, k1k2, Load128(p + 32));
    x4 = Fold(x4, k1k2, Load128(p + 48));
  }
  x1 = Fold(x1, k3k4, x2);
  x1 = Fold(x1, k3k4, x3);
  x1 = Fold(x1, k3k4, x4);
  crc = FoldTailAndReduce(x1, p, static_cast<std::size_t>(end - p));
  return UpdateWithTables(crc, end, length - folded);
}
#else
std::uint32_t UpdateWithClmul(std::uint32_t crc, const std::uint8_t* p, std::size_t length) {
  return UpdateWithTables(crc, p, length);
}
#endif

namespace {

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

}  // namespace
}  // namespace crc32_internal

std::uint32_t UpdateCrc32(std::uint32_t crc, const std::uint8_t* bytes, std::int32_t count) {
  using namespace crc32_internal;
  if (count <= 0) return crc;
  const auto length = static_cast<std::size_t>(count);
  if (CpuHasVpclmul()) return UpdateWithVpclmul(crc, bytes, length);
  if (CpuHasClmul()) return UpdateWithClmul(crc, bytes, length);
  return UpdateWithTables(crc, bytes, length);
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

std::uint32_t JoinCrc32(std::uint32_t crc, std::uint32_t piece, std::uint64_t length) {
  // Without inversions the register is linear: feeding bytes after `crc` gives
  // what zeros fed after it give, plus what the bytes fed after 0 give.
  return crc32_internal::ShiftByZeros(crc, length) ^ piece;
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
    result ^= crc32_internal::ShiftByZeros(
        own, static_cast<std::uint64_t>(size - change.position - length));
  }
  return static_cast<std::int32_t>(result);
}

}  // namespace quillfen
