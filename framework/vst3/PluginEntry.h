#pragma once
// The module's outermost layer: the hooks run at load and unload, the plug-in factory,
// and the functions the product supplies to it.
#include "framework/Config.h"
#include "shims/vst3sdk/vst3_includes.h"

namespace plugkit {

class IPluginVST3;

// What the factory registers: filled by the product (one class per module).
struct ModuleInfo {
  const char* vendor;
  const char* url;
  const char* email;
  Steinberg::uint32 classIdWords[4];
  const char* className;
  const char* subCategories;
  const char* version;
  const char* sdkVersion;
};

// Supplied by the product: its registration values and the creation of one instance.
// MakePlug answers a new instance or throws (std::bad_alloc when memory ran out, anything
// else for other failures); it never answers null.
const ModuleInfo& GetModuleInfo();
IPluginVST3* MakePlug(const InstanceInfo& info);

// Module hooks: succeed without work.
bool InitModule();
bool DeinitModule();

// The process-wide factory: created on first use, one reference added per call. Safe
// from any thread, also while another thread releases the last reference (the next
// call then makes a new factory).
Steinberg::IPluginFactory* GetPluginFactoryInstance();
// The factory's host context run loop, when the host offered one (null otherwise), with
// a reference of the caller's own.
Steinberg::IPtr<Steinberg::Linux::IRunLoop> FactoryHostRunLoop();
// Makes one instance (serialised by a process-wide creation mutex) and answers its
// audio-processor interface with one reference. Exceptions from construction propagate;
// the factory turns them into error results (kOutOfMemory for std::bad_alloc,
// kInternalError for anything else).
Steinberg::FUnknown* CreatePlugInstance(void* context);

}  // namespace plugkit
