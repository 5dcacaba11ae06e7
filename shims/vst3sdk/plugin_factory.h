#pragma once
// A VST3 plug-in factory (IPluginFactory3) for the classes one module offers. It keeps
// the host context given through setHostContext, and the host's Linux run loop when the
// context offers one.
//
// Classes are registered before the factory is handed out. The reference count is atomic
// and the host context is guarded, so hosts may use the factory from several threads.
#include <atomic>
#include <mutex>
#include <vector>

#include "vst3_includes.h"

namespace vst3shim {

class PluginFactory : public Steinberg::IPluginFactory3 {
public:
  // Makes one new object (with one reference held by the caller). May throw:
  // createInstance answers kOutOfMemory for std::bad_alloc and kInternalError for any
  // other exception or a null answer.
  using CreateFunction = Steinberg::FUnknown* (*)(void* context);

  explicit PluginFactory(const Steinberg::PFactoryInfo& info);
  virtual ~PluginFactory();
  PluginFactory(const PluginFactory&) = delete;
  PluginFactory& operator=(const PluginFactory&) = delete;

  bool registerClass(const Steinberg::PClassInfo2& info, CreateFunction create, void* context = nullptr);

  // The context of the last setHostContext (null when none), and its run loop, each with
  // a reference of the caller's own: a context the host replaces meanwhile stays valid.
  Steinberg::IPtr<Steinberg::FUnknown> hostContext() const;
  Steinberg::IPtr<Steinberg::Linux::IRunLoop> hostRunLoop() const;

  // Adds a reference unless the last one is already gone (the factory is being
  // destroyed); for a process-wide pointer to the factory, read under its own lock.
  bool addRefIfAlive();

  // FUnknown
  Steinberg::tresult PLUGIN_API queryInterface(const Steinberg::TUID iid, void** obj) override;
  Steinberg::uint32 PLUGIN_API addRef() override;
  Steinberg::uint32 PLUGIN_API release() override;

  // IPluginFactory
  Steinberg::tresult PLUGIN_API getFactoryInfo(Steinberg::PFactoryInfo* info) override;
  Steinberg::int32 PLUGIN_API countClasses() override;
  Steinberg::tresult PLUGIN_API getClassInfo(Steinberg::int32 index, Steinberg::PClassInfo* info) override;
  Steinberg::tresult PLUGIN_API createInstance(Steinberg::FIDString cid, Steinberg::FIDString iid,
                                               void** obj) override;
  // IPluginFactory2
  Steinberg::tresult PLUGIN_API getClassInfo2(Steinberg::int32 index, Steinberg::PClassInfo2* info) override;
  // IPluginFactory3
  Steinberg::tresult PLUGIN_API getClassInfoUnicode(Steinberg::int32 index, Steinberg::PClassInfoW* info) override;
  Steinberg::tresult PLUGIN_API setHostContext(Steinberg::FUnknown* context) override;

private:
  struct Entry {
    Steinberg::PClassInfo2 info;
    CreateFunction create;
    void* context;
  };
  const Entry* entry(Steinberg::int32 index) const;

  Steinberg::PFactoryInfo factoryInfo_;
  std::vector<Entry> classes_;
  mutable std::mutex contextMutex_;  // guards the two below
  Steinberg::FUnknown* hostContext_ = nullptr;
  Steinberg::Linux::IRunLoop* runLoop_ = nullptr;
  std::atomic<Steinberg::int32> refs_{1};
};

}  // namespace vst3shim
