#pragma once
// The process-wide factory, as far as instances need it: its host context's run loop.
// Kept apart from the factory's registration code so the framework links without a
// product (tests make instances directly).
#include <mutex>

#include "shims/vst3sdk/plugin_factory.h"

namespace plugkit::detail {
extern std::mutex gFactoryMutex;
// The live factory, null when none. It may be read while its last reference goes: take
// one with addRefIfAlive under the mutex before using it.
extern vst3shim::PluginFactory* gFactory;
}  // namespace plugkit::detail
