// Resizing the editor (logical size and draw scale) and applying a new screen scale.
#include <algorithm>
#include <cmath>

#include "framework/ICanvasEditorDelegate.h"
#include "graphics/ICanvas.h"

namespace plugkit::canvas {

namespace {

// The size the host sees for a window dimension in points.
int reported(int windowSize, float platformScale) {
  const float v = static_cast<float>(windowSize) * platformScale;
  return std::isfinite(v) ? static_cast<int>(std::clamp(v, -2e9f, 2e9f)) : windowSize;
}

}  // namespace

void ICanvas::Resize(int w, int h, float scale, bool needsPlatformResize) {
  mDelegate->ConstrainEditorResize(w, h);
  if (!std::isfinite(scale)) scale = mDrawScale;  // a non-finite scale changes nothing
  scale = std::clamp(scale, mMinScale, mMaxScale);
  if (w == mWidth && h == mHeight && scale == mDrawScale) return;

  // A control resizing the editor from its own drag keeps its capture; the others are
  // released and their open gestures ended.
  releaseCaptures(true, mDragDispatch);
  mDrawScale = scale;
  mWidth = w;
  mHeight = h;
  if (mCornerResizer != nullptr) mCornerResizer->OnRescale();

  const float platformScale = GetPlatformWindowScale();
  const bool parentResized = mDelegate->EditorResizeFromUI(reported(WindowWidth(), platformScale),
                                                           reported(WindowHeight(), platformScale),
                                                           needsPlatformResize);
  PlatformResize(parentResized);
  ForAllControlsFunc([](IControl* c) { c->OnResize(); });
  SetAllControlsDirty();
  DrawResize();
  if (mLayoutOnResize) mDelegate->LayoutUI(this);
  AfterResize();
}

void ICanvas::SetScreenScale(float scale) {
  if (!std::isfinite(scale) || scale <= 0.f) return;
  mScreenScale = scale;
  const float platformScale = GetPlatformWindowScale();
  const bool parentResized = mDelegate->EditorResizeFromUI(reported(WindowWidth(), platformScale),
                                                           reported(WindowHeight(), platformScale), true);
  PlatformResize(parentResized);
  ForAllControlsFunc([](IControl* c) { c->OnRescale(); });
  SetAllControlsDirty();
  DrawResize();
}

void ICanvas::OnDragResize(float x, float y) {
  if (!std::isfinite(x) || !std::isfinite(y)) return;
  if (mResizerMode == EUIResizerMode::Scale) {
    // The scale follows the pointer relative to where the drag started; without a press
    // point inside the editor there is nothing to relate to.
    if (mMouseDownX <= 0.f || mMouseDownY <= 0.f) return;
    const float scale = std::min(x * mDrawScale / mMouseDownX, y * mDrawScale / mMouseDownY);
    Resize(mWidth, mHeight, scale, true);
  } else {
    Resize(static_cast<int>(std::clamp(x, -1e9f, 1e9f)), static_cast<int>(std::clamp(y, -1e9f, 1e9f)), mDrawScale,
           true);
  }
}

void ICanvas::EndDragResize() {
  mResizingInProcess = false;
  if (mResizerMode == EUIResizerMode::Scale) {
    ForAllControlsFunc([](IControl* c) { c->OnRescale(); });
    SetAllControlsDirty();
  } else if (mCornerResizer != nullptr) {
    mCornerResizer->SetDirty(false);
  }
}

}  // namespace plugkit::canvas
