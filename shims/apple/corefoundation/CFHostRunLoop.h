#pragma once
// Linux: the host run loops (VST3 Steinberg::Linux::IRunLoop) that drive a timer.
//
// A timer may be offered one loop per source. It registers itself (an ITimerHandler of
// its own, with its own reference count, at the timer's interval in milliseconds) with
// the offered loop of the lowest source number, holds a reference to every offered
// loop, and moves to the next source when one is withdrawn. The host calls the handler
// on its UI thread; a late call after the timer was invalidated does nothing.
#include "shims/apple/corefoundation/CoreFoundation.h"

namespace Steinberg::Linux {
class IRunLoop;
}

// Sources in order of preference.
enum CFHostRunLoopSource {
  kCFHostRunLoopFactory = 0,     // the factory's host context
  kCFHostRunLoopInitialize = 1,  // the context given to initialize
  kCFHostRunLoopViewFrame = 2,   // the plug-in frame of an attached view
  kCFHostRunLoopSourceCount = 3,
};

// Offers (loop not null) or withdraws (null) a host run loop for a source. Withdrawing
// the loop in use unregisters the timer from it before the reference is released.
void CFRunLoopTimerSetHostRunLoop(CFRunLoopTimerRef timer, int source, Steinberg::Linux::IRunLoop* loop);
// True while a host run loop drives the timer.
Boolean CFRunLoopTimerHasHostRunLoop(CFRunLoopTimerRef timer);
// True while anything drives the timer: a host run loop, or a test loop (CFRunLoopTesting.h).
Boolean CFRunLoopTimerIsDriven(CFRunLoopTimerRef timer);
