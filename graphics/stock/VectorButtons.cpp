#include "graphics/stock/VectorButtons.h"

#include <algorithm>
#include <cmath>

#include "graphics/ICanvas.h"

namespace plugkit::canvas {

// ---------------------------------------------------------------------------------------
// Label

IVLabelControl::IVLabelControl(const IRECT& bounds, const char* str, const IVStyle& style)
    : ITextControl(bounds, str, DEFAULT_TEXT, DEFAULT_BGCOLOR, false), IVectorBase(style) {
  mText = style.valueText;
  AttachIControl(this, str);
}

void IVLabelControl::Draw(ICanvas& g) {
  DrawBackground(g, mRECT);
  if (!mStr.Empty()) {
    if (mStyle.drawShadows && !IsDisabled()) {
      const float offset = mStyle.shadowOffset;
      g.DrawText(mStyle.valueText.WithColor(GetColor(kShadow)), mStr.Get(), mRECT.GetTranslated(offset, offset),
                 &mBlend);
    }
    g.DrawText(mStyle.valueText, mStr.Get(), mRECT, &mBlend);
  }
  if (mStyle.drawFrame) g.DrawRect(GetColor(kFrame), mRECT, &mBlend, mStyle.frameThickness);
}

// ---------------------------------------------------------------------------------------
// Button

IVButtonControl::IVButtonControl(const IRECT& bounds, ActionFunc action, const char* label, const IVStyle& style,
                                 bool labelInButton, bool valueInButton, EVShape shape)
    : IButtonControlBase(bounds, std::move(action)), IVectorBase(style, labelInButton, valueInButton) {
  mText = style.valueText;
  mShape = shape;
  AttachIControl(this, label);
}

void IVButtonControl::Draw(ICanvas& g) {
  DrawBackground(g, mRECT);
  DrawWidget(g);
  DrawLabel(g);
  DrawValue(g, false);
}

void IVButtonControl::DrawWidget(ICanvas& g) {
  DrawPressableShape(g, mShape, mWidgetBounds, GetValue(0) != 0.0, mMouseIsOver, IsDisabled());
}

void IVButtonControl::OnResize() {
  SetTargetRECT(MakeRects(mRECT, true));
  mMouseIsOver = false;
  SetDirty(false);
}

// ---------------------------------------------------------------------------------------
// Switch

IVSwitchControl::IVSwitchControl(const IRECT& bounds, int paramIdx, const char* label, const IVStyle& style,
                                 bool valueInButton)
    : ISwitchControlBase(bounds, paramIdx, SplashClickActionFunc, 2), IVectorBase(style, false, valueInButton) {
  mText = style.valueText;
  if (valueInButton) {
    mStyle.valueText.valign = ETextVAlign::Middle;
    mText.valign = ETextVAlign::Middle;
  }
  AttachIControl(this, label);
}

IVSwitchControl::IVSwitchControl(const IRECT& bounds, ActionFunc action, const char* label, const IVStyle& style,
                                 int numStates, bool valueInButton)
    : IVSwitchControl(bounds, kNoLinkedParam, label, style, valueInButton) {
  SetActionFunction(std::move(action));
  setNumStates(numStates);
}

void IVSwitchControl::Draw(ICanvas& g) {
  DrawBackground(g, mRECT);
  DrawLabel(g);
  DrawWidget(g);
  DrawValue(g, false);
}

void IVSwitchControl::DrawWidget(ICanvas& g) {
  DrawPressableShape(g, mShape, mWidgetBounds, mMouseDown, mMouseIsOver, IsDisabled());
}

void IVSwitchControl::updateValueStr() {
  StringBuf display;
  if (LinkedParamDisplay(*this, display, false)) SetValueStr(display.Get());
}

void IVSwitchControl::SetDirty(bool triggerAction, int) {
  ISwitchControlBase::SetDirty(triggerAction, kEveryValIdx);
  updateValueStr();
}

void IVSwitchControl::OnResize() {
  SetTargetRECT(MakeRects(mRECT, true));
  mMouseIsOver = false;
  SetDirty(false);
}

void IVSwitchControl::OnInit() {
  ISwitchControlBase::OnInit();
  updateValueStr();
  const IParam* param = GetParam(0);
  if (param != nullptr && mLabelStr.Empty()) SetLabelStr(param->GetName());
}

void IVSwitchControl::OnMouseOut() {
  ISwitchControlBase::OnMouseOut();
  SetDirty(false);
}

// ---------------------------------------------------------------------------------------
// Toggle

IVToggleControl::IVToggleControl(const IRECT& bounds, int paramIdx, const char* label, const IVStyle& style,
                                 const char* offText, const char* onText)
    : IVSwitchControl(bounds, paramIdx, label, style, true),
      mOffText(offText != nullptr ? offText : ""),
      mOnText(onText != nullptr ? onText : "") {}

IVToggleControl::IVToggleControl(const IRECT& bounds, ActionFunc action, const char* label, const IVStyle& style,
                                 const char* offText, const char* onText, bool initialState)
    : IVSwitchControl(bounds, std::move(action), label, style, 2, true),
      mOffText(offText != nullptr ? offText : ""),
      mOnText(onText != nullptr ? onText : "") {
  SetValue(initialState ? 1.0 : 0.0);
}

void IVToggleControl::DrawWidget(ICanvas& g) {
  DrawPressableShape(g, mShape, mWidgetBounds, GetValue(0) > 0.5, mMouseIsOver, IsDisabled());
}

void IVToggleControl::DrawValue(ICanvas& g, bool mouseOver) {
  if (mouseOver) g.FillRect(GetColor(kHighlight), mValueBounds, &mBlend);
  g.DrawText(mStyle.valueText, GetValue(0) > 0.5 ? mOnText.c_str() : mOffText.c_str(), mValueBounds, &mBlend);
}

// ---------------------------------------------------------------------------------------
// Slide switch

IVSlideSwitchControl::IVSlideSwitchControl(const IRECT& bounds, int paramIdx, const char* label,
                                           const IVStyle& style, bool valueInButton, EDirection direction)
    : IVSwitchControl(bounds, paramIdx, label, style, valueInButton), mDirection(direction) {
  SetActionFunction(startSlide);
}

IVSlideSwitchControl::IVSlideSwitchControl(const IRECT& bounds, ActionFunc action, const char* label,
                                           const IVStyle& style, bool valueInButton, EDirection direction,
                                           int numStates, int initialState)
    : IVSwitchControl(bounds, nullptr, label, style, numStates, valueInButton), mDirection(direction) {
  SetActionFunction(startSlide);
  SetAnimationEndActionFunction(std::move(action));
  SetValue(static_cast<double>(initialState));
}

void IVSlideSwitchControl::startSlide(IControl* control) {
  if (control != nullptr) control->SetAnimationFunction(slideStep, kSlideMs);
}

void IVSlideSwitchControl::slideStep(IControl* control) {
  auto* slide = dynamic_cast<IVSlideSwitchControl*>(control);
  if (slide == nullptr) return;
  const float p = static_cast<float>(slide->GetAnimationProgress());
  const IRECT& a = slide->mStartRect;
  const IRECT& b = slide->mEndRect;
  slide->mHandleBounds = IRECT(a.L + (b.L - a.L) * p, a.T + (b.T - a.T) * p, a.R + (b.R - a.R) * p,
                               a.B + (b.B - a.B) * p);
  if (slide->mValueInWidget) slide->mValueBounds = slide->mHandleBounds;
  if (p > 1.f) slide->OnEndAnimation();
}

IRECT IVSlideSwitchControl::cellOf(int state) const {
  const IRECT& w = mWidgetBounds;
  const float n = static_cast<float>(mNumStates);
  const float s = static_cast<float>(state);
  if (mDirection == EDirection::Horizontal) {
    const float cw = w.Width() / n;
    return IRECT(w.L + s * cw, w.T, w.L + s * cw + cw, w.B);
  }
  const float ch = w.Height() / n;
  return IRECT(w.L, w.T + s * ch, w.R, w.T + s * ch + ch);
}

void IVSlideSwitchControl::UpdateRects() {
  const double v = std::clamp(GetValue(0), 0.0, 1.0);
  const int state = static_cast<int>(static_cast<double>(mNumStates - 1) * v + 0.5);
  mStartRect = cellOf(state);
  mHandleBounds = mStartRect;
  mEndRect = cellOf((state + 1) % mNumStates);
  if (mValueInWidget) mValueBounds = mHandleBounds;
}

void IVSlideSwitchControl::SetDirty(bool triggerAction, int valIdx) {
  IVSwitchControl::SetDirty(triggerAction, valIdx);
  // While the handle slides, its rectangles belong to the slide.
  if (!GetAnimationFunction()) UpdateRects();
}

void IVSlideSwitchControl::OnResize() {
  IVSwitchControl::OnResize();
  UpdateRects();
}

void IVSlideSwitchControl::OnEndAnimation() {
  UpdateRects();
  IVSwitchControl::OnEndAnimation();
}

void IVSlideSwitchControl::Draw(ICanvas& g) {
  DrawBackground(g, mRECT);
  DrawWidget(g);
  DrawLabel(g);
  if (!GetAnimationFunction()) DrawValue(g, false);
}

void IVSlideSwitchControl::DrawWidget(ICanvas& g) {
  DrawTrack(g, mWidgetBounds);
  DrawHandle(g, mHandleBounds);
}

void IVSlideSwitchControl::DrawTrack(ICanvas& g, const IRECT& bounds) {
  const float radius = std::min(mHandleBounds.Width(), mHandleBounds.Height()) * 0.5f * mStyle.roundness;
  g.FillRoundRect(GetColor(kShadow), bounds, radius);
}

void IVSlideSwitchControl::DrawHandle(ICanvas& g, const IRECT& bounds) {
  DrawPressableShape(g, mShape, bounds, mMouseDown, mMouseIsOver, IsDisabled());
}

// ---------------------------------------------------------------------------------------
// Tab switch

IVTabSwitchControl::IVTabSwitchControl(const IRECT& bounds, int paramIdx, std::initializer_list<const char*> options,
                                       const char* label, const IVStyle& style, EVShape shape, EDirection direction)
    : ISwitchControlBase(bounds, paramIdx, SplashClickActionFunc, static_cast<int>(options.size())),
      IVectorBase(style),
      mTabShape(shape),
      mDirection(direction) {
  AttachIControl(this, label);
  mText = style.valueText;
  mStyle.valueText.align = mText.align = ETextHAlign::Centre;
  mStyle.valueText.valign = mText.valign = ETextVAlign::Middle;
  for (const char* option : options) mTabLabels.emplace_back(option != nullptr ? option : "");
}

IVTabSwitchControl::IVTabSwitchControl(const IRECT& bounds, ActionFunc action,
                                       std::initializer_list<const char*> options, const char* label,
                                       const IVStyle& style, EVShape shape, EDirection direction)
    : IVTabSwitchControl(bounds, kNoLinkedParam, options, label, style, shape, direction) {
  SetActionFunction(std::move(action));
}

void IVTabSwitchControl::OnInit() {
  ISwitchControlBase::OnInit();
  const IParam* param = GetParam(0);
  if (param == nullptr) return;
  if (mTabLabels.empty()) {
    for (int i = 0; i < mNumStates; ++i) {
      StringBuf display;
      param->GetDisplay(static_cast<double>(i), false, display, true);
      mTabLabels.emplace_back(display.Get());
    }
  }
  if (mLabelStr.Empty()) SetLabelStr(param->GetName());
}

void IVTabSwitchControl::OnResize() {
  SetTargetRECT(MakeRects(mRECT, false));
  mMouseIsOver = false;
  mButtons.clear();
  const IRECT& w = mWidgetBounds;
  const float n = static_cast<float>(mNumStates);
  for (int i = 0; i < mNumStates; ++i) {
    const float f = static_cast<float>(i);
    if (mDirection == EDirection::Horizontal) {
      const float cw = w.Width() / n;
      mButtons.emplace_back(w.L + f * cw, w.T, w.L + f * cw + cw, w.B);
    } else {
      const float ch = w.Height() / n;
      mButtons.emplace_back(w.L, w.T + f * ch, w.R, w.T + f * ch + ch);
    }
  }
  SetDirty(false);
}

int IVTabSwitchControl::GetSelectedIdx() const {
  if (mNumStates < 2) return 0;
  const double v = std::clamp(GetValue(0), 0.0, 1.0);
  return static_cast<int>(std::round(static_cast<double>(mNumStates - 1) * v));
}

void IVTabSwitchControl::Draw(ICanvas& g) {
  DrawBackground(g, mRECT);
  DrawLabel(g);
  DrawWidget(g);
}

void IVTabSwitchControl::DrawWidget(ICanvas& g) {
  const int selected = GetSelectedIdx();
  const int n = static_cast<int>(mButtons.size());
  for (int i = 0; i < n; ++i) {
    ETabSegment segment = ETabSegment::Inner;
    if (i == 0) segment = n == 1 ? ETabSegment::Last : ETabSegment::First;
    else if (i == n - 1) segment = ETabSegment::Last;
    const bool disabled = IsDisabled() || GetStateDisabled(i);
    const IRECT& r = mButtons[static_cast<size_t>(i)];
    DrawButton(g, r, i == selected, i == mMouseOverButton, segment, disabled);
    if (i < static_cast<int>(mTabLabels.size()))
      DrawButtonText(g, r, i == selected, i == mMouseOverButton, segment, disabled,
                     mTabLabels[static_cast<size_t>(i)].c_str());
  }
}

void IVTabSwitchControl::DrawButton(ICanvas& g, const IRECT& r, bool pressed, bool mouseOver, ETabSegment segment,
                                    bool disabled) {
  const bool horizontal = mDirection == EDirection::Horizontal;
  const bool first = segment == ETabSegment::First, last = segment == ETabSegment::Last;
  switch (mTabShape) {
    case EVShape::HalfRoundedRectangle:
      if (horizontal)
        DrawPressableRectangle(g, r, pressed, mouseOver, disabled, first, last, false, false);
      else
        DrawPressableRectangle(g, r, pressed, mouseOver, disabled, false, first, false, last);
      break;
    case EVShape::AllRoundedRectangle:
      if (horizontal)
        DrawPressableRectangle(g, r, pressed, mouseOver, disabled, true, true, false, false);
      else
        DrawPressableRectangle(g, r, pressed, mouseOver, disabled, false, true, false, true);
      break;
    default: DrawPressableShape(g, mTabShape, r, pressed, mouseOver, disabled); break;
  }
}

void IVTabSwitchControl::DrawButtonText(ICanvas& g, const IRECT& r, bool, bool, ETabSegment, bool,
                                        const char* text) {
  if (text != nullptr && text[0] != '\0') g.DrawText(mStyle.valueText, text, r, &mBlend);
}

int IVTabSwitchControl::GetButtonForPoint(float x, float y) const {
  for (size_t i = 0; i < mButtons.size(); ++i)
    if (mButtons[i].ContainsPoint(x, y)) return static_cast<int>(i);
  return -1;
}

void IVTabSwitchControl::OnMouseDown(float x, float y, const IMouseMod&) {
  const int tab = GetButtonForPoint(x, y);
  // A tab drawn disabled is not chosen.
  if (tab >= 0 && GetStateDisabled(tab)) return;
  if (tab >= 0) SetValue(mNumStates > 1 ? static_cast<double>(tab) / static_cast<double>(mNumStates - 1) : 0.0);
  SetDirty(true);
}

void IVTabSwitchControl::OnMouseOver(float x, float y, const IMouseMod& mod) {
  mMouseOverButton = GetButtonForPoint(x, y);
  ISwitchControlBase::OnMouseOver(x, y, mod);
  SetDirty(false);
}

void IVTabSwitchControl::OnMouseOut() {
  mMouseOverButton = -1;
  ISwitchControlBase::OnMouseOut();
  SetDirty(false);
}

const char* IVTabSwitchControl::GetSelectedLabelStr() const {
  const int selected = GetSelectedIdx();
  return selected < static_cast<int>(mTabLabels.size()) ? mTabLabels[static_cast<size_t>(selected)].c_str() : "";
}

// ---------------------------------------------------------------------------------------
// Radio buttons

IVRadioButtonControl::IVRadioButtonControl(const IRECT& bounds, int paramIdx,
                                           std::initializer_list<const char*> options, const char* label,
                                           const IVStyle& style, EVShape shape, EDirection direction, float markSize)
    : IVTabSwitchControl(bounds, paramIdx, options, label, style, shape, direction),
      mMarkSize(markSize),
      mMarkColumnWidth(3.f * markSize) {
  setTextAlignment();
}

IVRadioButtonControl::IVRadioButtonControl(const IRECT& bounds, ActionFunc action,
                                           std::initializer_list<const char*> options, const char* label,
                                           const IVStyle& style, EVShape shape, EDirection direction, float markSize)
    : IVTabSwitchControl(bounds, std::move(action), options, label, style, shape, direction),
      mMarkSize(markSize),
      mMarkColumnWidth(3.f * markSize) {
  setTextAlignment();
}

void IVRadioButtonControl::setTextAlignment() {
  mStyle.valueText.align = mText.align = ETextHAlign::Left;
  mStyle.valueText.valign = mText.valign = ETextVAlign::Middle;
}

void IVRadioButtonControl::DrawWidget(ICanvas& g) {
  const int selected = GetSelectedIdx();
  const float side = std::max(1.f, mMarkSize);
  for (int i = 0; i < static_cast<int>(mButtons.size()); ++i) {
    const IRECT& r = mButtons[static_cast<size_t>(i)];
    const IRECT mark = r.GetFromLeft(mMarkColumnWidth).GetCentredInside(side, side);
    DrawButton(g, mark, i == selected, i == mMouseOverButton, ETabSegment::Inner,
               IsDisabled() || GetStateDisabled(i));
    if (i >= static_cast<int>(mTabLabels.size()) || mTabLabels[static_cast<size_t>(i)].empty()) continue;
    const IText text = mStyle.valueText.WithColor(GetColor(i == selected ? kPressed : kExtra1));
    g.DrawText(text, mTabLabels[static_cast<size_t>(i)].c_str(), r.GetReducedFromLeft(mMarkColumnWidth), &mBlend);
  }
}

int IVRadioButtonControl::GetButtonForPoint(float x, float y) const {
  if (!mOnlyMarksRespond) return IVTabSwitchControl::GetButtonForPoint(x, y);
  for (size_t i = 0; i < mButtons.size(); ++i)
    if (mButtons[i].GetFromLeft(mMarkColumnWidth).ContainsPoint(x, y)) return static_cast<int>(i);
  return -1;
}

// ---------------------------------------------------------------------------------------
// Menu button

IVMenuButtonControl* IVMenuButtonControl::Create(const IRECT& bounds, int paramIdx, const char* label,
                                                 const IVStyle& style, EVShape shape) {
  if (paramIdx < 0) return nullptr;
  return new IVMenuButtonControl(bounds, paramIdx, label, style, shape);
}

IVMenuButtonControl::IVMenuButtonControl(const IRECT& bounds, int paramIdx, const char* label, const IVStyle& style,
                                         EVShape shape)
    : IContainerBase(
          bounds,
          [label = std::string(label != nullptr ? label : ""), shape](IContainerBase* container, const IRECT& r) {
            auto* self = static_cast<IVMenuButtonControl*>(container);
            auto* button = new IVButtonControl(r, SplashClickActionFunc, label.c_str(),
                                               self->buttonStyle(self->GetStyle()), false, true, shape);
            if (self->AttachChild(button, kNoTag, self->GetGroup()) == nullptr) {
              delete button;
              return;
            }
            // The parent is looked up when the click ends: a removed menu button is never reached.
            button->SetAnimationEndActionFunction([](IControl* clicked) {
              if (auto* menu = dynamic_cast<IVMenuButtonControl*>(clicked->GetParent())) menu->openMenu(*clicked);
            });
            self->refreshButton();
          },
          [](IContainerBase* container, const IRECT& r) {
            if (IControl* button = container->GetChild(0)) button->SetBothRects(r);
          }),
      IVectorBase(style) {
  AttachIControl(this, "");
  mText = style.valueText;
  SetParamIdx(paramIdx);
  mPromptDisabled = false;
}

IVStyle IVMenuButtonControl::buttonStyle(const IVStyle& style) const {
  IVStyle s = style;
  s.valueText.valign = ETextVAlign::Middle;
  return s;
}

IVButtonControl* IVMenuButtonControl::GetButton() const { return dynamic_cast<IVButtonControl*>(GetChild(0)); }

void IVMenuButtonControl::refreshButton() {
  IVButtonControl* button = GetButton();
  StringBuf display;
  if (button == nullptr || !LinkedParamDisplay(*this, display, true)) return;
  button->SetValueStr(display.Get());
  button->SetDirty(false);
  button->OnAppearanceChanged();
}

void IVMenuButtonControl::openMenu(IControl& button) {
  ICanvas* g = GetGraphics();
  const IParam* param = GetParam(0);
  if (g == nullptr || param == nullptr || mPromptDisabled) return;
  // The click landed on the unlinked child, so no edit is open yet; the answer of a value
  // menu ends the edit, so it begins here. A text box opens and ends its own.
  const bool menu = param->Type() == IParam::kTypeEnum ||
                    (param->Type() == IParam::kTypeBool && param->NDisplayTexts() > 0);
  const int paramIdx = GetParamIdx(0);
  if (menu && !g->HasOpenGesture(this, paramIdx)) g->BeginParamGesture(this, paramIdx);
  const auto* vector = dynamic_cast<const IVectorBase*>(&button);
  PromptUserInput(vector != nullptr ? vector->GetWidgetBounds() : button.GetRECT(), 0);
}

void IVMenuButtonControl::SetValueFromDelegate(double value, int valIdx) {
  IContainerBase::SetValueFromDelegate(value, valIdx);
  refreshButton();
}

void IVMenuButtonControl::SetValueFromUserInput(double value, int valIdx) {
  if (value == GetValue(valIdx)) return;
  SetValue(value, valIdx);
  SetDirty(true, valIdx);
  refreshButton();
}

void IVMenuButtonControl::OnPopupMenuSelection(IPopupMenu* menu, int valIdx) {
  if (menu != nullptr) {
    if (IVButtonControl* button = GetButton()) {
      const IPopupMenu::Item* chosen = menu->GetChosenItem();
      button->SetValueStr(chosen != nullptr ? chosen->GetText() : "");
      button->SetDirty(false);
      button->OnAppearanceChanged();
    }
  }
  IContainerBase::OnPopupMenuSelection(menu, valIdx);
}

void IVMenuButtonControl::SetStyle(const IVStyle& style) {
  IVectorBase::SetStyle(style);
  if (IVButtonControl* button = GetButton()) button->SetStyle(buttonStyle(style));
}

}  // namespace plugkit::canvas
