// Correction analysis: the robust region fit, the least-squares gain fit, the 6 dB limit, the
// loudness gate and smoothing of the analyser, and its behaviour on bad input.

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <random>
#include <vector>

#include "engine/dsp/band_grid.h"
#include "engine/dsp/correction_filters.h"
#include "engine/dsp/correction_fit.h"
#include "engine/dsp/spectrum_analysis.h"
#include "tests/engine/dsp/analysis_helpers.h"

namespace {

namespace dsp = spectrapoise::dsp;
namespace detail = spectrapoise::dsp::correction_detail;

using sp::test::gainsOf;

dsp::BandCurve curveOf(double (*shape)(double f)) {
  dsp::BandCurve c{};
  for (std::size_t k = 0; k < dsp::kBandCount; ++k) c[k] = shape(dsp::bandFrequency(k));
  return c;
}

// Largest absolute response over the band centres below 0.45 fs.
double peakResponse(const dsp::CorrectionGains& g, const dsp::Crossovers& x, double fs) {
  const detail::Design d = detail::design(g, x, fs);
  double peak = 0.0;
  for (std::size_t k = 0; k < dsp::kBandCount; ++k) {
    const double f = dsp::bandFrequency(k);
    if (f < 0.45 * fs) peak = std::max(peak, std::fabs(detail::responseDb(d, f, fs)));
  }
  return peak;
}

class Balance : public ::testing::Test {
 protected:
  void SetUp() override { analysis.prepare(48000.0); }
  dsp::SpectrumAnalysis analysis;
  const std::array<double, 4> ones{1.0, 1.0, 1.0, 1.0};
};

TEST_F(Balance, PureTiltReadsAsTiltWithLevelRegions) {
  for (double s : {1.5, -1.5}) {
    dsp::BandCurve d{};
    for (std::size_t k = 0; k < dsp::kBandCount; ++k) d[k] = s * std::log2(dsp::bandFrequency(k) / 1000.0);
    const auto r = analysis.balance(d, {200, 2000, 6000}, ones);
    EXPECT_NEAR(r.tilt, s, 1e-9);
    for (double level : {r.low, r.loMid, r.hiMid, r.high}) EXPECT_NEAR(level, 0.0, 1e-9);
    for (double hold : r.hold) EXPECT_EQ(hold, 1.0);
    EXPECT_FALSE(r.active);
  }
}

TEST_F(Balance, RaisedRegionReadsAsItsLevel) {
  const dsp::BandCurve d = curveOf([](double f) { return f < 200.0 ? 6.0 : 0.0; });
  const auto r = analysis.balance(d, {200, 2000, 6000}, ones);
  EXPECT_NEAR(r.tilt, 0.0, 1e-9);
  EXPECT_NEAR(r.low - r.loMid, 6.0, 1e-9);
  EXPECT_NEAR(r.loMid, 0.0, 0.5);
  EXPECT_NEAR(r.hiMid, r.loMid, 1e-9);
}

TEST_F(Balance, RegionFarBelowTheRestGetsNoWeight) {
  const dsp::BandCurve d =
      curveOf([](double f) { return f >= 2000.0 && f < 6000.0 ? -30.0 : 1.0; });
  const auto r = analysis.balance(d, {200, 2000, 6000}, ones);
  EXPECT_EQ(r.hold[2], 0.0);
  EXPECT_EQ(r.hold[0], 1.0);
  EXPECT_EQ(r.hold[3], 1.0);
  EXPECT_NEAR(r.low, 0.0, 1e-9);
  EXPECT_NEAR(r.tilt, 0.0, 1e-9);
  // The given weights cap the result as well.
  const auto capped = analysis.balance(d, {200, 2000, 6000}, {0.3, 1.0, 1.0, 2.0});
  EXPECT_EQ(capped.hold[0], 0.3);
  EXPECT_EQ(capped.hold[3], 1.0);
}

// With the high crossover at 16 kHz no correction-range band is in region 3: hold 0 and the
// level is minus the common offset.
TEST_F(Balance, EmptyRegionHasNoWeightAndMinusTheOffset) {
  const dsp::BandCurve d = curveOf([](double) { return 2.0; });
  const auto r = analysis.balance(d, {200, 2000, 16000}, ones);
  EXPECT_EQ(r.hold[3], 0.0);
  EXPECT_NEAR(r.high, -2.0, 1e-9);
  EXPECT_NEAR(r.low, 0.0, 1e-9);
  // An analysis whose every band lies above Nyquist gives all zeros and no weight.
  dsp::SpectrumAnalysis empty;
  empty.prepare(0.0);
  const auto none = empty.balance(d, {200, 2000, 6000}, ones);
  for (double hold : none.hold) EXPECT_EQ(hold, 0.0);
  for (double v : {none.tilt, none.low, none.loMid, none.hiMid, none.high}) EXPECT_EQ(v, 0.0);
}

TEST(FitCorrection, RecoversGainsFromTheirOwnResponse) {
  const dsp::CorrectionSettings settings;
  std::mt19937 random(4);
  std::uniform_real_distribution<double> gain(-2.0, 2.0);
  for (double fs : {44100.0, 48000.0, 96000.0}) {
    for (int trial = 0; trial < 6; ++trial) {
      const dsp::CorrectionGains g =
          gainsOf(gain(random), gain(random), gain(random), gain(random), gain(random));
      const detail::Design d = detail::design(g, settings.crossovers, fs);
      dsp::BandCurve wanted{};
      for (std::size_t k = 0; k < dsp::kBandCount; ++k) {
        wanted[k] = detail::responseDb(d, dsp::bandFrequency(k), fs);
      }
      const dsp::CorrectionGains fit = dsp::fitCorrection(wanted, settings, fs, {}, {});
      for (std::size_t p = 0; p < 5; ++p) {
        EXPECT_NEAR(fit[p], g[p], 0.15) << "fs " << fs << " trial " << trial << " gain " << p;
      }
    }
  }
}

TEST(FitCorrection, MaskedGainsKeepTheirPreviousValuesExactly) {
  const dsp::CorrectionSettings settings;
  // Small enough that the 6 dB limit leaves the result alone.
  const dsp::BandCurve wanted = curveOf([](double f) { return 0.4 * std::log2(f / 1000.0); });
  const dsp::CorrectionGains previous = gainsOf(0.123456789, -1.0 / 3.0, 0.7, -0.25, 1e-3);
  const std::array<std::array<bool, 5>, 3> masks = {
      std::array<bool, 5>{true, false, false, false, false},
      std::array<bool, 5>{false, true, false, true, false},
      std::array<bool, 5>{true, true, true, true, true}};
  for (const auto& mask : masks) {
    const dsp::CorrectionGains fit = dsp::fitCorrection(wanted, settings, 48000.0, mask, previous);
    for (std::size_t p = 0; p < 5; ++p) {
      if (mask[p]) {
        EXPECT_EQ(fit[p], previous[p]) << p;
      } else {
        EXPECT_TRUE(std::isfinite(fit[p]));
      }
    }
  }
}

TEST(Limited, KeepsTheResponseWithinSixDecibels) {
  const dsp::CorrectionSettings settings;
  for (double fs : {44100.0, 48000.0}) {
    for (double size : {12.0, 24.0, 60.0}) {
      for (const auto& g : {gainsOf(size, 0, 0, 0, 0), gainsOf(0, size, -size, size, -size),
                            gainsOf(-size, size, size, size, size), gainsOf(0, 0, size, 0, 0)}) {
        const dsp::CorrectionGains out = dsp::limited(g, settings, fs);
        const double peak = peakResponse(out, settings.crossovers, fs);
        EXPECT_LE(peak, 6.0) << "size " << size;
        EXPECT_GT(peak, 5.0) << "size " << size;
        // Scaling keeps the proportions between the gains.
        const std::size_t ref = g.tilt != 0.0 ? 0 : 2;
        for (std::size_t p = 0; p < 5; ++p) {
          EXPECT_NEAR(out[p] * g[ref], g[p] * out[ref], 1e-12 * size * size) << p;
        }
      }
    }
  }
  // A lo-mid peak of 12 dB ends just under the limit.
  const double loMid = peakResponse(dsp::limited(gainsOf(0, 0, 12, 0, 0), settings, 48000.0),
                                    settings.crossovers, 48000.0);
  EXPECT_NEAR(loMid, 5.999999, 1e-6);
  // A set within the limit comes back unchanged, bit for bit.
  const dsp::CorrectionGains small = gainsOf(0.3, -1.7, 2.2, 0.9, -0.4);
  const dsp::CorrectionGains same = dsp::limited(small, settings, 48000.0);
  for (std::size_t p = 0; p < 5; ++p) EXPECT_EQ(same[p], small[p]);
}

// The limit as written out: up to four rounds of the exact peak over the band centres below
// 0.45 fs, scaling by 5.999999 / peak while it is above 6 dB.
dsp::CorrectionGains straightforwardLimit(dsp::CorrectionGains g, const dsp::Crossovers& x,
                                          double fs) {
  for (int round = 0; round < 4; ++round) {
    const double peak = peakResponse(g, x, fs);
    if (peak <= 6.0) break;
    for (std::size_t p = 0; p < 5; ++p) g[p] *= 5.999999 / peak;
  }
  return g;
}

// The limit leaves out the per-band logarithms when the response is clearly within 6 dB; its
// results must be those of the straightforward limit, bit for bit, also just around 6 dB.
TEST(Limited, MatchesTheStraightforwardLimitBitForBit) {
  std::mt19937 random(12);
  std::uniform_real_distribution<double> gain(-1.0, 1.0);
  std::uniform_real_distribution<double> crossover(60.0, 9000.0);
  int nearTheLimit = 0;
  for (double fs : {44100.0, 48000.0, 96000.0}) {
    for (int trial = 0; trial < 60; ++trial) {
      dsp::CorrectionSettings settings;
      if (trial % 2 == 1) settings.crossovers = {crossover(random), crossover(random), crossover(random)};
      dsp::CorrectionGains g = gainsOf(gain(random), gain(random), gain(random), gain(random), gain(random));
      // Sizes from well within the limit to far beyond it, and some put right at it (the
      // response is nearly proportional to the gains, so a few rescalings land there).
      const double wanted = trial % 3 == 0 ? 6.0 * (1.0 + (trial % 7 - 3) * 1e-12)
                                            : 0.5 + 0.3 * trial;
      for (int step = 0; step < 20; ++step) {
        const double peak = peakResponse(g, settings.crossovers, fs);
        for (std::size_t p = 0; p < 5; ++p) g[p] *= wanted / peak;
      }
      nearTheLimit += std::fabs(peakResponse(g, settings.crossovers, fs) - 6.0) < 1e-9;
      const dsp::CorrectionGains fast = dsp::limited(g, settings, fs);
      const dsp::CorrectionGains plain = straightforwardLimit(g, settings.crossovers, fs);
      for (std::size_t p = 0; p < 5; ++p) {
        ASSERT_EQ(fast[p], plain[p]) << "fs " << fs << " trial " << trial << " gain " << p;
      }
    }
  }
  EXPECT_GT(nearTheLimit, 10);
}

// An analyser whose measured (slow) band powers are set by hand, to drive onHop directly.
class Analyser : public ::testing::Test {
 protected:
  void SetUp() override {
    analyser.prepare(48000.0);
    dsp::CorrectionSettings settings;
    settings.amount = {1, 1, 1, 1, 1};
    settings.speed = 2.0;
    analyser.setSettings(settings);
    analyser.setTargetCurve(dsp::BandCurve{});
  }
  // Measured curve relative to the (flat) target: dB per band.
  void measure(double (*shape)(double f)) {
    for (std::size_t k = 0; k < dsp::kBandCount; ++k) {
      analyser.analysis().slowPowers[k] = std::pow(10.0, 0.1 * shape(dsp::bandFrequency(k)));
    }
  }
  static double tiltUp(double f) { return 1.0 * std::log2(f / 1000.0); }
  static double tiltDown(double f) { return -1.0 * std::log2(f / 1000.0); }
  dsp::CorrectionAnalyser analyser;
};

TEST_F(Analyser, LoudGateFitsWithinTwentyDecibelsOfTheReference) {
  measure(tiltUp);
  analyser.onHop(1.0, 0.0);  // reference 0 dB
  ASSERT_TRUE(analyser.loud());
  const dsp::CorrectionGains up = analyser.fittedGains();
  EXPECT_LT(up.tilt, -0.5);  // a rising measurement wants a falling correction

  measure(tiltDown);
  analyser.onHop(0.01, 0.0);  // exactly 20 dB under: still loud, fits again
  EXPECT_TRUE(analyser.loud());
  const dsp::CorrectionGains down = analyser.fittedGains();
  EXPECT_GT(down.tilt, 0.5);

  measure(tiltUp);
  analyser.onHop(std::pow(10.0, -2.001), 0.0);  // 20.01 dB under: only smooths
  EXPECT_FALSE(analyser.loud());
  EXPECT_EQ(analyser.fittedGains().tilt, down.tilt);
  EXPECT_DOUBLE_EQ(analyser.referenceLevel(), 0.0);

  // The reference falls 1 dB per second of audio.
  analyser.onHop(1e-10, 2.5);
  EXPECT_DOUBLE_EQ(analyser.referenceLevel(), -2.5);
}

// The smoothed gains reach 63 % of a step after tau = max(speed/4, 0.25) seconds.
TEST_F(Analyser, SmoothingTimeFollowsCorrectSpeed) {
  struct Case {
    double speed;
    double tau;
  };
  for (Case c : {Case{2, 0.5}, Case{60, 15}, Case{1, 0.25}, Case{0.5, 0.25}, Case{0, 0.25}}) {
    SCOPED_TRACE(c.speed);
    SetUp();
    dsp::CorrectionSettings settings = analyser.settings();
    settings.speed = c.speed;
    analyser.setSettings(settings);
    measure(tiltUp);
    analyser.onHop(1.0, 0.0);  // fits, moves nothing yet
    const double goal = analyser.fittedGains().tilt;
    ASSERT_EQ(analyser.gains().tilt, 0.0);
    const double step = 0.01;
    double t = 0.0;
    while (analyser.gains().tilt / goal < 1.0 - std::exp(-1.0)) {
      analyser.onHop(1e-9, step);  // far under the reference: smoothing only
      t += step;
      ASSERT_LT(t, 100.0);
    }
    EXPECT_NEAR(t, c.tau, step + 1e-9);
  }
}

// With fewer than two regions in use the tilt is held: the fit keeps the previous tilt and the
// smoothing leaves it. A region far under the others is held at its previous gain.
TEST_F(Analyser, HeldTiltAndRegionsKeepTheirGains) {
  analyser.reset(gainsOf(1.5, 0.5, -0.5, 0.25, -0.25));
  measure([](double f) { return f < 200.0 ? 0.0 : -30.0; });
  analyser.onHop(1.0, 0.05);
  EXPECT_FALSE(analyser.tiltValid());
  EXPECT_EQ(analyser.fittedGains().tilt, 1.5);
  EXPECT_EQ(analyser.gains().tilt, 1.5);
  const auto holds = analyser.holdLevels();
  EXPECT_EQ(holds[0], 1.0);
  for (int r = 1; r < 4; ++r) EXPECT_EQ(holds[r], 0.0) << r;
  EXPECT_EQ(analyser.fittedGains().loMid, -0.5);
  EXPECT_EQ(analyser.fittedGains().hiMid, 0.25);
  EXPECT_EQ(analyser.fittedGains().high, -0.25);
  EXPECT_EQ(analyser.gains().high, -0.25);

  // Hold levels climb back by at most 1.0 per second of audio.
  measure([](double) { return 0.0; });
  analyser.onHop(1.0, 0.3);
  for (int r = 1; r < 4; ++r) EXPECT_NEAR(analyser.holdLevels()[r], 0.3, 1e-12) << r;
}

// What the analyser keeps between hops (the fit's tables, the target's power sum) follows new
// crossovers, a new target and a new rate: each fit equals that of an analyser set up with
// the new values from the start.
TEST_F(Analyser, KeptFitStateFollowsCrossoversTargetAndRate) {
  measure(tiltUp);
  analyser.onHop(1.0, 0.0);  // builds what it keeps for the first settings

  dsp::CorrectionSettings moved = analyser.settings();
  moved.crossovers = {150.0, 1200.0, 9000.0};
  dsp::BandCurve target{};
  for (std::size_t k = 0; k < dsp::kBandCount; ++k) target[k] = k < 60 ? 4.0 : -1.0;

  const auto freshFit = [&](double rate) {
    dsp::CorrectionAnalyser fresh;
    fresh.prepare(rate);
    fresh.setSettings(moved);
    fresh.setTargetCurve(target);
    fresh.analysis().slowPowers = analyser.analysis().slowPowers;
    fresh.onHop(1.0, 0.0);
    return fresh.fittedGains();
  };
  const auto expectSame = [](const dsp::CorrectionGains& a, const dsp::CorrectionGains& b) {
    for (std::size_t p = 0; p < 5; ++p) EXPECT_EQ(a[p], b[p]) << p;
  };

  analyser.setSettings(moved);
  analyser.setTargetCurve(target);
  analyser.onHop(1.0, 0.0);
  expectSame(analyser.fittedGains(), freshFit(48000.0));

  // A new rate moves the bands the fit and the alignment use.
  const dsp::BandCurve measured = analyser.analysis().slowPowers;
  analyser.prepare(22050.0);
  analyser.analysis().slowPowers = measured;
  analyser.onHop(1.0, 0.0);
  expectSame(analyser.fittedGains(), freshFit(22050.0));
}

TEST_F(Analyser, SettingsOrderCrossoversAndRestartLevelsWhenTheyMove) {
  dsp::CorrectionSettings settings = analyser.settings();
  settings.crossovers = {300, 400, 700};
  analyser.setSettings(settings);
  EXPECT_EQ(analyser.analysis().crossovers.mid, 600.0);
  EXPECT_EQ(analyser.analysis().crossovers.high, 1200.0);
  EXPECT_EQ(analyser.settings().crossovers.mid, 400.0);  // stored as given

  sp::test::feed(analyser.analysis(), sp::test::pinkNoise(), 8192);
  ASSERT_GT(analyser.analysis().levels[0], -299.0);
  settings.crossovers.low = 300 + 1e-7;
  analyser.setSettings(settings);
  EXPECT_GT(analyser.analysis().levels[0], -299.0);
  settings.crossovers.low = 300 + 1e-5;
  analyser.setSettings(settings);
  for (double level : analyser.analysis().levels) EXPECT_EQ(level, -300.0);
}

TEST(CorrectionAnalyser, PrepareAndResetKeepTargetAndSettings) {
  dsp::CorrectionAnalyser analyser;
  analyser.push(0.5f, 0.5f);  // before prepare: ignored
  dsp::CorrectionSettings settings;
  settings.speed = 7.0;
  analyser.setSettings(settings);
  dsp::BandCurve target{};
  target[10] = 3.0;
  analyser.setTargetCurve(target);
  analyser.prepare(44100.0);
  EXPECT_EQ(analyser.settings().speed, 7.0);
  EXPECT_EQ(analyser.targetCurve()[10], 3.0);
  EXPECT_EQ(analyser.analysis().slowSeconds, 1.0);
  EXPECT_EQ(analyser.referenceLevel(), -200.0);
  EXPECT_EQ(analyser.analysis().filled, 0u);

  sp::test::feed(analyser.analysis(), sp::test::pinkNoise(), 9000);
  analyser.reset(gainsOf(1, 2, 3, 4, 5));
  EXPECT_EQ(analyser.gains().hiMid, 4.0);
  EXPECT_EQ(analyser.fittedGains().high, 5.0);
  EXPECT_EQ(analyser.analysis().filled, 0u);
  EXPECT_FALSE(analyser.analysis().hasMeasurement);
  for (double hold : analyser.holdLevels()) EXPECT_EQ(hold, 1.0);
}

// Whatever arrives - NaN or infinite samples, a broken target, a rate the engine cannot
// measure at - the gains stay finite.
TEST(CorrectionAnalyser, BadInputNeverReachesTheGains) {
  const double nan = std::numeric_limits<double>::quiet_NaN();
  const double inf = std::numeric_limits<double>::infinity();
  struct Case {
    const char* name;
    double rate;
    double targetValue;  // put into band 60
    float sample;        // put into the stream every 3000 frames
  };
  for (Case c : {Case{"nan samples", 48000, 0, std::numeric_limits<float>::quiet_NaN()},
                 Case{"infinite samples", 48000, 0, std::numeric_limits<float>::infinity()},
                 Case{"nan target", 48000, nan, 0.0f}, Case{"infinite target", 48000, inf, 0.0f},
                 Case{"huge target", 48000, 1e300, 0.0f}, Case{"rate 0", 0, 0, 0.0f},
                 Case{"rate nan", nan, 0, 0.0f}, Case{"rate inf", inf, 0, 0.0f},
                 Case{"negative rate", -44100, 0, 0.0f}}) {
    SCOPED_TRACE(c.name);
    dsp::CorrectionAnalyser analyser;
    analyser.prepare(c.rate);
    dsp::CorrectionSettings settings;
    settings.amount = {1, 1, 1, 1, 1};
    analyser.setSettings(settings);
    dsp::BandCurve target{};
    target[60] = c.targetValue;
    analyser.setTargetCurve(target);
    const auto& noise = sp::test::whiteNoise();
    for (std::size_t i = 0; i < 48000 * 2; ++i) {
      const bool bad = c.sample != 0.0f && i % 3000 == 0;
      analyser.push(bad ? c.sample : noise.left[i], noise.right[i] * (1.0f + (i > 48000)));
    }
    const dsp::CorrectionGains g = analyser.gains();
    for (std::size_t p = 0; p < 5; ++p) EXPECT_TRUE(std::isfinite(g[p])) << p;
    for (double hold : analyser.holdLevels()) EXPECT_TRUE(std::isfinite(hold));
  }
}

}  // namespace
