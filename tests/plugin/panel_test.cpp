// The panel's analysis on the main thread: the snapshot's curves (aligned to the target's
// power, smoothed across bands), the output analysis, the correction response and the way
// the editor sets a parameter in plain units.
#include <gtest/gtest.h>

#include <cmath>

#include "engine/dsp/band_grid.h"
#include "tests/support/plugin/plugin_harness.h"

namespace {

using namespace sp::test;
using namespace spectrapoise::plugin;
namespace dsp = spectrapoise::dsp;

TEST(Panel, NoLiveInputBeforeTheFirstHop) {
  PlugPtr plug = makePlug();
  connect(*plug, 2, 2);
  plug->OnUIOpen();
  const Stereo in = pinkNoise(8191, 0.1, 31);
  processAll(*plug, in, 512);
  plug->analyseForPanel();
  EXPECT_EQ(plug->panelSampleRate(), 48000.0);
  EXPECT_FALSE(plug->spectrumView().inputLive);
  for (const double v : plug->spectrumView().inputFast) ASSERT_EQ(v, -300.0);

  processAll(*plug, pinkNoise(1, 0.1, 32), 1);
  plug->analyseForPanel();
  EXPECT_TRUE(plug->spectrumView().inputLive);
}

TEST(Panel, InputCurvesSitAtTheTargetsPower) {
  PlugPtr plug = makePlug();
  connect(*plug, 2, 2);
  SpectraPoise::Target target;
  target.kind = TargetKind::Factory;
  target.name = "Sloped";
  for (std::size_t k = 0; k < dsp::kBandCount; ++k) target.curve[k] = -0.1 * static_cast<double>(k);
  plug->setTarget(target);
  plug->OnUIOpen();
  processAll(*plug, pinkNoise(48000 * 2, 0.1, 33), 512);
  plug->analyseForPanel();

  const SpectraPoise::SpectrumView& view = plug->spectrumView();
  ASSERT_TRUE(view.inputLive);
  double measured = 0.0;
  double wanted = 0.0;
  for (std::size_t k = 0; k < dsp::kBandCount; ++k) {
    if (!view.valid[k] || !dsp::inCorrectionRange(dsp::bandFrequency(k))) continue;
    measured += std::pow(10.0, view.inputFast[k] / 10.0);
    wanted += std::pow(10.0, view.target[k] / 10.0);
  }
  EXPECT_NEAR(measured / wanted, 1.0, 1e-9);
}

TEST(Panel, ResolutionSetsTheSmoothingWidth) {
  PlugPtr plug = makePlug();
  SpectraPoise::Target target;
  target.curve[90] = 30.0;
  target.spread[90] = 9.0;
  plug->setTarget(target);
  const int halfWidth[] = {3, 4, 9};
  for (int r = -1; r <= 3; ++r) {
    SCOPED_TRACE(r);
    plug->setResolutionIndex(r);
    plug->viewTarget();
    const int w = halfWidth[std::clamp(r, 0, 2)];
    const SpectraPoise::SpectrumView& view = plug->spectrumView();
    for (int k = 0; k < static_cast<int>(dsp::kBandCount); ++k) {
      const bool inside = std::abs(k - 90) <= w;
      EXPECT_EQ(view.target[static_cast<std::size_t>(k)] > 0.0, inside) << k;
      EXPECT_EQ(view.spread[static_cast<std::size_t>(k)] > 0.0, inside) << k;
    }
    // Spread takes the plain mean, the target the power mean.
    EXPECT_NEAR(view.spread[90], 9.0 / (2 * w + 1), 1e-12);
    EXPECT_NEAR(view.target[90], 10.0 * std::log10((1000.0 + 2 * w) / (2 * w + 1)), 1e-9);
  }
}

TEST(Panel, OutputAnalysisRunsWhileCorrectionIsWanted) {
  PlugPtr plug = makePlug();
  connect(*plug, 2, 2);
  plug->OnUIOpen();
  const Stereo in = pinkNoise(48000, 0.1, 34);

  processAll(*plug, in, 512);
  plug->analyseForPanel();
  EXPECT_FALSE(plug->spectrumView().outputLive);
  EXPECT_FALSE(plug->spectrumView().correctionWanted);

  hostSet(*plug, kCorrect, 1.0);
  plug->publishGains({2.0, 0, 0, 0, 0});
  plug->analyseForPanel();  // the tick that sees the correction switched on
  processAll(*plug, in, 512);
  plug->analyseForPanel();
  EXPECT_TRUE(plug->spectrumView().outputLive);
  EXPECT_TRUE(plug->spectrumView().correctionWanted);
  EXPECT_TRUE(plug->panelOutputAnalysis().hasMeasurement);
  EXPECT_EQ(plug->panelGains().tilt, 2.0);

  // Switching the correction off and on again starts the output analysis from empty.
  hostSet(*plug, kCorrect, 0.0);
  plug->analyseForPanel();
  hostSet(*plug, kCorrect, 1.0);
  processAll(*plug, pinkNoise(4096, 0.1, 35), 512);
  plug->analyseForPanel();
  EXPECT_FALSE(plug->panelOutputAnalysis().hasMeasurement);
  EXPECT_FALSE(plug->spectrumView().outputLive);
}

TEST(Panel, CorrectionResponseIsZeroAboveHalfTheRate) {
  PlugPtr plug = makePlug();
  resetAt(*plug, 32000.0);
  plug->OnUIOpen();
  hostSet(*plug, kCorrect, 1.0);
  plug->publishGains({0, 0, 0, 0, 6.0});
  plug->analyseForPanel();
  const SpectraPoise::SpectrumView& view = plug->spectrumView();
  for (std::size_t k = 0; k < dsp::kBandCount; ++k) {
    if (dsp::bandFrequency(k) >= 16000.0) {
      EXPECT_EQ(view.response[k], 0.0) << k;
    } else if (dsp::bandFrequency(k) > 8000.0) {
      EXPECT_GT(view.response[k], 3.0) << k;
    }
  }
}

TEST(Panel, SetFromPanelSnapsToTheStepAndClamps) {
  struct Case {
    int param;
    double value;
    double stored;
  } const cases[] = {
      {kCorrectTilt, 50.5, 51.0},  {kFrozenTilt, -1.505, -1.51}, {kLowCrossover, 10.0, 60.0},
      {kCorrectSpeed, 9.96, 10.0}, {kFrozenHigh, 99.0, 24.0},     {kLoudnessTarget, -14.25, -14.5},
  };
  PlugPtr plug = makePlug();
  for (const Case& c : cases) {
    plug->setFromPanel(c.param, c.value);
    EXPECT_NEAR(plug->GetParam(c.param)->Value(), c.stored, 1e-9) << c.param << " " << c.value;
  }
}

}  // namespace
