#pragma once
// The plug-in's 18 parameters: their indexes (also the VST3 parameter ids), the table they
// are declared from, their display texts, and the step rule the plug-in's own edits use.
#include <array>

#include "framework/Config.h"
#include "framework/IEditorDelegate.h"
#include "framework/IParam.h"

namespace spectrapoise::plugin {

enum ParamIndex : int {
  kBypass = 0,
  kLoudnessTarget = 1,
  kLowCrossover = 2,
  kHighCrossover = 3,
  kCorrect = 4,
  kCorrectTilt = 5,
  kCorrectLow = 6,
  kCorrectLoMid = 7,
  kCorrectHigh = 8,
  kCorrectSpeed = 9,
  kFreeze = 10,
  kFrozenTilt = 11,
  kFrozenLow = 12,
  kFrozenLoMid = 13,
  kFrozenHigh = 14,
  kMidCrossover = 15,
  kCorrectHiMid = 16,
  kFrozenHiMid = 17,
  kParamCount = 18,
};

// Every five-value correction record runs tilt, low, lo-mid, hi-mid, high.
inline constexpr std::array<int, 5> kAmountParams{kCorrectTilt, kCorrectLow, kCorrectLoMid, kCorrectHiMid,
                                                  kCorrectHigh};
inline constexpr std::array<int, 5> kFrozenParams{kFrozenTilt, kFrozenLow, kFrozenLoMid, kFrozenHiMid,
                                                  kFrozenHigh};
// Crossovers in ascending order.
inline constexpr std::array<int, 3> kCrossoverParams{kLowCrossover, kMidCrossover, kHighCrossover};

enum class DisplayKind { kSwitch, kLoudness, kFrequency, kPercent, kSeconds, kGain };

struct ParamSpec {
  const char* name;
  bool isSwitch;
  double defaultValue;
  double min;
  double max;
  double step;
  plugkit::IParam::EParamUnit unit;
  bool exponential;
  DisplayKind display;
};

// Indexed by parameter index.
extern const std::array<ParamSpec, kParamCount> kParamTable;
// The order in which the constructor declares them.
inline constexpr std::array<int, kParamCount> kDeclarationOrder{0, 1, 2, 3, 15, 4, 5, 6, 7, 8, 16, 9, 10, 11, 12, 13, 17, 14};

// The product's configuration: 18 parameters, one preset, "1-1 2-2", a 640 x 400 editor
// within 480..1280 x 300..800, state chunks, an effect without MIDI.
const plugkit::Config& productConfig();

// Declares all 18 parameters on the plug-in's parameter list.
void declareParameters(plugkit::IEditorDelegate& plug);

// The display text of a value of a double parameter (the switches use "off" / "on").
void formatDisplay(DisplayKind kind, double value, StringBuf& out);

// The plug-in's own edits (panel, typed values, freeze capture) snap a value to the
// parameter's step, halves away from zero, whenever the parameter has a step; then clamp.
double snapToStep(const plugkit::IParam& param, double value);
// snapToStep, then through the shape, limited to 0..1.
double normalizedForEdit(const plugkit::IParam& param, double value);

}  // namespace spectrapoise::plugin
