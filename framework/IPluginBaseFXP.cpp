// The plug-in base's VST2 program (FXP) and bank (FXB) files: big-endian headers, either
// one opaque state chunk or one normalised float per parameter. Files are written through
// a temporary file and a rename; damaged files change nothing.
#include "framework/IPluginBase.h"

#include <unistd.h>

#include <atomic>
#include <cstdio>
#include <cstring>
#include <string>
#include <string_view>
#include <vector>

#include "framework/FileWrite.h"
#include "framework/IPluginBaseText.h"

namespace plugkit {

namespace {

constexpr int32_t kFXPChunkMagic = 0x70666674;  // in front of an "FPCh"/"FBCh" state
constexpr int32_t kFXPChunkVersion = 0x10000;
constexpr int kFXPNameLen = 28;
constexpr long kMaxPresetFileBytes = 64L * 1024 * 1024;

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

}  // namespace

bool IPluginBase::SerializeFXPState(IByteChunk& chunk) const {
  return chunk.Put(&kFXPChunkMagic) && chunk.Put(&kFXPChunkVersion) && SerializeState(chunk);
}

bool IPluginBase::SavePresetAsFXP(const char* path) const {
  if (path == nullptr || *path == '\0') return false;
  IByteChunk file;
  BigEndianOut out{file};
  char name[kFXPNameLen] = {};
  detail::CopyCut(name, kFXPNameLen, GetPresetName(mCurrentPresetIdx));
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
      detail::CopyCut(name, kFXPNameLen, preset->mName);
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
