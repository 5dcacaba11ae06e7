#include "framework/vst3/IPluginVST3ProcessorBase.h"

#include <algorithm>
#include <bit>
#include <cmath>

#include "framework/vst3/IPluginVST3Parameter.h"
#include "shims/vst3sdk/utf_convert.h"

using namespace Steinberg;
using namespace Steinberg::Vst;

namespace plugkit {

namespace {

// The host's bus `index` when it exists and carries channel arrays of the sample size.
const AudioBusBuffers* usableBus(const AudioBusBuffers* buses, int32 count, int32 index, int32 sampleSize) {
  if (buses == nullptr || index < 0 || index >= count) return nullptr;
  const AudioBusBuffers& bus = buses[index];
  if (bus.numChannels <= 0) return nullptr;
  if (sampleSize == kSample64 ? bus.channelBuffers64 == nullptr : bus.channelBuffers32 == nullptr) return nullptr;
  return &bus;
}


uint8_t midiByte(double value) { return static_cast<uint8_t>(std::clamp(static_cast<int>(value * 127.0), 0, 127)); }

}  // namespace

SpeakerArrangement SpeakerArrangementForChannelCount(int nChans) {
  switch (nChans) {
    case 1: return 0x80000;
    case 2: return 0x3;
    case 3: return 0x7;
    case 4: return 0xF00000;
    case 5: return 0x37;
    case 6: return 0x3F;
    case 7: return 0xF7;
    case 8: return 0x63F;
    case 9: return 0x7C000F00000;
    case 10: return 0x300063F;
    case 16: return 0x3FFC000F00000;
    default: return 0;
  }
}

IPluginVST3ProcessorBase::IPluginVST3ProcessorBase(const Config& config, IPluginAPIBase& plug)
    : IPluginProcessor(config, kAPIVST3), mPlug(plug) {
  const int nIn = MaxNChannels(kInput);
  const int nOut = MaxNChannels(kOutput);
  SetChannelConnections(kInput, 0, nIn, true);
  SetChannelConnections(kOutput, 0, nOut, true);
  for (int i = 0; i < NIOConfigs(); ++i) mMaxNInChans = std::max(mMaxNInChans, GetIOConfig(i)->NChansOnBusSAFE(kInput, 0));
  const size_t slice = static_cast<size_t>(std::max(nIn, nOut));
  mSlice32.assign(slice, nullptr);
  mSlice64.assign(slice, nullptr);
  InitLatencyDelay();
  SetBlockSize(512);
}

void IPluginVST3ProcessorBase::AddBusesForConfig(SingleComponentEffect& component, const IOConfig* inputs,
                                                 const IOConfig* outputs) {
  String128 name16;
  StringBuf name;
  if (inputs != nullptr) {
    const int nBuses = inputs->NBuses(kInput);
    for (int b = 0; b < nBuses; ++b) {
      GetBusName(kInput, b, nBuses, name);
      vst3shim::utf8ToString128(name.Get(), name16);
      component.addAudioInput(name16, SpeakerArrangementForChannelCount(inputs->NChansOnBusSAFE(kInput, b)),
                              b == 0 ? kMain : kAux, b == 0 ? BusInfo::kDefaultActive : 0);
    }
  }
  if (outputs != nullptr) {
    const int nBuses = outputs->NBuses(kOutput);
    for (int b = 0; b < nBuses; ++b) {
      GetBusName(kOutput, b, nBuses, name);
      vst3shim::utf8ToString128(name.Get(), name16);
      component.addAudioOutput(name16, SpeakerArrangementForChannelCount(outputs->NChansOnBusSAFE(kOutput, b)),
                               b == 0 ? kMain : kAux, b == 0 ? BusInfo::kDefaultActive : 0);
    }
  }
}

void IPluginVST3ProcessorBase::CreateBuses(SingleComponentEffect& component) {
  int inConfig = 0, outConfig = 0;
  MaxNBuses(kInput, &inConfig);
  MaxNBuses(kOutput, &outConfig);
  AddBusesForConfig(component, GetIOConfig(inConfig), GetIOConfig(outConfig));
  if (GetPluginKind() == 2 && component.getBusCount(kAudio, kOutput) == 0)
    component.addAudioOutput(STR16("Dummy Output"), 0, kMain, 0);
  if (DoesMIDIIn()) component.addEventInput(STR16("MIDI Input"), 1);
  if (DoesMIDIOut()) component.addEventOutput(STR16("MIDI Output"), 1);
}

bool IPluginVST3ProcessorBase::SetBusArrangements(SingleComponentEffect& component, SpeakerArrangement* inputs,
                                                  int32 numIns, SpeakerArrangement* outputs, int32 numOuts) {
  SetChannelConnections(kInput, 0, MaxNChannels(kInput), false);
  SetChannelConnections(kOutput, 0, MaxNChannels(kOutput), false);
  if (numIns < 0 || numOuts < 0) return false;
  if (numIns > MaxNBuses(kInput) || numOuts > MaxNBuses(kOutput)) return false;
  if ((numIns > 0 && inputs == nullptr) || (numOuts > 0 && outputs == nullptr)) return false;
  std::vector<int> inCounts, outCounts;
  for (int32 i = 0; i < numIns; ++i) inCounts.push_back(std::popcount(static_cast<uint64_t>(inputs[i])));
  for (int32 i = 0; i < numOuts; ++i) outCounts.push_back(std::popcount(static_cast<uint64_t>(outputs[i])));
  const int configIdx = GetIOConfigWithChanCounts(inCounts, outCounts);
  if (configIdx < 0) return false;
  // The new buses keep the host's activation of the old ones at the same index.
  std::vector<bool> inActive, outActive;
  for (auto* list : {component.getBusList(kAudio, kInput), component.getBusList(kAudio, kOutput)}) {
    auto& active = list == component.getBusList(kAudio, kInput) ? inActive : outActive;
    for (size_t b = 0; list != nullptr && b < list->size(); ++b) active.push_back(list->at(b)->isActive());
  }
  component.removeAudioBusses();
  AddBusesForConfig(component, GetIOConfig(configIdx), GetIOConfig(configIdx));
  for (size_t b = 0; b < inActive.size(); ++b)
    if (inActive[b]) component.activateBus(kAudio, kInput, static_cast<int32>(b), true);
  for (size_t b = 0; b < outActive.size(); ++b)
    if (outActive[b]) component.activateBus(kAudio, kOutput, static_cast<int32>(b), true);
  return true;
}

bool IPluginVST3ProcessorBase::SetupProcessing(const ProcessSetup& setup, ProcessSetup& storedSetup) {
  if (!CanProcessSampleSize(setup.symbolicSampleSize)) return false;
  if (!(setup.sampleRate > 0.0) || !std::isfinite(setup.sampleRate)) return false;
  if (setup.maxSamplesPerBlock <= 0) return false;
  const int blockSize = std::min<int32>(setup.maxSamplesPerBlock, kMaxBlockSize);
  // Allocation first: a failure throws before anything changed.
  if (mMidiOutputQueue.GetSize() < blockSize) mMidiOutputQueue.Resize(blockSize);
  SetBlockSize(blockSize);
  storedSetup = setup;
  SetSampleRate(setup.sampleRate);
  OnReset();
  return true;
}

void IPluginVST3ProcessorBase::SetProcessing(bool state) {
  if (!state) OnReset();
}

void IPluginVST3ProcessorBase::PrepareProcessContext(ProcessData& data, const ProcessSetup& setup) {
  if (data.processContext != nullptr) mProcessContext = *data.processContext;
  const ProcessContext& c = mProcessContext;
  mTimeInfo.mTempo = c.tempo;
  mTimeInfo.mSamplePos =
      (c.state & ProcessContext::kProjectTimeMusicValid) ? static_cast<double>(c.projectTimeSamples) : -1.0;
  mTimeInfo.mPPQPos = c.projectTimeMusic;
  mTimeInfo.mLastBar = c.barPositionMusic;
  mTimeInfo.mCycleStart = c.cycleStartMusic;
  mTimeInfo.mCycleEnd = c.cycleEndMusic;
  mTimeInfo.mNumerator = c.timeSigNumerator;
  mTimeInfo.mDenominator = c.timeSigDenominator;
  mTimeInfo.mTransportIsRunning = (c.state & ProcessContext::kPlaying) != 0;
  mTimeInfo.mTransportLoopEnabled = (c.state & ProcessContext::kCycleActive) != 0;
  SetRenderingOffline(setup.processMode == kOffline);
}

void IPluginVST3ProcessorBase::ProcessParameterChanges(ProcessData& data, IPluginQueue<IMidiMsg>& fromProcessor) {
  IParameterChanges* changes = data.inputParameterChanges;
  if (changes == nullptr) return;
  const int32 nQueues = changes->getParameterCount();
  for (int32 q = 0; q < nQueues; ++q) {
    IParamValueQueue* queue = changes->getParameterData(q);
    if (queue == nullptr) continue;
    const int32 nPoints = queue->getPointCount();
    if (nPoints <= 0) continue;
    int32 offset = 0;
    ParamValue value = 0.0;
    if (queue->getPoint(nPoints - 1, offset, value) != kResultTrue) continue;
    const ParamID id = queue->getParameterId();
    if (id == kBypassParamId) {
      const bool bypass = value > 0.5;
      if (bypass != GetBypassed()) SetBypassed(bypass);
    } else if (static_cast<int32>(id) >= 0 && static_cast<int32>(id) < mPlug.NParams()) {
      const int idx = static_cast<int>(id);
      mPlug.GetParam(idx)->SetNormalized(value);
      mPlug.OnParamChange(idx, kHost, offset);
    } else if (id >= kMIDICCParamStartIdx && DoesMIDIIn()) {
      const uint32 k = id - kMIDICCParamStartIdx;
      const uint32 channel = k / 130;
      const uint32 controller = k % 130;
      if (channel >= 16) continue;
      if (std::isnan(value)) value = 0.0;
      value = std::clamp(value, 0.0, 1.0);
      IMidiMsg msg;
      msg.mOffset = offset;
      if (controller == 129) {
        const int bend = std::clamp(8192 + static_cast<int>((2.0 * value - 1.0) * 8192.0), 0, 16383);
        msg.mStatus = static_cast<uint8_t>(0xE0 | channel);
        msg.mData1 = static_cast<uint8_t>(bend & 0x7F);
        msg.mData2 = static_cast<uint8_t>((bend >> 7) & 0x7F);
      } else if (controller == 128) {
        msg.mStatus = static_cast<uint8_t>(0xD0 | channel);
        msg.mData1 = midiByte(value);
      } else {
        msg.mStatus = static_cast<uint8_t>(0xB0 | channel);
        msg.mData1 = static_cast<uint8_t>(controller);
        msg.mData2 = midiByte(value);
      }
      fromProcessor.Push(msg);
      ProcessMidiMsg(msg);
    }
  }
}

void IPluginVST3ProcessorBase::ProcessMidiIn(IEventList* events, IPluginQueue<IMidiMsg>& editorToProcessor,
                                             IPluginQueue<IMidiMsg>& processorToEditor) {
  if (events != nullptr) {
    const int32 count = events->getEventCount();
    for (int32 i = 0; i < count; ++i) {
      Event event{};
      if (events->getEvent(i, event) != kResultOk) continue;
      IMidiMsg msg;
      msg.mOffset = event.sampleOffset;
      switch (event.type) {
        case Event::kNoteOnEvent:
          if (event.noteOn.channel < 0 || event.noteOn.channel > 15) continue;
          msg.mStatus = static_cast<uint8_t>(0x90 | event.noteOn.channel);
          msg.mData1 = static_cast<uint8_t>(event.noteOn.pitch & 0x7F);
          msg.mData2 = midiByte(event.noteOn.velocity);
          break;
        case Event::kNoteOffEvent:
          if (event.noteOff.channel < 0 || event.noteOff.channel > 15) continue;
          msg.mStatus = static_cast<uint8_t>(0x80 | event.noteOff.channel);
          msg.mData1 = static_cast<uint8_t>(event.noteOff.pitch & 0x7F);
          break;
        case Event::kPolyPressureEvent:
          if (event.polyPressure.channel < 0 || event.polyPressure.channel > 15) continue;
          msg.mStatus = static_cast<uint8_t>(0xA0 | event.polyPressure.channel);
          msg.mData1 = static_cast<uint8_t>(event.polyPressure.pitch & 0x7F);
          msg.mData2 = midiByte(event.polyPressure.pressure);
          break;
        case Event::kDataEvent:
          if (event.data.bytes != nullptr)
            ProcessSysEx(ISysEx(event.sampleOffset, event.data.bytes, static_cast<int>(event.data.size)));
          continue;
        default: continue;
      }
      ProcessMidiMsg(msg);
      processorToEditor.Push(msg);
    }
  }
  IMidiMsg msg;
  while (editorToProcessor.Pop(msg)) ProcessMidiMsg(msg);
}

bool IPluginVST3ProcessorBase::SendSysEx(const ISysEx& msg) {
  return mSysExOutput.Push(SysExData(msg.mOffset, msg.mSize, msg.mData));
}

void IPluginVST3ProcessorBase::ProcessMidiOut(IPluginQueue<SysExData>& editorSysEx, IEventList* outputEvents,
                                              int32 numSamples) {
  while (!mMidiOutputQueue.Empty()) {
    const IMidiMsg msg = mMidiOutputQueue.Peek();
    if (msg.mOffset >= numSamples) break;
    mMidiOutputQueue.Remove();
    if (outputEvents == nullptr) continue;
    Event event{};
    event.busIndex = 0;
    event.sampleOffset = std::max(msg.mOffset, 0);
    const int16 channel = static_cast<int16>(msg.Channel());
    switch (msg.StatusMsg()) {
      case 0x9:
        event.type = Event::kNoteOnEvent;
        event.noteOn.channel = channel;
        event.noteOn.pitch = msg.mData1;
        event.noteOn.velocity = static_cast<float>(msg.mData2) / 127.0f;
        event.noteOn.noteId = -1;
        break;
      case 0x8:
        event.type = Event::kNoteOffEvent;
        event.noteOff.channel = channel;
        event.noteOff.pitch = msg.mData1;
        event.noteOff.velocity = static_cast<float>(msg.mData2) / 127.0f;
        event.noteOff.noteId = -1;
        break;
      case 0xA:
        event.type = Event::kPolyPressureEvent;
        event.polyPressure.channel = channel;
        event.polyPressure.pitch = msg.mData1;
        event.polyPressure.pressure = static_cast<float>(msg.mData2) / 127.0f;
        event.polyPressure.noteId = -1;
        break;
      case 0xB:
      case 0xC:
      case 0xD:
      case 0xE:
        event.type = Event::kLegacyMIDICCOutEvent;
        event.midiCCOut.channel = static_cast<int8>(channel);
        if (msg.StatusMsg() == 0xB) {
          event.midiCCOut.controlNumber = msg.mData1;
          event.midiCCOut.value = static_cast<int8>(msg.mData2);
        } else if (msg.StatusMsg() == 0xC) {
          event.midiCCOut.controlNumber = kCtrlProgramChange;
          event.midiCCOut.value = static_cast<int8>(msg.mData1);
        } else if (msg.StatusMsg() == 0xD) {
          event.midiCCOut.controlNumber = kAfterTouch;
          event.midiCCOut.value = static_cast<int8>(msg.mData1);
        } else {
          event.midiCCOut.controlNumber = kPitchBend;
          event.midiCCOut.value = static_cast<int8>(msg.mData1);
          event.midiCCOut.value2 = static_cast<int8>(msg.mData2);
        }
        break;
      default: continue;
    }
    outputEvents->addEvent(event);
  }
  mMidiOutputQueue.Flush(numSamples);

  // SysEx from the editor and from the processor; the bytes stay valid until the next block.
  int used = 0;
  auto drain = [&](IPluginQueue<SysExData>& queue) {
    while (used < IPluginAPIBase::kSysExQueueSize && queue.Pop(mSysExOutBuf[used])) {
      if (outputEvents != nullptr) {
        Event event{};
        event.type = Event::kDataEvent;
        event.sampleOffset = std::max(mSysExOutBuf[used].mOffset, 0);
        event.data.type = DataEvent::kMidiSysEx;
        event.data.size = static_cast<uint32>(mSysExOutBuf[used].mSize);
        event.data.bytes = mSysExOutBuf[used].mData;
        outputEvents->addEvent(event);
      }
      ++used;
    }
  };
  drain(editorSysEx);
  drain(mSysExOutput);
}

void IPluginVST3ProcessorBase::AttachSlice(ERoute direction, int idx, int n, const AudioBusBuffers& bus, int start,
                                           int nFrames, int32 sampleSize) {
  const int count = std::min({n, static_cast<int>(bus.numChannels), static_cast<int>(mSlice64.size())});
  if (count <= 0) return;
  if (sampleSize == kSample64) {
    if (bus.channelBuffers64 == nullptr) return;
    for (int i = 0; i < count; ++i) {
      Sample64* p = bus.channelBuffers64[i];
      mSlice64[static_cast<size_t>(i)] = p != nullptr ? p + start : nullptr;
    }
    IPluginProcessor::AttachBuffers(direction, idx, count, mSlice64.data(), nFrames);
  } else if (sampleSize == kSample32) {
    if (bus.channelBuffers32 == nullptr) return;
    for (int i = 0; i < count; ++i) {
      Sample32* p = bus.channelBuffers32[i];
      mSlice32[static_cast<size_t>(i)] = p != nullptr ? p + start : nullptr;
    }
    IPluginProcessor::AttachBuffers(direction, idx, count, mSlice32.data(), nFrames);
  }
}

void IPluginVST3ProcessorBase::AttachBuffers(ERoute direction, int idx, int n, AudioBusBuffers& bus, int nFrames,
                                             int32 sampleSize) {
  AttachSlice(direction, idx, n, bus, 0, nFrames, sampleSize);
}

void IPluginVST3ProcessorBase::ProcessAudio(ProcessData& data, const ProcessSetup& setup,
                                            SingleComponentEffect& component) {
  const int32 sampleSize = setup.symbolicSampleSize;
  if (sampleSize != kSample32 && sampleSize != kSample64) return;
  const int32 nFrames = data.numSamples;
  if (nFrames <= 0) return;

  // Inputs: a direction without a usable host bus reads silence.
  const int maxIn = MaxNChannels(kInput);
  const AudioBusBuffers* in0 = usableBus(data.inputs, data.numInputs, 0, sampleSize);
  const int nIn0 = in0 != nullptr ? std::min<int>(in0->numChannels, maxIn) : 0;
  const AudioBusBuffers* in1 = nullptr;
  int nIn1 = 0;
  if (MaxNBuses(kInput) > 1) {
    BusList* inBuses = component.getBusList(kAudio, kInput);
    const bool sideActive = inBuses != nullptr && inBuses->size() > 1 && inBuses->at(1)->isActive();
    if (sideActive) {
      mSidechainActive = true;
      in1 = usableBus(data.inputs, data.numInputs, 1, sampleSize);
      nIn1 = in1 != nullptr ? std::clamp<int>(in1->numChannels, 0, std::max(maxIn - mMaxNInChans, 0)) : 0;
    } else if (mSidechainActive) {
      ZeroScratchBuffers();
      mSidechainActive = false;
    }
  }
  // Each channel changes state only when it must (a channel leaving is zeroed once).
  for (int i = 0; i < maxIn; ++i) {
    const bool wanted = i < nIn0 || (i >= mMaxNInChans && i < mMaxNInChans + nIn1);
    if (wanted != IsChannelConnected(kInput, i)) SetChannelConnections(kInput, i, 1, wanted);
  }

  // Outputs: host buses beyond the component's own are ignored.
  const int maxOut = MaxNChannels(kOutput);
  BusList* outBuses = component.getBusList(kAudio, kOutput);
  const int32 nOutBuses =
      std::min<int32>(data.outputs != nullptr ? data.numOutputs : 0, outBuses != nullptr ? outBuses->size() : 0);
  int offset = 0;
  for (int32 b = 0; b < nOutBuses; ++b) {
    const AudioBusBuffers* bus = usableBus(data.outputs, data.numOutputs, b, sampleSize);
    const int n = bus != nullptr ? std::min<int>(bus->numChannels, maxOut - offset) : 0;
    SetChannelConnections(kOutput, offset, n, outBuses->at(static_cast<size_t>(b))->isActive());
    offset += n;
  }
  SetChannelConnections(kOutput, offset, maxOut - offset, false);

  // Slices of at most the block size.
  const int blockSize = std::max(GetBlockSize(), 1);
  for (int start = 0; start < nFrames; start += blockSize) {
    const int n = std::min(blockSize, nFrames - start);
    if (in0 != nullptr) AttachSlice(kInput, 0, nIn0, *in0, start, n, sampleSize);
    if (in1 != nullptr) AttachSlice(kInput, mMaxNInChans, nIn1, *in1, start, n, sampleSize);
    int outOffset = 0;
    for (int32 b = 0; b < nOutBuses; ++b) {
      const AudioBusBuffers* bus = usableBus(data.outputs, data.numOutputs, b, sampleSize);
      if (bus == nullptr) continue;
      const int nb = std::min<int>(bus->numChannels, maxOut - outOffset);
      AttachSlice(kOutput, outOffset, nb, *bus, start, n, sampleSize);
      outOffset += nb;
    }
    if (sampleSize == kSample64) {
      if (GetBypassed())
        PassThroughBuffers(0.0, n);
      else
        ProcessBuffers(0.0, n);
    } else {
      if (GetBypassed())
        PassThroughBuffers(0.0f, n);
      else
        ProcessBuffers(0.0f, n);
    }
  }
  for (int32 b = 0; b < nOutBuses; ++b) data.outputs[b].silenceFlags = 0;
}

}  // namespace plugkit
