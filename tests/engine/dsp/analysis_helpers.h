#pragma once
// Helpers for driving a SpectrumAnalysis with test signals, and for building gains.

#include <cmath>
#include <cstddef>
#include <vector>

#include "engine/dsp/correction_filters.h"
#include "engine/dsp/spectrum_analysis.h"
#include "tests/support/signals/test_signals.h"

namespace sp::test {

// Feeds `frames` frames of a looping stereo buffer, starting at `offset`, times `gain`.
inline void feed(spectrapoise::dsp::SpectrumAnalysis& analysis, const StereoNoise& noise,
                 std::size_t frames, std::size_t offset = 0, float gain = 1.0f) {
  const std::size_t n = noise.left.size();
  for (std::size_t i = 0; i < frames; ++i) {
    const std::size_t j = (offset + i) % n;
    analysis.push(noise.left[j] * gain, noise.right[j] * gain);
  }
}

inline void feedConstant(spectrapoise::dsp::SpectrumAnalysis& analysis, std::size_t frames,
                         float value) {
  for (std::size_t i = 0; i < frames; ++i) analysis.push(value, value);
}

// Slope in dB per octave of a dB curve over bands [first, last], by least squares.
inline double slopePerOctave(const spectrapoise::dsp::BandCurve& db, std::size_t first,
                             std::size_t last) {
  double n = 0, sx = 0, sy = 0, sxx = 0, sxy = 0;
  for (std::size_t k = first; k <= last; ++k) {
    const double x = std::log2(spectrapoise::dsp::bandFrequency(k) / 1000.0);
    n += 1;
    sx += x;
    sy += db[k];
    sxx += x * x;
    sxy += x * db[k];
  }
  return (n * sxy - sx * sy) / (n * sxx - sx * sx);
}

// The five correction gains in dB, in their order.
inline spectrapoise::dsp::CorrectionGains gainsOf(double tilt, double low, double loMid,
                                                  double hiMid, double high) {
  spectrapoise::dsp::CorrectionGains g;
  g.tilt = tilt;
  g.low = low;
  g.loMid = loMid;
  g.hiMid = hiMid;
  g.high = high;
  return g;
}

// Seconds of simulated audio for long statistical runs: shorter under the sanitizers, where the
// statistics still hold at the tolerances used.
inline double simulatedSeconds(double seconds) {
#if defined(SP_ASAN_BUILD) || defined(SP_TSAN_BUILD)
  return seconds / 2.0;
#else
  return seconds;
#endif
}

}  // namespace sp::test
