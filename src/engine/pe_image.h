#pragma once

// A bounds-checked reader of the parts of a Windows executable (PE32 or PE32+)
// that tell code from data: the headers, the sections, the import table with
// its address slots, the base relocations and the exception directory. It
// reads untrusted bytes: every offset is checked before use, counts are
// capped, and a file it cannot make sense of yields no image at all.

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <unordered_map>
#include <utility>
#include <vector>

namespace quillfen {

struct PeSection {
  std::string name;  // up to 8 characters, without trailing NULs
  std::uint32_t rva = 0;
  std::uint32_t virtual_size = 0;
  std::uint32_t raw_offset = 0;
  std::uint32_t raw_size = 0;
  std::uint32_t characteristics = 0;

  bool Executable() const { return (characteristics & 0x20000020u) != 0; }
};

struct PeImage {
  bool is64 = false;  // x86-64 (PE32+); else 32-bit x86
  std::uint64_t image_base = 0;
  std::uint32_t size_of_headers = 0;
  std::vector<PeSection> sections;
  // Each import address slot's address (image base included) and the name of
  // the function it holds ("#N" for one imported by ordinal).
  std::unordered_map<std::uint64_t, std::string> imports;
  // File offsets of the addresses the loader relocates, sorted, and the size
  // of each (4 in 32-bit images, 8 in 64-bit ones).
  std::vector<std::uint32_t> relocations;
  std::uint32_t relocation_size = 4;
  // File ranges [from, to) that hold no game value: the headers, the import
  // and relocation tables, the exception data and the sections that hold them.
  std::vector<std::pair<std::uint32_t, std::uint32_t>> refused;

  std::optional<std::uint32_t> FileOffsetOfRva(std::uint64_t rva) const;
  std::optional<std::uint32_t> FileOffsetOfVa(std::uint64_t va) const;
  std::optional<std::uint64_t> VaOfFileOffset(std::uint64_t offset) const;
  // The section whose raw bytes hold the file offset, or null.
  const PeSection* SectionAt(std::uint64_t offset) const;
  // Whether any of the bytes [offset, offset + size) lies in a refused range.
  bool Refused(std::uint64_t offset, std::uint64_t size) const;
};

// The file's image, or nothing when it is not a PE file of x86 or x86-64 code
// or its headers do not hold together.
std::optional<PeImage> ReadPeImage(std::span<const std::uint8_t> file);

}  // namespace quillfen
