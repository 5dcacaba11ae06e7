#pragma once
// The basics of the AppKit stand-in: geometry in points (Cocoa's: screen and window y grow
// upwards; a flipped view's y grows downwards), the reference-counted object base, target
// and action, and a holder of one reference.
//
// Objects of this stand-in can be shared between two modules that each link it (a host and
// the plug-in it loads, as both use the system's AppKit on macOS): every call one object
// makes on an object it did not create is virtual, data members are plain, and what is
// process-wide lives in the process's application object (NSApplication.h), which both
// find. Main thread only.
#include <cstdint>
#include <string>
#include <utility>

typedef double CGFloat;
typedef long NSInteger;
typedef unsigned long NSUInteger;

struct NSPoint {
  CGFloat x = 0;
  CGFloat y = 0;
  bool operator==(const NSPoint&) const = default;
};
struct NSSize {
  CGFloat width = 0;
  CGFloat height = 0;
  bool operator==(const NSSize&) const = default;
};
struct NSRect {
  NSPoint origin;
  NSSize size;
  bool operator==(const NSRect&) const = default;
};
typedef NSPoint CGPoint;
typedef NSSize CGSize;
typedef NSRect CGRect;

inline NSPoint NSMakePoint(CGFloat x, CGFloat y) { return {x, y}; }
inline NSSize NSMakeSize(CGFloat w, CGFloat h) { return {w, h}; }
inline NSRect NSMakeRect(CGFloat x, CGFloat y, CGFloat w, CGFloat h) { return {{x, y}, {w, h}}; }
inline bool NSPointInRect(NSPoint p, NSRect r) {
  return p.x >= r.origin.x && p.x < r.origin.x + r.size.width && p.y >= r.origin.y &&
         p.y < r.origin.y + r.size.height;
}

// A selector: the message's name.
typedef std::string SEL;

// The base of every AppKit object: a reference count (a new object holds one reference
// for its creator; the last release deletes it) and target-action.
class NSObject {
public:
  NSObject() = default;
  NSObject(const NSObject&) = delete;
  NSObject& operator=(const NSObject&) = delete;

  virtual NSObject* retain() {
    ++mRetainCount;
    return this;
  }
  virtual void release() {
    if (--mRetainCount == 0) delete this;
  }
  int retainCount() const { return mRetainCount; }
  // Target-action: the object performs the action named sel with the sender; false when
  // it has no such action.
  virtual bool performAction(const SEL& sel, NSObject* sender) { return false; }

protected:
  // Deletion is release's (Cocoa's dealloc is the destructor).
  virtual ~NSObject() = default;

private:
  int mRetainCount = 1;
};

// Holds one reference to an AppKit object (null allowed). Adopting takes over the creator's
// reference; copying retains.
template <class T>
class NSPtr {
public:
  NSPtr() = default;
  static NSPtr adopt(T* p) {
    NSPtr r;
    r.mP = p;
    return r;
  }
  static NSPtr retain(T* p) {
    if (p != nullptr) p->retain();
    return adopt(p);
  }
  NSPtr(const NSPtr& o) : mP(o.mP) {
    if (mP != nullptr) mP->retain();
  }
  NSPtr(NSPtr&& o) noexcept : mP(std::exchange(o.mP, nullptr)) {}
  NSPtr& operator=(NSPtr o) noexcept {
    std::swap(mP, o.mP);
    return *this;
  }
  ~NSPtr() {
    if (mP != nullptr) mP->release();
  }
  T* get() const { return mP; }
  T* operator->() const { return mP; }
  T& operator*() const { return *mP; }
  explicit operator bool() const { return mP != nullptr; }
  void reset() { *this = NSPtr(); }

private:
  T* mP = nullptr;
};

// Cocoa's autorelease pool; objects here are held by NSPtr, so the pool only marks the
// scope.
struct NSAutoreleasePool {
  NSAutoreleasePool() {}
  ~NSAutoreleasePool() {}
};
