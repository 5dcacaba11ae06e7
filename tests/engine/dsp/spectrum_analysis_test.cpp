// Spectrum analysis: hop timing, silence and invalid samples, smoothing, region levels, the
// calibration of band values on white and pink noise, and the panel readouts.

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <limits>
#include <vector>

#include "engine/dsp/band_grid.h"
#include "engine/dsp/real_fft.h"
#include "engine/dsp/spectrum_analysis.h"
#include "tests/engine/dsp/analysis_helpers.h"

namespace {

namespace dsp = spectrapoise::dsp;
using sp::test::feed;
using sp::test::feedConstant;

struct CountingAnalysis {
  dsp::SpectrumAnalysis analysis;
  int calls = 0;
  dsp::BandCurve lastValues{};
  explicit CountingAnalysis(double rate) {
    analysis.prepare(rate);
    analysis.hopCallback = [this](const dsp::BandCurve& values, double, double) {
      ++calls;
      lastValues = values;
    };
  }
};

TEST(AnalysisHops, FirstHopAfter8192FramesThenEvery2048) {
  struct Case {
    std::size_t frames;
    int hops;
  };
  for (Case c : {Case{8191, 0}, Case{8192, 1}, Case{10239, 1}, Case{10240, 2}}) {
    CountingAnalysis a(48000.0);
    feed(a.analysis, sp::test::whiteNoise(), c.frames);
    EXPECT_EQ(a.calls, c.hops) << c.frames << " frames";
  }
}

TEST(AnalysisHops, PushBeforePrepareDoesNothing) {
  dsp::SpectrumAnalysis analysis;
  EXPECT_FALSE(analysis.prepared());
  feed(analysis, sp::test::whiteNoise(), 20000);
  EXPECT_EQ(analysis.filled, 0u);
  EXPECT_FALSE(analysis.hasMeasurement);
}

// Feeding a buffer at once fills the rings, counts and hops exactly as feeding its frames one
// by one: separate channels, interleaved stereo, a mono source, and a third channel to skip.
TEST(AnalysisHops, FeedingABufferEqualsFeedingItsFrames) {
  struct Case {
    const char* name;
    std::size_t channels;  // interleaved channels in the buffer (1: separate arrays)
    bool mono;             // right is left
  };
  const auto& noise = sp::test::pinkNoise();
  for (Case c : {Case{"separate", 1, false}, Case{"interleaved", 2, false}, Case{"mono", 1, true},
                 Case{"three channels", 3, false}}) {
    SCOPED_TRACE(c.name);
    const std::size_t frames = 3 * 8192 + 777;
    std::vector<float> buffer(frames * std::max<std::size_t>(c.channels, 2));
    for (std::size_t i = 0; i < frames; ++i) {
      if (c.channels == 1) {
        buffer[i] = noise.left[i];
        buffer[frames + i] = noise.right[i];
      } else {
        for (std::size_t ch = 0; ch < c.channels; ++ch) {
          buffer[i * c.channels + ch] = ch == 0 ? noise.left[i] : ch == 1 ? noise.right[i] : 9.0f;
        }
      }
    }
    const float* left = buffer.data();
    const float* right = c.mono ? left : c.channels == 1 ? buffer.data() + frames : left + 1;
    const std::size_t stride = c.channels;

    CountingAnalysis one(48000.0), bulk(48000.0);
    for (std::size_t i = 0; i < frames; ++i) one.analysis.push(left[i * stride], right[i * stride]);
    const std::size_t pieces[] = {1, 2047, 2048, 5000, 100, 3};
    for (std::size_t at = 0, i = 0; at < frames; ++i) {
      const std::size_t n = std::min(pieces[i % 6], frames - at);
      bulk.analysis.push(left + at * stride, right + at * stride, n, stride);
      at += n;
    }
    EXPECT_EQ(bulk.calls, one.calls);
    EXPECT_EQ(bulk.lastValues, one.lastValues);
    EXPECT_EQ(bulk.analysis.ringLeft, one.analysis.ringLeft);
    EXPECT_EQ(bulk.analysis.ringRight, one.analysis.ringRight);
    EXPECT_EQ(bulk.analysis.writeIndex, one.analysis.writeIndex);
    EXPECT_EQ(bulk.analysis.filled, one.analysis.filled);
    EXPECT_EQ(bulk.analysis.hopCounter, one.analysis.hopCounter);
  }
}

// A hop at any ring position windows the frames oldest first: the bin powers are those of the
// two time-ordered, windowed channels, and the mean square that of the unwindowed frames.
TEST(AnalysisHops, AHopAtAnyRingPositionSeesTheFramesInTimeOrder) {
  for (std::size_t extra : {0u, 5u, 2053u, 8191u}) {
    SCOPED_TRACE(extra);
    dsp::SpectrumAnalysis analysis;
    analysis.prepare(48000.0);
    double meanSquare = 0.0;
    analysis.hopCallback = [&](const dsp::BandCurve&, double ms, double) { meanSquare = ms; };
    const auto& noise = sp::test::whiteNoise();
    feed(analysis, noise, 8192 + extra);
    analysis.analyse();

    const std::size_t start = static_cast<std::size_t>(analysis.writeIndex);
    std::vector<float> left(8192), right(8192);
    double energy = 0.0;
    for (std::size_t n = 0; n < 8192; ++n) {
      const float l = analysis.ringLeft[(start + n) % 8192];
      const float r = analysis.ringRight[(start + n) % 8192];
      left[n] = l * analysis.window[n];
      right[n] = r * analysis.window[n];
      energy += static_cast<double>(l) * l + static_cast<double>(r) * r;
    }
    dsp::RealFourierTransform fft;
    std::vector<float> lre(4097), lim(4097), rre(4097), rim(4097);
    fft.forward(left.data(), lre.data(), lim.data());
    fft.forward(right.data(), rre.data(), rim.data());
    for (std::size_t b = 0; b < 4097; ++b) {
      const double lr = lre[b], li = lim[b], rr = rre[b], ri = rim[b];
      ASSERT_EQ(analysis.power[b], (lr * lr + li * li) + (rr * rr + ri * ri)) << "bin " << b;
    }
    EXPECT_NEAR(meanSquare, energy / 16384.0, 1e-12 * meanSquare);
  }
}

TEST(AnalysisHops, SilenceGivesNoCallbackAndCountsSilentSeconds) {
  CountingAnalysis a(44100.0);
  feedConstant(a.analysis, 8192 + 2 * 2048, 0.0f);
  EXPECT_EQ(a.calls, 0);
  EXPECT_DOUBLE_EQ(a.analysis.silentSeconds, 1.0 + 3 * 2048.0 / 44100.0);
  EXPECT_FALSE(a.analysis.hasMeasurement);

  // Denormal-sized samples are silent too.
  feedConstant(a.analysis, 2048, 1e-40f);
  EXPECT_EQ(a.calls, 0);

  // Readouts stay inactive until a loud hop arrives and the silence is under a second again.
  dsp::BandCurve flat{};
  EXPECT_FALSE(a.analysis.readouts(flat, {}, {1, 1, 1, 1}).active);
  feed(a.analysis, sp::test::pinkNoise(), 2048);
  EXPECT_EQ(a.calls, 1);
  EXPECT_EQ(a.analysis.silentSeconds, 0.0);
  EXPECT_TRUE(a.analysis.readouts(flat, {}, {1, 1, 1, 1}).active);
  // A second of silence (the ring must empty first) makes them inactive again.
  feedConstant(a.analysis, 8192 + 24 * 2048, 0.0f);
  EXPECT_GE(a.analysis.silentSeconds, 1.0);
  EXPECT_FALSE(a.analysis.readouts(flat, {}, {1, 1, 1, 1}).active);
}

TEST(AnalysisHops, FirstLoudHopSetsEverySmoothedArray) {
  CountingAnalysis a(48000.0);
  feedConstant(a.analysis, 8192, 0.0f);  // a silent hop first: still no measurement
  EXPECT_FALSE(a.analysis.hasMeasurement);
  feed(a.analysis, sp::test::pinkNoise(), 2048);
  ASSERT_EQ(a.calls, 1);
  EXPECT_TRUE(a.analysis.hasMeasurement);
  for (std::size_t k = 0; k < dsp::kBandCount; ++k) {
    ASSERT_EQ(a.analysis.slowPowers[k], a.lastValues[k]);
    ASSERT_EQ(a.analysis.fastPowers[k], a.lastValues[k]);
    ASSERT_EQ(a.analysis.longPowers[k], a.lastValues[k]);
    ASSERT_GT(a.lastValues[k], 0.0);
  }
}

// One NaN stays in the 8192-frame ring for four hops: those four are skipped without touching
// the smoothed arrays, and the fifth measures again. An infinite sample does the same, and so
// does a hop's worth of finite samples so large that the transform overflows.
TEST(AnalysisHops, InvalidSamplesSkipExactlyTheHopsThatSeeThem) {
  struct Case {
    const char* name;
    std::size_t badFrames;
    float value;  // a random sign is applied to the burst
  };
  for (Case c : {Case{"nan", 1, std::numeric_limits<float>::quiet_NaN()},
                 Case{"infinity", 1, std::numeric_limits<float>::infinity()},
                 Case{"overflowing burst", 2048, 3e38f}}) {
    SCOPED_TRACE(c.name);
    CountingAnalysis a(48000.0);
    const auto& noise = sp::test::whiteNoise();
    feed(a.analysis, noise, 8192 + 2048);
    ASSERT_EQ(a.calls, 2);
    const dsp::BandCurve slow = a.analysis.slowPowers;
    const dsp::BandCurve lng = a.analysis.longPowers;
    const std::array<double, 8> levels = a.analysis.levels;
    const double silentBefore = a.analysis.silentSeconds;

    for (std::size_t i = 0; i < c.badFrames; ++i) {
      const float v = noise.left[i] < 0 ? -c.value : c.value;
      a.analysis.push(v, 0.1f);
    }
    feed(a.analysis, noise, 4 * 2048 - c.badFrames, 10240);
    EXPECT_EQ(a.calls, 2);
    EXPECT_EQ(a.analysis.slowPowers, slow);
    EXPECT_EQ(a.analysis.longPowers, lng);
    EXPECT_EQ(a.analysis.levels, levels);
    EXPECT_DOUBLE_EQ(a.analysis.silentSeconds, silentBefore + 4 * 2048.0 / 48000.0);

    feed(a.analysis, noise, 2048, 20000);
    EXPECT_EQ(a.calls, 3);
    EXPECT_NE(a.analysis.slowPowers, slow);
    for (double v : a.analysis.slowPowers) ASSERT_TRUE(std::isfinite(v));
  }
}

// Each smoothed array moves a fraction 1 - exp(-hop/tau) towards every hop's band values.
TEST(AnalysisHops, SmoothingFollowsItsTimeConstants) {
  dsp::SpectrumAnalysis analysis;
  analysis.prepare(44100.0);
  analysis.slowSeconds = 1.0;
  const double hop = 2048.0 / 44100.0;
  dsp::BandCurve slow{}, fast{}, lng{}, level{};
  bool first = true;
  analysis.hopCallback = [&](const dsp::BandCurve& v, double, double seconds) {
    EXPECT_DOUBLE_EQ(seconds, hop);
    for (std::size_t k = 0; k < dsp::kBandCount; ++k) {
      const double aSlow = first ? 1.0 : 1.0 - std::exp(-hop / 1.0);
      const double aFast = first ? 1.0 : 1.0 - std::exp(-hop / 0.3);
      const double aLong = first ? 1.0 : 1.0 - std::exp(-hop / 10.0);
      const double aLevel = first ? 1.0 : 1.0 - std::exp(-hop / 0.15);
      slow[k] += (v[k] - slow[k]) * aSlow;
      fast[k] += (v[k] - fast[k]) * aFast;
      lng[k] += (v[k] - lng[k]) * aLong;
      level[k] += (v[k] - level[k]) * aLevel;
    }
    first = false;
  };
  const auto& noise = sp::test::pinkNoise();
  feed(analysis, noise, 8192 + 10 * 2048);
  feed(analysis, noise, 8192 + 10 * 2048, 0, 3.0f);  // a step up
  for (std::size_t k = 0; k < dsp::kBandCount; ++k) {
    ASSERT_NEAR(analysis.slowPowers[k], slow[k], 1e-12 * slow[k]) << "band " << k;
    ASSERT_NEAR(analysis.fastPowers[k], fast[k], 1e-12 * fast[k]) << "band " << k;
    ASSERT_NEAR(analysis.longPowers[k], lng[k], 1e-12 * lng[k]) << "band " << k;
    ASSERT_NEAR(analysis.levelPowers[k], level[k], 1e-12 * level[k]) << "band " << k;
  }
}

TEST(AnalysisRegionLevels, HeldLevelFollowsRisesAndFallsQuarterDecibelPerSecond) {
  dsp::SpectrumAnalysis analysis;
  analysis.prepare(48000.0);
  const auto& noise = sp::test::pinkNoise();
  feed(analysis, noise, 8192);
  // The first loud hop sets current and held levels together.
  for (int r = 0; r < 4; ++r) {
    EXPECT_GT(analysis.levels[r], -299.0);
    EXPECT_EQ(analysis.levels[4 + r], analysis.levels[r]);
  }
  feed(analysis, noise, 20 * 2048, 8192);
  const std::array<double, 8> loud = analysis.levels;

  // 12 dB down: the current level drops within a few hops, the held one falls 0.25 dB/s.
  const double hop = 2048.0 / 48000.0;
  const float gain = static_cast<float>(std::pow(10.0, -12.0 / 20.0));
  feed(analysis, noise, 8192, 8192 + 20 * 2048, gain);
  for (int r = 0; r < 4; ++r) {
    EXPECT_NEAR(analysis.levels[4 + r], loud[4 + r] - 0.25 * 4 * hop, 1e-9) << "region " << r;
  }
  feed(analysis, noise, 40 * 2048, 16384 + 20 * 2048, gain);
  for (int r = 0; r < 4; ++r) {
    // The current level is a mean of noisy dB values: it follows within a dB or two.
    EXPECT_NEAR(analysis.levels[r], loud[r] - 12.0, 2.0) << "region " << r;
    EXPECT_NEAR(analysis.levels[4 + r], loud[4 + r] - 0.25 * 44 * hop, 1e-9) << "region " << r;
  }
  // Back up: the held level follows at once.
  feed(analysis, noise, 12 * 2048, 0, 2.0f);
  for (int r = 0; r < 4; ++r) {
    EXPECT_EQ(analysis.levels[4 + r], analysis.levels[r]) << "region " << r;
    EXPECT_NEAR(analysis.levels[r], loud[r] + 6.02, 2.0) << "region " << r;
  }
}

TEST(AnalysisRegionLevels, RegionsFollowTheCrossoversAndEmptyRegionsReadFloor) {
  dsp::SpectrumAnalysis analysis;
  analysis.prepare(48000.0);
  // A low crossover below 40 Hz leaves region 0 without correction-range bands.
  analysis.crossovers = {30.0, 2000.0, 6000.0};
  feed(analysis, sp::test::pinkNoise(), 8192 + 4 * 2048);
  EXPECT_EQ(analysis.levels[0], -300.0);
  EXPECT_EQ(analysis.levels[4], -300.0);
  for (int r = 1; r < 4; ++r) EXPECT_GT(analysis.levels[r], -299.0);
}

// Averages the hop band values over `seconds` of a stereo noise buffer.
dsp::BandCurve averageBands(double rate, const sp::test::StereoNoise& noise, double seconds) {
  dsp::SpectrumAnalysis analysis;
  analysis.prepare(rate);
  dsp::BandCurve sum{};
  int hops = 0;
  analysis.hopCallback = [&](const dsp::BandCurve& values, double, double) {
    for (std::size_t k = 0; k < dsp::kBandCount; ++k) sum[k] += values[k];
    ++hops;
  };
  feed(analysis, noise, static_cast<std::size_t>(seconds * rate));
  dsp::BandCurve db{};
  for (std::size_t k = 0; k < dsp::kBandCount; ++k) db[k] = dsp::powerToDb(sum[k] / hops);
  return db;
}

class Calibration : public ::testing::TestWithParam<double> {};

TEST_P(Calibration, WhiteNoiseRisesThreeDecibelsPerOctave) {
  const dsp::BandCurve db =
      averageBands(GetParam(), sp::test::whiteNoise(), sp::test::simulatedSeconds(60.0));
  EXPECT_NEAR(sp::test::slopePerOctave(db, 18, 173), 3.0103, 0.05);
}

TEST_P(Calibration, PinkNoiseReadsFlat) {
  const double rate = GetParam();
  const dsp::BandCurve db =
      averageBands(rate, sp::test::pinkNoise(), sp::test::simulatedSeconds(60.0));
  double mean = 0.0;
  for (std::size_t k = 18; k <= 173; ++k) mean += db[k];
  mean /= 156.0;
  for (std::size_t k = 18; k <= 173; ++k) {
    EXPECT_NEAR(db[k], mean, 0.2) << "band " << k;
  }
  // No step where the bands switch from interpolation to bin sums.
  const std::size_t lastInterpolated = rate == 44100.0 ? 39 : 42;
  EXPECT_LT(std::fabs(db[lastInterpolated + 1] - db[lastInterpolated]), 0.2);
}

INSTANTIATE_TEST_SUITE_P(Rates, Calibration, ::testing::Values(44100.0, 48000.0),
                         [](const auto& info) {
                           return std::to_string(static_cast<int>(info.param));
                         });

// White noise against the flat (pink) target reads a tilt of about +3 dB per octave and
// regions level with each other; pink noise reads flat.
TEST(AnalysisReadouts, ReadTiltAndRegionsAgainstTarget) {
  struct Case {
    const sp::test::StereoNoise* noise;
    double tilt;
  };
  for (Case c : {Case{&sp::test::whiteNoise(), 3.0103}, Case{&sp::test::pinkNoise(), 0.0}}) {
    dsp::SpectrumAnalysis analysis;
    analysis.prepare(48000.0);
    feed(analysis, *c.noise, 20 * 48000);
    dsp::BandCurve flat{};
    const auto r = analysis.readouts(flat, {200, 2000, 6000}, {1, 1, 1, 1});
    EXPECT_TRUE(r.active);
    EXPECT_NEAR(r.tilt, c.tilt, 0.1);
    for (double level : {r.low, r.loMid, r.hiMid, r.high}) EXPECT_NEAR(level, 0.0, 0.5);
    // Pink noise leaves every region in; with white noise the low region's mean lies more
    // than 15 dB under the high region's, so it carries less weight.
    if (c.tilt == 0.0) {
      for (double hold : r.hold) EXPECT_EQ(hold, 1.0);
    } else {
      EXPECT_LT(r.hold[0], 1.0);
      EXPECT_EQ(r.hold[3], 1.0);
    }

    // A target that is not finite everywhere gives no readouts.
    dsp::BandCurve broken{};
    broken[50] = std::numeric_limits<double>::quiet_NaN();
    EXPECT_FALSE(analysis.readouts(broken, {200, 2000, 6000}, {1, 1, 1, 1}).active);
  }
}

}  // namespace
