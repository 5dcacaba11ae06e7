#include "graphics/stock/StockBases.h"

#include <algorithm>
#include <cmath>

#include "graphics/ICanvas.h"

namespace plugkit::canvas {

namespace {

const IParam* steppedParam(const IParam* param) {
  return param != nullptr && param->GetStepped() && param->GetStep() > 0.0 ? param : nullptr;
}

// A normalised value moved to the nearest whole step of the parameter (half away from
// zero), within its range.
double toWholeStep(const IParam& param, double normalized) {
  return param.ToNormalized(param.FromNormalized(normalized));
}

}  // namespace

bool LinkedParamDisplay(const IControl& control, StringBuf& out, bool withLabel) {
  const IParam* param = control.GetParam(0);
  if (param == nullptr) return false;
  if (withLabel)
    param->GetDisplayWithLabel(out, true);
  else
    param->GetDisplay(out, true);
  return true;
}

// ---------------------------------------------------------------------------------------
// Button

IButtonControlBase::IButtonControlBase(const IRECT& bounds, ActionFunc action) : IControl(bounds, std::move(action)) {
  mDblAsSingleClick = true;
}

void IButtonControlBase::OnMouseDown(float, float, const IMouseMod&) {
  SetValue(1.0);
  SetDirty(true);
}

void IButtonControlBase::OnMouseUp(float, float, const IMouseMod&) {
  // An action that started no animation would otherwise leave the button pressed.
  if (GetAnimationFunction() || GetValue(0) == 0.0) return;
  SetValue(0.0);
  SetDirty(false);
  if (const ActionFunc& end = GetAnimationEndActionFunction()) {
    const ActionFunc run = end;  // the action may replace itself
    run(this);
  }
}

void IButtonControlBase::OnEndAnimation() {
  SetValue(0.0);
  IControl::OnEndAnimation();
}

// ---------------------------------------------------------------------------------------
// Switch

ISwitchControlBase::ISwitchControlBase(const IRECT& bounds, int paramIdx, ActionFunc action, int numStates)
    : IControl(bounds, paramIdx, std::move(action)), mNumStates(0) {
  setNumStates(numStates);
  mDblAsSingleClick = true;
}

void ISwitchControlBase::setNumStates(int numStates) {
  mNumStates = std::max(numStates, 1);
  mDisabledStates.resize(static_cast<size_t>(mNumStates), false);
}

void ISwitchControlBase::OnInit() {
  if (const IParam* param = GetParam(0)) {
    // A range too wide to step through click by click keeps the given count.
    const double range = param->GetMax() - param->GetMin();
    if (std::isfinite(range) && range >= 0.0 && range < 65536.0) setNumStates(static_cast<int>(range) + 1);
  }
}

void ISwitchControlBase::OnMouseDown(float, float, const IMouseMod&) {
  double v = GetValue(0);
  if (mNumStates < 2) {
    v = 0.0;
  } else if (mNumStates == 2) {
    v = v == 0.0 ? 1.0 : 0.0;
  } else {
    v += 1.0 / static_cast<double>(mNumStates - 1);
    // The tolerance keeps the last state reachable however the steps rounded.
    if (v > 1.0 + 0x1p-52) v = 0.0;
  }
  SetValue(v, 0);
  mMouseDown = true;
  SetDirty(true);
}

void ISwitchControlBase::OnMouseUp(float, float, const IMouseMod&) {
  mMouseDown = false;
  SetDirty(false);
}

void ISwitchControlBase::SetAllStatesDisabled(bool disabled) {
  std::fill(mDisabledStates.begin(), mDisabledStates.end(), disabled);
  SetDirty(false);
}

void ISwitchControlBase::SetStateDisabled(int stateIdx, bool disabled) {
  if (stateIdx >= 0 && stateIdx < static_cast<int>(mDisabledStates.size()))
    mDisabledStates[static_cast<size_t>(stateIdx)] = disabled;
  SetDirty(false);
}

bool ISwitchControlBase::GetStateDisabled(int stateIdx) const {
  return stateIdx >= 0 && stateIdx < static_cast<int>(mDisabledStates.size()) &&
         mDisabledStates[static_cast<size_t>(stateIdx)];
}

// ---------------------------------------------------------------------------------------
// Slider

ISliderControlBase::ISliderControlBase(const IRECT& bounds, int paramIdx, EDirection direction, double gearing,
                                       float handleSize)
    : IControl(bounds, paramIdx), mDirection(direction), mTrack(bounds), mHandleSize(handleSize), mGearing(gearing) {}

ISliderControlBase::ISliderControlBase(const IRECT& bounds, ActionFunc action, EDirection direction, double gearing,
                                       float handleSize)
    : ISliderControlBase(bounds, kNoLinkedParam, direction, gearing, handleSize) {
  SetActionFunction(std::move(action));
}

void ISliderControlBase::OnResize() {
  SetTargetRECT(mRECT);
  mTrack = mRECT;
  mMouseIsOver = false;
  SetDirty(false);
}

void ISliderControlBase::OnMouseDown(float x, float y, const IMouseMod& mod) {
  mMouseDown = true;
  if (steppedParam(GetParam(0)) == nullptr) SnapToMouse(x, y, mDirection, mTrack);
  mMouseDragValue = GetValue(0);
  if (mHideCursorOnDrag && GetGraphics() != nullptr) GetGraphics()->HideMouseCursor(true, true);
  if (mod.R) PromptUserInput(GetValIdxForPos(x, y));
}

void ISliderControlBase::OnMouseUp(float, float, const IMouseMod&) {
  if (mHideCursorOnDrag && GetGraphics() != nullptr) GetGraphics()->HideMouseCursor(false, true);
  mMouseDown = false;
  SetDirty(false);
}

void ISliderControlBase::OnMouseDrag(float x, float y, float dX, float dY, const IMouseMod& mod) {
  const IParam* stepped = steppedParam(GetParam(0));
  const bool cursorShown = GetGraphics() == nullptr || !GetGraphics()->CursorIsHidden();
  if ((mod.touchID > 0 || cursorShown) && stepped == nullptr) {
    SnapToMouse(x, y, mDirection, mTrack);
    return;
  }

  double gearing = mGearing;
  if (IsFineControl(mod)) gearing *= 10.0;
  const bool vertical = mDirection == EDirection::Vertical;
  // Dragging up raises a vertical slider.
  const double extent = vertical ? static_cast<double>(mTrack.T) - mTrack.B : static_cast<double>(mTrack.R) - mTrack.L;
  const double dragged = mMouseDragValue + (vertical ? dY : dX) / extent / gearing;
  // A track or gearing of zero gives no defined change: the drag is ignored.
  if (!std::isfinite(dragged)) return;
  // The drag keeps its own unstepped sum, so small moves add up to the next step.
  mMouseDragValue = std::clamp(dragged, 0.0, 1.0);
  const double v = stepped != nullptr ? toWholeStep(*stepped, mMouseDragValue) : mMouseDragValue;
  SetValue(v, 0);
  SetDirty(true);
}

void ISliderControlBase::OnMouseWheel(float, float, const IMouseMod& mod, float d) {
  if (!std::isfinite(d)) return;
  double v = GetValue(0);
  if (const IParam* stepped = steppedParam(GetParam(0))) {
    if (d != 0.f) {
      const double value = stepped->FromNormalized(v) + (d > 0.f ? stepped->GetStep() : -stepped->GetStep());
      v = stepped->ToNormalized(value);
    }
  } else {
    v += (IsFineControl(mod) ? 0.001 : 0.01) * d;  // SetDirty limits it to 0..1
  }
  if (!std::isfinite(v)) return;
  SetValue(v, 0);
  SetDirty(true);
}

// ---------------------------------------------------------------------------------------
// Link

IURLControl::IURLControl(const IRECT& bounds, const char* str, const char* url, const IText& text,
                         const IColor& bgColor, const IColor& mouseOverColor, const IColor& clickedColor)
    : ITextControl(bounds, str, text, bgColor),
      mURLStr(url != nullptr ? url : ""),
      mOriginalColor(text.color),
      mMouseOverColor(mouseOverColor),
      mClickedColor(clickedColor) {
  mIgnoreMouse = false;
}

void IURLControl::Draw(ICanvas& g) {
  g.FillRect(mBGColor, mRECT, &mBlend);
  if (mStr.Empty()) return;
  const IText style = mText.WithColor(mMouseIsOver ? mMouseOverColor : (mClicked ? mClickedColor : mOriginalColor));
  // The underline runs along the bottom of the text as its alignment places it.
  IRECT box = mRECT;
  g.MeasureText(style, mStr.Get(), box);
  g.DrawLine(style.color, box.L, box.B, box.R, box.B, &mBlend, 1.f);
  g.DrawText(style, mStr.Get(), mRECT, &mBlend);
}

void IURLControl::OnMouseDown(float, float, const IMouseMod&) {
  ICanvas* g = GetGraphics();
  if (g == nullptr) return;
  g->OpenURL(mURLStr.Get());
  g->ReleaseMouseCapture();
  mClicked = true;
  SetDirty(false);
}

void IURLControl::OnMouseOver(float x, float y, const IMouseMod& mod) {
  if (GetGraphics() != nullptr) GetGraphics()->SetMouseCursor(ECursor::Hand);
  IControl::OnMouseOver(x, y, mod);
}

void IURLControl::OnMouseOut() {
  if (GetGraphics() != nullptr) GetGraphics()->SetMouseCursor(ECursor::Arrow);
  IControl::OnMouseOut();
}

void IURLControl::SetText(const IText& text) {
  mText = text;
  mOriginalColor = text.color;
}

// ---------------------------------------------------------------------------------------
// Text toggle

ITextToggleControl::ITextToggleControl(const IRECT& bounds, int paramIdx, const char* offText, const char* onText,
                                       const IText& text, const IColor& bgColor)
    : ITextControl(bounds, offText, text, bgColor),
      mOffText(offText != nullptr ? offText : ""),
      mOnText(onText != nullptr ? onText : "") {
  mIgnoreMouse = false;
  mDblAsSingleClick = true;
  SetParamIdx(paramIdx);
}

ITextToggleControl::ITextToggleControl(const IRECT& bounds, ActionFunc action, const char* offText,
                                       const char* onText, const IText& text, const IColor& bgColor)
    : ITextToggleControl(bounds, kNoLinkedParam, offText, onText, text, bgColor) {
  SetActionFunction(std::move(action));
}

void ITextToggleControl::OnMouseDown(float, float, const IMouseMod&) {
  SetValue(GetValue(0) < 0.5 ? 1.0 : 0.0, 0);
  SetDirty(true, 0);
}

void ITextToggleControl::SetDirty(bool triggerAction, int valIdx) {
  mStr.Set(GetValue(0) > 0.5 ? mOnText.Get() : mOffText.Get());
  IControl::SetDirty(triggerAction, valIdx);
}

// ---------------------------------------------------------------------------------------
// Caption

ICaptionControl::ICaptionControl(const IRECT& bounds, int paramIdx, const IText& text, const IColor& bgColor,
                                 bool showParamLabel)
    : ITextControl(bounds, "", text, bgColor), mShowParamLabel(showParamLabel) {
  SetParamIdx(paramIdx);
  mDirty = true;
  mPromptDisabled = false;
  mDblAsSingleClick = true;
  mIgnoreMouse = false;
}

void ICaptionControl::OnResize() {
  mTri = IRECT();
  const IParam* param = GetParam(0);
  if (param == nullptr || param->Type() != IParam::kTypeEnum) return;
  const float s = mText.size;
  const IRECT strip = mText.align == ETextHAlign::Right ? mRECT.GetFromLeft(s) : mRECT.GetFromRight(s);
  mTri = strip.GetCentredInside(0.5f * s, 0.33f * s);
}

void ICaptionControl::Draw(ICanvas& g) {
  StringBuf display;
  if (LinkedParamDisplay(*this, display, mShowParamLabel)) mStr.Set(display.Get());
  ITextControl::Draw(g);
  if (mTri.IsEmpty()) return;
  // Pointing down: the two top corners and the bottom centre.
  if (mMouseIsOver)
    g.FillTriangle(mTriangleMouseOverColor, mTri.L, mTri.T, mTri.R, mTri.T, mTri.CentreX(), mTri.B);
  else
    g.FillTriangle(mTriangleColor, mTri.L, mTri.T, mTri.R, mTri.T, mTri.CentreX(), mTri.B, &BLEND_50);
}

void ICaptionControl::OnMouseDown(float, float, const IMouseMod& mod) {
  if ((mod.L || mod.R) && GetParam(0) != nullptr && !mPromptDisabled && GetGraphics() != nullptr)
    GetGraphics()->PromptUserInput(*this, mRECT, 0);
}

// ---------------------------------------------------------------------------------------
// Placeholder

PlaceHolder::PlaceHolder(const IRECT& bounds, const char* str)
    : ITextControl(bounds, str,
                   IText(20.f, DEFAULT_TEXT_FGCOLOR, "Roboto-Regular", ETextHAlign::Centre, ETextVAlign::Middle, 0.f,
                         DEFAULT_TEXTENTRY_BGCOLOR, DEFAULT_TEXTENTRY_FGCOLOR),
                   COLOR_WHITE) {
  mPromptDisabled = false;
  mDblAsSingleClick = false;
  mIgnoreMouse = false;
}

void PlaceHolder::OnResize() {
  // StringBuf formats in the "C" locale: a host's comma locale never reaches these.
  mTLGCStr.SetFormatted(32, "%0.1f, %0.1f", mRECT.L, mRECT.T);
  mWidthStr.SetFormatted(32, "%0.1f", mRECT.Width());
  mHeightStr.SetFormatted(32, "%0.1f", mRECT.Height());
}

void PlaceHolder::drawBoxedText(ICanvas& g, const IText& style, const char* str, float x, float y,
                                const IBlend& boxBlend) {
  IRECT box(x, y, x, y);
  g.MeasureText(style, str, box);
  g.FillRect(COLOR_WHITE, box, &boxBlend);
  g.DrawText(style, str, x, y, &mBlend);
}

void PlaceHolder::Draw(ICanvas& g) {
  g.FillRect(mBGColor, mRECT, &mBlend);
  g.DrawLine(COLOR_RED, mRECT.L, mRECT.T, mRECT.R, mRECT.B, &BLEND_50, 2.f);
  g.DrawLine(COLOR_RED, mRECT.L, mRECT.B, mRECT.R, mRECT.T, &BLEND_50, 2.f);

  drawBoxedText(g, mHeightText, mHeightStr.Get(), mRECT.L + 10.f, mRECT.CentreY(), BLEND_50);
  drawBoxedText(g, mWidthText, mWidthStr.Get(), mRECT.CentreX(), mRECT.T + 10.f, BLEND_75);
  drawBoxedText(g, mTLHCText, mTLGCStr.Get(), mRECT.L + 10.f, mRECT.T + 10.f, BLEND_50);

  if (mStr.Empty()) return;
  IRECT box = mRECT;
  g.MeasureText(mText, mStr.Get(), box);
  g.FillRect(COLOR_WHITE, box, &BLEND_75);
  g.DrawText(mText, mStr.Get(), mRECT, &mBlend);
  mCentreLabelBounds = box;
}

void PlaceHolder::OnMouseDblClick(float, float, const IMouseMod&) {
  if (GetGraphics() != nullptr) GetGraphics()->CreateTextEntry(*this, mText, mRECT, mStr.Get());
}

void PlaceHolder::OnTextEntryCompletion(const char* str, int) { SetStr(str); }

}  // namespace plugkit::canvas
