// The main run loop beyond single timers: the main dispatch queue runs at each turn (a
// stepped loop's firings and the end of its step, a host loop's firings), never inside
// dispatch_async; a timer that follows the main loop is driven by a loop offered to
// another timer, moves with it and leaves it before the loop is let go.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "shims/apple/corefoundation/CFHostRunLoop.h"
#include "shims/apple/corefoundation/CFRunLoopTesting.h"
#include "shims/apple/corefoundation/CoreFoundation.h"
#include "shims/apple/corefoundation/Dispatch.h"

namespace {

// A host loop that the test fires by hand and that logs what it is told.
class LoggingHostLoop final : public CFHostLoop {
public:
  explicit LoggingHostLoop(std::string name, std::vector<std::string>& log) : mName(std::move(name)), mLog(log) {}
  void retain() override { ++mRefs; }
  void release() override {
    if (--mRefs > 0) return;
    mLog.push_back(mName + " released");
    delete this;
  }
  const void* identity() const override { return this; }
  bool addTimer(CFHostLoopClient* client, uint64_t) override {
    mLog.push_back(mName + " add");
    mClients.push_back(client);
    return true;
  }
  void removeTimer(CFHostLoopClient* client) override {
    mLog.push_back(mName + " remove");
    std::erase(mClients, client);
  }
  void fire() {
    const std::vector<CFHostLoopClient*> clients = mClients;
    for (CFHostLoopClient* c : clients) c->hostLoopFired();
  }
  int clients() const { return static_cast<int>(mClients.size()); }

private:
  std::string mName;
  std::vector<std::string>& mLog;
  std::vector<CFHostLoopClient*> mClients;
  int mRefs = 1;
};

struct Timer {
  CFRunLoopTimerRef ref = nullptr;
  explicit Timer(int& ticks, double interval = 0.02) {
    CFRunLoopTimerContext context{0, &ticks, nullptr, nullptr, nullptr};
    ref = CFRunLoopTimerCreate(kCFAllocatorDefault, CFAbsoluteTimeGetCurrent() + interval, interval, 0, 0,
                               [](CFRunLoopTimerRef, void* info) { ++*static_cast<int*>(info); }, &context);
    CFRunLoopAddTimer(CFRunLoopGetMain(), ref, kCFRunLoopCommonModes);
  }
  ~Timer() {
    CFRunLoopTimerInvalidate(ref);
    CFRelease(ref);
  }
};

TEST(MainQueue, BlocksRunAtTheNextTurnOfASteppedLoopInOrder) {
  cfshim::ManualRunLoop loop(1000.0);
  std::vector<int> ran;
  dispatch_async(dispatch_get_main_queue(), [&] {
    ran.push_back(1);
    dispatch_async(dispatch_get_main_queue(), [&] { ran.push_back(3); });  // same turn
  });
  dispatch_async(dispatch_get_main_queue(), [&] { ran.push_back(2); });
  EXPECT_TRUE(ran.empty());  // never inside dispatch_async
  EXPECT_EQ(cfshim::MainQueuePending(), 2);
  loop.advance(0);
  EXPECT_EQ(ran, (std::vector<int>{1, 2, 3}));
  dispatch_async(nullptr, [&] { ran.push_back(9); });  // no such queue
  EXPECT_EQ(cfshim::MainQueuePending(), 0);
}

TEST(MainQueue, ABlockPostedBeforeATimerFiringRunsBeforeIt) {
  cfshim::ManualRunLoop loop(1000.0);
  int ticks = 0;
  Timer timer(ticks);
  int ticksSeenByBlock = -1;
  dispatch_async(dispatch_get_main_queue(), [&] { ticksSeenByBlock = ticks; });
  loop.advance(25);
  EXPECT_EQ(ticks, 1);
  EXPECT_EQ(ticksSeenByBlock, 0);
}

TEST(MainQueue, AHostLoopFiringIsATurn) {
  std::vector<std::string> log;
  auto* host = new LoggingHostLoop("host", log);
  int ticks = 0;
  {
    Timer timer(ticks);
    CFRunLoopTimerSetHostRunLoop(timer.ref, kCFHostRunLoopViewFrame, host);
    int ticksSeenByBlock = -1;
    dispatch_async(dispatch_get_main_queue(), [&] { ticksSeenByBlock = ticks; });
    host->fire();
    EXPECT_EQ(ticksSeenByBlock, 0);
    EXPECT_EQ(ticks, 1);
  }
  host->release();
}

TEST(FollowsMainLoop, AFollowerRidesTheLoopOfferedToAnotherTimerAndLeavesItFirst) {
  std::vector<std::string> log;
  auto* host = new LoggingHostLoop("host", log);
  int ownerTicks = 0, followerTicks = 0;
  auto owner = std::make_unique<Timer>(ownerTicks);
  Timer follower(followerTicks, 1.0 / 60.0);
  CFRunLoopTimerSetFollowsMainLoop(follower.ref, true);
  EXPECT_FALSE(CFRunLoopTimerHasHostRunLoop(follower.ref));

  CFRunLoopTimerSetHostRunLoop(owner->ref, kCFHostRunLoopInitialize, host);
  EXPECT_TRUE(CFRunLoopTimerHasHostRunLoop(follower.ref));
  EXPECT_EQ(host->clients(), 2);
  host->fire();
  EXPECT_EQ(ownerTicks, 1);
  EXPECT_EQ(followerTicks, 1);

  // The owner goes: the follower leaves the loop before the last reference to it goes.
  host->release();  // the test's creation reference; the owner keeps one
  log.clear();
  owner.reset();
  EXPECT_EQ(log, (std::vector<std::string>{"host remove", "host remove", "host released"}));
  EXPECT_FALSE(CFRunLoopTimerHasHostRunLoop(follower.ref));
}

TEST(FollowsMainLoop, ATimerThatDoesNotFollowStaysWithItsOwnLoops) {
  std::vector<std::string> log;
  auto* host = new LoggingHostLoop("host", log);
  int a = 0, b = 0;
  {
    Timer owner(a), other(b);
    CFRunLoopTimerSetHostRunLoop(owner.ref, kCFHostRunLoopFactory, host);
    EXPECT_FALSE(CFRunLoopTimerHasHostRunLoop(other.ref));
    EXPECT_FALSE(CFRunLoopTimerIsDriven(other.ref));
  }
  host->release();
}

}  // namespace
