#pragma once

// The CRC-32's implementations, each callable on its own so that the tests
// can hold every one against the others whichever the processor would pick.
// UpdateCrc32 (crc32.h) takes the fastest that the processor runs.

#include <cstddef>
#include <cstdint>

namespace quillfen::crc32_internal {

// Each feeds `length` bytes into a running CRC-32 register, without the
// inversions, and gives the same register.

// 16 table look-ups per 16 bytes: any processor.
std::uint32_t UpdateWithTables(std::uint32_t crc, const std::uint8_t* p, std::size_t length);
// Four 128-bit lanes folded with PCLMULQDQ: only where CpuHasClmul().
std::uint32_t UpdateWithClmul(std::uint32_t crc, const std::uint8_t* p, std::size_t length);
// Four 512-bit lanes folded with VPCLMULQDQ: only where CpuHasVpclmul().
std::uint32_t UpdateWithVpclmul(std::uint32_t crc, const std::uint8_t* p, std::size_t length);

}  // namespace quillfen::crc32_internal
