#pragma once
// The part of CoreFoundation the framework's main-thread timer uses: the absolute clock
// and run-loop timers on the main run loop.
//
// Linux has no process-wide main loop. Timers are driven by the host's run loop when
// the host offers one (CFHostRunLoop.h), or, in tests, by a loop the test steps by hand
// (CFRunLoopTesting.h). With neither, a timer stays armed and silent: no thread of ours
// ever runs a timer callback.
#include <cstdint>

typedef double CFAbsoluteTime;
typedef double CFTimeInterval;
typedef unsigned long CFOptionFlags;
typedef long CFIndex;
typedef unsigned char Boolean;
typedef const void* CFTypeRef;
typedef const struct __CFAllocator* CFAllocatorRef;
typedef const struct __CFString* CFStringRef;
typedef struct __CFRunLoop* CFRunLoopRef;
typedef struct __CFRunLoopTimer* CFRunLoopTimerRef;
typedef void (*CFRunLoopTimerCallBack)(CFRunLoopTimerRef timer, void* info);

struct CFRunLoopTimerContext {
  CFIndex version;
  void* info;
  const void* (*retain)(const void* info);
  void (*release)(const void* info);
  CFStringRef (*copyDescription)(const void* info);
};

extern const CFAllocatorRef kCFAllocatorDefault;
extern const CFStringRef kCFRunLoopCommonModes;
extern const CFStringRef kCFRunLoopDefaultMode;

// Seconds since 1 January 2001 (the virtual clock while a test loop is installed).
CFAbsoluteTime CFAbsoluteTimeGetCurrent();

CFRunLoopRef CFRunLoopGetMain();

// A repeating timer (interval > 0) or a one-shot timer, first due at fireDate. The new
// timer carries one reference for the caller. Null when allocation fails.
CFRunLoopTimerRef CFRunLoopTimerCreate(CFAllocatorRef allocator, CFAbsoluteTime fireDate, CFTimeInterval interval,
                                       CFOptionFlags flags, CFIndex order, CFRunLoopTimerCallBack callout,
                                       CFRunLoopTimerContext* context);
// Arms the timer on the loop; the loop holds a reference until the timer is invalidated.
void CFRunLoopAddTimer(CFRunLoopRef loop, CFRunLoopTimerRef timer, CFStringRef mode);
// Stops the timer for good: it leaves every loop and never fires again.
void CFRunLoopTimerInvalidate(CFRunLoopTimerRef timer);
Boolean CFRunLoopTimerIsValid(CFRunLoopTimerRef timer);
CFTimeInterval CFRunLoopTimerGetInterval(CFRunLoopTimerRef timer);
CFAbsoluteTime CFRunLoopTimerGetNextFireDate(CFRunLoopTimerRef timer);

CFTypeRef CFRetain(CFTypeRef object);
void CFRelease(CFTypeRef object);
