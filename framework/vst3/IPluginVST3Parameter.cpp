#include "framework/vst3/IPluginVST3Parameter.h"

#include <cmath>

#include "shims/vst3sdk/utf_convert.h"

using namespace Steinberg;
using namespace Steinberg::Vst;

namespace plugkit {

IPluginVST3Parameter::IPluginVST3Parameter(IParam* param, ParamID tag, UnitID unitID) : mIPlugParam(param) {
  vst3shim::utf8ToString128(param->GetName(), info.title);
  vst3shim::utf8ToString128(param->GetCustomUnit(), info.units);
  info.shortTitle[0] = 0;
  precision = param->GetDisplayPrecision();
  info.stepCount = param->Type() != IParam::kTypeDouble
                       ? static_cast<int32>(std::trunc(param->GetMax() - param->GetMin()))
                       : 0;
  const double defaultNormalized = param->ToNormalized(param->GetDefault());
  info.defaultNormalizedValue = defaultNormalized;
  valueNormalized = defaultNormalized;
  int32 flags = 0;
  if (param->GetCanAutomate()) flags |= ParameterInfo::kCanAutomate;
  if (param->Type() == IParam::kTypeEnum) flags |= ParameterInfo::kIsList;
  info.flags = flags;
  info.id = tag;
  info.unitId = unitID;
}

void IPluginVST3Parameter::toString(ParamValue valueNormalized, String128 string) const {
  StringBuf display;
  mIPlugParam->GetDisplay(valueNormalized, true, display, true);
  vst3shim::utf8ToString128(display.Get(), string);
}

bool IPluginVST3Parameter::fromString(const TChar* string, ParamValue& valueNormalized) const {
  if (string == nullptr) return false;
  char text[512];
  vst3shim::utf16ToUtf8(reinterpret_cast<const char16_t*>(string), 256, text, sizeof(text));
  bool parsed = false;
  const double value = mIPlugParam->StringToValue(text, &parsed);
  if (!parsed) return false;
  valueNormalized = mIPlugParam->ToNormalized(value);
  return true;
}

ParamValue IPluginVST3Parameter::toPlain(ParamValue valueNormalized) const {
  return mIPlugParam->FromNormalized(valueNormalized);
}

ParamValue IPluginVST3Parameter::toNormalized(ParamValue plainValue) const {
  return mIPlugParam->ToNormalized(plainValue);
}

IPluginVST3BypassParameter::IPluginVST3BypassParameter()
    : StringListParameter(STR16("Bypass"), kBypassParamId, nullptr,
                          ParameterInfo::kCanAutomate | ParameterInfo::kIsBypass | ParameterInfo::kIsList) {
  appendString(STR16("off"));
  appendString(STR16("on"));
}

}  // namespace plugkit
