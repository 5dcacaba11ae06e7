// The product's own entry (the module's MakePlug with the factory): what the host is
// answered when SpectraPoise cannot be built. The program refuses thread starts and
// allocations on demand by replacing pthread_create and operator new.
#include <gtest/gtest.h>

#include <dlfcn.h>
#include <pthread.h>

#include <atomic>
#include <cerrno>
#include <cstdlib>
#include <new>

#include "framework/vst3/PluginEntry.h"

namespace {
std::atomic<bool> gRefuseThreads{false};
thread_local bool tRefuseAllocations = false;
}  // namespace

extern "C" int pthread_create(pthread_t* thread, const pthread_attr_t* attr, void* (*start)(void*), void* arg) {
  using Create = int (*)(pthread_t*, const pthread_attr_t*, void* (*)(void*), void*);
  static const Create real = reinterpret_cast<Create>(dlsym(RTLD_NEXT, "pthread_create"));
  if (gRefuseThreads.load()) return EAGAIN;
  return real(thread, attr, start, arg);
}

// The replacements pair malloc with free on purpose.
#pragma GCC diagnostic ignored "-Wmismatched-new-delete"

void* operator new(std::size_t size) {
  if (tRefuseAllocations) throw std::bad_alloc();
  if (void* p = std::malloc(size != 0 ? size : 1)) return p;
  throw std::bad_alloc();
}
void* operator new[](std::size_t size) { return ::operator new(size); }
void* operator new(std::size_t size, const std::nothrow_t&) noexcept {
  if (tRefuseAllocations) return nullptr;
  return std::malloc(size != 0 ? size : 1);
}
void* operator new[](std::size_t size, const std::nothrow_t& tag) noexcept { return ::operator new(size, tag); }
void operator delete(void* p, const std::nothrow_t&) noexcept { std::free(p); }
void operator delete[](void* p, const std::nothrow_t&) noexcept { std::free(p); }
void operator delete(void* p) noexcept { std::free(p); }
void operator delete[](void* p) noexcept { std::free(p); }
void operator delete(void* p, std::size_t) noexcept { std::free(p); }
void operator delete[](void* p, std::size_t) noexcept { std::free(p); }

namespace {

using namespace Steinberg;

struct Factory {
  IPluginFactory* factory = plugkit::GetPluginFactoryInstance();
  PClassInfo info{};
  Factory() { factory->getClassInfo(0, &info); }
  ~Factory() { factory->release(); }

  tresult create(void** obj) { return factory->createInstance(info.cid, Vst::IComponent::iid, obj); }
};

TEST(ProductEntry, FailedConstructionAnswersByCauseAndTheNextCreateWorks) {
  Factory f;
  struct Case {
    const char* what;
    std::atomic<bool>* threads;
    bool* allocations;
    tresult expected;
  } cases[] = {
      {"the worker thread cannot start", &gRefuseThreads, nullptr, kInternalError},
      {"the instance cannot be allocated", nullptr, &tRefuseAllocations, kOutOfMemory},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    void* obj = reinterpret_cast<void*>(1);
    if (c.threads != nullptr) c.threads->store(true);
    if (c.allocations != nullptr) *c.allocations = true;
    const tresult result = f.create(&obj);
    gRefuseThreads.store(false);
    tRefuseAllocations = false;
    EXPECT_EQ(result, c.expected);
    EXPECT_EQ(obj, nullptr);
  }
  void* obj = nullptr;
  ASSERT_EQ(f.create(&obj), kResultOk);
  ASSERT_NE(obj, nullptr);
  static_cast<Vst::IComponent*>(obj)->release();
}

}  // namespace
