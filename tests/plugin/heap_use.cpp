#include "tests/plugin/heap_use.h"

#include <dlfcn.h>
#include <pthread.h>

#include <cstdlib>
#include <new>

namespace {
thread_local bool counting = false;
thread_local sp::test::heapuse::Use use;

void* allocate(std::size_t size) noexcept {
  if (counting) {
    ++use.allocations;
    use.bytes += static_cast<long long>(size);
  }
  return std::malloc(size ? size : 1);
}
}  // namespace

namespace sp::test::heapuse {
void start() {
  use = Use{};
  counting = true;
}
Use stop() {
  counting = false;
  return use;
}
}  // namespace sp::test::heapuse

// The replacements pair malloc with free on purpose.
#pragma GCC diagnostic ignored "-Wmismatched-new-delete"

void* operator new(std::size_t size) {
  if (void* p = allocate(size)) return p;
  throw std::bad_alloc();
}
void* operator new[](std::size_t size) { return ::operator new(size); }
void* operator new(std::size_t size, const std::nothrow_t&) noexcept { return allocate(size); }
void* operator new[](std::size_t size, const std::nothrow_t&) noexcept { return allocate(size); }
void operator delete(void* p) noexcept { std::free(p); }
void operator delete(void* p, const std::nothrow_t&) noexcept { std::free(p); }
void operator delete[](void* p, const std::nothrow_t&) noexcept { std::free(p); }
void operator delete[](void* p) noexcept { std::free(p); }
void operator delete(void* p, std::size_t) noexcept { std::free(p); }
void operator delete[](void* p, std::size_t) noexcept { std::free(p); }

extern "C" int pthread_mutex_lock(pthread_mutex_t* mutex) {
  using Lock = int (*)(pthread_mutex_t*);
  static const Lock real = reinterpret_cast<Lock>(dlsym(RTLD_NEXT, "pthread_mutex_lock"));
  if (counting) ++use.locks;
  return real(mutex);
}
