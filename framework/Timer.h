#pragma once
// A periodic timer whose callback runs on the host's main (UI) thread, between other
// main-thread work. Built on a run-loop timer of the main run loop. On Linux the loop
// is the host's: the binding offers the host run loops it finds (factory context,
// initialize context, an attached view's frame); until one is offered the timer stays
// armed and silent.
#include <cstdint>
#include <functional>

namespace Steinberg::Linux {
class IRunLoop;
}

namespace plugkit {

class Timer {
public:
  using ITimerFunction = std::function<void(Timer& timer)>;

  // A new running timer with a copy of the callback; the caller owns it. Null when the
  // run-loop timer cannot be made.
  static Timer* Create(ITimerFunction func, uint32_t intervalMs);

  virtual ~Timer() = default;
  // Stops the timer for good; a second Stop does nothing.
  virtual void Stop() = 0;
  virtual uint32_t GetIntervalMs() const = 0;

  // Offers (loop not null) or withdraws (null) a host run loop for one source
  // (CFHostRunLoopSource order: factory context, initialize context, view frame).
  virtual void SetHostRunLoop(int source, Steinberg::Linux::IRunLoop* loop) = 0;
  // True while some run loop drives the timer (a host's, or a test's).
  virtual bool IsDriven() const = 0;
};

}  // namespace plugkit
