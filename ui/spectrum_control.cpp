#include "ui/spectrum_control.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <limits>

#include "graphics/ICanvas.h"
#include "plugin/parameters.h"
#include "ui/panel_text.h"

namespace balance_panel {

using plugkit::IParam;
using plugkit::canvas::ECursor;
using plugkit::canvas::IFillOptions;
using plugkit::canvas::IPattern;
using plugkit::canvas::IStrokeOptions;
using spectrapoise::dsp::kBandCount;
using spectrapoise::dsp::SpectrumView;

namespace {

constexpr int kBands = static_cast<int>(kBandCount);
constexpr int kLastBand = kBands - 1;
constexpr IColor kGridColor{13, 250, 250, 250};
constexpr IColor kAxisLabelColor{77, 250, 250, 250};
constexpr IColor kSlowInputColor{46, 250, 250, 250};
constexpr IColor kFastInputColor{235, 250, 250, 250};
constexpr IColor kOutputColor{190, 250, 250, 250};
constexpr IColor kZeroLineColor{41, 250, 250, 250};
constexpr IColor kDarkText{255, 10, 10, 10};
constexpr IColor kTagText{153, 250, 250, 250};
constexpr IColor kTagPill{230, 42, 42, 42};
constexpr IColor kHandleLineActive{179, 250, 250, 250};
constexpr IColor kHandleLine{82, 250, 250, 250};
constexpr IColor kHandleText{217, 250, 250, 250};
constexpr IColor kHandlePill{255, 42, 42, 42};

constexpr float kOutputDash = 4.f;
constexpr float kOutputGap = 3.f;

// Per band: its place on the axis (k / 179 in single precision) and whether it counts for
// the auto-range (30 Hz .. 16 kHz).
struct BandTable {
  std::array<float, kBandCount> fraction;
  std::array<bool, kBandCount> inRangeBand;
  BandTable() {
    for (int k = 0; k < kBands; ++k) {
      fraction[k] = static_cast<float>(k / static_cast<double>(kLastBand));
      const double hz = 20.0 * std::pow(1000.0, k / static_cast<double>(kLastBand));
      inRangeBand[k] = hz >= 30.0 && hz <= 16000.0;
    }
  }
};

const BandTable& bands() {
  static const BandTable table;
  return table;
}

// The target band's half width: the spread, at least 3 dB.
double halfWidth(double spread) { return std::max(spread, 3.0); }

// The last band of the unbroken run of valid bands from band 0 (0 when band 0 is invalid).
int drawnRange(const SpectrumView& view) {
  if (!view.valid[0]) return 0;
  int n = 0;
  while (n < kLastBand && view.valid[static_cast<std::size_t>(n + 1)]) ++n;
  return n;
}

void fillPath(ICanvas& g, const IColor& color) { g.PathFill(IPattern(color), IFillOptions(), nullptr); }

}  // namespace

SpectrumControl::SpectrumControl(const IRECT& bounds, int lowParamIdx, int midParamIdx, int highParamIdx,
                                 const Palette& palette, const IText& text, ViewGetter view)
    : IControl(bounds, {lowParamIdx, midParamIdx, highParamIdx}),
      mPalette(palette),
      mLabelText(text),
      mView(std::move(view)) {}

// ---------------------------------------------------------------------------------------
// Axes

float SpectrumControl::xOfFrequency(double hz) const {
  const double fraction = std::log(hz / 20.0) / std::log(1000.0);
  return mRECT.L + mRECT.W() * static_cast<float>(fraction);
}

float SpectrumControl::xOfBand(int k) const { return mRECT.L + mRECT.W() * bands().fraction[k]; }

float SpectrumControl::yOfLevel(double level) const {
  const double bottomMargin = mTop - 72.0, topMargin = mTop + 24.0;
  double c;
  if (std::isnan(level) || level < bottomMargin)
    c = bottomMargin;
  else if (level > topMargin)
    c = topMargin;
  else
    c = level;
  return static_cast<float>(mRECT.T + (mTop - c) / kWindowDb * mRECT.H());
}

void SpectrumControl::autoRange(const SpectrumView& view) {
  double lo = 1e9, hi = -1e9;
  for (int k = 0; k < kBands; ++k) {
    const std::size_t i = static_cast<std::size_t>(k);
    if (!view.valid[i] || !bands().inRangeBand[i]) continue;
    const double curve = view.target[i], spread = view.spread[i];
    if (!std::isfinite(curve) || !std::isfinite(spread)) continue;
    lo = std::min(lo, curve - halfWidth(spread));
    hi = std::max(hi, curve + halfWidth(spread));
  }
  if (!(lo < hi)) return;  // no qualifying band: the window stays where it was
  const double top = (hi - lo) + 6.0 > kWindowDb ? hi + 3.0 : (lo + hi) / 2.0 + 24.0;
  if (std::isfinite(top)) mTop = top;
}

// ---------------------------------------------------------------------------------------
// Handles

double SpectrumControl::handleValue(int slot) const {
  const IParam* param = GetParam(slot);
  return param != nullptr ? param->Value() : std::numeric_limits<double>::quiet_NaN();
}

int SpectrumControl::handleAt(float x) const {
  float d[3];
  for (int i = 0; i < 3; ++i) {
    const double hz = handleValue(i);
    d[i] = hz > 0.0 && std::isfinite(hz) ? std::fabs(xOfFrequency(hz) - x) : std::numeric_limits<float>::infinity();
  }
  // The nearest handle closer than the hit distance; on equal distances the lower slot.
  const float m0 = std::min(d[0], kHitDistance);
  if (std::min(d[1], m0) > d[2]) return 2;
  if (m0 > d[1]) return 1;
  if (d[0] < kHitDistance) return 0;
  return -1;
}

int SpectrumControl::GetValIdxForPos(float x, float) const { return handleAt(x); }

std::string SpectrumControl::handleLabel(double hz) {
  constexpr int kLabelBytes = 15;
  if (hz < 1000.0) return formatC(kLabelBytes, "%.0f", hz);
  if (hz >= 9950.0) return formatC(kLabelBytes, "%.0fk", hz / 1000.0);
  std::string label = formatC(kLabelBytes, "%.1fk", hz / 1000.0);
  const std::size_t size = label.size();
  if (size >= 3 && label.compare(size - 3, 3, ".0k") == 0) label.erase(size - 3, 2);
  return label;
}

void SpectrumControl::OnMouseDown(float x, float, const IMouseMod&) { mDragged = handleAt(x); }

void SpectrumControl::OnMouseUp(float, float, const IMouseMod&) {
  mDragged = -1;
  SetDirty(false);
}

void SpectrumControl::OnMouseDrag(float x, float, float, float, const IMouseMod&) {
  if (mDragged < 0) return;
  const IParam* param = GetParam(mDragged);
  if (param == nullptr || !(mRECT.W() > 0.f)) return;
  const double t = std::clamp((static_cast<double>(x) - mRECT.L) / mRECT.W(), 0.0, 1.0);
  double hz = 20.0 * std::pow(1000.0, t);
  // At least twice the handle below, at most half the handle above; the upper limit is
  // applied last and wins when the two cross.
  if (mDragged > 0) {
    const double below = handleValue(mDragged - 1);
    if (std::isfinite(below)) hz = std::max(hz, 2.0 * below);
  }
  if (mDragged < 2) {
    const double above = handleValue(mDragged + 1);
    if (std::isfinite(above)) hz = std::min(hz, 0.5 * above);
  }
  hz = std::clamp(hz, param->GetMin(), param->GetMax());
  SetValue(spectrapoise::plugin::normalizedForEdit(*param, hz), mDragged);
  SetDirty(true, mDragged);
}

void SpectrumControl::OnMouseDblClick(float x, float, const IMouseMod&) {
  const int slot = handleAt(x);
  if (slot >= 0) SetValueToDefault(slot);
}

void SpectrumControl::OnMouseOver(float x, float y, const IMouseMod& mod) {
  const int slot = handleAt(x);
  if (slot != mHovered) {
    mHovered = slot;
    if (ICanvas* g = GetUI()) g->SetMouseCursor(slot >= 0 ? ECursor::SizeWE : ECursor::Arrow);
    SetDirty(false);
  }
  IControl::OnMouseOver(x, y, mod);
}

void SpectrumControl::OnMouseOut() {
  mHovered = -1;
  if (ICanvas* g = GetUI()) g->SetMouseCursor(ECursor::Arrow);
  IControl::OnMouseOut();
}

// ---------------------------------------------------------------------------------------
// Drawing

void SpectrumControl::Draw(ICanvas& g) {
  if (!mView) return;
  const SpectrumView& view = mView();
  autoRange(view);

  g.FillRoundRect(mPalette.panel, mRECT, 3.f);
  g.PathClipRegion(mRECT);
  drawGrid(g);
  const int n = drawnRange(view);
  drawTargetBand(g, view, n);
  if (view.inputLive) {
    drawInput(g, view, n);
    drawOutput(g, view, n);
  } else {
    const float cx = mRECT.CentreX(), cy = mRECT.CentreY();
    g.DrawText(mLabelText.WithColor(mPalette.textMuted), "NO SIGNAL", IRECT(cx - 60.f, cy - 7.f, cx + 60.f, cy + 7.f));
  }
  if (view.correctionWanted) drawCorrection(g, view, n);

  // The handles may reach beyond the picture.
  g.PathClipRegion(IRECT());
  for (int slot = 0; slot < 3; ++slot) drawHandle(g, slot);
}

void SpectrumControl::drawGrid(ICanvas& g) {
  const IRECT& r = mRECT;
  // Counted: at levels where a double has no units left, subtracting 6 would not move.
  const double first = std::floor(mTop / 6.0) * 6.0;
  for (int i = 0; i <= static_cast<int>(kWindowDb / 6.0); ++i) {
    const double level = first - 6.0 * i;
    if (!(level > mTop - kWindowDb)) break;
    const float y = std::round(yOfLevel(level)) + 0.5f;
    g.DrawLine(kGridColor, r.L, y, r.R, y);
  }
  for (const double hz : {50.0, 100.0, 200.0, 500.0, 1000.0, 2000.0, 5000.0, 10000.0}) {
    const float x = std::round(xOfFrequency(hz)) + 0.5f;
    g.DrawLine(kGridColor, x, r.T, x, r.B);
  }
  const IText axis = mLabelText.WithColor(kAxisLabelColor).WithAlign(plugkit::canvas::ETextHAlign::Left);
  const std::pair<double, const char*> labels[] = {{100.0, "100"}, {1000.0, "1k"}, {10000.0, "10k"}};
  for (const auto& [hz, text] : labels) {
    const float x = xOfFrequency(hz);
    g.DrawText(axis, text, IRECT(x + 3.f, r.B - 14.f, x + 40.f, r.B - 3.f));
  }
}

void SpectrumControl::drawTargetBand(ICanvas& g, const SpectrumView& view, int n) {
  auto edge = [&view](int k, double sign) {
    const std::size_t i = static_cast<std::size_t>(k);
    return view.target[i] + sign * halfWidth(view.spread[i]);
  };
  g.PathClear();
  g.PathMoveTo(xOfBand(0), yOfLevel(edge(0, 1.0)));
  for (int k = 1; k <= n; ++k) g.PathLineTo(xOfBand(k), yOfLevel(edge(k, 1.0)));
  for (int k = n; k >= 0; --k) g.PathLineTo(xOfBand(k), yOfLevel(edge(k, -1.0)));
  g.PathClose();
  fillPath(g, mPalette.accent.WithAlpha(71));
}

void SpectrumControl::drawInput(ICanvas& g, const SpectrumView& view, int n) {
  const IRECT& r = mRECT;
  // The slow input as an area.
  g.PathClear();
  g.PathMoveTo(r.L, r.B);
  for (int k = 0; k <= n; ++k) g.PathLineTo(xOfBand(k), yOfLevel(view.input[static_cast<std::size_t>(k)]));
  g.PathLineTo(xOfBand(n), r.B);
  g.PathClose();
  fillPath(g, kSlowInputColor);

  // Where the fast input leaves the target band (a band on the edge is inside): on each
  // side, the quadrilateral of every interval with an outside end. Adjacent quadrilaterals
  // share their edge, so each run of them is filled as one outline: filled one by one,
  // their antialiased seams would show as faint stripes across the area.
  const IColor excursion = mPalette.contrast.WithAlpha(204);
  for (const double sign : {1.0, -1.0}) {
    auto edgeAt = [&](int j) {
      const std::size_t i = static_cast<std::size_t>(j);
      return view.target[i] + sign * halfWidth(view.spread[i]);
    };
    auto outside = [&](int j) {
      const double in = view.inputFast[static_cast<std::size_t>(j)];
      return sign > 0.0 ? in > edgeAt(j) : in < edgeAt(j);
    };
    auto drawn = [&](int k) { return outside(k) || outside(k + 1); };
    for (int k = 0; k < n; ++k) {
      if (!drawn(k)) continue;
      int last = k;  // the run's intervals are k .. last
      while (last + 1 < n && drawn(last + 1)) ++last;
      g.PathClear();
      for (int j = k; j <= last + 1; ++j) {
        const double p = outside(j) ? view.inputFast[static_cast<std::size_t>(j)] : edgeAt(j);
        j == k ? g.PathMoveTo(xOfBand(j), yOfLevel(p)) : g.PathLineTo(xOfBand(j), yOfLevel(p));
      }
      for (int j = last + 1; j >= k; --j) g.PathLineTo(xOfBand(j), yOfLevel(edgeAt(j)));
      g.PathClose();
      fillPath(g, excursion);
      k = last;
    }
  }

  // The fast input as a line.
  g.PathClear();
  g.PathMoveTo(xOfBand(0), yOfLevel(view.inputFast[0]));
  for (int k = 1; k <= n; ++k) g.PathLineTo(xOfBand(k), yOfLevel(view.inputFast[static_cast<std::size_t>(k)]));
  g.PathStroke(IPattern(kFastInputColor), 1.5f, IStrokeOptions(), nullptr);
}

void SpectrumControl::drawOutput(ICanvas& g, const SpectrumView& view, int n) {
  if (!view.outputLive || n <= 0) return;
  // Dashed by hand, the phase carried from one segment into the next.
  bool drawn = true;
  float used = 0.f;
  for (int k = 0; k < n; ++k) {
    const float x0 = xOfBand(k), y0 = yOfLevel(view.output[static_cast<std::size_t>(k)]);
    const float dx = xOfBand(k + 1) - x0, dy = yOfLevel(view.output[static_cast<std::size_t>(k + 1)]) - y0;
    const float length = std::sqrt(dx * dx + dy * dy);
    if (!(length > 0.f)) continue;
    const float divisor = std::max(length, 1e-6f);
    float left = length;
    while (left > 0.f) {
      const float phase = drawn ? kOutputDash : kOutputGap;
      const float step = std::min(left, phase - used);
      if (drawn) {
        const float a = (length - left) / divisor, b = (length - left + step) / divisor;
        g.DrawLine(kOutputColor, x0 + dx * a, y0 + dy * a, x0 + dx * b, y0 + dy * b, nullptr, 1.4f);
      }
      used += step;
      left -= step;
      if (used >= phase - 0.001f) {
        drawn = !drawn;
        used = 0.f;
      }
    }
  }
}

void SpectrumControl::drawCorrection(ICanvas& g, const SpectrumView& view, int n) {
  const IRECT& r = mRECT;
  const float h = r.H();
  const float y0 = std::round(r.T + 2.f * h / 3.f);
  g.DrawLine(kZeroLineColor, r.L, y0 + 0.5f, r.R, y0 + 0.5f);

  // One dB is H / 18; a point stays within half the height beyond the picture, and a
  // response that is not a number sits on the zero line.
  auto yOfResponse = [&](int k) {
    const double db = view.response[static_cast<std::size_t>(k)];
    if (std::isnan(db)) return y0;
    const double y = y0 - db * h / 18.0;
    if (std::isnan(y)) return y0;
    return static_cast<float>(std::clamp(y, static_cast<double>(r.T - h / 2.f), static_cast<double>(r.B + h / 2.f)));
  };
  g.PathClear();
  g.PathMoveTo(r.L, y0);
  for (int k = 0; k <= n; ++k) g.PathLineTo(xOfBand(k), yOfResponse(k));
  g.PathLineTo(xOfBand(n), y0);
  g.PathClose();
  fillPath(g, mPalette.accent.WithAlpha(40));

  g.PathClear();
  g.PathMoveTo(xOfBand(0), yOfResponse(0));
  for (int k = 1; k <= n; ++k) g.PathLineTo(xOfBand(k), yOfResponse(k));
  g.PathStroke(IPattern(mPalette.accent), 2.f, IStrokeOptions(), nullptr);

  const char* tag = view.frozen ? "FROZEN" : "0 dB";
  const IText style = mLabelText.WithColor(view.frozen ? kDarkText : kTagText);
  const float w = textWidth(g, style, tag);
  const IRECT pill(r.R - 4.f - (w + 10.f), y0 - 6.5f, r.R - 4.f, y0 + 6.5f);
  g.FillRoundRect(view.frozen ? mPalette.accent : kTagPill, pill, 6.5f);
  g.DrawText(style, tag, pill);
}

void SpectrumControl::drawHandle(ICanvas& g, int slot) {
  const double hz = handleValue(slot);
  if (!(hz > 0.0) || !std::isfinite(hz)) return;
  const IRECT& r = mRECT;
  const float xh = std::round(xOfFrequency(hz)) + 0.5f;
  const bool active = slot == mHovered || slot == mDragged;
  g.DrawDottedLine(active ? kHandleLineActive : kHandleLine, xh, r.T + 14.f, xh, r.B, nullptr, 1.f, 2.5f);

  const std::string label = handleLabel(hz);
  const IText style = mLabelText.WithColor(active ? kDarkText : kHandleText);
  const float w = textWidth(g, style, label);
  const IRECT pill(xh - (w + 10.f) / 2.f, r.T + 1.f, xh + (w + 10.f) / 2.f, r.T + 14.f);
  g.FillRoundRect(active ? mPalette.text : kHandlePill, pill, 6.5f);
  g.DrawText(style, label.c_str(), pill);
}

}  // namespace balance_panel
