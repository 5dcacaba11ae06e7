#include "framework/IPluginAPIBase.h"

#include <cctype>
#include <cfloat>
#include <cmath>
#include <cstring>

namespace plugkit {

namespace {

struct HostEntry {
  const char* substring;
  EHost id;
};

// Tested in this order: where one substring contains another, or a name holds several,
// the earlier entry wins.
const HostEntry kHosts[] = {
    {"reaper", kHostReaper},
    {"protools", kHostProTools},
    {"cubase", kHostCubase},
    {"nuendo", kHostNuendo},
    {"cakewalk", kHostSonar},
    {"vegas", kHostVegas},
    {"fruity", kHostFL},
    {"samplitude", kHostSamplitude},
    {"live", kHostAbletonLive},
    {"tracktion", kHostTracktion},
    {"ntracks", kHostNTracks},
    {"melodyne", kHostMelodyneStudio},
    {"vstmanlib", kHostVSTScanner},
    {"aulab", kHostAULab},
    {"forte", kHostForte},
    {"chainer", kHostChainer},
    {"audition", kHostAudition},
    {"orion", kHostOrion},
    {"bias", kHostBias},
    {"sawstudio", kHostSAWStudio},
    {"logic", kHostLogic},
    {"garageband", kHostGarageBand},
    {"digital", kHostDigitalPerformer},
    {"audiomulch", kHostAudioMulch},
    {"presonus", kHostStudioOne},
    {"vst3plugintesthost", kHostVST3TestHost},
    {"ardour", kHostArdour},
    {"renoise", kHostRenoise},
    {"openmpt", kHostOpenMPT},
    {"wavelab elements", kHostWaveLabElements},
    {"wavelab", kHostWaveLab},
    {"twistedwave", kHostTwistedWave},
    {"bitwig studio", kHostBitwig},
    {"reason", kHostReason},
    {"gwvst", kHostGoldWave5x},
    {"waveform", kHostWaveform},
    {"audacity", kHostAudacity},
    {"acoustica", kHostAcoustica},
    {"plugindoctor", kHostPluginDoctor},
    {"izotope rx", kHostiZotopeRX},
    {"savihost", kHostSAVIHost},
    {"blue cat's vst host", kHostBlueCat},
    {"mixbus", kHostMixbus},
    {"standalone", kHostStandalone},
    {"www", kHostWWW},
};

}  // namespace

IPluginAPIBase::IPluginAPIBase(const Config& config, EAPI api) : IPluginBase(config.paramCount, config.presetCount) {
  mPluginName.Set(config.name, 128);
  mProductName.Set(config.product, 128);
  mMfrName.Set(config.maker, 128);
  mVersion = config.version;
  mUniqueID = config.pluginCode;
  mMfrID = config.makerCode;
  mStateChunks = config.stateIsChunk;
  mHasUI = config.hasEditor;
  mHostResize = config.hostResizes;
  mBundleID.Set(config.bundleId);
  mAppGroupID.Set(config.appGroupId);
  mAPI = api;
  SetEditorSize(config.editorWidth, config.editorHeight);
  SetSizeConstraints(config.minWidth, config.maxWidth, config.minHeight, config.maxHeight);
}

IPluginAPIBase::~IPluginAPIBase() {
  StopTimer();
  mTimer.reset();
}

void IPluginAPIBase::CreateTimer() {
  mTimer.reset();
  mTimer.reset(Timer::Create([this](Timer& timer) { OnTimer(timer); }, kTimerIntervalMs));
}

void IPluginAPIBase::StopTimer() {
  if (mTimer) mTimer->Stop();
}

bool IPluginAPIBase::RunOwedTick() {
  if (!mTimer || mTimer->IsDriven() || mInTimerTick) return false;
  OnTimer(*mTimer);
  return true;
}

void IPluginAPIBase::OnTimer(Timer&) {
  if (mInTimerTick) return;
  mInTimerTick = true;
  try {
    IMidiMsg msg;
    while (mMidiMsgsFromProcessor.Pop(msg)) SendMidiMsgFromDelegate(msg);
    SysExData data;
    while (mSysExDataFromProcessor.Pop(data)) {
      SendSysexMsgFromDelegate(ISysEx(data.mOffset, data.mData, data.mSize));
      data = SysExData();
    }
    OnIdle();
  } catch (...) {
  }
  mInTimerTick = false;
}

EHost IPluginAPIBase::LookUpHost(const char* name) {
  char lower[256];
  size_t n = 0;
  if (name != nullptr) {
    for (; name[n] != '\0' && n < sizeof(lower) - 1; ++n)
      lower[n] = static_cast<char>(std::tolower(static_cast<unsigned char>(name[n])));
  }
  lower[n] = '\0';
  for (const HostEntry& entry : kHosts)
    if (std::strstr(lower, entry.substring) != nullptr) return entry.id;
  return kHostUnknown;
}

void IPluginAPIBase::SetHost(const char* name, int version) {
  mHostName.Set(name != nullptr ? name : "");
  mHost = LookUpHost(name);
  mHostVersion = version;
  HostSpecificInit();
  OnHostIdentified();
}

void IPluginAPIBase::SetParameterValue(int idx, double normalizedValue) {
  IParam* param = GetParam(idx);
  if (param == nullptr) return;
  param->SetNormalized(normalizedValue);
  InformHostOfParamChange(idx, normalizedValue);
  OnParamChange(idx, kUI, -1);
}

void IPluginAPIBase::SendParameterValueFromUI(int idx, double normalizedValue) {
  IParam* param = GetParam(idx);
  if (param == nullptr) return;
  SetParameterValue(idx, normalizedValue);
  param->SetNormalized(normalizedValue);
  OnParamChangeUI(idx, kUI);
}

void IPluginAPIBase::DirtyParametersFromUI() {
  for (int i = 0; i < NParams(); ++i) {
    const IParam* param = GetParam(i);
    if (param == nullptr) continue;
    BeginInformHostOfParamChange(i);
    InformHostOfParamChange(i, param->GetNormalized());
    EndInformHostOfParamChange(i);
  }
}

bool IPluginAPIBase::EditorResizeFromUI(int viewWidth, int viewHeight, bool needsPlatformResize) {
  if (!needsPlatformResize) return true;
  return EditorResize(viewWidth, viewHeight);
}

void IPluginAPIBase::DeferSysexMsg(const ISysEx& msg) {
  mSysExDataFromEditor.Push(SysExData(msg.mOffset, msg.mSize, msg.mData));
}

bool IPluginAPIBase::CompareState(const uint8_t* data, int startPos) const {
  if (NParams() == 0) return true;
  if (data == nullptr || startPos < 0) return false;
  for (int i = 0; i < NParams(); ++i) {
    double stored = 0.0;
    std::memcpy(&stored, data + (static_cast<size_t>(startPos) + static_cast<size_t>(i)) * sizeof(double),
                sizeof(double));
    const IParam* param = GetParam(i);
    const double value = param != nullptr ? param->Value() : 0.0;
    // Out-of-range doubles would not convert to float: they never compare equal.
    if (!(std::fabs(stored) <= FLT_MAX) || !(std::fabs(value) <= FLT_MAX)) return false;
    const float a = static_cast<float>(value);
    const float b = static_cast<float>(stored);
    if (!(std::fabs(a - b) < 1e-5f)) return false;
  }
  return true;
}

void IPluginAPIBase::OnHostRequestingImportantParameters(int count, std::vector<int>& results) {
  if (count <= 0 || count >= NParams()) return;
  for (int i = 0; i < count; ++i) results.push_back(i);
}

bool IPluginAPIBase::GetMidiNoteText(int, char* text) const {
  if (text != nullptr) text[0] = '\0';
  return false;
}

void IPluginAPIBase::SendParameterValueFromAPI(int idx, double value, bool normalized) {
  IParam* param = GetParam(idx);
  if (param == nullptr) return;
  if (normalized) value = param->FromNormalized(value);
  mParamChangeFromProcessor.Push(ParamTuple{idx, value});
}

}  // namespace plugkit
