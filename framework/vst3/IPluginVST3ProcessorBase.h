#pragma once
// The processor side of the VST3 binding: buses, processing set-up, and the per-block
// work of `process` (transport, parameter changes, MIDI, audio). Everything per block
// runs on the host's audio thread and allocates, locks and throws nothing.
#include "shims/vst3sdk/vst3_includes.h"

#include <vector>

#include "framework/IMidiQueue.h"
#include "framework/IPluginAPIBase.h"
#include "framework/IPluginProcessor.h"
#include "shims/vst3sdk/single_component_effect.h"

namespace plugkit {

class IPluginVST3ProcessorBase : public IPluginProcessor {
public:
  static constexpr int kMidiOutputQueueSize = 512;

  IPluginVST3ProcessorBase(const Config& config, IPluginAPIBase& plug);

  // Creates the audio (and event) buses from the configuration with the most buses.
  void CreateBuses(Steinberg::Vst::SingleComponentEffect& component);
  // Recreates the audio buses for the configuration matching the requested channel
  // counts; false (buses unchanged, channels disconnected) when none matches.
  bool SetBusArrangements(Steinberg::Vst::SingleComponentEffect& component, Steinberg::Vst::SpeakerArrangement* inputs,
                          Steinberg::int32 numIns, Steinberg::Vst::SpeakerArrangement* outputs,
                          Steinberg::int32 numOuts);
  // Refuses an unsupported sample size, a rate that is not a positive finite number and a
  // maximum block below 1; on success stores the setup, sizes the buffers and resets.
  // Throws only from allocation or the plug-in's OnReset (the caller catches).
  bool SetupProcessing(const Steinberg::Vst::ProcessSetup& setup, Steinberg::Vst::ProcessSetup& storedSetup);
  bool CanProcessSampleSize(Steinberg::int32 symbolicSampleSize) const {
    return symbolicSampleSize == Steinberg::Vst::kSample32 || symbolicSampleSize == Steinberg::Vst::kSample64;
  }
  void SetProcessing(bool state);

  // Per block, in VST3 order.
  void PrepareProcessContext(Steinberg::Vst::ProcessData& data, const Steinberg::Vst::ProcessSetup& setup);
  void ProcessParameterChanges(Steinberg::Vst::ProcessData& data, IPluginQueue<IMidiMsg>& fromProcessor);
  void ProcessMidiIn(Steinberg::Vst::IEventList* events, IPluginQueue<IMidiMsg>& editorToProcessor,
                     IPluginQueue<IMidiMsg>& processorToEditor);
  // Connects the host's buses (a direction without buses or with null arrays is
  // disconnected), then processes in slices of at most the block size.
  void ProcessAudio(Steinberg::Vst::ProcessData& data, const Steinberg::Vst::ProcessSetup& setup,
                    Steinberg::Vst::SingleComponentEffect& component);
  // Hands the block's MIDI messages and the waiting SysEx records (from the editor and
  // from the processor) to the host.
  void ProcessMidiOut(IPluginQueue<SysExData>& editorSysEx, Steinberg::Vst::IEventList* outputEvents,
                      Steinberg::int32 numSamples);
  // The 64-bit form for sample size 1, the 32-bit form for 0, nothing otherwise.
  void AttachBuffers(ERoute direction, int idx, int n, Steinberg::Vst::AudioBusBuffers& bus, int nFrames,
                     Steinberg::int32 sampleSize);

  bool SendMidiMsg(const IMidiMsg& msg) override { return mMidiOutputQueue.Add(msg); }
  bool SendSysEx(const ISysEx& msg) override;

  const Steinberg::Vst::ProcessContext& GetProcessContext() const { return mProcessContext; }
  bool GetSidechainActive() const { return mSidechainActive; }
  int GetMainInputChannelCount() const { return mMaxNInChans; }

private:
  void AddBusesForConfig(Steinberg::Vst::SingleComponentEffect& component, const IOConfig* inputs,
                         const IOConfig* outputs);
  // Host pointers of one bus, offset by `start` frames, for one slice.
  void AttachSlice(ERoute direction, int idx, int n, const Steinberg::Vst::AudioBusBuffers& bus, int start,
                   int nFrames, Steinberg::int32 sampleSize);

  int mMaxNInChans = 0;
  bool mSidechainActive = false;
  IPluginAPIBase& mPlug;
  Steinberg::Vst::ProcessContext mProcessContext{};
  IMidiQueue mMidiOutputQueue{kMidiOutputQueueSize};
  IPluginQueue<SysExData> mSysExOutput{IPluginAPIBase::kSysExQueueSize};
  SysExData mSysExOutBuf[IPluginAPIBase::kSysExQueueSize];
  std::vector<float*> mSlice32;
  std::vector<double*> mSlice64;
};

// The VST3 speaker arrangement for a channel count (empty for counts without one).
Steinberg::Vst::SpeakerArrangement SpeakerArrangementForChannelCount(int nChans);

}  // namespace plugkit
