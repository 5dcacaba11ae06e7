#pragma once
// Drives one plug-in instance as a host does: create (from a loaded module's factory or
// from an object made in-process), initialise with a host context, connect a recording
// component handler, set up processing, process blocks of audio with parameter changes,
// get and set the state, and open the editor view with a fake frame.
#include "shims/vst3sdk/vst3_includes.h"

#include <memory>
#include <string>
#include <vector>

#include "tools/testhost/host_objects.h"

namespace testhost {

class Module;

// The buffers of one block: one input bus and one output bus (either may have no
// channels), 32- or 64-bit, and the ProcessData that points at them.
class AudioBlock {
public:
  AudioBlock(int inChannels, int outChannels, int maxFrames, Steinberg::int32 sampleSize);
  AudioBlock(const AudioBlock&) = delete;
  AudioBlock& operator=(const AudioBlock&) = delete;

  Steinberg::Vst::ProcessData& data() { return data_; }
  int maxFrames() const { return maxFrames_; }
  int inChannels() const { return static_cast<int>(in_.ptr64.size()); }
  int outChannels() const { return static_cast<int>(out_.ptr64.size()); }
  bool is64() const { return sampleSize_ == Steinberg::Vst::kSample64; }

  // Sets the frame count of the next process call (at most maxFrames unless `any`).
  void setFrames(int frames) { data_.numSamples = frames; }
  void setIn(int channel, int frame, double value);
  double in(int channel, int frame) const;
  void setOut(int channel, int frame, double value);
  double out(int channel, int frame) const;
  void fillIn(double value);
  void fillOut(double value);

  // Fault injection: no input or output bus at all, or null channel arrays.
  void removeInputBus() { data_.numInputs = 0; }
  void removeOutputBus() { data_.numOutputs = 0; }
  void nullInputArrays();
  void nullOutputArrays();
  void restoreBuses();

private:
  struct Bus {
    std::vector<std::vector<float>> ch32;
    std::vector<std::vector<double>> ch64;
    std::vector<float*> ptr32;
    std::vector<double*> ptr64;
    Steinberg::Vst::AudioBusBuffers buffers{};
  };
  void initBus(Bus& bus, int channels);

  int maxFrames_;
  Steinberg::int32 sampleSize_;
  Bus in_;
  Bus out_;
  Steinberg::Vst::ProcessData data_{};
};

class Plugin {
public:
  // Takes over one reference to an object that is the component (and, being a single
  // component, also the controller). Null with an error text when it is not one.
  static std::unique_ptr<Plugin> adopt(Steinberg::FUnknown* object, std::string& error);
  // Creates class `classIndex` of the module's factory.
  static std::unique_ptr<Plugin> create(const Module& module, int classIndex, std::string& error);
  ~Plugin();
  Plugin(const Plugin&) = delete;
  Plugin& operator=(const Plugin&) = delete;

  Steinberg::Vst::IComponent* component() const { return component_; }
  Steinberg::Vst::IAudioProcessor* processor() const { return processor_; }
  Steinberg::Vst::IEditController* controller() const { return controller_; }
  ComponentHandler* handler() const { return handler_; }

  // initialize with the context (may be null), then installs the recording handler.
  Steinberg::tresult initialize(Steinberg::FUnknown* context);
  Steinberg::tresult terminate();
  // Activates every bus, as hosts do after initialize (initialize calls it).
  void activateBuses();
  Steinberg::tresult setup(double sampleRate, int maxBlock, Steinberg::int32 sampleSize,
                           Steinberg::int32 processMode = Steinberg::Vst::kRealtime);
  // setActive(true), then setProcessing(true).
  void start();
  // setProcessing(false), then setActive(false).
  void stop();

  // One process call with the block's buffers, optional parameter changes and context.
  Steinberg::tresult process(AudioBlock& block, ParameterChanges* changes = nullptr,
                             Steinberg::Vst::ProcessContext* context = nullptr);

  // The state as bytes (empty with ok false when getState fails), and back.
  std::string getState(bool* ok = nullptr);
  Steinberg::tresult setState(const std::string& bytes);

  // Creates the "editor" view; null when the plug-in has none.
  Steinberg::IPlugView* createView();

private:
  Plugin() = default;
  Steinberg::Vst::IComponent* component_ = nullptr;
  Steinberg::Vst::IAudioProcessor* processor_ = nullptr;
  Steinberg::Vst::IEditController* controller_ = nullptr;
  ComponentHandler* handler_ = nullptr;
  bool initialized_ = false;
  bool active_ = false;
};

}  // namespace testhost
