#include "framework/vst3/IPluginVST3.h"

#include "framework/Paths.h"

namespace plugkit {

IPluginVST3::IPluginVST3(const InstanceInfo&, const Config& config) : config_(config) {
  RegisterOwnBundle(config.bundleId);
}

IPluginVST3::~IPluginVST3() = default;

}  // namespace plugkit
