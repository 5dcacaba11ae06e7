// Loudness meter: EBU Tech 3341 programmes, agreement with libebur128, gating edges, reset
// and recovery from non-finite samples.
#include <gtest/gtest.h>

#include <ebur128.h>

#include <cmath>
#include <limits>
#include <memory>
#include <random>
#include <vector>

#include "engine/dsp/loudness_meter.h"
#include "tests/engine/dsp/signals.h"

namespace {

using spectrapoise::dsp::LoudnessGate;
using spectrapoise::dsp::meterStepLength;
using spectrapoise::dsp::ShortTermLoudness;
using sp::test::Programme;
using sp::test::Stereo;

struct Piece {
  double dbfs;
  double seconds;
};

Programme sineProgramme(double rate, const std::vector<Piece>& pieces) {
  Programme p(rate);
  for (const Piece& piece : pieces) p.sine(1000.0, piece.dbfs, piece.seconds);
  return p;
}

Stereo sineBuffer(double rate, const std::vector<Piece>& pieces) {
  return sp::test::render(sineProgramme(rate, pieces));
}

// Feeds a programme in blocks of `block` frames. After each block that completed a step,
// calls onStep().
template <typename OnStep>
void stream(ShortTermLoudness& meter, Programme& programme, int block, OnStep onStep) {
  std::vector<double> l(block), r(block);
  while (std::size_t n = programme.next(l.data(), r.data(), block)) {
    const double* ch[2] = {l.data(), r.data()};
    if (meter.process(ch, 2, static_cast<int>(n)) > 0) onStep(ch, n);
  }
}

// Feeds a whole in-memory programme in blocks of `block` frames.
void feed(ShortTermLoudness& meter, Stereo& s, int block = 512) {
  const double* const* ch = s.pointers();
  for (std::size_t at = 0; at < s.frames(); at += block) {
    const int n = static_cast<int>(std::min<std::size_t>(block, s.frames() - at));
    const double* offset[2] = {ch[0] + at, ch[1] + at};
    meter.process(offset, 2, n);
  }
}

ShortTermLoudness preparedMeter(double rate) {
  ShortTermLoudness meter;
  meter.prepare(rate);
  return meter;
}

// --- EBU Tech 3341 -------------------------------------------------------------------------

struct EbuCase {
  const char* name;
  std::vector<Piece> pieces;
  double expected;  // integrated loudness of this meter (libebur128 gives the same)
};

TEST(LoudnessEbu3341, IntegratedCasesOneToFive) {
  const std::vector<EbuCase> cases = {
      {"case 1", {{-23, 20}}, -22.993},
      {"case 2", {{-33, 20}}, -32.993},
      {"case 3", {{-36, 10}, {-23, 60}, {-36, 10}}, -23.014},
      {"case 4", {{-72, 10}, {-36, 10}, {-23, 60}, {-36, 10}, {-72, 10}}, -23.014},
      {"case 5", {{-26, 20}, {-20, 20.1}, {-26, 20}}, -22.979},
  };
  for (const EbuCase& c : cases) {
    SCOPED_TRACE(c.name);
    Programme programme = sineProgramme(48000, c.pieces);
    ShortTermLoudness meter = preparedMeter(48000);
    stream(meter, programme, 512, [](const double* const*, std::size_t) {});
    const double ebuTarget = c.name == std::string("case 2") ? -33.0 : -23.0;
    EXPECT_NEAR(meter.integrated(), ebuTarget, 0.1);
    EXPECT_NEAR(meter.integrated(), c.expected, 0.0005);
  }
}

TEST(LoudnessEbu3341, ShortTermCaseNineHoldsAtEveryStepFromThreeSeconds) {
  std::vector<Piece> pieces;
  for (int i = 0; i < 5; ++i) {
    pieces.push_back({-20, 1.34});
    pieces.push_back({-30, 1.66});
  }
  Programme programme = sineProgramme(48000, pieces);
  ShortTermLoudness meter = preparedMeter(48000);
  int steps = 0;
  stream(meter, programme, static_cast<int>(meter.stepLength()),
         [&](const double* const*, std::size_t) {
           ++steps;
           if (steps >= 30) {
             EXPECT_NEAR(meter.shortTerm(), -23.0, 0.1) << "step " << steps;
             EXPECT_NEAR(meter.shortTerm(), -22.986, 0.0005) << "step " << steps;
           }
         });
  EXPECT_EQ(steps, 150);
}

// --- Agreement with libebur128 ------------------------------------------------------------

struct Oracle {
  explicit Oracle(double rate)
      : state(ebur128_init(2, static_cast<unsigned long>(rate), EBUR128_MODE_I | EBUR128_MODE_S)) {}
  ~Oracle() { ebur128_destroy(&state); }
  ebur128_state* state;
};

std::vector<Programme> agreementProgrammes(double rate) {
  std::vector<Programme> out;
  // Steady noise.
  out.push_back(Programme(rate, 11).noise(-18, 6));
  // Noise that moves through both gates: loud, quiet, below -70, medium.
  Programme gated(rate, 12);
  for (double level : {-14.0, -40.0, -80.0, -22.0, -31.0, -90.0, -17.0}) gated.noise(level, 1.2);
  out.push_back(gated);
  // Slowly rising and falling noise.
  Programme moving(rate, 13);
  for (int i = 0; i < 30; ++i) moving.noise(-45.0 + 30.0 * std::sin(i * 0.4), 0.3);
  out.push_back(moving);
  // The sine of case 5, shortened.
  out.push_back(Programme(rate).sine(1000, -26, 2).sine(1000, -20, 2.1).sine(1000, -26, 2));
  return out;
}

TEST(LoudnessAgreement, MatchesLibebur128AtEveryStep) {
  for (double rate : {44100.0, 48000.0, 96000.0, 192000.0}) {
    std::vector<Programme> programmes = agreementProgrammes(rate);
    for (std::size_t p = 0; p < programmes.size(); ++p) {
      SCOPED_TRACE(testing::Message() << "rate " << rate << " programme " << p);
      ShortTermLoudness meter = preparedMeter(rate);
      Oracle oracle(rate);
      const auto step = static_cast<std::size_t>(meter.stepLength());
      std::vector<double> interleaved(2 * step);
      double worstShortTerm = 0.0;
      int steps = 0;
      stream(meter, programmes[p], static_cast<int>(step), [&](const double* const* ch, std::size_t n) {
        ASSERT_EQ(n, step);
        ++steps;
        for (std::size_t i = 0; i < step; ++i) {
          interleaved[2 * i] = ch[0][i];
          interleaved[2 * i + 1] = ch[1][i];
        }
        ebur128_add_frames_double(oracle.state, interleaved.data(), step);
        double shortTerm = 0.0;
        ebur128_loudness_shortterm(oracle.state, &shortTerm);
        // libebur128 reads -inf for silence where this meter reads -150.
        if (shortTerm > -150.0)
          worstShortTerm = std::max(worstShortTerm, std::fabs(meter.shortTerm() - shortTerm));
        else
          EXPECT_EQ(meter.shortTerm(), -150.0);
      });
      EXPECT_GT(steps, 50);
      EXPECT_LE(worstShortTerm, 0.001);
      double integrated = 0.0;
      ebur128_loudness_global(oracle.state, &integrated);
      EXPECT_NEAR(meter.integrated(), integrated, 0.05);
    }
  }
}

// --- Gating edges -----------------------------------------------------------------------------

double loudnessOf(double x) { return -0.691 + 10.0 * std::log10(x); }

TEST(LoudnessGating, AbsoluteGateAdmitsExactlyMinusSeventy) {
  // The smallest block power whose loudness computes to -70 or more.
  double x = std::pow(10.0, (-70.0 + 0.691) / 10.0);
  while (loudnessOf(x) < -70.0) x = std::nextafter(x, 1.0);
  while (loudnessOf(std::nextafter(x, 0.0)) >= -70.0) x = std::nextafter(x, 0.0);

  LoudnessGate admitted;
  admitted.addBlock(x);
  EXPECT_EQ(admitted.binCount(0), 1u);
  EXPECT_NEAR(admitted.integrated(), -70.0, 1e-9);

  LoudnessGate refused;
  refused.addBlock(std::nextafter(x, 0.0));
  for (int b = 0; b < LoudnessGate::kBins; ++b) ASSERT_EQ(refused.binCount(b), 0u);
  EXPECT_EQ(refused.integrated(), -150.0);
}

TEST(LoudnessGating, LoudAndAbsurdBlocksLandInTheTopBin) {
  for (double lufs : {9.96, 10.0, 30.0, 3000.0}) {
    SCOPED_TRACE(lufs);
    LoudnessGate gate;
    gate.addBlock(std::pow(10.0, (lufs + 0.691) / 10.0));
    EXPECT_EQ(gate.binCount(1599), 1u);
  }
  // Far beyond anything an int can index: must be capped before the conversion.
  LoudnessGate gate;
  gate.addBlock(1e300);
  EXPECT_EQ(gate.binCount(1599), 1u);
  EXPECT_GT(gate.integrated(), 2900.0);
}

TEST(LoudnessGating, NonFiniteOrEmptyBlocksAreIgnored) {
  LoudnessGate gate;
  for (double x : {0.0, -1.0, std::numeric_limits<double>::infinity(),
                   std::numeric_limits<double>::quiet_NaN()})
    gate.addBlock(x);
  EXPECT_EQ(gate.integrated(), -150.0);
  gate.addBlock(std::pow(10.0, (-23.0 + 0.691) / 10.0));
  EXPECT_NEAR(gate.integrated(), -23.0, 1e-9);
}

TEST(LoudnessGating, RelativeGateWorksOnBinMeans) {
  // Two blocks at -20 and many at -35: the -35 blocks lie more than 10 LU below the
  // ungated mean only when the loud blocks dominate.
  LoudnessGate gate;
  auto power = [](double lufs) { return std::pow(10.0, (lufs + 0.691) / 10.0); };
  gate.addBlock(power(-20.0));
  gate.addBlock(power(-20.0));
  gate.addBlock(power(-35.0));
  // Ungated mean: 10log10((2*p(-20) + p(-35)) / 3) ~ -21.7, gate ~ -31.7: -35 is gated out.
  EXPECT_NEAR(gate.integrated(), -20.0, 1e-9);
  for (int i = 0; i < 100; ++i) gate.addBlock(power(-35.0));
  // Now the mean is about -33.9 and the gate -43.9: everything counts.
  const double expected = loudnessOf((2 * power(-20.0) + 101 * power(-35.0)) / 103.0);
  EXPECT_NEAR(gate.integrated(), expected, 1e-9);
}

// --- Steps, reset and time keeping ----------------------------------------------------------

// Feeds exactly `steps` steps of a -23 dBFS tone, one step per call.
void feedSteps(ShortTermLoudness& meter, Stereo& tone, std::size_t& at, int steps) {
  const auto step = static_cast<std::size_t>(meter.stepLength());
  const double* const* ch = tone.pointers();
  for (int i = 0; i < steps; ++i, at += step) {
    const double* offset[2] = {ch[0] + at, ch[1] + at};
    meter.process(offset, 2, static_cast<int>(step));
  }
}

TEST(LoudnessSteps, IntegratedWaitsForFourCountedSteps) {
  Stereo tone = sineBuffer(48000, {{-23, 10}});
  ShortTermLoudness meter = preparedMeter(48000);
  std::size_t at = 0;
  for (int i = 1; i <= 3; ++i) {
    feedSteps(meter, tone, at, 1);
    EXPECT_EQ(meter.stepsSinceReset(), i);
    EXPECT_EQ(meter.integrated(), -150.0);
  }
  feedSteps(meter, tone, at, 1);
  EXPECT_NEAR(meter.integrated(), -23.0, 0.1);
}

TEST(LoudnessSteps, ShortTermRisesWhileTheRingFills) {
  Stereo tone = sineBuffer(48000, {{-23, 4}});
  ShortTermLoudness meter = preparedMeter(48000);
  std::size_t at = 0;
  feedSteps(meter, tone, at, 15);
  // Half of the 3 s window is still silence: 3 dB down.
  EXPECT_NEAR(meter.shortTerm(), -23.0 - 10.0 * std::log10(2.0), 0.05);
  feedSteps(meter, tone, at, 15);
  EXPECT_NEAR(meter.shortTerm(), -23.0, 0.05);
}

TEST(LoudnessSteps, ResetInsideAStepSkipsThatStep) {
  Stereo tone = sineBuffer(48000, {{-23, 10}});
  ShortTermLoudness meter = preparedMeter(48000);
  std::size_t at = 0;
  feedSteps(meter, tone, at, 10);
  const double shortTermBefore = meter.shortTerm();
  const double* const* ch = tone.pointers();
  const double* half[2] = {ch[0] + at, ch[1] + at};
  const int halfStep = static_cast<int>(meter.stepLength() / 2);
  EXPECT_EQ(meter.process(half, 2, halfStep), 0);
  at += halfStep;
  meter.resetIntegrated();
  EXPECT_EQ(meter.integrated(), -150.0);
  EXPECT_EQ(meter.stepsSinceReset(), 0);
  const double* rest[2] = {ch[0] + at, ch[1] + at};
  EXPECT_EQ(meter.process(rest, 2, static_cast<int>(meter.stepLength()) - halfStep), 1);
  at += meter.stepLength() - halfStep;
  // The straddling step still feeds the short-term ring but not the integrated part.
  EXPECT_EQ(meter.stepsSinceReset(), 0);
  EXPECT_GT(meter.shortTerm(), shortTermBefore);
  feedSteps(meter, tone, at, 3);
  EXPECT_EQ(meter.stepsSinceReset(), 3);
  EXPECT_EQ(meter.integrated(), -150.0);
  feedSteps(meter, tone, at, 1);
  EXPECT_NEAR(meter.integrated(), -23.0, 0.1);
}

TEST(LoudnessSteps, ResetOnAStepBoundarySkipsNothing) {
  Stereo tone = sineBuffer(48000, {{-23, 3}});
  ShortTermLoudness meter = preparedMeter(48000);
  std::size_t at = 0;
  feedSteps(meter, tone, at, 10);
  meter.resetIntegrated();
  feedSteps(meter, tone, at, 1);
  EXPECT_EQ(meter.stepsSinceReset(), 1);
}

TEST(LoudnessSteps, WithoutChannelsStepsCompleteOnTimeAndSilent) {
  ShortTermLoudness meter = preparedMeter(44100);
  const double* none[1] = {nullptr};
  EXPECT_EQ(meter.process(none, 0, 4409), 0);
  EXPECT_EQ(meter.process(none, 0, 1), 1);
  EXPECT_EQ(meter.process(none, 0, 44100 * 3), 30);
  EXPECT_EQ(meter.shortTerm(), -150.0);
  EXPECT_EQ(meter.integrated(), -150.0);
  EXPECT_EQ(meter.stepsSinceReset(), 31);
  // Nothing at all happens without frames or without a channel array.
  EXPECT_EQ(meter.process<double>(nullptr, 2, 512), 0);
  EXPECT_EQ(meter.process(none, 0, 0), 0);
}

TEST(LoudnessSteps, StepLengthIsTheRoundedTenthOfTheRate) {
  struct Case {
    double rate;
    std::int64_t frames;
  };
  const Case cases[] = {
      {48000, 4800}, {44100, 4410}, {22051, 2205}, {5, 1}, {4, 1}, {0, 1}, {-48000, 1},
      {std::numeric_limits<double>::quiet_NaN(), 1},
      {std::numeric_limits<double>::infinity(), 1000000000000000},
  };
  for (const Case& c : cases) EXPECT_EQ(meterStepLength(c.rate), c.frames) << c.rate;
}

TEST(LoudnessSteps, UnusableRateReadsNothingAndKeepsTime) {
  for (double rate : {0.0, -1.0, std::numeric_limits<double>::quiet_NaN()}) {
    ShortTermLoudness meter = preparedMeter(rate);
    Stereo tone = sineBuffer(48000, {{-10, 0.1}});
    EXPECT_EQ(meter.process(tone.pointers(), 2, static_cast<int>(tone.frames())),
              static_cast<int>(tone.frames()));
    EXPECT_EQ(meter.shortTerm(), -150.0);
    EXPECT_EQ(meter.integrated(), -150.0);
  }
}

TEST(LoudnessChannels, ThirdChannelChangesNothingAndMonoUsesChannelZero) {
  Stereo s = sp::test::render(Programme(48000, 5).noise(-20, 2.5));
  std::vector<double> third(s.frames(), 0.9);
  const double* ch3[3] = {s.left.data(), s.right.data(), third.data()};
  ShortTermLoudness two = preparedMeter(48000), three = preparedMeter(48000);
  two.process(s.pointers(), 2, static_cast<int>(s.frames()));
  three.process(ch3, 3, static_cast<int>(s.frames()));
  EXPECT_EQ(two.shortTerm(), three.shortTerm());
  EXPECT_EQ(two.integrated(), three.integrated());

  // Mono weighs channel 0 alone: half the power of the same signal on both channels.
  Stereo same = sineBuffer(48000, {{-20, 3}});
  ShortTermLoudness mono = preparedMeter(48000), stereo = preparedMeter(48000);
  mono.process(same.pointers(), 1, static_cast<int>(same.frames()));
  stereo.process(same.pointers(), 2, static_cast<int>(same.frames()));
  EXPECT_NEAR(stereo.shortTerm() - mono.shortTerm(), 10.0 * std::log10(2.0), 1e-9);
}

TEST(LoudnessChannels, FloatSamplesMeterLikeDoubles) {
  Stereo s = sp::test::render(Programme(48000, 9).noise(-20, 1.0));
  std::vector<float> l(s.left.begin(), s.left.end()), r(s.right.begin(), s.right.end());
  for (std::size_t i = 0; i < l.size(); ++i) {
    s.left[i] = l[i];
    s.right[i] = r[i];
  }
  const float* f[2] = {l.data(), r.data()};
  ShortTermLoudness a = preparedMeter(48000), b = preparedMeter(48000);
  a.process(f, 2, static_cast<int>(l.size()));
  b.process(s.pointers(), 2, static_cast<int>(s.frames()));
  EXPECT_EQ(a.shortTerm(), b.shortTerm());
}

// --- Non-finite samples ---------------------------------------------------------------------

TEST(LoudnessNonFinite, OneBadSampleDoesNotDisableTheMeter) {
  for (double bad : {std::numeric_limits<double>::quiet_NaN(),
                     std::numeric_limits<double>::infinity(), -std::numeric_limits<double>::infinity()}) {
    SCOPED_TRACE(bad);
    // A -23 LUFS tone (1 kHz sine at -23 dBFS reads -22.993).
    Stereo tone = sineBuffer(48000, {{-23, 12}});
    const std::size_t hit = 5 * 48000 + 123;
    tone.left[hit] = bad;
    ShortTermLoudness meter = preparedMeter(48000);
    const double* const* ch = tone.pointers();
    const auto step = static_cast<std::size_t>(meter.stepLength());
    double firstGood = -1.0;
    for (std::size_t at = 0; at + step <= tone.frames(); at += step) {
      const double* offset[2] = {ch[0] + at, ch[1] + at};
      meter.process(offset, 2, static_cast<int>(step));
      ASSERT_TRUE(std::isfinite(meter.shortTerm()));
      ASSERT_TRUE(std::isfinite(meter.integrated()));
      if (at > hit && firstGood < 0 && std::fabs(meter.shortTerm() + 23.0) <= 0.05)
        firstGood = double(at + step - hit) / 48000.0;
    }
    EXPECT_GT(firstGood, 0.0);
    EXPECT_LE(firstGood, 3.1);
    EXPECT_NEAR(meter.shortTerm(), -22.993, 0.001);
    // The dropped step weighs in four of the ~116 blocks: about 0.04 LU.
    EXPECT_NEAR(meter.integrated(), -22.993, 0.05);
  }
}

TEST(LoudnessSteps, BlockSizeDoesNotChangeReadings) {
  Stereo s = sp::test::render(Programme(48000, 3).noise(-25, 4.0));
  ShortTermLoudness whole = preparedMeter(48000), pieces = preparedMeter(48000);
  whole.process(s.pointers(), 2, static_cast<int>(s.frames()));
  feed(pieces, s, 97);
  EXPECT_EQ(whole.shortTerm(), pieces.shortTerm());
  EXPECT_EQ(whole.integrated(), pieces.integrated());
}

}  // namespace
