#pragma once
// The framework's VST3 binding: one object that is the component, the audio processor
// and the edit controller.
#include "framework/Config.h"
#include "shims/vst3sdk/single_component_effect.h"

namespace plugkit {

class IPluginVST3 : public Steinberg::Vst::SingleComponentEffect {
public:
  IPluginVST3(const InstanceInfo& info, const Config& config);
  ~IPluginVST3() override;

  const Config& GetConfig() const { return config_; }

private:
  Config config_;
};

}  // namespace plugkit
