#pragma once
// A test clock for deterministic frames: while it lives it is the graphics time source
// (animations and frame times read NowMs from it), and advance() fires its timers in time
// order (for example the plug-in's 20 ms idle and the editor's 1/60 s redraw tick),
// draining the main queue before each firing.
#include <cstdint>
#include <functional>
#include <vector>

#include "tests/support/canvas/main_queue.h"

namespace sp::test {

class TestClock {
public:
  // Installs this clock as the graphics time source (one clock at a time), starting at startMs.
  explicit TestClock(double startMs = 1000.0);
  ~TestClock();
  TestClock(const TestClock&) = delete;
  TestClock& operator=(const TestClock&) = delete;

  double NowMs() const { return mNowMs; }
  // A timer firing every numerator / denominator milliseconds, first one period from now.
  // Equal firing times run in the order the timers were added. Answers the timer's id.
  int addTimer(int64_t periodNumerator, int64_t periodDenominator, std::function<void()> fire);
  int addTimerMs(double periodMs, std::function<void()> fire);
  void removeTimer(int id);
  // The queue drained before each firing (and at the end of advance), or none.
  void setQueue(MainQueue* queue) { mQueue = queue; }
  // Moves time forward by ms, firing every timer that falls due, in time order.
  void advance(double ms);

private:
  struct Timer {
    int id;
    int64_t num, den;  // period = num / den ms
    int64_t count;     // firings so far
    double startMs;
    std::function<void()> fire;
    bool removed;
    double next() const { return startMs + static_cast<double>((count + 1) * num) / static_cast<double>(den); }
  };

  double mNowMs;
  int mNextId = 1;
  std::vector<Timer> mTimers;
  MainQueue* mQueue = nullptr;
};

}  // namespace sp::test
