#include "graphics/IVectorBase.h"

#include <algorithm>
#include <cmath>
#include <numbers>

#include "graphics/ICanvas.h"

namespace plugkit::canvas {

IVectorBase::IVectorBase(const IVStyle& style, bool labelInWidget, bool valueInWidget)
    : mStyle(style), mLabelInWidget(labelInWidget), mValueInWidget(valueInWidget) {}

void IVectorBase::AttachIControl(IControl* control, const char* label) {
  mControl = control;
  mLabelStr.Set(label != nullptr ? label : "");
}

void IVectorBase::SetStyle(const IVStyle& style) {
  mStyle = style;
  OnAppearanceChanged();
}

void IVectorBase::styleChanged() { OnAppearanceChanged(); }

void IVectorBase::SetColor(EVColor role, const IColor& color) {
  mStyle.colorSpec.SetColor(role, color);
  styleChanged();
}

void IVectorBase::SetColors(const IVColorSpec& spec) {
  mStyle.colorSpec = spec;
  styleChanged();
}

void IVectorBase::SetLabelStr(const char* str) { mLabelStr.Set(str != nullptr ? str : ""); }
void IVectorBase::SetValueStr(const char* str) { mValueStr.Set(str != nullptr ? str : ""); }

void IVectorBase::SetHideCursor(bool hide) { mStyle.hideCursor = hide; styleChanged(); }
void IVectorBase::SetShowLabel(bool show) { mStyle.showLabel = show; styleChanged(); }
void IVectorBase::SetShowValue(bool show) { mStyle.showValue = show; styleChanged(); }
void IVectorBase::SetDrawFrame(bool draw) { mStyle.drawFrame = draw; styleChanged(); }
void IVectorBase::SetDrawShadows(bool draw) { mStyle.drawShadows = draw; styleChanged(); }
void IVectorBase::SetEmboss(bool emboss) { mStyle.emboss = emboss; styleChanged(); }
void IVectorBase::SetRoundness(float roundness) { mStyle.roundness = roundness; styleChanged(); }
void IVectorBase::SetFrameThickness(float thickness) { mStyle.frameThickness = thickness; styleChanged(); }
void IVectorBase::SetShadowOffset(float offset) { mStyle.shadowOffset = offset; styleChanged(); }
void IVectorBase::SetWidgetFrac(float frac) { mStyle.widgetFrac = frac; styleChanged(); }
void IVectorBase::SetAngle(float angle) { mStyle.angle = angle; styleChanged(); }
void IVectorBase::SetLabelText(const IText& text) { mStyle.labelText = text; styleChanged(); }
void IVectorBase::SetValueText(const IText& text) { mStyle.valueText = text; styleChanged(); }
void IVectorBase::SetLabelSide(EVLabelSide side) { mStyle.labelSide = side; styleChanged(); }

float IVectorBase::GetRoundedCornerRadius(const IRECT& bounds) const {
  return mStyle.roundness * std::min(bounds.Width(), bounds.Height()) / 2.f;
}

IColor IVectorBase::Disabled(const IColor& color, bool disabled) {
  if (!disabled) return color;
  // A contrast of -0.25: the truncation of -0.25 x 255.
  constexpr int kChange = static_cast<int>(-0.25 * 255.0);
  IColor c(color.A, color.R + kChange, color.G + kChange, color.B + kChange);
  c.R = std::clamp(c.R, 0, 255);
  c.G = std::clamp(c.G, 0, 255);
  c.B = std::clamp(c.B, 0, 255);
  return c;
}

// ---------------------------------------------------------------------------------------
// Background, label, value

void IVectorBase::DrawBackground(ICanvas& g, const IRECT& r) { g.FillRect(GetColor(kBackground), r, controlBlend()); }

void IVectorBase::DrawLabel(ICanvas& g) {
  if (!(mLabelBounds.Height() > 0.f) || !mStyle.showLabel) return;
  g.DrawText(mStyle.labelText, mLabelStr.Get(), mLabelBounds, controlBlend());
}

void IVectorBase::DrawValue(ICanvas& g, bool mouseOver) {
  if (mouseOver) g.FillRect(COLOR_TRANSLUCENT, mValueBounds);
  if (mStyle.showValue) g.DrawText(mStyle.valueText, mValueStr.Get(), mValueBounds, controlBlend());
}

// ---------------------------------------------------------------------------------------
// Pressable shapes

void IVectorBase::DrawPressableShape(ICanvas& g, EVShape shape, const IRECT& bounds, bool pressed, bool mouseOver,
                                     bool disabled) {
  switch (shape) {
    case EVShape::Rectangle:
    case EVShape::AllRoundedRectangle:
      DrawPressableRectangle(g, bounds, pressed, mouseOver, disabled, true, true, true, true);
      break;
    case EVShape::HalfRoundedRectangle:
      DrawPressableRectangle(g, bounds, pressed, mouseOver, disabled, true, true, false, false);
      break;
    case EVShape::Ellipse: DrawPressableEllipse(g, bounds, pressed, mouseOver, disabled); break;
    case EVShape::Triangle: DrawPressableTriangle(g, bounds, pressed, mouseOver, mStyle.angle, disabled); break;
    default: break;
  }
}

IRECT IVectorBase::DrawPressableEllipse(ICanvas& g, const IRECT& bounds, bool pressed, bool mouseOver,
                                        bool disabled) {
  const float offset = mStyle.shadowOffset;
  const IRECT handle = bounds;
  const IRECT shadow = bounds.GetTranslated(offset, offset);
  const IRECT centre = bounds.GetPadded(-offset);
  const IBlend* blend = controlBlend();
  auto dim = [disabled](const IColor& c) { return Disabled(c, disabled); };

  if (!pressed && !disabled && mStyle.drawShadows) g.FillEllipse(GetColor(kShadow), shadow);

  if (pressed) {
    if (mStyle.emboss) {
      g.FillEllipse(GetColor(kPressed), handle, blend);
      g.FillEllipse(GetColor(kShadow), handle, blend);
      g.FillEllipse(dim(GetColor(kForeground)), IRECT(handle.L + offset, handle.T + offset, handle.R, handle.B));
      g.FillEllipse(dim(GetColor(kPressed)), centre);
    } else {
      g.FillEllipse(dim(GetColor(kPressed)), handle);
    }
    if (controlAnimating()) {
      g.PathClipRegion(handle);
      g.FillCircle(GetColor(kHighlight), mSplashPoint.x, mSplashPoint.y, mSplashRadius);
      g.PathClipRegion();
    }
  } else if (mStyle.emboss) {
    g.FillEllipse(dim(GetColor(kPressed)), handle);
    g.FillEllipse(dim(GetColor(kShadow)), shadow);
    g.FillEllipse(dim(GetColor(kForeground)), centre);
    if (mouseOver) g.FillEllipse(GetColor(kHighlight), centre, blend);
  } else {
    g.FillEllipse(dim(GetColor(kForeground)), handle);
    if (mouseOver) g.FillEllipse(GetColor(kHighlight), handle, blend);
  }

  if (mStyle.drawFrame) g.DrawEllipse(GetColor(kFrame), handle, blend, mStyle.frameThickness);
  return handle;
}

IRECT IVectorBase::handleBounds(const IRECT& bounds) const {
  IRECT handle = bounds;
  if (mStyle.drawFrame) handle = handle.GetPadded(-0.5f * mStyle.frameThickness);
  if (mStyle.drawShadows) {
    handle.L += mStyle.shadowOffset;
    handle.R -= mStyle.shadowOffset;
    handle.B -= mStyle.shadowOffset;
  }
  return handle;
}

IRECT IVectorBase::DrawPressableRectangle(ICanvas& g, const IRECT& bounds, bool pressed, bool mouseOver,
                                          bool disabled, bool roundTopLeft, bool roundTopRight, bool roundBottomLeft,
                                          bool roundBottomRight) {
  const float offset = mStyle.shadowOffset;
  const IRECT handle = handleBounds(bounds);
  const IRECT shadow = handle.GetTranslated(offset, offset);
  const IRECT centre = handle.GetPadded(-offset);
  const float cr = GetRoundedCornerRadius(handle);
  const float tl = roundTopLeft ? cr : 0.f, tr = roundTopRight ? cr : 0.f;
  const float bl = roundBottomLeft ? cr : 0.f, br = roundBottomRight ? cr : 0.f;
  const IBlend* blend = controlBlend();
  auto dim = [disabled](const IColor& c) { return Disabled(c, disabled); };
  auto fill = [&](const IColor& c, const IRECT& r, const IBlend* b) { g.FillRoundRect(c, r, tl, tr, bl, br, b); };

  if (!pressed && !disabled && mStyle.drawShadows) fill(GetColor(kShadow), shadow, nullptr);

  if (pressed) {
    if (mStyle.emboss) {
      fill(GetColor(kPressed), handle, blend);
      fill(GetColor(kShadow), handle, blend);
      fill(dim(GetColor(kForeground)), IRECT(handle.L + offset, handle.T + offset, handle.R, handle.B), nullptr);
      fill(dim(GetColor(kPressed)), centre, nullptr);
    } else {
      fill(dim(GetColor(kPressed)), handle, nullptr);
    }
    if (controlAnimating()) {
      g.PathClipRegion(handle);
      g.FillCircle(GetColor(kHighlight), mSplashPoint.x, mSplashPoint.y, mSplashRadius);
      g.PathClipRegion();
    }
  } else if (mStyle.emboss) {
    fill(dim(GetColor(kPressed)), handle, nullptr);
    fill(dim(GetColor(kShadow)), shadow, nullptr);
    fill(dim(GetColor(kForeground)), centre, nullptr);
    if (mouseOver) fill(GetColor(kHighlight), centre, blend);
  } else {
    fill(dim(GetColor(kForeground)), handle, nullptr);
    if (mouseOver) fill(GetColor(kHighlight), handle, blend);
  }

  if (mStyle.drawFrame) g.DrawRoundRect(GetColor(kFrame), handle, tl, tr, bl, br, blend, mStyle.frameThickness);
  return handle;
}

IRECT IVectorBase::DrawPressableTriangle(ICanvas& g, const IRECT& bounds, bool pressed, bool mouseOver, float angle,
                                         bool disabled) {
  const float offset = mStyle.shadowOffset;
  const IRECT handle = handleBounds(bounds);
  const IBlend* blend = controlBlend();

  // Bottom-left, top middle, bottom-right, rotated about the handle's centre (clockwise
  // on screen).
  const float cx = handle.CentreX(), cy = handle.CentreY();
  const double a = static_cast<double>(angle) * std::numbers::pi / 180.0;
  const float c = static_cast<float>(std::cos(a)), s = static_cast<float>(std::sin(a));
  float x[3] = {handle.L, cx, handle.R};
  float y[3] = {handle.B, handle.T, handle.B};
  for (int i = 0; i < 3; ++i) {
    const float dx = x[i] - cx, dy = y[i] - cy;
    x[i] = cx + dx * c - dy * s;
    y[i] = cy + dx * s + dy * c;
  }

  if (!pressed && mStyle.drawShadows)
    g.FillTriangle(GetColor(kShadow), x[0] + offset, y[0] + offset, x[1] + offset, y[1] + offset, x[2] + offset,
                   y[2] + offset);
  g.FillTriangle(Disabled(GetColor(pressed ? kPressed : kForeground), disabled), x[0], y[0], x[1], y[1], x[2], y[2]);
  if (mouseOver) g.FillTriangle(GetColor(kHighlight), x[0], y[0], x[1], y[1], x[2], y[2], blend);
  if (pressed && controlAnimating()) g.FillCircle(GetColor(kHighlight), mSplashPoint.x, mSplashPoint.y, mSplashRadius);
  if (mStyle.drawFrame)
    g.DrawTriangle(GetColor(kFrame), x[0], y[0], x[1], y[1], x[2], y[2], blend, mStyle.frameThickness);
  return handle;
}

void IVectorBase::DrawSplash(ICanvas& g, const IRECT& clip) {
  g.PathClipRegion(clip);
  g.FillCircle(GetColor(kHighlight), mSplashPoint.x, mSplashPoint.y, mSplashRadius);
  g.PathClipRegion();
}

// ---------------------------------------------------------------------------------------
// Layout

IRECT IVectorBase::MakeRects(const IRECT& parentBounds, bool hasHandle) {
  ICanvas* g = mControl != nullptr ? mControl->GetGraphics() : nullptr;
  // The size of a text; an empty one measures 0 x 0, and nothing can be measured before
  // the control is attached.
  auto measure = [&](const IText& text, const char* str, float& w, float& h) {
    w = h = 0.f;
    if (g == nullptr || str == nullptr || str[0] == '\0') return;
    IRECT r = parentBounds;
    g->MeasureText(text, str, r);
    w = r.Width();
    h = r.Height();
  };

  IRECT area = parentBounds;
  if (!mLabelInWidget) {
    mLabelBounds = IRECT();
    if (mStyle.showLabel && !mLabelStr.Empty() && g != nullptr) {
      float mw = 0.f, mh = 0.f;
      measure(mStyle.labelText, mLabelStr.Get(), mw, mh);
      switch (mStyle.labelSide) {
        case EVLabelSide::Above:
          mLabelBounds = IRECT(area.L, area.T, area.R, area.T + mh).GetCentredInside(mw, mh);
          area.T += mLabelBounds.Height();
          break;
        case EVLabelSide::Right:
          mLabelBounds = IRECT(area.R - mw, area.T, area.R, area.B).GetCentredInside(mw, mh);
          area.R -= mLabelBounds.Width();
          break;
        case EVLabelSide::Below:
          mLabelBounds = IRECT(area.L, area.B - mh, area.R, area.B).GetCentredInside(mw, mh);
          area.B -= mLabelBounds.Height();
          break;
        case EVLabelSide::Left:
          mLabelBounds = IRECT(area.L, area.T, area.L + mw, area.B).GetCentredInside(mw, mh);
          area.L += mLabelBounds.Width();
          break;
      }
    }
  }

  const float frac = mStyle.widgetFrac;
  if (!mStyle.showValue || mValueInWidget) {
    if (!mValueInWidget) mValueBounds = IRECT();
    mWidgetBounds = area.GetScaledAboutCentre(frac);
  } else {
    float mw = 0.f, mh = 0.f;
    measure(mStyle.valueText, mValueStr.Get(), mw, mh);
    const float vw = mw * mValueDisplayFrac;
    const float cx = area.CentreX(), cy = area.CentreY();
    switch (mStyle.valueText.valign) {
      case ETextVAlign::Top:
        mValueBounds = IRECT(cx - vw, area.T, cx + vw, area.T + mh);
        mWidgetBounds = IRECT(area.L, area.T + mh, area.R, area.B).GetScaledAboutCentre(frac);
        break;
      case ETextVAlign::Middle:
        mValueBounds = IRECT(cx - vw, cy - mh / 2.f, cx + vw, cy + mh / 2.f);
        mWidgetBounds = area.GetScaledAboutCentre(frac);
        break;
      case ETextVAlign::Bottom:
        mValueBounds = IRECT(cx - vw, area.B - mh, cx + vw, area.B);
        mWidgetBounds = IRECT(area.L, area.T, area.R, area.B - mh).GetScaledAboutCentre(frac);
        break;
    }
  }

  if (hasHandle) {
    // From the area left by the label; the value strip is not taken off here.
    mWidgetBounds = handleBounds(area).GetScaledAboutCentre(frac);
  }

  if (mLabelInWidget) mLabelBounds = mWidgetBounds;
  if (mValueInWidget) mValueBounds = mWidgetBounds;
  return mWidgetBounds;
}

// ---------------------------------------------------------------------------------------
// Splash

void SplashAnimationFunc(IControl* control) {
  if (control == nullptr) return;
  auto* vector = dynamic_cast<IVectorBase*>(control);
  if (vector == nullptr) {
    DefaultAnimationFunc(control);
    return;
  }
  const bool animating = static_cast<bool>(control->GetAnimationFunction());
  const double progress = animating ? control->GetAnimationProgress() : 0.0;
  if (animating && progress > 1.0) {
    control->OnEndAnimation();
    return;
  }
  vector->SetSplashRadius(static_cast<float>(progress));
  vector->OnAppearanceChanged();
  control->SetDirty(false);
}

void SplashClickActionFunc(IControl* control) {
  auto* vector = dynamic_cast<IVectorBase*>(control);
  if (vector == nullptr) return;
  if (ICanvas* g = control->GetGraphics()) {
    float x = 0.f, y = 0.f;
    g->GetMouseDownPoint(x, y);
    vector->SetSplashPoint(x, y);
  }
  vector->OnAppearanceChanged();
  control->SetAnimationFunction(SplashAnimationFunc, 100.0);
}

}  // namespace plugkit::canvas
