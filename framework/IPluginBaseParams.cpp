// The plug-in base's parameters: serialisation as one double per parameter, and the
// helpers that initialise, copy, default and randomise ranges and groups.
#include "framework/IPluginBase.h"

#include <cstdlib>
#include <cstring>

namespace plugkit {

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

}  // namespace plugkit
