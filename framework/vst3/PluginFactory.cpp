#include "framework/vst3/PluginEntry.h"

#include <cstring>
#include <mutex>

#include "framework/vst3/IPluginVST3.h"
#include "framework/vst3/FactoryRunLoop.h"
#include "shims/vst3sdk/plugin_factory.h"

namespace plugkit {

namespace {

// The factory clears the process-wide pointer when its last reference goes, so the next
// GetPluginFactory makes a new one instead of answering freed memory; a factory already
// replaced leaves the pointer alone.
class ModuleFactory final : public vst3shim::PluginFactory {
public:
  using vst3shim::PluginFactory::PluginFactory;
  ~ModuleFactory() override;
};

std::mutex& factoryMutex() { return detail::gFactoryMutex; }

ModuleFactory::~ModuleFactory() {
  std::lock_guard<std::mutex> lock(factoryMutex());
  if (detail::gFactory == this) detail::gFactory = nullptr;
}

const Steinberg::PClassInfo2& classInfo() {
  static const Steinberg::PClassInfo2 info = [] {
    const ModuleInfo& m = GetModuleInfo();
    const Steinberg::TUID cid = INLINE_UID(m.classIdWords[0], m.classIdWords[1], m.classIdWords[2], m.classIdWords[3]);
    return Steinberg::PClassInfo2(cid, Steinberg::PClassInfo::kManyInstances, kVstAudioEffectClass, m.className,
                                  Steinberg::Vst::kSimpleModeSupported, m.subCategories, "",
                                  m.version, m.sdkVersion);
  }();
  return info;
}

std::recursive_mutex& creationMutex() {
  static std::recursive_mutex m;
  return m;
}

}  // namespace

bool InitModule() { return true; }
bool DeinitModule() { return true; }

Steinberg::FUnknown* CreatePlugInstance(void* /*context*/) {
  IPluginVST3* plug = nullptr;
  {
    std::lock_guard<std::recursive_mutex> lock(creationMutex());
    plug = MakePlug(InstanceInfo{});
  }
  if (plug == nullptr) return nullptr;
  return static_cast<Steinberg::Vst::IAudioProcessor*>(plug);
}

Steinberg::IPluginFactory* GetPluginFactoryInstance() {
  std::lock_guard<std::mutex> lock(factoryMutex());
  // A factory whose last reference is going is left to its destructor: make a new one.
  if (detail::gFactory != nullptr && detail::gFactory->addRefIfAlive()) return detail::gFactory;
  const ModuleInfo& m = GetModuleInfo();
  const Steinberg::PFactoryInfo factoryInfo(m.vendor, m.url, m.email, Steinberg::PFactoryInfo::kUnicode);
  auto* factory = new ModuleFactory(factoryInfo);
  factory->registerClass(classInfo(), &CreatePlugInstance);
  detail::gFactory = factory;
  return factory;
}

}  // namespace plugkit
