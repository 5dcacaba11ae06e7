// The two code paths of the engine's inner loops on the same input: the wide one (AVX2 and
// FMA, taken where the processor has them) against the baseline (SSE2). The transform and the
// analysis give the same bits on both; the meters and the correction filters, which use fused
// multiply-adds on the wide path, agree to rounding.

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <limits>
#include <random>
#include <vector>

#include "engine/dsp/correction_filters.h"
#include "engine/dsp/correction_fit.h"
#include "engine/dsp/loudness_meter.h"
#include "engine/dsp/real_fft.h"
#include "engine/dsp/simd_path.h"
#include "engine/dsp/spectrum_analysis.h"
#include "engine/dsp/true_peak_meter.h"
#include "tests/engine/dsp/analysis_helpers.h"
#include "tests/engine/dsp/signals.h"

namespace {

namespace dsp = spectrapoise::dsp;
using dsp::SimdPath;
using sp::test::gainsOf;
using sp::test::Programme;
using sp::test::Stereo;

constexpr SimdPath kPaths[] = {SimdPath::baseline, SimdPath::wide};

// Block sizes that cross the meters' 100 ms steps, the filters' 32-frame looks and the true-peak
// meter's 64-frame staging at odd places.
constexpr int kBlocks[] = {1, 7, 64, 333, 4800, 31, 2049, 512};

TEST(SimdPath, WideOnlyWhereTheProcessorHasIt) {
  EXPECT_EQ(dsp::defaultSimdPath(), dsp::wideSupported() ? SimdPath::wide : SimdPath::baseline);
  EXPECT_EQ(dsp::usableSimdPath(SimdPath::baseline), SimdPath::baseline);
  EXPECT_EQ(dsp::usableSimdPath(SimdPath::wide),
            dsp::wideSupported() ? SimdPath::wide : SimdPath::baseline);
  dsp::TruePeak peak;
  peak.setSimdPath(SimdPath::wide);
  EXPECT_EQ(peak.simdPath(), dsp::usableSimdPath(SimdPath::wide));
  peak.setSimdPath(SimdPath::baseline);
  EXPECT_EQ(peak.simdPath(), SimdPath::baseline);
}

class BothPaths : public ::testing::Test {
 protected:
  void SetUp() override {
    if (!dsp::wideSupported()) {
      GTEST_SKIP() << "this processor has no AVX2 with FMA: only the baseline path runs here";
    }
  }
};

std::vector<float> randomFloats(std::size_t n, std::uint32_t seed, float scale = 1.0f) {
  std::mt19937 rng(seed);
  std::normal_distribution<float> value(0.0f, scale);
  std::vector<float> x(n);
  for (float& v : x) v = value(rng);
  return x;
}

bool sameBits(const float* a, const float* b, std::size_t n) {
  return std::memcmp(a, b, n * sizeof(float)) == 0;
}

TEST_F(BothPaths, TransformGivesTheSameBits) {
  dsp::RealFourierTransform fft[2];
  for (int p = 0; p < 2; ++p) fft[p].setSimdPath(kPaths[p]);
  constexpr std::size_t kBins = dsp::RealFourierTransform::kBins;
  std::vector<float> quietPlusLoud = randomFloats(8192, 3);
  for (std::size_t n = 0; n < quietPlusLoud.size(); n += 97) quietPlusLoud[n] *= 1e4f;
  const std::vector<std::vector<float>> inputs = {randomFloats(8192, 1), randomFloats(8192, 2, 1e-6f),
                                                  quietPlusLoud};
  for (std::size_t i = 0; i < inputs.size(); ++i) {
    std::vector<float> re[2], im[2];
    for (int p = 0; p < 2; ++p) {
      re[p].assign(kBins, 0.0f);
      im[p].assign(kBins, 0.0f);
      fft[p].forward(inputs[i].data(), re[p].data(), im[p].data());
    }
    EXPECT_TRUE(sameBits(re[0].data(), re[1].data(), kBins)) << "input " << i;
    EXPECT_TRUE(sameBits(im[0].data(), im[1].data(), kBins)) << "input " << i;

    // Both channels' powers: the same bits on both paths, and what adding each channel's
    // re^2 + im^2 in double to a cleared array gives.
    const std::vector<float>& right = inputs[(i + 1) % inputs.size()];
    std::vector<float> rre(kBins), rim(kBins);
    fft[0].forward(right.data(), rre.data(), rim.data());
    std::vector<double> expected(kBins, 0.0);
    for (std::size_t b = 0; b < kBins; ++b) {
      const double lr = re[0][b], li = im[0][b], rr = rre[b], ri = rim[b];
      expected[b] += lr * lr + li * li;
      expected[b] += rr * rr + ri * ri;
    }
    for (int p = 0; p < 2; ++p) {
      std::vector<double> power(kBins, -1.0);
      fft[p].powers(inputs[i].data(), right.data(), power.data());
      EXPECT_EQ(std::memcmp(power.data(), expected.data(), kBins * sizeof(double)), 0)
          << dsp::simdPathName(kPaths[p]) << ", input " << i;
    }
  }
}

// The whole correction (analysis, region fit, gain fit, limit, smoothing) on loud, quiet and
// silent pink noise, with hops also at ring positions that are not a multiple of 16.
TEST_F(BothPaths, AnalysisAndCorrectionGiveTheSameBits) {
  dsp::CorrectionAnalyser analyser[2];
  dsp::CorrectionSettings settings;
  settings.amount = {1.0, 0.8, 0.6, 1.0, 0.5};
  settings.speed = 4.0;
  dsp::BandCurve target{};
  for (std::size_t k = 0; k < dsp::kBandCount; ++k) target[k] = -3.0 * dsp::bandOctaves()[k];
  for (int p = 0; p < 2; ++p) {
    analyser[p].analysis().setSimdPath(kPaths[p]);
    analyser[p].prepare(44100.0);
    analyser[p].setSettings(settings);
    analyser[p].setTargetCurve(target);
    ASSERT_EQ(analyser[p].analysis().fft->simdPath(), kPaths[p]);
  }
  const sp::test::StereoNoise& noise = sp::test::pinkNoise();
  const std::size_t seconds = static_cast<std::size_t>(sp::test::simulatedSeconds(8.0));
  for (std::size_t at = 0; at < seconds * 44100; at += 1000) {
    const float gain = (at / 44100) % 3 == 1 ? 0.02f : (at / 44100) % 5 == 4 ? 0.0f : 1.0f;
    for (int p = 0; p < 2; ++p) {
      for (std::size_t i = at; i < at + 1000; ++i) {
        analyser[p].push(noise.left[i] * gain, noise.right[i] * gain);
      }
      if (at % 7000 == 0) analyser[p].analysis().analyse();  // a hop at an odd ring position
    }
    const dsp::CorrectionGains a = analyser[0].gains(), b = analyser[1].gains();
    for (std::size_t g = 0; g < 5; ++g) ASSERT_EQ(a[g], b[g]) << "gain " << g << " at " << at;
    ASSERT_EQ(analyser[0].analysis().power, analyser[1].analysis().power) << at;
    ASSERT_EQ(analyser[0].analysis().levels, analyser[1].analysis().levels) << at;
  }
  EXPECT_NE(analyser[0].gains().tilt, 0.0);
}

// Peaks of a programme with sines between samples, noise, a reset during a loud passage and a
// NaN, metered in irregular blocks, after every block.
TEST_F(BothPaths, TruePeakAgreesToRounding) {
  for (int channels : {1, 2}) {
    SCOPED_TRACE(channels);
    Stereo s = sp::test::render(Programme(48000, 4)
                                    .sine(12000, -3.0, 0.5, 45.0)
                                    .noise(-12.0, 1.0)
                                    .sine(997, -20.0, 0.5)
                                    .noise(-30.0, 0.5));
    s.left[60000] = std::numeric_limits<double>::quiet_NaN();
    dsp::TruePeak meter[2];
    for (int p = 0; p < 2; ++p) {
      meter[p].setSimdPath(kPaths[p]);
      meter[p].designFilter();
      meter[p].prepare(48000.0);
    }
    std::size_t at = 0;
    for (int i = 0; at < s.frames(); ++i) {
      const std::size_t n = std::min<std::size_t>(kBlocks[i % 8], s.frames() - at);
      const double* ch[2] = {s.left.data() + at, s.right.data() + at};
      if (i == 40) {
        for (dsp::TruePeak& m : meter) m.resetMaximum();
      }
      for (dsp::TruePeak& m : meter) m.process(ch, channels, static_cast<int>(n));
      at += n;
      const double a = meter[0].peakSinceReset(), b = meter[1].peakSinceReset();
      ASSERT_NEAR(a, b, 1e-12 * a) << "frame " << at;
      ASSERT_NEAR(meter[0].peakLast3s(), meter[1].peakLast3s(), 1e-12 * a) << "frame " << at;
    }
    EXPECT_GT(meter[1].peakLast3s(), 0.7);  // the 12 kHz sine read close to its true peak
  }
}

TEST_F(BothPaths, LoudnessAgreesToRounding) {
  for (int channels : {1, 2}) {
    SCOPED_TRACE(channels);
    Programme programme = Programme(48000, 6).noise(-18.0, 4.0).noise(-80.0, 1.0).sine(1000, -23.0, 3.0);
    Stereo s = sp::test::render(programme);
    dsp::ShortTermLoudness meter[2];
    for (int p = 0; p < 2; ++p) {
      meter[p].setSimdPath(kPaths[p]);
      meter[p].prepare(48000.0);
    }
    std::size_t at = 0;
    for (int i = 0; at < s.frames(); ++i) {
      const std::size_t n = std::min<std::size_t>(kBlocks[i % 8], s.frames() - at);
      const double* ch[2] = {s.left.data() + at, s.right.data() + at};
      if (i == 30) {
        for (dsp::ShortTermLoudness& m : meter) m.resetIntegrated();
      }
      const int stepsBaseline = meter[0].process(ch, channels, static_cast<int>(n));
      const int stepsWide = meter[1].process(ch, channels, static_cast<int>(n));
      at += n;
      ASSERT_EQ(stepsBaseline, stepsWide);
      ASSERT_NEAR(meter[0].shortTerm(), meter[1].shortTerm(), 1e-9) << "frame " << at;
      ASSERT_NEAR(meter[0].integrated(), meter[1].integrated(), 1e-9) << "frame " << at;
      ASSERT_EQ(meter[0].stepsSinceReset(), meter[1].stepsSinceReset());
    }
    EXPECT_GT(meter[1].integrated(), -40.0);
  }
}

TEST_F(BothPaths, CorrectionFiltersAgreeToRounding) {
  std::mt19937 rng(8);
  std::uniform_real_distribution<double> u(-1.0, 1.0);
  const std::size_t frames = 20000;
  std::vector<double> left(frames), right(frames);
  for (std::size_t i = 0; i < frames; ++i) {
    left[i] = u(rng);
    right[i] = 0.5 * u(rng);
  }
  std::vector<double> out[2][2];
  for (int p = 0; p < 2; ++p) {
    dsp::CorrectionFilters filters;
    filters.setSimdPath(kPaths[p]);
    filters.prepare(48000.0);
    out[p][0] = left;
    out[p][1] = right;
    std::size_t at = 0;
    for (int i = 0; at < frames; ++i) {
      const std::size_t n = std::min<std::size_t>(kBlocks[i % 8] % 700 + 1, frames - at);
      // Targets that move, jump, and go back to 0 dB.
      const double t = static_cast<double>(at) / frames;
      filters.setTargets(t < 0.8 ? gainsOf(3 * t, -4 * t, 2, -1 + t, 6 * t) : dsp::CorrectionGains{},
                         {150.0 + 100.0 * t, 1800.0, 7000.0});
      double* ch[2] = {out[p][0].data() + at, out[p][1].data() + at};
      filters.process(ch, 2, static_cast<int>(n));
      at += n;
    }
  }
  for (int c = 0; c < 2; ++c) {
    for (std::size_t i = 0; i < frames; ++i) {
      ASSERT_NEAR(out[0][c][i], out[1][c][i], 1e-12) << "channel " << c << " frame " << i;
    }
  }

  // Gain 0 passes audio through exactly, and one channel comes out as in stereo.
  for (SimdPath path : kPaths) {
    dsp::CorrectionFilters flat, stereo, mono;
    for (dsp::CorrectionFilters* f : {&flat, &stereo, &mono}) {
      f->setSimdPath(path);
      f->prepare(44100.0);
    }
    std::vector<double> l = left, r = right;
    double* both[2] = {l.data(), r.data()};
    flat.process(both, 2, static_cast<int>(frames));
    EXPECT_EQ(l, left) << dsp::simdPathName(path);
    EXPECT_EQ(r, right) << dsp::simdPathName(path);

    stereo.setTargets(gainsOf(1, 3, -2, 2, -1), {});
    mono.setTargets(gainsOf(1, 3, -2, 2, -1), {});
    std::vector<double> s0 = left, s1 = right, m0 = left;
    double* st[2] = {s0.data(), s1.data()};
    double* mo[1] = {m0.data()};
    stereo.process(st, 2, static_cast<int>(frames));
    mono.process(mo, 1, static_cast<int>(frames));
    EXPECT_EQ(m0, s0) << dsp::simdPathName(path);
  }
}

}  // namespace
