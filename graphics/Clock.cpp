#include "graphics/Clock.h"

#include <chrono>

namespace plugkit::canvas {

namespace {

double steadyNowMs() {
  const auto ns = std::chrono::duration_cast<std::chrono::nanoseconds>(
      std::chrono::steady_clock::now().time_since_epoch());
  return static_cast<double>(ns.count()) / 1e6;
}

double (*gSource)() = nullptr;

}  // namespace

double NowMs() { return gSource != nullptr ? gSource() : steadyNowMs(); }

void SetTimeSource(double (*source)()) { gSource = source; }

}  // namespace plugkit::canvas
