#pragma once

// The one pass with a piece size of the caller's choice, so that the tests can
// make occurrences straddle pieces on small images and the benchmarks can
// time other piece sizes. ChecksumAndFind (one_pass.h) takes kPassPiece.

#include <cstddef>
#include <cstdint>
#include <span>

#include "engine/one_pass.h"

namespace quillfen::one_pass_internal {

// The bytes are read piece by piece, each piece while it fits the processor's
// cache: this fits the second-level cache of current processors.
constexpr std::size_t kPassPiece = std::size_t{256} << 10;

// ChecksumAndFind over pieces of `piece` bytes (at least 1).
PassResult ChecksumAndFindInPieces(std::span<const std::uint8_t> bytes,
                                   std::span<const SignatureQuery> queries, std::size_t piece);

}  // namespace quillfen::one_pass_internal
