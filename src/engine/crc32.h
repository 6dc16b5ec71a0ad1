#pragma once

#include <cstdint>
#include <span>
#include <string>

namespace quillfen {

class System;

// Feeds count bytes into a running CRC-32 (ISO-HDLC, reflected, polynomial
// EDB88320) without the initial or final inversion.
std::uint32_t UpdateCrc32(std::uint32_t crc, const std::uint8_t* bytes, std::int32_t count);

// The same over a buffer of any size.
std::uint32_t UpdateCrc32(std::uint32_t crc, std::span<const std::uint8_t> bytes);

// The CRC-32 of a whole buffer, carried as a signed 32-bit integer.
std::int32_t Crc32Of(std::span<const std::uint8_t> bytes);

// The CRC-32 of a whole file, read with writing by others denied.
std::int32_t FileCrc32(System& system, const std::string& path);

}  // namespace quillfen
