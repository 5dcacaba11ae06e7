// The whole plug-in driven through its VST3 interfaces by the test host: bypass, the
// correction of tilted pink noise toward "Balanced", freeze, offline against the worker,
// and the state of the 18 parameters.
#include <gtest/gtest.h>

#include <chrono>
#include <cmath>
#include <thread>

#include "engine/dsp/band_grid.h"
#include "engine/dsp/correction_filters.h"
#include "engine/dsp/correction_fit.h"
#include "engine/dsp/spectrum_analysis.h"
#include "framework/vst3/IPluginVST3Parameter.h"
#include "plugin/worker.h"
#include "tests/support/signals/test_signals.h"
#include "tests/support/plugin/plugin_harness.h"
#include "tools/testhost/host_objects.h"
#include "tools/testhost/plugin_host.h"

namespace {

using namespace sp::test;
using namespace spectrapoise::plugin;
namespace dsp = spectrapoise::dsp;
using Steinberg::Vst::ParamID;

constexpr double kRate = 48000.0;
constexpr int kBlock = 512;

// One instance in the test host. The raw pointer stays valid while the host holds it.
struct Hosted {
  SpectraPoise* plug = nullptr;
  std::unique_ptr<testhost::Plugin> host;
  testhost::RunLoop* loop = nullptr;
  testhost::HostContext* context = nullptr;

  Hosted(const SpectraPoise::Options& options, Steinberg::int32 mode = Steinberg::Vst::kRealtime) {
    plug = new SpectraPoise(plugkit::InstanceInfo{}, options);
    std::string error;
    host = testhost::Plugin::adopt(static_cast<Steinberg::Vst::IAudioProcessor*>(plug), error);
    EXPECT_NE(host, nullptr) << error;
    loop = new testhost::RunLoop();
    context = new testhost::HostContext("testhost");
    context->setRunLoop(loop);
    EXPECT_EQ(host->initialize(static_cast<Steinberg::Vst::IHostApplication*>(context)), Steinberg::kResultOk);
    // As a host does: stereo in and out, both main buses active.
    Steinberg::Vst::SpeakerArrangement stereo = Steinberg::Vst::SpeakerArr::kStereo;
    EXPECT_EQ(host->processor()->setBusArrangements(&stereo, 1, &stereo, 1), Steinberg::kResultOk);
    host->component()->activateBus(Steinberg::Vst::kAudio, Steinberg::Vst::kInput, 0, true);
    host->component()->activateBus(Steinberg::Vst::kAudio, Steinberg::Vst::kOutput, 0, true);
    EXPECT_EQ(host->setup(kRate, kBlock, Steinberg::Vst::kSample32, mode), Steinberg::kResultOk);
    host->start();
  }
  ~Hosted() {
    host.reset();
    context->release();
    loop->release();
  }
  // Idle ticks, as the host's run loop gives them every 20 ms.
  void idle(int ticks) {
    for (int i = 0; i < ticks; ++i) {
      std::this_thread::sleep_for(std::chrono::milliseconds(21));
      loop->fire(1);
    }
  }
};

SpectraPoise::Options withWorker() {
  SpectraPoise::Options o;
  o.busySleepMs = 2;  // shorter sleeps: the test feeds faster than real time
  o.idleSleepMs = 5;
  return o;
}

SpectraPoise::Options withoutWorker() {
  SpectraPoise::Options o;
  o.startWorker = false;
  return o;
}

double normalized(SpectraPoise& plug, int idx, double value) { return plug.GetParam(idx)->ToNormalized(value); }

// Feeds `in` in blocks with parameter changes at its start; waits for the worker whenever
// its ring holds more than a quarter second, so nothing is dropped.
class Feeder {
public:
  Feeder(Hosted& h) : h_(h), block_(2, 2, kBlock, Steinberg::Vst::kSample32) {}

  testhost::ParameterChanges changes;

  Stereo run(const Stereo& in, bool waitForWorker = true) {
    Stereo out(in.size());
    for (std::size_t start = 0; start < in.size(); start += kBlock) {
      const int n = static_cast<int>(std::min<std::size_t>(kBlock, in.size() - start));
      for (int i = 0; i < n; ++i) {
        block_.setIn(0, i, in.left[start + static_cast<std::size_t>(i)]);
        block_.setIn(1, i, in.right[start + static_cast<std::size_t>(i)]);
      }
      block_.setFrames(n);
      h_.host->process(block_, &changes);
      changes.clear();
      for (int i = 0; i < n; ++i) {
        out.left[start + static_cast<std::size_t>(i)] = block_.out(0, i);
        out.right[start + static_cast<std::size_t>(i)] = block_.out(1, i);
      }
      if (waitForWorker && h_.plug->workerRing().unread() > 12000) {
        while (h_.plug->workerRing().unread() > 0) std::this_thread::sleep_for(std::chrono::microseconds(200));
      }
    }
    return out;
  }

private:
  Hosted& h_;
  testhost::AudioBlock block_;
};

Stereo fromFloats(const std::vector<float>& l, const std::vector<float>& r, std::size_t frames) {
  Stereo s(frames);
  for (std::size_t i = 0; i < frames; ++i) {
    s.left[i] = l[i % l.size()];
    s.right[i] = r[i % r.size()];
  }
  return s;
}

// Noise whose power falls by `slope` dB per octave (pink: 3.0103).
Stereo slopedNoise(double slope, std::size_t frames, std::uint32_t seed) {
  constexpr std::size_t kPeriod = std::size_t{1} << 18;
  return fromFloats(shapedNoise(kPeriod, slope, kRate, 20.0, 0.1, seed),
                    shapedNoise(kPeriod, slope, kRate, 20.0, 0.1, seed + 1), frames);
}

bool sameFloats(const Stereo& a, const Stereo& b) {
  for (std::size_t i = 0; i < a.size(); ++i)
    if (static_cast<float>(a.left[i]) != static_cast<float>(b.left[i]) ||
        static_cast<float>(a.right[i]) != static_cast<float>(b.right[i]))
      return false;
  return true;
}

TEST(Hosted, BypassIsBitExact) {
  const Stereo in = slopedNoise(3.0103, kBlock * 200, 41);
  for (const bool hostBypass : {true, false}) {
    SCOPED_TRACE(hostBypass ? "host bypass" : "Bypass parameter");
    Hosted h(withoutWorker());
    h.plug->publishGains({3.0, -2.0, 1.0, 2.0, -3.0});
    Feeder feed(h);
    feed.changes.add(plugkit::kBypassParamId, 0, 0.0);
    feed.changes.add(hostBypass ? plugkit::kBypassParamId : static_cast<ParamID>(kBypass), 0, 1.0);
    feed.changes.add(kCorrect, 0, 1.0);
    const Stereo out = feed.run(in);
    EXPECT_TRUE(sameFloats(in, out));
  }
}

// RMS over the correction bands of a deviation curve, its power mean taken off.
double residualRms(const dsp::BandCurve& deviation, double rate) {
  double mean = 0.0;
  int n = 0;
  for (std::size_t k = 0; k < dsp::kBandCount; ++k) {
    const double f = dsp::bandFrequency(k);
    if (!dsp::inCorrectionRange(f) || !dsp::bandBelowNyquist(k, rate)) continue;
    mean += deviation[k];
    ++n;
  }
  mean /= n;
  double sum = 0.0;
  for (std::size_t k = 0; k < dsp::kBandCount; ++k) {
    const double f = dsp::bandFrequency(k);
    if (!dsp::inCorrectionRange(f) || !dsp::bandBelowNyquist(k, rate)) continue;
    sum += (deviation[k] - mean) * (deviation[k] - mean);
  }
  return std::sqrt(sum / n);
}

// Measured level per band (dB) of the last part of a signal.
dsp::BandCurve measuredDb(const Stereo& s, std::size_t from) {
  dsp::SpectrumAnalysis a;
  a.prepare(kRate);
  for (std::size_t i = from; i < s.size(); ++i) a.push(static_cast<float>(s.left[i]), static_cast<float>(s.right[i]));
  dsp::BandCurve db;
  for (std::size_t k = 0; k < dsp::kBandCount; ++k) db[k] = dsp::powerToDb(a.longPowers[k]);
  return db;
}

TEST(Hosted, CorrectionPullsTiltedPinkNoiseTowardBalanced) {
  // Pink noise darkened by 1 dB per octave against the flat "Balanced" target.
  const Stereo in = slopedNoise(3.0103 + 1.0, static_cast<std::size_t>(kRate * 40), 42);
  Hosted h(withWorker());
  Feeder feed(h);
  feed.changes.add(kCorrect, 0, 1.0);
  for (const int p : kAmountParams) feed.changes.add(static_cast<ParamID>(p), 0, 1.0);
  feed.changes.add(kCorrectSpeed, 0, 0.0);  // 2 s
  const Stereo out = feed.run(in);

  const std::size_t tail = static_cast<std::size_t>(kRate * 25);
  const dsp::BandCurve before = measuredDb(in, tail);
  const dsp::BandCurve after = measuredDb(out, tail);

  // The best five gains for the input's deviation from the target (within the 6 dB limit).
  dsp::CorrectionSettings settings;
  settings.amount = {1, 1, 1, 1, 1};
  settings.speed = 2.0;
  const double offset = [&] {
    double sum = 0.0;
    int n = 0;
    for (std::size_t k = 0; k < dsp::kBandCount; ++k)
      if (dsp::inCorrectionRange(dsp::bandFrequency(k))) {
        sum += before[k];
        ++n;
      }
    return sum / n;
  }();
  dsp::BandCurve wanted;
  for (std::size_t k = 0; k < dsp::kBandCount; ++k) wanted[k] = offset - before[k];
  const dsp::CorrectionGains best = dsp::fitCorrection(wanted, settings, kRate, {false, false, false, false, false}, {});
  const dsp::BandCurve bestResponse =
      dsp::correction_detail::responseCurve(dsp::correction_detail::design(best, settings.crossovers, kRate), kRate);
  dsp::BandCurve bestResidual;
  for (std::size_t k = 0; k < dsp::kBandCount; ++k) bestResidual[k] = before[k] + bestResponse[k];

  const double rmsBefore = residualRms(before, kRate);
  const double rmsBest = residualRms(bestResidual, kRate);
  const double rmsAfter = residualRms(after, kRate);
  EXPECT_GT(rmsBefore, 2.0);
  EXPECT_LT(rmsAfter, rmsBefore - 1.0) << "pulled toward the target";
  EXPECT_LE(rmsAfter, rmsBest + 1.0) << "within 1 dB of the best five-gain fit";
  EXPECT_GT(h.plug->loadGains().tilt, 1.0) << "a darker input is brightened";
}

TEST(Hosted, FreezeHoldsTheGainsWhileTheInputChanges) {
  Hosted h(withWorker());
  Feeder feed(h);
  feed.changes.add(kCorrect, 0, 1.0);
  feed.changes.add(kCorrectSpeed, 0, 0.0);
  feed.run(slopedNoise(3.0103 + 1.0, static_cast<std::size_t>(kRate * 10), 43));
  h.idle(2);
  const dsp::CorrectionGains live = h.plug->loadGains();
  ASSERT_GT(std::fabs(live.tilt), 0.3);

  // Freeze from the host; the next idle tick captures the correction just heard.
  feed.changes.add(kFreeze, 0, 1.0);
  feed.run(slopedNoise(3.0103 + 1.0, kBlock, 44));
  h.idle(3);
  EXPECT_FALSE(h.plug->freezeCaptureRequested());
  const dsp::CorrectionGains remembered = h.plug->rememberedGains();
  for (std::size_t i = 0; i < 5; ++i) {
    const double amount = h.plug->GetParam(kAmountParams[i])->Value() / 100.0;
    EXPECT_NEAR(h.plug->GetParam(kFrozenParams[i])->Value() * amount, remembered[i], 0.006) << i;
  }

  // A very different input for 10 s: the gains stay frozen.
  feed.run(slopedNoise(3.0103 - 2.0, static_cast<std::size_t>(kRate * 10), 45));
  h.idle(2);
  const dsp::CorrectionGains held = h.plug->loadGains();
  const dsp::CorrectionGains frozen = h.plug->frozenGains();
  for (std::size_t i = 0; i < 5; ++i) {
    EXPECT_EQ(static_cast<float>(held[i]), static_cast<float>(frozen[i])) << i;
    EXPECT_NEAR(held[i], live[i], 0.05) << i;
  }
}

TEST(Hosted, OfflineRenderGivesTheWorkersGains) {
  const Stereo in = slopedNoise(3.0103 + 1.5, static_cast<std::size_t>(kRate * 12), 46);
  Hosted offline(withoutWorker(), Steinberg::Vst::kOffline);
  Hosted live(withoutWorker());
  CorrectionWorker worker(*live.plug);
  testhost::AudioBlock blockA(2, 2, kBlock, Steinberg::Vst::kSample32);
  testhost::AudioBlock blockB(2, 2, kBlock, Steinberg::Vst::kSample32);
  testhost::ParameterChanges changes;
  std::size_t blocks = 0;
  for (std::size_t start = 0; start + kBlock <= in.size(); start += kBlock, ++blocks) {
    for (int i = 0; i < kBlock; ++i) {
      for (testhost::AudioBlock* b : {&blockA, &blockB}) {
        b->setIn(0, i, in.left[start + static_cast<std::size_t>(i)]);
        b->setIn(1, i, in.right[start + static_cast<std::size_t>(i)]);
      }
    }
    if (start == 0) {
      changes.add(kCorrect, 0, 1.0);
      changes.add(kCorrectLow, 0, 0.8);
      changes.add(kCorrectHiMid, 0, 0.3);
      changes.add(kMidCrossover, 0, normalized(*live.plug, kMidCrossover, 3000.0));
    }
    offline.host->process(blockA, &changes);
    live.host->process(blockB, &changes);
    changes.clear();
    worker.runPass();
    const dsp::CorrectionGains a = offline.plug->loadGains();
    const dsp::CorrectionGains b = live.plug->loadGains();
    for (std::size_t i = 0; i < 5; ++i) ASSERT_EQ(a[i], b[i]) << "block " << blocks << " gain " << i;
  }
  EXPECT_NE(offline.plug->loadGains().tilt, 0.0);
}

TEST(Hosted, BlocksWithoutBusesOrChannelArraysAreHarmless) {
  for (const Steinberg::int32 mode : {Steinberg::Vst::kRealtime, Steinberg::Vst::kOffline}) {
    Hosted h(withWorker(), mode);
    testhost::AudioBlock block(2, 2, kBlock, Steinberg::Vst::kSample32);
    testhost::ParameterChanges changes;
    changes.add(kCorrect, 0, 1.0);
    block.fillIn(0.1);
    h.host->process(block, &changes);
    block.removeOutputBus();
    h.host->process(block);
    block.restoreBuses();
    block.nullOutputArrays();
    h.host->process(block);
    block.restoreBuses();
    block.removeInputBus();
    block.fillOut(0.5);
    h.host->process(block);
    for (int i = 0; i < kBlock; ++i) ASSERT_EQ(block.out(0, i), 0.0) << "no input reads as silence";
    block.restoreBuses();
    block.nullInputArrays();
    h.host->process(block);
    block.restoreBuses();
    block.setFrames(0);
    h.host->process(block);
    block.setFrames(kBlock);
    h.host->process(block);
    for (int i = 0; i < kBlock; ++i) ASSERT_TRUE(std::isfinite(block.out(1, i)));
    EXPECT_GT(h.plug->meterReadings().truePeakSinceReset, -150.f);
  }
}

TEST(Hosted, StateOfTheParametersRoundTrips) {
  Hosted a(withoutWorker());
  testhost::ParameterChanges changes;
  const double values[kParamCount] = {1, 0.3, 0.7, 0.2, 1, 0.11, 0.22, 0.33, 0.44, 0.55, 1, 0.6, 0.4, 0.35, 0.65, 0.8, 0.9, 0.1};
  for (int i = 0; i < kParamCount; ++i) changes.add(static_cast<ParamID>(i), 0, values[i]);
  testhost::AudioBlock block(2, 2, kBlock, Steinberg::Vst::kSample32);
  a.host->process(block, &changes);
  bool ok = false;
  const std::string state = a.host->getState(&ok);
  ASSERT_TRUE(ok);

  Hosted b(withoutWorker());
  ASSERT_EQ(b.host->setState(state), Steinberg::kResultOk);
  for (int i = 0; i < kParamCount; ++i) {
    const plugkit::IParam& restored = *b.plug->GetParam(i);
    const plugkit::IParam& saved = *a.plug->GetParam(i);
    EXPECT_EQ(restored.Value(), saved.Value()) << i;
    EXPECT_NE(restored.Value(), restored.GetDefault()) << i;
    EXPECT_DOUBLE_EQ(b.host->controller()->getParamNormalized(static_cast<ParamID>(i)), saved.GetNormalized()) << i;
  }
}

}  // namespace
