#pragma once
#include "framework/vst3/IPluginVST3.h"

class SpectraPoise : public plugkit::IPluginVST3 {
public:
  explicit SpectraPoise(const plugkit::InstanceInfo& info);
  ~SpectraPoise() override;

  static const plugkit::Config& config();
};
