// The update check's schedule thread: start, stop at any moment, one cycle published, and the
// whole road from the environment to the loopback feed to the notice.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <cstdio>
#include <memory>
#include <string>
#include <thread>

#include "services/updates.h"
#include "tests/services/fetch_probe.h"
#include "tests/services/loopback_server.h"
#include "tests/services/stalling_listeners.h"
#include "tests/support/temp_dir.h"

namespace fs = std::filesystem;
using namespace brightloom::updates;
using brightloom::net::HttpResult;
using sp::test::Clock;
using sp::test::SilentListener;

namespace {

// The default fetch's time-out, which a stop must never wait out.
constexpr double kFetchTimeoutMs = 8000;
// How long to wait for an event that normally takes milliseconds: only a fault reaches it.
constexpr int kEventWaitMs = 30000;
// The latest a first cycle can end: the largest start jitter, then a fetch's longest wait.
constexpr int kLatestNoticeMs = 6000 + 8000 + 5000;

constexpr const char* kFeed = R"({"spectrapoise":{"version":"0.5.0","page":"/spectrapoise#download"}})";

double millisecondsSince(Clock::time_point start) {
  return std::chrono::duration<double, std::milli>(Clock::now() - start).count();
}

class UpdateScheduleTest : public ::testing::Test {
protected:
  void SetUp() override {
    setenv("BRIGHTLOOM_DATA_DIR", dir_.path().c_str(), 1);
    setenv("BRIGHTLOOM_UPDATES_URL", "https://127.0.0.1:9/updates.json", 1);
  }

  Config config(std::function<HttpResult(const std::string&)> fetch) {
    Config c;
    c.product = "spectrapoise";
    c.version = "0.4.10";
    c.folder = dir_.path();
    c.feedUrl = "https://unused.example/updates.json";
    c.fetch = std::move(fetch);
    return c;
  }

  // Polls the published state until a notice shows or the time is up.
  static bool waitForNotice(const UpdateCheck& check, int ms) {
    return sp::test::waitUntil([&] { return check.notice().has_value(); }, ms / 1000.0);
  }

  sp::test::TempDir dir_;
};

}  // namespace

TEST_F(UpdateScheduleTest, StopDuringTheStartDelayReturnsAtOnce) {
  std::atomic<int> fetches{0};
  auto check = std::make_unique<UpdateCheck>(config([&](const std::string&) {
    fetches.fetch_add(1);
    return HttpResult{200, kFeed};
  }));
  check->startSchedule(kStartDelayMs);
  check->startSchedule(0);  // a second start is ignored
  std::this_thread::sleep_for(std::chrono::milliseconds(50));
  const auto start = Clock::now();
  check->stopSchedule();
  const double elapsed = millisecondsSince(start);
  EXPECT_LT(elapsed, kStartDelayMs / 2.0) << "the stop waited out the start delay";
  std::printf("stop during the start delay took %.2f ms\n", elapsed);
  check->startSchedule(0);  // ignored after a stop
  check.reset();
  EXPECT_EQ(fetches.load(), 0);
}

TEST_F(UpdateScheduleTest, FirstCycleFetchesAndPublishesTheNotice) {
  std::atomic<int> fetches{0};
  UpdateCheck check(config([&](const std::string&) {
    fetches.fetch_add(1);
    return HttpResult{200, kFeed};
  }));
  const std::uint32_t before = check.changes();
  check.setStartJitterLimitForTesting(0);
  check.startSchedule(0);
  ASSERT_TRUE(waitForNotice(check, kEventWaitMs));
  EXPECT_EQ(check.notice()->version, "0.5.0");
  EXPECT_EQ(check.changes(), before + 1);
  EXPECT_EQ(fetches.load(), 1);
}

TEST_F(UpdateScheduleTest, StopAbandonsTheDefaultFetch) {
  SilentListener listener;
  ASSERT_GT(listener.port(), 0);
  const std::string url = "https://127.0.0.1:" + std::to_string(listener.port()) + "/updates.json";
  setenv("BRIGHTLOOM_UPDATES_URL", url.c_str(), 1);
  UpdateCheck check(config(nullptr));  // default fetch: 8 s time-out
  check.setStartJitterLimitForTesting(0);
  check.startSchedule(0);
  ASSERT_TRUE(listener.accept(kEventWaitMs)) << "the schedule never connected";
  std::this_thread::sleep_for(std::chrono::milliseconds(100));
  const auto start = Clock::now();
  check.stopSchedule();
  const double elapsed = millisecondsSince(start);
  EXPECT_LT(elapsed, kFetchTimeoutMs / 2.0) << "the stop waited for the fetch";
  std::printf("stop during a fetch took %.2f ms\n", elapsed);
  // The turn was taken; the feed stays empty.
  const auto record = check.readRecord();
  EXPECT_NE(record.checkedAt, 0);
  EXPECT_EQ(record.feed, "");
}

TEST_F(UpdateScheduleTest, TogglingWhileCyclesRunKeepsThePublishedStateConsistent) {
  std::atomic<std::int64_t> now{1000000};
  Config c = config([](const std::string&) { return HttpResult{200, kFeed}; });
  c.now = [&] { return now.load(); };
  UpdateCheck check(std::move(c));
  std::thread cycles([&] {
    for (int i = 0; i < 100; ++i) {
      now.fetch_add(600);
      check.checkIfDue();
      check.reload();
    }
  });
  for (int i = 0; i < 100; ++i) {
    check.setEnabled(i % 2 == 1);
    const auto status = check.status();
    if (!status.enabled) {
      EXPECT_FALSE(status.notice);
    }
  }
  cycles.join();
  check.reload();
  EXPECT_TRUE(check.enabled());
  ASSERT_TRUE(check.notice());
  EXPECT_EQ(check.notice()->version, "0.5.0");
}

TEST_F(UpdateScheduleTest, EndToEndFromEnvironmentToLoopbackFeedToNotice) {
  SP_REQUIRE_LOOPBACK_SERVER(server);
  setenv("BRIGHTLOOM_UPDATES_URL", server.url("/updates.json").c_str(), 1);
  std::atomic<int> fetches{0};
  std::string fetched;
  // The default fetch with the throw-away CA added (libcurl reads no CA variable).
  UpdateCheck check(config([&](const std::string& address) {
    fetches.fetch_add(1);
    fetched = address;
    brightloom::net::SendOptions options;
    options.caFile = server.caFile;
    return brightloom::net::send(address, 8, options);
  }));
  EXPECT_FALSE(check.notice());
  const auto start = Clock::now();
  check.startSchedule(0);  // the real 0..6000 ms jitter
  ASSERT_TRUE(waitForNotice(check, kLatestNoticeMs));
  std::printf("notice after %.0f ms\n", millisecondsSince(start));
  check.stopSchedule();
  EXPECT_EQ(fetches.load(), 1);
  EXPECT_EQ(fetched, server.url("/updates.json"));
  EXPECT_EQ(check.notice()->version, "0.5.0");
  EXPECT_EQ(check.notice()->url, "https://www.brightloom.example/spectrapoise#download");
  EXPECT_EQ(check.readRecord().feed, kFeed);
  EXPECT_EQ(sp::test::readFile(dir_ / "updates.json").back(), '\n');
}
