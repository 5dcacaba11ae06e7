#include "framework/Timer.h"

#include <new>

#include "shims/apple/corefoundation/CFHostRunLoop.h"
#include "shims/apple/corefoundation/CoreFoundation.h"

namespace plugkit {

namespace {

class Timer_impl final : public Timer {
public:
  Timer_impl(ITimerFunction func, uint32_t intervalMs) : mTimerFunc(std::move(func)), mIntervalMs(intervalMs) {
    CFRunLoopTimerContext context{0, this, nullptr, nullptr, nullptr};
    mOSTimer = CFRunLoopTimerCreate(kCFAllocatorDefault, CFAbsoluteTimeGetCurrent(), intervalMs / 1000.0, 0, 0,
                                    &TimerProc, &context);
    if (mOSTimer != nullptr) CFRunLoopAddTimer(CFRunLoopGetMain(), mOSTimer, kCFRunLoopCommonModes);
  }

  ~Timer_impl() override { Stop(); }

  bool Valid() const { return mOSTimer != nullptr; }

  void Stop() override {
    if (mOSTimer == nullptr) return;
    CFRunLoopTimerInvalidate(mOSTimer);
    CFRelease(mOSTimer);
    mOSTimer = nullptr;
  }

  uint32_t GetIntervalMs() const override { return mIntervalMs; }

  void SetHostLoop(int source, CFHostLoop* loop) override {
    if (mOSTimer != nullptr) CFRunLoopTimerSetHostRunLoop(mOSTimer, source, loop);
  }

  bool IsDriven() const override { return mOSTimer != nullptr && CFRunLoopTimerIsDriven(mOSTimer); }

private:
  // Exceptions end here: a tick never throws into the host's run loop.
  static void TimerProc(CFRunLoopTimerRef, void* info) {
    auto* timer = static_cast<Timer_impl*>(info);
    try {
      timer->mTimerFunc(*timer);
    } catch (...) {
    }
  }

  CFRunLoopTimerRef mOSTimer = nullptr;
  ITimerFunction mTimerFunc;
  uint32_t mIntervalMs;
};

}  // namespace

Timer* Timer::Create(ITimerFunction func, uint32_t intervalMs) {
  auto* timer = new (std::nothrow) Timer_impl(std::move(func), intervalMs);
  if (timer != nullptr && !timer->Valid()) {
    delete timer;
    return nullptr;
  }
  return timer;
}

}  // namespace plugkit
