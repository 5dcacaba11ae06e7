#include "tests/support/canvas/test_clock.h"

#include <gtest/gtest.h>

#include <cmath>

#include "graphics/Clock.h"

namespace sp::test {

namespace {

TestClock* gClock = nullptr;

double clockNow() { return gClock != nullptr ? gClock->NowMs() : 0.0; }

}  // namespace

TestClock::TestClock(double startMs) : mNowMs(startMs) {
  if (gClock != nullptr) ADD_FAILURE() << "two test clocks alive at once";
  gClock = this;
  plugkit::canvas::SetTimeSource(&clockNow);
}

TestClock::~TestClock() {
  if (gClock == this) {
    gClock = nullptr;
    plugkit::canvas::SetTimeSource(nullptr);
  }
}

int TestClock::addTimer(int64_t periodNumerator, int64_t periodDenominator, std::function<void()> fire) {
  if (periodNumerator <= 0 || periodDenominator <= 0) {
    ADD_FAILURE() << "a timer needs a positive period";
    return 0;
  }
  const int id = mNextId++;
  mTimers.push_back({id, periodNumerator, periodDenominator, 0, mNowMs, std::move(fire), false});
  return id;
}

int TestClock::addTimerMs(double periodMs, std::function<void()> fire) {
  // Whole microseconds keep the firing times exact.
  return addTimer(static_cast<int64_t>(std::llround(periodMs * 1000.0)), 1000, std::move(fire));
}

void TestClock::removeTimer(int id) {
  for (Timer& t : mTimers)
    if (t.id == id) t.removed = true;
}

void TestClock::advance(double ms) {
  const double target = mNowMs + ms;
  for (;;) {
    int due = -1;
    for (size_t i = 0; i < mTimers.size(); ++i) {
      const Timer& t = mTimers[i];
      if (t.removed || t.next() > target) continue;
      if (due < 0 || t.next() < mTimers[static_cast<size_t>(due)].next()) due = static_cast<int>(i);
    }
    if (due < 0) break;
    mNowMs = mTimers[static_cast<size_t>(due)].next();
    if (mQueue != nullptr) mQueue->drain();
    ++mTimers[static_cast<size_t>(due)].count;
    std::function<void()> fire = mTimers[static_cast<size_t>(due)].fire;  // the timer list may grow
    fire();
  }
  mNowMs = target;
  if (mQueue != nullptr) mQueue->drain();
}

}  // namespace sp::test
