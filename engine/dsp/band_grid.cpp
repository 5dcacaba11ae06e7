#include "engine/dsp/band_grid.h"

#include <cmath>

namespace spectrapoise::dsp {

double bandFrequency(std::size_t k) {
  return std::pow(1000.0, static_cast<double>(k) / 179.0) * 20.0;
}

const BandCurve& bandFrequencies() {
  static const BandCurve frequencies = [] {
    BandCurve f{};
    for (std::size_t k = 0; k < kBandCount; ++k) f[k] = bandFrequency(k);
    return f;
  }();
  return frequencies;
}

bool bandBelowNyquist(std::size_t k, double sampleRate) {
  if (!usableSampleRate(sampleRate)) return false;
  return sampleRate / 2.0 > bandFrequencies()[k] * kBandUpperEdge;
}

}  // namespace spectrapoise::dsp
