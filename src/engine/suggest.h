#pragma once

#include <cstdint>
#include <functional>
#include <span>
#include <vector>

#include "platform/system.h"

namespace quillfen {

// How near the height must lie to the width, before or after it, in bytes.
inline constexpr std::int32_t kSuggestNear = 64;
// The longest signature proposed.
inline constexpr std::int32_t kSuggestMaxLength = 64;
// Every proposed signature holds this many bytes in a row that must match; the
// occurrences of such a run anchor the count of the signature's occurrences.
inline constexpr std::int32_t kSuggestAnchor = 4;

// One place where the width and height lie near each other in every edition of
// a game file, with a signature that finds it in all of them.
struct Suggestion {
  std::int32_t size = 4;           // bytes of each value: 2 or 4
  std::vector<std::int32_t> xpos;  // where the width lies, per edition
  std::vector<std::int32_t> ypos;  // where the height lies, per edition
  Bytes sig;
  Bytes sigwild;  // 1 where any byte may stand: the values, and bytes the editions differ in
  std::int32_t occur = 1;
  std::int32_t xoffset = 0;
  std::int32_t yoffset = 0;
  std::vector<std::int64_t> count;  // the signature's occurrences, per edition
};

// The most places an edition may hold: each takes a signature's growth and
// its confirmation, and more would make a list no one reads.
inline constexpr std::size_t kSuggestMaxPlaces = 1000;

struct SuggestResult {
  // The places found in each edition, up to the first that holds more than
  // kSuggestMaxPlaces; then nothing is suggested.
  std::vector<std::size_t> places;
  std::vector<Suggestion> suggestions;
};

// Called with the places examined so far and their number.
using SuggestProgress = std::function<void(std::size_t done, std::size_t total)>;

// Finds, in editions of at most kMaxGameFileSize bytes each, every place where
// `width` and `height` are stored as little-endian values of 2 or 4 bytes, the
// height within kSuggestNear bytes of the width, in every edition (at offsets
// that may differ), and grows for each the shortest signature that finds it
// with the same occurrence in every edition. Bytes the editions differ in, and
// the values themselves, are wildcards, and no other place matches once the
// values are patched to any of 0 to 65535, so the place is found with the same
// occurrence after patching. Every suggestion is confirmed by FindSignature
// and by reading the values as locating does. Best first: a signature that
// occurs once, then the smallest occurrence, the shortest, the nearest to the
// values.
SuggestResult SuggestSignatures(const std::vector<std::span<const std::uint8_t>>& editions,
                                std::int32_t width, std::int32_t height,
                                const SuggestProgress& progress = {});

}  // namespace quillfen
