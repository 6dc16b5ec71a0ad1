#pragma once

namespace quillfen {

// What this processor runs beyond the x86-64 baseline, each asked once. Where
// the answer is false (another processor, another compiler) the engine takes
// its portable paths, which give the same results.

// AVX2 and POPCNT: the signature scan over 32 candidates at a time.
bool CpuHasAvx2();
// AVX-512 F, BW and VL with POPCNT and BMI2, and a system that saves the
// 512-bit registers: the signature scan over 64 candidates at a time.
bool CpuHasAvx512Bw();
// PCLMULQDQ and SSE4.1: the CRC-32 that folds 16 bytes at a time.
bool CpuHasClmul();
// VPCLMULQDQ with AVX-512 F, BW and VL, on a system that saves the 512-bit
// registers: the CRC-32 that folds 64 bytes at a time in each of four lanes.
bool CpuHasVpclmul();

}  // namespace quillfen
