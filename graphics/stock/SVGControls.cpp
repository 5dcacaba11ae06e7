#include "graphics/stock/SVGControls.h"

#include <algorithm>
#include <cmath>

#include "graphics/ICanvas.h"

namespace plugkit::canvas {

namespace {

constexpr SVGColors kBlack = {COLOR_BLACK, COLOR_BLACK, COLOR_BLACK, COLOR_BLACK};

bool hasSize(const ISVG& svg) {
  return svg.IsValid() && svg.W() > 0.f && svg.H() > 0.f && std::isfinite(svg.W()) && std::isfinite(svg.H());
}

}  // namespace

// ---------------------------------------------------------------------------------------
// Button and toggle

SVGTwoStateLook SVGTwoStateLook::Images(const ISVG& offImage, const ISVG& onImage) {
  return {offImage, onImage, kBlack, EColorReplacement::None};
}

SVGTwoStateLook SVGTwoStateLook::Coloured(const ISVG& image, const SVGColors& colors, EColorReplacement replacement) {
  return {image, image, colors, replacement};
}

void SVGTwoStateLook::Draw(ICanvas& g, const IControl& c) const {
  const bool isOn = c.GetValue(0) > 0.5;
  const IColor& color = colors[static_cast<size_t>((isOn ? 1 : 0) + (c.GetMouseIsOver() ? 2 : 0))];
  const IColor* fill = replacement == EColorReplacement::Fill ? &color : nullptr;
  const IColor* stroke = replacement == EColorReplacement::Stroke ? &color : nullptr;
  g.DrawSVG(isOn ? on : off, c.GetRECT(), &c.GetBlend(), stroke, fill);
}

ISVGButtonControl::ISVGButtonControl(const IRECT& bounds, ActionFunc action, const ISVG& offImage,
                                     const ISVG& onImage)
    : IButtonControlBase(bounds, std::move(action)), mLook(SVGTwoStateLook::Images(offImage, onImage)) {}

ISVGButtonControl::ISVGButtonControl(const IRECT& bounds, ActionFunc action, const ISVG& image,
                                     const SVGColors& colors, EColorReplacement replacement)
    : IButtonControlBase(bounds, std::move(action)), mLook(SVGTwoStateLook::Coloured(image, colors, replacement)) {}

ISVGToggleControl::ISVGToggleControl(const IRECT& bounds, ActionFunc action, const ISVG& offImage,
                                     const ISVG& onImage)
    : ISwitchControlBase(bounds, kNoLinkedParam, std::move(action), 2),
      mLook(SVGTwoStateLook::Images(offImage, onImage)) {}

ISVGToggleControl::ISVGToggleControl(const IRECT& bounds, int paramIdx, const ISVG& offImage, const ISVG& onImage)
    : ISwitchControlBase(bounds, paramIdx, nullptr, 2), mLook(SVGTwoStateLook::Images(offImage, onImage)) {}

ISVGToggleControl::ISVGToggleControl(const IRECT& bounds, ActionFunc action, const ISVG& image,
                                     const SVGColors& colors, EColorReplacement replacement)
    : ISwitchControlBase(bounds, kNoLinkedParam, std::move(action), 2),
      mLook(SVGTwoStateLook::Coloured(image, colors, replacement)) {}

ISVGToggleControl::ISVGToggleControl(const IRECT& bounds, int paramIdx, const ISVG& image, const SVGColors& colors,
                                     EColorReplacement replacement)
    : ISwitchControlBase(bounds, paramIdx, nullptr, 2), mLook(SVGTwoStateLook::Coloured(image, colors, replacement)) {}

// ---------------------------------------------------------------------------------------
// Knob and switch

ISVGKnobControl::ISVGKnobControl(const IRECT& bounds, const ISVG& image, int paramIdx)
    : IKnobControlBase(bounds, paramIdx, EDirection::Vertical, 4.0), mSVG(image) {
  mHideCursorOnDrag = true;
  mMouseDown = false;
}

void ISVGKnobControl::Draw(ICanvas& g) {
  const float side = std::min(mRECT.Width(), mRECT.Height());
  const double angle = mStartAngle + (mEndAngle - mStartAngle) * GetValue(0);
  g.DrawRotatedSVG(mSVG, mRECT.CentreX(), mRECT.CentreY(), side, side, angle, &mBlend);
}

void ISVGKnobControl::SetSVG(const ISVG& image) {
  mSVG = image;
  SetDirty(false);
}

ISVGSwitchControl::ISVGSwitchControl(const IRECT& bounds, std::initializer_list<ISVG> images, int paramIdx,
                                     ActionFunc action)
    : ISwitchControlBase(bounds, paramIdx, std::move(action), static_cast<int>(images.size())), mSVGs(images) {}

void ISVGSwitchControl::Draw(ICanvas& g) {
  if (mSVGs.empty()) return;
  const int n = static_cast<int>(mSVGs.size());
  const double v = GetValue(0);
  const int state = std::isfinite(v) ? std::clamp(static_cast<int>(std::round((n - 1) * v)), 0, n - 1) : 0;
  g.DrawSVG(mSVGs[static_cast<size_t>(state)], mRECT, &mBlend);
}

// ---------------------------------------------------------------------------------------
// Slider

ISVGSliderControl::ISVGSliderControl(const IRECT& bounds, const ISVG& handleImage, const ISVG& trackImage,
                                     int paramIdx, EDirection direction, double gearing)
    : ISliderControlBase(bounds, paramIdx, direction, gearing, 0.f), mHandleSVG(handleImage), mTrackSVG(trackImage) {}

void ISVGSliderControl::OnResize() {
  ISliderControlBase::OnResize();
  mTrackSVGBounds = mHandleBoundsAtMax = IRECT();
  if (!hasSize(mTrackSVG) || !hasSize(mHandleSVG)) {
    mTrack = IRECT();
    SetDirty(false);
    return;
  }
  const float tw = mTrackSVG.W(), th = mTrackSVG.H(), hw = mHandleSVG.W(), hh = mHandleSVG.H();
  const float W = mRECT.Width(), H = mRECT.Height();
  if (mDirection == EDirection::Vertical) {
    const float s = H / th;
    mTrackSVGBounds = mRECT.GetCentredInside(tw * s, H);
    const IRECT handle = mRECT.GetCentredInside(hw * s, hh * s);
    mHandleBoundsAtMax = IRECT(handle.L, mTrackSVGBounds.T, handle.R, mTrackSVGBounds.T + handle.Height());
    mTrack = IRECT(mTrackSVGBounds.L, mTrackSVGBounds.T + hh * s, mTrackSVGBounds.R, mTrackSVGBounds.B);
  } else {
    const float s = W / tw;
    mTrackSVGBounds = mRECT.GetCentredInside(W, th * s);
    const IRECT handle = mTrackSVGBounds.GetCentredInside(hw * s, hh * s);
    mHandleBoundsAtMax = IRECT(mTrackSVGBounds.R - handle.Width(), handle.T, mTrackSVGBounds.R, handle.B);
    mTrack = IRECT(mTrackSVGBounds.L + hw * s, mTrackSVGBounds.T, mTrackSVGBounds.R, mTrackSVGBounds.B);
  }
  SetDirty(false);
}

IRECT ISVGSliderControl::GetHandleBounds(double value) const {
  if (value < 0.0) value = GetValue(0);
  if (!std::isfinite(value) || mHandleBoundsAtMax.IsEmpty()) return mHandleBoundsAtMax;
  const float back = static_cast<float>(1.0 - value);
  if (mDirection == EDirection::Vertical) return mHandleBoundsAtMax.GetTranslated(0.f, back * mTrack.Height());
  return mHandleBoundsAtMax.GetTranslated(-back * mTrack.Width(), 0.f);
}

void ISVGSliderControl::Draw(ICanvas& g) {
  g.DrawSVG(mTrackSVG, mTrackSVGBounds, &mBlend);
  g.DrawSVG(mHandleSVG, GetHandleBounds(), &mBlend);
}

}  // namespace plugkit::canvas
