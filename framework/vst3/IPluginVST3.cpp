#include "framework/vst3/IPluginVST3.h"

#include <cmath>
#include <cstring>
#include <vector>

#include "framework/Paths.h"
#include "framework/vst3/HostRunLoop_linux.h"
#include "framework/vst3/IPluginVST3View.h"
#include "framework/vst3/PluginEntry.h"
#include "shims/apple/corefoundation/CFHostRunLoop.h"
#include "shims/vst3sdk/utf_convert.h"

using namespace Steinberg;
using namespace Steinberg::Vst;

namespace plugkit {

IPluginVST3::IPluginVST3(const InstanceInfo&, const Config& config)
    : IPluginAPIBase(config, kAPIVST3),
      IPluginVST3ProcessorBase(config, *this),
      IPluginVST3ControllerBase(parameters),
      mConfig(config) {
  RegisterOwnBundle(config.bundleId);
  CreateTimer();
  if (Timer* timer = GetTimer()) OfferHostRunLoop(*timer, kCFHostRunLoopFactory, FactoryHostRunLoop());
}

IPluginVST3::~IPluginVST3() { StopTimer(); }

// Host notifications --------------------------------------------------------------------

void IPluginVST3::BeginInformHostOfParamChange(int idx) { beginEdit(static_cast<ParamID>(idx)); }

void IPluginVST3::InformHostOfParamChange(int idx, double normalizedValue) {
  performEdit(static_cast<ParamID>(idx), normalizedValue);
}

void IPluginVST3::EndInformHostOfParamChange(int idx) { endEdit(static_cast<ParamID>(idx)); }

void IPluginVST3::InformHostOfParameterDetailsChange() {
  if (componentHandler != nullptr) componentHandler->restartComponent(kParamTitlesChanged);
}

void IPluginVST3::SendParameterValueFromUI(int idx, double normalizedValue) {
  if (Parameter* object = getParameterObject(static_cast<ParamID>(idx))) object->setNormalized(normalizedValue);
  IPluginAPIBase::SendParameterValueFromUI(idx, normalizedValue);
}

void IPluginVST3::DirtyParametersFromUI() {
  for (int i = 0; i < NParams(); ++i) {
    Parameter* object = getParameterObject(static_cast<ParamID>(i));
    const IParam* param = GetParam(i);
    if (object != nullptr && param != nullptr) object->setNormalized(param->GetNormalized());
  }
  startGroupEdit();
  IPluginAPIBase::DirtyParametersFromUI();
  finishGroupEdit();
}

void IPluginVST3::SetLatency(int samples) {
  IPluginProcessor::SetLatency(samples);
  if (componentHandler != nullptr) {
    FUnknownPtr<IComponentHandler> handler(componentHandler);
    if (handler) handler->restartComponent(kLatencyChanged);
  }
}

bool IPluginVST3::EditorResize(int viewWidth, int viewHeight) {
  if (!HasUI()) return true;
  if (viewWidth != GetEditorWidth() || viewHeight != GetEditorHeight()) {
    if (mView != nullptr) mView->Resize(viewWidth, viewHeight);
  }
  SetEditorSize(viewWidth, viewHeight);
  return true;
}

IPlugView* IPluginVST3::GetHostPlugView() const {
  return (mView != nullptr && mView->IsOpen()) ? static_cast<IPlugView*>(mView) : nullptr;
}

void IPluginVST3::GetTrackColor(int& r, int& g, int& b) {
  const uint32 color = GetChannelColor();
  r = (color >> 16) & 0xFF;
  g = (color >> 8) & 0xFF;
  b = color & 0xFF;
}

void IPluginVST3::SetViewRunLoop(const void* owner, Linux::IRunLoop* loop) {
  Timer* timer = GetTimer();
  if (loop == nullptr) {
    if (owner != mViewRunLoopOwner) return;
    mViewRunLoopOwner = nullptr;
    if (timer != nullptr) OfferHostRunLoop(*timer, kCFHostRunLoopViewFrame, nullptr);
    return;
  }
  mViewRunLoopOwner = owner;
  if (timer != nullptr) OfferHostRunLoop(*timer, kCFHostRunLoopViewFrame, loop);
}

// Component -----------------------------------------------------------------------------

tresult PLUGIN_API IPluginVST3::initialize(FUnknown* context) {
  try {
    if (getBusCount(kAudio, kInput) + getBusCount(kAudio, kOutput) > 0 || parameters.getParameterCount() > 0)
      return kResultFalse;  // already initialised
    if (SingleComponentEffect::initialize(context) != kResultOk) return kResultFalse;
    try {
      if (Timer* timer = GetTimer()) {
        OfferHostRunLoop(*timer, kCFHostRunLoopFactory, FactoryHostRunLoop());
        if (context != nullptr) {
          FUnknownPtr<Linux::IRunLoop> loop(context);
          if (loop) OfferHostRunLoop(*timer, kCFHostRunLoopInitialize, loop);
        }
      }
      CreateBuses(*this);
      IPluginVST3ControllerBase::Initialize(this, *this, GetPluginKind() == 1, DoesMIDIIn());
      if (context != nullptr && GetHost() == kHostUninit) {
        FUnknownPtr<IHostApplication> app(context);
        if (app) {
          String128 name16 = {};
          if (app->getName(name16) == kResultOk) {
            name16[127] = 0;
            char name[129];
            vst3shim::utf16ToUtf8(reinterpret_cast<const char16_t*>(name16), 128, name, sizeof(name));
            SetHost(name, 0);
          }
        }
      }
      OnHostIdentified();
      OnParamReset(kReset);
      return kResultOk;
    } catch (...) {
      terminate();
      return kResultFalse;
    }
  } catch (...) {
    return kResultFalse;
  }
}

tresult PLUGIN_API IPluginVST3::terminate() {
  try {
    if (Timer* timer = GetTimer()) OfferHostRunLoop(*timer, kCFHostRunLoopInitialize, nullptr);
    IPluginVST3ControllerBase::Terminate(this);
    return SingleComponentEffect::terminate();
  } catch (...) {
    return kResultFalse;
  }
}

tresult PLUGIN_API IPluginVST3::setBusArrangements(SpeakerArrangement* inputs, int32 numIns,
                                                  SpeakerArrangement* outputs, int32 numOuts) {
  try {
    if (GetHost() == kHostArdour || GetHost() == kHostMixbus) return kResultOk;
    return IPluginVST3ProcessorBase::SetBusArrangements(*this, inputs, numIns, outputs, numOuts) ? kResultOk
                                                                                                : kResultFalse;
  } catch (...) {
    return kResultFalse;
  }
}

tresult PLUGIN_API IPluginVST3::setActive(TBool state) {
  try {
    OnActivate(state != 0);
  } catch (...) {
  }
  return kResultOk;
}

tresult PLUGIN_API IPluginVST3::setupProcessing(ProcessSetup& setup) {
  const ProcessSetup previous = processSetup;
  const double previousRate = GetSampleRate();
  try {
    return IPluginVST3ProcessorBase::SetupProcessing(setup, processSetup) ? kResultOk : kResultFalse;
  } catch (...) {
    processSetup = previous;
    SetSampleRate(previousRate);
    return kResultFalse;
  }
}

tresult PLUGIN_API IPluginVST3::setProcessing(TBool state) {
  try {
    IPluginVST3ProcessorBase::SetProcessing(state != 0);
  } catch (...) {
  }
  return kResultOk;
}

tresult PLUGIN_API IPluginVST3::process(ProcessData& data) {
  try {
    PrepareProcessContext(data, processSetup);
    ProcessParameterChanges(data, mMidiMsgsFromProcessor);
    if (DoesMIDIIn()) ProcessMidiIn(data.inputEvents, mMidiMsgsFromEditor, mMidiMsgsFromProcessor);
    ProcessAudio(data, processSetup, *this);
    if (DoesMIDIOut()) ProcessMidiOut(mSysExDataFromEditor, data.outputEvents, data.numSamples);
  } catch (...) {
  }
  return kResultOk;
}

tresult PLUGIN_API IPluginVST3::canProcessSampleSize(int32 symbolicSampleSize) {
  return CanProcessSampleSize(symbolicSampleSize) ? kResultTrue : kResultFalse;
}

uint32 PLUGIN_API IPluginVST3::getLatencySamples() { return static_cast<uint32>(GetLatency()); }

uint32 PLUGIN_API IPluginVST3::getTailSamples() {
  return GetTailIsInfinite() ? kInfiniteTail : static_cast<uint32>(GetTailSize());
}

// Controller ----------------------------------------------------------------------------

ParamValue PLUGIN_API IPluginVST3::getParamNormalized(ParamID id) {
  Parameter* object = getParameterObject(id);
  return object != nullptr ? object->getNormalized() : 0.0;
}

tresult PLUGIN_API IPluginVST3::setParamNormalized(ParamID id, ParamValue value) {
  try {
    Parameter* object = getParameterObject(id);
    if (object == nullptr) return kResultFalse;
    if (std::isnan(value)) value = 0.0;
    object->setNormalized(value);
    if (id < kBypassParamId && static_cast<int>(id) < NParams()) {
      const int idx = static_cast<int>(id);
      GetParam(idx)->SetNormalized(value);
      OnParamChangeUI(idx, kHost);
      SendParameterValueFromDelegate(idx, value, true);
    }
    return kResultOk;
  } catch (...) {
    return kResultFalse;
  }
}

IPlugView* PLUGIN_API IPluginVST3::createView(FIDString name) {
  try {
    if (name == nullptr || !HasUI() || std::strcmp(name, ViewType::kEditor) != 0) return nullptr;
    auto* view = new IPluginVST3View(*this);
    mView = view;
    return view;
  } catch (...) {
    return nullptr;
  }
}

tresult PLUGIN_API IPluginVST3::setEditorState(IBStream*) { return kResultOk; }
tresult PLUGIN_API IPluginVST3::getEditorState(IBStream*) { return kResultOk; }
tresult PLUGIN_API IPluginVST3::setComponentState(IBStream*) { return kResultOk; }

tresult PLUGIN_API IPluginVST3::getMidiControllerAssignment(int32 busIndex, int16 channel,
                                                            CtrlNumber midiControllerNumber, ParamID& id) {
  if (!DoesMIDIIn() || busIndex != 0 || channel != 0) return kResultFalse;
  if (midiControllerNumber < 0 || midiControllerNumber > kPitchBend) return kResultFalse;
  id = kMIDICCParamStartIdx + 130 * static_cast<ParamID>(channel) + static_cast<ParamID>(midiControllerNumber);
  return kResultOk;
}

tresult PLUGIN_API IPluginVST3::getProgramName(ProgramListID listId, int32 programIndex, String128 name) {
  if (listId != kPresetListId || name == nullptr || programIndex < 0 || programIndex >= NPresets())
    return kResultFalse;
  vst3shim::utf8ToUtf16(GetPresetName(programIndex), IPreset::kNameLen, reinterpret_cast<char16_t*>(name), 128);
  return kResultOk;
}

tresult PLUGIN_API IPluginVST3::setChannelContextInfos(IAttributeList* list) {
  try {
    return SetChannelContextInfos(list) ? kResultOk : kResultFalse;
  } catch (...) {
    return kResultFalse;
  }
}

// State ---------------------------------------------------------------------------------

namespace {
constexpr int kStateReadBlock = 128;
constexpr int64 kMaxStateBytes = 64 * 1024 * 1024;
}  // namespace

tresult PLUGIN_API IPluginVST3::getState(IBStream* state) {
  try {
    if (state == nullptr) return kResultFalse;
    RunOwedTick();
    IByteChunk chunk;
    if (!SerializeState(chunk)) return kResultFalse;
    int32 written = 0;
    if (chunk.Size() > 0) {
      if (state->write(chunk.GetData(), chunk.Size(), &written) != kResultOk || written != chunk.Size())
        return kResultFalse;
    }
    int32 bypass = GetBypassed() ? 1 : 0;
    written = 0;
    if (state->write(&bypass, static_cast<int32>(sizeof(bypass)), &written) != kResultOk ||
        written != static_cast<int32>(sizeof(bypass)))
      return kResultFalse;
    return kResultOk;
  } catch (...) {
    return kResultFalse;
  }
}

tresult PLUGIN_API IPluginVST3::setState(IBStream* state) {
  try {
    if (state == nullptr) return kResultFalse;
    // The bytes gather in a buffer that grows geometrically, so a state of any size is read
    // in time linear in its size whatever the allocator does on a reallocation; the chunk is
    // then filled in one step.
    std::vector<uint8_t> bytes;
    uint8_t block[kStateReadBlock];
    for (;;) {
      int32 got = 0;
      const tresult result = state->read(block, kStateReadBlock, &got);
      if (got < 1) break;
      got = std::min(got, kStateReadBlock);
      // WaveLab reports failure on its last read but delivers the bytes.
      if (result != kResultOk && GetHost() != kHostWaveLab) break;
      if (static_cast<int64>(bytes.size()) + got > kMaxStateBytes) return kResultFalse;
      bytes.insert(bytes.end(), block, block + got);
    }
    IByteChunk chunk;
    if (!bytes.empty() && !chunk.PutBytes(bytes.data(), static_cast<int>(bytes.size()))) return kResultFalse;
    bytes = std::vector<uint8_t>();

    // The state as it is now, to put back when the new one is refused.
    IByteChunk previous;
    const bool canRollBack = SerializeState(previous);
    const int pos = UnserializeState(chunk, 0);
    int32 bypass = 0;
    if (pos < 0 || chunk.Get(&bypass, pos) < 0) {
      // Put the old state back only when the refused one changed something: restoring an
      // unchanged state would still run the reader's side effects.
      IByteChunk now;
      const bool unchanged = SerializeState(now) && now.Size() == previous.Size() &&
                             std::memcmp(now.GetData(), previous.GetData(), static_cast<size_t>(now.Size())) == 0;
      if (canRollBack && !unchanged) UnserializeState(previous, 0);
      return kResultFalse;
    }
    UpdateParams(this, bypass);
    OnRestoreState();
    return kResultOk;
  } catch (...) {
    return kResultFalse;
  }
}

// FObject and FUnknown ------------------------------------------------------------------

bool IPluginVST3::isTypeOf(FClassID name, bool askBaseClass) const {
  if (name == nullptr) return false;
  if (std::strcmp(name, "IPluginVST3") == 0) return true;
  if (!askBaseClass) return false;
  static const char* const kBases[] = {"SingleComponentEffect", "EditControllerEx1", "EditController", "ComponentBase",
                                       "FObject"};
  for (const char* base : kBases)
    if (std::strcmp(name, base) == 0) return true;
  return false;
}

tresult PLUGIN_API IPluginVST3::queryInterface(const TUID iid, void** obj) {
  if (obj == nullptr) return kInvalidArgument;
  if (FUnknownPrivate::iidEqual(iid, IMidiMapping::iid)) {
    addRef();
    *obj = static_cast<IMidiMapping*>(this);
    return kResultOk;
  }
  if (FUnknownPrivate::iidEqual(iid, ChannelContext::IInfoListener::iid)) {
    addRef();
    *obj = static_cast<ChannelContext::IInfoListener*>(this);
    return kResultOk;
  }
  return SingleComponentEffect::queryInterface(iid, obj);
}

}  // namespace plugkit
