#pragma once

#include <cstdint>
#include <span>

namespace quillfen {

// Finds occurrence `occur` (counting from 1, overlapping occurrences counted) of
// the signature in the image and returns its start plus offset, or 0 when it
// does not exist. A non-zero wildcard flag accepts any byte at that place. The
// candidates are 0 to size - n - 1: an occurrence must be followed by one byte.
// Only the first sig.size() flags are read; missing flags count as 0.
std::int32_t FindSignature(std::span<const std::uint8_t> image, std::span<const std::uint8_t> sig,
                           std::span<const std::uint8_t> sigwild, std::int32_t offset,
                           std::int32_t occur);

// How many occurrences FindSignature can choose from: the candidates (0 to
// size - n - 1) where the signature matches, overlapping ones counted.
std::int64_t CountSignature(std::span<const std::uint8_t> image, std::span<const std::uint8_t> sig,
                            std::span<const std::uint8_t> sigwild);

namespace signature_internal {

// The ways FindSignature can walk the candidates. All give the same results;
// kAuto takes kEveryCandidate for images below 4 KiB and otherwise the widest
// block scan the processor runs. Exposed for tests and benchmarks.
enum class Strategy {
  kAuto,
  kEveryCandidate,  // compares each candidate's fixed bytes in turn
  kRareByte,        // jumps with memchr between places of the signature's rarest fixed byte
  kBytePair,        // tests 16 candidates at once for the two rarest fixed bytes
  kSse2Blocks,      // tests 16 candidates at once for up to 4 fixed bytes chosen on a
                    // sample, then for the others where some candidate holds those
  kAvx2Blocks,      // the same 32 candidates at once; kSse2Blocks where CpuHasAvx2() is false
};

// Whether this processor runs the AVX2 block scan (asked once).
bool CpuHasAvx2();

std::int32_t FindSignatureUsing(Strategy strategy, std::span<const std::uint8_t> image,
                                std::span<const std::uint8_t> sig,
                                std::span<const std::uint8_t> sigwild, std::int32_t offset,
                                std::int32_t occur);

}  // namespace signature_internal

}  // namespace quillfen
