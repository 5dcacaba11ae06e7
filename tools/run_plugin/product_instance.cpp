#include "tools/run_plugin/product_instance.h"

#include <chrono>
#include <filesystem>
#include <system_error>
#include <thread>

#include "framework/Paths.h"
#include "framework/vst3/PluginEntry.h"
#include "plugin/SpectraPoise.h"
#include "services/updates.h"
#include "tools/testhost/host_objects.h"

using namespace Steinberg;
using namespace Steinberg::Vst;

namespace runplugin {

namespace {

// A worker that reads nothing for this long is taken for stuck.
constexpr std::chrono::seconds kWorkerPatience{10};

}  // namespace

ProductInstance::~ProductInstance() {
  host.reset();
  if (context != nullptr) context->release();
  if (loop != nullptr) loop->release();
}

bool startProduct(const ProductSetup& setup, ProductInstance& product, std::string& error) {
  std::error_code ec;
  if (!setup.bundleModule.empty() && std::filesystem::is_regular_file(setup.bundleModule, ec))
    plugkit::SetModuleFilePathForTesting(setup.bundleModule.c_str());

  // The instance, created through the module's factory as a host does.
  IPluginFactory* factory = plugkit::GetPluginFactoryInstance();
  PClassInfo info;
  void* object = nullptr;
  if (factory->getClassInfo(0, &info) != kResultOk ||
      factory->createInstance(info.cid, IComponent::iid, &object) != kResultOk || object == nullptr) {
    factory->release();
    error = "the factory made no instance";
    return false;
  }
  product.plug = dynamic_cast<SpectraPoise*>(static_cast<IComponent*>(object));
  product.host = testhost::Plugin::adopt(static_cast<IComponent*>(object), error);
  factory->release();
  if (!product.host || product.plug == nullptr) {
    if (error.empty()) error = "the instance is not SpectraPoise";
    return false;
  }
  // The schedule stops before its first check (the user's setting and an earlier notice
  // stay as they are).
  if (const auto updates = product.plug->updateCheck()) updates->stopSchedule();

  testhost::Plugin& host = *product.host;
  product.loop = new testhost::RunLoop();
  product.context = new testhost::HostContext(setup.hostName);
  product.context->setRunLoop(product.loop);
  bool ok = host.initialize(static_cast<IHostApplication*>(product.context)) == kResultOk;
  SpeakerArrangement stereo = SpeakerArr::kStereo;
  ok = ok && host.processor()->setBusArrangements(&stereo, 1, &stereo, 1) == kResultOk;
  host.component()->activateBus(kAudio, kInput, 0, true);
  host.component()->activateBus(kAudio, kOutput, 0, true);
  ok = ok && host.setup(setup.rate, setup.block, kSample32, setup.offline ? kOffline : kRealtime) == kResultOk;
  if (!ok) {
    error = "the plug-in refused the set-up";
    return false;
  }
  host.start();
  return true;
}

bool waitForWorker(SpectraPoise& plug) {
  const auto& ring = plug.workerRing();
  std::uint64_t left = ring.unread();
  auto progress = std::chrono::steady_clock::now();
  while (left > 0) {
    std::this_thread::sleep_for(std::chrono::microseconds(500));
    const std::uint64_t now = ring.unread();
    if (now < left) {
      left = now;
      progress = std::chrono::steady_clock::now();
    } else if (std::chrono::steady_clock::now() - progress > kWorkerPatience) {
      return false;
    }
  }
  return true;
}

}  // namespace runplugin
