#pragma once
// A main run loop that a test steps by hand, with a virtual clock. While one is
// installed, CFAbsoluteTimeGetCurrent answers the virtual clock and the loop drives every
// armed timer that no host run loop drives. Main thread (the test's thread) only.
#include "shims/apple/corefoundation/CoreFoundation.h"

namespace cfshim {

class ManualRunLoop {
public:
  // Installs the loop (one at a time) with the clock at the current time.
  ManualRunLoop();
  // Installs the loop with the clock at `start` seconds.
  explicit ManualRunLoop(CFAbsoluteTime start);
  ~ManualRunLoop();
  ManualRunLoop(const ManualRunLoop&) = delete;
  ManualRunLoop& operator=(const ManualRunLoop&) = delete;

  CFAbsoluteTime now() const;
  // Runs the loop over the next ms milliseconds: every timer due before the end fires, in
  // order of fire date, on the calling thread, with the clock set to its fire date. May
  // be called from inside a timer callback (a nested loop, as a modal dialog runs).
  // Answers the number of timer callbacks made.
  int advance(double ms);
};

}  // namespace cfshim
