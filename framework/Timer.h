#pragma once
// A periodic timer whose callback runs on the host's main (UI) thread, between other
// main-thread work. Built on a run-loop timer of the main run loop. On Linux the loop
// is the host's: the plug-in binding offers the host loops it finds (for VST3: factory
// context, initialize context, an attached view's frame; framework/vst3/HostRunLoop_linux.h);
// until one is offered the timer stays armed and silent. Main thread only.
#include <cstdint>
#include <functional>

class CFHostLoop;

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

  // Offers (loop not null) or withdraws (null) a host loop for one source
  // (CFHostRunLoopSource order: factory context, initialize context, view frame). The
  // timer keeps a reference to each offered loop; offering the same loop again for a
  // source changes nothing.
  virtual void SetHostLoop(int source, CFHostLoop* loop) = 0;
  // True while some run loop drives the timer (a host's, or a test's).
  virtual bool IsDriven() const = 0;
};

}  // namespace plugkit
