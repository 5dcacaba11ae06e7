#pragma once
// Flush-to-zero and denormals-are-zero for the audio thread: switched on for the scope of
// the guard, the previous floating-point control state restored on every way out.
#include <xmmintrin.h>

namespace spectrapoise::plugin {

class ScopedFlushDenormals {
public:
  static constexpr unsigned kFlushToZero = 0x8000;
  static constexpr unsigned kDenormalsAreZero = 0x0040;

  ScopedFlushDenormals() : saved_(_mm_getcsr()) { _mm_setcsr(saved_ | kFlushToZero | kDenormalsAreZero); }
  ~ScopedFlushDenormals() { _mm_setcsr(saved_); }
  ScopedFlushDenormals(const ScopedFlushDenormals&) = delete;
  ScopedFlushDenormals& operator=(const ScopedFlushDenormals&) = delete;

private:
  unsigned saved_;
};

}  // namespace spectrapoise::plugin
