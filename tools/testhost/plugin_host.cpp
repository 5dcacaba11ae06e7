#include "tools/testhost/plugin_host.h"

#include "public.sdk/source/common/memorystream.h"
#include "tools/testhost/module.h"

using namespace Steinberg;
using namespace Steinberg::Vst;

namespace testhost {

// AudioBlock ---------------------------------------------------------------------------

AudioBlock::AudioBlock(int inChannels, int outChannels, int maxFrames, int32 sampleSize)
    : maxFrames_(maxFrames), sampleSize_(sampleSize) {
  in_.ptr64.resize(static_cast<size_t>(inChannels));
  out_.ptr64.resize(static_cast<size_t>(outChannels));
  initBus(in_, inChannels);
  initBus(out_, outChannels);
  data_.processMode = kRealtime;
  data_.symbolicSampleSize = sampleSize;
  data_.numSamples = maxFrames;
  restoreBuses();
}

void AudioBlock::initBus(Bus& bus, int channels) {
  bus.ch32.assign(static_cast<size_t>(channels), std::vector<float>(static_cast<size_t>(maxFrames_), 0.0f));
  bus.ch64.assign(static_cast<size_t>(channels), std::vector<double>(static_cast<size_t>(maxFrames_), 0.0));
  bus.ptr32.resize(static_cast<size_t>(channels));
  bus.ptr64.resize(static_cast<size_t>(channels));
  for (int c = 0; c < channels; ++c) {
    bus.ptr32[static_cast<size_t>(c)] = bus.ch32[static_cast<size_t>(c)].data();
    bus.ptr64[static_cast<size_t>(c)] = bus.ch64[static_cast<size_t>(c)].data();
  }
  bus.buffers.numChannels = channels;
  bus.buffers.silenceFlags = 0;
}

void AudioBlock::restoreBuses() {
  for (Bus* bus : {&in_, &out_}) {
    bus->buffers.numChannels = static_cast<int32>(bus->ptr64.size());
    // The two arrays share one field (a union).
    if (sampleSize_ == kSample64)
      bus->buffers.channelBuffers64 = bus->ptr64.data();
    else
      bus->buffers.channelBuffers32 = bus->ptr32.data();
  }
  data_.numInputs = in_.ptr64.empty() ? 0 : 1;
  data_.numOutputs = out_.ptr64.empty() ? 0 : 1;
  data_.inputs = &in_.buffers;
  data_.outputs = &out_.buffers;
}

void AudioBlock::nullInputArrays() {
  in_.buffers.channelBuffers32 = nullptr;
  in_.buffers.channelBuffers64 = nullptr;
}

void AudioBlock::nullOutputArrays() {
  out_.buffers.channelBuffers32 = nullptr;
  out_.buffers.channelBuffers64 = nullptr;
}

void AudioBlock::setIn(int channel, int frame, double value) {
  in_.ch32[static_cast<size_t>(channel)][static_cast<size_t>(frame)] = static_cast<float>(value);
  in_.ch64[static_cast<size_t>(channel)][static_cast<size_t>(frame)] = value;
}

double AudioBlock::in(int channel, int frame) const {
  return is64() ? in_.ch64[static_cast<size_t>(channel)][static_cast<size_t>(frame)]
                : in_.ch32[static_cast<size_t>(channel)][static_cast<size_t>(frame)];
}

void AudioBlock::setOut(int channel, int frame, double value) {
  out_.ch32[static_cast<size_t>(channel)][static_cast<size_t>(frame)] = static_cast<float>(value);
  out_.ch64[static_cast<size_t>(channel)][static_cast<size_t>(frame)] = value;
}

double AudioBlock::out(int channel, int frame) const {
  return is64() ? out_.ch64[static_cast<size_t>(channel)][static_cast<size_t>(frame)]
                : out_.ch32[static_cast<size_t>(channel)][static_cast<size_t>(frame)];
}

void AudioBlock::fillIn(double value) {
  for (int c = 0; c < inChannels(); ++c)
    for (int i = 0; i < maxFrames_; ++i) setIn(c, i, value);
}

void AudioBlock::fillOut(double value) {
  for (int c = 0; c < outChannels(); ++c)
    for (int i = 0; i < maxFrames_; ++i) setOut(c, i, value);
}

// Plugin -------------------------------------------------------------------------------

std::unique_ptr<Plugin> Plugin::adopt(FUnknown* object, std::string& error) {
  if (object == nullptr) {
    error = "no object";
    return nullptr;
  }
  std::unique_ptr<Plugin> plugin(new Plugin());
  void* p = nullptr;
  if (object->queryInterface(IComponent::iid, &p) == kResultOk) plugin->component_ = static_cast<IComponent*>(p);
  p = nullptr;
  if (object->queryInterface(IAudioProcessor::iid, &p) == kResultOk)
    plugin->processor_ = static_cast<IAudioProcessor*>(p);
  p = nullptr;
  if (object->queryInterface(IEditController::iid, &p) == kResultOk)
    plugin->controller_ = static_cast<IEditController*>(p);
  object->release();
  if (plugin->component_ == nullptr || plugin->processor_ == nullptr || plugin->controller_ == nullptr) {
    error = "the object is not a single-component effect";
    return nullptr;
  }
  plugin->handler_ = new ComponentHandler();
  return plugin;
}

std::unique_ptr<Plugin> Plugin::create(const Module& module, int classIndex, std::string& error) {
  PClassInfo info;
  if (module.factory()->getClassInfo(classIndex, &info) != kResultOk) {
    error = "no class " + std::to_string(classIndex);
    return nullptr;
  }
  void* object = nullptr;
  if (module.factory()->createInstance(info.cid, IComponent::iid, &object) != kResultOk || object == nullptr) {
    error = "createInstance failed";
    return nullptr;
  }
  return adopt(static_cast<IComponent*>(object), error);
}

Plugin::~Plugin() {
  if (active_) stop();
  if (initialized_) terminate();
  if (controller_ != nullptr) controller_->release();
  if (processor_ != nullptr) processor_->release();
  if (component_ != nullptr) component_->release();
  if (handler_ != nullptr) handler_->release();
}

tresult Plugin::initialize(FUnknown* context) {
  const tresult result = component_->initialize(context);
  if (result == kResultOk) {
    initialized_ = true;
    controller_->setComponentHandler(handler_);
    activateBuses();
  }
  return result;
}

void Plugin::activateBuses() {
  for (MediaType type : {kAudio, kEvent})
    for (BusDirection dir : {kInput, kOutput})
      for (int32 i = 0; i < component_->getBusCount(type, dir); ++i) component_->activateBus(type, dir, i, true);
}

tresult Plugin::terminate() {
  if (active_) stop();
  initialized_ = false;
  controller_->setComponentHandler(nullptr);
  return component_->terminate();
}

tresult Plugin::setup(double sampleRate, int maxBlock, int32 sampleSize, int32 processMode) {
  ProcessSetup setup{processMode, sampleSize, maxBlock, sampleRate};
  return processor_->setupProcessing(setup);
}

void Plugin::start() {
  component_->setActive(true);
  processor_->setProcessing(true);
  active_ = true;
}

void Plugin::stop() {
  processor_->setProcessing(false);
  component_->setActive(false);
  active_ = false;
}

tresult Plugin::process(AudioBlock& block, ParameterChanges* changes, ProcessContext* context) {
  ProcessData& data = block.data();
  data.inputParameterChanges = changes;
  data.processContext = context;
  return processor_->process(data);
}

std::string Plugin::getState(bool* ok) {
  MemoryStream stream;
  const bool good = component_->getState(&stream) == kResultOk;
  if (ok != nullptr) *ok = good;
  if (!good) return {};
  return std::string(stream.getData(), static_cast<size_t>(stream.getSize()));
}

tresult Plugin::setState(const std::string& bytes) {
  ScriptedStream stream(bytes);
  return component_->setState(&stream);
}

IPlugView* Plugin::createView() { return controller_->createView(ViewType::kEditor); }

}  // namespace testhost
