#include "graphics/IVKnobControl.h"

#include <algorithm>

#include "graphics/ICanvas.h"

namespace plugkit::canvas {

IVKnobControl::IVKnobControl(const IRECT& bounds, int paramIdx, const char* label, const IVStyle& style,
                             bool valueIsEditable, bool valueInWidget, float startAngle, float endAngle,
                             float anchorAngle, EDirection direction, double gearing, float trackSize)
    : IKnobControlBase(bounds, paramIdx, direction, gearing),
      IVectorBase(style, false, valueInWidget),
      mAngle1(startAngle),
      mAngle2(endAngle),
      mAnchorAngle(anchorAngle) {
  mShape = EVShape::Ellipse;
  AttachIControl(this, label);
  mTrackSize = trackSize;
  mHideCursorOnDrag = style.hideCursor;
  mText = style.valueText;
  SetPromptDisabled(!valueIsEditable);
}

IVKnobControl::IVKnobControl(const IRECT& bounds, ActionFunc action, const char* label, const IVStyle& style,
                             bool valueIsEditable, bool valueInWidget, float startAngle, float endAngle,
                             float anchorAngle, EDirection direction, double gearing, float trackSize)
    : IVKnobControl(bounds, kNoLinkedParam, label, style, valueIsEditable, valueInWidget, startAngle, endAngle,
                    anchorAngle, direction, gearing, trackSize) {
  SetActionFunction(std::move(action));
}

// ---------------------------------------------------------------------------------------
// Drawing

void IVKnobControl::Draw(ICanvas& g) {
  DrawBackground(g, mRECT);
  DrawLabel(g);
  DrawWidget(g);
  DrawValue(g, mValueMouseOver);
}

void IVKnobControl::DrawWidget(ICanvas& g) {
  const float cx = mWidgetBounds.CentreX(), cy = mWidgetBounds.CentreY();
  const float radius = GetRadius();
  const float handle = std::max(1.f, 2.f * (radius - mTrackToHandleDistance));
  const IRECT handleBounds(cx - handle / 2.f, cy - handle / 2.f, cx + handle / 2.f, cy + handle / 2.f);
  const float angle = mAngle1 + (mAngle2 - mAngle1) * static_cast<float>(GetValue(0));
  // A widget narrower than the track leaves it no radius.
  if (radius > 0.f) DrawIndicatorTrack(g, angle, cx, cy, radius);
  DrawHandle(g, handleBounds);
  DrawPointer(g, angle, cx, cy, handle / 2.f);
}

void IVKnobControl::DrawHandle(ICanvas& g, const IRECT& bounds) {
  DrawPressableShape(g, EVShape::Ellipse, bounds, mMouseDown, mMouseIsOver, IsDisabled());
}

void IVKnobControl::DrawIndicatorTrack(ICanvas& g, float angle, float cx, float cy, float radius) {
  if (!(mTrackSize > 0.f) || !(radius > 0.f)) return;
  g.DrawArc(GetColor(kExtra1), cx, cy, radius, std::min(angle, mAnchorAngle), std::max(angle, mAnchorAngle),
            controlBlend(), mTrackSize);
}

void IVKnobControl::DrawPointer(ICanvas& g, float angle, float cx, float cy, float radius) {
  g.DrawRadialLine(GetColor(kFrame), cx, cy, angle, mInnerPointerFrac * radius, mOuterPointerFrac * radius,
                   controlBlend(), mPointerThickness);
}

// ---------------------------------------------------------------------------------------
// Geometry

IRECT IVKnobControl::GetKnobDragBounds() {
  const IRECT& w = mWidgetBounds;
  if (w.Width() > w.Height()) return w.GetCentredInside(w.Height() / 2.f, w.Height());
  return w.GetCentredInside(w.Width(), w.Width() / 2.f);
}

float IVKnobControl::GetRadius() const {
  return std::min(mWidgetBounds.Width(), mWidgetBounds.Height()) / 2.f - mTrackSize / 2.f;
}

IRECT IVKnobControl::GetTrackBounds() const {
  return mWidgetBounds.GetCentredInside(std::max(1.f, 2.f * (GetRadius() + mTrackSize)));
}

// ---------------------------------------------------------------------------------------
// Mouse and life cycle

void IVKnobControl::OnMouseDown(float x, float y, const IMouseMod& mod) {
  if (mStyle.showValue && mValueBounds.ContainsPoint(x, y))
    PromptUserInput(mValueBounds, 0);
  else
    IKnobControlBase::OnMouseDown(x, y, mod);
  SetDirty(false);
}

void IVKnobControl::OnMouseUp(float x, float y, const IMouseMod& mod) {
  IKnobControlBase::OnMouseUp(x, y, mod);
  SetDirty(true);
}

void IVKnobControl::OnMouseDblClick(float x, float y, const IMouseMod& mod) { SetValueToDefault(GetValIdxForPos(x, y)); }

void IVKnobControl::OnMouseOver(float x, float y, const IMouseMod& mod) {
  if (mStyle.showValue && !GetPromptDisabled()) mValueMouseOver = mValueBounds.ContainsPoint(x, y);
  IControl::OnMouseOver(x, y, mod);
  SetDirty(false);
}

void IVKnobControl::OnMouseOut() {
  mValueMouseOver = false;
  IControl::OnMouseOut();
}

void IVKnobControl::OnResize() {
  SetTargetRECT(MakeRects(mRECT, false));
  mMouseIsOver = false;
  SetDirty(false);
}

void IVKnobControl::OnInit() {
  const IParam* param = GetParam(0);
  if (param == nullptr) return;
  refreshValueStr();
  if (mLabelStr.Empty()) SetLabelStr(param->GetName());
}

bool IVKnobControl::IsHit(float x, float y) const {
  if (!GetPromptDisabled() && mValueBounds.ContainsPoint(x, y)) return true;
  return mWidgetBounds.ContainsPoint(x, y);
}

void IVKnobControl::SetDirty(bool triggerAction, int) {
  IControl::SetDirty(triggerAction, kEveryValIdx);
  refreshValueStr();
}

void IVKnobControl::refreshValueStr() {
  const IParam* param = GetParam(0);
  if (param == nullptr) return;
  StringBuf display;
  param->GetDisplayWithLabel(display);
  SetValueStr(display.Get());
}

}  // namespace plugkit::canvas
