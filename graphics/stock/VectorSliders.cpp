#include "graphics/stock/VectorSliders.h"

#include <algorithm>
#include <cmath>

#include "graphics/ICanvas.h"

namespace plugkit::canvas {

namespace {

// A track 2 x ts wide down the middle of the widget, inset by the handle size hs at its
// ends; a widget shorter than two handles gets a track of no length at its centre rather
// than one turned inside out (which would move the value against the pointer).
IRECT insetTrack(const IRECT& widget, float hs, float ts, EDirection direction) {
  if (direction == EDirection::Horizontal) {
    const float cx = widget.CentreX(), half = std::max(widget.Width() / 2.f - hs, 0.f);
    const float cy = widget.CentreY();
    return IRECT(cx - half, cy - ts, cx + half, cy + ts);
  }
  const float cy = widget.CentreY(), half = std::max(widget.Height() / 2.f - hs, 0.f);
  const float cx = widget.CentreX();
  return IRECT(cx - ts, cy - half, cx + ts, cy + half);
}

}  // namespace

// ---------------------------------------------------------------------------------------
// Slider

IVSliderControl::IVSliderControl(const IRECT& bounds, int paramIdx, const char* label, const IVStyle& style,
                                 bool valueIsEditable, EDirection direction, double gearing, float handleSize,
                                 float trackSize, bool trackUnderHandle, float handleXOffset, float handleYOffset)
    : ISliderControlBase(bounds, paramIdx, direction, gearing, handleSize),
      IVectorBase(style),
      mTrackUnderHandle(trackUnderHandle),
      mHandleXOffset(handleXOffset),
      mHandleYOffset(handleYOffset) {
  mHideCursorOnDrag = style.hideCursor;
  mTrackSize = trackSize;
  mShape = EVShape::Ellipse;
  mPromptDisabled = !valueIsEditable;
  mText = style.valueText;
  AttachIControl(this, label);
}

IVSliderControl::IVSliderControl(const IRECT& bounds, ActionFunc action, const char* label, const IVStyle& style,
                                 bool valueIsEditable, EDirection direction, double gearing, float handleSize,
                                 float trackSize, bool trackUnderHandle, float handleXOffset, float handleYOffset)
    : IVSliderControl(bounds, kNoLinkedParam, label, style, valueIsEditable, direction, gearing, handleSize,
                      trackSize, trackUnderHandle, handleXOffset, handleYOffset) {
  SetActionFunction(std::move(action));
}

void IVSliderControl::Draw(ICanvas& g) {
  DrawBackground(g, mRECT);
  DrawLabel(g);
  DrawWidget(g);
  DrawValue(g, mValueMouseOver);
}

void IVSliderControl::DrawWidget(ICanvas& g) {
  const double v = GetValue(0);
  const IRECT& t = mTrack;
  const bool horizontal = mDirection == EDirection::Horizontal;
  const IRECT filled = horizontal ? IRECT(t.L, t.T, t.L + t.Width() * static_cast<float>(v), t.B)
                                  : IRECT(t.L, t.B - t.Height() * static_cast<float>(v), t.R, t.B);
  if (mTrackSize > 0.f) DrawTrack(g, filled);

  // A shadowed shape other than the ellipse sits half its shadow off the track's middle.
  const float d = mStyle.drawShadows && mShape != EVShape::Ellipse ? mStyle.shadowOffset * 0.5f : 0.f;
  float cx = horizontal ? filled.R : filled.CentreX() + d;
  float cy = horizontal ? filled.CentreY() + d : filled.T;
  if (mHandleSize > 0.f) {
    cx += mHandleXOffset;
    cy += mHandleYOffset;
    const float hs = mHandleSize;
    DrawHandle(g, IRECT(cx - hs, cy - hs, cx + hs, cy + hs));
  }
}

void IVSliderControl::DrawTrack(ICanvas& g, const IRECT& filledArea) {
  const float e = mTrackUnderHandle ? mHandleSize : 0.f;
  IRECT track = mTrack;
  IRECT filled = filledArea;
  if (mDirection == EDirection::Horizontal) {
    track.L = mTrack.L - e;
    track.R = mTrack.R + e;
    filled.L -= e;
    filled.R += e;
  } else {
    track.T = mTrack.T - e;
    track.B = mTrack.B + e;
    filled.T -= e;
    filled.B += e;
  }
  const float radius = std::min(mTrack.Width(), mTrack.Height()) * 0.5f * mStyle.roundness;
  g.FillRoundRect(GetColor(kShadow), track, radius, &mBlend);
  g.FillRoundRect(GetColor(kExtra1), filled, radius, &mBlend);
  if (mStyle.drawFrame) g.DrawRoundRect(GetColor(kFrame), track, radius, &mBlend, mStyle.frameThickness);
}

void IVSliderControl::DrawHandle(ICanvas& g, const IRECT& bounds) {
  DrawPressableShape(g, mShape, bounds, mMouseDown, mMouseIsOver, IsDisabled());
}

void IVSliderControl::OnResize() {
  SetTargetRECT(MakeRects(mRECT, false));
  mMouseIsOver = false;
  mTrack = insetTrack(mWidgetBounds, mHandleSize, mTrackSize, mDirection);
  SetDirty(false);
}

void IVSliderControl::OnMouseDown(float x, float y, const IMouseMod& mod) {
  if (mStyle.showValue && mValueBounds.ContainsPoint(x, y)) {
    PromptUserInput(mValueBounds, 0);
    return;
  }
  ISliderControlBase::OnMouseDown(x, y, mod);
}

void IVSliderControl::OnMouseUp(float x, float y, const IMouseMod& mod) {
  ISliderControlBase::OnMouseUp(x, y, mod);
  SetDirty(true);
}

void IVSliderControl::OnMouseDblClick(float x, float y, const IMouseMod&) { SetValueToDefault(GetValIdxForPos(x, y)); }

void IVSliderControl::OnMouseOver(float x, float y, const IMouseMod& mod) {
  if (mStyle.showValue && !mPromptDisabled) mValueMouseOver = mValueBounds.ContainsPoint(x, y);
  ISliderControlBase::OnMouseOver(x, y, mod);
  SetDirty(false);
}

void IVSliderControl::OnMouseOut() {
  mValueMouseOver = false;
  ISliderControlBase::OnMouseOut();
}

bool IVSliderControl::IsHit(float x, float y) const {
  if (!mPromptDisabled && mValueBounds.ContainsPoint(x, y)) return true;
  return mWidgetBounds.ContainsPoint(x, y);
}

void IVSliderControl::updateValueStr() {
  StringBuf display;
  if (LinkedParamDisplay(*this, display, true)) SetValueStr(display.Get());
}

void IVSliderControl::SetDirty(bool triggerAction, int) {
  ISliderControlBase::SetDirty(triggerAction, kEveryValIdx);
  updateValueStr();
}

void IVSliderControl::OnInit() {
  const IParam* param = GetParam(0);
  if (param == nullptr) return;
  if (mLabelStr.Empty()) SetLabelStr(param->GetName());
  updateValueStr();
}

// ---------------------------------------------------------------------------------------
// Track base

IVTrackControlBase::IVTrackControlBase(const IRECT& bounds, const char* label, const IVStyle& style,
                                       std::initializer_list<int> params, int numSteps, EDirection direction,
                                       std::initializer_list<const char*> trackNames)
    : IControl(bounds, params), IVectorBase(style), mDirection(direction), mNSteps(numSteps) {
  AttachIControl(this, label);
  for (const char* name : trackNames) mTrackNames.emplace_back(name != nullptr ? name : "");
}

void IVTrackControlBase::OnResize() {
  SetTargetRECT(MakeRects(mRECT, false));
  mMouseIsOver = false;
  MakeTrackRects(mWidgetBounds);
  MakeStepRects(mWidgetBounds, mNSteps);
  SetDirty(false);
}

void IVTrackControlBase::MakeTrackRects(const IRECT& r) {
  mTrackBounds.clear();
  const int n = NVals();
  const float p = mTrackPadding;
  for (int i = 0; i < n; ++i) {
    const float f = static_cast<float>(i);
    if (mDirection == EDirection::Vertical) {
      const float w = r.Width() / static_cast<float>(n);
      mTrackBounds.emplace_back(r.L + f * w, r.T, r.L + f * w + w - p, r.B - p);
    } else {
      const float h = r.Height() / static_cast<float>(n);
      mTrackBounds.emplace_back(r.L, r.T + f * h + p, r.R, r.T + f * h + h - p);
    }
  }
}

void IVTrackControlBase::MakeStepRects(const IRECT& r, int numSteps) {
  mStepBounds.clear();
  if (numSteps <= 0) return;
  const int n = numSteps + (mZeroValueStepHasBounds ? 1 : 0);
  for (int j = n - 1; j >= 0; --j) {
    const float f = static_cast<float>(j);
    if (mDirection == EDirection::Horizontal) {
      const float w = r.Width() / static_cast<float>(n);
      mStepBounds.emplace_back(r.L + f * w, r.T, r.L + f * w + w, r.B);
    } else {
      const float h = r.Height() / static_cast<float>(n);
      mStepBounds.emplace_back(r.L, r.T + f * h, r.R, r.T + f * h + h);
    }
  }
}

IRECT IVTrackControlBase::stepCell(int k) const {
  const int n = static_cast<int>(mStepBounds.size());
  if (k < 0 || k >= n) return IRECT();
  // Entry 0 is the bottom cell (the start edge) of a vertical track but the right cell (the
  // far end) of a horizontal one.
  return mStepBounds[static_cast<size_t>(mDirection == EDirection::Vertical ? k : n - 1 - k)];
}

int IVTrackControlBase::StepCellForValue(double v) const {
  const int n = static_cast<int>(mStepBounds.size());
  if (n == 0 || !std::isfinite(v)) return -1;
  if (!(mZeroValueStepHasBounds || v > 0.0)) return -1;
  const double scaled = v * static_cast<double>(n);
  // The cell the fill covers; a fill hanging below a raised origin shows its lowest cell.
  const double k = mBaseValue > 0.0 && v < mBaseValue ? std::floor(scaled + 1e-9) : std::ceil(scaled - 1e-9) - 1.0;
  return static_cast<int>(std::clamp(k, 0.0, static_cast<double>(n - 1)));
}

void IVTrackControlBase::DrawWidget(ICanvas& g) {
  for (int i = 0; i < static_cast<int>(mTrackBounds.size()); ++i) DrawTrack(g, mTrackBounds[static_cast<size_t>(i)], i);
}

void IVTrackControlBase::DrawBackground(ICanvas& g, const IRECT& r) {
  g.FillRect(GetColor(kBackground), r, &mBlend);
  if (!(mBaseValue > 0.0)) return;
  const float origin = static_cast<float>(std::clamp(mBaseValue, 0.0, 1.0));
  if (mDirection == EDirection::Horizontal) {
    const float x = r.L + std::floor(r.Width() * origin);
    g.DrawLine(GetColor(kShadow), x, r.T, x, r.B, nullptr, 1.f);
  } else {
    const float y = r.B - origin * r.Height();
    g.DrawLine(GetColor(kShadow), r.L, y, r.R, y, nullptr, 1.f);
  }
}

void IVTrackControlBase::DrawTrack(ICanvas& g, const IRECT& r, int chIdx) {
  DrawTrackBackground(g, r, chIdx);
  if (!mTrackNames.empty()) DrawTrackName(g, r, chIdx);

  const double v = GetValue(chIdx);
  const double b = std::clamp(mBaseValue, 0.0, 1.0);
  const bool vertical = mDirection == EDirection::Vertical;
  const float lo = static_cast<float>(b > 0.0 ? std::min(b, v) : 0.0);
  const float hi = static_cast<float>(b > 0.0 ? std::max(b, v) : v);
  IRECT fill = r;
  if (vertical) {
    fill.T = r.B - r.Height() * hi;
    fill.B = r.B - r.Height() * lo;
  } else {
    fill.L = r.L + r.Width() * lo;
    fill.R = r.L + r.Width() * hi;
  }
  const bool above = b < v;

  if (mStepBounds.empty()) {
    DrawTrackHandle(g, fill, chIdx, above);
    const float p = mPeakSize;
    IRECT peak;
    if (vertical)
      peak = b <= v ? IRECT(fill.L, fill.T, fill.R, fill.T + p) : IRECT(fill.L, fill.B - p, fill.R, fill.B);
    else
      peak = b <= v ? IRECT(fill.R - p, fill.T, fill.R, fill.B) : IRECT(fill.L, fill.T, fill.L + p, fill.B);
    DrawPeak(g, peak, chIdx, above);
  } else if (const int k = StepCellForValue(v); k >= 0) {
    const IRECT cell = stepCell(k);
    if (vertical) {
      fill.T = cell.T;
      fill.B = cell.B;
    } else {
      fill.L = cell.L;
      fill.R = cell.R;
    }
    DrawTrackHandle(g, fill, chIdx, above);
  }

  if (mStyle.drawFrame && mFrameEachTrack) g.DrawRect(GetColor(kFrame), r, &mBlend, mStyle.frameThickness);
}

void IVTrackControlBase::DrawTrackBackground(ICanvas& g, const IRECT& r, int chIdx) {
  g.FillRect(chIdx == mHighlightedTrack ? GetColor(kHighlight) : COLOR_TRANSPARENT, r);
}

void IVTrackControlBase::DrawTrackName(ICanvas& g, const IRECT& r, int chIdx) {
  if (chIdx >= 0 && chIdx < static_cast<int>(mTrackNames.size()))
    g.DrawText(mText, mTrackNames[static_cast<size_t>(chIdx)].c_str(), r);
}

void IVTrackControlBase::DrawTrackHandle(ICanvas& g, const IRECT& r, int chIdx, bool) {
  g.FillRect(GetColor(chIdx == mHighlightedTrack ? kExtra1 : kForeground), r, &mBlend);
  if (chIdx == mMouseOverTrack) g.FillRect(GetColor(kHighlight), r, &mBlend);
}

void IVTrackControlBase::DrawPeak(ICanvas& g, const IRECT& r, int, bool) {
  g.FillRect(GetColor(kFrame), r, &mBlend);
}

int IVTrackControlBase::GetValIdxForPos(float x, float y) const {
  for (size_t i = 0; i < mTrackBounds.size(); ++i)
    if (mTrackBounds[i].ContainsPoint(x, y)) return static_cast<int>(i);
  return -1;
}

void IVTrackControlBase::OnMouseOver(float x, float y, const IMouseMod&) {
  mMouseOverTrack = GetValIdxForPos(x, y);
  SetDirty(false);
}

void IVTrackControlBase::OnMouseOut() {
  mMouseOverTrack = -1;
  SetDirty(false);
}

// ---------------------------------------------------------------------------------------
// Range slider

IVRangeSliderControl::IVRangeSliderControl(const IRECT& bounds, std::initializer_list<int> params, const char* label,
                                           const IVStyle& style, EDirection direction, bool, float handleSize,
                                           float trackSize)
    : IVTrackControlBase(bounds, label, style, params, 0, direction), mHandleSize(handleSize) {
  mTrackSize = trackSize;
}

void IVRangeSliderControl::MakeTrackRects(const IRECT& r) {
  mTrackBounds.clear();
  mTrackBounds.assign(static_cast<size_t>(NVals()), insetTrack(r, mHandleSize, mTrackSize, mDirection));
}

IRECT IVRangeSliderControl::GetHandleBounds(int chIdx) const {
  if (chIdx < 0 || chIdx >= static_cast<int>(mTrackBounds.size())) return IRECT();
  const IRECT& t = mTrackBounds[static_cast<size_t>(chIdx)];
  const float v = static_cast<float>(GetValue(chIdx));
  const float hs = mHandleSize, ts = mTrackSize;
  const float d = mStyle.drawShadows && mShape != EVShape::Ellipse ? mStyle.shadowOffset * 0.5f : 0.f;
  const bool even = chIdx % 2 == 0;
  if (mDirection == EDirection::Vertical) {
    const float y = t.B - t.Height() * v;
    const float cx = t.CentreX() + d;
    return even ? IRECT(cx - 2.f * hs, y - hs, cx, y + hs) : IRECT(cx + ts, y - hs, cx + ts + 2.f * hs, y + hs);
  }
  const float x = t.L + t.Width() * v;
  const float cy = t.CentreY() + d;
  return even ? IRECT(x - hs, cy + ts, x + hs, cy + ts + 2.f * hs) : IRECT(x - hs, cy - 2.f * hs, x + hs, cy);
}

int IVRangeSliderControl::handleAt(float x, float y) const {
  for (int i = 0; i < NVals(); ++i)
    if (GetHandleBounds(i).ContainsPoint(x, y)) return i;
  return -1;
}

void IVRangeSliderControl::Draw(ICanvas& g) {
  DrawBackground(g, mRECT);
  DrawLabel(g);
  DrawWidget(g);
}

void IVRangeSliderControl::DrawWidget(ICanvas& g) {
  if (mTrackBounds.empty()) return;
  const IRECT& track = mTrackBounds.front();
  DrawTrackBackground(g, track, 0);
  const bool vertical = mDirection == EDirection::Vertical;
  for (int i = 0; i + 1 < static_cast<int>(mTrackBounds.size()); ++i) {
    const float a = static_cast<float>(GetValue(i)), b = static_cast<float>(GetValue(i + 1));
    const IRECT span = vertical ? IRECT(track.L, track.B - track.Height() * b, track.R, track.B - track.Height() * a)
                                : IRECT(track.L + track.Width() * a, track.T, track.L + track.Width() * b, track.B);
    g.FillRect(GetColor(kExtra1), span, &mBlend);
  }
  if (mStyle.drawFrame && mFrameEachTrack) g.DrawRect(GetColor(kFrame), track, &mBlend, mStyle.frameThickness);
  for (int i = 0; i < static_cast<int>(mTrackBounds.size()); ++i) DrawTrack(g, mTrackBounds[static_cast<size_t>(i)], i);
}

void IVRangeSliderControl::DrawTrack(ICanvas& g, const IRECT&, int chIdx) {
  const bool even = chIdx % 2 == 0;
  const float angle = mDirection == EDirection::Horizontal ? (even ? 0.f : 180.f) : (even ? 270.f : 90.f);
  const bool over = chIdx == mMouseOverHandle;
  DrawPressableTriangle(g, GetHandleBounds(chIdx), over && mMouseDown, over, angle, IsDisabled());
}

void IVRangeSliderControl::OnMouseDown(float x, float y, const IMouseMod& mod) {
  mMouseDown = true;
  mMouseOverHandle = handleAt(x, y);
  OnMouseDrag(x, y, 0.f, 0.f, mod);
}

void IVRangeSliderControl::OnMouseUp(float, float, const IMouseMod&) {
  mMouseDown = false;
  SetDirty(false);
}

void IVRangeSliderControl::OnMouseDrag(float x, float y, float, float, const IMouseMod&) {
  const int i = mMouseOverHandle;
  const int n = static_cast<int>(mTrackBounds.size());
  if (i < 0 || i >= n) return;
  const double lo = i > 0 ? GetValue(i - 1) : 0.0;
  const double hi = i < n - 1 ? GetValue(i + 1) : 1.0;
  // Mapped over the track the handles ride on, so a handle follows the pointer.
  SnapToMouse(x, y, mDirection, mTrackBounds[static_cast<size_t>(i)], i, lo, hi);
}

void IVRangeSliderControl::OnMouseOver(float x, float y, const IMouseMod&) {
  mMouseOverHandle = handleAt(x, y);
  mMouseOverTrack = GetValIdxForPos(x, y);
  SetDirty(false);
}

void IVRangeSliderControl::OnMouseOut() {
  mMouseOverHandle = -1;
  mMouseOverTrack = -1;
  SetDirty(false);
}

}  // namespace plugkit::canvas
