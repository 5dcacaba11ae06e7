// The audio thread allocates nothing and takes no lock, except the target mutex once per
// block while the host renders offline. Counts operator new and mutex locks on the thread
// that runs ProcessBlock (the worker and the update thread may allocate meanwhile).
#include <gtest/gtest.h>
#include <dlfcn.h>
#include <pthread.h>

#include <cstdlib>
#include <limits>
#include <new>

#include "tests/support/plugin/plugin_harness.h"

namespace {
thread_local bool counting = false;
thread_local long allocations = 0;
thread_local long locks = 0;
}  // namespace

// The replacements pair malloc with free on purpose.
#pragma GCC diagnostic ignored "-Wmismatched-new-delete"

void* operator new(std::size_t size) {
  if (counting) ++allocations;
  if (void* p = std::malloc(size ? size : 1)) return p;
  throw std::bad_alloc();
}
void* operator new[](std::size_t size) { return ::operator new(size); }
void* operator new(std::size_t size, const std::nothrow_t&) noexcept {
  if (counting) ++allocations;
  return std::malloc(size ? size : 1);
}
void* operator new[](std::size_t size, const std::nothrow_t& tag) noexcept { return ::operator new(size, tag); }
void operator delete(void* p) noexcept { std::free(p); }
void operator delete(void* p, const std::nothrow_t&) noexcept { std::free(p); }
void operator delete[](void* p, const std::nothrow_t&) noexcept { std::free(p); }
void operator delete[](void* p) noexcept { std::free(p); }
void operator delete(void* p, std::size_t) noexcept { std::free(p); }
void operator delete[](void* p, std::size_t) noexcept { std::free(p); }

extern "C" int pthread_mutex_lock(pthread_mutex_t* mutex) {
  using Lock = int (*)(pthread_mutex_t*);
  static const Lock real = reinterpret_cast<Lock>(dlsym(RTLD_NEXT, "pthread_mutex_lock"));
  if (counting) ++locks;
  return real(mutex);
}

namespace {

using namespace sp::test;
using namespace spectrapoise::plugin;

struct Count {
  long allocations;
  long locks;
};

Count countDuring(auto&& work) {
  allocations = 0;
  locks = 0;
  counting = true;
  work();
  counting = false;
  return {allocations, locks};
}

TEST(AudioThread, AllocatesAndLocksNothingInRealTime) {
  PlugPtr plug = makePlug(true);  // the worker runs too, on its own thread
  connect(*plug, 2, 2);
  resetAt(*plug, 44100.0);
  plug->OnUIOpen();
  Stereo in = pinkNoise(44100, 0.2, 51);
  in.left[30000] = std::numeric_limits<double>::quiet_NaN();
  Stereo out(in.size());
  plug->publishGains({2.0, -1.0, 1.5, 0.5, -2.0});
  const Count c = countDuring([&] {
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
  const Count c = countDuring([&] {
    for (int b = 0; b < blocks; ++b) processRange(*plug, in, out, static_cast<std::size_t>(b) * 1000, 1000);
  });
  EXPECT_EQ(c.allocations, 0);
  EXPECT_EQ(c.locks, blocks);
  EXPECT_NE(plug->loadGains().tilt, 0.0) << "the analysis ran";
}

}  // namespace
