#include "tests/support/alloc_counter.h"

#include <cstdlib>
#include <new>

namespace {
thread_local bool tCounting = false;
thread_local long tCount = 0;
thread_local std::size_t tBytes = 0;
thread_local bool tLimited = false;
thread_local long tAllocationsLeft = 0;
thread_local std::size_t tBytesLeft = 0;

void note(std::size_t size) {
  if (tLimited) {
    if (tAllocationsLeft <= 0 || size > tBytesLeft) throw std::bad_alloc();
    --tAllocationsLeft;
    tBytesLeft -= size;
  }
  if (tCounting) {
    ++tCount;
    tBytes += size;
  }
}

void* allocate(std::size_t size) {
  note(size);
  void* p = std::malloc(size != 0 ? size : 1);
  if (p == nullptr) throw std::bad_alloc();
  return p;
}

void* allocateAligned(std::size_t size, std::align_val_t align) {
  note(size);
  const std::size_t a = static_cast<std::size_t>(align);
  void* p = std::aligned_alloc(a, (size + a - 1) / a * a);
  if (p == nullptr) throw std::bad_alloc();
  return p;
}
}  // namespace

namespace alloccount {
void start() {
  tCount = 0;
  tBytes = 0;
  tCounting = true;
}
long stop() {
  tCounting = false;
  return tCount;
}
std::size_t bytes() { return tBytes; }
void limit(long allocations, std::size_t byteBudget) {
  tAllocationsLeft = allocations;
  tBytesLeft = byteBudget;
  tLimited = true;
}
void unlimited() { tLimited = false; }
}  // namespace alloccount

void* operator new(std::size_t size) { return allocate(size); }
void* operator new[](std::size_t size) { return allocate(size); }
void* operator new(std::size_t size, const std::nothrow_t&) noexcept {
  try {
    return allocate(size);
  } catch (...) {
    return nullptr;
  }
}
void* operator new[](std::size_t size, const std::nothrow_t&) noexcept {
  try {
    return allocate(size);
  } catch (...) {
    return nullptr;
  }
}
void* operator new(std::size_t size, std::align_val_t align) { return allocateAligned(size, align); }
void* operator new[](std::size_t size, std::align_val_t align) { return allocateAligned(size, align); }
void operator delete(void* p) noexcept { std::free(p); }
void operator delete[](void* p) noexcept { std::free(p); }
void operator delete(void* p, std::size_t) noexcept { std::free(p); }
void operator delete[](void* p, std::size_t) noexcept { std::free(p); }
void operator delete(void* p, const std::nothrow_t&) noexcept { std::free(p); }
void operator delete[](void* p, const std::nothrow_t&) noexcept { std::free(p); }
void operator delete(void* p, std::align_val_t) noexcept { std::free(p); }
void operator delete[](void* p, std::align_val_t) noexcept { std::free(p); }
void operator delete(void* p, std::size_t, std::align_val_t) noexcept { std::free(p); }
void operator delete[](void* p, std::size_t, std::align_val_t) noexcept { std::free(p); }
