#include "framework/vst3/FactoryRunLoop.h"

#include "framework/vst3/PluginEntry.h"

namespace plugkit {

namespace detail {
std::mutex gFactoryMutex;
vst3shim::PluginFactory* gFactory = nullptr;
}  // namespace detail

Steinberg::IPtr<Steinberg::Linux::IRunLoop> FactoryHostRunLoop() {
  vst3shim::PluginFactory* factory = nullptr;
  {
    std::lock_guard<std::mutex> lock(detail::gFactoryMutex);
    if (detail::gFactory != nullptr && detail::gFactory->addRefIfAlive()) factory = detail::gFactory;
  }
  if (factory == nullptr) return nullptr;
  Steinberg::IPtr<Steinberg::Linux::IRunLoop> loop = factory->hostRunLoop();
  factory->release();  // outside the lock: a last release takes it to clear the pointer
  return loop;
}

}  // namespace plugkit
