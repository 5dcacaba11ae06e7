#include "tests/framework_core/test_plugin.h"

#include <algorithm>
#include <stdexcept>

namespace sptest {

namespace {


void loudnessText(double value, StringBuf& out) { out.SetFormatted(32, "%.1f LUFS", value); }
void frequencyText(double value, StringBuf& out) {
  if (value >= 1000.0)
    out.SetFormatted(32, "%.2f kHz", value / 1000.0);
  else
    out.SetFormatted(32, "%.0f Hz", value);
}
void percentText(double value, StringBuf& out) { out.SetFormatted(32, "%.0f %%", value); }
void secondsText(double value, StringBuf& out) {
  if (value < 10.0)
    out.SetFormatted(32, "%.1f s", value);
  else
    out.SetFormatted(32, "%.0f s", value);
}
void gainText(double value, StringBuf& out) { out.SetFormatted(32, "%+.2f dB", value); }

}  // namespace

plugkit::Config productConfig() {
  plugkit::Config k;
  k.paramCount = 18;
  k.presetCount = 1;
  k.channelIO = "1-1 2-2";
  k.name = "SpectraPoise";
  k.product = "SpectraPoise";
  k.maker = "Brightloom";
  k.version = 0x040A;
  k.pluginCode = static_cast<int>(plugkit::FourCC("BrSp"));
  k.makerCode = static_cast<int>(plugkit::FourCC("Brlm"));
  k.stateIsChunk = true;
  k.hasEditor = true;
  k.editorWidth = 640;
  k.editorHeight = 400;
  k.minWidth = 480;
  k.maxWidth = 1280;
  k.minHeight = 300;
  k.maxHeight = 800;
  k.hostResizes = true;
  k.bundleId = "com.Brightloom.vst3.SpectraPoise";
  k.appGroupId = "group.com.Brightloom.SpectraPoise";
  return k;
}

void declareParameterTable(plugkit::IEditorDelegate& d) {
  using plugkit::IParam;
  const IParam::ShapeLinear linear;
  const IParam::ShapeExp exponential;
  auto boolean = [&](int idx, const char* name) { d.GetParam(idx)->InitBool(name, false, "", 0, "", "off", "on"); };
  auto real = [&](int idx, const char* name, double def, double lo, double hi, double step, const IParam::Shape& shape,
                  IParam::EParamUnit unit, IParam::DisplayFunc display) {
    d.GetParam(idx)->InitDouble(name, def, lo, hi, step, "", 0, "", shape, unit, display);
  };
  boolean(0, "Bypass");
  real(1, "Loudness Target", -14, -36, -6, 0.5, linear, IParam::kUnitCustom, loudnessText);
  real(2, "Low Crossover", 200, 60, 800, 1, exponential, IParam::kUnitFrequency, frequencyText);
  real(3, "High Crossover", 6000, 1500, 16000, 10, exponential, IParam::kUnitFrequency, frequencyText);
  real(15, "Mid Crossover", 2000, 400, 6000, 10, exponential, IParam::kUnitFrequency, frequencyText);
  boolean(4, "Correct");
  real(5, "Correct Tilt", 50, 0, 100, 1, linear, IParam::kUnitPercentage, percentText);
  real(6, "Correct Low", 50, 0, 100, 1, linear, IParam::kUnitPercentage, percentText);
  real(7, "Correct Lo-Mid", 50, 0, 100, 1, linear, IParam::kUnitPercentage, percentText);
  real(8, "Correct High", 50, 0, 100, 1, linear, IParam::kUnitPercentage, percentText);
  real(16, "Correct Hi-Mid", 50, 0, 100, 1, linear, IParam::kUnitPercentage, percentText);
  real(9, "Correct Speed", 15, 2, 60, 0.1, exponential, IParam::kUnitSeconds, secondsText);
  boolean(10, "Freeze");
  real(11, "Frozen Tilt", 0, -24, 24, 0.01, linear, IParam::kUnitDB, gainText);
  real(12, "Frozen Low", 0, -24, 24, 0.01, linear, IParam::kUnitDB, gainText);
  real(13, "Frozen Lo-Mid", 0, -24, 24, 0.01, linear, IParam::kUnitDB, gainText);
  real(17, "Frozen Hi-Mid", 0, -24, 24, 0.01, linear, IParam::kUnitDB, gainText);
  real(14, "Frozen High", 0, -24, 24, 0.01, linear, IParam::kUnitDB, gainText);
}

TestPlugin::TestPlugin(const plugkit::Config& config, bool declareTable)
    : plugkit::IPluginVST3(plugkit::InstanceInfo{}, config) {
  if (declareTable && config.paramCount == 18) declareParameterTable(*this);
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

}  // namespace sptest
