#include "graphics/IPanelControl.h"

#include "graphics/Constants.h"
#include "graphics/ICanvas.h"

namespace plugkit::canvas {

IPanelControl::IPanelControl(const IRECT& bounds, const IColor& color, bool drawFrame, AttachFunc attachFunc,
                             ResizeFunc resizeFunc)
    : IPanelControl(bounds, IPattern(color), drawFrame, std::move(attachFunc), std::move(resizeFunc)) {}

IPanelControl::IPanelControl(const IRECT& bounds, const IPattern& pattern, bool drawFrame, AttachFunc attachFunc,
                             ResizeFunc resizeFunc)
    : IContainerBase(bounds, std::move(attachFunc), std::move(resizeFunc)), mPattern(pattern), mDrawFrame(drawFrame) {
  mIgnoreMouse = true;
}

void IPanelControl::Draw(ICanvas& g) {
  g.PathRect(mRECT);
  g.PathFill(mPattern, IFillOptions(), &mBlend);
  if (mDrawFrame) g.DrawRect(COLOR_LIGHT_GRAY, mRECT, &mBlend, 1.f);
}

}  // namespace plugkit::canvas
