#include "engine/pe_image.h"

#include <algorithm>

namespace quillfen {

namespace {

// Bounds-checked little-endian reads: a read past the end gives nothing.
class Reader {
 public:
  explicit Reader(std::span<const std::uint8_t> bytes) : bytes_(bytes) {}

  bool Has(std::uint64_t at, std::uint64_t size) const {
    return at <= bytes_.size() && size <= bytes_.size() - at;
  }
  std::optional<std::uint64_t> Read(std::uint64_t at, int size) const {
    if (!Has(at, static_cast<std::uint64_t>(size))) return std::nullopt;
    std::uint64_t value = 0;
    for (int i = size - 1; i >= 0; --i) value = value << 8 | bytes_[at + static_cast<unsigned>(i)];
    return value;
  }
  std::uint32_t U16(std::uint64_t at, bool& ok) const { return Take(at, 2, ok); }
  std::uint32_t U32(std::uint64_t at, bool& ok) const { return Take(at, 4, ok); }
  std::uint64_t U64(std::uint64_t at, bool& ok) const {
    const auto value = Read(at, 8);
    ok = ok && value.has_value();
    return value.value_or(0);
  }
  std::uint8_t Byte(std::uint64_t at) const { return at < bytes_.size() ? bytes_[at] : 0; }
  std::uint64_t Size() const { return bytes_.size(); }

 private:
  std::uint32_t Take(std::uint64_t at, int size, bool& ok) const {
    const auto value = Read(at, size);
    ok = ok && value.has_value();
    return static_cast<std::uint32_t>(value.value_or(0));
  }
  std::span<const std::uint8_t> bytes_;
};

constexpr std::uint32_t kMaxSections = 96;
constexpr std::uint32_t kMaxImportModules = 4096;
constexpr std::uint32_t kMaxImportsPerModule = 1u << 16;
constexpr std::uint32_t kMaxNameLength = 256;

// The data directories read here.
constexpr int kImportDirectory = 1;
constexpr int kExceptionDirectory = 3;
constexpr int kRelocationDirectory = 5;
constexpr int kIatDirectory = 12;
constexpr int kDelayImportDirectory = 13;

// Section names whose whole contents are tables, never game values.
constexpr const char* kTableSections[] = {".pdata", ".xdata", ".reloc", ".idata", ".edata"};

void Refuse(PeImage& image, std::uint64_t from, std::uint64_t to) {
  if (to > from) {
    image.refused.emplace_back(
        static_cast<std::uint32_t>(std::min<std::uint64_t>(from, UINT32_MAX)),
        static_cast<std::uint32_t>(std::min<std::uint64_t>(to, UINT32_MAX)));
  }
}

// Refuses the file bytes of an RVA range, as far as the sections map it.
void RefuseRvaRange(PeImage& image, std::uint64_t rva, std::uint64_t size) {
  for (const PeSection& s : image.sections) {
    const std::uint64_t from = std::max<std::uint64_t>(rva, s.rva);
    const std::uint64_t to = std::min<std::uint64_t>(rva + size, std::uint64_t{s.rva} + s.raw_size);
    if (from < to) Refuse(image, s.raw_offset + (from - s.rva), s.raw_offset + (to - s.rva));
  }
}

std::string NameAt(const Reader& file, std::uint32_t offset) {
  std::string name;
  for (std::uint32_t i = 0; i < kMaxNameLength; ++i) {
    const std::uint64_t at = std::uint64_t{offset} + i;
    if (at >= file.Size()) return {};
    const std::uint8_t c = file.Byte(at);
    if (c == 0) return name;
    if (c < 0x20 || c > 0x7E) return {};
    name.push_back(static_cast<char>(c));
  }
  return name;
}

void ReadImports(const Reader& file, PeImage& image, std::uint32_t table_rva) {
  const int slot = image.is64 ? 8 : 4;
  const std::uint64_t ordinal_flag = image.is64 ? std::uint64_t{1} << 63 : std::uint64_t{1} << 31;
  for (std::uint32_t m = 0; m < kMaxImportModules; ++m) {
    const auto descriptor = image.FileOffsetOfRva(std::uint64_t{table_rva} + m * 20u);
    if (!descriptor) return;
    bool ok = true;
    const std::uint32_t lookup_rva = file.U32(*descriptor, ok);
    const std::uint32_t name_rva = file.U32(*descriptor + 12, ok);
    const std::uint32_t iat_rva = file.U32(*descriptor + 16, ok);
    if (!ok || (lookup_rva == 0 && name_rva == 0 && iat_rva == 0)) return;
    Refuse(image, *descriptor, *descriptor + 20);
    // The lookup table names the functions; without one, the slots themselves do.
    const std::uint32_t names_rva = lookup_rva != 0 ? lookup_rva : iat_rva;
    for (std::uint32_t i = 0; i < kMaxImportsPerModule; ++i) {
      const std::uint64_t step = std::uint64_t{i} * static_cast<unsigned>(slot);
      const auto entry = image.FileOffsetOfRva(names_rva + step);
      const auto address = image.FileOffsetOfRva(iat_rva + step);
      if (!entry) break;
      const auto value = file.Read(*entry, slot);
      if (!value || *value == 0) break;
      Refuse(image, *entry, *entry + static_cast<unsigned>(slot));
      if (address) Refuse(image, *address, *address + static_cast<unsigned>(slot));
      std::string name;
      if ((*value & ordinal_flag) != 0) {
        name = std::to_string(*value & 0xFFFF);
        name.insert(name.begin(), '#');
      } else if (const auto hint = image.FileOffsetOfRva(*value & 0x7FFFFFFF)) {
        name = NameAt(file, *hint + 2);
        Refuse(image, *hint, *hint + 2 + name.size() + 1);
      }
      if (!name.empty()) image.imports[image.image_base + iat_rva + step] = name;
    }
  }
}

void ReadRelocations(const Reader& file, PeImage& image, std::uint32_t rva, std::uint32_t size) {
  std::uint64_t done = 0;
  while (done + 8 <= size) {
    const auto block = image.FileOffsetOfRva(std::uint64_t{rva} + done);
    if (!block) break;
    bool ok = true;
    const std::uint32_t page = file.U32(*block, ok);
    const std::uint32_t length = file.U32(*block + 4, ok);
    if (!ok || length < 8 || done + length > size || !file.Has(*block, length)) break;
    for (std::uint32_t e = 8; e + 2 <= length; e += 2) {
      const std::uint32_t entry = file.U16(*block + e, ok);
      const std::uint32_t type = entry >> 12;
      // 3: a 32-bit address, 10: a 64-bit one; others (padding) carry none.
      if (type != 3 && type != 10) continue;
      if (const auto at = image.FileOffsetOfRva(std::uint64_t{page} + (entry & 0xFFF))) {
        image.relocations.push_back(*at);
      }
    }
    done += length;
  }
  std::sort(image.relocations.begin(), image.relocations.end());
}

}  // namespace

std::optional<std::uint32_t> PeImage::FileOffsetOfRva(std::uint64_t rva) const {
  if (rva < size_of_headers) return static_cast<std::uint32_t>(rva);
  for (const PeSection& s : sections) {
    if (rva >= s.rva && rva - s.rva < s.raw_size) {
      return static_cast<std::uint32_t>(s.raw_offset + (rva - s.rva));
    }
  }
  return std::nullopt;
}

std::optional<std::uint32_t> PeImage::FileOffsetOfVa(std::uint64_t va) const {
  if (va < image_base) return std::nullopt;
  return FileOffsetOfRva(va - image_base);
}

std::optional<std::uint64_t> PeImage::VaOfFileOffset(std::uint64_t offset) const {
  const PeSection* s = SectionAt(offset);
  if (!s) return std::nullopt;
  return image_base + s->rva + (offset - s->raw_offset);
}

const PeSection* PeImage::SectionAt(std::uint64_t offset) const {
  for (const PeSection& s : sections) {
    if (offset >= s.raw_offset && offset - s.raw_offset < s.raw_size) return &s;
  }
  return nullptr;
}

bool PeImage::Refused(std::uint64_t offset, std::uint64_t size) const {
  // The first range that ends after the offset is the only one that may overlap.
  const auto after =
      std::upper_bound(refused.begin(), refused.end(), offset,
                       [](std::uint64_t at, const std::pair<std::uint32_t, std::uint32_t>& r) {
                         return at < r.second;
                       });
  return after != refused.end() && offset + size > after->first;
}

namespace {

// The section table's entry at `at`, its raw bytes cut to the file and to the
// section's size in memory; false when the entry lies past the file's end.
bool ReadSection(const Reader& file, std::uint64_t at, PeSection& s) {
  bool ok = true;
  for (int c = 0; c < 8 && file.Byte(at + static_cast<unsigned>(c)) != 0; ++c) {
    s.name.push_back(static_cast<char>(file.Byte(at + static_cast<unsigned>(c))));
  }
  s.virtual_size = file.U32(at + 8, ok);
  s.rva = file.U32(at + 12, ok);
  s.raw_size = file.U32(at + 16, ok);
  s.raw_offset = file.U32(at + 20, ok);
  s.characteristics = file.U32(at + 36, ok);
  if (!ok) return false;
  // Raw bytes past the end of the file, or past the section's own size in
  // memory (alignment padding), hold nothing the program sees.
  if (s.raw_offset >= file.Size()) s.raw_size = 0;
  s.raw_size = static_cast<std::uint32_t>(std::min<std::uint64_t>(
      s.raw_size, file.Size() - std::min<std::uint64_t>(s.raw_offset, file.Size())));
  if (s.virtual_size != 0) s.raw_size = std::min(s.raw_size, s.virtual_size);
  return true;
}

// The headers, up to the end of the section table or the headers' stated
// size, and the sections the program never reads: those the loader drops
// (debug information), those no part of the image in memory, and the tables.
void RefuseHeadersAndUnread(const Reader& file, PeImage& image, std::uint64_t headers_end) {
  Refuse(image, 0, std::min<std::uint64_t>(headers_end, file.Size()));
  for (const PeSection& s : image.sections) {
    constexpr std::uint32_t kDiscardable = 0x02000000, kReadable = 0x40000000;
    if ((s.characteristics & kDiscardable) != 0 || (s.characteristics & kReadable) == 0 ||
        s.name.starts_with("/") || s.name.starts_with(".debug")) {
      Refuse(image, s.raw_offset, std::uint64_t{s.raw_offset} + s.raw_size);
    }
    for (const char* name : kTableSections) {
      if (s.name == name) Refuse(image, s.raw_offset, std::uint64_t{s.raw_offset} + s.raw_size);
    }
  }
}

// The unwind data the exception entries point at (in .xdata, or in .rdata
// where a linker merges it): each entry is begin, end and unwind address.
void RefuseUnwindData(const Reader& file, PeImage& image, std::uint32_t rva, std::uint32_t size) {
  for (std::uint32_t e = 0; e + 12 <= size && e < (1u << 24); e += 12) {
    const auto entry = image.FileOffsetOfRva(std::uint64_t{rva} + e);
    if (!entry) break;
    bool read = true;
    const std::uint32_t unwind = file.U32(*entry + 8, read);
    const auto info = image.FileOffsetOfRva(unwind);
    if (!read || !info) continue;
    // Version and flags, prologue size, code count, frame register; then the codes.
    const std::uint32_t codes = file.Byte(*info + 2);
    Refuse(image, *info, *info + 4 + ((codes + 1u) & ~1u) * 2);
  }
}

// The refused ranges sorted and merged, for a binary search.
void MergeRefused(PeImage& image) {
  auto& ranges = image.refused;
  std::sort(ranges.begin(), ranges.end());
  std::vector<std::pair<std::uint32_t, std::uint32_t>> merged;
  for (const auto& range : ranges) {
    if (!merged.empty() && range.first <= merged.back().second) {
      merged.back().second = std::max(merged.back().second, range.second);
    } else {
      merged.push_back(range);
    }
  }
  ranges = std::move(merged);
}

}  // namespace

std::optional<PeImage> ReadPeImage(std::span<const std::uint8_t> bytes) {
  const Reader file(bytes);
  bool ok = true;
  if (file.U16(0, ok) != 0x5A4D || !ok) return std::nullopt;
  const std::uint32_t pe = file.U32(0x3C, ok);
  if (!ok || file.U32(pe, ok) != 0x00004550 || !ok) return std::nullopt;
  const std::uint32_t machine = file.U16(pe + 4, ok);
  const std::uint32_t section_count = file.U16(pe + 6, ok);
  const std::uint32_t optional_size = file.U16(pe + 20, ok);
  const std::uint64_t optional = std::uint64_t{pe} + 24;
  const std::uint32_t magic = file.U16(optional, ok);
  if (!ok || section_count == 0 || section_count > kMaxSections) return std::nullopt;

  PeImage image;
  if (machine == 0x8664 && magic == 0x20B) {
    image.is64 = true;
    image.image_base = file.U64(optional + 24, ok);
  } else if (machine == 0x14C && magic == 0x10B) {
    image.image_base = file.U32(optional + 28, ok);
  } else {
    return std::nullopt;
  }
  image.relocation_size = image.is64 ? 8 : 4;
  image.size_of_headers = file.U32(optional + 60, ok);
  const std::uint64_t directories = optional + (image.is64 ? 112 : 96);
  const std::uint32_t directory_count = file.U32(directories - 4, ok);
  if (!ok) return std::nullopt;

  const std::uint64_t table = optional + optional_size;
  for (std::uint32_t i = 0; i < section_count; ++i) {
    PeSection s;
    if (!ReadSection(file, table + std::uint64_t{i} * 40, s)) return std::nullopt;
    image.sections.push_back(std::move(s));
  }
  RefuseHeadersAndUnread(
      file, image, std::max<std::uint64_t>(image.size_of_headers, table + section_count * 40ull));

  const auto directory = [&](int index) -> std::pair<std::uint32_t, std::uint32_t> {
    if (static_cast<std::uint32_t>(index) >= directory_count) return {0, 0};
    bool read = true;
    const std::uint64_t at = directories + static_cast<unsigned>(index) * 8u;
    const std::uint32_t rva = file.U32(at, read);
    const std::uint32_t size = file.U32(at + 4, read);
    return read ? std::pair{rva, size} : std::pair{0u, 0u};
  };
  for (const int index : {kImportDirectory, kExceptionDirectory, kRelocationDirectory,
                          kIatDirectory, kDelayImportDirectory}) {
    const auto [rva, size] = directory(index);
    if (rva != 0) RefuseRvaRange(image, rva, size);
  }
  if (const auto [rva, size] = directory(kExceptionDirectory); image.is64 && rva != 0) {
    RefuseUnwindData(file, image, rva, size);
  }
  if (const auto [rva, size] = directory(kImportDirectory); rva != 0) ReadImports(file, image, rva);
  if (const auto [rva, size] = directory(kRelocationDirectory); rva != 0) {
    ReadRelocations(file, image, rva, size);
  }
  MergeRefused(image);
  return image;
}

}  // namespace quillfen
