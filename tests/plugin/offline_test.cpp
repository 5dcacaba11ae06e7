// The inline correction while the host renders offline: repeatable renders, the same gains
// as the worker for the same audio (and as an analyser set up by hand from the parameter
// values), and leaving a freeze in the middle of a render.
#include <gtest/gtest.h>

#include <algorithm>
#include <vector>

#include "plugin/worker.h"
#include "tests/support/plugin/plugin_harness.h"

namespace {

using namespace sp::test;
using namespace spectrapoise::plugin;
namespace dsp = spectrapoise::dsp;

using Gains5 = std::array<float, 5>;

Gains5 published(const SpectraPoise& plug) {
  const dsp::CorrectionGains g = plug.loadGains();
  return {static_cast<float>(g.tilt), static_cast<float>(g.low), static_cast<float>(g.loMid),
          static_cast<float>(g.hiMid), static_cast<float>(g.high)};
}

Gains5 asFloats(const dsp::CorrectionGains& g) {
  return {static_cast<float>(g.tilt), static_cast<float>(g.low), static_cast<float>(g.loMid),
          static_cast<float>(g.hiMid), static_cast<float>(g.high)};
}

// Distinct amounts and crossovers, so a mixed-up order changes the gains.
void configure(SpectraPoise& plug) {
  hostSet(plug, kCorrect, 1.0);
  hostSet(plug, kCorrectTilt, 70.0);
  hostSet(plug, kCorrectLow, 40.0);
  hostSet(plug, kCorrectLoMid, 60.0);
  hostSet(plug, kCorrectHiMid, 30.0);
  hostSet(plug, kCorrectHigh, 90.0);
  hostSet(plug, kCorrectSpeed, 4.0);
  hostSet(plug, kLowCrossover, 150.0);
  hostSet(plug, kMidCrossover, 2500.0);
  hostSet(plug, kHighCrossover, 7000.0);
}

const Stereo& programme() {
  static const Stereo s = coloured(pinkNoise(48000 * 20, 0.1, 21), {2.5, 3.0, -1.5, 1.0, -3.0}, 48000.0);
  return s;
}

constexpr int kBlock = 1000;  // 20 s at 48 kHz is 960 blocks

struct Render {
  std::vector<Gains5> gains;  // published after each block
  Stereo out;
};

Render renderOffline(SpectraPoise& plug, const Stereo& in) {
  plug.SetRenderingOffline(true);
  Render r;
  r.out = Stereo(in.size());
  for (std::size_t start = 0; start < in.size(); start += kBlock) {
    processRange(plug, in, r.out, start, static_cast<int>(std::min<std::size_t>(kBlock, in.size() - start)));
    r.gains.push_back(published(plug));
  }
  return r;
}

bool sameFrom(const Render& a, const Render& b, std::size_t from) {
  return std::equal(a.out.left.begin() + from, a.out.left.end(), b.out.left.begin() + from) &&
         std::equal(a.out.right.begin() + from, a.out.right.end(), b.out.right.begin() + from);
}

TEST(Offline, RenderingTwiceAfterAResetGivesTheSameResult) {
  PlugPtr plug = makePlug();
  connect(*plug, 2, 2);
  configure(*plug);
  resetAt(*plug, 48000.0);
  const Render first = renderOffline(*plug, programme());
  resetAt(*plug, 48000.0);  // same rate: only the offline analyser starts again
  const Render second = renderOffline(*plug, programme());
  EXPECT_EQ(first.gains, second.gains);
  // The correction filters keep their state over a reset at the same rate: the second
  // render starts from the end of the first, whose trace is gone within 0.1 s.
  EXPECT_FALSE(sameFrom(first, second, 0));
  EXPECT_TRUE(sameFrom(first, second, 4800));
  EXPECT_NE(first.gains.back(), asFloats(dsp::CorrectionGains{})) << "the render was corrected";

  // A fresh instance repeats the first render exactly.
  PlugPtr again = makePlug();
  connect(*again, 2, 2);
  configure(*again);
  resetAt(*again, 48000.0);
  const Render repeated = renderOffline(*again, programme());
  EXPECT_EQ(first.gains, repeated.gains);
  EXPECT_TRUE(sameFrom(first, repeated, 0));
}

TEST(Offline, GivesTheWorkersGainsForTheSameAudio) {
  const Stereo& in = programme();

  PlugPtr offline = makePlug();
  connect(*offline, 2, 2);
  configure(*offline);
  const Render rendered = renderOffline(*offline, in);

  // The same blocks in real time, with one worker pass after each.
  PlugPtr live = makePlug();
  connect(*live, 2, 2);
  configure(*live);
  CorrectionWorker worker(*live);
  Stereo out(in.size());

  // An analyser set up by hand from the parameter values above.
  dsp::CorrectionAnalyser reference;
  reference.prepare(48000.0);
  dsp::CorrectionSettings settings;
  settings.amount = {0.7, 0.4, 0.6, 0.3, 0.9};  // tilt, low, lo-mid, hi-mid, high
  settings.speed = 4.0;
  settings.crossovers = dsp::Crossovers{150.0, 2500.0, 7000.0};
  reference.setSettings(settings);
  reference.setTargetCurve(dsp::BandCurve{});

  std::size_t block = 0;
  for (std::size_t start = 0; start < in.size(); start += kBlock, ++block) {
    processRange(*live, in, out, start, kBlock);
    worker.runPass();
    for (std::size_t i = start; i < start + kBlock; ++i)
      reference.push(static_cast<float>(in.left[i]), static_cast<float>(in.right[i]));
    ASSERT_EQ(published(*live), rendered.gains[block]) << "block " << block;
    ASSERT_EQ(asFloats(reference.gains()), rendered.gains[block]) << "block " << block;
  }
}

TEST(Offline, ShortRenderNeverReachesAnAnalysis) {
  PlugPtr plug = makePlug();
  connect(*plug, 2, 2);
  configure(*plug);
  const Stereo in = pinkNoise(8191, 0.1, 22);
  const Render r = renderOffline(*plug, in);
  for (const Gains5& g : r.gains) EXPECT_EQ(g, asFloats(dsp::CorrectionGains{}));
}

TEST(Offline, FreezeHoldsAndLeavingItContinuesFromTheFrozenGains) {
  PlugPtr plug = makePlug();
  connect(*plug, 2, 2);
  configure(*plug);
  hostSet(*plug, kFrozenTilt, 4.0);
  hostSet(*plug, kFrozenLow, -3.0);
  // Frozen by a preset: no capture pending, so the frozen values apply.
  plug->GetParam(kFreeze)->Set(1.0);
  plug->OnParamChange(kFreeze, plugkit::kPresetRecall, -1);

  const Stereo& in = programme();
  plug->SetRenderingOffline(true);
  Stereo out(in.size());
  for (std::size_t start = 0; start < 20 * kBlock; start += kBlock) processRange(*plug, in, out, start, kBlock);
  const Gains5 frozen = asFloats(plug->frozenGains());
  EXPECT_EQ(published(*plug), frozen);

  hostSet(*plug, kFreeze, 0.0);
  processRange(*plug, in, out, 20 * kBlock, kBlock);
  EXPECT_EQ(published(*plug), frozen) << "the analysis starts again from the frozen gains";
  for (std::size_t start = 21 * kBlock; start < 48000 * 10; start += kBlock) processRange(*plug, in, out, start, kBlock);
  EXPECT_NE(published(*plug), frozen) << "and then moves them";
}

TEST(Offline, FreezeWithAPendingCaptureKeepsTheLastLiveGains) {
  PlugPtr plug = makePlug();
  connect(*plug, 2, 2);
  configure(*plug);
  const Stereo& in = programme();
  plug->SetRenderingOffline(true);
  Stereo out(in.size());
  for (std::size_t start = 0; start < 48000 * 3; start += kBlock) processRange(*plug, in, out, start, kBlock);
  const Gains5 live = published(*plug);
  ASSERT_NE(live, asFloats(dsp::CorrectionGains{}));
  hostSet(*plug, kFreeze, 1.0);  // from the host: a capture is pending until the next tick
  for (std::size_t start = 48000 * 3; start < 48000 * 4; start += kBlock) processRange(*plug, in, out, start, kBlock);
  EXPECT_EQ(published(*plug), live);
}

}  // namespace
