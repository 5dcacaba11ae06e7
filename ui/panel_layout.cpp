#include "ui/panel_layout.h"

#include <array>
#include <cmath>
#include <string>

#include "graphics/IPanelControl.h"
#include "graphics/ISVGControl.h"
#include "graphics/ITextControl.h"
#include "plugin/panel_roles.h"
#include "plugin/parameters.h"
#include "plugin/version.h"
#include "ui/chips.h"
#include "ui/corner_scale.h"
#include "ui/loudness_control.h"
#include "ui/panel_style.h"
#include "ui/panel_wiring.h"
#include "ui/parameter_controls.h"
#include "ui/preset_bar.h"
#include "ui/readouts_control.h"
#include "ui/settings_menu.h"
#include "ui/spectrum_control.h"
#include "ui/title_control.h"
#include "ui/update_pill.h"

namespace balance_panel {

using namespace plugkit::canvas;
using namespace spectrapoise::plugin;
using brightloom::controls::PresetBarControl;
using brightloom::controls::UpdatePillControl;

namespace {

// The panel's columns: the readouts over the tilt and band knobs share their centres; the
// speed knob sits alone under the switches.
constexpr std::array<float, 5> kColumnCentres{149.f, 223.f, 297.f, 371.f, 445.f};
constexpr float kSpeedCentre = 66.f;
// Half the width of a knob's caption.
constexpr float kCaptionHalfWidth = 37.f;

// The knob row: parameter, centre, suffix band (none for the speed), label prefix.
struct KnobSpec {
  int param;
  float x;
  bool suffix;
  int band;
  const char* prefix;
};
constexpr std::array<KnobSpec, 6> kKnobs{{
    {kCorrectSpeed, kSpeedCentre, false, 0, "Speed "},
    {kCorrectTilt, kColumnCentres[0], true, kTiltSuffix, ""},
    {kCorrectLow, kColumnCentres[1], true, 0, ""},
    {kCorrectLoMid, kColumnCentres[2], true, 1, ""},
    {kCorrectHiMid, kColumnCentres[3], true, 2, ""},
    {kCorrectHigh, kColumnCentres[4], true, 3, ""},
}};

// The shades over the knob row: the speed knob under the switches, and the columns.
constexpr float kColumnsLeft = kColumnCentres.front() - kCaptionHalfWidth;
constexpr float kColumnsRight = kColumnCentres.back() + kCaptionHalfWidth;
constexpr IRECT kSpeedShade(20, 308, kColumnsLeft, 360);
constexpr IRECT kColumnsShade(kColumnsLeft, 308, kColumnsRight, 360);

// Attaches, or deletes the control when the context refuses it.
template <class Control>
Control* attach(ICanvas& g, Control* control, int tag = kNoTag, const char* group = "") {
  if (g.AttachControl(control, tag, group) != nullptr) return control;
  delete control;
  return nullptr;
}

IPanelControl* shade(const IRECT& r) {
  auto* panel = new IPanelControl(r, kShadeFill, false);
  panel->SetIgnoreMouse(true);
  return panel;
}

PresetBarControl::Style presetBarStyle() {
  PresetBarControl::Style s;
  s.buttonFill = kPresetButtonFill;
  s.buttonFrame = kPresetButtonFrame;
  s.label = kPresetLabel;
  s.labelDim = kPresetLabelDim;
  s.hoverFill = kPresetButtonHover;
  s.confirm = kPresetConfirm;
  s.labelText = IText(11.f, kPresetLabel, "Roboto-Regular", ETextHAlign::Centre, ETextVAlign::Middle)
                    .WithEntryColors(kEntryBackground, kEntryForeground);
  s.scale = 1.f;
  s.title = "";
  s.barFill = kPresetBarFill;
  s.barLine = kPresetBarLine;
  s.insetLeft = 20.f;
  s.insetRight = 20.f;
  return s;
}

// An image usable for the logo: positive, finite width and height, and a finite width at
// the logo's height.
bool usableLogo(const ISVG& svg) {
  const float w = svg.W(), h = svg.H();
  return svg.IsValid() && std::isfinite(w) && std::isfinite(h) && w > 0.f && h > 0.f && std::isfinite(18.f * w / h);
}

}  // namespace

bool layOutPanel(ICanvas& g, EditorServices& plug, bool hostBypassed) {
  if (g.NControls() > 0) return false;
  const PanelTexts& texts = panelTexts();

  g.LoadFont("Roboto-Regular", "Roboto-Regular.ttf");
  g.LoadFont("RobotoCondensed-Bold", "RobotoCondensed-Bold.ttf");
  g.SetLayoutOnResize(false);

  const IColor accent = plug.resolvedAccent(255);
  const Palette palette = makePalette(accent);

  g.AttachPanelBackground(IPattern(kWindowBackground));
  g.EnableMouseOver(true);

  attach(g, new IPanelControl(IRECT(10, 74, 630, 360), kMainPanelFill, false));

  // Target row.
  attach(g, new ITextControl(IRECT(22, 80, 72, 104), "TARGET", texts.caption.WithAlign(ETextHAlign::Left),
                             DEFAULT_BGCOLOR, false));
  {
    ChipFunctions f = targetChipFunctions(plug);
    attach(g,
           new ChipControl(IRECT(72, 81, 250, 103), texts.chip, palette, std::move(f.label), std::move(f.fillMenu),
                           std::move(f.pick), std::move(f.text)),
           kTargetChipTag);
  }
  {
    auto* legend = new LegendControl(IRECT(256, 80, 478, 104));
    legend->text = texts.axis.WithColor(kLegendText).WithAlign(ETextHAlign::Left);
    legend->accent = palette.accent;
    legend->extraItems = legendExtraItems(plug);
    legend->SetIgnoreMouse(true);
    attach(g, legend, kLegendTag);
  }

  // Spectrum, readouts and the two switches.
  attach(g,
         new SpectrumControl(IRECT(22, 108, 478, 252), kLowCrossover, kMidCrossover, kHighCrossover, palette,
                             texts.axis, spectrumViewGetter(plug)),
         kSpectrumTag);
  {
    auto* readouts = new ReadoutsControl(IRECT(110, 260, 482, 306));
    readouts->columnCentres = kColumnCentres;
    readouts->palette = palette;
    readouts->labelText = IText(11.5f, palette.text, "Roboto-Regular", ETextHAlign::Centre, ETextVAlign::Middle);
    readouts->valueText = IText(15.f, palette.text, "Roboto-Regular", ETextHAlign::Centre, ETextVAlign::Middle);
    readouts->unitText = IText(10.f, palette.textMuted, "Roboto-Regular", ETextHAlign::Centre, ETextVAlign::Middle);
    readouts->readouts = readoutsGetter(plug);
    readouts->SetIgnoreMouse(true);
    attach(g, readouts, kReadoutsTag);
  }
  attach(g, new PillToggleControl(IRECT(20, 256, 112, 278), kCorrect, "CORRECT", "CORRECT", texts.pill, 1.f,
                                  palette.accent, false));
  attach(g, new PillToggleControl(IRECT(20, 282, 112, 304), kFreeze, "FREEZE", "FROZEN", texts.pill, 1.f,
                                  palette.accent, false));

  // Knobs with their captions.
  const IVStyle knob = knobStyle(palette.accent);
  for (const KnobSpec& k : kKnobs) {
    auto* ring = new RingKnobControl(IRECT(k.x - 16.f, 310, k.x + 16.f, 342), k.param, "", knob, false, false,
                                     -135.f, 135.f, -135.f, EDirection::Vertical, 4.0, 2.f);
    ring->ringColour = kKnobRing;
    attach(g, ring);
    auto* caption = new AmountCaptionControl(IRECT(k.x - kCaptionHalfWidth, 344, k.x + kCaptionHalfWidth, 358), k.param);
    caption->captionText = texts.knobLabel;
    caption->entryText = texts.knobEntry;
    if (k.suffix) caption->suffix = captionSuffix(plug, k.band);
    caption->prefix = k.prefix;
    attach(g, caption);
  }

  // Shades over the knob row.
  const bool correctOn = plug.paramValue(kCorrect) >= 0.5;
  const bool freezeOn = plug.paramValue(kFreeze) >= 0.5;
  for (const IRECT& r : {kSpeedShade, kColumnsShade})
    if (IPanelControl* s = attach(g, shade(r), kNoTag, kCorrectShade)) s->Hide(correctOn);
  if (IPanelControl* s = attach(g, shade(kSpeedShade), kNoTag, kFreezeShade))
    s->Hide(!(correctOn && freezeOn));

  // The loudness column.
  attach(g, new IPanelControl(IRECT(490, 82, 491, 352), kDividerFill, false));
  attach(g,
         new LoudnessControl(
             IRECT(498, 82, 620, 354), palette, texts.caption,
             IText(40.f, palette.text, "RobotoCondensed-Bold", ETextHAlign::Centre, ETextVAlign::Middle),
             IText(11.f, palette.textMuted, "Roboto-Regular", ETextHAlign::Centre, ETextVAlign::Middle),
             IText(9.f, palette.textFaint, "Roboto-Regular", ETextHAlign::Centre, ETextVAlign::Middle),
             loudnessReadingGetter(plug), loudnessClick(plug), loudnessDoubleClick(plug)),
         kMeterTag);
  {
    ChipFunctions f = loudnessChipFunctions(plug, texts.chip);
    attach(g,
           new ChipControl(IRECT(509, 230, 609, 252), texts.chip, palette, std::move(f.label), std::move(f.fillMenu),
                           std::move(f.pick), std::move(f.text)),
           kLoudnessChipTag);
  }

  // The top row: title, bypass switch, settings menu and update notice.
  const char* label = plug.keptTrackLabel();
  attach(g,
         new TitleControl(IRECT(20, 41, 504, 69), label != nullptr && *label != '\0' ? label : kProductTitle,
                          texts.title),
         kTitleTag);
  attach(g, new PillToggleControl(IRECT(534, 41, 620, 65), kBypass, "ACTIVE", "BYPASSED", texts.pill, 1.f,
                                  palette.accent, true));
  // The pill is made first so the settings menu can hold its update item; an untagged
  // control is never refused, so both stay attached together.
  auto* pill = new UpdatePillControl(IRECT(364, 41, 524, 65), kUpdatePillFill, kUpdatePillHover, kUpdatePillText,
                                     texts.pill, plug.updateCheck().get(), titleRelayout(g));
  SettingsMenuControl* settings =
      attach(g, new SettingsMenuControl(settingsActions(plug, pill), kVersion));
  attach(g, pill);

  if (IPanelControl* s = attach(g, shade(IRECT(10, 74, 630, 360)), kNoTag, kBypassShade))
    s->Hide(!(plug.paramValue(kBypass) >= 0.5 || hostBypassed));

  attach(g, new PresetBarControl(IRECT(0, 0, 640, 32), presetBarStyle(), presetHooks(plug),
                                 settings != nullptr ? settingsOpener(*settings) : nullptr));

  const ISVG logo = g.LoadSVG(kLogoFile, "px", 72.f);
  if (usableLogo(logo))
    attach(g, new ISVGControl(IRECT(20, 371, 20.f + 18.f * logo.W() / logo.H(), 389), logo, false));
  else
    attach(g, new ITextControl(IRECT(20, 371, 300, 389), kProductTitle, texts.logoFallback, DEFAULT_BGCOLOR, false));

  attach(g, new ITextControl(IRECT(300, 373, 620, 387), "", texts.footer, DEFAULT_BGCOLOR, false), kFooterTag);
  plug.forgetFooter();

  attach(g, new CornerScaleControl(IRECT(626, 386, 638, 398), 640.f, 0.75f, 2.f, kCornerGrip, kCornerGripHover));
  return true;
}

}  // namespace balance_panel
