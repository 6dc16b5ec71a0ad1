#pragma once

#include <cstdint>
#include <span>

namespace quillfen::reference {

// The signature search written the plain way, candidate after candidate from
// the first signature byte: the reference that the fast search must agree with.
inline std::int32_t PlainScan(std::span<const std::uint8_t> image,
                              std::span<const std::uint8_t> sig,
                              std::span<const std::uint8_t> sigwild, std::int32_t offset,
                              std::int32_t occur) {
  const auto size = static_cast<std::int64_t>(image.size());
  const auto n = static_cast<std::int64_t>(sig.size());
  if (size - n - 1 < 0) return 0;
  std::int32_t count = 0;
  for (std::int64_t p = 0; p <= size - n - 1; ++p) {
    bool match = true;
    for (std::int64_t j = 0; j < n; ++j) {
      if (sigwild[j] != 0) continue;
      if (image[p + j] != sig[j]) {
        match = false;
        break;
      }
    }
    if (match) {
      ++count;
      if (count == occur) {
        const std::int64_t at = p + offset;
        return at > INT32_MAX || at < INT32_MIN ? 0 : static_cast<std::int32_t>(at);
      }
    }
  }
  return 0;
}

}  // namespace quillfen::reference
