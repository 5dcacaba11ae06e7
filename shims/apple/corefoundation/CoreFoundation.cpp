// Run-loop timers on Linux: driven by the host's run loop (a CFHostLoop) or by a test's
// hand-stepped loop; never by a thread of ours.
#include "shims/apple/corefoundation/CoreFoundation.h"

#include <time.h>

#include <algorithm>
#include <atomic>
#include <cmath>
#include <mutex>
#include <new>
#include <vector>

#include "shims/apple/corefoundation/CFHostRunLoop.h"
#include "shims/apple/corefoundation/CFRunLoopTesting.h"

namespace {

struct CFObject {
  std::atomic<int> refs{1};
  virtual ~CFObject() = default;
};

}  // namespace

struct __CFAllocator {};
struct __CFString {
  const char* text;
};
struct __CFRunLoop {};

// A host loop calls the timer itself back (hostLoopFired); it stops doing so when the
// timer leaves it, which invalidation does before the timer can go.
struct __CFRunLoopTimer : CFObject, CFHostLoopClient {
  CFAbsoluteTime fireDate = 0.0;
  CFAbsoluteTime firstFireDate = 0.0;
  int64_t fires = 0;  // fire dates are first + fires * interval (no drift from sums)
  CFTimeInterval interval = 0.0;
  CFRunLoopTimerCallBack callout = nullptr;
  void* info = nullptr;
  bool valid = true;
  bool armed = false;  // added to the main loop
  CFHostLoop* offered[kCFHostRunLoopSourceCount] = {};
  CFHostLoop* registeredWith = nullptr;

  void hostLoopFired() override;
};

namespace {

const __CFAllocator gDefaultAllocator{};
const __CFString gCommonModes{"kCFRunLoopCommonModes"};
const __CFString gDefaultMode{"kCFRunLoopDefaultMode"};
__CFRunLoop gMainLoop;

// Timers armed on the main loop; touched on the main thread, guarded for safety.
std::recursive_mutex& registryMutex() {
  static std::recursive_mutex m;
  return m;
}
std::vector<__CFRunLoopTimer*>& armedTimers() {
  static std::vector<__CFRunLoopTimer*> timers;
  return timers;
}

// Fire dates this close to the end of a stepped span count as after it: absolute times
// near 1e9 s carry rounding in the sub-microsecond range.
constexpr double kClockSlack = 1e-6;

// The installed test loop's clock (NaN when none is installed).
double gVirtualNow = std::nan("");
bool gManualLoopInstalled = false;

void retainTimer(__CFRunLoopTimer* timer) { timer->refs.fetch_add(1, std::memory_order_relaxed); }
void releaseTimer(__CFRunLoopTimer* timer) {
  if (timer->refs.fetch_sub(1, std::memory_order_acq_rel) == 1) delete timer;
}

// Calls the timer's callout once, keeping the timer alive through the call.
void fireTimer(__CFRunLoopTimer* timer) {
  if (!timer->valid || timer->callout == nullptr) return;
  retainTimer(timer);
  timer->callout(timer, timer->info);
  releaseTimer(timer);
}

uint64_t intervalMs(const __CFRunLoopTimer* timer) {
  const double ms = std::round(timer->interval * 1000.0);
  return ms < 1.0 ? 1 : static_cast<uint64_t>(ms);
}

// Registers the timer with the best offered loop, moving it when the best one changed.
void updateRegistration(__CFRunLoopTimer* timer) {
  CFHostLoop* best = nullptr;
  if (timer->valid && timer->armed) {
    for (CFHostLoop* loop : timer->offered) {
      if (loop != nullptr) {
        best = loop;
        break;
      }
    }
  }
  if (best == timer->registeredWith) return;
  if (timer->registeredWith != nullptr) {
    timer->registeredWith->removeTimer(timer);
    timer->registeredWith = nullptr;
  }
  if (best != nullptr && best->addTimer(timer, intervalMs(timer))) timer->registeredWith = best;
}

double realNow() {
  timespec ts{};
  clock_gettime(CLOCK_REALTIME, &ts);
  return static_cast<double>(ts.tv_sec) - 978307200.0 + static_cast<double>(ts.tv_nsec) * 1e-9;
}

}  // namespace

void __CFRunLoopTimer::hostLoopFired() { fireTimer(this); }

const CFAllocatorRef kCFAllocatorDefault = &gDefaultAllocator;
const CFStringRef kCFRunLoopCommonModes = &gCommonModes;
const CFStringRef kCFRunLoopDefaultMode = &gDefaultMode;

CFAbsoluteTime CFAbsoluteTimeGetCurrent() {
  std::lock_guard<std::recursive_mutex> lock(registryMutex());
  return gManualLoopInstalled ? gVirtualNow : realNow();
}

CFRunLoopRef CFRunLoopGetMain() { return &gMainLoop; }

CFRunLoopTimerRef CFRunLoopTimerCreate(CFAllocatorRef, CFAbsoluteTime fireDate, CFTimeInterval interval,
                                       CFOptionFlags, CFIndex, CFRunLoopTimerCallBack callout,
                                       CFRunLoopTimerContext* context) {
  auto* timer = new (std::nothrow) __CFRunLoopTimer();
  if (timer == nullptr) return nullptr;
  timer->fireDate = fireDate;
  timer->firstFireDate = fireDate;
  timer->interval = interval > 0.0 ? interval : 0.0;
  timer->callout = callout;
  timer->info = context != nullptr ? context->info : nullptr;
  return timer;
}

void CFRunLoopAddTimer(CFRunLoopRef loop, CFRunLoopTimerRef timer, CFStringRef) {
  if (loop != &gMainLoop || timer == nullptr) return;
  std::lock_guard<std::recursive_mutex> lock(registryMutex());
  if (!timer->valid || timer->armed) return;
  try {
    armedTimers().push_back(timer);
  } catch (...) {
    return;
  }
  retainTimer(timer);
  timer->armed = true;
  updateRegistration(timer);
}

void CFRunLoopTimerInvalidate(CFRunLoopTimerRef timer) {
  if (timer == nullptr) return;
  std::lock_guard<std::recursive_mutex> lock(registryMutex());
  if (!timer->valid) return;
  timer->valid = false;
  updateRegistration(timer);  // leaves the host loop: no call reaches the timer after this
  for (CFHostLoop*& loop : timer->offered) {
    if (loop != nullptr) {
      loop->release();
      loop = nullptr;
    }
  }
  if (timer->armed) {
    auto& timers = armedTimers();
    timers.erase(std::remove(timers.begin(), timers.end(), timer), timers.end());
    timer->armed = false;
    releaseTimer(timer);
  }
}

Boolean CFRunLoopTimerIsValid(CFRunLoopTimerRef timer) { return timer != nullptr && timer->valid; }

CFTimeInterval CFRunLoopTimerGetInterval(CFRunLoopTimerRef timer) {
  return timer != nullptr ? timer->interval : 0.0;
}

CFAbsoluteTime CFRunLoopTimerGetNextFireDate(CFRunLoopTimerRef timer) {
  return timer != nullptr ? timer->fireDate : 0.0;
}

CFTypeRef CFRetain(CFTypeRef object) {
  if (object != nullptr) static_cast<CFObject*>(const_cast<void*>(object))->refs.fetch_add(1);
  return object;
}

void CFRelease(CFTypeRef object) {
  if (object == nullptr) return;
  auto* cf = static_cast<CFObject*>(const_cast<void*>(object));
  if (cf->refs.fetch_sub(1, std::memory_order_acq_rel) == 1) delete cf;
}

void CFRunLoopTimerSetHostRunLoop(CFRunLoopTimerRef timer, int source, CFHostLoop* loop) {
  if (timer == nullptr || source < 0 || source >= kCFHostRunLoopSourceCount) return;
  std::lock_guard<std::recursive_mutex> lock(registryMutex());
  if (!timer->valid) return;
  CFHostLoop*& slot = timer->offered[source];
  if (slot == loop || (slot != nullptr && loop != nullptr && slot->identity() == loop->identity())) return;
  CFHostLoop* previous = slot;
  if (loop != nullptr) loop->retain();
  slot = loop;
  updateRegistration(timer);  // leaves the previous loop before it is released
  if (previous != nullptr) previous->release();
}

Boolean CFRunLoopTimerHasHostRunLoop(CFRunLoopTimerRef timer) {
  std::lock_guard<std::recursive_mutex> lock(registryMutex());
  return timer != nullptr && timer->registeredWith != nullptr;
}

Boolean CFRunLoopTimerIsDriven(CFRunLoopTimerRef timer) {
  std::lock_guard<std::recursive_mutex> lock(registryMutex());
  return timer != nullptr && timer->valid && (timer->registeredWith != nullptr || gManualLoopInstalled);
}

namespace cfshim {

ManualRunLoop::ManualRunLoop() : ManualRunLoop(realNow()) {}

ManualRunLoop::ManualRunLoop(CFAbsoluteTime start) {
  std::lock_guard<std::recursive_mutex> lock(registryMutex());
  gManualLoopInstalled = true;
  gVirtualNow = start;
}

ManualRunLoop::~ManualRunLoop() {
  std::lock_guard<std::recursive_mutex> lock(registryMutex());
  gManualLoopInstalled = false;
  gVirtualNow = std::nan("");
}

CFAbsoluteTime ManualRunLoop::now() const {
  std::lock_guard<std::recursive_mutex> lock(registryMutex());
  return gVirtualNow;
}

int ManualRunLoop::advance(double ms) {
  double end;
  {
    std::lock_guard<std::recursive_mutex> lock(registryMutex());
    end = gVirtualNow + std::max(ms, 0.0) / 1000.0;
  }
  int fired = 0;
  for (;;) {
    __CFRunLoopTimer* next = nullptr;
    bool oneShot = false;
    {
      std::lock_guard<std::recursive_mutex> lock(registryMutex());
      for (__CFRunLoopTimer* timer : armedTimers()) {
        if (!timer->valid || timer->registeredWith != nullptr || timer->fireDate >= end - kClockSlack) continue;
        if (next == nullptr || timer->fireDate < next->fireDate) next = timer;
      }
      if (next == nullptr) break;
      gVirtualNow = std::max(gVirtualNow, next->fireDate);
      oneShot = !(next->interval > 0.0);
      next->fireDate = oneShot ? HUGE_VAL : next->firstFireDate + static_cast<double>(++next->fires) * next->interval;
      retainTimer(next);
    }
    fireTimer(next);
    ++fired;
    if (oneShot) CFRunLoopTimerInvalidate(next);
    releaseTimer(next);
  }
  std::lock_guard<std::recursive_mutex> lock(registryMutex());
  gVirtualNow = std::max(gVirtualNow, end);
  return fired;
}

}  // namespace cfshim
