#include "plugin/parameters.h"

#include <cmath>

#include "plugin/version.h"

namespace spectrapoise::plugin {

namespace {
using U = plugkit::IParam;
constexpr auto kSwitchDisplay = DisplayKind::kSwitch;
}  // namespace

const std::array<ParamSpec, kParamCount> kParamTable{{
    {"Bypass", true, 0, 0, 1, 1, U::kUnitCustom, false, kSwitchDisplay},
    {"Loudness Target", false, -14, -36, -6, 0.5, U::kUnitCustom, false, DisplayKind::kLoudness},
    {"Low Crossover", false, 200, 60, 800, 1, U::kUnitFrequency, true, DisplayKind::kFrequency},
    {"High Crossover", false, 6000, 1500, 16000, 10, U::kUnitFrequency, true, DisplayKind::kFrequency},
    {"Correct", true, 0, 0, 1, 1, U::kUnitCustom, false, kSwitchDisplay},
    {"Correct Tilt", false, 50, 0, 100, 1, U::kUnitPercentage, false, DisplayKind::kPercent},
    {"Correct Low", false, 50, 0, 100, 1, U::kUnitPercentage, false, DisplayKind::kPercent},
    {"Correct Lo-Mid", false, 50, 0, 100, 1, U::kUnitPercentage, false, DisplayKind::kPercent},
    {"Correct High", false, 50, 0, 100, 1, U::kUnitPercentage, false, DisplayKind::kPercent},
    {"Correct Speed", false, 15, 2, 60, 0.1, U::kUnitSeconds, true, DisplayKind::kSeconds},
    {"Freeze", true, 0, 0, 1, 1, U::kUnitCustom, false, kSwitchDisplay},
    {"Frozen Tilt", false, 0, -24, 24, 0.01, U::kUnitDB, false, DisplayKind::kGain},
    {"Frozen Low", false, 0, -24, 24, 0.01, U::kUnitDB, false, DisplayKind::kGain},
    {"Frozen Lo-Mid", false, 0, -24, 24, 0.01, U::kUnitDB, false, DisplayKind::kGain},
    {"Frozen High", false, 0, -24, 24, 0.01, U::kUnitDB, false, DisplayKind::kGain},
    {"Mid Crossover", false, 2000, 400, 6000, 10, U::kUnitFrequency, true, DisplayKind::kFrequency},
    {"Correct Hi-Mid", false, 50, 0, 100, 1, U::kUnitPercentage, false, DisplayKind::kPercent},
    {"Frozen Hi-Mid", false, 0, -24, 24, 0.01, U::kUnitDB, false, DisplayKind::kGain},
}};

void formatDisplay(DisplayKind kind, double value, StringBuf& out) {
  // StringBuf formats in the "C" locale whatever the host set for LC_NUMERIC.
  constexpr int kMax = 32;
  switch (kind) {
    case DisplayKind::kLoudness: out.SetFormatted(kMax, "%.1f LUFS", value); break;
    case DisplayKind::kFrequency:
      if (value >= 1000.0)
        out.SetFormatted(kMax, "%.2f kHz", value / 1000.0);
      else
        out.SetFormatted(kMax, "%.0f Hz", value);
      break;
    case DisplayKind::kPercent: out.SetFormatted(kMax, "%.0f %%", value); break;
    case DisplayKind::kSeconds:
      if (value < 10.0)
        out.SetFormatted(kMax, "%.1f s", value);
      else
        out.SetFormatted(kMax, "%.0f s", value);
      break;
    case DisplayKind::kGain: out.SetFormatted(kMax, "%+.2f dB", value); break;
    case DisplayKind::kSwitch: out.Set(value >= 0.5 ? "on" : "off"); break;
  }
}

void declareParameters(plugkit::IEditorDelegate& plug) {
  for (const int index : kDeclarationOrder) {
    const ParamSpec& spec = kParamTable[static_cast<std::size_t>(index)];
    plugkit::IParam* param = plug.GetParam(index);
    if (spec.isSwitch) {
      param->InitBool(spec.name, spec.defaultValue >= 0.5, "", 0, "", "off", "on");
      continue;
    }
    const DisplayKind kind = spec.display;
    auto display = [kind](double value, StringBuf& out) { formatDisplay(kind, value, out); };
    if (spec.exponential)
      param->InitDouble(spec.name, spec.defaultValue, spec.min, spec.max, spec.step, "", 0, "",
                        plugkit::IParam::ShapeExp(), spec.unit, display);
    else
      param->InitDouble(spec.name, spec.defaultValue, spec.min, spec.max, spec.step, "", 0, "",
                        plugkit::IParam::ShapeLinear(), spec.unit, display);
  }
}

double snapToStep(const plugkit::IParam& param, double value) {
  const double step = param.GetStep();
  if (step > 0.0) value = std::round(value / step) * step;
  const double lo = param.GetMin();
  const double hi = param.GetMax();
  return value < lo ? lo : (value > hi ? hi : value);
}

double normalizedForEdit(const plugkit::IParam& param, double value) {
  const plugkit::IParam::Shape* shape = param.GetShape();
  double n = shape->ValueToNormalized(snapToStep(param, value), param);
  if (std::isnan(n)) return 0.0;
  return n < 0.0 ? 0.0 : (n > 1.0 ? 1.0 : n);
}

const plugkit::Config& productConfig() {
  static const plugkit::Config c = [] {
    plugkit::Config k;
    k.paramCount = kParamCount;
    k.presetCount = 1;
    k.channelIO = "1-1 2-2";
    k.name = "SpectraPoise";
    k.product = "SpectraPoise";
    k.maker = "Brightloom";
    k.version = kVersionCode;
    k.pluginCode = static_cast<int>(plugkit::FourCC("BrSp"));
    k.makerCode = static_cast<int>(plugkit::FourCC("Brlm"));
    k.latency = 0;
    k.takesMidi = false;
    k.sendsMidi = false;
    k.takesMpe = false;
    k.stateIsChunk = true;
    k.pluginKind = 0;
    k.hasEditor = true;
    k.editorWidth = 640;
    k.editorHeight = 400;
    k.minWidth = 480;
    k.maxWidth = 1280;
    k.minHeight = 300;
    k.maxHeight = 800;
    k.hostResizes = true;
    k.bundleId = "com.Brightloom.vst3.SpectraPoise";
    k.appGroupId = "group.com.Brightloom.SpectraPoise";
    return k;
  }();
  return c;
}

}  // namespace spectrapoise::plugin
