#pragma once
// Loads a VST3 bundle the way a Linux host does: dlopen of
// <bundle>/Contents/x86_64-linux/<stem>.so, ModuleEntry, GetPluginFactory; and unloads it
// with ModuleExit and dlclose.
#include <memory>
#include <string>

#include "shims/vst3sdk/vst3_includes.h"

namespace testhost {

class Module {
public:
  // Null with an error text when the bundle cannot be loaded.
  static std::unique_ptr<Module> load(const std::string& bundlePath, std::string& error);
  ~Module();
  Module(const Module&) = delete;
  Module& operator=(const Module&) = delete;

  Steinberg::IPluginFactory* factory() const { return factory_; }
  // Null when the factory does not offer the interface.
  Steinberg::IPluginFactory2* factory2() const { return factory2_; }
  Steinberg::IPluginFactory3* factory3() const { return factory3_; }
  const std::string& libraryPath() const { return libraryPath_; }
  void* handle() const { return handle_; }

private:
  Module() = default;
  void* handle_ = nullptr;
  std::string libraryPath_;
  Steinberg::IPluginFactory* factory_ = nullptr;
  Steinberg::IPluginFactory2* factory2_ = nullptr;
  Steinberg::IPluginFactory3* factory3_ = nullptr;
};

// The factory and class information as text, one field per line.
std::string describeFactory(const Module& module);

// Hex bytes of a class id: "F2 AE E7 0D ...".
std::string classIdHex(const Steinberg::TUID cid);

}  // namespace testhost
