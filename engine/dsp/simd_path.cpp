#include "engine/dsp/simd_path.h"

namespace spectrapoise::dsp {

namespace {

// Read once at load. The processor's feature bits are only trusted for AVX when the operating
// system saves the wide registers, which the compiler's feature test checks as well.
bool detectWide() {
#if defined(__x86_64__) || defined(__i386__)
  __builtin_cpu_init();
  return __builtin_cpu_supports("avx2") && __builtin_cpu_supports("fma");
#else
  return false;
#endif
}

}  // namespace

bool wideSupported() {
  static const bool wide = detectWide();
  return wide;
}

namespace {
// Makes the choice while the library loads, so no later caller (an audio thread among them)
// ever runs the one-time initialisation.
[[maybe_unused]] const bool kChosenAtLoad = wideSupported();
}  // namespace

SimdPath defaultSimdPath() { return wideSupported() ? SimdPath::wide : SimdPath::baseline; }

const char* simdPathName(SimdPath path) {
  return path == SimdPath::wide ? "wide (AVX2+FMA)" : "baseline (SSE2)";
}

}  // namespace spectrapoise::dsp
