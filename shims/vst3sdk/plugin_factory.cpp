#include "plugin_factory.h"

#include <cstring>
#include <new>

#include "utf_convert.h"

using namespace Steinberg;

namespace vst3shim {

namespace {

void asciiToUtf16(char16* out, const char8* in, std::size_t outUnits) {
  utf8ToUtf16(in, outUnits * 4, reinterpret_cast<char16_t*>(out), outUnits);
}

}  // namespace

PluginFactory::PluginFactory(const PFactoryInfo& info) : factoryInfo_(info) {}

PluginFactory::~PluginFactory() { setHostContext(nullptr); }

bool PluginFactory::registerClass(const PClassInfo2& info, CreateFunction create, void* context) {
  if (create == nullptr) return false;
  try {
    classes_.push_back(Entry{info, create, context});
  } catch (...) {
    return false;
  }
  return true;
}

const PluginFactory::Entry* PluginFactory::entry(int32 index) const {
  if (index < 0 || static_cast<std::size_t>(index) >= classes_.size()) return nullptr;
  return &classes_[static_cast<std::size_t>(index)];
}

tresult PLUGIN_API PluginFactory::queryInterface(const TUID iid, void** obj) {
  if (obj == nullptr) return kInvalidArgument;
  if (FUnknownPrivate::iidEqual(iid, IPluginFactory3::iid) || FUnknownPrivate::iidEqual(iid, IPluginFactory2::iid) ||
      FUnknownPrivate::iidEqual(iid, IPluginFactory::iid) || FUnknownPrivate::iidEqual(iid, FUnknown::iid)) {
    addRef();
    *obj = static_cast<IPluginFactory3*>(this);
    return kResultOk;
  }
  *obj = nullptr;
  return kNoInterface;
}

uint32 PLUGIN_API PluginFactory::addRef() {
  return static_cast<uint32>(refs_.fetch_add(1, std::memory_order_relaxed) + 1);
}

bool PluginFactory::addRefIfAlive() {
  int32 refs = refs_.load(std::memory_order_relaxed);
  while (refs > 0) {
    if (refs_.compare_exchange_weak(refs, refs + 1, std::memory_order_relaxed)) return true;
  }
  return false;
}

uint32 PLUGIN_API PluginFactory::release() {
  const int32 left = refs_.fetch_sub(1, std::memory_order_acq_rel) - 1;
  if (left == 0) {
    delete this;
    return 0;
  }
  return static_cast<uint32>(left);
}

tresult PLUGIN_API PluginFactory::getFactoryInfo(PFactoryInfo* info) {
  if (info == nullptr) return kInvalidArgument;
  std::memcpy(info, &factoryInfo_, sizeof(PFactoryInfo));
  return kResultOk;
}

int32 PLUGIN_API PluginFactory::countClasses() { return static_cast<int32>(classes_.size()); }

tresult PLUGIN_API PluginFactory::getClassInfo(int32 index, PClassInfo* info) {
  const Entry* e = entry(index);
  if (info == nullptr || e == nullptr) return kInvalidArgument;
  *info = PClassInfo();
  std::memcpy(info->cid, e->info.cid, sizeof(TUID));
  info->cardinality = e->info.cardinality;
  std::memcpy(info->category, e->info.category, sizeof(info->category));
  std::memcpy(info->name, e->info.name, sizeof(info->name));
  return kResultOk;
}

tresult PLUGIN_API PluginFactory::getClassInfo2(int32 index, PClassInfo2* info) {
  const Entry* e = entry(index);
  if (info == nullptr || e == nullptr) return kInvalidArgument;
  std::memcpy(info, &e->info, sizeof(PClassInfo2));
  return kResultOk;
}

tresult PLUGIN_API PluginFactory::getClassInfoUnicode(int32 index, PClassInfoW* info) {
  const Entry* e = entry(index);
  if (info == nullptr || e == nullptr) return kInvalidArgument;
  *info = PClassInfoW();
  std::memcpy(info->cid, e->info.cid, sizeof(TUID));
  info->cardinality = e->info.cardinality;
  std::memcpy(info->category, e->info.category, sizeof(info->category));
  asciiToUtf16(info->name, e->info.name, PClassInfo::kNameSize);
  info->classFlags = e->info.classFlags;
  std::memcpy(info->subCategories, e->info.subCategories, sizeof(info->subCategories));
  asciiToUtf16(info->vendor, e->info.vendor, PClassInfoW::kVendorSize);
  asciiToUtf16(info->version, e->info.version, PClassInfoW::kVersionSize);
  asciiToUtf16(info->sdkVersion, e->info.sdkVersion, PClassInfoW::kVersionSize);
  return kResultOk;
}

tresult PLUGIN_API PluginFactory::createInstance(FIDString cid, FIDString iid, void** obj) {
  if (obj == nullptr) return kInvalidArgument;
  *obj = nullptr;
  if (cid == nullptr || iid == nullptr) return kInvalidArgument;
  try {
    for (const Entry& e : classes_) {
      if (!FUnknownPrivate::iidEqual(e.info.cid, cid)) continue;
      FUnknown* instance = e.create(e.context);
      if (instance == nullptr) return kInternalError;
      TUID wanted;
      std::memcpy(wanted, iid, sizeof(TUID));
      const tresult result = instance->queryInterface(wanted, obj);
      instance->release();
      if (result != kResultOk) {
        *obj = nullptr;
        return kNoInterface;
      }
      return kResultOk;
    }
  } catch (const std::bad_alloc&) {
    *obj = nullptr;
    return kOutOfMemory;
  } catch (...) {
    *obj = nullptr;
    return kInternalError;
  }
  return kNoInterface;
}

IPtr<FUnknown> PluginFactory::hostContext() const {
  std::lock_guard<std::mutex> lock(contextMutex_);
  return IPtr<FUnknown>(hostContext_);
}

IPtr<Linux::IRunLoop> PluginFactory::hostRunLoop() const {
  std::lock_guard<std::mutex> lock(contextMutex_);
  return IPtr<Linux::IRunLoop>(runLoop_);
}

tresult PLUGIN_API PluginFactory::setHostContext(FUnknown* context) {
  // The host's objects are asked and released outside the lock: they may call back.
  FUnknown* newContext = nullptr;
  Linux::IRunLoop* newLoop = nullptr;
  if (context != nullptr) {
    context->addRef();
    newContext = context;
    void* loop = nullptr;
    if (context->queryInterface(Linux::IRunLoop::iid, &loop) == kResultOk && loop != nullptr)
      newLoop = static_cast<Linux::IRunLoop*>(loop);
  }
  FUnknown* oldContext;
  Linux::IRunLoop* oldLoop;
  {
    std::lock_guard<std::mutex> lock(contextMutex_);
    oldContext = hostContext_;
    oldLoop = runLoop_;
    hostContext_ = newContext;
    runLoop_ = newLoop;
  }
  if (oldLoop != nullptr) oldLoop->release();
  if (oldContext != nullptr) oldContext->release();
  return kResultOk;
}

}  // namespace vst3shim
