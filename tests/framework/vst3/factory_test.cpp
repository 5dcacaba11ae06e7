// The plug-in factory and instance creation, with a small test plug-in class linked in
// place of the product.
#include <gtest/gtest.h>

#include <atomic>
#include <cstring>
#include <mutex>
#include <new>
#include <stdexcept>
#include <thread>
#include <vector>

#include "framework/vst3/IPluginVST3.h"
#include "framework/vst3/PluginEntry.h"
#include "tools/testhost/host_objects.h"

namespace plugkit::detail {
extern int gDeinitRuns;
}

extern "C" {
bool ModuleEntry(void*);
bool ModuleExit();
Steinberg::IPluginFactory* GetPluginFactory();
}

namespace {

enum class Failure { none, badAlloc, runtime, integer };
Failure gFailure = Failure::none;
int gLiveInstances = 0;

const plugkit::Config& testConfig() {
  static const plugkit::Config c = [] {
    plugkit::Config k;
    k.channelIO = "1-1 2-2";
    k.name = "Test";
    k.bundleId = "com.example.test";
    return k;
  }();
  return c;
}

class TestPlug : public plugkit::IPluginVST3 {
public:
  TestPlug() : plugkit::IPluginVST3(plugkit::InstanceInfo{}, testConfig()) {
    switch (gFailure) {
      case Failure::badAlloc:
        throw std::bad_alloc();
      case Failure::runtime:
        throw std::runtime_error("constructor failed");
      case Failure::integer:
        throw 42;
      case Failure::none:
        break;
    }
    ++gLiveInstances;
  }
  ~TestPlug() override { --gLiveInstances; }
};

const Steinberg::TUID kTestCid = INLINE_UID(0x11111111, 0x22222222, 0x33333333, 0x44444444);

}  // namespace

namespace plugkit {

const ModuleInfo& GetModuleInfo() {
  static const ModuleInfo info{"Test Vendor", "https://example.invalid", "",
                               {0x11111111, 0x22222222, 0x33333333, 0x44444444},
                               "Test", "Fx", "1.2.3", "VST 3.8.1"};
  return info;
}

IPluginVST3* MakePlug(const InstanceInfo&) { return new TestPlug(); }

}  // namespace plugkit

namespace {

using namespace Steinberg;

TEST(PluginFactory, OneFactoryWhileReferenced) {
  IPluginFactory* first = GetPluginFactory();
  ASSERT_NE(first, nullptr);
  IPluginFactory* second = GetPluginFactory();
  EXPECT_EQ(first, second);
  EXPECT_EQ(first->addRef(), 3u);
  first->release();
  second->release();
  EXPECT_EQ(first->release(), 0u);  // the factory is gone now

  // The next call makes a new, working factory (ASan catches a stale pointer).
  IPluginFactory* again = GetPluginFactory();
  ASSERT_NE(again, nullptr);
  EXPECT_EQ(again->countClasses(), 1);
  EXPECT_EQ(again->release(), 0u);
}

TEST(PluginFactory, CreatesInstancesAndRefusesUnknownIds) {
  IPluginFactory* factory = GetPluginFactory();
  void* obj = reinterpret_cast<void*>(1);
  const TUID wrong = INLINE_UID(1, 2, 3, 4);
  EXPECT_EQ(factory->createInstance(wrong, Vst::IComponent::iid, &obj), kNoInterface);
  EXPECT_EQ(obj, nullptr);

  ASSERT_EQ(factory->createInstance(kTestCid, Vst::IComponent::iid, &obj), kResultOk);
  ASSERT_NE(obj, nullptr);
  EXPECT_EQ(gLiveInstances, 1);
  auto* component = static_cast<Vst::IComponent*>(obj);
  void* processor = nullptr;
  ASSERT_EQ(component->queryInterface(Vst::IAudioProcessor::iid, &processor), kResultOk);
  void* controller = nullptr;
  ASSERT_EQ(component->queryInterface(Vst::IEditController::iid, &controller), kResultOk);
  static_cast<Vst::IAudioProcessor*>(processor)->release();
  static_cast<Vst::IEditController*>(controller)->release();
  component->release();
  EXPECT_EQ(gLiveInstances, 0);
  factory->release();
}

TEST(PluginFactory, FailedConstructionAnswersAnErrorAndTheNextCreateWorks) {
  IPluginFactory* factory = GetPluginFactory();
  struct Case {
    Failure failure;
    tresult expected;
  } cases[] = {{Failure::badAlloc, kOutOfMemory}, {Failure::runtime, kInternalError}, {Failure::integer, kInternalError}};
  for (const auto& c : cases) {
    gFailure = c.failure;
    void* obj = reinterpret_cast<void*>(1);
    EXPECT_EQ(factory->createInstance(kTestCid, Vst::IComponent::iid, &obj), c.expected);
    EXPECT_EQ(obj, nullptr);
  }
  gFailure = Failure::none;
  void* obj = nullptr;
  ASSERT_EQ(factory->createInstance(kTestCid, Vst::IAudioProcessor::iid, &obj), kResultOk);
  static_cast<Vst::IAudioProcessor*>(obj)->release();
  EXPECT_EQ(gLiveInstances, 0);
  factory->release();
}

TEST(PluginFactory, HostContextIsKeptWithItsRunLoop) {
  struct FakeLoop : public Linux::IRunLoop {
    int refs = 1;
    tresult PLUGIN_API queryInterface(const TUID iid, void** obj) override {
      if (FUnknownPrivate::iidEqual(iid, Linux::IRunLoop::iid) || FUnknownPrivate::iidEqual(iid, FUnknown::iid)) {
        ++refs;
        *obj = this;
        return kResultOk;
      }
      *obj = nullptr;
      return kNoInterface;
    }
    uint32 PLUGIN_API addRef() override { return ++refs; }
    uint32 PLUGIN_API release() override { return --refs; }
    tresult PLUGIN_API registerEventHandler(Linux::IEventHandler*, Linux::FileDescriptor) override { return kResultOk; }
    tresult PLUGIN_API unregisterEventHandler(Linux::IEventHandler*) override { return kResultOk; }
    tresult PLUGIN_API registerTimer(Linux::ITimerHandler*, Linux::TimerInterval) override { return kResultOk; }
    tresult PLUGIN_API unregisterTimer(Linux::ITimerHandler*) override { return kResultOk; }
  } loop;

  IPluginFactory* factory = GetPluginFactory();
  void* f3 = nullptr;
  ASSERT_EQ(factory->queryInterface(IPluginFactory3::iid, &f3), kResultOk);
  auto* factory3 = static_cast<IPluginFactory3*>(f3);
  EXPECT_EQ(factory3->setHostContext(&loop), kResultOk);
  EXPECT_EQ(plugkit::FactoryHostRunLoop(), &loop);
  EXPECT_EQ(loop.refs, 3);  // the context and its run loop interface
  factory3->release();
  factory->release();  // last reference: the factory lets go of the context
  EXPECT_EQ(loop.refs, 1);
  EXPECT_EQ(plugkit::FactoryHostRunLoop(), nullptr);
}

// Hosts may scan from several threads: a factory's last release and a new
// GetPluginFactory meet (run under ThreadSanitizer and AddressSanitizer).
TEST(PluginFactoryThreads, LastReleaseAndGetPluginFactoryMeet) {
  std::vector<std::thread> threads;
  for (int t = 0; t < 4; ++t) {
    threads.emplace_back([] {
      for (int i = 0; i < 2000; ++i) {
        IPluginFactory* factory = GetPluginFactory();
        ASSERT_NE(factory, nullptr);
        EXPECT_EQ(factory->countClasses(), 1);
        factory->release();
      }
    });
  }
  for (std::thread& thread : threads) thread.join();
  IPluginFactory* last = GetPluginFactory();
  EXPECT_EQ(last->release(), 0u);  // nothing else holds it
}

// The factory's host run loop is handed out with a reference of its own: a host that
// changes the context meanwhile releases only the factory's.
TEST(PluginFactoryThreads, HostRunLoopIsHandedOutWithAReference) {
  IPluginFactory* factory = GetPluginFactory();
  void* f3 = nullptr;
  ASSERT_EQ(factory->queryInterface(IPluginFactory3::iid, &f3), kResultOk);
  auto* factory3 = static_cast<IPluginFactory3*>(f3);
  std::atomic<bool> stop{false};
  std::thread host([&] {
    for (int i = 0; i < 2000; ++i) {
      auto* loop = new testhost::RunLoop();
      auto* context = new testhost::HostContext();
      context->setRunLoop(loop);
      loop->release();
      factory3->setHostContext(static_cast<Vst::IHostApplication*>(context));
      context->release();  // the factory holds the context and its loop now
      factory3->setHostContext(nullptr);
    }
    stop.store(true);
  });
  while (!stop.load()) {
    IPtr<Linux::IRunLoop> loop = plugkit::FactoryHostRunLoop();
    if (loop) {
      EXPECT_EQ(loop->unregisterTimer(nullptr), kResultFalse);  // still alive
    }
  }
  host.join();
  factory3->release();
  EXPECT_EQ(factory->release(), 0u);
}

TEST(ModuleEntry, CountsEntriesAndDeinitialisesOnce) {
  const int before = plugkit::detail::gDeinitRuns;
  EXPECT_TRUE(ModuleEntry(nullptr));
  EXPECT_TRUE(ModuleEntry(nullptr));
  EXPECT_TRUE(ModuleExit());
  EXPECT_EQ(plugkit::detail::gDeinitRuns, before);
  EXPECT_TRUE(ModuleExit());
  EXPECT_EQ(plugkit::detail::gDeinitRuns, before + 1);
  EXPECT_FALSE(ModuleExit());  // unbalanced
  EXPECT_TRUE(plugkit::InitModule());
  EXPECT_TRUE(plugkit::DeinitModule());
}

}  // namespace
