// The built bundle, loaded as a Linux host loads it: its correction runs on its own worker,
// its idle ticks come from the host's run loop with no editor open (freezing depends on
// them), and its state goes back and forth.
#include <gtest/gtest.h>

#include <chrono>
#include <cmath>
#include <thread>

#include "plugin/parameters.h"
#include "tests/support/signals/test_signals.h"
#include "tools/testhost/host_objects.h"
#include "tools/testhost/module.h"
#include "tools/testhost/plugin_host.h"

namespace {

using namespace Steinberg;
using namespace Steinberg::Vst;
using namespace spectrapoise::plugin;

struct BundleInstance {
  std::unique_ptr<testhost::Plugin> host;
  testhost::RunLoop* loop = new testhost::RunLoop();
  testhost::HostContext* context = new testhost::HostContext("testhost");

  explicit BundleInstance(const testhost::Module& module) {
    std::string error;
    host = testhost::Plugin::create(module, 0, error);
    EXPECT_NE(host, nullptr) << error;
    context->setRunLoop(loop);
    EXPECT_EQ(host->initialize(static_cast<IHostApplication*>(context)), kResultOk);
    SpeakerArrangement stereo = SpeakerArr::kStereo;
    EXPECT_EQ(host->processor()->setBusArrangements(&stereo, 1, &stereo, 1), kResultOk);
    host->component()->activateBus(kAudio, kInput, 0, true);
    host->component()->activateBus(kAudio, kOutput, 0, true);
    EXPECT_EQ(host->setup(48000.0, 512, kSample32), kResultOk);
    host->start();
  }
  ~BundleInstance() {
    host.reset();
    context->release();
    loop->release();
  }
};

TEST(Bundle, CorrectsFreezesOnIdleTicksAndKeepsItsState) {
  std::string error;
  std::unique_ptr<testhost::Module> module = testhost::Module::load(SP_BUNDLE_DIR, error);
  ASSERT_NE(module, nullptr) << error;
  BundleInstance a(*module);

  constexpr std::size_t kPeriod = std::size_t{1} << 17;
  const std::vector<float> l = sp::test::shapedNoise(kPeriod, 4.5, 48000.0, 20.0, 0.1, 71);
  const std::vector<float> r = sp::test::shapedNoise(kPeriod, 4.5, 48000.0, 20.0, 0.1, 72);
  testhost::AudioBlock block(2, 2, 512, kSample32);
  testhost::ParameterChanges changes;
  changes.add(kCorrect, 0, 1.0);
  changes.add(kCorrectSpeed, 0, 0.0);
  for (const int p : kAmountParams) changes.add(static_cast<ParamID>(p), 0, 1.0);

  // 8 s of darker-than-pink noise at about 20 times real time, so the worker keeps up.
  double difference = 0.0;
  std::size_t pos = 0;
  for (int b = 0; b < 750; ++b) {
    for (int i = 0; i < 512; ++i, ++pos) {
      block.setIn(0, i, l[pos % kPeriod]);
      block.setIn(1, i, r[pos % kPeriod]);
    }
    a.host->process(block, &changes);
    changes.clear();
    if (b >= 700)
      for (int i = 0; i < 512; ++i) difference = std::max(difference, std::fabs(block.out(0, i) - block.in(0, i)));
    std::this_thread::sleep_for(std::chrono::microseconds(500));
  }
  EXPECT_GT(difference, 1e-3) << "the correction was applied";

  // Freeze from the host; an idle tick of the host's run loop captures the correction.
  changes.add(kFreeze, 0, 1.0);
  a.host->process(block, &changes);
  changes.clear();
  std::this_thread::sleep_for(std::chrono::milliseconds(25));
  a.loop->fire(1);
  int frozenEdits = 0;
  for (const testhost::ComponentHandler::Call& call : a.host->handler()->calls)
    if (call.kind == "perform" && (call.id == kFrozenTilt || call.id == kFrozenLow || call.id == kFrozenHigh)) ++frozenEdits;
  EXPECT_EQ(frozenEdits, 3);
  EXPECT_GT(a.host->controller()->getParamNormalized(kFrozenTilt), 0.5) << "a darker input is brightened";

  bool ok = false;
  const std::string state = a.host->getState(&ok);
  ASSERT_TRUE(ok);
  BundleInstance b(*module);
  ASSERT_EQ(b.host->setState(state), kResultOk);
  // What the first instance holds: the values sent in its blocks, the captured frozen
  // values (reported to the host), the defaults elsewhere.
  double expected[kParamCount];
  for (int i = 0; i < kParamCount; ++i) expected[i] = a.host->controller()->getParamNormalized(static_cast<ParamID>(i));
  expected[kCorrect] = 1.0;
  expected[kFreeze] = 1.0;
  expected[kCorrectSpeed] = 0.0;
  for (const int p : kAmountParams) expected[p] = 1.0;
  for (int i = 0; i < kParamCount; ++i)
    EXPECT_NEAR(b.host->controller()->getParamNormalized(static_cast<ParamID>(i)), expected[i], 1e-12) << i;
}

}  // namespace
