#include "single_component_effect.h"

namespace Steinberg {
namespace Vst {

SingleComponentEffect::SingleComponentEffect() {
  processSetup.processMode = kRealtime;
  processSetup.symbolicSampleSize = kSample32;
  processSetup.maxSamplesPerBlock = 1024;
  processSetup.sampleRate = 44100.0;
}

SingleComponentEffect::~SingleComponentEffect() = default;

tresult PLUGIN_API SingleComponentEffect::initialize(FUnknown* context) {
  return EditControllerEx1::initialize(context);
}

tresult PLUGIN_API SingleComponentEffect::terminate() {
  parameters.removeAll();
  removeAllBusses();
  return EditControllerEx1::terminate();
}

BusList* SingleComponentEffect::getBusList(MediaType type, BusDirection dir) {
  if (type == kAudio) return dir == kInput ? &audioInputs : &audioOutputs;
  if (type == kEvent) return dir == kInput ? &eventInputs : &eventOutputs;
  return nullptr;
}

tresult PLUGIN_API SingleComponentEffect::getControllerClassId(TUID) { return kNotImplemented; }
tresult PLUGIN_API SingleComponentEffect::setIoMode(IoMode) { return kNotImplemented; }

int32 PLUGIN_API SingleComponentEffect::getBusCount(MediaType type, BusDirection dir) {
  BusList* list = getBusList(type, dir);
  return list ? static_cast<int32>(list->size()) : 0;
}

tresult PLUGIN_API SingleComponentEffect::getBusInfo(MediaType type, BusDirection dir, int32 index,
                                                     BusInfo& info) {
  BusList* list = getBusList(type, dir);
  if (list == nullptr || index < 0 || index >= static_cast<int32>(list->size())) return kInvalidArgument;
  info.mediaType = type;
  info.direction = dir;
  return list->at(static_cast<size_t>(index))->getInfo(info) ? kResultTrue : kResultFalse;
}

tresult PLUGIN_API SingleComponentEffect::getRoutingInfo(RoutingInfo&, RoutingInfo&) { return kNotImplemented; }

tresult PLUGIN_API SingleComponentEffect::activateBus(MediaType type, BusDirection dir, int32 index,
                                                      TBool state) {
  BusList* list = getBusList(type, dir);
  if (list == nullptr || index < 0 || index >= static_cast<int32>(list->size())) return kInvalidArgument;
  list->at(static_cast<size_t>(index))->setActive(state);
  return kResultTrue;
}

tresult PLUGIN_API SingleComponentEffect::setActive(TBool) { return kResultOk; }
tresult PLUGIN_API SingleComponentEffect::setState(IBStream*) { return kResultOk; }
tresult PLUGIN_API SingleComponentEffect::getState(IBStream*) { return kResultOk; }
tresult PLUGIN_API SingleComponentEffect::setEditorState(IBStream*) { return kResultOk; }
tresult PLUGIN_API SingleComponentEffect::getEditorState(IBStream*) { return kResultOk; }
tresult PLUGIN_API SingleComponentEffect::setComponentState(IBStream*) { return kResultOk; }

tresult PLUGIN_API SingleComponentEffect::setBusArrangements(SpeakerArrangement* inputs, int32 numIns,
                                                             SpeakerArrangement* outputs, int32 numOuts) {
  if (numIns < 0 || numOuts < 0) return kInvalidArgument;
  if (numIns > static_cast<int32>(audioInputs.size()) || numOuts > static_cast<int32>(audioOutputs.size()))
    return kResultFalse;
  if ((numIns > 0 && inputs == nullptr) || (numOuts > 0 && outputs == nullptr)) return kInvalidArgument;
  for (int32 i = 0; i < numIns; ++i) {
    if (auto* bus = FCast<AudioBus>(audioInputs.at(static_cast<size_t>(i)).get())) bus->setArrangement(inputs[i]);
  }
  for (int32 i = 0; i < numOuts; ++i) {
    if (auto* bus = FCast<AudioBus>(audioOutputs.at(static_cast<size_t>(i)).get())) bus->setArrangement(outputs[i]);
  }
  return kResultTrue;
}

tresult PLUGIN_API SingleComponentEffect::getBusArrangement(BusDirection dir, int32 index,
                                                            SpeakerArrangement& arr) {
  BusList* list = getBusList(kAudio, dir);
  if (list == nullptr || index < 0 || index >= static_cast<int32>(list->size())) return kInvalidArgument;
  if (auto* bus = FCast<AudioBus>(list->at(static_cast<size_t>(index)).get())) {
    arr = bus->getArrangement();
    return kResultTrue;
  }
  return kResultFalse;
}

tresult PLUGIN_API SingleComponentEffect::canProcessSampleSize(int32 size) {
  return size == kSample32 ? kResultTrue : kResultFalse;
}

uint32 PLUGIN_API SingleComponentEffect::getLatencySamples() { return 0; }

tresult PLUGIN_API SingleComponentEffect::setupProcessing(ProcessSetup& setup) {
  if (canProcessSampleSize(setup.symbolicSampleSize) != kResultTrue) return kResultFalse;
  processSetup = setup;
  return kResultOk;
}

tresult PLUGIN_API SingleComponentEffect::setProcessing(TBool) { return kNotImplemented; }
tresult PLUGIN_API SingleComponentEffect::process(ProcessData&) { return kNotImplemented; }
uint32 PLUGIN_API SingleComponentEffect::getTailSamples() { return kNoTail; }

tresult PLUGIN_API SingleComponentEffect::queryInterface(const TUID iid, void** obj) {
  if (obj == nullptr) return kInvalidArgument;
  if (FUnknownPrivate::iidEqual(iid, IComponent::iid)) {
    addRef();
    *obj = static_cast<IComponent*>(this);
    return kResultOk;
  }
  if (FUnknownPrivate::iidEqual(iid, IAudioProcessor::iid)) {
    addRef();
    *obj = static_cast<IAudioProcessor*>(this);
    return kResultOk;
  }
  return EditControllerEx1::queryInterface(iid, obj);
}

uint32 PLUGIN_API SingleComponentEffect::addRef() {
  return static_cast<uint32>(refs_.fetch_add(1, std::memory_order_relaxed) + 1);
}

uint32 PLUGIN_API SingleComponentEffect::release() {
  const int32 left = refs_.fetch_sub(1, std::memory_order_acq_rel) - 1;
  if (left == 0) {
    delete this;
    return 0;
  }
  return static_cast<uint32>(left);
}

namespace {
template <typename BusT, typename... Args>
BusT* addBus(BusList& list, Args&&... args) {
  auto* bus = new BusT(args...);
  list.emplace_back(owned(bus));
  return bus;
}
}  // namespace

AudioBus* SingleComponentEffect::addAudioInput(const TChar* name, SpeakerArrangement arr, BusType busType,
                                               int32 flags) {
  return addBus<AudioBus>(audioInputs, name, busType, flags, arr);
}

AudioBus* SingleComponentEffect::addAudioOutput(const TChar* name, SpeakerArrangement arr, BusType busType,
                                                int32 flags) {
  return addBus<AudioBus>(audioOutputs, name, busType, flags, arr);
}

EventBus* SingleComponentEffect::addEventInput(const TChar* name, int32 channels, BusType busType, int32 flags) {
  return addBus<EventBus>(eventInputs, name, busType, flags, channels);
}

EventBus* SingleComponentEffect::addEventOutput(const TChar* name, int32 channels, BusType busType, int32 flags) {
  return addBus<EventBus>(eventOutputs, name, busType, flags, channels);
}

tresult SingleComponentEffect::removeAudioBusses() {
  audioInputs.clear();
  audioOutputs.clear();
  return kResultOk;
}

tresult SingleComponentEffect::removeEventBusses() {
  eventInputs.clear();
  eventOutputs.clear();
  return kResultOk;
}

tresult SingleComponentEffect::removeAllBusses() {
  removeAudioBusses();
  removeEventBusses();
  return kResultOk;
}

}  // namespace Vst
}  // namespace Steinberg
