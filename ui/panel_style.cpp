#include "ui/panel_style.h"

#include <algorithm>
#include <cmath>

#include "graphics/Constants.h"

namespace spectrapoise::plugin {

namespace {

void fallback(int& r, int& g, int& b) {
  r = balance_panel::kWarning.R;
  g = balance_panel::kWarning.G;
  b = balance_panel::kWarning.B;
}

}  // namespace

void oppositeHue(int r, int g, int b, int& outR, int& outG, int& outB) {
  const double rf = r / 255.0, gf = g / 255.0, bf = b / 255.0;
  const double hi = std::max({rf, gf, bf});
  const double lo = std::min({rf, gf, bf});
  const double d = hi - lo;
  if (!(d > 0.0)) return fallback(outR, outG, outB);

  const double lightness = (hi + lo) / 2.0;
  const double saturation = d / (1.0 - std::fabs(2.0 * lightness - 1.0));
  if (!(saturation >= 0.15)) return fallback(outR, outG, outB);

  double sector;
  if (hi == rf)
    sector = std::fmod((gf - bf) / d, 6.0);
  else if (hi == gf)
    sector = (bf - rf) / d + 2.0;
  else
    sector = (rf - gf) / d + 4.0;
  const double hue = std::fmod(60.0 * sector + 180.0 + 360.0, 360.0);

  const double c = (1.0 - std::fabs(2.0 * lightness - 1.0)) * saturation;
  const double mod2 = hue / 60.0 - 2.0 * std::trunc(hue / 120.0);
  const double x = c * (1.0 - std::fabs(mod2 - 1.0));
  const double m = lightness - c / 2.0;
  double rp = 0.0, gp = 0.0, bp = 0.0;
  if (hue < 60.0) {
    rp = c, gp = x;
  } else if (hue < 120.0) {
    rp = x, gp = c;
  } else if (hue < 180.0) {
    gp = c, bp = x;
  } else if (hue < 240.0) {
    gp = x, bp = c;
  } else if (hue < 300.0) {
    rp = x, bp = c;
  } else {
    rp = c, bp = x;
  }
  const int channel[3] = {static_cast<int>(std::lround((rp + m) * 255.0)),
                          static_cast<int>(std::lround((gp + m) * 255.0)),
                          static_cast<int>(std::lround((bp + m) * 255.0))};

  // Brought into the perceived-level range 47..200, proportions kept.
  const float level = 0.2126f * static_cast<float>(channel[0]) + 0.7152f * static_cast<float>(channel[1]) +
                      0.0722f * static_cast<float>(channel[2]);
  if (!(level >= 1.f)) return fallback(outR, outG, outB);
  const float k = level < 47.f ? 47.f / level : (level > 200.f ? 200.f / level : 1.f);
  auto scaled = [k](int v) { return static_cast<int>(std::clamp(static_cast<float>(v) * k, 0.f, 255.f)); };
  outR = scaled(channel[0]);
  outG = scaled(channel[1]);
  outB = scaled(channel[2]);
}

}  // namespace spectrapoise::plugin

namespace balance_panel {

using plugkit::canvas::ETextHAlign;
using plugkit::canvas::ETextVAlign;

namespace {

IText style(const char* font, float size, const IColor& colour, ETextHAlign align) {
  return IText(size, colour, font, align, ETextVAlign::Middle);
}

IText withEntryColours(const IText& text) { return text.WithEntryColors(kEntryBackground, kEntryForeground); }

}  // namespace

Palette makePalette(const IColor& accent) {
  int r = 0, g = 0, b = 0;
  spectrapoise::plugin::oppositeHue(accent.R, accent.G, accent.B, r, g, b);
  return Palette{kText,
                 kTextMuted,
                 kTextFaint,
                 IColor(18, 250, 250, 250),
                 kWarning,
                 IColor(255, 255, 77, 94),
                 accent.WithAlpha(255),
                 IColor(255, 15, 15, 15),
                 IColor(255, r, g, b)};
}

const PanelTexts& panelTexts() {
  static const PanelTexts texts{
      style("RobotoCondensed-Bold", 21.f, kText, ETextHAlign::Left),
      style("Roboto-Regular", 10.f, kText, ETextHAlign::Centre),
      style("RobotoCondensed-Bold", 14.f, kTextMuted, ETextHAlign::Left),
      style("Roboto-Regular", 11.f, kTextFaint, ETextHAlign::Right),
      style("Roboto-Regular", 10.f, kTextMuted, ETextHAlign::Centre),
      style("Roboto-Regular", 9.f, kText, ETextHAlign::Centre),
      withEntryColours(style("Roboto-Regular", 11.5f, kText, ETextHAlign::Left)),
      style("Roboto-Regular", 9.5f, kTextMuted, ETextHAlign::Centre),
      withEntryColours(style("Roboto-Regular", 9.5f, kText, ETextHAlign::Centre)),
  };
  return texts;
}

IVStyle knobStyle(const IColor& accent) {
  using namespace plugkit::canvas;
  IVStyle s = DEFAULT_STYLE;
  s.hideCursor = s.showLabel = s.showValue = s.drawFrame = s.drawShadows = false;
  s.widgetFrac = 0.92f;
  s.colorSpec.SetColor(kBackground, COLOR_TRANSPARENT);
  s.colorSpec.SetColor(kForeground, IColor(255, 19, 19, 19));
  s.colorSpec.SetColor(kPressed, IColor(255, 34, 34, 34));
  s.colorSpec.SetColor(kFrame, IColor(255, 250, 250, 250));
  s.colorSpec.SetColor(kExtra1, accent);
  return s;
}

}  // namespace balance_panel
