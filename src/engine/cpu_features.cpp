#include "engine/cpu_features.h"

#if defined(__x86_64__) && (defined(__GNUC__) || defined(__clang__))
#include <cpuid.h>

#include <cstdint>
#endif

namespace quillfen {

#if defined(__x86_64__) && (defined(__GNUC__) || defined(__clang__))

namespace {

// The CPUID bits the AVX-512 paths need, and whether the system saves the
// state they use: a processor can have AVX-512 while the system (an older
// kernel, a virtual machine, Windows 7 without its update) does not save the
// 512-bit registers on a task switch, and then using them corrupts other
// programs' state. XCR0 must have the SSE, AVX, opmask and both halves of the
// ZMM state enabled.
struct Avx512Support {
  bool bw = false;       // F, BW, VL, with POPCNT and BMI2
  bool vpclmul = false;  // VPCLMULQDQ, F, BW, VL, with PCLMULQDQ
};

Avx512Support AskAvx512() {
  Avx512Support support;
  unsigned eax = 0, ebx = 0, ecx = 0, edx = 0;
  if (__get_cpuid(1, &eax, &ebx, &ecx, &edx) == 0) return support;
  const bool osxsave = (ecx & (1u << 27)) != 0;
  const bool popcnt = (ecx & (1u << 23)) != 0;
  const bool pclmul = (ecx & (1u << 1)) != 0;
  if (!osxsave) return support;
  std::uint32_t xcr0_low = 0, xcr0_high = 0;
  __asm__ volatile("xgetbv" : "=a"(xcr0_low), "=d"(xcr0_high) : "c"(0));
  constexpr std::uint32_t kZmmState = 0xE6;  // SSE, AVX, opmask, ZMM0-15 high, ZMM16-31
  if ((xcr0_low & kZmmState) != kZmmState) return support;
  if (__get_cpuid_count(7, 0, &eax, &ebx, &ecx, &edx) == 0) return support;
  const bool avx512 = (ebx & (1u << 16)) != 0 &&  // AVX512F
                      (ebx & (1u << 30)) != 0 &&  // AVX512BW
                      (ebx & (1u << 31)) != 0;    // AVX512VL
  const bool bmi2 = (ebx & (1u << 8)) != 0;
  const bool vpclmulqdq = (ecx & (1u << 10)) != 0;
  support.bw = avx512 && popcnt && bmi2;
  support.vpclmul = avx512 && vpclmulqdq && pclmul;
  return support;
}

const Avx512Support& Avx512() {
  static const Avx512Support support = AskAvx512();
  return support;
}

}  // namespace

bool CpuHasAvx2() {
  static const bool has = __builtin_cpu_supports("avx2") && __builtin_cpu_supports("popcnt");
  return has;
}

bool CpuHasAvx512Bw() {
  return Avx512().bw;
}

bool CpuHasClmul() {
  static const bool has = __builtin_cpu_supports("pclmul") && __builtin_cpu_supports("sse4.1");
  return has;
}

bool CpuHasVpclmul() {
  return Avx512().vpclmul && CpuHasClmul();
}

#else

bool CpuHasAvx2() {
  return false;
}

bool CpuHasAvx512Bw() {
  return false;
}

bool CpuHasClmul() {
  return false;
}

bool CpuHasVpclmul() {
  return false;
}

#endif

}  // namespace quillfen
