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

const BandCurve& bandOctaves() {
  static const BandCurve octaves = [] {
    BandCurve x{};
    for (std::size_t k = 0; k < kBandCount; ++k) x[k] = std::log2(bandFrequencies()[k] / 1000.0);
    return x;
  }();
  return octaves;
}

bool bandBelowNyquist(std::size_t k, double sampleRate) {
  if (!usableSampleRate(sampleRate)) return false;
  return sampleRate / 2.0 > bandFrequencies()[k] * kBandUpperEdge;
}

namespace {

bool alignmentBand(std::size_t k, const BandFlags& belowNyquist) {
  return belowNyquist[k] && inCorrectionRange(bandFrequencies()[k]);
}

}  // namespace

double alignmentTargetSum(const BandCurve& targetDb, const BandFlags& belowNyquist) {
  double t = 0.0;
  for (std::size_t k = 0; k < kBandCount; ++k) {
    if (alignmentBand(k, belowNyquist)) t += std::pow(10.0, 0.1 * targetDb[k]);
  }
  return t;
}

double alignmentOffsetDb(const BandCurve& powers, double targetSum,
                         const BandFlags& belowNyquist) {
  double p = 0.0;
  for (std::size_t k = 0; k < kBandCount; ++k) {
    if (alignmentBand(k, belowNyquist)) p += powers[k];
  }
  return (p > 0.0 && targetSum > 0.0) ? 10.0 * std::log10(targetSum / p) : 0.0;
}

double alignmentOffsetDb(const BandCurve& powers, const BandCurve& targetDb,
                         const BandFlags& belowNyquist) {
  return alignmentOffsetDb(powers, alignmentTargetSum(targetDb, belowNyquist), belowNyquist);
}

}  // namespace spectrapoise::dsp
