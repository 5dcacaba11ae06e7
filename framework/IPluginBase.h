#pragma once
// The part of the plug-in object that knows its identity (names, version, ids), the
// host's identity once known, the parameter groups, the framework preset list, and how
// parameter values are written to and read from a byte chunk.
#include <cstdint>
#include <functional>
#include <initializer_list>
#include <utility>
#include <vector>

#include "framework/ICanvasEditorDelegate.h"
#include "framework/IByteChunk.h"
#include "framework/IPlugStructs.h"
#include "framework/PtrList.h"
#include "framework/StringBuf.h"

namespace plugkit {

// One framework preset (a program, in the host's terms).
struct IPreset {
  static constexpr int kNameLen = 256;
  bool mInitialized = false;
  char mName[kNameLen] = "empty";
  IByteChunk mChunk;
};

class IPluginBase : public canvas::ICanvasEditorDelegate {
public:
  IPluginBase(int nParams, int nPresets);
  ~IPluginBase() override;

  // Identity.
  const char* GetPluginName() const { return mPluginName.Get(); }
  const char* GetProductName() const { return mProductName.Get(); }
  const char* GetMfrName() const { return mMfrName.Get(); }
  int GetUniqueID() const { return mUniqueID; }
  int GetMfrID() const { return mMfrID; }
  // The packed version (major in bits 16 and up, minor 8-15, patch 0-7), or with decimal
  // major * 10000 + minor * 100 + patch.
  int GetPluginVersion(bool decimal) const;
  void GetPluginVersionStr(StringBuf& out) const;
  int GetHostVersion(bool decimal) const;
  void GetHostVersionStr(StringBuf& out) const;
  EHost GetHost() const { return mHost; }
  const char* GetHostName() const { return mHostName.Get(); }
  EAPI GetAPI() const { return mAPI; }
  const char* GetAPIStr() const;
  const char* GetArchStr() const { return "x86-64"; }
  void GetBuildInfoStr(StringBuf& out, const char* date, const char* time) const;
  const char* GetBundleID() const { return mBundleID.Get(); }
  const char* GetAppGroupID() const { return mAppGroupID.Get(); }
  bool HasUI() const { return mHasUI; }
  bool GetHostResizeEnabled() const { return mHostResize; }
  bool DoesStateChunks() const { return mStateChunks; }

  // Parameter groups (texts owned by the parameters).
  int NParamGroups() const { return static_cast<int>(mParamGroups.size()); }
  int AddParamGroup(const char* name);
  const char* GetParamGroupName(int idx) const {
    return (idx >= 0 && idx < NParamGroups()) ? mParamGroups[static_cast<size_t>(idx)] : "";
  }
  void ClearParamGroups() { mParamGroups.clear(); }

  // Parameter serialisation: one 8-byte double per parameter, in index order.
  // SerializeParams answers false when the chunk could not grow.
  bool SerializeParams(IByteChunk& chunk) const;
  // Answers the position after the last value, -1 when the chunk was too short (the
  // values read so far stay set), start itself when start is negative. Always ends with
  // OnParamReset(kPresetRecall).
  int UnserializeParams(const IByteChunk& chunk, int startPos);

  virtual void InformHostOfParameterDetailsChange() {}
  virtual bool SerializeState(IByteChunk& chunk) const { return SerializeParams(chunk); }
  virtual int UnserializeState(const IByteChunk& chunk, int startPos) { return UnserializeParams(chunk, startPos); }
  virtual bool SerializeVST3CtrlrState(IByteChunk& chunk) const { return true; }
  virtual int UnserializeVST3CtrlrState(const IByteChunk& chunk, int startPos) { return startPos; }
  virtual void InformHostOfPresetChange() {}
  virtual void OnPresetsModified() {}

  // Parameter helpers.
  void InitParamRange(int startIdx, int endIdx, int countStart, const char* nameFmtStr, double defaultVal,
                      double minVal, double maxVal, double step, const char* label = "", int flags = 0,
                      const char* group = "", const IParam::Shape& shape = IParam::ShapeLinear(),
                      IParam::EParamUnit unit = IParam::kUnitCustom, IParam::DisplayFunc displayFunc = nullptr);
  void CloneParamRange(int cloneStartIdx, int cloneEndIdx, int startIdx, const char* searchStr = "",
                       const char* replaceStr = "", const char* newGroup = "");
  void CopyParamValues(int startIdx, int destIdx, int nParams);
  void CopyParamValues(const char* inGroup, const char* outGroup);
  void ForParamInRange(int startIdx, int endIdx, const std::function<void(int paramIdx, IParam& param)>& func);
  void ForParamInGroup(const char* paramGroup, const std::function<void(int paramIdx, IParam& param)>& func);
  void DefaultParamValues();
  void DefaultParamValues(int startIdx, int endIdx);
  void DefaultParamValues(const char* paramGroup);
  void RandomiseParamValues();
  void RandomiseParamValues(int startIdx, int endIdx);
  void RandomiseParamValues(const char* paramGroup);
  void PrintParamValues();

  // Presets. The filling operations fill the first preset not yet initialised.
  int NPresets() const { return mPresets.GetSize(); }
  int GetCurrentPresetIdx() const { return mCurrentPresetIdx; }
  const char* GetPresetName(int idx) const;
  bool MakeDefaultPreset(const char* name = nullptr, int nPresets = 1);
  // One value per parameter in index order.
  bool MakePreset(const char* name, std::initializer_list<double> values);
  // Pairs of (parameter index, value); parameters not named keep their current value.
  bool MakePresetFromNamedParams(const char* name, std::initializer_list<std::pair<int, double>> values);
  bool MakePresetFromChunk(const char* name, const IByteChunk& chunk);
  // Decodes standard Base64 (stopping at the first character outside the alphabet or
  // after size bytes) into the preset's state.
  bool MakePresetFromBlob(const char* name, const char* base64, int size);
  void EnsureDefaultPreset();
  void PruneUninitializedPresets();
  bool RestorePreset(int idx);
  bool RestorePreset(const char* name);
  void ModifyCurrentPreset(const char* name = nullptr);
  bool SerializePresets(IByteChunk& chunk) const;
  int UnserializePresets(const IByteChunk& chunk, int startPos);

  // Source-code dumps (appended to the file at path).
  bool DumpMakePresetSrc(const char* path) const;
  bool DumpMakePresetFromNamedParamsSrc(const char* path, const char* paramEnumNames[]) const;
  bool DumpPresetBlob(const char* path) const;

  // VST2 program and bank files.
  bool SavePresetAsFXP(const char* path) const;
  bool SaveBankAsFXB(const char* path) const;
  bool LoadPresetFromFXP(const char* path);
  bool LoadBankFromFXB(const char* path);

protected:
  IPreset* GetPreset(int idx) { return mPresets.Get(idx); }
  const IPreset* GetPreset(int idx) const { return mPresets.Get(idx); }
  IPreset* FirstUninitializedPreset();
  // The current state with the FXP chunk magic in front, for "FPCh" programs.
  bool SerializeFXPState(IByteChunk& chunk) const;

  int mCurrentPresetIdx = 0;
  bool mStateChunks = false;
  StringBuf mPluginName;
  StringBuf mProductName;
  StringBuf mMfrName;
  int mUniqueID = 0;
  int mMfrID = 0;
  int mVersion = 0;
  int mHostVersion = 0;
  EHost mHost = kHostUninit;
  StringBuf mHostName;
  EAPI mAPI = kAPIVST3;
  StringBuf mBundleID;
  StringBuf mAppGroupID;
  bool mHasUI = false;
  bool mHostResize = false;
  std::vector<const char*> mParamGroups;
  PtrList<IPreset> mPresets;
};

}  // namespace plugkit
