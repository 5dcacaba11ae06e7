#pragma once
// A control that draws one SVG image into its bounds (scaled to fit, at the top left),
// directly or through a layer it keeps and redraws only when it moves, is resized or the
// scale changes. Main thread only.
#include "graphics/IControl.h"
#include "graphics/Layer.h"
#include "graphics/Resources.h"

namespace plugkit::canvas {

class ISVGControl : public IControl {
public:
  // svg belongs to the SVG cache; a null one draws nothing.
  ISVGControl(const IRECT& bounds, const ISVG& svg, bool useLayer = false);

  // With a layer: the image is drawn into the layer (without the control's blend) only
  // when the layer is missing or no longer valid; the layer is drawn with the blend. A
  // null image or a rectangle without area draws nothing and starts no layer.
  void Draw(ICanvas& g) override;

  const ISVG& GetSVG() const { return mSVG; }
  bool GetUseLayer() const { return mUseLayer; }

private:
  bool mUseLayer;
  OwnedLayer mLayer;
  ISVG mSVG;
};

}  // namespace plugkit::canvas
