#include "framework/IPluginBase.h"

#include <unistd.h>

#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <string_view>

#include "framework/FileWrite.h"

namespace plugkit {

namespace {

constexpr int32_t kFXPChunkMagic = 0x70666674;  // in front of an "FPCh"/"FBCh" state
constexpr int32_t kFXPChunkVersion = 0x10000;
constexpr int kFXPNameLen = 28;
constexpr long kMaxPresetFileBytes = 64L * 1024 * 1024;


// Copies at most size - 1 bytes of text and terminates.
void copyCut(char* dst, size_t size, const char* text) {
  if (text == nullptr) text = "";
  const size_t n = strnlen(text, size - 1);
  std::memcpy(dst, text, n);
  dst[n] = '\0';
}

void copyPresetName(IPreset& preset, const char* name) { copyCut(preset.mName, IPreset::kNameLen, name); }

// Big-endian writer and reader for the FXP/FXB headers.
struct BigEndianOut {
  IByteChunk& chunk;
  bool ok = true;
  void u32(uint32_t v) {
    const uint8_t b[4] = {static_cast<uint8_t>(v >> 24), static_cast<uint8_t>(v >> 16), static_cast<uint8_t>(v >> 8),
                          static_cast<uint8_t>(v)};
    ok = chunk.PutBytes(b, 4) && ok;
  }
  void f32(float f) {
    uint32_t v;
    std::memcpy(&v, &f, 4);
    u32(v);
  }
  void bytes(const void* data, int n) { ok = chunk.PutBytes(data, n) && ok; }
};

struct BigEndianIn {
  const IByteChunk& chunk;
  int pos = 0;
  bool ok = true;
  uint32_t u32() {
    uint8_t b[4] = {};
    const int next = chunk.GetBytes(b, 4, pos);
    if (next < 0) {
      ok = false;
      return 0;
    }
    pos = next;
    return (uint32_t{b[0]} << 24) | (uint32_t{b[1]} << 16) | (uint32_t{b[2]} << 8) | uint32_t{b[3]};
  }
  int32_t i32() { return static_cast<int32_t>(u32()); }
  float f32() {
    const uint32_t v = u32();
    float f;
    std::memcpy(&f, &v, 4);
    return f;
  }
  void bytes(void* out, int n) {
    const int next = chunk.GetBytes(out, n, pos);
    if (next < 0)
      ok = false;
    else
      pos = next;
  }
};

// The common head of an FXP or FXB file: "CcnK", byte size (not trusted), the kind of
// file, version, unique id, plug-in version and the program or parameter count.
struct FxHeader {
  uint32_t kind = 0;
  int32_t version = 0;
  int32_t count = 0;
};

bool readFxHeader(BigEndianIn& in, FxHeader& header) {
  if (in.u32() != FourCC("CcnK")) return false;
  in.u32();
  header.kind = in.u32();
  header.version = in.i32();
  in.u32();
  in.u32();
  header.count = in.i32();
  return in.ok;
}

// The opaque state block of an "FPCh"/"FBCh" file: its size, then the chunk-magic-led state.
bool readFxStateBlock(BigEndianIn& in, IByteChunk& state) {
  const int32_t size = in.i32();
  if (!in.ok || size < 8 || int64_t{in.pos} + size > in.chunk.Size()) return false;
  if (!state.PutBytes(in.chunk.GetData() + in.pos, size)) return false;
  int32_t magic = 0;
  state.Get(&magic, 0);
  return magic == kFXPChunkMagic;
}

// The head readFxHeader reads: "CcnK", byte size, kind, version, ids, count.
void writeFxHeader(BigEndianOut& out, uint32_t byteSize, uint32_t kind, uint32_t version, uint32_t uniqueId,
                   uint32_t pluginVersion, uint32_t count) {
  out.u32(FourCC("CcnK"));
  out.u32(byteSize);
  out.u32(kind);
  out.u32(version);
  out.u32(uniqueId);
  out.u32(pluginVersion);
  out.u32(count);
}

// Writes bytes to a unique temporary file beside path, then renames it over path.
bool writeFileReplacing(const char* path, const IByteChunk& bytes) {
  if (path == nullptr || *path == '\0') return false;
  static std::atomic<unsigned long long> counter{0};
  const std::string base = std::string(path) + ".partial-" + std::to_string(::getpid()) + "-";
  const std::string_view text(reinterpret_cast<const char*>(bytes.GetData()), static_cast<size_t>(bytes.Size()));
  return WriteThroughTemporary(path, text, [&] { return base + std::to_string(counter.fetch_add(1)); });
}

bool readWholeFile(const char* path, IByteChunk& bytes) {
  if (path == nullptr || *path == '\0') return false;
  FILE* f = std::fopen(path, "rb");
  if (f == nullptr) return false;
  bool ok = std::fseek(f, 0, SEEK_END) == 0;
  const long size = ok ? std::ftell(f) : -1;
  ok = ok && size >= 0 && size <= kMaxPresetFileBytes && std::fseek(f, 0, SEEK_SET) == 0;
  if (ok && bytes.Resize(static_cast<int>(size)) != size) ok = false;
  if (ok && size > 0) ok = std::fread(bytes.GetData(), 1, static_cast<size_t>(size), f) == static_cast<size_t>(size);
  std::fclose(f);
  return ok;
}

const char kBase64Alphabet[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";

int base64Value(char c) {
  const char* at = c != '\0' ? std::strchr(kBase64Alphabet, c) : nullptr;
  return at != nullptr ? static_cast<int>(at - kBase64Alphabet) : -1;
}

std::string base64Encode(const uint8_t* data, int size) {
  std::string out;
  for (int i = 0; i < size; i += 3) {
    const uint32_t b0 = data[i];
    const uint32_t b1 = i + 1 < size ? data[i + 1] : 0;
    const uint32_t b2 = i + 2 < size ? data[i + 2] : 0;
    const uint32_t v = (b0 << 16) | (b1 << 8) | b2;
    out += kBase64Alphabet[(v >> 18) & 63];
    out += kBase64Alphabet[(v >> 12) & 63];
    out += i + 1 < size ? kBase64Alphabet[(v >> 6) & 63] : '=';
    out += i + 2 < size ? kBase64Alphabet[v & 63] : '=';
  }
  return out;
}

// Appends a C string literal of text (quotes and backslashes escaped).
void appendQuoted(std::string& out, const char* text) {
  out += '"';
  for (const char* p = text; *p != '\0'; ++p) {
    if (*p == '"' || *p == '\\') out += '\\';
    out += *p;
  }
  out += '"';
}

bool appendToFile(const char* path, const std::string& text) {
  if (path == nullptr || *path == '\0') return false;
  FILE* f = std::fopen(path, "a");
  if (f == nullptr) return false;
  const bool ok = std::fwrite(text.data(), 1, text.size(), f) == text.size();
  return std::fclose(f) == 0 && ok;
}

std::string formatValue(const IParam& param, double value) {
  char buffer[64];
  StringBuf text;
  switch (param.Type()) {
    case IParam::kTypeBool: return value >= 0.5 ? "true" : "false";
    case IParam::kTypeInt:
    case IParam::kTypeEnum: text.SetFormatted(63, "%d", static_cast<int>(value)); break;
    default: text.SetFormatted(63, "%.6f", value); break;
  }
  std::snprintf(buffer, sizeof(buffer), "%s", text.Get());
  return buffer;
}

}  // namespace

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

bool IPluginBase::SerializeParams(IByteChunk& chunk) const {
  for (int i = 0; i < NParams(); ++i) {
    const IParam* param = GetParam(i);
    const double value = param != nullptr ? param->Value() : 0.0;
    if (!chunk.Put(&value)) return false;
  }
  return true;
}

int IPluginBase::UnserializeParams(const IByteChunk& chunk, int startPos) {
  int pos = startPos;
  if (startPos >= 0) {
    for (int i = 0; i < NParams(); ++i) {
      double value = 0.0;
      pos = chunk.Get(&value, pos);
      if (pos < 0) break;
      GetParam(i)->Set(value);
    }
  }
  OnParamReset(kPresetRecall);
  return pos;
}

void IPluginBase::InitParamRange(int startIdx, int endIdx, int countStart, const char* nameFmtStr, double defaultVal,
                                 double minVal, double maxVal, double step, const char* label, int flags,
                                 const char* group, const IParam::Shape& shape, IParam::EParamUnit unit,
                                 IParam::DisplayFunc displayFunc) {
  for (int i = startIdx; i <= endIdx; ++i) {
    IParam* param = GetParam(i);
    if (param == nullptr) continue;
    StringBuf name;
    name.SetFormatted(IParam::kNameLen, nameFmtStr ? nameFmtStr : "", countStart + (i - startIdx));
    param->InitDouble(name.Get(), defaultVal, minVal, maxVal, step, label, flags, group, shape, unit, displayFunc);
  }
}

void IPluginBase::CloneParamRange(int cloneStartIdx, int cloneEndIdx, int startIdx, const char* searchStr,
                                  const char* replaceStr, const char* newGroup) {
  for (int s = cloneStartIdx; s <= cloneEndIdx; ++s) {
    const IParam* source = GetParam(s);
    IParam* dest = GetParam(startIdx + (s - cloneStartIdx));
    if (source == nullptr || dest == nullptr || source == dest) continue;
    dest->Init(*source, searchStr, replaceStr, newGroup);
    dest->Set(source->Value());
  }
}

void IPluginBase::CopyParamValues(int startIdx, int destIdx, int nParams) {
  for (int k = 0; k < nParams; ++k) {
    const IParam* source = GetParam(startIdx + k);
    IParam* dest = GetParam(destIdx + k);
    if (source != nullptr && dest != nullptr) dest->Set(source->Value());
  }
}

void IPluginBase::CopyParamValues(const char* inGroup, const char* outGroup) {
  std::vector<IParam*> in, out;
  for (int i = 0; i < NParams(); ++i) {
    IParam* param = GetParam(i);
    if (inGroup != nullptr && std::strcmp(param->GetGroup(), inGroup) == 0) in.push_back(param);
    if (outGroup != nullptr && std::strcmp(param->GetGroup(), outGroup) == 0) out.push_back(param);
  }
  for (size_t k = 0; k < in.size() && k < out.size(); ++k) out[k]->Set(in[k]->Value());
}

void IPluginBase::ForParamInRange(int startIdx, int endIdx, const std::function<void(int, IParam&)>& func) {
  for (int i = startIdx; i <= endIdx; ++i)
    if (IParam* param = GetParam(i)) func(i, *param);
}

void IPluginBase::ForParamInGroup(const char* paramGroup, const std::function<void(int, IParam&)>& func) {
  if (paramGroup == nullptr) return;
  for (int i = 0; i < NParams(); ++i) {
    IParam* param = GetParam(i);
    if (std::strcmp(param->GetGroup(), paramGroup) == 0) func(i, *param);
  }
}

void IPluginBase::DefaultParamValues() { DefaultParamValues(0, NParams() - 1); }

void IPluginBase::DefaultParamValues(int startIdx, int endIdx) {
  ForParamInRange(startIdx, endIdx, [](int, IParam& param) { param.SetToDefault(); });
}

void IPluginBase::DefaultParamValues(const char* paramGroup) {
  ForParamInGroup(paramGroup, [](int, IParam& param) { param.SetToDefault(); });
}

namespace {
double randomNormalized() { return static_cast<float>(std::rand()) * 4.656613e-10f; }
}  // namespace

void IPluginBase::RandomiseParamValues() { RandomiseParamValues(0, NParams() - 1); }

void IPluginBase::RandomiseParamValues(int startIdx, int endIdx) {
  ForParamInRange(startIdx, endIdx, [](int, IParam& param) { param.SetNormalized(randomNormalized()); });
}

void IPluginBase::RandomiseParamValues(const char* paramGroup) {
  ForParamInGroup(paramGroup, [](int, IParam& param) { param.SetNormalized(randomNormalized()); });
}

void IPluginBase::PrintParamValues() {
  for (int i = 0; i < NParams(); ++i) GetParam(i)->PrintDetails();
}

// Presets ---------------------------------------------------------------------------

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
    preset->mChunk = state;
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
  preset->mChunk = state;
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
  preset->mChunk = state;
  return true;
}

bool IPluginBase::MakePresetFromChunk(const char* name, const IByteChunk& chunk) {
  IPreset* preset = FirstUninitializedPreset();
  if (preset == nullptr) return false;
  IByteChunk state;
  if (!state.PutChunk(&chunk)) return false;
  preset->mInitialized = true;
  copyPresetName(*preset, name);
  preset->mChunk = state;
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
    const int v = base64Value(*p);
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
  preset->mChunk = state;
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
    preset->mChunk = state;
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
    preset->mChunk = state;
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
  preset->mChunk = state;
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
      if (SerializeState(state)) preset->mChunk = state;
    }
  }
  RestorePreset(mCurrentPresetIdx);
  return pos;
}

// Dumps -----------------------------------------------------------------------------

bool IPluginBase::DumpMakePresetSrc(const char* path) const {
  std::string text = "MakePreset(";
  appendQuoted(text, GetPresetName(mCurrentPresetIdx));
  text += ", {";
  for (int i = 0; i < NParams(); ++i) {
    text += i == 0 ? "" : ", ";
    text += formatValue(*GetParam(i), GetParam(i)->Value());
  }
  text += "});\n";
  return appendToFile(path, text);
}

bool IPluginBase::DumpMakePresetFromNamedParamsSrc(const char* path, const char* paramEnumNames[]) const {
  if (paramEnumNames == nullptr) return false;
  std::string text = "  MakePresetFromNamedParams(";
  appendQuoted(text, GetPresetName(mCurrentPresetIdx));
  text += ", {";
  for (int i = 0; i < NParams(); ++i) {
    text += i == 0 ? "\n" : ",\n";
    text += "    {";
    text += paramEnumNames[i] != nullptr ? paramEnumNames[i] : "";
    text += ", " + formatValue(*GetParam(i), GetParam(i)->Value()) + "}";
  }
  text += "});\n";
  return appendToFile(path, text);
}

bool IPluginBase::DumpPresetBlob(const char* path) const {
  IByteChunk state;
  if (!SerializeState(state)) return false;
  std::string text = "MakePresetFromBlob(";
  appendQuoted(text, GetPresetName(mCurrentPresetIdx));
  text += ", \"" + base64Encode(state.GetData(), state.Size()) + "\", " + std::to_string(state.Size()) + ");\n";
  return appendToFile(path, text);
}

// FXP / FXB -------------------------------------------------------------------------

bool IPluginBase::SerializeFXPState(IByteChunk& chunk) const {
  return chunk.Put(&kFXPChunkMagic) && chunk.Put(&kFXPChunkVersion) && SerializeState(chunk);
}

bool IPluginBase::SavePresetAsFXP(const char* path) const {
  if (path == nullptr || *path == '\0') return false;
  IByteChunk file;
  BigEndianOut out{file};
  char name[kFXPNameLen] = {};
  copyCut(name, kFXPNameLen, GetPresetName(mCurrentPresetIdx));
  const auto id = static_cast<uint32_t>(GetUniqueID());
  const auto version = static_cast<uint32_t>(GetPluginVersion(true));
  if (DoesStateChunks()) {
    IByteChunk state;
    if (!SerializeFXPState(state)) return false;
    writeFxHeader(out, static_cast<uint32_t>(state.Size() + 60), FourCC("FPCh"), 1, id, version,
                  static_cast<uint32_t>(NParams()));
    out.bytes(name, kFXPNameLen);
    out.u32(static_cast<uint32_t>(state.Size()));
    out.bytes(state.GetData(), state.Size());
  } else {
    writeFxHeader(out, 0, FourCC("FxCk"), 1, id, version, static_cast<uint32_t>(NParams()));
    out.bytes(name, kFXPNameLen);
    for (int i = 0; i < NParams(); ++i) {
      const IParam* param = GetParam(i);
      out.f32(param != nullptr ? static_cast<float>(param->GetNormalized()) : 0.0f);
    }
  }
  return out.ok && writeFileReplacing(path, file);
}

bool IPluginBase::SaveBankAsFXB(const char* path) const {
  if (path == nullptr || *path == '\0') return false;
  IByteChunk file;
  BigEndianOut out{file};
  const uint8_t future[128] = {};
  const auto id = static_cast<uint32_t>(GetUniqueID());
  const auto version = static_cast<uint32_t>(GetPluginVersion(true));
  if (DoesStateChunks()) {
    IByteChunk state;
    if (!state.Put(&kFXPChunkMagic) || !state.Put(&kFXPChunkVersion) || !SerializePresets(state)) return false;
    writeFxHeader(out, static_cast<uint32_t>(state.Size() + 160), FourCC("FBCh"), 2, id, version,
                  static_cast<uint32_t>(NPresets()));
    out.bytes(future, sizeof(future));
    out.u32(static_cast<uint32_t>(state.Size()));
    out.bytes(state.GetData(), state.Size());
  } else {
    writeFxHeader(out, 0, FourCC("FxBk"), 2, id, version, static_cast<uint32_t>(NPresets()));
    out.bytes(future, sizeof(future));
    for (int p = 0; p < NPresets(); ++p) {
      const IPreset* preset = mPresets.Get(p);
      char name[kFXPNameLen] = {};
      copyCut(name, kFXPNameLen, preset->mName);
      out.u32(FourCC("CcnK"));
      out.u32(0);
      out.u32(FourCC("FxCk"));
      out.u32(1);
      out.u32(static_cast<uint32_t>(GetUniqueID()));
      out.u32(static_cast<uint32_t>(GetPluginVersion(true)));
      out.u32(static_cast<uint32_t>(NParams()));
      out.bytes(name, kFXPNameLen);
      // A plain preset state holds one double per parameter; missing values read as current.
      for (int i = 0; i < NParams(); ++i) {
        double value = GetParam(i)->Value();
        if (preset->mInitialized) preset->mChunk.Get(&value, i * 8);
        out.f32(static_cast<float>(GetParam(i)->ToNormalized(value)));
      }
    }
  }
  return out.ok && writeFileReplacing(path, file);
}

bool IPluginBase::LoadPresetFromFXP(const char* path) {
  IByteChunk file;
  if (!readWholeFile(path, file)) return false;
  BigEndianIn in{file};
  FxHeader header;
  if (!readFxHeader(in, header)) return false;
  const uint32_t fxMagic = header.kind;
  const int32_t numParams = header.count;
  char name[kFXPNameLen + 1] = {};
  in.bytes(name, kFXPNameLen);
  if (!in.ok || header.version != 1) return false;

  if (fxMagic == FourCC("FPCh") && DoesStateChunks()) {
    IByteChunk state;
    if (!readFxStateBlock(in, state)) return false;
    if (UnserializeState(state, 8) < 0) return false;
    ModifyCurrentPreset(name);
  } else if (fxMagic == FourCC("FxCk") && !DoesStateChunks()) {
    if (numParams != NParams()) return false;
    std::vector<float> values(static_cast<size_t>(NParams()));
    for (float& value : values) value = in.f32();
    if (!in.ok) return false;
    for (int i = 0; i < NParams(); ++i) GetParam(i)->SetNormalized(values[static_cast<size_t>(i)]);
    ModifyCurrentPreset(name);
  } else {
    return false;
  }
  RestorePreset(mCurrentPresetIdx);
  return true;
}

bool IPluginBase::LoadBankFromFXB(const char* path) {
  IByteChunk file;
  if (!readWholeFile(path, file)) return false;
  BigEndianIn in{file};
  FxHeader header;
  if (!readFxHeader(in, header)) return false;
  const uint32_t fxMagic = header.kind;
  const int32_t numPrograms = header.count;
  uint8_t future[128];
  in.bytes(future, sizeof(future));
  if (!in.ok || header.version != 2) return false;

  if (fxMagic == FourCC("FBCh") && DoesStateChunks()) {
    IByteChunk state;
    return readFxStateBlock(in, state) && UnserializePresets(state, 8) >= 0;
  }
  if (fxMagic != FourCC("FxBk") || DoesStateChunks() || numPrograms < 0) return false;

  // Read every program record first: a damaged bank changes nothing.
  struct Program {
    char name[kFXPNameLen + 1];
    std::vector<float> values;
  };
  std::vector<Program> programs;
  for (int p = 0; p < numPrograms && p < NPresets(); ++p) {
    Program program{};
    if (in.u32() != FourCC("CcnK")) return false;
    in.u32();
    if (in.u32() != FourCC("FxCk")) return false;
    in.u32();
    in.u32();
    in.u32();
    if (in.i32() != NParams()) return false;
    in.bytes(program.name, kFXPNameLen);
    program.values.resize(static_cast<size_t>(NParams()));
    for (float& value : program.values) value = in.f32();
    if (!in.ok) return false;
    programs.push_back(std::move(program));
  }
  const int current = mCurrentPresetIdx;
  for (size_t p = 0; p < programs.size(); ++p) {
    mCurrentPresetIdx = static_cast<int>(p);
    for (int i = 0; i < NParams(); ++i) GetParam(i)->SetNormalized(programs[p].values[static_cast<size_t>(i)]);
    IPreset* preset = GetPreset(mCurrentPresetIdx);
    preset->mInitialized = true;
    ModifyCurrentPreset(programs[p].name);
  }
  mCurrentPresetIdx = current;
  RestorePreset(mCurrentPresetIdx);
  return true;
}

}  // namespace plugkit
