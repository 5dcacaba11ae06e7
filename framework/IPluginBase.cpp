// The plug-in base: construction, identity (names, versions, API) and parameter groups.
// Parameters and their serialisation, presets, source dumps and FXP/FXB files are in the
// IPluginBase*.cpp files beside this one.
#include "framework/IPluginBase.h"

#include <new>

namespace plugkit {

IPluginBase::IPluginBase(int nParams, int nPresets) : ICanvasEditorDelegate(nParams) {
  for (int i = 0; i < nPresets; ++i) {
    auto* preset = new IPreset();
    if (mPresets.Add(preset) == nullptr) {
      delete preset;
      mPresets.Empty(true);
      throw std::bad_alloc();
    }
  }
}

IPluginBase::~IPluginBase() { mPresets.Empty(true); }

int IPluginBase::GetPluginVersion(bool decimal) const {
  if (!decimal) return mVersion;
  return (mVersion >> 16) * 10000 + ((mVersion >> 8) & 0xFF) * 100 + (mVersion & 0xFF);
}

void IPluginBase::GetPluginVersionStr(StringBuf& out) const {
  out.SetFormatted(32, "v%d.%d.%d", mVersion >> 16, (mVersion >> 8) & 0xFF, mVersion & 0xFF);
}

int IPluginBase::GetHostVersion(bool decimal) const {
  if (!decimal) return mHostVersion;
  return (mHostVersion >> 16) * 10000 + ((mHostVersion >> 8) & 0xFF) * 100 + (mHostVersion & 0xFF);
}

void IPluginBase::GetHostVersionStr(StringBuf& out) const {
  out.SetFormatted(32, "v%d.%d.%d", mHostVersion >> 16, (mHostVersion >> 8) & 0xFF, mHostVersion & 0xFF);
}

const char* IPluginBase::GetAPIStr() const {
  static const char* const kNames[] = {"VST2", "VST3", "AU", "AUv3", "AAX", "APP", "WAM", "WEB", "CLAP"};
  const int api = static_cast<int>(mAPI);
  return (api >= 0 && api <= 8) ? kNames[api] : "";
}

void IPluginBase::GetBuildInfoStr(StringBuf& out, const char* date, const char* time) const {
  StringBuf version;
  GetPluginVersionStr(version);
  out.SetFormatted(256, "%s %s (%s), built on %s at %.5s ", version.Get(), GetAPIStr(), GetArchStr(),
                   date ? date : "", time ? time : "");
}

int IPluginBase::AddParamGroup(const char* name) {
  mParamGroups.push_back(name);
  return NParamGroups();
}

}  // namespace plugkit
