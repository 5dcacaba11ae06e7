#pragma once
// The controller side of the VST3 binding: units, the VST3 parameter objects (one per
// plug-in parameter, the bypass parameter, MIDI controller parameters when the plug-in
// takes MIDI), and the channel context (track name, colour, index). Main thread only.
#include "shims/vst3sdk/vst3_includes.h"

#include "framework/IPluginAPIBase.h"
#include "framework/StringBuf.h"

namespace plugkit {

class IPluginVST3ControllerBase {
public:
  explicit IPluginVST3ControllerBase(Steinberg::Vst::ParameterContainer& parameters) : mParameters(parameters) {}
  IPluginVST3ControllerBase(const IPluginVST3ControllerBase&) = delete;
  IPluginVST3ControllerBase& operator=(const IPluginVST3ControllerBase&) = delete;

  // Creates the root unit, the bypass parameter (not for instruments), one unit per
  // parameter group and one parameter object per plug-in parameter, and the MIDI
  // controller parameters when midiIn is set.
  void Initialize(IPluginAPIBase* plug, Steinberg::Vst::EditControllerEx1& controller, bool isInstrument,
                  bool midiIn);
  // Forgets the objects the controller's terminate destroys.
  void Terminate(IPluginAPIBase* plug);
  // Brings every parameter object in line with the plug-in's parameters and the bypass value.
  void UpdateParams(IPluginAPIBase* plug, int bypass);
  // Reads the channel-context attributes; false for a null list.
  bool SetChannelContextInfos(Steinberg::Vst::IAttributeList* list);

  Steinberg::Vst::Parameter* GetBypassParameter() const { return mBypassParameter; }
  const char* GetChannelName() const { return mChannelName.Get(); }
  const char* GetChannelNamespace() const { return mChannelNamespace.Get(); }
  const char* GetChannelUID() const { return mChannelUID.Get(); }
  int GetChannelIndex() const { return mChannelIndex; }
  int GetChannelNamespaceIndex() const { return mChannelNamespaceIndex; }
  Steinberg::uint32 GetChannelColor() const { return mChannelColor; }

protected:
  Steinberg::Vst::ParameterContainer& mParameters;
  Steinberg::Vst::Parameter* mBypassParameter = nullptr;
  StringBuf mChannelName;
  StringBuf mChannelNamespace;
  StringBuf mChannelUID;
  int mChannelNamespaceIndex = 0;
  int mChannelIndex = 0;
  Steinberg::uint32 mChannelColor = 0;
};

}  // namespace plugkit
