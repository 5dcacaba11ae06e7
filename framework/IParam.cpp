#include "framework/IParam.h"

#include <cstdarg>
#include <cstring>
#include <string>
#include <typeinfo>

namespace plugkit {

namespace {

// Copies at most kNameLen - 1 bytes and always terminates.
void copyName(char (&dst)[IParam::kNameLen], const char* src) {
  if (src == nullptr) src = "";
  std::strncpy(dst, src, IParam::kNameLen - 1);
  dst[IParam::kNameLen - 1] = '\0';
}

bool isWhole(double x) {
  const double r = std::round(x);
  return std::fabs(x - r) <= 1e-9 * std::max(1.0, std::fabs(x));
}

// Decimals shown for a step: 0 for a whole step, else how many times ten the step
// needs to become whole (1..5), else 6.
int precisionForStep(double step) {
  if (isWhole(step)) return 0;
  double x = step;
  for (int i = 1; i <= 5; ++i) {
    x *= 10.0;
    if (isWhole(x)) return i;
  }
  return 6;
}

}  // namespace

double IParam::ShapeLinear::NormalizedToValue(double normalized, const IParam& param) const {
  return param.GetMin() + normalized * (param.GetMax() - param.GetMin());
}

double IParam::ShapeLinear::ValueToNormalized(double value, const IParam& param) const {
  const double range = param.GetMax() - param.GetMin();
  return range != 0.0 ? (value - param.GetMin()) / range : 0.0;
}

int IParam::ShapePowCurve::GetDisplayType() const {
  if (mShape > 2.5) return 6;
  if (mShape > 1.5) return 4;
  if (mShape < 0.4) return 5;
  if (mShape < 2.0 / 3.0) return 3;
  return 0;
}

double IParam::ShapePowCurve::NormalizedToValue(double normalized, const IParam& param) const {
  return param.GetMin() + std::pow(normalized, mShape) * (param.GetMax() - param.GetMin());
}

double IParam::ShapePowCurve::ValueToNormalized(double value, const IParam& param) const {
  const double range = param.GetMax() - param.GetMin();
  if (range == 0.0) return 0.0;
  return std::pow((value - param.GetMin()) / range, 1.0 / mShape);
}

void IParam::ShapeExp::Init(const IParam& param) {
  const double lo = param.GetMin() > 0.0 ? param.GetMin() : 1e-8;
  mAdd = std::log(lo);
  mMul = std::log(param.GetMax() / lo);
}

double IParam::ShapeExp::NormalizedToValue(double normalized, const IParam&) const {
  return std::exp(normalized * mMul + mAdd);
}

double IParam::ShapeExp::ValueToNormalized(double value, const IParam&) const {
  if (mMul == 0.0) return 0.0;
  return (std::log(value) - mAdd) / mMul;
}

IParam::IParam() : mShape(std::make_unique<ShapeLinear>()) {}

IParam::~IParam() = default;

void IParam::InitBool(const char* name, bool defaultValue, const char* label, int flags, const char* group,
                      const char* offText, const char* onText) {
  if (mType == kTypeNone) mType = kTypeBool;
  InitDouble(name, defaultValue ? 1.0 : 0.0, 0.0, 1.0, 1.0, label, flags | kFlagStepped, group, ShapeLinear(),
             kUnitCustom);
  SetDisplayText(0.0, offText);
  SetDisplayText(1.0, onText);
}

void IParam::InitEnum(const char* name, int defaultValue, int nEnums, const char* label, int flags,
                      const char* group, const char* listItems, ...) {
  if (mType == kTypeNone) mType = kTypeEnum;
  InitDouble(name, defaultValue, 0.0, nEnums - 1, 1.0, label, flags | kFlagStepped, group, ShapeLinear(),
             kUnitCustom);
  if (listItems != nullptr) {
    SetDisplayText(0.0, listItems);
    va_list args;
    va_start(args, listItems);
    for (int i = 1; i < nEnums; ++i) SetDisplayText(i, va_arg(args, const char*));
    va_end(args);
  }
}

void IParam::InitEnum(const char* name, int defaultValue, std::initializer_list<const char*> listItems, int flags,
                      const char* group) {
  if (mType == kTypeNone) mType = kTypeEnum;
  InitDouble(name, defaultValue, 0.0, static_cast<double>(listItems.size()) - 1.0, 1.0, "", flags | kFlagStepped,
             group, ShapeLinear(), kUnitCustom);
  int i = 0;
  for (const char* item : listItems) SetDisplayText(i++, item);
}

void IParam::InitInt(const char* name, int defaultValue, int minVal, int maxVal, const char* label, int flags,
                     const char* group) {
  if (mType == kTypeNone) mType = kTypeInt;
  InitDouble(name, defaultValue, minVal, maxVal, 1.0, label, flags | kFlagStepped, group, ShapeLinear(),
             kUnitCustom);
}

void IParam::InitDouble(const char* name, double defaultVal, double minVal, double maxVal, double step,
                        const char* label, int flags, const char* group, const Shape& shape, EParamUnit unit,
                        DisplayFunc displayFunc) {
  if (mType == kTypeNone) mType = kTypeDouble;
  copyName(mName, name);
  copyName(mLabel, label);
  copyName(mParamGroup, group);
  mMin = minVal;
  mMax = std::max(maxVal, minVal + step);
  mStep = step;
  mDefault = defaultVal;
  mUnit = unit;
  mFlags = flags;
  mDisplayFunction = std::move(displayFunc);
  mValue.exchange(Constrain(defaultVal));
  mDisplayPrecision = precisionForStep(step);
  mShape.reset(shape.Clone());
  mShape->Init(*this);
  mFastShape = FastShape::kOther;
  if (typeid(*mShape) == typeid(ShapeLinear)) {
    mFastShape = FastShape::kLinear;
  } else if (typeid(*mShape) == typeid(ShapeExp)) {
    const auto& exp = static_cast<const ShapeExp&>(*mShape);
    mExpMul = exp.mMul;
    mExpAdd = exp.mAdd;
    mFastShape = FastShape::kExp;
  }
}

void IParam::InitSeconds(const char* name, double defaultVal, double minVal, double maxVal, double step, int flags,
                         const char* group) {
  InitDouble(name, defaultVal, minVal, maxVal, step, "Seconds", flags, group, ShapeLinear(), kUnitSeconds);
}

void IParam::InitMilliseconds(const char* name, double defaultVal, double minVal, double maxVal, int flags,
                              const char* group) {
  InitDouble(name, defaultVal, minVal, maxVal, 1.0, "ms", flags, group, ShapeLinear(), kUnitMilliseconds);
}

void IParam::InitFrequency(const char* name, double defaultVal, double minVal, double maxVal, double step,
                           int flags, const char* group) {
  InitDouble(name, defaultVal, minVal, maxVal, step, "Hz", flags, group, ShapeExp(), kUnitFrequency);
}

void IParam::InitPitch(const char* name, int defaultVal, int minVal, int maxVal, int flags, const char* group,
                       bool middleCisC4) {
  static const char* const kNoteNames[12] = {"C ", "C#", "D ", "D#", "E ", "F ", "F#", "G ", "G#", "A ", "A#", "B "};
  const int count = maxVal - minVal + 1;
  if (mType == kTypeNone) mType = kTypeEnum;
  InitDouble(name, defaultVal, 0.0, count - 1, 1.0, "", flags | kFlagStepped, group, ShapeLinear(), kUnitCustom);
  for (int i = 0; i < count; ++i) {
    const int note = minVal + i;
    const int pitchClass = ((note % 12) + 12) % 12;
    const int octave = note / 12 - (middleCisC4 ? 1 : 2);
    StringBuf text;
    text.SetFormatted(kNameLen - 1, "%s%i", kNoteNames[pitchClass], octave);
    SetDisplayText(i, text.Get());
  }
}

void IParam::InitGain(const char* name, double defaultVal, double minVal, double maxVal, double step, int flags,
                      const char* group) {
  InitDouble(name, defaultVal, minVal, maxVal, step, "dB", flags, group, ShapeLinear(), kUnitDB);
}

void IParam::InitPercentage(const char* name, double defaultVal, double minVal, double maxVal, int flags,
                            const char* group) {
  InitDouble(name, defaultVal, minVal, maxVal, 1.0, "%", flags, group, ShapeLinear(), kUnitPercentage);
}

void IParam::InitAngleDegrees(const char* name, double defaultVal, double minVal, double maxVal, int flags,
                              const char* group) {
  InitDouble(name, defaultVal, minVal, maxVal, 1.0, "degrees", flags, group, ShapeLinear(), kUnitDegrees);
}

void IParam::Init(const IParam& other, const char* searchStr, const char* replaceStr, const char* newGroup) {
  std::string name = other.GetName();
  if (searchStr != nullptr && *searchStr != '\0') {
    const size_t at = name.find(searchStr);
    if (at != std::string::npos) name.replace(at, std::strlen(searchStr), replaceStr ? replaceStr : "");
  }
  if (mType == kTypeNone) mType = other.Type();
  const char* group = (newGroup != nullptr && *newGroup != '\0') ? newGroup : other.GetGroup();
  InitDouble(name.c_str(), other.GetDefault(), other.GetMin(), other.GetMax(), other.GetStep(),
             other.GetCustomUnit(), other.GetFlags(), group, *other.GetShape(), other.Unit(),
             other.GetDisplayFunc());
  for (int i = 0; i < other.NDisplayTexts(); ++i) {
    double value = 0.0;
    const char* text = other.GetDisplayTextAtIdx(i, &value);
    SetDisplayText(value, text);
  }
}

void IParam::SetDisplayText(double value, const char* text) {
  DisplayText entry{value, {}};
  copyName(entry.mText, text);
  mDisplayTexts.push_back(entry);
}

const char* IParam::GetDisplayText(double value) const {
  for (const DisplayText& entry : mDisplayTexts)
    if (entry.mValue == value) return entry.mText;
  return "";
}

const char* IParam::GetDisplayTextAtIdx(int idx, double* pValue) const {
  if (idx < 0 || idx >= NDisplayTexts()) return "";
  const DisplayText& entry = mDisplayTexts[static_cast<size_t>(idx)];
  if (pValue != nullptr) *pValue = entry.mValue;
  return entry.mText;
}

bool IParam::MapDisplayText(const char* text, double* pValue) const {
  if (text == nullptr) return false;
  for (const DisplayText& entry : mDisplayTexts) {
    if (std::strcmp(entry.mText, text) == 0) {
      if (pValue != nullptr) *pValue = entry.mValue;
      return true;
    }
  }
  return false;
}

void IParam::GetDisplay(double value, bool normalized, StringBuf& display, bool withDisplayText) const {
  if (normalized) value = FromNormalized(value);

  if (mDisplayFunction) {
    mDisplayFunction(value, display);
    return;
  }

  if (withDisplayText) {
    for (const DisplayText& entry : mDisplayTexts) {
      if (entry.mValue == value) {
        if (entry.mText[0] != '\0') {
          display.Set(entry.mText, kNameLen);
          return;
        }
        break;
      }
    }
  }

  double shown = GetNegateDisplay() ? -value : value;
  if (shown == 0.0) shown = 0.0;  // never a minus zero

  if (mDisplayPrecision == 0) {
    double rounded = std::round(shown);
    if (rounded == 0.0) rounded = 0.0;
    display.SetFormatted(kNameLen, "%.0f", rounded);
  } else if (GetSignDisplay() && shown != 0.0) {
    display.SetFormatted(kNameLen, "%+.*f", mDisplayPrecision, shown);
  } else {
    display.SetFormatted(kNameLen, "%.*f", mDisplayPrecision, shown);
  }
}

const char* IParam::GetLabel() const {
  const double value = Value();
  const double truncated = std::trunc(value);
  for (const DisplayText& entry : mDisplayTexts)
    if (entry.mValue == truncated && entry.mText[0] != '\0') return "";
  return mLabel;
}

void IParam::GetDisplayWithLabel(StringBuf& display, bool withDisplayText) const {
  GetDisplay(Value(), false, display, withDisplayText);
  const char* label = GetLabel();
  if (label[0] != '\0') {
    display.Append(" ");
    display.Append(label);
  }
}

double IParam::StringToValue(const char* text, bool* parsed) const {
  if (parsed != nullptr) *parsed = false;
  if (text == nullptr) return Constrain(0.0);

  double mapped = 0.0;
  if (MapDisplayText(text, &mapped)) {
    if (parsed != nullptr) *parsed = true;
    return mapped;
  }
  if (mType == kTypeBool || mType == kTypeEnum) return 0.0;

  // Skip blanks; a leading U+2212 (minus sign) reads as '-'.
  const char* p = text;
  while (*p == ' ' || *p == '\t' || *p == '\n' || *p == '\r' || *p == '\f' || *p == '\v') ++p;
  char buffer[64];
  const char* number = p;
  if (static_cast<unsigned char>(p[0]) == 0xE2 && static_cast<unsigned char>(p[1]) == 0x88 &&
      static_cast<unsigned char>(p[2]) == 0x92) {
    buffer[0] = '-';
    std::strncpy(buffer + 1, p + 3, sizeof(buffer) - 2);
    buffer[sizeof(buffer) - 1] = '\0';
    number = buffer;
  }

  char* end = nullptr;
  double value = ParseDoubleCLocale(number, &end);
  if (end == number || !std::isfinite(value)) return Constrain(0.0);  // no number reads as 0, kept in range
  if (parsed != nullptr) *parsed = true;
  if (GetNegateDisplay()) value = -value;
  return Constrain(value);
}

void IParam::GetJSON(StringBuf& json, int idx) const {
  constexpr int kMax = 8192;
  json.AppendFormatted(kMax, "{");
  json.AppendFormatted(kMax, "\"id\":%i, ", idx);
  json.AppendFormatted(kMax, "\"name\":\"%s\", ", GetName());
  switch (mType) {
    case kTypeBool: json.AppendFormatted(kMax, "\"type\":\"%s\", ", "bool"); break;
    case kTypeInt: json.AppendFormatted(kMax, "\"type\":\"%s\", ", "int"); break;
    case kTypeEnum: json.AppendFormatted(kMax, "\"type\":\"%s\", ", "enum"); break;
    case kTypeDouble: json.AppendFormatted(kMax, "\"type\":\"%s\", ", "float"); break;
    default: break;
  }
  json.AppendFormatted(kMax, "\"min\":%f, ", GetMin());
  json.AppendFormatted(kMax, "\"max\":%f, ", GetMax());
  json.AppendFormatted(kMax, "\"default\":%f, ", GetDefault());
  json.AppendFormatted(kMax, "\"display_type\":%i, ", mShape->GetDisplayType());
  json.AppendFormatted(kMax, "\"rate\":\"control\"");
  json.AppendFormatted(kMax, "}");
}

int IParam::GetShapeID() const {
  const Shape* shape = mShape.get();
  if (dynamic_cast<const ShapeLinear*>(shape) != nullptr) return 0;
  if (dynamic_cast<const ShapePowCurve*>(shape) != nullptr) return 1;
  if (dynamic_cast<const ShapeExp*>(shape) != nullptr) return 2;
  return 3;
}

double IParam::GetShapeValue() const {
  if (const auto* pow = dynamic_cast<const ShapePowCurve*>(mShape.get())) return pow->mShape;
  return 0.0;
}

}  // namespace plugkit
