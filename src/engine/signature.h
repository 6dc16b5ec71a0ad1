#pragma once

#include <cstdint>
#include <span>

namespace quillfen {

// Finds occurrence `occur` (counting from 1, overlapping occurrences counted) of
// the signature in the image and returns its start plus offset, or 0 when it
// does not exist. A non-zero wildcard flag accepts any byte at that place. The
// candidates are 0 to size - n - 1: an occurrence must be followed by one byte.
std::int32_t FindSignature(std::span<const std::uint8_t> image, std::span<const std::uint8_t> sig,
                           std::span<const std::uint8_t> sigwild, std::int32_t offset,
                           std::int32_t occur);

}  // namespace quillfen
