#include "graphics/ISVGControl.h"

#include "graphics/ICanvas.h"

namespace plugkit::canvas {

ISVGControl::ISVGControl(const IRECT& bounds, const ISVG& svg, bool useLayer)
    : IControl(bounds), mUseLayer(useLayer), mSVG(svg) {}

void ISVGControl::Draw(ICanvas& g) {
  if (!mSVG.IsValid() || !(mRECT.Width() > 0.f && mRECT.Height() > 0.f)) return;
  if (!mUseLayer) {
    g.DrawSVG(mSVG, mRECT, &mBlend);
    return;
  }
  if (!g.CheckLayer(mLayer)) {
    g.StartLayer(this, mRECT);
    g.DrawSVG(mSVG, mRECT);
    mLayer = g.EndLayer();
  }
  g.DrawLayer(mLayer, &mBlend);
}

}  // namespace plugkit::canvas
