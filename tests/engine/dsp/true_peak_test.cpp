// True-peak meter: EBU Tech 3341 true-peak cases, the interpolator's taps, warm-up, reset
// hold, time keeping and non-finite samples.
#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <random>
#include <vector>

#include "engine/dsp/true_peak_meter.h"
#include "tests/engine/dsp/signals.h"

namespace {

using spectrapoise::dsp::TruePeak;
using sp::test::Programme;
using sp::test::Stereo;

TruePeak preparedMeter(double rate) {
  TruePeak meter;
  meter.designFilter();
  meter.prepare(rate);
  return meter;
}

double toDb(double v) { return 20.0 * std::log10(v); }

TEST(TruePeakEbu3341, SinesAtAwkwardPhases) {
  struct Case {
    const char* name;
    double divisor;  // sine at rate / divisor
    double amplitude;
    double phaseDegrees;
    double ebu;    // expected dBTP, tolerance +0.2 / -0.4
    double meter;  // this meter's reading
  };
  const Case cases[] = {
      {"case 15", 4, 0.5, 0.0, -6.0, -6.021},   {"case 16", 4, 0.5, 45.0, -6.0, -6.019},
      {"case 17", 6, 0.5, 60.0, -6.0, -6.021},  {"case 18", 8, 0.5, 67.5, -6.0, -6.020},
      {"case 19", 4, 1.41, 45.0, 3.0, 2.986},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const double rate = 48000;
    Stereo s = sp::test::render(
        Programme(rate).sine(rate / c.divisor, toDb(c.amplitude), 1.0, c.phaseDegrees));
    TruePeak meter = preparedMeter(rate);
    meter.process(s.pointers(), 2, static_cast<int>(s.frames()));
    const double reading = toDb(meter.peakSinceReset());
    EXPECT_NEAR(reading, c.meter, 0.005);
    EXPECT_LE(reading, c.ebu + 0.2);
    EXPECT_GE(reading, c.ebu - 0.4);
    EXPECT_EQ(meter.peakLast3s(), meter.peakSinceReset());
  }
}

TEST(TruePeakFilter, TapsHaveTheirDesignedShape) {
  TruePeak meter;
  meter.designFilter();
  for (int p = 0; p < TruePeak::kBranches; ++p) {
    double sum = 0.0;
    for (int j = 0; j < TruePeak::kTaps; ++j) sum += meter.tap(p, j);
    EXPECT_NEAR(sum, 1.0, 1e-14) << "branch " << p;
  }
  EXPECT_NEAR(meter.tap(1, 7), 0.628063, 5e-7);
  EXPECT_NEAR(meter.tap(1, 8), 0.628063, 5e-7);
  EXPECT_NEAR(meter.tap(0, 8), 0.897281, 5e-7);
  for (int j = 0; j < TruePeak::kTaps; ++j) {
    EXPECT_LE(meter.tap(0, j), meter.tap(0, 8));
    // Branches 0 and 2 mirror each other; branch 1 is symmetric.
    EXPECT_NEAR(meter.tap(0, j), meter.tap(2, 15 - j), 1e-15);
    EXPECT_NEAR(meter.tap(1, j), meter.tap(1, 15 - j), 1e-15);
    // Branch 3 is a pure delay of 7 frames.
    EXPECT_NEAR(meter.tap(3, j), j == 7 ? 1.0 : 0.0, 1e-15);
  }
}

TEST(TruePeakTiming, WarmUpReadsExactlyTheLargestSample) {
  std::mt19937 rng(11);
  std::uniform_real_distribution<double> u(-1.0, 1.0);
  std::vector<double> l(16), r(16);
  double largest = 0.0;
  for (int i = 0; i < 16; ++i) {
    l[i] = u(rng);
    r[i] = u(rng);
    largest = std::max({largest, std::fabs(l[i]), std::fabs(r[i])});
  }
  const double* ch[2] = {l.data(), r.data()};
  TruePeak meter = preparedMeter(48000);
  meter.process(ch, 2, 16);
  EXPECT_EQ(meter.peakSinceReset(), largest);
}

TEST(TruePeakTiming, ResetThenSilenceReadsZero) {
  Stereo s = sp::test::render(Programme(48000).sine(11025, 0.0, 0.5, 30.0));
  TruePeak meter = preparedMeter(48000);
  meter.process(s.pointers(), 2, static_cast<int>(s.frames()));
  ASSERT_GT(meter.peakSinceReset(), 0.99);
  meter.resetMaximum();
  std::vector<double> zeros(48000, 0.0);
  const double* ch[2] = {zeros.data(), zeros.data()};
  meter.process(ch, 2, 7);  // the hold spans blocks
  meter.process(ch, 2, 48000 - 7);
  EXPECT_EQ(meter.peakSinceReset(), 0.0);
  // The 3 s maximum still remembers the sine until it leaves the window.
  EXPECT_GT(meter.peakLast3s(), 0.99);
}

TEST(TruePeakTiming, ThreeSecondPeakDecaysAfterThirtySilentSteps) {
  Stereo s = sp::test::render(Programme(44100).sine(1000, -6.0, 0.2));
  TruePeak meter = preparedMeter(44100);
  meter.process(s.pointers(), 2, static_cast<int>(s.frames()));
  std::vector<double> zeros(4410, 0.0);
  const double* ch[2] = {zeros.data(), zeros.data()};
  for (int step = 0; step < 29; ++step) {
    meter.process(ch, 2, 4410);
    ASSERT_GT(meter.peakLast3s(), 0.4) << step;
  }
  // The first silent step still holds the interpolator's ringing of the sine's end.
  meter.process(ch, 2, 4410);
  EXPECT_GT(meter.peakLast3s(), 0.0);
  // Without channels the meter still keeps time.
  meter.process(ch, 0, 4410);
  EXPECT_EQ(meter.peakLast3s(), 0.0);
  EXPECT_GT(meter.peakSinceReset(), 0.4);
}

TEST(TruePeakChannels, ThirdChannelChangesNothingAndMonoUsesChannelZero) {
  Stereo s = sp::test::render(Programme(48000, 2).noise(-10, 0.5));
  std::vector<double> loud(s.frames(), 0.99), silent(s.frames(), 0.0);
  const double* three[3] = {s.left.data(), s.right.data(), loud.data()};
  TruePeak two = preparedMeter(48000), withThird = preparedMeter(48000);
  two.process(s.pointers(), 2, static_cast<int>(s.frames()));
  withThird.process(three, 3, static_cast<int>(s.frames()));
  EXPECT_EQ(two.peakSinceReset(), withThird.peakSinceReset());

  const double* monoPlusSilence[2] = {s.left.data(), silent.data()};
  TruePeak mono = preparedMeter(48000), padded = preparedMeter(48000);
  mono.process(monoPlusSilence, 1, static_cast<int>(s.frames()));
  padded.process(monoPlusSilence, 2, static_cast<int>(s.frames()));
  EXPECT_EQ(mono.peakSinceReset(), padded.peakSinceReset());
}

TEST(TruePeakNonFinite, NaNNeverBecomesAMaximumAndMeteringGoesOn) {
  Stereo s = sp::test::render(Programme(48000).sine(1000, -12.0, 1.0));
  s.left[4000] = std::numeric_limits<double>::quiet_NaN();
  s.right[30000] = 2.0;  // a later, louder sample must still register
  TruePeak meter = preparedMeter(48000);
  meter.process(s.pointers(), 2, static_cast<int>(s.frames()));
  EXPECT_GE(meter.peakSinceReset(), 2.0);
  EXPECT_FALSE(std::isnan(meter.peakLast3s()));
}

TEST(TruePeakChannels, FloatAndDoubleSamplesAgree) {
  Stereo s = sp::test::render(Programme(48000, 4).noise(-6, 0.3));
  std::vector<float> l(s.left.begin(), s.left.end()), r(s.right.begin(), s.right.end());
  for (std::size_t i = 0; i < l.size(); ++i) {
    s.left[i] = l[i];
    s.right[i] = r[i];
  }
  const float* f[2] = {l.data(), r.data()};
  TruePeak a = preparedMeter(48000), b = preparedMeter(48000);
  a.process(f, 2, static_cast<int>(l.size()));
  b.process(s.pointers(), 2, static_cast<int>(s.frames()));
  EXPECT_EQ(a.peakSinceReset(), b.peakSinceReset());
}

}  // namespace
