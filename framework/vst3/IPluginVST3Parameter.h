#pragma once
// The controller-side VST3 parameter objects: one per plug-in parameter (mirroring its
// IParam), and the host bypass parameter.
#include "shims/vst3sdk/vst3_includes.h"

#include "framework/IParam.h"

namespace plugkit {

constexpr Steinberg::Vst::ParamID kBypassParamId = 0x10000;
constexpr Steinberg::Vst::ParamID kMIDICCParamStartIdx = 0x10002;
constexpr Steinberg::Vst::ProgramListID kPresetListId = 0x10001;

// Mirrors one IParam; every conversion works on it.
class IPluginVST3Parameter : public Steinberg::Vst::Parameter {
public:
  IPluginVST3Parameter(IParam* param, Steinberg::Vst::ParamID tag, Steinberg::Vst::UnitID unitID);

  // The parameter's display text for a normalised value.
  void toString(Steinberg::Vst::ParamValue valueNormalized, Steinberg::Vst::String128 string) const override;
  // False (value unchanged) when the text matches no display text and has no leading number.
  bool fromString(const Steinberg::Vst::TChar* string, Steinberg::Vst::ParamValue& valueNormalized) const override;
  Steinberg::Vst::ParamValue toPlain(Steinberg::Vst::ParamValue valueNormalized) const override;
  Steinberg::Vst::ParamValue toNormalized(Steinberg::Vst::ParamValue plainValue) const override;

  IParam* GetIParam() const { return mIPlugParam; }

  OBJ_METHODS(IPluginVST3Parameter, Parameter)

private:
  IParam* mIPlugParam;
};

// The host bypass parameter: id 0x10000, "off" / "on".
class IPluginVST3BypassParameter : public Steinberg::Vst::StringListParameter {
public:
  IPluginVST3BypassParameter();

  OBJ_METHODS(IPluginVST3BypassParameter, StringListParameter)
};

}  // namespace plugkit
