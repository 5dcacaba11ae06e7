// The main-thread timer: ticks from a hand-stepped loop or from the host's run loop,
// never from a thread of its own; idempotent stop; no re-entrant tick; the owed tick.
#include <gtest/gtest.h>

#include <dirent.h>

#include <memory>

#include "framework/Timer.h"
#include "framework/vst3/HostRunLoop_linux.h"
#include "shims/apple/corefoundation/CFHostRunLoop.h"
#include "shims/apple/corefoundation/CFRunLoopTesting.h"
#include "tests/support/test_plugin/test_plugin.h"
#include "tools/testhost/host_objects.h"

namespace {

using plugkit::Timer;

int threadCount() {
  int n = 0;
  if (DIR* dir = opendir("/proc/self/task")) {
    while (dirent* entry = readdir(dir))
      if (entry->d_name[0] != '.') ++n;
    closedir(dir);
  }
  return n;
}

// Holds a host object's creation reference.
template <class T>
struct Owned {
  T* p;
  explicit Owned(T* object) : p(object) {}
  ~Owned() { p->release(); }
  T* operator->() const { return p; }
  T* get() const { return p; }
};

TEST(Timer, HandSteppedLoopTicksEveryInterval) {
  cfshim::ManualRunLoop loop;
  const pthread_t self = pthread_self();
  int ticks = 0;
  bool onCaller = true;
  std::unique_ptr<Timer> timer(Timer::Create(
      [&](Timer&) {
        ++ticks;
        onCaller = onCaller && pthread_equal(self, pthread_self());
      },
      20));
  ASSERT_TRUE(timer);
  EXPECT_EQ(timer->GetIntervalMs(), 20u);
  EXPECT_EQ(loop.advance(100), 5);
  EXPECT_EQ(ticks, 5);
  EXPECT_TRUE(onCaller);
  loop.advance(100);
  EXPECT_EQ(ticks, 10);
  timer->Stop();
  timer->Stop();  // idempotent
  loop.advance(100);
  EXPECT_EQ(ticks, 10);
}

TEST(Timer, HostRunLoopDrivesItAndStopUnregistersOnce) {
  Owned<testhost::RunLoop> host(new testhost::RunLoop());
  int ticks = 0;
  std::unique_ptr<Timer> timer(Timer::Create([&](Timer&) { ++ticks; }, 20));
  EXPECT_FALSE(timer->IsDriven());
  plugkit::OfferHostRunLoop(*timer, kCFHostRunLoopInitialize, host.get());
  EXPECT_TRUE(timer->IsDriven());
  EXPECT_EQ(host->registrations(), 1);
  EXPECT_EQ(host->lastInterval(), 20u);
  host->fire(3);
  EXPECT_EQ(ticks, 3);

  timer->Stop();
  timer->Stop();
  timer.reset();
  EXPECT_EQ(host->unregistrations(), 1);
  host->fire(3);
  EXPECT_EQ(ticks, 3);
}

// A host run loop that keeps the handler referenced after unregistering it.
class KeepingRunLoop : public Steinberg::Linux::IRunLoop {
public:
  Steinberg::Linux::ITimerHandler* handler = nullptr;
  Steinberg::tresult PLUGIN_API registerEventHandler(Steinberg::Linux::IEventHandler*,
                                                     Steinberg::Linux::FileDescriptor) override {
    return Steinberg::kResultOk;
  }
  Steinberg::tresult PLUGIN_API unregisterEventHandler(Steinberg::Linux::IEventHandler*) override {
    return Steinberg::kResultOk;
  }
  Steinberg::tresult PLUGIN_API registerTimer(Steinberg::Linux::ITimerHandler* h,
                                              Steinberg::Linux::TimerInterval) override {
    h->addRef();
    handler = h;
    return Steinberg::kResultOk;
  }
  Steinberg::tresult PLUGIN_API unregisterTimer(Steinberg::Linux::ITimerHandler*) override {
    return Steinberg::kResultOk;
  }
  Steinberg::tresult PLUGIN_API queryInterface(const Steinberg::TUID, void**) override {
    return Steinberg::kNoInterface;
  }
  Steinberg::uint32 PLUGIN_API addRef() override { return 2; }
  Steinberg::uint32 PLUGIN_API release() override { return 1; }
};

TEST(Timer, LateCallFromAHostThatKeptTheHandlerDoesNothing) {
  KeepingRunLoop host;
  int ticks = 0;
  std::unique_ptr<Timer> timer(Timer::Create([&](Timer&) { ++ticks; }, 20));
  plugkit::OfferHostRunLoop(*timer, kCFHostRunLoopFactory, &host);
  ASSERT_NE(host.handler, nullptr);
  host.handler->onTimer();
  EXPECT_EQ(ticks, 1);
  timer->Stop();
  host.handler->onTimer();  // after Stop
  timer.reset();
  host.handler->onTimer();  // after the timer is gone
  EXPECT_EQ(ticks, 1);
  host.handler->release();
}

TEST(Timer, SourcesInOrderOfPreference) {
  Owned<testhost::RunLoop> factoryLoop(new testhost::RunLoop());
  Owned<testhost::RunLoop> frameLoop(new testhost::RunLoop());
  int ticks = 0;
  std::unique_ptr<Timer> timer(Timer::Create([&](Timer&) { ++ticks; }, 20));
  plugkit::OfferHostRunLoop(*timer, kCFHostRunLoopViewFrame, frameLoop.get());
  EXPECT_EQ(frameLoop->timerCount(), 1);
  plugkit::OfferHostRunLoop(*timer, kCFHostRunLoopFactory, factoryLoop.get());
  EXPECT_EQ(frameLoop->timerCount(), 0);  // moved to the preferred source
  EXPECT_EQ(factoryLoop->timerCount(), 1);
  plugkit::OfferHostRunLoop(*timer, kCFHostRunLoopFactory, nullptr);
  EXPECT_EQ(factoryLoop->timerCount(), 0);
  EXPECT_EQ(frameLoop->timerCount(), 1);
  frameLoop->fire(2);
  EXPECT_EQ(ticks, 2);
}

// The binding offers a host's loop again (initialize re-offers the factory's, attach the
// frame's): the timer stays where it is. Offered loops are held while offered, and a
// host that kept a handler of a loop the timer left cannot fire it.
TEST(Timer, SameLoopOfferedAgainStaysAndLoopsAreHeldWhileOffered) {
  Owned<testhost::RunLoop> loop(new testhost::RunLoop());
  KeepingRunLoop keeping;
  int ticks = 0;
  std::unique_ptr<Timer> timer(Timer::Create([&](Timer&) { ++ticks; }, 20));
  plugkit::OfferHostRunLoop(*timer, kCFHostRunLoopViewFrame, &keeping);
  ASSERT_NE(keeping.handler, nullptr);
  plugkit::OfferHostRunLoop(*timer, kCFHostRunLoopInitialize, loop.get());
  plugkit::OfferHostRunLoop(*timer, kCFHostRunLoopInitialize, loop.get());
  EXPECT_EQ(loop->registrations(), 1);
  EXPECT_EQ(loop->unregistrations(), 0);
  EXPECT_EQ(loop->refCount(), 2);  // ours and the timer's
  keeping.handler->onTimer();      // the loop the timer left
  EXPECT_EQ(ticks, 0);
  loop->fire(1);
  EXPECT_EQ(ticks, 1);

  plugkit::OfferHostRunLoop(*timer, kCFHostRunLoopViewFrame, nullptr);
  plugkit::OfferHostRunLoop(*timer, kCFHostRunLoopInitialize, nullptr);
  EXPECT_EQ(loop->unregistrations(), 1);
  EXPECT_EQ(loop->refCount(), 1);
  timer.reset();
  keeping.handler->release();
}

TEST(Timer, ExceptionsEndInTheTick) {
  cfshim::ManualRunLoop loop;
  int ticks = 0;
  std::unique_ptr<Timer> timer(Timer::Create(
      [&](Timer&) {
        ++ticks;
        throw 1;
      },
      20));
  EXPECT_NO_THROW(loop.advance(40));
  EXPECT_EQ(ticks, 2);
}

// The plug-in's tick: drains the queues, then OnIdle; skipped while one runs.
TEST(PluginTick, NestedLoopInsideATickSkipsTheInnerTick) {
  cfshim::ManualRunLoop loop;
  sp::test::TestPlugin plug;
  int idleDuringNested = -1;
  plug.insideIdle = [&] {
    loop.advance(60);  // a modal dialog's loop: the timer fires in it
    idleDuringNested = plug.countInLog("OnIdle");
  };
  loop.advance(20);
  EXPECT_EQ(idleDuringNested, 1);
  EXPECT_EQ(plug.countInLog("OnIdle"), 1);
  loop.advance(20);
  EXPECT_EQ(plug.countInLog("OnIdle"), 2);
}

TEST(PluginTick, ThrowingIdleLeavesTheTimerRunning) {
  cfshim::ManualRunLoop loop;
  sp::test::TestPlugin plug;
  plug.throwInIdle = true;
  loop.advance(40);
  EXPECT_EQ(plug.countInLog("OnIdle"), 2);
}

TEST(PluginTick, StopTimerIsIdempotentAndFinal) {
  cfshim::ManualRunLoop loop;
  sp::test::TestPlugin plug;
  plug.StopTimer();
  plug.StopTimer();
  loop.advance(100);
  EXPECT_EQ(plug.countInLog("OnIdle"), 0);
}

TEST(PluginTick, NoLoopMeansNoTickAndNoThreadUntilOneIsOffered) {
  const int threadsBefore = threadCount();
  auto local = std::make_unique<sp::test::TestPlugin>();
  local->pendingRequest = true;
  EXPECT_EQ(threadCount(), threadsBefore);
  EXPECT_FALSE(local->GetTimer()->IsDriven());
  EXPECT_EQ(local->countInLog("OnIdle"), 0);

  // A frame offers a loop: its first tick takes the pending request.
  testhost::EventLog log;
  Owned<testhost::RunLoop> loop(new testhost::RunLoop(&log));
  Owned<testhost::PlugFrame> frame(new testhost::PlugFrame(&log, loop.get()));
  local->fakeView = &log;
  Steinberg::IPlugView* view = local->createView("editor");
  ASSERT_NE(view, nullptr);
  view->setFrame(frame.get());
  ASSERT_EQ(view->attached(&log, "NSView"), Steinberg::kResultOk);
  loop->fire(1);
  EXPECT_EQ(local->requestsTaken, 1);
  EXPECT_EQ(local->countInLog("OnIdle"), 1);

  // Removal unregisters before the frame is let go.
  view->removed();
  view->setFrame(nullptr);
  const int unregistered = log.indexOf("unregisterTimer");
  const int released = log.indexOf("frame released");
  ASSERT_GE(unregistered, 0);
  ASSERT_GE(released, 0);
  EXPECT_LT(unregistered, released);
  loop->fire(1);
  EXPECT_EQ(local->countInLog("OnIdle"), 1);
  view->release();
  local.reset();
  EXPECT_EQ(threadCount(), threadsBefore);
}

TEST(PluginTick, OwedTickRunsOnlyWithoutALoop) {
  sp::test::TestPlugin plug;
  plug.pendingRequest = true;
  EXPECT_TRUE(plug.RunOwedTick());
  EXPECT_EQ(plug.requestsTaken, 1);

  Owned<testhost::RunLoop> host(new testhost::RunLoop());
  plugkit::OfferHostRunLoop(*plug.GetTimer(), kCFHostRunLoopInitialize, host.get());
  EXPECT_FALSE(plug.RunOwedTick());
  EXPECT_EQ(plug.countInLog("OnIdle"), 1);
}

}  // namespace
