#pragma once
// Host run loops: where the system offers no main loop (Linux), a run-loop timer is
// driven by the loop of the host it runs in. A host loop is the portable face of such a
// loop; the plug-in binding that finds the host's loop adapts it (the VST3 binding's
// Steinberg::Linux::IRunLoop: framework/vst3/HostRunLoop_linux.h).
//
// A timer may be offered one loop per source. It registers itself with the offered loop
// of the lowest source number, holds a reference to every offered loop, and moves to
// the next source when one is withdrawn; it leaves a loop before it lets go of it. Main
// (host UI) thread.
#include <cstdint>

#include "shims/apple/corefoundation/CoreFoundation.h"

// Sources in order of preference.
enum CFHostRunLoopSource {
  kCFHostRunLoopFactory = 0,     // the factory's host context
  kCFHostRunLoopInitialize = 1,  // the context given to initialize
  kCFHostRunLoopViewFrame = 2,   // the plug-in frame of an attached view
  kCFHostRunLoopSourceCount = 3,
};

// What a host loop calls back: one registered timer.
class CFHostLoopClient {
public:
  virtual void hostLoopFired() = 0;

protected:
  ~CFHostLoopClient() = default;
};

// A host's UI-thread loop that calls timers back. Reference counted: an object starts
// with one reference for its creator, and the last release destroys it.
class CFHostLoop {
public:
  virtual void retain() = 0;
  virtual void release() = 0;
  // The host loop behind this object: objects with the same identity are the same loop,
  // so offering one again for a source changes nothing.
  virtual const void* identity() const = 0;
  // From now on calls client->hostLoopFired() every intervalMs milliseconds on the host's
  // UI thread. False when the host refused the timer.
  virtual bool addTimer(CFHostLoopClient* client, uint64_t intervalMs) = 0;
  // Ends the client's registration. No call reaches the client afterwards, even when the
  // host keeps what it was given at registration.
  virtual void removeTimer(CFHostLoopClient* client) = 0;

protected:
  ~CFHostLoop() = default;
};

// Offers (loop not null) or withdraws (null) a host run loop for a source. Withdrawing
// the loop in use unregisters the timer from it before the reference is released.
void CFRunLoopTimerSetHostRunLoop(CFRunLoopTimerRef timer, int source, CFHostLoop* loop);
// A timer of the main run loop as a whole (a view's frame timer) rather than of one
// plug-in instance: while no loop is offered for the timer itself, it is driven by the
// best loop offered to any timer of this module (lowest source, then the timer armed
// first), and it moves with that loop; it leaves a loop before the loop is let go.
// Off by default.
void CFRunLoopTimerSetFollowsMainLoop(CFRunLoopTimerRef timer, Boolean follows);
// True while a host run loop drives the timer.
Boolean CFRunLoopTimerHasHostRunLoop(CFRunLoopTimerRef timer);
// True while anything drives the timer: a host run loop, or a test loop (CFRunLoopTesting.h).
Boolean CFRunLoopTimerIsDriven(CFRunLoopTimerRef timer);
