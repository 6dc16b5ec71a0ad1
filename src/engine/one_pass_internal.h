#pragma once

// The one pass with a piece size of the caller's choice, so that the tests can
// make occurrences straddle pieces on small images and the benchmarks can
// time other piece sizes. ChecksumAndFind (one_pass.h) takes kPassPiece.

#include <cstddef>
#include <cstdint>
#include <span>

#include "engine/one_pass.h"

namespace quillfen::one_pass_internal {

// The bytes are read piece by piece, each piece checksummed and then searched
// while it is in the cache of the thread that took it: a piece fits the
// second-level cache of current processors, and each piece pays for the round
// of searches it starts.
constexpr std::size_t kPassPiece = std::size_t{1} << 20;

// From this size on, ChecksumAndFind shares the pieces between two threads
// where the processor has a second core; smaller files are done before a
// thread would have started.
constexpr std::size_t kSharedFrom = std::size_t{4} << 20;

// ChecksumAndFind over pieces of `piece` bytes (at least 1), shared between
// two threads with `share`.
PassResult ChecksumAndFindInPieces(std::span<const std::uint8_t> bytes,
                                   std::span<const SignatureQuery> queries, std::size_t piece,
                                   bool share);

}  // namespace quillfen::one_pass_internal
