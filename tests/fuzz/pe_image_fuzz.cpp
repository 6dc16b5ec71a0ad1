// Fuzz target: the executable reader and the code scan on arbitrary bytes.
// Besides not crashing or hanging, every section's bytes the reader keeps lie
// in the file, its refused ranges are sorted and apart (the binary search of
// Refused relies on it), and every width or height the scan reports lies in
// the file, holds the value it names and is in no refused range.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <optional>
#include <span>

#include "engine/pe_image.h"
#include "engine/values.h"
#include "engine/x86_code.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::span<const std::uint8_t> file(data, size);
  const std::optional<quillfen::PeImage> image = quillfen::ReadPeImage(file);
  if (!image) return 0;
  for (const quillfen::PeSection& s : image->sections) {
    if (s.raw_size != 0 && std::uint64_t{s.raw_offset} + s.raw_size > size) std::abort();
  }
  for (std::size_t i = 0; i < image->refused.size(); ++i) {
    const auto [from, to] = image->refused[i];
    if (from > to || (i > 0 && from <= image->refused[i - 1].second)) std::abort();
  }

  constexpr std::int32_t kWidth = 1280, kHeight = 720;
  const quillfen::CodeScan scan = quillfen::ScanCode(file, *image, kWidth, kHeight);
  if (scan.moving.size() != (size + 63) / 64) std::abort();
  for (const quillfen::CodeValue& v : scan.values) {
    if (v.size != 2 && v.size != 4) std::abort();
    if (v.at < 0 || static_cast<std::uint64_t>(v.at) + static_cast<std::uint64_t>(v.size) > size) {
      std::abort();
    }
    if (quillfen::ReadValueAt(file, v.at, v.size) != (v.width ? kWidth : kHeight)) std::abort();
    if (image->Refused(static_cast<std::uint64_t>(v.at), static_cast<std::uint64_t>(v.size))) {
      std::abort();
    }
    if (v.instruction >= static_cast<std::int64_t>(size) || v.call_at >= static_cast<std::int64_t>(size)) {
      std::abort();
    }
  }
  return 0;
}
