#pragma once
// An offscreen layer: a backend bitmap into which a control draws once and from which it is
// redrawn cheaply. While layers are active, the top one is the drawable area.
#include <memory>

#include "graphics/Geometry.h"
#include "graphics/Resources.h"

namespace plugkit::canvas {

class IControl;

struct ILayer {
  ILayer(APIBitmap* bitmap, const IRECT& layerBounds, IControl* control, const IRECT& controlBounds)
      : mBitmap(bitmap), mControl(control), mControlRECT(controlBounds), mRECT(layerBounds) {}

  // Makes the owning control redraw the layer at its next check.
  void Invalidate() { mInvalid = true; }
  const IRECT& Bounds() const { return mRECT; }
  APIBitmap* GetAPIBitmap() const { return mBitmap.get(); }
  IControl* GetControl() const { return mControl; }

  std::unique_ptr<APIBitmap> mBitmap;
  IControl* mControl;
  IRECT mControlRECT;
  IRECT mRECT;
  bool mInvalid = false;
};

using OwnedLayer = std::unique_ptr<ILayer>;

}  // namespace plugkit::canvas
