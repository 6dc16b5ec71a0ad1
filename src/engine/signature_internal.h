#pragma once

// The signature search's ways of walking the candidates, each callable on its
// own so that the tests and benchmarks can hold every one against the plain
// scan whichever the processor would pick. FindSignature (signature.h) takes
// kAuto.

#include <cstddef>
#include <cstdint>
#include <span>

namespace quillfen::signature_internal {

// All give the same results; kAuto takes kEveryCandidate for images below
// 4 KiB and otherwise the widest block scan the processor runs, on two threads
// for images of 32 MiB and more.
enum class Strategy {
  kAuto,
  kEveryCandidate,  // compares each candidate's fixed bytes in turn
  kSse2Blocks,      // tests 16 candidates at once for up to 4 fixed bytes chosen by the
                    // plan, then for the others where some candidate holds those
  kAvx2Blocks,      // the same 32 candidates at once; only where CpuHasAvx2()
  kAvx512Blocks,    // the same 64 candidates at once; only where CpuHasAvx512Bw()
};

// Whether this processor runs the strategy.
bool Runs(Strategy strategy);

// `turn` turns the planned order of the fixed places of a block scan by that
// many (the first of them still serve as its filter). The order changes no
// result; the tests turn it so that every place takes every role.
std::int32_t FindSignatureUsing(Strategy strategy, std::span<const std::uint8_t> image,
                                std::span<const std::uint8_t> sig,
                                std::span<const std::uint8_t> sigwild, std::int32_t offset,
                                std::int32_t occur, std::size_t turn = 0);

}  // namespace quillfen::signature_internal
