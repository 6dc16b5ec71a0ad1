#include "engine/cpu_features.h"

namespace quillfen {

#if defined(__x86_64__) && (defined(__GNUC__) || defined(__clang__))

bool CpuHasAvx2() {
  static const bool has = __builtin_cpu_supports("avx2") && __builtin_cpu_supports("popcnt");
  return has;
}

bool CpuHasClmul() {
  static const bool has = __builtin_cpu_supports("pclmul") && __builtin_cpu_supports("sse4.1");
  return has;
}

#else

bool CpuHasAvx2() {
  return false;
}

bool CpuHasClmul() {
  return false;
}

#endif

}  // namespace quillfen
