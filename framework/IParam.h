#pragma once
// One plug-in parameter: an atomically stored real value inside a range, a shape that
// maps it to and from a normalised 0..1 value, an optional step, and its display text.
//
// The value is the only field written after declaration; every other field is set while
// the plug-in is constructed and only read afterwards. Value(), Constrain(),
// FromNormalized() and ToNormalized() allocate nothing and take no lock (audio thread).
// Non-finite values never reach the stored value.
#include <atomic>
#include <cmath>
#include <functional>
#include <initializer_list>
#include <memory>
#include <vector>

#include "framework/StringBuf.h"

namespace plugkit {

class IParam {
public:
  enum EParamType { kTypeNone = 0, kTypeBool = 1, kTypeInt = 2, kTypeEnum = 3, kTypeDouble = 4 };
  enum EParamUnit {
    kUnitPercentage = 0,
    kUnitSeconds = 1,
    kUnitMilliseconds = 2,
    kUnitSamples = 3,
    kUnitDB = 4,
    kUnitLinearGain = 5,
    kUnitPan = 6,
    kUnitPhase = 7,
    kUnitDegrees = 8,
    kUnitMeters = 9,
    kUnitRate = 10,
    kUnitRatio = 11,
    kUnitFrequency = 12,
    kUnitOctaves = 13,
    kUnitCents = 14,
    kUnitAbsCents = 15,
    kUnitSemitones = 16,
    kUnitMIDINote = 17,
    kUnitMIDICtrlNum = 18,
    kUnitBPM = 19,
    kUnitBeats = 20,
    kUnitCustom = 21,
  };
  enum EFlags {
    kFlagsNone = 0,
    kFlagCannotAutomate = 0x1,
    kFlagStepped = 0x2,
    kFlagNegateDisplay = 0x4,
    kFlagSignDisplay = 0x8,
  };

  static constexpr int kNameLen = 32;  // names, labels, groups and display texts keep 31 characters

  using DisplayFunc = std::function<void(double value, StringBuf& out)>;

  // How a parameter maps between normalised 0..1 and real values.
  struct Shape {
    virtual ~Shape() = default;
    virtual Shape* Clone() const = 0;
    virtual void Init(const IParam& param) {}
    virtual int GetDisplayType() const = 0;
    virtual double NormalizedToValue(double normalized, const IParam& param) const = 0;
    virtual double ValueToNormalized(double value, const IParam& param) const = 0;
  };

  struct ShapeLinear : public Shape {
    Shape* Clone() const override { return new ShapeLinear(*this); }
    int GetDisplayType() const override { return 0; }
    double NormalizedToValue(double normalized, const IParam& param) const override;
    double ValueToNormalized(double value, const IParam& param) const override;
  };

  struct ShapePowCurve : public Shape {
    explicit ShapePowCurve(double shape) : mShape(shape) {}
    Shape* Clone() const override { return new ShapePowCurve(*this); }
    int GetDisplayType() const override;
    double NormalizedToValue(double normalized, const IParam& param) const override;
    double ValueToNormalized(double value, const IParam& param) const override;
    double mShape;
  };

  // value = exp(normalised * mul + add), from max(min, 1e-8) to max.
  struct ShapeExp : public Shape {
    Shape* Clone() const override { return new ShapeExp(*this); }
    void Init(const IParam& param) override;
    int GetDisplayType() const override { return 1; }
    double NormalizedToValue(double normalized, const IParam& param) const override;
    double ValueToNormalized(double value, const IParam& param) const override;
    double mMul = 1.0;
    double mAdd = 1.0;
  };

  IParam();
  ~IParam();
  IParam(const IParam&) = delete;
  IParam& operator=(const IParam&) = delete;

  // Declaration. Each fills in its arguments and calls InitDouble; display texts are
  // appended, never cleared.
  void InitBool(const char* name, bool defaultValue, const char* label = "", int flags = 0, const char* group = "",
                const char* offText = "off", const char* onText = "on");
  void InitEnum(const char* name, int defaultValue, int nEnums, const char* label = "", int flags = 0,
                const char* group = "", const char* listItems = nullptr, ...);
  void InitEnum(const char* name, int defaultValue, std::initializer_list<const char*> listItems, int flags = 0,
                const char* group = "");
  void InitInt(const char* name, int defaultValue, int minVal, int maxVal, const char* label = "", int flags = 0,
               const char* group = "");
  void InitDouble(const char* name, double defaultVal, double minVal, double maxVal, double step,
                  const char* label = "", int flags = 0, const char* group = "", const Shape& shape = ShapeLinear(),
                  EParamUnit unit = kUnitCustom, DisplayFunc displayFunc = nullptr);
  void InitSeconds(const char* name, double defaultVal = 1., double minVal = 0., double maxVal = 10.,
                   double step = 0.1, int flags = 0, const char* group = "");
  void InitMilliseconds(const char* name, double defaultVal = 1., double minVal = 0., double maxVal = 100.,
                        int flags = 0, const char* group = "");
  void InitFrequency(const char* name, double defaultVal = 1000., double minVal = 0.1, double maxVal = 10000.,
                     double step = 0.1, int flags = 0, const char* group = "");
  void InitPitch(const char* name, int defaultVal = 60, int minVal = 0, int maxVal = 128, int flags = 0,
                 const char* group = "", bool middleCisC4 = false);
  void InitGain(const char* name, double defaultVal = 0., double minVal = -70., double maxVal = 24.,
                double step = 0.5, int flags = 0, const char* group = "");
  void InitPercentage(const char* name, double defaultVal = 0., double minVal = 0., double maxVal = 100.,
                      int flags = 0, const char* group = "");
  void InitAngleDegrees(const char* name, double defaultVal = 0., double minVal = 0., double maxVal = 360.,
                        int flags = 0, const char* group = "");
  // A copy of another parameter, with the first occurrence of searchStr in its name
  // replaced by replaceStr, and another group when newGroup is not empty.
  void Init(const IParam& other, const char* searchStr = "", const char* replaceStr = "", const char* newGroup = "");

  // Value access.
  double Value() const { return mValue.load(); }
  bool Bool() const { return Value() >= 0.5; }
  int Int() const { return static_cast<int>(Value()); }
  double DBToAmp() const { return std::pow(10.0, Value() / 20.0); }

  // Rounds to the step when stepped (halves away from zero), then clamps to the range.
  // A NaN becomes the minimum.
  double Constrain(double value) const {
    if ((mFlags & kFlagStepped) && mStep > 0.0) value = std::round(value / mStep) * mStep;
    value = value > mMin ? value : mMin;  // a NaN fails the test: the minimum
    return value < mMax ? value : mMax;
  }
  // A NaN counts as 0; the normalised value is clamped to [0, 1].
  double FromNormalized(double normalized) const {
    normalized = normalized > 0.0 ? normalized : 0.0;  // a NaN fails the test: 0
    normalized = normalized < 1.0 ? normalized : 1.0;
    return Constrain(ShapeToValue(normalized));
  }
  double ToNormalized(double value) const {
    const double n = ValueToShape(Constrain(value));
    if (std::isnan(n)) return 0.0;
    return n < 0.0 ? 0.0 : (n > 1.0 ? 1.0 : n);
  }
  double GetNormalized() const { return ToNormalized(Value()); }

  // Stores Constrain(value); a non-finite value is ignored.
  void Set(double value) {
    if (std::isfinite(value)) mValue.exchange(Constrain(value));
  }
  void SetNormalized(double normalized) { Set(FromNormalized(normalized)); }
  void SetToDefault() { mValue.exchange(mDefault); }
  void SetDisplayPrecision(int precision) { mDisplayPrecision = precision; }

  // Display texts.
  void SetDisplayText(double value, const char* text);
  int NDisplayTexts() const { return static_cast<int>(mDisplayTexts.size()); }
  const char* GetDisplayText(double value) const;
  const char* GetDisplayTextAtIdx(int idx, double* pValue = nullptr) const;
  bool MapDisplayText(const char* text, double* pValue) const;

  // Text conversion. Numbers are formatted in the "C" locale, whatever the host set.
  void GetDisplay(double value, bool normalized, StringBuf& display, bool withDisplayText = true) const;
  void GetDisplay(StringBuf& display, bool withDisplayText = true) const {
    GetDisplay(Value(), false, display, withDisplayText);
  }
  void GetDisplayWithLabel(StringBuf& display, bool withDisplayText = true) const;
  // The value for a text: an exact display text, else (bool and enum: 0) the leading
  // decimal number (a leading U+2212 counts as minus), negated for a negated display,
  // stepped and clamped. parsed, when given, tells whether the text matched a display
  // text or began with a number; without either the number read is 0, so the answer is
  // 0 clamped to the range (a bool or enum answers 0).
  double StringToValue(const char* text, bool* parsed = nullptr) const;
  void GetJSON(StringBuf& json, int idx) const;
  void PrintDetails() const {}

  // Fields.
  EParamType Type() const { return mType; }
  EParamUnit Unit() const { return mUnit; }
  const char* GetName() const { return mName; }
  const char* GetLabel() const;  // "" when the current value has its own display text
  const char* GetGroup() const { return mParamGroup; }
  const char* GetCustomUnit() const { return mLabel; }
  double GetMin() const { return mMin; }
  double GetMax() const { return mMax; }
  void GetBounds(double& lo, double& hi) const {
    lo = mMin;
    hi = mMax;
  }
  double GetRange() const { return mMax - mMin; }
  double GetStep() const { return mStep; }
  double GetDefault(bool normalized = false) const { return normalized ? ToNormalized(mDefault) : mDefault; }
  int GetDisplayPrecision() const { return mDisplayPrecision; }
  int GetFlags() const { return mFlags; }
  bool GetCanAutomate() const { return !(mFlags & kFlagCannotAutomate); }
  bool GetStepped() const { return mFlags & kFlagStepped; }
  bool GetNegateDisplay() const { return mFlags & kFlagNegateDisplay; }
  bool GetSignDisplay() const { return mFlags & kFlagSignDisplay; }
  const Shape* GetShape() const { return mShape.get(); }
  // 0 linear, 1 power curve, 2 exponential, 3 any other shape.
  int GetShapeID() const;
  // The exponent of a power curve, else 0.
  double GetShapeValue() const;
  const DisplayFunc& GetDisplayFunc() const { return mDisplayFunction; }

private:
  // The stock shapes are mapped inline (no virtual call on the audio thread); any other
  // shape goes through its own functions.
  enum class FastShape : unsigned char { kLinear, kExp, kOther };
  double ShapeToValue(double n) const {
    switch (mFastShape) {
      case FastShape::kLinear: return mMin + n * (mMax - mMin);
      case FastShape::kExp: return std::exp(n * mExpMul + mExpAdd);
      default: return mShape->NormalizedToValue(n, *this);
    }
  }
  double ValueToShape(double v) const {
    switch (mFastShape) {
      case FastShape::kLinear: return mMax != mMin ? (v - mMin) / (mMax - mMin) : 0.0;
      case FastShape::kExp: return mExpMul != 0.0 ? (std::log(v) - mExpAdd) / mExpMul : 0.0;
      default: return mShape->ValueToNormalized(v, *this);
    }
  }

  struct DisplayText {
    double mValue;
    char mText[kNameLen];
  };

  EParamType mType = kTypeNone;
  EParamUnit mUnit = kUnitCustom;
  std::atomic<double> mValue{0.0};
  double mMin = 0.0;
  double mMax = 1.0;
  double mStep = 1.0;
  double mDefault = 0.0;
  int mDisplayPrecision = 0;
  int mFlags = 0;
  char mName[kNameLen] = {};
  char mLabel[kNameLen] = {};
  char mParamGroup[kNameLen] = {};
  std::unique_ptr<Shape> mShape;
  FastShape mFastShape = FastShape::kLinear;
  double mExpMul = 1.0;
  double mExpAdd = 1.0;
  DisplayFunc mDisplayFunction;
  std::vector<DisplayText> mDisplayTexts;
};

}  // namespace plugkit
