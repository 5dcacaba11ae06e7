#include "ui/loudness_control.h"

#include <algorithm>
#include <cmath>

#include "graphics/ICanvas.h"
#include "ui/panel_text.h"

namespace balance_panel {

using plugkit::canvas::ECursor;
using plugkit::canvas::ETextHAlign;

namespace {

constexpr double kFloor = -149.0;  // at or below: nothing measured
constexpr IColor kHoverFill{10, 250, 250, 250};
constexpr float kHoverRise = 2.f;  // the hover fill starts this far above the top
constexpr IColor kZoneFill{31, 250, 250, 250};
constexpr float kTruePeakSize = 28.f;

}  // namespace

LoudnessControl::LoudnessControl(const IRECT& bounds, const Palette& palette, const IText& captionText,
                                 const IText& numberText, const IText& statusText, const IText& scaleText,
                                 ReadingGetter reading, std::function<void()> onClick,
                                 std::function<void()> onDoubleClick)
    : IControl(bounds),
      mPalette(palette),
      mCaptionText(captionText),
      mNumberText(numberText),
      mStatusText(statusText),
      mScaleText(scaleText),
      mReading(std::move(reading)),
      mOnClick(std::move(onClick)),
      mOnDoubleClick(std::move(onDoubleClick)) {
  mRECT.T -= kHoverRise;
}

void LoudnessControl::OnMouseDown(float, float, const IMouseMod& mod) {
  if (mod.L && mOnClick) mOnClick();
  SetDirty(false);
}

void LoudnessControl::OnMouseDblClick(float, float, const IMouseMod&) {
  if (mOnDoubleClick) mOnDoubleClick();
  SetDirty(false);
}

void LoudnessControl::OnMouseOver(float x, float y, const IMouseMod& mod) {
  IControl::OnMouseOver(x, y, mod);
  if (ICanvas* g = GetUI()) g->SetMouseCursor(ECursor::Hand);
  SetDirty(false);
}

void LoudnessControl::OnMouseOut() {
  IControl::OnMouseOut();
  if (ICanvas* g = GetUI()) g->SetMouseCursor(ECursor::Arrow);
  SetDirty(false);
}

bool LoudnessControl::IsHit(float x, float y) const {
  const IRECT& r = mTargetRECT;
  return x >= r.L && x <= r.R && y >= r.T && y <= r.T + kHitHeight;
}

std::string LoudnessControl::caption(const LoudnessReading& reading) {
  if (!reading.integratedMode) return "SHORT-TERM";
  // Whole seconds, from a count kept within 0..1e9 (a cast of anything else is undefined).
  const double seconds = std::isnan(reading.integratedSeconds) ? 0.0 : std::clamp(reading.integratedSeconds, 0.0, 1e9);
  const long s = static_cast<long>(seconds);
  const std::string prefix = std::string("INTEGRATED ") + kMiddleDot + " ";
  if (s >= 3600) return prefix + formatC(31, "%ld:%02ld:%02ld", s / 3600, (s / 60) % 60, s % 60);
  return prefix + formatC(31, "%ld:%02ld", s / 60, s % 60);
}

float LoudnessControl::xOnTrack(const IRECT& track, double level) const {
  const double fraction = std::isnan(level) ? 0.0 : std::clamp((level + 30.0) / 24.0, 0.0, 1.0);
  return track.L + track.W() * static_cast<float>(fraction);
}

void LoudnessControl::Draw(ICanvas& g) {
  if (!mReading) return;
  const LoudnessReading reading = mReading();
  const IRECT& r = mTargetRECT;
  const double v = reading.integratedMode ? reading.integrated : reading.shortTerm;
  const double tolerance = reading.integratedMode ? 1.0 : 2.0;
  const double target = reading.targetLoudness;
  const double d = v - target;
  const bool live = std::isfinite(v) && v > kFloor;
  const bool off = live && std::fabs(d) > tolerance;

  if (GetMouseIsOver()) g.FillRoundRect(kHoverFill, IRECT(r.L, r.T - kHoverRise, r.R, r.T + kHitHeight), 6.f);

  // Caption with the swap mark to its right.
  const std::string captionText = caption(reading);
  const float w = textWidth(g, mCaptionText, captionText);
  const float x0 = (r.L + r.R) / 2.f - (w + 12.f) / 2.f;
  g.DrawText(mCaptionText.WithAlign(ETextHAlign::Left), captionText.c_str(), IRECT(x0, r.T, x0 + w + 2.f, r.T + 14.f));
  const IColor mark = mCaptionText.color.WithAlpha(153);
  const float a = x0 + w + 4.f;
  g.DrawLine(mark, a, r.T + 5.5f, a + 7.f, r.T + 5.5f);
  g.FillTriangle(mark, a + 8.f, r.T + 5.5f, a + 6.f, r.T + 3.5f, a + 6.f, r.T + 7.5f);
  g.DrawLine(mark, a + 1.f, r.T + 8.5f, a + 8.f, r.T + 8.5f);
  g.FillTriangle(mark, a, r.T + 8.5f, a + 2.f, r.T + 6.5f, a + 2.f, r.T + 10.5f);

  g.DrawText(mNumberText.WithColor(off ? mPalette.warning : mPalette.text), decibels(v, false, false, kFloor).c_str(),
             IRECT(r.L, r.T + 16.f, r.R, r.T + 58.f));
  g.DrawText(mCaptionText, "LUFS", IRECT(r.L, r.T + 58.f, r.R, r.T + 72.f));

  // The meter: track, target zone, level bar, target marker, scale.
  const IRECT track(r.L + 6.f, r.T + 80.f, r.L + 116.f, r.T + 86.f);
  g.FillRoundRect(mPalette.hairline, track, 3.f);
  g.FillRect(kZoneFill, IRECT(xOnTrack(track, target - tolerance), track.T, xOnTrack(track, target + tolerance), track.B));
  if (live) {
    const float xv = xOnTrack(track, v);
    if (xv > track.L + 1.f)
      g.FillRoundRect(std::fabs(d) > tolerance ? mPalette.warning : mPalette.accent, IRECT(track.L, track.T, xv, track.B),
                      3.f);
  }
  const float xt = xOnTrack(track, target);
  g.FillRect(mPalette.text, IRECT(xt - 1.f, r.T + 76.f, xt + 1.f, r.T + 90.f));
  const std::pair<double, float> scale[] = {{-30.0, track.L}, {-18.0, track.CentreX()}, {-6.0, track.R}};
  for (const auto& [level, x] : scale)
    g.DrawText(mScaleText, decibels(level, false, true, kFloor).c_str(), IRECT(x - 16.f, r.T + 89.f, x + 16.f, r.T + 100.f));

  std::string status;
  if (!live)
    status = "no signal";
  else if (std::fabs(d) < 0.05)
    status = "on target";
  else
    status = formatC(47, "%.1f LU %s target", std::fabs(d), d > 0.0 ? "above" : "below");
  g.DrawText(mStatusText.WithColor(off ? mPalette.warning : mPalette.textMuted), status.c_str(),
             IRECT(r.L, r.T + 100.f, r.R, r.T + 114.f));

  g.DrawText(mCaptionText, "TARGET", IRECT(r.L, r.T + 126.f, r.R, r.T + 140.f));
  g.FillRect(mPalette.hairline, IRECT(r.L + 2.f, r.T + 184.f, r.R - 2.f, r.T + 185.f));

  // True peak.
  g.DrawText(mCaptionText, "TRUE PEAK", IRECT(r.L, r.T + 194.f, r.R, r.T + 208.f));
  const double peak = reading.integratedMode ? reading.truePeakSinceReset : reading.truePeakRecent;
  const bool over = std::isfinite(peak) && peak > -1.0;
  g.DrawText(mNumberText.WithSize(kTruePeakSize).WithColor(over ? mPalette.danger : mPalette.text),
             decibels(peak, true, false, kFloor).c_str(), IRECT(r.L, r.T + 210.f, r.R, r.T + 240.f));
  std::string peakCaption = std::string("dBTP ") + kMiddleDot + " ";
  if (reading.integratedMode)
    peakCaption += "since reset";
  else if (over)
    peakCaption += std::string("above ") + kMinus + "1";
  else
    peakCaption += "last 3 s";
  g.DrawText(mStatusText.WithColor(over ? mPalette.danger : mPalette.textMuted), peakCaption.c_str(),
             IRECT(r.L, r.T + 244.f, r.R, r.T + 258.f));
}

}  // namespace balance_panel
