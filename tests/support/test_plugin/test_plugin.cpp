#include "tests/support/test_plugin/test_plugin.h"

#include <algorithm>
#include <stdexcept>

#include "plugin/parameters.h"

namespace sp::test {

plugkit::Config productConfig() { return spectrapoise::plugin::productConfig(); }

TestPlugin::TestPlugin(const plugkit::Config& config, bool declareTable)
    : plugkit::IPluginVST3(plugkit::InstanceInfo{}, config) {
  if (declareTable && config.paramCount == spectrapoise::plugin::kParamCount)
    spectrapoise::plugin::declareParameters(*this);
}

TestPlugin::~TestPlugin() { StopTimer(); }

int TestPlugin::countInLog(const std::string& entry) const {
  return static_cast<int>(std::count(log.begin(), log.end(), entry));
}

void TestPlugin::OnIdle() {
  log.push_back("OnIdle");
  if (pendingRequest) {
    pendingRequest = false;
    ++requestsTaken;
  }
  if (insideIdle) {
    auto run = std::move(insideIdle);
    insideIdle = nullptr;
    run();
  }
  if (throwInIdle) {
    throwInIdle = false;
    throw std::runtime_error("idle failed");
  }
}

void TestPlugin::ProcessMidiMsg(const plugkit::IMidiMsg& msg) {
  const int n = nMidi.load(std::memory_order_relaxed);
  if (n < static_cast<int>(midi.size())) {
    midi[static_cast<size_t>(n)] = msg;
    nMidi.store(n + 1, std::memory_order_release);
  }
}

int TestPlugin::UnserializeState(const plugkit::IByteChunk& chunk, int startPos) {
  lastChunkSize = chunk.Size();
  return IPluginVST3::UnserializeState(chunk, startPos);
}

void TestPlugin::OnParamChange(int idx, plugkit::EParamSource source, int sampleOffset) {
  if (!recordChanges) return;
  const int n = nChanges.load(std::memory_order_relaxed);
  if (n < kMaxChanges) {
    const plugkit::IParam* param = GetParam(idx);
    changes[static_cast<size_t>(n)] = {idx, source, sampleOffset, param ? param->Value() : 0.0};
    nChanges.store(n + 1, std::memory_order_release);
  }
  if (logParamChanges)
    log.push_back("OnParamChange " + std::to_string(idx) + " " + std::to_string(source) + " " +
                  std::to_string(sampleOffset));
}

void TestPlugin::OnParamChangeUI(int idx, plugkit::EParamSource source) {
  log.push_back("OnParamChangeUI " + std::to_string(idx) + " " + std::to_string(source));
}

void TestPlugin::OnParamReset(plugkit::EParamSource source) {
  log.push_back("OnParamReset " + std::to_string(source));
  IPluginVST3::OnParamReset(source);
}

void TestPlugin::OnRestoreState() {
  log.push_back("OnRestoreState");
  IPluginVST3::OnRestoreState();
}

void TestPlugin::OnReset() { log.push_back("OnReset"); }

void TestPlugin::OnHostIdentified() { log.push_back("OnHostIdentified"); }

void* TestPlugin::OpenWindow(void* parent) {
  ++openWindows;
  OnUIOpen();
  return fakeView;
}

void TestPlugin::CloseWindow() {
  ++closeWindows;
  OnUIClose();
}

void TestPlugin::OnUIOpen() { log.push_back("OnUIOpen"); }
void TestPlugin::OnUIClose() { log.push_back("OnUIClose"); }

bool TestPlugin::OnKeyDown(const plugkit::IKeyPress& key) {
  keys.push_back(key);
  return keysHandled;
}

bool TestPlugin::OnKeyUp(const plugkit::IKeyPress& key) {
  keys.push_back(key);
  return keysHandled;
}

void TestPlugin::OnParentWindowResize(int width, int height) {
  log.push_back("OnParentWindowResize " + std::to_string(width) + " " + std::to_string(height));
}

void TestPlugin::ProcessBlock(double** inputs, double** outputs, int nFrames) {
  processBlocks.fetch_add(1, std::memory_order_relaxed);
  lastBlockFrames.store(nFrames, std::memory_order_relaxed);
  if (nFrames > maxBlockFrames.load(std::memory_order_relaxed)) maxBlockFrames.store(nFrames);
  sawOffline.store(GetRenderingOffline(), std::memory_order_relaxed);
  IPluginVST3::ProcessBlock(inputs, outputs, nFrames);
  if (processGain != 1.0) {
    for (int c = 0; c < MaxNChannels(plugkit::kOutput); ++c)
      if (outputs[c] != nullptr)
        for (int s = 0; s < nFrames; ++s) outputs[c][s] *= processGain;
  }
}

}  // namespace sp::test
