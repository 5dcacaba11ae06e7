// Fetches whose host name never resolves (CTest preloads the stuck resolver): a cancel, the
// time-out and stopping the update schedule all return while the lookup still hangs; the
// helper thread the lookup runs on finishes on its own afterwards, without touching freed
// memory (run under ASan and TSan).
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <cstdio>
#include <functional>
#include <string>
#include <thread>

#include "services/net.h"
#include "services/updates.h"
#include "tests/services/fetch_probe.h"
#include "tests/services/stuck_resolver.h"
#include "tests/support/temp_dir.h"

using brightloom::net::HttpResult;
using sp::test::Clock;
using sp::test::secondsSince;
using sp::test::waitUntil;

namespace {

constexpr const char* kStuckUrl = "https://feed.stuck.test/updates.json";
// The update check's own time-out; every bound below stays well under it.
constexpr int kFetchTimeoutSeconds = 8;

class StuckResolverTest : public ::testing::Test {
protected:
  void SetUp() override {
    ASSERT_TRUE(resolver_.loaded()) << "the stuck resolver is not preloaded (run through ctest)";
    // A first thread makes a sanitizer runtime start its own, which would count as left over.
    std::thread([] {}).join();
    threadsBefore_ = sp::test::processThreads();
    finishedBefore_ = resolver_.finished();
  }

  // Every lookup a test left hanging is let go here; its helper thread must then finish
  // cleanly while the process still runs, where the sanitizers watch it.
  void TearDown() override {
    if (!resolver_.loaded()) return;
    const int hanging = resolver_.waiting();
    resolver_.release();
    EXPECT_TRUE(waitUntil([&] { return resolver_.finished() >= finishedBefore_ + hanging; }, 10.0));
    EXPECT_TRUE(waitUntil([&] { return sp::test::processThreads() <= threadsBefore_; }, 10.0))
        << sp::test::processThreads() << " threads, " << threadsBefore_ << " before the test";
  }

  bool waitForTheLookup() {
    return waitUntil([&] { return resolver_.waiting() > 0; }, 10.0);
  }

  sp::test::StuckResolver resolver_ = sp::test::stuckResolver();
  int threadsBefore_ = 0;
  int finishedBefore_ = 0;
};

}  // namespace

TEST_F(StuckResolverTest, CancelReturnsWhileTheNameStillResolves) {
  const sp::test::CancelledFetch fetch =
      sp::test::cancelFetch(kStuckUrl, kFetchTimeoutSeconds, {}, [&] { return waitForTheLookup(); });
  ASSERT_TRUE(fetch.stalled) << "the fetch never asked for the name";
  EXPECT_EQ(fetch.result.status, 0);
  EXPECT_EQ(fetch.result.body, "");
  EXPECT_EQ(resolver_.waiting(), 1) << "the fetch waited for the lookup";
  EXPECT_LT(fetch.secondsToReturn, kFetchTimeoutSeconds / 2.0);
  std::printf("cancelled lookup returned after %.0f ms\n", fetch.secondsToReturn * 1000);
}

TEST_F(StuckResolverTest, TimeOutHoldsWhileTheNameStillResolves) {
  constexpr int kTimeout = 1;
  const auto start = Clock::now();
  const HttpResult result = brightloom::net::send(kStuckUrl, kTimeout);
  const double elapsed = secondsSince(start);
  EXPECT_EQ(result.status, 0);
  EXPECT_EQ(result.body, "");
  EXPECT_EQ(resolver_.waiting(), 1) << "the fetch waited for the lookup";
  EXPECT_GE(elapsed, kTimeout * 0.5);
  EXPECT_LT(elapsed, kTimeout + 5);
  std::printf("a %d s time-out during the lookup returned after %.0f ms\n", kTimeout, elapsed * 1000);
}

// Closing a host project destroys the plug-in, which stops the schedule: on a machine whose
// name service hangs, that must not wait for it.
TEST_F(StuckResolverTest, StoppingTheScheduleDoesNotWaitForTheLookup) {
  using namespace brightloom::updates;
  sp::test::TempDir dir;
  setenv("BRIGHTLOOM_DATA_DIR", dir.path().c_str(), 1);
  setenv("BRIGHTLOOM_UPDATES_URL", kStuckUrl, 1);
  Config config;
  config.product = "spectrapoise";
  config.version = "0.4.10";
  config.folder = dir.path();
  UpdateCheck check(std::move(config));  // the default fetch
  check.setStartJitterLimitForTesting(0);
  check.startSchedule(0);
  ASSERT_TRUE(waitForTheLookup()) << "the schedule never asked for the name";
  const auto start = Clock::now();
  check.stopSchedule();
  const double elapsed = secondsSince(start);
  EXPECT_EQ(resolver_.waiting(), 1) << "the stop waited for the lookup";
  EXPECT_LT(elapsed, kFetchTimeoutSeconds / 2.0);
  EXPECT_EQ(check.readRecord().feed, "");
  std::printf("stop during a lookup took %.0f ms\n", elapsed * 1000);
}
