#include "graphics/stock/OverlayControls.h"

#include <algorithm>
#include <cmath>

namespace plugkit::canvas {

// ---------------------------------------------------------------------------------------
// Bubble

IBubbleControl::IBubbleControl(const IText& text, const IColor& fillColor, const IColor& strokeColor,
                               float cornerRadius)
    : IBubbleControlBase(IRECT()), mRoundness(cornerRadius), mFillColor(fillColor), mStrokeColor(strokeColor) {
  mText = text;
  mHide = true;
  mIgnoreMouse = true;
  mBlend.weight = 0.f;
  SetActionFunction([](IControl* c) {
    c->SetAnimationFunction([](IControl* self) { static_cast<IBubbleControl*>(self)->animate(); }, 200.0);
  });
}

void IBubbleControl::MeasureText(const char* str, IRECT& bounds) const {
  if (const ICanvas* g = GetGraphics()) g->MeasureText(mText, str, bounds);
}

void IBubbleControl::ShowBubble(IControl* caller, float x, float y, const char* str, EDirection dir,
                                IRECT minimumContentBounds, uint64_t touchID) {
  ICanvas* g = GetGraphics();
  if (g == nullptr) return;
  const IRECT maxBounds = mMaxBounds.IsEmpty() ? g->GetBounds() : mMaxBounds;
  mDirection = dir;
  mTouchId = touchID;
  mStr.Set(str != nullptr ? str : "");

  IRECT r;
  MeasureText(mStr.Get(), r);
  if (!minimumContentBounds.IsEmpty()) {
    if (r.Width() < minimumContentBounds.Width()) r = r.GetPadded(-(minimumContentBounds.Width() - r.Width()) / 2.f, 0.f, (minimumContentBounds.Width() - r.Width()) / 2.f, 0.f);
    if (r.Height() < minimumContentBounds.Height()) r = r.GetPadded(0.f, -(minimumContentBounds.Height() - r.Height()) / 2.f, 0.f, (minimumContentBounds.Height() - r.Height()) / 2.f);
  }
  const float side = mHorizontalPadding + mDropShadowSize;
  const float w = r.Width() + 2.f * side, h = r.Height() + 2.f * mDropShadowSize;

  if (dir == EDirection::Horizontal) {
    mBubbleBounds = IRECT(x, y - h / 2.f, x + w, y + h / 2.f);
    if (mBubbleBounds.R <= maxBounds.R - side) {
      mArrowDir = 3;
    } else {
      const float right = caller != nullptr ? caller->GetRECT().L : x;
      mBubbleBounds = IRECT(right - w, mBubbleBounds.T, right, mBubbleBounds.B);
      mArrowDir = 1;
    }
  } else {
    mBubbleBounds = IRECT(x - w / 2.f, y - h, x + w / 2.f, y);
    if (mBubbleBounds.T >= maxBounds.T) {
      mArrowDir = 2;
    } else {
      const float down = (caller != nullptr ? caller->GetRECT().Height() : 0.f) + h;
      mBubbleBounds = mBubbleBounds.GetTranslated(0.f, down);
      mArrowDir = 0;
    }
  }

  mRECT = mRECT.Union(mBubbleBounds);
  OnResize();
  if (mState == kHidden) {
    Hide(false);
    mState = kFadingIn;
    SetDirty(true);
  }
  if (caller != mCaller) {
    mRECT = mTargetRECT = mBubbleBounds;
    g->ForAllControlsFunc([](IControl* c) { c->SetDirty(false); });
    mCaller = caller;
  }
}

void IBubbleControl::ForgetCaller(const IControl* control) {
  if (mCaller == control) mCaller = nullptr;
}

void IBubbleControl::animate() {
  const double p = GetAnimationProgress();
  if (p <= 1.0) {
    const float progress = static_cast<float>(p);
    switch (mState) {
      case kFadingIn: mBlend.weight = progress * mOpacity; break;
      case kShown: mBlend.weight = mOpacity; break;
      case kFadingOut: mBlend.weight = (1.f - progress) * mOpacity; break;
      default: break;
    }
    return;
  }
  // A period ended: exactly one next period runs, except once hidden.
  const auto next = [this](double ms) {
    SetAnimationFunction([](IControl* self) { static_cast<IBubbleControl*>(self)->animate(); }, ms);
  };
  switch (mState) {
    case kFadingIn:
      mBlend.weight = mOpacity;
      mState = kShown;
      next(1000.0);
      break;
    case kShown: {
      const ICanvas* g = GetGraphics();
      if (mCaller != nullptr && g != nullptr && g->ControlIsCaptured(mCaller)) {
        next(1000.0);
      } else {
        mBlend.weight = mOpacity;
        mState = kFadingOut;
        next(200.0);
      }
      SetDirty(false);
      break;
    }
    default:
      mBlend.weight = 0.f;
      Hide(true);
      mState = kHidden;
      mTouchId = 0;
      IControl::OnEndAnimation();
      break;
  }
}

void IBubbleControl::Draw(ICanvas& g) {
  const IRECT inner = mBubbleBounds.GetPadded(-mDropShadowSize);
  g.DrawFastDropShadow(inner, mBubbleBounds, 2.f, mRoundness, 10.f, &mBlend);
  DrawBubble(g, inner);
  DrawContent(g, inner);
}

void IBubbleControl::DrawContent(ICanvas& g, const IRECT& r) {
  if (!mStr.Empty()) g.DrawText(mText, mStr.Get(), r, &mBlend);
}

void IBubbleControl::DrawBubble(ICanvas& g, const IRECT& r) {
  const float c = mRoundness, a = mArrowSize, half = a / 2.f;
  const float cx = r.CentreX(), cy = r.CentreY();
  g.PathClear();
  g.PathMoveTo(r.L, r.T + c);
  g.PathArc(r.L + c, r.T + c, c, 270.f, 360.f);
  if (mArrowDir == 0) {
    g.PathLineTo(cx - half, r.T);
    g.PathLineTo(cx, r.T - a);
    g.PathLineTo(cx + half, r.T);
  }
  g.PathArc(r.R - c, r.T + c, c, 0.f, 90.f);
  if (mArrowDir == 1) {
    g.PathLineTo(r.R, cy - half);
    g.PathLineTo(r.R + a, cy);
    g.PathLineTo(r.R, cy + half);
  }
  g.PathArc(r.R - c, r.B - c, c, 90.f, 180.f);
  if (mArrowDir == 2) {
    g.PathLineTo(cx + half, r.B);
    g.PathLineTo(cx, r.B + a);
    g.PathLineTo(cx - half, r.B);
  }
  g.PathArc(r.L + c, r.B - c, c, 180.f, 270.f);
  if (mArrowDir == 3) {
    g.PathLineTo(r.L, cy + half);
    g.PathLineTo(r.L - a, cy);
    g.PathLineTo(r.L, cy - half);
  }
  g.PathClose();
  IFillOptions fill;
  fill.preserve = true;
  g.PathFill(mFillColor, fill, &mBlend);
  IStrokeOptions stroke;
  stroke.miterLimit = 10.f;
  g.PathStroke(mStrokeColor, mStrokeWidth, stroke, &mBlend);
}

// ---------------------------------------------------------------------------------------
// Corner resizer

ICornerResizerControl::ICornerResizerControl(const IRECT& editorBounds, float size, const IColor& color,
                                             const IColor& mouseOverColour, const IColor& dragColor)
    : IControl(IRECT(editorBounds.R - size + 1.f, editorBounds.B - size + 1.f, editorBounds.R - 1.f,
                     editorBounds.B - 1.f)),
      mSize(size),
      mInitialGraphicsBounds(editorBounds),
      mColor(color),
      mMouseOverColor(mouseOverColour),
      mDragColor(dragColor) {}

void ICornerResizerControl::OnMouseDown(float, float, const IMouseMod&) {
  if (ICanvas* g = GetGraphics()) g->StartDragResize();
}

void ICornerResizerControl::OnMouseDblClick(float, float, const IMouseMod&) {
  if (ICanvas* g = GetGraphics())
    g->Resize(static_cast<int>(mInitialGraphicsBounds.Width()), static_cast<int>(mInitialGraphicsBounds.Height()), 1.f);
}

void ICornerResizerControl::OnMouseOver(float x, float y, const IMouseMod& mod) {
  ICanvas* g = GetGraphics();
  if (!mMouseOver && g != nullptr) {
    mPrevCursorType = g->SetMouseCursor(ECursor::SizeNWSE);
    mMouseOver = true;
  }
  IControl::OnMouseOver(x, y, mod);
}

void ICornerResizerControl::OnMouseOut() {
  ICanvas* g = GetGraphics();
  if (mMouseOver && g != nullptr) g->SetMouseCursor(mPrevCursorType);
  mMouseOver = false;
  IControl::OnMouseOut();
}

void ICornerResizerControl::OnRescale() {
  const ICanvas* g = GetGraphics();
  if (g == nullptr || !(g->GetDrawScale() > 0.f)) return;
  const float s = mSize / g->GetDrawScale();
  const float w = static_cast<float>(g->Width()), h = static_cast<float>(g->Height());
  mRECT = mTargetRECT = IRECT(w - s, h - s, w, h);
  OnResize();
}

void ICornerResizerControl::Draw(ICanvas& g) {
  const IColor& color = g.IsResizingInProcess() ? mDragColor : (mMouseOver ? mMouseOverColor : mColor);
  g.FillTriangle(color, mRECT.L, mRECT.B, mRECT.R, mRECT.T, mRECT.R, mRECT.B);
}

// ---------------------------------------------------------------------------------------
// Frame-rate display

IFPSDisplayControl::IFPSDisplayControl(const IRECT& bounds, EStyle style, const char* label)
    : IFPSDisplayControlBase(bounds),
      IVectorBase(DEFAULT_STYLE, false, false),
      mStyle(style),
      mLabel(label != nullptr ? label : "") {
  AttachIControl(this, "");
  // The texts sit over the plot, which is filled in the foreground colour: they take the
  // style's text colour, which stands out against it and against the white background.
  const IColor ink = IVectorBase::GetStyle().valueText.color;
  mAPIText = IText(14.f, ink, "Roboto-Regular", ETextHAlign::Left, ETextVAlign::Top);
  mMainText = IText(18.f, ink, "Roboto-Regular", ETextHAlign::Right, ETextVAlign::Top);
  mSecondText = IText(15.f, ink, "Roboto-Regular", ETextHAlign::Right, ETextVAlign::Bottom);
  mText = IText(14.f, ink, "Roboto-Regular", ETextHAlign::Left, ETextVAlign::Bottom);
}

void IFPSDisplayControl::Update(float frameTimeSeconds) {
  if (!std::isfinite(frameTimeSeconds)) return;
  mWriteIndex = (mWriteIndex + 1) % kNumSamples;
  mSamples[static_cast<size_t>(mWriteIndex)] = frameTimeSeconds;
  mFilled = std::min(mFilled + 1, kNumSamples);
}

float IFPSDisplayControl::GetAverage() const {
  if (mFilled == 0) return 0.f;
  // The filled samples are the newest mFilled ones, ending at the write index.
  float sum = 0.f;
  for (int i = 0; i < mFilled; ++i) sum += mSamples[static_cast<size_t>((mWriteIndex - i + kNumSamples) % kNumSamples)];
  return sum / static_cast<float>(mFilled);
}

void IFPSDisplayControl::OnMouseDown(float, float, const IMouseMod&) {
  mStyle = static_cast<EStyle>((static_cast<int>(mStyle) + 1) % 3);
  SetDirty(false);
}

void IFPSDisplayControl::Draw(ICanvas& g) {
  const IColor fg = GetColor(kForeground);
  g.FillRect(mBackground, mRECT);
  g.DrawRect(COLOR_BLACK, mRECT);
  const IRECT plot = mRECT.GetPadded(-2.f);

  // The percentage style, in reading and plot alike: the share of the frame budget
  // (1 / the context's frame rate) a frame took.
  const float budgetFrames = static_cast<float>(std::max(g.FPS(), 1));
  auto budgetPercent = [budgetFrames](float seconds) { return seconds * budgetFrames * 100.f; };

  g.PathClear();
  g.PathMoveTo(plot.L, plot.B);
  for (int i = 0; i < kNumSamples; ++i) {
    // Oldest first: the slot after the newest holds the oldest sample.
    const int slot = (mWriteIndex + 1 + i) % kNumSamples;
    const bool filled = ((kNumSamples - 1 - i) < mFilled);
    const float v = mSamples[static_cast<size_t>(slot)];
    float f = 0.f;
    if (filled) {
      switch (mStyle) {
        case EStyle::Fps: f = std::min(1.f / (v + 1e-5f), 80.f) / 80.f; break;
        case EStyle::Ms: f = std::min(v * 1000.f, 20.f) / 20.f; break;
        case EStyle::Percentage: f = std::min(budgetPercent(v), 100.f) / 100.f; break;
      }
    }
    g.PathLineTo(plot.L + (static_cast<float>(i) / (kNumSamples - 1)) * plot.Width(), plot.B - f * plot.Height());
  }
  g.PathLineTo(mRECT.R, mRECT.B);
  g.PathClose();
  g.PathFill(fg);

  g.DrawText(mAPIText, g.GetDrawingAPIStr(), mRECT);
  if (!mLabel.Empty()) g.DrawText(mText, mLabel.Get(), mRECT);

  if (mFilled == 0) return;
  const float average = GetAverage();
  StringBuf reading;
  switch (mStyle) {
    case EStyle::Fps:
      reading.SetFormatted(32, "%.2f FPS", 1.0 / average);
      g.DrawText(mMainText, reading.Get(), mRECT);
      reading.SetFormatted(32, "%.2f ms", average * 1000.0);
      g.DrawText(mSecondText, reading.Get(), mRECT);
      break;
    case EStyle::Ms:
      reading.SetFormatted(32, "%.2f ms", average * 1000.0);
      g.DrawText(mMainText, reading.Get(), mRECT);
      break;
    case EStyle::Percentage:
      reading.SetFormatted(32, "%.1f %%", static_cast<double>(budgetPercent(average)));
      g.DrawText(mMainText, reading.Get(), mRECT);
      break;
  }
}

// ---------------------------------------------------------------------------------------
// Attach functions

void AttachBubbleControl(ICanvas& g, const IText& text) {
  g.AttachBubbleControl(new IBubbleControl(text, COLOR_WHITE, COLOR_BLACK, 5.f));
}

void AttachCornerResizer(ICanvas& g, EUIResizerMode mode, bool layoutOnResize, const IColor& color,
                         const IColor& mouseOverColor, const IColor& dragColor, float size) {
  if (g.GetCornerResizer() != nullptr) return;
  g.AttachCornerResizer(new ICornerResizerControl(g.GetBounds(), size, color, mouseOverColor, dragColor), mode,
                        layoutOnResize);
}

void ShowFPSDisplay(ICanvas& g, bool enable, const IRECT& bounds) {
  if (!enable) {
    g.RemoveFPSDisplay();
    return;
  }
  if (g.GetFPSDisplay() != nullptr) return;
  g.AttachFPSDisplay(new IFPSDisplayControl(bounds.IsEmpty() ? IRECT(10, 10, 210, 60) : bounds,
                                            IFPSDisplayControl::EStyle::Fps, "Frame Time"));
}

}  // namespace plugkit::canvas
