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

double alignmentOffsetDb(const BandCurve& powers, const BandCurve& targetDb,
                         const BandFlags& belowNyquist) {
  const BandCurve& f = bandFrequencies();
  double p = 0.0;
  double t = 0.0;
  for (std::size_t k = 0; k < kBandCount; ++k) {
    if (!belowNyquist[k] || !inCorrectionRange(f[k])) continue;
    p += powers[k];
    t += std::pow(10.0, 0.1 * targetDb[k]);
  }
  return (p > 0.0 && t > 0.0) ? 10.0 * std::log10(t / p) : 0.0;
}

}  // namespace spectrapoise::dsp
