// The module's exported entry points. Every one of them catches everything: no exception
// ever reaches the host.
#include <atomic>
#include <mutex>

#include "framework/vst3/PluginEntry.h"

namespace plugkit::detail {
std::mutex gEntryMutex;
int gEntryCount = 0;
void* gModuleHandle = nullptr;
int gDeinitRuns = 0;  // read by tests
}  // namespace plugkit::detail

using namespace plugkit::detail;

extern "C" {

SMTG_EXPORT_SYMBOL bool ModuleEntry(void* sharedLibraryHandle) {
  try {
    std::lock_guard<std::mutex> lock(gEntryMutex);
    if (++gEntryCount > 1) return true;
    gModuleHandle = sharedLibraryHandle;
    return plugkit::InitModule();
  } catch (...) {
    return false;
  }
}

SMTG_EXPORT_SYMBOL bool ModuleExit() {
  try {
    std::lock_guard<std::mutex> lock(gEntryMutex);
    if (gEntryCount <= 0) return false;
    if (--gEntryCount > 0) return true;
    gModuleHandle = nullptr;
    ++gDeinitRuns;
    return plugkit::DeinitModule();
  } catch (...) {
    return false;
  }
}

SMTG_EXPORT_SYMBOL Steinberg::IPluginFactory* PLUGIN_API GetPluginFactory() {
  try {
    return plugkit::GetPluginFactoryInstance();
  } catch (...) {
    return nullptr;
  }
}

}  // extern "C"
