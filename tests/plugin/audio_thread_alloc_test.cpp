// The audio thread allocates nothing and takes no lock, except the target mutex once per
// block while the host renders offline. Counts operator new and mutex locks on the thread
// that runs ProcessBlock (the worker and the update thread may allocate meanwhile).
#include <gtest/gtest.h>

#include <limits>

#include "tests/plugin/heap_use.h"
#include "tests/support/plugin/plugin_harness.h"

namespace {

using namespace sp::test;
using namespace spectrapoise::plugin;
using heapuse::Use;

TEST(AudioThread, AllocatesAndLocksNothingInRealTime) {
  PlugPtr plug = makePlug(true);  // the worker runs too, on its own thread
  connect(*plug, 2, 2);
  resetAt(*plug, 44100.0);
  plug->OnUIOpen();
  Stereo in = pinkNoise(44100, 0.2, 51);
  in.left[30000] = std::numeric_limits<double>::quiet_NaN();
  Stereo out(in.size());
  plug->publishGains({2.0, -1.0, 1.5, 0.5, -2.0});
  const Use c = heapuse::during([&] {
    int block = 0;
    for (std::size_t start = 0; start + 1024 <= in.size(); start += 1024, ++block) {
      // Host changes on the audio thread: correction, bypass, freeze, crossovers.
      hostSet(*plug, kCorrect, block % 7 == 3 ? 0.0 : 1.0);
      hostSet(*plug, kBypass, block % 11 == 5 ? 1.0 : 0.0);
      hostSet(*plug, kFreeze, block % 13 == 6 ? 1.0 : 0.0);
      hostSet(*plug, kFrozenTilt, 0.1 * block);
      hostSet(*plug, kLowCrossover, 100.0 + block);
      if (block % 9 == 0) plug->requestMeterReset();
      processRange(*plug, in, out, start, 1 + block * 37 % 1024);
    }
    connect(*plug, 1, 2);
    processRange(*plug, in, out, 0, 512);
    plug->ProcessBlock(nullptr, nullptr, 512);
  });
  EXPECT_EQ(c.allocations, 0);
  EXPECT_EQ(c.locks, 0);
}

TEST(AudioThread, OfflineTakesOnlyTheTargetMutexOncePerBlock) {
  PlugPtr plug = makePlug();
  connect(*plug, 2, 2);
  plug->OnUIOpen();
  plug->SetRenderingOffline(true);
  hostSet(*plug, kCorrect, 1.0);
  const Stereo in = pinkNoise(48000, 0.2, 52);
  Stereo out(in.size());
  const int blocks = 48000 / 1000;
  const Use c = heapuse::during([&] {
    for (int b = 0; b < blocks; ++b) processRange(*plug, in, out, static_cast<std::size_t>(b) * 1000, 1000);
  });
  EXPECT_EQ(c.allocations, 0);
  EXPECT_EQ(c.locks, blocks);
  EXPECT_NE(plug->loadGains().tilt, 0.0) << "the analysis ran";
}

}  // namespace
