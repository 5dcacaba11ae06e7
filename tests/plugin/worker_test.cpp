// The correction worker's passes, run one at a time on the test's thread, and the freeze
// capture that turns the last live gains into the frozen-gain parameters.
#include <gtest/gtest.h>

#include <vector>

#include "plugin/worker.h"
#include "tests/support/plugin/plugin_harness.h"

namespace {

using namespace sp::test;
using namespace spectrapoise::plugin;
namespace dsp = spectrapoise::dsp;

// "Freeze" switched on by a preset: latched, no capture requested.
void freezeFromPreset(SpectraPoise& plug, bool on) {
  plug.GetParam(kFreeze)->Set(on ? 1.0 : 0.0);
  plug.OnParamChange(kFreeze, plugkit::kPresetRecall, -1);
}

void writeFrames(SpectraPoise& plug, int frames) {
  std::vector<double> x(static_cast<std::size_t>(frames), 0.01);
  plug.workerRing().write(x.data(), x.data(), frames);
}

std::array<float, 5> published(const SpectraPoise& plug) {
  const dsp::CorrectionGains g = plug.loadGains();
  return {static_cast<float>(g.tilt), static_cast<float>(g.low), static_cast<float>(g.loMid),
          static_cast<float>(g.hiMid), static_cast<float>(g.high)};
}

std::array<float, 5> asFloats(const dsp::CorrectionGains& g) {
  return {static_cast<float>(g.tilt), static_cast<float>(g.low), static_cast<float>(g.loMid),
          static_cast<float>(g.hiMid), static_cast<float>(g.high)};
}

enum class Expect { kUnchanged, kZero, kFrozen };

struct PassCase {
  const char* name;
  bool correct, bypass, offline;
  enum { kFreezeOff, kFreezeLatched, kCapturePending } freeze;
  bool liveBefore;
  Expect expect;
  bool busy;
  bool drained;
};

class WorkerPass : public ::testing::TestWithParam<PassCase> {};

TEST_P(WorkerPass, DecidesWhatToPublish) {
  const PassCase c = GetParam();
  PlugPtr plug = makePlug();
  CorrectionWorker worker(*plug);
  hostSet(*plug, kFrozenTilt, 4.0);
  hostSet(*plug, kFrozenHigh, -2.0);
  if (c.liveBefore) {
    hostSet(*plug, kCorrect, 1.0);
    worker.runPass();
    ASSERT_TRUE(worker.live());
  }
  hostSet(*plug, kCorrect, c.correct ? 1.0 : 0.0);
  hostSet(*plug, kBypass, c.bypass ? 1.0 : 0.0);
  plug->SetRenderingOffline(c.offline);
  // The audio thread hands the offline flag on to the worker.
  connect(*plug, 2, 2);
  plug->ProcessBlock(nullptr, nullptr, 0);
  if (c.freeze == PassCase::kFreezeLatched) freezeFromPreset(*plug, true);
  if (c.freeze == PassCase::kCapturePending) hostSet(*plug, kFreeze, 1.0);
  const dsp::CorrectionGains before{1.5, -1.0, 0.5, 0.25, 2.0};
  plug->publishGains(before);
  writeFrames(*plug, 1000);

  const int sleep = worker.runPass();
  EXPECT_EQ(sleep, c.busy ? 10 : 50);
  EXPECT_EQ(plug->workerRing().unread(), c.drained ? 0u : 1000u);
  switch (c.expect) {
    case Expect::kUnchanged: EXPECT_EQ(published(*plug), asFloats(before)); break;
    case Expect::kZero: EXPECT_EQ(published(*plug), asFloats(dsp::CorrectionGains{})); break;
    case Expect::kFrozen:
      EXPECT_EQ(published(*plug), asFloats(plug->frozenGains()));
      EXPECT_NE(published(*plug), asFloats(dsp::CorrectionGains{}));
      break;
  }
}

INSTANTIATE_TEST_SUITE_P(
    Table, WorkerPass,
    ::testing::Values(
        PassCase{"Idle", false, false, false, PassCase::kFreezeOff, false, Expect::kUnchanged, false, true},
        PassCase{"FirstLivePassStartsFromZero", true, false, false, PassCase::kFreezeOff, false, Expect::kZero, true,
                 true},
        PassCase{"BypassedKeepsGains", true, true, false, PassCase::kFreezeOff, true, Expect::kUnchanged, false, true},
        PassCase{"FrozenPublishesFrozenGains", true, false, false, PassCase::kFreezeLatched, true, Expect::kFrozen,
                 true, true},
        PassCase{"PendingCaptureKeepsLastLiveGains", true, false, false, PassCase::kCapturePending, true,
                 Expect::kUnchanged, true, true},
        PassCase{"OfflineLeavesRingAndGains", true, false, true, PassCase::kFreezeOff, true, Expect::kUnchanged, false,
                 false},
        PassCase{"FrozenWithCorrectOff", false, false, false, PassCase::kFreezeLatched, true, Expect::kFrozen, false,
                 true},
        PassCase{"FirstIdlePassAfterLiveKeepsGains", false, false, false, PassCase::kFreezeOff, true,
                 Expect::kUnchanged, false, true}),
    [](const ::testing::TestParamInfo<PassCase>& info) { return std::string(info.param.name); });

TEST(Worker, SwitchingCorrectOffZeroesTheGainsOnTheSecondIdlePass) {
  PlugPtr plug = makePlug();
  CorrectionWorker worker(*plug);
  hostSet(*plug, kCorrect, 1.0);
  worker.runPass();
  plug->publishGains({1, 1, 1, 1, 1});
  hostSet(*plug, kCorrect, 0.0);
  worker.runPass();
  EXPECT_EQ(plug->loadGains().low, 1.0);
  worker.runPass();
  EXPECT_EQ(plug->loadGains().low, 0.0);
  EXPECT_FALSE(worker.live());
}

TEST(Worker, DrainsTheRingInPiecesOfAtMost4096Frames) {
  PlugPtr plug = makePlug();
  CorrectionWorker worker(*plug);
  std::vector<std::size_t> pieces;
  worker.onDrainPiece = [&](std::size_t n) { pieces.push_back(n); };
  hostSet(*plug, kCorrect, 1.0);
  writeFrames(*plug, 10000);
  worker.runPass();
  EXPECT_EQ(pieces, (std::vector<std::size_t>{4096, 4096, 1808}));
  EXPECT_EQ(plug->workerRing().unread(), 0u);
}

TEST(Worker, APassEndsWhileAudioKeepsArriving) {
  PlugPtr plug = makePlug();
  CorrectionWorker worker(*plug);
  hostSet(*plug, kCorrect, 1.0);
  writeFrames(*plug, 10000);
  std::vector<std::size_t> pieces;
  // The audio thread writes another 4096 frames while each piece is analysed.
  worker.onDrainPiece = [&](std::size_t n) {
    pieces.push_back(n);
    writeFrames(*plug, 4096);
  };
  worker.runPass();
  EXPECT_EQ(pieces, (std::vector<std::size_t>{4096, 4096, 1808})) << "only what was there when the pass began";
  EXPECT_EQ(plug->workerRing().unread(), 3u * 4096u);
}

TEST(Worker, AnalysesFromTheRingAndRestartsAtANewRate) {
  PlugPtr plug = makePlug();
  connect(*plug, 2, 2);
  CorrectionWorker worker(*plug);
  hostSet(*plug, kCorrect, 1.0);
  const Stereo in = coloured(pinkNoise(48000, 0.1, 11), {3.0, 2.0, 0, 0, -2.0}, 48000.0);
  Stereo out(in.size());

  processRange(*plug, in, out, 0, 8191);
  worker.runPass();
  EXPECT_EQ(worker.rate(), 48000.0);
  EXPECT_EQ(published(*plug), asFloats(dsp::CorrectionGains{})) << "no analysis before 8192 frames";
  processRange(*plug, in, out, 8191, 1);
  worker.runPass();
  EXPECT_NE(published(*plug), asFloats(dsp::CorrectionGains{})) << "the first hop ran";
  EXPECT_EQ(published(*plug), asFloats(worker.analyser().gains()));
  EXPECT_EQ(asFloats(plug->rememberedGains()), published(*plug));

  resetAt(*plug, 44100.0);
  worker.runPass();
  EXPECT_EQ(worker.rate(), 44100.0);
  EXPECT_EQ(published(*plug), asFloats(dsp::CorrectionGains{})) << "a new rate starts again from zero";
}

TEST(Worker, LeavingAFreezeContinuesFromTheFrozenGains) {
  PlugPtr plug = makePlug();
  CorrectionWorker worker(*plug);
  hostSet(*plug, kCorrect, 1.0);
  worker.runPass();
  hostSet(*plug, kFrozenTilt, 5.0);
  freezeFromPreset(*plug, true);
  worker.runPass();
  const std::array<float, 5> frozen = asFloats(plug->frozenGains());
  EXPECT_EQ(published(*plug), frozen);
  freezeFromPreset(*plug, false);
  worker.runPass();
  EXPECT_EQ(published(*plug), frozen) << "no analysis yet: the seed stays";
}

// Freeze capture ------------------------------------------------------------------------

void setAmounts(SpectraPoise& plug, double percent, double hiMid) {
  for (const int p : kAmountParams) hostSet(plug, p, percent);
  hostSet(plug, kCorrectHiMid, hiMid);
}

std::array<double, 5> frozenParams(const SpectraPoise& plug) {
  std::array<double, 5> v{};
  for (std::size_t i = 0; i < 5; ++i) v[i] = plug.GetParam(kFrozenParams[i])->Value();
  return v;
}

void expectFrozen(const SpectraPoise& plug, const std::array<double, 5>& expected) {
  const std::array<double, 5> v = frozenParams(plug);
  for (std::size_t i = 0; i < 5; ++i) EXPECT_NEAR(v[i], expected[i], 1e-9) << "band " << i;
}

TEST(Freeze, CaptureDividesTheRememberedGainsByTheAmounts) {
  PlugPtr plug = makePlug();
  setAmounts(*plug, 50.0, 0.0);
  plug->rememberGains({2.0, 1.0, -1.0, 0.5, 3.0});
  hostSet(*plug, kFreeze, 1.0);
  EXPECT_TRUE(plug->freezeCaptureRequested());
  plug->OnIdle();
  expectFrozen(*plug, {4.0, 2.0, -2.0, 0.0, 6.0});
  EXPECT_FALSE(plug->freezeCaptureRequested());

  // Beyond +-24 dB the value is clamped.
  hostSet(*plug, kFreeze, 0.0);
  plug->rememberGains({20.0, -13.0, 0, 0, 0});
  hostSet(*plug, kFreeze, 1.0);
  plug->OnIdle();
  expectFrozen(*plug, {24.0, -24.0, 0.0, 0.0, 0.0});
}

TEST(Freeze, OnlyTheHostOrTheEditorRequestACapture) {
  struct Case {
    const char* name;
    plugkit::EParamSource source;
    bool editFrozenFirst;
    bool offAgainFirst;
    bool captured;
  } const cases[] = {
      {"host", plugkit::kHost, false, false, true},
      {"editor", plugkit::kUI, false, false, true},
      {"preset recall", plugkit::kPresetRecall, false, false, false},
      {"reset", plugkit::kReset, false, false, false},
      {"frozen value edited first", plugkit::kHost, true, false, false},
      {"switched off before the tick", plugkit::kHost, false, true, false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    PlugPtr plug = makePlug();
    setAmounts(*plug, 100.0, 100.0);
    plug->rememberGains({1.0, 2.0, 3.0, 4.0, 5.0});
    plug->GetParam(kFreeze)->Set(1.0);
    plug->OnParamChange(kFreeze, c.source, -1);
    if (c.editFrozenFirst) hostSet(*plug, kFrozenLoMid, -7.0);
    if (c.offAgainFirst) hostSet(*plug, kFreeze, 0.0);
    plug->captureFreeze();
    if (c.captured)
      expectFrozen(*plug, {1.0, 2.0, 3.0, 4.0, 5.0});
    else
      EXPECT_NEAR(plug->GetParam(kFrozenTilt)->Value(), 0.0, 1e-12);
  }
}

// Switches "Freeze" off and on from the host while the capture writes its first value.
class FreezeToggledDuringCapture : public SpectraPoise {
public:
  using SpectraPoise::SpectraPoise;
  void OnParamChange(int idx, plugkit::EParamSource source, int offset) override {
    SpectraPoise::OnParamChange(idx, source, offset);
    if (idx == kFrozenTilt && toggle) {
      toggle = false;
      GetParam(kFreeze)->Set(0.0);
      SpectraPoise::OnParamChange(kFreeze, plugkit::kHost, 0);
      GetParam(kFreeze)->Set(1.0);
      SpectraPoise::OnParamChange(kFreeze, plugkit::kHost, 0);
    }
  }
  bool toggle = false;
};

TEST(Freeze, ARequestRaisedDuringACaptureIsNotLost) {
  SpectraPoise::Options options;
  options.startWorker = false;
  auto* plug = new FreezeToggledDuringCapture(plugkit::InstanceInfo{}, options);
  setAmounts(*plug, 100.0, 100.0);
  plug->rememberGains({1.0, 1.0, 1.0, 1.0, 1.0});
  hostSet(*plug, kFreeze, 1.0);
  plug->toggle = true;
  plug->captureFreeze();
  expectFrozen(*plug, {1.0, 1.0, 1.0, 1.0, 1.0});
  EXPECT_TRUE(plug->freezeCaptureRequested()) << "switched off and on meanwhile: capture again";
  plug->rememberGains({2.0, 2.0, 2.0, 2.0, 2.0});
  plug->captureFreeze();
  expectFrozen(*plug, {2.0, 2.0, 2.0, 2.0, 2.0});
  EXPECT_FALSE(plug->freezeCaptureRequested());
  plug->release();
}

}  // namespace
