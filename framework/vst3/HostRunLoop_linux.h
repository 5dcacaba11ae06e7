#pragma once
// Linux: the host's VST3 run loop (Steinberg::Linux::IRunLoop, found on the factory's host
// context, the context given to initialize, or an attached view's plug-in frame) offered
// to the framework's timer as a host loop (shims/apple/corefoundation/CFHostRunLoop.h).
//
// The adapter holds a reference to the host's loop while the timer holds the adapter. It
// registers a timer handler of its own with the host's loop; the handler has its own
// reference count, because the host may keep it after the timer left, and then its calls
// do nothing. Main (host UI) thread.
#include "shims/vst3sdk/vst3_includes.h"

#include "framework/Timer.h"

namespace plugkit {

// Offers (loop not null) or withdraws (null) the host's run loop to the timer for one
// source (CFHostRunLoopSource). Offering the loop a source already has changes nothing;
// when the adapter cannot be made, the source keeps what it had.
void OfferHostRunLoop(Timer& timer, int source, Steinberg::Linux::IRunLoop* loop);

}  // namespace plugkit
