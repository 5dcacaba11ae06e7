#pragma once
// The base of every object that CFRetain and CFRelease count: the stand-ins of other
// frameworks (CoreText's fonts and descriptors, CoreGraphics' data providers) derive their
// objects from it. A new object holds one reference for its creator; the last release
// deletes it. The count is atomic; everything else is the deriving object's business.
#include <atomic>

struct __CFRuntimeBase {
  std::atomic<int> cfRefs{1};
  __CFRuntimeBase() = default;
  __CFRuntimeBase(const __CFRuntimeBase&) = delete;
  __CFRuntimeBase& operator=(const __CFRuntimeBase&) = delete;
  virtual ~__CFRuntimeBase() = default;
};

// The reference count of an object (0 for null), for tests.
int CFGetRetainCount(const void* object);
