#pragma once
// Which code path the engine's inner loops take. The baseline path runs on every x86-64
// processor (SSE2); the wide path uses AVX2 with FMA and runs only where the processor has
// both. The choice is made once, when the library is loaded, from the processor's features;
// the build itself never assumes more than SSE2. The meters, the correction filters and the
// transform take the chosen path when they are constructed, and each can be set to either
// path, which is how the tests compare the two. Any thread; nothing here fails.

namespace spectrapoise::dsp {

enum class SimdPath {
  baseline,  // SSE2
  wide,      // AVX2 and FMA
};

// True when this processor (and its operating system) runs AVX2 and FMA code.
bool wideSupported();

// The path chosen at load: wide where supported, else baseline.
SimdPath defaultSimdPath();

// The path that will run when `requested` is asked for: wide only where supported.
inline SimdPath usableSimdPath(SimdPath requested) {
  return requested == SimdPath::wide && wideSupported() ? SimdPath::wide : SimdPath::baseline;
}

// "baseline (SSE2)" or "wide (AVX2+FMA)".
const char* simdPathName(SimdPath path);

}  // namespace spectrapoise::dsp
