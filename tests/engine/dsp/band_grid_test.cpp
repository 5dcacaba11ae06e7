// The 180-band grid and how each sample rate maps it onto transform bins, including rates the
// engine cannot measure at.

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <random>
#include <vector>

#include "engine/dsp/band_grid.h"
#include "engine/dsp/spectrum_analysis.h"
#include "tests/engine/dsp/analysis_helpers.h"

namespace {

namespace dsp = spectrapoise::dsp;

TEST(BandGrid, CentresEdgesAndDensity) {
  EXPECT_DOUBLE_EQ(dsp::bandFrequency(0), 20.0);
  EXPECT_NEAR(dsp::bandFrequency(179), 20000.0, 1e-9);
  EXPECT_NEAR(dsp::bandFrequency(89), 20.0 * std::pow(1000.0, 89.0 / 179.0), 1e-12);
  EXPECT_DOUBLE_EQ(dsp::kBandLowerEdge, std::pow(2.0, -1.0 / 12.0));
  EXPECT_DOUBLE_EQ(dsp::kBandUpperEdge, std::pow(2.0, 1.0 / 12.0));
  EXPECT_DOUBLE_EQ(dsp::kBandsPerOctave, 179.0 / std::log2(1000.0));
  for (std::size_t k = 1; k < dsp::kBandCount; ++k) {
    // Neighbours overlap: each band is a sixth of an octave, the spacing about 1/18.
    ASSERT_LT(dsp::bandFrequency(k) * dsp::kBandLowerEdge,
              dsp::bandFrequency(k - 1) * dsp::kBandUpperEdge);
    ASSERT_DOUBLE_EQ(dsp::bandFrequencies()[k], dsp::bandFrequency(k));
  }
  // The correction range 40..16,000 Hz is bands 18..173.
  EXPECT_LT(dsp::bandFrequency(17), 40.0);
  EXPECT_GE(dsp::bandFrequency(18), 40.0);
  EXPECT_LE(dsp::bandFrequency(173), 16000.0);
  EXPECT_GT(dsp::bandFrequency(174), 16000.0);
}

// The offset that lays a measured curve onto the target's power uses only correction-range
// bands below Nyquist.
TEST(BandGrid, AlignmentOffsetMatchesTheTargetsPower) {
  dsp::BandCurve target{}, powers{};
  dsp::BandFlags all{};
  all.fill(true);
  for (std::size_t k = 0; k < dsp::kBandCount; ++k) {
    target[k] = 0.1 * static_cast<double>(k) - 9.0;
    powers[k] = std::pow(10.0, (target[k] + 5.0) / 10.0);
  }
  EXPECT_NEAR(dsp::alignmentOffsetDb(powers, target, all), -5.0, 1e-12);
  // Bands outside 40..16,000 Hz or above Nyquist do not count.
  powers[5] = powers[176] = 1e12;
  dsp::BandFlags some = all;
  some[100] = false;
  powers[100] = 1e12;
  EXPECT_NEAR(dsp::alignmentOffsetDb(powers, target, some), -5.0, 1e-12);
  EXPECT_EQ(dsp::alignmentOffsetDb(dsp::BandCurve{}, target, all), 0.0);
  EXPECT_EQ(dsp::alignmentOffsetDb(powers, target, dsp::BandFlags{}), 0.0);
}

struct RateCase {
  double rate;
  int lastInterpolated;     // -1: none
  int firstAboveNyquist;    // 180: none
};

class GridByRate : public ::testing::TestWithParam<RateCase> {};

TEST_P(GridByRate, InterpolationAndNyquistSplitTheBandsWhereExpected) {
  const RateCase c = GetParam();
  dsp::SpectrumAnalysis analysis;
  analysis.prepare(c.rate);
  const double binWidth = c.rate / 8192.0;
  for (int k = 0; k < 180; ++k) {
    const auto& band = analysis.bands[k];
    const bool below = k < c.firstAboveNyquist;
    ASSERT_EQ(analysis.belowNyquist[k], below) << "band " << k;
    if (!below) {
      EXPECT_FALSE(band.interpolate) << "band " << k;
      EXPECT_EQ(band.firstBin, 0u);
      EXPECT_EQ(band.lastBin, 0u);
      EXPECT_EQ(band.scale, 0.0);
      continue;
    }
    ASSERT_EQ(band.interpolate, k <= c.lastInterpolated) << "band " << k;
    const double f = dsp::bandFrequency(k);
    const double width = f * dsp::kBandUpperEdge - f * dsp::kBandLowerEdge;
    if (band.interpolate) {
      EXPECT_DOUBLE_EQ(band.position, f / binWidth);
      EXPECT_DOUBLE_EQ(band.scale, width / binWidth);
    } else {
      EXPECT_EQ(band.firstBin, static_cast<std::uint64_t>(std::ceil(f * dsp::kBandLowerEdge / binWidth)));
      EXPECT_LE(band.lastBin, 4096u);
      EXPECT_LE(band.firstBin, band.lastBin);
      // Mean bin power times the band's width in bins.
      EXPECT_NEAR(band.scale * (band.lastBin - band.firstBin + 1) * binWidth, width, 1e-9 * width);
    }
  }
}

INSTANTIATE_TEST_SUITE_P(Rates, GridByRate,
                         ::testing::Values(RateCase{8000, -1, 136}, RateCase{22050, 21, 163},
                                           RateCase{32000, 31, 172}, RateCase{44100, 39, 180},
                                           RateCase{48000, 42, 180}, RateCase{192000, 77, 180}),
                         [](const auto& info) {
                           return std::to_string(static_cast<int>(info.param.rate));
                         });

// Every rate, usable or not, prepares and analyses loud noise without undefined behaviour;
// bands not below Nyquist read exactly 0 and nothing published is NaN.
TEST(GridByRate, AnyRateAnalysesSafely) {
  const double rates[] = {8000.0, 22050.0, 32000.0, 44100.0, 48000.0, 192000.0, 1.0, 1e-300,
                          0.0, -48000.0, std::numeric_limits<double>::quiet_NaN(),
                          std::numeric_limits<double>::infinity(),
                          -std::numeric_limits<double>::infinity(), 1e300};
  const auto& noise = sp::test::whiteNoise();
  for (double rate : rates) {
    SCOPED_TRACE(rate);
    dsp::SpectrumAnalysis analysis;
    int calls = 0;
    bool finite = true;
    bool aboveNyquistZero = true;
    analysis.prepare(rate);
    analysis.hopCallback = [&](const dsp::BandCurve& values, double meanSquare, double hop) {
      ++calls;
      finite = finite && std::isfinite(meanSquare) && std::isfinite(hop) && hop > 0.0;
      for (std::size_t k = 0; k < dsp::kBandCount; ++k) {
        finite = finite && std::isfinite(values[k]);
        if (!analysis.belowNyquist[k]) aboveNyquistZero = aboveNyquistZero && values[k] == 0.0;
      }
    };
    sp::test::feed(analysis, noise, 8192 + 3 * 2048);
    const bool usable = std::isfinite(rate) && rate > 0.0 && std::isfinite(2048.0 / rate);
    EXPECT_EQ(calls, usable ? 4 : 0);
    EXPECT_TRUE(finite);
    EXPECT_TRUE(aboveNyquistZero);
    EXPECT_TRUE(std::isfinite(analysis.silentSeconds));
    for (std::size_t k = 0; k < dsp::kBandCount; ++k) {
      ASSERT_TRUE(std::isfinite(analysis.slowPowers[k]));
      if (!analysis.belowNyquist[k]) {
        ASSERT_EQ(analysis.longPowers[k], 0.0);
      }
    }
    for (double level : analysis.levels) EXPECT_FALSE(std::isnan(level));
    dsp::BandCurve flat{};
    const auto readouts = analysis.readouts(flat, dsp::Crossovers{}, {1.0, 1.0, 1.0, 1.0});
    for (double v : {readouts.tilt, readouts.low, readouts.loMid, readouts.hiMid, readouts.high}) {
      EXPECT_TRUE(std::isfinite(v));
    }
  }
}

}  // namespace
