#pragma once
// The small triangle in the panel's bottom-right corner. Dragging it rescales the whole
// editor (the panel keeps its 640 x 400 base size; only the draw scale changes), a double
// click returns to scale 1, and hovering it shows the diagonal resize cursor.
//
// A drag follows the pointer in window points: the new width is the width at the press
// plus the pointer's larger movement (right or down enlarges) since the press, both
// measured in points at the draw scale of their own event. The editor rescales inside
// the drag, so the logical movement the context reports mixes two scales and is not used.
//
// Main thread only. Scales are limited to the control's range.
#include "graphics/IControl.h"
#include "graphics/PlatformTypes.h"
#include "ui/palette.h"

namespace balance_panel {

class CornerScaleControl : public plugkit::canvas::IControl {
public:
  CornerScaleControl(const IRECT& bounds, float baseWidth, float minScale, float maxScale, const IColor& colour,
                     const IColor& hoverColour);

  void OnMouseDown(float x, float y, const IMouseMod& mod) override;
  void OnMouseDrag(float x, float y, float dX, float dY, const IMouseMod& mod) override;
  void OnMouseDblClick(float x, float y, const IMouseMod& mod) override;
  void OnMouseOver(float x, float y, const IMouseMod& mod) override;
  void OnMouseOut() override;
  void Draw(ICanvas& g) override;

private:
  float mBaseWidth;
  float mMinScale;
  float mMaxScale;
  IColor mColour;
  IColor mHoverColour;
  // The press: the window width and the pointer, in points.
  bool mPressed = false;
  float mStartWidth = 0.f;
  double mPressX = 0.0;
  double mPressY = 0.0;
  bool mHovered = false;
  plugkit::canvas::ECursor mPreviousCursor = plugkit::canvas::ECursor::Arrow;
};

}  // namespace balance_panel
