#pragma once

// The one pass with a piece size of the caller's choice, so that the tests can
// make occurrences straddle pieces on small images and the benchmarks can
// time other piece sizes. ChecksumAndFind (one_pass.h) takes kPassPiece.

#include <cstddef>
#include <cstdint>
#include <span>

#include "engine/one_pass.h"

namespace quillfen::one_pass_internal {

// The bytes are read piece by piece, each piece while it is in the processor's
// cache, which the searches and the checksum (on its own thread, a few pieces
// ahead at most) share: a few pieces fit the last-level cache of current
// processors, and each piece pays for the round of searches it starts.
constexpr std::size_t kPassPiece = std::size_t{1} << 20;

// ChecksumAndFind over pieces of `piece` bytes (at least 1).
PassResult ChecksumAndFindInPieces(std::span<const std::uint8_t> bytes,
                                   std::span<const SignatureQuery> queries, std::size_t piece);

}  // namespace quillfen::one_pass_internal
