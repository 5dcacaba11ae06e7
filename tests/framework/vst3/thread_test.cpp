// The audio thread processes while the main thread edits parameters and saves and
// restores the state (run under ThreadSanitizer).
#include <gtest/gtest.h>

#include <atomic>
#include <thread>

#include "tests/framework/vst3/vst3_fixture.h"

namespace {

using namespace Steinberg;
using namespace Steinberg::Vst;

TEST(Threads, ProcessWhileTheMainThreadEditsSavesAndRestores) {
  sptest::Bound b;
  b.plug->recordChanges = false;  // the test plug-in's recorder is single-threaded
  ASSERT_EQ(b.host->setup(48000, 256, kSample32), kResultOk);
  b.host->start();
  bool ok = false;
  const std::string saved = b.host->getState(&ok);
  ASSERT_TRUE(ok);

  std::atomic<bool> stop{false};
  std::atomic<int> blocks{0};
  std::thread audio([&] {
    testhost::AudioBlock block(2, 2, 256, kSample32);
    testhost::ParameterChanges changes;
    block.fillIn(0.1);
    block.setFrames(256);
    for (int i = 0; !stop.load(); ++i) {
      changes.clear();
      changes.add(static_cast<ParamID>(i % 18), i % 256, (i % 100) / 100.0);
      changes.add(plugkit::kBypassParamId, 0, (i / 50) % 2);
      b.host->process(block, &changes);
      blocks.fetch_add(1);
    }
  });
  for (int i = 0; i < 300; ++i) {
    b.controller()->setParamNormalized(static_cast<ParamID>(i % 18), (i % 10) / 10.0);
    const std::string state = b.host->getState(&ok);
    EXPECT_TRUE(ok);
    EXPECT_EQ(b.host->setState(i % 2 ? state : saved), kResultOk);
  }
  while (blocks.load() < 100) std::this_thread::yield();
  stop.store(true);
  audio.join();
  b.host->stop();
}

}  // namespace
