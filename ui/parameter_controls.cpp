#include "ui/parameter_controls.h"

#include "framework/StringBuf.h"
#include "graphics/ICanvas.h"
#include "plugin/typed_value.h"

namespace balance_panel {

// ---------------------------------------------------------------------------------------
// PillToggleControl

PillToggleControl::PillToggleControl(const IRECT& bounds, int paramIdx, const char* offLabel, const char* onLabel,
                                     const IText& text, float dotScale, const IColor& litColour, bool inverted)
    : IControl(bounds, paramIdx),
      mDotLit(litColour.WithAlpha(255)),
      mOffLabel(offLabel != nullptr ? offLabel : ""),
      mOnLabel(onLabel != nullptr ? onLabel : ""),
      mLabelText(text),
      mDotScale(dotScale),
      mInverted(inverted) {
  mDblAsSingleClick = true;  // a quick second press toggles back
}

bool PillToggleControl::lit() const {
  const bool on = GetValue(0) > 0.5;
  return mInverted ? !on : on;
}

void PillToggleControl::OnMouseDown(float, float, const IMouseMod&) {
  SetValue(GetValue(0) > 0.5 ? 0.0 : 1.0);
  SetDirty(true);
}

void PillToggleControl::Draw(ICanvas& g) {
  const IRECT& r = mRECT;
  const float h = r.H();
  const bool on = GetValue(0) > 0.5;
  const bool isLit = lit();
  g.FillRoundRect(mFill, r, h / 2.f, &mBlend);
  g.DrawRoundRect(isLit ? mOutlineLit : mOutline, r, h / 2.f, &mBlend, 1.f);
  const float d = 5.f * mDotScale;
  const float xd = r.L + 0.6f * h / 2.f;
  const float cy = (r.T + r.B) / 2.f;
  g.FillEllipse(isLit ? mDotLit : mDot, IRECT(xd, cy - d / 2.f, xd + d, cy + d / 2.f), &mBlend);
  const std::string& label = on ? mOnLabel : mOffLabel;
  g.DrawText(mLabelText, label.c_str(), IRECT(xd + d, r.T, r.R - 0.6f * h / 2.f, r.B), &mBlend);
}

// ---------------------------------------------------------------------------------------
// RingKnobControl

void RingKnobControl::DrawIndicatorTrack(ICanvas& g, float angle, float cx, float cy, float radius) {
  if (!(GetTrackSize() > 0.f) || !(radius > 0.f)) return;
  g.DrawArc(ringColour, cx, cy, radius, GetStartAngle(), GetEndAngle(), &mBlend, GetTrackSize());
  IVKnobControl::DrawIndicatorTrack(g, angle, cx, cy, radius);
}

// ---------------------------------------------------------------------------------------
// AmountCaptionControl

AmountCaptionControl::AmountCaptionControl(const IRECT& bounds, int paramIdx) : IControl(bounds, paramIdx) {
  mDblAsSingleClick = true;
  // The press only opens the entry; a committed value is the host's edit.
  mPressBeginsEdit = false;
}

std::string AmountCaptionControl::displayText() const {
  const plugkit::IParam* param = GetParam(0);
  if (param == nullptr) return "";
  StringBuf display;
  param->GetDisplay(display, true);
  return display.Get();
}

void AmountCaptionControl::OnMouseDown(float, float, const IMouseMod& mod) {
  ICanvas* g = GetUI();
  if (!mod.L || g == nullptr || g->GetControlInTextEntry() != nullptr) return;
  const std::string start = displayText();
  const int previousLength = GetTextEntryLength();
  // Kept before the request: a platform may commit before the request returns.
  mEntryStart = start;
  mEntryOpen = true;
  const unsigned completions = mCompletions;
  SetTextEntryLength(kEntryLength);
  const float cy = mRECT.CentreY();
  g->CreateTextEntry(*this, entryText, IRECT(mRECT.L, cy - 9.f, mRECT.R, cy + 9.f), start.c_str(), -1);
  // A refused request leaves the control as it was.
  if (g->GetControlInTextEntry() != this && mCompletions == completions) {
    SetTextEntryLength(previousLength);
    mEntryOpen = false;
    mEntryStart.clear();
  }
}

void AmountCaptionControl::OnMouseOver(float x, float y, const IMouseMod& mod) {
  IControl::OnMouseOver(x, y, mod);
  SetDirty(false);
}

void AmountCaptionControl::OnMouseOut() {
  IControl::OnMouseOut();
  SetDirty(false);
}

void AmountCaptionControl::OnTextEntryCompletion(const char* str, int) {
  ++mCompletions;
  const bool unchanged = mEntryOpen && str != nullptr && mEntryStart == str;
  mEntryOpen = false;
  if (!unchanged && str != nullptr) typed_value::sendTypedValue(*this, GetParamIdx(0), str, false);
  SetDirty(false);
}

void AmountCaptionControl::Draw(ICanvas& g) {
  std::string text = prefix + displayText();
  if (suffix) text += suffix();
  const IText style = GetMouseIsOver() ? captionText.WithColor(entryText.color) : captionText;
  g.DrawText(style, text.c_str(), mRECT);
}

}  // namespace balance_panel
