#include "tests/support/signals/test_signals.h"

#include <fftw3.h>

#include <cmath>
#include <random>

namespace sp::test {

std::vector<float> shapedNoise(std::size_t length, double slopeDbPerOctave, double sampleRate,
                               double lowestHz, double rms, std::uint32_t seed) {
  const std::size_t bins = length / 2 + 1;
  fftwf_complex* spectrum = fftwf_alloc_complex(bins);
  float* signal = fftwf_alloc_real(length);
  std::mt19937 random(seed);
  std::uniform_real_distribution<double> unit(-1.0, 1.0);
  const double binHz = sampleRate / static_cast<double>(length);
  // Power density ~ f^-e with e = slope / (10 log10 2); the magnitude is its square root.
  const double exponent = -slopeDbPerOctave / (20.0 * std::log10(2.0));
  for (std::size_t b = 0; b < bins; ++b) {
    // A random phase: a point drawn uniformly in the unit disk, scaled onto the circle.
    double u, v, r2;
    do {
      u = unit(random);
      v = unit(random);
      r2 = u * u + v * v;
    } while (r2 > 1.0 || r2 < 1e-12);
    const double f = static_cast<double>(b) * binHz;
    double magnitude = 0.0;
    if (f >= lowestHz && b > 0 && b < bins - 1) {
      magnitude = exponent == 0.0 ? 1.0 : std::pow(f / 1000.0, exponent);
    }
    const double scale = magnitude / std::sqrt(r2);
    spectrum[b][0] = static_cast<float>(u * scale);
    spectrum[b][1] = static_cast<float>(v * scale);
  }
  fftwf_plan plan = fftwf_plan_dft_c2r_1d(static_cast<int>(length), spectrum, signal,
                                          FFTW_ESTIMATE);
  fftwf_execute(plan);
  fftwf_destroy_plan(plan);
  double sum = 0.0;
  for (std::size_t n = 0; n < length; ++n) sum += static_cast<double>(signal[n]) * signal[n];
  const double scale = rms / std::sqrt(sum / static_cast<double>(length));
  std::vector<float> out(length);
  for (std::size_t n = 0; n < length; ++n) out[n] = static_cast<float>(signal[n] * scale);
  fftwf_free(signal);
  fftwf_free(spectrum);
  return out;
}

namespace {
constexpr std::size_t kNoiseLength = std::size_t{1} << 20;
}

// The slope is set per octave of frequency, independent of the rate the buffer is played at,
// so one buffer serves every rate (48 kHz is only the reference for the low cut).
const StereoNoise& pinkNoise() {
  static const StereoNoise noise{shapedNoise(kNoiseLength, 3.0103, 48000.0, 5.0, 0.1, 11),
                                 shapedNoise(kNoiseLength, 3.0103, 48000.0, 5.0, 0.1, 12)};
  return noise;
}

const StereoNoise& whiteNoise() {
  static const StereoNoise noise{shapedNoise(kNoiseLength, 0.0, 48000.0, 5.0, 0.1, 21),
                                 shapedNoise(kNoiseLength, 0.0, 48000.0, 5.0, 0.1, 22)};
  return noise;
}

}  // namespace sp::test
