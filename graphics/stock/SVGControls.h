#pragma once
// Stock controls that draw parsed SVG images (loaded by the graphics context and owned by
// its cache) instead of vector shapes: a button, a two-state toggle, a knob that turns its
// image, a switch with one image per state and a slider with a track and a handle image.
// Their mouse behaviour is that of their bases; they only draw.
//
// Colours: the button and the toggle may draw one image in four colours, by index 0 off,
// 1 on, 2 off with the pointer over it, 3 on with the pointer over it; the replacement
// says whether the colour replaces the image's fill paints or its stroke paints.
//
// Main thread only. Nothing here fails: a null image or one without size draws nothing and
// leaves the slider's rectangles empty.
#include <array>
#include <initializer_list>
#include <vector>

#include "graphics/IKnobControlBase.h"
#include "graphics/Resources.h"
#include "graphics/stock/StockBases.h"

namespace plugkit::canvas {

enum class EColorReplacement : int { None = 0, Fill = 1, Stroke = 2 };

using SVGColors = std::array<IColor, 4>;

// The images and colours of a two-state control: the on image above 0.5, in the colour of
// its state and hover when a replacement is set.
struct SVGTwoStateLook {
  ISVG off;
  ISVG on;
  SVGColors colors;
  EColorReplacement replacement;

  // Two images, drawn as they are.
  static SVGTwoStateLook Images(const ISVG& offImage, const ISVG& onImage);
  // One image in four colours.
  static SVGTwoStateLook Coloured(const ISVG& image, const SVGColors& colors, EColorReplacement replacement);
  void Draw(ICanvas& g, const IControl& control) const;
};

class ISVGButtonControl : public IButtonControlBase {
public:
  // Two images; no colours replaced.
  ISVGButtonControl(const IRECT& bounds, ActionFunc action, const ISVG& offImage, const ISVG& onImage);
  // One image in four colours.
  ISVGButtonControl(const IRECT& bounds, ActionFunc action, const ISVG& image, const SVGColors& colors,
                    EColorReplacement replacement);

  void Draw(ICanvas& g) override { mLook.Draw(g, *this); }

private:
  SVGTwoStateLook mLook;
};

class ISVGToggleControl : public ISwitchControlBase {
public:
  ISVGToggleControl(const IRECT& bounds, ActionFunc action, const ISVG& offImage, const ISVG& onImage);
  // Linked to a parameter; no action.
  ISVGToggleControl(const IRECT& bounds, int paramIdx, const ISVG& offImage, const ISVG& onImage);
  ISVGToggleControl(const IRECT& bounds, ActionFunc action, const ISVG& image, const SVGColors& colors,
                    EColorReplacement replacement);
  ISVGToggleControl(const IRECT& bounds, int paramIdx, const ISVG& image, const SVGColors& colors,
                    EColorReplacement replacement);

  void Draw(ICanvas& g) override { mLook.Draw(g, *this); }

private:
  SVGTwoStateLook mLook;
};

class ISVGKnobControl : public IKnobControlBase {
public:
  ISVGKnobControl(const IRECT& bounds, const ISVG& image, int paramIdx = kNoLinkedParam);

  // The image turned from the start angle (value 0) to the end angle (value 1), in the
  // square of side min(width, height) centred in the bounds.
  void Draw(ICanvas& g) override;
  void SetSVG(const ISVG& image);

private:
  ISVG mSVG;
  float mStartAngle = -135.f;
  float mEndAngle = 135.f;
};

class ISVGSwitchControl : public ISwitchControlBase {
public:
  // One state per image.
  ISVGSwitchControl(const IRECT& bounds, std::initializer_list<ISVG> images, int paramIdx = kNoLinkedParam,
                    ActionFunc action = nullptr);

  // The image of state round((n - 1) x value).
  void Draw(ICanvas& g) override;

private:
  std::vector<ISVG> mSVGs;
};

class ISVGSliderControl : public ISliderControlBase {
public:
  ISVGSliderControl(const IRECT& bounds, const ISVG& handleImage, const ISVG& trackImage,
                    int paramIdx = kNoLinkedParam, EDirection direction = EDirection::Vertical,
                    double gearing = kDefaultGearing);

  void Draw(ICanvas& g) override;
  // The track image fills the bounds along the direction (its aspect kept); the handle is
  // scaled alike; the slider's track is the part of the track image the handle travels.
  void OnResize() override;
  // The handle at value v (negative: the current value).
  IRECT GetHandleBounds(double value = -1.0) const;
  const IRECT& GetTrackImageBounds() const { return mTrackSVGBounds; }

private:
  ISVG mHandleSVG;
  ISVG mTrackSVG;
  IRECT mTrackSVGBounds;
  IRECT mHandleBoundsAtMax;
};

}  // namespace plugkit::canvas
