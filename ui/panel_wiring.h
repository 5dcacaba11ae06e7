#pragma once
// The function objects that connect the panel's controls to the plug-in: every getter,
// callback and hook the layout hands a control, built over the plug-in's editor services
// (plugin/editor_services.h). Each captures the services object (and, where said, a
// control of the same graphics context, which outlives it) and runs on the main thread
// inside a control's draw, mouse, menu or text-entry handler.
#include <functional>
#include <optional>
#include <string>

#include "plugin/editor_services.h"
#include "ui/chips.h"
#include "ui/loudness_control.h"
#include "ui/preset_bar.h"
#include "ui/readouts_control.h"
#include "ui/settings_menu.h"
#include "ui/spectrum_control.h"
#include "ui/update_pill.h"

namespace balance_panel {

using spectrapoise::plugin::EditorServices;

// A chip's four functions.
struct ChipFunctions {
  ChipControl::LabelGetter label;
  ChipControl::MenuFiller fillMenu;
  ChipControl::PickHandler pick;
  ChipControl::TextHandler text;
};

// The target chip: the plug-in's chip text, target menu and menu actions; a typed name
// waits in the plug-in's pending slot for the next idle tick.
ChipFunctions targetChipFunctions(EditorServices& plug);

// The loudness-target chip: "−14 LUFS"; a menu of three targets and "Type a value…",
// which opens an entry (in chipText, centred) holding the target as "-14.0".
ChipFunctions loudnessChipFunctions(EditorServices& plug, const IText& chipText);
// The chip's typed-value rule: the number typed, made negative, on the 0.5 grid, within
// -36..-6; nothing for a null text or one without a number.
std::optional<double> typedLoudnessTarget(const char* text);

// The legend shows "OUTPUT" and "CORRECTION" while a correction is wanted.
std::function<bool()> legendExtraItems(EditorServices& plug);
SpectrumControl::ViewGetter spectrumViewGetter(EditorServices& plug);
ReadoutsControl::ReadoutsGetter readoutsGetter(EditorServices& plug);

// The amount captions' suffix while "Correct" is on: " · +1.2/oct" for the tilt (band
// kTiltSuffix), " · −0.8 dB" for the gain of band 0..3 (low, lo-mid, hi-mid, high); "".
inline constexpr int kTiltSuffix = -1;
std::function<std::string()> captionSuffix(EditorServices& plug, int band);

// The loudness meter's reading, its click (swap short-term and integrated) and its double
// click (swap, and reset the integrated measurement).
LoudnessControl::ReadingGetter loudnessReadingGetter(EditorServices& plug);
std::function<void()> loudnessClick(EditorServices& plug);
std::function<void()> loudnessDoubleClick(EditorServices& plug);

// The settings menu's actions: resolution, accent and window size from the plug-in, the
// update item from the pill (null: no update item).
SettingsMenuControl::Actions settingsActions(EditorServices& plug, brightloom::controls::UpdatePillControl* pill);
// Opens the settings menu on a rectangle (the preset bar's menu button).
std::function<void(const IRECT&)> settingsOpener(SettingsMenuControl& menu);

// The title ends 10 units left of the update pill, or at 504 without one.
brightloom::controls::UpdatePillControl::Relayout titleRelayout(ICanvas& g);

// The preset bar's hooks over the plug-in's presets. A save under a name whose file exists
// (another preset's, or one that cannot be checked) waits for the next idle tick, which
// asks before replacing.
brightloom::controls::PresetHooks presetHooks(EditorServices& plug);

}  // namespace balance_panel
