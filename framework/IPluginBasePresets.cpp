// The plug-in base's framework presets: the list, the operations that fill it, restoring
// and renaming presets, and the serialisation of the whole list.
#include "framework/IPluginBase.h"

#include <cstdio>
#include <cstring>
#include <utility>
#include <vector>

#include "framework/IPluginBaseText.h"

namespace plugkit {

namespace {

void copyPresetName(IPreset& preset, const char* name) { detail::CopyCut(preset.mName, IPreset::kNameLen, name); }

}  // namespace

IPreset* IPluginBase::FirstUninitializedPreset() {
  for (int i = 0; i < NPresets(); ++i)
    if (!mPresets.Get(i)->mInitialized) return mPresets.Get(i);
  return nullptr;
}

const char* IPluginBase::GetPresetName(int idx) const {
  const IPreset* preset = GetPreset(idx);
  return preset != nullptr ? preset->mName : "";
}

bool IPluginBase::MakeDefaultPreset(const char* name, int nPresets) {
  bool all = true;
  for (int i = 0; i < nPresets; ++i) {
    IPreset* preset = FirstUninitializedPreset();
    if (preset == nullptr) return false;
    IByteChunk state;
    if (!SerializeState(state)) {
      all = false;
      continue;
    }
    preset->mInitialized = true;
    copyPresetName(*preset, name != nullptr ? name : "Empty");
    preset->mChunk = std::move(state);
  }
  return all;
}

bool IPluginBase::MakePreset(const char* name, std::initializer_list<double> values) {
  IPreset* preset = FirstUninitializedPreset();
  if (preset == nullptr) return false;
  IByteChunk state;
  int i = 0;
  for (double value : values) {
    if (i++ >= NParams()) break;
    if (!state.Put(&value)) return false;
  }
  preset->mInitialized = true;
  copyPresetName(*preset, name);
  preset->mChunk = std::move(state);
  return true;
}

bool IPluginBase::MakePresetFromNamedParams(const char* name, std::initializer_list<std::pair<int, double>> values) {
  IPreset* preset = FirstUninitializedPreset();
  if (preset == nullptr) return false;
  constexpr double kUnset = 9.999e-08;
  std::vector<double> list(static_cast<size_t>(NParams()), kUnset);
  for (const auto& [idx, value] : values)
    if (idx >= 0 && idx < NParams()) list[static_cast<size_t>(idx)] = value;
  IByteChunk state;
  for (int i = 0; i < NParams(); ++i) {
    double value = list[static_cast<size_t>(i)];
    if (value == kUnset) value = GetParam(i)->Value();
    if (!state.Put(&value)) return false;
  }
  preset->mInitialized = true;
  copyPresetName(*preset, name);
  preset->mChunk = std::move(state);
  return true;
}

bool IPluginBase::MakePresetFromChunk(const char* name, const IByteChunk& chunk) {
  IPreset* preset = FirstUninitializedPreset();
  if (preset == nullptr) return false;
  IByteChunk state;
  if (!state.PutChunk(&chunk)) return false;
  preset->mInitialized = true;
  copyPresetName(*preset, name);
  preset->mChunk = std::move(state);
  return true;
}

bool IPluginBase::MakePresetFromBlob(const char* name, const char* base64, int size) {
  IPreset* preset = FirstUninitializedPreset();
  if (preset == nullptr || base64 == nullptr || size < 0) return false;
  IByteChunk state;
  if (state.Resize(size) != size) return false;
  uint8_t* out = state.GetData();
  int written = 0;
  uint32_t acc = 0;
  int bits = 0;
  for (const char* p = base64; written < size; ++p) {
    const int v = detail::Base64Value(*p);
    if (v < 0) break;
    acc = (acc << 6) | static_cast<uint32_t>(v);
    bits += 6;
    if (bits >= 8) {
      bits -= 8;
      out[written++] = static_cast<uint8_t>((acc >> bits) & 0xFF);
    }
  }
  preset->mInitialized = true;
  copyPresetName(*preset, name);
  preset->mChunk = std::move(state);
  return true;
}

void IPluginBase::EnsureDefaultPreset() {
  for (int i = 0; i < NPresets(); ++i) {
    IPreset* preset = mPresets.Get(i);
    if (preset->mInitialized) continue;
    IByteChunk state;
    if (!SerializeState(state)) continue;
    preset->mInitialized = true;
    copyPresetName(*preset, "Empty");
    preset->mChunk = std::move(state);
  }
}

void IPluginBase::PruneUninitializedPresets() {
  for (int i = NPresets() - 1; i >= 0; --i)
    if (!mPresets.Get(i)->mInitialized) mPresets.Delete(i, true);
  if (mCurrentPresetIdx >= NPresets()) mCurrentPresetIdx = 0;
}

bool IPluginBase::RestorePreset(int idx) {
  IPreset* preset = GetPreset(idx);
  if (preset == nullptr) return false;
  if (!preset->mInitialized) {
    int userPresets = 0;
    for (int i = 0; i < NPresets(); ++i)
      if (std::strstr(mPresets.Get(i)->mName, "user preset") != nullptr) ++userPresets;
    IByteChunk state;
    if (!SerializeState(state)) return false;
    preset->mInitialized = true;
    char name[IPreset::kNameLen];
    std::snprintf(name, sizeof(name), "%s %d", "user preset", userPresets + 1);
    copyPresetName(*preset, name);
    preset->mChunk = std::move(state);
  } else if (UnserializeState(preset->mChunk, 0) < 1) {
    return false;
  }
  mCurrentPresetIdx = idx;
  InformHostOfPresetChange();
  OnRestoreState();
  return true;
}

bool IPluginBase::RestorePreset(const char* name) {
  if (name == nullptr || *name == '\0') return false;
  for (int i = 0; i < NPresets(); ++i)
    if (std::strcmp(mPresets.Get(i)->mName, name) == 0) return RestorePreset(i);
  return false;
}

void IPluginBase::ModifyCurrentPreset(const char* name) {
  IPreset* preset = GetPreset(mCurrentPresetIdx);
  if (preset == nullptr) return;
  IByteChunk state;
  if (!SerializeState(state)) return;
  preset->mChunk = std::move(state);
  preset->mInitialized = true;  // it holds a state now: a later restore must not rename it
  if (name != nullptr && *name != '\0') copyPresetName(*preset, name);
}

bool IPluginBase::SerializePresets(IByteChunk& chunk) const {
  for (int i = 0; i < NPresets(); ++i) {
    const IPreset* preset = mPresets.Get(i);
    const uint8_t initialized = preset->mInitialized ? 1 : 0;
    if (!chunk.PutStr(preset->mName) || !chunk.Put(&initialized)) return false;
    if (preset->mInitialized && !chunk.PutChunk(&preset->mChunk)) return false;
  }
  return true;
}

int IPluginBase::UnserializePresets(const IByteChunk& chunk, int startPos) {
  int pos = startPos;
  for (int i = 0; i < NPresets() && pos >= 0; ++i) {
    IPreset* preset = mPresets.Get(i);
    StringBuf name;
    pos = chunk.GetStr(name, pos);
    if (pos < 0) break;
    uint8_t initialized = 0;
    pos = chunk.Get(&initialized, pos);
    if (pos < 0) break;
    copyPresetName(*preset, name.Get());
    preset->mInitialized = initialized != 0;
    if (preset->mInitialized) {
      pos = UnserializeState(chunk, pos);
      if (pos < 0) break;
      IByteChunk state;
      if (SerializeState(state)) preset->mChunk = std::move(state);
    }
  }
  RestorePreset(mCurrentPresetIdx);
  return pos;
}

}  // namespace plugkit
