#pragma once

#include <cstdint>
#include <string>

#include "definitions/patch_entry.h"
#include "platform/system.h"

namespace quillfen::testing {

// The signature of the made-up game files below.
inline const Bytes kGameSig = {'Q', 'F', '!', 's', 'i', 'g'};

// `size` bytes of a pattern chosen by seed, with the signature at 100, the
// width at 108 and the height at 112 (little-endian).
inline Bytes GameFile(std::size_t size, std::uint8_t seed, std::int32_t width,
                      std::int32_t height) {
  Bytes bytes(size);
  for (std::size_t i = 0; i < bytes.size(); ++i) bytes[i] = static_cast<std::uint8_t>(i * 7 + seed);
  std::copy(kGameSig.begin(), kGameSig.end(), bytes.begin() + 100);
  for (int i = 0; i < 4; ++i) {
    bytes[108 + i] = static_cast<std::uint8_t>(static_cast<std::uint32_t>(width) >> (8 * i));
    bytes[112 + i] = static_cast<std::uint8_t>(static_cast<std::uint32_t>(height) >> (8 * i));
  }
  return bytes;
}

// An entry that finds the width and height of such a file by its signature.
inline PatchEntry GameEntry(const std::string& modfile, const std::string& undofile) {
  PatchEntry entry;
  entry.modfile = modfile;
  entry.undofile = undofile;
  entry.sig = kGameSig;
  entry.sigwild = Bytes(kGameSig.size(), 0);
  entry.hasx = entry.hasy = true;
  entry.xoffset = 8;
  entry.yoffset = 12;
  entry.occur = 1;
  return entry;
}

}  // namespace quillfen::testing
