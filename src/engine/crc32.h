#pragma once

#include <cstdint>
#include <span>
#include <string>

namespace quillfen {

// Feeds count bytes into a running CRC-32 (ISO-HDLC, reflected, polynomial
// EDB88320) without the initial or final inversion.
std::uint32_t UpdateCrc32(std::uint32_t crc, const std::uint8_t* bytes, std::int32_t count);

// The same over a buffer of any size.
std::uint32_t UpdateCrc32(std::uint32_t crc, std::span<const std::uint8_t> bytes);

// The register that UpdateCrc32 leaves after feeding `crc` a piece of `length`
// bytes, from `piece`, the register the same bytes leave when fed after 0: so
// pieces checksummed apart, in any order or on other threads, are joined in
// order. Takes O(log length).
std::uint32_t JoinCrc32(std::uint32_t crc, std::uint32_t piece, std::uint64_t length);

// The CRC-32 of a whole buffer, carried as a signed 32-bit integer.
std::int32_t Crc32Of(std::span<const std::uint8_t> bytes);

// A change of bytes in place: at `position`, the bytes `before` become the
// bytes `after` (of the same length).
struct ByteChange {
  std::int64_t position;
  std::span<const std::uint8_t> before;
  std::span<const std::uint8_t> after;
};

// The CRC-32 (as Crc32Of gives it) of content of `size` bytes whose CRC-32 is
// `crc`, once the changes are made in the order given: each change's `before`
// is what its bytes hold at that moment, so changes may overlap. Takes O(log
// size) per change and never reads the content: CRC-32 is linear, so a change
// adds the CRC of its difference shifted over the bytes that follow it. Throws
// std::out_of_range for a change that does not lie wholly inside the content or
// whose before and after differ in length.
std::int32_t Crc32AfterChanges(std::int32_t crc, std::int64_t size,
                               std::span<const ByteChange> changes);

}  // namespace quillfen
