#include "ui/panel_wiring.h"

#include <algorithm>
#include <cmath>
#include <filesystem>
#include <system_error>

#include "engine/dsp/correction_filters.h"
#include "graphics/ICanvas.h"
#include "plugin/parameters.h"
#include "plugin/preset_format.h"
#include "plugin/typed_value.h"
#include "services/updates.h"
#include "ui/panel_text.h"

namespace balance_panel {

using brightloom::controls::PresetHooks;
using brightloom::controls::UpdatePillControl;
using spectrapoise::plugin::kCorrect;
using spectrapoise::plugin::kLoudnessTarget;

namespace {

constexpr int kTitleTag = 0;
constexpr IRECT kTitle{20.f, 41.f, 504.f, 69.f};
constexpr float kTitleGap = 10.f;  // between the title's end and the pill

struct LoudnessChoice {
  const char* text;
  double lufs;
};
// U+2212 minus and U+00B7 middle dot.
constexpr LoudnessChoice kLoudnessChoices[3] = {
    {"\xE2\x88\x92" "14 LUFS \xC2\xB7 streaming", -14.0},
    {"\xE2\x88\x92" "16 LUFS", -16.0},
    {"\xE2\x88\x92" "23 LUFS \xC2\xB7 broadcast", -23.0},
};
constexpr int kTypeValueItem = 4;
constexpr int kLoudnessEntryLength = 16;

// The first saved preset of that name, run through act; nothing when none has it.
template <class Act>
void withPresetNamed(EditorServices& plug, const std::string& name, Act act) {
  for (const brightloom::presets::SavedPreset& preset : plug.savedPresets())
    if (preset.name == name) {
      act(preset);
      return;
    }
}

// Whether saving under the name may replace nothing: no file at the path a preset of that
// name would take. A path that cannot be checked counts as taken.
bool presetPathFree(EditorServices& plug, const std::string& name) {
  try {
    const std::filesystem::path path =
        brightloom::presets::presetPathForName(spectrapoise::offline::kPresetFormat, plug.presetDirectory(), name);
    if (path.empty()) return false;
    std::error_code ec;
    return std::filesystem::status(path, ec).type() == std::filesystem::file_type::not_found;
  } catch (const std::exception&) {
    return false;
  }
}

}  // namespace

ChipFunctions targetChipFunctions(EditorServices& plug) {
  ChipFunctions f;
  f.label = [&plug] { return plug.targetChipLabel(); };
  f.fillMenu = [&plug](IPopupMenu& menu) { plug.buildTargetMenu(menu); };
  f.pick = [&plug](ChipControl&, int index) {
    if (index >= 0 && static_cast<std::size_t>(index) < plug.targetMenuActionCount()) plug.runTargetMenuAction(index);
  };
  f.text = [&plug](const char* text) {
    if (text != nullptr) plug.setPendingTargetName(text);
  };
  return f;
}

std::optional<double> typedLoudnessTarget(const char* text) {
  if (text == nullptr) return std::nullopt;
  std::optional<double> v = spectrapoise::plugin::parseTypedValue(text, -1000.0, 1000.0, false);
  if (!v) return std::nullopt;
  const double negative = -std::fabs(*v);
  const double onGrid = std::round(2.0 * negative) / 2.0;  // std::round: halves away from zero
  return std::clamp(onGrid, -36.0, -6.0);
}

ChipFunctions loudnessChipFunctions(EditorServices& plug, const IText& chipText) {
  ChipFunctions f;
  f.label = [&plug] { return decibels(plug.paramValue(kLoudnessTarget), false, true, -149.0) + " LUFS"; };
  f.fillMenu = [&plug](IPopupMenu& menu) {
    const double target = plug.paramValue(kLoudnessTarget);
    for (const LoudnessChoice& choice : kLoudnessChoices)
      menu.AddItem(choice.text, -1, target == choice.lufs ? IPopupMenu::Item::kChecked : IPopupMenu::Item::kNoFlags);
    menu.AddSeparator();
    menu.AddItem("Type a value\xE2\x80\xA6");
  };
  f.pick = [&plug, entryText = chipText.WithAlign(plugkit::canvas::ETextHAlign::Centre)](ChipControl& chip,
                                                                                           int index) {
    if (index >= 0 && index < 3) {
      plug.setFromPanel(kLoudnessTarget, kLoudnessChoices[index].lufs);
      return;
    }
    if (index != kTypeValueItem) return;
    ICanvas* g = chip.GetUI();
    if (g == nullptr || !chip.hasTextHandler() || g->GetControlInTextEntry() != nullptr) return;
    const std::string initial = formatC(kLoudnessEntryLength, "%.1f", plug.paramValue(kLoudnessTarget));
    chip.SetTextEntryLength(kLoudnessEntryLength);
    g->CreateTextEntry(chip, entryText, chip.GetRECT(), initial.c_str(), -1);
  };
  f.text = [&plug](const char* text) {
    if (const std::optional<double> v = typedLoudnessTarget(text)) plug.setFromPanel(kLoudnessTarget, *v);
  };
  return f;
}

std::function<bool()> legendExtraItems(EditorServices& plug) {
  return [&plug] { return plug.spectrumView().correctionWanted; };
}

SpectrumControl::ViewGetter spectrumViewGetter(EditorServices& plug) {
  return [&plug]() -> const spectrapoise::dsp::SpectrumView& { return plug.spectrumView(); };
}

ReadoutsControl::ReadoutsGetter readoutsGetter(EditorServices& plug) {
  return [&plug] { return plug.readouts(); };
}

std::function<std::string()> captionSuffix(EditorServices& plug, int band) {
  return [&plug, band]() -> std::string {
    if (plug.paramValue(kCorrect) < 0.5) return "";
    const spectrapoise::dsp::CorrectionGains& gains = plug.panelGains();
    if (band == kTiltSuffix) {
      const double slope = spectrapoise::dsp::correction_detail::tiltSlope(gains.tilt, plug.sampleRate());
      return std::string(" ") + kMiddleDot + " " + decibels(slope, true, false, -149.0) + "/oct";
    }
    const double gain = gains[static_cast<std::size_t>(band + 1)];
    return std::string(" ") + kMiddleDot + " " + decibels(gain, true, false, -149.0) + " dB";
  };
}

LoudnessControl::ReadingGetter loudnessReadingGetter(EditorServices& plug) {
  return [&plug] {
    const spectrapoise::plugin::MeterReadings m = plug.meterReadings();
    LoudnessReading r;
    r.shortTerm = m.shortTerm;
    r.targetLoudness = plug.paramValue(kLoudnessTarget);
    r.truePeakRecent = m.truePeak3s;
    r.integrated = m.integrated;
    r.integratedSeconds = m.integratedSeconds;
    r.truePeakSinceReset = m.truePeakSinceReset;
    r.integratedMode = plug.integratedDisplay();
    return r;
  };
}

std::function<void()> loudnessClick(EditorServices& plug) {
  return [&plug] { plug.setIntegratedDisplay(!plug.integratedDisplay()); };
}

std::function<void()> loudnessDoubleClick(EditorServices& plug) {
  return [&plug] {
    plug.setIntegratedDisplay(!plug.integratedDisplay());
    plug.requestMeterReset();
  };
}

SettingsMenuControl::Actions settingsActions(EditorServices& plug, UpdatePillControl* pill) {
  SettingsMenuControl::Actions a;
  a.windowScale = [&plug] { return plug.editorScale(); };
  a.setWindowScale = [&plug](float scale) { plug.applyEditorScale(scale); };
  a.accent = [&plug] { return plug.accentIndex(); };
  a.setAccent = [&plug](int index) { plug.setAccentIndex(index); };
  a.resolution = [&plug] { return plug.resolutionIndex(); };
  a.setResolution = [&plug](int index) { plug.setResolutionIndex(index); };
  if (pill != nullptr) {
    a.addUpdateItems = [pill](IPopupMenu& menu) { pill->addMenuItems(menu); };
    a.updateItem = [pill](int index) {
      brightloom::updates::UpdateCheck* checker = pill->checker();
      if (index != 0 || checker == nullptr) return;
      checker->setEnabled(!checker->enabled());
      pill->SetDirty(false);
    };
  }
  return a;
}

std::function<void(const IRECT&)> settingsOpener(SettingsMenuControl& menu) {
  return [&menu](const IRECT& r) { menu.OpenAt(r); };
}

UpdatePillControl::Relayout titleRelayout(ICanvas& g) {
  return [&g](const IRECT& pill) {
    plugkit::canvas::IControl* title = g.GetControlWithTag(kTitleTag);
    if (title == nullptr) return;
    IRECT r = kTitle;
    if (!pill.IsEmpty()) r.R = pill.L - kTitleGap;
    title->SetBothRects(r);
    g.SetAllControlsDirty();
  };
}

PresetHooks presetHooks(EditorServices& plug) {
  PresetHooks hooks;
  hooks.names = [&plug] {
    std::vector<std::string> names;
    for (const brightloom::presets::SavedPreset& preset : plug.savedPresets()) names.push_back(preset.name);
    return names;
  };
  hooks.current = [&plug] { return plug.presetName(); };
  hooks.load = [&plug](const std::string& name) {
    withPresetNamed(plug, name, [&plug](const brightloom::presets::SavedPreset& p) { plug.loadPreset(p); });
  };
  hooks.save = [&plug](const std::string& name) {
    if (name == plug.presetName() || presetPathFree(plug, name))
      plug.savePreset(name, false);
    else
      plug.setPendingPresetName(name);
  };
  hooks.remove = [&plug](const std::string& name) {
    withPresetNamed(plug, name, [&plug](const brightloom::presets::SavedPreset& p) { plug.removePreset(p); });
  };
  hooks.modified = [&plug] { return plug.presetModified(); };
  return hooks;
}

}  // namespace balance_panel
