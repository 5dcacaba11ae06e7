#pragma once
// Offscreen layers and drop shadows. A layer is a backend bitmap into which a control draws
// once and from which it is redrawn cheaply; while layers are active, the top one is the
// drawable area. A shadow is a soft copy of a layer's alpha, coloured, offset and put
// behind the layer's content. Main thread only.
#include <cstdint>
#include <memory>
#include <vector>

#include "graphics/Geometry.h"
#include "graphics/Resources.h"
#include "graphics/Style.h"

namespace plugkit::canvas {

class IControl;

struct ILayer {
  // Takes ownership of bitmap (null when the backend could not make one: such a layer
  // takes drawing that goes nowhere and is never valid).
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

// A drop shadow: its paint, the blur size in UI units (a blur that is not a finite number
// above 0 counts as 0), the offset, the opacity (0..1) and whether the layer's content
// stays in front of it (false leaves only the shadow).
struct IShadow {
  IShadow() = default;
  IShadow(const IPattern& pattern, float blurSize, float xOffset, float yOffset, float opacity,
          bool drawForeground = true)
      : mPattern(pattern),
        mBlurSize(blurSize),
        mXOffset(xOffset),
        mYOffset(yOffset),
        mOpacity(opacity),
        mDrawForeground(drawForeground) {}

  IPattern mPattern = IPattern(IColor(255, 0, 0, 0));
  float mBlurSize = 0.f;
  float mXOffset = 0.f;
  float mYOffset = 0.f;
  float mOpacity = 1.f;
  bool mDrawForeground = true;
};

// Pixels read back from a layer: 4 bytes per pixel, the alpha byte at the backend's
// AlphaChannel(), rows in the order FlippedBitmap() says.
using RawBitmapData = std::vector<uint8_t>;

}  // namespace plugkit::canvas
