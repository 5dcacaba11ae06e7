// Target learner fed with synthetic hops: blocks, gate, segments and spread, normalisation,
// messages and ignored hops.
#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <string>

#include "engine/dsp/target_learner.h"

namespace {

using spectrapoise::dsp::BandCurve;
using spectrapoise::dsp::LearnedTarget;
using spectrapoise::dsp::TargetLearner;

BandCurve flat(double power) {
  BandCurve b;
  b.fill(power);
  return b;
}

double meanPowerDb(const BandCurve& curve) {
  double sum = 0.0;
  for (int k = 18; k <= 173; ++k) sum += std::pow(10.0, curve[k] / 10.0);
  return 10.0 * std::log10(sum / 156.0);
}

TEST(TargetLearnerMessages, NothingLoudEnoughWithoutHalfASecond) {
  TargetLearner learner;
  LearnedTarget result;
  std::string error;
  EXPECT_FALSE(learner.finish(result, error, 0.0));
  EXPECT_EQ(error, "there was nothing loud enough to learn from");
  learner.add(flat(1.0), 1.0, 0.49);
  EXPECT_FALSE(learner.finish(result, error, 0.0));
  EXPECT_EQ(error, "there was nothing loud enough to learn from");
  learner.add(flat(1.0), 1.0, 0.01);  // half a second is enough for the partial block
  EXPECT_TRUE(learner.finish(result, error, 0.0));
  EXPECT_DOUBLE_EQ(result.seconds, 0.5);
}

TEST(TargetLearnerMessages, TooFewLoudSecondsAreRoundedDown) {
  struct Case {
    double loud;
    double minimum;
    const char* message;
  };
  const Case cases[] = {
      {14.6, 15, "only 14 s was loud enough to learn from, at least 15 s is needed"},
      {12.4, 15, "only 12 s was loud enough to learn from, at least 15 s is needed"},
      {1.9, 2, "only 1 s was loud enough to learn from, at least 2 s is needed"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.loud);
    TargetLearner learner;
    const int whole = static_cast<int>(c.loud);
    for (int i = 0; i < whole; ++i) learner.add(flat(1.0), 1.0, 1.0);
    learner.add(flat(1.0), 1.0, c.loud - whole);  // a partial block of at least 0.5 s
    LearnedTarget result;
    result.seconds = -1.0;
    std::string error;
    EXPECT_FALSE(learner.finish(result, error, c.minimum));
    EXPECT_EQ(error, c.message);
    EXPECT_EQ(result.seconds, -1.0);  // untouched on failure
  }
}

TEST(TargetLearnerMessages, NothingToMeasureWithoutBandEnergy) {
  TargetLearner learner;
  for (int i = 0; i < 3; ++i) learner.add(flat(0.0), 1.0, 1.0);
  LearnedTarget result;
  std::string error;
  EXPECT_FALSE(learner.finish(result, error, 2.0));
  EXPECT_EQ(error, "there was nothing to measure");
}

TEST(TargetLearnerCurve, NormalisedAndGapsFilledFromBelow) {
  BandCurve bands;
  for (int k = 0; k < 180; ++k) bands[k] = std::pow(10.0, (k % 7) / 10.0);
  bands[0] = bands[1] = bands[2] = 0.0;  // lowest bands empty: take band 3
  bands[50] = 0.0;                       // a gap: takes band 49
  TargetLearner learner;
  for (int i = 0; i < 4; ++i) learner.add(bands, 1.0, 0.5);
  LearnedTarget result;
  std::string error;
  ASSERT_TRUE(learner.finish(result, error, 2.0));
  EXPECT_NEAR(meanPowerDb(result.curve), 0.0, 1e-12);
  EXPECT_EQ(result.curve[0], result.curve[3]);
  EXPECT_EQ(result.curve[2], result.curve[3]);
  EXPECT_EQ(result.curve[50], result.curve[49]);
  EXPECT_NEAR(result.curve[10] - result.curve[8], 2.0, 1e-12);
  EXPECT_DOUBLE_EQ(result.seconds, 2.0);
}

// Blocks of exactly 1 s. Every band has power 1 except band 0 (outside the normalisation
// range), whose power tells the segments apart: 1 in the first ten blocks, 100 in the next
// ten, `tail` afterwards.
TargetLearner segmentedLearner(int blocks, double tail) {
  TargetLearner learner;
  for (int i = 0; i < blocks; ++i) {
    BandCurve b = flat(1.0);
    b[0] = i < 10 ? 1.0 : i < 20 ? 100.0 : tail;
    learner.add(b, 1.0, 1.0);
  }
  return learner;
}

double expectedSpread(const std::vector<double>& segmentBand0, double wholeBand0) {
  double sum = 0.0;
  for (double s : segmentBand0) sum += (s - wholeBand0) * (s - wholeBand0);
  return std::sqrt(sum / segmentBand0.size());
}

TEST(TargetLearnerSpread, SegmentsOfTenSecondsAndALastOfAtLeastFive) {
  const double tail = 1e4;
  LearnedTarget result;
  std::string error;

  // 9 blocks: one segment, closed after the walk: no spread.
  ASSERT_TRUE(segmentedLearner(9, tail).finish(result, error, 2.0));
  for (double s : result.spread) EXPECT_EQ(s, 0.0);

  // 24 blocks: two segments; the last 4 s count for the curve only.
  ASSERT_TRUE(segmentedLearner(24, tail).finish(result, error, 2.0));
  double whole = 10.0 * std::log10((10.0 + 1000.0 + 4 * tail) / 24.0);
  EXPECT_NEAR(result.curve[0], whole, 1e-9);
  EXPECT_NEAR(result.spread[0], expectedSpread({0.0, 20.0}, whole), 1e-9);
  EXPECT_NEAR(result.spread[100], 0.0, 1e-12);

  // 25 blocks: the last 5 s make a third segment.
  ASSERT_TRUE(segmentedLearner(25, tail).finish(result, error, 2.0));
  whole = 10.0 * std::log10((10.0 + 1000.0 + 5 * tail) / 25.0);
  EXPECT_NEAR(result.spread[0], expectedSpread({0.0, 20.0, 40.0}, whole), 1e-9);
  EXPECT_DOUBLE_EQ(result.seconds, 25.0);
}

TEST(TargetLearnerGate, QuietBlocksAreSkippedWithoutSplittingSegments) {
  // Ten loud blocks with band 0 at 1, twenty blocks 20 dB below the percentile, then ten
  // loud blocks with band 0 at 100. The quiet blocks neither count nor split a segment.
  TargetLearner learner;
  for (int i = 0; i < 5; ++i) learner.add(flat(1.0), 1.0, 1.0);
  for (int i = 0; i < 20; ++i) learner.add(flat(1e6), 0.01, 1.0);  // exactly 20 dB down
  for (int i = 0; i < 5; ++i) learner.add(flat(1.0), 1.0, 1.0);
  for (int i = 0; i < 10; ++i) {
    BandCurve b = flat(1.0);
    b[0] = 100.0;
    learner.add(b, 1.0, 1.0);
  }
  LearnedTarget result;
  std::string error;
  ASSERT_TRUE(learner.finish(result, error, 2.0));
  EXPECT_DOUBLE_EQ(result.seconds, 20.0);
  // Had the quiet blocks counted, the flat 1e6 bands would dominate band 100 against band 0.
  const double whole = 10.0 * std::log10((10.0 + 1000.0) / 20.0);
  EXPECT_NEAR(result.curve[0], whole, 1e-9);
  EXPECT_NEAR(result.spread[0], expectedSpread({0.0, 20.0}, whole), 1e-9);
  EXPECT_DOUBLE_EQ(learner.totalSeconds(), 40.0);
}

TEST(TargetLearnerHops, NonFiniteHopsChangeNothing) {
  const double nan = std::numeric_limits<double>::quiet_NaN();
  const double inf = std::numeric_limits<double>::infinity();
  TargetLearner learner;
  learner.add(flat(2.0), 1.0, 0.7);
  BandCurve badBand = flat(1.0);
  badBand[77] = nan;
  BandCurve infBand = flat(1.0);
  infBand[3] = inf;
  learner.add(badBand, 1.0, 0.7);
  learner.add(infBand, 1.0, 0.7);
  learner.add(flat(1.0), nan, 0.7);
  learner.add(flat(1.0), 1.0, inf);
  learner.add(flat(1.0), 1.0, nan);
  EXPECT_DOUBLE_EQ(learner.totalSeconds(), 0.7);
  EXPECT_TRUE(learner.blocks().empty());
  EXPECT_EQ(learner.currentBlock().bands[77], 2.0);
  EXPECT_DOUBLE_EQ(learner.currentBlock().level, 0.7);
}

TEST(TargetLearnerHops, BlocksCloseAtOneSecondWithTheirWeightedMeanLevel) {
  TargetLearner learner;
  learner.add(flat(1.0), 4.0, 0.25);
  learner.add(flat(1.0), 1.0, 0.75);
  ASSERT_EQ(learner.blocks().size(), 1u);
  EXPECT_DOUBLE_EQ(learner.blocks()[0].level, 1.75);
  EXPECT_DOUBLE_EQ(learner.blocks()[0].weight, 1.0);
  EXPECT_EQ(learner.blocks()[0].bands[5], 2.0);
  EXPECT_EQ(learner.currentBlock().weight, 0.0);

  // finish does not change the learner; learning goes on.
  LearnedTarget result;
  std::string error;
  learner.add(flat(1.0), 1.0, 0.6);
  EXPECT_FALSE(learner.finish(result, error, 5.0));
  EXPECT_EQ(learner.blocks().size(), 1u);
  EXPECT_DOUBLE_EQ(learner.currentBlock().weight, 0.6);
  learner.clear();
  EXPECT_TRUE(learner.blocks().empty());
  EXPECT_EQ(learner.totalSeconds(), 0.0);
}

}  // namespace
