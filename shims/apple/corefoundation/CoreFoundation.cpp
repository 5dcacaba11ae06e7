// Run-loop timers on Linux: driven by the host's run loop (a CFHostLoop) or by a test's
// hand-stepped loop; never by a thread of ours. The main dispatch queue drains at each
// turn of either.
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
#include "shims/apple/corefoundation/CFRuntime.h"
#include "shims/apple/corefoundation/Dispatch.h"

struct __CFAllocator {};
struct __CFString {
  const char* text;
};
struct __CFRunLoop {};

// A host loop calls the timer itself back (hostLoopFired); it stops doing so when the
// timer leaves it, which invalidation does before the timer can go.
struct __CFRunLoopTimer : __CFRuntimeBase, CFHostLoopClient {
  CFAbsoluteTime fireDate = 0.0;
  CFAbsoluteTime firstFireDate = 0.0;
  int64_t fires = 0;  // fire dates are first + fires * interval (no drift from sums)
  CFTimeInterval interval = 0.0;
  CFRunLoopTimerCallBack callout = nullptr;
  void* info = nullptr;
  bool valid = true;
  bool armed = false;  // added to the main loop
  bool followsMainLoop = false;
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

void retainTimer(__CFRunLoopTimer* timer) { timer->cfRefs.fetch_add(1, std::memory_order_relaxed); }
void releaseTimer(__CFRunLoopTimer* timer) {
  if (timer->cfRefs.fetch_sub(1, std::memory_order_acq_rel) == 1) delete timer;
}

cfshim::JobQueue& mainQueue() {
  static cfshim::JobQueue queue;
  return queue;
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

CFHostLoop* bestOffered(const __CFRunLoopTimer* timer) {
  for (CFHostLoop* loop : timer->offered)
    if (loop != nullptr) return loop;
  return nullptr;
}

// The main run loop's host loop: the best loop offered to a live timer of this module.
CFHostLoop* mainHostLoop() {
  for (int source = 0; source < kCFHostRunLoopSourceCount; ++source)
    for (const __CFRunLoopTimer* timer : armedTimers())
      if (timer->valid && timer->offered[source] != nullptr) return timer->offered[source];
  return nullptr;
}

// Registers the timer with the best offered loop, moving it when the best one changed.
void updateRegistration(__CFRunLoopTimer* timer) {
  CFHostLoop* best = nullptr;
  if (timer->valid && timer->armed) {
    best = bestOffered(timer);
    if (best == nullptr && timer->followsMainLoop) best = mainHostLoop();
  }
  if (best == timer->registeredWith) return;
  if (timer->registeredWith != nullptr) {
    timer->registeredWith->removeTimer(timer);
    timer->registeredWith = nullptr;
  }
  if (best != nullptr && best->addTimer(timer, intervalMs(timer))) timer->registeredWith = best;
}

// Moves every armed timer to its best loop (followers follow an offer made elsewhere).
void updateAllRegistrations() {
  const std::vector<__CFRunLoopTimer*> timers = armedTimers();
  for (__CFRunLoopTimer* timer : timers) updateRegistration(timer);
}

double realNow() {
  timespec ts{};
  clock_gettime(CLOCK_REALTIME, &ts);
  return static_cast<double>(ts.tv_sec) - 978307200.0 + static_cast<double>(ts.tv_nsec) * 1e-9;
}

}  // namespace

// A turn of the host's loop is a turn of the main run loop: the main queue goes first.
void __CFRunLoopTimer::hostLoopFired() {
  retainTimer(this);
  mainQueue().drain();
  fireTimer(this);
  releaseTimer(this);
}

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
  updateAllRegistrations();
}

void CFRunLoopTimerInvalidate(CFRunLoopTimerRef timer) {
  if (timer == nullptr) return;
  std::lock_guard<std::recursive_mutex> lock(registryMutex());
  if (!timer->valid) return;
  timer->valid = false;
  // Leaves the host loop (no call reaches the timer after this); followers leave the
  // loops this timer offered before they are let go.
  updateAllRegistrations();
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

// Every CF object derives from __CFRuntimeBase first: the pointer is the base's.
CFTypeRef CFRetain(CFTypeRef object) {
  if (object != nullptr) static_cast<__CFRuntimeBase*>(const_cast<void*>(object))->cfRefs.fetch_add(1);
  return object;
}

void CFRelease(CFTypeRef object) {
  if (object == nullptr) return;
  auto* cf = static_cast<__CFRuntimeBase*>(const_cast<void*>(object));
  if (cf->cfRefs.fetch_sub(1, std::memory_order_acq_rel) == 1) delete cf;
}

int CFGetRetainCount(const void* object) {
  return object != nullptr ? static_cast<const __CFRuntimeBase*>(object)->cfRefs.load() : 0;
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
  updateAllRegistrations();  // every timer leaves the previous loop before it is released
  if (previous != nullptr) previous->release();
}

void CFRunLoopTimerSetFollowsMainLoop(CFRunLoopTimerRef timer, Boolean follows) {
  if (timer == nullptr) return;
  std::lock_guard<std::recursive_mutex> lock(registryMutex());
  timer->followsMainLoop = follows != 0;
  updateRegistration(timer);
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
    mainQueue().drain();
    fireTimer(next);
    ++fired;
    if (oneShot) CFRunLoopTimerInvalidate(next);
    releaseTimer(next);
  }
  {
    std::lock_guard<std::recursive_mutex> lock(registryMutex());
    gVirtualNow = std::max(gVirtualNow, end);
  }
  mainQueue().drain();
  return fired;
}

int DrainMainQueue() { return mainQueue().drain(); }
int MainQueuePending() { return mainQueue().pending(); }

}  // namespace cfshim

struct dispatch_queue_s {};

dispatch_queue_t dispatch_get_main_queue() {
  static dispatch_queue_s main;
  return &main;
}

void dispatch_async(dispatch_queue_t queue, std::function<void()> block) {
  if (queue != dispatch_get_main_queue() || !block) return;
  mainQueue().post(std::move(block));
}
