// Correction filters: the designed responses, the audio-rate cascade against its closed form,
// the tilt slope, the 32-frame redesign rule, and channel handling.

#include <gtest/gtest.h>

#include <cmath>
#include <complex>
#include <limits>
#include <numbers>
#include <random>
#include <vector>

#include "engine/dsp/band_grid.h"
#include "engine/dsp/correction_filters.h"
#include "tests/engine/dsp/analysis_helpers.h"

namespace {

namespace dsp = spectrapoise::dsp;
namespace detail = spectrapoise::dsp::correction_detail;

using sp::test::gainsOf;

std::vector<double> randomSignal(std::size_t n, std::uint32_t seed) {
  std::mt19937 random(seed);
  std::uniform_real_distribution<double> value(-1.0, 1.0);
  std::vector<double> x(n);
  for (double& v : x) v = value(random);
  return x;
}

struct ResponseCase {
  const char* name;
  dsp::CorrectionGains gains;
  std::vector<std::pair<double, double>> points;  // frequency (Hz), expected dB
};

TEST(CorrectionDesign, ResponsesAt48kHz) {
  const std::vector<ResponseCase> cases = {
      {"tilt +3", gainsOf(3, 0, 0, 0, 0),
       {{20, -2.993}, {100, -2.825}, {1000, 0.0}, {10000, 2.870}, {20000, 2.994}}},
      {"low +6", gainsOf(0, 6, 0, 0, 0), {{20, 5.976}, {200, 3.000}, {2000, 0.024}}},
      {"high +6", gainsOf(0, 0, 0, 0, 6), {{600, 0.022}, {6000, 3.000}, {20000, 5.970}}},
      {"lo-mid +6", gainsOf(0, 0, 6, 0, 0), {{632.46, 6.000}, {200, 2.998}, {2000, 2.982}}},
  };
  for (const auto& c : cases) {
    const detail::Design d = detail::design(c.gains, {200, 2000, 6000}, 48000.0);
    for (auto [f, db] : c.points) {
      EXPECT_NEAR(detail::responseDb(d, f, 48000.0), db, 0.005) << c.name << " at " << f << " Hz";
    }
  }
}

TEST(CorrectionDesign, ZeroGainsAndUnusableRatesArePassThrough) {
  for (double rate : {44100.0, 0.0, -1.0, std::numeric_limits<double>::quiet_NaN(),
                      std::numeric_limits<double>::infinity()}) {
    const dsp::CorrectionGains gains = std::isfinite(rate) && rate > 0 ? dsp::CorrectionGains{}
                                                                       : gainsOf(3, -2, 1, 4, 6);
    for (const detail::Section& s : detail::design(gains, {}, rate)) {
      EXPECT_TRUE(detail::isPassThrough(s)) << rate;
      EXPECT_EQ(s.b0, 1.0);
    }
  }
  EXPECT_EQ(detail::tiltSlope(2.0, 0.0), 0.0);
  EXPECT_EQ(detail::responseCurve(detail::design({}, {}, 48000.0), std::nan("")), dsp::BandCurve{});
}

// Crossovers 200, 300, 400 Hz act as 200, 400, 800 Hz: the lo-mid peak sits at 283 Hz with
// Q = sqrt(2) and reaches its full gain there.
TEST(CorrectionDesign, CrossoversAreSpreadAndPeaksSpanThem) {
  const double fs = 48000.0;
  const detail::Design squeezed = detail::design(gainsOf(0, 0, 6, 0, 0), {200, 300, 400}, fs);
  const detail::Design spread = detail::design(gainsOf(0, 0, 6, 0, 0), {200, 400, 800}, fs);
  for (int s = 0; s < detail::kSectionCount; ++s) {
    EXPECT_EQ(squeezed[s].b0, spread[s].b0);
    EXPECT_EQ(squeezed[s].a1, spread[s].a1);
  }
  const double centre = std::sqrt(200.0 * 400.0);
  EXPECT_NEAR(detail::responseDb(squeezed, centre, fs), 6.0, 1e-9);
  // Q = sqrt(2) in the peak's alpha.
  const double w0 = 2 * std::numbers::pi * centre / fs;
  const double alpha = std::sin(w0) / (2 * std::sqrt(2.0));
  const double A = std::pow(10.0, 6.0 / 40.0);
  EXPECT_NEAR(squeezed[3].b0, (1 + alpha * A) / (1 + alpha / A), 1e-12);
  EXPECT_NEAR(detail::responseDb(squeezed, centre / 1.5, fs),
              detail::responseDb(squeezed, centre * 1.5, fs), 0.05);
}

// Section frequencies are capped at 0.49 fs: at 32 kHz a high crossover of 20 kHz puts the
// high shelf at 15,680 Hz, while the tilt pivot stays at 1 kHz.
TEST(CorrectionDesign, SectionFrequenciesStayBelowNyquist) {
  const double fs = 32000.0;
  const detail::Design high = detail::design(gainsOf(2, 0, 0, 0, 6), {200, 2000, 20000}, fs);
  const detail::Design capped = detail::design(gainsOf(2, 0, 0, 0, 6), {200, 2000, 15680}, fs);
  EXPECT_EQ(high[5].b0, capped[5].b0);
  EXPECT_EQ(high[5].a1, capped[5].a1);
  // The tilt pair keeps its pivot: a 2 dB tilt crosses 0 dB at 1 kHz.
  EXPECT_NEAR(detail::responseDb(detail::design(gainsOf(2, 0, 0, 0, 0), {}, fs), 1000.0, fs), 0.0,
              1e-9);
  for (const auto& s : high) {
    EXPECT_TRUE(std::isfinite(s.b0) && std::isfinite(s.a1) && std::isfinite(s.a2));
  }
}

TEST(TiltSlope, MatchesReferenceFiguresAndIsOdd) {
  EXPECT_NEAR(detail::tiltSlope(1.0, 48000.0), 0.28567, 5e-6);
  EXPECT_NEAR(detail::tiltSlope(3.0, 48000.0), 0.85680, 5e-6);
  EXPECT_EQ(detail::tiltSlope(0.0, 48000.0), 0.0);
  for (double g : {0.5, 1.0, 3.0, 6.0}) {
    for (double fs : {44100.0, 48000.0, 96000.0}) {
      EXPECT_NEAR(detail::tiltSlope(-g, fs), -detail::tiltSlope(g, fs), 1e-12);
    }
  }
}

// The audio path: an impulse through the cascade, transformed, equals the closed form.
TEST(CorrectionFilters, ImpulseResponseMatchesClosedForm) {
  const double fs = 48000.0;
  const dsp::CorrectionGains g = gainsOf(-1.5, 2, 1, -2, 1);
  const dsp::Crossovers x{150, 1800, 7000};
  dsp::CorrectionFilters filters;
  filters.prepare(fs);
  filters.setTargets(g, x);
  const std::size_t n = 16384;
  std::vector<double> left(n, 0.0), right(n, 0.0);
  left[0] = 1.0;
  right[0] = -1.0;
  double* channels[2] = {left.data(), right.data()};
  filters.process(channels, 2, static_cast<int>(n));
  const detail::Design d = detail::design(g, x, fs);
  for (std::size_t k = 0; k < dsp::kBandCount; k += 7) {
    const double f = dsp::bandFrequency(k);
    std::complex<double> h = 0.0;
    for (std::size_t i = 0; i < n; ++i) {
      h += left[i] * std::polar(1.0, -2 * std::numbers::pi * f * static_cast<double>(i) / fs);
    }
    EXPECT_NEAR(20 * std::log10(std::abs(h)), detail::responseDb(d, f, fs), 0.01) << f << " Hz";
  }
  for (std::size_t i = 0; i < n; ++i) ASSERT_EQ(right[i], -left[i]);
}

TEST(CorrectionFilters, ZeroGainsPassAudioThroughUnchanged) {
  dsp::CorrectionFilters filters;
  filters.prepare(44100.0);
  std::vector<double> left = randomSignal(1000, 1), right = randomSignal(1000, 2);
  const std::vector<double> l0 = left, r0 = right;
  double* channels[2] = {left.data(), right.data()};
  filters.process(channels, 2, 1000);
  for (std::size_t i = 0; i < left.size(); ++i) {
    ASSERT_EQ(left[i], l0[i]);
    ASSERT_EQ(right[i], r0[i]);
  }
}

// Runs the cascade one sample at a time in plain double arithmetic.
struct ReferenceCascade {
  detail::Design d;
  double z1[6] = {}, z2[6] = {};
  double run(double x) {
    for (int s = 0; s < 6; ++s) {
      const double y = d[s].b0 * x + z1[s];
      z1[s] = d[s].b1 * x - d[s].a1 * y + z2[s];
      z2[s] = d[s].b2 * x - d[s].a2 * y;
      x = y;
    }
    return x;
  }
};

// Blocks of 40 then 10 frames: looks before frames 0 and 32, countdown 24 then 14. New targets
// set between blocks wait for the next look.
TEST(CorrectionFilters, TargetsAreLookedAtEvery32FramesAcrossBlocks) {
  const double fs = 48000.0;
  const dsp::CorrectionGains a = gainsOf(2, 0, 0, 0, 0), b = gainsOf(0, 4, 0, 0, -3);
  dsp::CorrectionFilters filters;
  filters.prepare(fs);
  filters.setTargets(a, {});
  std::vector<double> x = randomSignal(40 + 10 + 64, 3);
  std::vector<double> y = x;
  double* ch[1] = {y.data()};
  filters.process(ch, 1, 40);
  EXPECT_EQ(filters.countdown(), 24);
  filters.setTargets(b, {});
  ch[0] = y.data() + 40;
  filters.process(ch, 1, 10);
  EXPECT_EQ(filters.countdown(), 14);
  EXPECT_EQ(filters.gains().tilt, 2.0);  // not looked at yet
  ch[0] = y.data() + 50;
  filters.process(ch, 1, 64);
  EXPECT_EQ(filters.gains().low, 4.0);
  EXPECT_EQ(filters.countdown(), 14);

  ReferenceCascade ref{detail::design(a, {}, fs)};
  for (std::size_t i = 0; i < x.size(); ++i) {
    if (i == 64) ref.d = detail::design(b, {}, fs);  // the look after 40 + 24 frames
    ASSERT_NEAR(y[i], ref.run(x[i]), 1e-12) << "frame " << i;
  }
}

TEST(CorrectionFilters, SmallTargetChangesDoNotRedesign) {
  dsp::CorrectionFilters filters;
  filters.prepare(48000.0);
  std::vector<double> buffer(32, 0.0);
  double* ch[1] = {buffer.data()};
  struct Case {
    double delta;
    bool redesigns;
  };
  for (Case c : {Case{1e-4, false}, Case{1.1e-4, true}}) {
    filters.prepare(48000.0);
    filters.setTargets(gainsOf(0, 0, c.delta, 0, 0), {});
    filters.process(ch, 1, 32);
    EXPECT_EQ(filters.gains().loMid != 0.0, c.redesigns) << c.delta;
    filters.prepare(48000.0);
    filters.setTargets({}, {200, 2000 + c.delta, 6000});
    filters.process(ch, 1, 1);
    EXPECT_EQ(filters.crossovers().mid != 2000.0, c.redesigns) << c.delta;
  }
}

// A non-finite target never reaches the design, not even next to a target that moved.
TEST(CorrectionFilters, NonFiniteTargetsAreIgnored) {
  const double nan = std::numeric_limits<double>::quiet_NaN();
  const double inf = std::numeric_limits<double>::infinity();
  struct Case {
    dsp::CorrectionGains gains;
    dsp::Crossovers crossovers;
  };
  for (Case c : {Case{gainsOf(nan, 3, 0, 0, 0), {}}, Case{gainsOf(0, inf, 0, 0, 0), {}},
                 Case{gainsOf(0, 3, 0, 0, 0), {nan, 2000, 6000}},
                 Case{gainsOf(0, 3, 0, 0, 0), {200, 2000, -inf}}}) {
    dsp::CorrectionFilters filters;
    filters.prepare(48000.0);
    filters.setTargets(gainsOf(1, 0, 0, 0, 0), {});
    std::vector<double> audio = randomSignal(96, 4);
    double* ch[1] = {audio.data()};
    filters.process(ch, 1, 32);
    filters.setTargets(c.gains, c.crossovers);
    ch[0] = audio.data() + 32;
    filters.process(ch, 1, 64);
    for (double v : audio) ASSERT_TRUE(std::isfinite(v));
    EXPECT_EQ(filters.gains().tilt, 1.0);
    EXPECT_EQ(filters.gains().low, 0.0);
    EXPECT_EQ(filters.crossovers().low, 200.0);
  }
}

// Only channels 0 and 1 are filtered; the stereo path gives each channel exactly what the
// single-channel path gives.
TEST(CorrectionFilters, ChannelHandling) {
  const dsp::CorrectionGains g = gainsOf(1, 3, -2, 2, -1);
  std::vector<double> in0 = randomSignal(300, 5), in1 = randomSignal(300, 6), in2 = randomSignal(300, 7);

  dsp::CorrectionFilters stereo;
  stereo.prepare(96000.0);
  stereo.setTargets(g, {});
  std::vector<double> s0 = in0, s1 = in1, s2 = in2;
  double* three[3] = {s0.data(), s1.data(), s2.data()};
  stereo.process(three, 3, 300);
  EXPECT_EQ(s2, in2);
  EXPECT_NE(s0, in0);

  for (int channel = 0; channel < 2; ++channel) {
    dsp::CorrectionFilters mono;
    mono.prepare(96000.0);
    mono.setTargets(g, {});
    std::vector<double> m = channel == 0 ? in0 : in1;
    std::vector<double> untouched = in2;
    double* one[2] = {m.data(), untouched.data()};
    mono.process(one, 1, 300);
    EXPECT_EQ(m, channel == 0 ? s0 : s1);
    EXPECT_EQ(untouched, in2);
  }

  // No frames, or no channels: nothing happens.
  dsp::CorrectionFilters idle;
  idle.prepare(48000.0);
  idle.setTargets(g, {});
  idle.process(three, 2, 0);
  EXPECT_EQ(idle.gains().low, 0.0);
  EXPECT_EQ(idle.countdown(), 0);
  const std::vector<double> before = s0;
  idle.process(three, 0, 100);
  EXPECT_EQ(s0, before);
}

}  // namespace
