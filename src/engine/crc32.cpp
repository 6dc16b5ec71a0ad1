#include "engine/crc32.h"

#include <array>

#include "platform/system.h"

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

}  // namespace

std::uint32_t UpdateCrc32(std::uint32_t crc, const std::uint8_t* bytes, std::int32_t count) {
  if (count <= 0) return crc;
  const std::uint8_t* p = bytes;
  std::size_t left = static_cast<std::size_t>(count);
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

std::int32_t FileCrc32(System& system, const std::string& path) {
  const Bytes content = system.ReadWholeFile(path);
  return Crc32Of(content);
}

}  // namespace quillfen
