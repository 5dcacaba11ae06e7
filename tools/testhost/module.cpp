#include "tools/testhost/module.h"

#include <dlfcn.h>

#include <cstdio>
#include <filesystem>
#include <sstream>

#include "shims/vst3sdk/utf_convert.h"

namespace testhost {

namespace {
using EntryFn = bool (*)(void*);
using ExitFn = bool (*)();
using FactoryFn = Steinberg::IPluginFactory* (*)();
}  // namespace

std::unique_ptr<Module> Module::load(const std::string& bundlePath, std::string& error) {
  namespace fs = std::filesystem;
  const fs::path bundle(bundlePath);
  const fs::path library = bundle / "Contents" / "x86_64-linux" / (bundle.stem().string() + ".so");
  if (!fs::exists(library)) {
    error = "no module at " + library.string();
    return nullptr;
  }
  std::unique_ptr<Module> module(new Module());
  module->libraryPath_ = library.string();
  module->handle_ = dlopen(library.c_str(), RTLD_NOW | RTLD_LOCAL);
  if (module->handle_ == nullptr) {
    const char* why = dlerror();
    error = std::string("dlopen failed: ") + (why ? why : "unknown");
    return nullptr;
  }
  auto entry = reinterpret_cast<EntryFn>(dlsym(module->handle_, "ModuleEntry"));
  auto getFactory = reinterpret_cast<FactoryFn>(dlsym(module->handle_, "GetPluginFactory"));
  if (entry == nullptr || getFactory == nullptr) {
    error = "module lacks ModuleEntry or GetPluginFactory";
    return nullptr;
  }
  if (!entry(module->handle_)) {
    error = "ModuleEntry failed";
    return nullptr;
  }
  module->factory_ = getFactory();
  if (module->factory_ == nullptr) {
    error = "GetPluginFactory answered null";
    return nullptr;
  }
  void* f2 = nullptr;
  if (module->factory_->queryInterface(Steinberg::IPluginFactory2::iid, &f2) == Steinberg::kResultOk)
    module->factory2_ = static_cast<Steinberg::IPluginFactory2*>(f2);
  void* f3 = nullptr;
  if (module->factory_->queryInterface(Steinberg::IPluginFactory3::iid, &f3) == Steinberg::kResultOk)
    module->factory3_ = static_cast<Steinberg::IPluginFactory3*>(f3);
  return module;
}

Module::~Module() {
  if (factory3_ != nullptr) factory3_->release();
  if (factory2_ != nullptr) factory2_->release();
  if (factory_ != nullptr) factory_->release();
  if (handle_ != nullptr) {
    if (auto exitFn = reinterpret_cast<ExitFn>(dlsym(handle_, "ModuleExit"))) exitFn();
    dlclose(handle_);
  }
}

std::string classIdHex(const Steinberg::TUID cid) {
  std::string out;
  char byte[4];
  for (int i = 0; i < 16; ++i) {
    std::snprintf(byte, sizeof(byte), i ? " %02X" : "%02X", static_cast<unsigned char>(cid[i]));
    out += byte;
  }
  return out;
}

std::string describeFactory(const Module& module) {
  std::ostringstream out;
  Steinberg::PFactoryInfo info;
  if (module.factory()->getFactoryInfo(&info) == Steinberg::kResultOk) {
    char flags[16];
    std::snprintf(flags, sizeof(flags), "0x%X", static_cast<unsigned>(info.flags));
    out << "vendor: " << info.vendor << "\n"
        << "url: " << info.url << "\n"
        << "email: " << info.email << "\n"
        << "flags: " << flags << "\n";
  }
  const int count = module.factory()->countClasses();
  out << "classes: " << count << "\n";
  for (int i = 0; i < count; ++i) {
    Steinberg::PClassInfo2 ci;
    if (module.factory2() != nullptr && module.factory2()->getClassInfo2(i, &ci) == Steinberg::kResultOk) {
      char card[16];
      std::snprintf(card, sizeof(card), "0x%X", static_cast<unsigned>(ci.cardinality));
      out << "class " << i << ":\n"
          << "  name: " << ci.name << "\n"
          << "  category: " << ci.category << "\n"
          << "  cardinality: " << card << "\n"
          << "  class id: " << classIdHex(ci.cid) << "\n"
          << "  class flags: " << ci.classFlags << "\n"
          << "  sub-categories: " << ci.subCategories << "\n"
          << "  vendor: " << ci.vendor << "\n"
          << "  version: " << ci.version << "\n"
          << "  sdk version: " << ci.sdkVersion << "\n";
    } else {
      Steinberg::PClassInfo basic;
      if (module.factory()->getClassInfo(i, &basic) == Steinberg::kResultOk)
        out << "class " << i << ": " << basic.name << " (" << basic.category << ")\n";
    }
  }
  return out.str();
}

}  // namespace testhost
