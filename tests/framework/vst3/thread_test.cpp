// The audio thread processes while the main thread edits parameters and saves and
// restores the state; the editor view's reference count taken from several threads
// (run under ThreadSanitizer).
#include <gtest/gtest.h>

#include <atomic>
#include <thread>
#include <vector>

#include "tests/framework/vst3/vst3_fixture.h"

namespace {

using namespace Steinberg;
using namespace Steinberg::Vst;

TEST(Threads, ProcessWhileTheMainThreadEditsSavesAndRestores) {
  sp::test::Bound b;
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

// A host may hand the view to other threads (an embedding helper, a scanner): its count
// is atomic, and its last release deletes it once.
TEST(Threads, ViewReferencesFromSeveralThreads) {
  sp::test::Bound b;
  IPlugView* view = b.host->createView();
  ASSERT_NE(view, nullptr);
  std::vector<std::thread> threads;
  for (int t = 0; t < 4; ++t) {
    threads.emplace_back([view] {
      for (int i = 0; i < 20000; ++i) {
        void* scale = nullptr;
        if (view->queryInterface(IPlugViewContentScaleSupport::iid, &scale) == kResultOk)
          static_cast<IPlugViewContentScaleSupport*>(scale)->release();
        view->addRef();
        view->release();
      }
    });
  }
  for (std::thread& thread : threads) thread.join();
  EXPECT_EQ(view->addRef(), 2u);
  EXPECT_EQ(view->release(), 1u);
  EXPECT_EQ(view->release(), 0u);
}

}  // namespace
