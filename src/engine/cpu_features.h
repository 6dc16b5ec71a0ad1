#pragma once

namespace quillfen {

// What this processor runs beyond the x86-64 baseline, each asked once. Where
// the answer is false (another processor, another compiler) the engine takes
// its portable paths, which give the same results.

// AVX2 and POPCNT: the signature scan over 32 candidates at a time.
bool CpuHasAvx2();
// PCLMULQDQ and SSE4.1: the CRC-32 that folds 16 bytes at a time.
bool CpuHasClmul();

}  // namespace quillfen
