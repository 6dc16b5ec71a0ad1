#pragma once

#include <cstdint>
#include <climits>
#include <span>

namespace quillfen {

// Reads a little-endian value of `count` bytes (at most 4) at a position into
// a 32-bit integer that starts at zero. Only bytes inside the image are copied:
// a negative position or one at or past the end reads 0, and a value that runs
// past the end takes only the bytes up to it.
inline std::int32_t ReadValueAt(std::span<const std::uint8_t> image, std::int64_t position,
                                std::int32_t count) {
  const auto size = static_cast<std::int64_t>(image.size());
  if (position < 0 || position >= size || count <= 0) return 0;
  const std::int64_t available = size - position;
  const std::int64_t take = count > 4 ? 4 : (count < available ? count : available);
  std::uint32_t value = 0;
  for (std::int64_t i = 0; i < take && i < available; ++i) {
    value |= static_cast<std::uint32_t>(image[static_cast<std::size_t>(position + i)]) << (8 * i);
  }
  return static_cast<std::int32_t>(value);
}

// The largest game file that can be patched: positions, offsets and lengths
// are signed 32-bit numbers in the definition file and in the undo record, so
// no value of a larger file can be named soundly.
constexpr std::int64_t kMaxGameFileSize = INT32_MAX;

// Whether a typed value, written with `count` bytes, reads back as the same
// number: values of one to three bytes are read unsigned.
inline bool TypedValueFits(std::int32_t value, std::int32_t count) {
  if (count >= 4) return true;
  return value >= 0 && static_cast<std::int64_t>(value) < (std::int64_t{1} << (8 * count));
}

// Whether a value of `count` bytes at the position lies wholly inside a file of
// the given size and the count is one a 32-bit value can have.
inline bool ValueFits(std::int64_t position, std::int32_t count, std::int64_t size) {
  return count >= 1 && count <= 4 && position >= 0 && position + count <= size;
}

// Stores the lowest `count` bytes (1 to 4) of a value, little-endian, at data.
inline void StoreValue(std::uint8_t* data, std::int32_t value, std::int32_t count) {
  const auto bits = static_cast<std::uint32_t>(value);
  for (std::int32_t i = 0; i < count; ++i) data[i] = static_cast<std::uint8_t>(bits >> (8 * i));
}

}  // namespace quillfen
