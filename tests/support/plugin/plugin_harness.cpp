#include "tests/support/plugin/plugin_harness.h"

#include "engine/dsp/correction_filters.h"
#include "tests/support/signals/test_signals.h"

namespace sp::test {

Stereo pinkNoise(std::size_t frames, double rms, std::uint32_t seed) {
  constexpr std::size_t kPeriod = std::size_t{1} << 17;
  const std::vector<float> l = shapedNoise(kPeriod, 3.0103, 48000.0, 20.0, rms, seed);
  const std::vector<float> r = shapedNoise(kPeriod, 3.0103, 48000.0, 20.0, rms, seed + 7919);
  Stereo s(frames);
  for (std::size_t i = 0; i < frames; ++i) {
    s.left[i] = l[i % kPeriod];
    s.right[i] = r[i % kPeriod];
  }
  return s;
}

Stereo coloured(const Stereo& in, const spectrapoise::dsp::CorrectionGains& gains, double rate) {
  spectrapoise::dsp::CorrectionFilters filters;
  filters.prepare(rate);
  filters.setTargets(gains, spectrapoise::dsp::Crossovers{});
  Stereo out = in;
  double* channels[2] = {out.left.data(), out.right.data()};
  filters.process(channels, 2, static_cast<int>(out.size()));
  return out;
}

Stereo sine(std::size_t frames, double frequency, double rate, double rms) {
  Stereo s(frames);
  const double amplitude = rms * std::sqrt(2.0);
  for (std::size_t i = 0; i < frames; ++i) {
    const double v = amplitude * std::sin(2.0 * M_PI * frequency * static_cast<double>(i) / rate);
    s.left[i] = v;
    s.right[i] = v;
  }
  return s;
}

}  // namespace sp::test
