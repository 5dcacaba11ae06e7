#include "framework/vst3/FactoryRunLoop.h"

#include "framework/vst3/PluginEntry.h"

namespace plugkit {

namespace detail {
std::mutex gFactoryMutex;
vst3shim::PluginFactory* gFactory = nullptr;
}  // namespace detail

Steinberg::Linux::IRunLoop* FactoryHostRunLoop() {
  std::lock_guard<std::mutex> lock(detail::gFactoryMutex);
  return detail::gFactory != nullptr ? detail::gFactory->hostRunLoop() : nullptr;
}

}  // namespace plugkit
