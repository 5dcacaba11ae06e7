#pragma once
// The framework's VST3 binding: one object that is the component with its audio
// processor, the edit controller with units, the MIDI-controller mapping and the
// channel-context listener. The plug-in class derives from it alone.
//
// Every host-called method catches everything: no exception reaches the host.
#include "shims/vst3sdk/vst3_includes.h"

#include "framework/Config.h"
#include "framework/IPluginAPIBase.h"
#include "framework/vst3/IPluginVST3ControllerBase.h"
#include "framework/vst3/IPluginVST3Parameter.h"
#include "framework/vst3/IPluginVST3ProcessorBase.h"
#include "shims/vst3sdk/single_component_effect.h"

namespace plugkit {

class IPluginVST3View;

class IPluginVST3 : public IPluginAPIBase,
                    public IPluginVST3ProcessorBase,
                    public IPluginVST3ControllerBase,
                    public Steinberg::Vst::SingleComponentEffect,
                    public Steinberg::Vst::IMidiMapping,
                    public Steinberg::Vst::ChannelContext::IInfoListener {
public:
  // Builds the API, processor and controller parts and starts the main-thread timer.
  IPluginVST3(const InstanceInfo& info, const Config& config);
  ~IPluginVST3() override;

  const Config& GetConfig() const { return mConfig; }

  // Framework operations for the host.
  void BeginInformHostOfParamChange(int idx) override;
  void InformHostOfParamChange(int idx, double normalizedValue) override;
  void EndInformHostOfParamChange(int idx) override;
  void InformHostOfParameterDetailsChange() override;
  void SendParameterValueFromUI(int idx, double normalizedValue) override;
  // Sets every parameter object to its parameter's value, then begin, perform and end per
  // parameter inside one group edit.
  void DirtyParametersFromUI() override;
  // Stores the latency and tells the host (restart flag 8).
  void SetLatency(int samples) override;
  // The frame of the last view is asked only when that view is attached and has a frame;
  // otherwise the size is just stored. Always true.
  bool EditorResize(int viewWidth, int viewHeight) override;

  // Track information from the channel context.
  void GetTrackColor(int& r, int& g, int& b) override;
  void GetTrackName(StringBuf& name) override { name.Set(GetChannelName()); }
  int GetTrackIndex() override { return GetChannelIndex(); }
  void GetTrackNamespace(StringBuf& name) override { name.Set(GetChannelNamespace()); }
  int GetTrackNamespaceIndex() override { return GetChannelNamespaceIndex(); }

  // IPluginBase (component)
  Steinberg::tresult PLUGIN_API initialize(Steinberg::FUnknown* context) override;
  Steinberg::tresult PLUGIN_API terminate() override;

  // IAudioProcessor and IComponent
  Steinberg::tresult PLUGIN_API setBusArrangements(Steinberg::Vst::SpeakerArrangement* inputs, Steinberg::int32 numIns,
                                                   Steinberg::Vst::SpeakerArrangement* outputs,
                                                   Steinberg::int32 numOuts) override;
  Steinberg::tresult PLUGIN_API setActive(Steinberg::TBool state) override;
  Steinberg::tresult PLUGIN_API setupProcessing(Steinberg::Vst::ProcessSetup& setup) override;
  Steinberg::tresult PLUGIN_API setProcessing(Steinberg::TBool state) override;
  // Audio thread: transport, parameter changes, MIDI in, audio (sliced to the block
  // size), MIDI out. Allocates, locks and throws nothing; always ok.
  Steinberg::tresult PLUGIN_API process(Steinberg::Vst::ProcessData& data) override;
  Steinberg::tresult PLUGIN_API canProcessSampleSize(Steinberg::int32 symbolicSampleSize) override;
  Steinberg::uint32 PLUGIN_API getLatencySamples() override;
  Steinberg::uint32 PLUGIN_API getTailSamples() override;
  // The plug-in's state chunk, then a 4-byte bypass word.
  Steinberg::tresult PLUGIN_API setState(Steinberg::IBStream* state) override;
  Steinberg::tresult PLUGIN_API getState(Steinberg::IBStream* state) override;

  // IEditController
  Steinberg::Vst::ParamValue PLUGIN_API getParamNormalized(Steinberg::Vst::ParamID id) override;
  Steinberg::tresult PLUGIN_API setParamNormalized(Steinberg::Vst::ParamID id,
                                                   Steinberg::Vst::ParamValue value) override;
  Steinberg::IPlugView* PLUGIN_API createView(Steinberg::FIDString name) override;
  Steinberg::tresult PLUGIN_API setEditorState(Steinberg::IBStream* state) override;
  Steinberg::tresult PLUGIN_API getEditorState(Steinberg::IBStream* state) override;
  Steinberg::tresult PLUGIN_API setComponentState(Steinberg::IBStream* state) override;

  // IMidiMapping
  Steinberg::tresult PLUGIN_API getMidiControllerAssignment(Steinberg::int32 busIndex, Steinberg::int16 channel,
                                                            Steinberg::Vst::CtrlNumber midiControllerNumber,
                                                            Steinberg::Vst::ParamID& id) override;

  // IUnitInfo
  Steinberg::tresult PLUGIN_API getProgramName(Steinberg::Vst::ProgramListID listId, Steinberg::int32 programIndex,
                                               Steinberg::Vst::String128 name) override;
  Steinberg::int32 PLUGIN_API getProgramListCount() override { return 0; }
  Steinberg::tresult PLUGIN_API getProgramListInfo(Steinberg::int32 listIndex,
                                                   Steinberg::Vst::ProgramListInfo& info) override {
    return Steinberg::kResultFalse;
  }

  // ChannelContext::IInfoListener
  Steinberg::tresult PLUGIN_API setChannelContextInfos(Steinberg::Vst::IAttributeList* list) override;

  // FObject and FUnknown
  Steinberg::FClassID isA() const override { return "IPluginVST3"; }
  bool isA(Steinberg::FClassID name) const override { return isTypeOf(name, false); }
  bool isTypeOf(Steinberg::FClassID name, bool askBaseClass = true) const override;
  Steinberg::tresult PLUGIN_API queryInterface(const Steinberg::TUID iid, void** obj) override;
  Steinberg::uint32 PLUGIN_API addRef() override { return SingleComponentEffect::addRef(); }
  Steinberg::uint32 PLUGIN_API release() override { return SingleComponentEffect::release(); }

  // For the editor's host context menu: the component handler and the open view.
  Steinberg::Vst::IComponentHandler* GetHostComponentHandler() const override { return componentHandler; }
  Steinberg::IPlugView* GetHostPlugView() const override;

  // The last view created (null when none, or when it has gone).
  IPluginVST3View* GetView() const { return mView; }
  Steinberg::Vst::IComponentHandler* GetComponentHandler() const { return componentHandler; }
  const Steinberg::Vst::ProcessSetup& GetProcessSetup() const { return processSetup; }

  // Called by the view. A view that goes clears the pointer only when it is the last one.
  void ForgetView(IPluginVST3View* view) {
    if (mView == view) mView = nullptr;
  }
  // A view offers (loop not null) or withdraws its frame's run loop; only the view that
  // offered the loop in use can withdraw it.
  void SetViewRunLoop(const void* owner, Steinberg::Linux::IRunLoop* loop);

private:
  Config mConfig;
  IPluginVST3View* mView = nullptr;
  const void* mViewRunLoopOwner = nullptr;
};

}  // namespace plugkit
