#include "ui/readouts_control.h"

#include <algorithm>
#include <cmath>
#include <string>

#include "graphics/ICanvas.h"
#include "ui/panel_text.h"

namespace balance_panel {

using plugkit::canvas::ETextHAlign;

namespace {

struct Column {
  const char* label;
  const char* unit;
  double highlight;  // |value| above this is shown in the warning colour
  double fullScale;  // |value| that fills the bar
};

constexpr Column kColumns[5] = {
    {"TILT", " dB/oct", 0.6, 1.5}, {"LOW", " dB", 3.0, 6.0},  {"LO-MID", " dB", 3.0, 6.0},
    {"HI-MID", " dB", 3.0, 6.0},   {"HIGH", " dB", 3.0, 6.0},
};
constexpr float kHalfBar = 28.f;
constexpr int kHeldAlpha = 96;
constexpr IColor kBadgeText{191, 250, 250, 250};
constexpr IColor kBadgeFill{36, 250, 250, 250};
// The badge's top and bottom below the control's top: it ends below the layout's
// rectangle, so the drawn area reaches down to its bottom.
constexpr float kBadgeTop = 34.5f;
constexpr float kBadgeBottom = 47.5f;

}  // namespace

ReadoutsControl::ReadoutsControl(const IRECT& bounds) : IControl(bounds) {
  SetIgnoreMouse(true);
  mRECT.B = std::max(bounds.B, bounds.T + kBadgeBottom);
}

void ReadoutsControl::Draw(plugkit::canvas::ICanvas& g) {
  if (!readouts) return;
  const spectrapoise::dsp::Readouts reading = readouts();
  const double values[5] = {reading.tilt, reading.low, reading.loMid, reading.hiMid, reading.high};
  const float top = mTargetRECT.T;

  for (int i = 0; i < 5; ++i) {
    const Column& column = kColumns[i];
    const float x = columnCentres[static_cast<std::size_t>(i)];
    const double value = values[i];
    const bool finite = std::isfinite(value);
    g.DrawText(labelText, column.label, IRECT(x - 37.f, top, x + 37.f, top + 14.f));

    IColor colour = palette.textMuted;
    if (reading.active) colour = finite && std::fabs(value) > column.highlight ? palette.warning : palette.text;
    const bool held = i >= 1 && reading.active && reading.hold[static_cast<std::size_t>(i - 1)] <= 0.5;
    if (held) colour = colour.WithAlpha(kHeldAlpha);

    if (reading.active) {
      const std::string number = decibels(value, true, false, -149.0);
      const IText numberStyle = valueText.WithColor(colour).WithAlign(ETextHAlign::Left);
      const IText unitStyle = unitText.WithColor(i == 0 ? palette.textMuted : colour).WithAlign(ETextHAlign::Left);
      const float w1 = textWidth(g, numberStyle, number), w2 = textWidth(g, unitStyle, column.unit);
      const float x0 = x - (w1 + w2) / 2.f;
      g.DrawText(numberStyle, number.c_str(), IRECT(x0, top + 16.f, x0 + w1 + 2.f, top + 36.f));
      g.DrawText(unitStyle, column.unit, IRECT(x0 + w1, top + 17.f, x0 + w1 + w2 + 2.f, top + 36.f));
    } else {
      g.DrawText(valueText.WithColor(palette.textMuted), kEnDash, IRECT(x - 37.f, top + 16.f, x + 37.f, top + 36.f));
    }

    if (held) {
      const IText badge = unitText.WithSize(8.5f).WithColor(kBadgeText).WithAlign(ETextHAlign::Centre);
      const float w = textWidth(g, badge, "HELD") + 14.f;
      const IRECT pill(x - w / 2.f, top + kBadgeTop, x + w / 2.f, top + kBadgeBottom);
      g.FillRoundRect(kBadgeFill, pill, 6.5f);
      g.DrawText(badge, "HELD", pill);
      continue;
    }

    g.FillRoundRect(palette.hairline, IRECT(x - kHalfBar, top + 39.f, x + kHalfBar, top + 43.f), 2.f);
    if (reading.active && finite) {
      const float length = static_cast<float>(std::min(std::fabs(value) / column.fullScale, 1.0)) * kHalfBar;
      if (length > 0.5f) {
        const IRECT bar = value < 0.0 ? IRECT(x - length, top + 39.f, x, top + 43.f)
                                      : IRECT(x, top + 39.f, x + length, top + 43.f);
        g.FillRoundRect(colour, bar, 2.f);
      }
    }
    g.FillRect(palette.textMuted, IRECT(x - 0.5f, top + 36.f, x + 0.5f, top + 46.f));
  }
}

}  // namespace balance_panel
